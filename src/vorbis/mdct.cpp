// Inverse MDCT of one block (n/2 coefficients in, n samples out) computed as a
// DCT-IV of size n/2 through a complex FFT of size n/4, with pre- and
// post-rotation, then unfolded by the transform's symmetries. No window is
// applied here: the overlap-add multiplies each sample by its window once.
#include <cmath>

#include "vorbis/vorbis_internal.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// In-place radix-2 decimation-in-time FFT (kernel e^(-2*pi*i/size)) over
// complex pairs that arrive in bit-reversed order.
void fft_forward(float* z, int size, const float* twiddle) {
  // twiddle[2k], twiddle[2k+1] = cos, -sin of 2*pi*k/size for k < size/2
  // First stage: butterflies of span 1 (twiddle 1).
  for (int i = 0; i < size; i += 2) {
    float* a = z + 2 * i;
    float* b = a + 2;
    float ar = a[0], ai = a[1], br = b[0], bi = b[1];
    a[0] = ar + br;
    a[1] = ai + bi;
    b[0] = ar - br;
    b[1] = ai - bi;
  }
  int span = 2;
  while (span < size) {
    int stride = size / (2 * span);  // twiddle step for this stage
    for (int start = 0; start < size; start += 2 * span) {
      float* a = z + 2 * start;
      float* b = a + 2 * span;
      for (int k = 0; k < span; ++k) {
        float wr = twiddle[2 * k * stride], wi = twiddle[2 * k * stride + 1];
        float br = b[2 * k] * wr - b[2 * k + 1] * wi;
        float bi = b[2 * k] * wi + b[2 * k + 1] * wr;
        float ar = a[2 * k], ai = a[2 * k + 1];
        a[2 * k] = ar + br;
        a[2 * k + 1] = ai + bi;
        b[2 * k] = ar - br;
        b[2 * k + 1] = ai - bi;
      }
    }
    span *= 2;
  }
}

}  // namespace

int vorbis_build_block_tables(VorbisDecoder* d, VorbisBlockTables* t, int n) {
  int half = n / 2, quarter = n / 4;
  t->n = n;
  t->window = (float*)vorbis_alloc(d, (int64_t)half * sizeof(float));
  t->pre_twiddle = (float*)vorbis_alloc(d, (int64_t)quarter * 2 * sizeof(float));
  t->fft_twiddle = (float*)vorbis_alloc(d, (int64_t)quarter * sizeof(float));
  t->bit_reverse = (uint16_t*)vorbis_alloc(d, (int64_t)quarter * sizeof(uint16_t));
  if (!t->window || !t->pre_twiddle || !t->fft_twiddle || !t->bit_reverse) return 0;
  for (int i = 0; i < half; ++i) {
    double s = sin((i + 0.5) / half * PI / 2);
    t->window[i] = (float)sin(PI / 2 * s * s);
  }
  for (int m = 0; m < quarter; ++m) {
    double angle = -PI * (m + 0.125) / half;
    t->pre_twiddle[2 * m] = (float)cos(angle);
    t->pre_twiddle[2 * m + 1] = (float)sin(angle);
  }
  for (int k = 0; k < quarter / 2; ++k) {
    double angle = -2 * PI * k / quarter;
    t->fft_twiddle[2 * k] = (float)cos(angle);
    t->fft_twiddle[2 * k + 1] = (float)sin(angle);
  }
  int bits = vorbis_ilog(quarter) - 1;
  for (int i = 0; i < quarter; ++i) {
    int r = 0;
    for (int b = 0; b < bits; ++b)
      if (i & (1 << b)) r |= 1 << (bits - 1 - b);
    t->bit_reverse[i] = (uint16_t)r;
  }
  return 1;
}

void vorbis_imdct(const VorbisBlockTables* t, float* buffer, float* scratch) {
  const int n = t->n, half = n / 2, quarter = n / 4;
  const float* w = t->pre_twiddle;
  // Pack X[2m] + i*X[half-1-2m], rotate, and scatter into bit-reversed order.
  for (int m = 0; m < quarter; ++m) {
    float re = buffer[2 * m], im = buffer[half - 1 - 2 * m];
    float wr = w[2 * m], wi = w[2 * m + 1];
    int r = t->bit_reverse[m];
    scratch[2 * r] = re * wr - im * wi;
    scratch[2 * r + 1] = re * wi + im * wr;
  }
  fft_forward(scratch, quarter, t->fft_twiddle);
  // Post-rotation gives the DCT-IV u: u[2q] = Re Z[q], u[half-1-2q] = -Im Z[q].
  // Then y[t] = u[t + half/2] for t < half/2, y[t] = -u[3half/2 - 1 - t] up to
  // 3half/2, and y[t] = -u[t - 3half/2] beyond.
  const int h2 = half / 2, h3 = 3 * half / 2;
  for (int q = 0; q < quarter; ++q) {
    float zr = scratch[2 * q], zi = scratch[2 * q + 1];
    float wr = w[2 * q], wi = w[2 * q + 1];
    float even = zr * wr - zi * wi;        // u[2q]
    float odd = -(zr * wi + zi * wr);      // u[half-1-2q]
    int j = 2 * q;
    buffer[h3 - 1 - j] = -even;
    if (j < h2) buffer[j + h3] = -even; else buffer[j - h2] = even;
    j = half - 1 - 2 * q;
    buffer[h3 - 1 - j] = -odd;
    if (j < h2) buffer[j + h3] = -odd; else buffer[j - h2] = odd;
  }
}
