// The frame driver: the title fade and the frame counter in the fast rooms.
#include <limits.h>

#include "game_fixture.h"

namespace {

TEST_F(GameCore, TitleFadeReaches255OnFrame255ThenShuffles) {
  g_game.game_state = 1;
  g_game.fade_level = 0;
  for (int frame = 1; frame <= 254; frame++) run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.fade_level, 254);
  EXPECT_EQ(g_game.palette[0], 0xFFFEFEFEu);
  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.fade_level, 255);
  EXPECT_EQ(count_palette(0xFFFFFFFFu), 128);
  for (int i = 128; i < 256; i++) EXPECT_EQ(g_game.palette[i], 0u);

  uint32_t before[256];
  memcpy(before, g_game.palette, sizeof before);
  int changed_frames = 0;
  for (int frame = 0; frame < 50; frame++) {
    run_frame(1.0f / 60.0f, 0);
    changed_frames += memcmp(before, g_game.palette, sizeof before) != 0;
    memcpy(before, g_game.palette, sizeof before);
  }
  EXPECT_EQ(g_game.fade_level, 305);
  EXPECT_GT(changed_frames, 15) << "one swap per frame after the fade";
  EXPECT_EQ(count_palette(0xFFFFFFFFu), 128);

  // Slow frames step by 4 dt; the level stops at 1000.
  run_frame(1.0f, 0);
  EXPECT_EQ(g_game.fade_level, 309);
  g_game.fade_level = 999;
  run_frame(1.0f / 60.0f, 0);
  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.fade_level, 1000);
  // The menu states render their own pictures without trouble.
  g_game.game_state = 3;
  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(headless_machine()->presents, 255 + 50 + 4);
}

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
