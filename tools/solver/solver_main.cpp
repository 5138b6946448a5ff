// vantrel-solver: finds a way through every room with the game's own code and
// writes the whole game as a vantrel-headless script plus a difficulty table.
//   vantrel-solver [--data DIR] [--route FILE] [--report FILE] [--last-room N]
//                  [--macro K] [--max-expansions N] [--prefix ROUTE ROOM]
//                  [--previous ROUTE] [--ways FILE] [--trials K]
//                  [--slack-tries N] [game options...]
// --prefix follows an earlier route up to the entry of ROOM and searches on
// from there (for working on one room without solving all before it).
// Each room's route is chosen for its margin (K jittered trials per measure,
// N small timing changes tried); --previous lets an earlier route's rooms
// compete with what the search finds, and --ways adds ways kept room by room
// (see margin.h), which stay usable after an earlier room has changed.
//   vantrel-solver --margin ROUTE [--jitter J[,J...]] [--trials K]
//                  [--from capture|continue|both] [--last-room N]
//                  [--ways-out FILE]
// measures instead how much timing error each room of ROUTE forgives (see
// margin.h) and prints one line per room; --ways-out also writes ROUTE's
// rooms as ways.
// DIR holds packed.dat (and, with +cheat, loose rooms that override it).
// Rooms are solved in order, each from where the previous one left the
// avatar; the route is only written when the whole row is solved.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "core/game_state.h"
#include "solver/game_driver.h"
#include "solver/margin.h"
#include "solver/report.h"
#include "solver/search.h"

namespace {

const int LAST_ROOM = 39;

struct Args {
  const char* data_dir = nullptr;
  std::string route_path;
  std::string report_path;
  int last_room = LAST_ROOM;
  const char* prefix_path = nullptr;  // a route to follow before searching
  int from_room = 0;                  // ... up to the entry of this room
  SearchOptions search;
  std::string game_line = "-sound";
  std::string margin_route;  // measure this route instead of solving
  std::vector<int> jitters = {3, 6};
  int trials = 20;
  int from_capture = 1, from_continue = 1;
  std::string previous_path;  // a route whose rooms are candidates as well
  std::vector<std::string> ways_paths;  // ways kept room by room, candidates too
  std::string ways_out;       // --margin: the route's rooms written as ways
  int slack_tries = 100;      // timing changes tried on each room's route
};

std::string absolute(const char* path) {
  if (!path || path[0] == '/') return path ? path : "";
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return path;
  return std::string(cwd) + "/" + path;
}

int parse_args(int argc, char** argv, Args* a) {
  for (int i = 1; i < argc; i++) {
    const char* s = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!strcmp(s, "--data") && v) {
      a->data_dir = v;
      i++;
    } else if (!strcmp(s, "--route") && v) {
      a->route_path = absolute(v);
      i++;
    } else if (!strcmp(s, "--report") && v) {
      a->report_path = absolute(v);
      i++;
    } else if (!strcmp(s, "--last-room") && v) {
      a->last_room = atoi(v);
      i++;
    } else if (!strcmp(s, "--prefix") && v && i + 2 < argc) {
      a->prefix_path = v;
      a->from_room = atoi(argv[i + 2]);
      i += 2;
    } else if (!strcmp(s, "--macro") && v) {
      a->search.macro_frames = atoi(v);
      i++;
    } else if (!strcmp(s, "--max-expansions") && v) {
      a->search.max_expansions = atol(v);
      i++;
    } else if (!strcmp(s, "--previous") && v) {
      a->previous_path = absolute(v);
      i++;
    } else if (!strcmp(s, "--ways") && v) {
      a->ways_paths.push_back(absolute(v));
      i++;
    } else if (!strcmp(s, "--ways-out") && v) {
      a->ways_out = absolute(v);
      i++;
    } else if (!strcmp(s, "--slack-tries") && v) {
      a->slack_tries = atoi(v);
      i++;
    } else if (!strcmp(s, "--margin") && v) {
      a->margin_route = absolute(v);
      i++;
    } else if (!strcmp(s, "--jitter") && v) {
      a->jitters.clear();
      for (const char* p = v; *p; p++)
        if (p == v || p[-1] == ',') a->jitters.push_back(atoi(p));
      i++;
    } else if (!strcmp(s, "--trials") && v) {
      a->trials = atoi(v);
      i++;
    } else if (!strcmp(s, "--from") && v) {
      a->from_capture = strcmp(v, "continue") != 0;
      a->from_continue = strcmp(v, "capture") != 0;
      i++;
    } else if (s[0] == '-' && s[1] == '-') {
      return 0;
    } else {
      a->game_line += " ";
      a->game_line += s;
    }
  }
  for (int j : a->jitters)
    if (j < 0 || j > 60) return 0;
  return a->search.macro_frames >= 2 && a->search.macro_frames <= 60 && a->last_room >= 1 &&
         a->last_room <= LAST_ROOM && a->trials >= 1 && a->trials <= 10000 && !a->jitters.empty();
}

// Follows a route script (as written by this tool) until the game enters
// room `room`; the events are recorded again so the final route holds them.
// Returns 0 when the script ends first.
int follow_prefix(Driver* d, const char* path, int room) {
  std::vector<ScriptLine> lines;
  if (!margin_read_script(path, &lines)) return 0;
  size_t next = 0;
  // Frame 0 and the release on frame 1 were sent by driver_start.
  while (next < lines.size() && lines[next].frame < d->frame) next++;
  if (next < lines.size() && lines[next].frame == 1 && lines[next].key == DRIVE_JUMP && !lines[next].down)
    next++;
  while (g_game.room_number < room) {
    while (next < lines.size() && lines[next].frame == d->frame) {
      driver_key(d, lines[next].key, lines[next].down);
      next++;
    }
    if (next >= lines.size() && g_game.room_number < room - 1) return 0;
    driver_run(d);
    if (driver_dying() && next >= lines.size()) return 0;
  }
  return 1;
}

double now_seconds(void) {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

void print_room(const RoomResult& r) {
  printf("room %2d: %s %5.1f s  candidates %6ld  deaths %5ld  ways %3d  margin %d/%d %d/%d from capture, "
         "%d/%d %d/%d from continue  (%.1f s)\n",
         r.room, r.solved ? "solved" : "FAILED", r.route_frames / 60.0, r.candidates, r.deaths, r.distinct_ways,
         r.margin_capture[0], r.margin_trials, r.margin_capture[1], r.margin_trials, r.margin_continue[0],
         r.margin_trials, r.margin_continue[1], r.margin_trials, r.seconds);
  fflush(stdout);
}

// One line per room: passes out of the trials for each start and jitter,
// then the same summed over the rooms.
int measure_margins(Driver* d, const Args& args) {
  std::vector<ScriptLine> lines;
  if (!margin_read_script(args.margin_route.c_str(), &lines)) {
    fprintf(stderr, "vantrel-solver: cannot read %s\n", args.margin_route.c_str());
    return 1;
  }
  std::vector<RoomRoute> rooms;
  if (!margin_split_route(d, lines, args.last_room, &rooms)) return 1;
  if (!args.ways_out.empty() && !margin_write_ways(args.ways_out.c_str(), rooms)) {
    fprintf(stderr, "vantrel-solver: cannot write %s\n", args.ways_out.c_str());
    return 1;
  }
  std::vector<MarginFrom> starts;
  if (args.from_capture) starts.push_back(MARGIN_FROM_CAPTURE);
  if (args.from_continue) starts.push_back(MARGIN_FROM_CONTINUE);
  std::vector<long> sums(starts.size() * args.jitters.size(), 0);
  for (RoomRoute& room : rooms) {
    if (args.from_continue && !margin_prepare_continue(d, &room)) {
      fprintf(stderr, "vantrel-solver: room %d cannot be continued\n", room.room);
      return 1;
    }
    printf("room %2d %5.1f s", room.room, room.frames / 60.0);
    size_t k = 0;
    for (MarginFrom from : starts)
      for (int j : args.jitters) {
        int passed = margin_passes(d, room, from, j, args.trials, MARGIN_SEED_MEASURE);
        sums[k++] += passed;
        printf("  %s J%d %d/%d", from == MARGIN_FROM_CAPTURE ? "capture" : "continue", j, passed, args.trials);
      }
    printf("\n");
    fflush(stdout);
  }
  printf("all rooms");
  size_t k = 0;
  for (MarginFrom from : starts)
    for (int j : args.jitters)
      printf("  %s J%d %ld/%ld", from == MARGIN_FROM_CAPTURE ? "capture" : "continue", j, sums[k++],
             (long)rooms.size() * args.trials);
  printf("\n");
  return 0;
}

const int MEASURE_JITTERS[2] = {3, 6};
const int CENTRE_REACH = 8;  // frames a key event is tried earlier and later
const int WIDER_JITTER = 3;  // frames beyond the widest measure, for telling ties apart

// Among the search's ways through the room (searched from a continue, where a
// returning player starts) and the previous route's, the one that forgives
// the most timing error from a continue, then nudged for more. A way must
// also pass unjittered from the capture, since the route is played whole.
RoomResult choose_route(Driver* d, const RoomRoute& base, const std::vector<RoomRoute>& previous,
                        const Args& args, RoomRoute* best) {
  double started = now_seconds();
  RoomResult r = search_room(d, base.continued.data(), args.search);
  std::vector<RoomRoute> candidates;
  auto add_ways = [&](const RoomResult& found) {
    for (size_t k = 0; k < found.ways.size(); k++) {
      RoomRoute c = base;
      if (margin_from_actions(d, found.ways[k], found.ways_last_frames[k], args.search.macro_frames, &c))
        candidates.push_back(c);
    }
  };
  add_ways(r);
  for (const RoomRoute& p : previous)
    if (p.room == base.room) {
      RoomRoute c = base;
      c.events = p.events;
      c.frames = p.frames;
      candidates.push_back(c);
    }
  std::vector<int> jitters = {MEASURE_JITTERS[0]};
  if (base.room <= REPORT_GENTLE_ROOMS) jitters.push_back(MEASURE_JITTERS[1]);
  // Scored as found, then the two best with their key events centred. Ways
  // that fail equally often (most often none, on easy rooms) are told apart
  // by how they fare with a few frames more error, which a person's bad day
  // brings; only then is the quicker one preferred.
  const std::vector<int> wider = {jitters.back() + WIDER_JITTER};
  struct Score {
    int fails, wider_fails;
    bool operator<(const Score& o) const {
      return fails != o.fails ? fails < o.fails : wider_fails < o.wider_fails;
    }
  };
  auto score_of = [&](RoomRoute* c) {
    Score sc = {margin_slack_fails(d, c, jitters, args.trials, INT_MAX - 1), INT_MAX};
    if (sc.fails != INT_MAX) sc.wider_fails = margin_slack_fails(d, c, wider, args.trials, INT_MAX - 1);
    return sc;
  };
  auto rank = [&](void) {
    std::vector<std::pair<Score, size_t>> scored;
    for (size_t k = 0; k < candidates.size(); k++) scored.push_back({score_of(&candidates[k]), k});
    std::sort(scored.begin(), scored.end(),
              [&](const std::pair<Score, size_t>& a, const std::pair<Score, size_t>& b) {
                return std::tie(a.first.fails, a.first.wider_fails, candidates[a.second].frames) <
                       std::tie(b.first.fails, b.first.wider_fails, candidates[b.second].frames);
              });
    return scored;
  };
  std::vector<std::pair<Score, size_t>> scored = rank();
  if (scored.empty() || scored[0].first.fails == INT_MAX) {
    // Creatures elsewhere than after a continue: search the route's own state.
    RoomResult own = search_room(d, base.entry.data(), args.search);
    candidates.clear();
    add_ways(own);
    if (!r.solved) r = own;
    scored = rank();
  }
  if (scored.empty() || scored[0].first.fails == INT_MAX) {
    r.solved = 0;
    return r;
  }
  r.solved = 1;
  Score best_score = {INT_MAX, INT_MAX};
  for (size_t k = 0; k < scored.size() && k < 2 && scored[k].first.fails != INT_MAX; k++) {
    RoomRoute c = candidates[scored[k].second];
    margin_center(d, &c, CENTRE_REACH);
    Score f = score_of(&c);
    if (f.fails == INT_MAX) {  // centring never breaks a route, but be sure
      c = candidates[scored[k].second];
      f = scored[k].first;
    }
    if (getenv("SOLVER_MARGIN_WHY"))
      fprintf(stderr, "room %d way %zu: %d (%d wider) failed, %d (%d) once centred\n", base.room, k,
              scored[k].first.fails, scored[k].first.wider_fails, f.fails, f.wider_fails);
    if (f < best_score) {
      best_score = f;
      *best = c;
    }
  }
  margin_improve(d, best, jitters, args.trials, args.slack_tries, (uint64_t)base.room);
  r.route_frames = best->frames;
  r.margin_trials = args.trials;
  for (int k = 0; k < 2; k++) {
    r.margin_capture[k] =
        margin_passes(d, *best, MARGIN_FROM_CAPTURE, MEASURE_JITTERS[k], args.trials, MARGIN_SEED_MEASURE);
    r.margin_continue[k] =
        margin_passes(d, *best, MARGIN_FROM_CONTINUE, MEASURE_JITTERS[k], args.trials, MARGIN_SEED_MEASURE);
  }
  r.seconds = now_seconds() - started;
  return r;
}

// Plays the room's events from its capture with the driver recording, frames
// counted on from d->frame. Returns 1 when the edge is reached alive.
int replay_events(Driver* d, const RoomRoute& room) {
  driver_load(d, room.entry.data());
  long entry = d->frame;
  size_t next = 0;
  for (int f = 0; f < room.frames; f++) {
    while (next < room.events.size() && room.events[next].frame == f) {
      driver_key(d, room.events[next].key, room.events[next].down);
      next++;
    }
    driver_run(d);
    if (driver_dying()) return 0;
  }
  return d->frame == entry + room.frames && driver_pending_edge() == 1;
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  if (!parse_args(argc, argv, &args)) {
    fprintf(stderr,
            "usage: vantrel-solver [--data DIR] [--route FILE] [--report FILE] [--last-room N]\n"
            "                      [--macro K] [--max-expansions N] [--prefix ROUTE ROOM]\n"
            "                      [--previous ROUTE] [--ways FILE] [--trials K] [--slack-tries N]\n"
            "                      [game options...]\n"
            "       vantrel-solver [--data DIR] --margin ROUTE [--jitter J[,J...]] [--trials K]\n"
            "                      [--from capture|continue|both] [--last-room N] [--ways-out FILE]\n");
    return 2;
  }
  if (args.data_dir && chdir(args.data_dir) != 0) {
    fprintf(stderr, "vantrel-solver: cannot enter %s\n", args.data_dir);
    return 2;
  }
  double started = now_seconds();
  std::vector<ScriptLine> script;
  Driver d = {};
  d.record = &script;
  if (!driver_start(&d, args.game_line.c_str())) return 1;
  if (!args.margin_route.empty()) return measure_margins(&d, args);
  // The previous route's rooms are candidates too: its way through a room
  // may already forgive more than anything the search finds quickly.
  std::vector<RoomRoute> previous;
  if (!args.previous_path.empty()) {
    std::vector<ScriptLine> lines;
    std::vector<uint8_t> start(d.image_bytes);
    long start_frame = d.frame;
    driver_save(&d, start.data());
    if (!margin_read_script(args.previous_path.c_str(), &lines) ||
        !margin_split_route(&d, lines, LAST_ROOM, &previous))
      fprintf(stderr, "vantrel-solver: only the first %zu rooms of %s are candidates\n", previous.size(),
              args.previous_path.c_str());
    driver_load(&d, start.data());
    d.frame = start_frame;
  }
  for (const std::string& path : args.ways_paths)
    if (!margin_read_ways(path.c_str(), &previous)) {
      fprintf(stderr, "vantrel-solver: cannot read the ways in %s\n", path.c_str());
      return 2;
    }

  if (args.prefix_path && !follow_prefix(&d, args.prefix_path, args.from_room)) {
    fprintf(stderr, "vantrel-solver: %s does not lead into room %d\n", args.prefix_path, args.from_room);
    return 1;
  }
  std::vector<RoomResult> results;
  int ok = 1;
  long route_end = d.frame;  // frames of the part of the route found so far
  for (;;) {
    int room = g_game.room_number;
    long entry_frame = d.frame;
    RoomRoute base;
    base.room = room;
    base.entry.resize(d.image_bytes);
    driver_save(&d, base.entry.data());
    base.save = driver_save_record();
    base.held_at_entry = driver_held_keys();
    d.record = nullptr;
    if (!margin_prepare_continue(&d, &base)) {
      fprintf(stderr, "vantrel-solver: room %d cannot be continued\n", room);
      ok = 0;
      break;
    }
    RoomRoute best;
    RoomResult r = choose_route(&d, base, previous, args, &best);
    results.push_back(r);
    print_room(r);
    if (!r.solved) {
      ok = 0;
      break;
    }
    d.record = &script;
    d.frame = entry_frame;
    if (!replay_events(&d, best)) {
      fprintf(stderr, "vantrel-solver: room %d: the route did not replay\n", room);
      ok = 0;
      break;
    }
    route_end = d.frame;
    if (room >= args.last_room) break;
    // The frame that crosses the edge loads the next room; keep walking.
    driver_frame(&d, driver_held_keys() & ~DRIVE_JUMP);
    if (g_game.room_number != room + 1 || driver_dying()) {
      fprintf(stderr,
              "vantrel-solver: room %d: the edge did not lead into room %d alive (now room %d at "
              "%d,%d%s)\n",
              room, room + 1, g_game.room_number, g_game.avatar_x, g_game.avatar_y,
              driver_dying() ? ", dying" : "");
      ok = 0;
      break;
    }
    route_end = d.frame;
  }
  long total_frames = route_end;
  if (!args.report_path.empty() &&
      !report_write_table(args.report_path.c_str(), results, total_frames, args.search.macro_frames)) {
    fprintf(stderr, "vantrel-solver: cannot write %s\n", args.report_path.c_str());
    ok = 0;
  }
  // A route that stops short is still worth keeping, as a --prefix for
  // working on the room that stopped it; it never replaces a whole one.
  if (!ok && !args.route_path.empty()) {
    std::string partial = args.route_path + ".partial";
    while (!script.empty() && script.back().frame >= total_frames) script.pop_back();
    report_write_route(partial.c_str(), script, total_frames);
  }
  if (ok && !args.route_path.empty() &&
      !report_write_route(args.route_path.c_str(), script, total_frames)) {
    fprintf(stderr, "vantrel-solver: cannot write %s\n", args.route_path.c_str());
    ok = 0;
  }
  printf("%s: %ld frames of play, %.1f s of solving\n", ok ? "done" : "stopped", total_frames,
         now_seconds() - started);
  return ok ? 0 : 1;
}
