// The JPEG decoder's inner loops, shared between the portable versions in
// jpeg.cpp and the SSE2 versions in jpeg_sse2.cpp, so the tests can hold the
// two against each other.
#pragma once

#include <stdint.h>

// Dequantises coef (natural order) with q and writes the 8×8 samples.
void jpeg_idct_scalar(const int16_t* coef, const uint16_t* q, uint8_t* out, int stride);

// YCbCr to RGB (n = 3) or RGBA (n = 4) for one row of w pixels.
void jpeg_ycbcr_row_scalar(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int w, int n);

#if defined(__SSE2__)
#define JPEG_HAVE_SSE2 1
// Same results as the scalar IDCT. Returns false, writing nothing, for blocks
// whose dequantised or intermediate values leave 16 bits (never for real
// images); the caller then runs the scalar version.
bool jpeg_idct_sse2(const int16_t* coef, const uint16_t* q, uint8_t* out, int stride);
// Same results as the scalar row conversion.
void jpeg_ycbcr_row_sse2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int w, int n);
#endif
