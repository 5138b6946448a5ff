// 16-bit output: rounding and saturation, channel matching by speaker
// position (1 -> 2 and 6 -> 2 down/up-mixes, straight copies otherwise) and
// truncation of a frame to the caller's capacity.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "reference_codec.h"
#include "vorbis/vorbis_internal.h"

namespace {

std::vector<uint8_t> encoded(int channels, int frames) {
  std::vector<float> signal = make_test_signal(SignalKind::Tones, channels, 44100, frames, 3);
  return reference_encode(signal, channels, 44100, 0.5f);
}

VorbisDecoder* open(const std::vector<uint8_t>& s) {
  return vorbis_open_from_memory(s.data(), (int)s.size(), nullptr, nullptr);
}

TEST(VorbisOutput, FloatToS16RoundsToEvenAndSaturates) {
  EXPECT_EQ(vorbis_float_to_s16(1.0f), 32767);
  EXPECT_EQ(vorbis_float_to_s16(-1.0f), -32768);
  EXPECT_EQ(vorbis_float_to_s16(100000.0f), 32767);  // no wrap-around for huge values
  EXPECT_EQ(vorbis_float_to_s16(-100000.0f), -32768);
  EXPECT_EQ(vorbis_float_to_s16(0.5f / 32768), 0);   // ties go to even
  EXPECT_EQ(vorbis_float_to_s16(1.5f / 32768), 2);
  EXPECT_EQ(vorbis_float_to_s16(-2.5f / 32768), -2);
  EXPECT_EQ(vorbis_float_to_s16(0.6f / 32768), 1);
  EXPECT_EQ(vorbis_float_to_s16(0.0f), 0);
}

TEST(VorbisOutput, MonoToStereoDuplicates) {
  std::vector<uint8_t> s = encoded(1, 30000);
  VorbisDecoder* mono = open(s);
  VorbisDecoder* stereo = open(s);
  ASSERT_TRUE(mono && stereo);
  short a[4096], b[2 * 4096];
  int frames = 0, n;
  while ((n = vorbis_next_frame_s16_interleaved(mono, 1, a, 4096)) > 0) {
    ASSERT_EQ(vorbis_next_frame_s16_interleaved(stereo, 2, b, 2 * 4096), n);
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(b[2 * i], a[i]);
      ASSERT_EQ(b[2 * i + 1], a[i]);
    }
    frames += n;
  }
  EXPECT_EQ(frames, 30000);
  vorbis_close_decoder(mono);
  vorbis_close_decoder(stereo);
}

TEST(VorbisOutput, SixToStereoSumsByPosition) {
  std::vector<uint8_t> s = encoded(6, 20000);
  VorbisDecoder* floats = open(s);
  VorbisDecoder* mixed = open(s);
  VorbisDecoder* planar = open(s);
  ASSERT_TRUE(floats && mixed && planar);
  short out[2 * 4096], left[4096], right[4096];
  short* planes[2] = {left, right};
  float** f;
  int n, total = 0;
  while ((n = vorbis_next_frame_float(floats, nullptr, &f)) > 0) {
    ASSERT_EQ(vorbis_next_frame_s16_interleaved(mixed, 2, out, 2 * 4096), n);
    ASSERT_EQ(vorbis_next_frame_s16(planar, 2, planes, 4096), n);
    for (int i = 0; i < n; ++i) {
      short l = vorbis_float_to_s16(f[0][i] + f[1][i] + f[3][i] + f[5][i]);
      short r = vorbis_float_to_s16(f[1][i] + f[2][i] + f[4][i] + f[5][i]);
      ASSERT_NEAR(out[2 * i], l, 1) << "frame sample " << i;  // summation order may differ
      ASSERT_NEAR(out[2 * i + 1], r, 1);
      ASSERT_EQ(left[i], out[2 * i]);
      ASSERT_EQ(right[i], out[2 * i + 1]);
    }
    total += n;
  }
  EXPECT_EQ(total, 20000);
  vorbis_close_decoder(floats);
  vorbis_close_decoder(mixed);
  vorbis_close_decoder(planar);
}

TEST(VorbisOutput, MoreChannelsThanDecodedAreSilent) {
  std::vector<uint8_t> s = encoded(2, 10000);
  VorbisDecoder* d = open(s);
  ASSERT_NE(d, nullptr);
  short out[4 * 4096];
  int n = vorbis_next_frame_s16_interleaved(d, 4, out, 4 * 4096);
  ASSERT_GT(n, 0);
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(out[4 * i + 2], 0);
    EXPECT_EQ(out[4 * i + 3], 0);
  }
  vorbis_close_decoder(d);
}

TEST(VorbisOutput, CapacityTruncatesAndDropsTheRest) {
  std::vector<uint8_t> s = encoded(2, 30000);
  VorbisDecoder* whole = open(s);
  VorbisDecoder* cut = open(s);
  ASSERT_TRUE(whole && cut);
  short a[2 * 4096], b[100];
  int n = vorbis_next_frame_s16_interleaved(whole, 2, a, 8192);
  ASSERT_GT(n, 50);
  EXPECT_LE(n, 1024);
  ASSERT_EQ(vorbis_next_frame_s16_interleaved(cut, 2, b, 100), 50);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(a[i], b[i]);
  // The dropped part is gone: both continue with the same next frame.
  int next_whole = vorbis_next_frame_s16_interleaved(whole, 2, a, 8192);
  short c[2 * 4096];
  int next_cut = vorbis_next_frame_s16_interleaved(cut, 2, c, 8192);
  ASSERT_EQ(next_whole, next_cut);
  for (int i = 0; i < 2 * next_whole; ++i) ASSERT_EQ(a[i], c[i]);
  vorbis_close_decoder(whole);
  vorbis_close_decoder(cut);
}

}  // namespace
