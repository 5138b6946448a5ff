// A stand-in game for the SDL backend's end-to-end test: full-screen noise
// that changes every frame, and Esc posts a quit as the real menu does. It
// lets the window, present and key path be tested without the game data.
#include <stdlib.h>

#include "core/game_state.h"
#include "game/game.h"
#include "platform/platform.h"

GameState g_game;

namespace {

uint32_t* image;
uint32_t seed = 12345;

}  // namespace

void startup(const char*) { image = (uint32_t*)malloc(800 * 600 * 4); }

void run_frame(float, int) {
  for (int i = 0; i < 800 * 600; i++) {
    seed = seed * 1664525u + 1013904223u;
    image[i] = (seed >> 31) ? 0xFFFFFF : 0;
  }
  present_frame(0, 0, image, 800, 600, 800);
}

void on_key_down(int key) {
  if (key == 0x1B) platform_post_quit(0);
}

void on_key_up(int) {}
