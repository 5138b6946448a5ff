// The saved position on arbitrary stored values, read through the real POSIX
// store on the headless backend: a missing, short, long, edited or forged
// value is read at start-up, continued from the menu and played for a few
// dozen frames with keys from the input, so a room, position, fall speed or
// airborne flag the game never wrote is driven through the room loader, the
// simulation and the renderer.
// Input: control byte (bit 0: give the value its right checksum; bit 1: long
// frames; bits 2-7: frames), value length (mod 41), the value, then a
// held-key mask per frame.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "core/game_state.h"
#include "core/save.h"
#include "game/game.h"
#include "game/keys.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/posix/store.h"
#include "sim/avatar.h"

struct SaveFuzzExit {};

namespace {

char g_value_path[4096];

void start_once(void) {
  static int started;
  if (started) return;
  started = 1;
  headless_machine()->on_exit = [](int) { throw SaveFuzzExit{}; };  // the ends of the process land here
  headless_machine()->on_message = [](const char*, const char*) {};
  if (chdir(SAVE_FUZZ_DATA_DIR) != 0) abort();  // start-up opens "packed.dat" here
  char store[64];
  snprintf(store, sizeof store, "/tmp/save_fuzz_%d", (int)getpid());
  store_set_base_dir(store);
  if (!store_value_path(SAVE_STORE_KEY, SAVE_STORE_VALUE, g_value_path, sizeof g_value_path)) abort();
  uint8_t zero[24] = {};  // makes the folders of the value
  if (!platform_store_write(SAVE_STORE_KEY, SAVE_STORE_VALUE, zero, sizeof zero)) abort();
  g_game.sound_enabled = 0;
  try {
    startup(nullptr);
  } catch (const SaveFuzzExit&) {
    abort();  // the data are made for this and must start
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 4096) return 0;
  start_once();
  int control = data[0];
  size_t length = data[1] % 41;
  if (length > size - 2) length = size - 2;
  uint8_t value[40];
  memcpy(value, data + 2, length);
  if ((control & 1) && length >= 24) {
    SaveRecord r;
    for (int i = 0; i < 6; i++)
      r.words[i] = (uint32_t)value[4 * i] | (uint32_t)value[4 * i + 1] << 8 |
                   (uint32_t)value[4 * i + 2] << 16 | (uint32_t)value[4 * i + 3] << 24;
    uint32_t sum = save_checksum(&r);
    for (int i = 0; i < 4; i++) value[20 + i] = (uint8_t)(sum >> (8 * i));
  }
  FILE* f = fopen(g_value_path, "wb");
  if (!f) abort();
  fwrite(value, 1, length, f);
  fclose(f);
  const uint8_t* keys = data + 2 + length;
  size_t key_count = size - 2 - length;
  // Each frame renders the whole field; long frames reach further for the same cost.
  int frames = 4 + (control >> 2) % 24;
  float dt = control & 2 ? 0.05f : 1.0f / 60;

  // A fresh title screen, as a new process would have it.
  memset(&g_game.save, 0, sizeof g_game.save);
  memset(g_game.key_held, 0, sizeof g_game.key_held);
  memset(g_game.key_held_prev, 0, sizeof g_game.key_held_prev);
  g_game.game_started = g_game.fly_mode = 0;
  g_game.paused = g_game.respawn_timer = g_game.tick_accumulator = 0;
  g_game.avatar_x = g_game.avatar_y = g_game.fall_speed = g_game.airborne = 0;
  try {
    save_read();
    g_game.game_state = save_is_valid(&g_game.save) ? 2 : 1;
    on_key_down(KEY_CODE_SPACE);  // continue, or a new game without a save
    on_key_up(KEY_CODE_SPACE);
    for (int f = 0; f < frames; f++) {
      int mask = f < (int)key_count ? keys[f] : 0;
      for (int k = 0; k < 5; k++) g_game.key_held[k] = (mask >> k) & 1;
      run_frame(dt, 0);
    }
  } catch (const SaveFuzzExit&) {
    // Walking out of the last room ends the game; nothing more to check.
  }
  return 0;
}
