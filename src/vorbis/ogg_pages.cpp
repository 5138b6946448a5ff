// Ogg framing over the caller's bytes: page headers, packets assembled from
// segments (possibly across pages), and the bit reader's refill. A packet's
// bytes on one page are contiguous, so the reader walks "runs" of consecutive
// segments and only crosses into the next page's header when a run ends.
// The CRC-checked page search serves the length query only; decoding trusts pages.
#include "vorbis/vorbis_internal.h"

namespace {

constexpr uint32_t OGG_CRC_POLY = 0x04C11DB7;

struct CrcTable {
  uint32_t v[256];
};

// Built at compile time, so decoders on different threads never write it.
constexpr CrcTable make_crc_table() {
  CrcTable t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i << 24;
    for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ OGG_CRC_POLY : (r << 1);
    t.v[i] = r;
  }
  return t;
}

constexpr CrcTable OGG_CRC = make_crc_table();

uint32_t read_u32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

constexpr int PAGE_HEADER_BYTES = 27;
constexpr uint8_t PAGE_CONTINUED = 1;
constexpr uint8_t PAGE_LAST = 4;

}  // namespace

// Reads the page header at the cursor. Fails at the end of the input (no error
// recorded when the input simply ends between pages).
int vorbis_start_page(VorbisDecoder* d) {
  const uint8_t* p = d->cursor;
  int64_t left = d->data_end - p;
  if (left <= 0) {
    d->eof = 1;
    VORBIS_REFUSE(d, VORBIS_NO_CODE);
  }
  if (left < 4 || memcmp(p, "OggS", 4) != 0) VORBIS_REFUSE(d, VorbisNoCapturePattern);
  if (left < PAGE_HEADER_BYTES) {
    d->eof = 1;
    VORBIS_REFUSE(d, VorbisTruncatedHeader);
  }
  if (p[4] != 0) VORBIS_REFUSE(d, VorbisBadPageVersion);
  int count = p[26];
  if (left < PAGE_HEADER_BYTES + count) {
    d->eof = 1;
    VORBIS_REFUSE(d, VorbisTruncatedHeader);
  }
  d->page_flags = p[5];
  d->page_granule = (uint64_t)read_u32(p + 6) | ((uint64_t)read_u32(p + 10) << 32);
  d->segment_count = count;
  int64_t body = 0;
  d->granule_segment = -1;
  for (int i = 0; i < count; ++i) {
    d->segments[i] = p[PAGE_HEADER_BYTES + i];
    body += d->segments[i];
    if (d->segments[i] < 255) d->granule_segment = i;
  }
  if (d->page_granule == ~(uint64_t)0) d->granule_segment = -2;
  d->cursor = p + PAGE_HEADER_BYTES + count;
  int64_t room = d->data_end - d->cursor;
  d->page_end = d->cursor + (body < room ? body : room);
  d->next_segment = count > 0 ? 0 : -1;
  return 1;
}

int vorbis_start_packet(VorbisDecoder* d) {
  while (d->next_segment < 0) {
    if (!vorbis_start_page(d)) return 0;
    if (d->page_flags & PAGE_CONTINUED) VORBIS_REFUSE(d, VorbisBadContinuation);
  }
  d->last_segment_taken = 0;
  d->packet_over = 0;
  d->packet_has_granule = 0;
  d->packet_on_last_page = 0;
  d->acc = 0;
  d->bits = 0;
  d->bits_invalid = 0;
  d->run = d->run_end = d->cursor;
  return 1;
}

// Takes the packet's next run of segments (all of its segments left on this
// page) into the reader. 0 when the packet is over.
int vorbis_next_segment(VorbisDecoder* d) {
  if (d->last_segment_taken || d->packet_over) {
    d->packet_over = 1;
    return 0;
  }
  if (d->next_segment < 0) {
    if (!vorbis_start_page(d)) {
      d->packet_over = 1;
      return 0;
    }
    if (!(d->page_flags & PAGE_CONTINUED)) {
      d->packet_over = 1;
      VORBIS_REFUSE(d, VorbisBadContinuation);
    }
    if (d->next_segment < 0) return 1;  // a page without segments: try the next one
  }
  int64_t total = 0;
  int i = d->next_segment;
  while (i < d->segment_count) {
    int length = d->segments[i++];
    total += length;
    if (length < 255) {
      d->last_segment_taken = 1;
      d->end_segment = i - 1;
      break;
    }
  }
  d->next_segment = i < d->segment_count ? i : -1;
  int64_t room = d->data_end - d->cursor;
  if (total > room) {
    total = room;
    d->eof = 1;
  }
  d->run = d->cursor;
  d->run_end = d->cursor + total;
  d->cursor += total;
  if (d->last_segment_taken) {
    d->packet_has_granule = d->end_segment == d->granule_segment;
    d->packet_granule = d->page_granule;
    d->packet_on_last_page = (d->page_flags & PAGE_LAST) != 0;
  }
  return 1;
}

void vorbis_refill_slow(VorbisDecoder* d) {
  while (d->bits <= 56) {
    if (d->run == d->run_end) {
      if (!vorbis_next_segment(d)) return;
      continue;
    }
    d->acc |= (uint64_t)*d->run++ << d->bits;
    d->bits += 8;
  }
}

int vorbis_packet_byte(VorbisDecoder* d) {
  uint32_t v = vorbis_get_bits(d, 8);
  return d->bits_invalid ? -1 : (int)v;
}

void vorbis_flush_packet(VorbisDecoder* d) {
  while (vorbis_next_segment(d)) {
  }
  d->run = d->run_end;
  d->acc = 0;
  d->bits = 0;
}

// Scans from `from` for the next page whose CRC matches. On success reports its
// start, end and end-of-stream flag.
int vorbis_find_page(VorbisDecoder* d, const uint8_t* from, const uint8_t** page_out,
                     const uint8_t** end_out, int* last_out) {
  const uint8_t* end = d->data_end;
  for (const uint8_t* p = from; p < end; ++p) {
    if (*p != 'O') continue;
    if (end - p < PAGE_HEADER_BYTES) return 0;
    if (p[1] != 'g' || p[2] != 'g' || p[3] != 'S' || p[4] != 0) continue;
    int count = p[26];
    if (end - p < PAGE_HEADER_BYTES + count) continue;
    int64_t body = 0;
    for (int i = 0; i < count; ++i) body += p[PAGE_HEADER_BYTES + i];
    int64_t size = PAGE_HEADER_BYTES + count + body;
    if (end - p < size) continue;
    uint32_t stored = read_u32(p + 22);
    uint32_t crc = 0;
    for (int64_t i = 0; i < size; ++i) {
      uint8_t byte = (i >= 22 && i < 26) ? 0 : p[i];
      crc = (crc << 8) ^ OGG_CRC.v[(crc >> 24) ^ byte];
    }
    if (crc != stored) continue;
    *page_out = p;
    *end_out = p + size;
    *last_out = (p[5] & PAGE_LAST) != 0;
    return 1;
  }
  return 0;
}

unsigned int vorbis_total_samples(VorbisDecoder* d) {
  if (!d) return 0;
  if (d->total_samples == 0) {
    const uint8_t* from = d->data_len > 65536 ? d->data_end - 65536 : d->data;
    if (from < d->first_audio_page) from = d->first_audio_page;
    const uint8_t *page, *page_end, *last_page = nullptr;
    int last = 0;
    while (vorbis_find_page(d, from, &page, &page_end, &last)) {
      last_page = page;
      if (last) break;
      from = page_end;
    }
    uint32_t lo = 0xFFFFFFFFu, hi = 0xFFFFFFFFu;
    if (last_page) {
      lo = read_u32(last_page + 6);
      hi = read_u32(last_page + 10);
    }
    if (lo == 0xFFFFFFFFu && hi == 0xFFFFFFFFu) {
      d->total_samples = 0xFFFFFFFFu;  // undetermined, and said only once
      VORBIS_REFUSE(d, VorbisNoLastPage);
    }
    d->total_samples = (hi != 0 || lo == 0xFFFFFFFFu) ? 0xFFFFFFFEu : lo;
  }
  return d->total_samples == 0xFFFFFFFFu ? 0 : d->total_samples;
}
