// Writes a small packed.dat for the runs of the real game in these tests: the
// synthetic game's images, with a floor, the first room's outer wall and a
// block in each room. It keeps the platform tests independent of the real
// content, which changes.
// usage: make_test_archive OUT_PATH
#include <stdio.h>

#include "common/synthetic_game.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_test_archive OUT_PATH\n");
    return 2;
  }
  SyntheticGame game;
  game.room_class = [](int room, int x, int y) {
    int block = room < 25 ? 300 + 100 * room : 600;
    return y >= 540 || (room == 1 && x < 20) || (x >= block && x < block + 80 && y >= 420) ? 1 : 0;
  };
  return archive_write_file(argv[1], synthetic_game_files(game)) ? 0 : 1;
}
