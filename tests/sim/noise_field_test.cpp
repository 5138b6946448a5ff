// Noise field renderer: each class must move exactly as players learn to read
// it. With an identity Palette every output pixel is its noise byte, so the
// tests compare pictures between frames as shifted copies of each other.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
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

// ---------------------------------------------------------------------------
// The renderer against a plain one written straight from the row formulas:
// every pixel looked up on its own, no derived tables, no vector code. Any
// shortcut in the real renderer (coloured or two-colour tables patched between
// frames, chunks of one class, overlapping vector stores) must give the same
// pixels, the same number of random draws and the same layer_rows.

namespace reference {

uint32_t row_start(uint32_t a, uint32_t b) { return (a + g_game.random_words[b & 0x7FFF]) & 0xFFFF; }

int32_t floor_mod(int32_t t, int32_t n) { return ((t % n) + n) % n; }

struct Result {
  uint32_t last_starts[17];
  int rows;
};

// Writes the area both images cover, as render_noise_field documents.
Result render(OutputImage* image, const Bitmap* scene) {
  const GameState& g = g_game;
  Result r = {};
  int rows = std::min(scene->height, image->height);
  int cols = std::min(std::min(scene->width, image->width), (int)NOISE_BYTES_TAIL);
  r.rows = rows;
  int32_t t = g.frame_counter;
  uint32_t ut = (uint32_t)t;
  uint32_t speed = (g.room_number >= 31 ? ut * 2 : ut) & 0x3FFFFFF;
  uint32_t jitter = 0;
  if (g.fade_level < 600) {
    double x = std::clamp(g.fade_level * 0.0025 - 0.65, 0.0, 1.0);
    int32_t e = (int32_t)(t / (x * 20 + 1));
    jitter = hash_u32((uint32_t)(e / 6) + g.random_words[e & 0x7FFF]) & 0x7FFF;
  }
  const uint32_t shiver[6] = {0, 1, 2, 3, 2, 1};
  uint32_t t6 = (uint32_t)(t / 6), t3 = (uint32_t)(t / 3);
  uint32_t jump14 = hash_u32(g.random_words[hash_u32(t6) & 0x7FFF] + t6) & 0x7FFF;
  uint32_t a13 = jitter + shiver[floor_mod(t, 6)] + 400;
  uint32_t a14 = jitter + jump14;
  uint32_t a15 = jitter + t3 * 77;
  uint32_t b15 = t3 * 43 + 400;
  uint32_t a12 = (uint32_t)floor_mod(t, 4) * 23 + 800;
  uint32_t b12 = (uint32_t)floor_mod(t, 4) * 98 + 555;
  const int32_t dx[8] = {0, -12, -16, -12, 0, 12, 16, 12};
  const int32_t dy[8] = {16, 12, 0, -12, -16, -12, 0, 12};
  for (int j = 0; j < rows; j++) {
    uint32_t s[17];
    uint32_t uj = (uint32_t)j;
    s[0] = row_start((uint32_t)(t >> 2), uj - ut);
    s[1] = g.room_number >= 38 ? row_start(200, uj + (uint32_t)(t >> 2)) : row_start(jitter + 200, uj);
    s[13] = row_start(a13, uj + 200);
    s[14] = row_start(a14, uj + 400);
    s[16] = row_start(mt_next(), 0);
    s[15] = row_start(a15, uj + b15);
    s[12] = row_start(a12, uj + b12);
    for (int h = 0; h < 8; h++) {
      uint32_t a = (uint32_t)(h * 800 + ((dx[h] * (int32_t)speed) >> 4) + 1);
      uint32_t b = (uint32_t)(h * 433 + ((dy[h] * (int32_t)speed) >> 4) + 600);
      s[2 + h] = row_start(a, b + uj);
    }
    s[11] = row_start(j & 1 ? ut + jitter : jitter - ut, uj + 600);
    s[10] = j & 1 ? row_start(333, uj + ut + 2000) : row_start(733, uj - ut + 2000);
    for (int k = 0; k < cols; k++) {
      uint8_t cls = scene->pixels[(size_t)j * scene->width + k];
      uint32_t* out = &image->pixels[(size_t)j * image->width + k];
      if (g.debug_view) {
        uint32_t key = cls < 17 ? BITMAP_KEY_COLOURS[cls] : 0;
        *out = (key & 0xFF) << 16 | (key & 0xFF00) | (key >> 16 & 0xFF);
      } else {
        // A byte that is no class reads the row at the start of the table.
        *out = g.palette[g.noise_bytes[(cls < 17 ? s[cls] : 0) + k]];
      }
    }
    memcpy(r.last_starts, s, sizeof(s));
  }
  return r;
}

}  // namespace reference

// Room-like scene: class 0 and 1 areas, stream patches, thin lines, single
// pixels, a few bytes that are no class, and runs of every length.
Bitmap* make_reference_scene(int w, int h, uint32_t seed) {
  Bitmap* scene = bitmap_new(w, h);
  if (!scene) return nullptr;
  for (int j = 0; j < h; j++) {
    int k = 0;
    while (k < w) {
      seed = seed * 1103515245u + 12345u;
      int len = (seed >> 16) % 3 == 0 ? 1 + (seed >> 8) % 5 : 1 + (seed >> 4) % 200;
      uint8_t cls = (uint8_t)((seed >> 24) % 17);
      if ((seed >> 10) % 97 == 0) cls = (uint8_t)(17 + (seed >> 3) % 239);
      if (j > h * 3 / 4) cls = 1;  // a floor several rows deep
      for (int i = k; i < k + len && i < w; i++) scene->pixels[(size_t)j * w + i] = cls;
      k += len;
    }
  }
  return scene;
}

// The Palettes the game makes, and some it never does.
enum PaletteKind { SHUFFLED, TITLE_FADE, ROOM_39, ONE_COLOUR, MANY_COLOURS, RESET };

void make_palette(PaletteKind kind, int step) {
  uint32_t* p = g_game.palette;
  switch (kind) {
    case SHUFFLED: for (int i = 0; i < 1 + step % 3; i++) palette_swap(); break;
    case TITLE_FADE:
      for (int i = 0; i < 256; i++) p[i] = i < 128 ? 0xFF000000u + (uint32_t)(step * 7 % 256) * 0x010101u : 0;
      break;
    case ROOM_39:
      for (int i = 0; i < 256; i++) {
        uint32_t a = (uint32_t)(255 - step * 11 % 96), b = (uint32_t)(step * 13 % 161);
        p[i] = (p[i] & 0xFF000000u) == 0xFF000000u ? 0xFF000000u + a * 0x010101u : b * 0x010101u;
      }
      break;
    case ONE_COLOUR: for (int i = 0; i < 256; i++) p[i] = 0x00123456u + (uint32_t)step; break;
    case MANY_COLOURS: for (int i = 0; i < 256; i++) p[i] = hash_u32((uint32_t)(i + step * 256)); break;
    case RESET: palette_reset(); break;
  }
}

class NoiseFieldReference : public NoiseField {
 protected:
  // Renders the current frame both ways from the same generator position and
  // compares everything the renderer leaves behind.
  void expect_same_frame(const Bitmap* scene, OutputImage* image, const char* what) {
    std::vector<uint32_t> fast_px(image->pixels, image->pixels + (size_t)image->width * image->height);
    random_reset();
    for (int i = 0; i < g_game.frame_counter % 7; i++) mt_next();
    render_noise_field(image, scene);
    uint32_t fast_next = mt_next();
    std::vector<uint32_t> fast(image->pixels, image->pixels + (size_t)image->width * image->height);
    const uint8_t* fast_rows[17];
    memcpy(fast_rows, g_game.layer_rows, sizeof(fast_rows));

    std::copy(fast_px.begin(), fast_px.end(), image->pixels);
    random_reset();
    for (int i = 0; i < g_game.frame_counter % 7; i++) mt_next();
    reference::Result r = reference::render(image, scene);
    uint32_t slow_next = mt_next();
    ASSERT_EQ(fast_next, slow_next) << what << ": random draws out of step";
    for (int c = 0; c < 17; c++)
      ASSERT_EQ(fast_rows[c], g_game.noise_bytes + r.last_starts[c]) << what << ": layer_rows[" << c << "]";
    // Outside the scene both must have left the picture as it was.
    for (int j = 0; j < image->height; j++)
      for (int k = 0; k < image->width; k++) {
        size_t i = (size_t)j * image->width + k;
        int cls = j < scene->height && k < scene->width ? scene->pixels[(size_t)j * scene->width + k] : -1;
        ASSERT_EQ(fast[i], image->pixels[i]) << what << ": pixel " << k << "," << j << " class " << cls;
      }
  }

  void compare_levels(const Bitmap* wide, const Bitmap* odd) {
    std::vector<int> levels;
    for (int level = NOISE_VECTOR_NONE; level <= NOISE_VECTOR_AVX2; level++)
      if (noise_field_limit_vector(level) == level) levels.push_back(level);
    ASSERT_FALSE(levels.empty());
    palette_reset();
    const PaletteKind kinds[] = {SHUFFLED, SHUFFLED, ROOM_39, TITLE_FADE, SHUFFLED, MANY_COLOURS,
                                 SHUFFLED, ONE_COLOUR, SHUFFLED, RESET};
    int step = 0;
    for (int level : levels) {
      ASSERT_EQ(noise_field_limit_vector(level), level);
      std::string name = "level " + std::to_string(level);
      // Rooms 1-40 in play, a few frames each, the Palette changing between
      // them the ways the frame driver changes it (and some it never does).
      g_game.fade_level = 5000;
      for (int room = 1; room <= 40; room++) {
        g_game.room_number = room;
        for (int f = 0; f < 3; f++, step++) {
          g_game.frame_counter = room * 997 + f * (room >= 38 ? 17 : 1);
          make_palette(kinds[step % 10], step);
          const Bitmap* scene = (step & 1) ? odd : wide;
          ASSERT_NO_FATAL_FAILURE(expect_same_frame(scene, image_, (name + " room " + std::to_string(room)).c_str()));
        }
      }
      // The title: the jitter shakes at every stage of the fade, including a
      // frame counter past the word table and a wrapped negative one.
      g_game.room_number = 1;
      for (int32_t fade : {0, 120, 254, 300, 420, 599, 600}) {
        for (int32_t t : {0, 1, 5, 6, 700, 40000, -13}) {
          g_game.fade_level = fade;
          g_game.frame_counter = t;
          make_palette(fade < 255 ? TITLE_FADE : SHUFFLED, step++);
          std::string what = name + " title fade " + std::to_string(fade);
          ASSERT_NO_FATAL_FAILURE(expect_same_frame(wide, image_, what.c_str()));
        }
      }
      // The debug view, whatever the Palette.
      g_game.fade_level = 5000;
      g_game.debug_view = 1;
      for (int room : {1, 31, 40}) {
        g_game.room_number = room;
        g_game.frame_counter = room;
        make_palette(MANY_COLOURS, step++);
        ASSERT_NO_FATAL_FAILURE(expect_same_frame(odd, image_, (name + " debug view").c_str()));
      }
      g_game.debug_view = 0;
    }
  }
};

TEST_F(NoiseFieldReference, EveryRoomTitleAndDebugViewMatchThePlainRenderer) {
  Bitmap* wide = make_reference_scene(W, H, 99);
  Bitmap* odd = make_reference_scene(797, 451, 7);  // odd width: row ends inside a vector chunk
  ASSERT_TRUE(wide && odd);
  compare_levels(wide, odd);
  g_game.debug_view = 0;
  noise_field_limit_vector(NOISE_VECTOR_AVX2);
  bitmap_free(wide);
  bitmap_free(odd);
}

}  // namespace
