// Range reduction to |r| <= pi/4 around the nearest quarter turn, with pi/2
// split in three parts so that k * part is exact for the first two (33
// significant bits each, k below 2^20); then Taylor series in r * r, whose
// first omitted terms are below 1e-18 of the result on that interval.
#include "support/det_math.h"

#include <math.h>

namespace {

const double TWO_OVER_PI = 0x1.45f306dc9c883p-1;
const double PI_2_PART1 = 0x1.921fb54400000p+0;
const double PI_2_PART2 = 0x1.0b4611a600000p-34;
const double PI_2_PART3 = 0x1.3198a2e037073p-69;
const double REDUCTION_LIMIT = 1048576.0;  // quarter turns: 2^20

// (-1)^n / (2n+1)! and (-1)^n / (2n)!, n = 1..8.
const double SIN_TERMS[8] = {-0x1.5555555555555p-3, 0x1.1111111111111p-7,
                             -0x1.a01a01a01a01ap-13, 0x1.71de3a556c734p-19,
                             -0x1.ae64567f544e4p-26, 0x1.6124613a86d09p-33,
                             -0x1.ae7f3e733b81fp-41, 0x1.952c77030ad4ap-49};
const double COS_TERMS[8] = {-0x1.0000000000000p-1, 0x1.5555555555555p-5,
                             -0x1.6c16c16c16c17p-10, 0x1.a01a01a01a01ap-16,
                             -0x1.27e4fb7789f5cp-22, 0x1.1eed8eff8d898p-29,
                             -0x1.93974a8c07c9dp-37, 0x1.ae7f3e733b81fp-45};

double series(const double (&terms)[8], double z) {
  double sum = terms[7];
  for (int i = 6; i >= 0; i--) sum = terms[i] + z * sum;
  return sum;
}

double sin_near(double r) { return r + r * (r * r) * series(SIN_TERMS, r * r); }
double cos_near(double r) { return 1.0 + (r * r) * series(COS_TERMS, r * r); }

// x = quarter * pi/2 + r; returns 0 when x is out of range.
int reduce(double x, int* quarter_out, double* r_out) {
  double k = floor(x * TWO_OVER_PI + 0.5);
  if (!(fabs(k) < REDUCTION_LIMIT)) return 0;
  *r_out = ((x - k * PI_2_PART1) - k * PI_2_PART2) - k * PI_2_PART3;
  *quarter_out = (int)((long long)k & 3);
  return 1;
}

}  // namespace

double det_sin(double x) {
  int quarter;
  double r;
  if (!reduce(x, &quarter, &r)) return NAN;
  switch (quarter) {
    case 0: return sin_near(r);
    case 1: return cos_near(r);
    case 2: return -sin_near(r);
    default: return -cos_near(r);
  }
}

double det_cos(double x) {
  int quarter;
  double r;
  if (!reduce(x, &quarter, &r)) return NAN;
  switch (quarter) {
    case 0: return cos_near(r);
    case 1: return -sin_near(r);
    case 2: return -cos_near(r);
    default: return sin_near(r);
  }
}

float det_sinf(float x) { return (float)det_sin((double)x); }
float det_cosf(float x) { return (float)det_cos((double)x); }

double det_pow_2_5(double x) { return x * x * sqrt(x); }
