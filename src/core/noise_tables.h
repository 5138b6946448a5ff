// The two random tables every frame's noise is cut from, and the Palette that
// turns a noise byte into a colour. Built once from the fixed-seed generators,
// so every run shows the same noise.
#pragma once

#include <stdint.h>

enum {
  NOISE_BYTES_SIZE = 65536,    // random bytes a row may start in
  NOISE_BYTES_TAIL = 2048,     // copy of the first bytes: rows up to this wide need no wrap
  RANDOM_WORDS_COUNT = 32768,  // entries 0..65535; indexes are masked with 0x7FFF
  PALETTE_SIZE = 256,
};
static_assert(RANDOM_WORDS_COUNT == 0x8000, "row keys are masked with 0x7FFF");

// A Palette entry with this top byte is "marked"; the marked half keeps its
// mark through any number of swaps.
constexpr uint32_t PALETTE_MARKED = 0xFF000000u;
constexpr uint32_t PALETTE_WHITE_MARKED = 0xFFFFFFFFu;

// Fills g_game.noise_bytes then g_game.random_words (allocating them the first
// time). Draws 65536 pairs (mt_next, lcg_next) then 32768 mt_next. Returns 1,
// or 0 when the tables cannot be allocated.
int noise_tables_build(void);

// Counts the builds of the tables, so caches derived from them (the
// renderer's coloured copy) know when to start over.
uint32_t noise_tables_version(void);

// Entries 0..127 white and marked, 128..255 black.
void palette_reset(void);

// Exchanges two entries picked by two mt_next draws (their low bytes).
void palette_swap(void);
