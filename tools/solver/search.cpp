// Best-first search over macro-actions. A node is the game after some
// macro-actions; its score rewards nearness to the way out (through free
// space, as a guide) and charges time, so plain rooms are crossed greedily
// while rooms that need a wait fall back to the open list. States are merged on a coarse key (with
// a time bucket in creature rooms, where waiting matters); after the first
// way out the search runs on a while to count how many other ways there are.
#include "solver/search.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <queue>
#include <unordered_map>
#include <unordered_set>

#include "core/game_state.h"
#include "sim/avatar.h"

namespace {

enum {
  ACTION_COUNT = 6,
  NOVELTY_CHARGE = 24,  // score per earlier expansion from the same cell
};

struct Node {
  int parent;
  uint8_t action;
  int t;          // frames since the room was entered
  int x;
  long togo;      // the guide's distance to the way out, pixels
  uint32_t cell;  // coarse place, for the route signature
  uint64_t sig;   // hash of the coarse places passed through
  int image;      // slot in the image pool, -1 once expanded
  uint32_t place; // 16-px cell of the avatar, for the novelty charge
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

uint32_t place_of(int x, int y) {
  return (uint32_t)((x + 1024) >> 4) << 16 | (uint32_t)((y + 1024) >> 4);
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

// Distance to the way out through free space, ignoring gravity: a guide
// for the search that knows about walls and hazards, so that rooms whose
// way out lies behind a detour (the switchbacks) are not searched as if
// the exit were straight to the right. Cells are avatar positions on an
// 8-px lattice; a cell is open when the avatar's body fits there and
// covers no deadly pixel of the room.
struct Guide {
  enum { STEP = 8, X0 = -40, Y0 = -80, COLS = 106, ROWS = 86, FAR = 1 << 20 };
  std::vector<int> dist;

  void build(void) {
    const Bitmap* room = g_game.room;
    int w = room->width, h = room->height;
    // Prefix sums of deadly pixels for a constant-time box test.
    std::vector<int> sum((size_t)(w + 1) * (h + 1), 0);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        int c = room->pixels[y * w + x];
        int deadly = c != 0 && c != 1 && c != 13;
        sum[(size_t)(y + 1) * (w + 1) + x + 1] = deadly + sum[(size_t)y * (w + 1) + x + 1] +
                                                  sum[(size_t)(y + 1) * (w + 1) + x] - sum[(size_t)y * (w + 1) + x];
      }
    auto deadly_in = [&](int x0, int y0, int x1, int y1) {
      x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, w), y1 = std::min(y1, h);
      if (x0 >= x1 || y0 >= y1) return 0;
      return sum[(size_t)y1 * (w + 1) + x1] - sum[(size_t)y0 * (w + 1) + x1] - sum[(size_t)y1 * (w + 1) + x0] +
             sum[(size_t)y0 * (w + 1) + x0];
    };
    std::vector<char> open_cell(COLS * ROWS);
    for (int j = 0; j < ROWS; j++)
      for (int i = 0; i < COLS; i++) {
        int x = X0 + i * STEP, y = Y0 + j * STEP;
        open_cell[j * COLS + i] = avatar_fits(x, y) && !deadly_in(x + 6, y + 6, x + 54, y + 80);
      }
    dist.assign(COLS * ROWS, FAR);
    std::vector<int> queue;
    for (int j = 0; j < ROWS; j++)
      for (int i = 0; i < COLS; i++)
        if (open_cell[j * COLS + i] && X0 + i * STEP >= w - 28) {
          dist[j * COLS + i] = 0;
          queue.push_back(j * COLS + i);
        }
    for (size_t q = 0; q < queue.size(); q++) {
      int c = queue[q], i = c % COLS, j = c / COLS;
      for (int dj = -1; dj <= 1; dj++)
        for (int di = -1; di <= 1; di++) {
          int ni = i + di, nj = j + dj;
          if (ni < 0 || nj < 0 || ni >= COLS || nj >= ROWS) continue;
          int n = nj * COLS + ni;
          if (!open_cell[n] || dist[n] != FAR) continue;
          dist[n] = dist[c] + 1;
          queue.push_back(n);
        }
    }
  }

  // Pixels still to go from an avatar position (nearest lattice cell).
  long remaining(int x, int y) const {
    int i = (x - X0 + STEP / 2) / STEP, j = (y - Y0 + STEP / 2) / STEP;
    i = std::max(0, std::min(COLS - 1, i));
    j = std::max(0, std::min(ROWS - 1, j));
    int best = dist[j * COLS + i];
    // A position just inside a wall or a hazard takes its neighbours' value.
    for (int dj = -1; dj <= 1 && best == FAR; dj++)
      for (int di = -1; di <= 1; di++) {
        int ni = i + di, nj = j + dj;
        if (ni < 0 || nj < 0 || ni >= COLS || nj >= ROWS) continue;
        best = std::min(best, dist[nj * COLS + ni]);
      }
    return best == FAR ? 4000 : (long)best * STEP;
  }
};

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

  Guide guide;
  guide.build();
  Node root = {};
  root.parent = -1;
  root.x = g_game.avatar_x;
  root.togo = guide.remaining(g_game.avatar_x, g_game.avatar_y);
  root.cell = coarse_cell(g_game.avatar_x, g_game.avatar_y);
  root.sig = mix(0, root.cell);
  root.place = place_of(g_game.avatar_x, g_game.avatar_y);
  root.image = pool.take();
  memcpy(pool.slots[root.image], entry, pool.bytes);
  nodes.push_back(root);
  open.push(Entry(0, 0));

  // Each expansion from a 16-px cell makes the next one from there cost a
  // little more, so a dead end that is far to the right (a corner behind a
  // sentinel, say) is given up after a while instead of being waited in
  // for ever; scores are brought up to date lazily when a node is popped.
  std::unordered_map<uint32_t, int> expanded_at;
  auto score_of = [&](const Node& node) {
    auto it = expanded_at.find(node.place);
    int count = it == expanded_at.end() ? 0 : it->second;
    return -4L * node.togo - node.t - NOVELTY_CHARGE * (long)count;
  };
  std::vector<Success> wins;
  // Where candidates reached, as a coarse map for SOLVER_MAP=room (debugging
  // a room that will not solve).
  const char* map_env = getenv("SOLVER_MAP");
  int want_map = map_env && atoi(map_env) == r.room;
  std::vector<char> reach(50 * 38, 0);
  long stop_at = options.max_expansions;
  while (!open.empty() && r.expansions < stop_at) {
    int n = open.top().second;
    long stored = open.top().first;
    open.pop();
    long current = score_of(nodes[n]);
    if (current < stored && !open.empty() && current < open.top().first) {
      open.push(Entry(current, n));
      continue;
    }
    expanded_at[nodes[n].place]++;
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
          if (more > 2000) more = 2000;
          stop_at = std::min(options.max_expansions, r.expansions + more);
        }
        continue;
      }
      if (want_map) {
        int mx = (g_game.avatar_x + 30) / 16, my = (g_game.avatar_y + 80) / 16;
        if (mx >= 0 && mx < 50 && my >= 0 && my < 38) reach[my * 50 + mx] = g_game.airborne ? 'o' : '#';
      }
      if (t >= options.max_frames) continue;
      uint64_t key = state_key(a, t, time_bucket);
      if (!seen.insert(key).second) continue;
      Node child = {};
      child.parent = n;
      child.action = (uint8_t)a;
      child.t = t;
      child.x = g_game.avatar_x;
      child.togo = guide.remaining(g_game.avatar_x, g_game.avatar_y);
      child.cell = coarse_cell(g_game.avatar_x, g_game.avatar_y);
      child.sig = child.cell != nodes[n].cell ? mix(nodes[n].sig, child.cell) : nodes[n].sig;
      child.place = place_of(g_game.avatar_x, g_game.avatar_y);
      child.image = pool.take();
      driver_save(d, pool.slots[child.image]);
      nodes.push_back(child);
      open.push(Entry(score_of(child), (int)nodes.size() - 1));
    }
    pool.give(image);
  }

  if (want_map) {
    for (int y = 0; y < 38; y++) {
      for (int x = 0; x < 50; x++) fputc(reach[y * 50 + x] ? reach[y * 50 + x] : '.', stderr);
      fputc('\n', stderr);
    }
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
    auto actions_of = [&](const Success& w) {
      std::vector<uint8_t> reversed;
      reversed.push_back(w.action);
      for (int n = w.node; n > 0; n = nodes[n].parent) reversed.push_back(nodes[n].action);
      return std::vector<uint8_t>(reversed.rbegin(), reversed.rend());
    };
    r.actions = actions_of(*best);
    r.ways.push_back(r.actions);
    r.ways_last_frames.push_back(r.last_frames);
    std::unordered_map<uint64_t, const Success*> quickest;
    for (const Success& w : wins) {
      auto it = quickest.find(w.sig);
      if (it == quickest.end() || w.t < it->second->t) quickest[w.sig] = &w;
    }
    std::vector<const Success*> others;
    for (auto& q : quickest)
      if (q.second->sig != best->sig) others.push_back(q.second);
    std::sort(others.begin(), others.end(), [](const Success* a, const Success* b) { return a->t < b->t; });
    for (const Success* w : others) {
      if ((int)r.ways.size() >= options.max_ways) break;
      r.ways.push_back(actions_of(*w));
      r.ways_last_frames.push_back(w->frames);
    }
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
