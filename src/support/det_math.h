// Sine, cosine and the one power the game needs, computed the same way on
// every machine. The C library's versions differ in the last bit between
// systems (glibc, musl in WebAssembly, the Windows runtime), and long double
// is 80 bits on x86 and 128 on WebAssembly; the game's pictures and movement
// must not depend on which one a build happened to link. These use only
// IEEE additions, multiplications and square roots, which round the same
// everywhere, and are accurate to about one unit in the last place of a
// double, so their float results are the correctly rounded ones.
#pragma once

// For |x| below 1.6e6 (about 2^20 quarter turns); NaN beyond and for NaN or
// infinite x. The game's angles stay below 50.
double det_sin(double x);
double det_cos(double x);
float det_sinf(float x);
float det_cosf(float x);
// x to the power 2.5 for x >= 0 (NaN below 0).
double det_pow_2_5(double x);
