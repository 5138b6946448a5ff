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
