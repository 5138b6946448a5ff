// The music score reader of vantrel-music on arbitrary text. The score is our
// own file, but a malformed one must stop with "file:line: message", never
// crash, read out of bounds or run away, and an accepted score must hold only
// what the renderer can play and the layout can place in the stream.
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <regex>
#include <string>

#include "music/layout.h"
#include "music/score.h"

namespace {

// Copies of assets/music/*.score, so that `include` in vantrel.score resolves.
const std::string FOLDER = FUZZ_INCLUDE_DIR;

// "<file>:<line>: " as printed: a message with a NUL ends there.
const std::regex LOCATED("\\.score:[0-9]+: ");

void check_notes(const Score& score, const Segment& s) {
  if (s.lead < 0 || s.length <= s.lead || s.length > 40 * score.rate || s.advance <= 0) abort();
  for (const NoteEvent& n : s.notes) {
    if (n.instrument < 0 || n.instrument >= (int)score.instruments.size()) abort();
    if (!isfinite(n.at) || !isfinite(n.length) || !(n.vel > 0.0f) || n.vel > 1.5f) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384) return 0;
  std::string text((const char*)data, size);
  // An include that climbs out of the folder could name /dev/zero.
  if (text.find("include") != std::string::npos && text.find("..") != std::string::npos) return 0;
  Score score;
  std::string error;
  if (!score_parse_text(text, "fuzz.score", FOLDER, &score, &error)) {
    if (!std::regex_search(error.c_str(), LOCATED)) {
      fprintf(stderr, "error without file and line: %s\n", error.c_str());
      abort();
    }
    return 0;
  }
  if (!isfinite(score.unit) || score.unit < 100.0 || score.segments.size() > 256) abort();
  for (const Segment& s : score.segments) {
    if (s.id < 1) abort();
    check_notes(score, s);
  }
  if (score.has_title) check_notes(score, score.title);
  for (const Playlist& list : score.playlists) {
    if (list.loop < 0 || list.loop >= (int)list.ids.size()) abort();
    for (int id : list.ids)
      if (id < 1) abort();
  }
  std::vector<TrackRow> rows = layout_rows(score);
  long end = layout_stream_frames(rows);
  for (const TrackRow& r : rows)
    if (r.start < 0 || (long)r.start + r.length > end) abort();
  return 0;
}
