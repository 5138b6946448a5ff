// Contact sheets for reviewing content: every image entry in its key colours,
// as one frame of the game's own noise renderer, and as a motion map of a few
// rendered frames (what the eye separates: which way each patch of noise
// moves, still, or no coherent motion at all). A single noise frame is
// uniform by design, so the motion map is the honest readability check.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "assets/asset_raster.h"

// Writes keys_*.png, noise_*.png and motion_*.png sheets (sprites, titles,
// rooms) and full-size noise/ and motion/ images per entry into dir, which is
// created when missing. Returns 1 on success; prints the problem otherwise.
int asset_preview_write(const std::vector<AssetImage>& images, const std::string& dir);

// The motion map of frames (each width x height 0xXXRRGGBB pixels, count >= 2,
// consecutive), over the rectangle x0, y0, w, h: RGBA bytes, w x h. Grey is
// still, black no coherent motion, a hue the direction of a shift.
std::vector<uint8_t> asset_motion_map(const std::vector<const uint32_t*>& frames, int width,
                                      int height, int x0, int y0, int w, int h);
