// K-weighting is the two-stage filter of the broadcast loudness meter: a
// high shelf (+4 dB above ~1.7 kHz) and a high-pass near 38 Hz, designed here
// for any sample rate from their analogue prototypes.
#include "music/analysis.h"

#include <algorithm>
#include <cmath>

namespace {

struct Biquad {
  double b0, b1, b2, a1, a2;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  double run(double x) {
    double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

Biquad shelf_stage(int rate) {
  const double gain_db = 3.99984385397, q = 0.7071752369554193, fc = 1681.9744509555319;
  double a = std::pow(10.0, gain_db / 40.0);
  double w0 = 2.0 * M_PI * fc / rate, alpha = std::sin(w0) / (2.0 * q), c = std::cos(w0);
  double sa = 2.0 * std::sqrt(a) * alpha;
  double a0 = (a + 1) - (a - 1) * c + sa;
  Biquad f;
  f.b0 = a * ((a + 1) + (a - 1) * c + sa) / a0;
  f.b1 = -2 * a * ((a - 1) + (a + 1) * c) / a0;
  f.b2 = a * ((a + 1) + (a - 1) * c - sa) / a0;
  f.a1 = 2 * ((a - 1) - (a + 1) * c) / a0;
  f.a2 = ((a + 1) - (a - 1) * c - sa) / a0;
  return f;
}

Biquad highpass_stage(int rate) {
  const double q = 0.5003270373223665, fc = 38.13547087613982;
  double w0 = 2.0 * M_PI * fc / rate, alpha = std::sin(w0) / (2.0 * q), c = std::cos(w0);
  double a0 = 1 + alpha;
  Biquad f;
  f.b0 = (1 + c) / 2 / a0;
  f.b1 = -(1 + c) / a0;
  f.b2 = (1 + c) / 2 / a0;
  f.a1 = -2 * c / a0;
  f.a2 = (1 - alpha) / a0;
  return f;
}

}  // namespace

double analysis_db(double amplitude) {
  return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -200.0;
}

double analysis_loudness(const float* stereo, long frames, long first, long count, int rate) {
  if (count <= 0 || first < 0 || first + count > frames) return -200.0;
  long warm = std::min(first, (long)(rate / 10));
  double sum = 0.0;
  for (int ch = 0; ch < 2; ch++) {
    Biquad s = shelf_stage(rate), h = highpass_stage(rate);
    for (long f = first - warm; f < first + count; f++) {
      double y = h.run(s.run(stereo[2 * f + ch]));
      if (f >= first) sum += y * y;
    }
  }
  double mean = sum / (double)count;
  return mean > 0.0 ? -0.691 + 10.0 * std::log10(mean) : -200.0;
}

float analysis_peak(const float* stereo, long first, long count) {
  float peak = 0.0f;
  for (long i = 2 * first; i < 2 * (first + count); i++) peak = std::max(peak, std::fabs(stereo[i]));
  return peak;
}

float analysis_edge_peak(const float* stereo, long first, long count, long edge) {
  edge = std::min(edge, count);
  return std::max(analysis_peak(stereo, first, edge), analysis_peak(stereo, first + count - edge, edge));
}
