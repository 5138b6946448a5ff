// Creatures: the per-creature arrival quirks (ends-only rests, random targets,
// drops) and the rest that scales the drawing.
#include "sim/creature.h"

#include <set>
#include <vector>

#include "sim_fixture.h"
#include "support/random.h"

namespace {

class CreatureTest : public SimTest {
 public:
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

// The points a creature travels to over n arrivals, checking each arrival
// lands where it headed and rests only at the given points (-1: anywhere).
std::vector<int> targets_over(CreatureTest* t, Creature* c, int n, std::initializer_list<int> rests) {
  std::vector<int> targets;
  for (int i = 0; i < n; i++) {
    int reached = t->to_point(c);
    EXPECT_GT(t->until_arrival(c, 0.05f), 0);
    EXPECT_EQ(c->from_point, reached);
    bool rests_here = false;
    for (int r : rests) rests_here |= r == reached;
    EXPECT_EQ(c->rest > 0.0f, rests_here) << "at point " << reached;
    targets.push_back(t->to_point(c));
  }
  return targets;
}

TEST_F(CreatureTest, BackAndForthPathsRestOnlyAtTheirEnds) {
  // Creature 15: two points, rests 0.65..1.05 s at both ends.
  Creature* c = cr(15);
  EXPECT_EQ(targets_over(this, c, 6, {0, 1}), (std::vector<int>{0, 1, 0, 1, 0, 1}));
  EXPECT_GE(c->rest, 0.65f);
  EXPECT_LE(c->rest, 1.05f);
  // Creature 1: ten points, out and back, resting only at points 0 and 9.
  EXPECT_EQ(targets_over(this, cr(1), 20, {0, 9}),
            (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3}));
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
