// The noise field renderer: turns a scene Bitmap of classes 0..16 into the
// OutputImage. Each class reads its row of noise bytes from its own moving
// place in the noise table, so regions are seen only through their motion.
#pragma once

#include <stdint.h>

#include "core/bitmap.h"

// Writes every pixel of the area both images cover (rows up to the smaller
// height, columns up to the smaller width and at most NOISE_BYTES_TAIL), with
// the OutputImage's width as row stride. Draws one mt_next per scene row.
void render_noise_field(OutputImage* image, const Bitmap* scene);

// layer_rows[cls] = noise_bytes + ((a + random_words[b & 0x7FFF]) & 0xFFFF),
// the sum taken with 32-bit wrap-around.
void set_layer_row(int cls, int32_t a, int32_t b);
