#include "StepwiseModel.h"

namespace quarvel::testing {

StepwiseCrossing SearchCrossingStepwise(const TCubic& fit1, const TCubic& fit2, double xl,
                                        double xr) {
  StepwiseCrossing s;
  bool any = false;
  long double best = 0;
  for (double x = xl; x < xr; x = NextSearchX(x)) {
    const CrossingProbe p = ProbeCrossing(fit1, fit2, x);
    ++s.probes;
    if (p.gap <= kCrossingTolerance) {
      s.result = {x, p.Sum(), true};
      return s;
    }
    if (!any || p.gap < best) {
      any = true;
      best = p.gap;
      s.result = {x, p.Sum(), false};
    }
  }
  if (!any) s.result = {xl, ProbeCrossing(fit1, fit2, xl).Sum(), false};
  return s;
}

void AddBlobToGridPointwise(TProjectionModel& model, const TGauss3D& blob) {
  for (int iy = 0; iy < TProjectionModel::kGridSize; ++iy) {
    for (int ix = 0; ix < TProjectionModel::kGridSize; ++ix) {
      const double v = blob.BlobValue(TProjectionModel::GridCoordinate(ix),
                                      TProjectionModel::GridCoordinate(iy));
      if (v > model.GridMax) model.GridMax = v;
      if (v > model.Grid[ix][iy]) model.Grid[ix][iy] = v;
    }
  }
}

namespace {

std::vector<TProjectionPoint> InsertStepwise(const std::vector<TProjectionPoint>& source) {
  std::vector<TProjectionPoint> result;
  TCubic fit1, fit2;
  for (std::size_t k = 0; k + 1 < source.size(); ++k) {
    const TProjectionPoint l = source[k], r = source[k + 1];
    FitCubic(fit1, l.X, l.Y, r.X, r.Y);
    FitCubic(fit2, r.X, r.Y, l.X, l.Y);
    const CrossingResult c = SearchCrossingStepwise(fit1, fit2, l.X, r.X).result;
    result.push_back(l);
    result.push_back({c.X, c.Y});
  }
  result.push_back(source.back());
  return result;
}

}  // namespace

std::vector<TProjectionPoint> ResampleStepwise(const TProjectionModel& model) {
  std::vector<TProjectionPoint> samples;
  samples.reserve(TProjectionModel::kGridSize);
  for (int i = 0; i < TProjectionModel::kGridSize; ++i)
    samples.push_back({TProjectionModel::GridCoordinate(i), model.Projection[i]});
  if (model.Resolution == 0) return samples;
  std::vector<TProjectionPoint> once = InsertStepwise(samples);
  if (model.Resolution == 1) return once;
  return InsertStepwise(once);
}

void RecomputeStepwise(TProjectionModel& model) {
  model.ResetGrid();
  for (int i = 0; i < model.BlobCount(); ++i)
    if (model.BlobAt(i)->Enabled) AddBlobToGridPointwise(model, *model.BlobAt(i));
  model.ComputeProjection();
  model.Points = ResampleStepwise(model);
}

}  // namespace quarvel::testing
