// libpng used as a control: encodes test images with chosen colour types,
// filters and zlib levels, and decodes them the reference way for comparison.
#pragma once

#include <stdint.h>

#include <vector>

struct PngSpec {
  int width = 1;
  int height = 1;
  int color_type = 2;         // PNG colour type 0, 2, 3, 4 or 6
  int filter = -1;            // 0..4 forces one filter type; -1 lets libpng choose
  int zlib_level = 6;
  bool trns = false;          // add a tRNS chunk (key colour or palette alphas)
  int palette_size = 16;      // colour type 3 only
  int trns_entries = 5;       // palette alphas given by tRNS
};

// Deterministic test content: smooth ramps with noise and flat patches, so that
// every filter type has something to do. Samples per pixel follow the type.
std::vector<uint8_t> png_oracle_pixels(const PngSpec& spec);

// Encodes pixels (as png_oracle_pixels lays them out) into a PNG file.
std::vector<uint8_t> png_oracle_encode(const PngSpec& spec, const std::vector<uint8_t>& pixels);

// Decodes with libpng into `components` per pixel (0 = the file's own layout
// after expanding palette and tRNS). Returns false when libpng refuses it.
bool png_oracle_decode(const std::vector<uint8_t>& file, int components, std::vector<uint8_t>* out,
                       int* width, int* height, int* file_components);
