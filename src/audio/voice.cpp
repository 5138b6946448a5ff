// The voice table and the per-voice mixer. Gains follow the envelope once per
// 441 frames (10 ms) and ramp linearly in between; the common native-rate case
// has its own loop without interpolation.
#include "audio/voice.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "audio/alloc.h"
#include "audio/ring.h"

VoiceTable voice_table;

enum { ENVELOPE_STEP = 441 };  // frames between envelope evaluations

static int rate_is_native(float rate) {
  uint32_t bits;
  memcpy(&bits, &rate, 4);
  return bits == 0x3F800000u;  // exactly 1.0f, bit for bit
}

static void voice_remove(int index) {
  VoiceTable& t = voice_table;
  if (t.voices[index].owns_data) free((void*)t.voices[index].data);
  t.voices[index] = t.voices[t.count - 1];
  t.count -= 1;
}

void voice_schedule(const VoiceParams& p) {
  VoiceTable& t = voice_table;
  if (p.duration == 0) return;
  if (t.count >= VOICE_MAX) {
    printf("No free pseudo-oscillators!\n");
    return;
  }
  // Nothing valid lives in the lowest 64 KiB; such a pointer is a caller's bug.
  if ((uintptr_t)p.data <= 65536) return;
  Voice& v = t.voices[t.count];
  v.data = p.data;
  v.data_frames = p.data_frames;
  v.owns_data = 0;
  v.data_persistent = p.data_persistent;
  v.channels = p.channels;
  v.attack_curve = p.attack_curve;
  v.release_curve = 0;
  v.source_start = p.source_start;
  v.start_time = p.start_time;
  v.duration = p.duration;
  v.attack_start = p.attack_start;
  v.attack_length = p.attack_length;
  v.release_start = 0xFFFFFFFFu;
  v.release_length = 0;
  v.rate = p.rate;
  v.volume = p.volume;
  v.key = p.key;
  v.prepare = p.prepare;
  // Only the far side is attenuated, linearly: no centre dip.
  v.left_gain = 1.0f;
  v.right_gain = 1.0f;
  if (p.pan < 0.0f) v.right_gain = 1.0f + (p.pan < -1.0f ? -1.0f : p.pan);
  if (p.pan > 0.0f) v.left_gain = 1.0f - (p.pan > 1.0f ? 1.0f : p.pan);
  t.count += 1;
  if (p.start_time < mix_ring.ring_start_time + (uint32_t)mix_ring.mixed_frames) voice_mix_late(&v);
}

void voice_mix_late(const Voice* voice) {
  MixRing& r = mix_ring;
  if (r.mixed_frames <= 0) return;
  uint32_t start = voice->start_time;
  uint32_t end = voice->start_time + voice->duration;
  uint32_t mixed_end = r.ring_start_time + (uint32_t)r.mixed_frames;
  if (r.ring_start + r.mixed_frames <= r.ring_frames) {
    if (start < mixed_end && end > r.ring_start_time) {
      voice_mix_span(r.float_ring + 2 * r.ring_start, r.ring_start_time, r.mixed_frames, voice);
      ring_convert(r.ring_start, r.mixed_frames);
    }
    return;
  }
  // The mixed part wraps the ring end: two pieces, the second at position 0.
  int first = r.ring_frames - r.ring_start;
  uint32_t split = r.ring_start_time + (uint32_t)first;
  if (start < split && end > r.ring_start_time) {
    voice_mix_span(r.float_ring + 2 * r.ring_start, r.ring_start_time, first, voice);
    ring_convert(r.ring_start, first);
  }
  if (start < mixed_end && end > split) {
    voice_mix_span(r.float_ring, split, r.mixed_frames - first, voice);
    ring_convert(0, r.mixed_frames - first);
  }
}

void voice_mix_span(float* destination, uint32_t time, int count, const Voice* voice) {
  const Voice& v = *voice;
  if (count <= 0) return;
  if (v.start_time > time) {
    uint32_t skip = v.start_time - time;
    if (skip >= (uint32_t)count) return;
    destination += 2 * skip;
    count -= (int)skip;
    time = v.start_time;
  }
  float position = v.source_start + v.rate * (float)(time - v.start_time);
  uint32_t voice_end = v.start_time + v.duration;
  if (voice_end <= time) return;
  if (voice_end < time + (uint32_t)count) count = (int)(voice_end - time);
  uint32_t end = time + (uint32_t)count;
  if (v.prepare) {
    // The last source frame this span reads, plus its neighbour when the
    // rate interpolates.
    double last = floor((double)position + (double)v.rate * (double)count) + 2.0;
    v.prepare(last < (double)v.data_frames ? (int)last : v.data_frames);
  }
  float gain = v.volume * voice_envelope(&v, time);
  while (time + ENVELOPE_STEP <= end) {
    float next_gain = v.volume * voice_envelope(&v, time + ENVELOPE_STEP);
    voice_mix_chunk(destination, time, ENVELOPE_STEP, &v, gain, next_gain, position);
    position += v.rate * (float)ENVELOPE_STEP;
    destination += 2 * ENVELOPE_STEP;
    time += ENVELOPE_STEP;
    gain = next_gain;
  }
  if (time != end)
    voice_mix_chunk(destination, time, (int)(end - time), &v, gain,
                    v.volume * voice_envelope(&v, end), position);
}

void voice_mix_chunk(float* destination, uint32_t time, int count, const Voice* voice,
                     float gain_start, float gain_end, float source_position) {
  (void)time;
  const Voice& v = *voice;
  float left, right, left_step, right_step;
  if (gain_start == gain_end) {
    if (gain_start == 0.0f) return;
    left = gain_start * v.left_gain;
    right = gain_start * v.right_gain;
    left_step = right_step = 0.0f;
  } else {
    float step = (gain_end - gain_start) / (float)count;
    left = gain_start * v.left_gain;
    right = gain_start * v.right_gain;
    left_step = step * v.left_gain;
    right_step = step * v.right_gain;
  }
  float* out = destination;
  if (rate_is_native(v.rate)) {
    // The fraction of the source position is ignored at the native rate.
    int index = (int)source_position;
    if (v.channels == 2 && left_step == 0.0f && right_step == 0.0f) {
      // Steady gain, the usual case: no ramp to carry from frame to frame.
      const int16_t* s = v.data + 2 * (ptrdiff_t)index;
      for (int i = 0; i < 2 * count; i += 2) {
        out[i] += (float)s[i] * left;
        out[i + 1] += (float)s[i + 1] * right;
      }
    } else if (v.channels == 2) {
      const int16_t* s = v.data + 2 * (ptrdiff_t)index;
      for (int i = 0; i < count; ++i) {
        out[2 * i] += (float)s[2 * i] * left;
        out[2 * i + 1] += (float)s[2 * i + 1] * right;
        left += left_step;
        right += right_step;
      }
    } else {
      const int16_t* s = v.data + index;
      for (int i = 0; i < count; ++i) {
        float sample = (float)s[i];
        out[2 * i] += sample * left;
        out[2 * i + 1] += sample * right;
        left += left_step;
        right += right_step;
      }
    }
    return;
  }
  // Resampling with linear interpolation between neighbouring source frames.
  float whole = floorf(source_position);
  ptrdiff_t index = (ptrdiff_t)whole;
  float fraction = source_position - whole;
  float whole_step = floorf(v.rate);
  ptrdiff_t index_step = (ptrdiff_t)whole_step;
  float fraction_step = v.rate - whole_step;
  int stereo = v.channels == 2;
  for (int i = 0; i < count; ++i) {
    float value_left, value_right;
    if (stereo) {
      float a = v.data[2 * index], b = v.data[2 * index + 2];
      value_left = a + (b - a) * fraction;
      a = v.data[2 * index + 1];
      b = v.data[2 * index + 3];
      value_right = a + (b - a) * fraction;
    } else {
      float a = v.data[index], b = v.data[index + 1];
      value_left = value_right = a + (b - a) * fraction;
    }
    out[2 * i] += value_left * left;
    out[2 * i + 1] += value_right * right;
    left += left_step;
    right += right_step;
    fraction += fraction_step;
    index += index_step;
    if (fraction >= 1.0f) {
      index += 1;
      fraction -= 1.0f;
    }
  }
}

float voice_envelope(const Voice* voice, uint32_t time) {
  const Voice& v = *voice;
  // An attack still running wins over a release that has already begun.
  if (time < v.attack_start + v.attack_length) {
    if (time < v.attack_start) return 0.0f;
    return envelope_curve(v.attack_curve, (float)(time - v.attack_start) / (float)v.attack_length);
  }
  if (time <= v.release_start) return 1.0f;
  if (time > v.release_start + v.release_length) return 0.0f;
  return envelope_curve(v.release_curve,
                        1.0f - (float)(time - v.release_start) / (float)v.release_length);
}

float envelope_curve(int type, float x) {
  switch (type) {
    case CURVE_LINEAR:
      return x;
    case CURVE_SINE:  // exactly 1 at x = 1
      return x * (1.57f + x * (-0.14f - 0.43f * x));
    case CURVE_STEEP: {
      float x6 = x * x * x * x * x * x;
      float a = 0.5f * x6, b = 1.0f - 15.0f * (1.0f - x);
      return a > b ? a : b;
    }
    case CURVE_SWELL: {  // the overshoot peaks at x = 0.95
      float x6 = x * x * x * x * x * x;
      float e = x < 0.95f ? 1.0f - 16.0f * (0.95f - x) : 1.0f;
      float a = fabsf(20.0f * (1.0f - x) - 1.0f);
      float bump = a < 1.0f ? 1.0f + 0.2f * (1.0f - (3.0f * a * a - 2.0f * a * a * a)) : 1.0f;
      float tail = 0.5f * x6;
      return bump * (tail > e ? tail : e);
    }
    default:
      return 1.0f;
  }
}

void voice_release(int key, uint8_t release_curve, uint32_t release_start,
                   uint32_t release_length) {
  VoiceTable& t = voice_table;
  MixRing& r = mix_ring;
  if (key == 0) return;
  if (release_start == 0) release_start = r.now;
  // Everything from the release start on is mixed again with the new envelope.
  if (release_start < r.ring_start_time + (uint32_t)r.mixed_frames)
    r.mixed_frames = release_start < r.ring_start_time ? 0 : (int)(release_start - r.ring_start_time);
  uint32_t fade_end = release_start + release_length;
  for (int i = 0; i < t.count;) {
    if (t.voices[i].key == key && t.voices[i].start_time >= fade_end) {
      voice_remove(i);  // would only begin once the fade is over
    } else {
      ++i;
    }
  }
  for (int i = 0; i < t.count;) {
    Voice& v = t.voices[i];
    if (v.key != key) {
      ++i;
      continue;
    }
    if (!voice_make_private(&v)) {
      voice_remove(i);  // its source may be reused by the caller: drop it
      continue;
    }
    v.release_curve = release_curve;
    v.release_start = release_start;
    v.release_length = release_length;
    v.key = 0;  // a later release of the same key leaves it alone
    if (fade_end < v.start_time + v.duration) v.duration = fade_end - v.start_time;
    ++i;
  }
}

int voice_make_private(Voice* voice) {
  Voice& v = *voice;
  if (v.data_persistent || v.owns_data) return 1;
  int64_t frames;
  if (rate_is_native(v.rate)) {
    frames = (int64_t)v.source_start + (int64_t)v.duration;
  } else {
    frames = (int64_t)ceil((double)((float)v.duration * v.rate + v.source_start + 1.0f));
  }
  if (frames > v.data_frames) frames = v.data_frames;
  if (frames < 0) frames = 0;
  int channels = v.channels == 2 ? 2 : 1;
  size_t bytes = (size_t)channels * (size_t)frames * 2;
  int16_t* copy = (int16_t*)audio_allocate(bytes ? bytes : 1);
  if (!copy) return 0;
  memcpy(copy, v.data, bytes);
  v.data = copy;
  v.owns_data = 1;
  return 1;
}

void voices_retire(uint32_t time) {
  VoiceTable& t = voice_table;
  for (int i = 0; i < t.count;) {
    const Voice& v = t.voices[i];
    if (v.start_time + v.duration <= time) {
      voice_remove(i);  // the moved-in record is examined next
    } else {
      ++i;
    }
  }
}

void voices_reset(uint32_t time) {
  VoiceTable& t = voice_table;
  for (int i = 0; i < t.count; ++i) {
    if (t.voices[i].owns_data) free((void*)t.voices[i].data);
  }
  t.count = 0;
  mix_ring.ring_start = 0;
  mix_ring.ring_start_time = 0;
  mix_ring.mixed_frames = 0;
  mix_ring.now = time;
}

int voice_count(void) { return voice_table.count; }
