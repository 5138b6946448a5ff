// PNG decoder for the subset the game ships and reads: bit depth 8, no
// interlacing, grey, RGB, palette, grey+alpha and RGBA, with tRNS. The IDAT
// chunks are inflated at once where they lie in the file, without being
// gathered first (the output size is known, so the inflater stops as soon as
// it would overrun it); rows are then unfiltered one at a time straight into
// the result, expanding palette and alpha in the same pass.
#include <stdlib.h>
#include <string.h>

#include "image/image.h"
#include "image/image_internal.h"
#include "image/inflate.h"

enum {
  PNG_MAX_DIMENSION = 1 << 24,
  PNG_IDAT_MIN_PIECES = 64,
};

enum : uint32_t {
  CHUNK_IHDR = 0x49484452,
  CHUNK_PLTE = 0x504c5445,
  CHUNK_TRNS = 0x74524e53,
  CHUNK_IDAT = 0x49444154,
  CHUNK_IEND = 0x49454e44,
};

struct PngDecoder {
  ImageContext* ctx;
  uint32_t width, height;   // 1..2^24 once IHDR is read
  int img_n;                // samples per stored pixel: 1..4 (palette: 1)
  int out_n;                // samples per unfiltered pixel: img_n or img_n + 1
  int palette_flag;         // 0, 3 (palette) or 4 (palette with tRNS)
  uint32_t palette_len;     // 0..256 entries given by PLTE
  uint8_t palette[256 * 4]; // R, G, B, A; entries past palette_len are opaque black
  bool has_trans;           // a tRNS key colour for grey or RGB
  uint8_t trans_key[3];
  ZlibPiece* idat;          // where the IDAT chunks' data lie in the input
  size_t idat_count, idat_cap;
};

static const uint8_t PNG_SIGNATURE[8] = {137, 80, 78, 71, 13, 10, 26, 10};

int png_test(ImageContext* ctx) {
  for (int i = 0; i < 8; ++i)
    if (source_get8(&ctx->source) != PNG_SIGNATURE[i]) IMAGE_REFUSE(ctx, "bad png sig");
  return 1;
}

static inline uint8_t paeth(int a, int b, int c) {
  int pa = abs(b - c), pb = abs(a - c), pc = abs(a + b - 2 * c);
  if (pa <= pb && pa <= pc) return (uint8_t)a;
  return (uint8_t)(pb <= pc ? b : c);
}

// Unfilters one row of n bytes with bpp bytes per pixel. prev is the previous
// unfiltered row, or zeros for the first row, which gives the first-row forms
// of every filter (up = none, average = left / 2, paeth = left).
template <int BPP>
static void unfilter_row(int filter, const uint8_t* raw, const uint8_t* prev, uint8_t* cur, size_t n) {
  switch (filter) {
    case 0:
      memcpy(cur, raw, n);
      break;
    case 1:
      for (size_t i = 0; i < BPP; ++i) cur[i] = raw[i];
      for (size_t i = BPP; i < n; ++i) cur[i] = (uint8_t)(raw[i] + cur[i - BPP]);
      break;
    case 2:
      for (size_t i = 0; i < n; ++i) cur[i] = (uint8_t)(raw[i] + prev[i]);
      break;
    case 3:
      for (size_t i = 0; i < BPP; ++i) cur[i] = (uint8_t)(raw[i] + (prev[i] >> 1));
      for (size_t i = BPP; i < n; ++i) cur[i] = (uint8_t)(raw[i] + ((cur[i - BPP] + prev[i]) >> 1));
      break;
    default:
      for (size_t i = 0; i < BPP; ++i) cur[i] = (uint8_t)(raw[i] + prev[i]);
      for (size_t i = BPP; i < n; ++i)
        cur[i] = (uint8_t)(raw[i] + paeth(cur[i - BPP], prev[i], prev[i - BPP]));
      break;
  }
}

typedef void (*UnfilterFn)(int, const uint8_t*, const uint8_t*, uint8_t*, size_t);
static const UnfilterFn UNFILTER_BY_BPP[5] = {nullptr, unfilter_row<1>, unfilter_row<2>, unfilter_row<3>,
                                              unfilter_row<4>};

// Writes one unfiltered row (img_n samples per pixel) as out_n samples per
// pixel, through the palette or with the added alpha and the tRNS key.
static void expand_row(const PngDecoder* p, const uint8_t* row, uint8_t* out, int out_n) {
  const uint32_t w = p->width;
  if (p->palette_flag) {
    if (out_n == 4) {
      for (uint32_t x = 0; x < w; ++x) memcpy(out + 4 * x, p->palette + 4 * row[x], 4);
    } else {
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t* e = p->palette + 4 * row[x];
        out[3 * x] = e[0];
        out[3 * x + 1] = e[1];
        out[3 * x + 2] = e[2];
      }
    }
    return;
  }
  if (p->img_n == 1) {  // grey -> grey + alpha
    for (uint32_t x = 0; x < w; ++x) {
      out[2 * x] = row[x];
      out[2 * x + 1] = (p->has_trans && row[x] == p->trans_key[0]) ? 0 : 255;
    }
  } else if (!p->has_trans) {  // RGB -> opaque RGBA
    // Each pixel but the last is one 4-byte copy with the alpha byte forced
    // on (it was the next pixel's red); the last would read past the row.
    uint32_t opaque;
    const uint8_t opaque_bytes[4] = {0, 0, 0, 255};
    memcpy(&opaque, opaque_bytes, 4);
    for (uint32_t x = 0; x + 1 < w; ++x) {
      uint32_t v;
      memcpy(&v, row + 3 * x, 4);
      v |= opaque;
      memcpy(out + 4 * x, &v, 4);
    }
    const uint8_t* s = row + 3 * (w - 1);
    uint8_t* d = out + 4 * (w - 1);
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    d[3] = 255;
  } else {  // RGB -> RGBA with a tRNS key
    for (uint32_t x = 0; x < w; ++x) {
      const uint8_t* s = row + 3 * x;
      uint8_t* d = out + 4 * x;
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
      d[3] = (p->has_trans && s[0] == p->trans_key[0] && s[1] == p->trans_key[1] && s[2] == p->trans_key[2])
                 ? 0 : 255;
    }
  }
}

// Turns the inflated rows into the image. Returns null (reason recorded) when
// the data does not match the rows exactly or a filter type is unknown.
// Unfilters into `image` when given (released on failure), else into a new
// buffer. The data may lie inside `image` itself: at its end when each output
// row is at least as long as a stored one, at its start when output rows are
// stored rows without their filter byte. Either way row y is read into
// scratch before output row y is written, and no output row reaches a stored
// row after it.
static uint8_t* png_unfilter(PngDecoder* p, const uint8_t* data, size_t data_len, int out_n, uint8_t* image) {
  const size_t row_bytes = (size_t)p->width * p->img_n;
  if (data_len != p->height * (row_bytes + 1)) {
    free(image);
    IMAGE_REFUSE(p->ctx, "not enough pixels");
  }
  // Straight into a buffer of its own when the layouts agree; two scratch
  // rows in stored layout (the previous one starts as zeros) otherwise, or
  // when the data lies in the image.
  const bool same_layout = out_n == p->img_n && !p->palette_flag;
  const bool direct = same_layout && !image;
  if (!image) image = image_alloc_pixels(p->ctx, p->width, p->height, out_n, 0);
  if (!image) return nullptr;
  uint8_t* scratch = direct ? nullptr : (uint8_t*)calloc(2, row_bytes);
  uint8_t* zero_row = direct ? (uint8_t*)calloc(1, row_bytes) : nullptr;
  if (!image || (!direct && !scratch) || (direct && !zero_row)) {
    free(image);
    free(scratch);
    free(zero_row);
    IMAGE_REFUSE(p->ctx, "outofmem");
  }
  UnfilterFn unfilter = UNFILTER_BY_BPP[p->img_n];
  const size_t out_stride = (size_t)p->width * out_n;
  uint8_t* prev = direct ? zero_row : scratch;
  uint8_t* cur = direct ? image : scratch + row_bytes;
  for (uint32_t y = 0; y < p->height; ++y) {
    const uint8_t* raw = data + y * (row_bytes + 1);
    int filter = raw[0];
    if (filter > 4) {
      free(image);
      free(scratch);
      free(zero_row);
      IMAGE_REFUSE(p->ctx, "invalid filter");
    }
    if (direct) cur = image + y * out_stride;
    unfilter(filter, raw + 1, prev, cur, row_bytes);
    if (!direct) {
      if (same_layout)
        memcpy(image + y * out_stride, cur, row_bytes);
      else
        expand_row(p, cur, image + y * out_stride, out_n);
      uint8_t* t = prev;
      prev = cur;
      cur = t;
    } else {
      prev = cur;
    }
  }
  free(scratch);
  free(zero_row);
  return image;
}

static bool png_read_ihdr(PngDecoder* p, uint32_t length) {
  ImageContext* ctx = p->ctx;
  ImageSource* s = &ctx->source;
  if (length != 13) IMAGE_REFUSE(ctx, "bad IHDR len");
  p->width = source_get32be(s);
  if (p->width > PNG_MAX_DIMENSION) IMAGE_REFUSE(ctx, "too large");
  p->height = source_get32be(s);
  if (p->height > PNG_MAX_DIMENSION) IMAGE_REFUSE(ctx, "too large");
  if (source_get8(s) != 8) IMAGE_REFUSE(ctx, "8bit only");
  int color = source_get8(s);
  if (color > 6) IMAGE_REFUSE(ctx, "bad ctype");
  if (color == 3) {
    p->palette_flag = 3;
  } else if (color & 1) {
    IMAGE_REFUSE(ctx, "bad ctype");
  }
  if (source_get8(s) != 0) IMAGE_REFUSE(ctx, "bad comp method");
  if (source_get8(s) != 0) IMAGE_REFUSE(ctx, "bad filter method");
  if (source_get8(s) != 0) IMAGE_REFUSE(ctx, "interlaced");
  if (!p->width || !p->height) IMAGE_REFUSE(ctx, "0-pixel image");
  p->img_n = p->palette_flag ? 1 : ((color & 2) ? 3 : 1) + ((color & 4) ? 1 : 0);
  // Keeps width × height × 4 within 2^30 for palette images (they expand to
  // 4 samples), and width × height × samples for the others.
  uint32_t per_row = p->palette_flag ? 4 : (uint32_t)p->img_n;
  if ((1u << 30) / p->width / per_row < p->height) IMAGE_REFUSE(ctx, "too large");
  return image_pixels_allowed(ctx, p->width, p->height);
}

static bool png_read_trns(PngDecoder* p, uint32_t length) {
  ImageContext* ctx = p->ctx;
  ImageSource* s = &ctx->source;
  if (p->palette_flag) {
    if (p->palette_len == 0) IMAGE_REFUSE(ctx, "tRNS before PLTE");
    if (length > p->palette_len) IMAGE_REFUSE(ctx, "bad tRNS len");
    for (uint32_t i = 0; i < length; ++i) p->palette[4 * i + 3] = (uint8_t)source_get8(s);
    p->palette_flag = 4;
    return true;
  }
  if (!(p->img_n & 1)) IMAGE_REFUSE(ctx, "tRNS with alpha");
  if (length != (uint32_t)p->img_n * 2) IMAGE_REFUSE(ctx, "bad tRNS len");
  for (int i = 0; i < p->img_n; ++i) p->trans_key[i] = (uint8_t)(source_get16be(s) & 255);
  p->has_trans = true;
  return true;
}

static bool png_append_idat(PngDecoder* p, uint32_t length) {
  ImageSource* s = &p->ctx->source;
  if (length == 0) return true;  // adds nothing to the stream
  if (p->idat_count == p->idat_cap) {
    size_t cap = p->idat_cap ? p->idat_cap * 2 : (size_t)PNG_IDAT_MIN_PIECES;
    ZlibPiece* grown = (ZlibPiece*)realloc(p->idat, cap * sizeof(ZlibPiece));
    if (!grown) IMAGE_REFUSE(p->ctx, "outofmem");
    p->idat = grown;
    p->idat_cap = cap;
  }
  // The chunk loop has made sure the whole chunk lies in the input.
  p->idat[p->idat_count++] = {s->data + s->pos, length};
  source_skip(s, length);
  return true;
}

// Runs the chunk loop up to IEND and returns the unfiltered image with out_n
// samples per pixel, or null with a reason recorded.
static uint8_t* png_decode(PngDecoder* p, int req_comp, int* out_n_result) {
  ImageContext* ctx = p->ctx;
  ImageSource* s = &ctx->source;
  if (!png_test(ctx)) return nullptr;
  bool first = true, seen_idat = false;
  for (;;) {
    // A chunk whose header or data would run past the input cannot be trusted.
    if (source_remaining(s) < 8) IMAGE_REFUSE(ctx, "chunk past end");
    uint32_t length = source_get32be(s);
    uint32_t type = source_get32be(s);
    if (length > source_remaining(s)) IMAGE_REFUSE(ctx, "chunk past end");
    if (first && type != CHUNK_IHDR) IMAGE_REFUSE(ctx, "first not IHDR");
    switch (type) {
      case CHUNK_IHDR:
        if (!first) IMAGE_REFUSE(ctx, "multiple IHDR");
        first = false;
        if (!png_read_ihdr(p, length)) return nullptr;
        break;
      case CHUNK_PLTE:
        if (length > 768 || length % 3) IMAGE_REFUSE(ctx, "invalid PLTE");
        p->palette_len = length / 3;
        for (uint32_t i = 0; i < p->palette_len; ++i) {
          source_read(s, p->palette + 4 * i, 3);
          p->palette[4 * i + 3] = 255;
        }
        break;
      case CHUNK_TRNS:
        if (seen_idat) IMAGE_REFUSE(ctx, "tRNS after IDAT");
        if (!png_read_trns(p, length)) return nullptr;
        break;
      case CHUNK_IDAT:
        if (p->palette_flag && p->palette_len == 0) IMAGE_REFUSE(ctx, "no PLTE");
        seen_idat = true;
        if (!png_append_idat(p, length)) return nullptr;
        break;
      case CHUNK_IEND: {
        if (!seen_idat) IMAGE_REFUSE(ctx, "no IDAT");
        const size_t expected = (size_t)p->height * ((size_t)p->width * p->img_n + 1);
        int out_n = p->img_n;
        if ((req_comp == p->img_n + 1 && req_comp != 3 && !p->palette_flag) || p->has_trans) out_n = p->img_n + 1;
        if (p->palette_flag) out_n = req_comp >= 3 ? req_comp : p->palette_flag;
        *out_n_result = out_n;
        size_t raw_len = 0;
        bool over = false;
        const char* reason = nullptr;
        // One buffer instead of two: when the output rows are the longer
        // ones, the stream inflates into the tail of the output, and when
        // they are the stored rows without their filter byte, into its start
        // (with room for those bytes); either way it is unfiltered forwards
        // from there. Should that buffer not be granted, the reason is left
        // as it was and the usual order (inflate, then allocate) runs.
        const bool expands = out_n != p->img_n || p->palette_flag;
        const size_t out_row = (size_t)p->width * out_n;
        const size_t out_bytes = out_row * p->height;
        uint8_t* image = nullptr;
        if (!expands || out_row >= (size_t)p->width * p->img_n + 1) {
          const char* before = ctx->reason;
          const int64_t room = expands ? 0 : (int64_t)p->height;
          image = image_alloc_pixels(ctx, p->width, p->height, out_n, room + 1 + ZLIB_DECODE_SLACK);
          if (!image) ctx->reason = before;
        }
        if (image) {
          uint8_t* raw = expands ? image + out_bytes - expected : image;
          // One byte of room past the rows so that too much data is noticed.
          bool ok = zlib_decode_into(p->idat, p->idat_count, raw, expected + 1, &raw_len, &reason, &over);
          free(p->idat);
          p->idat = nullptr;
          if (!ok) {
            free(image);
            IMAGE_REFUSE(ctx, over ? "not enough pixels" : reason);
          }
          image = png_unfilter(p, raw, raw_len, out_n, image);
          if (image && !expands) {
            // The filter bytes' room goes back; should that fail, it stays.
            uint8_t* fitted = (uint8_t*)realloc(image, out_bytes);
            if (fitted) image = fitted;
          }
          return image;
        }
        uint8_t* raw = zlib_decode_bounded(p->idat, p->idat_count, expected + 1, expected + 1, &raw_len, &reason, &over);
        free(p->idat);
        p->idat = nullptr;
        if (!raw) IMAGE_REFUSE(ctx, over ? "not enough pixels" : reason);
        image = png_unfilter(p, raw, raw_len, out_n, nullptr);
        free(raw);
        return image;
      }
      default:
        if (!(type & 0x20000000)) {  // critical chunk we cannot skip
          ImageContext* c = ctx;
          c->chunk_reason[0] = (char)(type >> 24);
          c->chunk_reason[1] = (char)(type >> 16);
          c->chunk_reason[2] = (char)(type >> 8);
          c->chunk_reason[3] = (char)type;
          memcpy(c->chunk_reason + 4, " chunk not known", 17);
          IMAGE_REFUSE(ctx, c->chunk_reason);
        }
        source_skip(s, length);
        break;
    }
    source_skip(s, 4);  // the CRC is not verified
  }
}

uint8_t* png_load(ImageContext* ctx, int32_t* w, int32_t* h, int32_t* comp, int req_comp) {
  if (req_comp < 0 || req_comp > 4) IMAGE_REFUSE(ctx, "bad req_comp");
  PngDecoder* p = (PngDecoder*)calloc(1, sizeof(PngDecoder));
  if (!p) IMAGE_REFUSE(ctx, "outofmem");
  p->ctx = ctx;
  for (int i = 0; i < 256; ++i) p->palette[4 * i + 3] = 255;
  int out_n = 0;
  uint8_t* image = png_decode(p, req_comp, &out_n);
  const int32_t width = (int32_t)p->width, height = (int32_t)p->height;
  const int file_comp = p->palette_flag ? p->palette_flag : p->img_n;
  free(p->idat);
  free(p);
  if (!image) return nullptr;
  if (req_comp && req_comp != out_n) {
    image = image_convert_components(image, width, height, out_n, req_comp);
    if (!image) IMAGE_REFUSE(ctx, "outofmem");
  }
  *w = width;
  *h = height;
  *comp = file_comp;
  return image;
}
