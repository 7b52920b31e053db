#pragma once
// A chart axis: which value range it shows (automatic from the series or fixed), where
// that range lies in pixels, the two mappings between values and pixels, the label
// increment, and the visible side: the room it takes, labels, ticks, grid.
//
// The range and pixel fields are cached per paint: RefreshAutomaticRange, then
// ReserveAxisSpace, PlaceAxisPixels, WidenRangeForMargins and DrawAxis, in the chart's
// paint order; between paints they keep their last values. Degenerate ranges are
// safe: a zero or non-finite range maps every value to CenterPixel, and the label walk
// produces at most kMaxTickPositions labels and stops where the step no longer changes
// the value.

#include <functional>
#include <string>
#include <vector>

#include "chart/panel/ChartPens.h"
#include "chart/panel/TitleWall.h"
#include "format/NotifyingSettings.h"

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
 public:
  static constexpr std::size_t kMaxTickPositions = 2000;

  TCustomChartAxis(TCustomAxisPanel* chart, bool horizontal, bool otherSide, bool depth);
  virtual ~TCustomChartAxis() = default;
  TCustomChartAxis(const TCustomChartAxis&) = delete;
  TCustomChartAxis& operator=(const TCustomChartAxis&) = delete;

  // ---- scaling and mapping
  void RefreshAutomaticRange();
  void PlaceAxisPixels();
  void WidenRangeForMargins(const TRect& margins);
  int ValueToPixel(double value) const;
  double PixelToValue(int pixel) const;
  double ComputeLabelIncrement();
  double IncrementForLabelCount(int maxLabels) const;
  int LabelExtent(double value);
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
  bool Inverted() const { return inverted_; }
  void SetInverted(bool v) { Set(inverted_, v); }
  bool Logarithmic() const { return logarithmic_; }
  void SetLogarithmic(bool v);
  int LogarithmicBase() const { return logarithmicBase_; }
  void SetLogarithmicBase(int v);
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
  double EffectiveMinimum = 0;
  double EffectiveMaximum = 0;
  double EffectiveRange = 0;
  int StartPixel = 0;
  int EndPixel = 0;
  int PixelLength = 0;
  int CenterPixel = 0;
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
  void DrawTick(int position, int length, int depth, int direction);
  void DrawAxisTitle();
  void DrawGridLine(int position);
  void DrawTicks(TChartPen& pen, int length, int direction);
  void DrawMinor(TChartPen& pen, bool grid);
  void DrawPointLabels();

  TCustomAxisPanel* chart_;
  bool isHorizontal_, isOtherSide_, isDepth_;
  bool isDateTime_ = false;

  bool automatic_ = true, automaticMaximum_ = true, automaticMinimum_ = true;
  double maximum_ = 0, minimum_ = 0, increment_ = 0;
  bool inverted_ = false, logarithmic_ = false;
  int logarithmicBase_ = 10;
  int labelsSeparation_ = 10;
  bool roundFirstLabel_ = true, labelsOnAxis_ = true, tickOnLabelsOnly_ = true;
  double startPosition_ = 0, endPosition_ = 100, positionPercent_ = 0;
  bool visible_ = true, labels_ = true;
  int labelsAngle_ = 0, labelsSize_ = 0;
  bool labelsMultiLine_ = false;
  TAxisLabelStyle labelStyle_ = TAxisLabelStyle::talAuto;
  std::string axisValuesFormat_ = "#,##0.###";
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
