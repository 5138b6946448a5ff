// Levels are matched after the reverb, on the body of the segment, and the
// limiter only shaves the rare peaks that stick out after that; a few rounds
// of measure-and-rescale settle the loudness within a few hundredths of a dB.
#include "music/render.h"

#include <algorithm>
#include <cmath>

#include "music/analysis.h"
#include "music/reverb.h"
#include "music/synth.h"

namespace {

const long LIMIT_LOOKAHEAD = 96;      // frames the limiter ramps down before a peak
const double LIMIT_RECOVER_S = 0.08;  // seconds to recover full gain
const long FADE_IN = 24;              // frames; notes start at zero anyway
const long FADE_OUT_MAX = 8820;       // 0.2 s at 44.1 kHz

// Gain that keeps every sample under `ceiling`: ramps down linearly over the
// lookahead before each over-ceiling frame and recovers linearly afterwards.
double limit(std::vector<float>* x, long frames, float ceiling, int rate) {
  std::vector<float> gain(frames, 1.0f);
  bool any = false;
  for (long f = 0; f < frames; f++) {
    float p = std::max(std::fabs((*x)[2 * f]), std::fabs((*x)[2 * f + 1]));
    if (p <= ceiling) continue;
    any = true;
    float g = ceiling / p;
    for (long k = 0; k <= LIMIT_LOOKAHEAD && f - k >= 0; k++) {
      float ramp = g + (1.0f - g) * (float)k / (float)LIMIT_LOOKAHEAD;
      if (ramp < gain[f - k]) gain[f - k] = ramp;
    }
  }
  if (!any) return 0.0;
  float step = 1.0f / (float)(LIMIT_RECOVER_S * rate);
  float g = 1.0f, lowest = 1.0f;
  for (long f = 0; f < frames; f++) {
    g = std::min(gain[f], g + step);
    lowest = std::min(lowest, g);
    (*x)[2 * f] *= g;
    (*x)[2 * f + 1] *= g;
  }
  return analysis_db(lowest);
}

void fade_edges(std::vector<float>* x, long frames, long fade_out) {
  for (long f = 0; f < std::min(FADE_IN, frames); f++) {
    float g = 0.5f - 0.5f * std::cos(3.14159265f * (float)f / (float)FADE_IN);
    (*x)[2 * f] *= g;
    (*x)[2 * f + 1] *= g;
  }
  for (long k = 0; k < fade_out && k < frames; k++) {
    long f = frames - 1 - k;  // k = 0 is the last frame, which must be silent
    float g = 0.5f - 0.5f * std::cos(3.14159265f * (float)k / (float)fade_out);
    (*x)[2 * f] *= g;
    (*x)[2 * f + 1] *= g;
  }
}

}  // namespace

void render_body(const Segment& seg, long* first_out, long* count_out) {
  *first_out = seg.lead;
  *count_out = std::min((long)seg.advance, (long)seg.length - seg.lead);
}

void render_segment(const Score& score, const Segment& seg, std::vector<float>* stereo_out,
                    RenderStats* stats_out) {
  long frames = seg.length;
  std::vector<float> left(frames, 0.0f), right(frames, 0.0f), send(frames, 0.0f);
  MixTarget mix{left.data(), right.data(), send.data(), (int)frames, score.rate};
  RenderStats stats;
  uint32_t seed = 0x51ED270Bu ^ ((uint32_t)seg.id * 2654435761u);
  for (size_t i = 0; i < seg.notes.size(); i++) {
    const NoteEvent& n = seg.notes[i];
    const Instrument& inst = score.instruments[n.instrument];
    if (inst.kind != INSTRUMENT_NOISE && inst.kind != INSTRUMENT_KICK &&
        !score_note_in_key(seg, n.midi))
      stats.out_of_key++;
    // The attack starts up to `lead` frames early so that it peaks on the beat.
    double beat = seg.lead + n.at * score.unit;
    double onset = beat - std::min((double)inst.attack * score.rate, (double)seg.lead);
    double gate = n.length * score.unit + (beat - onset);
    synth_render_note(inst, n.freq, n.vel, onset, gate, seed + (uint32_t)i * 7919u, mix);
  }
  reverb_process(send.data(), left.data(), right.data(), (int)frames, score.rate, seg.room, seg.wet);

  std::vector<float> dry(2 * frames);
  for (long f = 0; f < frames; f++) {
    dry[2 * f] = left[f];
    dry[2 * f + 1] = right[f];
  }
  long body_first = 0, body_count = 0;
  render_body(seg, &body_first, &body_count);
  long fade_out = std::min(FADE_OUT_MAX, std::max(1L, (frames - body_first - body_count) / 2));
  float ceiling = (float)std::pow(10.0, score.ceiling / 20.0);
  double measured = analysis_loudness(dry.data(), frames, body_first, body_count, score.rate);
  double gain = measured > -150.0 ? std::pow(10.0, (score.loudness - measured) / 20.0) : 1.0;
  std::vector<float>& out = *stereo_out;
  for (int round = 0; round < 4; round++) {
    out.resize(2 * frames);
    for (long i = 0; i < 2 * frames; i++) out[i] = (float)(dry[i] * gain);
    stats.reduction_db = limit(&out, frames, ceiling, score.rate);
    fade_edges(&out, frames, fade_out);
    stats.loudness = analysis_loudness(out.data(), frames, body_first, body_count, score.rate);
    double miss = score.loudness - stats.loudness;
    if (std::fabs(miss) < 0.05 || stats.loudness < -150.0) break;
    gain *= std::pow(10.0, miss / 20.0);
  }
  // The limiter's lookahead guarantees the ceiling; this only guards rounding.
  for (float& v : out) v = std::clamp(v, -ceiling, ceiling);
  stats.peak_db = analysis_db(analysis_peak(out.data(), 0, frames));
  if (stats_out) *stats_out = stats;
}
