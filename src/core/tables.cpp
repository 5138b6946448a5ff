// Random tables of start-up. The noise sound's smoothing averages each sample
// with the next, still unsmoothed, one: a gentle low-pass that keeps the cues
// from sounding harsh. The wave table is a closed random loop of three
// harmonics (3, 5, 7 cycles per 256 entries).
#include "core/tables.h"

#include <stdint.h>
#include <stdlib.h>

#include "core/game_state.h"
#include "support/det_math.h"
#include "support/random.h"

int noise_sound_build(void) {
  if (!g_game.noise_sound) {
    g_game.noise_sound = (int16_t*)malloc(sizeof(int16_t) * 2 * NOISE_SOUND_FRAMES);
    if (!g_game.noise_sound) return 0;
  }
  int16_t* s = g_game.noise_sound;
  for (int i = 0; i < 2 * NOISE_SOUND_FRAMES; i++) s[i] = (int16_t)(uint16_t)(mt_next() & 0xFFFF);
  for (int j = 0; j < NOISE_SOUND_FRAMES - 1; j++) {
    for (int c = 0; c < 2; c++) {
      int sum = s[2 * j + c] + s[2 * (j + 1) + c];
      s[2 * j + c] = (int16_t)(sum >> 1);  // arithmetic: rounds toward minus infinity
    }
  }
  return 1;
}

void wave_table_build(void) {
  // 3, 5 and 7 times pi/128 as the float constants the strokes were tuned
  // with (the last two sit one unit above the nearest floats). Each angle is
  // exact in a double (a 32-bit product plus a 32-bit fraction), and the
  // sums round to the same floats as the 80-bit ones this table was made with.
  static const float FREQUENCIES[3] = {0.073631078f, 0.122718468f, 0.171805859f};
  double phases[3];
  for (int k = 0; k < 3; k++) phases[k] = random_unit();
  for (int j = 0; j < WAVE_TABLE_SIZE; j++) {
    double x = 0, y = 0;
    for (int k = 0; k < 3; k++) {
      double a = (double)j * FREQUENCIES[k] + phases[k];
      x += det_sin(a);
      y += det_cos(a);
    }
    g_game.wave_table[j][0] = (float)(0.75 * x);
    g_game.wave_table[j][1] = (float)(0.75 * y);
  }
}

float smooth_step(float t) { return t * t * 3.0f - t * (t * t) * 2.0f; }
