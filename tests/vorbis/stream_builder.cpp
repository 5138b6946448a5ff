// Hand-made Vorbis streams: see stream_builder.h.
#include "stream_builder.h"

#include <ogg/ogg.h>

#include <cstring>

void BitWriter::put(uint32_t value, int bits) {
  for (int i = 0; i < bits; ++i) {
    if (used == 0) bytes.push_back(0);
    if ((value >> i) & 1) bytes.back() |= (uint8_t)(1 << used);
    used = (used + 1) & 7;
  }
}

namespace {

void put_signature(BitWriter& w, int type) {
  w.put((uint32_t)type, 8);
  for (const char* s = "vorbis"; *s; ++s) w.put((uint8_t)*s, 8);
}

int ilog(int x) {
  int n = 0;
  while (x > 0) {
    ++n;
    x >>= 1;
  }
  return n;
}

}  // namespace

std::vector<uint8_t> make_identification(int channels, uint32_t rate, uint8_t block_sizes) {
  BitWriter w;
  put_signature(w, 1);
  w.put(0, 32);  // version
  w.put((uint32_t)channels, 8);
  w.put(rate, 32);
  w.put(0, 32);
  w.put(128000, 32);
  w.put(0, 32);
  w.put(block_sizes, 8);
  w.put(1, 1);  // framing
  return w.bytes;
}

std::vector<uint8_t> make_comment() {
  BitWriter w;
  put_signature(w, 3);
  w.put(4, 32);
  for (const char* s = "test"; *s; ++s) w.put((uint8_t)*s, 8);
  w.put(0, 32);
  w.put(1, 1);
  return w.bytes;
}

std::vector<uint8_t> make_setup(const SetupOptions& o) {
  BitWriter w;
  put_signature(w, 5);
  // Two codebooks: 0 with a lookup (residue vectors), 1 without.
  w.put(1, 8);
  for (int book = 0; book < 2; ++book) {
    w.put(o.bad_codebook_sync && book == 0 ? 0x564341 : 0x564342, 24);
    w.put(1, 16);  // dimensions
    w.put(2, 24);  // entries
    w.put(0, 1);   // not ordered
    w.put(0, 1);   // not sparse
    w.put(0, 5);   // length 1
    w.put(0, 5);   // length 1
    if (book == 0) {
      w.put(1, 4);                // lookup type 1
      w.put(0, 32);               // minimum 0
      w.put((788u << 21) | 1, 32);  // delta 1
      w.put(0, 4);                // value bits 1
      w.put(0, 1);                // no sequence
      w.put(0, 1);                // multiplicands 0, 1
      w.put(1, 1);
    } else {
      w.put(0, 4);
    }
  }
  w.put(0, 6);   // one time placeholder
  w.put(0, 16);
  w.put(0, 6);   // one floor
  w.put((uint32_t)o.floor_type, 16);
  if (o.floor_type == 0) {
    w.put(8, 8);
    w.put(44100, 16);
    w.put(64, 16);
    w.put(6, 6);
    w.put(100, 8);
    w.put(0, 4);  // one book
    w.put(0, 8);
  } else {
    w.put(0, 5);  // no partitions
    w.put(0, 2);  // multiplier 1
    w.put(8, 4);  // X list 0, 256
  }
  w.put(0, 6);    // one residue
  w.put(1, 16);   // type 1
  w.put(0, 24);   // begin
  w.put(0, 24);   // end
  w.put(15, 24);  // partition size 16
  w.put(0, 6);    // one classification
  w.put(0, 8);    // class book 0
  w.put(1, 3);    // cascade: pass 0 only
  w.put(0, 1);
  w.put(o.residue_book_lookup ? 0 : 1, 8);
  w.put(0, 6);    // one mapping
  w.put(0, 16);
  w.put(0, 1);    // one submap
  if (o.couple_same_channel) {
    w.put(1, 1);
    w.put(0, 8);  // one step
    int bits = ilog(o.channels - 1);
    w.put(0, bits);
    w.put(0, bits);
  } else {
    w.put(0, 1);
  }
  w.put(0, 2);
  w.put(0, 8);
  w.put(0, 8);  // floor 0
  w.put(0, 8);  // residue 0
  int modes = o.two_modes ? 2 : 1;
  w.put((uint32_t)modes - 1, 6);
  for (int m = 0; m < modes; ++m) {
    w.put((uint32_t)m, 1);  // mode 1 is long
    w.put(0, 16);
    w.put(0, 16);
    w.put(0, 8);
  }
  w.put(1, 1);  // framing
  return w.bytes;
}

std::vector<uint8_t> make_audio_packet(const SetupOptions& o, int mode, int prev_flag,
                                       int next_flag, int floor_nonzero) {
  BitWriter w;
  w.put(0, 1);
  if (o.two_modes) w.put((uint32_t)mode, 1);
  if (mode == 1) {
    w.put((uint32_t)prev_flag, 1);
    w.put((uint32_t)next_flag, 1);
  }
  for (int c = 0; c < o.channels; ++c) {
    w.put((uint32_t)floor_nonzero, 1);
    if (floor_nonzero) {
      w.put(200, 8);
      w.put(180, 8);
    }
  }
  if (w.bytes.empty()) w.put(0, 8);
  return w.bytes;
}

std::vector<uint8_t> build_ogg(const std::vector<uint8_t>& identification,
                               const std::vector<uint8_t>& comment,
                               const std::vector<uint8_t>& setup,
                               const std::vector<OggPacket>& audio) {
  std::vector<uint8_t> out;
  ogg_stream_state os;
  ogg_stream_init(&os, 77);
  ogg_page page;
  auto append_pages = [&](bool flush) {
    while (flush ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page)) {
      out.insert(out.end(), page.header, page.header + page.header_len);
      out.insert(out.end(), page.body, page.body + page.body_len);
    }
  };
  int64_t number = 0;
  auto packet_in = [&](const std::vector<uint8_t>& data, int64_t granule, bool bos, bool eos) {
    ogg_packet p;
    memset(&p, 0, sizeof p);
    p.packet = const_cast<unsigned char*>(data.data());
    p.bytes = (long)data.size();
    p.b_o_s = bos;
    p.e_o_s = eos;
    p.granulepos = granule;
    p.packetno = number++;
    ogg_stream_packetin(&os, &p);
  };
  packet_in(identification, 0, true, false);
  append_pages(true);
  packet_in(comment, 0, false, false);
  packet_in(setup, 0, false, audio.empty());
  append_pages(true);
  for (size_t i = 0; i < audio.size(); ++i) {
    bool last = i + 1 == audio.size();
    packet_in(audio[i].data, audio[i].granule, false, last);
    if (audio[i].granule != -1 || last) append_pages(true);
  }
  append_pages(true);
  ogg_stream_clear(&os);
  return out;
}

std::vector<size_t> page_offsets(const std::vector<uint8_t>& s) {
  std::vector<size_t> pages;
  size_t p = 0;
  while (p + 27 <= s.size() && memcmp(&s[p], "OggS", 4) == 0) {
    pages.push_back(p);
    size_t count = s[p + 26], body = 0;
    for (size_t i = 0; i < count; ++i) body += s[p + 27 + i];
    p += 27 + count + body;
  }
  return pages;
}

void fix_page_crc(std::vector<uint8_t>& s, size_t p) {
  size_t count = s[p + 26], body = 0;
  for (size_t i = 0; i < count; ++i) body += s[p + 27 + i];
  ogg_page page;
  page.header = &s[p];
  page.header_len = (long)(27 + count);
  page.body = &s[p + 27 + count];
  page.body_len = (long)body;
  ogg_page_checksum_set(&page);
}
