// Truevision TGA: colour-mapped, true-colour and grey, raw or run-length
// encoded. Its content test is the weakest, so the dispatcher tries it last,
// and like the original format it records no failure reason of its own.
#include <stdlib.h>
#include <string.h>

#include "image/image.h"
#include "image/image_internal.h"

static bool tga_depth_known(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

int tga_test(ImageContext* ctx) {
  ImageSource* s = &ctx->source;
  source_get8(s);  // ID length
  int map_type = source_get8(s);
  if (map_type > 1) return 0;
  int type = source_get8(s);
  if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) return 0;
  source_skip(s, 9);  // colour map first, length, entry size; x and y origin
  if (source_get16le(s) < 1 || source_get16le(s) < 1) return 0;
  return tga_depth_known(source_get8(s));
}

// Turns the stored bytes of one pixel into R, G, B, A.
static inline void tga_to_rgba(const uint8_t* in, int bytes, uint8_t* rgba) {
  switch (bytes) {
    case 1: rgba[0] = rgba[1] = rgba[2] = in[0]; rgba[3] = 255; break;
    case 2: rgba[0] = rgba[1] = rgba[2] = in[0]; rgba[3] = in[1]; break;
    case 3: rgba[0] = in[2]; rgba[1] = in[1]; rgba[2] = in[0]; rgba[3] = 255; break;
    default: rgba[0] = in[2]; rgba[1] = in[1]; rgba[2] = in[0]; rgba[3] = in[3]; break;
  }
}

uint8_t* tga_load(ImageContext* ctx, int32_t* w_out, int32_t* h_out, int32_t* comp_out, int req_comp) {
  ImageSource* s = &ctx->source;
  const int id_length = source_get8(s);
  const int map_type = source_get8(s);
  int type = source_get8(s);
  const int map_first = source_get16le(s);
  const int map_length = source_get16le(s);
  const int map_bits = source_get8(s);
  source_get16le(s);  // x origin
  source_get16le(s);  // y origin
  const int width = source_get16le(s);
  const int height = source_get16le(s);
  int bits = source_get8(s);
  const int descriptor = source_get8(s);
  const bool rle = type >= 8;
  if (rle) type -= 8;
  if (!width || !height || type < 1 || type > 3) IMAGE_REFUSE(ctx, nullptr);
  if (!tga_depth_known(bits)) IMAGE_REFUSE(ctx, nullptr);
  // With a colour map every pixel is an index byte, and the entries carry the
  // colour; an entry size we cannot turn into 1..4 components is refused.
  const bool mapped = map_type == 1;
  if (mapped) {
    bits = map_bits;
    if (!tga_depth_known(bits)) IMAGE_REFUSE(ctx, nullptr);
  }
  const int file_comp = bits / 8;
  *w_out = width;
  *h_out = height;
  *comp_out = file_comp;
  const int comp = (req_comp >= 1 && req_comp <= 4) ? req_comp : file_comp;
  uint8_t* image = image_alloc_pixels(ctx, width, height, comp, 0);
  if (!image) return nullptr;
  source_skip(s, id_length);
  uint8_t* palette = nullptr;
  if (mapped) {
    source_skip(s, map_first);
    // The palette must come from the input itself, and entry 0 must exist
    // because out-of-range indices fall back to it.
    size_t palette_bytes = (size_t)map_length * file_comp;
    if (palette_bytes > source_remaining(s)) {
      free(image);
      IMAGE_REFUSE(ctx, nullptr);
    }
    palette = (uint8_t*)calloc(1, palette_bytes > 4 ? palette_bytes : 4);
    if (!palette) {
      free(image);
      IMAGE_REFUSE(ctx, nullptr);
    }
    source_read(s, palette, palette_bytes);
  }
  uint8_t raw[4] = {0, 0, 0, 0};
  uint8_t rgba[4] = {0, 0, 0, 255};
  int packet_left = 0;   // pixels left in the current run-length packet
  bool repeating = false;
  const size_t count = (size_t)width * height;
  uint8_t* out = image;
  for (size_t i = 0; i < count; ++i, out += comp) {
    bool read_pixel = true;
    if (rle) {
      if (packet_left == 0) {
        int packet = source_get8(s);
        packet_left = (packet & 127) + 1;
        repeating = (packet & 128) != 0;
      } else if (repeating) {
        read_pixel = false;
      }
      --packet_left;
    }
    if (read_pixel) {
      if (mapped) {
        int index = source_get8(s);
        if (index >= map_length) index = 0;
        memcpy(raw, palette + (size_t)index * file_comp, (size_t)file_comp);
      } else {
        source_read(s, raw, (size_t)file_comp);
      }
      tga_to_rgba(raw, file_comp, rgba);
    }
    switch (comp) {
      case 1: out[0] = (uint8_t)((77 * rgba[0] + 150 * rgba[1] + 29 * rgba[2]) >> 8); break;
      case 2: out[0] = (uint8_t)((77 * rgba[0] + 150 * rgba[1] + 29 * rgba[2]) >> 8); out[1] = rgba[3]; break;
      case 3: memcpy(out, rgba, 3); break;
      default: memcpy(out, rgba, 4); break;
    }
  }
  if (!(descriptor & 32)) {  // stored bottom-up
    const size_t stride = (size_t)width * comp;
    for (int y = 0; y < height / 2; ++y) {
      uint8_t* a = image + (size_t)y * stride;
      uint8_t* b = image + (size_t)(height - 1 - y) * stride;
      for (size_t k = 0; k < stride; ++k) {
        uint8_t t = a[k];
        a[k] = b[k];
        b[k] = t;
      }
    }
  }
  free(palette);
  return image;
}
