// How much a person's timing a room's route forgives. A trial replays the
// room from its entry with every key event moved by its own random offset in
// -J ... +J frames (each key's events keep their order, every hold and every
// gap lasts at least a frame); it passes when the avatar reaches the route's
// next room (past room 39: the end) alive within the route's time plus 3 s.
// The margin at J is the share of trials that pass, with fixed seeds.
#pragma once

#include <stdint.h>

#include <vector>

#include "solver/game_driver.h"

enum {
  MARGIN_GRACE_FRAMES = 180,  // 3 s beyond the route's own time
  MARGIN_SEED_MEASURE = 0,    // the seeds of the published measure and the test
  MARGIN_SEED_SEARCH = 1,     // other seeds for choosing routes, so the choice
                              // is not fitted to the measure's own draws
};

enum MarginFrom { MARGIN_FROM_CAPTURE, MARGIN_FROM_CONTINUE };

// One room of a route, frames counted from the room's entry (the state after
// the frame that entered it).
struct RoomRoute {
  int room = 0;
  std::vector<uint8_t> entry;       // whole-state image at the entry
  std::vector<uint8_t> continued;   // the same room continued in a fresh game
  SaveRecord save = {};             // the record written at the entry
  int held_at_entry = 0;            // DRIVE_* bits held when the room began
  std::vector<ScriptLine> events;   // the route's key changes inside the room
  int frames = 0;                   // from the entry until the edge is passed
};

// Plays `lines` (a route, frames from the new game, the driver just started)
// and cuts it into rooms up to `last_room`. Returns 0 with a message when the
// route dies or stops short.
int margin_split_route(Driver* d, const std::vector<ScriptLine>& lines, int last_room,
                       std::vector<RoomRoute>* rooms);
// Fills room->continued from room->save through the menu's continue.
int margin_prepare_continue(Driver* d, RoomRoute* room);
// Trials of the room at jitter J that pass, out of `trials`; J = 0 is the
// route as written.
int margin_passes(Driver* d, const RoomRoute& room, MarginFrom from, int jitter, int trials, int seed_set);
// The same counted as failures, stopping once more than fail_limit failed.
int margin_fails(Driver* d, const RoomRoute& room, MarginFrom from, int jitter, int trials, int seed_set,
                 int fail_limit);
// Plays the room's events unjittered from the capture, within `limit` frames;
// on success sets its frames and drops events after the edge.
int margin_settle(Driver* d, RoomRoute* room, long limit);
// The room's events and frames from macro-actions played from room->entry.
// Returns 0 when they do not lead past the edge alive.
int margin_from_actions(Driver* d, const std::vector<uint8_t>& actions, int last_frames, int macro_frames,
                        RoomRoute* room);
// Failed trials from a continue over `jitters` with the search's own seeds,
// INT_MAX when the route itself does not pass from the capture; stops past
// fail_limit.
int margin_slack_fails(Driver* d, RoomRoute* room, const std::vector<int>& jitters, int trials, int fail_limit);
// Moves each key event, in turn, to the middle of the frames it could be
// moved to (up to `reach` either way) with the room still passed unjittered
// from the capture and from a continue.
void margin_center(Driver* d, RoomRoute* room, int reach);
// Tries `tries` small changes of the route's timing (keys earlier or later,
// stops before going on) and keeps each that fails fewer trials. Returns the
// failures of the route kept.
int margin_improve(Driver* d, RoomRoute* room, const std::vector<int>& jitters, int trials, int tries,
                   uint64_t seed);
// Reads a route script as written by the solver; 0 when it cannot be read.
int margin_read_script(const char* path, std::vector<ScriptLine>* lines);
// Ways through rooms, each a "room N FRAMES" line and its key changes as
// "FRAME down|up KEY", frames counted from the room's entry: a route's rooms
// kept apart, so that they stay candidates after an earlier room has
// changed (the route as a whole then no longer plays), and hand-made ways
// can be offered too. Several ways for one room may follow each other.
int margin_write_ways(const char* path, const std::vector<RoomRoute>& rooms);
// Appends the ways of `path` to `rooms` (entries and saves left empty);
// 0 when the file cannot be read or a line is malformed.
int margin_read_ways(const char* path, std::vector<RoomRoute>* rooms);
