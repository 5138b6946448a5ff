// Writes the game data the save_fuzz target starts the game on (a small
// archive of synthetic key-colour PNGs: avatar, brushes, a creature, rooms 1-3
// and 25, the titles) and its seed corpus: stored values, valid and not, for
// the rooms the data have and for rooms and positions they do not.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <utility>
#include <string>
#include <vector>

#include "common/synthetic_game.h"
#include "common/test_files.h"

namespace {

// Control byte (bit 0: give the value its right checksum; bit 1: long
// frames), value length, the value, then one held-key mask per frame.
std::vector<uint8_t> seed(int fix, const std::vector<uint32_t>& words, int keys) {
  std::vector<uint8_t> out = {(uint8_t)(fix | 2 | 0x20), (uint8_t)(4 * words.size())};
  for (uint32_t w : words)
    for (int i = 0; i < 4; i++) out.push_back((uint8_t)(w >> (8 * i)));
  for (int i = 0; i < 40; i++) out.push_back((uint8_t)(i < 20 ? keys : 0));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  std::string seeds = argv[1], data = argv[2];
  // Each room: a floor, a step, a pillar of its own deadly class and a gap
  // in the ceiling.
  SyntheticGame game;
  game.room_class = [](int room, int x, int y) {
    if (y >= 500 || (x >= 300 && x < 360 && y >= 440)) return 1;
    if (x >= 560 && x < 590 && y >= 380) return room == 1 ? 2 : room == 2 ? 12 : room == 3 ? 15 : 16;
    return y < 12 && (x < 200 || x > 260) ? 1 : 0;
  };
  std::vector<ArchiveFile> files = synthetic_game_files(game);
  if (!archive_write_file((data + "/packed.dat").c_str(), files)) return 1;

  const uint32_t RIGHT = 2, LEFT = 8, JUMP = 16;
  const std::pair<const char*, std::vector<uint8_t>> corpus[] = {
      {"start_room2", seed(1, {2, 350, 50, 0, 0, 0}, RIGHT)},
      {"airborne_room3", seed(1, {3, 700, 200, 1, (uint32_t)-40, 0}, RIGHT | JUMP)},
      {"last_room_right", seed(1, {25, 760, 400, 0, 0, 0}, RIGHT)},
      {"first_room_left", seed(1, {1, 5, 400, 0, 0, 0}, LEFT)},
      {"missing_room", seed(1, {77, 5, 5, 0, 0, 0}, 0)},
      {"far_outside", seed(1, {2, 0x7FFFFFF0u, 0x80000010u, 7, 0x7FFFFFFFu, 0}, RIGHT)},
      {"bad_checksum", seed(0, {2, 350, 50, 0, 0, 12345}, 0)},
      {"short", seed(1, {2, 350, 50}, 0)},
      {"long", seed(1, {1, 100, 100, 0, 0, 0, 99, 98}, JUMP)},
  };
  for (const auto& [name, bytes] : corpus)
    if (!test_write_file(seeds + "/" + name + ".bin", bytes)) return 1;
  return 0;
}
