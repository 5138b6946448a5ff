// Image loading for the game: data file -> RGBA through the image decoder ->
// one class byte per pixel. Alpha is ignored: only the painting colour
// decides a pixel's class. A room is loaded while play runs, so the per-pixel
// steps avoid a search over the 17 key colours and a branch per pixel.
#include "core/bitmap_load.h"

#include <stdlib.h>
#include <string.h>

#include "core/archive.h"
#include "image/image.h"

// A data file decoded to `components` bytes per pixel; null when it is missing
// or does not decode.
static uint8_t* decode_data_file(const char* name, int components, int32_t* width_out,
                                 int32_t* height_out) {
  int size = 0;
  const uint8_t* data = load_data(name, &size);
  if (!data) return 0;
  return image_load_from_memory(data, size, width_out, height_out, 0, components);
}

DecodedImage* image_load_rgba(const char* name) {
  int32_t width = 0, height = 0;
  uint8_t* pixels = decode_data_file(name, 4, &width, &height);
  if (!pixels) return 0;
  DecodedImage* image = (DecodedImage*)malloc(sizeof(DecodedImage));
  if (!image) {
    free(pixels);
    return 0;
  }
  image->width = width;
  image->height = height;
  image->pixels = pixels;
  return image;
}

void decoded_image_free(DecodedImage* image) {
  if (!image) return;
  free(image->pixels);
  free(image);
}

namespace {

// The key colours in an open-addressed table: a colour's slot comes from a
// multiplicative hash, and a taken slot passes it on to the next one. 17 keys
// in 256 slots leave most chains one long, and an empty slot always ends one.
enum { KEY_SLOTS = 256 };
const uint32_t NO_KEY = 0xFFFFFFFFu;  // never a colour: those have 24 bits
static_assert((int)BITMAP_CLASS_COUNT < (int)KEY_SLOTS, "the table must keep empty slots");

struct KeyTable {
  uint32_t colours[KEY_SLOTS];  // a key colour or NO_KEY
  uint8_t classes[KEY_SLOTS];   // the class of colours[slot]
};

uint32_t key_slot(uint32_t colour) { return (colour * 0x9E3779B1u) >> 24; }

void key_table_build(KeyTable* table) {
  memset(table->colours, 0xFF, sizeof table->colours);
  // Filled in class order, so a colour listed twice keeps its later class,
  // as a search of the list from the front that keeps the last match would.
  for (int k = 0; k < BITMAP_CLASS_COUNT; k++) {
    uint32_t colour = BITMAP_KEY_COLOURS[k];
    uint32_t slot = key_slot(colour);
    while (table->colours[slot] != NO_KEY && table->colours[slot] != colour) slot = (slot + 1) % KEY_SLOTS;
    table->colours[slot] = colour;
    table->classes[slot] = (uint8_t)k;
  }
}

uint8_t key_table_class(const KeyTable* table, uint32_t colour) {
  for (uint32_t slot = key_slot(colour); table->colours[slot] != NO_KEY; slot = (slot + 1) % KEY_SLOTS) {
    if (table->colours[slot] == colour) return table->classes[slot];
  }
  return 0;
}

// Blocks of this many pixels are checked for repeating the run at once.
enum { BLOCK = 16 };

// The R, G, B bytes of a pixel as a colour word, red in the low byte.
inline uint32_t pixel_colour(const uint8_t* q) {
  return (uint32_t)q[0] | (uint32_t)q[1] << 8 | (uint32_t)q[2] << 16;
}

// True when all BLOCK pixels from q (stride bytes apart) have the colour
// run_colour. One pass without branches, which the compiler vectorises.
template <int stride>
bool block_repeats(const uint8_t* q, uint32_t run_colour) {
  uint32_t diff = 0;
  for (int j = 0; j < BLOCK; j++) diff |= pixel_colour(q + stride * j) ^ run_colour;
  return diff == 0;
}

}  // namespace

namespace {

// out[i] = class of pixel i of the pixels p, stride bytes each (R, G, B
// first). out may be p itself: pixel i is read before out[i] is written, and
// out[i] lies at or before the first byte of pixel i, so the classes can
// overwrite the pixels they came from.
template <int stride>
void classify(const uint8_t* p, size_t count, uint8_t* out) {
  KeyTable table;
  key_table_build(&table);
  // Painted images are mostly long runs of one colour: a pixel that repeats
  // the one before takes its class without a look-up, and a whole block of
  // such pixels is filled at once.
  uint32_t run_colour = NO_KEY;
  uint8_t run_class = 0;
  size_t i = 0;
  while (i < count) {
    if (run_colour != NO_KEY && count - i >= BLOCK && block_repeats<stride>(p + stride * i, run_colour)) {
      memset(out + i, run_class, BLOCK);
      i += BLOCK;
      continue;
    }
    size_t end = count - i >= BLOCK ? i + BLOCK : count;
    for (; i < end; i++) {
      uint32_t word = pixel_colour(p + stride * i);
      if (word != run_colour) {
        run_colour = word;
        run_class = key_table_class(&table, word);
      }
      out[i] = run_class;
    }
  }
}

// A Bitmap that takes over pixels (count bytes of classes at its start),
// giving back the rest of the block; frees the pixels when out of memory.
Bitmap* bitmap_adopt(uint8_t* pixels, int32_t width, int32_t height) {
  Bitmap* bitmap = (Bitmap*)malloc(sizeof(Bitmap));
  if (!bitmap) {
    free(pixels);
    return 0;
  }
  size_t count = (size_t)width * (size_t)height;
  // Shrinking in place cannot fail in practice; if it does the block stays.
  uint8_t* shrunk = (uint8_t*)realloc(pixels, count + 1);
  bitmap->width = width;
  bitmap->height = height;
  bitmap->pixels = shrunk ? shrunk : pixels;
  return bitmap;
}

}  // namespace

Bitmap* bitmap_from_rgba(const DecodedImage* image) {
  Bitmap* bitmap = bitmap_new(image->width, image->height);
  if (!bitmap) return 0;
  classify<4>(image->pixels, (size_t)image->width * (size_t)image->height, bitmap->pixels);
  return bitmap;
}

Bitmap* bitmap_load(const char* name) {
  // Alpha plays no part in a class, so the pixels are decoded as R, G, B
  // only: a quarter less to hold while they turn into classes in place.
  int32_t width = 0, height = 0;
  uint8_t* pixels = decode_data_file(name, 3, &width, &height);
  if (!pixels) return 0;
  classify<3>(pixels, (size_t)width * (size_t)height, pixels);
  return bitmap_adopt(pixels, width, height);
}

namespace {

// 255 when class c is at column 2x or 2x + 1 of either row, else 0; no
// branches, so a loop of these runs as vector code.
inline uint8_t pair_hit(const uint8_t* top, const uint8_t* bottom, int x, uint8_t c) {
  int hit = (top[2 * x] == c) | (top[2 * x + 1] == c) | (bottom[2 * x] == c) | (bottom[2 * x + 1] == c);
  return (uint8_t)(0 - hit);
}

}  // namespace

Bitmap* bitmap_half_mask(const Bitmap* bitmap, int cls) {
  int w = bitmap->width / 2, h = bitmap->height / 2;
  Bitmap* mask = bitmap_new(w, h);
  if (!mask) return 0;
  // A class no byte can hold marks nothing.
  if (cls < 0 || cls > 255) {
    memset(mask->pixels, 0, (size_t)w * (size_t)h);
    return mask;
  }
  const uint8_t c = (uint8_t)cls;
  // An odd last row or column has no mask pixel to land in; skip it. Strips
  // of a fixed width, gathered in a local buffer the image cannot overlap,
  // are what the compiler vectorises; the last few pixels of a row go one
  // by one.
  enum { STRIP = 16 };
  for (int y = 0; y < h; y++) {
    const uint8_t* top = bitmap->pixels + (size_t)(2 * y) * (size_t)bitmap->width;
    const uint8_t* bottom = top + bitmap->width;
    uint8_t* out = mask->pixels + (size_t)y * (size_t)w;
    int x0 = 0;
    for (; x0 + STRIP <= w; x0 += STRIP) {
      uint8_t strip[STRIP];
      for (int x = 0; x < STRIP; x++) strip[x] = pair_hit(top + 2 * x0, bottom + 2 * x0, x, c);
      memcpy(out + x0, strip, STRIP);
    }
    for (int x = x0; x < w; x++) out[x] = pair_hit(top, bottom, x, c);
  }
  return mask;
}
