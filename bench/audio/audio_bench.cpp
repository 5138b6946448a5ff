// One audio_update(4000) as the frame driver makes it at 60 frames per second:
// the device has consumed 735 frames since the last call, and a steady number
// of voices is live (16 is a busy moment of play; 200 is far beyond it).
// There is no reference mixer to run beside ours; the per-voice cost of the
// plain mixing loop is reported as a counter instead.
#include <benchmark/benchmark.h>
#include <stdint.h>

#include <vector>

#include "audio/audio.h"
#include "audio/voice.h"
#include "platform/headless/headless.h"

namespace {

const int kSourceFrames = 441000;  // ten seconds, shared by every voice

std::vector<int16_t> make_source(void) {
  std::vector<int16_t> s((size_t)kSourceFrames * 2);
  uint32_t x = 2463534242u;
  for (auto& v : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = (int16_t)(x >> 16);
  }
  return s;
}

void keep_voices_live(const std::vector<int16_t>& source, int wanted, uint32_t clock, int* serial) {
  while (voice_count() < wanted) {
    int n = (*serial)++;
    uint32_t duration = 100000 + (uint32_t)(n * 7919) % 300000;
    // Steady play: voices come and go without releases (a release rewinds the
    // ring and remixes it whole, which the game does only at a death or a hiss).
    voice_schedule({.data = source.data(), .data_frames = kSourceFrames, .data_persistent = 1,
                    .start_time = clock + (uint32_t)(n % 3) * 1000, .duration = duration,
                    .volume = 0.3f, .key = 1});
  }
}

void BM_audio_update_4000_at_60fps(benchmark::State& state) {
  const int voices = (int)state.range(0);
  static const std::vector<int16_t> source = make_source();
  headless_reset();
  headless_machine()->sound_lead = 300;
  if (!audio_init(8000, 0.03f, 264600)) {
    state.SkipWithError("audio_init failed");
    return;
  }
  int serial = 0;
  uint32_t clock = audio_update(4000);
  keep_voices_live(source, voices, clock, &serial);
  for (auto _ : state) {
    headless_sound_consume(735);
    clock = audio_update(4000);
    state.PauseTiming();
    keep_voices_live(source, voices, clock, &serial);
    state.ResumeTiming();
  }
  state.counters["voices"] = voices;
  state.counters["frames_per_update"] = 735;
  audio_shutdown();
}

BENCHMARK(BM_audio_update_4000_at_60fps)->Arg(16)->Arg(200)->Unit(benchmark::kMicrosecond);

// The worst frame: a sound cue was scheduled and released since the last
// update (a death or a hiss), which rewinds the ring to now, so the whole
// 4000-frame block is mixed again for every live voice.
void BM_audio_update_4000_after_release(benchmark::State& state) {
  const int voices = (int)state.range(0);
  static const std::vector<int16_t> source = make_source();
  headless_reset();
  headless_machine()->sound_lead = 300;
  if (!audio_init(8000, 0.03f, 264600)) {
    state.SkipWithError("audio_init failed");
    return;
  }
  int serial = 0;
  uint32_t clock = audio_update(4000);
  keep_voices_live(source, voices - 1, clock, &serial);
  for (auto _ : state) {
    state.PauseTiming();
    keep_voices_live(source, voices - 1, clock, &serial);
    voice_schedule({.data = source.data(), .data_frames = kSourceFrames, .data_persistent = 1,
                    .start_time = clock, .duration = 10000, .volume = 0.2f, .key = 6});
    voice_release(6, 1, 0, 10000);
    state.ResumeTiming();
    headless_sound_consume(735);
    clock = audio_update(4000);
  }
  state.counters["voices"] = voices;
  audio_shutdown();
}

BENCHMARK(BM_audio_update_4000_after_release)->Arg(16)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
