// Stroke lettering for titles and room signs. Glyphs are centre lines on a
// small grid (capitals 6 units tall, lower case with a 4-unit x-height and
// 2-unit descenders) drawn as thick round-ended lines, so one table serves
// every height and stroke width and the ink of a capital spans exactly the
// letter height.
#pragma once

#include <string>

#include "assets/asset_raster.h"

struct AssetTextStyle {
  double height = 0;   // capital height in pixels, ink included
  double stroke = 0;   // line width in pixels
  int capitals = 1;    // 1: lower-case input is drawn as capitals
};

// 1 when every character of text has a glyph (a space always has one);
// otherwise 0 and *bad_out holds the first character without one.
int asset_text_supported(const std::string& text, int capitals, char* bad_out);

// Ink width in pixels of text laid out in style (0 for empty text).
double asset_text_width(const std::string& text, const AssetTextStyle& style);

// Draws text with the top-left of its first capital's ink at (x, y).
void asset_draw_text(AssetImage* image, double x, double y, const std::string& text,
                     const AssetTextStyle& style, int cls);
