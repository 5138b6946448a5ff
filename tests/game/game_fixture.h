// The fixture of the game driver's tests: start-up, the game states, the
// frame driver and rooms, run on a small archive of synthetic PNG images
// through the real decoder, simulation and renderer. The platform is the
// headless backend (common/test_platform.h): the store, the message box, quit
// and exit are observed there.
#pragma once

#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/synthetic_game.h"
#include "common/test_platform.h"
#include "core/archive.h"
#include "core/bitmap_load.h"
#include "core/game_state.h"
#include "core/noise_tables.h"
#include "core/save.h"
#include "core/tables.h"
#include "game/frame.h"
#include "game/game.h"
#include "game/keys.h"
#include "game/room.h"
#include "pack/archive_write.h"
#include "support/random.h"

namespace fs = std::filesystem;

const int FLOOR_Y = 500;  // rooms are solid (class 1) from this row down

// Rooms are solid from FLOOR_Y down, with a marker in the top-left corner
// that tells them apart.
inline std::vector<ArchiveFile> game_files(SyntheticGame game) {
  game.room_class = [](int room, int x, int y) {
    if (y >= FLOOR_Y) return 1;
    return x < 20 && y < 20 ? (room == 25 ? 5 : room + 1) : 0;
  };
  return synthetic_game_files(game);
}

inline fs::path g_dir;
inline fs::path g_old_cwd;

inline std::vector<uint8_t> stored_save() { return test_stored(SAVE_STORE_KEY, SAVE_STORE_VALUE); }

inline SaveRecord valid_record(int room, int x, int y, int airborne, int fall) {
  SaveRecord r = {{(uint32_t)room, (uint32_t)x, (uint32_t)y, (uint32_t)airborne, (uint32_t)fall, 0}};
  r.words[5] = save_checksum(&r);
  return r;
}

inline int count_palette(uint32_t colour) {
  int n = 0;
  for (uint32_t c : g_game.palette) n += c == colour;
  return n;
}

class GameCore : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/vantrel_core_XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    g_dir = tmpl;
    g_old_cwd = fs::current_path();
    ASSERT_EQ(1, archive_write_file((g_dir / "packed.dat").c_str(), game_files(SyntheticGame())));
    fs::current_path(g_dir);
    test_platform_reset();
    random_reset();
    archive_close_all();
    g_game.sound_enabled = 0;
    g_game.cheats_enabled = 0;
    try {
      startup(nullptr);
    } catch (const TestExit& e) {
      FAIL() << "start-up exited with " << e.code;
    }
  }
  static void TearDownTestSuite() {
    fs::current_path(g_old_cwd);
    fs::remove_all(g_dir);
  }

  void SetUp() override {
    test_platform_reset();
    g_game.cheats_enabled = 0;
    g_game.start_room_25 = 0;
    g_game.fly_mode = 0;
    g_game.paused = 0;
    g_game.respawn_timer = 0;
    g_game.ring_radius = 0;
    memset(g_game.key_held, 0, sizeof g_game.key_held);
    memset(g_game.key_held_prev, 0, sizeof g_game.key_held_prev);
  }

  // Play in room n with the avatar hovering in fly mode at (x, y), where
  // nothing but the keys moves it.
  void enter_play(int room, int x, int y) {
    g_game.avatar_x = x;
    g_game.avatar_y = y;
    g_game.fall_speed = 0;
    g_game.airborne = 0;
    ASSERT_EQ(1, room_load(room));
    g_game.game_state = 0;
    g_game.game_started = 1;
    g_game.fade_level = 5000;
    g_game.fly_mode = 1;
    g_game.tick_accumulator = 0;
  }
};
