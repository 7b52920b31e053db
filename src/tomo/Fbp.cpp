#include <kissfft/kissfft.hh>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "format/MessageFormat.h"
#include "tomo/Joseph.h"
#include "tomo/Parallel.h"
#include "tomo/Reconstruction.h"
#include "tomo/Wide.h"

namespace quarvel {
namespace {

using std::numbers::pi;
using TComplex = std::complex<double>;

// The padded length of a view: the smallest 2^a 3^b 5^c at least twice the bins, so that
// the circular convolution of the FFT equals the linear one on the bins.
int PaddedLength(int detectors) {
  for (int n = 2 * detectors;; ++n) {
    int m = n;
    for (int p : {2, 3, 5})
      while (m % p == 0) m /= p;
    if (m == 1) return n;
  }
}

// The discrete ramp kernel at offset n (cells): 1/4 at 0, -1/(pi^2 n^2) at odd n, else 0.
double RampKernel(int n) {
  if (n == 0) return 0.25;
  if (n % 2 == 0) return 0;
  return -1 / (pi * pi * double(n) * double(n));
}

// The window at frequency f (cycles per cell), zero above the cutoff.
double Window(const TFbpOptions& options, double f) {
  const double limit = 0.5 * options.Cutoff;
  if (f > limit) return 0;
  // A cutoff of the smallest doubles halves to 0: only f = 0 is left, where every
  // window is 1 (and 0 / 0 would trap).
  const double r = f == 0 ? 0 : f / limit;
  switch (options.Window) {
    case TFilterWindow::RamLak:
      return 1;
    case TFilterWindow::SheppLogan: {
      const double x = pi * r / 2;
      return x == 0 ? 1 : std::sin(x) / x;
    }
    case TFilterWindow::Cosine:
      return std::cos(pi * r / 2);
    case TFilterWindow::Hamming:
      return 0.54 + 0.46 * std::cos(pi * r);
    case TFilterWindow::Hann:
      return 0.5 + 0.5 * std::cos(pi * r);
  }
  return 1;
}

// The filter's gain at the padded length's DFT frequencies times `scale`: the real DFT
// of the circularly placed kernel (even, so real) times the window.
std::vector<double> FilterGains(const TFbpOptions& options, int padded, double scale) {
  std::vector<TComplex> kernel(padded), spectrum(padded);
  for (int n = 0; n <= padded / 2; ++n) {
    kernel[n] = RampKernel(n);
    kernel[(padded - n) % padded] = RampKernel(n);
  }
  kissfft<double>(padded, false).transform(kernel.data(), spectrum.data());
  std::vector<double> gains(padded);
  for (int i = 0; i < padded; ++i)
    gains[i] =
        spectrum[i].real() * Window(options, double(std::min(i, padded - i)) / padded) * scale;
  return gains;
}

// row[ix] += the filtered view q interpolated at the grid point ix of a row, whose
// position in q is base + (ix - 63.5) c. A loop of its own over unaliased arrays and a
// fixed length, so that the compiler may vectorise it.
void AccumulateRowPlain(double* __restrict row, const double* __restrict q, double base, double c) {
  for (int ix = 0; ix < joseph::kSize; ++ix) {
    const double u = base + (ix - joseph::kMiddle) * c;
    const int i = static_cast<int>(u);
    const double f = u - i;
    row[ix] += (1 - f) * q[i] + f * q[i + 1];
  }
}

#ifdef QUARVEL_WIDE_LOOPS
// The same, four grid points at a time; every lane computes what the loop above does.
__attribute__((target("avx2"))) void AccumulateRowWide(double* __restrict row,
                                                       const double* __restrict q, double base,
                                                       double c) {
  static_assert(joseph::kSize % 4 == 0);
  const __m256d slope = _mm256_set1_pd(c);
  const __m256d offset = _mm256_set1_pd(base);
  // ix - 63.5 for the first four points, and the step to the next four (exact).
  __m256d x = _mm256_setr_pd(0 - joseph::kMiddle, 1 - joseph::kMiddle, 2 - joseph::kMiddle,
                             3 - joseph::kMiddle);
  const __m256d four = _mm256_set1_pd(4);
  for (int ix = 0; ix < joseph::kSize; ix += 4) {
    const __m256d u = _mm256_add_pd(offset, _mm256_mul_pd(x, slope));
    _mm256_storeu_pd(row + ix, _mm256_add_pd(_mm256_loadu_pd(row + ix), wide::Interpolate4(q, u)));
    x = _mm256_add_pd(x, four);
  }
}
#endif

void AccumulateRow(double* row, const double* q, double base, double c, bool wideLoop) {
#ifdef QUARVEL_WIDE_LOOPS
  if (wideLoop) {
    AccumulateRowWide(row, q, base, c);
    return;
  }
#endif
  (void)wideLoop;
  AccumulateRowPlain(row, q, base, c);
}

// Zero bins on each side of a filtered view: a grid point lies at most 63.5 sqrt(2) < 90
// cells from the centre, so the back-projection never reads past them.
constexpr int kViewPad = 96;

}  // namespace

void CheckFbpOptions(const TFbpOptions& options) {
  if (!(options.Cutoff > 0 && options.Cutoff <= 1))
    throw EInvalidStudyValue(FormatMessage("cutoff must be greater than 0 and at most 1, not %g",
                                           {static_cast<long double>(options.Cutoff)}));
}

TFilterResponse FilterResponse(const TFbpOptions& options, int count, int detectors) {
  CheckFbpOptions(options);
  if (count < 2)
    throw EInvalidStudyValue(FormatMessage("count must be at least 2, not %d", {int64_t{count}}));
  TScanGeometry geometry;
  geometry.Detectors = detectors;
  CheckGeometry(geometry);
  const int padded = PaddedLength(detectors);
  TFilterResponse response;
  for (int i = 0; i < count; ++i) {
    const double f = 0.5 * i / (count - 1);
    // The kernel as placed on the padded circle: offsets -P/2 < n <= P/2.
    double gain = RampKernel(0);
    for (int n = 1; n <= padded / 2; ++n)
      gain += (2 * n == padded ? 1 : 2) * RampKernel(n) * std::cos(2 * pi * f * n);
    response.Frequency.push_back(f);
    response.Gain.push_back(gain * Window(options, f));
  }
  return response;
}

TArray2D ReconstructFbp(const TArray2D& sinogram, const TScanGeometry& geometry,
                        const TFbpOptions& options, const std::stop_token& stop, int threads) {
  joseph::CheckSinogram(sinogram, geometry);
  CheckFbpOptions(options);
  const int views = geometry.Views, detectors = geometry.Detectors;
  const int padded = PaddedLength(detectors);
  // Each view stands for an arc of arc / N; beyond a half turn the lines are measured
  // twice, and the weights are scaled so that they add up to pi (a half turn) again.
  const double arc = geometry.ArcDegrees * (pi / 180);
  const std::vector<double> gains =
      FilterGains(options, padded, std::min(arc, pi) / views / padded);

  // The filtered views, two at a time as the real and imaginary parts of one complex
  // transform (the filter is real and even, so it keeps the two apart).
  const int stride = detectors + 2 * kViewPad + 1;
  // Every view's bins are written below and its padding zeroed there: no need to zero the
  // whole array first.
  const auto filtered = std::make_unique_for_overwrite<double[]>(std::size_t(views) * stride);
  const kissfft<double> forward(padded, false), inverse(padded, true);
  ParallelRanges((views + 1) / 2, threads, [&](int begin, int end) {
    std::vector<TComplex> buffer(padded), spectrum(padded);
    for (int pair = begin; pair < end && !stop.stop_requested(); ++pair) {
      const int a = 2 * pair, b = std::min(a + 1, views - 1);
      std::fill(buffer.begin(), buffer.end(), TComplex());
      for (int j = 0; j < detectors; ++j)
        buffer[j] = TComplex(sinogram.At(a, j), b != a ? sinogram.At(b, j) : 0.0);
      forward.transform(buffer.data(), spectrum.data());
      for (int i = 0; i < padded; ++i) spectrum[i] *= gains[i];
      inverse.transform(spectrum.data(), buffer.data());
      for (int view : {a, b}) {
        double* q = &filtered[std::size_t(view) * stride];
        std::fill(q, q + kViewPad, 0.0);
        std::fill(q + kViewPad + detectors, q + stride, 0.0);
      }
      for (int j = 0; j < detectors; ++j) {
        filtered[std::size_t(a) * stride + kViewPad + j] = buffer[j].real();
        if (b != a) filtered[std::size_t(b) * stride + kViewPad + j] = buffer[j].imag();
      }
    }
  });
  ThrowIfStopped(stop);

  // Back-projection, a band of image rows per thread; each point adds its views in order.
  // The views are taken in blocks that stay in the cache while the band's rows use them.
  std::vector<double> cosines(views), sines(views);
  for (int k = 0; k < views; ++k) {
    cosines[k] = geometry.Cos(k);
    sines[k] = geometry.Sin(k);
  }
  constexpr int kViewBlock = 32;
  const double centre = (detectors - 1) / 2.0 + kViewPad;
  TArray2D image(joseph::kSize, joseph::kSize);
  const bool wideLoop = wide::Enabled();
  ParallelRanges(joseph::kSize, threads, [&](int begin, int end) {
    for (int first = 0; first < views && !stop.stop_requested(); first += kViewBlock) {
      const int last = std::min(views, first + kViewBlock);
      for (int iy = begin; iy < end; ++iy) {
        const double y = iy - joseph::kMiddle;
        for (int k = first; k < last; ++k)
          AccumulateRow(&image.At(iy, 0), &filtered[std::size_t(k) * stride], y * sines[k] + centre,
                        cosines[k], wideLoop);
      }
    }
  });
  ThrowIfStopped(stop);
  return image;
}

}  // namespace quarvel
