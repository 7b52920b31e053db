// The bench's rules that need no window: where it opens, how big its pictures are, what
// its gestures make of a blob, the texts it shows, and the command lines it writes.

#include <gtest/gtest.h>

#include <QCommandLineParser>
#include <QStringList>

#include <cmath>
#include <limits>

#include "bench/BenchBeam.h"
#include "bench/BenchExport.h"
#include "bench/BenchLayout.h"
#include "bench/BenchPictures.h"
#include "model/ProjectionModel.h"
#include "tomo/FanBeam.h"
#include "ui/GridImage.h"
#include "ui/MainFormUnit.h"
#include "ui/TomographyExport.h"

namespace quarvel {
namespace {

TEST(BenchLayout, OpensBesideTheMainWindowAndInsideTheScreen) {
  const QSize frame(10, 30), preferred(1400, 760), minimum(1000, 600);
  const struct {
    const char* name;
    QRect mainFrame, available, bench;
    QPoint main;
  } cases[] = {
      // Room on the right: the preferred size there, top edges level.
      {"room right", {0, 0, 661, 512}, {0, 0, 1920, 1080}, {661, 0, 1259, 790}, {0, 0}},
      // The main window far right: the bench goes left of it.
      {"room left", {1259, 100, 661, 512}, {0, 0, 1920, 1080}, {0, 100, 1259, 790}, {1259, 100}},
      // Centred: neither side has the room, but the screen has; the main window moves left.
      {"centred", {460, 120, 661, 512}, {0, 0, 1920, 1080}, {661, 120, 1259, 790}, {0, 120}},
      {"centred, wider",
       {900, 120, 661, 512},
       {0, 0, 2560, 1440},
       {1150, 120, 1410, 790},
       {489, 120}},
      // A screen too small for both: the whole width, over the main window.
      {"small screen", {100, 50, 661, 512}, {0, 0, 1366, 768}, {0, 0, 1366, 768}, {100, 50}},
      {"small, main left", {0, 0, 661, 512}, {0, 0, 1366, 738}, {0, 0, 1366, 738}, {0, 0}},
      // A screen that does not start at 0 (a panel on top).
      {"panel", {0, 20, 661, 512}, {0, 20, 1920, 1060}, {661, 20, 1259, 790}, {0, 20}},
  };
  for (const auto& c : cases) {
    const TBenchPlacement r = BesideMainWindow(c.mainFrame, frame, preferred, minimum, c.available);
    EXPECT_EQ(r.Bench, c.bench) << c.name;
    EXPECT_EQ(r.Main, c.main) << c.name;
    EXPECT_TRUE(c.available.contains(r.Bench)) << c.name;
    EXPECT_TRUE(c.available.contains(QRect(r.Main, c.mainFrame.size()))) << c.name;
  }
}

TEST(BenchLayout, AFrameTooTallForTheScreenIsBroughtInside) {
  const QRect screen(0, 0, 1366, 768);
  EXPECT_EQ(InsideScreen({100, 50, 800, 600}, screen), QRect(100, 50, 800, 600));
  EXPECT_EQ(InsideScreen({0, 0, 1366, 788}, screen), screen);  // title bar uncounted
  EXPECT_EQ(InsideScreen({-40, 300, 1000, 600}, screen), QRect(0, 168, 1000, 600));
  EXPECT_EQ(InsideScreen({500, 0, 2000, 700}, {0, 24, 1280, 696}), QRect(0, 24, 1280, 696));
}

TEST(BenchLayout, OneSideForThePictures) {
  EXPECT_EQ(SharedSide({{300, 200}, {150, 400}, {500, 500}}), 150);
  EXPECT_EQ(SharedSide({{0, 10}}), 1);
  EXPECT_EQ(SharedSide({}), 1);
}

TEST(BenchLayout, Mnemonics) {
  const struct {
    const char* text;
    char letter;
  } cases[] = {{"&Open…", 'o'}, {"Re&do", 'd'},   {"Run", 0},
               {"A && B", 0},   {"A && &B", 'b'}, {"End&", 0}};
  for (const auto& c : cases)
    EXPECT_EQ(MnemonicOf(c.text), c.letter ? QChar(c.letter) : QChar()) << c.text;
}

TEST(BenchGestures, ZoomKeepsThePointUnderTheMouseAndPanStaysInside) {
  const struct {
    const char* name;
    TView view;
    double fx, fy;
    int notches;
    TView expected;
  } zooms[] = {
      {"in at the centre", {}, 0.5, 0.5, 1, {2, 0.5, 0.5}},
      {"in at the top left corner", {}, 0, 0, 1, {2, 0.25, 0.25}},
      {"in about a quarter", {}, 0.25, 0.75, 1, {2, 0.375, 0.625}},
      {"out past the whole", {2, 0.25, 0.25}, 0.5, 0.5, -3, {}},
      {"never beyond 16", {16, 0.5, 0.5}, 0.5, 0.5, 2, {16, 0.5, 0.5}},
  };
  for (const auto& z : zooms)
    EXPECT_EQ(Zoomed(z.view, z.fx, z.fy, z.notches), z.expected) << z.name;
  EXPECT_EQ(Panned({2, 0.5, 0.5}, 0.25, -0.25), (TView{2, 0.625, 0.375}));
  EXPECT_EQ(Panned({2, 0.5, 0.5}, 5, -5), (TView{2, 0.75, 0.25}));
  EXPECT_EQ(Panned({}, 0.3, 0.3), TView{});

  // Zoomed twice at (10, 20) of a 128-pixel picture, the cell there stays there.
  TPlacement p = PlaceArray(128, 128, {0, 0, 128, 128});
  const int column = p.ColumnAt(10), row = p.RowAt(20);
  const auto [fx, fy] = FractionAt(p, 10, 20);
  const TPlacement z = WithView(p, Zoomed({}, (10 + 0.5) / 128, (20 + 0.5) / 128, 2));
  EXPECT_EQ(z.ColumnAt(10), column);
  EXPECT_EQ(z.RowAt(20), row);
  EXPECT_EQ(z.ColumnsPerPixel(), 0.25);
  const TPoint back = PixelOfFraction(z, fx, fy);
  EXPECT_EQ(z.ColumnAt(back.X), column);
  EXPECT_EQ(z.RowAt(back.Y), row);
}

TEST(BenchGestures, NumbersAreRoundedToWhatTheGestureMeans) {
  const TPhantomBlob b{7, 2.2, 12, 2.2, true};
  // Wheel notches: 2.2 x 1.1 is 2.4200000000000004 in doubles.
  EXPECT_EQ(ScaledSpreads(b, 1).DX, 2.42);
  EXPECT_EQ(ScaledSpreads(b, -1).DY, 2.0);
  EXPECT_EQ(ScaledSpreads(b, 2).DX, 2.662);
  // Drags of the mean: to 0.001, never out of the model's square.
  const struct {
    double dx, dy, mx, my;
  } moves[] = {{0.1 + 0.2, 0, 7.3, 12}, {-100, 0, 1, 12}, {0, 100, 7, 20}, {1e300, -1e300, 20, 1}};
  for (const auto& m : moves) {
    const TPhantomBlob moved = MovedBlob(b, m.dx, m.dy);
    EXPECT_EQ(moved.MX, m.mx) << m.dx;
    EXPECT_EQ(moved.MY, m.my) << m.dy;
    EXPECT_EQ(moved.DX, b.DX);
  }
  // Shift+drag: 40 pixels double a spread, 4 digits, never 0 or infinite.
  EXPECT_EQ(SpreadBlob(b, 40, -40).DX, 4.4);
  EXPECT_EQ(SpreadBlob(b, 40, -40).DY, 1.1);
  EXPECT_GT(SpreadBlob(b, 0, -100000).DY, 0);
  // Arrow keys: one grid step, kept inside.
  EXPECT_EQ(NudgedBlob(b, 1, 0).MX, 7.15);
  EXPECT_EQ(NudgedBlob({19.99, 1, 1.01, 1, true}, 10, -10).MX, 20);
  EXPECT_EQ(NudgedBlob({19.99, 1, 1.01, 1, true}, 10, -10).MY, 1);
}

TEST(BenchGestures, ADuplicateIsMovedSoThatBothHandlesShow) {
  const struct {
    TPhantomBlob blob;
    double mx, my;
  } cases[] = {{{7, 2, 12, 3, true}, 8.5, 13.5}, {{19.5, 2, 20, 3, true}, 18, 18.5}};
  for (const auto& c : cases) {
    const TPhantomBlob d = DuplicateOf(c.blob);
    EXPECT_EQ(d.MX, c.mx);
    EXPECT_EQ(d.MY, c.my);
    EXPECT_EQ(d.DX, c.blob.DX);
    EXPECT_EQ(d.Enabled, c.blob.Enabled);
  }
}

TEST(BenchGestures, PresetsAreValidPhantomsInsideTheSquare) {
  ASSERT_GE(Presets().size(), 4u);
  for (const TPreset& p : Presets()) {
    ASSERT_FALSE(p.Blobs.empty()) << p.Name;
    // What a phantom file reads back is what the preset holds.
    const auto read = ParsePhantom(PhantomCsv(p.Blobs), p.Name);
    EXPECT_TRUE(SamePhantom(read, p.Blobs)) << p.Name;
    for (const TPhantomBlob& b : p.Blobs) {
      EXPECT_TRUE(b.MX >= 1 && b.MX <= 20 && b.MY >= 1 && b.MY <= 20) << p.Name;
    }
  }
}

TEST(BenchTexts, FiguresAndProgress) {
  const TImageMetrics m{0.0123456789, 1.23456789, 36.7123456, 0.987654321};
  EXPECT_EQ(FiguresText(m, 4), "RMSE 0.01235    NRMSE 1.235    PSNR 36.71 dB    SSIM 0.9877");
  const TImageMetrics a{0.015, 1.5, 36.5, 0.5};
  EXPECT_EQ(CompareFiguresText(m, a, 4),
            "RMSE 0.01235 (A 0.015)    NRMSE 1.235 (A 1.5)    PSNR 36.71 dB (A 36.5)    SSIM "
            "0.9877 (A 0.5)");
  // All digits: each figure reads back to its double.
  const std::string all = FiguresText(m, 17);
  EXPECT_EQ(std::stod(all.substr(5)), m.Rmse);
  EXPECT_EQ(std::stod(all.substr(all.find("SSIM ") + 5)), m.Ssim);
  const struct {
    int done, total;
    double elapsed;
    const char* text;
  } cases[] = {{0, 10, 0, "0 / 10"},
               {3, 10, 3, "3 / 10, 7 s left"},
               {10, 10, 9, "10 / 10"},
               {1, 1000, 2, "1 / 1000, 33 min left"},
               {5, 10, 0, "5 / 10"}};
  for (const auto& c : cases) EXPECT_EQ(ProgressText(c.done, c.total, c.elapsed), c.text);
}

// A drag covers the cells at both its ends, whichever way it goes, inside the image.
TEST(BenchRegion, ADragCoversItsCellsInsideTheImage) {
  const struct {
    int x0, y0, x1, y1;
    TRegion region;
    const char* text;
  } cases[] = {
      {10, 5, 19, 29, TRegion::Rectangle(10, 5, 20, 30), "columns 10 to 19, rows 5 to 29"},
      {19, 29, 10, 5, TRegion::Rectangle(10, 5, 20, 30), "columns 10 to 19, rows 5 to 29"},
      {7, 7, 7, 7, TRegion::Rectangle(7, 7, 8, 8), "columns 7 to 7, rows 7 to 7"},
      {-5, 120, 200, 140, TRegion::Rectangle(0, 120, 128, 128),
       "columns 0 to 127, rows 120 to 127"},
  };
  for (const auto& c : cases) {
    const TRegion r = DraggedRegion(c.x0, c.y0, c.x1, c.y1, 128, 128);
    EXPECT_EQ(r, c.region) << c.text;
    EXPECT_NO_THROW(CheckRegion(r, 128, 128)) << c.text;
    EXPECT_EQ(RegionText(r), c.text);
  }
  EXPECT_EQ(RegionText(TRegion::Whole()), "");
  EXPECT_EQ(RegionText(TRegion::Circle()), "the scanned disc");
}

// The convergence chart holds one computation's points: the newest reported, in the
// order of its iterations; its finished history replaces them.
TEST(BenchConverge, PointsOfTwoInputsNeverMix) {
  const auto m = [](double rmse) { return TImageMetrics{rmse, 0, 0, 0}; };
  struct Event {
    std::uint64_t id;
    int iteration;                     // 0: the finished history below
    std::vector<double> history = {};  // RMSE per iteration
    bool taken = true;
  };
  const struct {
    const char* name;
    std::vector<Event> events;
    std::uint64_t id;
    std::vector<int> iterations;
  } cases[] = {
      {"one run", {{1, 1}, {1, 2}, {1, 3}}, 1, {1, 2, 3}},
      {"a newer run starts afresh", {{1, 1}, {1, 2}, {2, 1}}, 2, {1}},
      {"an older run's late point", {{2, 1}, {1, 3, {}, false}, {2, 2}}, 2, {1, 2}},
      {"a repeated iteration", {{3, 1}, {3, 1, {}, false}}, 3, {1}},
      {"the history replaces", {{4, 1}, {4, 0, {1, 2, 3, 4}}}, 4, {1, 2, 3, 4}},
      {"an older history", {{5, 1}, {4, 0, {1, 2}, false}}, 5, {1}},
      {"FBP empties", {{5, 1}, {6, 0, {}}}, 6, {}},
  };
  for (const auto& c : cases) {
    TConvergeTrace trace;
    for (const Event& e : c.events) {
      std::vector<TImageMetrics> history;
      for (double v : e.history) history.push_back(m(v));
      const bool taken = e.iteration == 0 ? trace.Set(e.id, history)
                                          : trace.Add(e.id, e.iteration, m(e.iteration));
      EXPECT_EQ(taken, e.taken) << c.name;
    }
    EXPECT_EQ(trace.Id(), c.id) << c.name;
    std::vector<int> iterations;
    for (const auto& p : trace.Points()) {
      iterations.push_back(p.Iteration);
      EXPECT_EQ(p.Metrics.Rmse, p.Iteration) << c.name;
    }
    EXPECT_EQ(iterations, c.iterations) << c.name;
  }
}

// A fan names its geometry in the sinogram's caption; parallel beam's caption is as before.
// The bins and spacing a beam takes by default are the export tool's (tomo/FanBeam.h).
// The method's caption names what changes the reconstruction, and only that.
TEST(BenchTexts, FileNamesAreQuotedForTheShellAndForJson) {
  const struct {
    const char* name;
    std::string shell, json;
  } rows[] = {{"/a b/c.npy", "'/a b/c.npy'", "\"/a b/c.npy\""},
              {"it's", "'it'\\''s'", "\"it's\""},
              {"a\"b\\c\nd", "'a\"b\\c\nd'", "\"a\\\"b\\\\c\\u000ad\""}};
  for (const auto& r : rows) {
    EXPECT_EQ(ShellQuoted(r.name), r.shell) << r.name;
    EXPECT_EQ(JsonString(r.name), r.json) << r.name;
  }
}

TEST(BenchTexts, TheMethodsCaptionNamesItsSettings) {
  const struct {
    TReconstructionMethod method;
    int iterations;
    double relaxation;
    bool nonNegative;
    const char* caption;
  } cases[] = {
      {TReconstructionMethod::Fbp, 10, 1, false, "FBP, Ram-Lak, cutoff 1"},
      {TReconstructionMethod::Sirt, 10, 1, false, "SIRT, 10 iterations"},
      {TReconstructionMethod::Sart, 1, 0.5, false, "SART, 1 iteration, relaxation 0.5"},
      {TReconstructionMethod::Sirt, 7, 1.9, true,
       "SIRT, 7 iterations, relaxation 1.9, non-negative"},
      {TReconstructionMethod::Cgls, 3, 1, false, "CGLS, 3 iterations"},
  };
  for (const auto& c : cases) {
    TBenchSettings s;
    s.Method = c.method;
    s.Iterations = c.iterations;
    s.Relaxation = c.relaxation;
    s.NonNegative = c.nonNegative;
    EXPECT_EQ(MethodCaption(s), c.caption);
  }
}

TEST(BenchTexts, TheCaptionNamesAFanAndTheDefaultsAreTheExportTools) {
  TBenchSettings s;
  EXPECT_EQ(SinogramCaption(s), "180 views over 180°, 182 bins, grid projector, no noise");
  SetBeam(s.Geometry, TBeam::FanArc, 256, 300.5);
  EXPECT_EQ(SinogramCaption(s),
            "180 views over 180°, 182 bins, fan-arc, R 256, D 300.5, grid projector, no noise");
  s.Photons = 1e5;
  EXPECT_EQ(SinogramCaption(s),
            "180 views over 180°, 182 bins, fan-arc, R 256, D 300.5, grid "
            "projector, noise 100000 photons, seed 0");
  const struct {
    TBeam beam;
    double r, d;
    int bins;
    double spacing;
  } cases[] = {{TBeam::Parallel, 256, 256, 182, 1},
               {TBeam::FanFlat, 256, 256, 196, 2},
               {TBeam::FanArc, 256, 256, 188, 2},
               {TBeam::FanArc, 256, 0, 188, 1},
               {TBeam::FanArc, 50, 256, 0, 1}};  // R inside the image: the core refuses it
  for (const auto& c : cases) {
    TScanGeometry g;
    SetBeam(g, c.beam, c.r, c.d);
    EXPECT_EQ(DefaultBins(c.beam, c.r), c.bins) << BeamName(c.beam) << " R " << c.r;
    EXPECT_EQ(g.Spacing, c.spacing) << BeamName(c.beam) << " R " << c.r;
  }
}

// The scan drawn over the phantom's picture, against the geometry's own statement: at
// beta = 0 the source lies straight above the centre at R, at 90 degrees right of it; the
// central bin's ray runs through the centre; the edge rays end on the detector's end bins
// (the flat detector at D beyond the centre, the arc at R + D from the source).
TEST(BenchBeam, TheDrawingFollowsTheCoresGeometry) {
  const TPlacement p = PlaceArray(128, 128, TRect{0, 0, 256, 256});  // 2 pixels a cell
  const double o = 128, r = 200, d = 100;  // the centre (cell 63.5) and R, D in cells
  const double w = 2 * 94 * (r + d) / r;   // 94 bins of the default spacing, in pixels
  // The arc: bin 0's ray leaves e by -g0, and its bin lies 2 (R + D) pixels from S.
  const double g0 = 94 * (r + d) / r / (r + d);
  const double ls = 2 * (r + d) * std::sin(g0), lc = 2 * (r + d) * std::cos(g0);
  const struct {
    const char* name;
    TBeam beam;
    int view;  // of 4 over 360 degrees: beta in the name
    TPointF source, firstEnd;
  } cases[] = {{"flat, 0", TBeam::FanFlat, 0, {o, o - 2 * r}, {o - w, o + 2 * d}},
               {"flat, 90", TBeam::FanFlat, 1, {o + 2 * r, o}, {o - 2 * d, o - w}},
               {"arc, 0", TBeam::FanArc, 0, {o, o - 2 * r}, {o - ls, o - 2 * r + lc}},
               {"arc, 180", TBeam::FanArc, 2, {o, o + 2 * r}, {o + ls, o + 2 * r - lc}},
               {"parallel, 0", TBeam::Parallel, 0, {}, {o - 188, o + std::hypot(128.0, 128.0)}}};
  for (const auto& c : cases) {
    TScanGeometry g;
    g.Views = 4;
    g.ArcDegrees = 360;
    g.Detectors = 189;  // bin 94 is the central one
    SetBeam(g, c.beam, r, d);
    const TBeamDrawing b = BeamDrawing(g, c.view, 94, p);
    EXPECT_EQ(b.Fan, c.beam != TBeam::Parallel) << c.name;
    EXPECT_LT(b.Fan ? std::hypot(b.Source.X - c.source.X, b.Source.Y - c.source.Y) : 0, 1e-9)
        << c.name;
    EXPECT_NEAR(b.FirstEnd.X, c.firstEnd.X, 1e-9) << c.name;
    EXPECT_NEAR(b.FirstEnd.Y, c.firstEnd.Y, 1e-9) << c.name;
    // The last bin mirrors the first about the central ray, which passes the centre.
    const double ax = b.RayEnd.X - b.RayStart.X, ay = b.RayEnd.Y - b.RayStart.Y;
    const auto across = [&](const TPointF& q) {
      return (ax * (q.Y - b.RayStart.Y) - ay * (q.X - b.RayStart.X)) / std::hypot(ax, ay);
    };
    EXPECT_NEAR(across(b.Centre), 0, 1e-9) << c.name;
    EXPECT_NEAR(across(b.LastEnd), -across(b.FirstEnd), 1e-9) << c.name;
    ASSERT_GE(b.Detector.size(), 2u) << c.name;
    // Shrunk to show it whole, the scan lies inside the picture's place.
    const TBeamDrawing f = BeamDrawing(g, c.view, 94, ScanPlacement(g, p));
    for (const TPointF& q : {f.Source, f.FirstStart, f.FirstEnd, f.LastEnd, f.Detector[1]})
      EXPECT_TRUE(q.X >= 0 && q.X <= 256 && q.Y >= 0 && q.Y <= 256) << c.name;
    if (c.beam == TBeam::FanArc)
      for (const TPointF& q : b.Detector) {
        EXPECT_NEAR(std::hypot(q.X - b.Source.X, q.Y - b.Source.Y), 2 * (r + d), 1e-9) << c.name;
      }
  }
}

// The bench's screen and the exported PNG show every value alike, NaN and the
// infinities included.
TEST(ColourMaps, TheScreenAndTheFilesShowAValueAlike) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    uint8_t grey;
    TRgb diverging;
  } cases[] = {
      {-2, 0, {85, 85, 255}}, {0, 102, {255, 255, 255}},          {1, 153, {255, 170, 170}},
      {3, 255, {255, 0, 0}},  {std::nan(""), 0, {255, 255, 255}}, {inf, 255, {255, 0, 0}},
      {-inf, 0, {0, 0, 255}},
  };
  TArray2D a(1, static_cast<int>(std::size(cases)));
  for (std::size_t i = 0; i < std::size(cases); ++i) a.Values[i] = cases[i].value;
  const auto [low, high] = ValueRange(a);
  EXPECT_EQ(low, -2);
  EXPECT_EQ(high, 3);
  EXPECT_EQ(LargestMagnitude(a), 3);
  const QImage grey = GreyPicture(a), diverging = DivergingPicture(a);
  for (int i = 0; i < a.Columns; ++i) {
    const auto& c = cases[i];
    EXPECT_EQ(GreyColor(c.value, low, high), (TRgb{c.grey, c.grey, c.grey})) << c.value;
    EXPECT_EQ(qGray(grey.pixel(i, 0)), c.grey) << c.value;
    EXPECT_EQ(DivergingColor(c.value, LargestMagnitude(a)), c.diverging) << c.value;
    const QRgb p = diverging.pixel(i, 0);
    EXPECT_EQ((TRgb{uint8_t(qRed(p)), uint8_t(qGreen(p)), uint8_t(qBlue(p))}), c.diverging)
        << c.value;
  }
}

TEST(WindowLevel, MapsTheWindowOntoTheWholeScaleAndDragsInStepsOfTheDefault) {
  EXPECT_EQ(WindowOver(-3, 5), (TWindowLevel{8, 1}));
  const struct {
    TWindowLevel window;
    double value;
    uint8_t level;
  } levels[] = {{{2, 1}, 0, 0},    {{2, 1}, 2, 255}, {{2, 1}, 1, 128},
                {{4, -8}, -9, 64}, {{2, 1}, -1, 0},  {{2, 1}, 3, 255}};
  for (const auto& c : levels) EXPECT_EQ(WindowedLevel(c.value, c.window), c.level) << c.value;
  const struct {
    const char* name;
    TWindowLevel start;
    int dx, dy;
    double range;
    TWindowLevel expected;
  } drags[] = {
      {"right widens, up brightens", {2, 1}, 10, -20, 256, {12, -19}},
      {"narrowest is one step", {2, 1}, -100, 0, 256, {1, 1}},
      {"no range: steps of 1/256", {1, 0}, 256, 0, 0, {2, 0}},
      {"range not a number", {1, 0}, 0, 128, std::nan(""), {1, 0.5}},
  };
  for (const auto& c : drags)
    EXPECT_EQ(DraggedWindow(c.start, c.dx, c.dy, c.range), c.expected) << c.name;
}

// Pictures of the grid: one pixel a cell at (2, 16), and 4 pixels a cell at (0, 0)
// zoomed in twice on the middle (cells 32 to 95).
const TPlacement kWhole{2, 16, 128, 128, 128, 128};
const TPlacement kZoomed = WithView({0, 0, 256, 256, 128, 128}, TView{2, 0.5, 0.5});

// The grid's cell centres lie at 1 + 19 i / 127 in model units, from 1 to 20.
TEST(ModelUnits, CellCentresAreTheGridsCoordinatesZoomedOrNot) {
  const struct {
    TPlacement placement;
    double x, y, model;  // a pixel across and down, and its model coordinate
  } cases[] = {
      {kWhole, 2.5, 16.5, 1},
      {kWhole, 129.5, 143.5, 20},
      {kWhole, 66, 80, 10.5},
      {kWhole, 2, 16, 1 - 19.0 / 254},
      {kZoomed, 2, 2, TProjectionModel::GridCoordinate(32)},
      {kZoomed, 254, 254, TProjectionModel::GridCoordinate(95)},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(ModelXAt(c.placement, c.x), c.model, 1e-12) << c.x;
    EXPECT_NEAR(ModelYAt(c.placement, c.y), c.model, 1e-12) << c.y;
    EXPECT_NEAR(XOfModel(c.placement, c.model), c.x, 1e-9) << c.x;
    EXPECT_NEAR(YOfModel(c.placement, c.model), c.y, 1e-9) << c.y;
  }
  TPhantomBlob blob;  // a handle sits on the cell centre of its mean
  blob.MX = TProjectionModel::GridCoordinate(10);
  blob.MY = TProjectionModel::GridCoordinate(127);
  EXPECT_EQ(HandlePixel(kWhole, blob), (TPoint{12, 143}));
}

// The grid's readouts place a cell and a bin in model units (cell 127 at x = 20, cell 1 at
// 1 + 19/127 = 1.1496..., bin 0 of the 182 at t = -90.5 cells of 19/127 = -13.539...); an
// opened image's in pixels alone. Four significant digits, as the screen's figures.
TEST(ModelUnits, ReadoutsAreInModelUnitsOnTheGridAndInPixelsOnAnImage) {
  EXPECT_EQ(CellReadout(127, 1, 0.5), "cell (127, 1)\nx = 20\ny = 1.15\nvalue = 0.5");
  EXPECT_EQ(CellReadout(200, 3, 2.0 / 3, true), "cell (200, 3)\nvalue = 0.6667");
  TScanGeometry g;
  EXPECT_EQ(SinogramReadout(g, 90, 0, 2, false),
            "view 90, angle 90°\nbin 0, t = -13.54\nvalue = 2");
  g.Views = 7;  // views 180/7 = 25.714...° apart
  EXPECT_EQ(SinogramReadout(g, 1, 0, 1e-7 / 3, true),
            "view 1, angle 25.71°\nbin 0, t = -90.5 pixels\nvalue = 3.333E-8");
}

TEST(ModelUnits, TicksAreRoundAndFarEnoughApart) {
  const struct {
    const char* name;
    double from, to, pixelsPerUnit, gap;
    std::vector<double> ticks;
  } cases[] = {
      {"the grid at 128 pixels, either order", 20, 1, 128 / 19.0, 30, {5, 10, 15, 20}},
      {"the grid at 512 pixels", 1, 20, 512 / 19.0, 30, {2, 4, 6, 8, 10, 12, 14, 16, 18, 20}},
      {"zoomed in", 9.6, 10.7, 107, 30, {10, 10.5}},
      {"a step exactly at the gap", 0, 30, 3, 30, {0, 10, 20, 30}},
      {"bins", -0.5, 362.5, 128 / 363.0, 30, {0, 100, 200, 300}},
      {"across zero", -12, 12, 10, 25, {-10, -5, 0, 5, 10}},
      {"no scale", 1, 20, 0, 30, {}},
      {"not a number", std::nan(""), 20, 10, 30, {}},
  };
  for (const auto& c : cases) {
    const std::vector<double> ticks = RoundTicks(c.from, c.to, c.pixelsPerUnit, c.gap);
    ASSERT_EQ(ticks.size(), c.ticks.size()) << c.name;
    for (std::size_t i = 0; i < ticks.size(); ++i)
      EXPECT_NEAR(ticks[i], c.ticks[i], 1e-12) << c.name;
  }
}

TEST(Profiles, APressPicksTheCellShownAndTheLineFollowsIt) {
  const TProfilePick row{64, 64, false}, column{64, 64, true};
  const struct {
    TPlacement placement;
    TProfilePick current;
    int x, y;
    std::optional<TProfilePick> pick;
    int line;  // the pick's line, x of a column or y of a row
  } cases[] = {
      {kWhole, row, 2, 16, TProfilePick{0, 0, false}, 16},
      {kWhole, column, 129, 143, TProfilePick{127, 127, true}, 129},
      {kWhole, row, 1, 16, std::nullopt, 0},
      {kZoomed, column, 4, 255, TProfilePick{33, 95, true}, 6},
  };
  for (const auto& c : cases) {
    const std::optional<TProfilePick> pick = PickAt(c.placement, c.current, c.x, c.y);
    EXPECT_EQ(pick, c.pick) << c.x;
    if (pick) {
      EXPECT_EQ(ProfileLinePixel(c.placement, *pick), c.line) << c.x;
    }
  }
  TArray2D truth(128, 128), reconstruction(128, 128);  // cells that say where they are
  for (int iy = 0; iy < 128; ++iy)
    for (int ix = 0; ix < 128; ++ix)
      reconstruction.At(iy, ix) = -(truth.At(iy, ix) = 1000 * iy + ix);
  const TProfile along = ProfileOf({5, 7, false}, truth, reconstruction);
  const TProfile down = ProfileOf({5, 7, true}, truth, reconstruction);
  EXPECT_EQ(along.Position.size(), 128u);
  EXPECT_EQ(along.Position.back(), 20);
  EXPECT_EQ(along.Truth[9], 7009);
  EXPECT_EQ(down.Reconstruction[127], -127005);
  EXPECT_EQ(along.Title, "Row 7 (y = 2.05): phantom green, reconstruction red");
  EXPECT_EQ(down.Title, "Column 5 (x = 1.75): phantom green, reconstruction red");
  EXPECT_EQ(along.Axis + down.Axis, "xy");
}

// Every command line of commands.sh, run through the export tool's own parser and chain,
// gives the bytes the bench writes into the same file: in parallel beam and in a fan.
TEST(BenchExportCommands, RunAsTheExportToolTheyGiveTheBenchsFiles) {
  TBenchSettings sirt;
  sirt.Geometry.Views = 24;
  sirt.Geometry.ArcDegrees = 170.5;
  sirt.Photons = 2500;
  sirt.Seed = 9;
  sirt.Method = TReconstructionMethod::Sirt;
  sirt.Iterations = 3;
  TBenchSettings fan;
  fan.Geometry.Views = 20;
  fan.Geometry.ArcDegrees = 360;
  fan.Geometry.Detectors = 150;
  SetBeam(fan.Geometry, TBeam::FanArc, 150.25, 90);
  fan.Fbp.Window = TFilterWindow::Hann;
  TBenchSettings sart;
  sart.Geometry.Views = 30;
  sart.Method = TReconstructionMethod::Sart;
  sart.Iterations = 2;
  sart.Relaxation = 0.25;
  sart.NonNegative = true;
  TBenchSettings cgls;
  cgls.Geometry.Views = 18;
  cgls.Photons = 1e4;
  cgls.Method = TReconstructionMethod::Cgls;
  cgls.Iterations = 4;
  const struct {
    const char* name;
    TBenchSettings settings;
    std::vector<const char*> json;
    TRegion region;
  } cases[] = {
      {"parallel",
       sirt,
       {"\"views\": 24", "\"arc\": 170.5", "\"photons\": 2500", "\"seed\": 9",
        "\"method\": \"sirt\"", "\"iterations\": 3", "\"mx\": 9.125"},
       {}},
      {"fan-arc",
       fan,
       {"\"geometry\": \"fan-arc\"", "\"source_distance\": 150.25", "\"detector_distance\": 90",
        "\"detectors\": 150"},
       {}},
      {"sart",
       sart,
       {"\"method\": \"sart\"", "\"relaxation\": 0.25", "\"nonnegative\": true",
        "\"region\": \"circle\""},
       TRegion::Circle()},
      {"cgls",
       cgls,
       {"\"method\": \"cgls\"", "\"iterations\": 4", "\"photons\": 10000",
        "\"region\": {\"left\": 3, \"top\": 40, \"right\": 90, \"bottom\": 41}"},
       TRegion::Rectangle(3, 40, 90, 41)},
      {"fbp over a rectangle",
       fan,
       {"\"region\": {\"left\": 0"},
       TRegion::Rectangle(0, 0, 128, 64)},
  };
  for (const auto& c : cases) {
    const TBenchSettings& s = c.settings;
    TBenchInput input;
    input.Phantom = BuiltInPhantom();
    input.Phantom[1].MX = 9.125;
    TProjectionModel model;
    ComputeHeadlessModel(model, input.Phantom);
    input.Truth = GridImage(model);
    input.Settings = s;
    input.Region = c.region;
    const TBenchResult result = ComputeBench(input, nullptr, {}, {});
    EXPECT_EQ(result.Metrics, CompareImages(result.Reconstruction, input.Truth, c.region))
        << c.name;

    const QStringList lines =
        QString::fromStdString(ExportCommands(s, c.region)).split('\n', Qt::SkipEmptyParts);
    int run = 0;
    for (const QString& line : lines) {
      if (!line.startsWith("quarvel-export ")) continue;
      const QStringList words = line.split(' ');
      const QString &command = words[1], &file = words[2];
      QCommandLineParser parser;
      parser.addOptions(TomographyOptions());
      parser.addOption(QCommandLineOption("phantom", "", "file"));
      parser.addOption(QCommandLineOption("format", "", "format"));
      ASSERT_TRUE(parser.parse(words)) << line.toStdString();
      EXPECT_EQ(parser.value("phantom"), "phantom.csv");
      if (command == "grid") {
        // The picture and the cells are the main window's; the arrays are the truth's.
        if (const auto kind = HeadlessGridKind(parser, command, file)) {
          EXPECT_TRUE(HeadlessGridBytes(parser, *kind, model) ==
                      ResultBytes(result, TBenchArray::Grid, *kind))
              << c.name << ": " << line.toStdString();
          ++run;
        }
        continue;
      }
      const auto job = TomographyJob(parser, command, file);
      ASSERT_TRUE(job) << line.toStdString();
      const QString stem = file.section('.', 0, 0);
      const QByteArray expected =
          stem == "metrics" ? MetricsBytes(result)
                            : ResultBytes(result,
                                          stem == "sinogram"         ? TBenchArray::Sinogram
                                          : stem == "reconstruction" ? TBenchArray::Reconstruction
                                                                     : TBenchArray::Difference,
                                          job->Kind);
      EXPECT_TRUE(TomographyBytes(*job, model) == expected) << c.name << ": " << line.toStdString();
      // The iterative methods' figures after each iteration: the export tool's --history.
      if (stem == "metrics") {
        const std::optional<std::string> history = TomographyOutputs(*job, model).History;
        ASSERT_EQ(history.has_value(), s.Method != TReconstructionMethod::Fbp) << c.name;
        if (history) {
          EXPECT_EQ(result.History.size(), static_cast<std::size_t>(s.Iterations)) << c.name;
          EXPECT_EQ(HistoryText(result.History), *history) << c.name;
        }
      }
      ++run;
    }
    EXPECT_EQ(run, 15) << c.name;
    const std::string json = StudyJson(result);
    for (const char* part : c.json) EXPECT_NE(json.find(part), std::string::npos) << part;
    EXPECT_EQ(json.find("geometry") == std::string::npos, !IsFan(s.Geometry)) << c.name;
    EXPECT_EQ(json.find("region") == std::string::npos, c.region == TRegion::Whole()) << c.name;
    EXPECT_EQ(json.find("relaxation") == std::string::npos,
              s.Method == TReconstructionMethod::Fbp || s.Method == TReconstructionMethod::Cgls)
        << c.name;
  }
}

}  // namespace
}  // namespace quarvel
