// The game driven as the headless runner drives it. State images hold
// GameState and the random generators' bytes: everything else the game keeps
// either stays fixed inside a room (rooms, masks, tables) or is rebuilt every
// frame from GameState (the work bitmap, the figure, the noise colour cache).
#include "solver/game_driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "core/game.h"
#include "core/game_state.h"
#include "platform/shell.h"
#include "sim/avatar.h"
#include "support/random.h"

// Bounds of the program's own static data, from the C runtime and the linker.
extern "C" char __data_start[];
extern "C" char _end[];

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

void send_key(Driver* d, int bit, int virtual_key, int down) {
  PlatformEvent event = {};
  event.type = down ? PLATFORM_EVENT_KEY_DOWN : PLATFORM_EVENT_KEY_UP;
  event.key = virtual_key;
  shell_handle_event(&event);
  if (d->record) d->record->push_back(ScriptLine{d->frame, down, bit});
}

// Finds the bytes of static data that drawing from the generators changes,
// then puts every byte back. The generators' words and counters need not sit
// together (initialised data and zeroed data are apart), so the changed
// bytes are gathered into a few spans. Returns 0 when they are not a few
// small blocks clear of GameState.
int locate_random_state(Driver* d) {
  size_t total = (size_t)(_end - __data_start);
  uint8_t* before = (uint8_t*)malloc(total);
  if (!before) return 0;
  memcpy(before, __data_start, total);
  for (int i = 0; i < 1300; i++) mt_next();  // at least two refills of the twister
  lcg_next();
  const size_t MARGIN = 64;  // counters may not have changed in every byte
  std::vector<Driver::Span> spans;
  for (size_t i = 0; i < total; i++) {
    if ((uint8_t)__data_start[i] == before[i]) continue;
    size_t lo = i >= MARGIN ? i - MARGIN : 0;
    size_t hi = i + 1 + MARGIN <= total ? i + 1 + MARGIN : total;
    uint8_t* p = (uint8_t*)__data_start + lo;
    if (!spans.empty() && spans.back().start + spans.back().bytes >= p) {
      spans.back().bytes = (size_t)((uint8_t*)__data_start + hi - spans.back().start);
    } else {
      spans.push_back(Driver::Span{p, hi - lo});
    }
  }
  memcpy(__data_start, before, total);
  free(before);
  size_t sum = 0;
  const uint8_t* game_lo = (const uint8_t*)&g_game;
  const uint8_t* game_hi = game_lo + sizeof g_game;
  for (const Driver::Span& s : spans) {
    sum += s.bytes;
    if (s.start < game_hi && game_lo < s.start + s.bytes) return 0;
    if (getenv("SOLVER_DEBUG"))
      fprintf(stderr, "random state: %zu bytes at offset %zu\n", s.bytes,
              (size_t)(s.start - (uint8_t*)__data_start));
  }
  if (spans.empty() || spans.size() > 8 || sum > 16384) return 0;
  d->random_state = spans;
  return 1;
}

}  // namespace

int driver_start(Driver* d, const char* game_line) {
  d->frame = 0;
  ShellLoop loop = {};
  char line[512];
  snprintf(line, sizeof line, "%s", game_line);
  if (!shell_start(line, &loop)) {
    fprintf(stderr, "vantrel-solver: the game did not start\n");
    return 0;
  }
  if (!locate_random_state(d)) {
    fprintf(stderr, "vantrel-solver: cannot find the random generators' state\n");
    return 0;
  }
  d->image_bytes = sizeof g_game;
  for (const Driver::Span& s : d->random_state) d->image_bytes += s.bytes;
  // The output is never looked at: a zero-width image keeps the noise
  // renderer's per-row random draws (so the random stream is the one of
  // play) while skipping the pixels.
  if (!g_game.output_image) return 0;
  g_game.output_image->width = 0;
  if (g_game.game_state != 1) {
    fprintf(stderr, "vantrel-solver: expected the title screen (is a save lying around?)\n");
    return 0;
  }
  send_key(d, DRIVE_JUMP, PLATFORM_VK_SPACE, 1);
  run_frame(FRAME_SECONDS, 0);
  d->frame++;
  if (g_game.game_state != 0 || !g_game.room) {
    fprintf(stderr, "vantrel-solver: no new game started\n");
    return 0;
  }
  // The key that started the game is let go before the next frame; play
  // cleared the held flags already, so this only keeps the script tidy.
  send_key(d, DRIVE_JUMP, PLATFORM_VK_SPACE, 0);
  return 1;
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
  memcpy(out, (const void*)&g_game, sizeof g_game);
  out += sizeof g_game;
  for (const Driver::Span& s : d->random_state) {
    memcpy(out, s.start, s.bytes);
    out += s.bytes;
  }
}

void driver_load(Driver* d, const uint8_t* in) {
  memcpy((void*)&g_game, in, sizeof g_game);
  in += sizeof g_game;
  for (const Driver::Span& s : d->random_state) {
    memcpy(s.start, in, s.bytes);
    in += s.bytes;
  }
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
