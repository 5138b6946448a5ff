// PNG writer for the tools, previews and test fixtures: the game's own writer
// (support/png_write.h) with the system zlib's compression. The zlib part
// never links into the game itself.
#pragma once

#include <stdint.h>

// Writes an 8-bit RGB PNG from 0xXXRRGGBB pixels (the OutputImage layout; the
// top byte is ignored). Rows are top first, `width` pixels each, no padding.
// Returns 1 on success, 0 when the file cannot be written or the size is bad.
int png_write_rgb(const char* path, const uint32_t* pixels, int width, int height);

// Writes an 8-bit RGBA PNG from bytes R, G, B, A per pixel (the decoded-image
// layout), rows top first without gaps. Returns 1 on success, 0 on failure.
int png_write_rgba(const char* path, const uint8_t* rgba, int width, int height);

// Writes an 8-bit greyscale PNG from one byte per pixel (Bitmaps and masks).
int png_write_gray(const char* path, const uint8_t* gray, int width, int height);

// Builds a PNG file image in memory instead of a file: returns a malloc'ed
// buffer (release with free) and its size through size_out, or null.
uint8_t* png_encode_rgba(const uint8_t* rgba, int width, int height, int channels,
                         int* size_out);
