// Decoding a 190-second 44.1 kHz stereo stream (quality 0.4, encoded once in
// the set-up) to interleaved 16-bit samples: ours, then libvorbisfile, in the
// same run. The closing line gives the ratio of their times per decode.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "reference_codec.h"
#include "vorbis/vorbis.h"

namespace {

constexpr int RATE = 44100;
constexpr int SECONDS = 190;

const std::vector<uint8_t>& music_stream() {
  static const std::vector<uint8_t> ogg = [] {
    std::vector<float> signal = make_test_signal(SignalKind::Mixed, 2, RATE, RATE * SECONDS, 4);
    return reference_encode(signal, 2, RATE, 0.4f);
  }();
  return ogg;
}

double g_seconds_ours = 0, g_seconds_reference = 0;
double g_cpu_ours = 0, g_cpu_reference = 0;

void vorbis_decode_190s_stereo_q04_ours(benchmark::State& state) {
  const std::vector<uint8_t>& ogg = music_stream();
  int64_t samples = 0;
  for (auto _ : state) {
    int channels = 0;
    short* out = nullptr;
    int n = vorbis_decode_all_from_memory(ogg.data(), (int)ogg.size(), &channels, &out);
    benchmark::DoNotOptimize(out);
    free(out);
    samples += n;
  }
  state.counters["x_realtime"] = benchmark::Counter((double)samples / RATE,
                                                    benchmark::Counter::kIsRate);
}

void vorbis_decode_190s_stereo_q04_libvorbisfile(benchmark::State& state) {
  const std::vector<uint8_t>& ogg = music_stream();
  int64_t samples = 0;
  for (auto _ : state) {
    ReferenceDecoded ref = reference_decode(ogg);
    benchmark::DoNotOptimize(ref.samples.data());
    samples += (int64_t)ref.samples.size() / 2;
  }
  state.counters["x_realtime"] = benchmark::Counter((double)samples / RATE,
                                                    benchmark::Counter::kIsRate);
}

// Keeps each run's real time per iteration for the closing ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      double seconds = run.real_accumulated_time / (double)run.iterations;
      double cpu = run.cpu_accumulated_time / (double)run.iterations;
      if (run.benchmark_name().find("_ours") != std::string::npos) {
        g_seconds_ours = seconds;
        g_cpu_ours = cpu;
      }
      if (run.benchmark_name().find("_libvorbisfile") != std::string::npos) {
        g_seconds_reference = seconds;
        g_cpu_reference = cpu;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

BENCHMARK(vorbis_decode_190s_stereo_q04_ours)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(vorbis_decode_190s_stereo_q04_libvorbisfile)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  music_stream();  // encode before any timing
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // CPU time is the steadier measure on a shared machine; both are shown.
  if (g_seconds_ours > 0 && g_seconds_reference > 0 && g_cpu_reference > 0)
    printf("vorbis ours / libvorbisfile: cpu time ratio %.2f, real time ratio %.2f"
           " (below 1 = ours faster)\n",
           g_cpu_ours / g_cpu_reference, g_seconds_ours / g_seconds_reference);
  benchmark::Shutdown();
  return 0;
}
