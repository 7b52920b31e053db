#pragma once
// The main window: the whole user interface and the owner of the model.
//
// It holds the blob list, the density grid, the projection and the resampled points
// (as the projection model it derives from), shows the blobs in a read-only table, the
// grid as a green image and the projection as a line chart, and lets the user choose
// the chart's resolution. Everything shown is rebuilt by one routine, RecomputeAll,
// which runs once for every blob created at start-up and again for every resolution
// choice. Nothing is drawn inside it: it invalidates, and painting follows.

#include <QImage>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "chart/axes/AxisPanel.h"
#include "chart/series/Series.h"
#include "model/PhantomFile.h"
#include "model/ProjectionModel.h"
#include "platform/Bitmap24.h"
#include "platform/window/Application.h"

class QAction;
class QDialog;
class QMenu;

namespace quarvel {

// The blobs the window starts with when no phantom file is given.
const std::vector<TPhantomBlob>& BuiltInPhantom();

class TformMain : public TForm, public TProjectionModel, public TBlobRegistry {
 public:
  // Creates the controls from the layout table; FormCreate runs in Create.
  TformMain();
  ~TformMain() override;

  // Creates the main window: the application's main-window reference is set before
  // the window's creation code (FormCreate) runs, so the start-up blobs register.
  static std::unique_ptr<TformMain> Create(TApplication& application);
  // The main window with a phantom file's blobs in place of the built-in three:
  // FormCreate creates them in file order, each registering as the built-in ones do (one
  // update cycle per blob). With no blob at all it runs the cycle once, so that the grid,
  // the projection and the points are those of an empty phantom. An error from these
  // cycles leaves FormCreate as from any event handler: it is shown, the window goes on.
  static std::unique_ptr<TformMain> Create(TApplication& application,
                                           std::vector<TPhantomBlob> phantom);

  // ---- event handlers, bound by name through the layout table
  void FormCreate(QWidget* sender);
  void FormDestroy(QWidget* sender);
  void btnCloseClick(QWidget* sender);
  // `index`: the resolution item clicked (0, 1, 2).
  void grpResolutionClick(QWidget* sender, int index);
  void listGaussesChange(QWidget* sender);
  void boxNormalPaint(QWidget* sender);
  void seriesMainAfterDrawValues(TChartSeries* sender);

  // ---- the update cycle and its helpers
  void RegisterBlob(std::unique_ptr<TGauss3D> blob) override;
  void RecomputeAll();
  // One table row: the blob's four figures in the general form. Virtual so that a test
  // can make a row fail in the middle of a bulk update.
  virtual void FillBlobRow(TListRow& row, const TGauss3D& blob);
  void PaintGrid(TBitmap24& bitmap) const;
  uint8_t GreenLevel(double v) const;

  // ---- controls (owned by their parent widgets; the chart objects by the window)
  TPanel* panelTop = nullptr;
  TPanel* Panel1 = nullptr;
  TSpeedButton* btnClose = nullptr;
  TPanel* Panel2 = nullptr;
  TPanel* panelNormal = nullptr;
  TPaintBox* boxNormal = nullptr;
  TRadioGroup* grpResolution = nullptr;
  TChartControl* chartMainControl = nullptr;
  std::unique_ptr<TChart> chartMain;
  std::unique_ptr<TLineSeries> seriesMain;
  TSplitter* Splitter1 = nullptr;
  TPanel* Panel3 = nullptr;
  TListView* listGausses = nullptr;

  // How many update cycles ran (start-up runs three before the window is shown).
  int UpdateCycles = 0;

  // The blobs FormCreate creates instead of the built-in three, when set.
  std::optional<std::vector<TPhantomBlob>> StartupPhantom;

  // ---- the chart as a tool (ChartCommands.cpp): its menu, copy, save, readouts
  // The chart's own picture as shown now: zoom and stems included, no zoom frame (a
  // drag in progress is cancelled first).
  QImage ChartImage();
  void CopyChartImage();
  // Ask for a file, then write it through the export tool's writer; EOutputError
  // (shown in a message box by the handler guard) when it cannot be written.
  void SaveChartImage();
  void SaveChartPoints();
  void ShowMouseAndKeys();
  // The chart's menu at a pixel of the chart's control (not modal).
  void ShowChartMenu(int x, int y);
  // The readout texts; empty outside the plotting rectangle and the image.
  std::string ChartReadoutText(int x, int y);
  std::string GridReadoutText(int x, int y) const;
  // Asks where to save (caption, proposed file name, filter, default suffix); empty
  // when cancelled. A file dialog; tests put their own answer here.
  std::function<QString(const QString&, const QString&, const QString&, const QString&)>
      AskSavePath;

  QMenu* menuChart = nullptr;
  QAction* actResetView = nullptr;
  QAction* actBack = nullptr;
  QAction* actForward = nullptr;
  QAction* actCopyImage = nullptr;
  QAction* actSaveImage = nullptr;
  QAction* actSavePoints = nullptr;
  QAction* actMouseAndKeys = nullptr;
  QAction* actClose = nullptr;
  QPointer<QDialog> dialogMouseAndKeys;

 protected:
  void LocaleChanged() override;

 private:
  void CreateControls();
  void ConfigureChart();
  void BindChartCommands();
  std::function<void(QWidget*)> Handler(const std::string& name);
  std::function<void(QWidget*, int)> IndexHandler(const std::string& name);
};

// Reads the decimal and thousands separators from the user's locale.
void ReadLocaleSeparators();

}  // namespace quarvel
