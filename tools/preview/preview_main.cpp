// vantrel-preview: renders a synthetic scene holding all 17 classes for a run
// of frames and writes each frame as a PNG, plus the scene in its key colours,
// so anyone can step through the frames and see how every class moves. It also
// writes motion_sheet.png (a magnified patch of each class, one row per class,
// one column per frame) and prints the motion it measures between frames.
//
//   vantrel-preview [--frames N] [--out DIR] [--room R] [--start T] [--fade F]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "common/png_write.h"
#include "core/bitmap.h"
#include "core/game_state.h"
#include "core/noise_tables.h"
#include "sim/noise_field.h"

namespace {

const int W = 800;
const int H = 600;

void fill_rect(Bitmap* scene, int x0, int y0, int w, int h, int cls) {
  for (int y = y0; y < y0 + h && y < scene->height; y++)
    for (int x = x0; x < x0 + w && x < scene->width; x++) scene->pixels[y * scene->width + x] = (uint8_t)cls;
}

// Background of class 0 with a solid floor; classes 1..16 as tiles in a 4 x 4
// grid, each framed by background so its edges show the motion against it.
void build_scene(Bitmap* scene) {
  memset(scene->pixels, 0, (size_t)W * H);
  fill_rect(scene, 0, H - 40, W, 40, 1);
  for (int i = 0; i < 16; i++) {
    int col = i % 4, row = i / 4;
    fill_rect(scene, 20 + col * 195, 20 + row * 135, 170, 110, 1 + i);
  }
}

int parse_int(const char* text, int fallback) {
  char* end = nullptr;
  long v = strtol(text, &end, 10);
  return end && *end == 0 ? (int)v : fallback;
}

struct Rect {
  int x, y, w, h;
};

// Where class `cls` sits in the scene built above (class 0: the band of
// background between the first two tile rows).
Rect class_rect(int cls) {
  if (cls == 0) return Rect{0, 131, W, 23};
  int i = cls - 1;
  return Rect{20 + (i % 4) * 195, 20 + (i / 4) * 135, 170, 110};
}

// The shift (dx, dy) that best maps frame `a` onto frame `b` inside the rect,
// over rows of one parity; sets *fraction_out to the share of matching pixels.
void best_shift(const uint32_t* a, const uint32_t* b, Rect r, int parity, int* dx_out, int* dy_out,
                double* fraction_out) {
  const int m = 6;  // search margin, also kept clear of the rect's edges
  *fraction_out = -1;
  for (int dy = -4; dy <= 4; dy++)
    for (int dx = -4; dx <= 4; dx++) {
      long same = 0, total = 0;
      for (int y = r.y + m; y < r.y + r.h - m; y++) {
        if ((y & 1) != parity) continue;
        for (int x = r.x + m; x < r.x + r.w - m; x++) {
          same += b[y * W + x] == a[(y - dy) * W + (x - dx)];
          total++;
        }
      }
      double fraction = total ? (double)same / total : 0;
      if (fraction > *fraction_out) {
        *fraction_out = fraction;
        *dx_out = dx;
        *dy_out = dy;
      }
    }
}

void describe_shift(char* text, size_t size, const uint32_t* a, const uint32_t* b, Rect r, int parity) {
  int dx = 0, dy = 0;
  double fraction = 0;
  best_shift(a, b, r, parity, &dx, &dy, &fraction);
  if (fraction < 0.9)
    snprintf(text, size, "%-10s", "no shift");
  else if (dx == 0 && dy == 0)
    snprintf(text, size, "%-10s", "still");
  else
    snprintf(text, size, "(%+d,%+d)   ", dx, dy);
}

// One cell per class and frame: a 24 x 24 patch from the middle of the
// class's area, magnified 4 times, so a run of frames reads left to right.
const int PATCH = 24, ZOOM = 4, CELL = PATCH * ZOOM + 4, SHEET_FRAMES = 8;

void add_to_sheet(uint8_t* sheet, int sheet_w, const uint32_t* frame, int column) {
  for (int cls = 0; cls < 17; cls++) {
    Rect r = class_rect(cls);
    int px = r.x + r.w / 2 - PATCH / 2, py = r.y + r.h / 2 - PATCH / 2;
    for (int y = 0; y < PATCH * ZOOM; y++)
      for (int x = 0; x < PATCH * ZOOM; x++) {
        uint32_t c = frame[(py + y / ZOOM) * W + px + x / ZOOM];
        uint8_t* d = sheet + ((size_t)(cls * CELL + y) * sheet_w + column * CELL + x) * 4;
        d[0] = (uint8_t)(c >> 16);
        d[1] = (uint8_t)(c >> 8);
        d[2] = (uint8_t)c;
        d[3] = 255;
      }
  }
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 12, room = 5, start = 600, fade = 5000;
  std::string out = ".";
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--frames") frames = parse_int(argv[i + 1], frames);
    else if (option == "--out") out = argv[i + 1];
    else if (option == "--room") room = parse_int(argv[i + 1], room);
    else if (option == "--start") start = parse_int(argv[i + 1], start);
    else if (option == "--fade") fade = parse_int(argv[i + 1], fade);
    else {
      fprintf(stderr, "usage: %s [--frames N] [--out DIR] [--room R] [--start T] [--fade F]\n", argv[0]);
      return 2;
    }
  }
  if (argc % 2 == 0) {
    fprintf(stderr, "usage: %s [--frames N] [--out DIR] [--room R] [--start T] [--fade F]\n", argv[0]);
    return 2;
  }
  if (frames < 1 || frames > 100000) frames = 12;

  if (!noise_tables_build()) {
    fprintf(stderr, "vantrel-preview: out of memory\n");
    return 1;
  }
  palette_reset();
  Bitmap* scene = bitmap_new(W, H);
  OutputImage* image = output_image_new(W, H);
  if (!scene || !image) {
    fprintf(stderr, "vantrel-preview: out of memory\n");
    return 1;
  }
  build_scene(scene);
  g_game.room_number = room;
  g_game.fade_level = fade;

  // The scene in its painting colours first, through the renderer's own view.
  g_game.debug_view = 1;
  g_game.frame_counter = start;
  render_noise_field(image, scene);
  std::string path = out + "/scene.png";
  if (!png_write_rgb(path.c_str(), image->pixels, W, H)) {
    fprintf(stderr, "vantrel-preview: cannot write %s\n", path.c_str());
    return 1;
  }
  g_game.debug_view = 0;

  std::string sheet_path = out + "/motion_sheet.png";
  int sheet_w = SHEET_FRAMES * CELL, sheet_h = 17 * CELL;
  uint8_t* sheet = (uint8_t*)calloc((size_t)sheet_w * sheet_h, 4);
  uint32_t* previous = (uint32_t*)calloc((size_t)W * H * 2, 4);
  if (!sheet || !previous) {
    fprintf(stderr, "vantrel-preview: out of memory\n");
    return 1;
  }
  for (int f = 0; f < frames; f++) {
    g_game.frame_counter = start + f;
    palette_swap();  // as in play: the colours reshuffle, the motion must still read
    render_noise_field(image, scene);
    if (f < SHEET_FRAMES) add_to_sheet(sheet, sheet_w, image->pixels, f);
    if (f > 1) {
      printf("frame %d: content motion in pixels since the last frame and the one before,\n"
             "          odd rows / even rows\n", start + f);
      for (int cls = 0; cls < 17; cls++) {
        char odd1[32], even1[32], odd2[32], even2[32];
        const uint32_t* last = previous + (size_t)W * H;
        describe_shift(odd1, sizeof(odd1), last, image->pixels, class_rect(cls), 1);
        describe_shift(even1, sizeof(even1), last, image->pixels, class_rect(cls), 0);
        describe_shift(odd2, sizeof(odd2), previous, image->pixels, class_rect(cls), 1);
        describe_shift(even2, sizeof(even2), previous, image->pixels, class_rect(cls), 0);
        printf("  class %2d: 1 frame %s %s  2 frames %s %s\n", cls, odd1, even1, odd2, even2);
      }
    }
    // previous holds the frame before last, then the last frame.
    memcpy(previous, previous + (size_t)W * H, (size_t)W * H * 4);
    memcpy(previous + (size_t)W * H, image->pixels, (size_t)W * H * 4);
    char name[64];
    snprintf(name, sizeof(name), "/frame_%05d.png", f);
    path = out + name;
    if (!png_write_rgb(path.c_str(), image->pixels, W, H)) {
      fprintf(stderr, "vantrel-preview: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  if (!png_write_rgba(sheet_path.c_str(), sheet, sheet_w, sheet_h)) {
    fprintf(stderr, "vantrel-preview: cannot write %s\n", sheet_path.c_str());
    return 1;
  }
  free(sheet);
  free(previous);
  printf("vantrel-preview: wrote scene.png, motion_sheet.png and %d frames to %s\n", frames,
         out.c_str());
  bitmap_free(scene);
  output_image_free(image);
  return 0;
}
