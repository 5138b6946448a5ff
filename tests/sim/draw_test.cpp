// Drawing primitives: clipping of the plain copy against a per-pixel oracle at
// every placement around the target's edges, and the stretch index bound.
#include "sim/draw.h"

#include <vector>

#include "sim_fixture.h"

namespace {

class DrawTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    target = make_bitmap(10, 8, 0);
    g_game.draw_target = target;
  }
  // A w x h image with varied classes and a few transparent pixels.
  Bitmap* pattern(int w, int h) {
    Bitmap* b = make_bitmap(w, h, 0);
    for (int i = 0; i < w * h; i++) b->pixels[i] = (uint8_t)((i * 7 + 3) % 17);
    return b;
  }
  Bitmap* target = nullptr;
};

TEST_F(DrawTest, BlitClipsAtEveryEdgeLikeAPerPixelCopy) {
  Bitmap* image = pattern(4, 5);
  for (int y = -7; y <= 10; y++) {
    for (int x = -6; x <= 12; x++) {
      fill_rect(target, 0, 0, 10, 8, 0);
      std::vector<uint8_t> expected(target->pixels, target->pixels + 80);
      for (int sy = 0; sy < 5; sy++) {
        for (int sx = 0; sx < 4; sx++) {
          int tx = x + sx, ty = y + sy;
          uint8_t v = at(image, sx, sy);
          if (v && tx >= 0 && tx < 10 && ty >= 0 && ty < 8) expected[ty * 10 + tx] = v;
        }
      }
      blit(image, x, y);
      ASSERT_EQ(std::vector<uint8_t>(target->pixels, target->pixels + 80), expected)
          << "at " << x << "," << y;
    }
  }
}

TEST_F(DrawTest, StretchIndexIsClampedToTheWarpTables) {
  // Regression: a large stretch wrote past the 512-entry tables.
  const float huge[8] = {40, 40, 40, 40, 40, 40, 40, 40};
  uint16_t index[DRAW_WARP_MAX + 1];
  index[DRAW_WARP_MAX] = 12345;
  EXPECT_EQ(build_stretch_index(huge, 100, index), DRAW_WARP_MAX);
  EXPECT_EQ(index[DRAW_WARP_MAX - 1], (DRAW_WARP_MAX - 1) / 40);
  EXPECT_EQ(index[DRAW_WARP_MAX], 12345);

  Bitmap* image = make_bitmap(100, 100, 6);
  Bitmap* big = make_bitmap(800, 600, 0);
  g_game.draw_target = big;
  blit_warped(400, 590, image, huge, huge);
  EXPECT_EQ(count_value(big, 6), DRAW_WARP_MAX * DRAW_WARP_MAX);
}

}  // namespace
