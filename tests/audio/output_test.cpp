// The output pass against the headless sound device: how the clock follows the write
// cursor, where each block lands in the device buffer, and the ring's
// bookkeeping underneath.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "audio/alloc.h"
#include "audio/audio.h"
#include "audio/output_internal.h"
#include "audio/ring.h"
#include "audio/voice.h"
#include "audio_test_util.h"

namespace {

const int kBufferFrames = 66150;
const int kLatency = 1322;

void set_cursors(int play_frames, int write_frames) {
  device.sound_play = play_frames;
  device.sound_lead = (write_frames - play_frames + kBufferFrames) % kBufferFrames;
}

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override { open_standard_output(); }
  void TearDown() override { close_output(); }
};

TEST_F(OutputTest, InitTakesTheStartUpValues) {
  EXPECT_EQ(device.sound_rate, 44100);
  EXPECT_EQ(device.sound.size() * 2, 264600u);
  EXPECT_EQ(audio_output.buffer_frames, kBufferFrames);
  // 0.03f * 44100 in single precision is just below 1323.
  EXPECT_EQ(audio_output.latency_frames, kLatency);
  EXPECT_EQ(audio_output.last_write, 300);
  EXPECT_EQ(audio_clock(), 0u);
  EXPECT_EQ(mix_ring.ring_frames, 8000);
  EXPECT_EQ((uintptr_t)mix_ring.float_ring % 16, 0u);
  EXPECT_EQ((uintptr_t)mix_ring.s16_ring % 16, 0u);
}

TEST_F(OutputTest, ClockFollowsTheWriteCursorIncludingWrapAround) {
  // Start-up time after audio_init counts: the first pass takes it all.
  headless_sound_consume(2000);
  EXPECT_EQ(audio_update(4000), 2000u);
  headless_sound_consume(735);
  EXPECT_EQ(audio_update(4000), 2735u);
  // The write cursor wraps the buffer end: 200 frames before it, 500 after.
  set_cursors(kBufferFrames - 500, kBufferFrames - 200);
  uint32_t before = audio_update(4000);
  EXPECT_EQ(before, 2735u + (uint32_t)(kBufferFrames - 200 - 3035));
  headless_sound_consume(700);
  EXPECT_EQ((device.sound_play + device.sound_lead) % kBufferFrames, 500);
  EXPECT_EQ(audio_update(4000), before + 700);
  EXPECT_EQ(mix_ring.now, before + 700);
  EXPECT_EQ(mix_ring.ring_start_time, before + 700);
}

TEST_F(OutputTest, UpdateRunsAShortPassFirstOnlyAbove1200) {
  audio_update(4000);
  ASSERT_EQ(device.writes.size(), 2u);
  EXPECT_EQ(device.writes[0].byte_count, 800 * 4);
  EXPECT_EQ(device.writes[1].byte_count, 4000 * 4);
  // Both land at the frame of the clock: latency past the write cursor.
  EXPECT_EQ(device.writes[0].byte_offset, (300 + kLatency) * 4);
  EXPECT_EQ(device.writes[1].byte_offset, (300 + kLatency) * 4);
  device.writes.clear();
  audio_update(1200);
  ASSERT_EQ(device.writes.size(), 1u);
  EXPECT_EQ(device.writes[0].byte_count, 1200 * 4);
}

TEST_F(OutputTest, NoCursorMovementRewritesTheSameRegionWithNewVoices) {
  auto dc = make_dc_stereo(20000, 1000, -500);
  headless_sound_consume(735);
  uint32_t clock = audio_update(4000);
  int region = 300 + 735 + kLatency;
  EXPECT_EQ(device_left(region), 0);
  voice_schedule({.data = dc.data(), .data_frames = 20000, .data_persistent = 1,
                  .start_time = clock, .duration = 20000});
  device.writes.clear();
  EXPECT_EQ(audio_update(4000), clock);
  ASSERT_EQ(device.writes.size(), 2u);
  EXPECT_EQ(device.writes[1].byte_offset, region * 4);
  // The voice scheduled at the clock is heard right at the clock's frame.
  EXPECT_EQ(device_left(region), 1000);
  EXPECT_EQ(device_right(region), -500);
  EXPECT_EQ(device_left(region + 3999), 1000);
  EXPECT_EQ(device_left(region - 1), 0);
}

TEST_F(OutputTest, VoiceScheduledAtTheClockIsHeardAtTheNextUpdate) {
  auto ramp = make_ramp_stereo(30000);
  audio_update(4000);
  headless_sound_consume(735);
  uint32_t clock = audio_update(4000);
  // Already inside the mixed part of the ring: mixed in at once.
  voice_schedule({.data = ramp.data(), .data_frames = 30000, .data_persistent = 1,
                  .start_time = clock, .duration = 30000});
  EXPECT_EQ(ring_left_at(clock), 0);
  EXPECT_EQ(ring_left_at(clock + 5), 5);
  EXPECT_EQ(ring_right_at(clock + 3000), -3000);
  headless_sound_consume(735);
  uint32_t next = audio_update(4000);
  int at = 300 + 2 * 735 + kLatency;  // the frame of `next` in the device buffer
  EXPECT_EQ(device_left(at), (int16_t)(next - clock));
  EXPECT_EQ(device_left(at + 100), (int16_t)(next - clock + 100));
}

TEST_F(OutputTest, VoiceStartedBeforeNowIsHeardOnlyFromNow) {
  auto ramp = make_ramp_stereo(30000);
  headless_sound_consume(5000);
  uint32_t clock = audio_update(4000);
  voice_schedule({.data = ramp.data(), .data_frames = 30000, .data_persistent = 1,
                  .start_time = clock - 1000, .duration = 30000});
  device.writes.clear();
  audio_update(4000);
  int at = 300 + 5000 + kLatency;
  EXPECT_EQ(device_left(at), 1000);  // the first thousand frames are lost
  EXPECT_EQ(device_left(at + 1), 1001);
  EXPECT_EQ(device_left(at - 1), 0);
}

TEST_F(OutputTest, WriteCursorMovingDuringMixingDropsTheFramesItPassed) {
  auto ramp = make_ramp_stereo(30000);
  uint32_t clock = audio_update(4000);
  voice_schedule({.data = ramp.data(), .data_frames = 30000, .data_persistent = 1,
                  .start_time = clock, .duration = 30000});
  device.writes.clear();
  // The device plays 100 frames after each query, so the second query of
  // the pass sees both cursors 100 frames on.
  device.frames_per_query = 100;
  EXPECT_EQ(audio_write_ahead(4000), clock);
  device.frames_per_query = 0;
  ASSERT_EQ(device.writes.size(), 1u);
  EXPECT_EQ(device.writes[0].byte_offset, (400 + kLatency) * 4);
  EXPECT_EQ(device.writes[0].byte_count, 3900 * 4);
  EXPECT_EQ(device_left(400 + kLatency), 100);
  // The clock catches up on the next pass, with the last query's 100 too.
  EXPECT_EQ(audio_write_ahead(4000), clock + 200);

  // A cursor that passes the whole block: nothing is written.
  device.writes.clear();
  device.frames_per_query = 4900;
  audio_write_ahead(4000);
  EXPECT_TRUE(device.writes.empty());
}

TEST_F(OutputTest, NothingIsWrittenWhenThePlayCursorIsWithinTheLatency) {
  set_cursors(300 + kLatency, 300);
  EXPECT_EQ(audio_update(4000), 0u);
  EXPECT_TRUE(device.writes.empty());
  set_cursors(900 + kLatency, 900);
  EXPECT_EQ(audio_update(4000), 600u);  // the clock still moves
  EXPECT_TRUE(device.writes.empty());
  // One frame more room than the latency gives exactly one frame.
  set_cursors(901 + kLatency, 900);
  audio_write_ahead(4000);
  ASSERT_EQ(device.writes.size(), 1u);
  EXPECT_EQ(device.writes[0].byte_count, 4);
}

TEST_F(OutputTest, WritesThatCrossTheBufferEndWrapToTheStart) {
  auto ramp = make_ramp_stereo(80000);
  voice_schedule({.data = ramp.data(), .data_frames = 80000, .data_persistent = 1,
                  .duration = 80000});
  int write = kBufferFrames - kLatency - 100;
  set_cursors(write - 300, write);
  uint32_t clock = audio_write_ahead(4000);
  ASSERT_EQ(device.writes.size(), 1u);
  EXPECT_EQ(device.writes[0].byte_offset, (kBufferFrames - 100) * 4);
  EXPECT_EQ(device_left(kBufferFrames - 1), (int16_t)(clock + 99));
  EXPECT_EQ(device_left(0), (int16_t)(clock + 100));
  // W2 + latency exactly at the buffer end goes to position 0.
  device.writes.clear();
  set_cursors(kBufferFrames - kLatency - 300, kBufferFrames - kLatency);
  audio_write_ahead(4000);
  ASSERT_EQ(device.writes.size(), 1u);
  EXPECT_EQ(device.writes[0].byte_offset, 0);
}

TEST_F(OutputTest, FailedCursorQueryWorksWithZeroes) {
  headless_sound_consume(1000);
  audio_update(4000);
  device.sound_cursors_fail = 1;
  // Both cursors read 0: the write cursor appears to have moved to 0.
  uint32_t clock = audio_update(4000);
  EXPECT_EQ(clock, 1000u + (uint32_t)(kBufferFrames - 1300));
}

// The ring mixes only what is new and never further than one ring past now.
TEST_F(OutputTest, RingReachAndReadLimits) {
  ring_advance(1000);
  EXPECT_EQ(mix_ring.ring_start_time, 1000u);
  ring_ensure_mixed(1000 + 20000);
  EXPECT_EQ(mix_ring.mixed_frames, 8000);
  int16_t block[2 * 9000];
  EXPECT_EQ(ring_read(block, 990, 10), 0);     // wholly before now
  EXPECT_EQ(ring_read(block, 1000, 9000), 8000);  // beyond now + ring
  EXPECT_EQ(ring_read(block, 995, 10), 0);     // starts before the ring
  ring_advance(900);                            // backwards: ignored
  EXPECT_EQ(mix_ring.now, 1000u);
  ring_advance(3000);
  EXPECT_EQ(mix_ring.ring_start, 2000);
  EXPECT_EQ(mix_ring.mixed_frames, 6000);
  ring_advance(20000);  // the whole mixed part lies in the past
  EXPECT_EQ(mix_ring.ring_start, 0);
  EXPECT_EQ(mix_ring.mixed_frames, 0);
  EXPECT_EQ(mix_ring.ring_start_time, 20000u);
}

TEST_F(OutputTest, RenderSpanWrappingTheRingEndIsTwoSpans) {
  auto ramp = make_ramp_stereo(30000);
  voice_schedule({.data = ramp.data(), .data_frames = 30000, .data_persistent = 1,
                  .duration = 30000});
  ring_ensure_mixed(5000);
  ring_advance(3000);
  ring_ensure_mixed(3000 + 8000);
  EXPECT_EQ(mix_ring.mixed_frames, 8000);
  EXPECT_EQ(mix_ring.s16_ring[2 * 7999], 7999);
  EXPECT_EQ(mix_ring.s16_ring[0], 8000);
  EXPECT_EQ(mix_ring.s16_ring[2 * 2999], 10999);
  // A late voice over the wrapped mixed part reaches both pieces.
  auto dc = make_dc_stereo(30000, 3, 3);
  voice_schedule({.data = dc.data(), .data_frames = 30000, .data_persistent = 1, .start_time = 6000,
                  .duration = 30000});
  EXPECT_EQ(ring_left_at(5999), 5999);
  EXPECT_EQ(ring_left_at(6000), 6003);
  EXPECT_EQ(ring_left_at(8000), 8003);
  EXPECT_EQ(ring_left_at(10999), 11002);
}

// Against a from-scratch sum: whatever the ring cached must equal the voices
// active at each time, through advances, late voices, releases and retirement.
TEST_F(OutputTest, RingContentMatchesTheVoicesThroughRandomOperations) {
  std::vector<std::vector<int16_t>> sources;
  for (int i = 0; i < 8; ++i) sources.push_back(make_dc_stereo(40000, (int16_t)(i + 1), (int16_t)(10 * (i + 1))));
  struct Expect { uint32_t start, end; int value; };
  std::vector<Expect> live;
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) { seed = seed * 1664525u + 1013904223u; return (seed >> 8) % n; };
  uint32_t clock = audio_clock();
  for (int step = 0; step < 300; ++step) {
    uint32_t op = next(4);
    switch (op) {
      case 0: {
        int i = (int)next(8);
        uint32_t back = clock < 1000 ? clock : 1000;
        uint32_t start = clock - back + next(9000);
        uint32_t duration = 1 + next(20000);
        voice_schedule({.data = sources[i].data(), .data_frames = 40000, .data_persistent = 1,
                        .start_time = start, .duration = duration});
        live.push_back({start, start + duration, i + 1});
        break;
      }
      case 1:
        headless_sound_consume((int)next(1500));
        clock = audio_update(4000);
        break;
      default:
        clock = audio_update(1 + (int)next(4000));
        break;
    }
    const MixRing& r = mix_ring;
    ASSERT_LE(r.mixed_frames, r.ring_frames);
    ASSERT_GE(r.mixed_frames, 0);
    ASSERT_EQ(r.ring_start_time, r.now);
    ASSERT_EQ(r.now, clock);
    for (uint32_t t = r.ring_start_time; t < r.ring_start_time + (uint32_t)r.mixed_frames; t += 37) {
      int sum = 0;
      for (const Expect& e : live)
        if (e.start <= t && t < e.end) sum += e.value;
      ASSERT_EQ(ring_left_at(t), sum) << "step " << step << " time " << t;
      ASSERT_EQ(ring_right_at(t), 10 * sum);
    }
    // After an update retired voices are gone: none ends at or before now.
    for (int i = 0; op != 0 && i < voice_table.count; ++i)
      ASSERT_GT(voice_table.voices[i].start_time + voice_table.voices[i].duration, clock);
  }
}

TEST(OutputConvert, ScalarRoundsToEvenAndClips) {
  open_standard_output();
  mix_ring.vector_ok = 0;
  const float in[10] = {32767.4f, 40000.0f, -40000.0f, 2.5f, -1.7f, 3.5f, -2.5f, 0.49f, -32768.6f, 1e30f};
  const int16_t want[10] = {32767, 32767, -32768, 2, -2, 4, -2, 0, -32768, 32767};
  for (int i = 0; i < 10; ++i) mix_ring.float_ring[i] = in[i];
  ring_convert(0, 5);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(mix_ring.s16_ring[i], want[i]) << i;
  close_output();
}

TEST(OutputConvert, VectorPathTruncatesAndSaturates) {
  open_standard_output();
  if (!ring_vector_supported()) GTEST_SKIP() << "no vector path on this processor";
  mix_ring.vector_ok = 1;
  const float in[16] = {32767.4f, 40000.0f, -40000.0f, 2.5f, -1.7f, 3.5f, -2.5f, 0.49f,
                        -32768.6f, 1e30f, -1e30f, 100.9f, -100.9f, 0.0f, 7.0f, -7.0f};
  const int16_t want[16] = {32767, 32767, -32768, 2, -1, 3, -2, 0,
                            -32768, 32767, -32768, 100, -100, 0, 7, -7};
  for (int i = 0; i < 16; ++i) mix_ring.float_ring[i] = in[i];
  ring_convert(0, 8);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(mix_ring.s16_ring[i], want[i]) << i;
  // From an odd frame the first 6 values go through the scalar path until both
  // pointers are aligned; then one 16-value block is vectorised.
  for (int i = 0; i < 22; ++i) mix_ring.float_ring[2 + i] = -1.7f;
  ring_convert(1, 11);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(mix_ring.s16_ring[2 + i], -2) << i;
  for (int i = 6; i < 22; ++i) EXPECT_EQ(mix_ring.s16_ring[2 + i], -1) << i;
  // Fewer than 16 aligned values stay scalar.
  for (int i = 0; i < 14; ++i) mix_ring.float_ring[8 + i] = -1.7f;
  ring_convert(4, 7);
  for (int i = 0; i < 14; ++i) EXPECT_EQ(mix_ring.s16_ring[8 + i], -2) << i;
  close_output();
}

// A failed allocation must leave sound off and the device closed, not crash.
int allocations_before_failure;
void* failing_allocate(size_t bytes) {
  if (allocations_before_failure-- <= 0) return nullptr;
  return malloc(bytes);
}

TEST(OutputInit, FailedAllocationOrDeviceLeavesNothingOpen) {
  close_output();
  for (int fail_at = 0; fail_at < 3; ++fail_at) {  // float ring, 16-bit ring, staging
    reset_device();
    allocations_before_failure = fail_at;
    audio_allocate = failing_allocate;
    EXPECT_EQ(audio_init(8000, 0.03f, 264600), 0) << fail_at;
    audio_allocate = malloc;
    EXPECT_EQ(device.sound_open, 0) << fail_at;
    EXPECT_EQ(audio_output.open, 0);
    EXPECT_EQ(audio_update(4000), 0u);  // harmless on a closed output
  }
  reset_device();
  device.sound_open_fails = 1;
  EXPECT_EQ(audio_init(8000, 0.03f, 264600), 0);
  EXPECT_EQ(mix_ring.ring_frames, 0);
  device.sound_open_fails = 0;
  EXPECT_EQ(audio_init(8000, 0.03f, 264600), 1);
  audio_shutdown();
  EXPECT_EQ(device.sound_open, 0);
  EXPECT_EQ(audio_clock(), 0u);
}

}  // namespace
