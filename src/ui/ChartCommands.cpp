// The main window's commands around the chart: the keys on it, its menu, copying and
// saving what it shows, the readouts under the mouse and the mouse-and-keys dialog.
// The chart itself owns the view operations; this file binds keys and menus to them.

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>

#include "chart/axes/AxisReadout.h"
#include "chart/series/PointSearch.h"
#include "format/NumberFormat.h"
#include "ui/ExportView.h"
#include "ui/MainFormUnit.h"
#include "ui/MouseAndKeys.h"
#include "ui/OutputFile.h"
#include "ui/ProjectionView.h"

namespace quarvel {
namespace {

// A point of the series within this many pixels of the mouse is read out instead of
// the values under the mouse.
constexpr int kReadoutRadius = 3;

// "projection-256x256.png": what it shows, at which resolution.
QString ProposedName(const TRadioGroup& group, const char* what, const char* suffix) {
  const auto* item = qobject_cast<const QAbstractButton*>(group.Button(group.ItemIndex()));
  return QString("%1-%2.%3").arg(what, item ? item->text() : QString("chart"), suffix);
}

QString AskWithFileDialog(QWidget* parent, const QString& caption, const QString& name,
                          const QString& filter, const QString& suffix) {
  QFileDialog dialog(parent, caption, QDir::current().filePath(name), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

}  // namespace

void TformMain::BindChartCommands() {
  setTabOrder(listGausses, chartMainControl);
  chartMainControl->OnViewKey = [this](TViewKey key) { return chartMain->ChartKeyDown(key); };
  chartMainControl->OnReadout = [this](int x, int y) { return ChartReadoutText(x, y); };
  boxNormal->OnReadout = [this](int x, int y) { return GridReadoutText(x, y); };
  chartMain->OnContextClick = [this](TChart*, TMouseButton, TShiftState, int x, int y) {
    ShowChartMenu(x, y);
  };
  chartMainControl->OnContextKey = [this](int x, int y) { ShowChartMenu(x, y); };
  AskSavePath = [this](const QString& caption, const QString& name, const QString& filter,
                       const QString& suffix) {
    return AskWithFileDialog(this, caption, name, filter, suffix);
  };

  // Each command runs through the handler guard: an error is one message box.
  auto make = [this](const QString& text, std::function<void()> command) {
    auto* action = new QAction(text, this);
    connect(action, &QAction::triggered, this,
            [command = std::move(command)] { RunHandler(command); });
    return action;
  };
  // The chart's own keys work while it has the focus (TChartControl); the menu only
  // names them, after the tab.
  actResetView = make("Reset view\tHome", [this] { chartMain->ResetView(); });
  actBack = make("Back\tAlt+Left", [this] { chartMain->GoBack(); });
  actForward = make("Forward\tAlt+Right", [this] { chartMain->GoForward(); });
  actCopyImage = make("Copy image", [this] { CopyChartImage(); });
  actCopyImage->setShortcut(QKeySequence::Copy);
  actSaveImage = make("Save image…", [this] { SaveChartImage(); });
  actSaveImage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  actSavePoints = make("Save points as CSV…", [this] { SaveChartPoints(); });
  actMouseAndKeys = make("Mouse and keys…", [this] { ShowMouseAndKeys(); });
  actClose = make("Close", [this] { btnCloseClick(btnClose); });
  actClose->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Q), QKeySequence(Qt::CTRL | Qt::Key_W)});
  // Window-wide keys.
  for (QAction* a : {actCopyImage, actSaveImage, actClose}) {
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
  }

  menuChart = new QMenu(this);
  menuChart->setObjectName("menuChart");
  menuChart->addActions({actResetView, actBack, actForward});
  menuChart->addSeparator();
  menuChart->addActions({actCopyImage, actSaveImage, actSavePoints});
  menuChart->addSeparator();
  menuChart->addAction(actMouseAndKeys);
}

void TformMain::ShowChartMenu(int x, int y) {
  actBack->setEnabled(chartMain->CanGoBack());
  actForward->setEnabled(chartMain->CanGoForward());
  menuChart->popup(chartMainControl->mapToGlobal(QPoint(x, y)));
}

// ---------------------------------------------------------------------------
// Copy and save

QImage TformMain::ChartImage() {
  TChart& chart = *chartMain;
  const bool dragged = chart.CancelDrag();
  // A paint still to come (or one made while a zoom frame was up) is made now.
  if (dragged || chart.ChartCanvas().IsStale() || !chart.ChartCanvas().Buffer()) {
    chart.InvalidateChart();
    chartMainControl->repaint();
  }
  const TBitmap* buffer = chart.ChartCanvas().Buffer();
  if (!buffer || chart.ChartCanvas().IsStale()) throw Exception("The chart has not been drawn yet");
  return ImageOf(*buffer).copy();
}

void TformMain::CopyChartImage() { QGuiApplication::clipboard()->setImage(ChartImage()); }

void TformMain::SaveChartImage() {
  const QImage image = ChartImage();  // as shown when asked, not after the dialog
  const QString path = AskSavePath("Save image", ProposedName(*grpResolution, "projection", "png"),
                                   "PNG images (*.png)", "png");
  if (!path.isEmpty()) WriteOutputFile(path, PngBytes(image));
}

void TformMain::SaveChartPoints() {
  const std::string text = PointsCsv(*this);
  const QString path =
      AskSavePath("Save points as CSV", ProposedName(*grpResolution, "points", "csv"),
                  "CSV files (*.csv)", "csv");
  if (!path.isEmpty()) WriteOutputFile(path, TextBytes(text));
}

void TformMain::ShowMouseAndKeys() {
  if (!dialogMouseAndKeys) dialogMouseAndKeys = CreateMouseAndKeysDialog(this);
  dialogMouseAndKeys->show();
  dialogMouseAndKeys->raise();
  dialogMouseAndKeys->activateWindow();
}

// ---------------------------------------------------------------------------
// Readouts

std::string TformMain::ChartReadoutText(int x, int y) {
  TChart& chart = *chartMain;
  const TAxisMapping& h = chart.BottomAxis().Mapping();
  const TAxisMapping& v = chart.LeftAxis().Mapping();
  if (!chart.PlotRect.Contains(x, y) || h.PixelLength < 1 || v.PixelLength < 1) return "";
  if (chart.ZoomBox.InProgress || chart.PanTrack.InProgress) return "";
  const int i = NearestPointWithin(*seriesMain, x, y, kReadoutRadius);
  if (i >= 0)
    return "point " + std::to_string(i) + ", " + (IsInsertedPoint(i) ? "inserted" : "sample") +
           "\nx = " + FormatGeneral(seriesMain->PointX(i)) +
           "\ny = " + FormatGeneral(seriesMain->PointY(i));
  return "x = " + FormatReadoutValue(h.ToValue(x), PixelValueWidth(h)) +
         "\ny = " + FormatReadoutValue(v.ToValue(y), PixelValueWidth(v));
}

std::string TformMain::GridReadoutText(int x, int y) const {
  // The image sits at the box's top-left corner, one pixel per cell, row iy = Y index.
  if (x < 0 || y < 0 || x >= boxNormal->width() || y >= boxNormal->height() || x >= kGridSize ||
      y >= kGridSize)
    return "";
  return "cell (" + std::to_string(x) + ", " + std::to_string(y) +
         ")\nx = " + FormatGeneral(GridCoordinate(x)) +
         "\ny = " + FormatGeneral(GridCoordinate(y)) + "\nvalue = " + FormatGeneral(Grid[x][y]);
}

}  // namespace quarvel
