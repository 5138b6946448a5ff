// Turns image data files into Bitmaps of colour classes: each pixel becomes
// the index of the key colour it was painted with (0..16), so rooms, sprites
// and the avatar carry their roles and noise motions in one byte per pixel.
#pragma once

#include <stdint.h>

#include "core/bitmap.h"

// A decoded image: 4 bytes per pixel R, G, B, A, rows top first.
struct DecodedImage {
  int32_t width;
  int32_t height;
  uint8_t* pixels;
};

// Decodes the data file name as RGBA; null when it is missing or undecodable.
DecodedImage* image_load_rgba(const char* name);
void decoded_image_free(DecodedImage* image);

// Class of every pixel by exact R, G, B match; 0 where no key colour matches.
Bitmap* bitmap_from_rgba(const DecodedImage* image);
// The classes of data file name, as bitmap_from_rgba would give them for its
// decoded pixels (without holding them in RGBA); null (and no message) when
// missing or undecodable.
Bitmap* bitmap_load(const char* name);
// Half-size mask, 255 where any of the up to four covered pixels has the
// class, else 0.
Bitmap* bitmap_half_mask(const Bitmap* bitmap, int cls);
