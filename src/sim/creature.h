// Creatures: fixed painted images that travel polylines, rest at points,
// breathe, flicker, drop from the ceiling, get fired at the avatar, and one
// giant stick figure. Only the current room's creatures move and are drawn.
#pragma once

#include "core/creature_types.h"

// Builds creature_table and path_table; once at start-up, after the sprites.
void creatures_init(void);
// Moves and draws every creature of the current room into draw_target (the
// work bitmap). dt is the clamped frame time, 0 while paused.
void creatures_step(float dt);
void creature_update(Creature* cr, float dt);
// The first path record with this key, or null.
Path* find_path(int key);
// 1 with the indexes of the current leg's start and end points, folded for
// back-and-forth paths; 0 (both 0) when there is no usable leg.
int leg_points(const Creature* cr, int* from_out, int* to_out);
// Length of the current leg; 1.0 without a usable leg.
float leg_length(const Creature* cr);
// S-curve 0..1 with a straight middle half: gentle starts and stops.
float ease_in_out(float p);
