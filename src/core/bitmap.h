// Bitmap and OutputImage: the two image records the whole game shares. Plain
// width, height and a separate pixel block, so a room change swaps pixels and
// the renderer, loader and drawing code all index them the same way.
#pragma once

#include <stdint.h>

// One byte per pixel, row-major, top row first: a colour class 0..16 for
// images, 0 or 255 for masks.
struct Bitmap {
  int32_t width;
  int32_t height;
  uint8_t* pixels;
};

// 32-bit pixels 0xXXRRGGBB (blue in the lowest byte in memory).
struct OutputImage {
  int32_t width;
  int32_t height;
  uint32_t* pixels;
};

// The 17 painting colours in class order, each R + 256*G + 65536*B (red in
// the low byte, the form the loader compares decoded pixels in). Defined in
// core/bitmap.cpp.
enum { BITMAP_CLASS_COUNT = 17 };
extern const uint32_t BITMAP_KEY_COLOURS[BITMAP_CLASS_COUNT];

Bitmap* bitmap_new(int width, int height);
OutputImage* output_image_new(int width, int height);
void bitmap_free(Bitmap* bitmap);
void output_image_free(OutputImage* image);
