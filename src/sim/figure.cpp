// Avatar figure: four keyframes (two walking, two standing) used through
// eight pose slots with a mirror sign, so one walk cycle serves both
// directions (walking left runs it backward) and the figure never turns.
#include "sim/figure.h"

#include "core/game_state.h"
#include "sim/avatar.h"
#include "sim/draw.h"
#include "sim/sound_cues.h"

namespace {

enum { POSE_W1 = 0, POSE_W2 = 1, POSE_S1 = 2, POSE_S2 = 3 };

// Joints relative to the figure origin (28, 4) in the 60 x 80 avatar frame.
const int AVATAR_POSES[4][14][2] = {
    {{4, 45}, {6, 51}, {9, 60}, {-7, 45}, {-10, 51}, {-11, 68}, {9, 35},
     {16, 38}, {19, 44}, {-9, 35}, {-16, 39}, {-21, 32}, {0, 43}, {-2, 16}},
    {{7, 45}, {10, 51}, {11, 68}, {-4, 45}, {-6, 51}, {-9, 60}, {9, 35},
     {16, 38}, {21, 32}, {-9, 35}, {-16, 39}, {-19, 44}, {0, 43}, {2, 16}},
    {{4, 45}, {6, 51}, {9, 68}, {-7, 45}, {-10, 51}, {-11, 68}, {9, 35},
     {16, 38}, {19, 44}, {-9, 35}, {-16, 39}, {-21, 32}, {0, 43}, {-2, 16}},
    {{7, 45}, {10, 51}, {11, 68}, {-4, 45}, {-6, 51}, {-9, 68}, {9, 35},
     {16, 38}, {21, 32}, {-9, 35}, {-16, 39}, {-19, 44}, {0, 43}, {2, 16}},
};

struct PoseSlot {
  int pose;
  int sign;  // multiplies the x of joints 0..6 (the mirrored slots swap the legs)
};

// 0..3 the walk cycle, 4..7 the standing sway.
const PoseSlot POSE_SLOTS[8] = {
    {POSE_W1, 1},  {POSE_W2, 1},  {POSE_W2, -1}, {POSE_W1, -1},
    {POSE_S1, 1},  {POSE_S2, 1},  {POSE_S2, -1}, {POSE_S1, -1},
};

const int MIRRORED_JOINTS = 7;  // joints 0..6 take the slot's sign

void clear_bitmap(Bitmap* b) {
  if (!b || !b->pixels) return;
  long n = (long)b->width * b->height;
  for (long i = 0; i < n; i++) b->pixels[i] = 0;
}

void pose_joints(void) {
  GameState& g = g_game;
  const PoseSlot& from = POSE_SLOTS[g.pose_from & 7];
  const PoseSlot& to = POSE_SLOTS[g.pose_to & 7];
  for (int i = 0; i < 14; i++) {
    int sf = i < MIRRORED_JOINTS ? from.sign : 1;
    int sg = i < MIRRORED_JOINTS ? to.sign : 1;
    int fx = sf * AVATAR_POSES[from.pose][i][0];
    int gx = sg * AVATAR_POSES[to.pose][i][0];
    int fy = AVATAR_POSES[from.pose][i][1];
    int gy = AVATAR_POSES[to.pose][i][1];
    g.figure_joints[i][0] = (int)((float)(gx - fx) * g.pose_phase + (float)fx);
    g.figure_joints[i][1] = (int)((float)(gy - fy) * g.pose_phase + (float)fy);
  }
}

}  // namespace

void avatar_figure_step(float dt) {
  GameState& g = g_game;
  const int right = g.key_held[AVATAR_KEY_RIGHT] != 0;
  const int left = g.key_held[AVATAR_KEY_LEFT] != 0;
  int walking = g.airborne == 0 && (right != left);

  if (!g.draw_target) g.draw_target = g.work_bitmap;
  Bitmap* scene = g.draw_target;
  Bitmap* frame = g.avatar_frame;
  g.draw_target = frame;
  clear_bitmap(frame);

  if (walking) g.walk_dir = left ? -1 : 1;

  // Steps within a leg pair (0<->1, 2<->3) are quicker than the ones that
  // swap the legs.
  const int same = ((g.pose_from ^ g.pose_to) & 2) == 0;
  float rate;
  if (g.air_ticks >= 1 && g.air_ticks <= 3) {
    walking = 1;  // keep stepping over the first ticks off a ledge
    rate = same ? 8.0f : 5.0f;
  } else if (walking) {
    rate = same ? 8.0f : 5.0f;
  } else if (g.airborne) {
    rate = 5.0f;
  } else if (g.pose_from < 4) {
    rate = 5.0f;
  } else {
    rate = 2.0f;
  }
  g.pose_phase += dt * rate;

  if (g.pose_phase >= 1.0f) {
    g.pose_phase = 0.0f;
    g.pose_from = g.pose_to;
    g.pose_to = walking ? (g.pose_to + g.walk_dir) & 3 : (g.pose_to ^ 1) | 4;
  }

  pose_joints();
  if (frame) draw_figure((frame->width >> 1) - 2, 4, 1);
  g.draw_target = scene;

  if (!g.fly_mode && touches_hazard(frame, g.avatar_x, g.avatar_y)) {
    g.respawn_timer = FIGURE_DEATH_SECONDS;
    g.ring_radius = 0.0f;
    sound_cue_death();
  }

  blit(frame, g.avatar_x, g.avatar_y);
}
