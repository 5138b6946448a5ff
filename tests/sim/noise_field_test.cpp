// Noise field renderer: each class must move exactly as players learn to read
// it. With an identity Palette every output pixel is its noise byte, so the
// tests compare pictures between frames as shifted copies of each other.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "core/game_state.h"
#include "core/noise_tables.h"
#include "sim/noise_field.h"
#include "support/random.h"

namespace {

const int W = 800;
const int H = 600;

struct Picture {
  std::vector<uint32_t> px;
  uint32_t at(int j, int k) const { return px[(size_t)j * W + k]; }
};

class NoiseField : public ::testing::Test {
 protected:
  void SetUp() override {
    random_reset();
    ASSERT_EQ(noise_tables_build(), 1);
    for (int i = 0; i < 256; i++) g_game.palette[i] = (uint32_t)i;
    scene_ = bitmap_new(W, H);
    image_ = output_image_new(W, H);
    ASSERT_TRUE(scene_ && image_);
    g_game.debug_view = 0;
    g_game.fade_level = 5000;
    g_game.room_number = 5;
  }
  void TearDown() override {
    bitmap_free(scene_);
    output_image_free(image_);
  }
  void fill(int cls) { memset(scene_->pixels, cls, (size_t)W * H); }
  Picture render(int32_t t) {
    g_game.frame_counter = t;
    render_noise_field(image_, scene_);
    return Picture{std::vector<uint32_t>(image_->pixels, image_->pixels + (size_t)W * H)};
  }
  // True when `later` is `earlier` with its content moved by (dx, dy) pixels,
  // over the area both cover (rows limited to [row0, row1) of `later`).
  static bool shifted(const Picture& earlier, const Picture& later, int dx, int dy, int row0 = 0,
                      int row1 = H, int row_step = 1) {
    long compared = 0;
    for (int j = row0; j < row1; j += row_step) {
      int sj = j - dy;
      if (sj < 0 || sj >= H) continue;
      for (int k = 0; k < W; k++) {
        int sk = k - dx;
        if (sk < 0 || sk >= W) continue;
        if (later.at(j, k) != earlier.at(sj, sk)) return false;
        compared++;
      }
    }
    return compared > 10000;
  }
  static double same_fraction(const Picture& a, const Picture& b) {
    long same = 0;
    for (size_t i = 0; i < a.px.size(); i++) same += a.px[i] == b.px[i];
    return (double)same / (double)a.px.size();
  }
  Bitmap* scene_ = nullptr;
  OutputImage* image_ = nullptr;
};

TEST_F(NoiseField, BackgroundFallsOneRowPerFrameAndDriftsLeft) {
  fill(0);
  int drifts = 0;
  for (int32_t t = 100; t < 112; t++) {
    Picture before = render(t - 2);
    Picture now = render(t);
    int dx = -((t >> 2) - ((t - 2) >> 2));  // 0 or -1 pixel: a quarter pixel per frame
    drifts += dx != 0;
    EXPECT_TRUE(shifted(before, now, dx, 2)) << "frame " << t;
    EXPECT_FALSE(shifted(before, now, dx, 0)) << "frame " << t;
  }
  EXPECT_GT(drifts, 0);
}

TEST_F(NoiseField, SolidStaysWhileThePaletteShuffles) {
  fill(1);
  // A Palette of distinct colours, shuffled every frame: the colours change
  // but each pixel's noise byte (recovered through the inverse) must not.
  for (int i = 0; i < 256; i++) g_game.palette[i] = 0x00ABCD00u + (uint32_t)i * 7919u;
  std::vector<uint8_t> first;
  bool colours_changed = false;
  std::vector<uint32_t> first_colours;
  for (int32_t t = 50; t < 60; t++) {
    for (int s = 0; s < 20; s++) palette_swap();
    Picture p = render(t);
    std::vector<uint8_t> bytes(p.px.size());
    for (size_t i = 0; i < p.px.size(); i++) {
      int n = 0;
      while (g_game.palette[n] != p.px[i]) n++;
      bytes[i] = (uint8_t)n;
    }
    if (first.empty()) {
      first = bytes;
      first_colours = p.px;
    } else {
      ASSERT_EQ(bytes, first) << "frame " << t;
      colours_changed |= p.px != first_colours;
    }
  }
  EXPECT_TRUE(colours_changed);
}

TEST_F(NoiseField, SolidRisesEveryFourthFrameFromRoom38) {
  fill(1);
  g_game.room_number = 38;
  Picture a = render(40);
  Picture b = render(43);
  Picture c = render(44);
  EXPECT_EQ(a.px, b.px);
  EXPECT_TRUE(shifted(a, c, 0, -1));
}

TEST_F(NoiseField, TitleJitterShakesUntilFade600) {
  fill(1);
  g_game.fade_level = 0;
  Picture a = render(10);
  Picture b = render(11);
  EXPECT_LT(same_fraction(a, b), 0.05);
  g_game.fade_level = 600;
  Picture c = render(10);
  Picture d = render(11);
  EXPECT_EQ(c.px, d.px);
}

TEST_F(NoiseField, JitterLookupStaysInsideTheTableForAnyFrame) {
  // frame_counter far beyond random_words (a long-idle title screen) and a
  // wrapped negative one must neither crash nor leave the picture unwritten.
  fill(13);
  g_game.fade_level = 0;
  for (int32_t t : {40000, 2000000000, -7, INT32_MIN}) {
    memset(image_->pixels, 0xEE, (size_t)W * H * 4);
    Picture p = render(t);
    for (uint32_t v : p.px) ASSERT_LT(v, 256u) << t;
  }
}

TEST_F(NoiseField, BoilingClassSharesNothingBetweenFrames) {
  fill(16);
  Picture a = render(200);
  Picture b = render(201);
  EXPECT_LT(same_fraction(a, b), 0.02);
  // Nor is it a moved copy: no small shift of the last frame explains it.
  for (int dy = -2; dy <= 2; dy++)
    for (int dx = -3; dx <= 3; dx++) EXPECT_FALSE(shifted(a, b, dx, dy)) << dx << "," << dy;
  // Within one frame the rows are unrelated too (one fresh offset per row).
  EXPECT_FALSE(shifted(a, a, 0, 1));
}

struct Stream {
  int cls;
  int dx16, dy16;  // content motion in pixels per 16 frames
};
// Up, up-right, right, down-right, down, down-left, left, up-left.
const Stream STREAMS[8] = {{2, 0, -16}, {3, 12, -12}, {4, 16, 0},  {5, 12, 12},
                           {6, 0, 16},  {7, -12, 12}, {8, -16, 0}, {9, -12, -12}};

TEST_F(NoiseField, StreamsMoveInTheirEightDirections) {
  g_game.room_number = 30;  // the last room at normal speed
  for (const Stream& s : STREAMS) {
    fill(s.cls);
    Picture a = render(160);
    Picture b = render(176);
    EXPECT_TRUE(shifted(a, b, s.dx16, s.dy16)) << "class " << s.cls;
    // One frame moves 12/16 or 1 pixel on each axis; the fractional part
    // rounds, so one step is 0 or 1 pixel in the stated direction.
    Picture c = render(161);
    bool one_step = false;
    for (int ox = 0; ox <= 1 && !one_step; ox++)
      for (int oy = 0; oy <= 1 && !one_step; oy++)
        one_step = shifted(a, c, s.dx16 > 0 ? ox : s.dx16 < 0 ? -ox : 0,
                           s.dy16 > 0 ? oy : s.dy16 < 0 ? -oy : 0);
    EXPECT_TRUE(one_step) << "class " << s.cls;
  }
}

TEST_F(NoiseField, StreamsRunTwiceAsFastFromRoom31) {
  g_game.room_number = 31;
  for (const Stream& s : STREAMS) {
    fill(s.cls);
    Picture a = render(160);
    Picture b = render(176);
    EXPECT_TRUE(shifted(a, b, 2 * s.dx16, 2 * s.dy16)) << "class " << s.cls;
    EXPECT_FALSE(shifted(a, b, s.dx16, s.dy16)) << "class " << s.cls;
  }
}

TEST_F(NoiseField, OtherClassesIgnoreRoom31) {
  // Classes 0, 1, 10..16 in stripes; room 30 and room 31 must render the same
  // picture from the same generator state.
  const int classes[] = {0, 1, 10, 11, 12, 13, 14, 15, 16};
  for (int j = 0; j < H; j++) memset(scene_->pixels + (size_t)j * W, classes[j / 67 % 9], W);
  g_game.room_number = 30;
  random_reset();
  Picture a = render(333);
  g_game.room_number = 31;
  random_reset();
  Picture b = render(333);
  EXPECT_EQ(a.px, b.px);
}

TEST_F(NoiseField, InterlacedClasses) {
  fill(10);
  Picture a = render(70);
  Picture b = render(72);
  // Odd rows rise, even rows fall, one row per frame.
  EXPECT_TRUE(shifted(a, b, 0, -2, 1, H, 2));
  EXPECT_TRUE(shifted(a, b, 0, 2, 0, H, 2));
  EXPECT_FALSE(shifted(a, b, 0, 2, 1, H, 2));
  fill(11);
  a = render(70);
  b = render(71);
  // Odd rows slide left, even rows slide right, one pixel per frame.
  EXPECT_TRUE(shifted(a, b, -1, 0, 1, H, 2));
  EXPECT_TRUE(shifted(a, b, 1, 0, 0, H, 2));
  EXPECT_FALSE(shifted(a, b, 1, 0, 1, H, 2));
}

TEST_F(NoiseField, LoopShiverAndJumps) {
  fill(12);  // four fixed states
  Picture s0 = render(80), s1 = render(81), s4 = render(84);
  EXPECT_EQ(s0.px, s4.px);
  EXPECT_LT(same_fraction(s0, s1), 0.05);

  fill(13);  // shiver 0,1,2,3,2,1 pixels to the left, period 6
  Picture h0 = render(60), h3 = render(63), h6 = render(66);
  EXPECT_EQ(h0.px, h6.px);
  EXPECT_TRUE(shifted(h0, h3, -3, 0));

  fill(14);  // holds for 6 frames, then somewhere new
  Picture j0 = render(60), j5 = render(65), j6 = render(66);
  EXPECT_EQ(j0.px, j5.px);
  EXPECT_LT(same_fraction(j0, j6), 0.05);

  fill(15);  // holds for 3 frames, then jumps 77 left and 43 up
  Picture d0 = render(30), d2 = render(32), d3 = render(33);
  EXPECT_EQ(d0.px, d2.px);
  EXPECT_TRUE(shifted(d0, d3, -77, -43));
}

TEST_F(NoiseField, ColoursFollowEveryKindOfPaletteChange) {
  // The renderer keeps the noise table coloured between frames and patches
  // only what a swap changed. Whatever the change (none, one swap, a few
  // entries, a fade-sized rewrite, a table rebuild) a frame must equal the
  // same frame rendered from scratch. Class 16 is left out: it draws fresh
  // randomness and could not be rendered twice alike.
  for (int j = 0; j < H; j++)
    for (int k = 0; k < W; k++) scene_->pixels[(size_t)j * W + k] = (uint8_t)((j / 40 * 3 + k / 56) % 16);
  palette_reset();
  for (int step = 0; step < 40; step++) {
    switch (step % 5) {
      case 0: palette_swap(); break;
      case 1: break;
      case 2: for (int i = 0; i < 3; i++) g_game.palette[(step * 37 + i * 91) & 0xFF] ^= 0x00FF00FFu; break;
      case 3: for (int i = 0; i < 128; i++) g_game.palette[i] = 0x010101u * (uint32_t)(step + i); break;
      case 4: palette_swap(); palette_swap(); break;
    }
    if (step == 17) {
      // A rebuild from another generator position gives other tables at the
      // same address; a stale coloured copy would show.
      random_reset();
      for (int i = 0; i < 5; i++) mt_next();
      ASSERT_EQ(noise_tables_build(), 1);
    }
    Picture patched = render(1000 + step);
    uint32_t saved[256];
    memcpy(saved, g_game.palette, sizeof(saved));
    for (int i = 0; i < 256; i++) g_game.palette[i] = ~saved[i];
    render(1000 + step);  // every entry changed: forces a complete recolouring
    memcpy(g_game.palette, saved, sizeof(saved));
    Picture fresh = render(1000 + step);
    ASSERT_EQ(patched.px, fresh.px) << "step " << step;
  }
}

TEST_F(NoiseField, MixedSceneIsEachClassPictureCutTogether) {
  // Each pixel depends only on its class, row, column and frame: a scene of
  // random runs (single pixels up to whole rows, odd width) must equal the
  // single-class pictures cut together. Catches run-splitting faults at any
  // run length or row end.
  const int w = 797;
  Bitmap* mixed = bitmap_new(w, H);
  Bitmap* single = bitmap_new(w, H);
  ASSERT_TRUE(mixed && single);
  uint32_t seed = 12345;
  for (int j = 0; j < H; j++) {
    int k = 0;
    while (k < w) {
      seed = seed * 1103515245u + 12345u;
      int len = (seed >> 16) % 4 == 0 ? 1 + (seed >> 8) % 3 : 1 + (seed >> 4) % 120;
      if ((seed >> 20) % 50 == 0) len = w;
      uint8_t cls = (uint8_t)((seed >> 24) % 17);
      for (int i = k; i < k + len && i < w; i++) mixed->pixels[(size_t)j * w + i] = cls;
      k += len;
    }
  }
  std::vector<std::vector<uint32_t>> pictures;
  for (int cls = 0; cls < 17; cls++) {
    memset(single->pixels, cls, (size_t)w * H);
    random_reset();
    g_game.frame_counter = 77;
    render_noise_field(image_, single);
    pictures.emplace_back(image_->pixels, image_->pixels + (size_t)W * H);
  }
  memset(image_->pixels, 0xEE, (size_t)W * H * 4);  // nothing left over from the last render
  random_reset();
  render_noise_field(image_, mixed);
  for (int j = 0; j < H; j++)
    for (int k = 0; k < w; k++) {
      uint8_t cls = mixed->pixels[(size_t)j * w + k];
      ASSERT_EQ(image_->pixels[(size_t)j * W + k], pictures[cls][(size_t)j * W + k])
          << j << "," << k << " class " << (int)cls;
    }
  bitmap_free(mixed);
  bitmap_free(single);
}

TEST_F(NoiseField, DebugViewShowsTrueKeyColours) {
  for (int j = 0; j < H; j++)
    for (int k = 0; k < W; k++) scene_->pixels[(size_t)j * W + k] = (uint8_t)((j / 8 + k / 8) % 17);
  scene_->pixels[5] = 200;  // not a class: must not read outside any table
  g_game.debug_view = 1;
  for (int i = 0; i < 256; i++) g_game.palette[i] = 0x123456;
  Picture p = render(9);
  // Expected 0xXXRRGGBB values written from the painting colours' R, G, B.
  const uint32_t rgb[17] = {0xFFFFFF, 0x000000, 0xFF5E00, 0xFFB700, 0xAEFF00, 0x03FFA2,
                            0x00E1FF, 0x2B59FF, 0x9831FE, 0xEA00FF, 0xD46868, 0xB168D4,
                            0x999999, 0xC4C4C4, 0xFF8AE6, 0xF7EF00, 0x1200DB};
  for (int j = 0; j < H; j += 3)
    for (int k = 0; k < W; k += 5) {
      if (j == 0 && k == 5) continue;
      ASSERT_EQ(p.at(j, k) & 0xFFFFFF, rgb[(j / 8 + k / 8) % 17]) << j << "," << k;
    }
  // Blue in the lowest byte in memory: class 16 (18, 0, 219) stores DB 00 12.
  uint32_t v = rgb[16];
  uint8_t bytes[4];
  memcpy(bytes, &v, 4);
  EXPECT_EQ(bytes[0], 0xDB);
  g_game.debug_view = 0;
}

TEST_F(NoiseField, SmallerOutputAndDrawCount) {
  // The renderer never writes past a smaller OutputImage and draws exactly one
  // twister value per rendered row, keeping every later draw in step.
  fill(0);
  std::vector<uint32_t> block(300 * 200 + 64, 0xDEADBEEF);
  OutputImage small = {300, 200, block.data()};
  random_reset();
  render_noise_field(&small, scene_);
  for (size_t i = 300 * 200; i < block.size(); i++) ASSERT_EQ(block[i], 0xDEADBEEFu);
  for (size_t i = 0; i < 300 * 200; i++) ASSERT_LT(block[i], 256u);
  uint32_t next = mt_next();
  random_reset();
  for (int i = 0; i < 200; i++) mt_next();
  EXPECT_EQ(mt_next(), next);
}

}  // namespace
