#pragma once
// The wide versions of the interpolation loops (Joseph's projector, the back-projection):
// four points at a time with AVX2, chosen at run time where the processor has it. A wide
// loop computes every point with the same operations in the same order as the plain loop
// (no fused multiply-add), so both give the same doubles; the plain loop serves every
// other processor.

#if defined(__x86_64__) || defined(__i386__)
#define QUARVEL_WIDE_LOOPS 1
#include <immintrin.h>
#endif

namespace quarvel::wide {

// Whether the interpolation loops take their wide versions: the processor has AVX2 and
// they were not switched off.
bool Enabled();
// Switches the wide versions off (false) or on again where the processor has them. For
// comparing both versions; not meant to change while a stage runs.
void Enable(bool on);

#ifdef QUARVEL_WIDE_LOOPS
// (1 - f) v[i] + f v[i + 1] at each of the four positions x (not negative, i = x
// truncated to an integer, f = x - i), as the plain loops compute it.
__attribute__((target("avx2"))) inline __m256d Interpolate4(const double* v, __m256d x) {
  const __m128i cells = _mm256_cvttpd_epi32(x);
  const __m256d f = _mm256_sub_pd(x, _mm256_cvtepi32_pd(cells));
  // The four cell numbers leave the vector register in two moves of 64 bits, two numbers
  // each (about a tenth faster here than storing them and reading them back one by one).
  const long long low = _mm_cvtsi128_si64(cells), high = _mm_extract_epi64(cells, 1);
  const long long i[4] = {static_cast<int>(low), low >> 32, static_cast<int>(high), high >> 32};
  // The pairs (v[i], v[i + 1]) of lanes 0 and 2, and of lanes 1 and 3.
  const __m256d even = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(v + i[0])),
                                            _mm_loadu_pd(v + i[2]), 1);
  const __m256d odd = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(v + i[1])),
                                           _mm_loadu_pd(v + i[3]), 1);
  const __m256d left = _mm256_unpacklo_pd(even, odd);
  const __m256d right = _mm256_unpackhi_pd(even, odd);
  const __m256d weight = _mm256_sub_pd(_mm256_set1_pd(1.0), f);
  return _mm256_add_pd(_mm256_mul_pd(weight, left), _mm256_mul_pd(f, right));
}
#endif

}  // namespace quarvel::wide
