// Baseline JPEG decoding compared with libjpeg-turbo's smooth upsampling for
// every sampling layout the decoder supports, restart intervals, grey and odd
// sizes; refusals built by patching single fields of encoder output.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "decoded.h"
#include "image/image.h"
#include "jpeg_oracle.h"

namespace {

std::string refusal(const std::vector<uint8_t>& file, int req = 3) { return decode_refusal(file, req); }

// Interior samples (all but the outermost pixel ring) must be close to the
// reference; the ring may differ more because edge chroma is copied, not filtered.
void expect_close(const uint8_t* ours, const std::vector<uint8_t>& ref, int w, int h, int n, const std::string& what) {
  double sum[2] = {0, 0};
  long count[2] = {0, 0};
  int inner_max = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < n; ++c) {
        int ring = x == 0 || y == 0 || x == w - 1 || y == h - 1;
        size_t i = ((size_t)y * w + x) * n + c;
        int d = abs((int)ours[i] - (int)ref[i]);
        sum[ring] += d;
        count[ring]++;
        if (!ring && d > inner_max) inner_max = d;
      }
  EXPECT_LE(sum[0] / (count[0] ? count[0] : 1), 1.0) << what;
  EXPECT_LE(inner_max, 8) << what;
  EXPECT_LE(sum[1] / (count[1] ? count[1] : 1), 12.0) << what;
}

void expect_matches_libjpeg(const JpegSpec& spec) {
  int n = spec.grey ? 1 : 3;
  std::vector<uint8_t> file = jpeg_oracle_encode(spec, jpeg_oracle_pixels(spec.width, spec.height, n));
  ASSERT_FALSE(file.empty());
  std::vector<uint8_t> ref;
  int w, h;
  ASSERT_TRUE(jpeg_oracle_decode(file, n, &ref, &w, &h));
  Decoded d;
  decode(file, n, &d);
  char what[96];
  snprintf(what, sizeof what, "%dx%d h%d%d v%d%d grey %d rst %d", spec.width, spec.height, spec.h[0],
           spec.h[1], spec.v[0], spec.v[1], spec.grey, spec.restart_mcus + spec.restart_rows);
  ASSERT_NE(d.pixels, nullptr) << what << ": " << image_failure_reason();
  ASSERT_EQ(d.w, w);
  ASSERT_EQ(d.h, h);
  EXPECT_EQ(d.comp, n);
  expect_close(d.pixels, ref, w, h, n, what);
}

struct Layout {
  int h[3], v[3];
};

const Layout LAYOUTS[] = {
    {{1, 1, 1}, {1, 1, 1}},  // 4:4:4
    {{2, 1, 1}, {1, 1, 1}},  // 4:2:2
    {{1, 1, 1}, {2, 1, 1}},  // 4:4:0
    {{2, 1, 1}, {2, 1, 1}},  // 4:2:0
    {{4, 2, 2}, {1, 1, 1}},  // luma 4×1 over chroma 2×1
};

TEST(JpegOracle, SamplingLayoutsAndOddSizesMatchLibjpeg) {
  // libjpeg filters horizontally only when a chroma row has more than two
  // samples (it copies otherwise), so narrow images keep chroma rows of three.
  const int sizes[][2] = {{1, 1}, {2, 2}, {17, 3}, {5, 17}, {37, 29}, {64, 48}, {101, 77}, {33, 1}, {1, 33}};
  for (const Layout& l : LAYOUTS) {
    for (const auto& s : sizes) {
      JpegSpec spec;
      spec.width = s[0];
      spec.height = s[1];
      for (int i = 0; i < 3; ++i) {
        spec.h[i] = l.h[i];
        spec.v[i] = l.v[i];
      }
      expect_matches_libjpeg(spec);
    }
  }
}

TEST(JpegOracle, RestartIntervalsGreyAndLargeMatchLibjpeg) {
  const JpegSpec specs[] = {
      {.width = 67, .height = 45, .restart_mcus = 1},
      {.width = 67, .height = 45, .restart_mcus = 7},
      {.width = 120, .height = 50, .restart_rows = 1},
      {.width = 45, .height = 31, .grey = true, .h = {1}, .v = {1}, .quality = 50},
      {.width = 45, .height = 31, .grey = true, .h = {1}, .v = {1}, .quality = 100, .restart_mcus = 2},
      {.width = 640, .height = 480},
  };
  for (const JpegSpec& spec : specs) expect_matches_libjpeg(spec);
}

// Offset of the first marker `m` (the 0xFF byte), or 0 when absent.
size_t find_marker(const std::vector<uint8_t>& f, int m) {
  for (size_t i = 2; i + 1 < f.size(); ++i)
    if (f[i] == 0xff && f[i + 1] == m) return i;
  return 0;
}

std::vector<uint8_t> base_file() { return jpeg_oracle_encode({}, jpeg_oracle_pixels(16, 16, 3)); }

TEST(JpegDecode, RestartMarkersAreFollowedAndAMissingOneEndsTheScan) {
  JpegSpec spec{.width = 64, .height = 32, .restart_mcus = 2};
  auto file = jpeg_oracle_encode(spec, jpeg_oracle_pixels(64, 32, 3));
  size_t rst = find_marker(file, 0xd0);
  ASSERT_NE(rst, 0u);
  // Cut the entropy data at the first restart marker and end the file there:
  // the scan stops at the restart point and the image still decodes.
  std::vector<uint8_t> cut(file.begin(), file.begin() + (long)rst);
  cut.push_back(0xff);
  cut.push_back(0xd9);
  Decoded full, part;
  decode(file, 3, &full);
  decode(cut, 3, &part);
  ASSERT_NE(full.pixels, nullptr);
  ASSERT_NE(part.pixels, nullptr) << image_failure_reason();
  // The first two MCUs (32 × 16 pixels) are the same, apart from the chroma
  // filter taps that reach into the missing blocks.
  for (int y = 0; y < 14; ++y) EXPECT_EQ(0, memcmp(full.pixels + y * 192, part.pixels + y * 192, 90)) << y;
}

TEST(JpegDecode, UnsupportedKindsAreRefusedByName) {
  JpegSpec spec{.progressive = true};
  EXPECT_EQ(refusal(jpeg_oracle_encode(spec, jpeg_oracle_pixels(16, 16, 3))), "progressive jpeg");
  spec = {.arithmetic = true};
  auto arith = jpeg_oracle_encode(spec, jpeg_oracle_pixels(16, 16, 3));
  ASSERT_FALSE(arith.empty());
  EXPECT_EQ(refusal(arith), "arithmetic jpeg");
  auto twelve = base_file();
  size_t sof = find_marker(twelve, 0xc0);
  ASSERT_NE(sof, 0u);
  twelve[sof + 4] = 12;  // sample precision
  EXPECT_EQ(refusal(twelve), "only 8-bit");
}

TEST(JpegDecode, FrameHeaderChecks) {
  struct Patch {
    int offset;  // from the SOF0 marker
    int value;
    const char* reason;
  };
  // SOF0: FF C0, length (2), precision, height (2), width (2), count, then
  // per component: id, H<<4|V, table.
  const Patch patches[] = {
      {3, 10, "bad SOF len"},         {5, 0, "no header height"}, {7, 0, "0 width"},
      {9, 2, "bad component count"},  {3, 18, "bad SOF len"},     {10, 7, "bad component ID"},
      {11, 0x01, "bad H"},            {11, 0x51, "bad H"},        {11, 0x20, "bad V"},
      {11, 0x25, "bad V"},            {12, 4, "bad TQ"},          {11, 0x31, "uncommon H or V"},
  };
  for (const Patch& p : patches) {
    auto f = base_file();
    size_t sof = find_marker(f, 0xc0);
    ASSERT_NE(sof, 0u);
    if (p.offset == 5) f[sof + 6] = 0;  // height is two bytes
    if (p.offset == 7) f[sof + 8] = 0;
    f[sof + p.offset] = (uint8_t)p.value;
    EXPECT_EQ(refusal(f), p.reason) << p.offset << " = " << p.value;
  }
  // 65535 × 65535 × 3 is past the 2^30 limit.
  auto f = base_file();
  size_t sof = find_marker(f, 0xc0);
  f[sof + 5] = f[sof + 6] = f[sof + 7] = f[sof + 8] = 0xff;
  EXPECT_EQ(refusal(f), "too large");
}

TEST(JpegDecode, TableAndScanHeaderChecks) {
  const auto f = base_file();
  // Offsets from the marker's 0xFF. DQT: length (2), Pq<<4|Tq. DHT: length,
  // Tc<<4|Th, 16 counts. SOS: length, count, per component id + tables, Ss,
  // Se, Ah<<4|Al.
  const struct {
    int marker, offset, value;
    const char* reason;
  } patches[] = {
      {0xdb, 4, 0x10, "bad DQT type"},  // 16-bit table
      {0xdb, 4, 0x04, "bad DQT table"},
      {0xc4, 4, 0x20, "bad DHT header"},  // class 2
      {0xc4, 4, 0x04, "bad DHT header"},  // identifier 4
      {0xda, 4, 0, "bad SOS component count"},
      {0xda, 4, 2, "bad SOS len"},
      {0xda, 6, 0x40, "bad DC huff"},
      {0xda, 6, 0x04, "bad AC huff"},
      {0xda, 11, 1, "bad SOS"},     // spectral start
      {0xda, 13, 0x10, "bad SOS"},  // successive approximation
  };
  for (const auto& p : patches) {
    auto t = f;
    size_t at = find_marker(t, p.marker);
    ASSERT_NE(at, 0u);
    t[at + (size_t)p.offset] = (uint8_t)p.value;
    EXPECT_EQ(refusal(t), p.reason) << std::hex << p.marker << " +" << p.offset;
  }
  size_t dht = find_marker(f, 0xc4);
  // Regression: counts adding up to more than 256 symbols must not overrun the
  // symbol store.
  auto t = f;
  for (int i = 0; i < 16; ++i) t[dht + 5 + i] = 0xff;
  EXPECT_EQ(refusal(t), "bad DHT header");
  // Three codes of length 1: over-subscribed.
  for (int i = 0; i < 16; ++i) t[dht + 5 + i] = i == 0 ? 3 : 0;
  EXPECT_EQ(refusal(t), "bad code lengths");
  // DRI with a wrong length, inserted before SOS.
  t = f;
  const uint8_t dri[] = {0xff, 0xdd, 0x00, 0x05, 0x00, 0x01, 0x00};
  t.insert(t.begin() + (long)find_marker(f, 0xda), dri, dri + sizeof dri);
  EXPECT_EQ(refusal(t), "bad DRI len");
}

TEST(JpegDecode, MarkerStructureChecks) {
  const std::vector<uint8_t> soi_then_comment = {0xff, 0xd8, 0xff, 0xfe, 0x00, 0x04, 'h', 'i'};
  EXPECT_EQ(refusal(soi_then_comment), "no SOF");
  const std::vector<uint8_t> soi_only = {0xff, 0xd8};
  EXPECT_EQ(refusal(soi_only), "expected marker");
  // Fill bytes before SOI still identify the file as JPEG.
  auto f = base_file();
  f.insert(f.begin(), 0xff);
  EXPECT_EQ(refusal(f), "(decoded)");
}

}  // namespace
