// Synthetic images for the archives the tests build, painted in the key
// colours the game's loader maps back to pixel classes.
#pragma once

#include <stdint.h>

#include <functional>
#include <vector>

// A PNG of width x height pixels whose class at (x, y) is cls(x, y), encoded
// as the asset generator encodes the shipped images.
std::vector<uint8_t> key_png_of_classes(int width, int height, const std::function<int(int, int)>& cls);
