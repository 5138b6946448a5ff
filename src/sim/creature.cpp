// Creature movement and drawing. A creature's leg counter runs along the
// unfolded path (0..2n-3 for back-and-forth paths), so one counter drives
// both loops and shuttles; the per-creature quirks live in the two hooks.
#include "sim/creature.h"

#include <math.h>

#include "core/game_state.h"
#include "core/tables.h"
#include "sim/draw.h"
#include "sim/sound_cues.h"
#include "support/det_math.h"
#include "support/random.h"

namespace {

const float BREATH_A[8] = {0.7f, 0.9f, 1.1f, 1.3f, 1.3f, 1.1f, 0.9f, 0.7f};
const float BREATH_B[8] = {1.3f, 1.1f, 0.9f, 0.7f, 0.7f, 0.9f, 1.1f, 1.3f};

// The giant's keyframes, absolute around its centre (GIANT_CX, GIANT_CY).
const int GIANT_CX = 580;
const int GIANT_CY = 475;
const int GIANT_POSES[3][14][2] = {
    {{622, 272}, {648, 346}, {680, 442}, {548, 279}, {526, 365}, {500, 452}, {625, 157},
     {697, 174}, {709, 256}, {546, 148}, {481, 194}, {424, 211}, {589, 271}, {579, 52}},
    {{641, 291}, {724, 272}, {768, 316}, {548, 279}, {526, 365}, {519, 452}, {625, 157},
     {697, 174}, {709, 256}, {532, 177}, {481, 194}, {424, 211}, {589, 271}, {579, 52}},
    {{622, 272}, {648, 346}, {667, 442}, {548, 279}, {464, 259}, {439, 314}, {625, 157},
     {697, 174}, {709, 256}, {546, 148}, {481, 194}, {424, 211}, {589, 271}, {579, 52}},
};

// (from pose, from mirrored, to pose, to mirrored) per quarter of the cycle.
const int GIANT_PAIRS[4][4] = {
    {0, 0, 1, 1},
    {1, 1, 2, 1},
    {2, 1, 2, 0},
    {2, 0, 0, 0},
};

const int SHOOTER_ID = 17;  // the projectile starts where this creature stands
const int PROJECTILE_PARKED_Y = 4000;  // far below the room while it rests

// What a creature does on reaching a path point.
enum Arrival : uint8_t {
  ARRIVE_PLAIN,         // rest as drawn from its range, go on
  ARRIVE_REST_AT_ENDS,  // rest only at the two ends of the path
  ARRIVE_WANDER,        // on to any point but the one reached and the one next
  ARRIVE_DROP,          // never travels the last leg: back to the top
  ARRIVE_PARK,          // a projectile: out of sight until fired again
  ARRIVE_WRAP,          // from the last point straight back to the first
};

// How it is drawn from its sprite slot.
enum Look : uint8_t {
  LOOK_BREATHING,  // warped by the breathing tables
  LOOK_FLICKER,    // four frames ping-pong: 0 1 2 3 2 1
  LOOK_CYCLE,      // three frames in a loop
  LOOK_GIANT,      // a stick figure walking in place
};

struct CreatureKind {
  Arrival arrival;
  Look look;
  bool eased;       // eases in and out along each leg
  bool fires;       // aims and fires at the avatar when its rest ends
};

// Indexed by creature id (0..CREATURE_COUNT-1).
const CreatureKind CREATURE_KINDS[CREATURE_COUNT] = {
    {ARRIVE_PLAIN, LOOK_BREATHING, true, false},         // 0
    {ARRIVE_REST_AT_ENDS, LOOK_BREATHING, false, false},  // 1
    {ARRIVE_PLAIN, LOOK_BREATHING, false, false},         // 2
    {ARRIVE_PLAIN, LOOK_BREATHING, false, false},         // 3
    {ARRIVE_PLAIN, LOOK_FLICKER, false, false},           // 4
    {ARRIVE_PLAIN, LOOK_FLICKER, false, false},           // 5
    {ARRIVE_WANDER, LOOK_BREATHING, false, false},        // 6
    {ARRIVE_WANDER, LOOK_BREATHING, false, false},        // 7
    {ARRIVE_DROP, LOOK_BREATHING, false, false},          // 8
    {ARRIVE_DROP, LOOK_BREATHING, false, false},          // 9
    {ARRIVE_DROP, LOOK_BREATHING, false, false},          // 10
    {ARRIVE_DROP, LOOK_BREATHING, false, false},          // 11
    {ARRIVE_PLAIN, LOOK_CYCLE, false, false},             // 12
    {ARRIVE_PLAIN, LOOK_CYCLE, false, false},             // 13
    {ARRIVE_PLAIN, LOOK_CYCLE, false, false},             // 14
    {ARRIVE_PLAIN, LOOK_BREATHING, false, false},         // 15
    {ARRIVE_PLAIN, LOOK_BREATHING, false, false},         // 16
    {ARRIVE_PLAIN, LOOK_BREATHING, false, false},         // 17, the shooter
    {ARRIVE_PARK, LOOK_BREATHING, false, true},           // 18, its projectile
    {ARRIVE_WRAP, LOOK_BREATHING, false, false},          // 19
    {ARRIVE_WRAP, LOOK_BREATHING, false, false},          // 20
    {ARRIVE_PLAIN, LOOK_GIANT, false, false},             // 21, the giant
    {ARRIVE_REST_AT_ENDS, LOOK_BREATHING, false, false},  // 22
    {ARRIVE_REST_AT_ENDS, LOOK_BREATHING, false, false},  // 23
    {ARRIVE_REST_AT_ENDS, LOOK_BREATHING, false, false},  // 24
    {ARRIVE_REST_AT_ENDS, LOOK_BREATHING, false, false},  // 25
    {ARRIVE_REST_AT_ENDS, LOOK_BREATHING, false, false},  // 26
    {ARRIVE_REST_AT_ENDS, LOOK_BREATHING, false, false},  // 27
    {ARRIVE_REST_AT_ENDS, LOOK_BREATHING, false, false},  // 28
};
const CreatureKind PLAIN_KIND = {ARRIVE_PLAIN, LOOK_BREATHING, false, false};

const CreatureKind& kind_of(const Creature* cr) {
  return cr->id >= 0 && cr->id < CREATURE_COUNT ? CREATURE_KINDS[cr->id] : PLAIN_KIND;
}

const Bitmap* sprite_slot(int slot) {
  if (slot < 0 || slot >= 40) return nullptr;
  return g_game.sprites[slot];
}

void arrival_hook(Creature* cr) {
  const int count = cr->path ? cr->path->count : 0;
  switch (kind_of(cr).arrival) {
    case ARRIVE_REST_AT_ENDS:
      if (cr->leg != 1 && cr->leg != count) cr->rest = 0.0f;
      break;
    case ARRIVE_WANDER:
      if (count > 2) {
        // Any point but the one just reached and the one that was next.
        int r = (int)(mt_next() % (uint32_t)(count - 2));
        int lo = cr->leg < cr->from_point ? cr->leg : cr->from_point;
        int hi = cr->leg < cr->from_point ? cr->from_point : cr->leg;
        if (r >= lo) r++;
        if (r >= hi) r++;
        cr->leg = r;
      }
      break;
    case ARRIVE_DROP:
      if (cr->leg == count - 1) {
        cr->leg = 1;
        cr->from_point = 0;
      }
      break;
    case ARRIVE_PARK:
      cr->y = PROJECTILE_PARKED_Y;
      break;
    case ARRIVE_WRAP:
      if (cr->leg == 0) {  // reached the last point
        cr->leg = 1;
        cr->from_point = 0;
      }
      break;
    case ARRIVE_PLAIN:
      break;
  }
}

// The shooter's rest has ended: aim the projectile's path and fire.
void fire_projectile(Creature* cr) {
  GameState& g = g_game;
  cr->leg = 1;
  cr->from_point = 0;
  const Creature& shooter = g.creature_table[SHOOTER_ID];
  Path* p = cr->path;
  if (!p || p->count < 2) return;
  p->points[0][0] = shooter.x;
  p->points[0][1] = shooter.y;
  int tx = g.avatar_x + 30;  // middle of the avatar box's bottom edge
  int ty = g.avatar_y + 80;
  if (g.first_shot == 1) {
    g.first_shot = 0;
    ty += 60;
  }
  if (ty < shooter.y) {
    p->points[1][0] = tx;
    p->points[1][1] = 500;
  } else {
    p->points[1][0] = tx + ((tx - shooter.x) >> 3);
    p->points[1][1] = ty + ((ty - shooter.y) >> 3);
  }
  sound_cue_shot();
}

void rest_end_hook(Creature* cr) {
  if (kind_of(cr).fires) fire_projectile(cr);
}

void draw_giant(const Creature* cr) {
  GameState& g = g_game;
  float e = fmodf(g.play_time, 10.0f) * 0.1f * 4.0f;
  if (e >= 4.0f) e = 3.99f;
  if (!(e >= 0.0f)) e = 0.0f;  // a negative or NaN play time
  int k = (int)floorf(e);
  float f = e - (float)k;
  const int* pair = GIANT_PAIRS[k];
  for (int i = 0; i < 14; i++) {
    float fx = (float)(GIANT_POSES[pair[0]][i][0] - GIANT_CX);
    float fy = (float)(GIANT_POSES[pair[0]][i][1] - GIANT_CY);
    float tx = (float)(GIANT_POSES[pair[2]][i][0] - GIANT_CX);
    float ty = (float)(GIANT_POSES[pair[2]][i][1] - GIANT_CY);
    if (pair[1]) fx = -fx;
    if (pair[3]) tx = -tx;
    g.figure_joints[i][0] = (int)(fx + f * (tx - fx));
    g.figure_joints[i][1] = (int)(fy + f * (ty - fy));
  }
  draw_figure(cr->x, cr->y, 6);
}

void draw_breathing(Creature* cr) {
  GameState& g = g_game;
  float theta = fmodf(g.play_time, 2.0f) * 3.1415927f;
  float sx = (det_sinf(theta) + 1.0f) * 0.5f;
  float sy = (det_cosf(theta) + 1.0f) * 0.5f;
  for (int i = 0; i < 8; i++) {
    g.stretch_x[i] = BREATH_A[i] + sx * (BREATH_B[i] - BREATH_A[i]);
    g.stretch_y[i] = BREATH_A[i] + sy * (BREATH_B[i] - BREATH_A[i]);
  }
  if (cr->scale_x != 0.0f || cr->scale_y != 0.0f) {
    if (cr->scale_x == 0.0f) cr->scale_x = 1.0f;
    if (cr->scale_y == 0.0f) cr->scale_y = 1.0f;
    for (int i = 0; i < 8; i++) {
      g.stretch_x[i] *= cr->scale_x;
      g.stretch_y[i] *= cr->scale_y;
    }
  }
  blit_warped(cr->x, cr->y, sprite_slot(cr->sprite), g.stretch_x, g.stretch_y);
}

void draw_creature(Creature* cr) {
  // Unsigned so that a wrapped frame counter still gives a frame in range.
  uint32_t tick = (uint32_t)g_game.frame_counter >> 2;
  switch (kind_of(cr).look) {
    case LOOK_FLICKER: {
      int k = (int)(tick % 6);
      if (k > 3) k = 6 - k;
      blit_anchored(sprite_slot(cr->sprite + k), cr->x, cr->y);
      break;
    }
    case LOOK_CYCLE:
      blit_anchored(sprite_slot(cr->sprite + (int)(tick % 3)), cr->x, cr->y);
      break;
    case LOOK_GIANT:
      draw_giant(cr);
      break;
    case LOOK_BREATHING:
      draw_breathing(cr);
      break;
  }
}

}  // namespace

int leg_points(const Creature* cr, int* from_out, int* to_out) {
  *from_out = 0;
  *to_out = 0;
  if (!cr->path || cr->path->count < 2) return 0;
  int count = cr->path->count;
  if (count > PATH_MAX_POINTS) return 0;
  int to = cr->leg;
  if (cr->loop == 0 && to >= count) to = 2 * count - to - 2;
  int from = cr->from_point;
  if (from < 0 || from >= count || to < 0 || to >= count) return 0;
  *from_out = from;
  *to_out = to;
  return 1;
}

float leg_length(const Creature* cr) {
  int from, to;
  if (!leg_points(cr, &from, &to)) return 1.0f;
  const int(*pts)[2] = cr->path->points;
  float dx = (float)(pts[to][0] - pts[from][0]);
  float dy = (float)(pts[to][1] - pts[from][1]);
  return sqrtf(dx * dx + dy * dy);
}

float ease_in_out(float p) {
  float b = 2.0f * p;
  float g;
  if (b < 0.5f) {
    g = smooth_step(b);
  } else if (b > 1.5f) {
    g = smooth_step(b - 1.0f) + 1.5f;
  } else {
    g = (b - 0.5f) * 1.5f + 0.5f;
  }
  return 0.4f * g;
}

void creature_update(Creature* cr, float dt) {
  GameState& g = g_game;
  for (int i = 0; i < 8; i++) {
    g.stretch_x[i] = 1.0f;
    g.stretch_y[i] = 1.0f;
  }

  if (cr->rest != 0.0f) {
    cr->rest -= dt;
    if (cr->rest <= 0.0f) {
      cr->rest = 0.0f;
      rest_end_hook(cr);
    }
  } else {
    float len = leg_length(cr);
    if (cr->path && cr->path->count > 1) {
      if (cr->leg_time != 0.0f) {
        cr->progress += dt / cr->leg_time;
      } else if (cr->speed != 0.0f && len != 0.0f) {
        cr->progress += dt / (len / cr->speed);
      }
      if (cr->progress >= 1.0f) {
        int from, to;
        leg_points(cr, &from, &to);
        const int count = cr->path->count;
        cr->progress = 0.0f;
        cr->from_point = to;
        cr->leg += 1;
        if (cr->loop == 1) {
          if (cr->leg >= count) cr->leg = 0;
        } else {
          if (cr->leg >= 2 * count - 1) cr->leg = 1;
        }
        // The draw keeps its 2^-32 steps through the scaling; rounded once.
        double u = random_unit();
        cr->rest = (float)(cr->rest_min + u * (cr->rest_max - cr->rest_min));
        arrival_hook(cr);
      }
    }
  }

  cr->eased = kind_of(cr).eased ? ease_in_out(cr->progress) : cr->progress;

  int from, to;
  if (cr->eased != 0.0f && leg_points(cr, &from, &to)) {
    const int(*pts)[2] = cr->path->points;
    cr->x = (int)((float)pts[from][0] + cr->eased * (float)(pts[to][0] - pts[from][0]));
    cr->y = (int)((float)pts[from][1] + cr->eased * (float)(pts[to][1] - pts[from][1]));
  }

  draw_creature(cr);
}

void creatures_step(float dt) {
  GameState& g = g_game;
  if (!g.draw_target) g.draw_target = g.work_bitmap;
  for (Creature& cr : g.creature_table) {
    if (cr.room == g.room_number) creature_update(&cr, dt);
  }
}
