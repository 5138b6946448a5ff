// The game's own sine, cosine and power against the 80-bit C library ones:
// within two units of a double's last place over the angles the game uses,
// the float versions correctly rounded, and exact where the answer is.
#include <gtest/gtest.h>

#include <float.h>
#include <math.h>

#include "support/det_math.h"

namespace {

TEST(DetMath, SineAndCosineWithinTwoUlpsOverTheGamesAngles) {
  for (double x = -60.0; x < 60.0; x += 0.0007013) {
    long double s = sinl((long double)x), c = cosl((long double)x);
    EXPECT_LE(fabsl(det_sin(x) - s), 2 * DBL_EPSILON * fmaxl(fabsl(s), 0.5L)) << x;
    EXPECT_LE(fabsl(det_cos(x) - c), 2 * DBL_EPSILON * fmaxl(fabsl(c), 0.5L)) << x;
    float f = (float)x;
    EXPECT_EQ((float)sinl(f), det_sinf(f)) << x;
    EXPECT_EQ((float)cosl(f), det_cosf(f)) << x;
  }
}

TEST(DetMath, ExactCasesAndRange) {
  EXPECT_EQ(0.0, det_sin(0.0));
  EXPECT_EQ(1.0, det_cos(0.0));
  const double powers[][2] = {{0, 0}, {1, 1}, {4, 32}, {0.25, 0.03125}, {9, 243}};
  for (const auto& p : powers) EXPECT_EQ(p[1], det_pow_2_5(p[0])) << p[0];
  EXPECT_TRUE(isnan(det_sin(1e7)));
  EXPECT_TRUE(isnan(det_cos(INFINITY)));
  EXPECT_TRUE(isnan(det_sin(NAN)));
}

}  // namespace
