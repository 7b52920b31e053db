#include "bench/BenchStudy.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>

#include "tomo/FanBeam.h"
#include "tomo/Limits.h"
#include "tomo/Parallel.h"
#include "ui/ExportView.h"
#include "ui/TomographyData.h"

namespace quarvel {

void SetBeam(TScanGeometry& g, TBeam beam, double sourceDistance, double detectorDistance) {
  g.Beam = beam;
  g.Spacing = 1;
  g.SourceDistance = g.DetectorDistance = 0;
  if (!IsFan(g)) return;
  g.SourceDistance = sourceDistance;
  g.DetectorDistance = detectorDistance;
  try {
    g.Spacing = DefaultFanFields(beam, TImageSize{}, sourceDistance, detectorDistance).Spacing;
  } catch (const EInvalidGeometry&) {
    // CheckFanGeometry names the distance before anything is computed.
  }
}

int DefaultBins(TBeam beam, double sourceDistance) {
  if (beam == TBeam::Parallel) return TScanGeometry{}.Detectors;
  try {
    return DefaultFanFields(beam, TImageSize{}, sourceDistance).Detectors;
  } catch (const EInvalidGeometry&) {
    return 0;
  }
}

const char* FilterName(TFilterWindow window) {
  switch (window) {
    case TFilterWindow::RamLak:
      return "Ram-Lak";
    case TFilterWindow::SheppLogan:
      return "Shepp-Logan";
    case TFilterWindow::Cosine:
      return "cosine";
    case TFilterWindow::Hamming:
      return "Hamming";
    case TFilterWindow::Hann:
      break;
  }
  return "Hann";
}

namespace {

// A setting as a caption writes it: a whole number in full ("100000" photons, where the
// shortest text would be "1e+05"), any other value in its shortest text.
std::string SettingText(double v) {
  if (std::isfinite(v) && v == std::trunc(v) && std::abs(v) < 1e15) {
    char buffer[24];
    return std::string(
        buffer, std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed).ptr);
  }
  return ShortestText(v);
}

}  // namespace

std::string SinogramCaption(const TBenchSettings& s) {
  std::string text = std::to_string(s.Geometry.Views) + " views over " +
                     SettingText(s.Geometry.ArcDegrees) + "°, " +
                     std::to_string(s.Geometry.Detectors) + " bins, " +
                     (IsFan(s.Geometry) ? std::string(BeamName(s.Geometry.Beam)) + ", R " +
                                              SettingText(s.Geometry.SourceDistance) + ", D " +
                                              SettingText(s.Geometry.DetectorDistance) + ", "
                                        : std::string()) +
                     (s.Projector == TProjectorKind::Grid ? "grid" : "exact") + " projector, ";
  if (!s.Photons) return text + "no noise";
  return text + "noise " + SettingText(*s.Photons) + " photons, seed " + std::to_string(s.Seed);
}

TRegion DraggedRegion(int ix0, int iy0, int ix1, int iy1, int columns, int rows) {
  const auto inside = [](int v, int count) { return std::clamp(v, 0, count - 1); };
  ix0 = inside(ix0, columns), ix1 = inside(ix1, columns);
  iy0 = inside(iy0, rows), iy1 = inside(iy1, rows);
  return TRegion::Rectangle(std::min(ix0, ix1), std::min(iy0, iy1), std::max(ix0, ix1) + 1,
                            std::max(iy0, iy1) + 1);
}

std::string RegionText(const TRegion& r) {
  switch (r.Shape) {
    case TRegion::TShape::Whole:
      return "";
    case TRegion::TShape::Circle:
      return "the scanned disc";
    case TRegion::TShape::Rectangle:
      break;
  }
  return "columns " + std::to_string(r.Left) + " to " + std::to_string(r.Right - 1) + ", rows " +
         std::to_string(r.Top) + " to " + std::to_string(r.Bottom - 1);
}

std::string FigureText(double v) {
  if (std::isnan(v)) return "–";
  if (std::isinf(v)) return v > 0 ? "∞" : "−∞";
  return ShortestText(v);
}

std::string MethodCaption(const TBenchSettings& s) {
  if (s.Method == TReconstructionMethod::Fbp)
    return std::string("FBP, ") + FilterName(s.Fbp.Window) + ", cutoff " +
           ShortestText(s.Fbp.Cutoff);
  std::string text = std::string(s.Method == TReconstructionMethod::Sirt   ? "SIRT, "
                                 : s.Method == TReconstructionMethod::Sart ? "SART, "
                                                                           : "CGLS, ") +
                     std::to_string(s.Iterations) +
                     (s.Iterations == 1 ? " iteration" : " iterations");
  if (s.Relaxation != 1) text += ", relaxation " + ShortestText(s.Relaxation);
  if (s.NonNegative) text += ", non-negative";
  return text;
}

std::string HistoryText(const std::vector<TImageMetrics>& history) {
  THistoryCsv csv;
  for (std::size_t i = 0; i < history.size(); ++i) csv.Add(static_cast<int>(i) + 1, history[i]);
  return csv.Text();
}

std::vector<TGauss3D> BlobsOf(const TPhantom& phantom) {
  std::vector<TGauss3D> blobs;
  for (const TPhantomBlob& b : phantom) {
    blobs.emplace_back(b.MX, b.DX, b.MY, b.DY);
    blobs.back().Enabled = b.Enabled;
  }
  return blobs;
}

TBenchResult ComputeBench(const TBenchInput& input, const TBenchResult* previous,
                          const std::stop_token& stop, const std::function<void(int)>& progress,
                          const std::function<void(int, const TImageMetrics&)>& iterated) {
  TStudyOptions options;
  static_cast<TStudySettings&>(options) = input.Settings;
  options.Progress = progress;
  options.Region = input.Region;
  std::vector<TImageMetrics> history;
  options.Iterate = [&](int iteration, const TArray2D& image) {
    // The last iteration's image is the reconstruction, whose figures the chain takes
    // anyway: they end the history below rather than being computed twice.
    if (iteration == input.Settings.Iterations) return;
    history.push_back(CompareImages(image, input.Truth, input.Region));
    if (iterated) iterated(iteration, history.back());
  };
  const std::vector<TGauss3D> blobs = BlobsOf(input.Phantom);
  const bool reuse = previous && SameSinogram(previous->Input.Settings, input.Settings) &&
                     SamePhantom(previous->Input.Phantom, input.Phantom) &&
                     previous->Input.Data == input.Data && previous->Input.Truth == input.Truth;
  const TArrayView given = input.Data.Sinogram ? input.Data.Sinogram->View()
                           : reuse             ? previous->Sinogram.View()
                                               : TArrayView{};
  TStudyResult study =
      RunStudy(input.Truth, blobs, options, stop, reuse || input.Data.Sinogram ? &given : nullptr);
  ThrowIfStopped(stop);
  TBenchResult result;
  result.Input = input;
  result.Sinogram = std::move(study.Sinogram);
  result.Reconstruction = std::move(study.Reconstruction);
  result.Difference = std::move(study.Difference);
  result.Metrics = study.Metrics;
  if (input.Settings.Method != TReconstructionMethod::Fbp) history.push_back(study.Metrics);
  result.History = std::move(history);
  return result;
}

bool TConvergeTrace::Add(std::uint64_t id, int iteration, const TImageMetrics& metrics) {
  if (id < id_) return false;
  if (id > id_) {
    id_ = id;
    points_.clear();
  }
  if (!points_.empty() && iteration <= points_.back().Iteration) return false;
  points_.push_back({iteration, metrics});
  return true;
}

bool TConvergeTrace::Set(std::uint64_t id, const std::vector<TImageMetrics>& history) {
  if (id < id_) return false;
  id_ = id;
  points_.clear();
  for (std::size_t i = 0; i < history.size(); ++i)
    points_.push_back({static_cast<int>(i) + 1, history[i]});
  return true;
}

// ---------------------------------------------------------------------------

TBenchWorker::TBenchWorker(Callbacks callbacks)
    : callbacks_(std::move(callbacks)),
      thread_([this](const std::stop_token& stop) { Loop(stop); }) {}

TBenchWorker::~TBenchWorker() {
  {
    const std::lock_guard lock(mutex_);
    pending_.reset();
    current_.request_stop();
  }
  thread_.request_stop();
  wake_.notify_all();
  // The jthread joins as it goes.
}

std::uint64_t TBenchWorker::Submit(TBenchInput input) {
  std::uint64_t id = 0;
  {
    const std::lock_guard lock(mutex_);
    id = ++lastId_;
    pending_.emplace(id, std::move(input));
    current_.request_stop();
  }
  wake_.notify_all();
  return id;
}

void TBenchWorker::Cancel() {
  std::optional<std::uint64_t> dropped;
  {
    const std::lock_guard lock(mutex_);
    if (pending_) dropped = pending_->first;
    pending_.reset();
    current_.request_stop();
  }
  if (dropped && callbacks_.Cancelled) callbacks_.Cancelled(*dropped);
}

void TBenchWorker::Loop(const std::stop_token& threadStop) {
  for (;;) {
    std::uint64_t id = 0;
    TBenchInput input;
    std::stop_token stop;
    {
      std::unique_lock lock(mutex_);
      if (!wake_.wait(lock, threadStop, [this] { return pending_.has_value(); })) return;
      id = pending_->first;
      input = std::move(pending_->second);
      pending_.reset();
      current_ = std::stop_source();
      stop = current_.get_token();
    }
    // A cancel of the thread reaches the work in progress too.
    std::stop_source work;
    const std::stop_callback forward(stop, [&work] { work.request_stop(); });
    const std::stop_callback forwardThread(threadStop, [&work] { work.request_stop(); });
    try {
      auto progress = [this, id](int done) {
        if (callbacks_.Progress) callbacks_.Progress(id, done);
      };
      auto iterated = [this, id](int iteration, const TImageMetrics& metrics) {
        if (callbacks_.Iterated) callbacks_.Iterated(id, iteration, metrics);
      };
      auto result = std::make_shared<const TBenchResult>(
          ComputeBench(input, last_.get(), work.get_token(), progress, iterated));
      last_ = result;
      if (callbacks_.Finished) callbacks_.Finished(id, result, "");
    } catch (const ECancelled&) {
      if (callbacks_.Cancelled) callbacks_.Cancelled(id);
    } catch (const std::bad_alloc&) {
      const TScanGeometry& g = input.Settings.Geometry;
      if (callbacks_.Finished)
        callbacks_.Finished(id, nullptr,
                            "not enough memory for " + std::to_string(g.Views) + " views of " +
                                std::to_string(g.Detectors) + " bins");
    } catch (const std::exception& e) {
      if (callbacks_.Finished) callbacks_.Finished(id, nullptr, e.what());
    }
  }
}

}  // namespace quarvel
