#include "tomo/Metrics.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "format/MessageFormat.h"
#include "tomo/Parallel.h"
#include "tomo/Wide.h"

namespace quarvel {
namespace {

constexpr int kRadius = 5;
constexpr int kWidth = 2 * kRadius + 1;

void CheckSameShape(const TArrayView& a, const TArrayView& b) {
  if (a.Rows != b.Rows || a.Columns != b.Columns || a.Rows < 0 || a.Columns < 0)
    throw EInvalidStudyValue(
        FormatMessage("the images must have the same size, not %d x %d and %d x %d",
                      {int64_t{a.Columns}, int64_t{a.Rows}, int64_t{b.Columns}, int64_t{b.Rows}}));
}

// The Gaussian window's weights along one axis (sigma 1.5, radius 5), normalised; the
// 2-D window is their product, normalised too.
std::array<double, kWidth> WindowWeights() {
  std::array<double, kWidth> w{};
  double sum = 0;
  for (int i = 0; i < kWidth; ++i)
    sum += w[i] = std::exp(-double((i - kRadius) * (i - kRadius)) / (2 * 1.5 * 1.5));
  for (double& v : w) v /= sum;
  return w;
}

// The versions of AddScaled are chosen by a resolver that runs while the program is
// relocated. Under ThreadSanitizer that resolver is instrumented and crashes there, before
// the sanitizer's runtime is up: that build keeps the default version alone (the same
// operations, so the same bits).
#if defined(__SANITIZE_THREAD__)
#define QUARVEL_ADD_SCALED_VERSIONS
#else
#define QUARVEL_ADD_SCALED_VERSIONS __attribute__((target_clones("avx2", "default")))
#endif

// out[c] += weight * in[c] for c in [0, count): a loop of its own over unaliased arrays,
// in blocks of eight, so that it is vectorised (four lanes wide where the processor has
// AVX2; a multiplication and an addition per element either way).
QUARVEL_ADD_SCALED_VERSIONS void AddScaled(double* __restrict out, const double* __restrict in,
                                           double weight, int count) {
  int c = 0;
  for (; c + 8 <= count; c += 8)
    for (int lane = 0; lane < 8; ++lane) out[c + lane] += weight * in[c + lane];
  for (; c < count; ++c) out[c] += weight * in[c];
}

#ifdef QUARVEL_WIDE_LOOPS
// WindowSums four sums at a time, each kept in a register while its terms are added.
__attribute__((target("avx2"))) void WindowSumsWide(double* __restrict out,
                                                    const double* __restrict in, std::size_t step,
                                                    int count, const double* w) {
  __m256d weights[kWidth];
  for (int i = 0; i < kWidth; ++i) weights[i] = _mm256_set1_pd(w[i]);
  int c = 0;
  for (; c + 4 <= count; c += 4) {
    __m256d sum = _mm256_setzero_pd();
#pragma GCC unroll 11
    for (int i = 0; i < kWidth; ++i)
      sum = _mm256_add_pd(sum, _mm256_mul_pd(weights[i], _mm256_loadu_pd(in + c + i * step)));
    _mm256_storeu_pd(out + c, sum);
  }
  for (; c < count; ++c) {
    double sum = 0;
    for (int i = 0; i < kWidth; ++i) sum += w[i] * in[c + i * step];
    out[c] = sum;
  }
}
#endif

// out[c] = the window's sum of in[c], in[c + step], ..., in[c + 10 step], weighted by w,
// for c in [0, count): along a row (step 1) or down a column (step a row's length). Each
// sum starts from 0 and adds its terms in the order of i, in either version.
void WindowSums(double* out, const double* in, std::size_t step, int count, const double* w) {
#ifdef QUARVEL_WIDE_LOOPS
  if (wide::Enabled()) {
    WindowSumsWide(out, in, step, count, w);
    return;
  }
#endif
  std::fill(out, out + count, 0.0);
  for (int i = 0; i < kWidth; ++i) AddScaled(out, in + i * step, w[i], count);
}

// n / d, or 1 where both vanish (two constant windows with no stabilising constant).
double Ratio(double n, double d) { return d == 0 ? 1 : n / d; }

bool Inside(const TRegion& region, int ix, int iy, int columns, int rows) {
  return region.Shape == TRegion::TShape::Whole || region.Contains(ix, iy, columns, rows);
}

// The root of the mean squared difference over the region's `count` pixels, in row order.
// Differences beyond 2^500 would overflow when squared: then all are scaled by a power of
// two first (exactly) and the root scaled back. A difference that is itself infinite or
// NaN gives that result.
double RootMeanSquare(const TArrayView& a, const TArrayView& b, const TRegion& region,
                      double largest, std::size_t count) {
  const int exponent = std::isfinite(largest) && largest > 0x1p500 ? std::ilogb(largest) + 1 : 0;
  double squares = 0;
  // Scaling by 2^0 changes nothing, not even a NaN or an infinity: the usual case skips
  // the call per pixel.
  const auto add = [&](auto scale) {
    for (int r = 0; r < b.Rows; ++r)
      for (int c = 0; c < b.Columns; ++c)
        if (Inside(region, c, r, b.Columns, b.Rows)) {
          const double d = scale(a.At(r, c) - b.At(r, c));
          squares += d * d;
        }
  };
  if (exponent == 0)
    add([](double d) { return d; });
  else
    add([&](double d) { return std::ldexp(d, -exponent); });
  return std::ldexp(std::sqrt(squares / double(count)), exponent);
}

}  // namespace

bool TRegion::Contains(int ix, int iy, int columns, int rows) const {
  if (ix < 0 || iy < 0 || ix >= columns || iy >= rows) return false;
  switch (Shape) {
    case TShape::Whole:
      return true;
    case TShape::Rectangle:
      return ix >= Left && ix < Right && iy >= Top && iy < Bottom;
    case TShape::Circle:
      break;
  }
  // Twice the offsets from the centre, so that the half-pixel centre of an even side is a
  // whole number: at most 2 * 4096 each, the squares well inside 64 bits.
  const std::int64_t dx = 2 * std::int64_t(ix) - (columns - 1);
  const std::int64_t dy = 2 * std::int64_t(iy) - (rows - 1);
  const std::int64_t diameter = std::min(columns, rows) - 1;
  return dx * dx + dy * dy <= diameter * diameter;
}

void CheckRegion(const TRegion& region, int columns, int rows) {
  if (region.Shape != TRegion::TShape::Rectangle) return;
  if (!(0 <= region.Left && region.Left < region.Right && region.Right <= columns &&
        0 <= region.Top && region.Top < region.Bottom && region.Bottom <= rows))
    throw EInvalidStudyValue(FormatMessage(
        "the rectangle must hold pixels of the %d x %d image, not left %d, top %d, right %d, "
        "bottom %d (right and bottom excluded)",
        {int64_t{columns}, int64_t{rows}, int64_t{region.Left}, int64_t{region.Top},
         int64_t{region.Right}, int64_t{region.Bottom}}));
}

TArray2D DifferenceImage(const TArrayView& reconstruction, const TArrayView& truth,
                         const TRegion& region) {
  CheckSameShape(reconstruction, truth);
  CheckRegion(region, truth.Columns, truth.Rows);
  TArray2D difference(truth.Rows, truth.Columns);
  for (int r = 0; r < truth.Rows; ++r)
    for (int c = 0; c < truth.Columns; ++c)
      if (Inside(region, c, r, truth.Columns, truth.Rows))
        difference.At(r, c) = reconstruction.At(r, c) - truth.At(r, c);
  return difference;
}

double StructuralSimilarity(const TArrayView& a, const TArrayView& b, double dataRange,
                            const TRegion& region) {
  CheckSameShape(a, b);
  if (a.Rows < kWidth || a.Columns < kWidth)
    throw EInvalidStudyValue(FormatMessage("SSIM needs images of at least 11 x 11, not %d x %d",
                                           {int64_t{a.Columns}, int64_t{a.Rows}}));
  CheckRegion(region, a.Columns, a.Rows);
  // The filters below walk rows as contiguous memory.
  if (!a.Contiguous() || !b.Contiguous())
    return StructuralSimilarity(TArray2D(a), TArray2D(b), dataRange, region);
  static const std::array<double, kWidth> w = WindowWeights();
  const int columns = a.Columns, outRows = a.Rows - 2 * kRadius, outColumns = columns - 2 * kRadius;
  const double c1 = (0.01 * dataRange) * (0.01 * dataRange);
  const double c2 = (0.03 * dataRange) * (0.03 * dataRange);
  // Each position's term, the positions split by rows over the processors. A range takes
  // the window-weighted means of a, b, a², b² and ab at its positions: the images
  // filtered along rows (ten rows more than the range), then along columns. Each mean
  // adds its eleven terms in the order of i, starting from 0, whichever range it is in.
  std::vector<double> terms(std::size_t(outRows) * outColumns);
  // One range per thread: each range filters ten rows more than it has.
  ParallelRanges(
      outRows, 0,
      [&](int begin, int end) {
        const int rows = end - begin + 2 * kRadius;
        // Filtered along rows: input n's row begin + r at across[n][r].
        std::vector<double> across(5 * std::size_t(rows) * outColumns);
        const auto acrossRow = [&](int n, int r) {
          return &across[(std::size_t(n) * rows + r) * outColumns];
        };
        std::vector<double> products(3 * std::size_t(columns));
        for (int r = 0; r < rows; ++r) {
          const double* ra = a.Data + std::size_t(begin + r) * columns;
          const double* rb = b.Data + std::size_t(begin + r) * columns;
          double* aa = &products[0];
          double* bb = &products[columns];
          double* ab = &products[2 * std::size_t(columns)];
          for (int c = 0; c < columns; ++c) {
            aa[c] = ra[c] * ra[c];
            bb[c] = rb[c] * rb[c];
            ab[c] = ra[c] * rb[c];
          }
          const double* inputs[] = {ra, rb, aa, bb, ab};
          for (int n = 0; n < 5; ++n)
            WindowSums(acrossRow(n, r), inputs[n], 1, outColumns, w.data());
        }
        std::vector<double> means(5 * std::size_t(outColumns));
        for (int r = 0; r < end - begin; ++r) {
          for (int n = 0; n < 5; ++n)
            WindowSums(&means[std::size_t(n) * outColumns], acrossRow(n, r), outColumns, outColumns,
                       w.data());
          const double *ma = &means[0], *mb = ma + outColumns, *maa = mb + outColumns,
                       *mbb = maa + outColumns, *mab = mbb + outColumns;
          double* term = &terms[std::size_t(begin + r) * outColumns];
          for (int c = 0; c < outColumns; ++c) {
            const double ua = ma[c], ub = mb[c];
            const double va = maa[c] - ua * ua, vb = mbb[c] - ub * ub;
            const double cov = mab[c] - ua * ub;
            term[c] =
                Ratio(2 * ua * ub + c1, ua * ua + ub * ub + c1) * Ratio(2 * cov + c2, va + vb + c2);
          }
        }
      },
      TSplit::PerThread);
  // Term (r, c) is the window centred on pixel (c + 5, r + 5); the terms are added in
  // their order whatever the region, so the whole image's sum is the plain one.
  double sum = 0;
  std::size_t count = 0;
  for (int r = 0; r < outRows; ++r)
    for (int c = 0; c < outColumns; ++c)
      if (Inside(region, c + kRadius, r + kRadius, columns, a.Rows)) {
        sum += terms[std::size_t(r) * outColumns + c];
        ++count;
      }
  return count == 0 ? std::numeric_limits<double>::quiet_NaN() : sum / double(count);
}

TImageMetrics CompareImages(const TArrayView& reconstruction, const TArrayView& truth,
                            const TRegion& region) {
  CheckSameShape(reconstruction, truth);
  TImageMetrics m;
  if (truth.Rows == 0 || truth.Columns == 0) return m;
  CheckRegion(region, truth.Columns, truth.Rows);
  // One pass in row order: the range of the truth and the largest difference in the
  // region (every region holds a pixel: CheckRegion and the circle's centre see to it),
  // then the squared differences, scaled where they would overflow.
  double low = std::numeric_limits<double>::infinity(), high = -low;
  double largest = 0;
  std::size_t count = 0;
  for (int r = 0; r < truth.Rows; ++r)
    for (int c = 0; c < truth.Columns; ++c)
      if (Inside(region, c, r, truth.Columns, truth.Rows)) {
        const double t = truth.At(r, c);
        low = std::min(low, t);
        high = std::max(high, t);
        largest = std::max(largest, std::fabs(reconstruction.At(r, c) - t));
        ++count;
      }
  const double range = high - low;
  m.Rmse = RootMeanSquare(reconstruction, truth, region, largest, count);
  const double infinity = std::numeric_limits<double>::infinity();
  // Guarded so that no division by zero or logarithm of zero is taken: equal images
  // have PSNR +inf, a constant truth (L = 0) with any error NRMSE +inf and PSNR -inf.
  if (m.Rmse == 0) {
    m.Nrmse = 0;
    m.Psnr = infinity;
  } else if (range == 0) {
    m.Nrmse = infinity;
    m.Psnr = -infinity;
  } else {
    m.Nrmse = m.Rmse / 1e300 > range ? infinity : m.Rmse / range;
    m.Psnr = 20 * (std::log10(range) - std::log10(m.Rmse));
  }
  m.Ssim = truth.Rows >= kWidth && truth.Columns >= kWidth
               ? StructuralSimilarity(reconstruction, truth, range, region)
               : std::numeric_limits<double>::quiet_NaN();
  return m;
}

}  // namespace quarvel
