// Everything that depends on the frame is computed once, everything that
// depends on the row once per row (17 row starts and one random draw). The
// Palette is applied to the whole noise table ahead of the rows (as colours,
// or as two-colour selector bytes for the game's own Palettes), so a pixel is
// a copy or a mask from its class's row. Offsets are added with 32-bit
// wrap-around; only their low 16 bits matter, and the table's tail makes a
// whole row safe to read from any start.
#include "sim/noise_field.h"

#include <stddef.h>
#include <string.h>

#include "core/game_state.h"
#include "core/noise_tables.h"
#include "sim/noise_field_internal.h"
#include "support/random.h"

namespace {

// Velocities of classes 2..9 in sixteenths of a pixel per frame; the content
// moves by (-dx, -dy): up, up-right, right, down-right, down, down-left, left,
// up-left.
const int32_t STREAM_DX[8] = {0, -12, -16, -12, 0, 12, 16, 12};
const int32_t STREAM_DY[8] = {16, 12, 0, -12, -16, -12, 0, 12};
const int32_t SHIVER[6] = {0, 1, 2, 3, 2, 1};

// Classes whose row start is a fixed formula of the row; class 16 draws a
// random number instead.
const int ROW_FORMULA_CLASSES = 16;
const int CLASS_RANDOM_ROW = 16;

// The frame's row formulas (all wrap-around 32-bit). Classes 0..15 start at
// a + random_words[(b + row) & 0x7FFF]; a and b are fixed for the frame
// except that classes 10 and 11 alternate between even and odd rows.
// Indexed [row & 1][class].
struct FrameKeys {
  uint32_t row_a[2][ROW_FORMULA_CLASSES], row_b[2][ROW_FORMULA_CLASSES];
};

static_assert(NOISE_BYTES_SIZE - 1 <= 0xFFFF, "positions are stored in 16 bits");

// Patching costs about 256 writes per changed value; beyond this many changed
// values a full pass is as cheap.
const int MAX_PATCHED_VALUES = 32;

bool cache_is_current(const uint8_t* cached, uint32_t cached_version, const uint8_t* noise) {
  return cached == noise && cached_version == noise_tables_version();
}

void index_positions(NoiseFieldCache& c, const uint8_t* noise) {
  if (cache_is_current(c.indexed_noise, c.indexed_version, noise)) return;
  int32_t counts[PALETTE_SIZE] = {};
  for (int i = 0; i < NOISE_BYTES_SIZE; i++) counts[noise[i]]++;
  int32_t* value_start = c.value_start;
  value_start[0] = 0;
  for (int v = 0; v < PALETTE_SIZE; v++) value_start[v + 1] = value_start[v] + counts[v];
  int32_t next[PALETTE_SIZE];
  for (int v = 0; v < PALETTE_SIZE; v++) next[v] = value_start[v];
  uint16_t* positions = c.positions;
  for (int i = 0; i < NOISE_BYTES_SIZE; i++) positions[next[noise[i]]++] = (uint16_t)i;
  c.indexed_noise = noise;
  c.indexed_version = noise_tables_version();
}

void refresh_noise_colours(NoiseFieldCache& c, const uint8_t* noise, const uint32_t* palette) {
  uint32_t* colours = c.colours;
  if (!cache_is_current(c.colours_noise, c.colours_version, noise)) {
    for (int i = 0; i < NOISE_BYTES_SIZE; i++) colours[i] = palette[noise[i]];
  } else {
    int changed[PALETTE_SIZE];
    int n_changed = 0;
    for (int v = 0; v < PALETTE_SIZE; v++)
      if (palette[v] != c.colours_palette[v]) changed[n_changed++] = v;
    if (n_changed == 0) return;
    if (n_changed > MAX_PATCHED_VALUES) {
      for (int i = 0; i < NOISE_BYTES_SIZE; i++) colours[i] = palette[noise[i]];
    } else {
      index_positions(c, noise);
      const uint16_t* positions = c.positions;
      for (int k = 0; k < n_changed; k++) {
        int v = changed[k];
        uint32_t colour = palette[v];
        int32_t end = c.value_start[v + 1];
        for (int32_t p = c.value_start[v]; p < end; p++) colours[positions[p]] = colour;
      }
    }
  }
  memcpy(colours + NOISE_BYTES_SIZE, colours, NOISE_BYTES_TAIL * sizeof(uint32_t));
  memcpy(c.colours_palette, palette, sizeof(c.colours_palette));
  c.colours_noise = noise;
  c.colours_version = noise_tables_version();
}

#if defined(NOISE_FIELD_KEEPS_BITS)
const bool KEEPS_BITS = true;
#else
const bool KEEPS_BITS = false;
#endif

// select_bits from select, and their tail.
void pack_select_bits(NoiseFieldCache& c) {
  for (int n = 0; n < NOISE_BYTES_SIZE / 8; n++) {
    uint8_t packed = 0;
    for (int i = 0; i < 8; i++) packed |= (uint8_t)((c.select[n * 8 + i] & 1) << i);
    c.select_bits[n] = packed;
  }
  memcpy(c.select_bits + NOISE_BYTES_SIZE / 8, c.select_bits, NOISE_BYTES_TAIL / 8);
}

// True when the Palette holds at most two distinct colours; then every entry
// equals *a_out or *b_out (the same when there is only one).
bool palette_two_colours(const uint32_t* palette, uint32_t* a_out, uint32_t* b_out) {
  uint32_t a = palette[0], b = palette[0];
  for (int v = 1; v < PALETTE_SIZE; v++) {
    uint32_t p = palette[v];
    if (p == a || p == b) continue;
    if (a != b) return false;
    b = p;
  }
  *a_out = a;
  *b_out = b;
  return true;
}

// Brings the selector table in line with a two-colour Palette {a, b} and
// returns the colours its 0x00 and 0xFF stand for. Of the two ways to assign
// a and b to the selectors it keeps the one that moves fewer byte values, so
// a swap patches two values and a fade none.
void refresh_noise_select(NoiseFieldCache& c, const uint8_t* noise, const uint32_t* palette, uint32_t a,
                          uint32_t b, uint32_t* colour0_out, uint32_t* colour1_out) {
  bool current = cache_is_current(c.select_noise, c.select_version, noise);
  uint8_t wanted[PALETTE_SIZE];
  if (a == b) {
    // One colour: whatever the selectors say, both stand for it.
    *colour0_out = *colour1_out = a;
    if (current) return;
    memset(wanted, 0, sizeof(wanted));
  } else {
    int moved = 0;
    for (int v = 0; v < PALETTE_SIZE; v++) {
      wanted[v] = palette[v] == b ? 0xFF : 0x00;
      moved += wanted[v] != c.select_of_value[v];
    }
    if (moved > PALETTE_SIZE / 2) {
      for (int v = 0; v < PALETTE_SIZE; v++) wanted[v] ^= 0xFF;
      uint32_t t = a;
      a = b;
      b = t;
    }
    *colour0_out = a;
    *colour1_out = b;
  }
  int changed[PALETTE_SIZE];
  int n_changed = 0;
  for (int v = 0; v < PALETTE_SIZE; v++)
    if (wanted[v] != c.select_of_value[v]) changed[n_changed++] = v;
  if (current && n_changed == 0) return;
  uint8_t* select = c.select;
  if (!current || n_changed > MAX_PATCHED_VALUES) {
    for (int i = 0; i < NOISE_BYTES_SIZE; i++) select[i] = wanted[noise[i]];
    if (KEEPS_BITS) pack_select_bits(c);
  } else {
    index_positions(c, noise);
    const uint16_t* positions = c.positions;
    uint8_t* bits = c.select_bits;
    for (int k = 0; k < n_changed; k++) {
      int v = changed[k];
      uint8_t sel = wanted[v];
      int32_t end = c.value_start[v + 1];
      for (int32_t p = c.value_start[v]; p < end; p++) select[positions[p]] = sel;
      if (!KEEPS_BITS) continue;
      uint32_t bit_set = sel & 1;
      for (int32_t p = c.value_start[v]; p < end; p++) {
        uint32_t at = positions[p];
        bits[at >> 3] = (uint8_t)((bits[at >> 3] & ~(1u << (at & 7))) | bit_set << (at & 7));
      }
    }
    if (KEEPS_BITS) memcpy(bits + NOISE_BYTES_SIZE / 8, bits, NOISE_BYTES_TAIL / 8);
  }
  memcpy(select + NOISE_BYTES_SIZE, select, NOISE_BYTES_TAIL);
  memcpy(c.select_of_value, wanted, sizeof(c.select_of_value));
  c.select_noise = noise;
  c.select_version = noise_tables_version();
}

const uint64_t ONES = 0x0101010101010101ull;

uint32_t u32(int64_t v) { return (uint32_t)v; }

// Floor-style remainder so a wrapped (negative) frame counter still indexes
// inside the small cycle tables.
int32_t cycle(int32_t t, int32_t n) { return ((t % n) + n) % n; }

uint32_t title_jitter(int32_t t, int32_t fade_level) {
  if (fade_level >= 600) return 0;
  double x = fade_level * 0.0025 - 0.65;
  if (x < 0) x = 0;
  if (x > 1) x = 1;
  int32_t e = (int32_t)(t / (x * 20 + 1));
  return hash_u32(u32(e / 6) + g_game.random_words[e & 0x7FFF]) & 0x7FFF;
}

FrameKeys frame_keys(void) {
  const GameState& g = g_game;
  int32_t t = g.frame_counter;
  uint32_t tu = u32(t), quarter = u32(t >> 2);
  int32_t room = g.room_number;
  int32_t speed = (int32_t)((room >= 31 ? tu * 2 : tu) & 0x3FFFFFF);
  uint32_t jitter = title_jitter(t, g.fade_level);
  uint32_t jump14 = hash_u32(g.random_words[hash_u32(u32(t / 6)) & 0x7FFF] + u32(t / 6)) & 0x7FFF;
  FrameKeys f;
  for (int odd = 0; odd < 2; odd++) {
    uint32_t* a = f.row_a[odd];
    uint32_t* b = f.row_b[odd];
    a[0] = quarter, b[0] = 0u - tu;
    if (room >= 38)
      a[1] = 200, b[1] = quarter;
    else
      a[1] = jitter + 200, b[1] = 0;
    for (int h = 0; h < 8; h++) {
      // |d * speed| < 2^31 because speed < 2^26; the shift is arithmetic.
      a[2 + h] = u32(h * 800 + ((STREAM_DX[h] * speed) >> 4) + 1);
      b[2 + h] = u32(h * 433 + ((STREAM_DY[h] * speed) >> 4) + 600);
    }
    if (odd)
      a[10] = 333, b[10] = tu + 2000;
    else
      a[10] = 733, b[10] = 2000 - tu;
    a[11] = odd ? tu + jitter : jitter - tu, b[11] = 600;
    a[12] = (uint32_t)cycle(t, 4) * 23 + 800, b[12] = (uint32_t)cycle(t, 4) * 98 + 555;
    a[13] = jitter + (uint32_t)SHIVER[cycle(t, 6)] + 400, b[13] = 200;
    a[14] = jitter + jump14, b[14] = 400;
    a[15] = jitter + u32((int64_t)(t / 3) * 77), b[15] = u32((int64_t)(t / 3) * 43 + 400);
  }
  return f;
}

// A class's row start in the noise table: set_layer_row's sum, kept as an
// offset so the renderer can point it into its derived tables.
uint32_t row_start(uint32_t a, uint32_t b) { return (a + g_game.random_words[b & 0x7FFF]) & 0xFFFF; }

// Row starts are made a block of rows at a time: per class the rows read
// consecutive random words, so a block is a few straight vector loops
// instead of 16 scattered look-ups per row. Class 16's draws are taken here
// too, one per row in row order.
const int ROW_BLOCK = 64;
struct RowStartsBlock {
  uint32_t draws[ROW_BLOCK];
  uint32_t by_class[ROW_FORMULA_CLASSES][ROW_BLOCK];
};

// One class's starts for rows j0 + first, j0 + first + step, ... below j0 + n.
void class_starts(uint32_t a, uint32_t b, int32_t j0, int first, int step, int n, uint32_t* out) {
  const uint32_t* words = g_game.random_words;
  uint32_t base = (b + u32(j0)) & 0x7FFF;
  if (step == 1 && base + (uint32_t)n <= 0x8000) {
    const uint32_t* w = words + base;
    for (int i = 0; i < n; i++) out[i] = (a + w[i]) & 0xFFFF;
    return;
  }
  for (int i = first; i < n; i += step) out[i] = (a + words[(base + u32(i)) & 0x7FFF]) & 0xFFFF;
}

void fill_row_block(const FrameKeys& f, int32_t j0, int n, RowStartsBlock& block) {
  mt_fill(block.draws, n);
  for (int c = 0; c < ROW_FORMULA_CLASSES; c++) {
    uint32_t* out = block.by_class[c];
    if (f.row_a[0][c] == f.row_a[1][c] && f.row_b[0][c] == f.row_b[1][c]) {
      class_starts(f.row_a[0][c], f.row_b[0][c], j0, 0, 1, n, out);
    } else {
      for (int parity = 0; parity < 2; parity++)
        class_starts(f.row_a[parity][c], f.row_b[parity][c], j0, (j0 ^ parity) & 1, 2, n, out);
    }
  }
}

// Every class's row start for scene row j of rows. Rows come in order from
// 0, so the random draws stay in the order of the rows.
inline void row_starts(const FrameKeys& f, int32_t j, int32_t rows, RowStartsBlock& block,
                       uint32_t starts_out[BITMAP_CLASS_COUNT]) {
  int i = j % ROW_BLOCK;
  if (i == 0) fill_row_block(f, j, rows - j < ROW_BLOCK ? rows - j : ROW_BLOCK, block);
  for (int c = 0; c < ROW_FORMULA_CLASSES; c++) starts_out[c] = block.by_class[c][i];
  starts_out[CLASS_RANDOM_ROW] = row_start(block.draws[i], 0);
}

// layer_rows as set_layer_row would have left them after the last row.
void keep_layer_rows(const uint32_t starts[BITMAP_CLASS_COUNT]) {
  for (int c = 0; c < BITMAP_CLASS_COUNT; c++) g_game.layer_rows[c] = g_game.noise_bytes + starts[c];
}

// The debug view's colours in the OutputImage's layout: the key colours are
// kept with red in the low byte, the image wants blue there.
void debug_colours(uint32_t colours_out[256]) {
  for (int i = 0; i < 256; i++) colours_out[i] = 0;
  for (int c = 0; c < BITMAP_CLASS_COUNT; c++) {
    uint32_t key = BITMAP_KEY_COLOURS[c];
    colours_out[c] = (key & 0xFF) << 16 | (key & 0xFF00) | (key >> 16 & 0xFF);
  }
}

}  // namespace

void set_layer_row(int cls, int32_t a, int32_t b) {
  g_game.layer_rows[cls] = g_game.noise_bytes + row_start((uint32_t)a, (uint32_t)b);
}

namespace {

// The portable row loops work in chunks of 16 pixels: a chunk of one class
// (most of them, rooms being large areas of few classes) is one straight
// copy; only chunks where classes meet go pixel by pixel.
const int CHUNK = 16;

// 0x00 -> 0, 0xFF -> all ones, by sign extension (which vectorises well).
uint32_t select_mask(uint8_t sel) { return (uint32_t)(int32_t)(int8_t)sel; }

bool chunk_is_one_class(const uint8_t* scene) {
  uint64_t lo, hi;
  memcpy(&lo, scene, 8);
  memcpy(&hi, scene + 8, 8);
  return lo == hi && lo == ONES * scene[0];
}

}  // namespace

void noise_row_colours_portable(uint32_t* dst, const uint8_t* scene, int cols, const uint32_t* table,
                                const uint32_t starts[256]) {
  int k = 0;
  for (; k + CHUNK <= cols; k += CHUNK) {
    if (chunk_is_one_class(scene + k)) {
      memcpy(dst + k, table + starts[scene[k]] + k, CHUNK * sizeof(uint32_t));
    } else {
      for (int i = k; i < k + CHUNK; i++) dst[i] = table[starts[scene[i]] + i];
    }
  }
  for (; k < cols; k++) dst[k] = table[starts[scene[k]] + k];
}

void noise_row_select_portable(uint32_t* dst, const uint8_t* scene, int cols, const uint8_t* table,
                               const uint32_t starts[256], uint32_t colour0, uint32_t colour1) {
  // The row's selectors are gathered first, then widened in one plain loop
  // over a local buffer, which the compiler turns into vector code.
  uint8_t sel[NOISE_BYTES_TAIL];
  if (cols > NOISE_BYTES_TAIL) cols = NOISE_BYTES_TAIL;
  int k = 0;
  for (; k + CHUNK <= cols; k += CHUNK) {
    if (chunk_is_one_class(scene + k)) {
      memcpy(sel + k, table + starts[scene[k]] + k, CHUNK);
    } else {
      for (int i = k; i < k + CHUNK; i++) sel[i] = table[starts[scene[i]] + i];
    }
  }
  for (; k < cols; k++) sel[k] = table[starts[scene[k]] + k];
  uint32_t flip = colour0 ^ colour1;
  for (k = 0; k < cols; k++) dst[k] = colour0 ^ (flip & select_mask(sel[k]));
}

namespace {

int g_vector_limit = NOISE_VECTOR_AVX2;

int vector_level(void) {
#if defined(NOISE_FIELD_HAVE_X86)
  static const int best = noise_field_avx2_supported() ? NOISE_VECTOR_AVX2 : NOISE_VECTOR_SSE2;
#elif defined(NOISE_FIELD_HAVE_SIMD128)
  const int best = NOISE_VECTOR_SIMD128;
#else
  const int best = NOISE_VECTOR_NONE;
#endif
  return g_vector_limit < best ? g_vector_limit : best;
}

// The WebAssembly vector loop's pixels per selector byte, for the frame's two colours.
void refresh_select_patterns(NoiseFieldCache& c, uint32_t colour0, uint32_t colour1) {
  if (c.select_patterns_ready && c.select_patterns_colour0 == colour0 && c.select_patterns_colour1 == colour1)
    return;
  for (int v = 0; v < 256; v++)
    for (int i = 0; i < 8; i++) c.select_patterns[v][i] = (v >> i & 1) ? colour1 : colour0;
  c.select_patterns_colour0 = colour0;
  c.select_patterns_colour1 = colour1;
  c.select_patterns_ready = true;
}

void row_select(int level, uint32_t* dst, const uint8_t* scene, int cols, const NoiseFieldCache& c,
                const uint32_t starts[256], uint32_t colour0, uint32_t colour1) {
#if defined(NOISE_FIELD_HAVE_X86)
  if (level >= NOISE_VECTOR_AVX2) return noise_row_select_avx2(dst, scene, cols, c.select, starts, colour0, colour1);
  if (level >= NOISE_VECTOR_SSE2) return noise_row_select_sse2(dst, scene, cols, c.select, starts, colour0, colour1);
#elif defined(NOISE_FIELD_HAVE_SIMD128)
  if (level >= NOISE_VECTOR_SIMD128)
    return noise_row_select_simd128(dst, scene, cols, c.select_bits, starts, c.select_patterns);
#endif
  (void)level;
  noise_row_select_portable(dst, scene, cols, c.select, starts, colour0, colour1);
}

void row_colours(int level, uint32_t* dst, const uint8_t* scene, int cols, const uint32_t* table,
                 const uint32_t starts[256]) {
#if defined(NOISE_FIELD_HAVE_X86)
  if (level >= NOISE_VECTOR_AVX2) return noise_row_colours_avx2(dst, scene, cols, table, starts);
#endif
  (void)level;
  noise_row_colours_portable(dst, scene, cols, table, starts);
}

}  // namespace

NoiseFieldCache g_noise_cache;

int noise_field_limit_vector(int level) {
  g_vector_limit = level < NOISE_VECTOR_NONE ? NOISE_VECTOR_NONE : level;
  return vector_level();
}

void render_noise_field(OutputImage* image, const Bitmap* scene) {
  GameState& g = g_game;
  if (!image || !scene || !image->pixels || !scene->pixels || !g.noise_bytes || !g.random_words)
    return;
  int rows = scene->height < image->height ? scene->height : image->height;
  int cols = scene->width < image->width ? scene->width : image->width;
  if (cols > NOISE_BYTES_TAIL) cols = NOISE_BYTES_TAIL;
  if (rows <= 0) return;
  FrameKeys f = frame_keys();
  // Row starts per scene byte; bytes outside 0..16 (never produced by the
  // loader) keep start 0, a fixed row instead of a wild pointer.
  uint32_t starts[256] = {};
  RowStartsBlock block;

  if (g.debug_view) {
    uint32_t colours[256];
    debug_colours(colours);
    for (int j = 0; j < rows; j++) {
      row_starts(f, j, rows, block, starts);  // keeps the per-row random draws in step
      const uint8_t* src = scene->pixels + (size_t)j * scene->width;
      uint32_t* dst = image->pixels + (size_t)j * image->width;
      for (int k = 0; k < cols; k++) dst[k] = colours[src[k]];
    }
    keep_layer_rows(starts);
    return;
  }

  const uint8_t* noise = g.noise_bytes;
  int level = vector_level();
  uint32_t a, b;
  if (palette_two_colours(g.palette, &a, &b)) {
    uint32_t colour0, colour1;
    refresh_noise_select(g_noise_cache, noise, g.palette, a, b, &colour0, &colour1);
    if (KEEPS_BITS && level == NOISE_VECTOR_SIMD128) refresh_select_patterns(g_noise_cache, colour0, colour1);
    for (int j = 0; j < rows; j++) {
      row_starts(f, j, rows, block, starts);
      row_select(level, image->pixels + (size_t)j * image->width, scene->pixels + (size_t)j * scene->width, cols,
                 g_noise_cache, starts, colour0, colour1);
    }
  } else {
    refresh_noise_colours(g_noise_cache, noise, g.palette);
    const uint32_t* colours = g_noise_cache.colours;
    for (int j = 0; j < rows; j++) {
      row_starts(f, j, rows, block, starts);
      row_colours(level, image->pixels + (size_t)j * image->width, scene->pixels + (size_t)j * scene->width, cols,
                  colours, starts);
    }
  }
  keep_layer_rows(starts);
}
