// The surface's fast paths against its general per-pixel path: the same drawing on two
// surfaces with the same speckled background, one with the fast paths off, must give
// the same pixels and leave the same pattern position (shown by a styled line drawn
// on afterwards without moving the pen).

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/PixelSurface.h"

namespace quarvel {
namespace {

constexpr int kW = 48, kH = 36;

struct Pen {
  int width;
  TPenStyle style;
  TPenMode mode;
  int bkMode;
};

struct Pair {
  Pair() : fast(kW, kH), general(kW, kH) {
    for (TBitmap* b : {&fast, &general})
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
          b->ScanLine(y)[x] = 0xFF000000u | ((x * 2654435761u + y * 40503u) & 0xFFFFFFu);
    general.Raster().SetFastPaths(false);
  }
  void Both(const std::function<void(TRaster&)>& draw) {
    draw(fast.Raster());
    draw(general.Raster());
  }
  // The first pixel that differs, or "" when none does.
  std::string Difference() const {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        if (fast.PixelAt(x, y) != general.PixelAt(x, y))
          return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
    return "";
  }
  TBitmap fast, general;
};

void PrepareSurface(TRaster& s, const Pen& pen, const TRect* clip, bool monochrome) {
  s.SetPen(0x0000FF, pen.width, pen.style);
  s.SetMixMode(pen.mode);
  s.SetBkMode(pen.bkMode);
  s.SetBkColor(0x00FF00);
  s.Surface().SetMonochrome(monochrome);
  if (clip) s.SetClip(*clip);
}

const Pen kPens[] = {
    {1, TPenStyle::psSolid, TPenMode::pmCopy, TRANSPARENT},
    {1, TPenStyle::psInsideFrame, TPenMode::pmCopy, TRANSPARENT},
    {1, TPenStyle::psDash, TPenMode::pmCopy, OPAQUE},
    {1, TPenStyle::psDot, TPenMode::pmCopy, TRANSPARENT},
    {1, TPenStyle::psDot, TPenMode::pmCopy, OPAQUE},
    {1, TPenStyle::psDashDot, TPenMode::pmCopy, OPAQUE},
    {1, TPenStyle::psDashDotDot, TPenMode::pmCopy, TRANSPARENT},
    {1, TPenStyle::psAlternate, TPenMode::pmCopy, OPAQUE},
    {1, TPenStyle::psSolid, TPenMode::pmNotXor, TRANSPARENT},
    {1, TPenStyle::psDot, TPenMode::pmXor, OPAQUE},
    {2, TPenStyle::psSolid, TPenMode::pmCopy, TRANSPARENT},
    {3, TPenStyle::psDot, TPenMode::pmCopy, OPAQUE},
};

const TRect kClipInside{5, 4, 40, 30};
const TRect kClipOutside{60, 50, 90, 80};
const TRect* const kClips[] = {nullptr, &kClipInside, &kClipOutside};

TEST(FastPaths, LinesMatchTheGeneralPath) {
  const struct {
    const char* name;
    std::vector<TPoint> points;  // a move to the first, then lines to the others
  } cases[] = {
      {"rightwards", {{2, 3}, {45, 3}}},
      {"leftwards", {{45, 7}, {1, 7}}},
      {"downwards", {{9, 1}, {9, 34}}},
      {"upwards", {{12, 34}, {12, 0}}},
      {"zero length", {{4, 4}, {4, 4}}},
      {"through the clip edges", {{-10, 4}, {60, 4}, {60, 29}, {-10, 29}}},
      {"off the canvas", {{-20, -5}, {100, -5}, {100, 80}}},
      {"huge coordinates",
       {{-100000, 10}, {100000, 10}, {100000, -100000}, {20, -100000}, {20, 100000}}},
      {"sloped, all octants",
       {{24, 18}, {40, 22}, {28, 34}, {20, 33}, {6, 25}, {3, 12}, {18, 1}, {30, 2}, {46, 14}}},
      {"sloped, off the canvas", {{-30, -40}, {70, 60}, {-5, 90}}},
      {"polyline of mixed sides", {{3, 3}, {30, 3}, {30, 20}, {10, 28}, {10, 5}}},
  };
  for (const auto& c : cases)
    for (const Pen& pen : kPens)
      for (const TRect* clip : kClips)
        for (bool monochrome : {false, true})
          for (bool polyline : {false, true}) {
            Pair pair;
            pair.Both([&](TRaster& s) {
              PrepareSurface(s, pen, clip, monochrome);
              if (polyline) {
                s.Polyline(c.points.data(), static_cast<int>(c.points.size()));
                s.MoveTo(c.points.back().X, c.points.back().Y);
              } else {
                s.MoveTo(c.points[0].X, c.points[0].Y);
                for (std::size_t i = 1; i < c.points.size(); ++i)
                  s.LineTo(c.points[i].X, c.points[i].Y);
              }
              // The pattern position carries on into a styled line from the pen.
              s.SetPen(0xFF00FF, 1, TPenStyle::psDashDotDot);
              s.SetMixMode(TPenMode::pmCopy);
              s.Surface().SetMonochrome(false);
              s.RemoveClip();
              s.LineTo(kW - 1, kH - 1);
            });
            EXPECT_EQ(pair.Difference(), "")
                << c.name << ", pen width " << pen.width << " style " << static_cast<int>(pen.style)
                << " mode " << static_cast<int>(pen.mode) << (clip ? ", clipped" : "")
                << (monochrome ? ", monochrome" : "") << (polyline ? ", polyline" : ", line to");
          }
}

TEST(FastPaths, RectanglesMatchTheGeneralPath) {
  const struct {
    const char* name;
    int x0, y0, x1, y1;
  } cases[] = {
      {"marker 3 x 3", 10, 10, 13, 13},
      {"2 x 2, no inside", 4, 4, 6, 6},
      {"one pixel wide", 7, 3, 8, 20},
      {"one pixel high", 3, 7, 30, 8},
      {"large", 2, 3, 45, 33},
      {"reversed corners", 30, 25, 8, 6},
      {"across the clip edges", 1, 2, 44, 34},
      {"off the canvas", -20, -20, -5, -5},
      {"partly off", -3, -4, 4, 5},
      {"far beyond the canvas", -100000, -100000, 100000, 100000},
  };
  const struct {
    const char* name;
    TColor color;
    TBrushStyle style;
  } brushes[] = {{"solid brush", 0x00FFFF, TBrushStyle::bsSolid},
                 {"clear brush", 0, TBrushStyle::bsClear},
                 {"hatched brush", 0x808080, TBrushStyle::bsCross}};
  for (const auto& c : cases)
    for (const Pen& pen : kPens)
      for (const auto& brush : brushes)
        for (const TRect* clip : kClips)
          for (bool monochrome : {false, true}) {
            Pair pair;
            pair.Both([&](TRaster& s) {
              PrepareSurface(s, pen, clip, monochrome);
              s.SetBrush(brush.color, brush.style);
              s.Rectangle(c.x0, c.y0, c.x1, c.y1);
              s.SetPen(0xFF00FF, 1, TPenStyle::psDashDotDot);
              s.SetMixMode(TPenMode::pmCopy);
              s.Surface().SetMonochrome(false);
              s.RemoveClip();
              s.LineTo(kW - 1, kH - 2);  // from the untouched pen position
            });
            EXPECT_EQ(pair.Difference(), "")
                << c.name << ", pen width " << pen.width << " style " << static_cast<int>(pen.style)
                << " mode " << static_cast<int>(pen.mode) << ", " << brush.name
                << (clip ? ", clipped" : "") << (monochrome ? ", monochrome" : "");
          }
}

// A batch of vertical lines (drawn in bands of rows where it can) against the same lines
// drawn one by one with a move and a line on the general path.
TEST(FastPaths, ColumnLinesMatchLinesDrawnOneByOne) {
  const struct {
    const char* name;
    std::vector<TColumnLine> lines;
  } cases[] = {
      {"stems from a foot, taller than a band", {{3, 34, 2}, {4, 34, 20}, {6, 34, 34}, {9, 34, 0}}},
      {"downwards and upwards, crossing",
       {{10, 1, 30}, {10, 30, 5}, {11, 12, 13}, {12, 13, 12}, {40, 35, 0}}},
      {"outside and across the clip edges", {{-1, 0, 30}, {47, 2, 9}, {48, 0, 36}, {5, -9, 50}}},
      {"huge coordinates", {{20, -100000, 100000}, {21, 100000, -100000}, {22, 2000000000, 7}}},
      {"one line", {{30, 4, 9}}},
  };
  for (const auto& c : cases)
    for (const Pen& pen : kPens)
      for (const TRect* clip : kClips)
        for (bool monochrome : {false, true}) {
          Pair pair;
          auto draw = [&](TRaster& s, bool batch) {
            PrepareSurface(s, pen, clip, monochrome);
            if (batch) {
              s.ColumnLines(c.lines.data(), static_cast<int>(c.lines.size()));
            } else {
              for (const TColumnLine& l : c.lines) {
                s.MoveTo(l.X, l.From);
                s.LineTo(l.X, l.To);
              }
            }
            s.SetPen(0xFF00FF, 1, TPenStyle::psDashDotDot);
            s.SetMixMode(TPenMode::pmCopy);
            s.Surface().SetMonochrome(false);
            s.RemoveClip();
            s.LineTo(kW - 1, kH - 3);  // from where the lines left the pen and its pattern
          };
          draw(pair.fast.Raster(), true);
          draw(pair.general.Raster(), false);
          EXPECT_EQ(pair.Difference(), "")
              << c.name << ", pen width " << pen.width << " style " << static_cast<int>(pen.style)
              << " mode " << static_cast<int>(pen.mode) << (clip ? ", clipped" : "")
              << (monochrome ? ", monochrome" : "");
        }
}

TEST(FastPaths, TextMatchesTheGeneralPath) {
  const TPoint places[] = {{4, 4},       {-20, 10},   {30, -6},   {40, 30},
                           {-100000, 5}, {100000, 5}, {5, 100000}};
  for (const TPoint& at : places)
    for (const TRect* clip : kClips)
      for (bool monochrome : {false, true})
        for (unsigned align : {TA_LEFT | TA_TOP, TA_CENTER | TA_BOTTOM})
          for (int bkMode : {TRANSPARENT, OPAQUE}) {
            Pair pair;
            pair.Both([&](TRaster& s) {
              s.SetFont({"Arial", 11});
              s.SetTextColor(0x2040C0);
              s.SetBkColor(0xE0E0E0);
              s.SetBkMode(bkMode);
              s.SetTextAlign(align);
              s.Surface().SetMonochrome(monochrome);
              if (clip) s.SetClip(*clip);
              s.TextOut(at.X, at.Y, "W0 jg, 12.5");
            });
            EXPECT_EQ(pair.Difference(), "")
                << "at " << at.X << ", " << at.Y << (clip ? ", clipped" : "")
                << (monochrome ? ", monochrome" : "") << ", mode " << bkMode;
          }
}

}  // namespace
}  // namespace quarvel
