// The output state behind audio.h, open to the tests that script a fake
// device and check the cursor arithmetic pass by pass.
#pragma once

#include <stdint.h>

struct AudioOutput {
  int open;             // 1 between a successful audio_init and audio_shutdown
  int buffer_bytes;     // device buffer size (264600 from start-up)
  int buffer_frames;    // buffer_bytes / 4
  int last_write;       // write cursor in frames at the previous pass
  int latency_frames;   // frames past the write cursor for the frame at the clock
  int16_t* staging;     // ring_frames stereo frames carried to the device
  uint32_t clock;       // frames since audio_init
};

extern AudioOutput audio_output;

// One pass: advance the clock by the write cursor's movement, mix and write at
// most max_frames from latency_frames past the write cursor.
uint32_t audio_write_ahead(int max_frames);
// Frames from the clock to the moment the device plays what was written for
// it: the latency plus how far the write cursor now leads the play cursor.
int audio_output_delay_frames(void);
