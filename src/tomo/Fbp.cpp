#include <kissfft/kissfft.hh>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "format/MessageFormat.h"
#include "tomo/FanBeam.h"
#include "tomo/FbpFilter.h"
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

// row[ix] += the filtered view q interpolated at the grid points ix of a row in
// [begin, end), whose position in q is base + (ix - middle) c. A loop of its own over
// unaliased arrays, so that the compiler may vectorise it.
void AccumulateRowPlain(double* __restrict row, const double* __restrict q, double base, double c,
                        double middle, int begin, int end) {
  for (int ix = begin; ix < end; ++ix) {
    const double u = base + (ix - middle) * c;
    const int i = static_cast<int>(u);
    const double f = u - i;
    row[ix] += (1 - f) * q[i] + f * q[i + 1];
  }
}

#ifdef QUARVEL_WIDE_LOOPS
// The same, four grid points at a time and the rest as above; every lane computes what
// the loop above does (ix - middle is exact, and so is each step of four).
__attribute__((target("avx2"))) void AccumulateRowWide(double* __restrict row,
                                                       const double* __restrict q, double base,
                                                       double c, double middle, int begin,
                                                       int end) {
  const __m256d slope = _mm256_set1_pd(c);
  const __m256d offset = _mm256_set1_pd(base);
  __m256d x =
      _mm256_setr_pd(begin - middle, begin + 1 - middle, begin + 2 - middle, begin + 3 - middle);
  const __m256d four = _mm256_set1_pd(4);
  int ix = begin;
  for (; ix + 4 <= end; ix += 4) {
    const __m256d u = _mm256_add_pd(offset, _mm256_mul_pd(x, slope));
    _mm256_storeu_pd(row + ix, _mm256_add_pd(_mm256_loadu_pd(row + ix), wide::Interpolate4(q, u)));
    x = _mm256_add_pd(x, four);
  }
  AccumulateRowPlain(row, q, base, c, middle, ix, end);
}

// Eight grid points at a time, the rest as above; q[0 .. readable) may be read.
__attribute__((target("avx512f,avx512dq"))) void AccumulateRowWide8(
    double* __restrict row, const double* __restrict q, double base, double c, double middle,
    int begin, int end, std::ptrdiff_t readable) {
  const __m512d slope = _mm512_set1_pd(c);
  const __m512d offset = _mm512_set1_pd(base);
  __m512d x = _mm512_add_pd(_mm512_set1_pd(begin - middle), _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7));
  const __m512d eight = _mm512_set1_pd(8);
  const bool descending = c < 0;
  int ix = begin;
  for (; ix + 8 <= end; ix += 8) {
    const __m512d u = _mm512_add_pd(offset, _mm512_mul_pd(x, slope));
    _mm512_storeu_pd(row + ix, _mm512_add_pd(_mm512_loadu_pd(row + ix),
                                             wide::Interpolate8(q, u, descending, readable)));
    x = _mm512_add_pd(x, eight);
  }
  AccumulateRowWide(row, q, base, c, middle, ix, end);
}

// Two views at once over the whole row: each point adds the first view's value, then the
// second's, as two calls of the loop above would, but the row is read and written once.
__attribute__((target("avx512f,avx512dq"))) void AccumulateRowPair8(
    double* __restrict row, const double* __restrict q0, const double* __restrict q1, double base0,
    double c0, double base1, double c1, double middle, int columns, std::ptrdiff_t readable0,
    std::ptrdiff_t readable1) {
  const __m512d slope0 = _mm512_set1_pd(c0), slope1 = _mm512_set1_pd(c1);
  const __m512d offset0 = _mm512_set1_pd(base0), offset1 = _mm512_set1_pd(base1);
  __m512d x = _mm512_add_pd(_mm512_set1_pd(-middle), _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7));
  const __m512d eight = _mm512_set1_pd(8);
  const bool descending0 = c0 < 0, descending1 = c1 < 0;
  int ix = 0;
  for (; ix + 8 <= columns; ix += 8) {
    const __m512d u0 = _mm512_add_pd(offset0, _mm512_mul_pd(x, slope0));
    const __m512d u1 = _mm512_add_pd(offset1, _mm512_mul_pd(x, slope1));
    const __m512d sum = _mm512_add_pd(_mm512_loadu_pd(row + ix),
                                      wide::Interpolate8(q0, u0, descending0, readable0));
    _mm512_storeu_pd(row + ix,
                     _mm512_add_pd(sum, wide::Interpolate8(q1, u1, descending1, readable1)));
    x = _mm512_add_pd(x, eight);
  }
  AccumulateRowWide(row, q0, base0, c0, middle, ix, columns);
  AccumulateRowWide(row, q1, base1, c1, middle, ix, columns);
}
#endif

void AccumulateRow(double* row, const double* q, double base, double c, double middle, int begin,
                   int end, wide::TLevel level, std::ptrdiff_t readable) {
#ifdef QUARVEL_WIDE_LOOPS
  if (level == wide::TLevel::Eight) {
    AccumulateRowWide8(row, q, base, c, middle, begin, end, readable);
    return;
  }
  if (level == wide::TLevel::Four) {
    AccumulateRowWide(row, q, base, c, middle, begin, end);
    return;
  }
#endif
  (void)level;
  (void)readable;
  AccumulateRowPlain(row, q, base, c, middle, begin, end);
}

// Zero bins on each side of a filtered view: the image's half-diagonal in bins, rounded up
// to a multiple of 32 (96 for the viewer's 128 x 128 grid and unit bins), at most 4096.
// Where it covers the image (the usual case) every point of a row reads the view
// directly, and the points beyond the detector read zeros; a row that would read beyond
// the padding (a detector far off-centre, or bins much smaller than a pixel) takes only
// its points that reach a bin (RowSpan). The padding enters the positions' arithmetic,
// so it also fixes their rounding.
int ViewPad(const TImageSize& size, double spacing) {
  const double half = std::hypot((size.Columns - 1) / 2.0, (size.Rows - 1) / 2.0) / spacing + 2;
  if (!(half < 4096)) return 4096;
  return std::max(32, static_cast<int>(std::ceil(half / 32)) * 32);
}

// The points [begin, end) of a row of `columns` whose position u(ix) = base + (ix - middle)
// c in a view of `detectors` bins padded by `pad` lies inside (pad - 1, pad + detectors):
// those that reach a bin. Exact with the positions the loops compute (monotonic in ix).
void RowSpan(double base, double c, double middle, int columns, int detectors, int pad, int& begin,
             int& end) {
  const double low = pad - 1, high = pad + detectors;
  const auto inside = [&](int ix) {
    const double u = base + (ix - middle) * c;
    return u > low && u < high;
  };
  if (c == 0) {
    begin = 0;
    end = inside(0) ? columns : 0;
    return;
  }
  // A first guess from the two crossings, then made exact.
  const double a = (low - base) / c + middle, b = (high - base) / c + middle;
  const auto point = [&](double x) {
    return static_cast<int>(std::clamp(x, -1.0, static_cast<double>(columns) + 1));
  };
  begin = std::clamp(point(std::floor(std::min(a, b))), 0, columns);
  end = std::clamp(point(std::ceil(std::max(a, b))) + 1, begin, columns);
  while (begin > 0 && inside(begin - 1)) --begin;
  while (begin < end && !inside(begin)) ++begin;
  if (begin == end) end = std::min(end + 1, columns);
  while (end < columns && inside(end)) ++end;
  while (end > begin && !inside(end - 1)) --end;
}

}  // namespace

void CheckFbpOptions(const TFbpOptions& options) {
  if (!(options.Cutoff > 0 && options.Cutoff <= 1))
    throw EInvalidStudyValue(
        FormatFixedMessage("cutoff must be greater than 0 and at most 1, not %g",
                           {static_cast<long double>(options.Cutoff)}));
}

TFilterResponse FilterResponse(const TFbpOptions& options, int count, int detectors) {
  CheckFbpOptions(options);
  if (count < 2)
    throw EInvalidStudyValue(
        FormatFixedMessage("count must be at least 2, not %d", {int64_t{count}}));
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

std::vector<double> FbpViewWeights(const TScanGeometry& geometry) {
  CheckGeometry(geometry);
  const int views = geometry.Views;
  if (geometry.Uniform() && (geometry.ArcDegrees == 180 || geometry.ArcDegrees == 360)) {
    // The plain weights, computed as they always were.
    const double arc = geometry.ArcDegrees * (pi / 180);
    return std::vector<double>(std::size_t(views), std::min(arc, pi) / views);
  }
  // The folded angles in degrees, sorted, with their views.
  std::vector<std::pair<double, int>> folded(static_cast<std::size_t>(views));
  for (int k = 0; k < views; ++k) {
    double a = std::fmod(geometry.AngleDegrees(k), 180.0);
    if (a < 0) a += 180;
    if (a >= 180) a = 0;  // -tiny + 180 rounds to 180
    folded[std::size_t(k)] = {a, k};
  }
  std::sort(folded.begin(), folded.end());
  // Groups of views on one angle: [Begin, End) in `folded`, at the first one's angle.
  constexpr double kSame = 1e-9;
  struct TGroup {
    std::size_t Begin, End;
    double Angle;
  };
  std::vector<TGroup> groups;
  for (std::size_t i = 0; i < folded.size(); ++i) {
    if (!groups.empty() && folded[i].first - groups.back().Angle <= kSame)
      groups.back().End = i + 1;
    else
      groups.push_back({i, i + 1, folded[i].first});
  }
  // The last angle may lie within the tolerance of the first half a turn on.
  bool wrap = groups.size() > 1 && groups.back().Angle >= groups.front().Angle + 180 - kSame;
  const std::size_t count = groups.size() - (wrap ? 1 : 0);
  std::vector<double> weights(static_cast<std::size_t>(views));
  for (std::size_t g = 0; g < count; ++g) {
    const double previous = g > 0 ? groups[g - 1].Angle : groups[count - 1].Angle - 180;
    const double next = g + 1 < count ? groups[g + 1].Angle : groups[0].Angle + 180;
    const double share = (next - previous) / 2 * (pi / 180);
    std::size_t members = groups[g].End - groups[g].Begin;
    if (g == 0 && wrap) members += groups.back().End - groups.back().Begin;
    for (std::size_t i = groups[g].Begin; i < groups[g].End; ++i)
      weights[std::size_t(folded[i].second)] = share / double(members);
    if (g == 0 && wrap)
      for (std::size_t i = groups.back().Begin; i < groups.back().End; ++i)
        weights[std::size_t(folded[i].second)] = share / double(members);
  }
  return weights;
}

TArray2D ReconstructFbp(const TArrayView& sinogram, const TScanGeometry& geometry,
                        const TFbpOptions& options, const TImageSize& size,
                        const std::stop_token& stop, int threads) {
  if (IsFan(geometry)) return ReconstructFbpFan(sinogram, geometry, size, options, stop, threads);
  joseph::CheckParallelGeometry(geometry, "FBP");
  CheckImageSize(size);
  joseph::CheckSinogram(sinogram, geometry);
  CheckFbpOptions(options);
  const int views = geometry.Views, detectors = geometry.Detectors;
  const int padded = PaddedLength(detectors);
  // Each view stands for its share of the half turn. Equal shares go into the filter's
  // gains, as they always did; others scale each view's bins before the filter. The
  // ramp in bins is divided by the spacing to be the ramp in pixels.
  const std::vector<double> weights = FbpViewWeights(geometry);
  const bool equal =
      std::all_of(weights.begin(), weights.end(), [&](double w) { return w == weights.front(); });
  const std::vector<double> gains =
      FilterGains(options, padded, (equal ? weights.front() : 1.0) / padded / geometry.Spacing);

  // The filtered views, two at a time as the real and imaginary parts of one complex
  // transform (the filter is real and even, so it keeps the two apart).
  const int pad = ViewPad(size, geometry.Spacing);
  const int stride = detectors + 2 * pad + 1;
  // Every view's bins are written below and its padding zeroed there: no need to zero the
  // whole array first.
  const auto filtered = std::make_unique_for_overwrite<double[]>(std::size_t(views) * stride);
  const kissfft<double> forward(padded, false), inverse(padded, true);
  ParallelRanges((views + 1) / 2, threads, [&](int begin, int end) {
    std::vector<TComplex> buffer(padded), spectrum(padded);
    for (int pair = begin; pair < end && !StopRequested(stop); ++pair) {
      const int a = 2 * pair, b = std::min(a + 1, views - 1);
      std::fill(buffer.begin(), buffer.end(), TComplex());
      if (equal) {
        for (int j = 0; j < detectors; ++j)
          buffer[j] = TComplex(sinogram.At(a, j), b != a ? sinogram.At(b, j) : 0.0);
      } else {
        for (int j = 0; j < detectors; ++j)
          buffer[j] = TComplex(sinogram.At(a, j) * weights[a],
                               b != a ? sinogram.At(b, j) * weights[b] : 0.0);
      }
      forward.transform(buffer.data(), spectrum.data());
      for (int i = 0; i < padded; ++i) spectrum[i] *= gains[i];
      inverse.transform(spectrum.data(), buffer.data());
      for (int view : {a, b}) {
        double* q = &filtered[std::size_t(view) * stride];
        std::fill(q, q + pad, 0.0);
        std::fill(q + pad + detectors, q + stride, 0.0);
      }
      for (int j = 0; j < detectors; ++j) {
        filtered[std::size_t(a) * stride + pad + j] = buffer[j].real();
        if (b != a) filtered[std::size_t(b) * stride + pad + j] = buffer[j].imag();
      }
    }
  });
  ThrowIfStopped(stop);

  // Back-projection, a band of image rows per thread; each point adds its views in order.
  // The views are taken in blocks that stay in the cache while the band's rows use them.
  // Point (x, y) (pixels from the centre) lies at bin t / spacing + (M - 1) / 2 - offset.
  std::vector<double> cosines(views), sines(views);
  for (int k = 0; k < views; ++k) {
    cosines[k] = geometry.Cos(k) / geometry.Spacing;
    sines[k] = geometry.Sin(k) / geometry.Spacing;
  }
  constexpr int kViewBlock = 32;
  const double centre = ((detectors - 1) / 2.0 - geometry.Offset) + pad;
  const double middleX = (size.Columns - 1) / 2.0, middleY = (size.Rows - 1) / 2.0;
  TArray2D image(size.Rows, size.Columns);
  const wide::TLevel level = wide::Level();
  const double lastSafe = stride - 1;  // a position below it reads inside the view
  ParallelRanges(size.Rows, threads, [&](int begin, int end) {
    for (int first = 0; first < views && !StopRequested(stop); first += kViewBlock) {
      const int last = std::min(views, first + kViewBlock);
      // A block over a band of a large image takes tens of milliseconds: the stop is heard
      // per row as well.
      for (int iy = begin; iy < end && !StopRequested(stop); ++iy) {
        const double y = iy - middleY;
        // Whether the whole row reads inside the view.
        const auto wholeRow = [&](double base, double c) {
          const double u0 = base + (0 - middleX) * c;
          const double u1 = base + (size.Columns - 1 - middleX) * c;
          return u0 >= 0 && u0 < lastSafe && u1 >= 0 && u1 < lastSafe;
        };
        for (int k = first; k < last; ++k) {
          const double base = y * sines[k] + centre;
          const double c = cosines[k];
          const bool whole = wholeRow(base, c);
#ifdef QUARVEL_WIDE_LOOPS
          if (level == wide::TLevel::Eight && whole && k + 1 < last) {
            const double base1 = y * sines[k + 1] + centre, c1 = cosines[k + 1];
            if (wholeRow(base1, c1)) {
              AccumulateRowPair8(&image.At(iy, 0), &filtered[std::size_t(k) * stride],
                                 &filtered[std::size_t(k + 1) * stride], base, c, base1, c1,
                                 middleX, size.Columns, std::ptrdiff_t(views - k) * stride,
                                 std::ptrdiff_t(views - k - 1) * stride);
              ++k;
              continue;
            }
          }
#endif
          int from = 0, to = size.Columns;
          if (!whole) RowSpan(base, c, middleX, size.Columns, detectors, pad, from, to);
          AccumulateRow(&image.At(iy, 0), &filtered[std::size_t(k) * stride], base, c, middleX,
                        from, to, level, std::ptrdiff_t(views - k) * stride);
        }
      }
    }
  });
  ThrowIfStopped(stop);
  return image;
}

}  // namespace quarvel

namespace quarvel::filter {

int PaddedLength(int detectors) { return quarvel::PaddedLength(detectors); }
double RampKernel(int n) { return quarvel::RampKernel(n); }
double Window(const TFbpOptions& options, double f) { return quarvel::Window(options, f); }

}  // namespace quarvel::filter
