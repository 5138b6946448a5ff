// Writes a small packed.dat for the runs of the real game in these tests:
// the two images start-up cannot do without (avatar, title), the menu
// screens and two plain rooms, painted in the key colours. It keeps the
// platform tests independent of the real content, which changes.
// usage: make_test_archive OUT_PATH
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "common/png_write.h"
#include "core/bitmap.h"
#include "pack/archive_write.h"

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

ArchiveFile png(const char* name, const Canvas& c) {
  std::vector<uint8_t> rgba((size_t)c.width * c.height * 4);
  for (size_t i = 0; i < c.classes.size(); i++) {
    uint32_t word = BITMAP_KEY_COLOURS[c.classes[i]];  // R + 256 G + 65536 B
    rgba[4 * i] = (uint8_t)word;
    rgba[4 * i + 1] = (uint8_t)(word >> 8);
    rgba[4 * i + 2] = (uint8_t)(word >> 16);
    rgba[4 * i + 3] = 255;
  }
  int size = 0;
  uint8_t* bytes = png_encode_rgba(rgba.data(), c.width, c.height, 4, &size);
  ArchiveFile file;
  file.name = name;
  if (bytes) file.data.assign(bytes, bytes + size);
  free(bytes);
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_test_archive OUT_PATH\n");
    return 2;
  }
  std::vector<ArchiveFile> files;
  Canvas avatar = canvas(60, 80, 0);
  paint(&avatar, 20, 0, 40, 70, 16);   // body
  paint(&avatar, 20, 76, 40, 80, 1);   // feet band on half-resolution rows of its own
  files.push_back(png("avatar.png", avatar));
  for (int k = 0; k < 3; k++) {
    Canvas title = canvas(800, 600, 0);
    paint(&title, 200, 150, 600, 260, 16);
    if (k) paint(&title, 300, 320 + 80 * (k - 1), 500, 380 + 80 * (k - 1), 1);
    const char* names[] = {"title.png", "title_1.png", "title_2.png"};
    files.push_back(png(names[k], title));
  }
  for (int r = 1; r <= 2; r++) {
    Canvas room = canvas(800, 600, 0);
    paint(&room, 0, 540, 800, 600, 1);                 // floor
    if (r == 1) paint(&room, 0, 0, 20, 600, 1);        // the first room's outer wall
    paint(&room, 300 + 100 * r, 420, 380 + 100 * r, 540, 1);
    char name[] = "r00.png";
    name[2] = (char)('0' + r);
    files.push_back(png(name, room));
  }
  for (const ArchiveFile& f : files) {
    if (f.data.empty()) {
      fprintf(stderr, "make_test_archive: cannot encode %s\n", f.name.c_str());
      return 1;
    }
  }
  return archive_write_file(argv[1], files) ? 0 : 1;
}
