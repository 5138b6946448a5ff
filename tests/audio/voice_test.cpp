// Voices: the full table, the pan law, and the release of a key. Most cases mix
// a single voice into a plain float buffer so the expected values are exact.
#include <gtest/gtest.h>
#include <math.h>

#include <vector>

#include "audio/audio.h"
#include "audio/ring.h"
#include "audio/voice.h"
#include "audio_test_util.h"

namespace {

class VoiceTest : public ::testing::Test {
 protected:
  void SetUp() override { open_standard_output(); }
  void TearDown() override { close_output(); }
};

std::vector<float> mix_alone(const Voice& v, uint32_t t0, int count) {
  std::vector<float> out((size_t)count * 2, 0.0f);
  voice_mix_span(out.data(), t0, count, &v);
  return out;
}

TEST_F(VoiceTest, TableFullPrintsOnceAndZeroDurationNeverPrints) {
  auto dc = make_dc_stereo(10, 1, 1);
  for (int i = 0; i < VOICE_MAX; ++i)
    voice_schedule({.data = dc.data(), .data_frames = 10, .data_persistent = 1,
                    .start_time = 100000, .duration = 10});
  ASSERT_EQ(voice_count(), VOICE_MAX);
  testing::internal::CaptureStdout();
  voice_schedule({.data = dc.data(), .data_frames = 10, .data_persistent = 1, .start_time = 100000,
                  .duration = 10});
  voice_schedule({.data = dc.data(), .data_frames = 10, .data_persistent = 1, .start_time = 100000});
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "No free pseudo-oscillators!\n");
  EXPECT_EQ(voice_count(), VOICE_MAX);
}

TEST_F(VoiceTest, PanLawAttenuatesOnlyTheFarSide) {
  auto dc = make_dc_stereo(100, 1000, 1000);
  const float pans[6] = {0.0f, -1.0f, -0.25f, 0.5f, 2.0f, -3.0f};
  const float left[6] = {1.0f, 1.0f, 1.0f, 0.5f, 0.0f, 1.0f};
  const float right[6] = {1.0f, 0.0f, 0.75f, 1.0f, 1.0f, 0.0f};
  for (int i = 0; i < 6; ++i) {
    voice_schedule({.data = dc.data(), .data_frames = 100, .data_persistent = 1,
                    .start_time = 50000, .duration = 100, .pan = pans[i]});
    const Voice& v = voice_table.voices[voice_count() - 1];
    EXPECT_EQ(v.left_gain, left[i]) << pans[i];
    EXPECT_EQ(v.right_gain, right[i]) << pans[i];
    auto out = mix_alone(v, 50000, 10);
    EXPECT_FLOAT_EQ(out[0], 1000.0f * left[i]);
    EXPECT_FLOAT_EQ(out[1], 1000.0f * right[i]);
  }
}

TEST_F(VoiceTest, ReleaseRemovesVoicesThatWouldStartAfterTheFadeAndRewindsTheRing) {
  auto dc = make_dc_stereo(10000, 100, 100);
  audio_update(4000);  // ring mixed [0, 4000)
  voice_schedule({.data = dc.data(), .data_frames = 10000, .data_persistent = 1, .duration = 10000,
                  .key = 1});
  voice_schedule({.data = dc.data(), .data_frames = 10000, .data_persistent = 1, .start_time = 2999,
                  .duration = 10000, .key = 1});
  voice_schedule({.data = dc.data(), .data_frames = 10000, .data_persistent = 1, .start_time = 3000,
                  .duration = 10000, .key = 1});
  voice_schedule({.data = dc.data(), .data_frames = 10000, .data_persistent = 1, .start_time = 9000,
                  .duration = 10000, .key = 2});
  ASSERT_EQ(voice_count(), 4);
  EXPECT_EQ(ring_left_at(3000), 300);
  voice_release(1, 1, 1000, 2000);
  EXPECT_EQ(voice_count(), 3);  // the one starting at the fade's end went silently
  EXPECT_EQ(mix_ring.mixed_frames, 1000);
  for (int i = 0; i < voice_count(); ++i) {
    const Voice& v = voice_table.voices[i];
    if (v.start_time == 9000) {
      EXPECT_EQ(v.key, 2);  // other keys untouched
    } else {
      EXPECT_EQ(v.start_time + v.duration, 3000u);
    }
  }
  // A second release of the same key finds nothing: keys were cleared.
  voice_release(1, 0, 1500, 10);
  EXPECT_EQ(voice_count(), 3);
  voice_release(0, 1, 0, 10);  // key 0 is never released
  EXPECT_EQ(voice_count(), 3);
  ring_ensure_mixed(4000);
  EXPECT_EQ(ring_left_at(500), 100);
  EXPECT_EQ(ring_left_at(2999), 0);   // ends with the fade
  EXPECT_EQ(ring_left_at(3500), 0);
}

}  // namespace
