// libjpeg-turbo used as a control: encodes baseline test images with chosen
// sampling factors and restart intervals, and decodes with its smooth
// ("fancy") upsampling for comparison.
#pragma once

#include <stdint.h>

#include <vector>

struct JpegSpec {
  int width = 16;
  int height = 16;
  bool grey = false;
  int h[3] = {2, 1, 1};  // sampling factors per component
  int v[3] = {2, 1, 1};
  int quality = 90;
  int restart_rows = 0;      // restart interval in MCU rows (0 = none)
  int restart_mcus = 0;      // restart interval in MCUs (0 = none)
  bool progressive = false;
  bool arithmetic = false;
};

// Photo-like content: smooth gradients, a few edges and mild texture.
std::vector<uint8_t> jpeg_oracle_pixels(int width, int height, int components);

std::vector<uint8_t> jpeg_oracle_encode(const JpegSpec& spec, const std::vector<uint8_t>& pixels);

// Decodes to RGB (3) or grey (1); false when libjpeg refuses the file.
bool jpeg_oracle_decode(const std::vector<uint8_t>& file, int components, std::vector<uint8_t>* out,
                        int* width, int* height);
