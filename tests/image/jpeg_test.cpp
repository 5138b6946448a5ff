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
  for (size_t i = 0; i < ref.size(); ++i) {
    int x = (int)(i / n % w), y = (int)(i / n / w), d = abs((int)ours[i] - (int)ref[i]);
    int ring = x == 0 || y == 0 || x == w - 1 || y == h - 1;
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
  int w, h, comp = 0, ours_w = 0, ours_h = 0;
  ASSERT_TRUE(jpeg_oracle_decode(file, n, &ref, &w, &h));
  std::vector<uint8_t> ours = decode_bytes(file, n, &comp, &ours_w, &ours_h);
  char what[96];
  snprintf(what, sizeof what, "%dx%d h%d%d v%d%d grey %d rst %d", spec.width, spec.height, spec.h[0],
           spec.h[1], spec.v[0], spec.v[1], spec.grey, spec.restart_mcus + spec.restart_rows);
  ASSERT_EQ(ours.size(), ref.size()) << what << ": " << image_failure_reason();
  EXPECT_EQ(comp, n);
  EXPECT_TRUE(ours_w == w && ours_h == h) << what;
  expect_close(ours.data(), ref, w, h, n, what);
}

TEST(JpegOracle, SamplingLayoutsAndOddSizesMatchLibjpeg) {
  // Luma h, v over chroma 1×1: 4:4:4, 4:2:2, 4:4:0, 4:2:0; and luma 4×1 over chroma 2×1.
  const int layouts[][3] = {{1, 1, 1}, {2, 1, 1}, {1, 2, 1}, {2, 2, 1}, {4, 1, 2}};
  // libjpeg filters horizontally only when a chroma row has more than two
  // samples (it copies otherwise), so narrow images keep chroma rows of three.
  const int sizes[][2] = {{1, 1}, {2, 2}, {17, 3}, {5, 17}, {37, 29}, {64, 48}, {101, 77}, {33, 1}, {1, 33}};
  for (const auto& l : layouts) {
    for (const auto& s : sizes) {
      expect_matches_libjpeg({.width = s[0], .height = s[1], .h = {l[0], l[2], l[2]}, .v = {l[1], 1, 1}});
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

// The base file with the `bytes`-byte big-endian field at `offset` from the
// first `marker` set to `value`.
std::vector<uint8_t> patched(int marker, int offset, uint32_t value, int bytes = 1) {
  auto f = base_file();
  size_t at = find_marker(f, marker) + (size_t)offset;
  for (int i = bytes - 1; i >= 0; --i) f[at++] = (uint8_t)(value >> (8 * i));
  return f;
}

TEST(JpegDecode, EachFaultIsRefusedByName) {
  auto dht = [](int first) {  // DHT counts: all 16 set to `first`, else 3 codes of length 1 and no others
    auto f = base_file();
    for (int i = 0; i < 16; ++i) f[find_marker(f, 0xc4) + 5 + (size_t)i] = (uint8_t)(first ? 0xff : i == 0 ? 3 : 0);
    return f;
  };
  auto dri = base_file();  // DRI with a wrong length, inserted before SOS
  const uint8_t dri_segment[] = {0xff, 0xdd, 0x00, 0x05, 0x00, 0x01, 0x00};
  dri.insert(dri.begin() + (long)find_marker(dri, 0xda), dri_segment, dri_segment + sizeof dri_segment);
  auto fill = base_file();
  fill.insert(fill.begin(), 0xff);  // fill bytes before SOI still identify the file as JPEG
  auto arith = jpeg_oracle_encode({.arithmetic = true}, jpeg_oracle_pixels(16, 16, 3));
  ASSERT_FALSE(arith.empty());
  // SOF0: FF C0, length (2), precision, height (2), width (2), count, then per
  // component: id, H<<4|V, table. DQT: length, Pq<<4|Tq. DHT: length,
  // Tc<<4|Th, 16 counts. SOS: length, count, per component id + tables, Ss,
  // Se, Ah<<4|Al.
  const struct {
    std::vector<uint8_t> file;
    const char* reason;
  } cases[] = {
      {jpeg_oracle_encode({.progressive = true}, jpeg_oracle_pixels(16, 16, 3)), "progressive jpeg"},
      {arith, "arithmetic jpeg"},
      {patched(0xc0, 4, 12), "only 8-bit"},
      {patched(0xc0, 3, 10), "bad SOF len"},
      {patched(0xc0, 3, 18), "bad SOF len"},
      {patched(0xc0, 5, 0, 2), "no header height"},
      {patched(0xc0, 7, 0, 2), "0 width"},
      {patched(0xc0, 9, 2), "bad component count"},
      {patched(0xc0, 10, 7), "bad component ID"},
      {patched(0xc0, 11, 0x01), "bad H"},
      {patched(0xc0, 11, 0x51), "bad H"},
      {patched(0xc0, 11, 0x20), "bad V"},
      {patched(0xc0, 11, 0x25), "bad V"},
      {patched(0xc0, 12, 4), "bad TQ"},
      {patched(0xc0, 11, 0x31), "uncommon H or V"},
      {patched(0xc0, 5, 0xffffffff, 4), "too large"},  // height and width 65535: past the 2^30 limit
      {patched(0xdb, 4, 0x10), "bad DQT type"},  // 16-bit table
      {patched(0xdb, 4, 0x04), "bad DQT table"},
      {patched(0xc4, 4, 0x20), "bad DHT header"},  // class 2
      {patched(0xc4, 4, 0x04), "bad DHT header"},  // identifier 4
      // Regression: counts adding up to more than 256 symbols must not overrun
      // the symbol store.
      {dht(1), "bad DHT header"},
      {dht(0), "bad code lengths"},  // over-subscribed
      {patched(0xda, 4, 0), "bad SOS component count"},
      {patched(0xda, 4, 2), "bad SOS len"},
      {patched(0xda, 6, 0x40), "bad DC huff"},
      {patched(0xda, 6, 0x04), "bad AC huff"},
      {patched(0xda, 11, 1), "bad SOS"},     // spectral start
      {patched(0xda, 13, 0x10), "bad SOS"},  // successive approximation
      {dri, "bad DRI len"},
      {{0xff, 0xd8, 0xff, 0xfe, 0x00, 0x04, 'h', 'i'}, "no SOF"},
      {{0xff, 0xd8}, "expected marker"},
      {fill, "(decoded)"},
  };
  for (const auto& c : cases) EXPECT_EQ(refusal(c.file), c.reason) << &c - cases;
}

}  // namespace
