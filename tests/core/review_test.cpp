// Regression tests for faults found in a line-by-line review of the game core
// (frame driver, rooms, keys, start-up). Each case names what went wrong; the
// broad behaviour of those modules is covered by game_core_test.cpp.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/bitmap.h"
#include "core/game_state.h"
#include "core/noise_tables.h"
#include "core/save.h"
#include "common/test_platform.h"
#include "game/frame.h"
#include "game/room.h"
#include "pack/archive_write.h"

namespace {

// Room 39 adds 100 to the frame counter on every frame, so it passes 2^31
// after about four days there. Room 38 used to compute its speed-up in double
// and convert back, which gave INT_MIN past the top, and room 39's addition
// overflowed a signed int. The counter only sets the noise phase: it must
// keep counting modulo 2^32 like any other frame.
TEST(FrameCounter, WrapsRoundInTheFastRoomsInsteadOfOverflowing) {
  Bitmap* work = bitmap_new(8, 8);
  ASSERT_TRUE(work);
  Bitmap* saved_work = g_game.work_bitmap;
  g_game.work_bitmap = work;
  palette_reset();

  g_game.room_number = 38;
  g_game.avatar_x = 760;  // 100 extra steps
  g_game.frame_counter = INT_MAX - 10;
  frame_room_effects();
  EXPECT_EQ(g_game.frame_counter, INT_MIN + 89);

  g_game.room_number = 39;
  g_game.frame_counter = INT_MAX - 10;
  frame_room_effects();
  EXPECT_EQ(g_game.frame_counter, INT_MIN + 89);

  // Below the top nothing changes: trunc(counter + 100 w^2.5) as before,
  // toward zero also for a counter that has already wrapped.
  g_game.room_number = 38;
  g_game.avatar_x = 380;  // 17.68 extra steps
  g_game.frame_counter = -5;
  frame_room_effects();
  EXPECT_EQ(g_game.frame_counter, 12);
  g_game.frame_counter = -100;
  frame_room_effects();
  EXPECT_EQ(g_game.frame_counter, -82) << "trunc(-82.32) is -82";

  g_game.work_bitmap = saved_work;
  bitmap_free(work);
}

// Regression: a room image that is in the data but does not decode was taken
// for the end of the row of rooms, so walking into it erased the player's
// save and exited as if the game had been won. Broken data ends with the data
// file message and leaves the save alone; only a room with no image at all
// finishes the game.
TEST(RoomChange, UndecodableNextRoomIsBrokenDataNotTheEndOfTheGame) {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/vantrel_review_XXXXXX";
  ASSERT_TRUE(mkdtemp(tmpl));
  fs::path archive = fs::path(tmpl) / "packed.dat";
  const std::string junk = "PNG? no: a damaged room image";
  ASSERT_EQ(1, archive_write_file(archive.c_str(),
                                  {{"r02.png", std::vector<uint8_t>(junk.begin(), junk.end())}}));
  archive_close_all();
  ASSERT_EQ(1, archive_open(archive.c_str()));
  test_platform_reset();
  g_game.sound_enabled = 0;
  g_game.cheats_enabled = 0;
  g_game.room_number = 1;
  g_game.avatar_x = -28;
  g_game.avatar_y = 300;
  save_capture();
  SaveRecord saved = g_game.save;
  save_write();
  const std::vector<uint8_t> stored = test_stored(SAVE_STORE_KEY, SAVE_STORE_VALUE);
  ASSERT_EQ(stored.size(), 24u);

  int code = -1;
  try {
    room_change(+1);
  } catch (const TestExit& e) {
    code = e.code;
  }
  EXPECT_EQ(code, 0);
  ASSERT_EQ(g_test_platform.messages.size(), 1u);
  EXPECT_EQ(g_test_platform.messages[0], "ERROR: Couldn't find data file");
  EXPECT_EQ(test_stored(SAVE_STORE_KEY, SAVE_STORE_VALUE), stored) << "the save is kept";
  EXPECT_EQ(0, memcmp(&g_game.save, &saved, sizeof saved));

  // Past the last room there is no image at all: that is the end.
  test_platform_reset();
  g_game.room_number = 2;
  code = -1;
  try {
    room_change(+1);
  } catch (const TestExit& e) {
    code = e.code;
  }
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(g_test_platform.messages.empty());
  EXPECT_EQ(test_stored(SAVE_STORE_KEY, SAVE_STORE_VALUE), std::vector<uint8_t>(24, 0));

  archive_close_all();
  fs::remove_all(tmpl);
}

}  // namespace
