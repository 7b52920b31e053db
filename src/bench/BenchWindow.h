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

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchBeam.h"
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
class QSplitter;
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
  // A key while the box has the focus; returns whether the box used it.
  std::function<bool(int key, bool shift)> OnKey;
  // Zoom notches (+ in) at a picture pixel: Ctrl+wheel, or a wheel turn the box did not use.
  std::function<void(int notches, int x, int y)> OnZoom;
  // A middle-button drag, by picture pixels since the last call.
  std::function<void(int dx, int dy)> OnPan;
  // The mouse resting or moving without a button at a picture pixel, and leaving.
  std::function<void(int x, int y)> OnHover;
  std::function<void()> OnLeave;
  // The menu key or Shift+F10: the picture's menu at this point of the box.
  std::function<void(const QPoint& at)> OnMenuKey;
  // A drag with the right button, by picture pixels since the press (`begin` on the
  // first call of a drag). While it is bound, the right button's menu opens on a click
  // without a drag, when the button is released.
  std::function<void(int dx, int dy, bool begin)> OnWindowDrag;
  // Labels written over the picture at the screen's resolution (filled by the paint
  // handler at device pixel ratios above 1, where the picture's own pixels are doubled).
  struct TLabel {
    int X, Y;
    std::string Text;
  };
  std::vector<TLabel> Labels;
  // Whether labels go over the picture rather than into it.
  bool LabelsOver() const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  bool pressed_ = false;
  std::optional<QPoint> rightFrom_;  // of a press of the right button
  bool windowDragging_ = false;
  std::optional<QPoint> panFrom_;  // of a middle-button drag
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
  // A yes-or-no question (exporting an earlier result, replacing files); tests answer it.
  std::function<bool(const QString& question)> AskYesNo;
  // Before the program ends with unsaved changes: 0 save, 1 discard, 2 keep the program.
  std::function<int()> AskUnsaved;
  // Whether the program may end: asks about unsaved changes (and saves when told to).
  bool MayClose();

  // ---- the user's own data, as the export tool's --image and --sinogram take them
  // Opens an image (NPY, TIFF or the grid CSV, 8 ... 4096 a side) as the truth: it is
  // scanned and compared with instead of the phantom's grid, and the blobs do not apply.
  // Refused, with the state kept, for a file the export tool refuses and while the exact
  // projector is chosen (it scans blobs, not images).
  void OpenImage();
  void OpenImageFrom(const QString& path);
  // Opens a sinogram (NPY, TIFF or the sinogram CSV, with FILE.json when there) that is
  // reconstructed instead of a scan; without FILE.json it takes the bench's geometry,
  // whose views and bins it must have. The scan's settings do not apply while it is open.
  void OpenSinogram();
  void OpenSinogramFrom(const QString& path);
  // Drops the opened data: the phantom is scanned and compared with again, with the
  // profile and region it had before.
  void BackToPhantom();
  const TBenchData& Data() const { return data_; }
  // What the computations compare with: the opened image, the phantom sampled at the
  // side a given sinogram records, else the main window's grid.
  TArray2D Truth() const;

  // ---- settings and computing
  TBenchSettings Settings() const;
  // Sets the controls; one computation follows.
  void SetSettings(const TBenchSettings& settings);
  // Hands the current phantom, grid and settings to the worker (cancelling older work).
  void Recompute();
  // Computes on this thread and shows the result at once (exports, tests).
  void ComputeNow();
  void CancelWork();
  // Replaces the blobs by the preset's, one undoable step.
  void LoadPreset(int index);
  // Whether a change computes only once the mouse button is released.
  bool UpdateOnRelease() const;
  bool Busy() const { return latestId_ > settledId_; }
  // The reports of the worker received so far: one per input handed over, whether it
  // finished, failed, was cancelled or never began.
  int WorkerReports() const { return workerReports_; }
  // The result the sinogram, reconstruction, difference, figures and profiles show.
  const TBenchResult* Shown() const { return shown_.get(); }
  std::string StatusText() const;
  std::string MetricsText() const;

  // ---- zoom, pan and the cursor, shared by the four pictures
  const TView& View() const { return zoom_; }
  void SetView(const TView& view);
  // Where the mouse is over one of the grid pictures, as fractions of the grid (none
  // when it is elsewhere): all three show a cross there and the sinogram the point's
  // sinusoid.
  const std::optional<std::pair<double, double>>& Cursor() const { return cursor_; }
  // The view and bin under the mouse on the sinogram (none when it is elsewhere): the
  // phantom's picture shows the scan of that view, and the bin's ray (BenchBeam.h).
  const std::optional<std::pair<int, int>>& BeamAt() const { return beamAt_; }

  // ---- window and level of the phantom's and the reconstruction's pictures
  // The user's window on a picture (none: the default mapping, and for the sinogram and
  // the difference, always none); it stays through edits and settings until reset.
  const std::optional<TWindowLevel>& WindowOf(TPicture which) const { return window_[which]; }
  void SetWindow(TPicture which, const std::optional<TWindowLevel>& window);
  // The window the picture's colour bar shows: the user's, or the default mapping's ends.
  TWindowLevel ShownWindow(TPicture which) const;

  // ---- compare
  // Pins the shown result as A (nothing when nothing is shown); the figures then show B,
  // the shown result, against A, and the difference picture may show B - A.
  void PinResult();
  void Unpin();
  const TBenchResult* Pinned() const { return pinned_.get(); }
  // Whether the difference picture shows B - A (when a result is pinned and of the same
  // size) rather than B - phantom.
  bool ShowsBMinusA() const;
  // The array the difference picture shows.
  const TArray2D* ShownDifference() const;

  // ---- the region the difference, the figures and the convergence are over
  const TRegion& Region() const { return region_; }
  // Sets the region (the combo box follows); one computation follows.
  void SetRegion(const TRegion& region);

  // ---- pictures, profiles, readouts
  // The side of the three grid pictures and the sinogram's height, in picture pixels:
  // one magnification for all four.
  int PictureSide() const;
  // The least room a picture's box takes (the 128 cells at one pixel each, and what is
  // drawn beside them).
  static QSize MinimumPictureRoom(TPicture which);
  // The picture as shown (repainted now).
  QImage Picture(TPicture which);
  TBenchImageBox* Box(TPicture which) const { return boxes_[which]; }
  std::string Readout(TPicture which, int x, int y) const;
  TPlacement PlacementOf(TPicture which) const;
  // The profiles through cell (ix, iy) along a row (or a column); a view of the sinogram.
  void PickProfile(int ix, int iy);
  const TProfilePick& Profile() const { return profile_; }
  void SetProfileAlongColumn(bool column);
  void PickView(int view);
  int PickedView() const { return view_; }
  TBenchChart& ProfileChart() { return *profileChart_; }
  TBenchChart& ViewChart() { return *viewChart_; }
  TBenchChart& FilterChart() { return *filterChart_; }
  // RMSE (series 0) and SSIM (series 1, right axis) against the iteration, in the filter
  // chart's place for the iterative methods; filled as the iterations run.
  TBenchChart& ConvergeChart() { return *convergeChart_; }
  const TConvergeTrace& Converge() const { return converge_; }

  // ---- controls (owned by their parent widgets)
  QTableWidget* tableBlobs = nullptr;
  QPushButton* btnAdd = nullptr;
  QPushButton* btnDuplicate = nullptr;
  QPushButton* btnRemove = nullptr;
  QPushButton* btnOpen = nullptr;
  QPushButton* btnSave = nullptr;
  QPushButton* btnOpenImage = nullptr;
  QPushButton* btnOpenSinogram = nullptr;
  QPushButton* btnPhantom = nullptr;  // back to the phantom; shown while data is open
  QLabel* labelData = nullptr;        // what the opened data replaces; shown with it
  QPushButton* btnUndo = nullptr;
  QPushButton* btnRedo = nullptr;
  QPushButton* btnCancel = nullptr;
  QPushButton* btnRun = nullptr;
  QCheckBox* checkOnRelease = nullptr;
  QPushButton* btnPin = nullptr;
  QComboBox* comboDifference = nullptr;
  QComboBox* comboRegion = nullptr;  // whole image, scanned disc, rectangle
  QSplitter* splitPictures = nullptr;
  QComboBox* comboPreset = nullptr;
  QPushButton* btnExport = nullptr;
  QProgressBar* progress = nullptr;
  QLabel* labelStatus = nullptr;
  QLabel* labelMetrics = nullptr;
  QLabel* labelCaptions[kPictureCount] = {};
  QSpinBox* spinViews = nullptr;
  QDoubleSpinBox* spinArc = nullptr;
  QSpinBox* spinDetectors = nullptr;
  QComboBox* comboGeometry = nullptr;  // parallel, fan-flat, fan-arc
  QDoubleSpinBox* spinSource = nullptr;
  QDoubleSpinBox* spinDetectorDistance = nullptr;
  QComboBox* comboProjector = nullptr;
  QCheckBox* checkNoise = nullptr;
  QDoubleSpinBox* spinPhotons = nullptr;
  QSpinBox* spinSeed = nullptr;
  QComboBox* comboMethod = nullptr;
  QComboBox* comboFilter = nullptr;
  QDoubleSpinBox* spinCutoff = nullptr;
  QSpinBox* spinIterations = nullptr;
  QDoubleSpinBox* spinRelaxation = nullptr;  // SIRT and SART
  QCheckBox* checkNonNegative = nullptr;     // SIRT and SART
  QComboBox* comboProfile = nullptr;
  QAction* actUndo = nullptr;
  QAction* actRedo = nullptr;
  QAction* actRun = nullptr;

 protected:
  // Closing the bench stops its work; showing it again resumes what was given up.
  void hideEvent(QHideEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // Runs a report the worker posted (PostReport).
  void customEvent(QEvent* event) override;

 private:
  // The settings the controls hold, before a given sinogram's geometry replaces theirs;
  // while one is given, its geometry shows in the greyed scan boxes, and the bench's own
  // waits in ownScan_.
  TBenchSettings ScanSettings() const;
  // The geometry the views, arc, bins and beam boxes show, and showing one in them (not an
  // edit: nothing is recomputed).
  TScanGeometry ShownGeometry() const;
  // An image as the truth (opened, or the phantom sampled), with its largest value.
  void SetTruthImage(TArray2D image);
  void ShowGeometry(const TScanGeometry& geometry);
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
  void UpdateTitle();
  QString StartFolder() const;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  // From the worker's thread: `call` runs on the window's thread, in the order posted,
  // unless the window is gone first.
  void PostReport(std::function<void()> call);
  // Gives the pictures the height their width lets them use and the plots the rest,
  // until the user moves the splitter.
  void BalancePictures();
  void Show(std::shared_ptr<const TBenchResult> result, std::uint64_t id);
  void UpdateProfiles();
  void UpdateConvergeChart();
  // The filter's response for FBP, the convergence for the iterative methods.
  void ShowMethodChart();
  void UpdateCaptions();
  void PaintPicture(TPicture which);
  void PaintProfileLine(TCanvas& canvas, const TPlacement& placement) const;
  void PaintCursor(TCanvas& canvas, const TPlacement& placement, TPicture which) const;
  void Hover(TPicture which, int x, int y);
  // Where a picture's labels go: over it at ratios above 1, else into it.
  TTextOut LabelsOf(TPicture which) const;
  // Shift+drag on the reconstruction or the difference: a rectangle of cells.
  void RegionPress(TPicture which, int x, int y);
  void RegionDrag(TPicture which, int x, int y);
  bool RegionRelease();
  // Handle dragging on the phantom.
  void HandlePress(int x, int y, bool shift);
  void HandleDrag(int x, int y);
  void HandleRelease();
  bool HandleWheel(int notches, int x, int y);
  // The arrow keys on the selected blob (one cell, ten with Shift); whether they moved it.
  bool NudgeSelected(int key, bool shift);
  void SetLive(const TPhantom& phantom);
  void ShowPictureMenu(TPicture which, const QPoint& at);
  const TBenchResult& RequireShown() const;
  // The ends of a picture's default mapping as a window.
  TWindowLevel DefaultWindow(TPicture which) const;

  // The truth's size in cells, and the larger side (the pictures' scale: 128 for the grid).
  int TruthColumns() const;
  int TruthRows() const;
  int TruthSide() const;
  // A state change of the opened data: captions, controls and pictures follow.
  void DataChanged();

  TformMain& form_;
  TPhantom phantom_;
  TBenchData data_;
  std::optional<TArray2D> image_;  // the opened image, or the phantom at data_.PhantomSide
  double imageMax_ = 0;            // its largest value: its green picture's full level
  TScanGeometry dataGeometry_;     // the opened sinogram's
  // The bench's own scan boxes while dataGeometry_ shows in them: the geometry, and the
  // distance boxes' values even when the beam is parallel, so that none is lost.
  struct TOwnScan {
    TScanGeometry Geometry;
    double Source, Detector;
  };
  std::optional<TOwnScan> ownScan_;
  // The profile and the region before data was opened, for BackToPhantom.
  TProfilePick profileBefore_;
  TRegion regionBefore_;
  QUndoStack* undoStack_;  // owned by this window (a QObject child)
  std::string pendingError_;
  bool filling_ = false;  // the table is being refilled: its changes are not edits
  bool settingControls_ = false;
  bool runWhenReleased_ = false;  // a change waits for the mouse button's release
  bool framed_ = false;           // the window manager's frame has been seen and fitted
  bool splitterMoved_ = false;    // by the user: the balance is theirs from then on
  QString phantomFile_;           // the phantom's file name ("" before one is opened or saved)
  QString lastFolder_;            // where the last file was opened, saved or exported
  std::chrono::steady_clock::time_point started_;  // of the newest computation

  TBenchImageBox* boxes_[kPictureCount] = {};
  std::unique_ptr<TBenchChart> profileChart_;
  std::unique_ptr<TBenchChart> viewChart_;
  std::unique_ptr<TBenchChart> filterChart_;
  std::unique_ptr<TBenchChart> convergeChart_;
  TConvergeTrace converge_;
  std::uint64_t convergeShown_ = 0;  // the computation whose points the chart holds
  TProfilePick profile_;
  int view_ = 0;
  TView zoom_;
  std::optional<std::pair<double, double>> cursor_;
  std::optional<std::pair<int, int>> beamAt_;  // view, bin
  std::optional<TWindowLevel> window_[kPictureCount];
  TWindowLevel windowDragStart_;
  TRegion region_;
  TRegion rectangle_ = TRegion::Rectangle(32, 32, 96, 96);  // the last one dragged
  std::optional<std::pair<int, int>> regionFrom_;           // a region drag's first cell
  std::optional<TRegion> regionDrag_;                       // and what it covers so far
  // The bins the geometry's default gave the box last: a box still holding them follows
  // a change of the beam or of R to the new default, as the export tool's does.
  int binsDefault_ = TScanGeometry{}.Detectors;

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
  std::shared_ptr<const TBenchResult> pinned_;  // A
  TArray2D bMinusA_;                            // shown_'s reconstruction - A's
  std::uint64_t latestId_ = 0;                  // the newest input handed over
  std::uint64_t shownId_ = 0;                   // the input the pictures show
  std::uint64_t settledId_ = 0;  // inputs up to this one have finished, failed or stopped
  std::string status_;
  int workerReports_ = 0;
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
