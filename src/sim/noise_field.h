// The noise field renderer: turns a scene Bitmap of classes 0..16 into the
// OutputImage. Each class reads its row of noise bytes from its own moving
// place in the noise table, so regions are seen only through their motion.
#pragma once

#include <stdint.h>

#include "core/bitmap.h"

// Writes every pixel of the area both images cover (rows up to the smaller
// height, columns up to the smaller width and at most NOISE_BYTES_TAIL), with
// the OutputImage's width as row stride. Draws one mt_next per scene row.
// The working copies it keeps (NoiseFieldCache) are derived from the noise
// table and the Palette and rebuilt from them whenever they differ, so they
// never decide a frame: no snapshot of the game needs them.
void render_noise_field(OutputImage* image, const Bitmap* scene);

// layer_rows[cls] = noise_bytes + ((a + random_words[b & 0x7FFF]) & 0xFFFF),
// the sum taken with 32-bit wrap-around.
void set_layer_row(int cls, int32_t a, int32_t b);

// The widest vector code the renderer uses. Every level draws the same
// pictures; tests pin each one in turn to hold them to that.
enum {
  NOISE_VECTOR_NONE = 0,     // portable C++
  NOISE_VECTOR_SSE2 = 1,     // x86-64 baseline
  NOISE_VECTOR_SIMD128 = 1,  // the same rung in WebAssembly (built with -msimd128)
  NOISE_VECTOR_AVX2 = 2,     // only where the processor and the system run it
};
// Caps the level (NOISE_VECTOR_AVX2: the best this machine runs) and returns
// the level now in effect, which may be lower than asked.
int noise_field_limit_vector(int level);
