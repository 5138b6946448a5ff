// Writes the loose files of a synthetic room for a headless run with
// "+cheat": r01.png with a 16-px step and a pillar of deadly class 14, the
// avatar's brushes and the burst's ring sprite. The archive beside them
// (make_test_archive) supplies the avatar and the title screens.
// usage: make_sim_room OUT_DIR
#include <stdio.h>

#include <string>
#include <vector>

#include "common/key_canvas.h"
#include "common/png_write.h"

namespace {

int write(const std::string& dir, const char* name, const KeyCanvas& c) {
  std::vector<uint8_t> rgba = key_canvas_rgba(c);
  return png_write_rgba((dir + "/" + name).c_str(), rgba.data(), c.width, c.height);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_sim_room OUT_DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  KeyCanvas room = key_canvas_make(800, 600, 0);
  key_canvas_paint(&room, 0, 540, 800, 600, 1);    // floor
  key_canvas_paint(&room, 0, 0, 20, 540, 1);       // outer wall
  key_canvas_paint(&room, 480, 524, 560, 540, 1);  // a 16-px step, walked over
  key_canvas_paint(&room, 660, 440, 700, 540, 14); // a deadly pillar
  KeyCanvas blob = key_canvas_make(9, 10, 16);
  KeyCanvas blob2 = key_canvas_make(16, 16, 16);
  KeyCanvas ring = key_canvas_make(12, 12, 15);
  int ok = write(dir, "r01.png", room) && write(dir, "blob.png", blob) &&
           write(dir, "blob2.png", blob2) && write(dir, "cr03.png", ring);
  return ok ? 0 : 1;
}
