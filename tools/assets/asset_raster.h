// Class canvases and the shapes the image sources paint with. Every shape
// samples pixel centres (x + 0.5, y + 0.5), so integer coordinates are pixel
// corners: `rect 0 0 10 10` and a square polygon over the same corners cover
// the same 100 pixels, and a disc of radius 5 is 10 pixels across.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// One image entry as classes 0..16, one byte per pixel, rows top first.
struct AssetImage {
  std::string name;    // entry name in packed.dat, e.g. "r05.png"
  std::string source;  // the .img file it was rendered from
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

// Sizes above this are refused by the parser (rooms are 800 x 600).
const int ASSET_MAX_SIDE = 4096;

void asset_image_init(AssetImage* image, int width, int height, int cls);
int asset_class_at(const AssetImage* image, int x, int y);  // -1 outside

// All shapes clip to the image and paint class cls over what is there.
void asset_fill_rect(AssetImage* image, double x, double y, double w, double h, int cls);
// Even-odd fill of the polygon through count points (xy holds x0, y0, x1, ...).
void asset_fill_poly(AssetImage* image, const double* xy, int count, int cls);
void asset_fill_ellipse(AssetImage* image, double cx, double cy, double rx, double ry, int cls);
// Every pixel whose centre lies within width / 2 of the segment (round ends).
void asset_fill_line(AssetImage* image, double x1, double y1, double x2, double y2, double width,
                     int cls);
// Ring sector: pixel centres at distance r0..r1 from (cx, cy) and at an angle
// from a0 up to a1 degrees, measured clockwise on screen from the +x axis
// (y points down); a1 - a0 >= 360 is the whole ring, r0 = 0 a pie slice.
void asset_fill_sector(AssetImage* image, double cx, double cy, double r0, double r1, double a0,
                       double a1, int cls);
// The outline of rect x, y, w, h, thickness t inward.
void asset_draw_frame(AssetImage* image, double x, double y, double w, double h, double t, int cls);
