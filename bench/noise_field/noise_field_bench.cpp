// render_noise_field on a full 800 x 600 scene of mixed classes, beside a
// plain memset of the same OutputImage as the floor any renderer of 1.92 MB
// per frame has to pay. The argument caps the vector level (the game runs the
// best one); the many-colour run takes the path of Palettes the game never
// makes, the others the two-colour path of every Palette it does make.
#include <benchmark/benchmark.h>

#include <string.h>

#include "core/bitmap.h"
#include "core/game_state.h"
#include "core/noise_tables.h"
#include "sim/noise_field.h"

namespace {

const int W = 800;
const int H = 600;

struct Scene {
  Bitmap* scene;
  OutputImage* image;
};

// Room-like mix: mostly background, solid floors and walls, patches of every
// hazard class, so the per-pixel class changes often along a row (more often
// than in the shipped rooms, whose areas are larger).
Scene make_scene() {
  static Scene s = [] {
    noise_tables_build();
    palette_reset();
    Scene made{bitmap_new(W, H), output_image_new(W, H)};
    for (int y = 0; y < H; y++)
      for (int x = 0; x < W; x++) {
        int cls = 0;
        if (y > 540 || x < 20 || (y > 300 && y < 330 && x > 200)) cls = 1;
        else if (((x / 40) + (y / 30)) % 5 == 0) cls = 2 + ((x / 40) * 7 + (y / 30)) % 15;
        made.scene->pixels[y * W + x] = (uint8_t)cls;
      }
    g_game.room_number = 12;
    g_game.fade_level = 5000;
    return made;
  }();
  return s;
}

void render_frames(benchmark::State& state, bool many_colours) {
  Scene s = make_scene();
  int level = noise_field_limit_vector((int)state.range(0));
  state.SetLabel(level == NOISE_VECTOR_AVX2 ? "avx2" : level == NOISE_VECTOR_SSE2 ? "sse2" : "portable");
  palette_reset();
  if (many_colours)
    for (int i = 0; i < 256; i++) g_game.palette[i] = 0xFF000000u | (uint32_t)i * 0x010203u;
  int32_t frame = 0;
  for (auto _ : state) {
    g_game.frame_counter = frame++;
    palette_swap();
    render_noise_field(s.image, s.scene);
    benchmark::DoNotOptimize(s.image->pixels);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * (int64_t)W * H * 4);
  noise_field_limit_vector(NOISE_VECTOR_AVX2);
}

void noise_field_render_800x600_mixed(benchmark::State& state) { render_frames(state, false); }
BENCHMARK(noise_field_render_800x600_mixed)
    ->Arg(NOISE_VECTOR_AVX2)
    ->Arg(NOISE_VECTOR_SSE2)
    ->Arg(NOISE_VECTOR_NONE)
    ->Unit(benchmark::kMicrosecond);

void noise_field_render_800x600_mixed_many_colours(benchmark::State& state) { render_frames(state, true); }
BENCHMARK(noise_field_render_800x600_mixed_many_colours)
    ->Arg(NOISE_VECTOR_AVX2)
    ->Arg(NOISE_VECTOR_NONE)
    ->Unit(benchmark::kMicrosecond);

void memset_800x600_output_image(benchmark::State& state) {
  Scene s = make_scene();
  int value = 0;
  for (auto _ : state) {
    memset(s.image->pixels, value++ & 0xFF, (size_t)W * H * 4);
    benchmark::DoNotOptimize(s.image->pixels);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * (int64_t)W * H * 4);
}
BENCHMARK(memset_800x600_output_image)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
