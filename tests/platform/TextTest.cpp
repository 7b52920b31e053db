#include <gtest/gtest.h>

#include <QFontInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

#include <tuple>
#include <vector>

#include "PixelAsserts.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/Color.h"
#include "platform/QtRuntime.h"
#include "platform/TextEngine.h"

namespace quarvel {
namespace {

using testing::PixelsOf;

FontFace Arial8() {
  FontFace f;
  f.name = "Arial";
  f.pixelSize = 11;  // 8 points at 96 pixels per inch
  return f;
}

// Fails clearly when the fonts or the DPI settings are not what the pictures assume.
TEST(TextEngine, DeterministicFontSetup) {
  ASSERT_TRUE(TextEngineAvailable());
  EXPECT_DOUBLE_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInch(), 96.0);
  EXPECT_DOUBLE_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 1.0);
  QFont arial("Arial");
  arial.setPixelSize(11);
  EXPECT_EQ(QFontInfo(arial).family(), "Liberation Sans") << "install fonts-liberation2";

  const FontCell cell = FontCellOf(Arial8());
  EXPECT_EQ(cell.height, 12);
  EXPECT_EQ(cell.ascent, 10);
  EXPECT_EQ(cell.descent, 2);
  EXPECT_EQ(MeasureText(Arial8(), "W").Width, 10);
  EXPECT_EQ(MeasureText(Arial8(), "0").Width, 6);
  EXPECT_EQ(MeasureText(Arial8(), "50").Width, 12);
  EXPECT_EQ(MeasureText(Arial8(), "Нулевая проекция").Width, 94);
}

TEST(TextEngine, MeasuresThroughTheCanvasFont) {
  TBitmap bitmap(10, 10);
  TCanvas& c = bitmap.Canvas();
  c.Font().SetName("Arial");
  c.Font().SetSize(8);
  EXPECT_EQ(c.Font().Height(), -11);
  EXPECT_EQ(c.TextExtent("").Width, 0);
  EXPECT_EQ(c.TextExtent("W"), (TSize{10, 12}));
  c.Font().SetName("MS Sans Serif");  // the layout's font, substituted
  EXPECT_EQ(c.TextExtent("W"), (TSize{10, 12}));
}

struct TextSheet {
  TextSheet() : bitmap(60, 30) {
    // A striped background, so that untouched pixels can be told from painted ones.
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 60; ++x) bitmap.Raster().SetPixel(x, y, (x + y) % 2 ? clYellow : clAqua);
    bitmap.Raster().SetFont(Arial8());
    bitmap.Raster().SetTextColor(clBlue);
    bitmap.Raster().SetBkColor(clRed);
  }
  TBitmap bitmap;
  TRaster& s() { return bitmap.Raster(); }
};

TEST(TextOut, TransparentModePaintsOnlyGlyphs) {
  TextSheet sheet;
  sheet.s().SetBkMode(TRANSPARENT);
  sheet.s().TextOut(5, 4, "20,5");
  const auto ink = PixelsOf(sheet.s(), clBlue);
  EXPECT_GT(ink.size(), 20u);
  EXPECT_TRUE(PixelsOf(sheet.s(), clRed).empty());
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) {
      if (ink.count({x, y})) continue;
      ASSERT_EQ(ColorOfPixel(sheet.s().Surface().PixelAt(x, y)), (x + y) % 2 ? clYellow : clAqua)
          << x << "," << y;
    }
  for (const auto& [x, y] : ink) {
    EXPECT_GE(x, 5);
    EXPECT_LT(x, 5 + MeasureText(Arial8(), "20,5").Width);
    EXPECT_GE(y, 4);
    EXPECT_LT(y, 4 + 12);
  }
}

TEST(TextOut, OpaqueModeFillsTheCellAndAlignmentMovesIt) {
  const int width = MeasureText(Arial8(), "123").Width;
  const struct {
    const char* name;
    unsigned align;
    int left, top;
  } cases[] = {
      {"left, top", TA_LEFT | TA_TOP, 30, 14},
      {"right, top", TA_RIGHT | TA_TOP, 30 - width, 14},
      {"centre, top", TA_CENTER | TA_TOP, 30 - width / 2, 14},
      {"left, bottom: the cell above the point", TA_LEFT | TA_BOTTOM, 30, 14 - 12},
      {"left, baseline: the ascent above the point", TA_LEFT | TA_BASELINE, 30, 14 - 10},
  };
  for (const auto& c : cases) {
    TextSheet sheet;
    sheet.s().SetBkMode(OPAQUE);
    sheet.s().SetTextAlign(c.align);
    sheet.s().TextOut(30, 14, "123");
    auto cell = PixelsOf(sheet.s(), clRed);
    const auto ink = PixelsOf(sheet.s(), clBlue);
    cell.insert(ink.begin(), ink.end());
    EXPECT_EQ(cell, testing::RectPixels(c.left, c.top, c.left + width, c.top + 12)) << c.name;
  }
}

TEST(TextOut, SameTextSamePixels) {
  TextSheet a, b;
  a.s().TextOut(3, 3, "0.001");
  b.s().TextOut(3, 3, "0.001");
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x)
      ASSERT_EQ(a.s().Surface().PixelAt(x, y), b.s().Surface().PixelAt(x, y));
}

TEST(TextOut, RotatedByNinetyDegreesRunsUpwards) {
  TBitmap bitmap(40, 60);
  TRaster& s = bitmap.Raster();
  s.SetFont(Arial8());
  s.SetTextColor(clWhite);
  s.RotatedTextOut(10, 50, 90, "1234");
  const auto ink = PixelsOf(s, clWhite);
  ASSERT_FALSE(ink.empty());
  for (const auto& [x, y] : ink) {
    EXPECT_GE(x, 10);
    EXPECT_LT(x, 10 + 12);
    EXPECT_LE(y, 50);
    EXPECT_GT(y, 50 - MeasureText(Arial8(), "1234").Width - 1);
  }
}

// A sink takes each text with the cell it would have filled (here aligned right); the
// surface gets the opaque background but no glyph. A turned text comes with the point it
// turns about and its unturned cell relative to that point.
TEST(TextOut, ASinkTakesTheTextWhereItsCellWouldBe) {
  const int width = MeasureText(Arial8(), "123").Width;
  TextSheet sheet;
  std::vector<TTextRun> runs;
  sheet.s().SetTextSink([&runs](const TTextRun& r) { runs.push_back(r); });
  sheet.s().SetClip({1, 2, 50, 28});
  sheet.s().SetBkMode(OPAQUE);
  sheet.s().SetTextAlign(TA_RIGHT | TA_TOP);
  sheet.s().TextOut(30, 14, "123");
  sheet.s().SetTextAlign(TA_LEFT | TA_BOTTOM);
  sheet.s().RotatedTextOut(10, 20, 90, "1234");
  EXPECT_TRUE(PixelsOf(sheet.s(), clBlue).empty());
  EXPECT_EQ(PixelsOf(sheet.s(), clRed), testing::RectPixels(30 - width, 14, 30, 26));
  ASSERT_EQ(runs.size(), 2u);
  const TTextRun& r = runs[0];
  EXPECT_EQ(std::tuple(r.X, r.Y, r.Degrees, r.Text, r.Color),
            std::tuple(30 - width, 14, 0.0, "123", clBlue));
  EXPECT_EQ(r.Font, Arial8());
  EXPECT_EQ(r.Clip, (TRect{1, 2, 50, 28}));
  const TTextRun& t = runs[1];
  EXPECT_EQ(std::tuple(t.X, t.Y, t.Degrees, t.CellX, t.CellY), std::tuple(10, 20, 90.0, 0, -12));
  sheet.s().SetTextSink({});  // without it, glyphs again
  sheet.s().TextOut(30, 14, "123");
  EXPECT_FALSE(PixelsOf(sheet.s(), clBlue).empty());
}

TEST(SystemColors, ClassicTableAndToolkitPalette) {
  ResetSystemColors();
  EXPECT_EQ(ColorToRGB(clBtnFace), 0xC0C0C0u);
  EXPECT_EQ(ColorToRGB(clBtnShadow), 0x808080u);
  EXPECT_EQ(ColorToRGB(clBtnHighlight), 0xFFFFFFu);
  EXPECT_EQ(ColorToRGB(clWindowText), 0u);
  EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
  EXPECT_EQ(ColorToRGB(0x12345678), 0x345678u);  // not a system colour: top byte dropped

  LoadSystemColorsFromToolkit();
  const QColor face = QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
  EXPECT_EQ(ColorToRGB(clBtnFace),
            static_cast<TColor>(face.red() | face.green() << 8 | face.blue() << 16));
  ResetSystemColors();
}

}  // namespace
}  // namespace quarvel
