// The settings the chart stores but never draws, as one group: each keeps its default,
// a setter given the value held does nothing, another value is stored and repaints once
// (through the chart's invalidation), and the repainted picture is the same pixels.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "MainChart.h"

namespace quarvel {
namespace {

using testing::MainChart;

std::vector<uint32_t> Pixels(const TBitmap& b) {
  std::vector<uint32_t> p;
  for (int y = 0; y < b.Height(); ++y) p.insert(p.end(), b.ScanLine(y), b.ScanLine(y) + b.Width());
  return p;
}

TEST(StoredSettings, KeepTheirDefaultsStoreChangesRepaintOnceAndDrawNothing) {
  using Get = std::function<double(MainChart&)>;
  using Put = std::function<void(MainChart&, double)>;
  const struct {
    const char* name;
    double defaultValue, other;
    Get get;
    Put set;
    int repaints;  // for a change: 1, or 0 for a plain field
  } settings[] = {
      {"axis Logarithmic", 0, 1, [](MainChart& v) { return v.chart.LeftAxis().Logarithmic(); },
       [](MainChart& v, double x) { v.chart.LeftAxis().SetLogarithmic(x != 0); }, 1},
      {"axis LogarithmicBase", 10, 2,
       [](MainChart& v) { return v.chart.LeftAxis().LogarithmicBase(); },
       [](MainChart& v, double x) { v.chart.LeftAxis().SetLogarithmicBase(static_cast<int>(x)); },
       1},
      {"chart MaxPointsPerPage", 0, 5, [](MainChart& v) { return v.chart.MaxPointsPerPage(); },
       [](MainChart& v, double x) { v.chart.SetMaxPointsPerPage(static_cast<int>(x)); }, 1},
      {"chart Page", 1, 2, [](MainChart& v) { return v.chart.Page(); },
       [](MainChart& v, double x) { v.chart.SetPage(static_cast<int>(x)); }, 1},
      {"chart ScaleLastPage", 1, 0, [](MainChart& v) { return v.chart.ScaleLastPage(); },
       [](MainChart& v, double x) { v.chart.SetScaleLastPage(x != 0); }, 1},
      {"chart View3DWalls", 1, 0, [](MainChart& v) { return v.chart.View3DWalls(); },
       [](MainChart& v, double x) { v.chart.SetView3DWalls(x != 0); }, 1},
      {"series MarksVisible", 1, 0, [](MainChart& v) { return v.series.MarksVisible(); },
       [](MainChart& v, double x) { v.series.SetMarksVisible(x != 0); }, 1},
      {"series MarksArrowLength", 8, 20, [](MainChart& v) { return v.series.MarksArrowLength; },
       [](MainChart& v, double x) { v.series.MarksArrowLength = static_cast<int>(x); }, 0},
      {"series Dark3D", 1, 0, [](MainChart& v) { return v.series.Dark3D(); },
       [](MainChart& v, double x) { v.series.SetDark3D(x != 0); }, 1},
      {"pointer Dark3D", 1, 0, [](MainChart& v) { return v.series.Pointer().Dark3D(); },
       [](MainChart& v, double x) { v.series.Pointer().SetDark3D(x != 0); }, 1},
      {"pointer Draw3D", 1, 0, [](MainChart& v) { return v.series.Pointer().Draw3D(); },
       [](MainChart& v, double x) { v.series.Pointer().SetDraw3D(x != 0); }, 1},
#define QUARVEL_VIEW3D_ROW(Name, def, other, Type)                                          \
  {"3D " #Name,                                                                             \
   def,                                                                                     \
   other,                                                                                   \
   [](MainChart& v) { return v.chart.View3DOptions().Name(); },                             \
   [](MainChart& v, double x) { v.chart.View3DOptions().Set##Name(static_cast<Type>(x)); }, \
   1}
      QUARVEL_VIEW3D_ROW(Elevation, 345, 300, int),
      QUARVEL_VIEW3D_ROW(HorizOffset, 0, 7, int),
      QUARVEL_VIEW3D_ROW(Orthogonal, 1, 0, bool),
      QUARVEL_VIEW3D_ROW(Perspective, 15, 40, int),
      QUARVEL_VIEW3D_ROW(Rotation, 345, 10, int),
      QUARVEL_VIEW3D_ROW(Tilt, 0, 5, int),
      QUARVEL_VIEW3D_ROW(VertOffset, 0, -7, int),
      QUARVEL_VIEW3D_ROW(Zoom, 100, 150, int),
      QUARVEL_VIEW3D_ROW(ZoomText, 1, 0, bool),
#undef QUARVEL_VIEW3D_ROW
  };
  for (const auto& s : settings) {
    MainChart v(200, 150,
                [](TChart& chart, TLineSeries& series) { series.SetParentChart(&chart); });
    for (double x : {1.0, 2.0, 4.0, 3.0}) v.series.AddPoint(x, x * x);
    v.Redraw();
    const std::vector<uint32_t> before = Pixels(v.host.Bitmap());
    EXPECT_EQ(s.get(v), s.defaultValue) << s.name;
    const int invalidations = v.host.Invalidations;
    s.set(v, s.defaultValue);
    EXPECT_EQ(v.host.Invalidations, invalidations) << s.name << ": the value held repaints";
    s.set(v, s.other);
    EXPECT_EQ(s.get(v), s.other) << s.name;
    EXPECT_EQ(v.host.Invalidations, invalidations + s.repaints) << s.name;
    v.Redraw();
    EXPECT_EQ(Pixels(v.host.Bitmap()), before) << s.name << " changed the picture";
  }
}

}  // namespace
}  // namespace quarvel
