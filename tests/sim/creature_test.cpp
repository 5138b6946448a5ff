// Creatures: the rest drawn on arrival. Their paths and quirks (ends-only
// rests, random targets, drops) are played by the route and margin runs.
#include "sim/creature.h"

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
