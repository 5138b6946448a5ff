// Keyboard handling: held-key flags and toggles in play, selection and
// confirmation in the title and menu states. on_key_down and on_key_up are
// declared in game/game.h; the menu steps are here for the tests.
#pragma once

enum {
  KEY_CODE_ESCAPE = 0x1B,
  KEY_CODE_SPACE = 0x20,
  KEY_CODE_D = 0x44,
  KEY_CODE_F = 0x46,
  KEY_CODE_L = 0x4C,
  KEY_CODE_P = 0x50,  // Pause arrives as P too
  KEY_CODE_R = 0x52,
};

// Developer log of the mean of the last two frame times.
#define FRAME_TIME_LOG_NAME "qorvel_fps.txt"

void menu_key(int key);
void menu_select(void);
