// One decode through the game's image_load_from_memory that owns its pixels,
// and the failure reason of a file that must be refused: what the image
// tests compare with their references and assert on.
#pragma once

#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "image/image.h"

struct Decoded {
  uint8_t* pixels = nullptr;
  int32_t w = -1, h = -1, comp = -1;
  ~Decoded() { free(pixels); }
};

inline void decode(const std::vector<uint8_t>& file, int req, Decoded* d) {
  d->pixels = image_load_from_memory(file.data(), (int32_t)file.size(), &d->w, &d->h, &d->comp, req);
}

// image_failure_reason() for a refused file, "(decoded)" when it decoded.
inline std::string decode_refusal(const std::vector<uint8_t>& file, int req) {
  Decoded d;
  decode(file, req, &d);
  if (d.pixels) return "(decoded)";
  return image_failure_reason();
}
