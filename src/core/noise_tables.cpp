// Noise bytes mix both generators (the twister's and the LCG's bits 3..10) so
// neither one's low-bit weaknesses show up as patterns on the screen; the
// Palette only ever permutes, so its white/black balance never drifts.
#include "core/noise_tables.h"

#include <stdlib.h>
#include <string.h>

#include "core/game_state.h"
#include "support/random.h"

static uint32_t g_tables_version = 0;

uint32_t noise_tables_version(void) { return g_tables_version; }

int noise_tables_build(void) {
  GameState& g = g_game;
  g_tables_version++;
  if (!g.noise_bytes) g.noise_bytes = (uint8_t*)malloc(NOISE_BYTES_SIZE + NOISE_BYTES_TAIL);
  if (!g.random_words) g.random_words = (uint32_t*)malloc(sizeof(uint32_t) * RANDOM_WORDS_COUNT);
  if (!g.noise_bytes || !g.random_words) return 0;
  for (int i = 0; i < NOISE_BYTES_SIZE; i++) {
    uint32_t m = mt_next();
    uint32_t l = lcg_next();
    g.noise_bytes[i] = (uint8_t)((m >> 3) ^ (l >> 3));
  }
  memcpy(g.noise_bytes + NOISE_BYTES_SIZE, g.noise_bytes, NOISE_BYTES_TAIL);
  for (int i = 0; i < RANDOM_WORDS_COUNT; i++) g.random_words[i] = mt_next() & 0xFFFF;
  return 1;
}

void palette_reset(void) {
  for (int i = 0; i < PALETTE_SIZE / 2; i++) g_game.palette[i] = PALETTE_WHITE_MARKED;
  for (int i = PALETTE_SIZE / 2; i < PALETTE_SIZE; i++) g_game.palette[i] = 0;
}

void palette_swap(void) {
  uint32_t a = mt_next() & 0xFF;
  uint32_t b = mt_next() & 0xFF;
  uint32_t t = g_game.palette[a];
  g_game.palette[a] = g_game.palette[b];
  g_game.palette[b] = t;
}
