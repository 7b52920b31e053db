#pragma once
// What the bench computes from the phantom: the sinogram, the reconstruction, the
// difference and the figures, for one set of settings, and the worker thread that
// computes them off the user-interface thread.
//
// A result carries the input it was computed from (the phantom, its grid and the
// settings), so whatever shows it can say exactly what it shows, and nothing shown
// together can come from two inputs. A phantom with a blob too dense for the chain
// (CheckBlobDensities) is refused with the core's message; a computation that runs out
// of memory reports "not enough memory for N views of M bins".

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchPhantom.h"
#include "tomo/Study.h"

namespace quarvel {

// The bench's settings are the core's: the export tool's options for the same study.
using TBenchSettings = TStudySettings;

// The geometry with the beam and, for a fan, R and D (pixels) and the spacing the export
// tool gives them by default (the core's DefaultFanFields for the viewer's 128 x 128
// grid); parallel beam clears R and D and takes the spacing 1. Distances the core refuses
// are kept as given, for the core's check to name.
void SetBeam(TScanGeometry& geometry, TBeam beam, double sourceDistance, double detectorDistance);
// The export tool's bins for the beam when --detectors is left out: 182 for parallel beam,
// for a fan the core's default for R (0 for an R the core refuses).
int DefaultBins(TBeam beam, double sourceDistance);

// "180 views over 180°, 182 bins, grid projector, no noise" (or "noise 100000 photons,
// seed 0"): what a sinogram was computed from. A fan names its geometry after the bins:
// "…, 188 bins, fan-arc, R 256, D 256, grid projector, …".
std::string SinogramCaption(const TBenchSettings& settings);
// "FBP, Ram-Lak, cutoff 1", "SIRT, 10 iterations" or "SART, 5 iterations, relaxation
// 0.5, non-negative" (the step factor when not 1, the clipping when on): how a
// reconstruction was made.
std::string MethodCaption(const TBenchSettings& settings);
// The rectangle of cells a drag from cell (ix0, iy0) to cell (ix1, iy1) covers, both
// ends included, in an image of `columns` x `rows`: ends outside it are moved to its edge.
TRegion DraggedRegion(int ix0, int iy0, int ix1, int iy1, int columns, int rows);
// What figures over a region are over: "" for the whole image, "the scanned disc", or
// "columns 10 to 19, rows 5 to 29" (the cells of a rectangle, both ends included).
std::string RegionText(const TRegion& region);
// A figure as the bench shows it: the shortest text of a finite value, "∞" or "−∞", and
// "–" for a value that is not a number (SSIM of images too small for its window).
std::string FigureText(double v);
// The window's name of a filter ("Ram-Lak", "Shepp-Logan", "cosine", "Hamming", "Hann").
const char* FilterName(TFilterWindow window);

// The user's own data the bench studies instead of the phantom's scan, as the export
// tool's --image and --sinogram take them. Empty: the phantom's grid is scanned.
struct TBenchData {
  // The image file that is the truth (absolute; empty: the main window's grid is).
  std::string ImagePath;
  // The sinogram file reconstructed instead of a scan (absolute; empty: none) and its
  // values [view][bin]; the settings' geometry is then the one fitted to it.
  std::string SinogramPath;
  std::shared_ptr<const TArray2D> Sinogram;
  // Whether the geometry came from the file (its CSV angles or its JSON file) rather than
  // from the bench's views and arc: the command lines then leave --views and --arc out.
  bool OwnAngles = false;
  // Whether the file has a JSON file: the command lines then leave the geometry out.
  bool Recorded = false;
  // The side of the square image a recorded sinogram was taken of, when no image is
  // opened and it is not the grid's 128: the phantom sampled at that side is then the
  // truth, as the export tool takes it (0: the main window's grid is).
  int PhantomSide = 0;
  bool Empty() const { return ImagePath.empty() && SinogramPath.empty(); }
  // Whether an image file is the truth (the command lines then name it).
  bool HasImage() const { return !ImagePath.empty(); }
  // Whether the truth is other than the main window's grid: an image, or the phantom at
  // another side. Its pictures, readouts and bins are then in pixels.
  bool InPixels() const { return HasImage() || PhantomSide > 0; }
  friend bool operator==(const TBenchData& a, const TBenchData& b) {
    return a.ImagePath == b.ImagePath && a.SinogramPath == b.SinogramPath &&
           a.Sinogram == b.Sinogram && a.PhantomSide == b.PhantomSide;
  }
};

struct TBenchInput {
  TPhantom Phantom;
  // The truth, [iy][ix]: the main window's grid for Phantom, or the opened image (any
  // size from 8 to 4096 a side).
  TArray2D Truth;
  TBenchSettings Settings;
  // Where the difference, the figures and the history are taken: the export tool's
  // --mask circle, or a rectangle of cells.
  TRegion Region;
  TBenchData Data;
};

struct TBenchResult {
  TBenchInput Input;
  TArray2D Sinogram;
  TArray2D Reconstruction;
  TArray2D Difference;
  TImageMetrics Metrics;
  // The iterative methods: the figures over the region after each iteration, [i] after
  // iteration i + 1, as the export tool's --history writes them; empty for FBP.
  std::vector<TImageMetrics> History;
};

// The enabled and disabled blobs of `phantom` as the core takes them.
std::vector<TGauss3D> BlobsOf(const TPhantom& phantom);

// The history as the export tool's --history file.
std::string HistoryText(const std::vector<TImageMetrics>& history);

// Runs the core's chain (RunStudy) for `input`; a given sinogram (input.Data) is
// reconstructed as it is. Otherwise a previous result with the same phantom,
// grid and sinogram settings (SameSinogram) lends its sinogram, which the chain takes as
// given (a changed filter, method or cutoff only reconstructs). `progress` (may be empty)
// hears the iterations done of the iterative methods, and `iterated` (may be empty) each
// iteration's number (from 1) and figures as History takes them, before `progress`; the
// last iteration's are the result's Metrics, which only the result brings.
// Raises the core's errors, ECancelled when `stop` is requested.
TBenchResult ComputeBench(
    const TBenchInput& input, const TBenchResult* previous, const std::stop_token& stop,
    const std::function<void(int)>& progress,
    const std::function<void(int iteration, const TImageMetrics& metrics)>& iterated = {});

// The convergence of one computation as a chart shows it while it runs: the figures of
// the computation with the highest id reported so far, growing an iteration at a time,
// and replaced by the whole history once it finishes. Reports of an older computation
// than the one held are dropped and a newer one's start afresh, so the points of two
// inputs never mix, whatever order the reports arrive in.
class TConvergeTrace {
 public:
  struct TPoint {
    int Iteration;
    TImageMetrics Metrics;
  };
  // An iteration's figures; whether they were taken (false: older, or not after the last).
  bool Add(std::uint64_t id, int iteration, const TImageMetrics& metrics);
  // A finished computation's history (empty for FBP): whether it was taken.
  bool Set(std::uint64_t id, const std::vector<TImageMetrics>& history);
  std::uint64_t Id() const { return id_; }
  const std::vector<TPoint>& Points() const { return points_; }

 private:
  std::uint64_t id_ = 0;
  std::vector<TPoint> points_;
};

// One thread that computes the newest input handed to it. Submitting cancels the work
// in progress, and an input not yet started is replaced: only the newest is computed.
// The callbacks run on the worker thread; whoever shows their results posts them on.
class TBenchWorker {
 public:
  struct Callbacks {
    // A finished computation: its result, or its error message (not for a cancel).
    std::function<void(std::uint64_t id, std::shared_ptr<const TBenchResult> result,
                       const std::string& error)>
        Finished;
    // A computation that was cancelled (by Cancel or by a newer input).
    std::function<void(std::uint64_t id)> Cancelled;
    // Iterations done of the computation `id`.
    std::function<void(std::uint64_t id, int done)> Progress;
    // The figures after an iteration of the computation `id` (before its Progress).
    std::function<void(std::uint64_t id, int iteration, const TImageMetrics& metrics)> Iterated;
  };

  explicit TBenchWorker(Callbacks callbacks);
  // Cancels the work in progress and waits for the thread.
  ~TBenchWorker();
  TBenchWorker(const TBenchWorker&) = delete;
  TBenchWorker& operator=(const TBenchWorker&) = delete;

  // Hands over an input; its id (increasing).
  std::uint64_t Submit(TBenchInput input);
  // Drops a waiting input and cancels the work in progress.
  void Cancel();

 private:
  void Loop(const std::stop_token& threadStop);

  Callbacks callbacks_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::optional<std::pair<std::uint64_t, TBenchInput>> pending_;
  std::stop_source current_;  // of the work in progress
  std::uint64_t lastId_ = 0;
  std::shared_ptr<const TBenchResult> last_;  // the worker's own, for its sinogram
  std::jthread thread_;                       // last: started once the rest exists
};

}  // namespace quarvel
