#include "chart/axes/Axis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "chart/axes/AxisPanel.h"
#include "chart/axes/LabelDecimals.h"
#include "chart/axes/PixelRounding.h"
#include "chart/panel/ChartException.h"
#include "format/MessageFormat.h"
#include "format/NumberFormat.h"
#include "base/ScopeExit.h"

namespace quarvel {
namespace {

constexpr double kMinIncrement = 1e-12;
constexpr long double kMaxPixelOffset = 2147483647.0L;
constexpr int kMaxStepSearch = 4000;

// Pixel positions are kept within +-2^30 so that their sums, differences and midpoints
// stay within a 32-bit integer.
constexpr long double kPixelLimit = 1073741824.0L;

// Round half to even, the rounding of the chart's integer pixels.
int RoundEven(long double v) { return RoundHalfEven(v); }

// Round half to even, limited to +-kPixelLimit (a NaN gives 0): for positions that come
// from settings of any size (StartPosition, EndPosition, PositionPercent).
int RoundPixel(long double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int>(std::nearbyint(std::clamp(v, -kPixelLimit, kPixelLimit)));
}

int ClampPixel(long long v) {
  const auto limit = static_cast<long long>(kPixelLimit);
  return static_cast<int>(std::clamp(v, -limit, limit));
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i)
    if (i == text.size() || text[i] == '\n') {
      lines.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  return lines;
}

}  // namespace

// The recursion x -> x * 0.1 (or x * 10) down to 1 <= x < 10 and back, as a loop: the
// same roundings in the same order, without a call per decade (a range of 1e300 walks
// some 300 decades for each of its steps).
double NextNiceStep(double x) {
  if (!(x > 0) || !std::isfinite(x)) return x;
  int down = 0, up = 0;
  for (; x >= 10; ++down) x = static_cast<double>(x * 0.1L);
  for (; x < 1; ++up) x = static_cast<double>(x * 10.0L);
  double step = x < 2 ? 2 : x < 5 ? 5 : 10;
  for (; down > 0; --down) step = static_cast<double>(step * 10.0L);
  for (; up > 0; --up) step = static_cast<double>(step * 0.1L);
  return step;
}

std::vector<int> MinorMarkPositions(const std::vector<int>& p, int m) {
  std::vector<int> marks;
  const int n = static_cast<int>(p.size());
  if (n > 1) {
    const double d = (p[1] - p[0]) / static_cast<double>(m + 1);
    for (int j = 1; j <= m; ++j) {
      marks.push_back(p[0] - RoundEven(j * static_cast<long double>(d)));
      marks.push_back(p[n - 1] + RoundEven(j * static_cast<long double>(d)));
    }
  }
  for (int i = 1; i < n; ++i) {
    const double d = (p[i] - p[i - 1]) / static_cast<double>(m + 1);
    for (int j = 1; j <= m; ++j) marks.push_back(p[i] - RoundEven(j * static_cast<long double>(d)));
  }
  return marks;
}

std::vector<int> CenteredGridPositions(const std::vector<int>& p) {
  std::vector<int> lines;
  for (std::size_t i = 1; i < p.size(); ++i)
    lines.push_back(RoundEven((p[i] + static_cast<long double>(p[i - 1])) * 0.5L));
  return lines;
}

void CheckAngle(int angle, const std::string& subject) {
  if (angle < 0 || angle > 359)
    throw ChartException(FormatMessage("%s Angle must be between 0 and 359 degrees", {subject}));
}

TChartAxisTitle::TChartAxisTitle(TCustomChartPanel* panel, int defaultAngle)
    : TChartFontObject(panel), angle_(defaultAngle) {}

void TChartAxisTitle::SetCaption(const std::string& v) { Set(caption_, v); }

void TChartAxisTitle::SetAngle(int v) {
  CheckAngle(v, "Axis Title");
  Set(angle_, v);
}

// ===========================================================================
// Construction and settings

TCustomChartAxis::TCustomChartAxis(TCustomAxisPanel* chart, bool horizontal, bool otherSide,
                                   bool depth)
    : Title(chart, horizontal ? 0 : (otherSide ? 270 : 90)),
      chart_(chart),
      isHorizontal_(horizontal),
      isOtherSide_(otherSide),
      isDepth_(depth) {
  mapping_.Horizontal = horizontal;
  if (depth) visible_ = false;
  InitChartFont(LabelsFont);
  const auto changed = chart->StyleChangeHandler();
  for (TGraphicsObject* o : std::initializer_list<TGraphicsObject*>{
           &LabelsFont, &AxisPen, &Ticks, &TicksInner, &MinorTicks, &Grid, &MinorGrid})
    o->OnChange = changed;
  tickPositions_.reserve(kMaxTickPositions);
}

void TCustomChartAxis::Changed() { chart_->InvalidateChart(); }

void TCustomChartAxis::SetAutomatic(bool v) {
  automaticMaximum_ = v;
  automaticMinimum_ = v;
  Set(automatic_, v);
}

void TCustomChartAxis::SetAutomaticMaximum(bool v) {
  Set(automaticMaximum_, v);
  automatic_ = v ? automaticMinimum_ : false;
}

void TCustomChartAxis::SetAutomaticMinimum(bool v) {
  Set(automaticMinimum_, v);
  automatic_ = v ? automaticMaximum_ : false;
}

void TCustomChartAxis::SetMaximum(double v) {
  if (v < minimum_) throw AxisException("Axis Maximum Value must be >= Minimum");
  Set(maximum_, v);
}

void TCustomChartAxis::SetMinimum(double v) {
  if (v > maximum_) throw AxisException("Axis Minimum Value must be <= Maximum");
  Set(minimum_, v);
}

void TCustomChartAxis::SetIncrement(double v) {
  if (!(v >= 0)) throw AxisException("Axis increment must be >= 0");
  Set(increment_, v);
}

void TCustomChartAxis::SetLogarithmicBase(int v) {
  if (v < 2) throw AxisException("Axis Logarithmic Base should be >= 2");
  Set(logarithmicBase_, v);
}

void TCustomChartAxis::SetLogarithmic(bool v) {
  if (v) {
    RefreshDateTime();
    if (isDateTime_) throw AxisException("DateTime Axis cannot be Logarithmic");
    RefreshAutomaticRange();
    if (!(EffectiveMinimum >= 0) || !(EffectiveMaximum >= 0))
      throw AxisException("Logarithmic Axis Min and Max values should be >= 0");
  }
  Set(logarithmic_, v);
}

void TCustomChartAxis::SetLabelsSeparation(int v) {
  if (v < 0) throw AxisException("Labels Separation % must be greater than 0");
  Set(labelsSeparation_, v);
}

void TCustomChartAxis::SetLabelsAngle(int v) {
  CheckAngle(v, "Axis Labels");
  Set(labelsAngle_, v);
}

// ===========================================================================
// Scaling and mapping

void TCustomChartAxis::RefreshAutomaticRange() {
  if (automatic_ || automaticMaximum_)
    maximum_ = chart_->AxisRangeFromSeries(this, false, isHorizontal_);
  if (automatic_ || automaticMinimum_)
    minimum_ = chart_->AxisRangeFromSeries(this, true, isHorizontal_);
  mapping_.SetRange(minimum_, maximum_);
}

void TCustomChartAxis::PlaceAxisPixels() {
  const TRect& p = chart_->PlotRect;
  const int origin = isHorizontal_ ? p.Left : p.Top;
  const long double length = isHorizontal_ ? chart_->PlotWidth : chart_->PlotHeight;
  mapping_.SetPixels(
      ClampPixel(static_cast<long long>(origin) + RoundPixel(length * 0.01L * startPosition_)),
      ClampPixel(static_cast<long long>(origin) + RoundPixel(length * 0.01L * endPosition_)));
}

void TCustomChartAxis::WidenRangeForMargins(const TRect& margins) {
  const auto [nearPixels, farPixels] = AlongAxis(margins);
  const int s = StartPixel, e = EndPixel;
  // The values at the real ends as the range maps onto the shrunk pixels.
  TAxisMapping shrunk = mapping_;
  shrunk.SetPixels(s + nearPixels, e - farPixels);
  // An axis too short for its margins keeps its range (the mapping would give 0 at
  // both ends and collapse the range to nothing).
  const bool room = shrunk.PixelLength >= 1;
  double a = room ? shrunk.ToValue(s) : EffectiveMinimum,
         b = room ? shrunk.ToValue(e) : EffectiveMaximum;
  PlaceAxisPixels();
  if (a > b) std::swap(a, b);
  mapping_.SetRange(a, b);
}

int TCustomChartAxis::LabelExtent(double value) { return LabelExtent(value, axisValuesFormat_); }

int TCustomChartAxis::LabelExtent(double value, std::string_view pattern) {
  const std::vector<std::string> lines = SplitLines(FormatAxisLabel(value, pattern));
  TChartCanvas3D& canvas = chart_->ChartCanvas();
  const bool across = isHorizontal_ ? (labelsAngle_ == 90 || labelsAngle_ == 270)
                                    : (labelsAngle_ == 0 || labelsAngle_ == 180);
  if (across) return canvas.StandardLineHeight() * static_cast<int>(lines.size());
  int widest = 0;
  for (const auto& line : lines) widest = std::max(widest, canvas.MeasureTextWidth(line));
  return widest;
}

double TCustomChartAxis::ComputeLabelIncrement() { return ComputeLabelScale().increment; }

double TCustomChartAxis::IncrementForPattern(std::string_view pattern) {
  const int size =
      std::max(LabelExtent(EffectiveMaximum, pattern), LabelExtent(EffectiveMinimum, pattern));
  int maxLabels = 1;
  if (size > 0) {
    const int gap = labelsSeparation_ > 0 ? RoundEven(labelsSeparation_ * 0.01L * size) : 0;
    maxLabels = RoundEven(static_cast<long double>(PixelLength) / (size + gap));
  }
  return IncrementForLabelCount(maxLabels);
}

std::string TCustomChartAxis::DistinctPatternFor(double inc) const {
  // Only the default value walk's labels; handlers and point labels write their own.
  if (chart_->OnGetNextAxisLabel || ResolvedLabelStyle() != TAxisLabelStyle::talValue ||
      !(inc > 0) || EffectiveMaximum < EffectiveMinimum)
    return axisValuesFormat_;
  std::vector<TLabelPlace> labels;
  for (double v : LabelValues(inc)) labels.push_back({v, mapping_.ToPixel(v)});
  return DistinctLabelPattern(axisValuesFormat_, labels, &labelMemo_);
}

TCustomChartAxis::TLabelScale TCustomChartAxis::ComputeLabelScale() {
  // Longer labels may ask for a larger step, whose labels may need fewer decimals: a
  // few rounds settle it, and the labels drawn are always told apart.
  std::string sizedFor = axisValuesFormat_;
  double inc = IncrementForPattern(sizedFor);
  std::string pattern = DistinctPatternFor(inc);
  for (int round = 0; round < 3 && pattern != sizedFor; ++round) {
    sizedFor = pattern;
    inc = IncrementForPattern(sizedFor);
    pattern = DistinctPatternFor(inc);
  }
  return {inc, std::move(pattern)};
}

namespace {

// The increment search walks the same chain of steps (1, 2, 5, 10, ...) on every call,
// through hundreds of decades for a huge range: the steps are remembered.
double RememberedNiceStep(double x) {
  thread_local std::unordered_map<double, double> known;
  if (const auto it = known.find(x); it != known.end()) return it->second;
  if (known.size() >= 8192) known.clear();
  return known[x] = NextNiceStep(x);
}

}  // namespace

double TCustomChartAxis::IncrementForLabelCount(int maxLabels) const {
  if (maxLabels < 1) return kMinIncrement;
  double step =
      increment_ > 0 ? increment_ : (std::fabs(EffectiveRange) >= 1 ? 1.0 : kMinIncrement);
  if (labelsSeparation_ > 0) {
    // The step only grows; a range that is not a finite number would grow it forever,
    // so the search gives up after a bounded number of steps. From a start of 1e-12 or
    // more those steps pass every double and end at infinity: that is the answer at once.
    // (From a denormal start the roundings can stall the steps below 1e-12.)
    if (!std::isfinite(EffectiveRange) && step >= kMinIncrement)
      return std::numeric_limits<double>::infinity();
    long long n = static_cast<long long>(maxLabels) + 1;
    for (int guard = 0; n > maxLabels && guard < kMaxStepSearch; ++guard) {
      const double q = static_cast<double>(static_cast<long double>(EffectiveRange) / step);
      if (std::fabs(q) < kMaxPixelOffset) {
        n = std::llrint(q);
        if (n > maxLabels) step = RememberedNiceStep(step);
      } else {
        step = RememberedNiceStep(step);
      }
    }
  }
  return std::max(step, kMinIncrement);
}

std::vector<double> TCustomChartAxis::LabelValues(double inc) const {
  std::vector<double> values;
  const double count = static_cast<double>(static_cast<long double>(EffectiveRange) / inc);
  if (!(std::fabs(count) < 10000)) return values;

  double v = EffectiveMaximum;
  if (EffectiveMinimum != EffectiveMaximum && roundFirstLabel_) {
    const double q = static_cast<double>(static_cast<long double>(EffectiveMaximum) / inc);
    // Beyond 2^63 increments from zero the first label cannot be a whole multiple of
    // the increment: the walk then starts at the maximum itself.
    if (std::fabs(q) < 0x1p63)
      v = static_cast<double>(static_cast<long double>(std::trunc(q)) * inc);
  }
  for (int guard = 0; v > EffectiveMaximum && guard < 4; ++guard)
    v = static_cast<double>(static_cast<long double>(v) - inc);
  const double low =
      static_cast<double>((static_cast<long double>(EffectiveMinimum) - 1e-12L) / 1.000000000001L);
  // At most as many labels as there are tick positions, and no further once the
  // increment is too small to change the value (a constant range).
  while (v >= low && values.size() < kMaxTickPositions) {
    values.push_back(v);
    const double next = static_cast<double>(static_cast<long double>(v) - inc);
    if (next == v) break;
    v = next;
  }
  return values;
}

void TCustomChartAxis::ApplyFixedRange(double min, double max) {
  automatic_ = automaticMinimum_ = automaticMaximum_ = false;
  if (min > max) std::swap(min, max);
  // Plain writes through the setters' effect (repaint when changed), without checks.
  if (minimum_ != min || maximum_ != max) {
    minimum_ = min;
    maximum_ = max;
    Changed();
  }
  if (static_cast<long double>(maximum_) - minimum_ < 1e-10L)
    maximum_ = static_cast<double>(minimum_ + 1e-10L);
}

void TCustomChartAxis::ShiftAxisRange(double offset) {
  automatic_ = automaticMaximum_ = automaticMinimum_ = false;
  maximum_ = static_cast<double>(static_cast<long double>(maximum_) + offset);
  minimum_ = static_cast<double>(static_cast<long double>(minimum_) + offset);
  Changed();
}

// ===========================================================================
// Sizes, labels, ticks and grid

void TCustomChartAxis::RefreshDateTime() {
  isDateTime_ = false;
  for (int i = 0; i < chart_->SeriesCount(); ++i) {
    TChartSeriesBase* s = chart_->SeriesAt(i);
    if (s->Active() && s->UsesAxis(this)) {
      isDateTime_ = isHorizontal_ ? s->XDateTime() : s->YDateTime();
      return;
    }
  }
}

int TCustomChartAxis::AxisTickSize() const {
  int size = (AxisPen.Visible() ? AxisPen.Width() : 0) + (Ticks.Visible() ? tickLength_ : 0);
  if (MinorTicks.Visible()) size = std::max(size, minorTickLength_);
  return size;
}

TAxisLabelStyle TCustomChartAxis::ResolvedLabelStyle() const {
  if (labelStyle_ != TAxisLabelStyle::talAuto) return labelStyle_;
  TAxisLabelStyle style = TAxisLabelStyle::talNone;
  for (int i = 0; i < chart_->SeriesCount(); ++i) {
    TChartSeriesBase* s = chart_->SeriesAt(i);
    if (!s->Active() || !s->UsesAxis(this)) continue;
    style = TAxisLabelStyle::talValue;
    if (isHorizontal_ && s->PointCount() > 0 && !s->PointLabel(0).empty())
      return TAxisLabelStyle::talText;
  }
  return style;
}

int TCustomChartAxis::AxisLabelsSize() {
  if (labelsSize_ != 0) return labelsSize_;
  chart_->ApplyFont(LabelsFont);
  TChartCanvas3D& canvas = chart_->ChartCanvas();
  const bool lineHeight = isHorizontal_ ? (labelsAngle_ == 0 || labelsAngle_ == 180)
                                        : (labelsAngle_ == 90 || labelsAngle_ == 270);
  if (lineHeight) return canvas.StandardLineHeight();
  switch (ResolvedLabelStyle()) {
    case TAxisLabelStyle::talValue:
      return MaxValueLabelWidth();
    case TAxisLabelStyle::talMark:
    case TAxisLabelStyle::talText: {
      int widest = 0;
      for (int i = 0; i < chart_->SeriesCount(); ++i) {
        TChartSeriesBase* s = chart_->SeriesAt(i);
        if (!s->Active() || !s->UsesAxis(this)) continue;
        for (int p = 0; p < s->PointCount(); ++p)
          widest = std::max(widest, canvas.MeasureTextWidth(s->PointLabel(p)));
      }
      return widest;
    }
    default:
      return 0;
  }
}

int TCustomChartAxis::AxisTitleSize() {
  if (titleSize_ != 0) return titleSize_;
  chart_->ApplyFont(Title.Font());
  TChartCanvas3D& canvas = chart_->ChartCanvas();
  const int angle = Title.Angle();
  const bool lineHeight =
      isHorizontal_ ? (angle == 0 || angle == 180) : (angle == 90 || angle == 270);
  return lineHeight ? canvas.StandardLineHeight() : canvas.MeasureTextWidth(Title.Caption());
}

int TCustomChartAxis::MaxValueLabelWidth() {
  double lo = EffectiveMinimum, hi = EffectiveMaximum;
  std::string pattern;
  if (roundFirstLabel_) {
    TLabelScale scale = ComputeLabelScale();
    const double inc = scale.increment;
    pattern = std::move(scale.pattern);
    lo = static_cast<double>(std::trunc(static_cast<long double>(EffectiveMinimum) / inc) * inc);
    hi = static_cast<double>(std::trunc(static_cast<long double>(EffectiveMaximum) / inc) * inc);
  }
  // The widths are those of the plain labels: the handler is out of the way meanwhile,
  // and back afterwards even when a label cannot be formatted.
  auto suspended = std::move(chart_->OnGetAxisLabel);
  chart_->OnGetAxisLabel = nullptr;
  TScopeExit restore([&] { chart_->OnGetAxisLabel = std::move(suspended); });
  if (!roundFirstLabel_) pattern = ComputeLabelScale().pattern;
  TChartCanvas3D& canvas = chart_->ChartCanvas();
  auto widest = [&](const std::string& text) {
    int w = 0;
    for (const auto& line : SplitLines(text)) w = std::max(w, canvas.MeasureTextWidth(line));
    return w;
  };
  return std::max(widest(FormatAxisLabel(hi, pattern)), widest(FormatAxisLabel(lo, pattern))) +
         canvas.MeasureTextWidth(" ");
}

std::string TCustomChartAxis::FormatAxisLabel(double value) {
  return FormatAxisLabel(value, axisValuesFormat_);
}

std::string TCustomChartAxis::FormatAxisLabel(double value, std::string_view pattern) {
  std::string text = labelMemo_.Format(pattern, value);
  if (chart_->OnGetAxisLabel) chart_->OnGetAxisLabel(this, nullptr, -1, text);
  if (labelsMultiLine_) std::replace(text.begin(), text.end(), ' ', '\n');
  return text;
}

int TCustomChartAxis::Shrink(TRect& rect, int n) const {
  if (isHorizontal_) {
    if (isOtherSide_) return rect.Top += n;
    return rect.Bottom -= n;
  }
  if (isOtherSide_) return rect.Right -= n;
  return rect.Left += n;
}

int TCustomChartAxis::Outward() const {
  return (isHorizontal_ ? !isOtherSide_ : isOtherSide_) ? 1 : -1;
}

int TCustomChartAxis::Offset(int position) const {
  if (positionPercent_ == 0) return position;
  const TRect& p = chart_->PlotRect;
  const long double across = isHorizontal_ ? p.Height() : p.Width();
  long long off = RoundPixel(positionPercent_ * 0.01L * across);
  if (isOtherSide_) off = -off;
  return ClampPixel(isHorizontal_ ? position - off : position + off);
}

void TCustomChartAxis::ReserveAxisSpace(TRect& rect, bool reserve) {
  if (reserve) {
    RefreshDateTime();
    if (!Title.Caption().empty()) TitlePosition = Shrink(rect, AxisTitleSize());
    if (isDepth_) TitlePosition = rect.Right;
    if (labels_) LabelsPosition = Shrink(rect, AxisLabelsSize());
    const int s = AxisTickSize();
    if (s > 0) Shrink(rect, s);
    TitlePosition = Offset(TitlePosition);
    LabelsPosition = Offset(LabelsPosition);
    return;
  }
  TRect edge = rect;
  LinePosition = Offset(Shrink(edge, 0));
  const int outward = Outward();
  LabelsPosition = LinePosition + outward * AxisTickSize();
  TitlePosition = LabelsPosition + outward * AxisLabelsSize();
}

void TCustomChartAxis::DrawAxisLabel(int position, const std::string& text) {
  if (tickOnLabelsOnly_ && tickPositions_.size() < kMaxTickPositions)
    tickPositions_.push_back(position);
  TChartCanvas3D& canvas = chart_->ChartCanvas();
  chart_->ApplyFont(LabelsFont);
  canvas.Brush().SetColor(chart_->Color());
  canvas.Brush().SetStyle(TBrushStyle::bsClear);

  int x = isHorizontal_ ? position : LabelsPosition;
  int y = isHorizontal_ ? LabelsPosition : position;
  const int h = canvas.StandardLineHeight();
  const std::vector<std::string> lines = SplitLines(text);
  const int k = static_cast<int>(lines.size());
  unsigned align;
  if (!isHorizontal_) {
    align = isOtherSide_ ? TA_LEFT | TA_TOP : TA_RIGHT | TA_TOP;
    y = y - h / 2 - RoundEven(h * 0.5L * (k + 1));
  } else if (!isOtherSide_) {
    align = TA_CENTER | TA_TOP;
    y -= h;
  } else {
    align = TA_CENTER | TA_BOTTOM;
    y -= h * k;
  }
  canvas.SetTextAlignment(align);
  const int z = isOtherSide_ ? chart_->PlotDepth : 0;
  for (const auto& line : lines) {
    y += h;
    if (labelsAngle_ == 0)
      canvas.OutputTextAtDepth(x, y, line, z);
    else
      canvas.OutputRotatedText(x, y, labelsAngle_, line);
  }
  canvas.SetTextAlignment(TA_LEFT | TA_TOP);
}

// The title is centred in the band ReserveAxisSpace took for it, across the axis, and
// on the axis' middle along it; a turned title is turned about the band's centre.
void TCustomChartAxis::DrawAxisTitle() {
  TChartCanvas3D& canvas = chart_->ChartCanvas();
  const int size = AxisTitleSize();
  chart_->ApplyFont(Title.Font());
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  const int middle = (StartPixel + EndPixel) / 2;
  const int outward = Outward();
  const int across = TitlePosition + outward * (size / 2);
  const long double cx = isHorizontal_ ? middle : across, cy = isHorizontal_ ? across : middle;
  const long double radians = Title.Angle() * 3.14159265358979323846L / 180;
  const long double half = canvas.StandardLineHeight() * 0.5L;
  // The top centre of the unturned text cell, moved from the centre against the text's
  // up direction, which a counter-clockwise turn by the angle makes (-sin, -cos).
  const int x = RoundEven(cx - half * std::sin(radians)),
            y = RoundEven(cy - half * std::cos(radians));
  canvas.SetTextAlignment(TA_CENTER | TA_TOP);
  if (Title.Angle() == 0)
    canvas.OutputTextAtDepth(x, y, Title.Caption(), isOtherSide_ ? chart_->PlotDepth : 0);
  else
    canvas.OutputRotatedText(x, y, Title.Angle(), Title.Caption());
  canvas.SetTextAlignment(TA_LEFT | TA_TOP);
}

// A tick at `position` along the axis, starting one pixel outside the line (inside
// for direction -1, the inner ticks) and running `length` pixels outward (inward when
// negative): the start row does not depend on the sign of the length, so a tick of
// length -3 covers the line's own row and the rows next to it.
void TCustomChartAxis::DrawTick(int position, int length, int depth, int direction) {
  TChartCanvas3D& canvas = chart_->ChartCanvas();
  const int sign = direction;
  if (isHorizontal_) {
    const int from = isOtherSide_ ? LinePosition - sign : LinePosition + sign;
    const int to = isOtherSide_ ? from - length : from + length;
    canvas.DrawVerticalLineAtDepth(position, from, to, depth);
  } else {
    const int from = isOtherSide_ ? LinePosition + sign : LinePosition - sign;
    const int to = isOtherSide_ ? from + length : from - length;
    canvas.DrawHorizontalLineAtDepth(from, to, position, depth);
  }
}

void TCustomChartAxis::DrawGridLine(int position) {
  TChartCanvas3D& canvas = chart_->ChartCanvas();
  const TRect& p = chart_->PlotRect;
  if (isHorizontal_)
    canvas.DrawVerticalLine(position, p.Top, p.Bottom);
  else
    canvas.DrawHorizontalLine(p.Left, p.Right, position);
}

void TCustomChartAxis::DrawTicks(TChartPen& pen, int length, int direction) {
  if (!pen.Visible()) return;
  chart_->ChartCanvas().ApplyChartPen(pen);
  const int depth = isOtherSide_ ? chart_->PlotDepth : 0;
  for (int p : tickPositions_) DrawTick(p, direction * length, depth, direction);
}

void TCustomChartAxis::DrawMinor(TChartPen& pen, bool grid) {
  if (tickPositions_.empty() || !pen.Visible()) return;
  chart_->ChartCanvas().ApplyChartPen(pen);
  const int depth = isOtherSide_ ? chart_->PlotDepth : 0;
  auto mark = [&](int position) {
    if (!(StartPixel < position && position < EndPixel)) return;
    if (grid)
      DrawGridLine(position);
    else
      DrawTick(position, minorTickLength_, depth, 1);
  };
  for (int position : MinorMarkPositions(tickPositions_, minorTickCount_)) mark(position);
}

// One label per point of the first active series on this axis that has a text, placed
// at the point's value; a label that would come closer to the previous one than their
// half widths plus the separation is left out with its tick.
void TCustomChartAxis::DrawPointLabels() {
  TChartCanvas3D& canvas = chart_->ChartCanvas();
  for (int i = 0; i < chart_->SeriesCount(); ++i) {
    TChartSeriesBase* s = chart_->SeriesAt(i);
    if (!s->Active() || !s->UsesAxis(this)) continue;
    bool any = false;
    int lastPos = 0, lastHalf = 0;
    for (int point = 0; point < s->PointCount() && tickPositions_.size() < kMaxTickPositions;
         ++point) {
      const std::string text = s->PointLabel(point);
      if (text.empty()) continue;
      const int pos = mapping_.ToPixel(isHorizontal_ ? s->PointX(point) : s->PointY(point));
      if (!(labelsOnAxis_ || (StartPixel < pos && pos < EndPixel))) continue;
      chart_->ApplyFont(LabelsFont);
      const int extent =
          isHorizontal_ ? canvas.MeasureTextWidth(text) : canvas.StandardLineHeight();
      const int half = extent / 2 + RoundEven(labelsSeparation_ * 0.01L * extent) / 2;
      if (any && std::abs(pos - lastPos) < half + lastHalf) continue;
      any = true;
      lastPos = pos;
      lastHalf = half;
      if (!tickOnLabelsOnly_) tickPositions_.push_back(pos);
      if (labels_) DrawAxisLabel(pos, text);
    }
    return;
  }
}

void TCustomChartAxis::DrawAxis(bool placeLine) {
  TChartCanvas3D& canvas = chart_->ChartCanvas();
  RefreshDateTime();
  chart_->ApplyFont(LabelsFont);
  const TLabelScale scale = ComputeLabelScale();
  const double inc = scale.increment;
  if (placeLine) {
    const TRect& p = chart_->PlotRect;
    const int edge =
        isHorizontal_ ? (isOtherSide_ ? p.Top : p.Bottom) : (isOtherSide_ ? p.Right : p.Left);
    LinePosition = Offset(edge);
  }
  if (!Title.Caption().empty()) DrawAxisTitle();
  tickPositions_.clear();

  auto produce = [&](double v) {
    const int pos = mapping_.ToPixel(v);
    if (!(labelsOnAxis_ || (StartPixel < pos && pos < EndPixel))) return;
    if (!tickOnLabelsOnly_ && tickPositions_.size() < kMaxTickPositions)
      tickPositions_.push_back(pos);
    if (labels_) DrawAxisLabel(pos, FormatAxisLabel(v, scale.pattern));
  };
  if (inc > 0 && EffectiveMaximum >= EffectiveMinimum) {
    switch (ResolvedLabelStyle()) {
      case TAxisLabelStyle::talValue:
        if (chart_->OnGetNextAxisLabel) {
          double v = 0;
          for (int i = 0;
               i < static_cast<int>(kMaxTickPositions) && chart_->OnGetNextAxisLabel(this, i, v);
               ++i)
            produce(v);
        } else {
          for (double v : LabelValues(inc)) produce(v);
        }
        break;
      case TAxisLabelStyle::talMark:
      case TAxisLabelStyle::talText:
        DrawPointLabels();
        break;
      default:
        break;
    }
  }

  if (AxisPen.Visible()) {
    canvas.ApplyChartPen(AxisPen);
    const int depth = isOtherSide_ ? chart_->PlotDepth : 0;
    if (isHorizontal_)
      canvas.DrawHorizontalLineAtDepth(StartPixel, EndPixel, LinePosition, depth);
    else
      canvas.DrawVerticalLineAtDepth(LinePosition, StartPixel, EndPixel, depth);
  }
  DrawTicks(Ticks, tickLength_, 1);
  if (Grid.Visible()) {
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.SetBackgroundMode(TRANSPARENT);
    canvas.ApplyChartPen(Grid);
    if (Grid.Color() == clAutoColor) canvas.Pen().SetColor(clGray);
    for (int position : gridCentered_ ? CenteredGridPositions(tickPositions_) : tickPositions_)
      DrawGridLine(position);
    canvas.SetBackgroundMode(OPAQUE);
  }
  DrawTicks(TicksInner, tickInnerLength_, -1);
  DrawMinor(MinorTicks, false);
  DrawMinor(MinorGrid, true);
}

}  // namespace quarvel
