#pragma once
// A control host without a window: the control's surface is a bitmap of the client
// size. Painting a chart into it renders the chart headlessly.

#include "platform/Bitmap.h"
#include "platform/ControlHost.h"

namespace quarvel {

class TBitmapHost : public TChartHost {
 public:
  TBitmapHost(int width, int height) : bitmap_(width, height) {}

  int ClientWidth() const override { return bitmap_.Width(); }
  int ClientHeight() const override { return bitmap_.Height(); }
  TCanvas* OwnSurface() override { return &bitmap_.Canvas(); }
  void Invalidate() override { ++Invalidations; }
  void ShowSurface() override { ++SurfaceShows; }
  void ShowCursor(int cursor) override { ShownCursor = cursor; }

  // Resizes the client area (its pixels become undefined until the next paint).
  void SetClientSize(int width, int height) { bitmap_.SetSize(width, height); }
  TBitmap& Bitmap() { return bitmap_; }

  int Invalidations = 0;
  int SurfaceShows = 0;
  int ShownCursor = 0;

 private:
  TBitmap bitmap_;
};

}  // namespace quarvel
