// The solver's two outputs: the route as a vantrel-headless script and
// ROUTE.md, the per-room table that reads as the level's difficulty curve.
#pragma once

#include <vector>

#include "solver/game_driver.h"
#include "solver/search.h"

// Rooms 1-8 are where each hazard is first met: they must forgive a
// beginner's timing (6 frames), the others a practised player's (3 frames).
enum { REPORT_GENTLE_ROOMS = 8 };

// 1 when the room's margins from a continue meet the targets.
int report_on_target(const RoomResult& r);
// Writes "FRAME down|up KEY" lines in frame order. Returns 1 on success.
int report_write_route(const char* path, const std::vector<ScriptLine>& lines, long total_frames);
// Writes the Markdown table. Returns 1 on success.
int report_write_table(const char* path, const std::vector<RoomResult>& rooms, long total_frames,
                       int macro_frames);
// "stream down" and the like, for a deadly class (0: a creature).
const char* report_cause_name(int cause);
