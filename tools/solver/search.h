// Search for a way through one room: best-first over macro-actions (a few
// frames of holding left, right or nothing, with or without a fresh jump
// press), every candidate simulated by the real game from a state image.
#pragma once

#include <stdint.h>

#include <vector>

#include "solver/game_driver.h"

struct SearchOptions {
  int macro_frames = 6;          // frames per macro-action
  long max_expansions = 30000;   // nodes expanded before giving up on a room
  int max_frames = 60 * 90;      // longest time spent in one room
  int extra_percent = 60;        // after the first way out, keep looking this much longer
  int max_ways = 8;              // distinct ways handed back for choosing by margin
};

struct RoomResult {
  int room = 0;
  int solved = 0;
  std::vector<uint8_t> actions;  // the chosen route, one macro-action each
  int last_frames = 0;           // frames of the last macro-action actually used
  int route_frames = 0;          // frames from entering until the edge is passed
  long expansions = 0;
  long candidates = 0;           // macro-actions simulated
  long deaths = 0;
  long deaths_by_cause[17] = {}; // index 0: a creature, else the room class
  long left_exits = 0;
  long successes = 0;
  int distinct_ways = 0;
  // The quickest route of each distinct way, the chosen one first (for
  // choosing among them by margin); last_frames as above for each.
  std::vector<std::vector<uint8_t>> ways;
  std::vector<int> ways_last_frames;
  int margin_trials = 0;         // trials per measure below (0: not measured)
  int margin_capture[2] = {};    // passes at J = 3 and 6 from the entry capture
  int margin_continue[2] = {};   // ... and from a continue
  double seconds = 0;            // solver time spent
};

// Keys held during frame i of macro-action a.
int action_keys(int action, int frame_in_action);

// Searches from the state image `entry` (a frame after entering the room).
// Leaves the game in an unspecified state.
RoomResult search_room(Driver* d, const uint8_t* entry, const SearchOptions& options);

// Plays the result's route from `entry` with the driver recording, up to and
// including the frame that passes the room edge. Returns 1 when the edge was
// reached alive as the search saw it.
int replay_route(Driver* d, const uint8_t* entry, const RoomResult& result, int macro_frames);
