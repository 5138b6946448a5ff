// Shared helpers for the audio tests; see audio_test_util.h.
#include "audio_test_util.h"

#include <gtest/gtest.h>

#include "audio/audio.h"
#include "audio/output_internal.h"
#include "audio/ring.h"
#include "platform/headless/headless.h"

HeadlessMachine& device = *headless_machine();

void reset_device(int lead_frames) {
  headless_reset();
  device.sound_lead = lead_frames;
  device.log_writes = 1;
}

int16_t device_left(int frame) { return device.sound[2 * (size_t)frame]; }

std::vector<int16_t> make_dc_stereo(int frames, int16_t value_left, int16_t value_right) {
  std::vector<int16_t> v((size_t)frames * 2);
  for (int i = 0; i < frames; ++i) {
    v[2 * (size_t)i] = value_left;
    v[2 * (size_t)i + 1] = value_right;
  }
  return v;
}

std::vector<int16_t> make_ramp_stereo(int frames, int step) {
  std::vector<int16_t> v((size_t)frames * 2);
  for (int i = 0; i < frames; ++i) {
    v[2 * (size_t)i] = (int16_t)(i * step);
    v[2 * (size_t)i + 1] = (int16_t)-(int16_t)(i * step);
  }
  return v;
}

void close_output(void) {
  if (audio_output.open) audio_shutdown();
}

void open_standard_output(int lead_frames) {
  close_output();
  reset_device(lead_frames);
  ASSERT_EQ(audio_init(8000, 0.03f, 264600), 1);
}

static int ring_position_of(uint32_t time) {
  const MixRing& r = mix_ring;
  EXPECT_GE(time, r.ring_start_time);
  EXPECT_LT(time, r.ring_start_time + (uint32_t)r.mixed_frames);
  return (int)((r.ring_start + (time - r.ring_start_time)) % (uint32_t)r.ring_frames);
}

int16_t ring_left_at(uint32_t time) { return mix_ring.s16_ring[2 * ring_position_of(time)]; }
int16_t ring_right_at(uint32_t time) { return mix_ring.s16_ring[2 * ring_position_of(time) + 1]; }
