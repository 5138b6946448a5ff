// The frame driver: run_frame (declared in game/game.h) is the only place game
// time advances. These are its per-room Palette rules, apart so that tests can
// reach them without running a whole frame.
#pragma once

#include <stdint.h>

// 1 when the Palette is shuffled in this room on the frame whose counter is n.
int frame_palette_swaps(int room, int32_t n);
// The effects of the last rooms, applied after the shuffle (38 speed-up, 39
// blind field, 40 Palette reset).
void frame_room_effects(void);
