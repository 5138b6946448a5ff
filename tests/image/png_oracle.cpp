// Encoding and reference decoding through libpng for the PNG oracle tests,
// the fuzz seeds and the benchmarks.
#include "png_oracle.h"

#include <png.h>
#include <string.h>

// Samples per pixel of PNG colour types 0..6 (1, 5 are not types).
static int samples_for(int color_type) { return "\1\0\3\1\2\0\4"[color_type]; }

std::vector<uint8_t> png_oracle_pixels(const PngSpec& spec) {
  int n = samples_for(spec.color_type);
  std::vector<uint8_t> px((size_t)spec.width * spec.height * n);
  uint32_t seed = 12345u + (uint32_t)spec.width * 31u + (uint32_t)spec.height;
  for (int y = 0; y < spec.height; ++y) {
    for (int x = 0; x < spec.width; ++x) {
      for (int c = 0; c < n; ++c) {
        seed = seed * 1664525u + 1013904223u;
        int v;
        if (spec.color_type == 3) {
          v = ((x / 7 + y / 5) % spec.palette_size);
          if ((seed >> 24) < 20) v = (int)((seed >> 8) % (uint32_t)spec.palette_size);
        } else if ((x / 16 + y / 16) % 3 == 0) {
          v = 40 * c + 17;  // flat patch
        } else {
          v = (x * 3 + y * 2 + c * 50 + (int)((seed >> 28) & 7)) & 255;
        }
        px[((size_t)y * spec.width + x) * n + c] = (uint8_t)v;
      }
    }
  }
  return px;
}

static void write_to_vector(png_structp png, png_bytep data, png_size_t len) {
  auto* out = (std::vector<uint8_t>*)png_get_io_ptr(png);
  out->insert(out->end(), data, data + len);
}
static void flush_nothing(png_structp) {}

std::vector<uint8_t> png_oracle_encode(const PngSpec& spec, const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, write_to_vector, flush_nothing);
  png_set_IHDR(png, info, (png_uint_32)spec.width, (png_uint_32)spec.height, 8, spec.color_type,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[256];
  png_byte alphas[256];
  if (spec.color_type == 3) {
    for (int i = 0; i < spec.palette_size; ++i) {
      palette[i] = {(png_byte)(i * 37 + 5), (png_byte)(i * 91 + 60), (png_byte)(255 - i * 13)};
      alphas[i] = (png_byte)(i * 50 + 3);
    }
    png_set_PLTE(png, info, palette, spec.palette_size);
    if (spec.trns) png_set_tRNS(png, info, alphas, spec.trns_entries, nullptr);
  } else if (spec.trns) {
    png_color_16 key = {0, 17, 57, 97, 17};  // the flat patches hold 17 in the first sample
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_set_compression_level(png, spec.zlib_level);
  static const int masks[5] = {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH};
  png_set_filter(png, 0, spec.filter >= 0 ? masks[spec.filter] : PNG_ALL_FILTERS);
  png_write_info(png, info);
  int n = samples_for(spec.color_type);
  for (int y = 0; y < spec.height; ++y)
    png_write_row(png, (png_const_bytep)(pixels.data() + (size_t)y * spec.width * n));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

struct ReadCursor {
  const uint8_t* data;
  size_t len, pos;
};

static void read_from_cursor(png_structp png, png_bytep data, png_size_t len) {
  auto* c = (ReadCursor*)png_get_io_ptr(png);
  if (c->len - c->pos < len) png_error(png, "short read");
  memcpy(data, c->data + c->pos, len);
  c->pos += len;
}

static void quiet_warning(png_structp, png_const_charp) {}
static void error_jump(png_structp png, png_const_charp) { png_longjmp(png, 1); }

bool png_oracle_decode(const std::vector<uint8_t>& file, int components, std::vector<uint8_t>* out,
                       int* width, int* height, int* file_components) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, error_jump, quiet_warning);
  png_infop info = png_create_info_struct(png);
  // Declared before setjmp so that a longjmp out of libpng still frees it.
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  ReadCursor cursor = {file.data(), file.size(), 0};
  png_set_read_fn(png, &cursor, read_from_cursor);
  png_read_info(png, info);
  int color = png_get_color_type(png, info);
  png_set_expand(png);  // palette -> RGB, tRNS -> alpha
  bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  int native = color == 3 ? 3 + has_trns : samples_for(color) + (color < 4 && has_trns);
  int want = components ? components : native;
  bool is_grey = native <= 2;
  if (want >= 3 && is_grey) png_set_gray_to_rgb(png);
  if (want <= 2 && !is_grey) png_set_rgb_to_gray_fixed(png, 1, -1, -1);
  bool has_alpha = native == 2 || native == 4;
  bool want_alpha = want == 2 || want == 4;
  if (want_alpha && !has_alpha) png_set_filler(png, 0xff, PNG_FILLER_AFTER);
  if (!want_alpha && has_alpha) png_set_strip_alpha(png);
  png_read_update_info(png, info);
  *width = (int)png_get_image_width(png, info);
  *height = (int)png_get_image_height(png, info);
  size_t rowbytes = png_get_rowbytes(png, info);
  out->assign(rowbytes * (size_t)*height, 0);
  rows.resize((size_t)*height);
  for (int y = 0; y < *height; ++y) rows[(size_t)y] = out->data() + rowbytes * (size_t)y;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  *file_components = color == 3 ? 3 + has_trns : samples_for(color);
  return true;
}
