// The renderer's row loops, shared between the portable versions in
// noise_field.cpp and the x86 vector versions in noise_field_x86.cpp, so the
// tests can hold every version to the same pictures.
#pragma once

#include <stdint.h>

#include "core/noise_tables.h"

// The renderer's working copies of the noise table, derived from the table
// and the Palette and never from anything else. Each is keyed by the table's
// address and noise_tables_version() (and the Palette it was made for), and
// is brought up to date from them before a frame reads it. Most frames change
// the Palette by one swap, so a copy is patched only at the places holding the
// byte values whose entry changed, found through an index of the table's
// positions grouped by byte value.
struct NoiseFieldCache {
  // Value v owns positions[value_start[v] .. value_start[v + 1]).
  uint16_t positions[NOISE_BYTES_SIZE];
  int32_t value_start[PALETTE_SIZE + 1];
  const uint8_t* indexed_noise;
  uint32_t indexed_version;

  // The noise table seen through the Palette (same layout, tail included),
  // for any Palette: a pixel is a copy from its class's row of colours.
  uint32_t colours[NOISE_BYTES_SIZE + NOISE_BYTES_TAIL];
  uint32_t colours_palette[PALETTE_SIZE];
  const uint8_t* colours_noise;
  uint32_t colours_version;

  // The game's Palettes only ever hold two colours (white and black shuffled,
  // the title's grey and black, room 39's two greys). For those the table is
  // kept as one selector byte per entry, 0x00 for colour 0 and 0xFF for
  // colour 1: a quarter of the coloured table, so the rows a frame reads stay
  // near the core and the colour is a mask away. A fade only changes the two
  // colours, not which byte values share one, so it costs nothing here.
  uint8_t select[NOISE_BYTES_SIZE + NOISE_BYTES_TAIL];
  uint8_t select_of_value[PALETTE_SIZE];  // what select holds per byte value
  const uint8_t* select_noise;
  uint32_t select_version;

  // Kept only where the WebAssembly vector loop runs (NOISE_FIELD_KEEPS_BITS):
  // the same selectors packed eight to a byte (bit i of byte n is entry
  // 8n + i), tail included, plus slack for one 8-byte read at the last
  // entry. The loop merges classes and picks colours 32 bits at a time.
  uint8_t select_bits[(NOISE_BYTES_SIZE + NOISE_BYTES_TAIL) / 8 + 8];

  // For that loop: the eight pixels of every selector byte value in the
  // colours select_patterns_colour0/1 stand for (rebuilt when they change).
  alignas(32) uint32_t select_patterns[256][8];
  uint32_t select_patterns_colour0, select_patterns_colour1;
  bool select_patterns_ready;
};

// The one cache render_noise_field keeps (zero at start: nothing cached).
extern NoiseFieldCache g_noise_cache;

// Every row loop writes dst[k] for k < cols from the row of scene[k]'s class:
// that row starts at table + starts[class] (bytes outside 0..16 have a start
// too), and column k reads the entry k places further on. No loop reads at or
// past column cols (at most 2048), so a table's tail makes every row safe.

// From the coloured table: dst[k] = table[starts[scene[k]] + k].
void noise_row_colours_portable(uint32_t* dst, const uint8_t* scene, int cols, const uint32_t* table,
                                const uint32_t starts[256]);

// From the selector table of a Palette with at most two colours: a selector
// byte is 0x00 (colour0) or 0xFF (colour1).
void noise_row_select_portable(uint32_t* dst, const uint8_t* scene, int cols, const uint8_t* table,
                               const uint32_t starts[256], uint32_t colour0, uint32_t colour1);

#if (defined(__x86_64__) || defined(_M_X64)) && (defined(__GNUC__) || defined(__clang__))
#define NOISE_FIELD_HAVE_X86 1
// SSE2 is part of x86-64; AVX2 runs only where noise_field_avx2_supported().
void noise_row_select_sse2(uint32_t* dst, const uint8_t* scene, int cols, const uint8_t* table,
                           const uint32_t starts[256], uint32_t colour0, uint32_t colour1);
void noise_row_select_avx2(uint32_t* dst, const uint8_t* scene, int cols, const uint8_t* table,
                           const uint32_t starts[256], uint32_t colour0, uint32_t colour1);
void noise_row_colours_avx2(uint32_t* dst, const uint8_t* scene, int cols, const uint32_t* table,
                            const uint32_t starts[256]);
int noise_field_avx2_supported(void);
#endif

#if defined(__wasm_simd128__)
#define NOISE_FIELD_HAVE_SIMD128 1
#define NOISE_FIELD_KEEPS_BITS 1
// The browser's 128-bit vectors, from select_bits and select_patterns.
void noise_row_select_simd128(uint32_t* dst, const uint8_t* scene, int cols, const uint8_t* bits,
                              const uint32_t starts[256], const uint32_t patterns[256][8]);
#endif
