// The three Vorbis header packets: identification (strict: one 30-byte packet
// alone on the first page), comment (skipped unread) and setup, whose floors,
// residues, mappings and modes are checked here so that every number the audio
// decode later uses as an index is already known to be in range.
#include <algorithm>

#include "vorbis/vorbis_internal.h"

namespace {

constexpr uint8_t PAGE_CONTINUED = 1;
constexpr uint8_t PAGE_FIRST = 2;
constexpr uint8_t PAGE_LAST = 4;
constexpr int IDENTIFICATION_BYTES = 30;

int read_signature(VorbisDecoder* d, int type) {
  if ((int)vorbis_get_bits(d, 8) != type) VORBIS_REFUSE(d, VORBIS_NO_CODE);
  for (const char* s = "vorbis"; *s; ++s)
    if ((int)vorbis_get_bits(d, 8) != *s) VORBIS_REFUSE(d, VORBIS_NO_CODE);
  if (d->bits_invalid) VORBIS_REFUSE(d, VORBIS_NO_CODE);
  return 1;
}

int read_identification(VorbisDecoder* d) {
  if (!vorbis_start_page(d)) VORBIS_REFUSE(d, d->error == VorbisOk ? VorbisTruncatedHeader : VORBIS_NO_CODE);
  if ((d->page_flags & (PAGE_FIRST | PAGE_LAST | PAGE_CONTINUED)) != PAGE_FIRST)
    VORBIS_REFUSE(d, VorbisBadFirstPage);
  if (d->segment_count != 1 || d->segments[0] != IDENTIFICATION_BYTES)
    VORBIS_REFUSE(d, VorbisBadFirstPage);
  if (!vorbis_start_packet(d)) VORBIS_REFUSE(d, VorbisBadFirstPage);
  int type = vorbis_packet_byte(d);
  if (type < 0) VORBIS_REFUSE(d, VorbisTruncatedHeader);
  if (type != 1) VORBIS_REFUSE(d, VorbisBadFirstPage);
  for (const char* s = "vorbis"; *s; ++s) {
    int c = vorbis_packet_byte(d);
    if (c < 0) VORBIS_REFUSE(d, VorbisTruncatedHeader);
    if (c != *s) VORBIS_REFUSE(d, VorbisBadFirstPage);
  }
  uint32_t version = vorbis_get_bits(d, 32);
  int channels = (int)vorbis_get_bits(d, 8);
  uint32_t rate = vorbis_get_bits(d, 32);
  for (int i = 0; i < 3; ++i) vorbis_get_bits(d, 32);  // bitrate hints
  int exponent_short = (int)vorbis_get_bits(d, 4);
  int exponent_long = (int)vorbis_get_bits(d, 4);
  int framing = (int)vorbis_get_bits(d, 1);
  if (d->bits_invalid || version != 0 || channels == 0 || rate == 0)
    VORBIS_REFUSE(d, VorbisBadFirstPage);
  if (channels > VORBIS_MAX_CHANNELS) VORBIS_REFUSE(d, VorbisTooManyChannels);
  if (exponent_short < 6 || exponent_short > 13 || exponent_long < 6 || exponent_long > 13 ||
      exponent_short > exponent_long || !framing)
    VORBIS_REFUSE(d, VorbisBadFirstPage);
  d->channels = channels;
  d->sample_rate = rate;
  d->blocksize[0] = 1 << exponent_short;
  d->blocksize[1] = 1 << exponent_long;
  vorbis_flush_packet(d);
  return 1;
}

int read_floor1(VorbisDecoder* d, VorbisFloor1* f) {
  f->partitions = (int)vorbis_get_bits(d, 5);
  int max_class = -1;
  for (int i = 0; i < f->partitions; ++i) {
    f->partition_class[i] = (uint8_t)vorbis_get_bits(d, 4);
    max_class = std::max(max_class, (int)f->partition_class[i]);
  }
  for (int c = 0; c <= max_class; ++c) {
    f->class_dimensions[c] = (uint8_t)(vorbis_get_bits(d, 3) + 1);
    f->class_subclasses[c] = (uint8_t)vorbis_get_bits(d, 2);
    f->class_masterbook[c] = -1;
    if (f->class_subclasses[c]) {
      f->class_masterbook[c] = (int16_t)vorbis_get_bits(d, 8);
      if (f->class_masterbook[c] >= d->codebook_count) VORBIS_REFUSE(d, VorbisBadSetup);
    }
    for (int j = 0; j < (1 << f->class_subclasses[c]); ++j) {
      f->subclass_books[c][j] = (int16_t)((int)vorbis_get_bits(d, 8) - 1);
      if (f->subclass_books[c][j] >= d->codebook_count) VORBIS_REFUSE(d, VorbisBadSetup);
    }
  }
  f->multiplier = (int)vorbis_get_bits(d, 2) + 1;
  static const int ranges[4] = {256, 128, 86, 64};
  f->range = ranges[f->multiplier - 1];
  int range_bits = (int)vorbis_get_bits(d, 4);
  f->x_list[0] = 0;
  f->x_list[1] = (uint16_t)(1 << range_bits);
  f->values = 2;
  for (int i = 0; i < f->partitions; ++i) {
    int c = f->partition_class[i];
    for (int j = 0; j < f->class_dimensions[c]; ++j)
      f->x_list[f->values++] = (uint16_t)vorbis_get_bits(d, range_bits);
  }
  if (d->bits_invalid) VORBIS_REFUSE(d, VorbisBadSetup);
  // Equal X values would leave a point without neighbours (or divide by zero).
  int n = f->values;
  for (int i = 0; i < n; ++i) f->sorted_order[i] = (uint8_t)i;
  std::sort(f->sorted_order, f->sorted_order + n,
            [f](uint8_t a, uint8_t b) { return f->x_list[a] < f->x_list[b]; });
  for (int i = 1; i < n; ++i)
    if (f->x_list[f->sorted_order[i]] == f->x_list[f->sorted_order[i - 1]])
      VORBIS_REFUSE(d, VorbisBadSetup);
  for (int i = 2; i < n; ++i) {
    int low = 0, high = 1;
    for (int j = 0; j < i; ++j) {
      if (f->x_list[j] < f->x_list[i] && f->x_list[j] > f->x_list[low]) low = j;
      if (f->x_list[j] > f->x_list[i] && f->x_list[j] < f->x_list[high]) high = j;
    }
    f->low_neighbor[i] = (uint8_t)low;
    f->high_neighbor[i] = (uint8_t)high;
  }
  d->max_floor_values = std::max(d->max_floor_values, n);
  return 1;
}

int read_floors(VorbisDecoder* d) {
  d->floor_count = (int)vorbis_get_bits(d, 6) + 1;
  d->floors = (VorbisFloor1*)vorbis_alloc(d, (int64_t)d->floor_count * sizeof(VorbisFloor1));
  if (!d->floors) return 0;
  for (int i = 0; i < d->floor_count; ++i) {
    int type = (int)vorbis_get_bits(d, 16);
    if (type > 1) VORBIS_REFUSE(d, VorbisBadSetup);
    if (type == 0) {
      // Read to the end so the refusal is about the floor, not a short packet.
      vorbis_get_bits(d, 8);   // order
      vorbis_get_bits(d, 16);  // rate
      vorbis_get_bits(d, 16);  // bark map size
      vorbis_get_bits(d, 6);   // amplitude bits
      vorbis_get_bits(d, 8);   // amplitude offset
      int books = (int)vorbis_get_bits(d, 4) + 1;
      for (int b = 0; b < books; ++b) vorbis_get_bits(d, 8);
      VORBIS_REFUSE(d, VorbisUnsupportedFloor);
    }
    if (!read_floor1(d, &d->floors[i])) return 0;
  }
  return 1;
}

int read_residues(VorbisDecoder* d) {
  d->residue_count = (int)vorbis_get_bits(d, 6) + 1;
  d->residues =
      (VorbisResidue*)vorbis_alloc(d, (int64_t)d->residue_count * sizeof(VorbisResidue));
  if (!d->residues) return 0;
  int half_long = d->blocksize[1] / 2;
  for (int i = 0; i < d->residue_count; ++i) {
    VorbisResidue* r = &d->residues[i];
    r->type = (int)vorbis_get_bits(d, 16);
    if (r->type > 2) VORBIS_REFUSE(d, VorbisBadSetup);
    r->begin = vorbis_get_bits(d, 24);
    r->end = vorbis_get_bits(d, 24);
    r->partition_size = vorbis_get_bits(d, 24) + 1;
    r->classifications = (int)vorbis_get_bits(d, 6) + 1;
    r->classbook = (int)vorbis_get_bits(d, 8);
    if (r->classbook >= d->codebook_count) VORBIS_REFUSE(d, VorbisBadSetup);
    // A class book of zero dimensions would never move past a partition.
    if (d->codebooks[r->classbook].dimensions == 0) VORBIS_REFUSE(d, VorbisBadSetup);
    uint8_t cascade[64];
    for (int c = 0; c < r->classifications; ++c) {
      int low = (int)vorbis_get_bits(d, 3);
      int high = vorbis_get_bits(d, 1) ? (int)vorbis_get_bits(d, 5) : 0;
      cascade[c] = (uint8_t)(high * 8 + low);
    }
    for (int c = 0; c < r->classifications; ++c) {
      for (int pass = 0; pass < 8; ++pass) {
        r->books[c][pass] = -1;
        if (!(cascade[c] & (1 << pass))) continue;
        int book = (int)vorbis_get_bits(d, 8);
        if (book >= d->codebook_count) VORBIS_REFUSE(d, VorbisBadSetup);
        // Residue vectors come from the lookup table; a book without one cannot serve.
        if (d->codebooks[book].lookup_type == 0) VORBIS_REFUSE(d, VorbisBadSetup);
        r->books[c][pass] = (int16_t)book;
      }
    }
    int64_t size = r->type == 2 ? (int64_t)half_long * d->channels : half_long;
    int64_t begin = std::min<int64_t>(r->begin, size), end = std::min<int64_t>(r->end, size);
    int64_t partitions = end > begin ? (end - begin) / r->partition_size : 0;
    int64_t vectors = r->type == 2 ? 1 : d->channels;
    d->max_partitions = (int)std::max<int64_t>(d->max_partitions, partitions * vectors);
  }
  return 1;
}

int read_mappings(VorbisDecoder* d) {
  d->mapping_count = (int)vorbis_get_bits(d, 6) + 1;
  d->mappings =
      (VorbisMapping*)vorbis_alloc(d, (int64_t)d->mapping_count * sizeof(VorbisMapping));
  if (!d->mappings) return 0;
  int channel_bits = vorbis_ilog(d->channels - 1);
  for (int i = 0; i < d->mapping_count; ++i) {
    VorbisMapping* m = &d->mappings[i];
    if (vorbis_get_bits(d, 16) != 0) VORBIS_REFUSE(d, VorbisBadSetup);
    m->submaps = vorbis_get_bits(d, 1) ? (int)vorbis_get_bits(d, 4) + 1 : 1;
    m->coupling_steps = vorbis_get_bits(d, 1) ? (int)vorbis_get_bits(d, 8) + 1 : 0;
    for (int s = 0; s < m->coupling_steps; ++s) {
      int magnitude = (int)vorbis_get_bits(d, channel_bits);
      int angle = (int)vorbis_get_bits(d, channel_bits);
      if (magnitude >= d->channels || angle >= d->channels || magnitude == angle)
        VORBIS_REFUSE(d, VorbisBadSetup);
      m->magnitude[s] = (uint8_t)magnitude;
      m->angle[s] = (uint8_t)angle;
    }
    if (vorbis_get_bits(d, 2) != 0) VORBIS_REFUSE(d, VorbisBadSetup);
    for (int c = 0; c < d->channels && c < VORBIS_MAX_CHANNELS; ++c) {
      m->mux[c] = 0;
      if (m->submaps > 1) {
        m->mux[c] = (uint8_t)vorbis_get_bits(d, 4);
        if (m->mux[c] >= m->submaps) VORBIS_REFUSE(d, VorbisBadSetup);
      }
    }
    for (int s = 0; s < m->submaps; ++s) {
      vorbis_get_bits(d, 8);  // unused time configuration
      int floor = (int)vorbis_get_bits(d, 8);
      int residue = (int)vorbis_get_bits(d, 8);
      if (floor >= d->floor_count || residue >= d->residue_count)
        VORBIS_REFUSE(d, VorbisBadSetup);
      m->submap_floor[s] = (uint8_t)floor;
      m->submap_residue[s] = (uint8_t)residue;
    }
  }
  return 1;
}

int read_modes(VorbisDecoder* d) {
  d->mode_count = (int)vorbis_get_bits(d, 6) + 1;
  for (int i = 0; i < d->mode_count; ++i) {
    VorbisMode* m = &d->modes[i];
    m->blockflag = (int)vorbis_get_bits(d, 1);
    int window = (int)vorbis_get_bits(d, 16);
    int transform = (int)vorbis_get_bits(d, 16);
    m->mapping = (int)vorbis_get_bits(d, 8);
    if (window != 0 || transform != 0 || m->mapping >= d->mapping_count)
      VORBIS_REFUSE(d, VorbisBadSetup);
  }
  return 1;
}

int read_setup(VorbisDecoder* d) {
  if (!vorbis_start_packet(d)) VORBIS_REFUSE(d, VorbisBadSetup);
  if (!read_signature(d, 5)) VORBIS_REFUSE(d, VorbisBadSetup);

  d->codebook_count = (int)vorbis_get_bits(d, 8) + 1;
  d->codebooks =
      (VorbisCodebook*)vorbis_alloc(d, (int64_t)d->codebook_count * sizeof(VorbisCodebook));
  if (!d->codebooks) return 0;
  for (int i = 0; i < d->codebook_count; ++i)
    if (!vorbis_read_codebook(d, &d->codebooks[i])) return 0;

  int times = (int)vorbis_get_bits(d, 6) + 1;
  for (int i = 0; i < times; ++i)
    if (vorbis_get_bits(d, 16) != 0) VORBIS_REFUSE(d, VorbisBadSetup);

  if (!read_floors(d) || !read_residues(d) || !read_mappings(d) || !read_modes(d)) return 0;
  int framing = (int)vorbis_get_bits(d, 1);
  if (d->bits_invalid || !framing) VORBIS_REFUSE(d, VorbisBadSetup);
  vorbis_flush_packet(d);
  // Audio starts on a fresh page after the setup packet.
  d->first_audio_page = d->next_segment < 0 ? d->cursor : d->page_end;
  return 1;
}

int allocate_buffers(VorbisDecoder* d) {
  int n = d->blocksize[1];
  for (int c = 0; c < d->channels; ++c) {
    d->channel_buffer[c] = (float*)vorbis_alloc(d, (int64_t)n * sizeof(float));
    d->overlap[c] = (float*)vorbis_alloc(d, (int64_t)n / 2 * sizeof(float));
    d->floor_y[c] = (int16_t*)vorbis_alloc(d, (int64_t)(d->max_floor_values + 1) * 2);
    d->lead_buffer[c] = (float*)vorbis_alloc(d, (int64_t)n / 2 * sizeof(float));
    if (!d->channel_buffer[c] || !d->overlap[c] || !d->floor_y[c] || !d->lead_buffer[c])
      return 0;
  }
  d->fft_scratch = (float*)vorbis_alloc(d, (int64_t)n / 2 * sizeof(float));
  d->class_words = (uint8_t*)vorbis_alloc(d, d->max_partitions + 1);
  d->floor_step2 = (uint8_t*)vorbis_alloc(d, d->max_floor_values + 1);
  if (!d->fft_scratch || !d->class_words || !d->floor_step2) return 0;
  for (int b = 0; b < 2; ++b)
    if (!vorbis_build_block_tables(d, &d->tables[b], d->blocksize[b])) return 0;
  return 1;
}

}  // namespace

int vorbis_read_headers(VorbisDecoder* d) {
  if (!read_identification(d)) return 0;
  // The comment packet is skipped whole; nothing in it matters for decoding.
  // Where a step failed without a code of its own, the stage names the failure.
  if (!vorbis_start_packet(d)) VORBIS_REFUSE(d, d->error == VorbisOk ? VorbisBadSetup : VORBIS_NO_CODE);
  vorbis_flush_packet(d);
  if (!read_setup(d)) VORBIS_REFUSE(d, d->error == VorbisOk ? VorbisBadSetup : VORBIS_NO_CODE);
  if (!allocate_buffers(d)) VORBIS_REFUSE(d, d->error == VorbisOk ? VorbisOutOfMemory : VORBIS_NO_CODE);
  return 1;
}
