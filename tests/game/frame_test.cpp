// The frame driver: frame time and ticks, inactive and paused frames, the
// title fade, the palette schedule, the last rooms' effects and the burst.
#include <limits.h>

#include "game_fixture.h"

namespace {

TEST_F(GameCore, FrameTimeIsClampedAndRunsThreeOrFourTicks) {
  enter_play(1, 300, 300);
  g_game.key_held[1] = g_game.key_held_prev[1] = 1;  // right: 2 px per fly tick
  float play_time = g_game.play_time;
  run_frame(0.2f, 0);
  EXPECT_EQ(g_game.avatar_x, 306) << "0.2 s counts as 0.05 s: three ticks";
  EXPECT_FLOAT_EQ(g_game.play_time - play_time, 0.05f);
  EXPECT_LT(g_game.tick_accumulator, 1e-6f);
  EXPECT_EQ(headless_machine()->presents, 1);

  g_game.tick_accumulator = 1.0f / 60.0f;  // a whole tick carried
  run_frame(0.2f, 0);
  EXPECT_EQ(g_game.avatar_x, 314) << "four ticks with a tick carried";

  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.avatar_x, 316);
  EXPECT_EQ(g_game.key_held_prev[1], 1);
}

TEST_F(GameCore, InactiveFramesDoNothing) {
  enter_play(1, 300, 300);
  g_game.key_held[1] = g_game.key_held_prev[1] = 1;
  int32_t counter = g_game.frame_counter;
  run_frame(0.05f, 1);
  EXPECT_EQ(g_game.avatar_x, 300);
  EXPECT_EQ(g_game.frame_counter, counter);
  EXPECT_EQ(headless_machine()->presents, 0);
}

TEST_F(GameCore, PauseFreezesPlayAndBlinksTheNoise) {
  enter_play(1, 300, 300);
  g_game.key_held[1] = g_game.key_held_prev[1] = 1;
  g_game.paused = 1.0f;
  g_game.pause_blink = 0;
  float play_time = g_game.play_time;
  int32_t counter = g_game.frame_counter;
  // Blink after 0.25 s frames: 0.25 0.5 0.75 1.0 1.25* 1.5* (then back to 0).
  const int advanced[6] = {0, 0, 0, 0, 1, 1};
  for (int i = 0; i < 6; i++) {
    run_frame(0.25f, 0);
    EXPECT_EQ(g_game.frame_counter - counter, advanced[i]) << "frame " << i;
    counter = g_game.frame_counter;
  }
  EXPECT_EQ(g_game.pause_blink, 0.0f);
  EXPECT_EQ(g_game.avatar_x, 300);
  EXPECT_EQ(g_game.play_time, play_time);
  EXPECT_EQ(headless_machine()->presents, 6);
}

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
  g_game.fade_level = 5000;
  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.fade_level, 1000);
  // The menu states render their own pictures without trouble.
  g_game.game_state = 3;
  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(headless_machine()->presents, 255 + 50 + 5);
}

// The same schedule as run_frame applies it: room 29 never touches the
// Palette between its 16th frames, room 35 shuffles on (nearly) every frame.
TEST_F(GameCore, RunFrameShufflesOnTheRoomSchedule) {
  enter_play(1, 300, 300);
  palette_reset();
  g_game.room_number = 29;
  g_game.frame_counter = 0;
  int changed = 0;
  for (int frame = 0; frame < 256; frame++) {
    uint32_t before[256];
    memcpy(before, g_game.palette, sizeof before);
    run_frame(1.0f / 60.0f, 0);
    bool differs = memcmp(before, g_game.palette, sizeof before) != 0;
    if (g_game.frame_counter % 16 != 0) {
      ASSERT_FALSE(differs) << "frame_counter " << g_game.frame_counter;
    }
    changed += differs;
  }
  EXPECT_GE(changed, 3);  // of 16 swaps, about half visible
  g_game.room_number = 35;
  changed = 0;
  for (int frame = 0; frame < 32; frame++) {
    uint32_t before[256];
    memcpy(before, g_game.palette, sizeof before);
    run_frame(1.0f / 60.0f, 0);
    changed += memcmp(before, g_game.palette, sizeof before) != 0;
  }
  // Half the swaps exchange two entries of one colour and change nothing.
  EXPECT_GE(changed, 6);
  EXPECT_EQ(count_palette(0xFFFFFFFFu), 128);
}

TEST_F(GameCore, BurstReturnsAvatarToCheckpoint) {
  enter_play(1, 300, 200);
  g_game.fly_mode = 0;
  g_game.avatar_x = 600;
  g_game.avatar_y = 100;
  g_game.fall_speed = 99;
  on_key_down(KEY_CODE_R);
  run_frame(0.02f, 0);
  EXPECT_NEAR(g_game.respawn_timer, 0.03f, 1e-6);
  EXPECT_NEAR(g_game.ring_radius, 0.02f, 1e-6);
  EXPECT_EQ(g_game.avatar_x, 600) << "no ticks during the burst";
  run_frame(0.05f, 0);
  EXPECT_EQ(g_game.respawn_timer, 0.0f);
  EXPECT_EQ(g_game.avatar_x, 300);
  EXPECT_EQ(g_game.avatar_y, 200);
  EXPECT_EQ(g_game.fall_speed, 0);

  // A checkpoint inside the floor puts the avatar 2 pixels lower, once.
  g_game.checkpoint.avatar_y = 480;
  on_key_down(KEY_CODE_R);
  run_frame(0.05f, 0);
  EXPECT_EQ(g_game.avatar_y, 482);
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
