// Writes the loose files of a synthetic room for a headless run with
// "+cheat": r01.png with a 16-px step and a pillar of deadly class 14, the
// avatar's brushes and the burst's ring sprite. The archive beside them
// (make_test_archive) supplies the avatar and the title screens.
// usage: make_sim_room OUT_DIR
#include <stdio.h>

#include <string>
#include <vector>

#include "common/png_write.h"
#include "core/bitmap.h"

namespace {

struct Canvas {
  int width, height;
  std::vector<uint8_t> classes;
};

Canvas canvas(int width, int height, int fill) {
  return Canvas{width, height, std::vector<uint8_t>((size_t)width * height, (uint8_t)fill)};
}

void paint(Canvas* c, int x0, int y0, int x1, int y1, int cls) {
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) c->classes[(size_t)y * c->width + x] = (uint8_t)cls;
}

int write(const std::string& dir, const char* name, const Canvas& c) {
  std::vector<uint8_t> rgba((size_t)c.width * c.height * 4);
  for (size_t i = 0; i < c.classes.size(); i++) {
    uint32_t word = BITMAP_KEY_COLOURS[c.classes[i]];  // R + 256 G + 65536 B
    rgba[4 * i] = (uint8_t)word;
    rgba[4 * i + 1] = (uint8_t)(word >> 8);
    rgba[4 * i + 2] = (uint8_t)(word >> 16);
    rgba[4 * i + 3] = 255;
  }
  return png_write_rgba((dir + "/" + name).c_str(), rgba.data(), c.width, c.height);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_sim_room OUT_DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  Canvas room = canvas(800, 600, 0);
  paint(&room, 0, 540, 800, 600, 1);    // floor
  paint(&room, 0, 0, 20, 540, 1);       // outer wall
  paint(&room, 480, 524, 560, 540, 1);  // a 16-px step, walked over
  paint(&room, 660, 440, 700, 540, 14); // a deadly pillar
  Canvas blob = canvas(9, 10, 16);
  Canvas blob2 = canvas(16, 16, 16);
  Canvas ring = canvas(12, 12, 15);
  int ok = write(dir, "r01.png", room) && write(dir, "blob.png", blob) &&
           write(dir, "blob2.png", blob2) && write(dir, "cr03.png", ring);
  return ok ? 0 : 1;
}
