// Everything that depends on the frame is computed once, everything that
// depends on the row once per row (17 row starts and one random draw). The
// Palette is applied once per frame to the whole noise table, so a pixel is a
// copy from its class's row of colours, and a run of 8 pixels of one class is
// a plain 32-byte copy. Offsets are added with 32-bit wrap-around; only their
// low 16 bits matter, and the table's tail makes a whole row safe to read from
// any start.
#include "sim/noise_field.h"

#include <stddef.h>
#include <string.h>

#include "core/game_state.h"
#include "core/noise_tables.h"
#include "support/random.h"

namespace {

// Velocities of classes 2..9 in sixteenths of a pixel per frame; the content
// moves by (-dx, -dy): up, up-right, right, down-right, down, down-left, left,
// up-left.
const int32_t STREAM_DX[8] = {0, -12, -16, -12, 0, 12, 16, 12};
const int32_t STREAM_DY[8] = {16, 12, 0, -12, -16, -12, 0, 12};
const int32_t SHIVER[6] = {0, 1, 2, 3, 2, 1};

// Per-frame values of the row formulas (all wrap-around 32-bit).
struct FrameKeys {
  int32_t t;                 // frame_counter
  int32_t room;
  uint32_t jitter;           // title shake, 0 from fade_level 600 on
  uint32_t a12, b12, a13, a14, a15, b15;
  uint32_t stream_a[8], stream_b[8];
};

// The noise table seen through the Palette (same layout, tail included), and
// the Palette and table build it was made from. A working cache, not game
// state: most frames swap just two Palette entries, so only the places holding
// those two byte values are brought up to date, found through an index of the
// table's positions sorted by byte value.
uint32_t g_noise_colours[NOISE_BYTES_SIZE + NOISE_BYTES_TAIL];
uint32_t g_cached_palette[PALETTE_SIZE];
const uint8_t* g_cached_noise = nullptr;
uint32_t g_cached_version = 0;
uint16_t g_positions[NOISE_BYTES_SIZE];  // table positions grouped by byte value
int32_t g_value_start[PALETTE_SIZE + 1];  // value v owns g_positions[start[v] .. start[v + 1])
static_assert(NOISE_BYTES_SIZE - 1 <= 0xFFFF, "positions are stored in 16 bits");

// Patching costs about 256 writes per changed value; beyond this many changed
// values a full pass is as cheap.
const int MAX_PATCHED_VALUES = 32;

void index_positions(const uint8_t* noise) {
  int32_t counts[PALETTE_SIZE] = {};
  for (int i = 0; i < NOISE_BYTES_SIZE; i++) counts[noise[i]]++;
  g_value_start[0] = 0;
  for (int v = 0; v < PALETTE_SIZE; v++) g_value_start[v + 1] = g_value_start[v] + counts[v];
  int32_t next[PALETTE_SIZE];
  for (int v = 0; v < PALETTE_SIZE; v++) next[v] = g_value_start[v];
  for (int i = 0; i < NOISE_BYTES_SIZE; i++) g_positions[next[noise[i]]++] = (uint16_t)i;
}

void refresh_noise_colours(const uint8_t* noise, const uint32_t* palette) {
  if (g_cached_noise != noise || g_cached_version != noise_tables_version()) {
    index_positions(noise);
    for (int i = 0; i < NOISE_BYTES_SIZE; i++) g_noise_colours[i] = palette[noise[i]];
  } else {
    int changed[PALETTE_SIZE];
    int n_changed = 0;
    for (int v = 0; v < PALETTE_SIZE; v++)
      if (palette[v] != g_cached_palette[v]) changed[n_changed++] = v;
    if (n_changed == 0) return;
    if (n_changed > MAX_PATCHED_VALUES) {
      for (int i = 0; i < NOISE_BYTES_SIZE; i++) g_noise_colours[i] = palette[noise[i]];
    } else {
      for (int c = 0; c < n_changed; c++) {
        int v = changed[c];
        uint32_t colour = palette[v];
        for (int32_t p = g_value_start[v]; p < g_value_start[v + 1]; p++) g_noise_colours[g_positions[p]] = colour;
      }
    }
  }
  memcpy(g_noise_colours + NOISE_BYTES_SIZE, g_noise_colours, NOISE_BYTES_TAIL * sizeof(uint32_t));
  memcpy(g_cached_palette, palette, sizeof(g_cached_palette));
  g_cached_noise = noise;
  g_cached_version = noise_tables_version();
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
  FrameKeys f;
  int32_t t = g.frame_counter;
  f.t = t;
  f.room = g.room_number;
  int32_t speed = (int32_t)((f.room >= 31 ? u32(t) * 2 : u32(t)) & 0x3FFFFFF);
  f.jitter = title_jitter(t, g.fade_level);
  uint32_t jump14 = hash_u32(g.random_words[hash_u32(u32(t / 6)) & 0x7FFF] + u32(t / 6)) & 0x7FFF;
  f.a13 = f.jitter + (uint32_t)SHIVER[cycle(t, 6)] + 400;
  f.a14 = f.jitter + jump14;
  f.a15 = f.jitter + u32((int64_t)(t / 3) * 77);
  f.b15 = u32((int64_t)(t / 3) * 43 + 400);
  f.a12 = (uint32_t)cycle(t, 4) * 23 + 800;
  f.b12 = (uint32_t)cycle(t, 4) * 98 + 555;
  for (int h = 0; h < 8; h++) {
    // |d * speed| < 2^31 because speed < 2^26; the shift is arithmetic.
    f.stream_a[h] = u32(h * 800 + ((STREAM_DX[h] * speed) >> 4) + 1);
    f.stream_b[h] = u32(h * 433 + ((STREAM_DY[h] * speed) >> 4) + 600);
  }
  return f;
}

void set_row_u32(int cls, uint32_t a, uint32_t b) { set_layer_row(cls, (int32_t)a, (int32_t)b); }

void set_rows_for(const FrameKeys& f, int32_t j) {
  uint32_t t = u32(f.t), row = u32(j);
  set_row_u32(0, u32(f.t >> 2), row - t);
  if (f.room >= 38)
    set_row_u32(1, 200, row + u32(f.t >> 2));
  else
    set_row_u32(1, f.jitter + 200, row);
  set_row_u32(13, f.a13, row + 200);
  set_row_u32(14, f.a14, row + 400);
  set_row_u32(16, mt_next(), 0);
  set_row_u32(15, f.a15, row + f.b15);
  set_row_u32(12, f.a12, row + f.b12);
  for (int h = 0; h < 8; h++) set_row_u32(2 + h, f.stream_a[h], f.stream_b[h] + row);
  bool odd = (j & 1) != 0;
  set_row_u32(11, odd ? t + f.jitter : f.jitter - t, row + 600);
  if (odd)
    set_row_u32(10, 333, row + t + 2000);
  else
    set_row_u32(10, 733, row - t + 2000);
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
  uint32_t start = ((uint32_t)a + g_game.random_words[(uint32_t)b & 0x7FFF]) & 0xFFFF;
  g_game.layer_rows[cls] = g_game.noise_bytes + start;
}

// One row of the normal view, as runs of one class: rooms are large areas of
// few classes, so a run is usually long and becomes one library copy (which
// uses the widest stores the processor has); short runs go pixel by pixel.
void render_row(uint32_t* dst, const uint8_t* src, int cols, const uint32_t* const rows[256]) {
  const int short_run = 16;
  int k = 0;
  while (k < cols) {
    uint8_t cls = src[k];
    uint64_t same = ONES * cls;
    int end = k + 1;
    for (;;) {
      uint64_t block;
      if (end + 8 > cols) break;
      memcpy(&block, src + end, 8);
      if (block != same) break;
      end += 8;
    }
    while (end < cols && src[end] == cls) end++;
    const uint32_t* row = rows[cls];
    if (end - k >= short_run) {
      memcpy(dst + k, row + k, (size_t)(end - k) * sizeof(uint32_t));
    } else {
      for (int i = k; i < end; i++) dst[i] = row[i];
    }
    k = end;
  }
}

void render_noise_field(OutputImage* image, const Bitmap* scene) {
  GameState& g = g_game;
  if (!image || !scene || !image->pixels || !scene->pixels || !g.noise_bytes || !g.random_words)
    return;
  int rows = scene->height < image->height ? scene->height : image->height;
  int cols = scene->width < image->width ? scene->width : image->width;
  if (cols > NOISE_BYTES_TAIL) cols = NOISE_BYTES_TAIL;
  FrameKeys f = frame_keys();

  if (g.debug_view) {
    uint32_t colours[256];
    debug_colours(colours);
    for (int j = 0; j < rows; j++) {
      set_rows_for(f, j);  // keeps the per-row random draws in step
      const uint8_t* src = scene->pixels + (size_t)j * scene->width;
      uint32_t* dst = image->pixels + (size_t)j * image->width;
      for (int k = 0; k < cols; k++) dst[k] = colours[src[k]];
    }
    return;
  }

  const uint8_t* noise = g.noise_bytes;
  refresh_noise_colours(noise, g.palette);

  // Bytes outside 0..16 (never produced by the loader) read a fixed row
  // instead of a wild pointer.
  const uint32_t* colour_rows[256];
  for (int i = 0; i < 256; i++) colour_rows[i] = g_noise_colours;
  for (int j = 0; j < rows; j++) {
    set_rows_for(f, j);
    for (int c = 0; c < BITMAP_CLASS_COUNT; c++) colour_rows[c] = g_noise_colours + (g.layer_rows[c] - noise);
    render_row(image->pixels + (size_t)j * image->width, scene->pixels + (size_t)j * scene->width, cols,
               colour_rows);
  }
}
