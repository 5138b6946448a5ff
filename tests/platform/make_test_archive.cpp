// Writes a small packed.dat for the runs of the real game in these tests:
// the two images start-up cannot do without (avatar, title), the menu
// screens and two plain rooms, painted in the key colours. It keeps the
// platform tests independent of the real content, which changes.
// usage: make_test_archive OUT_PATH
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "common/key_canvas.h"
#include "common/png_write.h"
#include "pack/archive_write.h"

namespace {

ArchiveFile png(const char* name, const KeyCanvas& c) {
  std::vector<uint8_t> rgba = key_canvas_rgba(c);
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
  KeyCanvas avatar = key_canvas_make(60, 80, 0);
  key_canvas_paint(&avatar, 20, 0, 40, 70, 16);   // body
  key_canvas_paint(&avatar, 20, 76, 40, 80, 1);   // feet band on half-resolution rows of its own
  files.push_back(png("avatar.png", avatar));
  for (int k = 0; k < 3; k++) {
    KeyCanvas title = key_canvas_make(800, 600, 0);
    key_canvas_paint(&title, 200, 150, 600, 260, 16);
    if (k) key_canvas_paint(&title, 300, 320 + 80 * (k - 1), 500, 380 + 80 * (k - 1), 1);
    const char* names[] = {"title.png", "title_1.png", "title_2.png"};
    files.push_back(png(names[k], title));
  }
  for (int r = 1; r <= 2; r++) {
    KeyCanvas room = key_canvas_make(800, 600, 0);
    key_canvas_paint(&room, 0, 540, 800, 600, 1);                 // floor
    if (r == 1) key_canvas_paint(&room, 0, 0, 20, 600, 1);        // the first room's outer wall
    key_canvas_paint(&room, 300 + 100 * r, 420, 380 + 100 * r, 540, 1);
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
