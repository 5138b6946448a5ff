// Room-by-room replay of a route with its key timing disturbed. The offsets
// come from a generator of this tool's own, so the game's random stream is
// exactly the one play would see.
#include "solver/margin.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "core/game_state.h"

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

int play_trial(Driver* d, const RoomRoute& room, MarginFrom from, const std::vector<Timed>& events) {
  driver_load(d, from == MARGIN_FROM_CONTINUE ? room.continued.data() : room.entry.data());
  size_t next = 0;
  long limit = room.frames + MARGIN_GRACE_FRAMES;
  for (long f = 0; f < limit; f++) {
    while (next < events.size() && events[next].frame == f) {
      driver_key(d, events[next].line.key, events[next].line.down);
      next++;
    }
    driver_run(d);
    if (driver_dying()) return 0;
    int edge = driver_pending_edge();
    if (edge != 0) return edge > 0;
  }
  return 0;
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
    int bit = !strcmp(key, "RIGHT") ? DRIVE_RIGHT : !strcmp(key, "LEFT") ? DRIVE_LEFT : DRIVE_JUMP;
    lines->push_back(ScriptLine{frame, !strcmp(what, "down"), bit});
  }
  fclose(f);
  return 1;
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

int margin_passes(Driver* d, const RoomRoute& room, MarginFrom from, int jitter, int trials, int seed_set) {
  std::vector<ScriptLine>* record = d->record;
  d->record = nullptr;
  int passed = 0;
  for (int k = 0; k < trials; k++) {
    uint64_t seed = (uint64_t)seed_set << 48 ^ (uint64_t)room.room << 32 ^ (uint64_t)jitter << 16 ^ (uint64_t)k;
    passed += play_trial(d, room, from, jittered(room, from, jitter, seed));
  }
  d->record = record;
  return passed;
}
