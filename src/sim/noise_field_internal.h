// The renderer's row loops, shared between the portable versions in
// noise_field.cpp and the x86 vector versions in noise_field_x86.cpp, so the
// tests can hold every version to the same pictures.
#pragma once

#include <stdint.h>

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
