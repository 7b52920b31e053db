#pragma once
// The raster: the drawing state (pen, mix mode, brush, background, text colour and
// alignment, font, clip, pen position) and the operations that draw with it on a pixel
// surface. A canvas owns one (platform/Canvas.h); the state lives nowhere else.
//
// Pixel conventions, which everything drawn relies on:
//   - a line from A to B paints A and every pixel up to but not including B;
//   - Rectangle(x0, y0, x1, y1) outlines x0 ... x1-1 and y0 ... y1-1 with a one-pixel
//     pen and fills the inside with the brush; with a clear pen the fill covers the
//     whole half-open area x0 <= x < x1, y0 <= y < y1;
//   - FillRect and the clip rectangle cover left <= x < right, top <= y < bottom;
//   - a pen wider than one pixel is a solid band: every pixel the one-pixel line
//     would paint becomes a width x width square covering the offsets -(width / 2)
//     ... width - 1 - width / 2 on both axes (a 2-pixel horizontal line at y paints
//     rows y - 1 and y);
//   - styled one-pixel pens (dash 18/6, dot 3/3, dash-dot 9/6/3/6, dash-dot-dot
//     9/3/3/3/3/3 pixels on/off) start each line on and carry their pattern across
//     the segments of one polyline; in opaque background mode their gaps are painted
//     with the background colour, in transparent mode left alone; the alternate style
//     paints every other pixel;
//   - lines, outlines and shape fills combine with the pixels below through the mix
//     mode (not-XOR drawn twice restores every pixel); FillRect, SetPixel, block copies
//     and text always copy.
// Colours given to the raster are plain RGB values (0x00BBGGRR).
//
// The code is kept by kind: Raster.cpp (state, clip, storing and mixing pixels, block
// copies), RasterLines.cpp (lines and pen patterns), RasterFills.cpp (fills, rectangles
// and shapes), RasterText.cpp (text).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Color.h"
#include "platform/Geometry.h"
#include "platform/PixelSurface.h"

namespace quarvel {

enum class TPenStyle : uint8_t {
  psSolid,
  psDash,
  psDot,
  psDashDot,
  psDashDotDot,
  psClear,
  psInsideFrame,
  psAlternate
};
enum class TPenMode : uint8_t {
  pmBlack,
  pmWhite,
  pmNop,
  pmNot,
  pmCopy,
  pmNotCopy,
  pmMergePenNot,
  pmMaskPenNot,
  pmMergeNotPen,
  pmMaskNotPen,
  pmMerge,
  pmNotMerge,
  pmMask,
  pmNotMask,
  pmXor,
  pmNotXor
};
enum class TBrushStyle : uint8_t {
  bsSolid,
  bsClear,
  bsHorizontal,
  bsVertical,
  bsFDiagonal,
  bsBDiagonal,
  bsCross,
  bsDiagCross
};

inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

inline constexpr unsigned TA_LEFT = 0;
inline constexpr unsigned TA_RIGHT = 2;
inline constexpr unsigned TA_CENTER = 6;
inline constexpr unsigned TA_TOP = 0;
inline constexpr unsigned TA_BOTTOM = 8;
inline constexpr unsigned TA_BASELINE = 24;

// A font as the text engine resolves it: family name, character height in pixels
// (the em size), style flags.
struct FontFace {
  std::string name = "Arial";
  int pixelSize = 13;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  friend bool operator==(const FontFace&, const FontFace&) = default;
};

struct TSize {
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// A text handed on instead of drawn (TRaster::SetTextSink), for whoever shows the
// surface to write over it at a finer resolution than the surface's pixels.
struct TTextRun {
  int X = 0, Y = 0;          // the text cell's top-left; turned: the point it turns about
  double Degrees = 0;        // counter-clockwise
  int CellX = 0, CellY = 0;  // turned: the unturned cell's top-left relative to (X, Y)
  std::string Text;
  FontFace Font;
  TColor Color = 0;
  TRect Clip;  // where the surface would have shown it
};
using TTextSink = std::function<void(const TTextRun&)>;

// A vertical line from (X, From) up to but not including (X, To), as MoveTo(X, From)
// and LineTo(X, To) draw it.
struct TColumnLine {
  int X = 0, From = 0, To = 0;
};

class TRaster {
 public:
  // Draws on `surface` (not owned), which may change its buffer and size between
  // operations: each operation takes them as they are then.
  explicit TRaster(TPixelSurface* surface) : surface_(surface) {}
  TRaster(const TRaster&) = delete;
  TRaster& operator=(const TRaster&) = delete;

  TPixelSurface& Surface() { return *surface_; }
  const TPixelSurface& Surface() const { return *surface_; }

  void SetPen(TColor rgb, int width, TPenStyle style);
  void SetMixMode(TPenMode mode) { mode_ = mode; }
  TPenMode MixMode() const { return mode_; }
  void SetBrush(TColor rgb, TBrushStyle style);
  void SetFont(const FontFace& font) { font_ = font; }
  const FontFace& Font() const { return font_; }
  void SetTextColor(TColor rgb) { textColor_ = rgb & 0xFFFFFF; }
  void SetBkColor(TColor rgb) { bkColor_ = rgb & 0xFFFFFF; }
  TColor BkColor() const { return bkColor_; }
  void SetBkMode(int mode) { bkMode_ = mode == OPAQUE ? OPAQUE : TRANSPARENT; }
  int BkMode() const { return bkMode_; }
  void SetTextAlign(unsigned flags) { textAlign_ = flags; }
  unsigned TextAlign() const { return textAlign_; }

  // The clip lies within the surface: set, it is cut to the surface's bounds, and
  // cut again whenever the surface changes its size; removed, it is the whole surface.
  void SetClip(const TRect& clip);
  void RemoveClip();
  const TRect& Clip();

  void MoveTo(int x, int y);
  TPoint PenPos() const { return penPos_; }
  void LineTo(int x, int y);
  void Polyline(const TPoint* points, int count);
  // Each line as MoveTo(X, From) and LineTo(X, To) draw it, one after the other: the
  // same pixels, and the pen left where the last line leaves it.
  void ColumnLines(const TColumnLine* lines, int count);
  void Polygon(const TPoint* points, int count);
  void Rectangle(int x0, int y0, int x1, int y1);
  void Ellipse(int x0, int y0, int x1, int y1);
  void SetPixel(int x, int y, TColor rgb);
  void FillRect(const TRect& rect);
  // Rectangle with corners rounded by quarter ellipses of cornerWidth x cornerHeight.
  void RoundRect(int x0, int y0, int x1, int y1, int cornerWidth, int cornerHeight);
  // The part of the ellipse inscribed in the box from the radial through `start`
  // counter-clockwise to the radial through `end` (the whole ellipse when they
  // coincide): an arc of the outline, or a pie slice outlined and filled.
  void Arc(const TRect& box, TPoint start, TPoint end);
  void Pie(const TRect& box, TPoint start, TPoint end);

  // Draws UTF-8 text with the current font and text colour at the reference point the
  // alignment flags name; opaque mode fills the text cell with the background colour.
  void TextOut(int x, int y, std::string_view text);
  // The text cell's size in the current font; zero when no font engine is available.
  TSize TextExtent(std::string_view text) const;
  // Text turned counter-clockwise by `degrees` about (x, y), the point the alignment
  // flags name on the unturned text cell. Transparent: only the glyphs are drawn.
  void RotatedTextOut(int x, int y, double degrees, std::string_view text);

  // With a sink, texts go to it instead of the surface: TextOut still fills an opaque
  // background, the glyphs are the sink's to write. None (the default) draws them.
  void SetTextSink(TTextSink sink) { textSink_ = std::move(sink); }

  // Copies all of `source` with its top-left at (x, y), within the clip.
  void CopyFrom(const TPixelSurface& source, int x, int y);

  // Common cases (pens in copy mode: axis-parallel lines of any style and width, solid
  // one-pixel sloped lines, solid outlined rectangles; text) take fast paths that give
  // exactly the pixels and the pattern position of the general per-pixel path. Off,
  // every operation takes the general path (for tests that compare the two).
  void SetFastPaths(bool enabled) { fastPaths_ = enabled; }

 private:
  // Every style's period (24, 6) and the alternate pen's 2 divide this, so the pattern
  // position is kept modulo it: the same phase, and no overflow on lines of billions
  // of steps.
  static constexpr int kPatternCycle = 24;
  static int PatternPosition(int64_t position) {
    return static_cast<int>(position % kPatternCycle);
  }

  // Takes the surface's buffer and bounds as they are now and fits the clip to them;
  // every operation that touches pixels starts with it.
  void Begin();
  uint32_t* At(int x, int y) const { return pixels_ + static_cast<std::size_t>(y) * stride_ + x; }

  // Lines (RasterLines.cpp).
  void Segment(int x0, int y0, int x1, int y1);
  // The fast paths (see SetFastPaths); each answers false when it does not apply.
  bool FastSegment(int x0, int y0, int x1, int y1);
  void AxisSegment(int x0, int y0, int x1, int y1);
  void WideAxisSegment(int x0, int y0, int x1, int y1);
  void PenPixel(int x, int y);

  // Fills and shapes (RasterFills.cpp).
  bool FastRectangle(int x0, int y0, int x1, int y1);
  // Outlines and fills the pixels whose centres `inside` admits within the box;
  // `border` tells which of them belong to the outline.
  template <class Inside, class Border>
  void Shape(const TRect& box, Inside inside, Border border);
  void FillSpan(int y, int x0, int x1, bool combine);
  bool HatchAt(int x, int y) const;

  // Text (RasterText.cpp).
  TPoint TextOrigin(int x, int y, int advance, int height, int ascent) const;

  // Pixels within the clip (Raster.cpp).
  void Combine(int x, int y, uint32_t pixel);
  void Store(int x, int y, uint32_t pixel);
  uint32_t Mono(uint32_t pixel) const;

  TPixelSurface* surface_;
  // The surface as Begin last found it.
  uint32_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  bool monochrome_ = false;

  TRect clip_;
  bool clipped_ = false;

  uint32_t penPixel_ = PixelOf(clBlack);
  int penWidth_ = 1;
  TPenStyle penStyle_ = TPenStyle::psSolid;
  TPenMode mode_ = TPenMode::pmCopy;
  uint32_t brushPixel_ = PixelOf(clWhite);
  TBrushStyle brushStyle_ = TBrushStyle::bsSolid;
  TColor bkColor_ = clWhite;
  int bkMode_ = OPAQUE;
  TColor textColor_ = clBlack;
  unsigned textAlign_ = TA_LEFT | TA_TOP;
  FontFace font_;
  TTextSink textSink_;

  TPoint penPos_;
  int patternPos_ = 0;  // position in the pen's style pattern, in pixels
  bool fastPaths_ = true;
};

}  // namespace quarvel
