#pragma once
// How the bench paints its arrays: cells as whole blocks of pixels (or, for an array
// larger than its box, the nearest cell of each pixel), the colour maps, the angle axis
// of the sinogram, the difference's scale, the blob handles and the readout texts.
// Everything is drawn through the program's own canvas.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchPhantom.h"
#include "platform/Canvas.h"
#include "platform/Geometry.h"
#include "tomo/Geometry.h"
#include "tomo/Metrics.h"
#include "ui/ColourMaps.h"

namespace quarvel {

// Where the cells of a Rows x Columns array lie in a picture. When the array fits the
// area, every cell is a k x k block (the same whole k across and down, as large as fits);
// along a side that does not fit, each pixel shows the cell its position falls in.
struct TPlacement {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int Rows = 0;
  int Columns = 0;
  // The part of the array shown, in cells (zoomed in: less than the whole); a shown
  // part of 0 is the whole array.
  double FirstColumn = 0;
  double FirstRow = 0;
  double ColumnsShown = 0;
  double RowsShown = 0;

  // The cell under a pixel, or -1 outside the array.
  int ColumnAt(int x) const;
  int RowAt(int y) const;
  // The pixel of a (fractional) cell position; cell c's centre is at c.
  double XOfColumn(double column) const;
  double YOfRow(double row) const;
  // Cells per pixel along each side.
  double ColumnsPerPixel() const;
  double RowsPerPixel() const;
};

TPlacement PlaceArray(int rows, int columns, const TRect& area);

// The grid's model coordinates on a picture of the grid (cell i's centre at x = y =
// GridCoordinate(i), from 1 to 20, x across and y down): the coordinate at a picture
// position (pixel x covers [x, x + 1), so that a cell's centre lies between pixels when
// a cell is an even number of pixels wide), and the position of a coordinate. The two
// are inverses of each other, zoomed or not.
double ModelXAt(const TPlacement& placement, double x);
double ModelYAt(const TPlacement& placement, double y);
double XOfModel(const TPlacement& placement, double modelX);
double YOfModel(const TPlacement& placement, double modelY);

// The round values from `from` to `to` (either order) an axis ticks: the multiples there
// of the smallest step of 1, 2 or 5 times a power of ten whose ticks lie at least `gap`
// pixels apart at `pixelsPerUnit`. None when the scale is not a positive number.
std::vector<double> RoundTicks(double from, double to, double pixelsPerUnit, double gap);

// The zoom and pan shared by the bench's four pictures: a magnification (1 to 16) and
// the centre of the part shown, as fractions of the array's width and height. The part
// shown always lies inside the array.
struct TView {
  double Zoom = 1;
  double CentreX = 0.5;
  double CentreY = 0.5;
  bool operator==(const TView&) const = default;
};
// The view zoomed by 2 per notch (+ in, - out) about the point at fractions (fx, fy) of
// the part shown, which stays where it is on the screen while the limits allow it.
TView Zoomed(const TView& view, double fx, double fy, int notches);
// The view panned by (dfx, dfy) of the part shown's width and height.
TView Panned(const TView& view, double dfx, double dfy);
// The placement's shown part for `view`.
TPlacement WithView(TPlacement placement, const TView& view);
// The array position (fractions of its width and height) under picture pixel (x, y), and
// the pixel of such a position.
std::pair<double, double> FractionAt(const TPlacement& placement, int x, int y);
TPoint PixelOfFraction(const TPlacement& placement, double fx, double fy);

// The profile the bench plots: the grid's row (or column) through a picked cell, of the
// phantom and of the reconstruction.
struct TProfilePick {
  int Column = 64;
  int Row = 64;
  bool AlongColumn = false;
  bool operator==(const TProfilePick&) const = default;
};
// The pick of a press at picture pixel (x, y) on a grid picture: the cell shown there,
// the direction kept; none off the part of the array shown.
std::optional<TProfilePick> PickAt(const TPlacement& placement, const TProfilePick& current, int x,
                                   int y);
// The plot of a pick on two arrays of one size ([iy][ix]): the model coordinate along
// the line (with `pixels`, for an image that is not the grid: the pixel's index), both
// arrays' values there, the chart's title and the name of its axis.
struct TProfile {
  std::vector<double> Position, Truth, Reconstruction;
  std::string Title, Axis;
};
TProfile ProfileOf(const TProfilePick& pick, const TArray2D& truth, const TArray2D& reconstruction,
                   bool pixels = false);
// Where a grid picture draws the pick's line: the pixel x of a column's, y of a row's.
int ProfileLinePixel(const TPlacement& placement, const TProfilePick& pick);

// The phantom's green, as the main window paints its grid (black when nothing is enabled).
TRgb GreenColor(double value, double gridMax);
// The export's grey and diverging maps (see ColourMaps.h) as colours of the screen.
TRgb GreyColor(double value, double low, double high);
TRgb DivergingColor(double value, double limit);

// A window on a picture's values: from Level - Width / 2 (the map's dark end) to Level +
// Width / 2 (its bright end); values beyond either end take that end's colour. A picture
// without a window of the user's shows its default mapping (the phantom's green from 0 to
// the grid's maximum, the grey from the smallest to the largest finite value).
struct TWindowLevel {
  double Width = 1;
  double Level = 0.5;
  double Low() const { return Level - Width / 2; }
  double High() const { return Level + Width / 2; }
  bool operator==(const TWindowLevel&) const = default;
};
// The window from `low` to `high`.
TWindowLevel WindowOver(double low, double high);
// The window after a drag by (dx, dy) picture pixels from `start`: each pixel is 1/256 of
// `range` (the default window's width; 1 when that is not a positive number). Right
// widens the window, left narrows it down to one such step at the least; down raises the
// level (darker), up lowers it (brighter).
TWindowLevel DraggedWindow(const TWindowLevel& start, int dx, int dy, double range);
// The level (0 dark to 255 bright) of `value` in `window`, as GreyLevel gives it between
// the window's ends.
uint8_t WindowedLevel(double value, const TWindowLevel& window);

// The largest |value| of the finite values (0 when there is none).
double LargestMagnitude(const TArray2D& array);
// The smallest and largest finite value, (inf, -inf) when there is none.
std::pair<double, double> ValueRange(const TArray2D& array);

// Paints the placed array, the colour of each pixel from its cell.
void PaintArray(TCanvas& canvas, const TPlacement& placement,
                const std::function<TRgb(int row, int column)>& color);

// Writes a label with its top-left corner at (x, y) in picture pixels; empty writes it
// on the canvas. (At a device pixel ratio above 1 the window writes labels itself, at the
// screen's resolution, over the picture.)
using TTextOut = std::function<void(int x, int y, const std::string& text)>;

// The sinogram's angle axis left of `placement`: a tick and a label ("45°") at views whose
// angles are round, at least 24 pixels apart, and the axis name "θ" above.
void PaintAngleAxis(TCanvas& canvas, const TPlacement& placement, const TScanGeometry& geometry,
                    const TTextOut& text = {});

// The grid's axes in model units around a grid picture: x ticks and labels below it, y
// ticks and labels left of it (labels 30 pixels apart at least), and the names "x" and
// "y" in the corners beside the labels. With `pixels` (an image that is not the grid) the
// ticks count pixels from 0, the first pixel's centre.
void PaintGridAxes(TCanvas& canvas, const TPlacement& placement, const TTextOut& text = {},
                   bool pixels = false);
// The sinogram's detector axis below `placement`: ticks and labels at round bin numbers,
// and the name "bin" in the corner left of them.
void PaintBinAxis(TCanvas& canvas, const TPlacement& placement, const TTextOut& text = {});
// The room the axes take below a picture, and left of a grid picture.
constexpr int kAxisBelow = 17;
constexpr int kAxisLeft = 28;

// The difference's scale right of `placement`: a bar from +limit (top) to -limit (bottom)
// in the diverging map, labelled at both ends and at 0.
void PaintDivergingScale(TCanvas& canvas, const TPlacement& placement, double limit,
                         const TTextOut& text = {});

// A colour bar right of `placement`, as tall as it: the map's colour of each value from
// `high` (top) to `low` (bottom), labelled with both ends to four significant digits.
void PaintColourBar(TCanvas& canvas, const TPlacement& placement, double low, double high,
                    const std::function<TRgb(double value)>& color, const TTextOut& text = {});
// The room a colour bar takes right of its picture, labels included.
constexpr int kColourBarRoom = 70;
// The outline of a region of the placed array (Metrics.h): a rectangle round its cells,
// or the scanned disc's circle, dotted in yellow; nothing for the whole image.
void PaintRegion(TCanvas& canvas, const TPlacement& placement, const TRegion& region);

// A blob's handle: a 7 x 7 square outline centred on (x, y), white inside black.
void PaintHandle(TCanvas& canvas, int x, int y);
constexpr int kHandleRadius = 4;

// Where a blob's mean lies in the phantom's picture (grid cell units from the model's).
TPoint HandlePixel(const TPlacement& placement, const TPhantomBlob& blob);
// The enabled blob whose handle is under (x, y), or -1 (the last drawn wins); a handle
// outside the shown part is under no pixel.
int HandleAt(const TPlacement& placement, const TPhantom& phantom, int x, int y);

// Readouts, in the locale's separators, with the screen's four significant digits (the
// copied data keeps every digit). The grid's cells and bins are placed in model units; an
// opened image's (`pixels`) in pixels alone, model units having no meaning there. A
// blob's readout gives its numbers as the table holds them, every digit.
constexpr int kScreenDigits = 4;
std::string CellReadout(int ix, int iy, double value, bool pixels = false);
std::string SinogramReadout(const TScanGeometry& geometry, int view, int bin, double value,
                            bool pixels = false);
std::string BlobReadout(int index, const TPhantomBlob& blob);

// The figures of a comparison with `digits` significant digits ("RMSE 0.01234    NRMSE
// 1.234    PSNR 36.71 dB    SSIM 0.9876"); 17 digits give every double back.
std::string FiguresText(const TImageMetrics& metrics, int digits);

// B's figures against the pinned A's: each of B's with A's beside it ("RMSE 0.01234 (A
// 0.01500)    …"), `digits` significant digits.
std::string CompareFiguresText(const TImageMetrics& b, const TImageMetrics& a, int digits);

// The progress of an iterative reconstruction: "3 / 10" and, once an iteration has
// taken time, the time left at the pace so far ("3 / 10, 7 s left"; minutes above 99 s).
std::string ProgressText(int done, int total, double elapsedSeconds);

// A number with three significant digits ("0.0123", "-1.5e-05") for scales and captions.
std::string ShortNumber(double value);

}  // namespace quarvel
