// LCG with a scrambled output and an MT19937 whose 624 words come from that
// LCG. One state record without locks: only the main thread draws.
#include "support/random.h"

static const int MT_SHIFT = 397;

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

// One twist step. The odd-word constant is applied by a mask, not a branch:
// half the words are odd at random, and a mispredicted branch per word made
// the refill the costliest part of a frame's 600 draws.
static inline uint32_t mt_twist(uint32_t word, uint32_t next, uint32_t far) {
  uint32_t y = (word & 0x80000000u) | (next & 0x7FFFFFFFu);
  return far ^ (y >> 1) ^ ((0u - (y & 1u)) & 0x9908B0DFu);
}

// The indices i + 1 and i + MT_SHIFT wrap at MT_WORDS; the loops are split
// where they do, so no step needs a remainder.
static void mt_regenerate(void) {
  uint32_t* w = g_random.mt_words;
  int i = 0;
  for (; i < MT_WORDS - MT_SHIFT; i++) w[i] = mt_twist(w[i], w[i + 1], w[i + MT_SHIFT]);
  for (; i < MT_WORDS - 1; i++) w[i] = mt_twist(w[i], w[i + 1], w[i + MT_SHIFT - MT_WORDS]);
  w[i] = mt_twist(w[i], w[0], w[i + MT_SHIFT - MT_WORDS]);
  g_random.mt_index = 0;
}

static inline uint32_t mt_temper(uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

static void mt_refill_if_spent(void) {
  if (g_random.mt_index < MT_WORDS) return;
  if (g_random.mt_index > MT_WORDS) mt_seed(0);
  mt_regenerate();
}

uint32_t mt_next(void) {
  mt_refill_if_spent();
  return mt_temper(g_random.mt_words[g_random.mt_index++]);
}

void mt_fill(uint32_t* out, int count) {
  while (count > 0) {
    mt_refill_if_spent();
    int n = MT_WORDS - g_random.mt_index;
    if (n > count) n = count;
    const uint32_t* words = g_random.mt_words + g_random.mt_index;
    for (int i = 0; i < n; i++) out[i] = mt_temper(words[i]);
    g_random.mt_index += n;
    out += n;
    count -= n;
  }
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
