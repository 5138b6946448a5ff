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

// The whole decoded image as bytes (req 0: as many per pixel as the decoder
// reports), empty when refused; the reported components and size where asked.
inline std::vector<uint8_t> decode_bytes(const std::vector<uint8_t>& file, int req, int* comp = nullptr,
                                         int* w = nullptr, int* h = nullptr) {
  Decoded d;
  decode(file, req, &d);
  if (comp) *comp = d.comp;
  if (w) *w = d.w;
  if (h) *h = d.h;
  if (!d.pixels) return {};
  return std::vector<uint8_t>(d.pixels, d.pixels + (size_t)d.w * d.h * (req ? req : d.comp));
}

// image_failure_reason() for a refused file, "(decoded)" when it decoded.
inline std::string decode_refusal(const std::vector<uint8_t>& file, int req) {
  return decode_bytes(file, req).empty() ? image_failure_reason() : "(decoded)";
}
