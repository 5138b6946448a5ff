// Drives the real game frame by frame exactly as vantrel-headless does (the
// shell's start-up and key routing, run_frame at 1/60 s, sound off) and keeps
// compact images of the state a frame can change, so a search can branch.
// The state is GameState plus the random generators.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "core/save.h"

enum {
  DRIVE_RIGHT = 1,
  DRIVE_LEFT = 2,
  DRIVE_JUMP = 4,
};

// A key's name in vantrel-headless scripts ("RIGHT", "LEFT", "SPACE"), and
// back (0 for any other name).
const char* driver_key_name(int bit);
int driver_key_bit(const char* name);

struct ScriptLine {
  long frame;  // delivered before this run_frame call, as in the runner
  int down;    // 1 press, 0 release
  int key;     // one DRIVE_* bit
};

struct Driver {
  long frame;                        // frames run so far
  size_t image_bytes;                // size of one state image
  std::vector<ScriptLine>* record;   // events are appended here when set
  std::vector<uint8_t> title;        // the game as a fresh process shows its title
};

// Starts the game with game_line as its command line and starts a new game
// from the title screen on frame 0 (Space down, released on frame 1).
// Returns 0 with a message on stderr when the game cannot be driven.
int driver_start(Driver* d, const char* game_line);
// Sends the key changes that make `keys` (DRIVE_* bits) the held set, then
// runs one frame.
void driver_frame(Driver* d, int keys);
// Puts the game back to a fresh process that finds `record` in the store and
// continues it from the menu with Space, as a returning player does (held
// keys cleared, creatures and random draws as at start-up). Returns 0 when
// the record does not lead back into its room.
int driver_continue(Driver* d, const SaveRecord& record);
// The save record of this moment (what a room change writes), leaving the
// game's own copy as it was.
SaveRecord driver_save_record(void);
// DRIVE_* bits of the keys the game holds.
int driver_held_keys(void);
// Sends one key change as a script line would, without running a frame.
void driver_key(Driver* d, int key_bit, int down);
// Runs one frame with whatever keys are held.
void driver_run(Driver* d);
// Images of the changeable state (image_bytes each).
void driver_save(const Driver* d, uint8_t* out);
void driver_load(Driver* d, const uint8_t* in);

// 1 while a death burst runs.
int driver_dying(void);
// After a death: the deadly room class under the figure, or 0 when only a
// creature was there.
int driver_death_cause(void);
// The room the frame driver will switch to at the start of the next frame:
// +1 past the right edge, -1 past the left one, 0 otherwise.
int driver_pending_edge(void);
int driver_room_has_creatures(int room);
