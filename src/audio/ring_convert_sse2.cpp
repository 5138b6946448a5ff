// The vector sample conversion, chosen at run time on x86-64: 16 floats at a
// time, truncated toward zero and packed with signed saturation. It may differ
// from the scalar (rounding) path by one step; elsewhere only the scalar runs.
#include "audio/ring.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>

int ring_vector_supported(void) {
#if defined(__GNUC__)
  // CPUID leaf 1, EDX bit 26, as reported through the compiler's own probe.
  return __builtin_cpu_supports("sse2") ? 1 : 0;
#else
  return 1;  // every x86-64 processor has SSE2
#endif
}

void ring_convert_sse2(const float* source, int16_t* destination, int count) {
  // Clamping first keeps huge sums from wrapping to the integer "indefinite"
  // value (which would saturate to the wrong end); in-range values are untouched.
  const __m128 high = _mm_set1_ps(32767.0f);
  const __m128 low = _mm_set1_ps(-32768.0f);
  for (int i = 0; i < count; i += 16) {
    __m128 a = _mm_max_ps(_mm_min_ps(_mm_load_ps(source + i), high), low);
    __m128 b = _mm_max_ps(_mm_min_ps(_mm_load_ps(source + i + 4), high), low);
    __m128 c = _mm_max_ps(_mm_min_ps(_mm_load_ps(source + i + 8), high), low);
    __m128 d = _mm_max_ps(_mm_min_ps(_mm_load_ps(source + i + 12), high), low);
    __m128i ab = _mm_packs_epi32(_mm_cvttps_epi32(a), _mm_cvttps_epi32(b));
    __m128i cd = _mm_packs_epi32(_mm_cvttps_epi32(c), _mm_cvttps_epi32(d));
    _mm_store_si128((__m128i*)(destination + i), ab);
    _mm_store_si128((__m128i*)(destination + i + 8), cd);
  }
}

#else

int ring_vector_supported(void) { return 0; }

void ring_convert_sse2(const float* source, int16_t* destination, int count) {
  for (int i = 0; i < count; ++i) destination[i] = ring_convert_scalar(source[i]);
}

#endif
