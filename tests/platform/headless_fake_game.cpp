// A small stand-in game for the headless runner's tests: it draws a frame
// that depends on the frame count and the keys, feeds the sound buffer a
// tone through the cursors as the audio module does, keeps a counter in the
// persistent value and ends the process in the ways the real game does.
#include <stdlib.h>
#include <string.h>

#include "core/game_state.h"
#include "game/game.h"
#include "platform/platform.h"

GameState g_game;

namespace {

const char* const KEY_PATH = "Software\\Orrinvale\\qorvel";
uint32_t* image;
int frames_run;
int last_key;
int sound_open;
int16_t tone[2 * 2000];

}  // namespace

void startup(const char*) {
  image = (uint32_t*)malloc(800 * 600 * 4);
  uint32_t stored = 0;
  if (platform_store_read(KEY_PATH, "save", &stored, 4) == 4) frames_run = (int)stored;
  if (g_game.sound_enabled) sound_open = platform_sound_open(44100, 264600);
  g_game.game_state = 1;
}

void run_frame(float dt, int inactive) {
  frames_run++;
  for (int i = 0; i < 800 * 600; i++)
    image[i] = (uint32_t)(i * 2654435761u + frames_run * 40503u + last_key * 977u);
  if (sound_open) {
    int play, write;
    platform_sound_cursors(&play, &write);
    for (int i = 0; i < 2000; i++) {
      int16_t v = (int16_t)(((frames_run * 2000 + i) % 100 - 50) * 300);
      tone[2 * i] = v;
      tone[2 * i + 1] = (int16_t)-v;
    }
    platform_sound_write((write + 1322 * 4) % 264600, sizeof tone, tone);
  }
  g_game.room_number = frames_run;
  g_game.avatar_x = (int)(dt * 1e6f);
  g_game.avatar_y = inactive;
  g_game.airborne = last_key;
  g_game.respawn_timer = dt * frames_run;
  present_frame(0, 0, image, 800, 600, 800);
}

void on_key_down(int key) {
  last_key = key;
  if (key == 0x1B) platform_post_quit(0);            // Esc in the menu
  if (key == 'Q') platform_post_quit(9);
  if (key == 'X') platform_exit(5);                   // ends the process from a key
  if (key == 'M') {
    platform_message_box("ERROR", "Couldn't find data file");
    platform_exit(0);
  }
  if (key == 'S') {
    uint32_t value = (uint32_t)frames_run;
    platform_store_write(KEY_PATH, "save", &value, 4);
  }
}

void on_key_up(int key) { last_key = -key; }

// The runner's --portable asks the renderer for its plain code; there is none here.
int noise_field_limit_vector(int) { return 0; }
