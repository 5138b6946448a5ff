// Oscillators, filters and envelopes for the six instrument kinds. The inner
// loops are per sample with coefficient updates every SYNTH_CONTROL frames, which
// keeps a whole soundtrack well within a few seconds of one core.
#include "music/synth.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const int SYNTH_CONTROL = 16;  // frames between filter/pitch coefficient updates
const int SINE_SIZE = 4096;    // power of two; table has one guard entry
const double TWO_PI = 6.283185307179586;

struct SineTable {
  float v[SINE_SIZE + 1];
  SineTable() {
    for (int i = 0; i <= SINE_SIZE; i++) v[i] = (float)std::sin(TWO_PI * i / SINE_SIZE);
  }
};

const SineTable& sine_table() {
  static const SineTable table;
  return table;
}

// phase in cycles (any real); linear interpolation in the table.
inline float sine_cycles(const SineTable& t, double phase) {
  double f = phase - std::floor(phase);
  double x = f * SINE_SIZE;
  int i = (int)x;
  float frac = (float)(x - i);
  return t.v[i] + (t.v[i + 1] - t.v[i]) * frac;
}

struct Rng {
  uint32_t s;
  float next() {  // -1 .. 1
    s = s * 1664525u + 1013904223u;
    return (float)((int32_t)s) * (1.0f / 2147483648.0f);
  }
};

inline float poly_blep(float t, float dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0f;
  }
  if (t > 1.0f - dt) {
    t = (t - 1.0f) / dt;
    return t * t + t + t + 1.0f;
  }
  return 0.0f;
}

// Band-limited sawtooth; phase in 0..1.
struct Saw {
  float phase = 0.0f;
  float inc = 0.0f;
  inline float next() {
    float out = 2.0f * phase - 1.0f - poly_blep(phase, inc);
    phase += inc;
    if (phase >= 1.0f) phase -= 1.0f;
    return out;
  }
};

// Trapezoidal state-variable filter: stable under fast cutoff changes.
struct Svf {
  float ic1 = 0.0f, ic2 = 0.0f;
  float a1 = 0.0f, a2 = 0.0f, a3 = 0.0f, k = 2.0f;
  void set(float cutoff, float reso, int rate) {
    float fc = std::clamp(cutoff, 20.0f, 0.45f * (float)rate);
    float g = std::tan(3.14159265f * fc / (float)rate);
    k = 2.0f - 2.0f * std::clamp(reso, 0.0f, 0.95f);
    a1 = 1.0f / (1.0f + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
  }
  // Returns low-pass; band and high through the pointers.
  inline float run(float x, float* band, float* high) {
    float v3 = x - ic2;
    float v1 = a1 * ic1 + a2 * v3;
    float v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0f * v1 - ic1;
    ic2 = 2.0f * v2 - ic2;
    *band = v1;
    *high = x - k * v1 - v2;
    return v2;
  }
};

// Attack (linear), decay toward sustain (exponential), release after the gate
// (exponential with a linear taper so it reaches exactly zero).
struct Envelope {
  double attack, decay_mul, sustain, gate;
  double release, release_mul;
  double level = 0.0, release_from = 0.0;
  long t = 0;
  void init(const Instrument& inst, double gate_frames, int rate) {
    attack = std::max(1.0, (double)inst.attack * rate);
    double d = std::max(1.0, (double)inst.decay * rate);
    decay_mul = std::exp(-5.0 / d);
    sustain = inst.sustain;
    gate = gate_frames;
    release = std::max(1.0, (double)inst.release * rate);
    release_mul = std::exp(-6.9 / release);
  }
  inline float next() {
    if (t < gate) {
      if (t < attack) level = std::min(1.0, level + 1.0 / attack);
      else level = sustain + (level - sustain) * decay_mul;
      release_from = level;
    } else {
      double r = (double)t - gate;
      release_from *= release_mul;
      level = r >= release ? 0.0 : release_from * (1.0 - r / release);
    }
    t++;
    return (float)level;
  }
};

inline void pan_gains(float pan, float* l, float* r) {
  float theta = (std::clamp(pan, -1.0f, 1.0f) + 1.0f) * 0.785398163f;
  *l = std::cos(theta) * 1.41421356f;
  *r = std::sin(theta) * 1.41421356f;
}

struct NoteSpan {
  long first;   // first frame in the mix
  long count;   // frames to render
  double frac;  // onset's fractional part (phases start there)
};

NoteSpan note_span(double onset, double total, int frames) {
  NoteSpan s;
  double start = std::max(0.0, onset);
  s.first = (long)std::ceil(start);
  s.frac = (double)s.first - onset;
  long end = std::min((long)frames, (long)std::ceil(onset + total));
  s.count = std::max(0L, end - s.first);
  return s;
}

void render_pad(const Instrument& in, float freq, float amp, double gate, const NoteSpan& sp,
                uint32_t seed, const MixTarget& m) {
  const SineTable& sine = sine_table();
  Rng rng{seed};
  int n = (int)in.voices;
  Saw saws[7];
  float vl[7], vr[7];
  float base_ratio[7];
  for (int k = 0; k < n; k++) {
    float pos = n == 1 ? 0.0f : (float)k / (float)(n - 1) - 0.5f;  // -0.5 .. 0.5
    base_ratio[k] = std::pow(2.0f, in.detune * pos / 1200.0f);
    pan_gains(in.pan + 2.0f * pos * in.width, &vl[k], &vr[k]);
    saws[k].phase = 0.5f + 0.5f * rng.next();
    vl[k] /= (float)n;
    vr[k] /= (float)n;
  }
  float sl, sr;
  pan_gains(in.pan, &sl, &sr);
  Svf fl, fr;
  Envelope env;
  env.init(in, gate, m.rate);
  double sub_phase = 0.0;
  float inv_rate = 1.0f / (float)m.rate;
  // The sub-octave sine fades out between 50 and 35 Hz: below that it only eats headroom.
  float sub_level = in.sub * std::clamp((0.5f * freq - 35.0f) / 15.0f, 0.0f, 1.0f);
  for (long i = 0; i < sp.count; i++) {
    float time = (float)((double)i + sp.frac) * inv_rate;
    float e = env.next();
    if (i % SYNTH_CONTROL == 0) {
      float vib = in.vibrato > 0.0f
                      ? std::pow(2.0f, in.vibrato * sine_cycles(sine, 5.0 * time) / 1200.0f)
                      : 1.0f;
      for (int k = 0; k < n; k++) saws[k].inc = freq * base_ratio[k] * vib * inv_rate;
      float cut = in.cutoff * (1.0f + in.sweep * e);
      fl.set(cut, in.reso, m.rate);
      fr.set(cut, in.reso, m.rate);
    }
    float l = 0.0f, r = 0.0f;
    for (int k = 0; k < n; k++) {
      float s = saws[k].next();
      l += s * vl[k];
      r += s * vr[k];
    }
    float b, h;
    l = fl.run(l, &b, &h);
    r = fr.run(r, &b, &h);
    if (sub_level > 0.0f) {
      float s = sub_level * sine_cycles(sine, sub_phase);
      sub_phase += 0.5 * freq * inv_rate;
      l += s * sl;
      r += s * sr;
    }
    float a = amp * e;
    if (in.tremolo > 0.0f) a *= 1.0f - in.depth * (0.5f + 0.5f * sine_cycles(sine, in.tremolo * time));
    long f = sp.first + i;
    m.left[f] += l * a;
    m.right[f] += r * a;
    m.send[f] += (l + r) * 0.5f * a * in.reverb;
  }
}

void render_pluck(const Instrument& in, float freq, float amp, double gate, const NoteSpan& sp,
                  uint32_t seed, const MixTarget& m) {
  Rng rng{seed};
  // Loop delay = read offset + 1 (the symmetric 3-tap loop filter), so read at P - 1.
  double period = (double)m.rate / std::max(20.0f, freq);
  double offset = std::max(2.0, period - 1.0);
  int size = (int)offset + 4;
  std::vector<float> line(size, 0.0f);
  float a = 0.5f + 0.5f * std::clamp(in.bright, 0.0f, 1.0f);
  float side = 0.5f * (1.0f - a);
  float loss = (float)std::pow(10.0, -3.0 / (std::max(0.05f, in.decay) * freq));
  // Excitation: one period of noise, softened for dull plucks and with its DC removed.
  int burst = (int)period;
  std::vector<float> exc(burst);
  float lp = 0.0f, mean = 0.0f;
  for (int i = 0; i < burst; i++) {
    lp += (0.2f + 0.8f * in.bright) * (rng.next() - lp);
    exc[i] = lp;
    mean += lp;
  }
  mean /= (float)std::max(1, burst);
  for (float& x : exc) x -= mean;
  float pl, pr;
  pan_gains(in.pan, &pl, &pr);
  Envelope env;
  env.init(in, gate, m.rate);
  int w = 0;
  float y1 = 0.0f, y2 = 0.0f;
  for (long i = 0; i < sp.count; i++) {
    double rpos = (double)w - offset;
    while (rpos < 0.0) rpos += size;
    int r0 = (int)rpos;
    float fr = (float)(rpos - r0);
    int r1 = r0 + 1 == size ? 0 : r0 + 1;
    float y = line[r0] + (line[r1] - line[r0]) * fr;
    float filtered = side * (y + y2) + a * y1;
    y2 = y1;
    y1 = y;
    float input = i < burst ? exc[i] : 0.0f;
    line[w] = loss * filtered + input;
    if (++w == size) w = 0;
    float out = filtered * amp * env.next();
    long f = sp.first + i;
    m.left[f] += out * pl;
    m.right[f] += out * pr;
    m.send[f] += out * in.reverb;
  }
}

void render_bass(const Instrument& in, float freq, float amp, double gate, const NoteSpan& sp,
                 uint32_t seed, const MixTarget& m) {
  const SineTable& sine = sine_table();
  Rng rng{seed};
  Saw saw;
  saw.phase = 0.5f + 0.5f * rng.next();
  saw.inc = freq / (float)m.rate;
  Svf filter;
  Envelope env;
  env.init(in, gate, m.rate);
  float pl, pr;
  pan_gains(in.pan, &pl, &pr);
  double phase = 0.0;
  double fenv_mul = std::exp(-1.0 / (std::max(0.01, (double)in.decay) * 0.3 * m.rate));
  double fenv = 1.0;
  for (long i = 0; i < sp.count; i++) {
    if (i % SYNTH_CONTROL == 0) filter.set(in.cutoff * (1.0f + in.sweep * (float)fenv), in.reso, m.rate);
    fenv *= fenv_mul;
    float b, h;
    float x = filter.run(saw.next(), &b, &h);
    x += in.sub * sine_cycles(sine, phase);
    phase += (double)freq / m.rate;
    if (in.drive > 0.0f) x = x * (1.0f + in.drive) / (1.0f + in.drive * std::fabs(x));
    float out = x * amp * env.next();
    long f = sp.first + i;
    m.left[f] += out * pl;
    m.right[f] += out * pr;
    m.send[f] += out * in.reverb;
  }
}

void render_bell(const Instrument& in, float freq, float amp, double gate, const NoteSpan& sp,
                 uint32_t seed, const MixTarget& m) {
  (void)seed;
  const SineTable& sine = sine_table();
  // Two slightly detuned operator pairs, one leaning to each side, give width.
  float spread = 1.0f + 0.0015f * in.width;
  double inc_l = (double)freq / spread / m.rate, inc_r = (double)freq * spread / m.rate;
  double cl = 0.0, cr = 0.25, ml = 0.0, mr = 0.5;
  double index_mul = std::exp(-1.0 / (std::max(0.02, (double)in.decay) * 0.35 * m.rate));
  double index = in.index;
  float pl, pr;
  pan_gains(in.pan, &pl, &pr);
  float wl = pl * (0.5f + 0.5f * (1.0f - in.width)), wr = pr * (0.5f + 0.5f * (1.0f - in.width));
  float xl = pl - wl, xr = pr - wr;  // cross-feed keeps the centre when width is low
  Envelope env;
  env.init(in, gate, m.rate);
  for (long i = 0; i < sp.count; i++) {
    float a = amp * env.next();
    float sl = sine_cycles(sine, cl + index * sine_cycles(sine, ml) * 0.159154943);
    float sr = sine_cycles(sine, cr + index * sine_cycles(sine, mr) * 0.159154943);
    cl += inc_l;
    cr += inc_r;
    ml += inc_l * in.ratio;
    mr += inc_r * in.ratio;
    index *= index_mul;
    long f = sp.first + i;
    float l = (sl * wl + sr * xl) * a, r = (sr * wr + sl * xr) * a;
    m.left[f] += l;
    m.right[f] += r;
    m.send[f] += (l + r) * 0.5f * in.reverb;
  }
}

void render_noise(const Instrument& in, float amp, double gate, const NoteSpan& sp, uint32_t seed,
                  const MixTarget& m) {
  Rng a{seed}, b{seed ^ 0x9E3779B9u};
  Svf fl, fr;
  Envelope env;
  env.init(in, gate, m.rate);
  float pl, pr;
  pan_gains(in.pan, &pl, &pr);
  float mix = std::clamp(in.width, 0.0f, 1.0f);
  float norm = 1.0f / std::sqrt((1.0f - mix) * (1.0f - mix) + mix * mix);
  int mode = in.bright < 0.25f ? 0 : in.bright < 0.75f ? 1 : 2;
  double sweep_to = in.cutoff2 > 0.0f ? in.cutoff2 : in.cutoff;
  double log_ratio = std::log(sweep_to / std::max(1.0f, in.cutoff));
  double gate_len = std::max(1.0, gate);
  for (long i = 0; i < sp.count; i++) {
    if (i % SYNTH_CONTROL == 0) {
      double p = std::min(1.0, (double)i / gate_len);
      float cut = (float)(in.cutoff * std::exp(log_ratio * p));
      fl.set(cut, in.reso, m.rate);
      fr.set(cut, in.reso, m.rate);
    }
    float n1 = a.next(), n2 = b.next();
    float l = n1, r = ((1.0f - mix) * n1 + mix * n2) * norm;
    float bl, hl, br, hr;
    float ll = fl.run(l, &bl, &hl), lr = fr.run(r, &br, &hr);
    if (mode == 1) ll = bl, lr = br;
    else if (mode == 2) ll = hl, lr = hr;
    float e = amp * env.next();
    long f = sp.first + i;
    m.left[f] += ll * e * pl;
    m.right[f] += lr * e * pr;
    m.send[f] += (ll * pl + lr * pr) * 0.5f * e * in.reverb;
  }
}

void render_kick(const Instrument& in, float freq, float amp, double gate, const NoteSpan& sp,
                 const MixTarget& m) {
  const SineTable& sine = sine_table();
  Envelope env;
  env.init(in, gate, m.rate);
  float pl, pr;
  pan_gains(in.pan, &pl, &pr);
  double phase = 0.0, drop = 1.0;
  double drop_mul = std::exp(-1.0 / (0.035 * m.rate));
  for (long i = 0; i < sp.count; i++) {
    double f0 = freq * (1.0 + (in.punch - 1.0) * drop);
    drop *= drop_mul;
    float out = sine_cycles(sine, phase) * amp * env.next();
    phase += f0 / m.rate;
    long f = sp.first + i;
    m.left[f] += out * pl;
    m.right[f] += out * pr;
    m.send[f] += out * in.reverb;
  }
}

}  // namespace

double synth_tail_frames(const Instrument& inst, int rate) {
  return (double)inst.release * rate;
}

void synth_render_note(const Instrument& inst, float freq, float vel, double onset, double gate,
                       uint32_t seed, const MixTarget& mix) {
  double total = gate + synth_tail_frames(inst, mix.rate);
  NoteSpan sp = note_span(onset, total, mix.frames);
  if (sp.count <= 0) return;
  // A note cut by the segment's start (negative onset) still begins at its envelope start.
  float amp = inst.gain * vel;
  switch (inst.kind) {
    case INSTRUMENT_PAD: render_pad(inst, freq, amp, gate, sp, seed, mix); break;
    case INSTRUMENT_PLUCK: render_pluck(inst, freq, amp, gate, sp, seed, mix); break;
    case INSTRUMENT_BASS: render_bass(inst, freq, amp, gate, sp, seed, mix); break;
    case INSTRUMENT_BELL: render_bell(inst, freq, amp, gate, sp, seed, mix); break;
    case INSTRUMENT_NOISE: render_noise(inst, amp, gate, sp, seed, mix); break;
    case INSTRUMENT_KICK: render_kick(inst, freq, amp, gate, sp, mix); break;
    default: break;
  }
}
