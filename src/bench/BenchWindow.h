#pragma once
// The reconstruction bench: a window of its own beside the main window, in which the
// user edits the main window's phantom and watches its sinogram, reconstruction and
// error follow.
//
// There is one phantom, the main window's blob list: every edit here replaces it and runs
// the main window's update cycle (on this thread), so the main window's table, image and
// chart follow. Edits are steps of an undo stack. The sinogram, the reconstruction, the
// difference and the figures are computed on a worker thread from a snapshot (the blobs,
// the grid and the settings); a newer edit or setting cancels older work, and the three
// pictures and the figures always show one result together, captioned with what it was
// computed from. The phantom's own picture shows the current grid.
//
// The window belongs to the main window (a child window of it): it goes with it.

#include <QImage>
#include <QPointer>
#include <QUndoStack>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "bench/BenchCharts.h"
#include "bench/BenchExport.h"
#include "bench/BenchPhantom.h"
#include "bench/BenchPictures.h"
#include "bench/BenchStudy.h"
#include "platform/window/Controls.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTableWidgetItem;

namespace quarvel {

class TformMain;

// A paint box that also reports presses, drags, releases and wheel notches, in picture
// pixels (see PicturePoint).
class TBenchImageBox : public TPaintBox {
 public:
  explicit TBenchImageBox(QWidget* parent);
  std::function<void(int x, int y, bool shift)> OnPress;  // left button
  std::function<void(int x, int y, bool shift)> OnDrag;   // moves with the left button held
  std::function<void(int x, int y)> OnRelease;
  // Whole notches of 120 (+1 away from the user); returns whether the box used them.
  std::function<bool(int notches, int x, int y)> OnWheelNotches;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  bool pressed_ = false;
  int wheelRemainder_ = 0;
};

class TformBench : public QWidget {
 public:
  // The four pictures, left to right.
  enum TPicture { pcPhantom = 0, pcSinogram, pcReconstruction, pcDifference, kPictureCount };

  explicit TformBench(TformMain& form);
  ~TformBench() override;
  TformBench(const TformBench&) = delete;
  TformBench& operator=(const TformBench&) = delete;

  // ---- the phantom
  const TPhantom& Phantom() const { return phantom_; }
  // One undoable step to `after`; the main window's update cycle runs once, and its error
  // (the fit error at 512x512) is raised after the step is in place.
  void Edit(const TPhantom& after, const QString& text);
  // Applies `phantom` to the main window without a step (the undo commands' work); its
  // error is kept for ReportPendingError.
  void ApplyToMain(const TPhantom& phantom);
  // Raises the kept error of the main window's update cycle, once.
  void ReportPendingError();
  QUndoStack& UndoStack() { return *undoStack_; }
  bool IsModified() const { return !undoStack_->isClean(); }

  // Opens and saves phantom files through the dialogs (tests put their answers into
  // AskOpenPath and AskSavePath; an empty answer cancels). Saving goes through the export
  // tool's writer; errors are raised (EPhantomError, EOutputError).
  void OpenPhantom();
  bool SavePhantom();
  void OpenPhantomFrom(const QString& path);
  void SavePhantomTo(const QString& path);
  std::function<QString(const QString& caption)> AskOpenPath;
  std::function<QString(const QString& caption, const QString& name)> AskSavePath;
  // Where Export… writes (a folder dialog; empty cancels).
  std::function<QString(const QString& caption)> AskFolder;
  // Saves one array of the shown result in one kind (asking where), copies a picture as
  // shown or an array's CSV to the clipboard, and writes everything into a folder; the
  // files are those of `quarvel-export` for the same phantom and settings. Raises
  // EOutputError (a file that cannot be written) or a plain error when nothing is shown.
  void SaveArray(TBenchArray array, TExportKind kind);
  void CopyPicture(TPicture which);
  void CopyData(TBenchArray array);
  void ExportAll();
  // Before the program ends with unsaved changes: 0 save, 1 discard, 2 keep the program.
  std::function<int()> AskUnsaved;
  // Whether the program may end: asks about unsaved changes (and saves when told to).
  bool MayClose();

  // ---- settings and computing
  TBenchSettings Settings() const;
  // Sets the controls; one computation follows.
  void SetSettings(const TBenchSettings& settings);
  // Hands the current phantom, grid and settings to the worker (cancelling older work).
  void Recompute();
  // Computes on this thread and shows the result at once (exports, tests).
  void ComputeNow();
  void CancelWork();
  bool Busy() const { return latestId_ > settledId_; }
  // The result the sinogram, reconstruction, difference, figures and profiles show.
  const TBenchResult* Shown() const { return shown_.get(); }
  std::string StatusText() const;
  std::string MetricsText() const;

  // ---- pictures, profiles, readouts
  // The picture as shown (repainted now).
  QImage Picture(TPicture which);
  TBenchImageBox* Box(TPicture which) const { return boxes_[which]; }
  std::string Readout(TPicture which, int x, int y) const;
  TPlacement PlacementOf(TPicture which) const;
  // The profiles through cell (ix, iy) along a row (or a column); a view of the sinogram.
  void PickProfile(int ix, int iy);
  void SetProfileAlongColumn(bool column);
  void PickView(int view);
  int PickedView() const { return view_; }
  TBenchChart& ProfileChart() { return *profileChart_; }
  TBenchChart& ViewChart() { return *viewChart_; }
  TBenchChart& FilterChart() { return *filterChart_; }

  // ---- controls (owned by their parent widgets)
  QTableWidget* tableBlobs = nullptr;
  QPushButton* btnAdd = nullptr;
  QPushButton* btnDuplicate = nullptr;
  QPushButton* btnRemove = nullptr;
  QPushButton* btnOpen = nullptr;
  QPushButton* btnSave = nullptr;
  QPushButton* btnUndo = nullptr;
  QPushButton* btnRedo = nullptr;
  QPushButton* btnCancel = nullptr;
  QPushButton* btnExport = nullptr;
  QProgressBar* progress = nullptr;
  QLabel* labelStatus = nullptr;
  QLabel* labelMetrics = nullptr;
  QLabel* labelCaptions[kPictureCount] = {};
  QSpinBox* spinViews = nullptr;
  QDoubleSpinBox* spinArc = nullptr;
  QSpinBox* spinDetectors = nullptr;
  QComboBox* comboProjector = nullptr;
  QCheckBox* checkNoise = nullptr;
  QDoubleSpinBox* spinPhotons = nullptr;
  QSpinBox* spinSeed = nullptr;
  QComboBox* comboMethod = nullptr;
  QComboBox* comboFilter = nullptr;
  QDoubleSpinBox* spinCutoff = nullptr;
  QSpinBox* spinIterations = nullptr;
  QComboBox* comboProfile = nullptr;
  QAction* actUndo = nullptr;
  QAction* actRedo = nullptr;

 protected:
  // Closing the bench stops its work; showing it again resumes what was given up.
  void hideEvent(QHideEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  QWidget* CreateSettingsPanel();
  void BindImages();
  void RefillTable();
  void TableItemChanged(QTableWidgetItem* item);
  void RefuseCell(int row, int column, const std::string& reason);
  void AddBlob();
  void DuplicateBlob();
  void RemoveBlob();
  void SettingsChanged();
  void UpdateEnabledControls();
  void Show(std::shared_ptr<const TBenchResult> result, std::uint64_t id);
  void UpdateProfiles();
  void UpdateCaptions();
  void PaintPicture(TPicture which);
  // Handle dragging on the phantom.
  void HandlePress(int x, int y, bool shift);
  void HandleDrag(int x, int y);
  void HandleRelease();
  bool HandleWheel(int notches, int x, int y);
  void SetLive(const TPhantom& phantom);
  void ShowPictureMenu(TPicture which, const QPoint& at);
  const TBenchResult& RequireShown() const;

  TformMain& form_;
  TPhantom phantom_;
  QUndoStack* undoStack_;  // owned by this window (a QObject child)
  std::string pendingError_;
  bool filling_ = false;  // the table is being refilled: its changes are not edits
  bool settingControls_ = false;

  TBenchImageBox* boxes_[kPictureCount] = {};
  std::unique_ptr<TBenchChart> profileChart_;
  std::unique_ptr<TBenchChart> viewChart_;
  std::unique_ptr<TBenchChart> filterChart_;
  int profileX_ = 64, profileY_ = 64;
  bool profileColumn_ = false;
  int view_ = 0;

  // The drag of a handle: the blob, where it started, the phantom before it.
  struct Drag {
    int Blob = -1;
    int X = 0, Y = 0;
    bool Spreads = false;
    TPhantom Before;
    std::string Error;
  };
  std::optional<Drag> drag_;

  std::shared_ptr<const TBenchResult> shown_;
  std::uint64_t latestId_ = 0;   // the newest input handed over
  std::uint64_t shownId_ = 0;    // the input the pictures show
  std::uint64_t settledId_ = 0;  // inputs up to this one have finished, failed or stopped
  std::string status_;
  bool resumeOnShow_ = false;             // work given up when the window was closed
  std::unique_ptr<TBenchWorker> worker_;  // last: stopped first
};

// Gives the main window its ways to the bench: Ctrl+B, "Reconstruction bench…" in the
// chart's menu and in a new menu of the grid image; and a question before the program
// ends with unsaved bench changes. The bench is created when first opened.
void InstallBench(TformMain& form);
// Shows the main window's bench (creating it); the bench.
TformBench& OpenBench(TformMain& form);
// The main window's bench, or null when none was opened.
TformBench* BenchOf(TformMain& form);
// The bench as it opens on the main window's phantom and resolution with the default
// settings, computed on this thread, its layout settled (for the export tool).
QImage BenchPicture(TformMain& form);

}  // namespace quarvel
