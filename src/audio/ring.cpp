// The mix ring: mixes only the frames that have newly come within reach and
// keeps the rest cached, so a 4000-frame update at 60 frames per second mixes
// about 735 frames and copies the others out of the 16-bit ring.
#include "audio/ring.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "audio/alloc.h"
#include "audio/voice.h"

MixRing mix_ring;

static void* align16(void* block) {
  uintptr_t address = (uintptr_t)block;
  return (void*)((address + 15) & ~(uintptr_t)15);
}

int ring_create(int frames) {
  MixRing& r = mix_ring;
  if (frames <= 0) return 0;
  size_t values = (size_t)frames * 2;
  void* float_block = audio_allocate(values * sizeof(float) + 15);
  void* s16_block = audio_allocate(values * sizeof(int16_t) + 15);
  if (!float_block || !s16_block) {
    free(float_block);
    free(s16_block);
    return 0;
  }
  r.float_block = float_block;
  r.s16_block = s16_block;
  r.float_ring = (float*)align16(float_block);
  r.s16_ring = (int16_t*)align16(s16_block);
  memset(r.s16_ring, 0, values * sizeof(int16_t));
  r.ring_frames = frames;
  voices_reset(0);
  r.vector_ok = ring_vector_supported();
  return 1;
}

void ring_destroy(void) {
  MixRing& r = mix_ring;
  voices_reset(0);
  free(r.float_block);
  free(r.s16_block);
  r.float_block = r.s16_block = 0;
  r.float_ring = 0;
  r.s16_ring = 0;
  r.ring_frames = 0;
}

void ring_advance(uint32_t time) {
  MixRing& r = mix_ring;
  if (time < r.now) return;
  r.now = time;
  voices_retire(time);
  if (r.ring_start_time >= time) return;
  if (r.ring_start_time + (uint32_t)r.mixed_frames < time) {
    // Everything mixed lies in the past: start afresh at position 0.
    r.ring_start_time = time;
    r.ring_start = 0;
    r.mixed_frames = 0;
  } else {
    uint32_t dropped = time - r.ring_start_time;
    r.ring_start = (int)((r.ring_start + dropped) % (uint32_t)r.ring_frames);
    r.mixed_frames -= (int)dropped;
    r.ring_start_time = time;
  }
}

int ring_read(int16_t* destination, uint32_t time, int count) {
  MixRing& r = mix_ring;
  if (count <= 0 || time + (uint32_t)count <= r.now) return 0;
  ring_ensure_mixed(time + (uint32_t)count);
  if (time < r.ring_start_time) return 0;
  uint32_t mixed_end = r.ring_start_time + (uint32_t)r.mixed_frames;
  if (time >= mixed_end) return 0;
  if (time + (uint32_t)count > mixed_end) count = (int)(mixed_end - time);
  int position = (int)((r.ring_start + (time - r.ring_start_time)) % (uint32_t)r.ring_frames);
  int first = count;
  if (position + first > r.ring_frames) first = r.ring_frames - position;
  memcpy(destination, r.s16_ring + 2 * position, (size_t)first * 4);
  if (first < count) memcpy(destination + 2 * first, r.s16_ring, (size_t)(count - first) * 4);
  return count;
}

void ring_ensure_mixed(uint32_t time) {
  MixRing& r = mix_ring;
  if (time < r.now) return;
  if (time - r.now > (uint32_t)r.ring_frames) time = r.now + (uint32_t)r.ring_frames;
  uint32_t end = r.ring_start_time + (uint32_t)r.mixed_frames;
  if (end >= time) return;
  uint32_t wanted = time - end;
  // Never more than the ring holds, even if ring_start_time lags behind now.
  int n = wanted > (uint32_t)(r.ring_frames - r.mixed_frames) ? r.ring_frames - r.mixed_frames
                                                                : (int)wanted;
  if (n <= 0) return;
  int position = (r.ring_start + r.mixed_frames) % r.ring_frames;
  if (position + n > r.ring_frames) {
    int first = r.ring_frames - position;
    ring_render(end, position, first);
    ring_render(end + (uint32_t)first, 0, n - first);
  } else {
    ring_render(end, position, n);
  }
  r.mixed_frames += n;
}

void ring_render(uint32_t time, int position, int count) {
  MixRing& r = mix_ring;
  if (count <= 0) return;
  float* destination = r.float_ring + 2 * position;
  memset(destination, 0, (size_t)count * 2 * sizeof(float));
  uint32_t span_end = time + (uint32_t)count;
  for (int i = 0; i < voice_table.count; ++i) {
    const Voice& v = voice_table.voices[i];
    if (v.start_time < span_end && v.start_time + v.duration >= time)
      voice_mix_span(destination, time, count, &v);
  }
  ring_convert(position, count);
}

int16_t ring_convert_scalar(float value) {
  // The negated test also catches NaN.
  if (!(value > -32768.0f)) return -32768;
  if (value >= 32767.0f) return 32767;
  return (int16_t)lrintf(value);  // the default rounding mode: ties to even
}

void ring_convert(int position, int count) {
  MixRing& r = mix_ring;
  const float* source = r.float_ring + 2 * position;
  int16_t* destination = r.s16_ring + 2 * position;
  int values = 2 * count;
  // Both rings are aligned, so at most 7 values pass before both pointers are.
  while (values > 0 && ((((uintptr_t)source) | ((uintptr_t)destination)) & 15)) {
    *destination++ = ring_convert_scalar(*source++);
    --values;
  }
  if (r.vector_ok && values >= 16) {
    int block = values & ~15;
    ring_convert_sse2(source, destination, block);
    source += block;
    destination += block;
    values -= block;
  }
  while (values > 0) {
    *destination++ = ring_convert_scalar(*source++);
    --values;
  }
}
