// Fixture helpers shared by the simulation test executables.
#include "sim_fixture.h"

#include "audio/voice.h"
#include "sim/avatar.h"
#include "support/random.h"

void SimTest::SetUp() {
  g_game = GameState{};
  random_reset();
  voice_table.count = 0;
}

namespace {

void free_bitmap(Bitmap* b) {
  if (!b) return;
  delete[] b->pixels;
  delete b;
}

}  // namespace

void SimTest::TearDown() {
  for (Bitmap* b : owned_) free_bitmap(b);
  owned_.clear();
  voice_table.count = 0;
  g_game = GameState{};
}

Bitmap* SimTest::make_bitmap(int width, int height, uint8_t value) {
  Bitmap* b = new Bitmap{width, height, new uint8_t[(size_t)width * height]};
  for (int i = 0; i < width * height; i++) b->pixels[i] = value;
  owned_.push_back(b);
  return b;
}

void SimTest::fill_rect(Bitmap* b, int x0, int y0, int x1, int y1, uint8_t value) {
  for (int y = y0 < 0 ? 0 : y0; y < y1 && y < b->height; y++) {
    for (int x = x0 < 0 ? 0 : x0; x < x1 && x < b->width; x++) b->pixels[y * b->width + x] = value;
  }
}

int SimTest::count_value(const Bitmap* b, uint8_t value) {
  int n = 0;
  for (int i = 0; i < b->width * b->height; i++) n += b->pixels[i] == value;
  return n;
}

void SimTest::make_avatar(int body_x0, int feet_x0, int feet_x1) {
  Bitmap* a = make_bitmap(60, 80, 0);
  fill_rect(a, body_x0, 0, 50, 78, 16);
  fill_rect(a, feet_x0, 78, feet_x1, 80, 1);
  g_game.avatar = a;
  g_game.avatar_frame = make_bitmap(60, 80, 0);
  g_game.body_mask = half_mask(a, 16);
  g_game.feet_mask = half_mask(a, 1);
}

Bitmap* SimTest::make_room(void) {
  Bitmap* room = make_bitmap(800, 600, 0);
  install_room(room);
  return room;
}

void SimTest::install_room(Bitmap* room) {
  g_game.room = room;
  g_game.solid_map = half_mask(room, 1);
}

Bitmap* SimTest::half_mask(const Bitmap* source, uint8_t cls) {
  Bitmap* m = make_bitmap(source->width / 2, source->height / 2, 0);
  for (int y = 0; y < m->height * 2; y++) {
    for (int x = 0; x < m->width * 2; x++) {
      if (at(source, x, y) == cls) m->pixels[(y / 2) * m->width + x / 2] = 255;
    }
  }
  return m;
}

void SimTest::tick(void) {
  avatar_tick();
  for (int k = 0; k < 5; k++) g_game.key_held_prev[k] = g_game.key_held[k];
}

void SimTest::make_brushes(void) {
  g_game.blob = make_bitmap(3, 3, 16);
  g_game.blob2 = make_bitmap(3, 3, 16);
}
