#include "platform/PixelSurface.h"

#include <gtest/gtest.h>

#include <vector>

#include "PixelAsserts.h"
#include "platform/Bitmap.h"

namespace quarvel {
namespace {

using testing::FramePixels;
using testing::PixelSet;
using testing::PixelsOf;
using testing::RectPixels;

// A white surface with a black one-pixel solid copy pen and a clear brush.
struct Sheet {
  explicit Sheet(int w = 40, int h = 30) : bitmap(w, h) {
    s().SetBrush(clWhite, TBrushStyle::bsSolid);
    s().FillRect({0, 0, w, h});
    s().SetPen(clBlack, 1, TPenStyle::psSolid);
    s().SetBrush(clWhite, TBrushStyle::bsClear);
  }
  TRaster& s() { return bitmap.Raster(); }
  std::vector<uint32_t> Snapshot() {
    return {bitmap.ScanLine(0), bitmap.ScanLine(0) + bitmap.Width() * bitmap.Height()};
  }
  TBitmap bitmap;
};

TEST(Lines, PaintTheStartAndStopBeforeTheEnd) {
  const struct {
    const char* name;
    int x0, y0, x1, y1;
    PixelSet expected;
  } cases[] = {
      {"rightwards", 0, 0, 5, 0, RectPixels(0, 0, 5, 1)},
      {"leftwards", 5, 2, 0, 2, RectPixels(1, 2, 6, 3)},
      {"downwards", 3, 1, 3, 4, RectPixels(3, 1, 4, 4)},
      {"upwards", 3, 4, 3, 1, RectPixels(3, 2, 4, 5)},
      {"diagonal", 0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
      {"zero length", 4, 4, 4, 4, {}},
  };
  for (const auto& c : cases) {
    Sheet sheet;
    sheet.s().MoveTo(c.x0, c.y0);
    sheet.s().LineTo(c.x1, c.y1);
    EXPECT_EQ(PixelsOf(sheet.s(), clBlack), c.expected) << c.name;
    EXPECT_EQ(sheet.s().PenPos(), (TPoint{c.x1, c.y1})) << c.name;
  }
}

TEST(Lines, SlopedLinesPaintOnePixelPerStepOfTheLongerAxis) {
  Sheet sheet;
  sheet.s().MoveTo(2, 3);
  sheet.s().LineTo(17, 9);
  const PixelSet painted = PixelsOf(sheet.s(), clBlack);
  EXPECT_EQ(painted.size(), 15u);
  EXPECT_TRUE(painted.count({2, 3}));
  EXPECT_FALSE(painted.count({17, 9}));
  for (const auto& [x, y] : painted) EXPECT_NEAR(y, 3 + (x - 2) * 6.0 / 15.0, 0.5 + 1e-9);
}

TEST(Lines, WidePenIsACentredBand) {
  Sheet sheet;
  sheet.s().SetPen(clBlack, 2, TPenStyle::psSolid);
  sheet.s().MoveTo(5, 10);
  sheet.s().LineTo(15, 10);
  EXPECT_EQ(PixelsOf(sheet.s(), clBlack), RectPixels(4, 9, 15, 11));
  Sheet three;
  three.s().SetPen(clBlack, 3, TPenStyle::psDot);  // wide pens ignore the style
  three.s().MoveTo(5, 5);
  three.s().LineTo(5, 8);
  EXPECT_EQ(PixelsOf(three.s(), clBlack), RectPixels(4, 4, 7, 9));
}

TEST(Lines, StyledPensInOpaqueAndTransparentMode) {
  for (int mode : {OPAQUE, TRANSPARENT}) {
    Sheet sheet;
    sheet.s().SetBkColor(clRed);
    sheet.s().SetBkMode(mode);
    sheet.s().SetPen(clBlack, 1, TPenStyle::psDot);
    sheet.s().MoveTo(0, 0);
    sheet.s().LineTo(14, 0);
    PixelSet on = {{0, 0}, {1, 0}, {2, 0}, {6, 0}, {7, 0}, {8, 0}, {12, 0}, {13, 0}};
    PixelSet off = {{3, 0}, {4, 0}, {5, 0}, {9, 0}, {10, 0}, {11, 0}};
    EXPECT_EQ(PixelsOf(sheet.s(), clBlack), on);
    EXPECT_EQ(PixelsOf(sheet.s(), clRed), mode == OPAQUE ? off : PixelSet{});
  }
}

TEST(Lines, AlternatePenPaintsEveryOtherPixelAcrossAPolyline) {
  Sheet sheet;
  sheet.s().SetPen(clBlue, 1, TPenStyle::psAlternate);
  const TPoint path[3] = {{0, 0}, {5, 0}, {5, 4}};
  sheet.s().Polyline(path, 3);
  EXPECT_EQ(PixelsOf(sheet.s(), clBlue), (PixelSet{{0, 0}, {2, 0}, {4, 0}, {5, 1}, {5, 3}}));
}

TEST(Lines, ClearPenPaintsNothing) {
  Sheet sheet;
  sheet.s().SetPen(clBlack, 1, TPenStyle::psClear);
  sheet.s().MoveTo(0, 0);
  sheet.s().LineTo(10, 10);
  EXPECT_TRUE(PixelsOf(sheet.s(), clBlack).empty());
}

TEST(Rectangles, OutlineAndFillAreHalfOpen) {
  Sheet sheet(130, 230);
  sheet.s().Rectangle(10, 20, 111, 221);
  EXPECT_EQ(PixelsOf(sheet.s(), clBlack), FramePixels(10, 20, 111, 221));

  Sheet filled;
  filled.s().SetBrush(clRed, TBrushStyle::bsSolid);
  filled.s().Rectangle(2, 3, 7, 9);
  EXPECT_EQ(PixelsOf(filled.s(), clBlack), FramePixels(2, 3, 7, 9));
  EXPECT_EQ(PixelsOf(filled.s(), clRed), RectPixels(3, 4, 6, 8));

  Sheet noOutline;
  noOutline.s().SetPen(clBlack, 1, TPenStyle::psClear);
  noOutline.s().SetBrush(clRed, TBrushStyle::bsSolid);
  noOutline.s().Rectangle(2, 3, 7, 9);
  EXPECT_TRUE(PixelsOf(noOutline.s(), clBlack).empty());
  EXPECT_EQ(PixelsOf(noOutline.s(), clRed), RectPixels(2, 3, 7, 9));

  Sheet reversed;
  reversed.s().Rectangle(7, 9, 2, 3);
  EXPECT_EQ(PixelsOf(reversed.s(), clBlack), FramePixels(2, 3, 7, 9));
}

TEST(Fills, FillRectClipAndCopyAreHalfOpen) {
  Sheet sheet;
  sheet.s().SetBrush(clRed, TBrushStyle::bsSolid);
  sheet.s().SetMixMode(TPenMode::pmXor);  // FillRect copies whatever the mix mode
  sheet.s().FillRect({3, 4, 8, 6});
  EXPECT_EQ(PixelsOf(sheet.s(), clRed), RectPixels(3, 4, 8, 6));

  Sheet clipped;
  clipped.s().SetClip({5, 5, 10, 8});
  clipped.s().SetBrush(clRed, TBrushStyle::bsSolid);
  clipped.s().FillRect({0, 0, 40, 30});
  EXPECT_EQ(PixelsOf(clipped.s(), clRed), RectPixels(5, 5, 10, 8));
  clipped.s().RemoveClip();
  clipped.s().SetPixel(0, 0, clBlue);
  EXPECT_EQ(PixelsOf(clipped.s(), clBlue), (PixelSet{{0, 0}}));

  TBitmap patch(3, 2);
  patch.Raster().SetBrush(clBlue, TBrushStyle::bsSolid);
  patch.Raster().FillRect({0, 0, 3, 2});
  Sheet target;
  target.s().SetClip({0, 0, 20, 11});
  target.s().CopyFrom(patch.Surface(), 18, 10);  // partly outside the clip
  target.s().CopyFrom(patch.Surface(), -1, -1);  // partly outside the surface
  EXPECT_EQ(PixelsOf(target.s(), clBlue), (PixelSet{{18, 10}, {19, 10}, {0, 0}, {1, 0}}));
}

TEST(Fills, HatchBrushLeavesOrPaintsItsGaps) {
  for (int mode : {OPAQUE, TRANSPARENT}) {
    Sheet sheet(16, 16);
    sheet.s().SetBrush(clBlue, TBrushStyle::bsHorizontal);
    sheet.s().SetBkColor(clRed);
    sheet.s().SetBkMode(mode);
    sheet.s().FillRect({0, 0, 16, 16});
    EXPECT_EQ(PixelsOf(sheet.s(), clBlue).size(), 32u);
    EXPECT_EQ(PixelsOf(sheet.s(), clRed).size(), mode == OPAQUE ? 224u : 0u);
  }
}

TEST(Shapes, PolygonAndEllipseStayInsideTheirBoxes) {
  Sheet poly;
  poly.s().SetPen(clBlack, 1, TPenStyle::psClear);
  poly.s().SetBrush(clRed, TBrushStyle::bsSolid);
  const TPoint box[4] = {{4, 5}, {12, 5}, {12, 9}, {4, 9}};
  poly.s().Polygon(box, 4);
  EXPECT_EQ(PixelsOf(poly.s(), clRed), RectPixels(4, 5, 12, 9));

  Sheet ellipse;
  ellipse.s().SetBrush(clRed, TBrushStyle::bsSolid);
  ellipse.s().Ellipse(10, 5, 30, 25);
  const PixelSet outline = PixelsOf(ellipse.s(), clBlack), inside = PixelsOf(ellipse.s(), clRed);
  for (const auto& p : outline) EXPECT_TRUE(RectPixels(10, 5, 30, 25).count(p));
  EXPECT_TRUE(outline.count({10, 15}) && outline.count({29, 15}) && outline.count({20, 5}) &&
              outline.count({20, 24}));
  EXPECT_TRUE(inside.count({20, 15}));
  EXPECT_FALSE(inside.count({10, 5}) || outline.count({10, 5}));  // corners stay outside
}

TEST(MixModes, NotXorDrawnTwiceRestoresEveryPixel) {
  Sheet sheet;
  sheet.s().SetBrush(clYellow, TBrushStyle::bsSolid);
  sheet.s().FillRect({5, 5, 25, 20});  // a picture to draw over
  sheet.s().SetPen(clRed, 1, TPenStyle::psSolid);
  sheet.s().SetBrush(clBlue, TBrushStyle::bsSolid);
  sheet.s().SetMixMode(TPenMode::pmNotXor);
  const std::vector<uint32_t> before = sheet.Snapshot();
  auto draw = [&] {
    sheet.s().MoveTo(0, 0);
    sheet.s().LineTo(39, 29);
    sheet.s().Rectangle(3, 3, 30, 22);
    sheet.s().Ellipse(8, 8, 20, 16);
    const TPoint tri[3] = {{1, 28}, {20, 12}, {38, 28}};
    sheet.s().Polygon(tri, 3);
  };
  draw();
  EXPECT_NE(sheet.Snapshot(), before);
  draw();
  EXPECT_EQ(sheet.Snapshot(), before);
}

TEST(MixModes, TableOfResults) {
  const struct {
    const char* name;
    TPenMode mode;
    TColor expected;  // pen 0x0000FF over 0x00FF0F
  } cases[] = {
      {"copy: the pen", TPenMode::pmCopy, 0x0000FF},
      {"xor", TPenMode::pmXor, 0x00FFF0},
      {"not xor", TPenMode::pmNotXor, 0xFF000F},
      {"merge: or", TPenMode::pmMerge, 0x00FFFF},
      {"mask: and", TPenMode::pmMask, 0x00000F},
      {"not: the screen inverted", TPenMode::pmNot, 0xFF00F0},
      {"nop: the screen", TPenMode::pmNop, 0x00FF0F},
      {"black", TPenMode::pmBlack, 0x000000},
      {"white", TPenMode::pmWhite, 0xFFFFFF},
      {"not copy: the pen inverted", TPenMode::pmNotCopy, 0xFFFF00},
  };
  for (const auto& c : cases) {
    Sheet sheet(2, 1);
    sheet.s().SetPixel(0, 0, 0x00FF0F);
    sheet.s().SetPen(0x0000FF, 1, TPenStyle::psSolid);
    sheet.s().SetMixMode(c.mode);
    sheet.s().MoveTo(0, 0);
    sheet.s().LineTo(1, 0);
    EXPECT_EQ(ColorOfPixel(sheet.s().Surface().PixelAt(0, 0)), c.expected) << c.name;
  }
}

TEST(Surface, AGivenBufferWithAStrideIsDrawnWithinItsRectangleOnly) {
  // A 6 x 4 surface over the middle of a 10 x 6 buffer: rows 10 pixels apart.
  std::vector<uint32_t> buffer(60, 0xFF000000u);
  TPixelSurface inner(buffer.data() + 12, 6, 4, 10);
  TRaster r(&inner);
  r.SetFont({"Arial", 11});
  r.TextOut(0, 0, "W");
  r.SetBrush(clRed, TBrushStyle::bsSolid);
  r.FillRect({-5, -5, 50, 50});
  r.SetPen(clBlue, 1, TPenStyle::psSolid);
  r.MoveTo(-3, -3);
  r.LineTo(20, 20);
  int outside = 0;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool in = x >= 2 && x < 8 && y >= 1 && y < 5;
      if (!in) outside += buffer[y * 10 + x] != 0xFF000000u;
    }
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(inner.PixelAt(5, 3), buffer[4 * 10 + 7]);
  EXPECT_EQ(ColorOfPixel(inner.PixelAt(1, 1)), clBlue);  // the diagonal, one row down
  EXPECT_EQ(ColorOfPixel(inner.PixelAt(5, 0)), clRed);
}

TEST(Surface, DegenerateSizesDrawNothingAndDoNotCrash) {
  for (const auto& [w, h] : {std::pair{0, 0}, {1, 1}, {0, 5}, {7, 0}}) {
    TBitmap bitmap(w, h);
    TRaster& s = bitmap.Raster();
    s.SetBrush(clRed, TBrushStyle::bsSolid);
    s.FillRect({-5, -5, 50, 50});
    s.MoveTo(-100, -100);
    s.LineTo(100, 100);
    s.Rectangle(-3, -3, 3, 3);
    s.Ellipse(-10, -10, 10, 10);
    s.SetBkMode(TRANSPARENT);
    s.TextOut(0, 0, "x");
    // Every pixel holds one of the colours drawn; nothing was written outside (the
    // sanitizer build checks that).
    EXPECT_EQ(PixelsOf(s, clRed).size(),
              static_cast<std::size_t>(w * h) - PixelsOf(s, clBlack).size());
  }
  TBitmap negative(-4, -4);
  EXPECT_EQ(negative.Width(), 0);
}

}  // namespace
}  // namespace quarvel
