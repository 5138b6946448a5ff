// The music score reader of vantrel-music on arbitrary text. The score is our
// own file, but a malformed one must stop with "file:line: message", never
// crash, read out of bounds or run away, and an accepted score must hold only
// what the renderer can play and the layout can place in the stream.
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "music/layout.h"
#include "music/score.h"

namespace {

// Copies of assets/music/*.score, so that `include` in vantrel.score resolves.
const std::string FOLDER = SCORE_FUZZ_INCLUDE_DIR;

// An include that climbs out of the folder could name /dev/zero.
int include_escapes(const std::string& text) {
  size_t at = 0;
  while ((at = text.find("include", at)) != std::string::npos) {
    size_t nl = text.find('\n', at);
    if (text.substr(at, nl == std::string::npos ? std::string::npos : nl - at).find("..") !=
        std::string::npos)
      return 1;
    at += 7;
  }
  return 0;
}

// As printed: a message with a NUL in it ends there for the reader.
int located(const std::string& error) {
  const char* text = error.c_str();
  const char* colon = strstr(text, ".score:");
  if (!colon) return 0;
  const char* p = colon + 7;
  if (*p < '0' || *p > '9') return 0;
  while (*p >= '0' && *p <= '9') p++;
  return p[0] == ':' && p[1] == ' ';
}

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
  if (include_escapes(text)) return 0;
  Score score;
  std::string error;
  if (!score_parse_text(text, "fuzz.score", FOLDER, &score, &error)) {
    if (!located(error)) {
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
