// Scene drawing primitives: every drawing in the game copies the non-zero
// pixels of a small class Bitmap into g_game.draw_target, clipped once per
// call. Also the hazard test, the breathing warp and the stick-figure strokes.
#pragma once

#include "core/bitmap.h"

// Entries of each warp table; stretched sizes are clamped to it.
enum { DRAW_WARP_MAX = 512 };

// Where each pixel of a warped copy comes from: output column j reads source
// column cols[j], output row i reads the source row rows[i]. Scratch of one
// drawing, kept on the caller's stack.
struct WarpTables {
  uint16_t cols[DRAW_WARP_MAX];
  int32_t width;
  const uint8_t* rows[DRAW_WARP_MAX];
  int32_t height;
};

// Copies the non-zero pixels of image with its top-left corner at (x, y).
// A null image or target draws nothing.
void blit(const Bitmap* image, int x, int y);
// (x, y) is the middle of the image's bottom edge; null draws nothing.
void blit_anchored(const Bitmap* image, int x, int y);
// 1 when a non-zero image pixel, placed as blit would, lies over a target
// pixel whose class is not 0, 1 or 13. Draws nothing.
int touches_hazard(const Bitmap* image, int x, int y);
// Fills index_out (DRAW_WARP_MAX entries) with source indexes 0..n-1, each
// repeated by the local stretch interpolated between 8 control factors;
// returns the count (at most DRAW_WARP_MAX).
int build_stretch_index(const float factors[8], int n, uint16_t* index_out);
// The tables of image stretched by the two sets of factors; an unusable image
// gives width and height 0.
void build_warp_tables(WarpTables* out, const Bitmap* image, const float horizontal[8],
                       const float vertical[8]);
// Warped copy with the output's bottom-centre at (x, y).
void blit_warped(int x, int y, const Bitmap* image, const float horizontal[8],
                 const float vertical[8]);
// A wobbly line of n brush stamps from figure joint a to joint b.
void stamp_segment(const Bitmap* brush, int n, int a, int b);
// Sets figure_origin and wobble_scale and draws the 14 strokes of
// figure_joints: scale 1 uses blob/blob2, any other the sprites 22 and 21.
void draw_figure(int origin_x, int origin_y, int wobble_scale);
