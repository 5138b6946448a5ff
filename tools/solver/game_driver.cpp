// The game driven as the headless runner drives it, on the same headless
// backend: the clock moves only when the game sleeps, no event is queued (keys
// go straight to the shell's router between frames, as the runner's pump
// hands them on) and the sound stays off. State images hold
// GameState and the random generators' bytes: everything else the game keeps
// either stays fixed inside a room (rooms, masks, tables) or is rebuilt every
// frame from GameState (the work bitmap, the figure, the noise colour cache).
#include "solver/game_driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>

#include "core/game_state.h"
#include "core/save.h"
#include "game/capture.h"
#include "game/game.h"
#include "platform/headless/headless.h"
#include "platform/posix/store.h"
#include "platform/shell.h"
#include "sim/avatar.h"

namespace {

const float FRAME_SECONDS = (float)(1.0 / 60);

struct KeyInfo {
  int bit;
  int held_index;
  int virtual_key;
};
const KeyInfo KEYS[3] = {
    {DRIVE_RIGHT, AVATAR_KEY_RIGHT, PLATFORM_VK_RIGHT},
    {DRIVE_LEFT, AVATAR_KEY_LEFT, PLATFORM_VK_LEFT},
    {DRIVE_JUMP, AVATAR_KEY_JUMP, PLATFORM_VK_SPACE},
};

// A save folder of the solver's own, empty at the start so that every run
// opens on the title screen as the route test's runner does; removed at exit.
char g_save_dir[] = "/tmp/vantrel_solver_XXXXXX";

void remove_save_dir(void) {
  std::error_code ignored;
  std::filesystem::remove_all(g_save_dir, ignored);
}

// Reached only by walking out of the row of rooms or by a fatal message; the
// solver never runs the frame that leaves the last room, so either is an
// error here.
void refuse_exit(int exit_code) {
  fprintf(stderr, "vantrel-solver: the game ended the process (code %d)\n", exit_code);
  fflush(nullptr);
  exit(exit_code == 0 ? 1 : exit_code);
}

void send_key(Driver* d, int bit, int virtual_key, int down) {
  PlatformEvent event = {};
  event.type = down ? PLATFORM_EVENT_KEY_DOWN : PLATFORM_EVENT_KEY_UP;
  event.key = virtual_key;
  shell_handle_event(&event);
  if (d->record) d->record->push_back(ScriptLine{d->frame, down, bit});
}

}  // namespace

// Names come from the runner's own script table, so the solver writes and
// reads exactly what vantrel-headless plays.
const char* driver_key_name(int bit) {
  for (const KeyInfo& k : KEYS)
    if (k.bit == bit) return script_key_name(k.virtual_key);
  return script_key_name(PLATFORM_VK_SPACE);
}

int driver_key_bit(const char* name) {
  int code = script_key_code(name);
  for (const KeyInfo& k : KEYS)
    if (code && k.virtual_key == code) return k.bit;
  return 0;
}

int driver_start(Driver* d, const char* game_line) {
  d->frame = 0;
  if (!mkdtemp(g_save_dir)) {
    fprintf(stderr, "vantrel-solver: cannot make a save folder in /tmp\n");
    return 0;
  }
  atexit(remove_save_dir);
  store_set_base_dir(g_save_dir);
  headless_machine()->on_exit = refuse_exit;
  ShellLoop loop = {};
  char line[512];
  snprintf(line, sizeof line, "%s", game_line);
  if (!shell_start(line, &loop)) {
    fprintf(stderr, "vantrel-solver: the game did not start\n");
    return 0;
  }
  static GameCapture probe;
  if (!game_capture(&probe)) {
    fprintf(stderr, "vantrel-solver: the game's state cannot be captured\n");
    return 0;
  }
  d->image_bytes = sizeof(GameCapture);
  d->title.resize(sizeof(GameCapture));
  // The output is never looked at: a zero-width image keeps the noise
  // renderer's per-row random draws (so the random stream is the one of
  // play) while skipping the pixels.
  if (!g_game.output_image) return 0;
  g_game.output_image->width = 0;
  if (g_game.game_state != GAME_TITLE) {
    fprintf(stderr, "vantrel-solver: expected the title screen (is a save lying around?)\n");
    return 0;
  }
  driver_save(d, d->title.data());
  send_key(d, DRIVE_JUMP, PLATFORM_VK_SPACE, 1);
  run_frame(FRAME_SECONDS, 0);
  d->frame++;
  if (g_game.game_state != GAME_PLAYING || !g_game.room) {
    fprintf(stderr, "vantrel-solver: no new game started\n");
    return 0;
  }
  // The key that started the game is let go before the next frame; play
  // cleared the held flags already, so this only keeps the script tidy.
  send_key(d, DRIVE_JUMP, PLATFORM_VK_SPACE, 0);
  return 1;
}

int driver_continue(Driver* d, const SaveRecord& record) {
  driver_load(d, d->title.data());
  // Start-up's own reading of the store decides between the title and the
  // menu, as in a new process.
  g_game.save = record;
  save_write();
  memset(&g_game.save, 0, sizeof g_game.save);
  save_read();
  g_game.game_state = save_is_valid(&g_game.save) ? GAME_MENU_CONTINUE : GAME_TITLE;
  PlatformEvent event = {};
  event.type = PLATFORM_EVENT_KEY_DOWN;
  event.key = PLATFORM_VK_SPACE;
  shell_handle_event(&event);
  return g_game.game_state == GAME_PLAYING && g_game.room_number == (int32_t)record.words[0] &&
         g_game.avatar_x == (int32_t)record.words[1] && g_game.avatar_y == (int32_t)record.words[2];
}

SaveRecord driver_save_record(void) {
  SaveRecord kept = g_game.save;
  save_capture();
  SaveRecord now = g_game.save;
  g_game.save = kept;
  return now;
}

int driver_held_keys(void) {
  int bits = 0;
  for (const KeyInfo& k : KEYS)
    if (g_game.key_held[k.held_index]) bits |= k.bit;
  return bits;
}

void driver_key(Driver* d, int key_bit, int down) {
  for (const KeyInfo& k : KEYS)
    if (k.bit == key_bit) send_key(d, k.bit, k.virtual_key, down);
}

void driver_frame(Driver* d, int keys) {
  for (const KeyInfo& k : KEYS) {
    int want = (keys & k.bit) != 0;
    int have = g_game.key_held[k.held_index] != 0;
    if (want != have) send_key(d, k.bit, k.virtual_key, want);
  }
  driver_run(d);
}

void driver_run(Driver* d) {
  run_frame(FRAME_SECONDS, 0);
  if (d->record && getenv("SOLVER_TRACE"))
    fprintf(stderr, "%ld,%d,%d,%d,%d\n", d->frame, g_game.room_number, g_game.avatar_x, g_game.avatar_y,
            g_game.frame_counter);
  d->frame++;
}

void driver_save(const Driver* d, uint8_t* out) {
  (void)d;  // every image is one GameCapture
  // The capture cannot fail here: driver_start checked it once already.
  game_capture((GameCapture*)out);
}

void driver_load(Driver* d, const uint8_t* in) {
  (void)d;
  game_restore((const GameCapture*)in);
}

int driver_dying(void) { return g_game.respawn_timer > 0; }

int driver_death_cause(void) {
  const Bitmap* figure = g_game.avatar_frame;
  const Bitmap* room = g_game.room;
  int counts[17] = {};
  for (int j = 0; j < figure->height; j++) {
    int y = g_game.avatar_y + j;
    if (y < 0 || y >= room->height) continue;
    for (int i = 0; i < figure->width; i++) {
      int x = g_game.avatar_x + i;
      if (x < 0 || x >= room->width || !figure->pixels[j * figure->width + i]) continue;
      int cls = room->pixels[y * room->width + x];
      if (cls < 17 && cls != 0 && cls != 1 && cls != 13) counts[cls]++;
    }
  }
  int best = 0;
  for (int c = 2; c < 17; c++)
    if (counts[c] > counts[best]) best = c;
  return best;
}

int driver_pending_edge(void) {
  int half = g_game.avatar->width / 2;
  int width = g_game.room->width;
  if (g_game.avatar_x < -2 - half) return -1;
  if (g_game.avatar_x >= width - half + 2) return 1;
  return 0;
}

int driver_room_has_creatures(int room) {
  for (int i = 0; i < CREATURE_SLOTS; i++)
    if (g_game.creature_table[i].room == room) return 1;
  return 0;
}
