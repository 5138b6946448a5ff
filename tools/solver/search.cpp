// Best-first search over macro-actions. A node is the game after some
// macro-actions; its score rewards progress to the right and charges time,
// so plain rooms are crossed greedily while rooms that need a detour or a
// wait fall back to the open list. States are merged on a coarse key (with
// a time bucket in creature rooms, where waiting matters); after the first
// way out the search runs on a while to count how many other ways there are.
#include "solver/search.h"

#include <string.h>
#include <time.h>

#include <algorithm>
#include <queue>
#include <unordered_set>

#include "core/game_state.h"

namespace {

enum { ACTION_COUNT = 6 };

struct Node {
  int parent;
  uint8_t action;
  int t;          // frames since the room was entered
  int x;
  uint32_t cell;  // coarse place, for the route signature
  uint64_t sig;   // hash of the coarse places passed through
  int image;      // slot in the image pool, -1 once expanded
};

struct Success {
  int node;       // node the last macro-action started from
  uint8_t action;
  int frames;     // frames of that last macro-action used
  int t;          // frames in the room in all
  uint64_t sig;
};

double now_seconds(void) {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

uint32_t coarse_cell(int x, int y) {
  int cx = (x + 30) / 100, cy = (y + 40) / 100;
  return (uint32_t)(cx + 16) * 64u + (uint32_t)(cy + 16);
}

uint64_t mix(uint64_t h, uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  return h * 0xBF58476D1CE4E5B9ull;
}

uint64_t state_key(int action, int t, int time_bucket) {
  const GameState& g = g_game;
  uint64_t k = (uint64_t)((g.avatar_x + 512) >> 2) & 0x3FF;
  k = k << 10 | ((uint64_t)((g.avatar_y + 1024) >> 2) & 0x3FF);
  k = k << 1 | (uint64_t)(g.airborne != 0);
  int fs = (g.fall_speed + 512) >> 4;
  k = k << 8 | (uint64_t)(fs < 0 ? 0 : fs > 255 ? 255 : fs);
  k = k << 1 | (uint64_t)(g.air_ticks < 2);
  k = k << 2 | (uint64_t)(action >> 1);  // the direction still held
  if (time_bucket > 0) k = k << 16 | (uint64_t)(t / time_bucket);
  return k;
}

// Pool of fixed-size state images with a free list.
struct ImagePool {
  size_t bytes;
  std::vector<uint8_t*> slots;
  std::vector<int> free_slots;
  int take(void) {
    if (!free_slots.empty()) {
      int s = free_slots.back();
      free_slots.pop_back();
      return s;
    }
    slots.push_back(new uint8_t[bytes]);
    return (int)slots.size() - 1;
  }
  void give(int s) { free_slots.push_back(s); }
  ~ImagePool() {
    for (uint8_t* p : slots) delete[] p;
  }
};

}  // namespace

int action_keys(int action, int frame_in_action) {
  int dir = action >> 1;  // 0 none, 1 right, 2 left
  int keys = dir == 1 ? DRIVE_RIGHT : dir == 2 ? DRIVE_LEFT : 0;
  if ((action & 1) && frame_in_action == 0) keys |= DRIVE_JUMP;
  return keys;
}

RoomResult search_room(Driver* d, const uint8_t* entry, const SearchOptions& options) {
  double started = now_seconds();
  RoomResult r;
  driver_load(d, entry);
  r.room = g_game.room_number;
  const int K = options.macro_frames;
  const int time_bucket = driver_room_has_creatures(r.room) ? 2 * K : 0;

  ImagePool pool;
  pool.bytes = d->image_bytes;
  std::vector<Node> nodes;
  std::unordered_set<uint64_t> seen;
  typedef std::pair<long, int> Entry;  // score, node
  std::priority_queue<Entry> open;

  Node root = {};
  root.parent = -1;
  root.x = g_game.avatar_x;
  root.cell = coarse_cell(g_game.avatar_x, g_game.avatar_y);
  root.sig = mix(0, root.cell);
  root.image = pool.take();
  memcpy(pool.slots[root.image], entry, pool.bytes);
  nodes.push_back(root);
  open.push(Entry(0, 0));

  std::vector<Success> wins;
  long stop_at = options.max_expansions;
  while (!open.empty() && r.expansions < stop_at) {
    int n = open.top().second;
    open.pop();
    r.expansions++;
    int image = nodes[n].image;
    nodes[n].image = -1;
    for (int a = 0; a < ACTION_COUNT; a++) {
      driver_load(d, pool.slots[image]);
      r.candidates++;
      int outcome = 0;  // 1 alive, 2 died, 3 left, 4 way out
      int used = 0;
      for (int i = 0; i < K; i++) {
        driver_frame(d, action_keys(a, i));
        used = i + 1;
        if (driver_dying()) {
          outcome = 2;
          break;
        }
        int edge = driver_pending_edge();
        if (edge != 0) {
          outcome = edge > 0 ? 4 : 3;
          break;
        }
      }
      if (outcome == 2) {
        r.deaths++;
        r.deaths_by_cause[driver_death_cause()]++;
        continue;
      }
      if (outcome == 3) {
        r.left_exits++;
        continue;
      }
      int t = nodes[n].t + used;
      if (outcome == 4) {
        uint64_t sig = nodes[n].sig;
        uint32_t cell = coarse_cell(g_game.avatar_x, g_game.avatar_y);
        if (cell != nodes[n].cell) sig = mix(sig, cell);
        wins.push_back(Success{n, (uint8_t)a, used, t, sig});
        if (wins.size() == 1) {
          long more = r.expansions * options.extra_percent / 100;
          if (more < 200) more = 200;
          stop_at = std::min(options.max_expansions, r.expansions + more);
        }
        continue;
      }
      if (t >= options.max_frames) continue;
      uint64_t key = state_key(a, t, time_bucket);
      if (!seen.insert(key).second) continue;
      Node child = {};
      child.parent = n;
      child.action = (uint8_t)a;
      child.t = t;
      child.x = g_game.avatar_x;
      child.cell = coarse_cell(g_game.avatar_x, g_game.avatar_y);
      child.sig = child.cell != nodes[n].cell ? mix(nodes[n].sig, child.cell) : nodes[n].sig;
      child.image = pool.take();
      driver_save(d, pool.slots[child.image]);
      nodes.push_back(child);
      long score = 4L * child.x - t;
      open.push(Entry(score, (int)nodes.size() - 1));
    }
    pool.give(image);
  }

  if (!wins.empty()) {
    r.solved = 1;
    r.successes = (long)wins.size();
    std::unordered_set<uint64_t> sigs;
    const Success* best = &wins[0];
    for (const Success& w : wins) {
      sigs.insert(w.sig);
      if (w.t < best->t) best = &w;
    }
    r.distinct_ways = (int)sigs.size();
    r.route_frames = best->t;
    r.last_frames = best->frames;
    std::vector<uint8_t> reversed;
    reversed.push_back(best->action);
    for (int n = best->node; n > 0; n = nodes[n].parent) reversed.push_back(nodes[n].action);
    r.actions.assign(reversed.rbegin(), reversed.rend());
  }
  r.seconds = now_seconds() - started;
  return r;
}

int replay_route(Driver* d, const uint8_t* entry, const RoomResult& result, int macro_frames) {
  driver_load(d, entry);
  for (size_t k = 0; k < result.actions.size(); k++) {
    int frames = k + 1 == result.actions.size() ? result.last_frames : macro_frames;
    for (int i = 0; i < frames; i++) {
      driver_frame(d, action_keys(result.actions[k], i));
      if (driver_dying()) return 0;
    }
  }
  return driver_pending_edge() == 1;
}
