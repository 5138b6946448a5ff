// The JPEG decoder's inner loops, shared between the portable versions in
// jpeg.cpp and the x86 vector versions in jpeg_x86.cpp, so the tests can hold
// every version to the same results.
#pragma once

#include <stdint.h>

// The widest vector code the decoder uses. Every level decodes the same
// pixels; tests pin each one in turn to hold them to that.
enum {
  JPEG_VECTOR_NONE = 0,  // portable C++
  JPEG_VECTOR_SSE2 = 1,  // x86-64 baseline
  JPEG_VECTOR_AVX2 = 2,  // only where the processor and the system run it
};
// Caps the level (JPEG_VECTOR_AVX2: the best this machine runs) and returns
// the level now in effect, which may be lower than asked.
int jpeg_limit_vector(int level);
int jpeg_vector_level(void);

// Dequantises coef (natural order) with q and writes the 8×8 samples.
void jpeg_idct_scalar(const int16_t* coef, const uint16_t* q, uint8_t* out, int stride);

// YCbCr to RGB (n = 3) or RGBA (n = 4) for one row of w pixels.
void jpeg_ycbcr_row_scalar(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int w, int n);

// Chroma upsampling of one output row from rows of w input samples.
// 2×2 for a row that has an input row on either side: `near` is the closer
// one; writes 2w samples.
void jpeg_upsample_2x2_scalar(const uint8_t* near, const uint8_t* far, int w, uint8_t* out);
// Horizontal 2× (w ≥ 2): writes 2w samples.
void jpeg_upsample_2x1_scalar(const uint8_t* in, int w, uint8_t* out);
// Vertical 2×: writes w samples.
void jpeg_upsample_1x2_scalar(const uint8_t* near, const uint8_t* far, int w, uint8_t* out);

#if (defined(__x86_64__) || defined(_M_X64)) && (defined(__GNUC__) || defined(__clang__))
#define JPEG_HAVE_X86 1
// Same results as the scalar IDCT. Return false, writing nothing, for blocks
// whose dequantised or intermediate values leave 16 bits (never for real
// images); the caller then runs the scalar version.
bool jpeg_idct_sse2(const int16_t* coef, const uint16_t* q, uint8_t* out, int stride);
bool jpeg_idct_avx2(const int16_t* coef, const uint16_t* q, uint8_t* out, int stride);
// Same results as the scalar row functions of the same names.
void jpeg_ycbcr_row_sse2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int w, int n);
void jpeg_ycbcr_row_avx2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int w, int n);
void jpeg_upsample_2x2_sse2(const uint8_t* near, const uint8_t* far, int w, uint8_t* out);
void jpeg_upsample_2x1_sse2(const uint8_t* in, int w, uint8_t* out);
void jpeg_upsample_1x2_sse2(const uint8_t* near, const uint8_t* far, int w, uint8_t* out);
int jpeg_avx2_supported(void);
#endif
