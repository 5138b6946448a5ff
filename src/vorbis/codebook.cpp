// Codebooks: reading a codebook from the setup header, assigning the prefix
// codes, and the two decode structures: a 10-bit table that resolves short codes
// in one lookup and a sorted list of MSB-first codewords searched for the long
// ones. Vector lookups are expanded into plain float vectors up front so that
// the residue loop only indexes and adds.
#include <algorithm>
#include <cmath>

#include "vorbis/vorbis_internal.h"

namespace {

constexpr uint32_t CODEBOOK_SYNC = 0x564342;  // "BCV"
constexpr uint8_t ABSENT = 255;

uint32_t reverse32(uint32_t v) {
  v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
  v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
  v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
  v = ((v >> 8) & 0x00FF00FFu) | ((v & 0x00FF00FFu) << 8);
  return (v >> 16) | (v << 16);
}

// 21-bit mantissa, 10-bit exponent biased by 788, sign in the top bit.
float float32_unpack(uint32_t x) {
  float mantissa = (float)(x & 0x1FFFFF);
  int exponent = (int)((x & 0x7FE00000u) >> 21);
  if (x & 0x80000000u) mantissa = -mantissa;
  return ldexpf(mantissa, exponent - 788);
}

// The greatest r with r^dimensions <= entries.
int64_t lookup1_values(int entries, int dimensions) {
  auto fits = [&](int64_t r) {
    int64_t p = 1;
    for (int k = 0; k < dimensions; ++k) {
      p *= r;
      if (p > entries) return false;
    }
    return true;
  };
  int64_t r = (int64_t)floor(exp(log((double)entries) / dimensions));
  while (fits(r + 1)) ++r;
  while (r > 0 && !fits(r)) --r;
  return r;
}

// Gives each used entry, in entry order, the lowest free codeword of its length.
// At most one free node per depth exists at any time, deeper ones lying further
// left, so the lowest free code of length L hangs below the deepest free node
// no deeper than L. Codes are stored MSB-aligned.
int assign_codewords(const uint8_t* lengths, int entries, uint32_t* codes_out) {
  uint32_t free_code[33];
  bool has_free[33] = {};
  has_free[0] = true;
  free_code[0] = 0;
  for (int e = 0; e < entries; ++e) {
    int length = lengths[e];
    if (length == ABSENT) continue;
    int depth = length;
    while (depth >= 0 && !has_free[depth]) --depth;
    if (depth < 0) return 0;  // over-specified: no code of this length is left
    uint32_t code = free_code[depth];
    has_free[depth] = false;
    for (int k = depth + 1; k <= length; ++k) {
      has_free[k] = true;
      free_code[k] = code + (uint32_t)(((uint64_t)1 << 32) >> k);
    }
    codes_out[e] = code;
  }
  return 1;
}

void fill_fast(VorbisCodebook* c, uint32_t code, int length, uint32_t index) {
  uint32_t low = reverse32(code) & (VORBIS_FAST_SIZE - 1);
  for (uint32_t i = low; i < (uint32_t)VORBIS_FAST_SIZE; i += 1u << length)
    c->fast[i] = (index << 8) | (uint32_t)length;
}

}  // namespace

int vorbis_read_codebook(VorbisDecoder* d, VorbisCodebook* c) {
  uint32_t sync = vorbis_get_bits(d, 8);
  sync |= vorbis_get_bits(d, 8) << 8;
  sync |= vorbis_get_bits(d, 8) << 16;
  if (sync != CODEBOOK_SYNC) VORBIS_REFUSE(d, VorbisBadSetup);
  c->dimensions = (int)vorbis_get_bits(d, 16);
  c->entries = (int)vorbis_get_bits(d, 24);
  int entries = c->entries;
  int ordered = (int)vorbis_get_bits(d, 1);
  int sparse = ordered ? 0 : (int)vorbis_get_bits(d, 1);
  if (d->bits_invalid) VORBIS_REFUSE(d, VorbisBadSetup);

  uint8_t* lengths = (uint8_t*)vorbis_alloc(d, entries + 1);
  if (!lengths) return 0;
  if (ordered) {
    int current = 0;
    int length = (int)vorbis_get_bits(d, 5) + 1;
    while (current < entries) {
      int number = (int)vorbis_get_bits(d, vorbis_ilog(entries - current));
      if (d->bits_invalid || number > entries - current) VORBIS_REFUSE(d, VorbisBadSetup);
      if (number > 0 && length > 32) VORBIS_REFUSE(d, VorbisBadSetup);
      memset(lengths + current, length, (size_t)number);
      current += number;
      ++length;
      if (length > 33 && current < entries) VORBIS_REFUSE(d, VorbisBadSetup);
    }
  } else {
    for (int e = 0; e < entries; ++e) {
      if (sparse && !vorbis_get_bits(d, 1)) {
        lengths[e] = ABSENT;
      } else {
        lengths[e] = (uint8_t)(vorbis_get_bits(d, 5) + 1);
      }
      if (d->bits_invalid) VORBIS_REFUSE(d, VorbisBadSetup);
    }
  }

  int used = 0;
  for (int e = 0; e < entries; ++e) used += lengths[e] != ABSENT;
  if (sparse && used >= entries / 4) sparse = 0;
  c->sparse = sparse;
  c->used_entries = used;

  uint32_t* codes = (uint32_t*)vorbis_alloc(d, (int64_t)entries * 4 + 4);
  if (!codes) return 0;
  if (!assign_codewords(lengths, entries, codes)) VORBIS_REFUSE(d, VorbisBadSetup);

  // Sorted list: every used entry of a sparse book, the long codes of a dense one.
  int sorted = 0;
  for (int e = 0; e < entries; ++e)
    if (lengths[e] != ABSENT && (sparse || lengths[e] > VORBIS_FAST_BITS)) ++sorted;
  c->sorted_count = sorted;
  if (sorted > 0) {
    uint64_t* keys = (uint64_t*)vorbis_alloc(d, (int64_t)sorted * 8);
    c->sorted_codes = (uint32_t*)vorbis_alloc(d, (int64_t)(sorted + 1) * 4);
    int32_t* values = (int32_t*)vorbis_alloc(d, (int64_t)(sorted + 1) * 4);
    if (!keys || !c->sorted_codes || !values) return 0;
    int k = 0;
    for (int e = 0; e < entries; ++e)
      if (lengths[e] != ABSENT && (sparse || lengths[e] > VORBIS_FAST_BITS))
        keys[k++] = ((uint64_t)codes[e] << 32) | (uint32_t)e;
    std::sort(keys, keys + sorted);
    values[0] = -1;
    c->sorted_values = values + 1;
    for (int i = 0; i < sorted; ++i) {
      c->sorted_codes[i] = (uint32_t)(keys[i] >> 32);
      c->sorted_values[i] = (int32_t)(keys[i] & 0xFFFFFFFFu);
    }
    c->sorted_codes[sorted] = 0xFFFFFFFFu;
  }

  memset(c->fast, 0, sizeof(c->fast));
  if (sparse) {
    // Lengths follow the sorted order, so lengths[] and values[] share one index.
    uint8_t* sorted_lengths = (uint8_t*)vorbis_alloc(d, sorted + 1);
    if (!sorted_lengths) return 0;
    for (int i = 0; i < sorted; ++i) sorted_lengths[i] = lengths[c->sorted_values[i]];
    c->lengths = sorted_lengths;
    for (int i = 0; i < sorted; ++i)
      if (sorted_lengths[i] <= VORBIS_FAST_BITS)
        fill_fast(c, c->sorted_codes[i], sorted_lengths[i], (uint32_t)i);
  } else {
    c->lengths = lengths;
    for (int e = 0; e < entries; ++e)
      if (lengths[e] <= VORBIS_FAST_BITS) fill_fast(c, codes[e], lengths[e], (uint32_t)e);
  }
  if (used == 1) {
    // A lone entry decodes whatever its one bit says.
    for (int i = 0; i < VORBIS_FAST_SIZE; ++i) {
      if (c->fast[i] != 0) {
        uint32_t only = c->fast[i];
        for (int j = 0; j < VORBIS_FAST_SIZE; ++j) c->fast[j] = only;
        break;
      }
    }
  }

  int lookup = (int)vorbis_get_bits(d, 4);
  if (lookup > 2) VORBIS_REFUSE(d, VorbisBadSetup);
  c->lookup_type = 0;
  if (lookup == 0) {
    if (d->bits_invalid) VORBIS_REFUSE(d, VorbisBadSetup);
    return 1;
  }

  float minimum = float32_unpack(vorbis_get_bits(d, 32));
  float delta = float32_unpack(vorbis_get_bits(d, 32));
  int value_bits = (int)vorbis_get_bits(d, 4) + 1;
  int sequence = (int)vorbis_get_bits(d, 1);
  int dims = c->dimensions;
  if (dims == 0) VORBIS_REFUSE(d, VorbisBadSetup);  // a vector of nothing cannot advance
  int64_t lookup_values =
      lookup == 1 ? lookup1_values(entries, dims) : (int64_t)entries * dims;
  if (lookup_values * 2 > VORBIS_SETUP_BUDGET) VORBIS_REFUSE(d, VorbisOutOfMemory);
  uint16_t* multiplicands = (uint16_t*)vorbis_alloc(d, lookup_values * 2 + 2);
  if (!multiplicands) return 0;
  for (int64_t i = 0; i < lookup_values; ++i) {
    multiplicands[i] = (uint16_t)vorbis_get_bits(d, value_bits);
    if (d->bits_invalid) VORBIS_REFUSE(d, VorbisBadSetup);
  }

  int count = sparse ? sorted : entries;
  if ((int64_t)count * dims * 4 > VORBIS_SETUP_BUDGET) VORBIS_REFUSE(d, VorbisOutOfMemory);
  c->values = (float*)vorbis_alloc(d, (int64_t)count * dims * 4 + 4);
  if (!c->values) return 0;
  for (int i = 0; i < count; ++i) {
    int64_t entry = sparse ? c->sorted_values[i] : i;
    float* out = c->values + (int64_t)i * dims;
    float last = 0;
    if (lookup == 1) {
      int64_t divisor = 1;
      for (int k = 0; k < dims; ++k) {
        int64_t offset = (entry / divisor) % lookup_values;
        float v = multiplicands[offset] * delta + minimum + last;
        out[k] = v;
        if (sequence) last = v;
        // Once the divisor passes every entry number the quotient stays 0.
        if (divisor <= entries) divisor *= lookup_values;
      }
    } else {
      const uint16_t* m = multiplicands + entry * dims;
      for (int k = 0; k < dims; ++k) {
        float v = m[k] * delta + minimum + last;
        out[k] = v;
        if (sequence) last = v;
      }
    }
  }
  c->lookup_type = 2;
  return 1;
}

int vorbis_codebook_decode_slow(VorbisDecoder* d, const VorbisCodebook* c) {
  if (d->bits_invalid) return -1;
  uint32_t fast = c->fast[d->acc & (VORBIS_FAST_SIZE - 1)];
  if ((fast & 255) == 0 && c->sorted_count > 0) {
    uint32_t code = reverse32((uint32_t)d->acc);
    const uint32_t* sorted = c->sorted_codes;
    int lo = 0, n = c->sorted_count;
    while (n > 1) {
      int half = n >> 1;
      if (sorted[lo + half] <= code) {
        lo += half;
        n -= half;
      } else {
        n = half;
      }
    }
    if (sorted[lo] <= code) {
      int length = c->sparse ? c->lengths[lo] : c->lengths[c->sorted_values[lo]];
      if (((uint64_t)(sorted[lo] ^ code) >> (32 - length)) == 0) {
        if (length <= d->bits) {
          d->acc >>= length;
          d->bits -= length;
          return c->sparse ? lo : c->sorted_values[lo];
        }
        fast = (uint32_t)length;  // a real code cut short by the packet's end
      }
    }
  }
  // Either the packet ended inside a code (no code of its own: the packet is
  // simply over) or the bits match no code at all.
  vorbis_refuse(d, !d->packet_over || d->bits >= 32 ? VorbisBadAudioPacket : VORBIS_NO_CODE);
  d->bits_invalid = 1;
  d->bits = 0;
  d->acc = 0;
  return -1;
}
