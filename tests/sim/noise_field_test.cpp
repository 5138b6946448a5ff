// Noise field renderer against a plain one written straight from the row
// formulas, in every room, through the title fade and in the debug view.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/game_state.h"
#include "core/noise_tables.h"
#include "sim/noise_field.h"
#include "support/random.h"

namespace {

const int W = 800;
const int H = 600;

class NoiseField : public ::testing::Test {
 protected:
  void SetUp() override {
    random_reset();
    ASSERT_EQ(noise_tables_build(), 1);
    for (int i = 0; i < 256; i++) g_game.palette[i] = (uint32_t)i;
    scene_ = bitmap_new(W, H);
    image_ = output_image_new(W, H);
    ASSERT_TRUE(scene_ && image_);
    g_game.debug_view = 0;
    g_game.fade_level = 5000;
    g_game.room_number = 5;
  }
  void TearDown() override {
    bitmap_free(scene_);
    output_image_free(image_);
  }
  Bitmap* scene_ = nullptr;
  OutputImage* image_ = nullptr;
};

// ---------------------------------------------------------------------------
// The renderer against a plain one written straight from the row formulas:
// every pixel looked up on its own, no derived tables, no vector code. Any
// shortcut in the real renderer (coloured or two-colour tables patched between
// frames, chunks of one class, overlapping vector stores) must give the same
// pixels, the same number of random draws and the same layer_rows.

namespace reference {

uint32_t row_start(uint32_t a, uint32_t b) { return (a + g_game.random_words[b & 0x7FFF]) & 0xFFFF; }

int32_t floor_mod(int32_t t, int32_t n) { return ((t % n) + n) % n; }

struct Result {
  uint32_t last_starts[17];
  int rows;
};

// Writes the area both images cover, as render_noise_field documents.
Result render(OutputImage* image, const Bitmap* scene) {
  const GameState& g = g_game;
  Result r = {};
  int rows = std::min(scene->height, image->height);
  int cols = std::min(std::min(scene->width, image->width), (int)NOISE_BYTES_TAIL);
  r.rows = rows;
  int32_t t = g.frame_counter;
  uint32_t ut = (uint32_t)t;
  uint32_t speed = (g.room_number >= 31 ? ut * 2 : ut) & 0x3FFFFFF;
  uint32_t jitter = 0;
  if (g.fade_level < 600) {
    double x = std::clamp(g.fade_level * 0.0025 - 0.65, 0.0, 1.0);
    int32_t e = (int32_t)(t / (x * 20 + 1));
    jitter = hash_u32((uint32_t)(e / 6) + g.random_words[e & 0x7FFF]) & 0x7FFF;
  }
  const uint32_t shiver[6] = {0, 1, 2, 3, 2, 1};
  uint32_t t6 = (uint32_t)(t / 6), t3 = (uint32_t)(t / 3);
  uint32_t jump14 = hash_u32(g.random_words[hash_u32(t6) & 0x7FFF] + t6) & 0x7FFF;
  uint32_t a13 = jitter + shiver[floor_mod(t, 6)] + 400;
  uint32_t a14 = jitter + jump14;
  uint32_t a15 = jitter + t3 * 77;
  uint32_t b15 = t3 * 43 + 400;
  uint32_t a12 = (uint32_t)floor_mod(t, 4) * 23 + 800;
  uint32_t b12 = (uint32_t)floor_mod(t, 4) * 98 + 555;
  const int32_t dx[8] = {0, -12, -16, -12, 0, 12, 16, 12};
  const int32_t dy[8] = {16, 12, 0, -12, -16, -12, 0, 12};
  for (int j = 0; j < rows; j++) {
    uint32_t s[17];
    uint32_t uj = (uint32_t)j;
    s[0] = row_start((uint32_t)(t >> 2), uj - ut);
    s[1] = g.room_number >= 38 ? row_start(200, uj + (uint32_t)(t >> 2)) : row_start(jitter + 200, uj);
    s[13] = row_start(a13, uj + 200);
    s[14] = row_start(a14, uj + 400);
    s[16] = row_start(mt_next(), 0);
    s[15] = row_start(a15, uj + b15);
    s[12] = row_start(a12, uj + b12);
    for (int h = 0; h < 8; h++) {
      uint32_t a = (uint32_t)(h * 800 + ((dx[h] * (int32_t)speed) >> 4) + 1);
      uint32_t b = (uint32_t)(h * 433 + ((dy[h] * (int32_t)speed) >> 4) + 600);
      s[2 + h] = row_start(a, b + uj);
    }
    s[11] = row_start(j & 1 ? ut + jitter : jitter - ut, uj + 600);
    s[10] = j & 1 ? row_start(333, uj + ut + 2000) : row_start(733, uj - ut + 2000);
    for (int k = 0; k < cols; k++) {
      uint8_t cls = scene->pixels[(size_t)j * scene->width + k];
      uint32_t* out = &image->pixels[(size_t)j * image->width + k];
      if (g.debug_view) {
        uint32_t key = cls < 17 ? BITMAP_KEY_COLOURS[cls] : 0;
        *out = (key & 0xFF) << 16 | (key & 0xFF00) | (key >> 16 & 0xFF);
      } else {
        // A byte that is no class reads the row at the start of the table.
        *out = g.palette[g.noise_bytes[(cls < 17 ? s[cls] : 0) + k]];
      }
    }
    memcpy(r.last_starts, s, sizeof(s));
  }
  return r;
}

}  // namespace reference

// Room-like scene: class 0 and 1 areas, stream patches, thin lines, single
// pixels, a few bytes that are no class, and runs of every length.
Bitmap* make_reference_scene(int w, int h, uint32_t seed) {
  Bitmap* scene = bitmap_new(w, h);
  if (!scene) return nullptr;
  for (int j = 0; j < h; j++) {
    int k = 0;
    while (k < w) {
      seed = seed * 1103515245u + 12345u;
      int len = (seed >> 16) % 3 == 0 ? 1 + (seed >> 8) % 5 : 1 + (seed >> 4) % 200;
      uint8_t cls = (uint8_t)((seed >> 24) % 17);
      if ((seed >> 10) % 97 == 0) cls = (uint8_t)(17 + (seed >> 3) % 239);
      if (j > h * 3 / 4) cls = 1;  // a floor several rows deep
      for (int i = k; i < k + len && i < w; i++) scene->pixels[(size_t)j * w + i] = cls;
      k += len;
    }
  }
  return scene;
}

// The Palettes the game makes, and some it never does.
enum PaletteKind { SHUFFLED, TITLE_FADE, ROOM_39, ONE_COLOUR, MANY_COLOURS, RESET };

void make_palette(PaletteKind kind, int step) {
  uint32_t* p = g_game.palette;
  switch (kind) {
    case SHUFFLED: for (int i = 0; i < 1 + step % 3; i++) palette_swap(); break;
    case TITLE_FADE:
      for (int i = 0; i < 256; i++) p[i] = i < 128 ? 0xFF000000u + (uint32_t)(step * 7 % 256) * 0x010101u : 0;
      break;
    case ROOM_39:
      for (int i = 0; i < 256; i++) {
        uint32_t a = (uint32_t)(255 - step * 11 % 96), b = (uint32_t)(step * 13 % 161);
        p[i] = (p[i] & 0xFF000000u) == 0xFF000000u ? 0xFF000000u + a * 0x010101u : b * 0x010101u;
      }
      break;
    case ONE_COLOUR: for (int i = 0; i < 256; i++) p[i] = 0x00123456u + (uint32_t)step; break;
    case MANY_COLOURS: for (int i = 0; i < 256; i++) p[i] = hash_u32((uint32_t)(i + step * 256)); break;
    case RESET: palette_reset(); break;
  }
}

class NoiseFieldReference : public NoiseField {
 protected:
  // Renders the current frame both ways from the same generator position and
  // compares everything the renderer leaves behind.
  void expect_same_frame(const Bitmap* scene, OutputImage* image, const char* what) {
    std::vector<uint32_t> fast_px(image->pixels, image->pixels + (size_t)image->width * image->height);
    random_reset();
    for (int i = 0; i < g_game.frame_counter % 7; i++) mt_next();
    render_noise_field(image, scene);
    uint32_t fast_next = mt_next();
    std::vector<uint32_t> fast(image->pixels, image->pixels + (size_t)image->width * image->height);
    const uint8_t* fast_rows[17];
    memcpy(fast_rows, g_game.layer_rows, sizeof(fast_rows));

    std::copy(fast_px.begin(), fast_px.end(), image->pixels);
    random_reset();
    for (int i = 0; i < g_game.frame_counter % 7; i++) mt_next();
    reference::Result r = reference::render(image, scene);
    uint32_t slow_next = mt_next();
    ASSERT_EQ(fast_next, slow_next) << what << ": random draws out of step";
    for (int c = 0; c < 17; c++)
      ASSERT_EQ(fast_rows[c], g_game.noise_bytes + r.last_starts[c]) << what << ": layer_rows[" << c << "]";
    // Outside the scene both must have left the picture as it was.
    for (int j = 0; j < image->height; j++)
      for (int k = 0; k < image->width; k++) {
        size_t i = (size_t)j * image->width + k;
        int cls = j < scene->height && k < scene->width ? scene->pixels[(size_t)j * scene->width + k] : -1;
        ASSERT_EQ(fast[i], image->pixels[i]) << what << ": pixel " << k << "," << j << " class " << cls;
      }
  }

  void compare_levels(const Bitmap* wide, const Bitmap* odd) {
    std::vector<int> levels;
    for (int level = NOISE_VECTOR_NONE; level <= NOISE_VECTOR_AVX2; level++)
      if (noise_field_limit_vector(level) == level) levels.push_back(level);
    ASSERT_FALSE(levels.empty());
    palette_reset();
    const PaletteKind kinds[] = {SHUFFLED, SHUFFLED, ROOM_39, TITLE_FADE, SHUFFLED, MANY_COLOURS,
                                 SHUFFLED, ONE_COLOUR, SHUFFLED, RESET};
    int step = 0;
    for (int level : levels) {
      ASSERT_EQ(noise_field_limit_vector(level), level);
      std::string name = "level " + std::to_string(level);
      // Rooms 1-40 in play, a few frames each, the Palette changing between
      // them the ways the frame driver changes it (and some it never does).
      g_game.fade_level = 5000;
      for (int room = 1; room <= 40; room++) {
        g_game.room_number = room;
        for (int f = 0; f < 3; f++, step++) {
          g_game.frame_counter = room * 997 + f * (room >= 38 ? 17 : 1);
          make_palette(kinds[step % 10], step);
          const Bitmap* scene = (step & 1) ? odd : wide;
          ASSERT_NO_FATAL_FAILURE(expect_same_frame(scene, image_, (name + " room " + std::to_string(room)).c_str()));
        }
      }
      // The title: the jitter shakes at every stage of the fade, including a
      // frame counter past the word table and a wrapped negative one.
      g_game.room_number = 1;
      for (int32_t fade : {0, 120, 254, 300, 420, 599, 600}) {
        for (int32_t t : {0, 1, 5, 6, 700, 40000, -13}) {
          g_game.fade_level = fade;
          g_game.frame_counter = t;
          make_palette(fade < 255 ? TITLE_FADE : SHUFFLED, step++);
          std::string what = name + " title fade " + std::to_string(fade);
          ASSERT_NO_FATAL_FAILURE(expect_same_frame(wide, image_, what.c_str()));
        }
      }
      // The debug view, whatever the Palette.
      g_game.fade_level = 5000;
      g_game.debug_view = 1;
      for (int room : {1, 31, 40}) {
        g_game.room_number = room;
        g_game.frame_counter = room;
        make_palette(MANY_COLOURS, step++);
        ASSERT_NO_FATAL_FAILURE(expect_same_frame(odd, image_, (name + " debug view").c_str()));
      }
      g_game.debug_view = 0;
    }
  }
};

TEST_F(NoiseFieldReference, EveryRoomTitleAndDebugViewMatchThePlainRenderer) {
  Bitmap* wide = make_reference_scene(W, H, 99);
  Bitmap* odd = make_reference_scene(797, 451, 7);  // odd width: row ends inside a vector chunk
  ASSERT_TRUE(wide && odd);
  compare_levels(wide, odd);
  g_game.debug_view = 0;
  noise_field_limit_vector(NOISE_VECTOR_AVX2);
  bitmap_free(wide);
  bitmap_free(odd);
}

}  // namespace
