// The start-up random tables besides the noise tables: the noise sound of the
// cues and the wave table of the wobbling strokes. Both draw from the shared
// twister right after noise_tables_build, so their order of draws is fixed.
#pragma once

enum {
  NOISE_SOUND_FRAMES = 60000,  // stereo frames of 16-bit samples
  WAVE_TABLE_SIZE = 256,
};

// Fills g_game.noise_sound (allocated the first time): 60000 x 2 draws of
// mt_next's low 16 bits, then smoothed with each frame's successor.
// Returns 0 when the buffer cannot be allocated.
int noise_sound_build(void);

// Fills g_game.wave_table from three random_unit phases.
void wave_table_build(void);

// 3t^2 - 2t^3, in this exact float evaluation order.
float smooth_step(float t);
