// The two records of the creature tables, kept apart from creature.h so that
// GameState can hold the tables without pulling in the creature operations.
// Both are fixed data: creature_tables.cpp fills them once at start-up.
#pragma once

#include <stdint.h>

enum {
  CREATURE_SLOTS = 40,       // slots 0..28 used, the rest empty (room -1)
  CREATURE_COUNT = 29,
  PATH_RECORDS = 33,
  PATH_MAX_POINTS = 16,
};

struct Path {
  int32_t key;
  int32_t count;                      // 0..PATH_MAX_POINTS
  int32_t points[PATH_MAX_POINTS][2]; // (x, y) room pixels
};

struct Creature {
  int32_t id;          // 0..28, also selects special behaviour
  int32_t room;        // -1 for an empty slot
  int32_t sprite;      // sprite slot (first animation frame)
  int32_t loop;        // 1 closed loop, 0 back and forth
  float speed;         // pixels per second, used when leg_time is 0
  float leg_time;      // seconds per leg when non-zero
  float rest_min;
  float rest_max;
  float scale_x;       // extra breathing stretch, 0 = none
  float scale_y;
  int32_t x;           // bottom centre of the drawn image (giant: figure origin)
  int32_t y;
  int32_t leg;         // target point counted along the unfolded path
  int32_t from_point;
  float progress;      // 0 <= progress < 1 along the current leg
  float rest;          // seconds of rest left
  float eased;
  Path* path;          // null when the creature has no path
};
