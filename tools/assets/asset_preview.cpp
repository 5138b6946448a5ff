// Preview rendering. Each entry is placed in an 800 x 600 scene the way the
// game shows it (rooms and titles as they are; sprites standing on a strip of
// solid floor in open background), rendered for a few frames with the real
// noise renderer, and compared frame to frame by block matching: for every
// pixel, the shift within +-2 px that maps a 7 x 3 window of same-parity rows
// from one frame onto the next (parity apart, because class 10 moves its odd
// and even rows in opposite directions).
#include "assets/asset_preview.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <filesystem>

#include "assets/asset_font.h"
#include "common/png_write.h"
#include "core/bitmap.h"
#include "core/game_state.h"
#include "core/noise_tables.h"
#include "sim/noise_field.h"

namespace {

const int SCREEN_W = 800, SCREEN_H = 600;
const int FLOOR_Y = 560;   // sprites stand on a solid strip from here down
const int PAD = 16;        // background shown around a sprite
const int FRAMES = 7;      // six frame pairs for the motion map
const int FIRST_FRAME = 599;  // frame 600 is a jump for classes 14 and 15
const int MAX_SHIFT = 2;
const int WINDOW_MATCHES = 19;  // of 21 pixels in a 7 x 3 window

struct Rgba {
  int w = 0, h = 0;
  std::vector<uint8_t> px;
};

Rgba rgba_new(int w, int h, uint8_t grey) {
  Rgba r;
  r.w = w;
  r.h = h;
  r.px.assign((size_t)w * h * 4, grey);
  for (size_t i = 3; i < r.px.size(); i += 4) r.px[i] = 255;
  return r;
}

void put_rgb(Rgba* img, int x, int y, uint32_t rgb) {
  if (x < 0 || y < 0 || x >= img->w || y >= img->h) return;
  uint8_t* d = &img->px[((size_t)y * img->w + x) * 4];
  d[0] = (uint8_t)(rgb >> 16);
  d[1] = (uint8_t)(rgb >> 8);
  d[2] = (uint8_t)rgb;
  d[3] = 255;
}

uint32_t key_rgb(int cls) {
  uint32_t k = BITMAP_KEY_COLOURS[cls];  // red in the low byte
  return ((k & 0xFF) << 16) | (k & 0xFF00) | ((k >> 16) & 0xFF);
}

uint32_t hue_rgb(double angle) {
  double h = fmod(angle / (2 * M_PI) + 1.0, 1.0) * 6.0;
  double f = h - floor(h);
  double r = 0, g = 0, b = 0;
  switch ((int)h % 6) {
    case 0: r = 1, g = f; break;
    case 1: r = 1 - f, g = 1; break;
    case 2: g = 1, b = f; break;
    case 3: g = 1 - f, b = 1; break;
    case 4: r = f, b = 1; break;
    default: r = 1, b = 1 - f; break;
  }
  return ((uint32_t)(r * 255) << 16) | ((uint32_t)(g * 255) << 8) | (uint32_t)(b * 255);
}

// Where an entry sits in its scene and which room it is seen in.
struct Placement {
  int room = 1;
  int x0 = 0, y0 = 0;          // image top-left in the scene
  int cx = 0, cy = 0, cw = 0, ch = 0;  // crop shown in the sheets
  int zoom = 1;
  int fade = 5000;
};

int sprite_room(const std::string& name) {
  static const int rooms[24] = {0,  14, 15, 15, 16, 18, 17, 17, 17, 17, 24, 27,
                                27, 23, 23, 23, 19, 19, 19, 26, 26, 30, 30, 36};
  if (name.size() == 8 && name[0] == 'c' && name[1] == 'r') {
    int k = (name[2] - '0') * 10 + (name[3] - '0');
    if (k >= 1 && k <= 23) return rooms[k];
  }
  return 1;
}

int is_screen(const AssetImage& img) { return img.width == SCREEN_W && img.height == SCREEN_H; }

Placement place(const AssetImage& img) {
  Placement p;
  if (is_screen(img)) {
    p.cw = SCREEN_W;
    p.ch = SCREEN_H;
    if (img.name[0] == 'r') p.room = atoi(img.name.c_str() + 1);
    else p.room = 0, p.fade = 1000;  // title screens: the menu's settled noise
    return p;
  }
  p.room = sprite_room(img.name);
  int w = std::min(img.width, SCREEN_W - 2 * PAD), h = std::min(img.height, FLOOR_Y - 2 * PAD);
  p.x0 = SCREEN_W / 2 - img.width / 2;
  p.y0 = FLOOR_Y - img.height;
  p.cx = SCREEN_W / 2 - w / 2 - PAD;
  p.cy = FLOOR_Y - h - PAD;
  p.cw = w + 2 * PAD;
  p.ch = h + 2 * PAD + 8;
  p.zoom = p.cw <= 150 && p.ch <= 150 ? 3 : 2;
  return p;
}

void compose(const AssetImage& img, const Placement& p, Bitmap* scene) {
  if (is_screen(img)) {
    memcpy(scene->pixels, img.pixels.data(), img.pixels.size());
    return;
  }
  memset(scene->pixels, 0, (size_t)SCREEN_W * SCREEN_H);
  memset(scene->pixels + (size_t)FLOOR_Y * SCREEN_W, 1, (size_t)(SCREEN_H - FLOOR_Y) * SCREEN_W);
  for (int y = 0; y < img.height; y++)
    for (int x = 0; x < img.width; x++) {
      int sx = p.x0 + x, sy = p.y0 + y;
      uint8_t c = img.pixels[(size_t)y * img.width + x];
      if (c && sx >= 0 && sy >= 0 && sx < SCREEN_W && sy < SCREEN_H) scene->pixels[sy * SCREEN_W + sx] = c;
    }
}

Rgba crop(const uint32_t* frame, const Placement& p) {
  Rgba r = rgba_new(p.cw, p.ch, 0);
  for (int y = 0; y < p.ch; y++)
    for (int x = 0; x < p.cw; x++) {
      int sx = p.cx + x, sy = p.cy + y;
      if (sx >= 0 && sy >= 0 && sx < SCREEN_W && sy < SCREEN_H) put_rgb(&r, x, y, frame[sy * SCREEN_W + sx]);
    }
  return r;
}

Rgba keys_view(const Bitmap* scene, const Placement& p) {
  Rgba r = rgba_new(p.cw, p.ch, 0);
  for (int y = 0; y < p.ch; y++)
    for (int x = 0; x < p.cw; x++) {
      int sx = p.cx + x, sy = p.cy + y;
      if (sx >= 0 && sy >= 0 && sx < SCREEN_W && sy < SCREEN_H)
        put_rgb(&r, x, y, key_rgb(scene->pixels[sy * SCREEN_W + sx]));
    }
  return r;
}

int write_rgba(const std::string& path, const Rgba& img) {
  if (png_write_rgba(path.c_str(), img.px.data(), img.w, img.h)) return 1;
  fprintf(stderr, "vantrel-assets: cannot write %s\n", path.c_str());
  return 0;
}

// Lays cells out in rows of at most `max_width`, each scaled by its own
// factor (zoom > 0 magnifies, zoom < 0 shrinks), with its name above it.
struct Cell {
  std::string label;
  Rgba image;
  int zoom;
};

int scaled(int n, int zoom) { return zoom > 0 ? n * zoom : n / -zoom; }

Rgba contact_sheet(const std::vector<Cell>& cells, int max_width) {
  const int gap = 10, label_h = 14;
  std::vector<int> xs, ys;
  int x = gap, y = gap, row_h = 0, sheet_w = 0;
  for (const Cell& c : cells) {
    int w = scaled(c.image.w, c.zoom), h = scaled(c.image.h, c.zoom) + label_h + 4;
    if (x > gap && x + w + gap > max_width) {
      x = gap;
      y += row_h + gap;
      row_h = 0;
    }
    xs.push_back(x);
    ys.push_back(y);
    x += w + gap;
    row_h = std::max(row_h, h);
    sheet_w = std::max(sheet_w, x);
  }
  Rgba sheet = rgba_new(std::max(sheet_w, 1), y + row_h + gap, 64);
  for (size_t i = 0; i < cells.size(); i++) {
    const Cell& c = cells[i];
    AssetImage label;
    asset_image_init(&label, 400, label_h, 0);
    AssetTextStyle style;
    style.height = 10;
    style.stroke = 2;
    style.capitals = 0;
    asset_draw_text(&label, 1, 2, c.label, style, 1);
    for (int ly = 0; ly < label_h; ly++)
      for (int lx = 0; lx < label.width; lx++)
        if (label.pixels[(size_t)ly * label.width + lx]) put_rgb(&sheet, xs[i] + lx, ys[i] + ly, 0xFFFFFF);
    int w = scaled(c.image.w, c.zoom), h = scaled(c.image.h, c.zoom);
    for (int py = 0; py < h; py++)
      for (int px = 0; px < w; px++) {
        int sx = c.zoom > 0 ? px / c.zoom : px * -c.zoom, sy = c.zoom > 0 ? py / c.zoom : py * -c.zoom;
        const uint8_t* s = &c.image.px[((size_t)sy * c.image.w + sx) * 4];
        put_rgb(&sheet, xs[i] + px, ys[i] + label_h + 4 + py, ((uint32_t)s[0] << 16) | (s[1] << 8) | s[2]);
      }
  }
  return sheet;
}

}  // namespace

std::vector<uint8_t> asset_motion_map(const std::vector<const uint32_t*>& frames, int width,
                                      int height, int x0, int y0, int w, int h) {
  // Each frame as one bit per pixel, bright or dark against the middle of its
  // own range: the fade-in changes the grey of every bright pixel from frame
  // to frame, and the eye follows the pattern, not the grey.
  std::vector<std::vector<uint8_t>> bits(frames.size());
  for (size_t f = 0; f < frames.size(); f++) {
    int lo = 1 << 30, hi = -1;
    std::vector<int> lum((size_t)width * height);
    for (size_t i = 0; i < lum.size(); i++) {
      uint32_t c = frames[f][i];
      lum[i] = (int)((c >> 16) & 0xFF) + (int)((c >> 8) & 0xFF) + (int)(c & 0xFF);
      lo = std::min(lo, lum[i]);
      hi = std::max(hi, lum[i]);
    }
    bits[f].resize(lum.size());
    for (size_t i = 0; i < lum.size(); i++) bits[f][i] = (uint8_t)(lum[i] * 2 > lo + hi);
  }
  std::vector<double> sum((size_t)w * h * 3, 0.0);
  std::vector<int> best((size_t)w * h), best_shift((size_t)w * h);
  std::vector<uint8_t> match((size_t)(w + 6) * (h + 4));
  std::vector<int> row_sum((size_t)(w + 6) * (h + 4));
  int pairs = (int)frames.size() - 1;
  for (int f = 0; f < pairs; f++) {
    const uint8_t* a = bits[f].data();
    const uint8_t* b = bits[f + 1].data();
    std::fill(best.begin(), best.end(), -1);
    for (int dy = -MAX_SHIFT; dy <= MAX_SHIFT; dy++)
      for (int dx = -MAX_SHIFT; dx <= MAX_SHIFT; dx++) {
        // match over the region grown by the window's reach (3 columns, 2 rows)
        int mw = w + 6, mh = h + 4;
        for (int y = 0; y < mh; y++) {
          int by = y0 + y - 2, ay = by - dy;
          for (int x = 0; x < mw; x++) {
            int bx = x0 + x - 3, ax = bx - dx;
            int m = 0;
            if (by >= 0 && by < height && bx >= 0 && bx < width && ay >= 0 && ay < height && ax >= 0 &&
                ax < width)
              m = b[by * width + bx] == a[ay * width + ax];
            match[(size_t)y * mw + x] = (uint8_t)m;
          }
          int run = 0;  // 7-wide horizontal window sums, centred
          int* rs = &row_sum[(size_t)y * mw];
          for (int x = 0; x < mw; x++) {
            run += match[(size_t)y * mw + x];
            if (x >= 7) run -= match[(size_t)y * mw + x - 7];
            if (x >= 6) rs[x - 3] = run;
          }
        }
        int shift = (dy + MAX_SHIFT) * (2 * MAX_SHIFT + 1) + (dx + MAX_SHIFT);
        for (int y = 0; y < h; y++)
          for (int x = 0; x < w; x++) {
            int my = y + 2, mx = x + 3;
            int s = row_sum[(size_t)(my - 2) * mw + mx] + row_sum[(size_t)my * mw + mx] +
                    row_sum[(size_t)(my + 2) * mw + mx];
            size_t i = (size_t)y * w + x;
            if (s >= WINDOW_MATCHES && s > best[i]) {
              best[i] = s;
              best_shift[i] = shift;
            }
          }
      }
    for (size_t i = 0; i < best.size(); i++) {
      uint32_t rgb = 0;
      if (best[i] >= 0) {
        int dx = best_shift[i] % (2 * MAX_SHIFT + 1) - MAX_SHIFT;
        int dy = best_shift[i] / (2 * MAX_SHIFT + 1) - MAX_SHIFT;
        rgb = dx == 0 && dy == 0 ? 0x808080 : hue_rgb(atan2((double)dy, (double)dx));
      }
      sum[3 * i] += (rgb >> 16) & 0xFF;
      sum[3 * i + 1] += (rgb >> 8) & 0xFF;
      sum[3 * i + 2] += rgb & 0xFF;
    }
  }
  std::vector<uint8_t> out((size_t)w * h * 4);
  for (size_t i = 0; i < (size_t)w * h; i++) {
    for (int c = 0; c < 3; c++) out[4 * i + c] = (uint8_t)(pairs ? sum[3 * i + c] / pairs : 0);
    out[4 * i + 3] = 255;
  }
  return out;
}

int asset_preview_write(const std::vector<AssetImage>& images, const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir + "/noise", ec);
  std::filesystem::create_directories(dir + "/motion", ec);
  if (ec) {
    fprintf(stderr, "vantrel-assets: cannot create %s\n", dir.c_str());
    return 0;
  }
  if (!noise_tables_build()) {
    fprintf(stderr, "vantrel-assets: out of memory\n");
    return 0;
  }
  Bitmap* scene = bitmap_new(SCREEN_W, SCREEN_H);
  std::vector<OutputImage*> outs;
  for (int f = 0; f < FRAMES; f++) outs.push_back(output_image_new(SCREEN_W, SCREEN_H));

  struct Group {
    const char* name;
    std::vector<Cell> keys, noise, motion;
  };
  Group groups[3] = {{"sprites", {}, {}, {}}, {"titles", {}, {}, {}}, {"rooms", {}, {}, {}}};
  int ok = 1;
  for (const AssetImage& img : images) {
    Placement p = place(img);
    compose(img, p, scene);
    palette_reset();
    g_game.debug_view = 0;
    g_game.room_number = p.room;
    g_game.fade_level = p.fade;
    std::vector<const uint32_t*> frames;
    for (int f = 0; f < FRAMES; f++) {
      g_game.frame_counter = FIRST_FRAME + f;
      render_noise_field(outs[f], scene);
      frames.push_back(outs[f]->pixels);
    }
    Rgba keys = keys_view(scene, p);
    Rgba noise = crop(outs[1]->pixels, p);
    Rgba motion;
    motion.w = p.cw;
    motion.h = p.ch;
    motion.px = asset_motion_map(frames, SCREEN_W, SCREEN_H, p.cx, p.cy, p.cw, p.ch);
    std::string base = img.name.substr(0, img.name.size() - 4);
    ok &= write_rgba(dir + "/noise/" + base + ".png", noise);
    ok &= write_rgba(dir + "/motion/" + base + ".png", motion);
    Group& g = !is_screen(img) ? groups[0] : img.name[0] == 't' ? groups[1] : groups[2];
    int zoom = is_screen(img) ? (img.name[0] == 'r' ? -2 : -2) : p.zoom;
    g.keys.push_back(Cell{img.name, keys, zoom});
    g.noise.push_back(Cell{img.name, noise, zoom});
    g.motion.push_back(Cell{img.name, motion, zoom});
  }
  for (Group& g : groups) {
    if (g.keys.empty()) continue;
    int width = g.name[0] == 's' ? 1400 : 1660;
    ok &= write_rgba(dir + "/keys_" + g.name + ".png", contact_sheet(g.keys, width));
    ok &= write_rgba(dir + "/noise_" + g.name + ".png", contact_sheet(g.noise, width));
    ok &= write_rgba(dir + "/motion_" + g.name + ".png", contact_sheet(g.motion, width));
  }
  for (OutputImage* o : outs) output_image_free(o);
  bitmap_free(scene);
  if (ok) printf("vantrel-assets: preview of %zu entries in %s\n", images.size(), dir.c_str());
  return ok;
}
