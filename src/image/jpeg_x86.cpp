// x86-64 forms of the JPEG inverse DCT, chroma upsampling and colour
// conversion: SSE2 (always there) and AVX2 (compiled for that target only,
// run only after the processor says yes). The IDCT's factored constants are
// expanded into one multiplier per input so that each output is a few
// 16×16->32-bit multiply-adds; in exact integer arithmetic the results equal
// the portable version, which handles the rare block whose values do not fit
// in 16 bits.
#include "image/jpeg_internal.h"

#if defined(JPEG_HAVE_X86)
#include <immintrin.h>
#include <string.h>

#define JPEG_AVX2 __attribute__((target("avx2")))

int jpeg_avx2_supported(void) {
  // The compiler's probe checks the CPUID bit and that the system saves the
  // wide registers.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? 1 : 0;
}

static inline __m128i pair_const(int a, int b) {
  return _mm_set_epi16((short)b, (short)a, (short)b, (short)a, (short)b, (short)a, (short)b, (short)a);
}

// Transposes eight rows of eight 16-bit values in place.
static inline void transpose8(__m128i* r) {
  __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
  __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
  __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
  __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
  __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  r[0] = _mm_unpacklo_epi64(b0, b4);
  r[1] = _mm_unpackhi_epi64(b0, b4);
  r[2] = _mm_unpacklo_epi64(b1, b5);
  r[3] = _mm_unpackhi_epi64(b1, b5);
  r[4] = _mm_unpacklo_epi64(b2, b6);
  r[5] = _mm_unpackhi_epi64(b2, b6);
  r[6] = _mm_unpacklo_epi64(b3, b7);
  r[7] = _mm_unpackhi_epi64(b3, b7);
}

// One 1-D pass over eight lanes: s[k] holds input k of every lane; out[k]
// receives (output k + bias) >> shift as 32-bit values, low and high halves.
static inline void idct_pass(const __m128i* s, int bias, int shift, __m128i* lo, __m128i* hi) {
  const __m128i k_e2 = pair_const(2217, -5350), k_e3 = pair_const(5352, 2217);
  const __m128i k_e0 = pair_const(4096, 4096), k_e1 = pair_const(4096, -4096);
  const __m128i k_o0a = pair_const(-5680, 4816), k_o0b = pair_const(-3218, 1131);
  const __m128i k_o1a = pair_const(4816, 1132), k_o1b = pair_const(-5681, 3219);
  const __m128i k_o2a = pair_const(-3218, -5681), k_o2b = pair_const(-1129, 4816);
  const __m128i k_o3a = pair_const(1131, 3219), k_o3b = pair_const(4816, 5683);
  const __m128i rounding = _mm_set1_epi32(bias);
  for (int half = 0; half < 2; ++half) {
    __m128i p26, p04, p75, p31;
    if (half == 0) {
      p26 = _mm_unpacklo_epi16(s[2], s[6]);
      p04 = _mm_unpacklo_epi16(s[0], s[4]);
      p75 = _mm_unpacklo_epi16(s[7], s[5]);
      p31 = _mm_unpacklo_epi16(s[3], s[1]);
    } else {
      p26 = _mm_unpackhi_epi16(s[2], s[6]);
      p04 = _mm_unpackhi_epi16(s[0], s[4]);
      p75 = _mm_unpackhi_epi16(s[7], s[5]);
      p31 = _mm_unpackhi_epi16(s[3], s[1]);
    }
    __m128i e2 = _mm_madd_epi16(p26, k_e2), e3 = _mm_madd_epi16(p26, k_e3);
    __m128i e0 = _mm_add_epi32(_mm_madd_epi16(p04, k_e0), rounding);
    __m128i e1 = _mm_add_epi32(_mm_madd_epi16(p04, k_e1), rounding);
    __m128i x0 = _mm_add_epi32(e0, e3), x3 = _mm_sub_epi32(e0, e3);
    __m128i x1 = _mm_add_epi32(e1, e2), x2 = _mm_sub_epi32(e1, e2);
    __m128i o0 = _mm_add_epi32(_mm_madd_epi16(p75, k_o0a), _mm_madd_epi16(p31, k_o0b));
    __m128i o1 = _mm_add_epi32(_mm_madd_epi16(p75, k_o1a), _mm_madd_epi16(p31, k_o1b));
    __m128i o2 = _mm_add_epi32(_mm_madd_epi16(p75, k_o2a), _mm_madd_epi16(p31, k_o2b));
    __m128i o3 = _mm_add_epi32(_mm_madd_epi16(p75, k_o3a), _mm_madd_epi16(p31, k_o3b));
    __m128i* d = half == 0 ? lo : hi;
    d[0] = _mm_srai_epi32(_mm_add_epi32(x0, o3), shift);
    d[7] = _mm_srai_epi32(_mm_sub_epi32(x0, o3), shift);
    d[1] = _mm_srai_epi32(_mm_add_epi32(x1, o2), shift);
    d[6] = _mm_srai_epi32(_mm_sub_epi32(x1, o2), shift);
    d[2] = _mm_srai_epi32(_mm_add_epi32(x2, o1), shift);
    d[5] = _mm_srai_epi32(_mm_sub_epi32(x2, o1), shift);
    d[3] = _mm_srai_epi32(_mm_add_epi32(x3, o0), shift);
    d[4] = _mm_srai_epi32(_mm_sub_epi32(x3, o0), shift);
  }
}

// v + 32768 keeps its high half zero exactly when v fits in 16 bits, so the
// OR of such sums over a block tells whether any value does not.
static inline __m128i int16_probe(__m128i v) { return _mm_add_epi32(v, _mm_set1_epi32(32768)); }

// The dequantised rows, or false when a product leaves 16 bits.
static inline bool dequantise(const int16_t* coef, const uint16_t* q, __m128i* s) {
  __m128i bad = _mm_setzero_si128();
  for (int k = 0; k < 8; ++k) {
    __m128i c = _mm_loadu_si128((const __m128i*)(coef + 8 * k));
    __m128i m = _mm_loadu_si128((const __m128i*)(q + 8 * k));
    __m128i lo = _mm_mullo_epi16(c, m), hi = _mm_mulhi_epi16(c, m);
    // The product fits in 16 bits when its high half is the sign of the low.
    bad = _mm_or_si128(bad, _mm_xor_si128(hi, _mm_srai_epi16(lo, 15)));
    s[k] = lo;
  }
  return _mm_movemask_epi8(_mm_cmpeq_epi16(bad, _mm_setzero_si128())) == 0xffff;
}

// Rows of the finished block (16-bit, level shift applied) to bytes.
static inline void store_block(__m128i* s, uint8_t* out, int stride) {
  for (int r = 0; r < 8; r += 2) {
    __m128i bytes = _mm_packus_epi16(s[r], s[r + 1]);
    _mm_storel_epi64((__m128i*)(out + r * stride), bytes);
    _mm_storel_epi64((__m128i*)(out + (r + 1) * stride), _mm_srli_si128(bytes, 8));
  }
}

bool jpeg_idct_sse2(const int16_t* coef, const uint16_t* q, uint8_t* out, int stride) {
  __m128i s[8];
  if (!dequantise(coef, q, s)) return false;
  // Columns: every lane is one column; 512 rounds the 10-bit shift.
  __m128i lo[8], hi[8];
  idct_pass(s, 512, 10, lo, hi);
  __m128i probe = _mm_setzero_si128();
  for (int k = 0; k < 8; ++k) {
    probe = _mm_or_si128(probe, _mm_or_si128(int16_probe(lo[k]), int16_probe(hi[k])));
    s[k] = _mm_packs_epi32(lo[k], hi[k]);
  }
  probe = _mm_srli_epi32(probe, 16);
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(probe, _mm_setzero_si128())) != 0xffff) return false;
  // Rows: transpose so that every lane is one row; 65536 rounds the 17-bit
  // shift. The sums stay far inside 32 bits for 16-bit inputs.
  transpose8(s);
  idct_pass(s, 65536, 17, lo, hi);
  const __m128i level = _mm_set1_epi16(128);
  for (int k = 0; k < 8; ++k) s[k] = _mm_add_epi16(_mm_packs_epi32(lo[k], hi[k]), level);
  transpose8(s);
  store_block(s, out, stride);
  return true;
}

JPEG_AVX2 static inline __m256i pair_const_256(int a, int b) {
  return _mm256_set1_epi32((int)(((uint32_t)b << 16) | ((uint32_t)a & 0xffff)));
}

// Inputs a and b of all eight lanes, interleaved, lanes 0..7 in order.
JPEG_AVX2 static inline __m256i pair_256(__m128i a, __m128i b) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi16(a, b)), _mm_unpackhi_epi16(a, b), 1);
}

// idct_pass with all eight lanes in one register: out[k] holds output k of
// lanes 0..7 as 32-bit values.
JPEG_AVX2 static inline void idct_pass_avx2(const __m128i* s, int bias, int shift, __m256i* d) {
  const __m256i k_e2 = pair_const_256(2217, -5350), k_e3 = pair_const_256(5352, 2217);
  const __m256i k_e0 = pair_const_256(4096, 4096), k_e1 = pair_const_256(4096, -4096);
  const __m256i k_o0a = pair_const_256(-5680, 4816), k_o0b = pair_const_256(-3218, 1131);
  const __m256i k_o1a = pair_const_256(4816, 1132), k_o1b = pair_const_256(-5681, 3219);
  const __m256i k_o2a = pair_const_256(-3218, -5681), k_o2b = pair_const_256(-1129, 4816);
  const __m256i k_o3a = pair_const_256(1131, 3219), k_o3b = pair_const_256(4816, 5683);
  const __m256i rounding = _mm256_set1_epi32(bias);
  __m256i p26 = pair_256(s[2], s[6]), p04 = pair_256(s[0], s[4]);
  __m256i p75 = pair_256(s[7], s[5]), p31 = pair_256(s[3], s[1]);
  __m256i e2 = _mm256_madd_epi16(p26, k_e2), e3 = _mm256_madd_epi16(p26, k_e3);
  __m256i e0 = _mm256_add_epi32(_mm256_madd_epi16(p04, k_e0), rounding);
  __m256i e1 = _mm256_add_epi32(_mm256_madd_epi16(p04, k_e1), rounding);
  __m256i x0 = _mm256_add_epi32(e0, e3), x3 = _mm256_sub_epi32(e0, e3);
  __m256i x1 = _mm256_add_epi32(e1, e2), x2 = _mm256_sub_epi32(e1, e2);
  __m256i o0 = _mm256_add_epi32(_mm256_madd_epi16(p75, k_o0a), _mm256_madd_epi16(p31, k_o0b));
  __m256i o1 = _mm256_add_epi32(_mm256_madd_epi16(p75, k_o1a), _mm256_madd_epi16(p31, k_o1b));
  __m256i o2 = _mm256_add_epi32(_mm256_madd_epi16(p75, k_o2a), _mm256_madd_epi16(p31, k_o2b));
  __m256i o3 = _mm256_add_epi32(_mm256_madd_epi16(p75, k_o3a), _mm256_madd_epi16(p31, k_o3b));
  d[0] = _mm256_srai_epi32(_mm256_add_epi32(x0, o3), shift);
  d[7] = _mm256_srai_epi32(_mm256_sub_epi32(x0, o3), shift);
  d[1] = _mm256_srai_epi32(_mm256_add_epi32(x1, o2), shift);
  d[6] = _mm256_srai_epi32(_mm256_sub_epi32(x1, o2), shift);
  d[2] = _mm256_srai_epi32(_mm256_add_epi32(x2, o1), shift);
  d[5] = _mm256_srai_epi32(_mm256_sub_epi32(x2, o1), shift);
  d[3] = _mm256_srai_epi32(_mm256_add_epi32(x3, o0), shift);
  d[4] = _mm256_srai_epi32(_mm256_sub_epi32(x3, o0), shift);
}

JPEG_AVX2 static inline __m128i pack_256(__m256i v) {
  return _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

JPEG_AVX2 bool jpeg_idct_avx2(const int16_t* coef, const uint16_t* q, uint8_t* out, int stride) {
  __m128i s[8];
  if (!dequantise(coef, q, s)) return false;
  __m256i d[8];
  idct_pass_avx2(s, 512, 10, d);
  __m256i probe = _mm256_setzero_si256();
  for (int k = 0; k < 8; ++k) {
    probe = _mm256_or_si256(probe, _mm256_add_epi32(d[k], _mm256_set1_epi32(32768)));
    s[k] = pack_256(d[k]);
  }
  if (!_mm256_testz_si256(probe, _mm256_set1_epi32((int)0xffff0000u))) return false;
  transpose8(s);
  idct_pass_avx2(s, 65536, 17, d);
  const __m128i level = _mm_set1_epi16(128);
  for (int k = 0; k < 8; ++k) s[k] = _mm_add_epi16(pack_256(d[k]), level);
  transpose8(s);
  store_block(s, out, stride);
  return true;
}

// Eight pixels: R = Y + cr + ((26345 cr + 32768) >> 16), and so on, which is
// the 16.16 formula split into a whole part and a part that fits madd.
static inline void ycbcr8(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, __m128i* r8, __m128i* g8,
                          __m128i* b8) {
  const __m128i zero = _mm_setzero_si128(), c128 = _mm_set1_epi16(128);
  __m128i yy = _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)y), zero);
  __m128i b = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)cb), zero), c128);
  __m128i r = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)cr), zero), c128);
  const __m128i two = _mm_set1_epi16(2);
  const __m128i k_r = pair_const(26345, 16384);   // 91881 = 65536 + 26345; 16384 × 2 = 32768
  const __m128i k_g = pair_const(18734, -22554);  // -46802 = -65536 + 18734
  const __m128i k_b = pair_const(-14942, 16384);  // 116130 = 131072 - 14942
  const __m128i half = _mm_set1_epi32(32768);
  __m128i r2lo = _mm_unpacklo_epi16(r, two), r2hi = _mm_unpackhi_epi16(r, two);
  __m128i rblo = _mm_unpacklo_epi16(r, b), rbhi = _mm_unpackhi_epi16(r, b);
  __m128i b2lo = _mm_unpacklo_epi16(b, two), b2hi = _mm_unpackhi_epi16(b, two);
  __m128i fr = _mm_packs_epi32(_mm_srai_epi32(_mm_madd_epi16(r2lo, k_r), 16), _mm_srai_epi32(_mm_madd_epi16(r2hi, k_r), 16));
  __m128i fg = _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(rblo, k_g), half), 16),
                               _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(rbhi, k_g), half), 16));
  __m128i fb = _mm_packs_epi32(_mm_srai_epi32(_mm_madd_epi16(b2lo, k_b), 16), _mm_srai_epi32(_mm_madd_epi16(b2hi, k_b), 16));
  __m128i rr = _mm_add_epi16(_mm_add_epi16(yy, r), fr);
  __m128i gg = _mm_add_epi16(_mm_sub_epi16(yy, r), fg);
  __m128i bb = _mm_add_epi16(_mm_add_epi16(yy, _mm_add_epi16(b, b)), fb);
  *r8 = _mm_packus_epi16(rr, rr);
  *g8 = _mm_packus_epi16(gg, gg);
  *b8 = _mm_packus_epi16(bb, bb);
}

// Four RGBX pixels packed to 12 RGB bytes in the low bytes (SSE2 has no byte
// shuffle: each 64-bit half drops its X bytes by shifts, then the halves join).
static inline __m128i rgbx_to_rgb(__m128i p) {
  const __m128i low3 = _mm_set1_epi64x(0xffffff), next3 = _mm_set1_epi64x(0xffffff000000);
  __m128i q = _mm_or_si128(_mm_and_si128(p, low3), _mm_and_si128(_mm_srli_epi64(p, 8), next3));
  const __m128i half0 = _mm_set_epi64x(0, -1);
  return _mm_or_si128(_mm_and_si128(q, half0), _mm_srli_si128(_mm_andnot_si128(half0, q), 2));
}

void jpeg_ycbcr_row_sse2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int w, int n) {
  int x = 0;
  const __m128i alpha = _mm_set1_epi8((char)0xff);
  if (n == 4) {
    for (; x + 8 <= w; x += 8) {
      __m128i r, g, b;
      ycbcr8(y + x, cb + x, cr + x, &r, &g, &b);
      __m128i rg = _mm_unpacklo_epi8(r, g), ba = _mm_unpacklo_epi8(b, alpha);
      _mm_storeu_si128((__m128i*)(out + 4 * x), _mm_unpacklo_epi16(rg, ba));
      _mm_storeu_si128((__m128i*)(out + 4 * x + 16), _mm_unpackhi_epi16(rg, ba));
    }
  } else {
    // Each 16-byte store carries 12 bytes; the 4 after them are rewritten by
    // the next store or the tail, so the loop stops two pixels early.
    for (; x + 10 <= w; x += 8) {
      __m128i r, g, b;
      ycbcr8(y + x, cb + x, cr + x, &r, &g, &b);
      __m128i rg = _mm_unpacklo_epi8(r, g), ba = _mm_unpacklo_epi8(b, alpha);
      _mm_storeu_si128((__m128i*)(out + 3 * x), rgbx_to_rgb(_mm_unpacklo_epi16(rg, ba)));
      _mm_storeu_si128((__m128i*)(out + 3 * x + 12), rgbx_to_rgb(_mm_unpackhi_epi16(rg, ba)));
    }
  }
  if (x < w) jpeg_ycbcr_row_scalar(y + x, cb + x, cr + x, out + (size_t)n * x, w - x, n);
}

// Sixteen pixels at once; the arithmetic is ycbcr8's.
JPEG_AVX2 static inline void ycbcr16(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, __m128i* r16,
                                     __m128i* g16, __m128i* b16) {
  const __m256i c128 = _mm256_set1_epi16(128), two = _mm256_set1_epi16(2);
  __m256i yy = _mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)y));
  __m256i b = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)cb)), c128);
  __m256i r = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)cr)), c128);
  const __m256i k_r = _mm256_set1_epi32((16384 << 16) | 26345);
  const __m256i k_g = _mm256_set1_epi32((int)((uint32_t)(-22554 & 0xffff) << 16 | 18734));
  const __m256i k_b = _mm256_set1_epi32((16384 << 16) | (-14942 & 0xffff));
  const __m256i half = _mm256_set1_epi32(32768);
  __m256i fr = _mm256_packs_epi32(_mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(r, two), k_r), 16),
                                  _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(r, two), k_r), 16));
  __m256i fg = _mm256_packs_epi32(
      _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(r, b), k_g), half), 16),
      _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(r, b), k_g), half), 16));
  __m256i fb = _mm256_packs_epi32(_mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(b, two), k_b), 16),
                                  _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(b, two), k_b), 16));
  __m256i rr = _mm256_add_epi16(_mm256_add_epi16(yy, r), fr);
  __m256i gg = _mm256_add_epi16(_mm256_sub_epi16(yy, r), fg);
  __m256i bb = _mm256_add_epi16(_mm256_add_epi16(yy, _mm256_add_epi16(b, b)), fb);
  *r16 = _mm_packus_epi16(_mm256_castsi256_si128(rr), _mm256_extracti128_si256(rr, 1));
  *g16 = _mm_packus_epi16(_mm256_castsi256_si128(gg), _mm256_extracti128_si256(gg, 1));
  *b16 = _mm_packus_epi16(_mm256_castsi256_si128(bb), _mm256_extracti128_si256(bb, 1));
}

JPEG_AVX2 void jpeg_ycbcr_row_avx2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int w,
                                   int n) {
  int x = 0;
  const __m128i alpha = _mm_set1_epi8((char)0xff);
  const __m128i drop_x = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  // As in the SSE2 form, 3-byte pixels stop early enough for the 16-byte stores.
  const int stop = n == 4 ? w - 16 : w - 18;
  for (; x <= stop; x += 16) {
    __m128i r, g, b;
    ycbcr16(y + x, cb + x, cr + x, &r, &g, &b);
    __m128i rg0 = _mm_unpacklo_epi8(r, g), rg1 = _mm_unpackhi_epi8(r, g);
    __m128i ba0 = _mm_unpacklo_epi8(b, alpha), ba1 = _mm_unpackhi_epi8(b, alpha);
    __m128i p[4] = {_mm_unpacklo_epi16(rg0, ba0), _mm_unpackhi_epi16(rg0, ba0), _mm_unpacklo_epi16(rg1, ba1),
                    _mm_unpackhi_epi16(rg1, ba1)};
    if (n == 4) {
      for (int k = 0; k < 4; ++k) _mm_storeu_si128((__m128i*)(out + 4 * x + 16 * k), p[k]);
    } else {
      for (int k = 0; k < 4; ++k) _mm_storeu_si128((__m128i*)(out + 3 * x + 12 * k), _mm_shuffle_epi8(p[k], drop_x));
    }
  }
  if (x < w) jpeg_ycbcr_row_sse2(y + x, cb + x, cr + x, out + (size_t)n * x, w - x, n);
}

// 3 × a + b for eight bytes of each, as 16-bit lanes.
static inline __m128i triple_plus(__m128i a8, __m128i b8) {
  const __m128i zero = _mm_setzero_si128();
  __m128i a = _mm_unpacklo_epi8(a8, zero), b = _mm_unpacklo_epi8(b8, zero);
  return _mm_add_epi16(_mm_add_epi16(a, _mm_add_epi16(a, a)), b);
}

static inline __m128i load8(const uint8_t* p) { return _mm_loadl_epi64((const __m128i*)p); }

// With t = 3 × near + far down each column, the inner output pair between
// columns x and x + 1 is (3 t[x] + t[x + 1]) >> 4 and (3 t[x + 1] + t[x]) >> 4,
// the same sums as the 9-3-3-1 weights.
void jpeg_upsample_2x2_sse2(const uint8_t* near, const uint8_t* far, int w, uint8_t* out) {
  int x = 0;
  out[0] = near[0];
  for (; x + 8 < w; x += 8) {
    __m128i t0 = triple_plus(load8(near + x), load8(far + x));
    __m128i t1 = triple_plus(load8(near + x + 1), load8(far + x + 1));
    __m128i a = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t0, _mm_add_epi16(t0, t0)), t1), 4);
    __m128i b = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t1, _mm_add_epi16(t1, t1)), t0), 4);
    _mm_storeu_si128((__m128i*)(out + 2 * x + 1), _mm_or_si128(a, _mm_slli_epi16(b, 8)));
  }
  for (; x < w - 1; ++x) {
    out[2 * x + 1] = (uint8_t)((9 * near[x] + 3 * near[x + 1] + 3 * far[x] + far[x + 1]) >> 4);
    out[2 * x + 2] = (uint8_t)((9 * near[x + 1] + 3 * near[x] + 3 * far[x + 1] + far[x]) >> 4);
  }
  out[2 * w - 1] = near[w - 1];
}

void jpeg_upsample_2x1_sse2(const uint8_t* in, int w, uint8_t* out) {
  out[0] = in[0];
  out[1] = (uint8_t)((3 * in[0] + in[1]) >> 2);
  int i = 1;
  for (; i + 8 < w; i += 8) {
    const __m128i zero = _mm_setzero_si128();
    __m128i mid = _mm_unpacklo_epi8(load8(in + i), zero);
    __m128i three = _mm_add_epi16(mid, _mm_add_epi16(mid, mid));
    __m128i left = _mm_srli_epi16(_mm_add_epi16(three, _mm_unpacklo_epi8(load8(in + i - 1), zero)), 2);
    __m128i right = _mm_srli_epi16(_mm_add_epi16(three, _mm_unpacklo_epi8(load8(in + i + 1), zero)), 2);
    _mm_storeu_si128((__m128i*)(out + 2 * i), _mm_or_si128(left, _mm_slli_epi16(right, 8)));
  }
  for (; i < w - 1; ++i) {
    int n = 3 * in[i];
    out[2 * i] = (uint8_t)((n + in[i - 1]) >> 2);
    out[2 * i + 1] = (uint8_t)((n + in[i + 1]) >> 2);
  }
  out[2 * w - 2] = (uint8_t)((3 * in[w - 1] + in[w - 2]) >> 2);
  out[2 * w - 1] = in[w - 1];
}

void jpeg_upsample_1x2_sse2(const uint8_t* near, const uint8_t* far, int w, uint8_t* out) {
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    __m128i v = _mm_srli_epi16(triple_plus(load8(near + x), load8(far + x)), 2);
    _mm_storel_epi64((__m128i*)(out + x), _mm_packus_epi16(v, v));
  }
  for (; x < w; ++x) out[x] = (uint8_t)((3 * near[x] + far[x]) >> 2);
}

#endif
