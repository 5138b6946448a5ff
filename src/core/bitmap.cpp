// Allocation and release of the two shared image records, and the key colour
// table that ties classes to painting colours. The record and its pixels are
// separate heap blocks so a room change can swap pixels without touching users
// of the record.
#include "core/bitmap.h"

#include <stdlib.h>

const uint32_t BITMAP_KEY_COLOURS[BITMAP_CLASS_COUNT] = {
    0xFFFFFF,  // 0  empty space
    0x000000,  // 1  solid
    0x005EFF,  // 2  streams up
    0x00B7FF,  // 3  up and right
    0x00FFAE,  // 4  right
    0xA2FF03,  // 5  down and right
    0xFFE100,  // 6  down
    0xFF592B,  // 7  down and left
    0xFE3198,  // 8  left
    0xFF00EA,  // 9  up and left
    0x6868D4,  // 10 interlaced vertical
    0xD468B1,  // 11 interlaced horizontal
    0x999999,  // 12 four-state loop
    0xC4C4C4,  // 13 shiver, harmless
    0xE68AFF,  // 14 random jumps
    0x00EFF7,  // 15 diagonal jumps
    0xDB0012,  // 16 boiling (the avatar)
};

// Sizes whose pixel block would not fit an int count are refused: every
// consumer indexes pixels with int arithmetic.
static bool image_size_ok(int width, int height, int bytes_per_pixel) {
  return width >= 0 && height >= 0 &&
         (int64_t)width * height * bytes_per_pixel <= 0x7FFFFFFF;
}

Bitmap* bitmap_new(int width, int height) {
  if (!image_size_ok(width, height, 1)) return nullptr;
  Bitmap* bitmap = (Bitmap*)malloc(sizeof(Bitmap));
  if (!bitmap) return nullptr;
  bitmap->width = width;
  bitmap->height = height;
  bitmap->pixels = (uint8_t*)malloc((size_t)width * height + 1);
  if (!bitmap->pixels) {
    free(bitmap);
    return nullptr;
  }
  return bitmap;
}

OutputImage* output_image_new(int width, int height) {
  if (!image_size_ok(width, height, 4)) return nullptr;
  OutputImage* image = (OutputImage*)malloc(sizeof(OutputImage));
  if (!image) return nullptr;
  image->width = width;
  image->height = height;
  image->pixels = (uint32_t*)malloc((size_t)width * height * 4 + 4);
  if (!image->pixels) {
    free(image);
    return nullptr;
  }
  return image;
}

void bitmap_free(Bitmap* bitmap) {
  if (!bitmap) return;
  free(bitmap->pixels);
  free(bitmap);
}

void output_image_free(OutputImage* image) {
  if (!image) return;
  free(image->pixels);
  free(image);
}
