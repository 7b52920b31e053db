#pragma once
// A chart axis: which value range it shows (automatic from the series or fixed), where
// that range lies in pixels, the two mappings between values and pixels, the label
// increment, and the visible side: the room it takes, labels, ticks, grid.
//
// What a paint computes for the mapping is one TAxisMapping (AxisMapping.h), cached per
// paint: RefreshAutomaticRange sets its range, PlaceAxisPixels its pixels,
// WidenRangeForMargins widens the range, in the chart's paint order (RefreshAutomaticRange,
// ReserveAxisSpace, PlaceAxisPixels, WidenRangeForMargins, DrawAxis); between paints it
// keeps its last values. EffectiveMinimum ... CenterPixel are read-only views of it.
// Degenerate ranges are safe: see AxisMapping.h for the mapping; the label walk
// produces at most kMaxTickPositions labels and stops where the step no longer changes
// the value.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "chart/axes/AxisMapping.h"
#include "chart/panel/ChartPens.h"
#include "chart/panel/TitleWall.h"
#include "base/NotifyingSettings.h"
#include "format/NumberFormat.h"

namespace quarvel {

class TCustomAxisPanel;

enum class TAxisLabelStyle { talAuto, talNone, talValue, talMark, talText };

// The next member of ..., 0.1, 0.2, 0.5, 1, 2, 5, 10, ... above x (x > 0), each step of
// the recursion rounded to double. Non-positive or non-finite x is returned unchanged.
double NextNiceStep(double x);

// The minor marks between tick positions p[0 ... n-1] (in list order), `count` marks
// per gap: beyond the outermost ticks first (continuing their spacing), then inside
// each gap. Positions are not yet limited to the axis.
std::vector<int> MinorMarkPositions(const std::vector<int>& ticks, int count);
// The grid lines of a centred grid: halfway between neighbouring tick positions.
std::vector<int> CenteredGridPositions(const std::vector<int>& ticks);

// "%s Angle must be between 0 and 359 degrees" unless 0 <= angle <= 359.
void CheckAngle(int angle, const std::string& subject);

class TChartAxisTitle : public TChartFontObject {
 public:
  TChartAxisTitle(TCustomChartPanel* panel, int defaultAngle);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v);
  int Angle() const { return angle_; }
  void SetAngle(int v);

 private:
  std::string caption_;
  int angle_;
};

class TCustomChartAxis : public TNotifyingSettings<TCustomChartAxis> {
  // Declared first: the public views below refer to it.
  TAxisMapping mapping_;

 public:
  static constexpr std::size_t kMaxTickPositions = 2000;

  TCustomChartAxis(TCustomAxisPanel* chart, bool horizontal, bool otherSide, bool depth);
  virtual ~TCustomChartAxis() = default;
  TCustomChartAxis(const TCustomChartAxis&) = delete;
  TCustomChartAxis& operator=(const TCustomChartAxis&) = delete;

  // ---- scaling and mapping
  // Paint step 1: Minimum and Maximum from the series where automatic; the effective
  // range becomes Minimum ... Maximum (no validation, no repaint).
  void RefreshAutomaticRange();
  // Paint step 3, after the axes took their room from PlotRect: the pixel ends from
  // PlotRect, StartPosition and EndPosition.
  void PlaceAxisPixels();
  // Paint step 4, after PlaceAxisPixels: widens the effective range so that the values
  // at the ends lie near (left or top) and far (right or bottom) pixels inside them.
  void WidenRangeForMargins(const TRect& margins);
  // The mapping of the last paint (or of the steps above run by hand). Meaningful once
  // RefreshAutomaticRange and PlaceAxisPixels have run; what the series draw with once
  // WidenRangeForMargins has run too.
  const TAxisMapping& Mapping() const { return mapping_; }
  // The effective range min ... max as RefreshAutomaticRange would leave it, without
  // the series or the properties (tools and tests that place an axis without a paint).
  void SetEffectiveRange(double min, double max) { mapping_.SetRange(min, max); }
  // Mapping().ToPixel / ToValue: prerequisites as for Mapping().
  int ValueToPixel(double value) const { return mapping_.ToPixel(value); }
  double PixelToValue(int pixel) const { return mapping_.ToValue(pixel); }
  // The label step for the current range and PixelLength; the canvas font must be the
  // labels font (ApplyFont).
  double ComputeLabelIncrement();
  // The nice step that gives at most maxLabels labels over the effective range.
  double IncrementForLabelCount(int maxLabels) const;
  // The label's extent along the axis in the current canvas font.
  int LabelExtent(double value);
  // The label step and the pattern its value labels are written with: the pattern
  // AxisValuesFormat unless neighbouring labels would read alike (a deep zoom), then
  // with as many more decimals as tell them apart (DistinctLabelPattern), the step
  // sized for those longer labels. Prerequisites as for ComputeLabelIncrement.
  struct TLabelScale {
    double increment;
    std::string pattern;
  };
  TLabelScale ComputeLabelScale();
  // A fixed range: automatic flags off, ends ordered, at least 1e-10 wide; repaints
  // when an end changes. The effective range follows at the next paint.
  void ApplyFixedRange(double min, double max);
  // Moves both ends by offset and makes the axis non-automatic (the mouse wheel).
  void ShiftAxisRange(double offset);
  // The values the default label walk produces for increment inc, largest first.
  std::vector<double> LabelValues(double inc) const;

  // ---- labels, ticks and grid
  void ReserveAxisSpace(TRect& rect, bool reserve);
  void DrawAxis(bool placeLine);
  int AxisTickSize() const;
  int AxisLabelsSize();
  int AxisTitleSize();
  int MaxValueLabelWidth();
  std::string FormatAxisLabel(double value);
  // The label of a value written with `pattern` (ComputeLabelScale) instead.
  std::string FormatAxisLabel(double value, std::string_view pattern);
  void DrawAxisLabel(int position, const std::string& text);
  TAxisLabelStyle ResolvedLabelStyle() const;
  void RefreshDateTime();
  const std::vector<int>& TickPositions() const { return tickPositions_; }

  // ---- published settings
  bool Automatic() const { return automatic_; }
  void SetAutomatic(bool v);
  bool AutomaticMaximum() const { return automaticMaximum_; }
  void SetAutomaticMaximum(bool v);
  bool AutomaticMinimum() const { return automaticMinimum_; }
  void SetAutomaticMinimum(bool v);
  double Maximum() const { return maximum_; }
  void SetMaximum(double v);  // AxisException when below Minimum
  double Minimum() const { return minimum_; }
  void SetMinimum(double v);  // AxisException when above Maximum
  double Increment() const { return increment_; }
  void SetIncrement(double v);  // AxisException when negative
  // Kept in the mapping itself: it takes effect at once, not at the next paint.
  bool Inverted() const { return mapping_.Inverted; }
  void SetInverted(bool v) { Set(mapping_.Inverted, v); }
  int LabelsSeparation() const { return labelsSeparation_; }
  void SetLabelsSeparation(int v);
  bool RoundFirstLabel() const { return roundFirstLabel_; }
  void SetRoundFirstLabel(bool v) { Set(roundFirstLabel_, v); }
  bool LabelsOnAxis() const { return labelsOnAxis_; }
  void SetLabelsOnAxis(bool v) { Set(labelsOnAxis_, v); }
  bool TickOnLabelsOnly() const { return tickOnLabelsOnly_; }
  void SetTickOnLabelsOnly(bool v) { Set(tickOnLabelsOnly_, v); }
  double StartPosition() const { return startPosition_; }
  void SetStartPosition(double v) { Set(startPosition_, v); }
  double EndPosition() const { return endPosition_; }
  void SetEndPosition(double v) { Set(endPosition_, v); }
  double PositionPercent() const { return positionPercent_; }
  void SetPositionPercent(double v) { Set(positionPercent_, v); }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { Set(visible_, v); }
  bool Labels() const { return labels_; }
  void SetLabels(bool v) { Set(labels_, v); }
  int LabelsAngle() const { return labelsAngle_; }
  void SetLabelsAngle(int v);
  int LabelsSize() const { return labelsSize_; }
  void SetLabelsSize(int v) { Set(labelsSize_, v); }
  bool LabelsMultiLine() const { return labelsMultiLine_; }
  void SetLabelsMultiLine(bool v) { Set(labelsMultiLine_, v); }
  TAxisLabelStyle LabelStyle() const { return labelStyle_; }
  void SetLabelStyle(TAxisLabelStyle v) { Set(labelStyle_, v); }
  const std::string& AxisValuesFormat() const { return axisValuesFormat_; }
  void SetAxisValuesFormat(const std::string& v) { Set(axisValuesFormat_, v); }
  int TickLength() const { return tickLength_; }
  void SetTickLength(int v) { Set(tickLength_, v); }
  int TickInnerLength() const { return tickInnerLength_; }
  void SetTickInnerLength(int v) { Set(tickInnerLength_, v); }
  int MinorTickLength() const { return minorTickLength_; }
  void SetMinorTickLength(int v) { Set(minorTickLength_, v); }
  int MinorTickCount() const { return minorTickCount_; }
  void SetMinorTickCount(int v) { Set(minorTickCount_, v < 0 ? 0 : v); }
  bool GridCentered() const { return gridCentered_; }
  void SetGridCentered(bool v) { Set(gridCentered_, v); }
  int TitleSize() const { return titleSize_; }
  void SetTitleSize(int v) { Set(titleSize_, v); }

  // ---- stored, not drawn
  // Kept with their defaults and their setters' rules (and a change repaints), but no
  // paint reads them: the axis always maps linearly.
  bool Logarithmic() const { return logarithmic_; }
  // AxisException on a date-time axis, or when the range the axis would show has a
  // negative end.
  void SetLogarithmic(bool v);
  int LogarithmicBase() const { return logarithmicBase_; }
  // AxisException below 2.
  void SetLogarithmicBase(int v);

  TFont LabelsFont;
  TChartAxisPen AxisPen;
  TDarkGrayPen Ticks;
  TDarkGrayPen TicksInner;
  TDarkGrayPen MinorTicks;
  TDottedGrayPen Grid;
  TChartHiddenPen MinorGrid;
  TChartAxisTitle Title;

  // ---- state (not published)
  TCustomAxisPanel* ParentChart() const { return chart_; }
  bool IsHorizontal() const { return isHorizontal_; }
  bool IsOtherSide() const { return isOtherSide_; }
  bool IsDepthAxis() const { return isDepth_; }
  bool IsDateTime() const { return isDateTime_; }
  // Views of Mapping().
  const double& EffectiveMinimum = mapping_.Minimum;
  const double& EffectiveMaximum = mapping_.Maximum;
  const double& EffectiveRange = mapping_.Range;
  const int& StartPixel = mapping_.StartPixel;
  const int& EndPixel = mapping_.EndPixel;
  const int& PixelLength = mapping_.PixelLength;
  const int& CenterPixel = mapping_.CenterPixel;
  int LinePosition = 0;
  int LabelsPosition = 0;
  int TitlePosition = 0;

 private:
  friend TNotifyingSettings<TCustomChartAxis>;
  void SettingChanged() { Changed(); }
  void Changed();
  // Shrinks rect by n on the axis side and returns the new edge.
  int Shrink(TRect& rect, int n) const;
  int Offset(int position) const;
  // +1 when the labels lie beyond the line towards higher pixels (bottom, right axis).
  int Outward() const;
  // The near and far sides of rect along the axis: left and right, or top and bottom.
  std::pair<int, int> AlongAxis(const TRect& rect) const {
    return isHorizontal_ ? std::pair{rect.Left, rect.Right} : std::pair{rect.Top, rect.Bottom};
  }
  void DrawTick(int position, int length, int depth, int direction);
  void DrawAxisTitle();
  void DrawGridLine(int position);
  void DrawTicks(TChartPen& pen, int length, int direction);
  void DrawMinor(TChartPen& pen, bool grid);
  void DrawPointLabels();
  int LabelExtent(double value, std::string_view pattern);
  // The increment for labels written with `pattern`.
  double IncrementForPattern(std::string_view pattern);
  // The pattern that tells apart the default walk's labels of `inc`.
  std::string DistinctPatternFor(double inc) const;

  TCustomAxisPanel* chart_;
  bool isHorizontal_, isOtherSide_, isDepth_;
  bool isDateTime_ = false;

  bool automatic_ = true, automaticMaximum_ = true, automaticMinimum_ = true;
  double maximum_ = 0, minimum_ = 0, increment_ = 0;
  bool logarithmic_ = false;
  int logarithmicBase_ = 10;
  int labelsSeparation_ = 10;
  bool roundFirstLabel_ = true, labelsOnAxis_ = true, tickOnLabelsOnly_ = true;
  double startPosition_ = 0, endPosition_ = 100, positionPercent_ = 0;
  bool visible_ = true, labels_ = true;
  int labelsAngle_ = 0, labelsSize_ = 0;
  bool labelsMultiLine_ = false;
  TAxisLabelStyle labelStyle_ = TAxisLabelStyle::talAuto;
  std::string axisValuesFormat_ = "#,##0.###";
  // The label texts of recent paints (a text is formatted once, not once per use).
  mutable TPatternMemo labelMemo_;
  int tickLength_ = 4, tickInnerLength_ = 0, minorTickLength_ = 2, minorTickCount_ = 3;
  bool gridCentered_ = false;
  int titleSize_ = 0;
  std::vector<int> tickPositions_;
};

class TChartAxis : public TCustomChartAxis {
 public:
  TChartAxis(TCustomAxisPanel* chart, bool horizontal, bool otherSide)
      : TCustomChartAxis(chart, horizontal, otherSide, false) {}
};

class TChartDepthAxis : public TCustomChartAxis {
 public:
  explicit TChartDepthAxis(TCustomAxisPanel* chart) : TCustomChartAxis(chart, false, true, true) {}
};

}  // namespace quarvel
