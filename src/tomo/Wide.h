#pragma once
// The wide versions of the interpolation loops (Joseph's projector, the back-projection):
// four points at a time with AVX2, or eight with AVX-512 (its F and DQ parts), chosen at
// run time where the processor has them. A wide loop computes every point with the same
// operations in the same order as the plain loop (no fused multiply-add), so every level
// gives the same doubles; the plain loop serves every other processor.

#if defined(__x86_64__) || defined(__i386__)
#define QUARVEL_WIDE_LOOPS 1
#include <immintrin.h>

#include <cstddef>
#endif

namespace quarvel::wide {

// How wide the loops run: the plain loops, four lanes (AVX2) or eight (AVX-512).
enum class TLevel { Plain, Four, Eight };

// The widest level the processor has, as the loops run unless it was lowered.
TLevel Level();
// Whether the interpolation loops take a wide version (Level() is Four or Eight).
bool Enabled();
// Runs the loops at `level`, or at the widest the processor has if it has not that one.
// For comparing the levels; not meant to change while a stage runs.
void SetLevel(TLevel level);
// SetLevel(the widest the processor has) when on, else SetLevel(Plain).
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

// The same at eight positions x, where v[0 .. readable) may be read. The positions of a
// line's or a row's neighbouring points lie close together (a cell or two apart), so
// their cells usually fit one window of 16 doubles: two plain loads and
// two lane permutations then take the place of sixteen scattered reads. For example,
// cells 40, 41, 43, 44, 45, 47, 48, 50 read v[40 .. 56), and lane 2 takes element 3 as
// its left value and element 4 as its right. The window starts at the first lane's cell,
// or 14 cells below it where the positions fall (`descending`), so no lane but the first
// is read out of the vector registers. Positions farther apart, a window that would pass
// `readable`, or positions that do not run as `descending` says send the lanes to be
// gathered one by one; both ways read the same values.
__attribute__((target("avx512f,avx512dq"))) inline __m512d Interpolate8(const double* v, __m512d x,
                                                                        bool descending,
                                                                        std::ptrdiff_t readable) {
  // The zeroing forms under a full mask: GCC 12's plain forms start from an undefined
  // register, which it then warns may be used uninitialised.
  constexpr __mmask8 kAll = 0xFF;
  // The cells as doubles, truncated in place: the same whole numbers as the conversion to
  // int and back, and the window's start taken from them in the vector registers.
  const __m512d whole = _mm512_maskz_roundscale_pd(kAll, x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
  const __m512d f = _mm512_sub_pd(x, whole);
  const double shift = descending ? -14 : 0;
  const double first = _mm512_cvtsd_f64(whole);
  const __m512i offsets = _mm512_maskz_cvttpd_epi64(
      kAll, _mm512_sub_pd(whole, _mm512_add_pd(_mm512_set1_pd(first), _mm512_set1_pd(shift))));
  const std::ptrdiff_t start = static_cast<std::ptrdiff_t>(first) + static_cast<int>(shift);
  __m512d left, right;
  if (_mm512_cmpgt_epu64_mask(offsets, _mm512_set1_epi64(14)) == 0 && start >= 0 &&
      start + 16 <= readable) {
    const __m512d low = _mm512_loadu_pd(v + start), high = _mm512_loadu_pd(v + start + 8);
    left = _mm512_permutex2var_pd(low, offsets, high);
    right = _mm512_permutex2var_pd(low, _mm512_add_epi64(offsets, _mm512_set1_epi64(1)), high);
  } else {
    const __m256i cells = _mm512_maskz_cvttpd_epi32(kAll, x);
    left = _mm512_mask_i32gather_pd(_mm512_setzero_pd(), kAll, cells, v, 8);
    right = _mm512_mask_i32gather_pd(_mm512_setzero_pd(), kAll, cells, v + 1, 8);
  }
  const __m512d weight = _mm512_sub_pd(_mm512_set1_pd(1.0), f);
  return _mm512_add_pd(_mm512_mul_pd(weight, left), _mm512_mul_pd(f, right));
}
#endif

}  // namespace quarvel::wide
