// Regression tests for faults found in a line-by-line review of the game core
// (frame driver, rooms, keys, start-up). Each case names what went wrong; the
// broad behaviour of those modules is covered by game_core_test.cpp.
#include <gtest/gtest.h>
#include <limits.h>
#include <string.h>

#include "core/bitmap.h"
#include "core/frame.h"
#include "core/game_state.h"
#include "core/noise_tables.h"

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

}  // namespace
