// Our decoder against libvorbisfile on streams encoded at test time: every
// stream must give the same number of samples and every 16-bit sample may
// differ by at most 2 (float rounding between the two transforms).
#include <gtest/gtest.h>

#include <cstdlib>

#include "reference_codec.h"
#include "vorbis/vorbis.h"

namespace {

struct OracleCase {
  int channels, rate;
  float quality;
  int frames;
  SignalKind kind;
};

void PrintTo(const OracleCase& c, std::ostream* os) {
  *os << c.channels << "ch_" << c.rate << "Hz_q" << c.quality << "_" << c.frames << "_kind" << (int)c.kind;
}

class VorbisOracle : public testing::TestWithParam<OracleCase> {};

TEST_P(VorbisOracle, MatchesReferenceDecoder) {
  const OracleCase& c = GetParam();
  std::vector<uint8_t> ogg = reference_encode(make_test_signal(c.kind, c.channels, c.rate, c.frames, 11), c.channels, c.rate, c.quality);
  ASSERT_FALSE(ogg.empty());
  ReferenceDecoded ref = reference_decode(ogg);
  ASSERT_TRUE(ref.ok);
  ASSERT_EQ(ref.channels, c.channels);

  int channels = 0;
  short* ours = nullptr;
  int samples = vorbis_decode_all_from_memory(ogg.data(), (int)ogg.size(), &channels, &ours);
  ASSERT_GE(samples, 0);
  ASSERT_EQ(channels, c.channels);
  ASSERT_EQ((size_t)samples * channels, ref.samples.size());
  size_t worst = 0;
  for (size_t i = 0; i < ref.samples.size(); ++i)
    if (abs(ref.samples[i] - ours[i]) > abs(ref.samples[worst] - ours[worst])) worst = i;
  if (!ref.samples.empty()) {
    EXPECT_LE(abs(ref.samples[worst] - ours[worst]), 2) << "at sample " << worst / channels << " channel " << worst % channels;
  }
  free(ours);

  // The length query agrees with what decoding produced (streams start at 0).
  VorbisDecoder* d = vorbis_open_from_memory(ogg.data(), (int)ogg.size(), nullptr, nullptr);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(vorbis_total_samples(d), (unsigned)samples);
  VorbisInfo info = vorbis_get_info(d);
  EXPECT_EQ(info.sample_rate, (unsigned)c.rate);
  EXPECT_EQ(info.channels, c.channels);
  // Pulling float frames after the length query gives the same count: the
  // query must leave the read position where it was.
  int total = 0, n;
  float** out;
  while ((n = vorbis_next_frame_float(d, nullptr, &out)) > 0) total += n;
  EXPECT_EQ(total, samples);
  vorbis_close_decoder(d);
}

// A representative matrix, not the full cross product: every channel count,
// rate and the quality extremes appear, lengths run from a few samples (less
// than one short block) to 30 s.
const OracleCase CASES[] = {
    {1, 8000, -0.1f, 50, SignalKind::Tones},
    {1, 22050, 0.0f, 2 * 22050, SignalKind::Clicks},
    {1, 48000, 1.0f, 24000, SignalKind::Noise},
    {1, 44100, 0.3f, 1, SignalKind::Noise},
    {2, 22050, -0.1f, 22050, SignalKind::Chirp},
    {2, 44100, 0.4f, 30 * 44100, SignalKind::Mixed},
    {2, 44100, 0.8f, 257, SignalKind::Clicks},
    {2, 48000, 1.0f, 2 * 48000, SignalKind::Noise},
    {6, 22050, 0.3f, 2 * 22050, SignalKind::Mixed},
    {6, 44100, -0.1f, 3 * 44100, SignalKind::Clicks},
    {6, 48000, 0.9f, 48000, SignalKind::Noise},
};

INSTANTIATE_TEST_SUITE_P(Streams, VorbisOracle, testing::ValuesIn(CASES));

}  // namespace
