// x86-64 forms of the renderer's row loops: SSE2 (always there) and AVX2
// (compiled for that target only, run only after the processor says yes).
// A chunk of one class is one load; where classes meet, each class present
// fills its own lanes, so no pixel takes a branch of its own. A pixel's value
// depends only on its place, so chunks may overlap and write some twice.
#include "sim/noise_field_internal.h"

#if defined(NOISE_FIELD_HAVE_X86)
#include <immintrin.h>
#include <stddef.h>

#define NOISE_AVX2 __attribute__((target("avx2")))

namespace {

uint32_t select_pixel(const uint8_t* scene, int k, const uint8_t* table, const uint32_t starts[256],
                      uint32_t colour0, uint32_t flip) {
  return colour0 ^ (flip & (0u - (table[starts[scene[k]] + k] & 1u)));
}

// The 16 selector bytes of columns k .. k + 15.
inline __m128i chunk_select_16(const uint8_t* scene, int k, const uint8_t* table, const uint32_t starts[256]) {
  __m128i cls = _mm_loadu_si128((const __m128i*)(scene + k));
  uint8_t c = scene[k];
  __m128i sel = _mm_loadu_si128((const __m128i*)(table + starts[c] + k));
  // One class when every byte equals the one before it (byte 0 is compared
  // with the zero shifted in, so its bit is ignored).
  unsigned steps = (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(cls, _mm_slli_si128(cls, 1)));
  if ((steps | 1u) == 0xFFFFu) return sel;
  __m128i eq = _mm_cmpeq_epi8(cls, _mm_set1_epi8((char)c));
  sel = _mm_and_si128(sel, eq);
  unsigned left = ~(unsigned)_mm_movemask_epi8(eq) & 0xFFFFu;
  do {
    c = scene[k + __builtin_ctz(left)];
    eq = _mm_cmpeq_epi8(cls, _mm_set1_epi8((char)c));
    sel = _mm_or_si128(sel, _mm_and_si128(eq, _mm_loadu_si128((const __m128i*)(table + starts[c] + k))));
    left &= ~(unsigned)_mm_movemask_epi8(eq);
  } while (left);
  return sel;
}

// Each selector byte widened to a 32-bit mask by pairing it with itself twice.
inline void store_select_16(uint32_t* dst, __m128i sel, __m128i colour0, __m128i flip) {
  __m128i lo = _mm_unpacklo_epi8(sel, sel);
  __m128i hi = _mm_unpackhi_epi8(sel, sel);
  _mm_storeu_si128((__m128i*)dst, _mm_xor_si128(colour0, _mm_and_si128(flip, _mm_unpacklo_epi16(lo, lo))));
  _mm_storeu_si128((__m128i*)(dst + 4), _mm_xor_si128(colour0, _mm_and_si128(flip, _mm_unpackhi_epi16(lo, lo))));
  _mm_storeu_si128((__m128i*)(dst + 8), _mm_xor_si128(colour0, _mm_and_si128(flip, _mm_unpacklo_epi16(hi, hi))));
  _mm_storeu_si128((__m128i*)(dst + 12), _mm_xor_si128(colour0, _mm_and_si128(flip, _mm_unpackhi_epi16(hi, hi))));
}

// Eight pixels from eight selector bytes: sign extension makes each byte a
// 32-bit mask, and the blend picks colour1 where it is set.
NOISE_AVX2 inline void store_select_8(uint32_t* dst, __m128i sel, __m256i colour0, __m256i colour1) {
  _mm256_storeu_si256((__m256i*)dst, _mm256_blendv_epi8(colour0, colour1, _mm256_cvtepi8_epi32(sel)));
}

NOISE_AVX2 inline __m128i load_8(const uint8_t* p) { return _mm_loadl_epi64((const __m128i*)p); }

// Columns k .. k + 31. A chunk of one class (the usual case) reads its
// selectors straight from the table. Where classes meet the chunk mostly
// holds two, those of its first and last pixel, which one blend joins; a
// third class is rare and takes the loop.
NOISE_AVX2 inline void store_select_32(uint32_t* dst, const uint8_t* scene, int k, const uint8_t* table,
                                       const uint32_t starts[256], __m256i colour0, __m256i colour1) {
  __m256i cls = _mm256_loadu_si256((const __m256i*)(scene + k));
  __m256i is_first = _mm256_cmpeq_epi8(cls, _mm256_broadcastb_epi8(_mm256_castsi256_si128(cls)));
  unsigned same = (unsigned)_mm256_movemask_epi8(is_first);
  const uint8_t* first_row = table + starts[scene[k]] + k;
  dst += k;
  if (same == 0xFFFFFFFFu) {
    store_select_8(dst, load_8(first_row), colour0, colour1);
    store_select_8(dst + 8, load_8(first_row + 8), colour0, colour1);
    store_select_8(dst + 16, load_8(first_row + 16), colour0, colour1);
    store_select_8(dst + 24, load_8(first_row + 24), colour0, colour1);
    return;
  }
  uint8_t last = scene[k + 31];
  __m256i is_last = _mm256_cmpeq_epi8(cls, _mm256_set1_epi8((char)last));
  __m256i sel = _mm256_blendv_epi8(_mm256_loadu_si256((const __m256i*)first_row),
                                   _mm256_loadu_si256((const __m256i*)(table + starts[last] + k)), is_last);
  unsigned left = ~(same | (unsigned)_mm256_movemask_epi8(is_last));
  while (left) {
    uint8_t c = scene[k + __builtin_ctz(left)];
    __m256i eq = _mm256_cmpeq_epi8(cls, _mm256_set1_epi8((char)c));
    sel = _mm256_blendv_epi8(sel, _mm256_loadu_si256((const __m256i*)(table + starts[c] + k)), eq);
    left &= ~(unsigned)_mm256_movemask_epi8(eq);
  }
  __m128i lo = _mm256_castsi256_si128(sel), hi = _mm256_extracti128_si256(sel, 1);
  store_select_8(dst, lo, colour0, colour1);
  store_select_8(dst + 8, _mm_srli_si128(lo, 8), colour0, colour1);
  store_select_8(dst + 16, hi, colour0, colour1);
  store_select_8(dst + 24, _mm_srli_si128(hi, 8), colour0, colour1);
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

void noise_row_select_sse2(uint32_t* dst, const uint8_t* scene, int cols, const uint8_t* table,
                           const uint32_t starts[256], uint32_t colour0, uint32_t colour1) {
  uint32_t flip = colour0 ^ colour1;
  if (cols < 16) {
    for (int k = 0; k < cols; k++) dst[k] = select_pixel(scene, k, table, starts, colour0, flip);
    return;
  }
  __m128i c0 = _mm_set1_epi32((int)colour0), fl = _mm_set1_epi32((int)flip);
  int k = 0;
  for (; k + 16 <= cols; k += 16) store_select_16(dst + k, chunk_select_16(scene, k, table, starts), c0, fl);
  if (k < cols) store_select_16(dst + cols - 16, chunk_select_16(scene, cols - 16, table, starts), c0, fl);
}

NOISE_AVX2 void noise_row_select_avx2(uint32_t* dst, const uint8_t* scene, int cols, const uint8_t* table,
                                      const uint32_t starts[256], uint32_t colour0, uint32_t colour1) {
  if (cols < 32) {
    uint32_t flip = colour0 ^ colour1;
    for (int k = 0; k < cols; k++) dst[k] = select_pixel(scene, k, table, starts, colour0, flip);
    return;
  }
  __m256i c0 = _mm256_set1_epi32((int)colour0), c1 = _mm256_set1_epi32((int)colour1);
  // Wide stores that straddle cache lines cost more than writing a few pixels
  // twice: the first chunk may overlap the second, the ones after it start on
  // a 32-byte boundary of the output, and the last may overlap the one before.
  store_select_32(dst, scene, 0, table, starts, c0, c1);
  int k = (int)((0u - (uintptr_t)dst) & 31) / 4;
  if (k == 0) k = 32;
  for (; k + 32 <= cols; k += 32) store_select_32(dst, scene, k, table, starts, c0, c1);
  if (k < cols) store_select_32(dst, scene, cols - 32, table, starts, c0, c1);
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
