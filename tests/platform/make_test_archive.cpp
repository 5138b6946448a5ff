// Writes a small packed.dat for the runs of the real game in these tests:
// the two images start-up cannot do without (avatar, title), the menu
// screens and two plain rooms, painted in the key colours. It keeps the
// platform tests independent of the real content, which changes.
// usage: make_test_archive OUT_PATH
#include <stdio.h>

#include <string>
#include <vector>

#include "common/key_canvas.h"
#include "pack/archive_write.h"

namespace {

bool in(int x, int y, int x0, int y0, int x1, int y1) { return x >= x0 && x < x1 && y >= y0 && y < y1; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_test_archive OUT_PATH\n");
    return 2;
  }
  std::vector<ArchiveFile> files;
  // A body, and a feet band on half-resolution rows of its own.
  files.push_back({"avatar.png", key_png_of_classes(60, 80, [](int x, int y) {
                     return in(x, y, 20, 0, 40, 70) ? 16 : in(x, y, 20, 76, 40, 80) ? 1 : 0;
                   })});
  const char* titles[] = {"title.png", "title_1.png", "title_2.png"};
  for (int k = 0; k < 3; k++)
    files.push_back({titles[k], key_png_of_classes(800, 600, [k](int x, int y) {
                       if (in(x, y, 200, 150, 600, 260)) return 16;
                       return k && in(x, y, 300, 320 + 80 * (k - 1), 500, 380 + 80 * (k - 1)) ? 1 : 0;
                     })});
  // A floor, the first room's outer wall and a block in each.
  for (int r = 1; r <= 2; r++)
    files.push_back({"r0" + std::to_string(r) + ".png", key_png_of_classes(800, 600, [r](int x, int y) {
                       return y >= 540 || (r == 1 && x < 20) || in(x, y, 300 + 100 * r, 420, 380 + 100 * r, 540);
                     })});
  for (const ArchiveFile& f : files) {
    if (f.data.empty()) {
      fprintf(stderr, "make_test_archive: cannot encode %s\n", f.name.c_str());
      return 1;
    }
  }
  return archive_write_file(argv[1], files) ? 0 : 1;
}
