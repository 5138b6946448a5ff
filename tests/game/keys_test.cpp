// Keys and game states: the menu.
#include "game_fixture.h"

namespace {

TEST_F(GameCore, MenuMovesSelectionAndContinuesOrStartsNew) {
  g_game.save = valid_record(2, 123, 300, 1, -40);
  g_game.game_started = 0;
  g_game.game_state = 2;
  on_key_down(KEY_UP);
  EXPECT_EQ(g_game.game_state, 2);
  on_key_down(KEY_DOWN);
  EXPECT_EQ(g_game.game_state, 3);
  on_key_down(KEY_DOWN);  // held down arrow: stays on new game
  on_key_down(KEY_RIGHT);
  EXPECT_EQ(g_game.game_state, 3);
  on_key_down(KEY_LEFT);
  EXPECT_EQ(g_game.game_state, 2);
  on_key_up(KEY_LEFT);  // releases are not seen in the menu
  on_key_down(0x0D);
  EXPECT_EQ(g_game.game_state, 0);
  EXPECT_EQ(g_game.room_number, 2);
  EXPECT_EQ(g_game.avatar_x, 123);
  EXPECT_EQ(g_game.avatar_y, 300);
  EXPECT_EQ(g_game.airborne, 1);
  EXPECT_EQ(g_game.fall_speed, -40);
  EXPECT_EQ(g_game.checkpoint.avatar_x, 123);

  // Esc in play, then continue: the interrupted game resumes untouched.
  g_game.avatar_x = 444;
  g_game.paused = 1.0f;
  g_game.respawn_timer = 0.7f;
  g_game.palette[0] = 0x12345678;
  on_key_down(KEY_CODE_ESCAPE);
  EXPECT_EQ(g_game.game_state, 2);
  g_game.key_held[0] = 1;
  on_key_down('X');
  EXPECT_EQ(g_game.game_state, 0);
  EXPECT_EQ(g_game.avatar_x, 444);
  EXPECT_EQ(g_game.paused, 1.0f);
  EXPECT_EQ(g_game.respawn_timer, 0.7f);
  EXPECT_EQ(g_game.palette[0], 0x12345678u);
  EXPECT_EQ(g_game.key_held[0], 0);

  // Esc, then new game: room 1, and the stored save is left alone.
  test_platform_reset();
  on_key_down(KEY_CODE_ESCAPE);
  on_key_down(KEY_DOWN);
  on_key_down(KEY_CODE_SPACE);
  EXPECT_EQ(g_game.game_state, 0);
  EXPECT_EQ(g_game.room_number, 1);
  EXPECT_EQ(g_game.avatar_x, 350);
  EXPECT_EQ(g_game.paused, 0.0f);
  EXPECT_EQ(g_game.respawn_timer, 0.0f);
  EXPECT_TRUE(stored_save().empty());

}

}  // namespace
