// Route script and difficulty table. The table's columns are what a level
// designer tunes against: how long a good run spends in the room, how often
// the solver's candidates died and on what, and how many different ways
// through it found.
#include "solver/report.h"

#include <stdio.h>

namespace {

const char* key_name(int bit) {
  switch (bit) {
    case DRIVE_RIGHT: return "RIGHT";
    case DRIVE_LEFT: return "LEFT";
    default: return "SPACE";
  }
}

}  // namespace

const char* report_cause_name(int cause) {
  static const char* const NAMES[17] = {
      "creature",      "solid",          "stream up",      "stream up-right",
      "stream right",  "stream down-right", "stream down", "stream down-left",
      "stream left",   "stream up-left", "interlace rows", "interlace slide",
      "loop",          "decoration",     "jumper",         "diagonal jumper",
      "boil"};
  return cause >= 0 && cause < 17 ? NAMES[cause] : "?";
}

int report_write_route(const char* path, const std::vector<ScriptLine>& lines, long total_frames) {
  FILE* f = fopen(path, "w");
  if (!f) return 0;
  fprintf(f,
          "# A new game played from the title screen to the right edge of room 39,\n"
          "# found by vantrel-solver (tools/solver); replay it with\n"
          "#   vantrel-headless --script route.txt -sound\n"
          "# %ld frames at 1/60 s.\n",
          total_frames);
  for (const ScriptLine& l : lines)
    fprintf(f, "%ld %s %s\n", l.frame, l.down ? "down" : "up", key_name(l.key));
  return fclose(f) == 0;
}

int report_write_table(const char* path, const std::vector<RoomResult>& rooms, long total_frames,
                       int macro_frames) {
  FILE* f = fopen(path, "w");
  if (!f) return 0;
  fprintf(f,
          "# Route through Vantrel\n\n"
          "Written by `vantrel-solver` (tools/solver) with the game's own frame driver,\n"
          "avatar, creatures and random draws; do not edit by hand. The route it found\n"
          "is `route.txt` beside this file.\n\n"
          "- **Route time**: seconds the chosen route spends in the room.\n"
          "- **Candidates**: macro-actions of %d frames the search simulated.\n"
          "- **Deaths**: candidates that died, by what killed them.\n"
          "- **Ways**: distinct successful ways through the room that the search found\n"
          "  (told apart by the 100-pixel cells they pass through); few ways and many\n"
          "  deaths make a hard room.\n\n",
          macro_frames);
  fprintf(f, "| Room | Route time (s) | Candidates | Deaths | Died on | Ways |\n");
  fprintf(f, "|---:|---:|---:|---:|---|---:|\n");
  long all_candidates = 0, all_deaths = 0;
  for (const RoomResult& r : rooms) {
    char causes[512];
    int used = 0;
    causes[0] = 0;
    // Largest causes first, so the line says what the room is about.
    long shown[17] = {};
    for (int k = 0; k < 17; k++) {
      int best = -1;
      for (int c = 0; c < 17; c++)
        if (r.deaths_by_cause[c] > 0 && !shown[c] && (best < 0 || r.deaths_by_cause[c] > r.deaths_by_cause[best]))
          best = c;
      if (best < 0) break;
      shown[best] = 1;
      used += snprintf(causes + used, sizeof causes - (size_t)used, "%s%s %ld", used ? ", " : "",
                       report_cause_name(best), r.deaths_by_cause[best]);
      if (used >= (int)sizeof causes) break;
    }
    if (!causes[0]) snprintf(causes, sizeof causes, "-");
    if (r.solved) {
      fprintf(f, "| %d | %.1f | %ld | %ld | %s | %d |\n", r.room, r.route_frames / 60.0, r.candidates,
              r.deaths, causes, r.distinct_ways);
    } else {
      fprintf(f, "| %d | unsolved | %ld | %ld | %s | 0 |\n", r.room, r.candidates, r.deaths, causes);
    }
    all_candidates += r.candidates;
    all_deaths += r.deaths;
  }
  fprintf(f,
          "\nWhole route: %.1f s of play (%ld frames); %ld candidates, %ld deaths.\n",
          total_frames / 60.0, total_frames, all_candidates, all_deaths);
  return fclose(f) == 0;
}
