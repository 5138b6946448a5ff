// Entry point of the image decoders: recognises the format from the content
// (JPEG, PNG, BMP, then TGA, whose test is the weakest), runs its decoder in a
// fresh per-call context, and holds the byte source and component conversion
// that every format shares.
#include "image/image.h"

#include <stdlib.h>
#include <string.h>

#include "image/image_internal.h"
#include "support/os.h"

// Pixel blocks from this size on are worth backing with huge pages.
enum { HUGE_PAGE_PIXELS_BYTES = 4 << 20 };

static thread_local char g_last_reason[32];

const char* image_failure_reason(void) { return g_last_reason; }

void source_reset(ImageSource* src, const uint8_t* bytes, size_t length) {
  src->data = bytes;
  src->pos = 0;
  src->len = bytes ? length : 0;
}

int source_get16be(ImageSource* src) {
  int hi = source_get8(src);
  return (hi << 8) | source_get8(src);
}

uint32_t source_get32be(ImageSource* src) {
  uint32_t hi = (uint32_t)source_get16be(src);
  return (hi << 16) | (uint32_t)source_get16be(src);
}

int source_get16le(ImageSource* src) {
  int lo = source_get8(src);
  return lo | (source_get8(src) << 8);
}

uint32_t source_get32le(ImageSource* src) {
  uint32_t lo = (uint32_t)source_get16le(src);
  return lo | ((uint32_t)source_get16le(src) << 16);
}

void source_skip(ImageSource* src, int64_t n) {
  if (n <= 0) return;
  size_t left = src->len - src->pos;
  src->pos += (uint64_t)n < left ? (size_t)n : left;
}

void source_read(ImageSource* src, uint8_t* dst, size_t n) {
  size_t left = src->len - src->pos;
  size_t take = n < left ? n : left;
  if (take) memcpy(dst, src->data + src->pos, take);
  if (n > take) memset(dst + take, 0, n - take);
  src->pos += take;
}

int64_t image_checked_size(int64_t a, int64_t b, int64_t c, int64_t extra) {
  const int64_t limit = 0x7fffffff;
  if (a < 0 || b < 0 || c < 0 || extra < 0) return -1;
  if (a != 0 && b > limit / a) return -1;
  int64_t ab = a * b;
  if (ab != 0 && c > limit / ab) return -1;
  int64_t abc = ab * c;
  if (abc > limit - extra) return -1;
  return abc + extra;
}

bool image_pixels_allowed(ImageContext* ctx, int64_t width, int64_t height) {
  if (width < 0 || height < 0 || (width && (uint64_t)height > ctx->max_pixels / (uint64_t)width))
    IMAGE_REFUSE(ctx, "too large");
  return true;
}

uint8_t* image_alloc_pixels(ImageContext* ctx, int64_t width, int64_t height, int comp, int64_t extra) {
  int64_t bytes = image_checked_size(width, height, comp, extra);
  if (bytes < 0 || !image_pixels_allowed(ctx, width, height)) IMAGE_REFUSE(ctx, "too large");
  uint8_t* p = (uint8_t*)malloc(bytes ? (size_t)bytes : 1);
  if (!p) IMAGE_REFUSE(ctx, "outofmem");
  // A photograph's pixels (a 1080p RGBA image is 8 MB) take thousands of
  // page faults otherwise; the game's own images stay below this.
  if (bytes >= HUGE_PAGE_PIXELS_BYTES) os_prefer_huge_pages(p, (size_t)bytes);
  return p;
}

static inline uint8_t luma(int r, int g, int b) { return (uint8_t)((77 * r + 150 * g + 29 * b) >> 8); }

uint8_t* image_convert_components(uint8_t* pixels, int32_t width, int32_t height, int from, int to) {
  if (from == to) return pixels;
  int64_t bytes = image_checked_size(width, height, to, 0);
  uint8_t* out = bytes < 0 ? nullptr : (uint8_t*)malloc(bytes ? (size_t)bytes : 1);
  if (!out) {
    free(pixels);
    return nullptr;
  }
  size_t n = (size_t)width * (size_t)height;
  const uint8_t* s = pixels;
  uint8_t* d = out;
  // One loop per pair so the inner loop carries no switch.
  switch (from * 8 + to) {
    case 1 * 8 + 2: for (size_t i = 0; i < n; ++i, s += 1, d += 2) { d[0] = s[0]; d[1] = 255; } break;
    case 1 * 8 + 3: for (size_t i = 0; i < n; ++i, s += 1, d += 3) { d[0] = d[1] = d[2] = s[0]; } break;
    case 1 * 8 + 4: for (size_t i = 0; i < n; ++i, s += 1, d += 4) { d[0] = d[1] = d[2] = s[0]; d[3] = 255; } break;
    case 2 * 8 + 1: for (size_t i = 0; i < n; ++i, s += 2, d += 1) { d[0] = s[0]; } break;
    case 2 * 8 + 3: for (size_t i = 0; i < n; ++i, s += 2, d += 3) { d[0] = d[1] = d[2] = s[0]; } break;
    case 2 * 8 + 4: for (size_t i = 0; i < n; ++i, s += 2, d += 4) { d[0] = d[1] = d[2] = s[0]; d[3] = s[1]; } break;
    case 3 * 8 + 1: for (size_t i = 0; i < n; ++i, s += 3, d += 1) { d[0] = luma(s[0], s[1], s[2]); } break;
    case 3 * 8 + 2: for (size_t i = 0; i < n; ++i, s += 3, d += 2) { d[0] = luma(s[0], s[1], s[2]); d[1] = 255; } break;
    case 3 * 8 + 4: for (size_t i = 0; i < n; ++i, s += 3, d += 4) { d[0] = s[0]; d[1] = s[1]; d[2] = s[2]; d[3] = 255; } break;
    case 4 * 8 + 1: for (size_t i = 0; i < n; ++i, s += 4, d += 1) { d[0] = luma(s[0], s[1], s[2]); } break;
    case 4 * 8 + 2: for (size_t i = 0; i < n; ++i, s += 4, d += 2) { d[0] = luma(s[0], s[1], s[2]); d[1] = s[3]; } break;
    case 4 * 8 + 3: for (size_t i = 0; i < n; ++i, s += 4, d += 3) { d[0] = s[0]; d[1] = s[1]; d[2] = s[2]; } break;
    default:
      free(out);
      free(pixels);
      return nullptr;
  }
  free(pixels);
  return out;
}

typedef int (*ImageTestFn)(ImageContext*);
typedef uint8_t* (*ImageLoadFn)(ImageContext*, int32_t*, int32_t*, int32_t*, int);

struct ImageFormat {
  ImageTestFn test;
  ImageLoadFn load;
};

// Dispatch order matters: TGA's test is weak and must come last.
static const ImageFormat IMAGE_FORMATS[] = {
    {jpeg_test, jpeg_load},
    {png_test, png_load},
    {bmp_test, bmp_load},
    {tga_test, tga_load},
};

static void remember_reason(const char* reason) {
  if (!reason) reason = "";
  size_t n = strlen(reason);
  if (n >= sizeof g_last_reason) n = sizeof g_last_reason - 1;
  memcpy(g_last_reason, reason, n);
  g_last_reason[n] = 0;
}

uint8_t* image_load_from_memory(const uint8_t* bytes, int32_t length, int32_t* width_out,
                                int32_t* height_out, int32_t* components_out,
                                int32_t requested_components) {
  return image_load_limited(bytes, length, width_out, height_out, components_out, requested_components,
                            UINT64_MAX);
}

// Runs the first format whose test accepts the bytes.
static uint8_t* image_dispatch(ImageContext* ctx, const uint8_t* bytes, size_t len, int32_t* width_out,
                               int32_t* height_out, int32_t* components_out, int32_t requested_components) {
  for (const ImageFormat& format : IMAGE_FORMATS) {
    source_reset(&ctx->source, bytes, len);
    if (!format.test(ctx)) continue;
    source_reset(&ctx->source, bytes, len);
    int32_t w = 0, h = 0, comp = 0;
    uint8_t* result = format.load(ctx, &w, &h, &comp, requested_components);
    // TGA hands out its header before decoding; the others only on success.
    if (result || (format.load == tga_load && w != 0)) {
      *width_out = w;
      *height_out = h;
      if (components_out) *components_out = comp;
    }
    return result;
  }
  IMAGE_REFUSE(ctx, "unknown image type");
}

uint8_t* image_load_limited(const uint8_t* bytes, int32_t length, int32_t* width_out, int32_t* height_out,
                            int32_t* components_out, int32_t requested_components, uint64_t max_pixels) {
  ImageContext ctx;
  memset(&ctx, 0, sizeof ctx);
  ctx.max_pixels = max_pixels;
  size_t len = length > 0 ? (size_t)length : 0;
  uint8_t* result =
      image_dispatch(&ctx, bytes, len, width_out, height_out, components_out, requested_components);
  if (!result) remember_reason(ctx.reason);
  return result;
}
