// The whole game state that decides future frames, captured and restored in
// one call each: GameState, the random generators and the one heap buffer
// play draws into and later reads back (the avatar figure, which a death
// burst keeps showing). Everything else a frame reads is either fixed after
// start-up (images, noise tables, creature paths), rebuilt from the captured
// state on restore (the room and its solid map, from room_number), or fully
// redrawn each frame before it is read (the work bitmap, the output image,
// the renderer's caches).
//
// Audio is not inside: sound never decides a frame, and the solver and the
// replay tests run without it. The platform shell's own state (window, held
// keys of the device) is not the game's and is not inside either.
#pragma once

#include <stdint.h>

#include "core/game_state.h"
#include "support/random.h"

enum { CAPTURE_FIGURE_BYTES = 8192 };  // the shipped avatar is 60 x 80 (4800)

struct GameCapture {
  GameState state;
  RandomState random;
  int32_t figure_width;                  // the avatar frame's size when captured
  int32_t figure_height;
  uint8_t figure[CAPTURE_FIGURE_BYTES];  // its pixels, row after row
};

// Fills *out; 0 (out unusable) when the game has not started or its avatar is
// larger than a capture holds.
int game_capture(GameCapture* out);
// Puts the game back to the captured moment. Must be given a capture of this
// same run (the images and tables it points at are the ones loaded at start).
void game_restore(const GameCapture* in);
