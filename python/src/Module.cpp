// The extension module quarvel._quarvel: the tomography core's functions over NumPy
// arrays. The Python package (python/quarvel/__init__.py) re-exports them; the
// docstrings here are the ones users read.

#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/operators.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Bridge.h"
#include "base/Exception.h"
#include "model/Gauss.h"
#include "model/PhantomFile.h"
#include "tomo/FanBeam.h"
#include "tomo/Geometry.h"
#include "tomo/Metrics.h"
#include "tomo/Projectors.h"
#include "tomo/Reconstruction.h"

namespace quarvel::python {
namespace {

using namespace pybind11::literals;

// ---- arguments ------------------------------------------------------------------

// The viewer's three start-up blobs (the export tool's phantom without --phantom).
const std::vector<TPhantomBlob>& BuiltInBlobs() {
  static const std::vector<TPhantomBlob> kBlobs = {
      {7.0, 2.0, 12.0, 2.0, true}, {9.0, 3.0, 7.0, 1.0, true}, {15.0, 1.0, 8.0, 3.0, true}};
  return kBlobs;
}

// None: the built-in blobs; a str or path: a phantom file; else an (n, 4) or (n, 5)
// array mx, dx, my, dy[, enabled], checked as the phantom file's reader checks its lines.
std::vector<TPhantomBlob> ReadBlobs(const py::object& blobs) {
  if (blobs.is_none()) return BuiltInBlobs();
  if (py::isinstance<py::str>(blobs) || py::hasattr(blobs, "__fspath__"))
    return ReadPhantomFile(py::str(py::module_::import("os").attr("fspath")(blobs)));
  const TInputArray input = ReadArray(blobs, "blobs");
  const TArrayView& v = input.View;
  if (v.Columns != 4 && v.Columns != 5)
    throw py::value_error("blobs must have 4 or 5 columns (mx, dx, my, dy[, enabled]), not " +
                          std::to_string(v.Columns));
  static const char* const kNames[] = {"mx", "dx", "my", "dy", "enabled"};
  std::vector<TPhantomBlob> list;
  for (int r = 0; r < v.Rows; ++r) {
    const auto fail = [&](int c, const std::string& reason) {
      throw py::value_error("blob " + std::to_string(r) + ": " + kNames[c] + " " + reason +
                            ", not " + std::string(py::repr(py::float_(v.At(r, c)))));
    };
    for (int c : {1, 3}) {
      if (!(v.At(r, c) > 0)) fail(c, "must be greater than 0");
      if (PeakOverflows(v.At(r, c)))
        fail(c, "is too small: the blob's peak density would overflow a double");
    }
    if (v.Columns == 5 && v.At(r, 4) != 0 && v.At(r, 4) != 1) fail(4, "must be 0 or 1");
    list.push_back(
        {v.At(r, 0), v.At(r, 1), v.At(r, 2), v.At(r, 3), v.Columns == 4 || v.At(r, 4) == 1});
  }
  return list;
}

// An int N (N x N pixels) or a (rows, columns) pair, as NumPy gives shapes.
TImageSize ReadSize(const py::object& size) {
  TImageSize s;
  if (py::isinstance<py::int_>(size)) {
    s.Columns = s.Rows = size.cast<int>();
  } else {
    const auto pair = size.cast<std::pair<int, int>>();
    s.Rows = pair.first;
    s.Columns = pair.second;
  }
  CheckImageSize(s);
  return s;
}

int ReadThreads(int threads) {
  if (threads < 0)
    throw py::value_error("threads must be 0 (one per processor) or more, not " +
                          std::to_string(threads));
  return threads;
}

TFilterWindow ReadFilter(const std::string& name) {
  static const std::pair<const char*, TFilterWindow> kFilters[] = {
      {"ram-lak", TFilterWindow::RamLak},
      {"shepp-logan", TFilterWindow::SheppLogan},
      {"cosine", TFilterWindow::Cosine},
      {"hamming", TFilterWindow::Hamming},
      {"hann", TFilterWindow::Hann}};
  for (const auto& [text, window] : kFilters)
    if (name == text) return window;
  throw py::value_error("filter must be ram-lak, shepp-logan, cosine, hamming or hann, not " +
                        name);
}

// ---- the core's calls -----------------------------------------------------------

std::vector<TGauss3D> Gaussians(const std::vector<TPhantomBlob>& blobs) {
  std::vector<TGauss3D> list;
  for (const TPhantomBlob& b : blobs) {
    list.emplace_back(b.MX, b.DX, b.MY, b.DY);
    list.back().Enabled = b.Enabled;
  }
  return list;
}

// The phantom's grids are square: N x N points over [1, 20]^2.
int SquareSize(const py::object& size) {
  const TImageSize s = ReadSize(size);
  if (s.Columns != s.Rows)
    throw py::value_error("the phantom's grid is square, not " + std::to_string(s.Rows) + " x " +
                          std::to_string(s.Columns));
  return s.Columns;
}

// ---- the functions --------------------------------------------------------------

// The views: an int N for N views at k * arc / N degrees, or a 1-D sequence of degrees.
void ReadAngles(const py::object& angles, double arc, TScanGeometry& g) {
  // A view count is anything that is an integer (Python's or NumPy's); a float is not.
  if (PyIndex_Check(angles.ptr()) && !py::isinstance<py::array>(angles)) {
    g.Views = angles.cast<int>();
    g.ArcDegrees = arc;
  } else {
    const py::array given = py::array::ensure(angles);
    if (!given || given.ndim() != 1)
      throw py::type_error("angles must be a view count (int) or a 1-D sequence of degrees");
    const TInputArray list = ReadArray(given.attr("reshape")(1, -1), "angles");
    g.Views = list.View.Columns;
    for (int k = 0; k < list.View.Columns; ++k) g.Angles.push_back(list.View.At(0, k));
  }
}

TScanGeometry Parallel(const py::object& angles, int detectors, double spacing, double offset,
                       double arc) {
  TScanGeometry g;
  ReadAngles(angles, arc, g);
  g.Detectors = detectors;
  g.Spacing = spacing;
  g.Offset = offset;
  CheckGeometry(g);
  return g;
}

// A fan geometry for images of `size`: what the caller leaves out (None) takes the export
// tool's defaults for that size (DefaultFanFields), and the geometry is checked against it.
TScanGeometry Fan(TBeam beam, const py::object& angles, const py::object& detectors,
                  const py::object& sourceDistance, const py::object& detectorDistance,
                  const py::object& spacing, double offset, double arc, const py::object& size) {
  TScanGeometry g;
  g.Beam = beam;
  ReadAngles(angles, arc, g);
  const TImageSize image = ReadSize(size);
  const auto given = [](const py::object& value) {
    return value.is_none() ? std::optional<double>() : value.cast<double>();
  };
  const TFanFields fields =
      DefaultFanFields(beam, image, given(sourceDistance), given(detectorDistance));
  g.SourceDistance = fields.SourceDistance;
  g.DetectorDistance = fields.DetectorDistance;
  g.Spacing = spacing.is_none() ? fields.Spacing : spacing.cast<double>();
  g.Detectors = detectors.is_none() ? fields.Detectors : detectors.cast<int>();
  g.Offset = offset;
  CheckFanGeometry(g, image);
  return g;
}

// The parallel sinogram that a fan sinogram rebins to, with its geometry.
py::tuple Rebin(const py::object& sinogram, const TScanGeometry& fan) {
  if (!IsFan(fan)) throw py::value_error("rebin takes a fan geometry, not parallel beam");
  const TInputArray in = ReadArray(sinogram, "sinogram");
  const TScanGeometry parallel = RebinnedGeometry(fan);
  py::array rebinned = HandOver(
      TRun()([&](const std::stop_token&) { return RebinToParallel(in.View, fan, parallel); }));
  return py::make_tuple(rebinned, parallel);
}

py::array Phantom(const py::object& blobs, const py::object& size) {
  const std::vector<TGauss3D> list = Gaussians(ReadBlobs(blobs));
  const int n = SquareSize(size);
  return HandOver(TRun()([&](const std::stop_token&) { return SamplePhantom(list, n); }));
}

py::array Project(const py::object& image, const TScanGeometry& geometry, int threads) {
  const TInputArray in = ReadArray(image, "image");
  threads = ReadThreads(threads);
  return HandOver(TRun()(
      [&](const std::stop_token& stop) { return ProjectGrid(in.View, geometry, stop, threads); }));
}

py::array BackProjectSinogram(const py::object& sinogram, const TScanGeometry& geometry,
                              const py::object& size, int threads) {
  const TInputArray in = ReadArray(sinogram, "sinogram");
  const TImageSize s = ReadSize(size);
  threads = ReadThreads(threads);
  return HandOver(TRun()([&](const std::stop_token& stop) {
    return BackProject(in.View, geometry, s, stop, threads);
  }));
}

py::array ProjectExactly(const py::object& blobs, const TScanGeometry& geometry,
                         const py::object& size, int threads) {
  const std::vector<TGauss3D> list = Gaussians(ReadBlobs(blobs));
  const int n = SquareSize(size);
  threads = ReadThreads(threads);
  return HandOver(TRun()([&](const std::stop_token& stop) {
    return ProjectExact(TPhantomDensity(list), geometry, n, stop, threads);
  }));
}

py::array Fbp(const py::object& sinogram, const TScanGeometry& geometry, const py::object& size,
              const std::string& filter, double cutoff, int threads) {
  const TInputArray in = ReadArray(sinogram, "sinogram");
  const TImageSize s = ReadSize(size);
  TFbpOptions options;
  options.Window = ReadFilter(filter);
  options.Cutoff = cutoff;
  CheckFbpOptions(options);
  threads = ReadThreads(threads);
  return HandOver(TRun()([&](const std::stop_token& stop) {
    return ReconstructFbp(in.View, geometry, options, s, stop, threads);
  }));
}

py::array Iterative(TIterativeMethod method, const py::object& sinogram,
                    const TScanGeometry& geometry, const py::object& size, int iterations,
                    double relaxation, bool nonnegative, const py::object& callback, int threads) {
  const TInputArray in = ReadArray(sinogram, "sinogram");
  const TImageSize s = ReadSize(size);
  if (!callback.is_none() && PyCallable_Check(callback.ptr()) == 0)
    throw py::type_error("callback must be callable");
  TIterativeOptions options;
  options.Method = method;
  options.Iterations = iterations;
  options.Relaxation = relaxation;
  options.NonNegative = nonnegative;
  CheckIterativeOptions(options);
  threads = ReadThreads(threads);
  TRun run;
  if (!callback.is_none())
    options.Iterate = [&](int iteration, const TArray2D& image) {
      run.Post([&] { callback(iteration, CopyOut(image.View())); });
    };
  return HandOver(run([&](const std::stop_token& stop) {
    return ReconstructIterative(in.View, geometry, options, s, stop, threads);
  }));
}

py::array AddNoise(const py::object& sinogram, double photons, std::uint64_t seed, double pixel,
                   int threads) {
  const TInputArray in = ReadArray(sinogram, "sinogram");
  threads = ReadThreads(threads);
  return HandOver(TRun()([&](const std::stop_token&) {
    return AddPhotonNoise(in.View, photons, seed, threads, pixel);
  }));
}

// None or "none": the whole image; "circle": the disc every view sees; a tuple
// (left, top, right, bottom): the columns [left, right) and rows [top, bottom).
TRegion ReadRegion(const py::object& mask) {
  if (mask.is_none()) return TRegion::Whole();
  if (py::isinstance<py::str>(mask)) {
    const auto name = mask.cast<std::string>();
    if (name == "none") return TRegion::Whole();
    if (name == "circle") return TRegion::Circle();
    throw py::value_error("mask must be none, circle or (left, top, right, bottom), not " + name);
  }
  const auto box = mask.cast<std::tuple<int, int, int, int>>();
  return TRegion::Rectangle(std::get<0>(box), std::get<1>(box), std::get<2>(box), std::get<3>(box));
}

py::dict Metrics(const py::object& image, const py::object& truth, const py::object& mask) {
  const TInputArray a = ReadArray(image, "image");
  const TInputArray b = ReadArray(truth, "truth");
  const TRegion region = ReadRegion(mask);
  const TImageMetrics m =
      TRun()([&](const std::stop_token&) { return CompareImages(a.View, b.View, region); });
  return py::dict("rmse"_a = m.Rmse, "nrmse"_a = m.Nrmse, "psnr"_a = m.Psnr, "ssim"_a = m.Ssim);
}

py::tuple GeometryState(const TScanGeometry& g) {
  return py::make_tuple(g.Views, g.ArcDegrees, g.Detectors, g.Angles, g.Spacing, g.Offset,
                        static_cast<int>(g.Beam), g.SourceDistance, g.DetectorDistance);
}

TScanGeometry GeometryFromState(const py::tuple& t) {
  if (t.size() != 9) throw py::value_error("not a geometry's state");
  TScanGeometry g;
  g.Views = t[0].cast<int>();
  g.ArcDegrees = t[1].cast<double>();
  g.Detectors = t[2].cast<int>();
  g.Angles = t[3].cast<std::vector<double>>();
  g.Spacing = t[4].cast<double>();
  g.Offset = t[5].cast<double>();
  g.Beam = static_cast<TBeam>(t[6].cast<int>());
  g.SourceDistance = t[7].cast<double>();
  g.DetectorDistance = t[8].cast<double>();
  CheckGeometry(g);
  return g;
}

}  // namespace
}  // namespace quarvel::python

using namespace quarvel;
using namespace quarvel::python;
using namespace pybind11::literals;

PYBIND11_MODULE(_quarvel, m) {
  m.doc() = "The tomography core of Quarvel view over NumPy arrays.";

  // The core's errors are bad arguments: their messages name the value and its range.
  // NOLINTNEXTLINE(performance-unnecessary-value-param): pybind11's translator type
  py::register_exception_translator([](std::exception_ptr error) {
    try {
      if (error) std::rethrow_exception(error);
    } catch (const Exception& e) {
      PyErr_SetString(PyExc_ValueError, e.Message().c_str());
    }
  });

  py::class_<TScanGeometry>(m, "Geometry",
                            "A scan geometry: the views' angles and the detector, in pixels. "
                            "Made by quarvel.parallel, quarvel.fan_flat or quarvel.fan_arc.")
      .def_property_readonly("views", [](const TScanGeometry& g) { return g.Views; })
      .def_property_readonly("detectors", [](const TScanGeometry& g) { return g.Detectors; })
      .def_property_readonly("spacing", [](const TScanGeometry& g) { return g.Spacing; })
      .def_property_readonly("offset", [](const TScanGeometry& g) { return g.Offset; })
      .def_property_readonly(
          "arc",
          [](const TScanGeometry& g) {
            return g.Uniform() ? py::object(py::float_(g.ArcDegrees)) : py::none();
          },
          "The arc of uniform views in degrees; None for measured angles.")
      .def_property_readonly(
          "angles",
          [](const TScanGeometry& g) {
            TArray2D a(1, g.Views);
            for (int k = 0; k < g.Views; ++k) a.At(0, k) = g.AngleDegrees(k);
            return HandOver(std::move(a)).attr("reshape")(-1);
          },
          "The views' angles in degrees, a new array.")
      .def_property_readonly("beam", [](const TScanGeometry& g) { return BeamName(g.Beam); })
      .def(py::self == py::self)  // NOLINT(misc-redundant-expression)
      .def_property_readonly(
          "source_distance", [](const TScanGeometry& g) { return g.SourceDistance; },
          "Fan beam: the source's distance R from the rotation centre in pixels; 0 in "
          "parallel beam.")
      .def_property_readonly(
          "detector_distance", [](const TScanGeometry& g) { return g.DetectorDistance; },
          "Fan beam: the detector's distance D from the rotation centre in pixels; 0 in "
          "parallel beam.")
      .def("__repr__",
           [](const TScanGeometry& g) {
             const auto number = [](double v) { return std::string(py::repr(py::float_(v))); };
             std::string text = g.Beam == TBeam::Parallel  ? "quarvel.parallel("
                                : g.Beam == TBeam::FanFlat ? "quarvel.fan_flat("
                                                           : "quarvel.fan_arc(";
             text += g.Uniform() ? std::to_string(g.Views) + ", arc=" + number(g.ArcDegrees)
                                 : std::string("<") + std::to_string(g.Views) + " angles>";
             text += ", detectors=" + std::to_string(g.Detectors);
             if (IsFan(g))
               text += ", source_distance=" + number(g.SourceDistance) +
                       ", detector_distance=" + number(g.DetectorDistance);
             return text + ", spacing=" + number(g.Spacing) + ", offset=" + number(g.Offset) + ")";
           })
      .def(py::pickle(&GeometryState, &GeometryFromState));

  m.def("parallel", &Parallel, "angles"_a = 180, "detectors"_a = 182, "spacing"_a = 1.0,
        "offset"_a = 0.0, py::kw_only(), "arc"_a = 180.0, R"(
A parallel-beam geometry.

angles: an int N for N views at k * arc / N degrees (k = 0 ... N - 1), or a sequence of
    measured angles in degrees, in any order.
detectors: the detector's bins (2 ... 10000); 182 cover a 128 x 128 image's diagonal.
spacing: the bins' spacing in pixels.
offset: the detector centre's offset in bins.
arc: the arc of uniform views in degrees (0 < arc <= 360); not used with measured angles.

Bin j lies at t = (j - (M - 1)/2 + offset) * spacing pixels from the image's centre;
the ray at angle theta runs along (-sin theta, cos theta), so at 0 degrees the bins sum
the image's columns.)");

  // Static: the docstrings outlive the module's definitions.
  static const std::string kFanCommon = R"(
angles: an int N for N views at k * arc / N degrees (k = 0 ... N - 1), or a sequence of
    measured angles in degrees, in any order.
detectors, source_distance, detector_distance, spacing: None takes quarvel-export's
    default for images of `size`: R = 2 max(rows, columns), D = R, the spacing (R + D) / R
    that puts the bins one pixel apart at the centre, and enough bins for the fan to
    cover the image's circumscribed circle.
offset: the detector centre's offset in bins.
arc: the arc of uniform views in degrees (0 < arc <= 360); not used with measured angles.
    A full turn (the default here) or 180 degrees plus the fan's angle (a short scan)
    measures every ray; FBP weighs redundant rays (Parker's weights for a short scan).
size: the images the geometry scans (N or (rows, columns)); R must exceed their
    half-diagonal.

For view angle beta the source lies at -R e from the image's centre, where
e = (-sin beta, cos beta) is the central ray's direction; a = (cos beta, sin beta) is the
detector's axis, and u_j = (j - (M - 1)/2 + offset) * spacing.)";
  static const std::string kFlatDoc = R"(
A fan-beam geometry with a flat detector: bin j's centre lies at D e + u_j a from the
image's centre, and its ray runs from the source to it.
)" + kFanCommon;
  static const std::string kArcDoc = R"(
A fan-beam geometry with an arc-shaped (equiangular) detector: the bins lie on the arc of
radius R + D about the source, bin j at the angle u_j / (R + D) from e towards a.
)" + kFanCommon;
  for (const auto& [name, beam, doc] : {std::tuple{"fan_flat", TBeam::FanFlat, kFlatDoc.c_str()},
                                        std::tuple{"fan_arc", TBeam::FanArc, kArcDoc.c_str()}}) {
    const TBeam chosen = beam;
    m.def(
        name,
        [chosen](const py::object& angles, const py::object& detectors,
                 const py::object& sourceDistance, const py::object& detectorDistance,
                 const py::object& spacing, double offset, double arc, const py::object& size) {
          return Fan(chosen, angles, detectors, sourceDistance, detectorDistance, spacing, offset,
                     arc, size);
        },
        "angles"_a = 360, "detectors"_a = py::none(), "source_distance"_a = py::none(),
        "detector_distance"_a = py::none(), "spacing"_a = py::none(), "offset"_a = 0.0,
        py::kw_only(), "arc"_a = 360.0, "size"_a = 128, doc);
  }

  m.def("rebin", &Rebin, "sinogram"_a, "geometry"_a, R"(
A fan sinogram [view][bin] resampled to parallel beam: (sinogram, geometry), the parallel
geometry having as many views over a full turn as the fan has (its arc for a short scan)
and bins as wide as the fan's at the centre. Each parallel ray (theta, t) is taken from
the fan ray at beta = theta + gamma, gamma = asin(t / R), interpolated linearly in both;
rays outside the measured fan count 0.)");

  m.def("phantom", &Phantom, "blobs"_a = py::none(), "size"_a = 128, R"(
The phantom sampled as an image [iy][ix] in density units.

blobs: None for the built-in three, a phantom file's path (CSV mx,dx,my,dy[,enabled]),
    or an (n, 4) or (n, 5) array mx, dx, my, dy[, enabled] in model units (the image
    spans the square [1, 20] on both axes); blobs combine by their maximum.
size: N for N x N pixels over the square (8 ... 4096).)");

  m.def("project", &Project, "image"_a, "geometry"_a, py::kw_only(), "threads"_a = 0, R"(
The grid projection (Joseph's method) of an image [iy][ix]: a sinogram [view][bin] of
line integrals divided by the pixel size.

threads: 0 for one per processor; the result is the same for any count.)");

  m.def("backproject", &BackProjectSinogram, "sinogram"_a, "geometry"_a, "size"_a = 128,
        py::kw_only(), "threads"_a = 0, R"(
The exact transpose of project() for an image of `size`: an image [iy][ix] such that
<project(x), y> = <x, backproject(y)> up to rounding. Not a reconstruction (no filter).)");

  m.def("project_exact", &ProjectExactly, "blobs"_a, "geometry"_a, "size"_a = 128, py::kw_only(),
        "threads"_a = 0, R"(
The exact line integrals of the blobs' continuous density over the size x size grid of
phantom(blobs, size), divided by its pixel (pixel_size(size) model units): a sinogram
[view][bin]. blobs as for phantom(); size an int N.)");

  m.def("pixel_size", &PixelSize, "size"_a, R"(
The pixel of phantom(..., size) in model units: 19 / (size - 1), the square [1, 20]
over size points.)");

  m.def("fbp", &Fbp, "sinogram"_a, "geometry"_a, "size"_a = 128, "filter"_a = "ram-lak",
        "cutoff"_a = 1.0, py::kw_only(), "threads"_a = 0, R"(
Filtered back-projection of a sinogram [view][bin] to an image [iy][ix] of `size` (N or
(rows, columns)) in density units. Each view weighs its share of the half turn, so any
angle set gives density units; an arc under 180 degrees misses a wedge of directions.

filter: ram-lak, shepp-logan, cosine, hamming or hann (the ramp filter's window).
cutoff: 0 < cutoff <= 1 of the Nyquist frequency.)");

  const char* iterativeDoc = R"(
An iterative reconstruction of a sinogram [view][bin] to an image [iy][ix] of `size`
(N or (rows, columns)), from zero: sirt (all views at once), sart (one view at a time),
cgls (conjugate gradients on the normal equations).

iterations: 1 ... 100000.
relaxation: sirt and sart: the step's factor lambda, 0 < lambda < 2; cgls: 1.
nonnegative: sirt and sart: set negative pixels to 0 after each update.
callback: callback(iteration, image) after each iteration, on the calling thread; an
    exception it raises stops the reconstruction and is raised by this call.
Ctrl+C stops the reconstruction and raises KeyboardInterrupt.)";
  for (const auto& [name, method] :
       {std::pair{"sirt", TIterativeMethod::Sirt}, std::pair{"sart", TIterativeMethod::Sart},
        std::pair{"cgls", TIterativeMethod::Cgls}}) {
    const TIterativeMethod chosen = method;
    m.def(
        name,
        [chosen](const py::object& sinogram, const TScanGeometry& geometry, const py::object& size,
                 int iterations, double relaxation, bool nonnegative, const py::object& callback,
                 int threads) {
          return Iterative(chosen, sinogram, geometry, size, iterations, relaxation, nonnegative,
                           callback, threads);
        },
        "sinogram"_a, "geometry"_a, "size"_a = 128, "iterations"_a = 10, "relaxation"_a = 1.0,
        "nonnegative"_a = false, "callback"_a = py::none(), py::kw_only(), "threads"_a = 0,
        iterativeDoc);
  }

  m.def("add_noise", &AddNoise, "sinogram"_a, "photons"_a, "seed"_a = 0, py::kw_only(),
        "pixel"_a = 19.0 / 127.0, "threads"_a = 0, R"(
Photon noise for `photons` incident photons per bin. A value p (in pixels) is a line
integral of p * pixel in model units, so n ~ Poisson(I0 exp(-pixel p)) photons pass and
the noisy value is -ln(max(n, 1) / I0) / pixel; pixel is pixel_size(N) for a phantom of
N x N (the default: N = 128). The same seed gives the same noise, whatever the threads.)");

  m.def("metrics", &Metrics, "image"_a, "truth"_a, "mask"_a = py::none(), R"(
How far an image lies from the truth: a dict of rmse, nrmse (rmse / (max - min of the
truth)), psnr (20 log10((max - min) / rmse), inf for equal images) and ssim (11 x 11
Gaussian window, sigma 1.5).

mask: None (the whole image), "circle" (the disc every view sees: pixel centres within
(min(rows, columns) - 1) / 2 of the centre) or (left, top, right, bottom), the columns
[left, right) and rows [top, bottom). The figures take the region's pixels only; ssim
averages the windows centred there (nan when none is).)");
}
