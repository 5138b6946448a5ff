// Uncompressed Windows BMP: 4- and 8-bit palette images and 16/24/32-bit
// direct colour with default or explicit channel masks. Run-length files and
// 1-bit files are refused. Pixels come out as 3 or 4 components, top row first.
#include <stdlib.h>
#include <string.h>

#include "image/image.h"
#include "image/image_internal.h"

enum { BMP_FILE_HEADER_BYTES = 14, BMP_MAX_PALETTE = 256 };

static bool bmp_header_size_known(uint32_t size) { return size == 12 || size == 40 || size == 56 || size == 108; }

int bmp_test(ImageContext* ctx) {
  ImageSource* s = &ctx->source;
  if (source_get8(s) != 'B' || source_get8(s) != 'M') return 0;
  source_skip(s, 12);  // file size, two reserved fields, data offset
  return bmp_header_size_known(source_get32le(s));
}

// How one channel mask maps onto 8 bits: where its top bit lies and how many
// bits it has, so that short fields are widened by repeating their top bits.
struct BmpChannel {
  uint32_t mask;
  int high_bit;  // 0..31, or -1 for an empty mask
  int bit_count; // 0..32
};

static BmpChannel bmp_channel(uint32_t mask) {
  BmpChannel c = {mask, -1, 0};
  for (int b = 0; b < 32; ++b) {
    if (mask & (1u << b)) {
      c.high_bit = b;
      c.bit_count++;
    }
  }
  return c;
}

static inline uint8_t bmp_extract(const BmpChannel& c, uint32_t pixel) {
  if (c.bit_count == 0) return 0;
  uint32_t v = pixel & c.mask;
  int shift = c.high_bit - 7;
  v = shift >= 0 ? v >> shift : v << -shift;
  v &= 255;
  uint32_t result = v;
  for (int k = c.bit_count; k < 8; k += c.bit_count) result += v >> k;
  return (uint8_t)(result > 255 ? 255 : result);
}

static void bmp_flip(uint8_t* image, int32_t width, int32_t height, int comp) {
  size_t stride = (size_t)width * comp;
  uint8_t tmp[256];
  for (int32_t y = 0; y < height / 2; ++y) {
    uint8_t* a = image + (size_t)y * stride;
    uint8_t* b = image + (size_t)(height - 1 - y) * stride;
    for (size_t done = 0; done < stride; done += sizeof tmp) {
      size_t n = stride - done < sizeof tmp ? stride - done : sizeof tmp;
      memcpy(tmp, a + done, n);
      memcpy(a + done, b + done, n);
      memcpy(b + done, tmp, n);
    }
  }
}

uint8_t* bmp_load(ImageContext* ctx, int32_t* w_out, int32_t* h_out, int32_t* comp_out, int req_comp) {
  ImageSource* s = &ctx->source;
  if (source_get8(s) != 'B' || source_get8(s) != 'M') IMAGE_REFUSE(ctx, "not BMP");
  source_get32le(s);  // file size
  source_get16le(s);  // reserved
  source_get16le(s);
  const int64_t offset = source_get32le(s);
  const uint32_t header_size = source_get32le(s);
  if (!bmp_header_size_known(header_size)) IMAGE_REFUSE(ctx, "unknown BMP");
  int64_t width, height;
  if (header_size == 12) {
    width = source_get16le(s);
    height = source_get16le(s);
  } else {
    width = (int32_t)source_get32le(s);
    height = (int32_t)source_get32le(s);
  }
  const bool bottom_up = height > 0;
  if (height < 0) height = -height;
  if (source_get16le(s) != 1) IMAGE_REFUSE(ctx, "bad BMP");
  const int bpp = source_get16le(s);
  if (bpp == 1) IMAGE_REFUSE(ctx, "monochrome");
  // An empty image has nothing to show and would hand out a zero-byte buffer.
  if (width <= 0 || height <= 0) IMAGE_REFUSE(ctx, "bad BMP");
  uint32_t mr = 0, mg = 0, mb = 0, ma = 0;
  int64_t palette_count = 0;
  if (header_size == 12) {
    if (bpp < 24) palette_count = (offset - 26) / 3;
  } else {
    const uint32_t compression = source_get32le(s);
    if (compression == 1 || compression == 2) IMAGE_REFUSE(ctx, "BMP RLE");
    source_skip(s, 20);  // image size, resolutions, colours used and important
    if (header_size == 40 || header_size == 56) {
      if (header_size == 56) source_skip(s, 16);
      if (bpp == 16 || bpp == 32) {
        if (compression == 0) {
          if (bpp == 32) {
            mr = 0xff0000u;
            mg = 0xff00u;
            mb = 0xffu;
          } else {
            mr = 0x7c00u;
            mg = 0x3e0u;
            mb = 0x1fu;
          }
        } else if (compression == 3) {
          mr = source_get32le(s);
          mg = source_get32le(s);
          mb = source_get32le(s);
          if (mr == mg && mg == mb) IMAGE_REFUSE(ctx, "bad BMP");
        } else {
          IMAGE_REFUSE(ctx, "bad BMP");
        }
      }
    } else {  // 108: masks in the header, then the colour space
      mr = source_get32le(s);
      mg = source_get32le(s);
      mb = source_get32le(s);
      ma = source_get32le(s);
      source_skip(s, 4 + 12 * 4);
    }
    if (bpp < 16) palette_count = (offset - BMP_FILE_HEADER_BYTES - (int64_t)header_size) / 4;
  }
  const int file_comp = ma ? 4 : 3;
  const int comp = (req_comp == 3 || req_comp == 4) ? req_comp : file_comp;
  uint8_t* image = image_alloc_pixels(ctx, width, height, comp, 0);
  if (!image) return nullptr;
  const int32_t w = (int32_t)width, h = (int32_t)height;
  uint8_t* out = image;
  if (bpp < 16) {
    if (palette_count <= 0 || palette_count > BMP_MAX_PALETTE) {
      free(image);
      IMAGE_REFUSE(ctx, "invalid");
    }
    // Indices past the palette show opaque black.
    uint8_t palette[BMP_MAX_PALETTE][4];
    memset(palette, 0, sizeof palette);
    const int entry_bytes = header_size == 12 ? 3 : 4;
    for (int64_t i = 0; i < palette_count; ++i) {
      palette[i][2] = (uint8_t)source_get8(s);
      palette[i][1] = (uint8_t)source_get8(s);
      palette[i][0] = (uint8_t)source_get8(s);
      if (entry_bytes == 4) source_get8(s);
    }
    for (int i = 0; i < BMP_MAX_PALETTE; ++i) palette[i][3] = 255;
    source_skip(s, offset - BMP_FILE_HEADER_BYTES - header_size - palette_count * entry_bytes);
    int64_t row_bytes;
    if (bpp == 4) {
      row_bytes = (width + 1) / 2;
    } else if (bpp == 8) {
      row_bytes = width;
    } else {
      free(image);
      IMAGE_REFUSE(ctx, "bad bpp");
    }
    const int pad = (int)((-row_bytes) & 3);
    for (int32_t y = 0; y < h; ++y) {
      if (bpp == 4) {
        for (int32_t x = 0; x < w; x += 2) {  // high nibble first
          int byte = source_get8(s);
          memcpy(out, palette[byte >> 4], (size_t)comp);
          out += comp;
          if (x + 1 < w) {
            memcpy(out, palette[byte & 15], (size_t)comp);
            out += comp;
          }
        }
      } else {
        for (int32_t x = 0; x < w; ++x, out += comp) memcpy(out, palette[source_get8(s)], (size_t)comp);
      }
      source_skip(s, pad);
    }
  } else {
    source_skip(s, offset - (int64_t)s->pos);
    int64_t row_bytes;
    if (bpp == 24) {
      row_bytes = 3 * width;
    } else if (bpp == 16) {
      row_bytes = 2 * width;
    } else {
      row_bytes = 0;  // 32 bits and others: rows are already a multiple of 4
    }
    const int pad = (int)((-row_bytes) & 3);
    if (bpp != 24 && (!mr || !mg || !mb)) {
      free(image);
      IMAGE_REFUSE(ctx, "bad masks");
    }
    const BmpChannel cr = bmp_channel(mr), cg = bmp_channel(mg), cb = bmp_channel(mb), ca = bmp_channel(ma);
    for (int32_t y = 0; y < h; ++y) {
      if (bpp == 24) {
        for (int32_t x = 0; x < w; ++x, out += comp) {
          out[2] = (uint8_t)source_get8(s);
          out[1] = (uint8_t)source_get8(s);
          out[0] = (uint8_t)source_get8(s);
          if (comp == 4) out[3] = 255;
        }
      } else {
        for (int32_t x = 0; x < w; ++x, out += comp) {
          uint32_t v = bpp == 16 ? (uint32_t)source_get16le(s) : source_get32le(s);
          out[0] = bmp_extract(cr, v);
          out[1] = bmp_extract(cg, v);
          out[2] = bmp_extract(cb, v);
          if (comp == 4) out[3] = ma ? bmp_extract(ca, v) : 255;
        }
      }
      source_skip(s, pad);
    }
  }
  if (bottom_up && h > 1) bmp_flip(image, w, h, comp);
  if (req_comp && req_comp != comp) {
    image = image_convert_components(image, w, h, comp, req_comp);
    if (!image) IMAGE_REFUSE(ctx, "outofmem");
  }
  *w_out = w;
  *h_out = h;
  *comp_out = comp;
  return image;
}
