// Decode speed of our inflater, PNG and JPEG decoders against zlib, libpng
// and libjpeg-turbo on the same bytes. Targets: inflate and PNG at least as
// fast as the reference; JPEG within 1.2 times libjpeg-turbo's time.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include <vector>

#include "image/image.h"
#include "image/inflate.h"
#include "jpeg_oracle.h"
#include "png_oracle.h"

namespace {

// ~20 MB of mixed content: text, short binary records, runs and noise.
const std::vector<uint8_t>& mixed_raw() {
  static std::vector<uint8_t> data = [] {
    std::vector<uint8_t> d;
    d.reserve(20u << 20);
    uint32_t seed = 5;
    const char* words[] = {"the ", "noise ", "moves ", "in ", "its ", "own ", "way ", "room ", "wall ", "\n"};
    while (d.size() < (20u << 20)) {
      seed = seed * 1664525u + 1013904223u;
      int kind = (int)(seed >> 28);
      if (kind < 8) {
        for (int k = 0; k < 20; ++k) {
          seed = seed * 1664525u + 1013904223u;
          const char* w = words[(seed >> 16) % 10];
          d.insert(d.end(), w, w + strlen(w));
        }
      } else if (kind < 11) {
        for (int k = 0; k < 64; ++k) {
          seed = seed * 1664525u + 1013904223u;
          uint32_t v = (seed >> 20) & 0x3ff;  // small integers: compressible records
          d.push_back((uint8_t)v);
          d.push_back((uint8_t)(v >> 8));
        }
      } else if (kind < 14) {
        d.insert(d.end(), (seed >> 8) & 1023, (uint8_t)(seed >> 3));
      } else {
        for (int k = 0; k < 256; ++k) {
          seed = seed * 1664525u + 1013904223u;
          d.push_back((uint8_t)(seed >> 24));
        }
      }
    }
    return d;
  }();
  return data;
}

const std::vector<uint8_t>& mixed_zlib() {
  static std::vector<uint8_t> z = [] {
    const std::vector<uint8_t>& raw = mixed_raw();
    uLongf len = compressBound((uLong)raw.size());
    std::vector<uint8_t> out(len);
    compress2(out.data(), &len, raw.data(), (uLong)raw.size(), 6);
    out.resize(len);
    return out;
  }();
  return z;
}

void inflate_20mb_mixed_ours(benchmark::State& state) {
  const auto& z = mixed_zlib();
  for (auto _ : state) {
    int32_t len = 0;
    uint8_t* out = zlib_decode_to_new_buffer(z.data(), (int32_t)z.size(), &len, nullptr);
    if (!out || (size_t)len != mixed_raw().size()) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out);
    free(out);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)mixed_raw().size());
}

void inflate_20mb_mixed_zlib(benchmark::State& state) {
  const auto& z = mixed_zlib();
  size_t n = mixed_raw().size();
  for (auto _ : state) {
    // Same allocation pattern as a one-shot decode: a fresh output buffer.
    uint8_t* out = (uint8_t*)malloc(n);
    uLongf len = (uLongf)n;
    if (uncompress(out, &len, z.data(), (uLong)z.size()) != Z_OK) state.SkipWithError("zlib failed");
    benchmark::DoNotOptimize(out);
    free(out);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)n);
}

// A room: large flat regions of a few colours, some thin lines and dots.
const std::vector<uint8_t>& room_png() {
  static std::vector<uint8_t> file = [] {
    PngSpec spec;
    spec.width = 800;
    spec.height = 600;
    spec.color_type = 3;
    spec.palette_size = 17;
    std::vector<uint8_t> px(800 * 600, 0);
    uint32_t seed = 3;
    for (int r = 0; r < 40; ++r) {
      seed = seed * 1664525u + 1013904223u;
      int x0 = (int)((seed >> 8) % 800), y0 = (int)((seed >> 16) % 600);
      int w = 20 + (int)((seed >> 4) % 300), h = 10 + (int)((seed >> 12) % 200);
      uint8_t c = (uint8_t)(1 + (seed >> 24) % 16);
      for (int y = y0; y < y0 + h && y < 600; ++y)
        for (int x = x0; x < x0 + w && x < 800; ++x) px[(size_t)y * 800 + x] = c;
    }
    for (int d = 0; d < 3000; ++d) {
      seed = seed * 1664525u + 1013904223u;
      px[(seed >> 8) % px.size()] = (uint8_t)((seed >> 28) + 1);
    }
    return png_oracle_encode(spec, px);
  }();
  return file;
}

const std::vector<uint8_t>& photo_png() {
  static std::vector<uint8_t> file = [] {
    PngSpec spec;
    spec.width = 1920;
    spec.height = 1080;
    spec.color_type = 2;
    return png_oracle_encode(spec, jpeg_oracle_pixels(1920, 1080, 3));
  }();
  return file;
}

void png_ours(benchmark::State& state, const std::vector<uint8_t>& file) {
  for (auto _ : state) {
    int32_t w, h, c;
    uint8_t* px = image_load_from_memory(file.data(), (int32_t)file.size(), &w, &h, &c, 4);
    if (!px) state.SkipWithError(image_failure_reason());
    benchmark::DoNotOptimize(px);
    free(px);
  }
}

void png_libpng(benchmark::State& state, const std::vector<uint8_t>& file) {
  std::vector<uint8_t> out;
  for (auto _ : state) {
    int w, h, fc;
    if (!png_oracle_decode(file, 4, &out, &w, &h, &fc)) state.SkipWithError("libpng failed");
    benchmark::DoNotOptimize(out.data());
  }
}

void png_decode_800x600_palette_ours(benchmark::State& s) { png_ours(s, room_png()); }
void png_decode_800x600_palette_libpng(benchmark::State& s) { png_libpng(s, room_png()); }
void png_decode_1920x1080_rgb_ours(benchmark::State& s) { png_ours(s, photo_png()); }
void png_decode_1920x1080_rgb_libpng(benchmark::State& s) { png_libpng(s, photo_png()); }

// Chroma sampled 2×2 (4:2:0) or not at all (4:4:4).
std::vector<uint8_t> photo_jpeg(int chroma_step) {
  JpegSpec spec;
  spec.width = 1920;
  spec.height = 1080;
  spec.quality = 90;
  spec.h[0] = spec.v[0] = chroma_step;
  return jpeg_oracle_encode(spec, jpeg_oracle_pixels(1920, 1080, 3));
}

const std::vector<uint8_t>& photo_jpeg_420() {
  static std::vector<uint8_t> file = photo_jpeg(2);
  return file;
}

const std::vector<uint8_t>& photo_jpeg_444() {
  static std::vector<uint8_t> file = photo_jpeg(1);
  return file;
}

void jpeg_ours(benchmark::State& state, const std::vector<uint8_t>& file) {
  for (auto _ : state) {
    int32_t w, h, c;
    uint8_t* px = image_load_from_memory(file.data(), (int32_t)file.size(), &w, &h, &c, 3);
    if (!px) state.SkipWithError(image_failure_reason());
    benchmark::DoNotOptimize(px);
    free(px);
  }
}

void jpeg_libjpeg_turbo(benchmark::State& state, const std::vector<uint8_t>& file) {
  std::vector<uint8_t> out;
  for (auto _ : state) {
    int w, h;
    if (!jpeg_oracle_decode(file, 3, &out, &w, &h)) state.SkipWithError("libjpeg failed");
    benchmark::DoNotOptimize(out.data());
  }
}

void jpeg_decode_1920x1080_420_ours(benchmark::State& s) { jpeg_ours(s, photo_jpeg_420()); }
void jpeg_decode_1920x1080_420_libjpeg_turbo(benchmark::State& s) { jpeg_libjpeg_turbo(s, photo_jpeg_420()); }
void jpeg_decode_1920x1080_444_ours(benchmark::State& s) { jpeg_ours(s, photo_jpeg_444()); }
void jpeg_decode_1920x1080_444_libjpeg_turbo(benchmark::State& s) { jpeg_libjpeg_turbo(s, photo_jpeg_444()); }

}  // namespace

BENCHMARK(inflate_20mb_mixed_ours)->Unit(benchmark::kMillisecond);
BENCHMARK(inflate_20mb_mixed_zlib)->Unit(benchmark::kMillisecond);
BENCHMARK(png_decode_800x600_palette_ours)->Unit(benchmark::kMillisecond);
BENCHMARK(png_decode_800x600_palette_libpng)->Unit(benchmark::kMillisecond);
BENCHMARK(png_decode_1920x1080_rgb_ours)->Unit(benchmark::kMillisecond);
BENCHMARK(png_decode_1920x1080_rgb_libpng)->Unit(benchmark::kMillisecond);
BENCHMARK(jpeg_decode_1920x1080_420_ours)->Unit(benchmark::kMillisecond);
BENCHMARK(jpeg_decode_1920x1080_420_libjpeg_turbo)->Unit(benchmark::kMillisecond);
BENCHMARK(jpeg_decode_1920x1080_444_ours)->Unit(benchmark::kMillisecond);
BENCHMARK(jpeg_decode_1920x1080_444_libjpeg_turbo)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
