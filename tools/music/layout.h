// Where each segment lies in the long music stream, and the text table the
// game reads to find it again ("merged_data.txt": id start length lead
// advance, CR LF lines, in stream order).
#pragma once

#include <string>
#include <vector>

#include "music/score.h"

const int LAYOUT_FIRST_START = 96;   // silence before the first segment
const int LAYOUT_GAP = 192;          // silence between segments
const int LAYOUT_END_PADDING = 2048; // silence after the last segment

struct TrackRow {
  int id, start, length, lead, advance;
};

// Rows in stream order (the order the score lists its segments).
std::vector<TrackRow> layout_rows(const Score& score);

// Frames in the whole stream, end padding included.
long layout_stream_frames(const std::vector<TrackRow>& rows);

std::string layout_table_text(const std::vector<TrackRow>& rows);
