// The game's two random generators and its integer hash. Both generators start
// from fixed states and are never seeded from the clock, so every run draws the
// same sequence; the twister is filled from the LCG rather than from MT19937's
// own seeding recurrence.
#pragma once

#include <stdint.h>

enum {
  MT_WORDS = 624,
  MT_UNSEEDED = MT_WORDS + 1,  // index value before the first seeding
};

// Everything both generators remember; copying it saves and restores every
// future draw.
struct RandomState {
  uint32_t lcg;                 // the LCG's state
  uint32_t mt_words[MT_WORDS];  // the twister's words
  int32_t mt_index;             // 0..MT_UNSEEDED: next word; MT_WORDS: refill first
};

// The game's one pair of generators, which every draw below uses.
extern RandomState g_random;

uint32_t lcg_next(void);
uint32_t lcg_swap_seed(uint32_t seed);  // returns the previous LCG state
void mt_seed(uint32_t seed);            // leaves the LCG's own state untouched
uint32_t mt_next(void);
void mt_fill(uint32_t* out, int count);  // count draws of mt_next, in order
double random_unit(void);               // mt_next * 2^-32, in [0, 1)
uint32_t hash_u32(uint32_t x);          // stateless

// Puts both generators back to their start-of-process states (LCG 0, twister
// never seeded), so tests and replays can start from the beginning again.
void random_reset(void);
