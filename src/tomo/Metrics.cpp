#include "tomo/Metrics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "format/MessageFormat.h"
#include "tomo/Parallel.h"

namespace quarvel {
namespace {

constexpr int kRadius = 5;
constexpr int kWidth = 2 * kRadius + 1;

void CheckSameShape(const TArray2D& a, const TArray2D& b) {
  if (a.Rows != b.Rows || a.Columns != b.Columns || a.Values.size() != b.Values.size() ||
      a.Values.size() != std::size_t(a.Rows) * std::size_t(a.Columns))
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

// out[c] += weight * in[c] for c in [0, count): a loop of its own over unaliased arrays,
// in blocks of eight, so that it is vectorised (four lanes wide where the processor has
// AVX2; a multiplication and an addition per element either way).
__attribute__((target_clones("avx2", "default"))) void AddScaled(double* __restrict out,
                                                                 const double* __restrict in,
                                                                 double weight, int count) {
  int c = 0;
  for (; c + 8 <= count; c += 8)
    for (int lane = 0; lane < 8; ++lane) out[c + lane] += weight * in[c + lane];
  for (; c < count; ++c) out[c] += weight * in[c];
}

// The window-weighted mean of `image` at every position where the window lies inside:
// a (rows - 10) x (columns - 10) array, filtered along rows, then along columns.
TArray2D WindowMeans(const TArray2D& image) {
  static const std::array<double, kWidth> w = WindowWeights();
  const int rows = image.Rows, columns = image.Columns - 2 * kRadius;
  // Each output adds its eleven terms in the order of i, starting from 0; the loops run
  // over the outputs innermost so that they are vectorised.
  TArray2D across(rows, columns);
  for (int r = 0; r < rows; ++r)
    for (int i = 0; i < kWidth; ++i) {
      AddScaled(&across.Values[std::size_t(r) * columns],
                &image.Values[std::size_t(r) * image.Columns + i], w[i], columns);
    }
  TArray2D means(rows - 2 * kRadius, columns);
  for (int r = 0; r < means.Rows; ++r)
    for (int i = 0; i < kWidth; ++i) {
      AddScaled(&means.Values[std::size_t(r) * columns],
                &across.Values[std::size_t(r + i) * columns], w[i], columns);
    }
  return means;
}

// n / d, or 1 where both vanish (two constant windows with no stabilising constant).
double Ratio(double n, double d) { return d == 0 ? 1 : n / d; }

}  // namespace

TArray2D DifferenceImage(const TArray2D& reconstruction, const TArray2D& truth) {
  CheckSameShape(reconstruction, truth);
  TArray2D difference(truth.Rows, truth.Columns);
  for (std::size_t i = 0; i < truth.Values.size(); ++i)
    difference.Values[i] = reconstruction.Values[i] - truth.Values[i];
  return difference;
}

double StructuralSimilarity(const TArray2D& a, const TArray2D& b, double dataRange) {
  CheckSameShape(a, b);
  if (a.Rows < kWidth || a.Columns < kWidth)
    throw EInvalidStudyValue(FormatMessage("SSIM needs images of at least 11 x 11, not %d x %d",
                                           {int64_t{a.Columns}, int64_t{a.Rows}}));
  TArray2D aa(a.Rows, a.Columns), bb(a.Rows, a.Columns), ab(a.Rows, a.Columns);
  for (std::size_t i = 0; i < a.Values.size(); ++i) {
    aa.Values[i] = a.Values[i] * a.Values[i];
    bb.Values[i] = b.Values[i] * b.Values[i];
    ab.Values[i] = a.Values[i] * b.Values[i];
  }
  // The five window means are independent: computed side by side on the processors.
  const TArray2D* inputs[] = {&a, &b, &aa, &bb, &ab};
  TArray2D means[5];
  ParallelRanges(5, 0, [&](int begin, int end) {
    for (int i = begin; i < end; ++i) means[i] = WindowMeans(*inputs[i]);
  });
  const TArray2D &ma = means[0], &mb = means[1], &maa = means[2], &mbb = means[3], &mab = means[4];
  const double c1 = (0.01 * dataRange) * (0.01 * dataRange);
  const double c2 = (0.03 * dataRange) * (0.03 * dataRange);
  double sum = 0;
  for (std::size_t i = 0; i < ma.Values.size(); ++i) {
    const double ua = ma.Values[i], ub = mb.Values[i];
    const double va = maa.Values[i] - ua * ua, vb = mbb.Values[i] - ub * ub;
    const double cov = mab.Values[i] - ua * ub;
    sum += Ratio(2 * ua * ub + c1, ua * ua + ub * ub + c1) * Ratio(2 * cov + c2, va + vb + c2);
  }
  return sum / double(ma.Values.size());
}

TImageMetrics CompareImages(const TArray2D& reconstruction, const TArray2D& truth) {
  CheckSameShape(reconstruction, truth);
  TImageMetrics m;
  if (truth.Values.empty()) return m;
  const auto [low, high] = std::minmax_element(truth.Values.begin(), truth.Values.end());
  const double range = *high - *low;
  double squares = 0;
  for (std::size_t i = 0; i < truth.Values.size(); ++i) {
    const double d = reconstruction.Values[i] - truth.Values[i];
    squares += d * d;
  }
  m.Rmse = std::sqrt(squares / double(truth.Values.size()));
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
               ? StructuralSimilarity(reconstruction, truth, range)
               : std::numeric_limits<double>::quiet_NaN();
  return m;
}

}  // namespace quarvel
