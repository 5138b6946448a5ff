// The mix ring: a short window of already-mixed audio that starts at the
// present moment (`now`) and reaches at most ring_frames into the future, kept
// as running float sums and as the clipped 16-bit copy that goes to the device.
// It shares one module with the voice table, which mixes into it directly.
#pragma once

#include <stdint.h>

struct MixRing {
  int ring_frames;           // ring length in frames (8000 from start-up)
  float* float_ring;         // ring_frames x 2 running sums, 16-byte aligned
  int16_t* s16_ring;         // ring_frames x 2 converted and clipped, 16-byte aligned
  void* float_block;         // the allocations behind the two aligned pointers
  void* s16_block;
  int ring_start;            // 0..ring_frames-1: ring position of ring_start_time
  uint32_t ring_start_time;  // audio time of the frame at ring_start
  int mixed_frames;          // 0..ring_frames valid frames from ring_start on
  uint32_t now;              // audio before it has been handed to the output
  int vector_ok;             // SSE2 conversion allowed (tests may clear it)
};

extern MixRing mix_ring;

// Allocates both rings and empties the voice table; 0 when an allocation fails
// (nothing is kept then).
int ring_create(int frames);
void ring_destroy(void);
void ring_advance(uint32_t time);
// Copies the 16-bit frames [time, time + count) into destination as far as
// they can be mixed; returns the frames copied.
int ring_read(int16_t* destination, uint32_t time, int count);
void ring_ensure_mixed(uint32_t time);
void ring_render(uint32_t time, int position, int count);
void ring_convert(int position, int count);

// One sample of the scalar path: nearest integer, ties to even, clipped.
int16_t ring_convert_scalar(float value);
// The vector path: count (a multiple of 16) values from 16-byte aligned
// source and destination, truncated toward zero and saturated. Only on x86-64.
void ring_convert_sse2(const float* source, int16_t* destination, int count);
// 1 when the processor can run ring_convert_sse2.
int ring_vector_supported(void);
