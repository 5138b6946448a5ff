// Avatar movement: one fixed 1/60 s tick of walking, jumping, falling,
// step climbing and fly mode. Collision is tested at half resolution between
// the avatar's body/feet masks and the room's solid_map, all in g_game.
#pragma once

#include "core/bitmap.h"

enum {
  AVATAR_KEY_UP = 0,     // index into key_held / key_held_prev
  AVATAR_KEY_RIGHT = 1,
  AVATAR_KEY_DOWN = 2,
  AVATAR_KEY_LEFT = 3,
  AVATAR_KEY_JUMP = 4,
};

// 1 when the half-resolution mask placed for an avatar at (x, y) overlaps
// nothing set in solid_map. Rows above the map are open, rows below it closed,
// columns beside it open.
int mask_clear(const Bitmap* mask, int x, int y);
// 1 when the body at (x, y) overlaps nothing solid.
int avatar_fits(int x, int y);
// 1 when the feet band at (x, y) overlaps solid (or the box reaches below).
int avatar_feet_touch(int x, int y);
// One simulation tick; reads key_held/key_held_prev, never copies them.
void avatar_tick(void);
