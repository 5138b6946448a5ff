// Key-colour classes and the half-size mask, held to plain per-pixel versions
// of both. The loader skips look-ups for runs and whole blocks of one colour
// and finds the rest through a hash table; the mask is built in fixed strips.
// Room changes go through both, so any slip shows up as wrong walls or motion.
#include <gtest/gtest.h>
#include <string.h>

#include <random>
#include <vector>

#include "core/bitmap.h"
#include "core/bitmap_load.h"

namespace {

// The classifier as first written: search every key, the last match wins.
uint8_t reference_class(const uint8_t* rgba) {
  uint32_t word = (uint32_t)rgba[0] | (uint32_t)rgba[1] << 8 | (uint32_t)rgba[2] << 16;
  uint8_t cls = 0;
  for (int k = 0; k < BITMAP_CLASS_COUNT; k++)
    if (BITMAP_KEY_COLOURS[k] == word) cls = (uint8_t)k;
  return cls;
}

uint8_t reference_mask(const Bitmap* b, int x, int y, int cls) {
  for (int dy = 0; dy < 2; dy++)
    for (int dx = 0; dx < 2; dx++)
      if (b->pixels[(size_t)(2 * y + dy) * b->width + 2 * x + dx] == cls) return 255;
  return 0;
}

void put_colour(std::vector<uint8_t>* rgba, size_t i, uint32_t word, uint8_t alpha) {
  (*rgba)[4 * i] = (uint8_t)word;
  (*rgba)[4 * i + 1] = (uint8_t)(word >> 8);
  (*rgba)[4 * i + 2] = (uint8_t)(word >> 16);
  (*rgba)[4 * i + 3] = alpha;
}

// Every key colour and its one-step neighbours in each channel (which must
// stay class 0 unless they are keys themselves), plus random colours.
std::vector<uint32_t> colour_pool(std::mt19937* rng) {
  std::vector<uint32_t> pool;
  for (int k = 0; k < BITMAP_CLASS_COUNT; k++) {
    uint32_t key = BITMAP_KEY_COLOURS[k];
    pool.push_back(key);
    for (int shift = 0; shift < 24; shift += 8) {
      pool.push_back((key & ~(0xFFu << shift)) | (((key >> shift) + 1) & 0xFF) << shift);
      pool.push_back((key & ~(0xFFu << shift)) | (((key >> shift) - 1) & 0xFF) << shift);
    }
  }
  for (int i = 0; i < 200; i++) pool.push_back((*rng)() & 0xFFFFFF);
  return pool;
}

void expect_classes_match(const std::vector<uint8_t>& rgba, int w, int h, const char* what) {
  DecodedImage image = {w, h, const_cast<uint8_t*>(rgba.data())};
  Bitmap* b = bitmap_from_rgba(&image);
  ASSERT_TRUE(b) << what;
  ASSERT_EQ(b->width, w);
  ASSERT_EQ(b->height, h);
  for (size_t i = 0; i < (size_t)w * h; i++)
    ASSERT_EQ(b->pixels[i], reference_class(&rgba[4 * i])) << what << " pixel " << i;
  bitmap_free(b);
}

TEST(BitmapLoad, ClassesOfRunsAndBlocksMatchThePlainSearch) {
  std::mt19937 rng(8);
  std::vector<uint32_t> pool = colour_pool(&rng);
  // Every pool colour alone between two runs, so each is looked up once
  // after a run and starts a new run of its own.
  {
    int w = (int)pool.size() * 3;
    std::vector<uint8_t> rgba((size_t)w * 4);
    for (size_t i = 0; i < pool.size(); i++) {
      put_colour(&rgba, 3 * i, 0xFFFFFF, 255);
      put_colour(&rgba, 3 * i + 1, pool[i], 255);
      put_colour(&rgba, 3 * i + 2, 0x000000, 255);
    }
    expect_classes_match(rgba, w, 1, "isolated colours");
  }
  // Runs of every length from 1 to 40 across block edges, sizes that are no
  // multiple of the block, and alpha that changes inside a run (it must
  // neither end the run nor change the class).
  const int sizes[][2] = {{1, 1}, {15, 1}, {16, 1}, {17, 3}, {97, 53}, {800, 600}};
  for (const auto& size : sizes) {
    int w = size[0], h = size[1];
    std::vector<uint8_t> rgba((size_t)w * h * 4);
    size_t count = (size_t)w * h, i = 0;
    while (i < count) {
      uint32_t colour = pool[rng() % pool.size()];
      size_t run = 1 + rng() % 40;
      for (size_t j = 0; j < run && i < count; j++, i++) put_colour(&rgba, i, colour, (uint8_t)(rng() % 3 ? 255 : rng()));
    }
    expect_classes_match(rgba, w, h, "runs");
  }
  // Long runs that a single differing pixel breaks at each place in a block.
  {
    int w = 64, h = 40;
    std::vector<uint8_t> rgba((size_t)w * h * 4);
    for (int y = 0; y < h; y++) {
      for (int x = 0; x < w; x++) put_colour(&rgba, (size_t)y * w + x, BITMAP_KEY_COLOURS[1], 255);
      put_colour(&rgba, (size_t)y * w + y % w, BITMAP_KEY_COLOURS[2 + y % 15], 255);
    }
    expect_classes_match(rgba, w, h, "single breaks");
  }
}

TEST(BitmapLoad, HalfMaskMatchesThePlainFourPixelTest) {
  std::mt19937 rng(40);
  // Widths below, at and past the strip, odd widths and heights whose last
  // column or row has no mask pixel.
  const int sizes[][2] = {{1, 1}, {2, 2}, {3, 5}, {31, 3}, {32, 4}, {33, 17}, {60, 80}, {801, 601}};
  const int classes[] = {-1, 0, 1, 16, 255, 256};
  for (const auto& size : sizes) {
    int w = size[0], h = size[1];
    Bitmap* b = bitmap_new(w, h);
    ASSERT_TRUE(b);
    // Mostly empty with scattered walls, so masks are neither all 0 nor all 255.
    for (size_t i = 0; i < (size_t)w * h; i++) {
      uint32_t r = rng() % 32;
      b->pixels[i] = (uint8_t)(r < 24 ? 0 : r < 28 ? 1 : r < 31 ? 16 : 255);
    }
    for (int cls : classes) {
      Bitmap* mask = bitmap_half_mask(b, cls);
      ASSERT_TRUE(mask);
      ASSERT_EQ(mask->width, w / 2);
      ASSERT_EQ(mask->height, h / 2);
      for (int y = 0; y < h / 2; y++)
        for (int x = 0; x < w / 2; x++)
          ASSERT_EQ(mask->pixels[(size_t)y * mask->width + x], reference_mask(b, x, y, cls))
              << w << "x" << h << " class " << cls << " at " << x << "," << y;
      bitmap_free(mask);
    }
    bitmap_free(b);
  }
}

}  // namespace
