// Route script and difficulty table. The table's columns are what a level
// designer tunes against: how long a good run spends in the room, how often
// the solver's candidates died and on what, and how many different ways
// through it found.
#include "solver/report.h"

#include <stdio.h>

const char* report_cause_name(int cause) {
  static const char* const NAMES[17] = {
      "creature",      "solid",          "stream up",      "stream up-right",
      "stream right",  "stream down-right", "stream down", "stream down-left",
      "stream left",   "stream up-left", "interlace rows", "interlace slide",
      "loop",          "decoration",     "jumper",         "diagonal jumper",
      "boil"};
  return cause >= 0 && cause < 17 ? NAMES[cause] : "?";
}

int report_on_target(const RoomResult& r) {
  if (!r.solved || r.margin_trials <= 0) return 0;
  // At least 90% (95%) of the trials, counted in whole trials.
  int wide_ok = r.room > REPORT_GENTLE_ROOMS || 20 * r.margin_continue[1] >= 19 * r.margin_trials;
  return 10 * r.margin_continue[0] >= 9 * r.margin_trials && wide_ok;
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
    fprintf(f, "%ld %s %s\n", l.frame, l.down ? "down" : "up", driver_key_name(l.key));
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
          "  deaths make a hard room.\n"
          "- **Margin**: share of trials that still get through the room when every key\n"
          "  event of its route moves by its own random offset of up to 3 or 6 frames\n"
          "  (`vantrel-solver --margin`), replayed from the whole state captured at the\n"
          "  room's entry and from a continue of the save made there. Targets: 90%% at\n"
          "  3 frames from a continue in every room, 95%% at 6 frames in rooms 1-8.\n\n",
          macro_frames);
  fprintf(f,
          "| Room | Route time (s) | Candidates | Deaths | Died on | Ways | Margin 3 capture | Margin 6 "
          "capture | Margin 3 continue | Margin 6 continue |\n");
  fprintf(f, "|---:|---:|---:|---:|---|---:|---:|---:|---:|---:|\n");
  long margin_sums[4] = {}, margin_trials = 0;
  int rooms_on_target = 0;
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
      int n = r.margin_trials > 0 ? r.margin_trials : 1;
      fprintf(f, "| %d | %.1f | %ld | %ld | %s | %d | %d%% | %d%% | %d%% | %d%% |\n", r.room,
              r.route_frames / 60.0, r.candidates, r.deaths, causes, r.distinct_ways, 100 * r.margin_capture[0] / n,
              100 * r.margin_capture[1] / n, 100 * r.margin_continue[0] / n, 100 * r.margin_continue[1] / n);
      margin_sums[0] += r.margin_capture[0];
      margin_sums[1] += r.margin_capture[1];
      margin_sums[2] += r.margin_continue[0];
      margin_sums[3] += r.margin_continue[1];
      margin_trials += r.margin_trials;
      rooms_on_target += report_on_target(r);
    } else {
      fprintf(f, "| %d | unsolved | %ld | %ld | %s | 0 | | | | |\n", r.room, r.candidates, r.deaths, causes);
    }
    all_candidates += r.candidates;
    all_deaths += r.deaths;
  }
  fprintf(f,
          "\nWhole route: %.1f s of play (%ld frames); %ld candidates, %ld deaths.\n",
          total_frames / 60.0, total_frames, all_candidates, all_deaths);
  if (margin_trials > 0)
    fprintf(f,
            "Whole game margin: %.0f%% / %.0f%% of trials pass at 3 / 6 frames from the captures, "
            "%.0f%% / %.0f%% from continues; %d of %d rooms on target.\n",
            100.0 * margin_sums[0] / margin_trials, 100.0 * margin_sums[1] / margin_trials,
            100.0 * margin_sums[2] / margin_trials, 100.0 * margin_sums[3] / margin_trials, rooms_on_target,
            (int)rooms.size());
  return fclose(f) == 0;
}
