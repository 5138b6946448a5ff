// 16-bit output: a frame larger than the caller's capacity is truncated.
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
