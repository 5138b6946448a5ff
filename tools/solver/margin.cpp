// Room-by-room replay of a route with its key timing disturbed. The offsets
// come from a generator of this tool's own, so the game's random stream is
// exactly the one play would see.
#include "solver/margin.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <limits.h>

#include <algorithm>

#include "core/game_state.h"
#include "solver/search.h"

namespace {

const long LONGEST_ROOM_FRAMES = 60 * 180;
const int KEY_BITS[3] = {DRIVE_RIGHT, DRIVE_LEFT, DRIVE_JUMP};

uint64_t split_mix(uint64_t* state) {
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

struct Timed {
  long frame;
  int order;  // position in the room's list: ties keep the route's order
  ScriptLine line;
};

// The room's events for one trial, each key's own events shifted and then
// pushed apart so that none swaps with or lands on its predecessor.
std::vector<Timed> jittered(const RoomRoute& room, MarginFrom from, int jitter, uint64_t seed) {
  std::vector<ScriptLine> lines;
  if (from == MARGIN_FROM_CONTINUE)
    for (int bit : KEY_BITS)
      if (room.held_at_entry & bit) lines.push_back(ScriptLine{0, 1, bit});
  lines.insert(lines.end(), room.events.begin(), room.events.end());
  std::vector<Timed> out;
  uint64_t rng = seed;
  long last[3] = {-1, -1, -1};
  for (size_t i = 0; i < lines.size(); i++) {
    long shift = jitter > 0 ? (long)(split_mix(&rng) % (uint64_t)(2 * jitter + 1)) - jitter : 0;
    int k = lines[i].key == DRIVE_RIGHT ? 0 : lines[i].key == DRIVE_LEFT ? 1 : 2;
    long t = std::max(0L, lines[i].frame + shift);
    t = std::max(t, last[k] + 1);
    last[k] = t;
    out.push_back(Timed{t, (int)i, lines[i]});
  }
  std::sort(out.begin(), out.end(), [](const Timed& a, const Timed& b) {
    return a.frame != b.frame ? a.frame < b.frame : a.order < b.order;
  });
  return out;
}

// With SOLVER_MARGIN_WHY set, where and how failed trials ended (for
// reworking a room).
int trial_failed(const RoomRoute& room, long frame, const char* how) {
  if (getenv("SOLVER_MARGIN_WHY"))
    fprintf(stderr, "room %d frame %ld: %s at (%d, %d)%s\n", room.room, frame, how, g_game.avatar_x,
            g_game.avatar_y, driver_dying() && driver_death_cause() == 0 ? " by a creature" : "");
  return 0;
}

// Frames until the edge is passed, or 0 when the trial dies, turns back or
// runs out of time.
int play_trial(Driver* d, const RoomRoute& room, MarginFrom from, const std::vector<Timed>& events,
               long limit) {
  driver_load(d, from == MARGIN_FROM_CONTINUE ? room.continued.data() : room.entry.data());
  size_t next = 0;
  for (long f = 0; f < limit; f++) {
    while (next < events.size() && events[next].frame == f) {
      driver_key(d, events[next].line.key, events[next].line.down);
      next++;
    }
    driver_run(d);
    int edge = driver_pending_edge();
    if (driver_dying() || edge < 0) return trial_failed(room, f, edge < 0 ? "turned back" : "died");
    if (edge > 0) return (int)f + 1;
  }
  return trial_failed(room, limit, "ran out of time");
}

// Each key's events alternate from its state at the entry and keep apart.
int events_valid(const RoomRoute& room) {
  for (int bit : KEY_BITS) {
    int held = (room.held_at_entry & bit) != 0;
    long last = -1;
    for (const ScriptLine& l : room.events) {
      if (l.key != bit) continue;
      if (l.frame <= last || l.down == held) return 0;
      held = l.down;
      last = l.frame;
    }
  }
  return 1;
}

void sort_events(std::vector<ScriptLine>* events) {
  std::stable_sort(events->begin(), events->end(),
                   [](const ScriptLine& a, const ScriptLine& b) { return a.frame < b.frame; });
}

// One random change of the kind a person's alternatives differ by: one key
// event earlier or later, everything from some moment on earlier or later,
// a stop (direction keys let go for a while) before going on, or one stop
// or jump fewer.
void mutate(RoomRoute* room, uint64_t* rng) {
  std::vector<ScriptLine>& ev = room->events;
  static const int SINGLE[] = {-6, -4, -2, 2, 4, 6};
  static const int SUFFIX[] = {-6, -3, 3, 6, 12};
  static const int STOP[] = {6, 12, 24};
  int kind = (int)(split_mix(rng) % 4);
  if (ev.empty()) kind = 2;
  if (kind == 3) {
    // A press and its release (or a release and the press again) dropped: a
    // stop or a jump the route may not need.
    size_t first = split_mix(rng) % ev.size();
    for (size_t k = first + 1; k < ev.size(); k++)
      if (ev[k].key == ev[first].key) {
        ev.erase(ev.begin() + (long)k);
        ev.erase(ev.begin() + (long)first);
        break;
      }
  } else if (kind == 0) {
    ScriptLine& l = ev[split_mix(rng) % ev.size()];
    l.frame = std::max(0L, l.frame + SINGLE[split_mix(rng) % 6]);
  } else if (kind == 1) {
    long from = ev[split_mix(rng) % ev.size()].frame;
    int shift = SUFFIX[split_mix(rng) % 5];
    for (ScriptLine& l : ev)
      if (l.frame >= from) l.frame = std::max(0L, l.frame + shift);
  } else {
    long at = (long)(split_mix(rng) % (uint64_t)std::max(1, room->frames));
    int wait = STOP[split_mix(rng) % 3];
    int held = room->held_at_entry;
    for (const ScriptLine& l : ev)
      if (l.frame < at) held = l.down ? held | l.key : held & ~l.key;
    for (ScriptLine& l : ev)
      if (l.frame >= at) l.frame += wait;
    for (int bit : {DRIVE_RIGHT, DRIVE_LEFT})
      if (held & bit) {
        ev.push_back(ScriptLine{at, 0, bit});
        ev.push_back(ScriptLine{at + wait, 1, bit});
      }
  }
  sort_events(&ev);
}

void begin_room(Driver* d, RoomRoute* room) {
  *room = RoomRoute();
  room->room = g_game.room_number;
  room->entry.resize(d->image_bytes);
  driver_save(d, room->entry.data());
  room->save = driver_save_record();
  room->held_at_entry = driver_held_keys();
}

}  // namespace

int margin_read_script(const char* path, std::vector<ScriptLine>* lines) {
  FILE* f = fopen(path, "r");
  if (!f) return 0;
  char line[256];
  while (fgets(line, sizeof line, f)) {
    long frame;
    char what[16], key[16];
    if (line[0] == '#' || sscanf(line, "%ld %15s %15s", &frame, what, key) != 3) continue;
    int bit = driver_key_bit(key);
    lines->push_back(ScriptLine{frame, !strcmp(what, "down"), bit ? bit : DRIVE_JUMP});
  }
  fclose(f);
  return 1;
}

int margin_write_ways(const char* path, const std::vector<RoomRoute>& rooms) {
  FILE* f = fopen(path, "w");
  if (!f) return 0;
  fprintf(f, "# Ways through rooms: \"room N FRAMES\", then key changes from the room's entry.\n");
  for (const RoomRoute& r : rooms) {
    fprintf(f, "room %d %d\n", r.room, r.frames);
    for (const ScriptLine& l : r.events)
      fprintf(f, "%ld %s %s\n", l.frame, l.down ? "down" : "up", driver_key_name(l.key));
  }
  return fclose(f) == 0;
}

int margin_read_ways(const char* path, std::vector<RoomRoute>* rooms) {
  FILE* f = fopen(path, "r");
  if (!f) return 0;
  char line[256];
  int ok = 1;
  std::vector<RoomRoute> read;
  while (ok && fgets(line, sizeof line, f)) {
    long frame;
    int room, frames;
    char what[16], key[16];
    if (line[0] == '#' || line[strspn(line, " \t\r\n")] == '\0') continue;
    if (sscanf(line, "room %d %d", &room, &frames) == 2) {
      read.push_back(RoomRoute());
      read.back().room = room;
      read.back().frames = frames;
    } else if (!read.empty() && sscanf(line, "%ld %15s %15s", &frame, what, key) == 3 && frame >= 0 &&
               (!strcmp(what, "down") || !strcmp(what, "up")) && driver_key_bit(key)) {
      read.back().events.push_back(ScriptLine{frame, !strcmp(what, "down"), driver_key_bit(key)});
    } else {
      ok = 0;
    }
  }
  fclose(f);
  if (ok) rooms->insert(rooms->end(), read.begin(), read.end());
  return ok;
}

int margin_split_route(Driver* d, const std::vector<ScriptLine>& lines, int last_room,
                       std::vector<RoomRoute>* rooms) {
  std::vector<ScriptLine>* record = d->record;
  d->record = nullptr;
  size_t next = 0;
  // The new game's key on frame 0 and its release on frame 1 were sent by
  // driver_start.
  while (next < lines.size() && lines[next].frame < d->frame) next++;
  if (next < lines.size() && lines[next].frame == 1 && lines[next].key == DRIVE_JUMP && !lines[next].down)
    next++;
  RoomRoute room;
  begin_room(d, &room);
  long entry_frame = d->frame;
  int ok = 0;
  for (;;) {
    while (next < lines.size() && lines[next].frame == d->frame) {
      room.events.push_back(ScriptLine{d->frame - entry_frame, lines[next].down, lines[next].key});
      driver_key(d, lines[next].key, lines[next].down);
      next++;
    }
    driver_run(d);
    if (driver_dying() || driver_pending_edge() < 0 || d->frame - entry_frame > LONGEST_ROOM_FRAMES) {
      fprintf(stderr, "vantrel-solver: the route does not get through room %d\n", room.room);
      break;
    }
    if (driver_pending_edge() == 0) continue;
    room.frames = (int)(d->frame - entry_frame);
    rooms->push_back(room);
    if (room.room >= last_room) {
      ok = 1;
      break;
    }
    // The frame that crosses the edge enters the next room with the keys
    // delivered before it; they are part of that room's entry.
    while (next < lines.size() && lines[next].frame == d->frame) {
      driver_key(d, lines[next].key, lines[next].down);
      next++;
    }
    driver_run(d);
    if (g_game.room_number != room.room + 1 || driver_dying()) {
      fprintf(stderr, "vantrel-solver: the route leaves room %d but does not enter the next\n", room.room);
      break;
    }
    begin_room(d, &room);
    entry_frame = d->frame;
  }
  d->record = record;
  return ok;
}

int margin_prepare_continue(Driver* d, RoomRoute* room) {
  if (!driver_continue(d, room->save)) return 0;
  room->continued.resize(d->image_bytes);
  driver_save(d, room->continued.data());
  return 1;
}

int margin_fails(Driver* d, const RoomRoute& room, MarginFrom from, int jitter, int trials, int seed_set,
                 int fail_limit) {
  std::vector<ScriptLine>* record = d->record;
  d->record = nullptr;
  int failed = 0;
  for (int k = 0; k < trials && failed <= fail_limit; k++) {
    uint64_t seed = (uint64_t)seed_set << 48 ^ (uint64_t)room.room << 32 ^ (uint64_t)jitter << 16 ^ (uint64_t)k;
    failed += !play_trial(d, room, from, jittered(room, from, jitter, seed), room.frames + MARGIN_GRACE_FRAMES);
  }
  d->record = record;
  return failed;
}

int margin_passes(Driver* d, const RoomRoute& room, MarginFrom from, int jitter, int trials, int seed_set) {
  return trials - margin_fails(d, room, from, jitter, trials, seed_set, trials);
}

int margin_settle(Driver* d, RoomRoute* room, long limit) {
  std::vector<ScriptLine>* record = d->record;
  d->record = nullptr;
  int frames = play_trial(d, *room, MARGIN_FROM_CAPTURE, jittered(*room, MARGIN_FROM_CAPTURE, 0, 0), limit);
  d->record = record;
  if (!frames) return 0;
  room->frames = frames;
  while (!room->events.empty() && room->events.back().frame >= frames) room->events.pop_back();
  return 1;
}

int margin_from_actions(Driver* d, const std::vector<uint8_t>& actions, int last_frames, int macro_frames,
                        RoomRoute* room) {
  std::vector<ScriptLine>* record = d->record;
  long frame = d->frame;
  std::vector<ScriptLine> events;
  d->record = &events;
  d->frame = 0;
  driver_load(d, room->entry.data());
  int keys = 0, ok = 0;
  for (size_t k = 0; k < actions.size() && !ok; k++) {
    int frames = k + 1 == actions.size() ? last_frames : macro_frames;
    for (int i = 0; i < frames && !ok; i++) {
      keys = action_keys(actions[k], i);
      driver_frame(d, keys);
      if (driver_dying()) break;
      ok = driver_pending_edge() == 1;
    }
    if (driver_dying()) break;
  }
  // A route found from a continue may be a step short from the capture:
  // the last keys are held a little longer.
  for (int i = 0; i < MARGIN_GRACE_FRAMES && !ok && !driver_dying() && driver_pending_edge() == 0; i++) {
    driver_frame(d, keys & ~DRIVE_JUMP);
    ok = driver_pending_edge() == 1;
  }
  room->events = events;
  room->frames = (int)d->frame;
  d->record = record;
  d->frame = frame;
  return ok && !driver_dying();
}

int margin_slack_fails(Driver* d, RoomRoute* room, const std::vector<int>& jitters, int trials, int fail_limit) {
  if (!events_valid(*room) || !margin_settle(d, room, room->frames + MARGIN_GRACE_FRAMES)) return INT_MAX;
  int failed = 0;
  for (int j : jitters) {
    failed += margin_fails(d, *room, MARGIN_FROM_CONTINUE, j, trials, MARGIN_SEED_SEARCH, fail_limit - failed);
    if (failed > fail_limit) break;
  }
  return failed;
}

// Both unjittered plays (the whole route's and a continue's) get through.
int passes_both(Driver* d, RoomRoute* room) {
  if (!events_valid(*room) || !margin_settle(d, room, room->frames + MARGIN_GRACE_FRAMES)) return 0;
  std::vector<ScriptLine>* record = d->record;
  d->record = nullptr;
  int ok = play_trial(d, *room, MARGIN_FROM_CONTINUE, jittered(*room, MARGIN_FROM_CONTINUE, 0, 0),
                      room->frames + MARGIN_GRACE_FRAMES) != 0;
  d->record = record;
  return ok;
}

void margin_center(Driver* d, RoomRoute* room, int reach) {
  // Each event in turn, earlier ones already placed: the frames it may move
  // to with everything else kept form a window; it goes to the window's
  // middle. Events are found again by what they are, since moving one may
  // reorder the list.
  std::vector<ScriptLine> order = room->events;
  for (const ScriptLine& want : order) {
    auto find = [&](const RoomRoute& r) {
      for (size_t i = 0; i < r.events.size(); i++)
        if (r.events[i].frame == want.frame && r.events[i].key == want.key && r.events[i].down == want.down)
          return (int)i;
      return -1;
    };
    int at = find(*room);
    if (at < 0) continue;
    long base = room->events[at].frame;
    std::vector<char> ok(2 * reach + 1, 0);
    for (int shift = -reach; shift <= reach; shift++) {
      RoomRoute moved = *room;
      moved.events[at].frame = base + shift;
      if (moved.events[at].frame < 0) continue;
      sort_events(&moved.events);
      ok[shift + reach] = (char)(shift == 0 || passes_both(d, &moved));
    }
    int lo = 0, hi = 0;
    while (lo > -reach && ok[lo - 1 + reach]) lo--;
    while (hi < reach && ok[hi + 1 + reach]) hi++;
    int middle = (lo + hi) / 2;
    if (middle == 0) continue;
    RoomRoute moved = *room;
    moved.events[at].frame = base + middle;
    sort_events(&moved.events);
    if (passes_both(d, &moved)) *room = moved;
  }
}

int margin_improve(Driver* d, RoomRoute* room, const std::vector<int>& jitters, int trials, int tries,
                   uint64_t seed) {
  int best = margin_slack_fails(d, room, jitters, trials, INT_MAX - 1);
  uint64_t rng = seed;
  for (int t = 0; t < tries && best > 0 && best != INT_MAX; t++) {
    RoomRoute next = *room;
    mutate(&next, &rng);
    int failed = margin_slack_fails(d, &next, jitters, trials, best);
    if (failed < best || (failed == best && next.frames < room->frames)) {
      *room = next;
      best = failed;
    }
  }
  return best;
}
