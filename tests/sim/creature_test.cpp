// Creatures: legs along back-and-forth and loop paths, the per-creature
// arrival quirks (ends-only rests, random targets, drops, jumps back to the
// start), the aimed projectile, creature 0's eased 4-second legs, freezing
// outside the current room or while paused, and the drawing by kind.
#include "sim/creature.h"

#include <math.h>

#include <set>
#include <utility>
#include <vector>

#include "audio/voice.h"
#include "core/tables.h"
#include "sim_fixture.h"
#include "support/random.h"

namespace {

class CreatureTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    work = make_bitmap(800, 600, 0);
    g_game.work_bitmap = work;
    g_game.draw_target = work;
    creatures_init();
  }
  Creature* cr(int id) { return &g_game.creature_table[id]; }
  int to_point(const Creature* c) {
    int from, to;
    leg_points(c, &from, &to);
    return to;
  }
  // Steps one creature until its leg changes; returns the frames taken.
  int until_arrival(Creature* c, float dt, int limit = 100000) {
    int leg = c->leg, from = c->from_point;
    for (int f = 1; f <= limit; f++) {
      creature_update(c, dt);
      if (c->leg != leg || c->from_point != from) return f;
    }
    return -1;
  }
  Bitmap* work = nullptr;
};

struct Snapshot {
  int x, y, leg, from_point;
  float progress, rest, eased;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snap(const Creature& c) {
  return {c.x, c.y, c.leg, c.from_point, c.progress, c.rest, c.eased};
}

TEST_F(CreatureTest, InitPlacesEveryCreatureAtTheStartOfItsPath) {
  for (int slot = 0; slot < CREATURE_SLOTS; slot++) {
    const Creature& c = g_game.creature_table[slot];
    if (slot >= CREATURE_COUNT) {
      EXPECT_EQ(c.room, -1) << slot;
      continue;
    }
    EXPECT_EQ(c.id, slot);
    ASSERT_NE(c.path, nullptr) << slot;
    EXPECT_EQ(c.x, c.path->points[0][0]);
    EXPECT_EQ(c.y, c.path->points[0][1]);
    EXPECT_EQ(c.leg, c.path->count > 1 ? 1 : 0) << slot;
  }
  EXPECT_EQ(cr(20)->path, find_path(19)) << "creature 20 follows creature 19's path";
  EXPECT_EQ(find_path(20)->count, 0);
  EXPECT_EQ(find_path(33), nullptr);
  EXPECT_FLOAT_EQ(cr(0)->rest, 2.5f);
  EXPECT_FLOAT_EQ(cr(20)->rest, 12.0f);
  const Path* shot = find_path(18);
  EXPECT_EQ(shot->points[0][0], 695);
  EXPECT_EQ(shot->points[1][0], 20);
  EXPECT_EQ(shot->points[1][1], 300);
  // Every path's count matches the points given: no trailing (0, 0).
  for (const Path& p : g_game.path_table) {
    for (int i = 0; i < p.count; i++) {
      EXPECT_FALSE(p.points[i][0] == 0 && p.points[i][1] == 0) << p.key << ":" << i;
    }
    for (int i = p.count; i < PATH_MAX_POINTS; i++) {
      EXPECT_TRUE(p.points[i][0] == 0 && p.points[i][1] == 0) << p.key << ":" << i;
    }
  }
}

TEST_F(CreatureTest, BackAndForthPathShuttlesAndRestsOnlyAtItsEnds) {
  // Creature 15: two points, rests 0.65..1.05 s at both ends.
  Creature* c = cr(15);
  std::vector<int> legs;
  for (int i = 0; i < 6; i++) {
    ASSERT_GT(until_arrival(c, 0.05f), 0);
    legs.push_back(c->leg);
    EXPECT_GE(c->rest, 0.65f);
    EXPECT_LE(c->rest, 1.05f);
  }
  EXPECT_EQ(legs, (std::vector<int>{2, 1, 2, 1, 2, 1}));

  // Creature 1: ten points, out and back, resting only at points 0 and 9.
  c = cr(1);
  std::vector<int> targets;
  for (int i = 0; i < 20; i++) {
    int reached = to_point(c);
    ASSERT_GT(until_arrival(c, 0.05f), 0);
    EXPECT_EQ(c->from_point, reached);
    EXPECT_EQ(c->rest > 0.0f, reached == 0 || reached == 9) << "at point " << reached;
    targets.push_back(to_point(c));
  }
  EXPECT_EQ(targets, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1,
                                       2, 3}));
}

TEST_F(CreatureTest, LoopPathTravelsFromItsLastPointBackToTheFirst) {
  Creature* c = cr(4);  // ten points, no rests
  std::vector<std::pair<int, int>> legs;
  for (int i = 0; i < 11; i++) {
    ASSERT_GT(until_arrival(c, 0.02f), 0);
    int from, to;
    ASSERT_EQ(leg_points(c, &from, &to), 1);
    legs.push_back({from, to});
    EXPECT_EQ(c->rest, 0.0f);
  }
  EXPECT_EQ(legs[7], std::make_pair(8, 9));
  EXPECT_EQ(legs[8], std::make_pair(9, 0));
  EXPECT_EQ(legs[9], std::make_pair(0, 1));
  // The leg 9 -> 0 is travelled, not jumped: somewhere in between.
  creature_update(c, 0.0f);
  ASSERT_GT(until_arrival(c, 0.02f), 0);
}

TEST_F(CreatureTest, SpeedCreaturesTakeTimeByLengthLegTimeCreaturesDoNot) {
  // Creature 2 covers every leg in 1 s, whatever its length.
  Creature* c = cr(2);
  c->rest_min = c->rest_max = 0.0f;
  for (int i = 0; i < 6; i++) EXPECT_EQ(until_arrival(c, 0.125f), 8) << "leg " << i;
  // Creature 15 runs 160 px/s along a 695 px leg: 4.34 s.
  c = cr(15);
  int frames = until_arrival(c, 0.01f);
  EXPECT_NEAR(frames, 435, 1);
}

TEST_F(CreatureTest, DropsOfRoom19RestartFromTheirFirstPoint) {
  for (int id = 8; id <= 11; id++) {
    SCOPED_TRACE(id);
    Creature* c = cr(id);
    const Path* p = c->path;
    int last_y = p->points[p->count - 1][1];
    int deepest = 0, restarts = 0;
    for (int f = 0; f < 20000; f++) {
      int reaching = to_point(c);
      float progress = c->progress;
      creature_update(c, 0.01f);
      if (c->y > deepest) deepest = c->y;
      if (c->progress >= progress) continue;  // no arrival this frame
      if (reaching != p->count - 2) continue;
      // The second-to-last point: back to the first, heading for the second.
      restarts++;
      EXPECT_EQ(c->from_point, 0);
      EXPECT_EQ(c->leg, 1);
      while (c->progress == 0.0f) creature_update(c, 0.01f);
      EXPECT_LT(c->y, p->points[1][1] / 4) << "reappears at the top";
    }
    EXPECT_GE(restarts, 3);
    EXPECT_LT(deepest, last_y) << "the last leg is never travelled";
  }
}

TEST_F(CreatureTest, Creatures19And20JumpBackToTheirFirstPoint) {
  for (int id : {19, 20}) {
    SCOPED_TRACE(id);
    Creature* c = cr(id);
    c->rest = 0.0f;
    std::vector<std::pair<int, int>> legs;
    for (int i = 0; i < 12; i++) {
      ASSERT_GT(until_arrival(c, 0.05f), 0);
      int from, to;
      leg_points(c, &from, &to);
      legs.push_back({from, to});
      EXPECT_NE(from, 9) << "no leg from the last point";
    }
    EXPECT_EQ(legs[7], std::make_pair(8, 9));
    EXPECT_EQ(legs[8], std::make_pair(0, 1));
  }
}

TEST_F(CreatureTest, RandomFliersNeverPickThePointJustReachedOrTheNextOne) {
  for (int id : {6, 7}) {
    SCOPED_TRACE(id);
    Creature* c = cr(id);
    const int count = c->path->count;
    std::set<int> chosen;
    for (int i = 0; i < 400; i++) {
      int reached = to_point(c);
      ASSERT_GT(until_arrival(c, 0.05f), 0);
      EXPECT_EQ(c->from_point, reached);
      EXPECT_NE(c->leg, reached);
      EXPECT_NE(c->leg, (reached + 1) % count);
      ASSERT_GE(c->leg, 0);
      ASSERT_LT(c->leg, count);
      chosen.insert(c->leg);
    }
    EXPECT_EQ((int)chosen.size(), count) << "every point is a target some time";
  }
}

TEST_F(CreatureTest, ProjectileIsAimedAtTheFeetPlusOneEighth) {
  Creature* shooter = cr(17);
  Creature* shot = cr(18);
  Path* p = find_path(18);
  std::vector<int16_t> noise(2 * 60000, 1);
  g_game.noise_sound = noise.data();
  g_game.sound_enabled = 1;

  shooter->x = 400;
  shooter->y = 120;
  g_game.avatar_x = 570;  // feet at (600, 380)
  g_game.avatar_y = 300;
  creature_update(shot, 0.1f);  // the first 0.05 s rest ends: fire
  EXPECT_EQ(p->points[0][0], 400);
  EXPECT_EQ(p->points[0][1], 120);
  // First shot aims 60 px lower: (600, 440) + ((200, 320) >> 3).
  EXPECT_EQ(p->points[1][0], 625);
  EXPECT_EQ(p->points[1][1], 480);
  EXPECT_EQ(g_game.first_shot, 0);
  EXPECT_EQ(shot->leg, 1);
  EXPECT_EQ(shot->from_point, 0);
  ASSERT_EQ(voice_table.count, 1);
  EXPECT_FLOAT_EQ(voice_table.voices[0].volume, 0.2f);
  EXPECT_EQ(voice_table.voices[0].duration, 10000u);
  EXPECT_EQ(voice_table.voices[0].release_curve, 1);
  EXPECT_EQ(voice_table.voices[0].release_length, 10000u);

  // It flies 2 s, then hides far below the room for 1.5 s.
  EXPECT_EQ(until_arrival(shot, 0.25f), 8);
  EXPECT_EQ(shot->y, 4000);
  EXPECT_FLOAT_EQ(shot->rest, 1.5f);

  // Next shot, avatar left of the shooter: the eighth rounds toward minus
  // infinity ((-270) >> 3 = -34).
  shooter->x = 400;
  g_game.avatar_x = 100;  // feet at (130, 380)
  for (int i = 0; i < 6; i++) creature_update(shot, 0.25f);
  EXPECT_EQ(p->points[1][0], 130 - 34);
  EXPECT_EQ(p->points[1][1], 380 + 32);

  // Avatar above the shooter: straight down to 500 below the avatar's x.
  until_arrival(shot, 0.25f);
  g_game.avatar_x = 700;
  g_game.avatar_y = -50;  // feet at y 30 < 120
  for (int i = 0; i < 6; i++) creature_update(shot, 0.25f);
  EXPECT_EQ(p->points[1][0], 730);
  EXPECT_EQ(p->points[1][1], 500);
  g_game.noise_sound = nullptr;
}

TEST_F(CreatureTest, Creature0ReachesEachPointAfterExactly4Seconds) {
  g_game.room_number = 14;
  Creature* c = cr(0);
  const float dt = 0.25f;
  for (int f = 0; f < 10; f++) creatures_step(dt);  // the first 2.5 s rest
  EXPECT_EQ(c->rest, 0.0f);
  EXPECT_EQ(c->x, 46);
  std::vector<int> xs;
  for (int f = 0; f < 15; f++) {
    creatures_step(dt);
    xs.push_back(c->x);
    EXPECT_EQ(c->from_point, 0);
  }
  creatures_step(dt);  // 16 x 0.25 s = 4 s
  EXPECT_EQ(c->from_point, 1);
  EXPECT_EQ(to_point(c), 0);
  // Gentle start and stop, fastest in the middle, stopping short of 580.
  EXPECT_LE(xs[0] - 46, 10);
  EXPECT_LE(580 - xs[14], 10);
  EXPECT_GT(xs[8] - xs[7], 3 * (xs[0] - 46));
  EXPECT_GT(xs[8] - xs[7], xs[14] - xs[13]);
  EXPECT_LT(xs[14], 580);
  for (size_t i = 1; i < xs.size(); i++) EXPECT_GT(xs[i], xs[i - 1]);
}

TEST_F(CreatureTest, EaseInOutIsAnSCurveWithAStraightMiddle) {
  EXPECT_FLOAT_EQ(ease_in_out(0.0f), 0.0f);
  EXPECT_FLOAT_EQ(ease_in_out(0.5f), 0.5f);
  EXPECT_FLOAT_EQ(ease_in_out(1.0f), 1.0f);
  EXPECT_FLOAT_EQ(ease_in_out(0.25f), 0.2f);
  EXPECT_FLOAT_EQ(ease_in_out(0.75f), 0.8f);
  EXPECT_NEAR(ease_in_out(0.4f) - ease_in_out(0.3f), 0.12f, 1e-6);  // slope 1.2
  for (int i = 0; i <= 100; i++) {
    float p = i / 100.0f;
    EXPECT_NEAR(ease_in_out(p) + ease_in_out(1.0f - p), 1.0f, 1e-5) << p;
    if (i) {
      EXPECT_GT(ease_in_out(p), ease_in_out(p - 0.01f));
    }
  }
  EXPECT_FLOAT_EQ(ease_in_out(0.1f), 0.4f * smooth_step(0.2f));
}

TEST_F(CreatureTest, CreaturesFreezeOutsideTheirRoomAndWhilePaused) {
  g_game.sprites[1] = make_bitmap(10, 10, 5);
  g_game.room_number = 14;
  for (int f = 0; f < 50; f++) creatures_step(0.1f);  // moving now
  Snapshot moving = snap(*cr(0));
  ASSERT_GT(moving.x, 46);

  // Another room: not stepped, not drawn.
  g_game.room_number = 13;
  fill_rect(work, 0, 0, 800, 600, 0);
  for (int f = 0; f < 50; f++) creatures_step(0.1f);
  EXPECT_EQ(snap(*cr(0)), moving);
  EXPECT_EQ(count_value(work, 5), 0);

  // Back in the room, paused: drawn every frame, unmoved.
  g_game.room_number = 14;
  for (int f = 0; f < 50; f++) creatures_step(0.0f);
  EXPECT_EQ(snap(*cr(0)), moving);
  EXPECT_GT(count_value(work, 5), 0);

  // A rest does not run down while paused either.
  Creature* c = cr(15);
  c->rest = 0.5f;
  g_game.room_number = 24;
  creatures_step(0.0f);
  EXPECT_FLOAT_EQ(c->rest, 0.5f);
}

TEST_F(CreatureTest, FlickerAndCycleFramesFollowTheFrameCounter) {
  for (int k = 0; k < 4; k++) g_game.sprites[6 + k] = make_bitmap(1, 1, (uint8_t)(2 + k));
  for (int k = 0; k < 3; k++) g_game.sprites[13 + k] = make_bitmap(1, 1, (uint8_t)(7 + k));
  std::vector<int> flicker, cycle;
  for (int fc = 0; fc < 24; fc += 4) {
    g_game.frame_counter = fc + 3;  // the frame holds for 4 counts
    fill_rect(work, 0, 0, 800, 600, 0);
    creature_update(cr(4), 0.0f);
    creature_update(cr(12), 0.0f);
    flicker.push_back(at(work, cr(4)->x, cr(4)->y - 1));
    cycle.push_back(at(work, 450, 576));
  }
  EXPECT_EQ(flicker, (std::vector<int>{2, 3, 4, 5, 4, 3}));
  EXPECT_EQ(cycle, (std::vector<int>{7, 8, 9, 7, 8, 9}));

  // Missing frames draw nothing and fail nothing, also with a wrapped counter.
  for (int k = 0; k < 40; k++) g_game.sprites[k] = nullptr;
  fill_rect(work, 0, 0, 800, 600, 0);
  g_game.frame_counter = -5;
  for (int id = 0; id < CREATURE_COUNT; id++) creature_update(cr(id), 0.01f);
  EXPECT_EQ(count_value(work, 0), 800 * 600);
}

TEST_F(CreatureTest, BreathingStretchesFollowPlayTimeAndScale) {
  g_game.sprites[16] = make_bitmap(10, 10, 6);
  g_game.play_time = 0.5f;  // sin = 1: horizontal at breath_b, vertical half way
  Creature* c = cr(8);
  c->x = 400;
  c->y = 300;
  creature_update(c, 0.0f);
  const float b[8] = {1.3f, 1.1f, 0.9f, 0.7f, 0.7f, 0.9f, 1.1f, 1.3f};
  for (int i = 0; i < 8; i++) {
    EXPECT_NEAR(g_game.stretch_x[i], 2.0f * b[i], 1e-5) << i;
    EXPECT_NEAR(g_game.stretch_y[i], 1.5f, 1e-5) << i;
  }
  // 10 rows at a uniform 1.5: 15 rows, bottom row just above y.
  EXPECT_EQ(at(work, 400, 299), 6);
  EXPECT_EQ(at(work, 400, 285), 6);
  EXPECT_EQ(at(work, 400, 284), 0);
  EXPECT_EQ(at(work, 400, 300), 0);

  // An unscaled creature breathes around 1.0 on both axes.
  g_game.play_time = 1.0f;  // sin = 0, cos = -1
  g_game.sprites[2] = make_bitmap(10, 10, 6);
  creature_update(cr(1), 0.0f);
  const float a[8] = {0.7f, 0.9f, 1.1f, 1.3f, 1.3f, 1.1f, 0.9f, 0.7f};
  for (int i = 0; i < 8; i++) {
    EXPECT_NEAR(g_game.stretch_x[i], 1.0f, 1e-5);
    EXPECT_NEAR(g_game.stretch_y[i], a[i], 1e-5) << "the vertical wave is a quarter ahead";
  }
}

TEST_F(CreatureTest, GiantWalksThroughItsKeyframesMirrored) {
  Creature* giant = cr(21);
  struct Case {
    float time;
    int joint, x, y;
  };
  const Case cases[] = {
      {0.0f, 13, -1, -423},   // G0
      {2.5f, 1, -144, -203},  // G1 mirrored
      {5.0f, 4, 116, -216},   // G2 mirrored
      {7.5f, 4, -116, -216},  // G2
      {8.75f, 2, 93, -33},    // half way from G2 (87) to G0 (100)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time);
    g_game.play_time = c.time;
    creature_update(giant, 0.0f);
    EXPECT_EQ(g_game.figure_joints[c.joint][0], c.x);
    EXPECT_EQ(g_game.figure_joints[c.joint][1], c.y);
    EXPECT_EQ(g_game.wobble_scale, 6);
    EXPECT_EQ(g_game.figure_origin[0], giant->x);
  }
}

TEST_F(CreatureTest, CreatureWithoutAPathStandsStill) {
  Creature c = {};
  c.id = 29;
  c.room = 5;
  c.x = 700;
  c.y = 300;
  c.speed = 100;
  int from = 7, to = 7;
  EXPECT_EQ(leg_points(&c, &from, &to), 0);
  EXPECT_EQ(from, 0);
  EXPECT_EQ(to, 0);
  EXPECT_FLOAT_EQ(leg_length(&c), 1.0f);
  for (int f = 0; f < 100; f++) creature_update(&c, 0.05f);
  EXPECT_EQ(c.x, 700);
  EXPECT_EQ(c.y, 300);
  // One-point paths fix their creatures.
  for (int f = 0; f < 100; f++) creature_update(cr(12), 0.05f);
  EXPECT_EQ(cr(12)->x, 450);
  EXPECT_EQ(cr(12)->y, 577);
}

TEST_F(CreatureTest, RestScalesTheFullPrecisionDrawAndRoundsOnce) {
  // Regression: the draw was rounded to float before it was scaled, which put
  // about one rest in six a float step off (and could round a draw just below
  // 1 up to exactly 1).
  std::vector<double> draws;
  for (int i = 0; i < 200; i++) draws.push_back(random_unit());
  random_reset();
  Creature* c = cr(3);  // rests 0.25..2.5 s, no arrival quirk
  int off = 0;
  for (double u : draws) {
    c->rest = 0.0f;
    creature_update(c, 100.0f);  // arrives within this one frame
    const float expected = (float)(c->rest_min + u * (c->rest_max - c->rest_min));
    if (c->rest != expected) off++;
  }
  EXPECT_EQ(off, 0) << "rests off by rounding, of " << draws.size();
}

}  // namespace
