// Voices: scheduling limits, the pan law, the envelope and its curves, the
// release of a key, private copies and the resampling mixer. Most cases mix a
// single voice into a plain float buffer so the expected values are exact.
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>

#include <vector>

#include "audio/alloc.h"
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

Voice make_voice(const int16_t* data, int frames, int channels, float rate = 1.0f) {
  Voice v = {};
  v.data = data;
  v.data_frames = frames;
  v.data_persistent = 1;
  v.channels = (uint8_t)channels;
  v.duration = (uint32_t)frames;
  v.release_start = 0xFFFFFFFFu;
  v.rate = rate;
  v.volume = 1.0f;
  v.left_gain = v.right_gain = 1.0f;
  return v;
}

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

TEST_F(VoiceTest, NullOrLowDataTakesNoSlot) {
  voice_schedule({.data_frames = 10, .data_persistent = 1, .duration = 10});
  voice_schedule({.data = (const int16_t*)(uintptr_t)4096, .data_frames = 10, .data_persistent = 1,
                  .duration = 10});
  EXPECT_EQ(voice_count(), 0);
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

TEST_F(VoiceTest, NativeRateIgnoresTheFractionAndMonoFeedsBothSides) {
  std::vector<int16_t> mono(100);
  for (int i = 0; i < 100; ++i) mono[(size_t)i] = (int16_t)(i * 10);
  Voice v = make_voice(mono.data(), 100, 1);
  v.source_start = 10.7f;
  v.duration = 50;
  auto out = mix_alone(v, 0, 4);
  EXPECT_EQ(out[0], 100.0f);  // source frame 10, not 10.7
  EXPECT_EQ(out[1], 100.0f);
  EXPECT_EQ(out[6], 130.0f);
  EXPECT_EQ(out[7], 130.0f);
}

TEST_F(VoiceTest, ResamplingInterpolatesLinearly) {
  std::vector<int16_t> mono(1000);
  for (int i = 0; i < 1000; ++i) mono[(size_t)i] = (int16_t)(i * 10);
  Voice slow = make_voice(mono.data(), 1000, 1, 0.5f);
  slow.duration = 900;
  auto out = mix_alone(slow, 0, 900);
  for (int k = 0; k < 900; k += 97) EXPECT_NEAR(out[2 * (size_t)k], 5.0f * (float)k, 1e-2) << k;
  Voice fast = make_voice(mono.data(), 1000, 1, 1.5f);
  fast.source_start = 2.25f;
  fast.duration = 600;
  out = mix_alone(fast, 0, 600);
  for (int k = 0; k < 600; k += 61)
    EXPECT_NEAR(out[2 * (size_t)k + 1], 10.0f * (2.25f + 1.5f * (float)k), 0.05f) << k;
  // Stereo keeps the sides apart; a span that starts inside the voice picks
  // up the source position there.
  auto ramp = make_ramp_stereo(1000, 10);
  Voice stereo = make_voice(ramp.data(), 1000, 2, 0.75f);
  stereo.start_time = 100;
  stereo.duration = 800;
  out = mix_alone(stereo, 400, 10);
  EXPECT_NEAR(out[0], 10.0f * 0.75f * 300.0f, 1e-2);
  EXPECT_NEAR(out[1], -10.0f * 0.75f * 300.0f, 1e-2);
  EXPECT_NEAR(out[2 * 9], 10.0f * 0.75f * 309.0f, 1e-2);
}

TEST_F(VoiceTest, SpanSkipsBeforeTheStartAndStopsAtTheEnd) {
  auto dc = make_dc_stereo(100, 7, 7);
  Voice v = make_voice(dc.data(), 100, 2);
  v.start_time = 10;
  v.duration = 20;
  auto out = mix_alone(v, 0, 50);
  for (int t = 0; t < 50; ++t) EXPECT_EQ(out[2 * (size_t)t], (t >= 10 && t < 30) ? 7.0f : 0.0f) << t;
}

TEST_F(VoiceTest, EnvelopeAttackAndReleaseOrder) {
  auto dc = make_dc_stereo(10, 0, 0);
  Voice v = make_voice(dc.data(), 10, 2);
  v.attack_start = 100;
  EXPECT_EQ(voice_envelope(&v, 99), 0.0f);  // zero-length attack: a step
  EXPECT_EQ(voice_envelope(&v, 100), 1.0f);
  v.attack_curve = 1;
  v.attack_length = 1000;
  v.release_curve = 1;
  v.release_start = 500;
  v.release_length = 1000;
  EXPECT_FLOAT_EQ(voice_envelope(&v, 600), 0.5f);  // the attack still wins
  EXPECT_FLOAT_EQ(voice_envelope(&v, 1100), 0.4f);
  EXPECT_EQ(voice_envelope(&v, 1500), 0.0f);
  EXPECT_EQ(voice_envelope(&v, 1501), 0.0f);
}

// Release fades follow the curve at every 441-frame step and are silent after.
TEST_F(VoiceTest, ReleaseWithEachCurve) {
  auto dc = make_dc_stereo(100000, 1000, 1000);
  const uint32_t rs = 441 * 10, rl = 441 * 40;
  for (int curve = 0; curve <= 4; ++curve) {
    voices_reset(0);
    voice_schedule({.data = dc.data(), .data_frames = 100000, .data_persistent = 1,
                    .duration = 100000, .key = 1});
    voice_release(1, (uint8_t)curve, rs, rl);
    ASSERT_EQ(voice_count(), 1);
    const Voice& v = voice_table.voices[0];
    EXPECT_EQ(v.key, 0);
    EXPECT_EQ(v.duration, rs + rl);
    auto out = mix_alone(v, 0, 30000);
    EXPECT_FLOAT_EQ(out[2 * 441 * 5], 1000.0f);
    for (uint32_t k = 0; k <= 40; k += 3) {
      float want = 1000.0f * (k == 0 ? 1.0f : envelope_curve(curve, 1.0f - (float)k / 40.0f));
      EXPECT_NEAR(out[2 * (rs + 441 * k)], k == 40 ? 0.0f : want, 0.05f) << curve << " " << k;
    }
    EXPECT_EQ(out[2 * (rs + rl)], 0.0f);
    EXPECT_EQ(out[2 * (rs + rl + 500)], 0.0f);
    if (curve == 1) {  // between steps the gain ramps linearly
      EXPECT_NEAR(out[2 * (rs + 441 * 20 + 220)], 1000.0f * (1.0f - (20.0f + 220.0f / 441.0f) / 40.0f), 0.05f);
    }
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

TEST_F(VoiceTest, ReleaseStartZeroMeansNow) {
  auto dc = make_dc_stereo(100000, 100, 100);
  headless_sound_consume(5000);
  uint32_t clock = audio_update(4000);
  voice_schedule({.data = dc.data(), .data_frames = 100000, .data_persistent = 1,
                  .start_time = clock, .duration = 100000, .key = 6});
  voice_release(6, 1, 0, 10000);
  EXPECT_EQ(voice_table.voices[0].release_start, clock);
  EXPECT_EQ(mix_ring.mixed_frames, 0);
}

TEST_F(VoiceTest, ReleasedVoiceWithBorrowedDataGetsAPrivateCopy) {
  auto ramp = make_ramp_stereo(5000);
  voice_schedule({.data = ramp.data(), .data_frames = 5000, .source_start = 2.0f, .duration = 1000,
                  .key = 3});
  voice_release(3, 0, 100, 800);
  const Voice& v = voice_table.voices[0];
  ASSERT_EQ(v.owns_data, 1);
  EXPECT_NE(v.data, ramp.data());
  for (auto& s : ramp) s = 0;  // the caller reuses its buffer
  auto out = mix_alone(v, 0, 900);
  EXPECT_EQ(out[0], 2.0f);
  EXPECT_EQ(out[2 * 899], 901.0f);  // the copy holds every frame still needed
  voices_retire(900);  // frees the copy (checked by the sanitizer builds)
  EXPECT_EQ(voice_count(), 0);
}

void* refuse_allocation(size_t) { return nullptr; }

// A private copy that cannot be made must not leave the voice reading a
// buffer the caller is about to reuse: the voice is dropped instead.
TEST_F(VoiceTest, FailedPrivateCopyDropsTheVoice) {
  auto ramp = make_ramp_stereo(5000);
  auto dc = make_dc_stereo(5000, 1, 1);
  voice_schedule({.data = ramp.data(), .data_frames = 5000, .duration = 1000, .key = 3});
  voice_schedule({.data = dc.data(), .data_frames = 5000, .data_persistent = 1, .duration = 1000,
                  .key = 3});
  audio_allocate = refuse_allocation;
  voice_release(3, 1, 100, 800);
  audio_allocate = malloc;
  ASSERT_EQ(voice_count(), 1);  // the persistent one needs no copy
  EXPECT_EQ(voice_table.voices[0].data, dc.data());
  EXPECT_EQ(voice_table.voices[0].release_start, 100u);
}

TEST_F(VoiceTest, OverlappingVoicesAddAndClipOnlyAtConversion) {
  auto loud = make_dc_stereo(10000, 30000, -30000);
  auto soft = make_dc_stereo(10000, -20000, 20000);
  voice_schedule({.data = loud.data(), .data_frames = 10000, .data_persistent = 1,
                  .duration = 10000});
  voice_schedule({.data = loud.data(), .data_frames = 10000, .data_persistent = 1,
                  .duration = 10000});
  voice_schedule({.data = soft.data(), .data_frames = 10000, .data_persistent = 1,
                  .start_time = 100, .duration = 10000});
  ring_ensure_mixed(200);
  EXPECT_EQ(ring_left_at(50), 32767);
  EXPECT_EQ(ring_right_at(50), -32768);
  EXPECT_EQ(ring_left_at(150), 32767);
  EXPECT_EQ(mix_ring.float_ring[2 * 150], 40000.0f);
  EXPECT_EQ(ring_right_at(150), -32768);
}

}  // namespace
