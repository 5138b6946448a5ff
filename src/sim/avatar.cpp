// Avatar movement and collision. The rules are tuned tick by tick (jump
// height, coyote ticks, 16-px steps), so every test here runs in a fixed
// order; the half-resolution masks make 1-px moves sometimes invisible.
#include "sim/avatar.h"

#include "core/game_state.h"

namespace {

// Rounds of the sideways nudge (each lifts the avatar 2 px) before giving up
// and leaving it where it was; a real corner frees it within a few.
const int NUDGE_ROUNDS = 16;

const int JUMP_SPEED = -160;  // 1/32 px per tick
const int GRAVITY = 4;

int held(int key) { return g_game.key_held[key] != 0; }
int held_prev(int key) { return g_game.key_held_prev[key] != 0; }

// Tries X+2, X-2, X+4, X-4, lifting by 2 px between rounds; 1 when a place
// was found (stored into x/y).
int nudge_sideways(int* x, int* y) {
  static const int offsets[4] = {2, -2, 4, -4};
  int try_y = *y;
  for (int round = 0; round < NUDGE_ROUNDS; round++) {
    for (int k = 0; k < 4; k++) {
      if (avatar_fits(*x + offsets[k], try_y)) {
        *x += offsets[k];
        *y = try_y;
        return 1;
      }
    }
    try_y -= 2;
  }
  return 0;
}

}  // namespace

int mask_clear(const Bitmap* mask, int x, int y) {
  const Bitmap* map = g_game.solid_map;
  if (!mask || !mask->pixels || !map || !map->pixels) return 1;
  int rows = mask->height;
  int cols = mask->width;
  if (g_game.avatar) {
    // The avatar image decides the extent; the mask only bounds it.
    if (g_game.avatar->height / 2 < rows) rows = g_game.avatar->height / 2;
    if (g_game.avatar->width / 2 < cols) cols = g_game.avatar->width / 2;
  }
  int map_y0 = y >> 1;
  int map_x0 = x >> 1;
  for (int i = 0; i < rows; i++) {
    int my = map_y0 + i;
    if (my < 0) continue;
    const uint8_t* mask_row = mask->pixels + (long)i * mask->width;
    if (my >= map->height) {
      // Below the room counts as solid, but only where the mask is set:
      // closing whole rows would leave no height at which the body fits and
      // the feet touch, and the avatar would hover there forever.
      for (int j = 0; j < cols; j++) {
        if (mask_row[j]) return 0;
      }
      continue;
    }
    const uint8_t* map_row = map->pixels + (long)my * map->width;
    for (int j = 0; j < cols; j++) {
      int mx = map_x0 + j;
      if (mx < 0 || mx >= map->width) continue;
      if (map_row[mx] && mask_row[j]) return 0;
    }
  }
  return 1;
}

int avatar_fits(int x, int y) { return mask_clear(g_game.body_mask, x, y); }

int avatar_feet_touch(int x, int y) { return 1 - mask_clear(g_game.feet_mask, x, y); }

void avatar_tick(void) {
  GameState& g = g_game;
  int x = g.avatar_x;
  int y = g.avatar_y;
  const int x0 = x;
  const int feet = avatar_feet_touch(x, y);

  int step = 1;
  if (g.room_number == 39 || (g.room_number == 38 && x >= 500)) step = 2;

  // Each of the four flags adds a step: a held key moves 2 steps per tick and
  // a released one coasts for one more tick.
  if (held(AVATAR_KEY_LEFT)) x -= step;
  if (held(AVATAR_KEY_RIGHT)) x += step;
  if (held_prev(AVATAR_KEY_LEFT)) x -= step;
  if (held_prev(AVATAR_KEY_RIGHT)) x += step;
  g.avatar_x = x;

  if (feet && g.fall_speed >= 0) g.airborne = 0;

  if (g.fly_mode) {
    if (held(AVATAR_KEY_UP)) y -= 2;
    if (held(AVATAR_KEY_DOWN)) y += 2;
    if (held_prev(AVATAR_KEY_UP)) y -= 2;
    if (held_prev(AVATAR_KEY_DOWN)) y += 2;
    g.avatar_y = y;
    return;
  }

  int fresh_jump = (held(AVATAR_KEY_JUMP) && !held_prev(AVATAR_KEY_JUMP)) ||
                   (held(AVATAR_KEY_UP) && !held_prev(AVATAR_KEY_UP));
  if (g.air_ticks < 2 && fresh_jump) {
    g.fall_speed = JUMP_SPEED;
    g.airborne = 1;
    g.air_ticks = 99999;
  }

  if (g.airborne) {
    if (!avatar_fits(x, y)) {
      x = x0;
      g.avatar_x = x;
    }
    g.fall_speed += GRAVITY;
    int d = g.fall_speed >> 5;
    if (avatar_fits(x, y + d)) {
      g.avatar_y = y + d;
      g.air_ticks += 1;
      return;
    }
    if (d <= 0) {  // head bump
      g.fall_speed = 0;
      g.air_ticks += 1;
      return;
    }
    do {
      d -= 1;
      g.fall_speed -= 32;
    } while (!avatar_fits(x, y + d) && d != 0);
    y += d;
    g.avatar_y = y;
    if (!avatar_feet_touch(x, y)) {
      // Caught on a side or a corner rather than standing on something.
      int nx = x;
      int ny = y;
      if (nudge_sideways(&nx, &ny)) {
        g.avatar_x = nx;
        g.avatar_y = ny;
      }
      g.air_ticks += 1;
      return;
    }
    g.airborne = 0;
  } else {
    int target;
    if (avatar_fits(x, y)) {
      target = y + 2;  // follow the ground down a slope
    } else {
      int climbed = 0;
      for (int n = 2; n <= 16 && !climbed; n *= 2) {
        if (!avatar_fits(x, y - n)) continue;
        int i = n / 2 + 1;
        while (i < n && !avatar_fits(x, y - i)) i++;
        y -= i;
        climbed = 1;
      }
      if (!climbed) {  // the step is too high
        x = x0;
        g.avatar_x = x;
      }
      target = y + 1;
    }
    if (avatar_fits(x, target)) y = target;
    g.avatar_y = y;
  }

  // Landing check, reached from both standing and a finished fall.
  g.air_ticks = 0;
  if (avatar_fits(x, y + 2)) {
    g.fall_speed = 0;
    g.airborne = 1;
  }
}
