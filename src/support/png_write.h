// A small PNG writer with no outside library, for the headless runner's frame
// captures and for the tools. Its own deflate only stores (the captures are
// noise, which no compressor shrinks); a caller that wants smaller files hands
// in a compressor of its own.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Turns `bytes` raw bytes into a complete zlib stream (header, deflate data,
// Adler-32). Returns a malloc'ed buffer and its size through size_out, or null.
typedef uint8_t* (*PngCompress)(const uint8_t* raw, size_t bytes, size_t* size_out);

// The writer's own compressor: stored deflate blocks.
uint8_t* png_compress_stored(const uint8_t* raw, size_t bytes, size_t* size_out);

uint32_t png_crc32(uint32_t crc, const uint8_t* data, size_t bytes);
uint32_t png_adler32(uint32_t adler, const uint8_t* data, size_t bytes);

// Builds a PNG file image from packed 8-bit samples, rows top first without
// gaps: 1 channel grey, 3 RGB, 4 RGBA. compress null means stored blocks.
// Returns a malloc'ed buffer (release with free) and its size, or null on a bad
// size or failure.
uint8_t* png_encode_bytes(const uint8_t* samples, int width, int height, int channels,
                          PngCompress compress, int* size_out);
// The same from 0xXXRRGGBB pixels (the output image's layout; the top byte is
// ignored), as an RGB PNG.
uint8_t* png_encode_xrgb(const uint32_t* pixels, int width, int height, PngCompress compress,
                         int* size_out);

// Writes a whole buffer to a file by its UTF-8 name; 1 on success.
int png_save(const char* path, const uint8_t* data, int size);
