#include "bench/BenchBeam.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/Raster.h"
#include "tomo/FanBeam.h"

namespace quarvel {

namespace {

// The picture pixel of a point given relative to the image's centre, in cells.
TPointF Pixel(const TPlacement& p, double x, double y) {
  return {p.XOfColumn((p.Columns - 1) / 2.0 + x), p.YOfRow((p.Rows - 1) / 2.0 + y)};
}

constexpr int kArcSegments = 48;
constexpr TColor clOrange = 0x0080FF;

}  // namespace

TBeamDrawing BeamDrawing(const TScanGeometry& g, int view, int bin, const TPlacement& p) {
  TBeamDrawing d;
  d.Fan = IsFan(g);
  d.Centre = Pixel(p, 0, 0);
  const double c = g.Cos(view), s = g.Sin(view);
  const double ex = -s, ey = c;  // the central ray; the detector's axis is (c, s)
  if (!d.Fan) {
    const double r = HalfDiagonal({p.Columns, p.Rows});
    const auto ray = [&](int j, TPointF& start, TPointF& end) {
      const double t = g.BinCells(j);
      start = Pixel(p, t * c - r * ex, t * s - r * ey);
      end = Pixel(p, t * c + r * ex, t * s + r * ey);
    };
    ray(0, d.FirstStart, d.FirstEnd);
    ray(g.Detectors - 1, d.LastStart, d.LastEnd);
    ray(bin, d.RayStart, d.RayEnd);
    d.Detector = {d.FirstEnd, d.LastEnd};
    return d;
  }
  const double reach = g.SourceDistance + g.DetectorDistance;
  const auto ray = [&](int j, TPointF& start, TPointF& end) {
    const TFanRay f = FanRay(g, view, j);
    // The flat detector lies at D along e; the arc's bins at R + D from the source.
    const double length =
        g.Beam == TBeam::FanArc ? reach : reach / (f.DirectionX * ex + f.DirectionY * ey);
    start = Pixel(p, f.SourceX, f.SourceY);
    end = Pixel(p, f.SourceX + length * f.DirectionX, f.SourceY + length * f.DirectionY);
  };
  ray(0, d.FirstStart, d.FirstEnd);
  ray(g.Detectors - 1, d.LastStart, d.LastEnd);
  ray(bin, d.RayStart, d.RayEnd);
  d.Source = d.FirstStart;
  if (g.Beam == TBeam::FanFlat) {
    d.Detector = {d.FirstEnd, d.LastEnd};
    return d;
  }
  // The arc about the source, from bin 0's angle to bin M - 1's.
  const TFanRay source = FanRay(g, view, 0);
  const double first = FanAngle(g, 0), last = FanAngle(g, g.Detectors - 1);
  for (int i = 0; i <= kArcSegments; ++i) {
    const double gamma = first + (last - first) * i / kArcSegments;
    const double along = reach * std::cos(gamma), across = reach * std::sin(gamma);
    d.Detector.push_back(Pixel(p, source.SourceX + along * ex + across * c,
                               source.SourceY + along * ey + across * s));
  }
  d.Detector.front() = d.FirstEnd;
  d.Detector.back() = d.LastEnd;
  return d;
}

TPlacement ScanPlacement(const TScanGeometry& g, const TPlacement& picture) {
  TPlacement unit;  // one pixel a cell: distances in cells
  unit.Rows = unit.Height = picture.Rows;
  unit.Columns = unit.Width = picture.Columns;
  if (picture.Rows <= 0 || picture.Columns <= 0) return picture;
  const TBeamDrawing d = BeamDrawing(g, 0, 0, unit);
  double reach = 0;
  for (const TPointF& q : {d.Source, d.FirstStart, d.FirstEnd, d.LastStart, d.LastEnd})
    reach = std::max(reach, std::hypot(q.X - d.Centre.X, q.Y - d.Centre.Y));
  for (const TPointF& q : d.Detector)
    reach = std::max(reach, std::hypot(q.X - d.Centre.X, q.Y - d.Centre.Y));
  constexpr double kMargin = 5;  // pixels for the source's mark
  const double own =
      std::min(double(picture.Width) / picture.Columns, double(picture.Height) / picture.Rows);
  const double room = std::min(picture.Width, picture.Height) / 2.0 - kMargin;
  const double k = std::min(own, room / reach);
  if (!(k > 0)) return picture;
  TPlacement p = unit;
  p.Width = std::max(1, static_cast<int>(std::lround(picture.Columns * k)));
  p.Height = std::max(1, static_cast<int>(std::lround(picture.Rows * k)));
  p.Left = picture.Left + (picture.Width - p.Width) / 2;
  p.Top = picture.Top + (picture.Height - p.Height) / 2;
  return p;
}

bool ClipSegment(TPointF& a, TPointF& b, double left, double top, double right, double bottom) {
  if (!(std::isfinite(a.X) && std::isfinite(a.Y) && std::isfinite(b.X) && std::isfinite(b.Y)))
    return false;
  // Liang and Barsky: the part of a + u (b - a), u in [0, 1], on the inner side of each edge.
  const double dx = b.X - a.X, dy = b.Y - a.Y;
  double u0 = 0, u1 = 1;
  const std::pair<double, double> edges[] = {
      {-dx, a.X - left}, {dx, right - a.X}, {-dy, a.Y - top}, {dy, bottom - a.Y}};
  for (const auto& [q, room] : edges) {
    if (q == 0) {
      if (room < 0) return false;
      continue;
    }
    const double u = room / q;
    if (q < 0) {
      if (u > u1) return false;
      if (u > u0) u0 = u;
    } else {
      if (u < u0) return false;
      if (u < u1) u1 = u;
    }
  }
  const TPointF start{a.X + u0 * dx, a.Y + u0 * dy};
  b = {a.X + u1 * dx, a.Y + u1 * dy};
  a = start;
  return true;
}

void PaintBeam(TCanvas& canvas, const TBeamDrawing& d, const TRect& clip, const TTextOut& text) {
  // Whole pixels inside the clip: its last column and row are Right - 1 and Bottom - 1.
  const double left = clip.Left, top = clip.Top, right = clip.Right - 1, bottom = clip.Bottom - 1;
  const auto line = [&](TPointF a, TPointF b) {
    if (!ClipSegment(a, b, left, top, right, bottom)) return;
    canvas.MoveTo(static_cast<int>(std::lround(a.X)), static_cast<int>(std::lround(a.Y)));
    canvas.LineTo(static_cast<int>(std::lround(b.X)), static_cast<int>(std::lround(b.Y)));
  };
  canvas.Pen().SetStyle(TPenStyle::psSolid);
  canvas.Pen().SetWidth(1);
  canvas.Pen().SetColor(clOrange);
  line(d.FirstStart, d.FirstEnd);
  line(d.LastStart, d.LastEnd);
  for (std::size_t i = 1; i < d.Detector.size(); ++i) line(d.Detector[i - 1], d.Detector[i]);
  canvas.Pen().SetColor(clYellow);
  canvas.Pen().SetWidth(2);
  line(d.RayStart, d.RayEnd);
  canvas.Pen().SetWidth(1);
  if (!d.Fan) return;
  TPointF from = d.Centre, at = d.Source;
  if (!ClipSegment(from, at, left + 3, top + 3, right - 3, bottom - 3)) return;
  const int x = static_cast<int>(std::lround(at.X)), y = static_cast<int>(std::lround(at.Y));
  canvas.Brush().SetStyle(TBrushStyle::bsSolid);
  canvas.Brush().SetColor(clOrange);
  canvas.Pen().SetColor(clBlack);
  canvas.Rectangle(x - 3, y - 3, x + 4, y + 4);
  const TTextOut write =
      text ? text : [&canvas](int tx, int ty, const std::string& t) { canvas.TextOut(tx, ty, t); };
  canvas.Font().SetColor(clYellow);
  canvas.SetBkMode(TRANSPARENT);
  // The label on the side of the marker away from the centre's, so that it stays inside.
  write(x < d.Centre.X ? x + 6 : x - 14, y < d.Centre.Y ? y + 4 : y - 18, "S");
}

}  // namespace quarvel
