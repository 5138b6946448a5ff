// Drawing primitives over class Bitmaps. Clipping is worked out once per call
// and the inner loops only test for zero, so a full frame of creatures and
// the avatar costs little beside the noise renderer.
#include "sim/draw.h"

#include <math.h>

#include "core/game_state.h"
#include "support/random.h"

namespace {

int usable(const Bitmap* b) { return b && b->pixels && b->width > 0 && b->height > 0; }

// The part of an image placed at (x, y) that lies on the target, as source
// ranges [sx0, sx1) x [sy0, sy1). 0 when nothing overlaps.
int clip(const Bitmap* image, const Bitmap* target, int x, int y, int* sx0, int* sy0, int* sx1,
         int* sy1) {
  if (x + image->width <= 0 || y + image->height <= 0) return 0;
  if (x >= target->width || y >= target->height) return 0;
  *sx0 = x < 0 ? -x : 0;
  *sy0 = y < 0 ? -y : 0;
  *sx1 = image->width;
  *sy1 = image->height;
  if (x + *sx1 > target->width) *sx1 = target->width - x;
  if (y + *sy1 > target->height) *sy1 = target->height - y;
  return 1;
}

struct Stroke {
  int dot;  // 0 brush, 1 dot
  int count;
  int from;
  int to;
};

// Trunk, legs, arms, neck, then the two dots.
const Stroke FIGURE_STROKES[14] = {
    {0, 3, 0, 6},  {0, 3, 6, 9},   {0, 3, 9, 3},   {0, 3, 0, 1},  {0, 3, 1, 2},
    {0, 3, 3, 4},  {0, 3, 4, 5},   {0, 3, 6, 7},   {0, 3, 7, 8},  {0, 3, 9, 10},
    {0, 3, 10, 11}, {0, 4, 13, 12}, {1, 2, 12, 12}, {1, 2, 13, 13},
};

}  // namespace

void blit(const Bitmap* image, int x, int y) {
  Bitmap* target = g_game.draw_target;
  if (!usable(image) || !usable(target)) return;
  int sx0, sy0, sx1, sy1;
  if (!clip(image, target, x, y, &sx0, &sy0, &sx1, &sy1)) return;
  for (int sy = sy0; sy < sy1; sy++) {
    const uint8_t* src = image->pixels + (long)sy * image->width;
    uint8_t* dst = target->pixels + (long)(y + sy) * target->width + x;
    for (int sx = sx0; sx < sx1; sx++) {
      if (src[sx]) dst[sx] = src[sx];
    }
  }
}

void blit_anchored(const Bitmap* image, int x, int y) {
  if (!image) return;
  blit(image, x - (image->width >> 1), y - image->height);
}

int touches_hazard(const Bitmap* image, int x, int y) {
  const Bitmap* target = g_game.draw_target;
  if (!usable(image) || !usable(target)) return 0;
  int sx0, sy0, sx1, sy1;
  if (!clip(image, target, x, y, &sx0, &sy0, &sx1, &sy1)) return 0;
  for (int sy = sy0; sy < sy1; sy++) {
    const uint8_t* src = image->pixels + (long)sy * image->width;
    const uint8_t* under = target->pixels + (long)(y + sy) * target->width + x;
    for (int sx = sx0; sx < sx1; sx++) {
      if (!src[sx]) continue;
      uint8_t c = under[sx];
      if (c != 0 && c != 1 && c != 13) return 1;
    }
  }
  return 0;
}

int build_stretch_index(const float factors[8], int n, uint16_t* index_out) {
  int count = 0;
  float sum = 0.0f;
  for (int i = 0; i < n && count < DRAW_WARP_MAX; i++) {
    float p = (float)(i * 7) / (float)n;
    int k = (int)floorf(p);
    float f = p - (float)k;
    if (k >= 7) {  // cannot happen for i < n; kept so factors[k + 1] stays inside
      k = 6;
      f = 1.0f;
    }
    float s = factors[k] + f * (factors[k + 1] - factors[k]);
    sum += s;
    float e = floorf(sum);
    if (!(e > (float)count)) continue;  // also rejects NaN
    int end = e >= (float)DRAW_WARP_MAX ? DRAW_WARP_MAX : (int)e;
    for (int j = count; j < end; j++) index_out[j] = (uint16_t)i;
    count = end;
  }
  return count;
}

void build_warp_tables(WarpTables* out, const Bitmap* image, const float horizontal[8],
                       const float vertical[8]) {
  out->width = 0;
  out->height = 0;
  if (!usable(image)) return;
  out->width = build_stretch_index(horizontal, image->width, out->cols);
  uint16_t row_index[DRAW_WARP_MAX];
  out->height = build_stretch_index(vertical, image->height, row_index);
  for (int r = 0; r < out->height; r++) {
    out->rows[r] = image->pixels + (long)row_index[r] * image->width;
  }
}

void blit_warped(int x, int y, const Bitmap* image, const float horizontal[8],
                 const float vertical[8]) {
  Bitmap* target = g_game.draw_target;
  if (!usable(image) || !usable(target)) return;
  WarpTables warp;
  build_warp_tables(&warp, image, horizontal, vertical);
  int w = warp.width;
  int h = warp.height;
  int x0 = x - (w >> 1);
  int y0 = y - h;
  if (x0 + w < 1 || y0 + h < 1 || x0 >= target->width || y0 >= target->height) return;
  int j0 = x0 < 0 ? -x0 : 0;
  int i0 = y0 < 0 ? -y0 : 0;
  int j1 = x0 + w > target->width ? target->width - x0 : w;
  int i1 = y0 + h > target->height ? target->height - y0 : h;
  for (int i = i0; i < i1; i++) {
    const uint8_t* src = warp.rows[i];
    uint8_t* dst = target->pixels + (long)(y0 + i) * target->width + x0;
    for (int j = j0; j < j1; j++) {
      uint8_t v = src[warp.cols[j]];
      if (v) dst[j] = v;
    }
  }
}

void stamp_segment(const Bitmap* brush, int n, int a, int b) {
  GameState& g = g_game;
  if (!brush || n <= 0 || a < 0 || a >= 14 || b < 0 || b >= 14) return;
  // Each segment starts at its own place in the wave loop; the frame counter
  // walks that place along so the blobs shift every frame.
  uint32_t s = (hash_u32(((uint32_t)b << 8) + (uint32_t)a) + (uint32_t)g.frame_counter) & 0xFF;
  int px = g.figure_origin[0] - (brush->width >> 1);
  int py = g.figure_origin[1] - (brush->height >> 1);
  int ax = g.figure_joints[a][0], ay = g.figure_joints[a][1];
  int bx = g.figure_joints[b][0], by = g.figure_joints[b][1];
  for (int i = 1; i <= n; i++) {
    float t = (float)i / (float)n;
    int ox = (int)((float)px + (float)g.wobble_scale * g.wave_table[s][0]);
    int oy = (int)((float)py + (float)g.wobble_scale * g.wave_table[s][1]);
    int x = (int)((float)(ox + ax) + t * (float)(bx - ax));
    int y = (int)((float)(oy + ay) + t * (float)(by - ay));
    blit(brush, x, y);
    s = (s + 11) & 0xFF;
  }
}

void draw_figure(int origin_x, int origin_y, int wobble_scale) {
  GameState& g = g_game;
  g.figure_origin[0] = origin_x;
  g.figure_origin[1] = origin_y;
  g.wobble_scale = wobble_scale;
  const Bitmap* brush = wobble_scale == 1 ? g.blob : g.sprites[22];
  const Bitmap* dot = wobble_scale == 1 ? g.blob2 : g.sprites[21];
  for (const Stroke& st : FIGURE_STROKES) {
    stamp_segment(st.dot ? dot : brush, st.count, st.from, st.to);
  }
}
