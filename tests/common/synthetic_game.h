// The smallest data the game starts and plays on, painted in key colours: the
// avatar, the brushes, one creature, rooms 1-3 and 25 and the title screens.
// The in-process game tests and the save fuzzer's data start from it.
#pragma once

#include <functional>
#include <vector>

#include "pack/archive_write.h"

struct SyntheticGame {
  bool avatar = true;
  bool title = true;
  // The class at (x, y) of room `room` (1, 2, 3 or 25).
  std::function<int(int room, int x, int y)> room_class;
};

std::vector<ArchiveFile> synthetic_game_files(const SyntheticGame& game);
