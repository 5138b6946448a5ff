// Segments are packed back to back with a short gap, so a voice that starts
// at its first frame and stops after its last never hears a neighbour.
#include "music/layout.h"

std::vector<TrackRow> layout_rows(const Score& score) {
  std::vector<TrackRow> rows;
  long pos = LAYOUT_FIRST_START;
  for (const Segment& s : score.segments) {
    rows.push_back(TrackRow{s.id, (int)pos, s.length, s.lead, s.advance});
    pos += s.length + LAYOUT_GAP;
  }
  return rows;
}

long layout_stream_frames(const std::vector<TrackRow>& rows) {
  if (rows.empty()) return LAYOUT_FIRST_START + LAYOUT_END_PADDING;
  const TrackRow& last = rows.back();
  return (long)last.start + last.length + LAYOUT_END_PADDING;
}

std::string layout_table_text(const std::vector<TrackRow>& rows) {
  std::string text;
  for (const TrackRow& r : rows)
    text += std::to_string(r.id) + " " + std::to_string(r.start) + " " + std::to_string(r.length) +
            " " + std::to_string(r.lead) + " " + std::to_string(r.advance) + "\r\n";
  return text;
}
