// Float frames to 16-bit output: rounding to nearest (ties to even) with
// saturation, straight copies when the wanted channel count matches (or cannot
// be mixed), and down-mixes to mono or stereo by speaker position otherwise,
// summed in runs of 32 floats on the stack so no buffer is needed.
#include <cstring>

#include "vorbis/vorbis_internal.h"

namespace {

constexpr int MIX_RUN = 32;
constexpr uint8_t MONO = 1, LEFT = 2, RIGHT = 4;

// Speaker position of each decoded channel by decoded channel count (1..6).
const uint8_t POSITION_MASKS[7][6] = {
    {0},
    {MONO | LEFT | RIGHT},
    {MONO | LEFT, MONO | RIGHT},
    {MONO | LEFT, MONO | LEFT | RIGHT, MONO | RIGHT},
    {MONO | LEFT, MONO | RIGHT, MONO | LEFT, MONO | RIGHT},
    {MONO | LEFT, MONO | LEFT | RIGHT, MONO | RIGHT, MONO | LEFT, MONO | RIGHT},
    {MONO | LEFT, MONO | LEFT | RIGHT, MONO | RIGHT, MONO | LEFT, MONO | RIGHT,
     MONO | LEFT | RIGHT},
};

inline short to_s16(float x) { return vorbis_float_to_s16(x); }

int needs_mix(int wanted, int decoded) {
  return !(wanted == decoded || wanted > 2 || decoded > 6);
}

void convert_planar(const VorbisDecoder* d, int wanted, short** out, int count) {
  const int decoded = d->channels;
  const int start = d->valid_start;
  if (!needs_mix(wanted, decoded)) {
    for (int k = 0; k < wanted; ++k) {
      if (k < decoded) {
        const float* src = d->channel_buffer[k] + start;
        for (int i = 0; i < count; ++i) out[k][i] = to_s16(src[i]);
      } else {
        memset(out[k], 0, sizeof(short) * count);
      }
    }
    return;
  }
  const uint8_t bits_by_output[2][2] = {{MONO, 0}, {LEFT, RIGHT}};
  for (int k = 0; k < wanted; ++k) {
    uint8_t bit = bits_by_output[wanted - 1][k];
    for (int base = 0; base < count; base += MIX_RUN) {
      int run = count - base < MIX_RUN ? count - base : MIX_RUN;
      float sum[MIX_RUN] = {};
      for (int c = 0; c < decoded; ++c) {
        if (!(POSITION_MASKS[decoded][c] & bit)) continue;
        const float* src = d->channel_buffer[c] + start + base;
        for (int i = 0; i < run; ++i) sum[i] += src[i];
      }
      for (int i = 0; i < run; ++i) out[k][base + i] = to_s16(sum[i]);
    }
  }
}

void convert_interleaved(const VorbisDecoder* d, int wanted, short* out, int count) {
  const int decoded = d->channels;
  const int start = d->valid_start;
  if (!needs_mix(wanted, decoded)) {
    if (wanted == 2 && decoded == 2) {
      const float* left = d->channel_buffer[0] + start;
      const float* right = d->channel_buffer[1] + start;
      for (int i = 0; i < count; ++i) {
        out[2 * i] = to_s16(left[i]);
        out[2 * i + 1] = to_s16(right[i]);
      }
      return;
    }
    for (int k = 0; k < wanted; ++k) {
      if (k < decoded) {
        const float* src = d->channel_buffer[k] + start;
        for (int i = 0; i < count; ++i) out[i * wanted + k] = to_s16(src[i]);
      } else {
        for (int i = 0; i < count; ++i) out[i * wanted + k] = 0;
      }
    }
    return;
  }
  // Only stereo reaches here (mono output goes through the planar path).
  const int frames_per_run = MIX_RUN / 2;
  for (int base = 0; base < count; base += frames_per_run) {
    int run = count - base < frames_per_run ? count - base : frames_per_run;
    float sum[MIX_RUN] = {};
    for (int c = 0; c < decoded; ++c) {
      const float* src = d->channel_buffer[c] + start + base;
      uint8_t mask = POSITION_MASKS[decoded][c];
      if (mask & LEFT)
        for (int i = 0; i < run; ++i) sum[2 * i] += src[i];
      if (mask & RIGHT)
        for (int i = 0; i < run; ++i) sum[2 * i + 1] += src[i];
    }
    for (int i = 0; i < 2 * run; ++i) out[2 * base + i] = to_s16(sum[i]);
  }
}

}  // namespace

int vorbis_next_frame_s16(VorbisDecoder* d, int channels, short** buffers, int samples) {
  if (!d || channels <= 0 || !buffers || samples < 0) return 0;
  int count = vorbis_decode_frame(d);
  if (count > samples) count = samples;
  if (count > 0) convert_planar(d, channels, buffers, count);
  return count;
}

int vorbis_next_frame_s16_interleaved(VorbisDecoder* d, int channels, short* buffer,
                                      int values) {
  if (!d || channels <= 0 || !buffer || values < 0) return 0;
  if (channels == 1) return vorbis_next_frame_s16(d, 1, &buffer, values);
  int count = vorbis_decode_frame(d);
  if ((int64_t)count * channels > values) count = values / channels;
  if (count > 0) convert_interleaved(d, channels, buffer, count);
  return count;
}
