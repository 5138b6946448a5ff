// Noise tables and Palette: the run-to-run identity every replay depends on,
// and the Palette invariants the room-39 effect relies on.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "core/game_state.h"
#include "core/noise_tables.h"
#include "support/random.h"

namespace {

std::vector<uint8_t> build_bytes() {
  random_reset();
  EXPECT_EQ(noise_tables_build(), 1);
  return std::vector<uint8_t>(g_game.noise_bytes, g_game.noise_bytes + NOISE_BYTES_SIZE + NOISE_BYTES_TAIL);
}

TEST(NoiseTables, IdenticalOnEveryBuildAndWordsInRange) {
  std::vector<uint8_t> first = build_bytes();
  std::vector<uint32_t> words(g_game.random_words, g_game.random_words + RANDOM_WORDS_COUNT);
  std::vector<uint8_t> second = build_bytes();
  EXPECT_EQ(first, second);
  EXPECT_EQ(memcmp(words.data(), g_game.random_words, sizeof(uint32_t) * RANDOM_WORDS_COUNT), 0);
  uint32_t highest = 0;
  for (uint32_t w : words) {
    ASSERT_LE(w, 0xFFFFu);
    if (w > highest) highest = w;
  }
  EXPECT_GT(highest, 0xFF00u);  // the whole 16-bit range is used
  // The bytes look random: every value occurs, none dominates.
  std::vector<int> histogram(256);
  for (int i = 0; i < NOISE_BYTES_SIZE; i++) histogram[first[i]]++;
  for (int v = 0; v < 256; v++) {
    EXPECT_GT(histogram[v], 160) << v;
    EXPECT_LT(histogram[v], 360) << v;
  }
}

int count_of(uint32_t colour) {
  int n = 0;
  for (uint32_t c : g_game.palette) n += c == colour;
  return n;
}

TEST(Palette, ResetAndManySwapsKeep128Marked128Black) {
  random_reset();
  palette_reset();
  for (int i = 0; i < 256; i++) EXPECT_EQ(g_game.palette[i], i < 128 ? 0xFFFFFFFFu : 0u);
  bool moved = false;
  for (int i = 0; i < 100000; i++) {
    palette_swap();
    if (i % 1000 == 0) {
      ASSERT_EQ(count_of(0xFFFFFFFFu), 128);
      ASSERT_EQ(count_of(0u), 128);
    }
    if (g_game.palette[255] == 0xFFFFFFFFu) moved = true;
  }
  EXPECT_EQ(count_of(0xFFFFFFFFu), 128);
  EXPECT_EQ(count_of(0u), 128);
  EXPECT_TRUE(moved);  // the shuffle really mixes the halves
}

}  // namespace
