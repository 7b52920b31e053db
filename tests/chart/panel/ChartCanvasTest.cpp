#include "chart/panel/ChartCanvas.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <vector>

#include "PixelAsserts.h"

namespace quarvel {
namespace {

using testing::FramePixels;
using testing::PixelSet;
using testing::PixelsOf;
using testing::RectPixels;

// A control's own surface and a chart canvas bound to it, as the panel creates them.
struct Control {
  explicit Control(int w = 200, int h = 240) : own(w, h) {
    own.Canvas().Brush().SetColor(clWhite);
    own.Canvas().FillRect({0, 0, w, h});
    canvas.BindSurface(&own.Canvas());
    canvas.ResetDrawingState();
  }
  TPixelSurface& Pixels() { return own.Surface(); }
  TBitmap own;
  TChartCanvas3D canvas;
};

TEST(ChartCanvas, LinesRectanglesAndThePlotClip) {
  Control c;
  c.canvas.DrawLine(0, 0, 5, 0);
  EXPECT_EQ(PixelsOf(c.Pixels(), clBlack), RectPixels(0, 0, 5, 1));

  Control r;
  r.canvas.Brush().SetStyle(TBrushStyle::bsClear);
  r.canvas.DrawRectangle(10, 20, 111, 221);
  EXPECT_EQ(PixelsOf(r.Pixels(), clBlack), FramePixels(10, 20, 111, 221));

  Control clip;
  clip.canvas.ClipToPlotBox({10, 20, 110, 220}, 0, 0);
  clip.canvas.Brush().SetColor(clRed);
  clip.canvas.FillWithBrush({0, 0, 200, 240});
  EXPECT_EQ(PixelsOf(clip.Pixels(), clRed), RectPixels(11, 21, 110, 219));
  clip.canvas.RemoveClip();
  clip.canvas.PlotPixel(0, 0, clBlue);
  EXPECT_EQ(PixelsOf(clip.Pixels(), clBlue), (PixelSet{{0, 0}}));
}

TEST(ChartCanvas, ChartPensAppliedToTheCanvas) {
  Control hidden;
  TChartHiddenPen invisible;
  hidden.canvas.ApplyChartPen(invisible);
  hidden.canvas.Brush().SetColor(clRed);
  hidden.canvas.DrawRectangle(2, 3, 9, 8);
  EXPECT_TRUE(PixelsOf(hidden.Pixels(), clBlack).empty());
  EXPECT_EQ(PixelsOf(hidden.Pixels(), clRed), RectPixels(2, 3, 9, 8));

  Control dots;
  TChartPen small;
  small.SetColor(clBlue);
  small.SetSmallDots(true);
  dots.canvas.ApplyChartPen(small);
  dots.canvas.DrawLine(0, 4, 8, 4);
  EXPECT_EQ(PixelsOf(dots.Pixels(), clBlue), (PixelSet{{0, 4}, {2, 4}, {4, 4}, {6, 4}}));

  Control grid;
  TDottedGrayPen gray;
  grid.canvas.ApplyChartPen(gray);
  grid.canvas.DrawVerticalLine(3, 0, 9);
  EXPECT_EQ(PixelsOf(grid.Pixels(), clGray),
            (PixelSet{{3, 0}, {3, 1}, {3, 2}, {3, 6}, {3, 7}, {3, 8}}));

  Control axis;
  TChartAxisPen axisPen;
  axis.canvas.ApplyChartPen(axisPen);
  EXPECT_EQ(axis.canvas.Pen().Width(), 2);
  axis.canvas.DrawHorizontalLine(10, 20, 50);
  EXPECT_EQ(PixelsOf(axis.Pixels(), clBlack), RectPixels(9, 49, 20, 51));
}

TEST(ChartCanvas, BrushChangeSetsTheBackgroundUntilTheNextChange) {
  Control c;
  c.canvas.Brush().SetColor(clRed);
  c.canvas.Brush().SetStyle(TBrushStyle::bsSolid);
  EXPECT_EQ(c.canvas.GetBackgroundMode(), OPAQUE);
  EXPECT_EQ(c.canvas.GetBackgroundColor(), clRed);
  c.canvas.SetBackgroundMode(TRANSPARENT);  // issued after the change: stays
  c.canvas.DrawLine(0, 0, 1, 0);
  EXPECT_EQ(c.canvas.GetBackgroundMode(), TRANSPARENT);
  c.canvas.SetBackgroundColor(clBlue);
  c.canvas.Brush().SetStyle(TBrushStyle::bsClear);  // replaced at the next operation
  EXPECT_EQ(c.canvas.GetBackgroundMode(), TRANSPARENT);
  EXPECT_EQ(c.canvas.GetBackgroundColor(), ~clRed & 0xFFFFFFu);
}

// One ring on (0, 0, W, H): top-left colour on column 0 and row 0 up to W-2 / H-2,
// bottom-right colour on the last column and row.
TEST(ChartCanvas, BevelFrameRings) {
  Control c(12, 10);
  TRect rect{0, 0, 12, 10};
  c.canvas.DrawBevelFrame(rect, clRed, 2, clBlue);
  EXPECT_EQ(rect, (TRect{2, 2, 10, 8}));
  PixelSet topLeft, bottomRight;
  for (int ring = 0; ring < 2; ++ring) {
    const int l = ring, t = ring, r = 11 - ring, b = 9 - ring;
    for (int y = t; y < b; ++y) topLeft.insert({l, y});
    for (int x = l; x < r; ++x) topLeft.insert({x, t});
    for (int y = t; y <= b; ++y) bottomRight.insert({r, y});
    for (int x = l; x <= r; ++x) bottomRight.insert({x, b});
  }
  EXPECT_EQ(PixelsOf(c.Pixels(), clRed), topLeft);
  EXPECT_EQ(PixelsOf(c.Pixels(), clBlue), bottomRight);
}

TEST(ChartCanvas, FlatFormsOfTheDepthOperations) {
  Control c;
  EXPECT_FALSE(c.canvas.RendersDepthNatively());
  EXPECT_FALSE(c.canvas.RendersDepthText());
  EXPECT_EQ(c.canvas.ProjectPointAtDepth(7, 9, 40), (TPoint{7, 9}));
  int x = 3, y = 4;
  c.canvas.PlaneToDepthPoint(x, y, 12);
  EXPECT_EQ((TPoint{x, y}), (TPoint{3, 4}));

  c.canvas.DrawDepthLine(5, 5, 0, 10);  // a line from (5, 5) to (5, 5): nothing
  EXPECT_TRUE(PixelsOf(c.Pixels(), clBlack).empty());

  c.canvas.Pen().SetStyle(TPenStyle::psClear);
  c.canvas.Brush().SetColor(clRed);
  c.canvas.DrawRectangleAtDepth({10, 10, 20, 15}, 3);
  EXPECT_EQ(PixelsOf(c.Pixels(), clRed), RectPixels(10, 10, 20, 15));

  Control dot;
  dot.canvas.PlotPointAtDepth(4, 4, clBlue, 0);
  dot.canvas.Pen().SetWidth(2);
  dot.canvas.PlotPointAtDepth(10, 10, clBlue, 0);
  EXPECT_EQ(PixelsOf(dot.Pixels(), clBlue), (PixelSet{{4, 4}}));
  EXPECT_EQ(PixelsOf(dot.Pixels(), clBlack), RectPixels(9, 9, 11, 11));

  // The front plane leaves depth mode for the titles and restores it afterwards.
  c.canvas.PrepareDrawing(&c.own.Canvas(), nullptr, clWhite, true, {0, 0, 200, 240});
  ASSERT_TRUE(c.canvas.DepthMode());
  c.canvas.EnterFrontPlane();
  EXPECT_FALSE(c.canvas.DepthMode());
  c.canvas.LeaveFrontPlane();
  EXPECT_TRUE(c.canvas.DepthMode());
}

TEST(ChartCanvas, TextLineHeightIsTheFontCell) {
  Control c;
  c.canvas.Font().SetName("Arial");
  c.canvas.Font().SetSize(8);
  EXPECT_EQ(c.canvas.MeasureTextWidth(""), 0);
  EXPECT_EQ(c.canvas.StandardLineHeight(), 12);
  EXPECT_EQ(c.canvas.MeasureTextHeight("Нулевая"), 12);
  EXPECT_EQ(c.canvas.MeasureTextWidth("W"), 10);
}

// After a reset whatever earlier drawing left in the pen, brush, font and background is
// gone: the same drawing gives the same pixels as on a control just made.
TEST(ChartCanvas, AResetDrawsAsANewSurface) {
  const auto draw = [](TChartCanvas3D& canvas) {
    canvas.DrawRectangle(10, 10, 60, 40);
    canvas.DrawLine(0, 100, 150, 130);
    canvas.OutputText(70, 50, "Wg|");
    canvas.FillWithBrush({120, 10, 150, 30});
  };
  Control fresh, used;
  draw(fresh.canvas);
  used.canvas.Pen().SetColor(clRed);
  used.canvas.Pen().SetWidth(3);
  used.canvas.Pen().SetStyle(TPenStyle::psDash);
  used.canvas.Brush().SetColor(clBlue);
  used.canvas.Brush().SetStyle(TBrushStyle::bsClear);
  used.canvas.Font().SetColor(clGreen);
  used.canvas.Font().SetSize(20);
  used.canvas.SetBackgroundColor(clRed);
  used.canvas.SetBackgroundMode(OPAQUE);
  used.canvas.ResetDrawingState();
  // The white solid brush the reset sets would leave an opaque background behind text.
  EXPECT_EQ(used.canvas.GetBackgroundMode(), TRANSPARENT);
  EXPECT_EQ(used.canvas.GetBackgroundColor(), clWhite);
  draw(used.canvas);
  ASSERT_FALSE(PixelsOf(fresh.Pixels(), clBlack).empty());
  for (int y = 0; y < fresh.Pixels().Height(); ++y)
    for (int x = 0; x < fresh.Pixels().Width(); ++x)
      ASSERT_EQ(used.Pixels().PixelAt(x, y), fresh.Pixels().PixelAt(x, y)) << x << ", " << y;
}

// The paint path: PrepareDrawing binds the buffer, FinishDrawing copies it to the
// control and binds the control again.
class BufferedPaint : public ::testing::Test {
 protected:
  Control control{100, 60};
  TChartCanvas3D& canvas = control.canvas;
  int paints = 0;

  void Paint(TColor fill, int w = 100, int h = 60) {
    if (canvas.RepaintFromBuffer()) return;
    ++paints;
    const TRect r =
        canvas.PrepareDrawing(&control.own.Canvas(), nullptr, clWhite, false, {0, 0, w, h});
    EXPECT_EQ(r, (TRect{0, 0, w, h}));
    canvas.Brush().SetColor(fill);
    canvas.FillBackground(r);
    canvas.ResetDrawingState();
    canvas.FinishDrawing(&control.own.Canvas(), &control.own.Canvas(), {0, 0, w, h});
  }
};

TEST_F(BufferedPaint, NotStaleOnlyCopiesTheBuffer) {
  EXPECT_TRUE(canvas.IsStale());
  Paint(clRed);
  EXPECT_EQ(paints, 1);
  EXPECT_FALSE(canvas.IsStale());
  EXPECT_EQ(canvas.BoundSurface(), &control.own.Canvas());
  EXPECT_EQ(PixelsOf(control.Pixels(), clRed).size(), 6000u);

  control.own.Canvas().Brush().SetColor(clBlue);  // something covers the control
  control.own.Canvas().FillRect({0, 0, 100, 60});
  Paint(clGreen);
  EXPECT_EQ(paints, 1);  // no drawing: the buffer was copied
  EXPECT_EQ(PixelsOf(control.Pixels(), clRed).size(), 6000u);

  canvas.MarkStale();
  Paint(clGreen);
  EXPECT_EQ(paints, 2);
  EXPECT_EQ(PixelsOf(control.Pixels(), clGreen).size(), 6000u);
}

// A repaint copies the buffer only when the control's surface may no longer show it;
// every way of changing the surface must bring the copy back.
TEST_F(BufferedPaint, RepaintCopiesOnlyWhenTheSurfaceChanged) {
  Paint(clRed);
  const auto redEverywhere = [&] { return PixelsOf(control.Pixels(), clRed).size() == 6000u; };
  const uint64_t shown = control.own.Surface().Generation();
  Paint(clGreen);
  EXPECT_EQ(control.own.Surface().Generation(), shown);  // nothing copied: still the buffer
  EXPECT_TRUE(redEverywhere());

  const struct {
    const char* name;
    std::function<void()> change;
  } changes[] = {
      {"a canvas operation", [&] { control.own.Canvas().SetPixel(3, 4, clBlue); }},
      {"a write through the pixels", [&] { control.own.Surface().Pixels()[7] = 0xFF0000FFu; }},
      {"a not-XOR frame",
       [&] {
         control.own.Canvas().Pen().SetMode(TPenMode::pmNotXor);
         control.own.Canvas().Rectangle(10, 10, 50, 40);
         control.own.Canvas().Pen().SetMode(TPenMode::pmCopy);
       }},
      {"a clip on the surface",
       [&] {
         control.own.Canvas().SetClip({0, 0, 10, 10});
       }},
  };
  for (const auto& c : changes) {
    c.change();
    Paint(clGreen);
    EXPECT_EQ(paints, 1) << c.name;
    EXPECT_TRUE(redEverywhere()) << c.name;
    control.own.Canvas().RemoveClip();
    Paint(clGreen);
    EXPECT_TRUE(redEverywhere()) << c.name;
  }
  // A clipped surface got only part of the buffer: the next repaint copies again.
  control.own.Canvas().SetClip({0, 0, 10, 10});
  control.own.Canvas().Brush().SetColor(clBlue);
  control.own.Canvas().FillRect({0, 0, 100, 60});
  Paint(clGreen);
  control.own.Canvas().RemoveClip();
  control.own.Canvas().FillRect({20, 20, 30, 30});
  Paint(clGreen);
  EXPECT_TRUE(redEverywhere());
}

// A whole-control paint hands its frame to the control's surface instead of copying it;
// the buffer still gives the picture whenever it is asked for, whoever goes first.
TEST_F(BufferedPaint, TheFrameHandedToTheControlComesBack) {
  Paint(clRed);
  ASSERT_NE(canvas.Buffer(), nullptr);
  EXPECT_EQ(PixelsOf(canvas.Buffer()->Surface(), clRed).size(), 6000u);
  canvas.MarkStale();
  Paint(clGreen);
  EXPECT_EQ(PixelsOf(control.Pixels(), clGreen).size(), 6000u);

  // Onto another surface the frame is copied; the control keeps what it shows.
  TBitmap other(100, 60);
  canvas.MarkStale();
  canvas.PrepareDrawing(&other.Canvas(), nullptr, clWhite, false, {0, 0, 100, 60});
  canvas.Brush().SetColor(clBlue);
  canvas.FillBackground({0, 0, 100, 60});
  canvas.FinishDrawing(&other.Canvas(), &control.own.Canvas(), {0, 0, 100, 60});
  EXPECT_EQ(PixelsOf(other.Surface(), clBlue).size(), 6000u);
  EXPECT_EQ(PixelsOf(control.Pixels(), clGreen).size(), 6000u);
  Paint(clRed);  // not stale: the blue frame is copied to the control
  EXPECT_EQ(PixelsOf(control.Pixels(), clBlue).size(), 6000u);

  // Either side may end first while the frame is handed over.
  {
    auto host = std::make_unique<TBitmap>(100, 60);
    auto chart = std::make_unique<TChartCanvas3D>();
    auto paint = [&](TColor fill) {
      chart->MarkStale();
      chart->PrepareDrawing(&host->Canvas(), nullptr, clWhite, false, {0, 0, 100, 60});
      chart->Brush().SetColor(fill);
      chart->FillBackground({0, 0, 100, 60});
      chart->FinishDrawing(&host->Canvas(), &host->Canvas(), {0, 0, 100, 60});
    };
    paint(clRed);
    host.reset();
    EXPECT_EQ(PixelsOf(chart->Buffer()->Surface(), clRed).size(), 6000u);
    host = std::make_unique<TBitmap>(100, 60);
    paint(clGreen);
    chart.reset();
    host->Canvas().SetPixel(0, 0, clBlue);  // nobody to take the frame back any more
    EXPECT_EQ(PixelsOf(host->Surface(), clGreen).size(), 5999u);
  }
}

TEST_F(BufferedPaint, ResizeRecreatesTheBuffer) {
  Paint(clRed);
  const TBitmap* first = canvas.Buffer();
  canvas.MarkStale();
  Paint(clRed);
  EXPECT_EQ(canvas.Buffer(), first);  // same size: the buffer is reused
  canvas.MarkStale();
  Paint(clRed, 80, 50);
  ASSERT_NE(canvas.Buffer(), nullptr);
  EXPECT_EQ(canvas.Buffer()->Width(), 80);
  EXPECT_EQ(canvas.Buffer()->Height(), 50);
  const TBitmap* resized = canvas.Buffer();
  canvas.MarkStale();
  Paint(clRed, 80, 50);
  EXPECT_EQ(canvas.Buffer(), resized);
  canvas.MarkStale();
  Paint(clRed, 0, 0);  // a control of no size still paints
  EXPECT_EQ(canvas.Buffer()->Width(), 0);
}

TEST_F(BufferedPaint, SwitchingBufferingOffOrMonochromeDropsTheBuffer) {
  Paint(clRed);
  canvas.SetBufferedMode(false);
  EXPECT_EQ(canvas.Buffer(), nullptr);
  EXPECT_TRUE(canvas.IsStale());
  EXPECT_FALSE(canvas.RepaintFromBuffer());
  const TRect r =
      canvas.PrepareDrawing(&control.own.Canvas(), nullptr, clWhite, false, {5, 6, 50, 40});
  EXPECT_EQ(r, (TRect{5, 6, 50, 40}));  // unbuffered: the destination itself
  EXPECT_EQ(canvas.BoundSurface(), &control.own.Canvas());
  canvas.FinishDrawing(&control.own.Canvas(), &control.own.Canvas(), r);
  EXPECT_TRUE(canvas.IsStale());

  canvas.SetBufferedMode(true);
  TView3DOptions options;
  int notified = 0;
  options.OnChange = [&] { ++notified; };
  canvas.PrepareDrawing(&control.own.Canvas(), &options, clWhite, false, {0, 0, 10, 10});
  canvas.FinishDrawing(&control.own.Canvas(), &control.own.Canvas(), {0, 0, 10, 10});
  canvas.SetMonochromeMode(true);
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(canvas.Buffer(), nullptr);
  EXPECT_TRUE(canvas.IsStale());
  canvas.SetMonochromeMode(true);
  EXPECT_EQ(notified, 1);
}

TEST(ChartPens, DefaultsNotificationsAndAssignment) {
  const struct {
    const char* name;
    TChartPen pen;
    TColor color;
    int width;
    TPenStyle style;
    bool visible;
  } cases[] = {
      {"chart pen", TChartPen(), clBlack, 1, TPenStyle::psSolid, true},
      {"hidden", TChartHiddenPen(), clBlack, 1, TPenStyle::psSolid, false},
      {"dotted grey", TDottedGrayPen(), clGray, 1, TPenStyle::psDot, true},
      {"dark grey", TDarkGrayPen(), clGray, 1, TPenStyle::psSolid, true},
      {"arrow", TChartArrowPen(), clWhite, 1, TPenStyle::psSolid, true},
      {"axis", TChartAxisPen(), clBlack, 2, TPenStyle::psSolid, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.pen.Color(), c.color);
    EXPECT_EQ(c.pen.Width(), c.width);
    EXPECT_EQ(c.pen.Style(), c.style);
    EXPECT_EQ(c.pen.Visible(), c.visible);
    EXPECT_FALSE(c.pen.SmallDots());
    EXPECT_EQ(c.pen.Mode(), TPenMode::pmCopy);
  }

  TChartPen pen;
  int changes = 0;
  pen.OnChange = [&] { ++changes; };
  pen.SetVisible(true);
  pen.SetSmallDots(false);
  EXPECT_EQ(changes, 0);
  pen.SetVisible(false);
  pen.SetSmallDots(true);
  EXPECT_EQ(changes, 2);

  TChartPen target;
  target.Assign(TDottedGrayPen());
  EXPECT_EQ(target.Style(), TPenStyle::psDot);
  target.Assign(pen);
  EXPECT_FALSE(target.Visible());
  EXPECT_TRUE(target.SmallDots());
  TPen plain;
  plain.SetColor(clRed);
  target.Assign(plain);  // a framework pen: Visible and SmallDots stay
  EXPECT_FALSE(target.Visible());
  EXPECT_EQ(target.Color(), clRed);

  EXPECT_EQ(TChartBrush().Color(), clAutoColor);
  EXPECT_EQ(TChartBrush().Style(), TBrushStyle::bsSolid);
}

}  // namespace
}  // namespace quarvel
