// The tools' PNG files: the game's own writer, with zlib's compression at its
// default level in place of stored blocks, since these files are packed into
// the game data and kept in build folders.
#include "common/png_write.h"

#include <stdlib.h>

#include <zlib.h>

#include "support/png_write.h"

namespace {

uint8_t* compress_zlib(const uint8_t* raw, size_t bytes, size_t* size_out) {
  if (bytes > 0xFFFFFFFFu) return nullptr;  // zlib's lengths are 32-bit
  uLongf zlen = compressBound((uLong)bytes);
  uint8_t* z = (uint8_t*)malloc(zlen);
  if (!z) return nullptr;
  if (compress2(z, &zlen, raw, (uLong)bytes, Z_DEFAULT_COMPRESSION) != Z_OK) {
    free(z);
    return nullptr;
  }
  *size_out = zlen;
  return z;
}

// Takes size by pointer: it is only known once the encoder has run.
int save_and_free(const char* path, uint8_t* png, const int* size) {
  if (!png) return 0;
  int ok = png_save(path, png, *size);
  free(png);
  return ok;
}

}  // namespace

uint8_t* png_encode_rgba(const uint8_t* rgba, int width, int height, int channels,
                         int* size_out) {
  return png_encode_bytes(rgba, width, height, channels, compress_zlib, size_out);
}

int png_write_rgb(const char* path, const uint32_t* pixels, int width, int height) {
  int size = 0;
  return save_and_free(path, png_encode_xrgb(pixels, width, height, compress_zlib, &size), &size);
}

int png_write_rgba(const char* path, const uint8_t* rgba, int width, int height) {
  int size = 0;
  return save_and_free(path, png_encode_bytes(rgba, width, height, 4, compress_zlib, &size), &size);
}

int png_write_gray(const char* path, const uint8_t* gray, int width, int height) {
  int size = 0;
  return save_and_free(path, png_encode_bytes(gray, width, height, 1, compress_zlib, &size), &size);
}
