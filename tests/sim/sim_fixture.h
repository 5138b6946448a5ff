// Shared set-up for the simulation tests: a fresh GameState per test, small
// synthetic Bitmaps owned by the fixture, and a synthetic avatar whose body
// and feet masks follow the layout the real avatar image must have.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "core/bitmap.h"
#include "core/game_state.h"

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A width x height Bitmap filled with value, freed after the test.
  Bitmap* make_bitmap(int width, int height, uint8_t value);
  // Fills [x0, x1) x [y0, y1), clipped to the Bitmap.
  static void fill_rect(Bitmap* b, int x0, int y0, int x1, int y1, uint8_t value);
  static uint8_t at(const Bitmap* b, int x, int y) { return b->pixels[y * b->width + x]; }
  static int count_value(const Bitmap* b, uint8_t value);

  // 60 x 80 avatar: body (class 16) on rows 0..77 over columns body_x0..49,
  // feet (class 1) on rows 78..79 over columns feet_x0..feet_x1-1.
  void make_avatar(int body_x0 = 10, int feet_x0 = 10, int feet_x1 = 50);
  // An 800 x 600 room of class 0, installed with its solid_map.
  Bitmap* make_room(void);
  // Rebuilds solid_map after the room was painted.
  void install_room(Bitmap* room);
  // One tick as the frame driver runs it: avatar_tick, then the key copy.
  void tick(void);
  void ticks(int n) {
    for (int i = 0; i < n; i++) tick();
  }
  // The collision mask of one class at half resolution, as start-up and the
  // room loader make it.
  Bitmap* half_mask(const Bitmap* source, uint8_t cls);
  // Brushes for the figure: 3 x 3 blobs of class 16.
  void make_brushes(void);

 private:
  std::vector<Bitmap*> owned_;
};
