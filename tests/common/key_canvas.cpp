// Key-colour canvases for synthetic archives (see key_canvas.h). The colours
// come from the game's own table so the tests follow it when it changes.
#include "common/key_canvas.h"

#include <stddef.h>
#include <stdlib.h>

#include "common/png_write.h"
#include "core/bitmap.h"

KeyCanvas key_canvas_make(int width, int height, int fill_class) {
  return KeyCanvas{width, height, std::vector<uint8_t>((size_t)width * height, (uint8_t)fill_class)};
}

void key_canvas_paint(KeyCanvas* c, int x0, int y0, int x1, int y1, int cls) {
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) c->classes[(size_t)y * c->width + x] = (uint8_t)cls;
}

std::vector<uint8_t> key_canvas_rgba(const KeyCanvas& c) {
  std::vector<uint8_t> rgba((size_t)c.width * c.height * 4);
  for (size_t i = 0; i < c.classes.size(); i++) {
    uint32_t word = BITMAP_KEY_COLOURS[c.classes[i]];  // R + 256 G + 65536 B
    rgba[4 * i] = (uint8_t)word;
    rgba[4 * i + 1] = (uint8_t)(word >> 8);
    rgba[4 * i + 2] = (uint8_t)(word >> 16);
    rgba[4 * i + 3] = 255;
  }
  return rgba;
}

std::vector<uint8_t> key_png_of_classes(int width, int height, const std::function<int(int, int)>& cls) {
  KeyCanvas c = key_canvas_make(width, height, 0);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) c.classes[(size_t)y * width + x] = (uint8_t)cls(x, y);
  std::vector<uint8_t> rgba = key_canvas_rgba(c);
  int size = 0;
  uint8_t* png = png_encode_rgba(rgba.data(), width, height, 4, &size);
  std::vector<uint8_t> out;
  if (png) out.assign(png, png + size);
  free(png);
  return out;
}
