#pragma once
// What the chart and its axes need of a series. The series classes implement it; the
// chart keeps its series list as references to this base.

#include <string>

#include "platform/Color.h"

namespace quarvel {

class TCustomChartAxis;
class TCustomAxisPanel;

enum class THorizAxis : uint8_t {
  aTopAxis = 0,
  aBottomAxis = 1,
  aBothHorizAxis = 2,
  aCustomHorizAxis = 3
};
enum class TVertAxis : uint8_t {
  aLeftAxis = 0,
  aRightAxis = 1,
  aBothVertAxis = 2,
  aCustomVertAxis = 3
};

class TChartSeriesBase {
 public:
  virtual ~TChartSeriesBase() = default;

  virtual bool Active() const = 0;
  virtual TColor SeriesColor() const = 0;
  virtual void SetSeriesColor(TColor color) = 0;
  virtual THorizAxis HorizAxis() const = 0;
  virtual TVertAxis VertAxis() const = 0;
  // The axes the series maps with (empty until attached).
  virtual TCustomChartAxis* HorizAxisObject() const = 0;
  virtual TCustomChartAxis* VertAxisObject() const = 0;
  virtual bool UsesAxis(const TCustomChartAxis* axis) const = 0;
  virtual int PointCount() const = 0;
  virtual double PointX(int index) const = 0;
  virtual double PointY(int index) const = 0;
  virtual double LowestX() = 0;
  virtual double HighestX() = 0;
  virtual double LowestY() = 0;
  virtual double HighestY() = 0;
  // True when the X (or Y) value list holds date-times.
  virtual bool XDateTime() const = 0;
  virtual bool YDateTime() const = 0;
  virtual std::string PointLabel(int index) const = 0;
  virtual void HorizPixelMargins(int& left, int& right) = 0;
  virtual void VertPixelMargins(int& top, int& bottom) = 0;
  // The series' step of the chart's paint.
  virtual void PaintSeries() = 0;
  // The index of a drawn point under the pixel (or of the nearer end of a segment
  // under it), -1 for none.
  virtual int PointUnderPixel(int, int) { return -1; }
  // The series' part of a click: raises OnDblClick or OnClick when bound, setting
  // eventHandled first (a handler may clear it to let the chart go on).
  virtual void ClickStep(bool doubleClick, bool& eventHandled) {
    (void)doubleClick;
    (void)eventHandled;
  }
  // Called by the chart when the series is attached to it or detached (null).
  virtual void ChartChanged(TCustomAxisPanel* chart) = 0;
};

}  // namespace quarvel
