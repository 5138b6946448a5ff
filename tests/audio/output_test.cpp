// The output pass against the headless sound device: writes wrapping the device
// buffer, the ring's content against a model through random operations, and
// failed set-ups leaving nothing open.
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
  // W2 + latency exactly at the buffer end goes to position 0; a pass never
  // writes more than it was asked for, though the device has room for more.
  device.writes.clear();
  set_cursors(kBufferFrames - kLatency - 300, kBufferFrames - kLatency);
  audio_write_ahead(4000);
  ASSERT_EQ(device.writes.size(), 1u);
  EXPECT_EQ(device.writes[0].byte_offset, 0);
  EXPECT_EQ(device.writes[0].byte_count, 4000 * 4);
  device.writes.clear();
  set_cursors(4001 + kLatency, 0);  // room for exactly one frame more
  audio_write_ahead(4000);
  ASSERT_EQ(device.writes.size(), 1u);
  EXPECT_EQ(device.writes[0].byte_count, 4000 * 4);
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
  EXPECT_EQ(audio_init(8000, 0.03f, 3), 0) << "a buffer below one frame";
  EXPECT_EQ(device.sound_open, 0);
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
