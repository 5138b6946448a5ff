// Comb and all-pass lengths are the well-known mutually prime set for 44.1 kHz,
// scaled for other rates; the right channel's lines are a little longer so the
// two sides decorrelate and the tail sounds wide.
#include "music/reverb.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const int COMB_COUNT = 8;
const int ALLPASS_COUNT = 4;
const int COMB_LENGTHS[COMB_COUNT] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
const int ALLPASS_LENGTHS[ALLPASS_COUNT] = {556, 441, 341, 225};
const int STEREO_SPREAD = 23;
const float INPUT_GAIN = 0.015f;  // keeps the eight combs' sum near unity
const float WET_SCALE = 5.0f;
const double REVERB_MIN_DECAY = 0.25;  // seconds to -60 dB at room 0
const double REVERB_MAX_DECAY = 1.5;   // ... and at room 1

struct Comb {
  std::vector<float> buf;
  int pos = 0;
  float store = 0.0f;
  inline float run(float x, float feedback, float damp) {
    float out = buf[pos];
    store = out * (1.0f - damp) + store * damp;
    buf[pos] = x + store * feedback;
    if (++pos == (int)buf.size()) pos = 0;
    return out;
  }
};

struct Allpass {
  std::vector<float> buf;
  int pos = 0;
  inline float run(float x) {
    float b = buf[pos];
    buf[pos] = x + b * 0.5f;
    if (++pos == (int)buf.size()) pos = 0;
    return b - x;
  }
};

void process_channel(const float* send, float* out, int frames, int rate, int spread,
                     double decay_seconds, float damp, float wet) {
  double scale = (double)rate / 44100.0;
  Comb combs[COMB_COUNT];
  float feedback[COMB_COUNT];
  Allpass allpasses[ALLPASS_COUNT];
  for (int i = 0; i < COMB_COUNT; i++) {
    int length = std::max(1, (int)((COMB_LENGTHS[i] + spread) * scale));
    combs[i].buf.assign(length, 0.0f);
    // Each comb loses 60 dB over the decay time, whatever its length.
    feedback[i] = (float)std::pow(10.0, -3.0 * length / (decay_seconds * rate));
  }
  for (int i = 0; i < ALLPASS_COUNT; i++)
    allpasses[i].buf.assign(std::max(1, (int)((ALLPASS_LENGTHS[i] + spread) * scale)), 0.0f);
  float gain = wet * WET_SCALE;
  for (int f = 0; f < frames; f++) {
    float x = send[f] * INPUT_GAIN;
    float acc = 0.0f;
    for (int i = 0; i < COMB_COUNT; i++) acc += combs[i].run(x, feedback[i], damp);
    for (Allpass& a : allpasses) acc = a.run(acc);
    out[f] += acc * gain;
  }
}

}  // namespace

void reverb_process(const float* send, float* left, float* right, int frames, int rate, float room,
                    float wet) {
  // Segment tails are about a second long, so even the largest room decays in
  // well under two seconds and is mostly gone before the segment's final fade.
  double decay = REVERB_MIN_DECAY + (REVERB_MAX_DECAY - REVERB_MIN_DECAY) * std::clamp(room, 0.0f, 1.0f);
  float damp = 0.35f;
  process_channel(send, left, frames, rate, 0, decay, damp, wet);
  process_channel(send, right, frames, rate, STEREO_SPREAD, decay, damp, wet);
}
