// Baseline JPEG decoding compared with libjpeg-turbo's smooth upsampling for
// every sampling layout the decoder supports, restart intervals, grey and odd
// sizes; refusals built by patching single fields of encoder output.
#include <gtest/gtest.h>
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
  double inner_sum = 0, ring_sum = 0;
  long inner_count = 0, ring_count = 0;
  int inner_max = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      bool ring = x == 0 || y == 0 || x == w - 1 || y == h - 1;
      for (int c = 0; c < n; ++c) {
        size_t i = ((size_t)y * w + x) * n + c;
        int d = abs((int)ours[i] - (int)ref[i]);
        if (ring) {
          ring_sum += d;
          ++ring_count;
        } else {
          inner_sum += d;
          ++inner_count;
          if (d > inner_max) inner_max = d;
        }
      }
    }
  }
  if (inner_count) {
    EXPECT_LE(inner_sum / inner_count, 1.0) << what;
    EXPECT_LE(inner_max, 8) << what;
  }
  if (ring_count) {
    EXPECT_LE(ring_sum / ring_count, 12.0) << what;
  }
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
  std::string what = std::to_string(spec.width) + "x" + std::to_string(spec.height) + " h" +
                     std::to_string(spec.h[0]) + std::to_string(spec.h[1]) + " v" + std::to_string(spec.v[0]) +
                     std::to_string(spec.v[1]) + (spec.grey ? " grey" : "") + " rst" +
                     std::to_string(spec.restart_mcus + spec.restart_rows);
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

TEST(JpegOracle, RestartIntervalsAndGreyMatchLibjpeg) {
  for (int interval : {1, 3, 7}) {
    JpegSpec spec;
    spec.width = 67;
    spec.height = 45;
    spec.restart_mcus = interval;
    expect_matches_libjpeg(spec);
  }
  JpegSpec rows;
  rows.width = 120;
  rows.height = 50;
  rows.restart_rows = 1;
  expect_matches_libjpeg(rows);
  for (int q : {50, 75, 100}) {
    JpegSpec grey;
    grey.grey = true;
    grey.width = 45;
    grey.height = 31;
    grey.h[0] = grey.v[0] = 1;
    grey.quality = q;
    grey.restart_mcus = q == 75 ? 2 : 0;
    expect_matches_libjpeg(grey);
  }
  JpegSpec big;
  big.width = 640;
  big.height = 480;
  expect_matches_libjpeg(big);
}

// Offset of the first marker `m` (the 0xFF byte), or 0 when absent.
size_t find_marker(const std::vector<uint8_t>& f, int m) {
  for (size_t i = 2; i + 1 < f.size(); ++i)
    if (f[i] == 0xff && f[i + 1] == m) return i;
  return 0;
}

std::vector<uint8_t> base_file(int w = 16, int h = 16) {
  JpegSpec spec;
  spec.width = w;
  spec.height = h;
  return jpeg_oracle_encode(spec, jpeg_oracle_pixels(w, h, 3));
}

TEST(JpegDecode, RestartMarkersAreFollowedAndAMissingOneEndsTheScan) {
  JpegSpec spec;
  spec.width = 64;
  spec.height = 32;
  spec.restart_mcus = 2;
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
  for (int y = 0; y < 14; ++y)
    EXPECT_EQ(0, memcmp(full.pixels + y * 64 * 3, part.pixels + y * 64 * 3, 30 * 3)) << y;
}

TEST(JpegDecode, UnsupportedKindsAreRefusedByName) {
  JpegSpec spec;
  spec.width = 16;
  spec.height = 16;
  spec.progressive = true;
  EXPECT_EQ(refusal(jpeg_oracle_encode(spec, jpeg_oracle_pixels(16, 16, 3))), "progressive jpeg");
  spec.progressive = false;
  spec.arithmetic = true;
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
  auto f = base_file();
  size_t dqt = find_marker(f, 0xdb);
  ASSERT_NE(dqt, 0u);
  auto t = f;
  t[dqt + 4] = 0x10;  // 16-bit table
  EXPECT_EQ(refusal(t), "bad DQT type");
  t = f;
  t[dqt + 4] = 0x04;
  EXPECT_EQ(refusal(t), "bad DQT table");

  size_t dht = find_marker(f, 0xc4);
  ASSERT_NE(dht, 0u);
  t = f;
  t[dht + 4] = 0x20;  // class 2
  EXPECT_EQ(refusal(t), "bad DHT header");
  t = f;
  t[dht + 4] = 0x04;  // identifier 4
  EXPECT_EQ(refusal(t), "bad DHT header");
  // Regression: counts adding up to more than 256 symbols must not overrun the
  // symbol store.
  t = f;
  for (int i = 0; i < 16; ++i) t[dht + 5 + i] = 0xff;
  EXPECT_EQ(refusal(t), "bad DHT header");
  // Two codes of length 1 and one more: over-subscribed.
  t = f;
  for (int i = 0; i < 16; ++i) t[dht + 5 + i] = 0;
  t[dht + 5] = 3;
  EXPECT_NE(refusal(t), "(decoded)");
  EXPECT_EQ(refusal(t), "bad code lengths");

  size_t sos = find_marker(f, 0xda);
  ASSERT_NE(sos, 0u);
  // SOS: FF DA, length (2), count, per component id + tables, Ss, Se, Ah/Al.
  t = f;
  t[sos + 4] = 0;
  EXPECT_EQ(refusal(t), "bad SOS component count");
  t = f;
  t[sos + 4] = 2;
  EXPECT_EQ(refusal(t), "bad SOS len");
  t = f;
  t[sos + 6] = 0x40;
  EXPECT_EQ(refusal(t), "bad DC huff");
  t = f;
  t[sos + 6] = 0x04;
  EXPECT_EQ(refusal(t), "bad AC huff");
  t = f;
  t[sos + 11] = 1;  // spectral start
  EXPECT_EQ(refusal(t), "bad SOS");
  t = f;
  t[sos + 13] = 0x10;  // successive approximation
  EXPECT_EQ(refusal(t), "bad SOS");

  // DRI with a wrong length, inserted before SOS.
  t = f;
  const uint8_t dri[] = {0xff, 0xdd, 0x00, 0x05, 0x00, 0x01, 0x00};
  t.insert(t.begin() + (long)sos, dri, dri + sizeof dri);
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
