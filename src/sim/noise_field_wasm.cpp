// The renderer's two-colour row loop in 128-bit WebAssembly SIMD, for the
// browser build. It reads the selectors packed eight to a byte
// (select_bits), merges classes 32 columns at a time with scalar masks, and
// turns each selector byte into eight pixels by copying its pattern
// (select_patterns): two 16-byte loads and stores, no widening of bytes to
// pixels. A pixel's value depends only on its place, so chunks may overlap.
#include "sim/noise_field_internal.h"

#if defined(NOISE_FIELD_HAVE_SIMD128)
#include <string.h>
#include <wasm_simd128.h>

namespace {

// The selectors of columns k .. k + 31 of the row that starts at entry
// `start`, bit i for column k + i.
inline uint32_t row_bits(const uint8_t* bits, uint32_t start, int k) {
  uint32_t at = start + (uint32_t)k;
  uint64_t word;
  memcpy(&word, bits + (at >> 3), sizeof word);
  return (uint32_t)(word >> (at & 7));
}

inline uint32_t class_mask(v128_t lo, v128_t hi, uint8_t c) {
  v128_t key = wasm_i8x16_splat((int8_t)c);
  return (uint32_t)wasm_i8x16_bitmask(wasm_i8x16_eq(lo, key)) |
         (uint32_t)wasm_i8x16_bitmask(wasm_i8x16_eq(hi, key)) << 16;
}

// Columns k .. k + 31: one class is one read; where classes meet, each class
// present adds its row's bits under its own lanes.
inline uint32_t chunk_bits(const uint8_t* scene, int k, const uint8_t* bits, const uint32_t starts[256]) {
  v128_t lo = wasm_v128_load(scene + k), hi = wasm_v128_load(scene + k + 16);
  uint8_t c = scene[k];
  uint32_t same = class_mask(lo, hi, c);
  uint32_t m = row_bits(bits, starts[c], k);
  if (same == 0xFFFFFFFFu) return m;
  m &= same;
  uint32_t left = ~same;
  do {
    c = scene[k + __builtin_ctz(left)];
    uint32_t eq = class_mask(lo, hi, c);
    m |= row_bits(bits, starts[c], k) & eq;
    left &= ~eq;
  } while (left);
  return m;
}

// Columns k .. k + 63 when all are of one class; false (nothing read) otherwise.
inline bool uniform_64(const uint8_t* scene, int k, const uint8_t* bits, const uint32_t starts[256],
                       uint32_t* lo_out, uint32_t* hi_out) {
  v128_t key = wasm_i8x16_splat((int8_t)scene[k]);
  v128_t eq = wasm_v128_and(wasm_v128_and(wasm_i8x16_eq(wasm_v128_load(scene + k), key),
                                          wasm_i8x16_eq(wasm_v128_load(scene + k + 16), key)),
                            wasm_v128_and(wasm_i8x16_eq(wasm_v128_load(scene + k + 32), key),
                                          wasm_i8x16_eq(wasm_v128_load(scene + k + 48), key)));
  if (!wasm_i8x16_all_true(eq)) return false;
  uint32_t start = starts[scene[k]];
  *lo_out = row_bits(bits, start, k);
  *hi_out = row_bits(bits, start, k + 32);
  return true;
}

// 32 pixels from 32 selector bits, eight at a time through the patterns.
inline void store_patterns_32(uint32_t* dst, uint32_t m, const uint32_t patterns[256][8]) {
  for (int g = 0; g < 4; g++) {
    const uint32_t* p = patterns[(m >> (8 * g)) & 0xFF];
    wasm_v128_store(dst + 8 * g, wasm_v128_load(p));
    wasm_v128_store(dst + 8 * g + 4, wasm_v128_load(p + 4));
  }
}

}  // namespace

void noise_row_select_simd128(uint32_t* dst, const uint8_t* scene, int cols, const uint8_t* bits,
                              const uint32_t starts[256], const uint32_t patterns[256][8]) {
  if (cols < 32) {
    for (int k = 0; k < cols; k++) dst[k] = patterns[row_bits(bits, starts[scene[k]], k) & 1 ? 255 : 0][0];
    return;
  }
  int k = 0;
  for (; k + 64 <= cols; k += 64) {
    uint32_t lo, hi;
    if (!uniform_64(scene, k, bits, starts, &lo, &hi)) {
      lo = chunk_bits(scene, k, bits, starts);
      hi = chunk_bits(scene, k + 32, bits, starts);
    }
    store_patterns_32(dst + k, lo, patterns);
    store_patterns_32(dst + k + 32, hi, patterns);
  }
  for (; k + 32 <= cols; k += 32) store_patterns_32(dst + k, chunk_bits(scene, k, bits, starts), patterns);
  if (k < cols) store_patterns_32(dst + cols - 32, chunk_bits(scene, cols - 32, bits, starts), patterns);
}

#endif
