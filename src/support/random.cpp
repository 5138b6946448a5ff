// LCG with a scrambled output and an MT19937 whose 624 words come from that
// LCG. One state record without locks: only the main thread draws.
#include "support/random.h"

enum {
  MT_SHIFT = 397,
};

RandomState g_random = {0, {}, MT_UNSEEDED};

uint32_t lcg_next(void) {
  g_random.lcg = g_random.lcg * 2147001325u + 715136305u;
  return (g_random.lcg << 16 | g_random.lcg >> 16) ^ 0x31415926u;
}

uint32_t lcg_swap_seed(uint32_t seed) {
  uint32_t previous = g_random.lcg;
  g_random.lcg = seed;
  return previous;
}

void mt_seed(uint32_t seed) {
  uint32_t saved = lcg_swap_seed(seed);
  for (int i = 0; i < MT_WORDS; i++) g_random.mt_words[i] = lcg_next();
  lcg_swap_seed(saved);
  g_random.mt_index = MT_WORDS;
}

static void mt_regenerate(void) {
  for (int i = 0; i < MT_WORDS; i++) {
    uint32_t y = (g_random.mt_words[i] & 0x80000000u) | (g_random.mt_words[(i + 1) % MT_WORDS] & 0x7FFFFFFFu);
    uint32_t v = g_random.mt_words[(i + MT_SHIFT) % MT_WORDS] ^ (y >> 1);
    if (y & 1) v ^= 0x9908B0DFu;
    g_random.mt_words[i] = v;
  }
  g_random.mt_index = 0;
}

uint32_t mt_next(void) {
  if (g_random.mt_index >= MT_WORDS) {
    if (g_random.mt_index > MT_WORDS) mt_seed(0);
    mt_regenerate();
  }
  uint32_t y = g_random.mt_words[g_random.mt_index++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

double random_unit(void) { return mt_next() * (1.0 / 4294967296.0); }

uint32_t hash_u32(uint32_t x) {
  uint32_t a = x + (x >> 19) + (x >> 6);
  a *= 65537u;
  a ^= a << 3;
  a += a >> 5;
  a ^= a << 2;
  a += a >> 15;
  a ^= a << 10;
  return a + (a >> 19) + (a >> 6);
}

void random_reset(void) {
  g_random.lcg = 0;
  g_random.mt_index = MT_UNSEEDED;
}
