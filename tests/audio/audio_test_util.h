// Helpers shared by the audio tests: a fresh output over the headless
// backend's sound device, and source buffers whose samples say where they
// came from.
#pragma once

#include <stdint.h>

#include <vector>

#include "platform/headless/headless.h"

// The headless machine, whose sound device the audio tests drive.
extern HeadlessMachine& device;
// A fresh machine whose write cursor leads the play cursor by lead_frames,
// logging every write.
void reset_device(int lead_frames = 300);
// The left sample of a frame of the device buffer (in frames).
int16_t device_left(int frame);

// Stereo frames: left = value_left, right = value_right everywhere.
std::vector<int16_t> make_dc_stereo(int frames, int16_t value_left, int16_t value_right);
// Stereo frames: left = i * step (wrapping to 16 bits), right = -left.
std::vector<int16_t> make_ramp_stereo(int frames, int step = 1);
// Shuts any previous output down and opens 8000 / 0.03 / 264600 over a fresh
// device (reset_device).
void open_standard_output(int lead_frames = 300);
void close_output(void);
// The 16-bit ring frame holding audio time `time` (must be mixed).
int16_t ring_left_at(uint32_t time);
int16_t ring_right_at(uint32_t time);
