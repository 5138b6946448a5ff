// Synthetic images for the archives the tests build: a grid of pixel classes
// painted with rectangles, turned into the key colours the game's loader maps
// back to those classes.
#pragma once

#include <stdint.h>

#include <functional>
#include <vector>

struct KeyCanvas {
  int width, height;
  std::vector<uint8_t> classes;  // one class per pixel, rows top first
};

KeyCanvas key_canvas_make(int width, int height, int fill_class);
// Sets [x0, x1) × [y0, y1) to `cls`; the rectangle must lie inside.
void key_canvas_paint(KeyCanvas* c, int x0, int y0, int x1, int y1, int cls);
// R, G, B, A bytes per pixel in the key colours, alpha 255.
std::vector<uint8_t> key_canvas_rgba(const KeyCanvas& c);

// A PNG of width x height pixels whose class at (x, y) is cls(x, y).
std::vector<uint8_t> key_png_of_classes(int width, int height, const std::function<int(int, int)>& cls);
