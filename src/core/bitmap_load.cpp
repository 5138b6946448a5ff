// Image loading for the game: data file -> RGBA through the image decoder ->
// one class byte per pixel. Alpha is ignored: only the painting colour
// decides a pixel's class. A room is loaded while play runs, so the per-pixel
// steps avoid a search over the 17 key colours and a branch per pixel.
#include "core/bitmap_load.h"

#include <stdlib.h>
#include <string.h>

#include "core/archive.h"
#include "image/image.h"

DecodedImage* image_load_rgba(const char* name) {
  int size = 0;
  const uint8_t* data = load_data(name, &size);
  if (!data) return 0;
  int32_t width = 0, height = 0;
  uint8_t* pixels = image_load_from_memory(data, size, &width, &height, 0, 4);
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

// True when all BLOCK pixels from q have the colour run_rgb (a pixel's four
// bytes as loaded, alpha masked off by rgb_mask). One pass without branches,
// which the compiler vectorises.
bool block_repeats(const uint8_t* q, uint32_t run_rgb, uint32_t rgb_mask) {
  uint32_t diff = 0;
  for (int j = 0; j < BLOCK; j++) {
    uint32_t v;
    memcpy(&v, q + 4 * j, 4);
    diff |= (v & rgb_mask) ^ run_rgb;
  }
  return diff == 0;
}

}  // namespace

Bitmap* bitmap_from_rgba(const DecodedImage* image) {
  Bitmap* bitmap = bitmap_new(image->width, image->height);
  if (!bitmap) return 0;
  KeyTable table;
  key_table_build(&table);
  // The R, G, B bytes of a pixel loaded as one word, whatever the byte order.
  uint32_t rgb_mask;
  const uint8_t rgb_bytes[4] = {255, 255, 255, 0};
  memcpy(&rgb_mask, rgb_bytes, 4);
  size_t count = (size_t)image->width * (size_t)image->height;
  const uint8_t* p = image->pixels;
  uint8_t* out = bitmap->pixels;
  // Painted images are mostly long runs of one colour: a pixel that repeats
  // the one before takes its class without a look-up, and a whole block of
  // such pixels is filled at once.
  uint32_t run_colour = NO_KEY, run_rgb = 0;
  uint8_t run_class = 0;
  size_t i = 0;
  while (i < count) {
    if (run_colour != NO_KEY && count - i >= BLOCK && block_repeats(p + 4 * i, run_rgb, rgb_mask)) {
      memset(out + i, run_class, BLOCK);
      i += BLOCK;
      continue;
    }
    size_t end = count - i >= BLOCK ? i + BLOCK : count;
    for (; i < end; i++) {
      const uint8_t* q = p + 4 * i;
      uint32_t word = (uint32_t)q[0] | (uint32_t)q[1] << 8 | (uint32_t)q[2] << 16;
      if (word != run_colour) {
        run_colour = word;
        memcpy(&run_rgb, q, 4);
        run_rgb &= rgb_mask;
        run_class = key_table_class(&table, word);
      }
      out[i] = run_class;
    }
  }
  return bitmap;
}

Bitmap* bitmap_load(const char* name) {
  DecodedImage* image = image_load_rgba(name);
  if (!image) return 0;
  Bitmap* bitmap = bitmap_from_rgba(image);
  decoded_image_free(image);
  return bitmap;
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
