// Creatures: the arrival quirks (rests only at the ends of a path, random
// fliers never heading for where they are or the next point) and the rest
// that scales the drawing. The drops of room 19 are played by the route.
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
  Bitmap* work = nullptr;
};

TEST_F(CreatureTest, RestsOnlyAtPathEndsAndFliersPickFarPoints) {
  for (int id : {1, 6, 7}) {  // ten points out and back; two random fliers
    Creature* c = cr(id);
    const int count = c->path->count;
    std::set<int> chosen;
    for (int i = 0; i < 400; i++) {
      int from, reached, leg = c->leg, start = c->from_point;
      leg_points(c, &from, &reached);
      for (int f = 0; c->leg == leg && c->from_point == start && f < 100000; f++) creature_update(c, 0.05f);
      ASSERT_EQ(c->from_point, reached) << id;
      if (id == 1) {
        ASSERT_EQ(c->rest > 0.0f, reached == 0 || reached == count - 1) << "at point " << reached;
        continue;
      }
      ASSERT_NE(c->leg, reached) << id;
      ASSERT_NE(c->leg, (reached + 1) % count) << id;
      chosen.insert(c->leg);
    }
    if (id != 1) {
      EXPECT_EQ((int)chosen.size(), count) << "every point is a target some time";
    }
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
