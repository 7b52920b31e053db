// Lines drawn under a clip walk only the steps that can reach it: the pixels inside the
// clip, and the pattern position a styled line leaves behind, must be those of the same
// line walked from end to end on a surface that holds all of it.

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/Bitmap.h"
#include "platform/PixelSurface.h"
#include "PixelAsserts.h"

namespace quarvel {
namespace {

constexpr int kSize = 320;
const TRect kWindow{140, 120, 176, 150};

struct Pen {
  const char* name;
  int width;
  TPenStyle style;
  TPenMode mode;
  bool fastPaths;
};

const Pen kPens[] = {
    {"solid, fast path", 1, TPenStyle::psSolid, TPenMode::pmCopy, true},
    {"dash-dot-dot, opaque", 1, TPenStyle::psDashDotDot, TPenMode::pmCopy, false},
    {"alternate", 1, TPenStyle::psAlternate, TPenMode::pmCopy, false},
    {"dot, xor", 1, TPenStyle::psDot, TPenMode::pmXor, true},
    {"3 pixels, not-xor band", 3, TPenStyle::psSolid, TPenMode::pmNotXor, true},
    {"4 pixels, copy", 4, TPenStyle::psDash, TPenMode::pmCopy, false},
};

void Draw(TRaster& s, const Pen& pen, TPoint from, TPoint to, bool clipped) {
  s.SetFastPaths(pen.fastPaths);
  s.SetPen(0x0000FF, pen.width, pen.style);
  s.SetMixMode(pen.mode);
  s.SetBkMode(OPAQUE);
  s.SetBkColor(0x00FF00);
  if (clipped) s.SetClip(kWindow);
  s.MoveTo(from.X, from.Y);
  s.LineTo(to.X, to.Y);
  // Carries the pattern position on, back across the window.
  s.SetPen(0xFF00FF, 1, TPenStyle::psDashDot);
  s.SetFastPaths(false);
  s.LineTo(kWindow.Left + 3, kWindow.Bottom - 2);
}

std::string FirstDifference(const TBitmap& a, const TBitmap& b) {
  for (int y = kWindow.Top; y < kWindow.Bottom; ++y)
    for (int x = kWindow.Left; x < kWindow.Right; ++x)
      if (a.PixelAt(x, y) != b.PixelAt(x, y))
        return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
  return "";
}

TEST(LineWalk, ClippedLinesMatchTheWholeWalk) {
  const struct {
    const char* name;
    TPoint from, to;
  } lines[] = {
      {"shallow, rightwards across", {3, 100}, {316, 171}},
      {"shallow, leftwards across", {316, 161}, {2, 118}},
      {"steep, downwards across", {120, 2}, {190, 318}},
      {"steep, upwards across", {175, 317}, {151, 1}},
      {"diagonal through a corner", {20, 0}, {319, 299}},
      {"diagonal across the left edge", {100, 95}, {300, 295}},
      {"two down for one across, through the top edge", {150, 100}, {200, 200}},
      {"two down for one across, upwards", {201, 199}, {151, 99}},
      {"starts inside", {150, 130}, {4, 300}},
      {"ends inside", {310, 5}, {160, 140}},
      {"passes beside", {0, 0}, {319, 100}},
      {"steep, beside the major range", {100, 0}, {130, 319}},
      {"horizontal", {1, 133}, {318, 133}},
      {"vertical", {150, 318}, {150, 0}},
  };
  for (const auto& line : lines)
    for (const Pen& pen : kPens) {
      TBitmap whole(kSize, kSize), clipped(kSize, kSize);
      Draw(whole.Raster(), pen, line.from, line.to, false);
      Draw(clipped.Raster(), pen, line.from, line.to, true);
      EXPECT_EQ(FirstDifference(whole, clipped), "") << line.name << ", " << pen.name;
    }
}

TEST(LineWalk, LinesOfBillionsOfStepsShowTheirVisibleSteps) {
  // A deep zoom puts line ends near the limits of int; only the steps near the window
  // are walked, so these finish at once, and the visible part is where the line runs.
  TBitmap b(kSize, kSize);
  TRaster& s = b.Raster();
  s.SetPen(0x0000FF, 1, TPenStyle::psSolid);
  s.MoveTo(INT_MIN, 160);
  s.LineTo(INT_MAX, 160);
  s.MoveTo(INT_MIN, INT_MIN);
  s.LineTo(INT_MAX, INT_MAX);
  // A styled sloped line takes the general path; its middle third is at y = 41.
  s.SetPen(0x00FF00, 1, TPenStyle::psDot);
  s.SetBkMode(TRANSPARENT);
  s.MoveTo(INT_MIN, 40);
  s.LineTo(INT_MAX, 42);
  constexpr TColor kInk = 0x0000FF;
  EXPECT_EQ(testing::CountOfColor(s, kInk, 0, kSize, 160, 161), kSize);
  // One pixel a column along the diagonal, within 1 of it (its ends are not quite
  // symmetric about 0).
  for (int x = 10; x < kSize - 1; x += 37)
    EXPECT_EQ(testing::CountOfColor(s, kInk, x, x + 1, x - 1, x + 2), 1) << x;
  // Three on, three off, counted from the line's start 2^31 + x steps left of column x.
  for (int x = 0; x < kSize; ++x)
    EXPECT_EQ(ColorOfPixel(s.Surface().PixelAt(x, 41)) == 0x00FF00,
              (static_cast<long long>(x) - INT_MIN) % 6 < 3)
        << x;
}

}  // namespace
}  // namespace quarvel
