// Residue decode (types 0, 1 and 2): classification words first, then up to
// eight passes of vector-quantised partitions added into the channel buffers.
// Begin and end are clamped to the vectors actually present, so a hostile
// setup can shrink the coded range but never point outside the buffers.
#include <algorithm>

#include "vorbis/vorbis_internal.h"

namespace {

// Type 0: a partition's vectors are interleaved at a stride of size/dimensions.
int decode_partition_type0(VorbisDecoder* d, const VorbisCodebook* book, float* v, int size) {
  int dims = book->dimensions;
  int step = size / dims;
  for (int i = 0; i < step; ++i) {
    int index = vorbis_codebook_decode_index(d, book);
    if (index < 0) return 0;
    const float* values = book->values + (int64_t)index * dims;
    for (int j = 0; j < dims; ++j) v[i + j * step] += values[j];
  }
  return 1;
}

// Type 1: vectors follow one another.
int decode_partition_type1(VorbisDecoder* d, const VorbisCodebook* book, float* v, int size) {
  int dims = book->dimensions;
  for (int i = 0; i < size;) {
    int index = vorbis_codebook_decode_index(d, book);
    if (index < 0) return 0;
    const float* values = book->values + (int64_t)index * dims;
    int count = std::min(dims, size - i);
    for (int j = 0; j < count; ++j) v[i + j] += values[j];
    i += count;
  }
  return 1;
}

// Type 2: one vector interleaving all channels; element k is channel k % channels.
int decode_partition_type2(VorbisDecoder* d, const VorbisCodebook* book, float** v,
                           int channels, int offset, int size) {
  int dims = book->dimensions;
  int c = offset % channels, i = offset / channels;
  if (channels == 2) {
    float* left = v[0];
    float* right = v[1];
    for (int k = 0; k < size;) {
      int index = vorbis_codebook_decode_index(d, book);
      if (index < 0) return 0;
      const float* values = book->values + (int64_t)index * dims;
      int count = std::min(dims, size - k);
      k += count;
      int j = 0;
      if (c == 1 && j < count) {
        right[i++] += values[j++];
        c = 0;
      }
      for (; j + 1 < count; j += 2, ++i) {
        left[i] += values[j];
        right[i] += values[j + 1];
      }
      if (j < count) {
        left[i] += values[j];
        c = 1;
      }
    }
    return 1;
  }
  for (int k = 0; k < size;) {
    int index = vorbis_codebook_decode_index(d, book);
    if (index < 0) return 0;
    const float* values = book->values + (int64_t)index * dims;
    int count = std::min(dims, size - k);
    k += count;
    for (int j = 0; j < count; ++j) {
      v[c][i] += values[j];
      if (++c == channels) {
        c = 0;
        ++i;
      }
    }
  }
  return 1;
}

}  // namespace

void vorbis_residue_decode(VorbisDecoder* d, const VorbisResidue* r, float** buffers,
                           int channels, const uint8_t* do_not_decode, int half_n) {
  for (int c = 0; c < channels; ++c) memset(buffers[c], 0, sizeof(float) * half_n);
  int interleaved = r->type == 2 && channels > 1;
  int vectors = interleaved ? 1 : channels;
  uint8_t skip[VORBIS_MAX_CHANNELS];
  int any = 0;
  for (int c = 0; c < channels; ++c) {
    skip[c] = do_not_decode[c];
    any |= !skip[c];
  }
  if (!any) return;
  if (interleaved) skip[0] = 0;

  int64_t size = interleaved ? (int64_t)half_n * channels : half_n;
  int64_t begin = std::min<int64_t>(r->begin, size), end = std::min<int64_t>(r->end, size);
  if (end <= begin) return;
  int psize = (int)std::min<int64_t>(r->partition_size, size);
  int parts = (int)((end - begin) / r->partition_size);
  if (parts == 0) return;

  const VorbisCodebook* classbook = &d->codebooks[r->classbook];
  int per_word = classbook->dimensions;
  int classes = r->classifications;
  uint8_t* words = d->class_words;  // vectors * parts <= max_partitions

  for (int pass = 0; pass < 8; ++pass) {
    for (int p = 0; p < parts;) {
      if (pass == 0) {
        for (int j = 0; j < vectors; ++j) {
          if (skip[j]) continue;
          int temp = vorbis_codebook_decode(d, classbook);
          if (temp < 0) return;
          // The last partition of the group holds the least significant digit.
          for (int i = per_word - 1; i >= 0; --i) {
            if (p + i < parts) words[j * parts + p + i] = (uint8_t)(temp % classes);
            temp /= classes;
          }
        }
      }
      for (int i = 0; i < per_word && p < parts; ++i, ++p) {
        int offset = (int)begin + p * psize;
        for (int j = 0; j < vectors; ++j) {
          if (skip[j]) continue;
          int book = r->books[words[j * parts + p]][pass];
          if (book < 0) continue;
          const VorbisCodebook* cb = &d->codebooks[book];
          int ok;
          if (interleaved) {
            ok = decode_partition_type2(d, cb, buffers, channels, offset, psize);
          } else if (r->type == 0) {
            ok = decode_partition_type0(d, cb, buffers[j] + offset, psize);
          } else {
            ok = decode_partition_type1(d, cb, buffers[j] + offset, psize);
          }
          if (!ok) return;
        }
      }
    }
  }
}
