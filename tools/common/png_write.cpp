// PNG encoder: one IHDR, one IDAT (zlib at the default level, filter 0 on every
// row), one IEND. Small and predictable rather than smallest output; the files
// are previews and test fixtures, read back by our own decoder and by libpng.
#include "png_write.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <zlib.h>

namespace {

void put_u32_be(uint8_t* out, uint32_t v) {
  out[0] = (uint8_t)(v >> 24);
  out[1] = (uint8_t)(v >> 16);
  out[2] = (uint8_t)(v >> 8);
  out[3] = (uint8_t)v;
}

// Appends one chunk (length, type, data, CRC over type and data) at *pos.
void put_chunk(uint8_t* out, size_t* pos, const char* type, const uint8_t* data,
               size_t len) {
  uint8_t* p = out + *pos;
  put_u32_be(p, (uint32_t)len);
  memcpy(p + 4, type, 4);
  if (len) memcpy(p + 8, data, len);
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, p + 4, (uInt)(len + 4));
  put_u32_be(p + 8 + len, (uint32_t)crc);
  *pos += len + 12;
}

// colour_type: 0 grey, 2 RGB, 6 RGBA (the channel count follows from it).
uint8_t* encode(const uint8_t* raw_rows, int width, int height, int colour_type,
                int* size_out) {
  int channels = colour_type == 0 ? 1 : colour_type == 2 ? 3 : 4;
  size_t row_bytes = (size_t)width * channels + 1;
  size_t raw_len = row_bytes * (size_t)height;
  uLongf zlen = compressBound((uLong)raw_len);
  uint8_t* z = (uint8_t*)malloc(zlen);
  if (!z) return nullptr;
  if (compress2(z, &zlen, raw_rows, (uLong)raw_len, Z_DEFAULT_COMPRESSION) != Z_OK) {
    free(z);
    return nullptr;
  }
  size_t total = 8 + (12 + 13) + (12 + zlen) + 12;
  uint8_t* out = (uint8_t*)malloc(total);
  if (!out) {
    free(z);
    return nullptr;
  }
  static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  memcpy(out, signature, 8);
  size_t pos = 8;
  uint8_t ihdr[13];
  put_u32_be(ihdr, (uint32_t)width);
  put_u32_be(ihdr + 4, (uint32_t)height);
  ihdr[8] = 8;  // bit depth
  ihdr[9] = (uint8_t)colour_type;
  ihdr[10] = 0;  // deflate
  ihdr[11] = 0;  // adaptive filtering (every row uses filter 0)
  ihdr[12] = 0;  // no interlace
  put_chunk(out, &pos, "IHDR", ihdr, 13);
  put_chunk(out, &pos, "IDAT", z, zlen);
  put_chunk(out, &pos, "IEND", nullptr, 0);
  free(z);
  *size_out = (int)pos;
  return out;
}

bool size_ok(int width, int height, int channels) {
  // Keeps the raw size comfortably inside what zlib's 32-bit lengths take.
  return width > 0 && height > 0 && width <= 65536 && height <= 65536 &&
         (uint64_t)width * height * channels < (1ull << 30);
}

int write_file(const char* path, const uint8_t* data, int size) {
  FILE* f = fopen(path, "wb");
  if (!f) return 0;
  size_t n = fwrite(data, 1, (size_t)size, f);
  int ok = fclose(f) == 0 && n == (size_t)size;
  return ok;
}

int encode_and_write(const char* path, const uint8_t* raw, int width, int height,
                     int colour_type) {
  int size = 0;
  uint8_t* png = encode(raw, width, height, colour_type, &size);
  if (!png) return 0;
  int ok = write_file(path, png, size);
  free(png);
  return ok;
}

// Lays out filter-byte-prefixed rows from packed pixel bytes.
uint8_t* raw_rows_from_bytes(const uint8_t* bytes, int width, int height, int channels) {
  size_t row = (size_t)width * channels;
  uint8_t* raw = (uint8_t*)malloc((row + 1) * (size_t)height);
  if (!raw) return nullptr;
  for (int y = 0; y < height; y++) {
    uint8_t* dst = raw + (row + 1) * (size_t)y;
    dst[0] = 0;
    memcpy(dst + 1, bytes + row * (size_t)y, row);
  }
  return raw;
}

}  // namespace

uint8_t* png_encode_rgba(const uint8_t* rgba, int width, int height, int channels,
                         int* size_out) {
  if (!rgba || !size_out || (channels != 1 && channels != 3 && channels != 4) ||
      !size_ok(width, height, channels))
    return nullptr;
  uint8_t* raw = raw_rows_from_bytes(rgba, width, height, channels);
  if (!raw) return nullptr;
  int colour_type = channels == 1 ? 0 : channels == 3 ? 2 : 6;
  uint8_t* png = encode(raw, width, height, colour_type, size_out);
  free(raw);
  return png;
}

int png_write_rgb(const char* path, const uint32_t* pixels, int width, int height) {
  if (!path || !pixels || !size_ok(width, height, 3)) return 0;
  size_t row = (size_t)width * 3;
  uint8_t* raw = (uint8_t*)malloc((row + 1) * (size_t)height);
  if (!raw) return 0;
  for (int y = 0; y < height; y++) {
    uint8_t* dst = raw + (row + 1) * (size_t)y;
    const uint32_t* src = pixels + (size_t)width * y;
    *dst++ = 0;
    for (int x = 0; x < width; x++) {
      uint32_t p = src[x];
      *dst++ = (uint8_t)(p >> 16);
      *dst++ = (uint8_t)(p >> 8);
      *dst++ = (uint8_t)p;
    }
  }
  int ok = encode_and_write(path, raw, width, height, 2);
  free(raw);
  return ok;
}

int png_write_rgba(const char* path, const uint8_t* rgba, int width, int height) {
  if (!path || !rgba || !size_ok(width, height, 4)) return 0;
  uint8_t* raw = raw_rows_from_bytes(rgba, width, height, 4);
  if (!raw) return 0;
  int ok = encode_and_write(path, raw, width, height, 6);
  free(raw);
  return ok;
}

int png_write_gray(const char* path, const uint8_t* gray, int width, int height) {
  if (!path || !gray || !size_ok(width, height, 1)) return 0;
  uint8_t* raw = raw_rows_from_bytes(gray, width, height, 1);
  if (!raw) return 0;
  int ok = encode_and_write(path, raw, width, height, 0);
  free(raw);
  return ok;
}
