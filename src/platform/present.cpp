// The frame driver's one call to put a frame on the screen. Full screen only
// ever falls back to windowed: once a full-screen present fails, the setting
// stays cleared and the same window gets windowed presents.
#include "core/game_state.h"
#include "platform/platform.h"

void present_frame(int x, int y, const uint32_t* pixels, int width, int height,
                   int row_length) {
  if (g_game.fullscreen) {
    g_game.fullscreen = (uint8_t)platform_present(x, y, pixels, width, height, row_length, 1);
  } else {
    platform_present(x, y, pixels, width, height, row_length, 0);
  }
}
