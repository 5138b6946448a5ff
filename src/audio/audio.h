// Sound output: one looping 16-bit stereo device buffer at 44100 Hz, refilled
// once per video frame from the mix ring a fixed latency past the write cursor.
// The audio clock counts output frames since audio_init, as measured by how far
// the device's write cursor has moved; every voice is scheduled against it.
#pragma once

#include <stdint.h>

enum { AUDIO_RATE = 44100 };

// Opens the output; 1 on success. Start-up passes 8000, 0.03, 264600 and turns
// sound off on 0 (nothing stays open then).
int audio_init(int ring_frames, float latency_seconds, int buffer_bytes);
// Called only by the stop sequence, after every voice has ended.
void audio_shutdown(void);
// Keeps the device buffer filled; returns the clock.
uint32_t audio_update(int max_frames);
uint32_t audio_clock(void);
