// Hand-made Vorbis streams: see stream_builder.h.
#include "stream_builder.h"

#include <ogg/ogg.h>

#include <cstring>

namespace {

struct BitWriter {
  std::vector<uint8_t> bytes;
  int used = 0;  // bits used in the last byte
  void put(uint32_t value, int bits) {  // least significant bit first
    for (int i = 0; i < bits; ++i) {
      if (used == 0) bytes.push_back(0);
      if ((value >> i) & 1) bytes.back() |= (uint8_t)(1 << used);
      used = (used + 1) & 7;
    }
  }
  // (value, bits) fields in stream order.
  void put_all(std::initializer_list<std::pair<int64_t, int>> fields) {
    for (auto [value, bits] : fields) put((uint32_t)value, bits);
  }
};

void put_signature(BitWriter& w, int type) {
  w.put((uint32_t)type, 8);
  for (const char* s = "vorbis"; *s; ++s) w.put((uint8_t)*s, 8);
}

}  // namespace

std::vector<uint8_t> make_identification(int channels, uint32_t rate, uint8_t block_sizes) {
  BitWriter w;
  put_signature(w, 1);
  // Version, channels, rate, bitrates (maximum, nominal, minimum), block sizes, framing.
  w.put_all({{0, 32}, {channels, 8}, {rate, 32}, {0, 32}, {128000, 32}, {0, 32}, {block_sizes, 8}, {1, 1}});
  return w.bytes;
}

std::vector<uint8_t> make_comment() {
  BitWriter w;
  put_signature(w, 3);
  w.put(4, 32);
  for (const char* s = "test"; *s; ++s) w.put((uint8_t)*s, 8);
  w.put_all({{0, 32}, {1, 1}});
  return w.bytes;
}

std::vector<uint8_t> make_setup(const SetupOptions& o) {
  BitWriter w;
  put_signature(w, 5);
  // Two codebooks of one dimension, every entry length 1: 0 with a lookup
  // (residue vectors), 1 without.
  w.put(1, 8);
  for (int book = 0; book < 2; ++book) {
    int entries = o.overfull_codebook && book == 1 ? 3 : 2;
    // Sync, dimensions, entries, not ordered, not sparse.
    w.put_all({{o.bad_codebook_sync && book == 0 ? 0x564341 : 0x564342, 24}, {1, 16}, {entries, 24}, {0, 2}});
    for (int e = 0; e < entries; ++e) w.put(0, 5);
    // Lookup type 1: minimum 0, delta 1, value bits 1, no sequence, multiplicands 0 and 1.
    if (book == 0) w.put_all({{1, 4}, {0, 32}, {(788u << 21) | 1, 32}, {0, 4}, {0, 1}, {0, 1}, {1, 1}});
    else w.put(0, 4);
  }
  w.put_all({{0, 6}, {0, 16}, {0, 6}, {o.floor_type, 16}});  // one time placeholder, one floor
  if (o.floor_type == 0) {  // order, rate, bark map size, amplitude bits and offset, book 0
    w.put_all({{8, 8}, {44100, 16}, {64, 16}, {6, 6}, {100, 8}, {0, 4}, {0, 8}});
  } else {  // no partitions, multiplier 1, X list 0 and 256
    w.put_all({{0, 5}, {0, 2}, {8, 4}});
  }
  // One residue of type 1 over nothing, partition size 16, one classification
  // from book 0, a cascade of pass 0 only, then that pass's book.
  w.put_all({{0, 6}, {1, 16}, {0, 24}, {0, 24}, {15, 24}, {0, 6}, {0, 8}, {1, 3}, {0, 1}, {!o.residue_book_lookup, 8}});
  // One mapping with one submap; its one coupling step has magnitude == angle.
  w.put_all({{0, 6}, {0, 16}, {0, 1}, {o.couple_same_channel, 1}});
  if (o.couple_same_channel) {
    int bits = 0;
    for (int x = o.channels - 1; x > 0; x >>= 1) ++bits;
    w.put_all({{0, 8}, {0, bits}, {0, bits}});
  }
  w.put_all({{0, 2}, {0, 8}, {0, 8}, {0, 8}});  // reserved, time, floor 0, residue 0
  int modes = o.two_modes ? 2 : 1;
  w.put((uint32_t)modes - 1, 6);
  for (int m = 0; m < modes; ++m) w.put_all({{m, 1}, {0, 16}, {0, 16}, {0, 8}});  // mode 1 is long
  w.put(1, 1);  // framing
  return w.bytes;
}

std::vector<uint8_t> make_audio_packet(const SetupOptions& o, int mode, int prev_flag,
                                       int next_flag, int floor_nonzero) {
  BitWriter w;
  w.put(0, 1);
  if (o.two_modes) w.put((uint32_t)mode, 1);
  if (mode == 1) w.put_all({{prev_flag, 1}, {next_flag, 1}});
  for (int c = 0; c < o.channels; ++c) {
    w.put((uint32_t)floor_nonzero, 1);
    if (floor_nonzero) w.put_all({{200, 8}, {180, 8}});
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
    ogg_packet p = {const_cast<unsigned char*>(data.data()), (long)data.size(), bos, eos, granule, number++};
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

// The body size of the page at `p`, from its segment table.
static size_t body_size(const std::vector<uint8_t>& s, size_t p) {
  size_t body = 0;
  for (size_t i = 0; i < s[p + 26]; ++i) body += s[p + 27 + i];
  return body;
}

std::vector<size_t> page_offsets(const std::vector<uint8_t>& s) {
  std::vector<size_t> pages;
  for (size_t p = 0; p + 27 <= s.size() && memcmp(&s[p], "OggS", 4) == 0; p += 27 + s[p + 26] + body_size(s, p))
    pages.push_back(p);
  return pages;
}

void fix_page_crc(std::vector<uint8_t>& s, size_t p) {
  long header = 27 + s[p + 26];
  ogg_page page = {&s[p], header, &s[p + (size_t)header], (long)body_size(s, p)};
  ogg_page_checksum_set(&page);
}
