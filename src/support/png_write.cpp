// PNG encoder: one IHDR, one IDAT with filter 0 on every row, one IEND. Small
// and predictable rather than smallest output; every file it writes is read
// back by our own decoder and by libpng in the tests.
#include "support/png_write.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "support/file.h"

namespace {

enum {
  PNG_SIGNATURE_BYTES = 8,
  PNG_IHDR_BYTES = 13,
  PNG_CHUNK_OVERHEAD = 12,         // length, type, CRC
  STORED_BLOCK_MAX = 65535,        // a stored block's length is 16 bits
  STORED_BLOCK_HEADER = 5,         // BFINAL/BTYPE byte, LEN, NLEN
  ZLIB_HEADER_BYTES = 2,
  ADLER_BYTES = 4,
  ADLER_MOD = 65521,
  ADLER_RUN = 5552,                // bytes summed before the sums could overflow 32 bits
  PNG_SIDE_MAX = 65536,
};

void put_u32_be(uint8_t* out, uint32_t v) {
  out[0] = (uint8_t)(v >> 24);
  out[1] = (uint8_t)(v >> 16);
  out[2] = (uint8_t)(v >> 8);
  out[3] = (uint8_t)v;
}

struct CrcTable {
  uint32_t entries[256];
};

CrcTable make_crc_table(void) {
  CrcTable t;
  for (uint32_t n = 0; n < 256; n++) {
    uint32_t c = n;
    for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t.entries[n] = c;
  }
  return t;
}

// Appends one chunk (length, type, data, CRC over type and data) at *pos.
void put_chunk(uint8_t* out, size_t* pos, const char* type, const uint8_t* data, size_t len) {
  uint8_t* p = out + *pos;
  put_u32_be(p, (uint32_t)len);
  memcpy(p + 4, type, 4);
  if (len) memcpy(p + 8, data, len);
  put_u32_be(p + 8 + len, png_crc32(0, p + 4, len + 4));
  *pos += len + PNG_CHUNK_OVERHEAD;
}

bool size_ok(int width, int height, int channels) {
  // Keeps the raw size comfortably inside 32-bit lengths.
  return width > 0 && height > 0 && width <= PNG_SIDE_MAX && height <= PNG_SIDE_MAX &&
         (uint64_t)width * height * channels < (1ull << 30);
}

uint8_t* encode_rows(const uint8_t* raw_rows, int width, int height, int channels,
                     PngCompress compress, int* size_out) {
  size_t raw_len = ((size_t)width * channels + 1) * (size_t)height;
  size_t zlen = 0;
  uint8_t* z = (compress ? compress : png_compress_stored)(raw_rows, raw_len, &zlen);
  if (!z) return nullptr;
  size_t total = PNG_SIGNATURE_BYTES + (PNG_CHUNK_OVERHEAD + PNG_IHDR_BYTES) +
                 (PNG_CHUNK_OVERHEAD + zlen) + PNG_CHUNK_OVERHEAD;
  uint8_t* out = total < (size_t)1 << 31 ? (uint8_t*)malloc(total) : nullptr;
  if (!out) {
    free(z);
    return nullptr;
  }
  static const uint8_t signature[PNG_SIGNATURE_BYTES] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  memcpy(out, signature, PNG_SIGNATURE_BYTES);
  size_t pos = PNG_SIGNATURE_BYTES;
  uint8_t ihdr[PNG_IHDR_BYTES];
  put_u32_be(ihdr, (uint32_t)width);
  put_u32_be(ihdr + 4, (uint32_t)height);
  ihdr[8] = 8;  // bit depth
  ihdr[9] = (uint8_t)(channels == 1 ? 0 : channels == 3 ? 2 : 6);  // grey, RGB, RGBA
  ihdr[10] = 0;  // deflate
  ihdr[11] = 0;  // adaptive filtering (every row uses filter 0)
  ihdr[12] = 0;  // no interlace
  put_chunk(out, &pos, "IHDR", ihdr, PNG_IHDR_BYTES);
  put_chunk(out, &pos, "IDAT", z, zlen);
  put_chunk(out, &pos, "IEND", nullptr, 0);
  free(z);
  *size_out = (int)pos;
  return out;
}

}  // namespace

uint32_t png_crc32(uint32_t crc, const uint8_t* data, size_t bytes) {
  static const CrcTable table = make_crc_table();
  crc = ~crc;
  for (size_t i = 0; i < bytes; i++) crc = table.entries[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t png_adler32(uint32_t adler, const uint8_t* data, size_t bytes) {
  uint32_t a = adler & 0xFFFF, b = adler >> 16;
  while (bytes > 0) {
    size_t run = bytes < (size_t)ADLER_RUN ? bytes : (size_t)ADLER_RUN;
    bytes -= run;
    while (run--) {
      a += *data++;
      b += a;
    }
    a %= ADLER_MOD;
    b %= ADLER_MOD;
  }
  return (b << 16) | a;
}

uint8_t* png_compress_stored(const uint8_t* raw, size_t bytes, size_t* size_out) {
  size_t blocks = bytes == 0 ? 1 : (bytes + STORED_BLOCK_MAX - 1) / STORED_BLOCK_MAX;
  size_t total = ZLIB_HEADER_BYTES + blocks * STORED_BLOCK_HEADER + bytes + ADLER_BYTES;
  uint8_t* out = (uint8_t*)malloc(total);
  if (!out) return nullptr;
  uint8_t* p = out;
  *p++ = 0x78;  // deflate, 32 KiB window
  *p++ = 0x01;  // no preset dictionary, fastest; 0x7801 is a multiple of 31
  size_t left = bytes;
  const uint8_t* in = raw;
  do {
    size_t len = left < (size_t)STORED_BLOCK_MAX ? left : (size_t)STORED_BLOCK_MAX;
    left -= len;
    *p++ = left == 0 ? 1 : 0;  // BFINAL on the last block, BTYPE 00 (stored)
    p[0] = (uint8_t)len;
    p[1] = (uint8_t)(len >> 8);
    p[2] = (uint8_t)~len;
    p[3] = (uint8_t)(~len >> 8);
    p += 4;
    if (len) memcpy(p, in, len);
    p += len;
    in += len;
  } while (left > 0);
  put_u32_be(p, png_adler32(1, raw, bytes));
  p += ADLER_BYTES;
  *size_out = (size_t)(p - out);
  return out;
}

uint8_t* png_encode_bytes(const uint8_t* samples, int width, int height, int channels,
                          PngCompress compress, int* size_out) {
  if (!samples || !size_out || (channels != 1 && channels != 3 && channels != 4) ||
      !size_ok(width, height, channels))
    return nullptr;
  size_t row = (size_t)width * channels;
  uint8_t* raw = (uint8_t*)malloc((row + 1) * (size_t)height);
  if (!raw) return nullptr;
  for (int y = 0; y < height; y++) {
    uint8_t* dst = raw + (row + 1) * (size_t)y;
    dst[0] = 0;
    memcpy(dst + 1, samples + row * (size_t)y, row);
  }
  uint8_t* png = encode_rows(raw, width, height, channels, compress, size_out);
  free(raw);
  return png;
}

uint8_t* png_encode_xrgb(const uint32_t* pixels, int width, int height, PngCompress compress,
                         int* size_out) {
  if (!pixels || !size_out || !size_ok(width, height, 3)) return nullptr;
  size_t row = (size_t)width * 3;
  uint8_t* raw = (uint8_t*)malloc((row + 1) * (size_t)height);
  if (!raw) return nullptr;
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
  uint8_t* png = encode_rows(raw, width, height, 3, compress, size_out);
  free(raw);
  return png;
}

int png_save(const char* path, const uint8_t* data, int size) {
  if (!path || !data || size < 0) return 0;
  FILE* f = file_open(path, "wb");
  if (!f) return 0;
  size_t n = fwrite(data, 1, (size_t)size, f);
  int ok = fclose(f) == 0 && n == (size_t)size;
  return ok;
}
