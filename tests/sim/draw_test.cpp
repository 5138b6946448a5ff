// Drawing primitives: clipping of the plain copy and the hazard test checked
// against a per-pixel oracle at every placement around the target's edges,
// the stretch index, the warped copy and the wobbly strokes.
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

TEST_F(DrawTest, BlitKeepsTheTargetWhereTheImageIsZero) {
  fill_rect(target, 0, 0, 10, 8, 5);
  Bitmap* image = make_bitmap(3, 3, 0);
  image->pixels[4] = 9;
  blit(image, 2, 2);
  EXPECT_EQ(at(target, 3, 3), 9);
  EXPECT_EQ(count_value(target, 5), 79);
}

TEST_F(DrawTest, AnchoredBlitUsesTheMiddleOfTheBottomEdge) {
  Bitmap* image = make_bitmap(5, 3, 7);
  blit_anchored(image, 5, 6);  // top-left (3, 3)
  EXPECT_EQ(count_value(target, 7), 15);
  EXPECT_EQ(at(target, 3, 3), 7);
  EXPECT_EQ(at(target, 7, 5), 7);
  EXPECT_EQ(at(target, 8, 5), 0);
  EXPECT_EQ(at(target, 3, 6), 0);
}

TEST_F(DrawTest, MissingSpritesDrawNothingAnywhere) {
  fill_rect(target, 0, 0, 10, 8, 4);
  const float ones[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  blit(nullptr, 0, 0);
  blit_anchored(nullptr, 5, 5);
  blit_warped(5, 5, nullptr, ones, ones);
  EXPECT_EQ(touches_hazard(nullptr, 0, 0), 0);
  g_game.figure_joints[0][0] = 3;
  stamp_segment(nullptr, 3, 0, 1);
  draw_figure(2, 2, 6);  // sprites 21 and 22 are empty
  draw_figure(2, 2, 1);  // blob and blob2 too
  EXPECT_EQ(count_value(target, 4), 80);
  // No target at all: nothing to draw into, nothing to touch.
  g_game.draw_target = nullptr;
  Bitmap* image = make_bitmap(2, 2, 3);
  blit(image, 0, 0);
  blit_warped(5, 5, image, ones, ones);
  EXPECT_EQ(touches_hazard(image, 0, 0), 0);
}

TEST_F(DrawTest, TouchesHazardMatchesAPerPixelTestAndDrawsNothing) {
  Bitmap* image = pattern(4, 5);
  // Harmless classes everywhere except one pixel of class 14 at (9, 7).
  for (int i = 0; i < 80; i++) target->pixels[i] = (uint8_t[]){0, 1, 13}[i % 3];
  target->pixels[7 * 10 + 9] = 14;
  std::vector<uint8_t> before(target->pixels, target->pixels + 80);
  for (int y = -7; y <= 10; y++) {
    for (int x = -6; x <= 12; x++) {
      int sx = 9 - x, sy = 7 - y;
      int expected = sx >= 0 && sx < 4 && sy >= 0 && sy < 5 && at(image, sx, sy) != 0;
      ASSERT_EQ(touches_hazard(image, x, y), expected) << "at " << x << "," << y;
    }
  }
  EXPECT_EQ(std::vector<uint8_t>(target->pixels, target->pixels + 80), before);
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

TEST_F(DrawTest, WarpedImageOfFactor1Point3IsDrawn130WideAndCentred) {
  Bitmap* image = make_bitmap(100, 10, 7);
  Bitmap* big = make_bitmap(800, 600, 0);
  g_game.draw_target = big;
  const float wide[8] = {1.3f, 1.3f, 1.3f, 1.3f, 1.3f, 1.3f, 1.3f, 1.3f};
  const float one[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  blit_warped(400, 300, image, wide, one);
  EXPECT_EQ(count_value(big, 7), 130 * 10);
  EXPECT_EQ(at(big, 335, 290), 7);
  EXPECT_EQ(at(big, 464, 299), 7);
  EXPECT_EQ(at(big, 334, 295), 0);
  EXPECT_EQ(at(big, 465, 295), 0);
  EXPECT_EQ(at(big, 400, 300), 0) << "the bottom edge is the row above y";
  EXPECT_EQ(at(big, 400, 289), 0);
}

TEST_F(DrawTest, WarpedCopyClipsLikeTheUnclippedDrawing) {
  // Draw once far from the edges, then at each edge, and compare the visible
  // part with the same window of the unclipped drawing.
  Bitmap* image = pattern(9, 11);
  const float h[8] = {0.7f, 0.9f, 1.1f, 1.3f, 1.3f, 1.1f, 0.9f, 0.7f};
  const float v[8] = {1.3f, 1.1f, 0.9f, 0.7f, 0.7f, 0.9f, 1.1f, 1.3f};
  Bitmap* big = make_bitmap(60, 60, 0);
  g_game.draw_target = big;
  blit_warped(30, 40, image, h, v);
  WarpTables warp;
  build_warp_tables(&warp, image, h, v);
  const int w = warp.width, ht = warp.height;
  const int left = 30 - (w >> 1), top = 40 - ht;
  for (int y = -14; y <= 20; y += 1) {
    for (int x = -8; x <= 18; x += 1) {
      fill_rect(target, 0, 0, 10, 8, 0);
      g_game.draw_target = target;
      blit_warped(x, y, image, h, v);
      int x0 = x - (w >> 1), y0 = y - ht;
      for (int ty = 0; ty < 8; ty++) {
        for (int tx = 0; tx < 10; tx++) {
          int bx = tx - x0 + left, by = ty - y0 + top;
          uint8_t want = 0;
          if (tx - x0 >= 0 && tx - x0 < w && ty - y0 >= 0 && ty - y0 < ht) want = at(big, bx, by);
          ASSERT_EQ(at(target, tx, ty), want) << "drawn at " << x << "," << y;
        }
      }
    }
  }
}

TEST_F(DrawTest, StampSegmentSkipsTheStartJointAndFollowsTheWobble) {
  Bitmap* big = make_bitmap(100, 100, 0);
  g_game.draw_target = big;
  Bitmap* dot = make_bitmap(1, 1, 16);
  g_game.figure_joints[0][0] = 0;
  g_game.figure_joints[0][1] = 0;
  g_game.figure_joints[1][0] = 10;
  g_game.figure_joints[1][1] = -20;
  g_game.figure_origin[0] = 50;
  g_game.figure_origin[1] = 50;
  g_game.wobble_scale = 1;
  stamp_segment(dot, 3, 0, 1);  // zero wave table: no wobble
  EXPECT_EQ(count_value(big, 16), 3);
  EXPECT_EQ(at(big, 50, 50), 0) << "the start joint is not stamped";
  EXPECT_EQ(at(big, 53, 43), 16);  // 50 + 10/3 and 50 - 20/3, truncated
  EXPECT_EQ(at(big, 56, 36), 16);
  EXPECT_EQ(at(big, 60, 30), 16);

  // A constant wobble of (1.5, -1.25) at scale 6 offsets the stamps by
  // trunc(9) and trunc(-7.5) = -7 (toward zero, not -8).
  for (auto& w : g_game.wave_table) {
    w[0] = 1.5f;
    w[1] = -1.25f;
  }
  fill_rect(big, 0, 0, 100, 100, 0);
  g_game.figure_origin[0] = 0;
  g_game.figure_origin[1] = 0;
  g_game.figure_joints[1][1] = 40;
  g_game.wobble_scale = 6;
  stamp_segment(dot, 3, 0, 1);
  EXPECT_EQ(at(big, 12, 6), 16);   // 9 + 3.33, -7 + 13.33
  EXPECT_EQ(at(big, 15, 19), 16);  // 9 + 6.67, -7 + 26.67
  EXPECT_EQ(at(big, 19, 33), 16);
  EXPECT_EQ(count_value(big, 16), 3);
}

TEST_F(DrawTest, FigureUsesBlobsAtScaleOneAndSpritesOtherwise) {
  Bitmap* big = make_bitmap(200, 200, 0);
  g_game.draw_target = big;
  g_game.blob = make_bitmap(2, 2, 2);
  g_game.blob2 = make_bitmap(2, 2, 3);
  g_game.sprites[22] = make_bitmap(2, 2, 4);
  g_game.sprites[21] = make_bitmap(2, 2, 5);
  for (int i = 0; i < 14; i++) {
    g_game.figure_joints[i][0] = (i % 5) * 6 - 12;
    g_game.figure_joints[i][1] = (i / 5) * 20 - 20;
  }
  draw_figure(100, 100, 1);
  EXPECT_EQ(g_game.figure_origin[0], 100);
  EXPECT_EQ(g_game.wobble_scale, 1);
  EXPECT_GT(count_value(big, 2), 0);
  EXPECT_GT(count_value(big, 3), 0);
  EXPECT_EQ(count_value(big, 4) + count_value(big, 5), 0);
  fill_rect(big, 0, 0, 200, 200, 0);
  draw_figure(100, 100, 6);
  EXPECT_EQ(g_game.wobble_scale, 6);
  EXPECT_GT(count_value(big, 4), 0);
  EXPECT_GT(count_value(big, 5), 0);
  EXPECT_EQ(count_value(big, 2) + count_value(big, 3), 0);
}

}  // namespace
