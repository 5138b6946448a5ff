// Decode speed of our inflater, PNG and JPEG decoders against zlib, libpng
// and libjpeg-turbo on the same bytes. Targets: inflate and PNG at least as
// fast as the reference (inflate at least 1.8 times zlib's throughput on the
// mixed set, 1.3 times on each of its parts); JPEG within 1.2 times
// libjpeg-turbo's time.
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

// The kinds of data in the mixed set: text, short binary records of small
// samples (as in filtered PNG rows), runs of one byte (low entropy) and noise
// (high entropy).
enum Part { PART_TEXT, PART_PNG_ROWS, PART_LOW_ENTROPY, PART_HIGH_ENTROPY };

void append_part(std::vector<uint8_t>* d, Part part, uint32_t* seed) {
  static const char* const words[] = {"the ", "noise ", "moves ", "in ", "its ", "own ", "way ", "room ", "wall ", "\n"};
  switch (part) {
    case PART_TEXT:
      for (int k = 0; k < 20; ++k) {
        *seed = *seed * 1664525u + 1013904223u;
        const char* w = words[(*seed >> 16) % 10];
        d->insert(d->end(), w, w + strlen(w));
      }
      break;
    case PART_PNG_ROWS:
      for (int k = 0; k < 64; ++k) {
        *seed = *seed * 1664525u + 1013904223u;
        uint32_t v = (*seed >> 20) & 0x3ff;  // small integers: compressible records
        d->push_back((uint8_t)v);
        d->push_back((uint8_t)(v >> 8));
      }
      break;
    case PART_LOW_ENTROPY:
      d->insert(d->end(), (*seed >> 8) & 1023, (uint8_t)(*seed >> 3));
      break;
    case PART_HIGH_ENTROPY:
      for (int k = 0; k < 256; ++k) {
        *seed = *seed * 1664525u + 1013904223u;
        d->push_back((uint8_t)(*seed >> 24));
      }
      break;
  }
}

// ~20 MB of the four kinds in random order, half of it text.
const std::vector<uint8_t>& mixed_raw() {
  static std::vector<uint8_t> data = [] {
    std::vector<uint8_t> d;
    d.reserve(20u << 20);
    uint32_t seed = 5;
    while (d.size() < (20u << 20)) {
      seed = seed * 1664525u + 1013904223u;
      int kind = (int)(seed >> 28);
      Part part = kind < 8 ? PART_TEXT : kind < 11 ? PART_PNG_ROWS : kind < 14 ? PART_LOW_ENTROPY : PART_HIGH_ENTROPY;
      append_part(&d, part, &seed);
    }
    return d;
  }();
  return data;
}

// ~8 MB of one kind alone.
std::vector<uint8_t> part_raw(Part part) {
  std::vector<uint8_t> d;
  d.reserve(8u << 20);
  uint32_t seed = 11;
  while (d.size() < (8u << 20)) {
    seed = seed * 1664525u + 1013904223u;
    append_part(&d, part, &seed);
  }
  return d;
}

std::vector<uint8_t> zlib_compress(const std::vector<uint8_t>& raw) {
  uLongf len = compressBound((uLong)raw.size());
  std::vector<uint8_t> out(len);
  compress2(out.data(), &len, raw.data(), (uLong)raw.size(), 6);
  out.resize(len);
  return out;
}

struct Stream {
  std::vector<uint8_t> raw, z;
};

const Stream& part_stream(Part part) {
  static Stream streams[4];
  Stream& s = streams[part];
  if (s.raw.empty()) {
    s.raw = part_raw(part);
    s.z = zlib_compress(s.raw);
  }
  return s;
}

const std::vector<uint8_t>& mixed_zlib() {
  static std::vector<uint8_t> z = zlib_compress(mixed_raw());
  return z;
}

void inflate_ours(benchmark::State& state, const std::vector<uint8_t>& z, size_t n) {
  for (auto _ : state) {
    int32_t len = 0;
    uint8_t* out = zlib_decode_to_new_buffer(z.data(), (int32_t)z.size(), &len, nullptr);
    if (!out || (size_t)len != n) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out);
    free(out);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)n);
}

void inflate_zlib(benchmark::State& state, const std::vector<uint8_t>& z, size_t n) {
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

void inflate_20mb_mixed_ours(benchmark::State& s) { inflate_ours(s, mixed_zlib(), mixed_raw().size()); }
void inflate_20mb_mixed_zlib(benchmark::State& s) { inflate_zlib(s, mixed_zlib(), mixed_raw().size()); }

void inflate_part_ours(benchmark::State& s, Part part) {
  inflate_ours(s, part_stream(part).z, part_stream(part).raw.size());
}
void inflate_part_zlib(benchmark::State& s, Part part) {
  inflate_zlib(s, part_stream(part).z, part_stream(part).raw.size());
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
BENCHMARK_CAPTURE(inflate_part_ours, 8mb_text, PART_TEXT)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(inflate_part_zlib, 8mb_text, PART_TEXT)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(inflate_part_ours, 8mb_png_rows, PART_PNG_ROWS)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(inflate_part_zlib, 8mb_png_rows, PART_PNG_ROWS)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(inflate_part_ours, 8mb_low_entropy, PART_LOW_ENTROPY)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(inflate_part_zlib, 8mb_low_entropy, PART_LOW_ENTROPY)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(inflate_part_ours, 8mb_high_entropy, PART_HIGH_ENTROPY)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(inflate_part_zlib, 8mb_high_entropy, PART_HIGH_ENTROPY)->Unit(benchmark::kMillisecond);
BENCHMARK(png_decode_800x600_palette_ours)->Unit(benchmark::kMillisecond);
BENCHMARK(png_decode_800x600_palette_libpng)->Unit(benchmark::kMillisecond);
BENCHMARK(png_decode_1920x1080_rgb_ours)->Unit(benchmark::kMillisecond);
BENCHMARK(png_decode_1920x1080_rgb_libpng)->Unit(benchmark::kMillisecond);
BENCHMARK(jpeg_decode_1920x1080_420_ours)->Unit(benchmark::kMillisecond);
BENCHMARK(jpeg_decode_1920x1080_420_libjpeg_turbo)->Unit(benchmark::kMillisecond);
BENCHMARK(jpeg_decode_1920x1080_444_ours)->Unit(benchmark::kMillisecond);
BENCHMARK(jpeg_decode_1920x1080_444_libjpeg_turbo)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
