#include "common/synthetic_game.h"

#include <stdio.h>

#include "common/key_canvas.h"

std::vector<ArchiveFile> synthetic_game_files(const SyntheticGame& game) {
  std::vector<ArchiveFile> files;
  // Body class 16 down to row 75, the class-1 feet band on rows 78-79: their
  // own half-resolution rows, as the game's avatar has them.
  if (game.avatar)
    files.push_back({"avatar.png", key_png_of_classes(60, 80, [](int x, int y) {
                       if (y <= 75 && x >= 10 && x < 50) return 16;
                       return y >= 78 && x >= 15 && x < 45 ? 1 : 0;
                     })});
  files.push_back({"blob.png", key_png_of_classes(9, 10, [](int, int) { return 16; })});
  files.push_back({"blob2.png", key_png_of_classes(16, 16, [](int, int) { return 16; })});
  files.push_back({"cr03.png", key_png_of_classes(60, 60, [](int x, int) { return x < 30 ? 2 : 0; })});
  for (int room : {1, 2, 3, 25}) {
    char name[16];
    snprintf(name, sizeof name, "r%02d.png", room);
    files.push_back({name, key_png_of_classes(800, 600, [&](int x, int y) { return game.room_class(room, x, y); })});
  }
  const char* titles[] = {"title.png", "title_1.png", "title_2.png"};
  for (int k = game.title ? 0 : 1; k < 3; k++)
    files.push_back({titles[k], key_png_of_classes(800, 600, [=](int x, int y) {
                       return (x / 100 == k + 1 && y < 300) ? 16 : 0;
                     })});
  return files;
}
