// Scan conversion for the image sources. Shapes are small and few (a room has
// a few hundred), so each one walks its clipped bounding box and tests pixel
// centres directly; only polygons use a scanline crossing list.
#include "assets/asset_raster.h"

#include <math.h>

#include <algorithm>

namespace {

struct Box {
  int x0, y0, x1, y1;  // half-open pixel range, already clipped
};

// Pixels whose centres may fall inside [min, max] on both axes.
Box clip_box(const AssetImage* image, double min_x, double min_y, double max_x, double max_y) {
  Box b;
  double lx = floor(min_x - 0.5), ly = floor(min_y - 0.5);
  double hx = ceil(max_x + 0.5), hy = ceil(max_y + 0.5);
  b.x0 = lx < 0 ? 0 : lx > image->width ? image->width : (int)lx;
  b.y0 = ly < 0 ? 0 : ly > image->height ? image->height : (int)ly;
  b.x1 = hx < 0 ? 0 : hx > image->width ? image->width : (int)hx;
  b.y1 = hy < 0 ? 0 : hy > image->height ? image->height : (int)hy;
  return b;
}

void put(AssetImage* image, int x, int y, int cls) {
  image->pixels[(size_t)y * image->width + x] = (uint8_t)cls;
}

}  // namespace

void asset_image_init(AssetImage* image, int width, int height, int cls) {
  image->width = width;
  image->height = height;
  image->pixels.assign((size_t)width * height, (uint8_t)cls);
}

int asset_class_at(const AssetImage* image, int x, int y) {
  if (x < 0 || y < 0 || x >= image->width || y >= image->height) return -1;
  return image->pixels[(size_t)y * image->width + x];
}

void asset_fill_rect(AssetImage* image, double x, double y, double w, double h, int cls) {
  if (w <= 0 || h <= 0) return;
  Box b = clip_box(image, x, y, x + w, y + h);
  for (int py = b.y0; py < b.y1; py++) {
    double cy = py + 0.5;
    if (cy < y || cy >= y + h) continue;
    for (int px = b.x0; px < b.x1; px++) {
      double cx = px + 0.5;
      if (cx >= x && cx < x + w) put(image, px, py, cls);
    }
  }
}

void asset_fill_poly(AssetImage* image, const double* xy, int count, int cls) {
  if (count < 3) return;
  double min_x = xy[0], max_x = xy[0], min_y = xy[1], max_y = xy[1];
  for (int i = 1; i < count; i++) {
    min_x = std::min(min_x, xy[2 * i]);
    max_x = std::max(max_x, xy[2 * i]);
    min_y = std::min(min_y, xy[2 * i + 1]);
    max_y = std::max(max_y, xy[2 * i + 1]);
  }
  Box b = clip_box(image, min_x, min_y, max_x, max_y);
  std::vector<double> crossings;
  for (int py = b.y0; py < b.y1; py++) {
    double cy = py + 0.5;
    crossings.clear();
    for (int i = 0; i < count; i++) {
      double ax = xy[2 * i], ay = xy[2 * i + 1];
      int j = (i + 1) % count;
      double bx = xy[2 * j], by = xy[2 * j + 1];
      // Half-open in y, so a vertex shared by two edges counts once.
      if ((ay <= cy && cy < by) || (by <= cy && cy < ay))
        crossings.push_back(ax + (cy - ay) * (bx - ax) / (by - ay));
    }
    std::sort(crossings.begin(), crossings.end());
    for (size_t k = 0; k + 1 < crossings.size(); k += 2) {
      for (int px = b.x0; px < b.x1; px++) {
        double cx = px + 0.5;
        if (cx >= crossings[k] && cx < crossings[k + 1]) put(image, px, py, cls);
      }
    }
  }
}

void asset_fill_ellipse(AssetImage* image, double cx, double cy, double rx, double ry, int cls) {
  if (rx <= 0 || ry <= 0) return;
  Box b = clip_box(image, cx - rx, cy - ry, cx + rx, cy + ry);
  for (int py = b.y0; py < b.y1; py++) {
    double dy = (py + 0.5 - cy) / ry;
    for (int px = b.x0; px < b.x1; px++) {
      double dx = (px + 0.5 - cx) / rx;
      if (dx * dx + dy * dy <= 1.0) put(image, px, py, cls);
    }
  }
}

void asset_fill_line(AssetImage* image, double x1, double y1, double x2, double y2, double width,
                     int cls) {
  if (width <= 0) return;
  double r = width / 2;
  Box b = clip_box(image, std::min(x1, x2) - r, std::min(y1, y2) - r, std::max(x1, x2) + r,
                   std::max(y1, y2) + r);
  double vx = x2 - x1, vy = y2 - y1;
  double len2 = vx * vx + vy * vy;
  for (int py = b.y0; py < b.y1; py++) {
    for (int px = b.x0; px < b.x1; px++) {
      double wx = px + 0.5 - x1, wy = py + 0.5 - y1;
      double t = len2 > 0 ? (wx * vx + wy * vy) / len2 : 0;
      t = t < 0 ? 0 : t > 1 ? 1 : t;
      double dx = wx - t * vx, dy = wy - t * vy;
      if (dx * dx + dy * dy <= r * r) put(image, px, py, cls);
    }
  }
}

void asset_fill_sector(AssetImage* image, double cx, double cy, double r0, double r1, double a0,
                       double a1, int cls) {
  if (r1 <= 0 || r1 < r0 || a1 <= a0) return;
  double span = a1 - a0;
  Box b = clip_box(image, cx - r1, cy - r1, cx + r1, cy + r1);
  for (int py = b.y0; py < b.y1; py++) {
    double dy = py + 0.5 - cy;
    for (int px = b.x0; px < b.x1; px++) {
      double dx = px + 0.5 - cx;
      double d2 = dx * dx + dy * dy;
      if (d2 > r1 * r1 || d2 < r0 * r0) continue;
      if (span < 360) {
        double angle = atan2(dy, dx) * (180.0 / M_PI);  // clockwise on screen: y is down
        double rel = fmod(angle - a0, 360.0);
        if (rel < 0) rel += 360.0;
        if (rel >= span) continue;
      }
      put(image, px, py, cls);
    }
  }
}

void asset_draw_frame(AssetImage* image, double x, double y, double w, double h, double t, int cls) {
  if (t * 2 >= w || t * 2 >= h) {
    asset_fill_rect(image, x, y, w, h, cls);
    return;
  }
  asset_fill_rect(image, x, y, w, t, cls);
  asset_fill_rect(image, x, y + h - t, w, t, cls);
  asset_fill_rect(image, x, y + t, t, h - 2 * t, cls);
  asset_fill_rect(image, x + w - t, y + t, t, h - 2 * t, cls);
}
