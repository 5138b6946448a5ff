// x86-64 forms of the renderer's row loops: SSE2 (always there) and AVX2
// (compiled for that target only, run only after the processor says yes).
// A chunk of one class is one load; where classes meet, each class present
// fills its own lanes, so no pixel takes a branch of its own. A pixel's value
// depends only on its place, so chunks may overlap and write some twice.
#include "sim/noise_field_internal.h"

#if defined(NOISE_FIELD_HAVE_X86)
#include <immintrin.h>
#include <stddef.h>
#include <string.h>

#define NOISE_AVX2 __attribute__((target("avx2")))

namespace {

// The selectors of columns k .. k + 31 of the row that starts at entry
// `start`, bit i for column k + i. One unaligned 8-byte read covers them at
// any bit offset.
inline uint32_t row_bits(const uint8_t* bits, uint32_t start, int k) {
  uint32_t at = start + (uint32_t)k;
  uint64_t word;
  memcpy(&word, bits + (at >> 3), sizeof word);
  return (uint32_t)(word >> (at & 7));
}

// Columns k .. k + 31 of a chunk: one class (the usual case) is one read;
// where classes meet, each class present adds its row's bits under its own
// mask, the class's lanes of the chunk.
inline uint32_t chunk_bits_sse2(const uint8_t* scene, int k, const uint8_t* bits, const uint32_t starts[256]) {
  __m128i lo = _mm_loadu_si128((const __m128i*)(scene + k)), hi = _mm_loadu_si128((const __m128i*)(scene + k + 16));
  uint8_t c = scene[k];
  __m128i key = _mm_set1_epi8((char)c);
  uint32_t same = (uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(lo, key)) |
                  (uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(hi, key)) << 16;
  uint32_t m = row_bits(bits, starts[c], k);
  if (same == 0xFFFFFFFFu) return m;
  m &= same;
  uint32_t left = ~same;
  do {
    c = scene[k + __builtin_ctz(left)];
    key = _mm_set1_epi8((char)c);
    uint32_t eq = (uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(lo, key)) |
                  (uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(hi, key)) << 16;
    m |= row_bits(bits, starts[c], k) & eq;
    left &= ~eq;
  } while (left);
  return m;
}

NOISE_AVX2 inline uint32_t chunk_bits_avx2(const uint8_t* scene, int k, const uint8_t* bits,
                                           const uint32_t starts[256]) {
  __m256i cls = _mm256_loadu_si256((const __m256i*)(scene + k));
  uint32_t same = (uint32_t)_mm256_movemask_epi8(
      _mm256_cmpeq_epi8(cls, _mm256_broadcastb_epi8(_mm256_castsi256_si128(cls))));
  uint32_t m = row_bits(bits, starts[scene[k]], k);
  if (same == 0xFFFFFFFFu) return m;
  m &= same;
  uint32_t left = ~same;
  do {
    uint8_t c = scene[k + __builtin_ctz(left)];
    uint32_t eq = (uint32_t)_mm256_movemask_epi8(_mm256_cmpeq_epi8(cls, _mm256_set1_epi8((char)c)));
    m |= row_bits(bits, starts[c], k) & eq;
    left &= ~eq;
  } while (left);
  return m;
}

// 32 pixels from 32 selector bits: each byte of them picks a pattern of
// eight pixels.
inline void store_patterns_32(uint32_t* dst, uint32_t m, const uint32_t patterns[256][8]) {
  for (int g = 0; g < 4; g++) {
    const uint32_t* p = patterns[(m >> (8 * g)) & 0xFF];
    _mm_storeu_si128((__m128i*)(dst + 8 * g), _mm_load_si128((const __m128i*)p));
    _mm_storeu_si128((__m128i*)(dst + 8 * g + 4), _mm_load_si128((const __m128i*)(p + 4)));
  }
}

// 32 pixels from 32 selector bits: a variable shift moves each pixel's bit
// to the top of its lane, where the blend looks.
NOISE_AVX2 inline void store_bits_32(uint32_t* dst, uint32_t m, __m256 colour0, __m256 colour1) {
  const __m256i to_top = _mm256_setr_epi32(31, 30, 29, 28, 27, 26, 25, 24);
  const __m256i eight = _mm256_set1_epi32(8);
  __m256i b = _mm256_set1_epi32((int)m);
  __m256i s0 = to_top, s1 = _mm256_sub_epi32(s0, eight), s2 = _mm256_sub_epi32(s1, eight),
          s3 = _mm256_sub_epi32(s2, eight);
  _mm256_storeu_ps((float*)dst, _mm256_blendv_ps(colour0, colour1, _mm256_castsi256_ps(_mm256_sllv_epi32(b, s0))));
  _mm256_storeu_ps((float*)(dst + 8),
                   _mm256_blendv_ps(colour0, colour1, _mm256_castsi256_ps(_mm256_sllv_epi32(b, s1))));
  _mm256_storeu_ps((float*)(dst + 16),
                   _mm256_blendv_ps(colour0, colour1, _mm256_castsi256_ps(_mm256_sllv_epi32(b, s2))));
  _mm256_storeu_ps((float*)(dst + 24),
                   _mm256_blendv_ps(colour0, colour1, _mm256_castsi256_ps(_mm256_sllv_epi32(b, s3))));
}

// Columns k .. k + 15 from the coloured table: one class is four straight
// copies; where classes meet, each class present blends its colours in under
// its widened byte mask.
NOISE_AVX2 inline void store_colours_16(uint32_t* dst, const uint8_t* scene, int k, const uint32_t* table,
                                        const uint32_t starts[256]) {
  __m128i cls = _mm_loadu_si128((const __m128i*)(scene + k));
  uint8_t c = scene[k];
  __m128i eq = _mm_cmpeq_epi8(cls, _mm_set1_epi8((char)c));
  unsigned same = (unsigned)_mm_movemask_epi8(eq);
  const uint32_t* row = table + starts[c] + k;
  __m256i p0 = _mm256_loadu_si256((const __m256i*)row);
  __m256i p1 = _mm256_loadu_si256((const __m256i*)(row + 8));
  unsigned left = ~same & 0xFFFFu;
  while (left) {
    c = scene[k + __builtin_ctz(left)];
    row = table + starts[c] + k;
    eq = _mm_cmpeq_epi8(cls, _mm_set1_epi8((char)c));
    p0 = _mm256_blendv_epi8(p0, _mm256_loadu_si256((const __m256i*)row), _mm256_cvtepi8_epi32(eq));
    p1 = _mm256_blendv_epi8(p1, _mm256_loadu_si256((const __m256i*)(row + 8)),
                            _mm256_cvtepi8_epi32(_mm_srli_si128(eq, 8)));
    left &= ~(unsigned)_mm_movemask_epi8(eq);
  }
  _mm256_storeu_si256((__m256i*)(dst + k), p0);
  _mm256_storeu_si256((__m256i*)(dst + k + 8), p1);
}

}  // namespace

int noise_field_avx2_supported(void) {
  // The compiler's probe checks the CPUID bit and that the system saves the
  // wide registers.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? 1 : 0;
}

// Rows narrower than a chunk, pixel by pixel.
void select_row_narrow(uint32_t* dst, const uint8_t* scene, int cols, const uint8_t* bits,
                       const uint32_t starts[256], uint32_t colour0, uint32_t colour1) {
  for (int k = 0; k < cols; k++) dst[k] = row_bits(bits, starts[scene[k]], k) & 1 ? colour1 : colour0;
}

// Wide stores that straddle cache lines cost more than writing a few pixels
// twice: the first chunk may overlap the second, the ones after it start on
// a 32-byte boundary of the output, and the last may overlap the one before.
int first_aligned_column(const uint32_t* dst) {
  int k = (int)((0u - (uintptr_t)dst) & 31) / 4;
  return k == 0 ? 32 : k;
}

// Columns k .. k + 63 when all are of one class, as two words of selector
// bits; false (nothing read) otherwise. Rooms are mostly wide areas of one
// class, and one test per 64 columns leaves the stores most of the time.
inline bool uniform_64_sse2(const uint8_t* scene, int k, const uint8_t* bits, const uint32_t starts[256],
                            uint32_t* lo_out, uint32_t* hi_out) {
  const __m128i* v = (const __m128i*)(scene + k);
  __m128i key = _mm_set1_epi8((char)scene[k]);
  __m128i eq = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(v), key), _mm_cmpeq_epi8(_mm_loadu_si128(v + 1), key)),
                             _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(v + 2), key), _mm_cmpeq_epi8(_mm_loadu_si128(v + 3), key)));
  if (_mm_movemask_epi8(eq) != 0xFFFF) return false;
  uint32_t start = starts[scene[k]];
  *lo_out = row_bits(bits, start, k);
  *hi_out = row_bits(bits, start, k + 32);
  return true;
}

NOISE_AVX2 inline bool uniform_64_avx2(const uint8_t* scene, int k, const uint8_t* bits, const uint32_t starts[256],
                                       uint32_t* lo_out, uint32_t* hi_out) {
  __m256i a = _mm256_loadu_si256((const __m256i*)(scene + k));
  __m256i b = _mm256_loadu_si256((const __m256i*)(scene + k + 32));
  __m256i key = _mm256_broadcastb_epi8(_mm256_castsi256_si128(a));
  __m256i eq = _mm256_and_si256(_mm256_cmpeq_epi8(a, key), _mm256_cmpeq_epi8(b, key));
  if ((uint32_t)_mm256_movemask_epi8(eq) != 0xFFFFFFFFu) return false;
  uint32_t start = starts[scene[k]];
  *lo_out = row_bits(bits, start, k);
  *hi_out = row_bits(bits, start, k + 32);
  return true;
}

void noise_row_select_sse2(uint32_t* dst, const uint8_t* scene, int cols, const uint8_t* bits,
                           const uint32_t starts[256], const uint32_t patterns[256][8]) {
  if (cols < 32) return select_row_narrow(dst, scene, cols, bits, starts, patterns[0][0], patterns[255][0]);
  store_patterns_32(dst, chunk_bits_sse2(scene, 0, bits, starts), patterns);
  int k = first_aligned_column(dst);
  for (; k + 64 <= cols; k += 64) {
    uint32_t lo, hi;
    if (!uniform_64_sse2(scene, k, bits, starts, &lo, &hi)) {
      lo = chunk_bits_sse2(scene, k, bits, starts);
      hi = chunk_bits_sse2(scene, k + 32, bits, starts);
    }
    store_patterns_32(dst + k, lo, patterns);
    store_patterns_32(dst + k + 32, hi, patterns);
  }
  for (; k + 32 <= cols; k += 32) store_patterns_32(dst + k, chunk_bits_sse2(scene, k, bits, starts), patterns);
  if (k < cols) store_patterns_32(dst + cols - 32, chunk_bits_sse2(scene, cols - 32, bits, starts), patterns);
}

NOISE_AVX2 void noise_row_select_avx2(uint32_t* dst, const uint8_t* scene, int cols, const uint8_t* bits,
                                      const uint32_t starts[256], uint32_t colour0, uint32_t colour1) {
  if (cols < 32) return select_row_narrow(dst, scene, cols, bits, starts, colour0, colour1);
  __m256 c0 = _mm256_castsi256_ps(_mm256_set1_epi32((int)colour0));
  __m256 c1 = _mm256_castsi256_ps(_mm256_set1_epi32((int)colour1));
  store_bits_32(dst, chunk_bits_avx2(scene, 0, bits, starts), c0, c1);
  int k = first_aligned_column(dst);
  for (; k + 64 <= cols; k += 64) {
    uint32_t lo, hi;
    if (!uniform_64_avx2(scene, k, bits, starts, &lo, &hi)) {
      lo = chunk_bits_avx2(scene, k, bits, starts);
      hi = chunk_bits_avx2(scene, k + 32, bits, starts);
    }
    store_bits_32(dst + k, lo, c0, c1);
    store_bits_32(dst + k + 32, hi, c0, c1);
  }
  for (; k + 32 <= cols; k += 32) store_bits_32(dst + k, chunk_bits_avx2(scene, k, bits, starts), c0, c1);
  if (k < cols) store_bits_32(dst + cols - 32, chunk_bits_avx2(scene, cols - 32, bits, starts), c0, c1);
}

NOISE_AVX2 void noise_row_colours_avx2(uint32_t* dst, const uint8_t* scene, int cols, const uint32_t* table,
                                       const uint32_t starts[256]) {
  if (cols < 16) {
    for (int k = 0; k < cols; k++) dst[k] = table[starts[scene[k]] + k];
    return;
  }
  int k = 0;
  for (; k + 16 <= cols; k += 16) store_colours_16(dst, scene, k, table, starts);
  if (k < cols) store_colours_16(dst, scene, cols - 16, table, starts);
}

#endif
