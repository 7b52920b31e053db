#include "bench/BenchWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHideEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStandardItemModel>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolTip>
#include <QUndoCommand>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/Exception.h"
#include "bench/BenchLayout.h"
#include "format/NumberFormat.h"
#include "platform/window/Application.h"
#include "tomo/FanBeam.h"
#include "tomo/Memory.h"
#include "tomo/Projectors.h"
#include "ui/ExportView.h"
#include "ui/GridImage.h"
#include "ui/MainFormUnit.h"
#include "ui/OutputFile.h"
#include "ui/TomographyData.h"
#include "io/Sidecar.h"

namespace quarvel {
namespace {

constexpr double kStep = 19.0 / 127.0;  // the grid step in model units
constexpr int kGrid = TProjectionModel::kGridSize;
constexpr QSize kBenchPictureSize(1400, 760);
// Room around the arrays in their boxes: a line above all four (the sinogram's "θ"), the
// axes below all four and left of the grid pictures, the sinogram's angle labels left of
// it, the colour bars and the difference's scale right of them.
constexpr int kTop = 16, kEdge = 2, kSinogramLeft = 46, kScaleRoom = 64;

// One edit of the phantom: the phantom before and after. A step whose edit is already in
// place (a drag) skips its first redo.
class TPhantomCommand : public QUndoCommand {
 public:
  // Steps with the same `merge` key (not 0) that follow one another become one: the wheel
  // notches on one blob's spreads, the arrow-key nudges of one blob.
  TPhantomCommand(TformBench& bench, TPhantom before, TPhantom after, const QString& text,
                  bool applied, int merge = 0)
      : QUndoCommand(text),
        bench_(bench),
        before_(std::move(before)),
        after_(std::move(after)),
        applied_(applied),
        merge_(merge) {}
  int id() const override { return merge_ != 0 ? 1 : -1; }
  bool mergeWith(const QUndoCommand* other) override {
    const auto* next = static_cast<const TPhantomCommand*>(other);
    if (next->merge_ != merge_ || next->text() != text()) return false;
    after_ = next->after_;
    return true;
  }
  void undo() override { bench_.ApplyToMain(before_); }
  void redo() override {
    if (applied_) {
      applied_ = false;
      return;
    }
    bench_.ApplyToMain(after_);
  }

 private:
  TformBench& bench_;
  TPhantom before_;
  TPhantom after_;
  bool applied_;
  int merge_;
};

QString AskOpenWithDialog(QWidget* parent, const QString& caption, const QString& folder) {
  const bool phantom = caption == "Open phantom";
  return QFileDialog::getOpenFileName(parent, caption, folder,
                                      phantom ? "Phantom files (*.csv);;All files (*)"
                                              : "Arrays (*.npy *.tif *.tiff *.csv);;All files (*)");
}

QString AskSaveWithDialog(QWidget* parent, const QString& caption, const QString& path) {
  const QString suffix = path.section('.', -1);
  QFileDialog dialog(parent, caption, path,
                     QString("%1 files (*.%2)").arg(suffix.toUpper(), suffix));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

// A report of the worker's, as a call for the window's thread.
class TWorkerReport final : public QEvent {
 public:
  explicit TWorkerReport(std::function<void()> call) : QEvent(Kind()), Call(std::move(call)) {}
  static QEvent::Type Kind() {
    static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
    return kind;
  }
  std::function<void()> Call;
};

}  // namespace

// ---------------------------------------------------------------------------
// The image box

TBenchImageBox::TBenchImageBox(QWidget* parent) : TPaintBox(parent) {
  setMouseTracking(true);  // the cursor shown on all four pictures follows the mouse
}

void TBenchImageBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton) {
    panFrom_ = PicturePoint(*this, event->position());
    return;
  }
  if (event->button() == Qt::RightButton && OnWindowDrag) {
    rightFrom_ = PicturePoint(*this, event->position());
    windowDragging_ = false;
    return;
  }
  if (event->button() != Qt::LeftButton) return TPaintBox::mousePressEvent(event);
  pressed_ = true;
  const QPoint p = PicturePoint(*this, event->position());
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  if (OnPress) RunHandler(this, [&] { OnPress(p.x(), p.y(), shift); });
}

void TBenchImageBox::mouseMoveEvent(QMouseEvent* event) {
  if (panFrom_ && (event->buttons() & Qt::MiddleButton) && OnPan) {
    const QPoint p = PicturePoint(*this, event->position());
    const QPoint d = p - *panFrom_;
    panFrom_ = p;
    RunHandler(this, [&] { OnPan(d.x(), d.y()); });
  }
  if (rightFrom_ && (event->buttons() & Qt::RightButton)) {
    const QPoint d = PicturePoint(*this, event->position()) - *rightFrom_;
    // A few pixels of play, so that a click that trembles still opens the menu.
    const bool begin = !windowDragging_ && d.manhattanLength() > 3;
    if (begin) windowDragging_ = true;
    if (windowDragging_) RunHandler(this, [&] { OnWindowDrag(d.x(), d.y(), begin); });
  }
  if (event->buttons() == Qt::NoButton && OnHover) {
    const QPoint p = PicturePoint(*this, event->position());
    RunHandler(this, [&] { OnHover(p.x(), p.y()); });
  }
  if (pressed_ && (event->buttons() & Qt::LeftButton) && OnDrag) {
    const QPoint p = PicturePoint(*this, event->position());
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    RunHandler(this, [&] { OnDrag(p.x(), p.y(), shift); });
  }
  TPaintBox::mouseMoveEvent(event);
}

void TBenchImageBox::leaveEvent(QEvent* event) {
  if (OnLeave) RunHandler(this, [&] { OnLeave(); });
  TPaintBox::leaveEvent(event);
}

bool TBenchImageBox::event(QEvent* event) {
  // The right button's own menu waits for its release, when it turns out to be a click.
  if (event->type() == QEvent::ContextMenu && OnWindowDrag &&
      static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Mouse) {
    event->accept();
    return true;
  }
  return TPaintBox::event(event);
}

void TBenchImageBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton) panFrom_.reset();
  if (event->button() == Qt::RightButton && rightFrom_) {
    const bool click = !windowDragging_;
    const QPoint at = event->position().toPoint();
    rightFrom_.reset();
    windowDragging_ = false;
    if (click && OnMenuKey) RunHandler(this, [&] { OnMenuKey(at); });
    return;
  }
  if (event->button() != Qt::LeftButton || !pressed_) return TPaintBox::mouseReleaseEvent(event);
  pressed_ = false;
  const QPoint p = PicturePoint(*this, event->position());
  if (OnRelease) RunHandler(this, [&] { OnRelease(p.x(), p.y()); });
}

void TBenchImageBox::wheelEvent(QWheelEvent* event) {
  wheelRemainder_ += event->angleDelta().y();
  const int notches = wheelRemainder_ / 120;
  wheelRemainder_ -= notches * 120;
  bool used = false;
  const QPoint p = PicturePoint(*this, event->position());
  const bool zoom = event->modifiers() & Qt::ControlModifier;
  if (notches != 0 && OnWheelNotches && !zoom)
    RunHandler(this, [&] { used = OnWheelNotches(notches, p.x(), p.y()); });
  if (notches != 0 && !used && OnZoom) {
    RunHandler(this, [&] { OnZoom(notches, p.x(), p.y()); });
    used = true;
  }
  event->setAccepted(used);
}

bool TBenchImageBox::LabelsOver() const { return PictureScale(devicePixelRatioF()) > 1; }

void TBenchImageBox::paintEvent(QPaintEvent* event) {
  Labels.clear();
  TPaintBox::paintEvent(event);  // the paint handler fills Labels
  if (Labels.empty()) return;
  QPainter painter(this);
  QFont font("Arial");
  font.setPixelSize(11);  // the canvas's 8 points at 96 DPI
  painter.setFont(font);
  painter.setPen(palette().color(QPalette::WindowText));
  const int k = PictureScale(devicePixelRatioF());
  const qreal toLogical = devicePixelRatioF() > 0 ? k / devicePixelRatioF() : 1;
  for (const TLabel& l : Labels)
    painter.drawText(QPointF(l.X * toLogical, l.Y * toLogical + painter.fontMetrics().ascent()),
                     QString::fromStdString(l.Text));
}

void TBenchImageBox::keyPressEvent(QKeyEvent* event) {
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  if ((event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && shift)) && OnMenuKey) {
    const QPoint centre(width() / 2, height() / 2);
    RunHandler(this, [&] { OnMenuKey(centre); });
    return;
  }
  bool used = false;
  if (OnKey) RunHandler(this, [&] { used = OnKey(event->key(), shift); });
  // The view keys of every picture: + and - zoom about the centre, 0 shows the whole.
  if (!used && OnZoom &&
      (event->key() == Qt::Key_Plus || event->key() == Qt::Key_Equal ||
       event->key() == Qt::Key_Minus)) {
    const int notches = event->key() == Qt::Key_Minus ? -1 : 1;
    const QSize size = PictureSize(*this);
    RunHandler(this, [&] { OnZoom(notches, size.width() / 2, size.height() / 2); });
    used = true;
  }
  if (!used) TPaintBox::keyPressEvent(event);
}

// ---------------------------------------------------------------------------
// The window

TformBench::TformBench(TformMain& form)
    : QWidget(&form, Qt::Window), form_(form), undoStack_(new QUndoStack(this)) {
  setObjectName("formBench");

  setAttribute(Qt::WA_QuitOnClose, false);
  phantom_ = PhantomOf(form_);
  // The dialogs start where the last file was opened, saved or exported.
  AskOpenPath = [this](const QString& caption) {
    return AskOpenWithDialog(this, caption, StartFolder());
  };
  AskSavePath = [this](const QString& caption, const QString& name) {
    return AskSaveWithDialog(this, caption, QDir(StartFolder()).filePath(name));
  };
  AskFolder = [this](const QString& caption) {
    return QFileDialog::getExistingDirectory(this, caption, StartFolder());
  };
  AskYesNo = [this](const QString& question) {
    return QMessageBox::question(this, "Reconstruction bench", question,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  AskUnsaved = [this] {
    const auto answer = QMessageBox::question(
        this, "Reconstruction bench", "The phantom has unsaved changes. Save them?",
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    return answer == QMessageBox::Save ? 0 : answer == QMessageBox::Discard ? 1 : 2;
  };
  CreateControls();
  UpdateTitle();
  checkOnRelease->installEventFilter(this);
  for (QAbstractSpinBox* box : findChildren<QAbstractSpinBox*>()) box->installEventFilter(this);
  connect(undoStack_, &QUndoStack::cleanChanged, this,
          [this](bool clean) { setWindowModified(!clean); });

  TBenchWorker::Callbacks callbacks;
  // The worker's reports are posted to this window's thread; once the window is gone,
  // none is delivered (the worker is stopped first, and posted calls die with the window).
  callbacks.Finished = [this](std::uint64_t id, std::shared_ptr<const TBenchResult> result,
                              const std::string& error) {
    PostReport([this, id, result = std::move(result), error] {
      ++workerReports_;
      settledId_ = std::max(settledId_, id);
      if (result) {
        Show(result, id);
      } else if (id == latestId_) {
        status_ = "Cannot compute: " + error;
      }
      UpdateCaptions();
    });
  };
  callbacks.Cancelled = [this](std::uint64_t id) {
    PostReport([this, id] {
      ++workerReports_;
      settledId_ = std::max(settledId_, id);
      if (id == latestId_) status_ = "Cancelled: Run (F5) computes again";
      UpdateCaptions();
    });
  };
  callbacks.Progress = [this](std::uint64_t id, int done) {
    PostReport([this, id, done] {
      if (id != latestId_ || progress->maximum() <= 0) return;
      progress->setValue(done);
      const double elapsed =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
      progress->setFormat(QString::fromStdString(ProgressText(done, progress->maximum(), elapsed)));
    });
  };
  callbacks.Iterated = [this](std::uint64_t id, int iteration, const TImageMetrics& metrics) {
    PostReport([this, id, iteration, metrics] {
      if (id == latestId_ && converge_.Add(id, iteration, metrics)) UpdateConvergeChart();
    });
  };
  // Every edit runs the chain again: its arrays reuse the memory of the last run.
  KeepFreedMemoryForReuse();
  worker_ = std::make_unique<TBenchWorker>(std::move(callbacks));
  RefillTable();
  Recompute();
}

void TformBench::PostReport(std::function<void()> call) {
  auto* report = new TWorkerReport(std::move(call));
  HandOverEvent(report);
  QCoreApplication::postEvent(this, report);
}

void TformBench::customEvent(QEvent* event) {
  if (event->type() == TWorkerReport::Kind())
    static_cast<TWorkerReport*>(event)->Call();
  else
    QWidget::customEvent(event);
}

TformBench::~TformBench() {
  worker_.reset();  // joined before anything it reports to goes
  profileChart_.reset();
  viewChart_.reset();
  filterChart_.reset();
  convergeChart_.reset();
}

// ---------------------------------------------------------------------------
// Settings

TBenchSettings TformBench::Settings() const {
  TBenchSettings s = ScanSettings();
  // A given sinogram is not scanned: its geometry is its own, and no projector or noise
  // made it (as the export tool, which takes neither with --sinogram).
  if (data_.Sinogram) {
    s.Geometry = dataGeometry_;
    s.Projector = TProjectorKind::Grid;
    s.Photons.reset();
    s.Seed = 0;
  }
  return s;
}

TScanGeometry TformBench::ShownGeometry() const {
  TScanGeometry g;
  g.Views = spinViews->value();
  g.ArcDegrees = spinArc->value();
  g.Detectors = spinDetectors->value();
  SetBeam(g, static_cast<TBeam>(comboGeometry->currentIndex()), spinSource->value(),
          spinDetectorDistance->value());
  return g;
}

void TformBench::ShowGeometry(const TScanGeometry& g) {
  const bool before = std::exchange(settingControls_, true);
  spinViews->setValue(g.Views);
  spinArc->setValue(g.ArcDegrees);
  spinDetectors->setValue(g.Detectors);
  comboGeometry->setCurrentIndex(static_cast<int>(g.Beam));
  if (IsFan(g)) {
    spinSource->setValue(g.SourceDistance);
    spinDetectorDistance->setValue(g.DetectorDistance);
  }
  settingControls_ = before;
}

TBenchSettings TformBench::ScanSettings() const {
  TBenchSettings s;
  s.Geometry = ownScan_ ? ownScan_->Geometry : ShownGeometry();
  s.Projector = comboProjector->currentIndex() == 1 ? TProjectorKind::Exact : TProjectorKind::Grid;
  if (checkNoise->isChecked()) s.Photons = spinPhotons->value();
  s.Seed = static_cast<std::uint64_t>(spinSeed->value());
  s.Method = static_cast<TReconstructionMethod>(comboMethod->currentIndex());
  s.Fbp.Window = static_cast<TFilterWindow>(comboFilter->currentIndex());
  s.Fbp.Cutoff = spinCutoff->value();
  s.Iterations = spinIterations->value();
  // Only SIRT and SART take a step factor and clipping; the others keep the core's defaults.
  if (s.Method == TReconstructionMethod::Sirt || s.Method == TReconstructionMethod::Sart) {
    s.Relaxation = spinRelaxation->value();
    s.NonNegative = checkNonNegative->isChecked();
  }
  return s;
}

void TformBench::SetSettings(const TBenchSettings& s) {
  {
    settingControls_ = true;
    if (!ownScan_) {
      ShowGeometry(s.Geometry);
    } else {  // shown once the given sinogram is dropped
      ownScan_->Geometry = s.Geometry;
      if (IsFan(s.Geometry)) {
        ownScan_->Source = s.Geometry.SourceDistance;
        ownScan_->Detector = s.Geometry.DetectorDistance;
      }
    }
    if (const int bins = DefaultBins(s.Geometry.Beam, s.Geometry.SourceDistance); bins > 0)
      binsDefault_ = bins;
    comboProjector->setCurrentIndex(s.Projector == TProjectorKind::Exact ? 1 : 0);
    checkNoise->setChecked(s.Photons.has_value());
    if (s.Photons) spinPhotons->setValue(*s.Photons);
    spinSeed->setValue(static_cast<int>(std::min<std::uint64_t>(s.Seed, 2147483647)));
    comboMethod->setCurrentIndex(static_cast<int>(s.Method));
    comboFilter->setCurrentIndex(static_cast<int>(s.Fbp.Window));
    spinCutoff->setValue(s.Fbp.Cutoff);
    spinIterations->setValue(s.Iterations);
    spinRelaxation->setValue(s.Relaxation);
    checkNonNegative->setChecked(s.NonNegative);
    settingControls_ = false;
  }
  UpdateEnabledControls();
  if (worker_) Recompute();
}

void TformBench::SettingsChanged() {
  if (settingControls_) return;
  const int bins =
      DefaultBins(static_cast<TBeam>(comboGeometry->currentIndex()), spinSource->value());
  // The boxes show a given sinogram's geometry: its bins are its own.
  if (!ownScan_ && bins > 0 && bins != binsDefault_) {
    if (spinDetectors->value() == binsDefault_) {
      settingControls_ = true;
      spinDetectors->setValue(bins);
      settingControls_ = false;
    }
    binsDefault_ = bins;
  }
  UpdateEnabledControls();
  if (UpdateOnRelease() && QApplication::mouseButtons() != Qt::NoButton) {
    runWhenReleased_ = true;
    status_ = "Computes when the button is released";
    UpdateCaptions();
    return;
  }
  Recompute();
}

void TformBench::UpdateEnabledControls() {
  const bool fbp = comboMethod->currentIndex() == 0;
  spinPhotons->setEnabled(checkNoise->isChecked());
  spinSeed->setEnabled(checkNoise->isChecked());
  comboFilter->setEnabled(fbp);
  spinCutoff->setEnabled(fbp);
  spinIterations->setEnabled(!fbp);
  const int method = comboMethod->currentIndex();
  const bool relaxes = method == static_cast<int>(TReconstructionMethod::Sirt) ||
                       method == static_cast<int>(TReconstructionMethod::Sart);
  spinRelaxation->setEnabled(relaxes);
  checkNonNegative->setEnabled(relaxes);
  const bool fan = comboGeometry->currentIndex() != static_cast<int>(TBeam::Parallel);
  spinSource->setEnabled(fan);
  spinDetectorDistance->setEnabled(fan);
  // A given sinogram is not made here: the scan's settings do not apply to it.
  const bool scans = !data_.Sinogram;
  if (!scans) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             spinViews, spinArc, spinDetectors, comboGeometry, spinSource, spinDetectorDistance,
             comboProjector, checkNoise, spinPhotons, spinSeed})
      w->setEnabled(false);
  } else {
    for (QWidget* w : std::initializer_list<QWidget*>{spinViews, spinArc, spinDetectors,
                                                      comboGeometry, comboProjector, checkNoise})
      w->setEnabled(true);
  }
  // The exact projector scans the blobs, never an image.
  if (auto* items = qobject_cast<QStandardItemModel*>(comboProjector->model()))
    if (QStandardItem* exact = items->item(1)) exact->setEnabled(!image_);
  // An image as the truth leaves the blobs out of every picture.
  for (QWidget* w :
       std::initializer_list<QWidget*>{tableBlobs, btnAdd, btnDuplicate, btnRemove, comboPreset})
    w->setEnabled(!image_);
  ShowMethodChart();
}

void TformBench::ShowMethodChart() {
  if (!convergeChart_) return;  // the settings are set before the charts exist
  const bool fbp = comboMethod->currentIndex() == 0;
  filterChart_->Control()->setVisible(fbp);
  convergeChart_->Control()->setVisible(!fbp);
}

void TformBench::UpdateConvergeChart() {
  const auto& points = converge_.Points();
  TBenchChart& chart = *convergeChart_;
  const auto have = static_cast<std::size_t>(chart.Series(0).PointCount());
  if (convergeShown_ == converge_.Id() && have + 1 == points.size()) {
    chart.AddPoint(0, points.back().Iteration, points.back().Metrics.Rmse);
    chart.AddPoint(1, points.back().Iteration, points.back().Metrics.Ssim);
  } else if (convergeShown_ != converge_.Id() || have != points.size()) {
    std::vector<double> x, rmse, ssim;
    for (const TConvergeTrace::TPoint& p : points) {
      x.push_back(p.Iteration);
      rmse.push_back(p.Metrics.Rmse);
      ssim.push_back(p.Metrics.Ssim);
    }
    chart.SetPoints(0, x, rmse);
    chart.SetPoints(1, x, ssim);
  }
  convergeShown_ = converge_.Id();
  // The figures' line names the region; the title only says that there is one.
  chart.SetTitle(std::string(region_ == TRegion::Whole() ? "Convergence" : "In the region") +
                 ": RMSE red, SSIM blue (right)");
}

// ---------------------------------------------------------------------------
// Computing

void TformBench::Recompute() {
  runWhenReleased_ = false;
  const TBenchSettings s = Settings();
  // A value out of range is refused here, with the core's reason, before any work: the
  // pictures keep what they show, and their captions say it is an earlier result.
  try {
    TStudyOptions options;
    static_cast<TStudySettings&>(options) = s;
    CheckStudyOptions(options);
    CheckFanGeometry(s.Geometry, TImageSize{TruthColumns(), TruthRows()});
  } catch (const std::exception& e) {
    worker_->Cancel();
    settledId_ = latestId_;
    status_ = std::string("Not computed: ") + e.what();
    UpdateCaptions();
    return;
  }
  TBenchInput input{phantom_, Truth(), s, region_, data_};
  latestId_ = worker_->Submit(std::move(input));
  started_ = std::chrono::steady_clock::now();
  status_ = "Computing…";
  const bool iterative = s.Method != TReconstructionMethod::Fbp;
  progress->setRange(0, iterative ? s.Iterations : 0);
  progress->setValue(0);
  progress->setFormat(iterative ? QString::fromStdString(ProgressText(0, s.Iterations, 0))
                                : QString());
  UpdateCaptions();
}

bool TformBench::UpdateOnRelease() const { return checkOnRelease->isChecked(); }

bool TformBench::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease && runWhenReleased_)
    QMetaObject::invokeMethod(
        this,
        [this] {
          RunHandler(this, [this] {
            if (runWhenReleased_) Recompute();
          });
        },
        Qt::QueuedConnection);
  return QWidget::eventFilter(watched, event);
}

void TformBench::ComputeNow() {
  worker_->Cancel();
  const TBenchInput input{phantom_, Truth(), Settings(), region_, data_};
  auto result = std::make_shared<const TBenchResult>(ComputeBench(input, shown_.get(), {}, {}));
  settledId_ = latestId_;
  Show(std::move(result), latestId_);
  UpdateCaptions();
}

void TformBench::CancelWork() {
  worker_->Cancel();
  // What was asked is given up at once; a late report changes nothing shown.
  settledId_ = latestId_;
  status_ = "Cancelled: Run (F5) computes again";
  UpdateCaptions();
}

// Closed (hidden), the bench computes nothing; the work it gave up resumes when it is
// shown again. A window minimised by the user (a spontaneous hide) goes on computing.
void TformBench::hideEvent(QHideEvent* event) {
  if (!event->spontaneous() && Busy()) {
    CancelWork();
    resumeOnShow_ = true;
  }
  QWidget::hideEvent(event);
}

void TformBench::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (std::exchange(resumeOnShow_, false)) Recompute();
}

void TformBench::Show(std::shared_ptr<const TBenchResult> result, std::uint64_t id) {
  if (id < shownId_) return;  // an older input than the one shown
  shownId_ = id;
  shown_ = std::move(result);
  if (pinned_) {
    const bool sameSize = pinned_->Reconstruction.Rows == shown_->Reconstruction.Rows &&
                          pinned_->Reconstruction.Columns == shown_->Reconstruction.Columns;
    bMinusA_ =
        sameSize ? DifferenceImage(shown_->Reconstruction, pinned_->Reconstruction) : TArray2D{};
  }
  if (id == latestId_) status_.clear();
  for (TPicture p : {pcSinogram, pcReconstruction, pcDifference}) boxes_[p]->Invalidate();
  if (beamAt_) boxes_[pcPhantom]->Invalidate();  // the scan drawn is the shown sinogram's
  UpdateProfiles();
  if (converge_.Set(id, shown_->History)) UpdateConvergeChart();
}

QString TformBench::StartFolder() const {
  return lastFolder_.isEmpty() ? QDir::currentPath() : lastFolder_;
}

std::string TformBench::StatusText() const { return status_; }

void TformBench::PinResult() {
  if (!shown_) return Unpin();
  pinned_ = shown_;
  if (!btnPin->isChecked() && pinned_) {
    const QSignalBlocker quiet(btnPin);
    btnPin->setChecked(true);
  }
  if (pinned_ && shown_)
    bMinusA_ = DifferenceImage(shown_->Reconstruction, pinned_->Reconstruction);
  comboDifference->setEnabled(pinned_ != nullptr);
  boxes_[pcDifference]->Invalidate();
  UpdateCaptions();
}

void TformBench::Unpin() {
  pinned_.reset();
  bMinusA_ = {};
  if (btnPin->isChecked()) {
    const QSignalBlocker quiet(btnPin);
    btnPin->setChecked(false);
  }
  comboDifference->setEnabled(false);
  boxes_[pcDifference]->Invalidate();
  UpdateCaptions();
}

bool TformBench::ShowsBMinusA() const {
  return pinned_ && shown_ && comboDifference->currentIndex() == 1 &&
         bMinusA_.Rows == shown_->Reconstruction.Rows &&
         bMinusA_.Columns == shown_->Reconstruction.Columns && !bMinusA_.Values.empty();
}

const TArray2D* TformBench::ShownDifference() const {
  if (!shown_) return nullptr;
  return ShowsBMinusA() ? &bMinusA_ : &shown_->Difference;
}

std::string TformBench::MetricsText() const {
  if (!shown_) return "";
  const std::string over = RegionText(shown_->Input.Region);
  const std::string figures =
      pinned_ ? CompareFiguresText(shown_->Metrics, pinned_->Metrics, kScreenDigits)
              : FiguresText(shown_->Metrics, kScreenDigits);
  return over.empty() ? figures : "Over " + over + ": " + figures;
}

void TformBench::SetRegion(const TRegion& region) {
  region_ = region;
  if (region.Shape == TRegion::TShape::Rectangle) rectangle_ = region;
  {
    const QSignalBlocker quiet(comboRegion);
    comboRegion->setCurrentIndex(static_cast<int>(region.Shape));
  }
  for (TPicture p : {pcReconstruction, pcDifference}) boxes_[p]->Invalidate();
  Recompute();
}

void TformBench::RegionPress(TPicture which, int x, int y) {
  const auto [fx, fy] = FractionAt(PlacementOf(which), x, y);
  const int ix = static_cast<int>(std::floor(fx * TruthColumns())),
            iy = static_cast<int>(std::floor(fy * TruthRows()));
  regionFrom_ = {ix, iy};
  regionDrag_ = DraggedRegion(ix, iy, ix, iy, TruthColumns(), TruthRows());
  for (TPicture p : {pcReconstruction, pcDifference}) boxes_[p]->Invalidate();
}

void TformBench::RegionDrag(TPicture which, int x, int y) {
  if (!regionFrom_) return;
  const auto [fx, fy] = FractionAt(PlacementOf(which), x, y);
  regionDrag_ = DraggedRegion(
      regionFrom_->first, regionFrom_->second, static_cast<int>(std::floor(fx * TruthColumns())),
      static_cast<int>(std::floor(fy * TruthRows())), TruthColumns(), TruthRows());
  for (TPicture p : {pcReconstruction, pcDifference}) boxes_[p]->Invalidate();
}

bool TformBench::RegionRelease() {
  if (!regionFrom_) return false;
  const TRegion region = *regionDrag_;
  regionFrom_.reset();
  regionDrag_.reset();
  SetRegion(region);
  return true;
}

void TformBench::UpdateCaptions() {
  const bool busy = Busy();
  progress->setVisible(busy);
  btnCancel->setEnabled(busy);
  labelStatus->setText(QString::fromStdString(status_));
  if (image_)
    labelCaptions[pcPhantom]->setText(
        QString("Truth: %1, %2 x %3 pixels")
            .arg(data_.PhantomSide ? QString("the phantom")
                                   : QFileInfo(QString::fromStdString(data_.ImagePath)).fileName())
            .arg(image_->Columns)
            .arg(image_->Rows));
  else
    labelCaptions[pcPhantom]->setText(
        QString("Phantom: %1 blobs, %2 enabled")
            .arg(phantom_.size())
            .arg(std::count_if(phantom_.begin(), phantom_.end(),
                               [](const TPhantomBlob& b) { return b.Enabled; })));
  if (!shown_) return;
  const TBenchSettings& s = shown_->Input.Settings;
  const bool current = SamePhantom(shown_->Input.Phantom, phantom_) && SameStudy(s, Settings()) &&
                       shown_->Input.Region == region_ && shown_->Input.Data == data_;
  const QString mark = current ? "" : " — an earlier result, not of the phantom and settings now";
  const TBenchData& given = shown_->Input.Data;
  labelCaptions[pcSinogram]->setText(
      QString::fromStdString(
          given.Sinogram
              ? "Sinogram: given, " +
                    QFileInfo(QString::fromStdString(given.SinogramPath)).fileName().toStdString() +
                    ", " + std::to_string(s.Geometry.Views) + " views, " +
                    std::to_string(s.Geometry.Detectors) + " bins" +
                    (IsFan(s.Geometry) ? std::string(", ") + BeamName(s.Geometry.Beam) : "")
              : "Sinogram: " + SinogramCaption(s)) +
      mark);
  labelCaptions[pcReconstruction]->setText(
      QString::fromStdString("Reconstruction: " + MethodCaption(s)) + mark);
  labelCaptions[pcDifference]->setText(
      QString::fromStdString(
          (ShowsBMinusA() ? "B − A (A: " + MethodCaption(pinned_->Input.Settings) + "), scale ±"
                          : std::string("Difference, scale ±")) +
          ShortNumber(LargestMagnitude(*ShownDifference()))) +
      mark);
  labelMetrics->setText(QString::fromStdString(MetricsText()) + mark);
  // A screen reader reads the figures themselves, not only the label's purpose.
  labelMetrics->setAccessibleName("Figures: " + labelMetrics->text());
}

// ---------------------------------------------------------------------------
// The phantom and its edits

void TformBench::ApplyToMain(const TPhantom& phantom) {
  phantom_ = phantom;
  // The phantom sampled at a given sinogram's side is the truth: an undone edit moves it.
  if (data_.PhantomSide) try {
      SetTruthImage(SamplePhantom(BlobsOf(phantom_), data_.PhantomSide));
    } catch (const std::exception& e) {
      pendingError_ = e.what();
    }
  try {
    ApplyPhantom(form_, phantom_);
  } catch (const std::exception& e) {
    pendingError_ = e.what();
  }
  RefillTable();
  boxes_[pcPhantom]->Invalidate();
  if (drag_ && UpdateOnRelease()) {
    runWhenReleased_ = true;
    UpdateCaptions();
    return;
  }
  Recompute();
}

void TformBench::ReportPendingError() {
  if (pendingError_.empty()) return;
  const std::string message = std::move(pendingError_);
  pendingError_.clear();
  throw Exception(message);
}

void TformBench::Edit(const TPhantom& after, const QString& text) {
  if (SamePhantom(after, phantom_)) return;
  undoStack_->push(new TPhantomCommand(*this, phantom_, after, text, false));
  ReportPendingError();
}

void TformBench::SetLive(const TPhantom& phantom) {
  const std::string kept = std::move(pendingError_);
  pendingError_.clear();
  ApplyToMain(phantom);
  if (!pendingError_.empty() && drag_) drag_->Error = pendingError_;
  pendingError_ = kept;
}

void TformBench::RefillTable() {
  filling_ = true;
  const int row = tableBlobs->currentRow(), column = tableBlobs->currentColumn();
  tableBlobs->setRowCount(static_cast<int>(phantom_.size()));
  for (int r = 0; r < static_cast<int>(phantom_.size()); ++r) {
    const TPhantomBlob& b = phantom_[static_cast<std::size_t>(r)];
    for (int c = 0; c < 4; ++c) {
      auto* item =
          new QTableWidgetItem(QString::fromStdString(FieldText(b, static_cast<TBlobColumn>(c))));
      // A blob that takes no part is greyed, as in the main window's table; it stays
      // editable.
      if (!b.Enabled)
        item->setForeground(tableBlobs->palette().brush(QPalette::Disabled, QPalette::Text));
      tableBlobs->setItem(r, c, item);
    }
    auto* enabled = new QTableWidgetItem();
    enabled->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    enabled->setCheckState(b.Enabled ? Qt::Checked : Qt::Unchecked);
    tableBlobs->setItem(r, 4, enabled);
  }
  if (row >= 0 && row < tableBlobs->rowCount()) tableBlobs->setCurrentCell(row, column);
  filling_ = false;
  UpdateCaptions();
}

void TformBench::RefuseCell(int row, int column, const std::string& reason) {
  status_ = "Blob " + std::to_string(row + 1) + ": " + reason;
  RefillTable();  // the old value stays
  tableBlobs->setCurrentCell(row, column);
  filling_ = true;  // a tooltip is no edit
  if (QTableWidgetItem* item = tableBlobs->item(row, column))
    item->setToolTip(QString::fromStdString(reason));
  filling_ = false;
  const QRect cell = tableBlobs->visualItemRect(tableBlobs->item(row, column));
  QToolTip::showText(tableBlobs->viewport()->mapToGlobal(cell.bottomLeft()),
                     QString::fromStdString(reason), tableBlobs->viewport(), cell, 5000);
}

void TformBench::TableItemChanged(QTableWidgetItem* item) {
  if (filling_) return;
  const int row = item->row(), column = item->column();
  if (row < 0 || row >= static_cast<int>(phantom_.size())) return;
  TPhantom after = phantom_;
  TPhantomBlob& blob = after[static_cast<std::size_t>(row)];
  if (column == static_cast<int>(TBlobColumn::Enabled)) {
    blob.Enabled = item->checkState() == Qt::Checked;
  } else {
    try {
      blob =
          WithField(blob, static_cast<TBlobColumn>(column), item->text().trimmed().toStdString());
    } catch (const EPhantomError& e) {
      const std::string reason = e.what();
      // Refilling the table here would delete the item the view is still handing out.
      QMetaObject::invokeMethod(
          this, [this, row, column, reason] { RefuseCell(row, column, reason); },
          Qt::QueuedConnection);
      return;
    }
  }
  status_.clear();
  // Run after the view is done with the item: the edit refills the table.
  QMetaObject::invokeMethod(
      this,
      [this, after, column] {
        RunHandler(this, [&] {
          static const char* const kColumns[] = {"MX", "DX", "MY", "DY", "enabled"};
          Edit(after, QString("Set %1").arg(kColumns[column]));
        });
      },
      Qt::QueuedConnection);
}

void TformBench::AddBlob() {
  TPhantom after = phantom_;
  after.push_back({10.5, 2, 10.5, 2, true});
  Edit(after, "Add blob");
  tableBlobs->setCurrentCell(static_cast<int>(after.size()) - 1, 0);
}

void TformBench::DuplicateBlob() {
  const int row = tableBlobs->currentRow();
  if (row < 0 || row >= static_cast<int>(phantom_.size())) return;
  TPhantom after = phantom_;
  after.insert(after.begin() + row + 1, DuplicateOf(phantom_[static_cast<std::size_t>(row)]));
  Edit(after, "Duplicate blob");
  tableBlobs->setCurrentCell(row + 1, std::max(0, tableBlobs->currentColumn()));
}

void TformBench::LoadPreset(int index) {
  const auto& presets = Presets();
  if (index < 0 || index >= static_cast<int>(presets.size())) return;
  Edit(presets[static_cast<std::size_t>(index)].Blobs,
       QString("Preset %1")
           .arg(QString::fromStdString(presets[static_cast<std::size_t>(index)].Name)));
}

void TformBench::RemoveBlob() {
  const int row = tableBlobs->currentRow();
  if (row < 0 || row >= static_cast<int>(phantom_.size())) return;
  TPhantom after = phantom_;
  after.erase(after.begin() + row);
  Edit(after, "Remove blob");
}

// ---------------------------------------------------------------------------
// Files

void TformBench::OpenPhantom() {
  const QString path = AskOpenPath("Open phantom");
  if (!path.isEmpty()) OpenPhantomFrom(path);
}

void TformBench::OpenPhantomFrom(const QString& path) {
  const TPhantom phantom = ReadPhantomFile(path.toStdString());
  const std::string error = [&] {
    undoStack_->push(new TPhantomCommand(*this, phantom_, phantom, "Open phantom", false));
    std::string e = std::move(pendingError_);
    pendingError_.clear();
    return e;
  }();
  undoStack_->setClean();
  phantomFile_ = path;
  lastFolder_ = QFileInfo(path).absolutePath();
  UpdateTitle();
  if (!error.empty()) throw Exception(error);
}

// ---------------------------------------------------------------------------
// The user's own data

TArray2D TformBench::Truth() const { return image_ ? *image_ : GridImage(form_); }

void TformBench::SetTruthImage(TArray2D image) {
  imageMax_ = ValueRange(image).second;  // every value is finite: reader and sampling check
  image_ = std::move(image);
}

int TformBench::TruthColumns() const { return image_ ? image_->Columns : kGrid; }
int TformBench::TruthRows() const { return image_ ? image_->Rows : kGrid; }
int TformBench::TruthSide() const { return std::max(TruthColumns(), TruthRows()); }

void TformBench::OpenImage() {
  const QString path = AskOpenPath("Open image");
  if (!path.isEmpty()) OpenImageFrom(path);
}

void TformBench::OpenSinogram() {
  const QString path = AskOpenPath("Open sinogram");
  if (!path.isEmpty()) OpenSinogramFrom(path);
}

void TformBench::OpenImageFrom(const QString& path) {
  const std::string file = QFileInfo(path).absoluteFilePath().toStdString();
  // The export tool's rule: the exact projector scans blobs, and an image has none.
  if (!data_.Sinogram && Settings().Projector == TProjectorKind::Exact)
    throw Exception("--image is scanned by the grid projector, not by --projector exact");
  TArray2D image = ReadImageInput(file);
  const TScanGeometry geometry = Settings().Geometry;
  if (IsFan(geometry)) CheckFanGeometry(geometry, TImageSize{image.Columns, image.Rows});
  if (data_.Empty()) {
    profileBefore_ = profile_;
    regionBefore_ = region_;
  }
  // A rectangle the image does not hold gives way to the whole image.
  try {
    CheckRegion(region_, image.Columns, image.Rows);
  } catch (const EInvalidStudyValue&) {
    region_ = TRegion::Whole();
  }
  SetTruthImage(std::move(image));
  data_.ImagePath = file;
  data_.PhantomSide = 0;  // the image is the truth now
  lastFolder_ = QFileInfo(path).absolutePath();
  DataChanged();
}

void TformBench::OpenSinogramFrom(const QString& path) {
  const std::string file = QFileInfo(path).absoluteFilePath().toStdString();
  // Without a JSON file the bench's own geometry describes the file, views and bins alike.
  TScanGeometry geometry = ScanSettings().Geometry;
  const std::string sidecar = SidecarPath(file);
  const bool recorded = QFileInfo::exists(QString::fromStdString(sidecar));
  TSinogramInput input = ReadSinogramInput(file, geometry, false, !recorded, false, false);
  // Without an opened image, a sinogram of a scan of another size than the grid's 128
  // is reconstructed at its size and compared with the phantom sampled there, as the
  // export tool does; a scan of an image that is not square needs that image.
  const bool opened = image_ && !data_.PhantomSide;  // an image file is the truth
  int side = 0;
  if (input.Recorded && !opened &&
      (input.Recorded->Columns != kGrid || input.Recorded->Rows != kGrid)) {
    if (input.Recorded->Columns != input.Recorded->Rows)
      throw Exception(sidecar + ": the sinogram was taken of a " +
                      std::to_string(input.Recorded->Columns) + " x " +
                      std::to_string(input.Recorded->Rows) +
                      " image: open that image (the truth of that size) first");
    side = input.Recorded->Columns;
  }
  TStudyOptions options;
  static_cast<TStudySettings&>(options) = ScanSettings();
  options.Geometry = geometry;
  CheckStudyOptions(options);
  const int square = side ? side : kGrid;  // the truth's side unless an image is opened
  CheckFanGeometry(geometry,
                   opened ? TImageSize{TruthColumns(), TruthRows()} : TImageSize{square, square});
  std::optional<TArray2D> sampled;  // taken before anything changes: a blob may refuse
  if (side && side != data_.PhantomSide) sampled = SamplePhantom(BlobsOf(phantom_), side);
  if (data_.Empty()) {
    profileBefore_ = profile_;
    regionBefore_ = region_;
  }
  if (sampled) try {  // as for an image: a rectangle the truth does not hold gives way
      CheckRegion(region_, side, side);
    } catch (const EInvalidStudyValue&) {
      region_ = TRegion::Whole();
    }
  data_.SinogramPath = file;
  data_.Sinogram = std::make_shared<const TArray2D>(std::move(input.Values));
  data_.OwnAngles = input.OwnAngles;
  data_.Recorded = input.Recorded.has_value();
  if (side != data_.PhantomSide) {
    if (sampled)
      SetTruthImage(std::move(*sampled));
    else
      image_.reset();  // the grid is the truth again
    data_.PhantomSide = side;
  }
  dataGeometry_ = geometry;
  lastFolder_ = QFileInfo(path).absolutePath();
  DataChanged();
}

void TformBench::BackToPhantom() {
  if (data_.Empty()) return;
  data_ = {};
  image_.reset();
  dataGeometry_ = {};
  profile_ = profileBefore_;
  region_ = regionBefore_;
  DataChanged();
}

void TformBench::DataChanged() {
  window_[pcPhantom].reset();  // a window over other values than the truth's now
  // The greyed scan boxes show what the given sinogram is, and the bench's own after.
  if (data_.Sinogram) {
    if (!ownScan_)
      ownScan_ = TOwnScan{ShownGeometry(), spinSource->value(), spinDetectorDistance->value()};
    ShowGeometry(dataGeometry_);
  } else if (ownScan_) {
    ShowGeometry(ownScan_->Geometry);
    const QSignalBlocker quietSource(spinSource), quietDetector(spinDetectorDistance);
    spinSource->setValue(ownScan_->Source);
    spinDetectorDistance->setValue(ownScan_->Detector);
    ownScan_.reset();
  }
  profile_.Column = std::clamp(profile_.Column, 0, TruthColumns() - 1);
  profile_.Row = std::clamp(profile_.Row, 0, TruthRows() - 1);
  {
    const QSignalBlocker quiet(comboRegion);
    comboRegion->setCurrentIndex(static_cast<int>(region_.Shape));
  }
  QStringList notes;
  if (data_.PhantomSide)
    notes << QString(
                 "The truth is the phantom sampled at %1 x %1 pixels, the size the sinogram "
                 "was taken of: its blobs are kept while the sinogram is given.")
                 .arg(data_.PhantomSide);
  else if (image_)
    notes << QString("The truth is %1 (%2 x %3 pixels): the blobs do not apply to the pictures.")
                 .arg(QFileInfo(QString::fromStdString(data_.ImagePath)).fileName())
                 .arg(image_->Columns)
                 .arg(image_->Rows);
  if (data_.Sinogram)
    notes << QString(
                 "The sinogram %1 (%2 views, %3 bins) is given: views, arc, bins, beam, "
                 "projector and noise do not apply.")
                 .arg(QFileInfo(QString::fromStdString(data_.SinogramPath)).fileName())
                 .arg(data_.Sinogram->Rows)
                 .arg(data_.Sinogram->Columns);
  labelData->setText(notes.join(' '));
  labelData->setVisible(!data_.Empty());
  btnPhantom->setVisible(!data_.Empty());
  UpdateEnabledControls();
  UpdateTitle();
  for (TBenchImageBox* box : boxes_) box->Invalidate();
  Recompute();
}

bool TformBench::SavePhantom() {
  const QString path = AskSavePath("Save phantom", "phantom.csv");
  if (path.isEmpty()) return false;
  SavePhantomTo(path);
  return true;
}

void TformBench::SavePhantomTo(const QString& path) {
  WriteOutputFile(path, TextBytes(PhantomCsv(phantom_)));
  undoStack_->setClean();
  phantomFile_ = path;
  lastFolder_ = QFileInfo(path).absolutePath();
  UpdateTitle();
}

bool TformBench::MayClose() {
  if (!IsModified()) return true;
  switch (AskUnsaved()) {
    case 0: {
      bool saved = false;
      RunHandler(this, [&] { saved = SavePhantom(); });
      return saved;
    }
    case 1:
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// Export and copy

const TBenchResult& TformBench::RequireShown() const {
  if (!shown_) throw Exception("Nothing has been computed yet");
  return *shown_;
}

void TformBench::SaveArray(TBenchArray array, TExportKind kind) {
  const TBenchResult& result = RequireShown();
  const QByteArray bytes = ResultBytes(result, array, kind);  // as shown when asked
  const QString ending = KindEnding(kind);
  const QString path = AskSavePath(QString("Save %1 as %2").arg(ArrayStem(array), ending.toUpper()),
                                   QString("%1.%2").arg(ArrayStem(array), ending));
  if (path.isEmpty()) return;
  lastFolder_ = QFileInfo(path).absolutePath();
  WriteOutputFile(path, bytes);
}

void TformBench::CopyPicture(TPicture which) {
  QApplication::clipboard()->setImage(Picture(which));
}

void TformBench::CopyData(TBenchArray array) {
  QApplication::clipboard()->setText(
      QString::fromUtf8(ResultBytes(RequireShown(), array, TExportKind::Csv)));
}

void TformBench::ExportAll() {
  const auto result = shown_;  // the result shown when asked, whatever arrives meanwhile
  RequireShown();
  const bool current = SamePhantom(result->Input.Phantom, phantom_) &&
                       SameStudy(result->Input.Settings, Settings()) &&
                       result->Input.Region == region_ && result->Input.Data == data_;
  if (!current &&
      !AskYesNo("The pictures show an earlier result: not of the phantom and settings now "
                "(the computation was cancelled, refused or is still running). Export that "
                "earlier result?"))
    return;
  const QString folder = AskFolder("Export into a folder");
  if (folder.isEmpty()) return;
  lastFolder_ = folder;
  QStringList existing;
  for (const QString& name : ExportFileNames(result->Input.Settings.Method))
    if (QFileInfo::exists(QDir(folder).filePath(name))) existing << name;
  const QString named = existing.size() <= 4 ? existing.join(", ")
                                             : QStringList(existing.mid(0, 3)).join(", ") + ", …";
  if (!existing.isEmpty() &&
      !AskYesNo(QString("%1 of the files already exist in %2 (%3). Replace them?")
                    .arg(existing.size())
                    .arg(folder, named)))
    return;
  const int files = ExportResult(*result, folder);
  status_ = "Exported " + std::to_string(files) + " files into " + folder.toStdString() +
            (current ? "" : ": an earlier result, not of the phantom and settings now");
  UpdateCaptions();
}

void TformBench::UpdateTitle() {
  QStringList files;
  for (const std::string& path : {data_.ImagePath, data_.SinogramPath})
    if (!path.empty()) files << QFileInfo(QString::fromStdString(path)).fileName();
  if (!files.isEmpty()) {
    setWindowTitle(QString("%1[*] - Reconstruction bench").arg(files.join(", ")));
    return;
  }
  const QString name = phantomFile_.isEmpty() ? QString() : QFileInfo(phantomFile_).fileName();
  setWindowTitle(name.isEmpty() ? QString("Reconstruction bench[*]")
                                : QString("%1[*] - Reconstruction bench").arg(name));
}

void TformBench::ShowPictureMenu(TPicture which, const QPoint& at) {
  const TBenchArray array = static_cast<TBenchArray>(which);
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  auto add = [this, menu](const QString& text, std::function<void()> command) {
    QAction* a = menu->addAction(text);
    connect(a, &QAction::triggered, menu,
            [this, command = std::move(command)] { RunHandler(this, command); });
    a->setEnabled(true);
  };
  add("Copy image", [this, which] { CopyPicture(which); });
  add("Copy data as CSV", [this, array] { CopyData(array); });
  menu->addSeparator();
  for (TExportKind kind : {TExportKind::Png, TExportKind::Csv, TExportKind::Npy, TExportKind::Tiff})
    add(QString("Save as %1…").arg(QString(KindEnding(kind)).toUpper()),
        [this, array, kind] { SaveArray(array, kind); });
  menu->addSeparator();
  add("Export all…", [this] { ExportAll(); });
  if (which == pcPhantom || which == pcReconstruction) {
    menu->addSeparator();
    add("Reset window", [this, which] { SetWindow(which, std::nullopt); });
  }
  for (QAction* a : menu->actions())
    if (!a->isSeparator() && a->text() == "Reset window")
      a->setEnabled(window_[which].has_value());
    else if (!a->isSeparator() && a->text() != "Copy image")
      a->setEnabled(shown_ != nullptr);
  menu->popup(boxes_[which]->mapToGlobal(at));
}

// ---------------------------------------------------------------------------
// Pictures

namespace {

// What a picture's box holds around its array: left, top, right, bottom.
QMargins PictureMargins(TformBench::TPicture which) {
  switch (which) {
    case TformBench::pcSinogram:
      return {kSinogramLeft, kTop, kEdge, kAxisBelow};
    case TformBench::pcDifference:
      return {kAxisLeft, kTop, kScaleRoom, kAxisBelow};
    default:
      return {kAxisLeft, kTop, kColourBarRoom, kAxisBelow};
  }
}

}  // namespace

QSize TformBench::MinimumPictureRoom(TPicture which) {
  const QMargins m = PictureMargins(which);
  return {m.left() + kGrid + m.right(), m.top() + kGrid + m.bottom()};
}

void TformBench::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Once the panels have their new sizes (their layouts run after this event).
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!splitterMoved_) BalancePictures();
      },
      Qt::QueuedConnection);
}

void TformBench::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // A window manager frames the window after it was placed, with a title bar that the
  // placement could not count: the first time a frame shows, it is brought inside the
  // screen. Later moves are the user's.
  if (framed_ || !isVisible() || frameGeometry().size() == size() || !screen()) return;
  framed_ = true;
  const QRect frame = frameGeometry();
  const QRect inside = InsideScreen(frame, screen()->availableGeometry());
  if (inside == frame) return;
  resize(size() - (frame.size() - inside.size()));
  move(inside.topLeft());
}

void TformBench::BalancePictures() {
  if (!splitPictures || splitPictures->count() != 2) return;
  const QList<int> sizes = splitPictures->sizes();
  const int total = sizes[0] + sizes[1];
  // The side the boxes' widths allow, and the height the pictures' row then needs.
  int side = -1;
  for (TPicture p : {pcPhantom, pcReconstruction, pcDifference}) {
    const int room = boxes_[p]->width() - (MinimumPictureRoom(p).width() - kGrid);
    side = side < 0 ? room : std::min(side, room);
  }
  const int spare =
      boxes_[pcPhantom]->height() - (MinimumPictureRoom(pcPhantom).height() - kGrid + side);
  const int pictures =
      std::clamp(sizes[0] - spare, splitPictures->widget(0)->minimumSizeHint().height(),
                 total - splitPictures->widget(1)->minimumSizeHint().height());
  if (pictures != sizes[0]) splitPictures->setSizes({pictures, total - pictures});
}

int TformBench::PictureSide() const {
  std::vector<QSize> rooms;
  for (int i = 0; i < kPictureCount; ++i) {
    const auto which = static_cast<TPicture>(i);
    const QSize size = PictureSize(*boxes_[i]);
    const QSize beside = MinimumPictureRoom(which) - QSize(kGrid, kGrid);
    const int height = size.height() - beside.height();
    // The sinogram's width never limits the side: its bins are thinned to fit.
    rooms.emplace_back(which == pcSinogram ? height : size.width() - beside.width(), height);
  }
  return SharedSide(rooms);
}

TPlacement TformBench::PlacementOf(TPicture which) const {
  const int side = PictureSide();
  TPlacement p;
  p.Top = kTop;
  p.Height = side;
  if (which == pcSinogram) {
    p.Rows = shown_ ? shown_->Sinogram.Rows : 0;
    p.Columns = shown_ ? shown_->Sinogram.Columns : 0;
    p.Left = PictureMargins(which).left();
    // A bin as wide as a cell; the views stretched or thinned to the pictures' height.
    const int room = PictureSize(*boxes_[which]).width() - p.Left - PictureMargins(which).right();
    p.Width = std::max(
        0,
        std::min<int>(room, static_cast<int>(std::lround(double(p.Columns) * side / TruthSide()))));
    if (p.Rows <= 0 || p.Columns <= 0) p.Width = p.Height = 0;
    return WithView(p, zoom_);
  }
  p.Rows = TruthRows();
  p.Columns = TruthColumns();
  p.Left = PictureMargins(which).left();
  p.Width = side;
  if (image_) {  // the longer side takes the side; the other keeps the image's proportion
    p.Width = std::max(1, static_cast<int>(std::lround(double(p.Columns) * side / TruthSide())));
    p.Height = std::max(1, static_cast<int>(std::lround(double(p.Rows) * side / TruthSide())));
  }
  return WithView(p, zoom_);
}

void TformBench::SetView(const TView& view) {
  if (view == zoom_) return;
  zoom_ = view;
  for (TBenchImageBox* box : boxes_) box->Invalidate();
}

void TformBench::SetWindow(TPicture which, const std::optional<TWindowLevel>& window) {
  if (which != pcPhantom && which != pcReconstruction) return;
  if (window == window_[which]) return;
  window_[which] = window;
  boxes_[which]->Invalidate();
}

TWindowLevel TformBench::ShownWindow(TPicture which) const {
  return window_[which] ? *window_[which] : DefaultWindow(which);
}

TWindowLevel TformBench::DefaultWindow(TPicture which) const {
  if (which == pcPhantom) return WindowOver(0, image_ ? imageMax_ : form_.GridMax);
  if (which == pcReconstruction && shown_) {
    const auto [low, high] = ValueRange(shown_->Reconstruction);
    if (low <= high) return WindowOver(low, high);  // else no finite value at all
  }
  return {};
}

void TformBench::Hover(TPicture which, int x, int y) {
  std::optional<std::pair<double, double>> at;
  std::optional<std::pair<int, int>> beam;
  const TPlacement p = PlacementOf(which);
  if (p.ColumnAt(x) >= 0 && p.RowAt(y) >= 0) {
    if (which != pcSinogram)
      at = FractionAt(p, x, y);
    else if (shown_)
      beam = std::pair{p.RowAt(y), p.ColumnAt(x)};
  }
  if (beam != beamAt_) {
    beamAt_ = beam;
    boxes_[pcPhantom]->Invalidate();
  }
  if (at == cursor_) return;
  cursor_ = at;
  for (TBenchImageBox* box : boxes_) box->Invalidate();
}

void TformBench::PaintCursor(TCanvas& canvas, const TPlacement& p, TPicture which) const {
  if (!cursor_) return;
  const auto [fx, fy] = *cursor_;
  canvas.Pen().SetStyle(TPenStyle::psSolid);
  if (which == pcSinogram) {
    // The point's sinusoid: the bin where each view sees it.
    if (!shown_) return;
    const TScanGeometry& g = shown_->Input.Settings.Geometry;
    const double x = TProjectionModel::GridCoordinate(0) + fx * kGrid * kStep - kStep / 2;
    const double y = TProjectionModel::GridCoordinate(0) + fy * kGrid * kStep - kStep / 2;
    // On an image, the point's offset from its centre in pixels.
    const double px0 = fx * TruthColumns() - TruthColumns() / 2.0;
    const double py0 = fy * TruthRows() - TruthRows() / 2.0;
    canvas.Pen().SetColor(clAqua);
    for (int view = 0; view < g.Views; ++view) {
      const double bin = image_ ? (px0 * g.Cos(view) + py0 * g.Sin(view)) / g.Spacing +
                                      (g.Detectors - 1) / 2.0 - g.Offset
                                : ((x - TScanGeometry::kCentre) * g.Cos(view) +
                                   (y - TScanGeometry::kCentre) * g.Sin(view)) /
                                          (TScanGeometry::Step() * g.Spacing) +
                                      (g.Detectors - 1) / 2.0 - g.Offset;
      const int px = static_cast<int>(std::floor(p.XOfColumn(bin)));
      const int py = static_cast<int>(std::floor(p.YOfRow(view)));
      if (p.ColumnAt(px) < 0 || p.RowAt(py) < 0) continue;
      canvas.MoveTo(px, py);
      canvas.LineTo(px + 1, py);
    }
    return;
  }
  const TPoint c = PixelOfFraction(p, fx, fy);
  if (p.ColumnAt(c.X) < 0 || p.RowAt(c.Y) < 0) return;
  for (const auto& [colour, d] : {std::pair{clBlack, 1}, std::pair{clWhite, 0}}) {
    canvas.Pen().SetColor(colour);
    canvas.MoveTo(c.X - 5 + d, c.Y + d);
    canvas.LineTo(c.X + 6 + d, c.Y + d);
    canvas.MoveTo(c.X + d, c.Y - 5 + d);
    canvas.LineTo(c.X + d, c.Y + 6 + d);
  }
}

void TformBench::PaintPicture(TPicture which) {
  TCanvas& canvas = boxes_[which]->Canvas();
  const TPlacement p = PlacementOf(which);
  // The whole box first: a smaller picture than the last leaves nothing behind.
  canvas.Brush().SetStyle(TBrushStyle::bsSolid);
  canvas.Brush().SetColor(clBtnFace);
  const QSize room = PictureSize(*boxes_[which]);
  canvas.FillRect(TRect{0, 0, room.width(), room.height()});
  if (which == pcPhantom) {
    // The truth in the grid's green: the blobs' grid, or the opened image over its pixels.
    // The scan of the view under the mouse on the sinogram is drawn over it shrunk to show
    // it whole.
    const double top = image_ ? imageMax_ : form_.GridMax;
    const TScanGeometry* g = shown_ ? &shown_->Input.Settings.Geometry : nullptr;
    const bool scan = beamAt_ && g && beamAt_->first < g->Views && beamAt_->second < g->Detectors;
    const TPlacement shown = scan ? ScanPlacement(*g, p) : p;
    const std::optional<TWindowLevel>& window = window_[pcPhantom];
    auto green = [&](double v) {
      return window ? TRgb{0, WindowedLevel(v, *window), 0} : GreenColor(v, top);
    };
    PaintArray(canvas, shown, [&](int row, int column) {
      return green(
          image_ ? image_->At(row, column)
                 : form_.Grid[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)]);
    });
    const TWindowLevel w = ShownWindow(pcPhantom);
    PaintColourBar(canvas, p, w.Low(), w.High(), green, LabelsOf(which));
    PaintGridAxes(canvas, shown, LabelsOf(which), image_.has_value());
    if (scan) {
      PaintBeam(canvas, BeamDrawing(*g, beamAt_->first, beamAt_->second, shown),
                TRect{0, 0, room.width(), room.height()}, LabelsOf(which));
      return;
    }
    if (!image_)  // no blob applies to an image
      for (const TPhantomBlob& b : phantom_)
        if (b.Enabled && std::isfinite(b.MX) && std::isfinite(b.MY)) {
          const TPoint h = HandlePixel(p, b);
          if (p.ColumnAt(h.X) >= 0 && p.RowAt(h.Y) >= 0) PaintHandle(canvas, h.X, h.Y);
        }
    PaintProfileLine(canvas, p);
    PaintCursor(canvas, p, which);
    return;
  }
  if (!shown_) return;
  if (which == pcSinogram) {
    const TArray2D& s = shown_->Sinogram;
    const std::pair<double, double> range = ValueRange(s);
    const double low = range.first, high = range.second;
    PaintArray(canvas, p,
               [&](int row, int column) { return GreyColor(s.At(row, column), low, high); });
    PaintAngleAxis(canvas, p, shown_->Input.Settings.Geometry, LabelsOf(which));
    PaintBinAxis(canvas, p, LabelsOf(which));
    // The view whose profile is plotted: a dotted line across, and a mark on each side.
    if (view_ < s.Rows) {
      const int y = static_cast<int>(std::floor(p.YOfRow(view_)));
      canvas.Pen().SetColor(clYellow);
      canvas.Pen().SetStyle(TPenStyle::psDot);
      canvas.MoveTo(p.Left, y);
      canvas.LineTo(p.Left + p.Width, y);
      canvas.Pen().SetStyle(TPenStyle::psSolid);
      canvas.Pen().SetColor(clRed);
      for (int dy = -1; dy <= 1; ++dy) {
        canvas.MoveTo(p.Left + p.Width, y + dy);
        canvas.LineTo(p.Left + p.Width + kEdge, y + dy);
      }
    }
  } else if (which == pcReconstruction) {
    const TArray2D& r = shown_->Reconstruction;
    const std::pair<double, double> range = ValueRange(r);
    const double low = range.first, high = range.second;
    const std::optional<TWindowLevel>& window = window_[pcReconstruction];
    auto grey = [&](double v) {
      if (!window) return GreyColor(v, low, high);
      const uint8_t level = WindowedLevel(v, *window);
      return TRgb{level, level, level};
    };
    PaintArray(canvas, p, [&](int row, int column) { return grey(r.At(row, column)); });
    if (window || low <= high) {  // no bar for an array without a finite value
      const TWindowLevel w = ShownWindow(pcReconstruction);
      PaintColourBar(canvas, p, w.Low(), w.High(), grey, LabelsOf(which));
    }
    PaintGridAxes(canvas, p, LabelsOf(which), image_.has_value());
    PaintProfileLine(canvas, p);
    PaintRegion(canvas, p, regionDrag_ ? *regionDrag_ : region_);
  } else {
    const TArray2D& d = *ShownDifference();
    const double limit = LargestMagnitude(d);
    PaintArray(canvas, p,
               [&](int row, int column) { return DivergingColor(d.At(row, column), limit); });
    PaintDivergingScale(canvas, p, limit, LabelsOf(which));
    PaintGridAxes(canvas, p, LabelsOf(which), image_.has_value());
    PaintProfileLine(canvas, p);
    PaintRegion(canvas, p, regionDrag_ ? *regionDrag_ : region_);
  }
  PaintCursor(canvas, p, which);
}

TTextOut TformBench::LabelsOf(TPicture which) const {
  TBenchImageBox* box = boxes_[which];
  if (!box->LabelsOver()) return {};
  return [box](int x, int y, const std::string& text) { box->Labels.push_back({x, y, text}); };
}

void TformBench::PaintProfileLine(TCanvas& canvas, const TPlacement& p) const {
  canvas.Pen().SetColor(clYellow);
  canvas.Pen().SetStyle(TPenStyle::psDot);
  const int at = ProfileLinePixel(p, profile_);
  if (profile_.AlongColumn) {
    canvas.MoveTo(at, p.Top);
    canvas.LineTo(at, p.Top + p.Height);
  } else {
    canvas.MoveTo(p.Left, at);
    canvas.LineTo(p.Left + p.Width, at);
  }
  canvas.Pen().SetStyle(TPenStyle::psSolid);
}

QImage TformBench::Picture(TPicture which) {
  return boxes_[which]->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

std::string TformBench::Readout(TPicture which, int x, int y) const {
  const TPlacement p = PlacementOf(which);
  const int column = p.ColumnAt(x), row = p.RowAt(y);
  if (which == pcPhantom) {
    if (image_)
      return row < 0 || column < 0 ? "" : CellReadout(column, row, image_->At(row, column), true);
    const int blob = HandleAt(p, phantom_, x, y);
    if (blob >= 0) return BlobReadout(blob, phantom_[static_cast<std::size_t>(blob)]);
    if (row < 0 || column < 0) return "";
    return CellReadout(column, row,
                       form_.Grid[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)]);
  }
  if (!shown_ || row < 0 || column < 0) return "";
  const bool pixels = shown_->Input.Data.InPixels();
  if (which == pcSinogram)
    return SinogramReadout(shown_->Input.Settings.Geometry, row, column,
                           shown_->Sinogram.At(row, column), pixels);
  const TArray2D& a = which == pcReconstruction ? shown_->Reconstruction : *ShownDifference();
  return CellReadout(column, row, a.At(row, column), pixels);
}

void TformBench::BindImages() {
  for (int i = 0; i < kPictureCount; ++i) {
    const auto which = static_cast<TPicture>(i);
    boxes_[i]->OnPaint = [this, which](QWidget*) { PaintPicture(which); };
    boxes_[i]->OnReadout = [this, which](int x, int y) { return Readout(which, x, y); };
  }
  boxes_[pcPhantom]->OnPress = [this](int x, int y, bool shift) { HandlePress(x, y, shift); };
  boxes_[pcPhantom]->OnDrag = [this](int x, int y, bool) { HandleDrag(x, y); };
  boxes_[pcPhantom]->OnRelease = [this](int, int) { HandleRelease(); };
  boxes_[pcPhantom]->OnWheelNotches = [this](int notches, int x, int y) {
    return HandleWheel(notches, x, y);
  };
  for (TPicture which : {pcReconstruction, pcDifference}) {
    // A click picks the profile; Shift+drag marks the region the figures are over.
    boxes_[which]->OnPress = [this, which](int x, int y, bool shift) {
      if (shift)
        RegionPress(which, x, y);
      else if (const auto pick = PickAt(PlacementOf(which), profile_, x, y))
        PickProfile(pick->Column, pick->Row);
    };
    boxes_[which]->OnDrag = [this, which](int x, int y, bool) { RegionDrag(which, x, y); };
    boxes_[which]->OnRelease = [this](int, int) { RegionRelease(); };
  }
  for (int i = 0; i < kPictureCount; ++i)
    boxes_[i]->OnMenuKey = [this, i](const QPoint& at) {
      ShowPictureMenu(static_cast<TPicture>(i), at);
    };
  for (int i = 0; i < kPictureCount; ++i) {
    const auto which = static_cast<TPicture>(i);
    boxes_[i]->OnZoom = [this, which](int notches, int x, int y) {
      const TPlacement p = PlacementOf(which);
      const double fx = p.Width > 0 ? std::clamp((x - p.Left + 0.5) / p.Width, 0.0, 1.0) : 0.5;
      const double fy = p.Height > 0 ? std::clamp((y - p.Top + 0.5) / p.Height, 0.0, 1.0) : 0.5;
      SetView(Zoomed(zoom_, fx, fy, notches));
    };
    boxes_[i]->OnPan = [this, which](int dx, int dy) {
      const TPlacement p = PlacementOf(which);
      if (p.Width > 0 && p.Height > 0)
        SetView(Panned(zoom_, -double(dx) / p.Width, -double(dy) / p.Height));
    };
    boxes_[i]->OnHover = [this, which](int x, int y) { Hover(which, x, y); };
    boxes_[i]->OnLeave = [this] {
      if (beamAt_) {
        beamAt_.reset();
        boxes_[pcPhantom]->Invalidate();
      }
      if (!cursor_) return;
      cursor_.reset();
      for (TBenchImageBox* box : boxes_) box->Invalidate();
    };
    // 0 shows the whole array; the arrows pan (on the phantom, with no blob selected).
    // On the phantom and the reconstruction [ and ] narrow and widen the window, Page Up
    // and Page Down raise and lower its level, each by a sixteenth of the values' range:
    // the right-drag's steps, for the keyboard.
    boxes_[i]->OnKey = [this, which](int key, bool shift) {
      if (which == pcPhantom || which == pcReconstruction) {
        const int width = key == Qt::Key_BracketLeft ? -16 : key == Qt::Key_BracketRight ? 16 : 0;
        const int level = key == Qt::Key_PageUp ? 16 : key == Qt::Key_PageDown ? -16 : 0;
        if (width != 0 || level != 0) {
          SetWindow(which,
                    DraggedWindow(ShownWindow(which), width, level, DefaultWindow(which).Width));
          return true;
        }
      }
      if (which == pcPhantom && NudgeSelected(key, shift)) return true;
      if (key == Qt::Key_0) {
        SetView({});
        return true;
      }
      const double step = shift ? 0.5 : 0.1;
      const double dx = key == Qt::Key_Left ? -step : key == Qt::Key_Right ? step : 0;
      const double dy = key == Qt::Key_Up ? -step : key == Qt::Key_Down ? step : 0;
      if (dx == 0 && dy == 0) return false;
      SetView(Panned(zoom_, dx, dy));
      return true;
    };
  }
  // Right-drag sets the window and level, from the one shown when the drag began.
  for (TPicture which : {pcPhantom, pcReconstruction})
    boxes_[which]->OnWindowDrag = [this, which](int dx, int dy, bool begin) {
      if (begin) windowDragStart_ = ShownWindow(which);
      SetWindow(which, DraggedWindow(windowDragStart_, dx, dy, DefaultWindow(which).Width));
    };
  boxes_[pcSinogram]->OnPress = [this](int, int y, bool) {
    const int view = PlacementOf(pcSinogram).RowAt(y);
    if (view >= 0) PickView(view);
  };
}

// ---------------------------------------------------------------------------
// Handles

bool TformBench::NudgeSelected(int key, bool shift) {
  const int step = shift ? 10 : 1;
  const int columns = key == Qt::Key_Left ? -step : key == Qt::Key_Right ? step : 0;
  const int rows = key == Qt::Key_Up ? -step : key == Qt::Key_Down ? step : 0;
  const int blob = tableBlobs->currentRow();
  if (image_ || (columns == 0 && rows == 0) || blob < 0 ||
      blob >= static_cast<int>(phantom_.size()))
    return false;
  TPhantom after = phantom_;
  after[static_cast<std::size_t>(blob)] =
      NudgedBlob(phantom_[static_cast<std::size_t>(blob)], columns, rows);
  if (SamePhantom(after, phantom_)) return true;
  undoStack_->push(new TPhantomCommand(*this, phantom_, after, "Move blob", false, blob + 1));
  ReportPendingError();
  return true;
}

void TformBench::HandlePress(int x, int y, bool shift) {
  const TPlacement p = PlacementOf(pcPhantom);
  const int blob = image_ ? -1 : HandleAt(p, phantom_, x, y);  // no blob shows on an image
  if (blob < 0) {
    if (const auto pick = PickAt(p, profile_, x, y)) PickProfile(pick->Column, pick->Row);
    return;
  }
  drag_ = Drag{blob, x, y, shift, phantom_, ""};
}

void TformBench::HandleDrag(int x, int y) {
  if (!drag_) return;
  const TPlacement p = PlacementOf(pcPhantom);
  TPhantom after = drag_->Before;
  TPhantomBlob& b = after[static_cast<std::size_t>(drag_->Blob)];
  const TPhantomBlob& start = drag_->Before[static_cast<std::size_t>(drag_->Blob)];
  const int dx = x - drag_->X, dy = y - drag_->Y;
  b = drag_->Spreads
          ? SpreadBlob(start, dx, dy)
          : MovedBlob(start, dx * p.ColumnsPerPixel() * kStep, dy * p.RowsPerPixel() * kStep);
  if (!SamePhantom(after, phantom_)) SetLive(after);
}

void TformBench::HandleRelease() {
  if (!drag_) return;
  Drag drag = std::move(*drag_);
  drag_.reset();
  if (runWhenReleased_) Recompute();
  if (SamePhantom(drag.Before, phantom_)) return;
  undoStack_->push(new TPhantomCommand(*this, drag.Before, phantom_,
                                       drag.Spreads ? "Change spreads" : "Move blob", true));
  if (!drag.Error.empty()) throw Exception(drag.Error);
}

bool TformBench::HandleWheel(int notches, int x, int y) {
  const int blob = image_ ? -1 : HandleAt(PlacementOf(pcPhantom), phantom_, x, y);
  if (blob < 0) return false;
  TPhantom after = phantom_;
  TPhantomBlob& b = after[static_cast<std::size_t>(blob)];
  b = ScaledSpreads(b, notches);
  if (SamePhantom(after, phantom_)) return true;
  undoStack_->push(new TPhantomCommand(*this, phantom_, after, "Change spreads", false, blob + 1));
  ReportPendingError();
  return true;
}

// ---------------------------------------------------------------------------
// Profiles

void TformBench::PickProfile(int ix, int iy) {
  profile_.Column = std::clamp(ix, 0, TruthColumns() - 1);
  profile_.Row = std::clamp(iy, 0, TruthRows() - 1);
  UpdateProfiles();
  for (TPicture p : {pcPhantom, pcReconstruction, pcDifference}) boxes_[p]->Invalidate();
}

void TformBench::SetProfileAlongColumn(bool column) {
  profile_.AlongColumn = column;
  if (comboProfile->currentIndex() != (column ? 1 : 0))
    comboProfile->setCurrentIndex(column ? 1 : 0);
  UpdateProfiles();
  for (TPicture p : {pcPhantom, pcReconstruction, pcDifference}) boxes_[p]->Invalidate();
}

void TformBench::PickView(int view) {
  view_ = std::max(0, view);
  UpdateProfiles();
  boxes_[pcSinogram]->Invalidate();
}

void TformBench::UpdateProfiles() {
  if (!shown_) return;
  const TBenchResult& r = *shown_;
  // An image's profile runs over its pixels; the phantom's over the model's x or y.
  const TProfile profile =
      ProfileOf(profile_, r.Input.Truth, r.Reconstruction, r.Input.Data.InPixels());
  profileChart_->SetTitle(profile.Title);
  profileChart_->Chart().BottomAxis().Title.SetCaption(profile.Axis);
  profileChart_->SetPoints(0, profile.Position, profile.Truth);
  profileChart_->SetPoints(1, profile.Position, profile.Reconstruction);

  const TScanGeometry& g = r.Input.Settings.Geometry;
  const int view = std::min(view_, r.Sinogram.Rows - 1);
  // The grid's bins at c + t in model units; an opened image's at t in pixels.
  const bool pixels = r.Input.Data.InPixels();
  viewChart_->Chart().BottomAxis().Title.SetCaption(pixels ? "t (pixels)" : "c + t");
  std::vector<double> t, values;
  for (int bin = 0; bin < r.Sinogram.Columns; ++bin) {
    t.push_back(pixels ? g.BinCells(bin) : TScanGeometry::kCentre + g.BinPosition(bin));
    values.push_back(r.Sinogram.At(view, bin));
  }
  viewChart_->SetTitle("View " + std::to_string(view) + " at " +
                       FormatGeneral(g.AngleDegrees(view), kScreenDigits) + "°");
  viewChart_->SetPoints(0, t, values);

  const TFilterResponse response = FilterResponse(r.Input.Settings.Fbp, 256, g.Detectors);
  filterChart_->SetTitle(
      std::string("Filter: ") + FilterName(r.Input.Settings.Fbp.Window) + ", cutoff " +
      ShortestText(r.Input.Settings.Fbp.Cutoff) +
      (r.Input.Settings.Method == TReconstructionMethod::Fbp ? "" : " (FBP only)"));
  filterChart_->SetPoints(0, response.Frequency, response.Gain);
}

// ---------------------------------------------------------------------------
// The main window's ways in

namespace {

// Asks before the program ends with unsaved bench changes; hides the bench with the
// main window.
class TBenchCloseGuard : public QObject {
 public:
  explicit TBenchCloseGuard(TformMain& form) : QObject(&form), form_(form) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &form_ || event->type() != QEvent::Close) return false;
    TformBench* bench = BenchOf(form_);
    if (!bench) return false;
    if (!bench->MayClose()) {
      event->ignore();
      return true;
    }
    bench->hide();
    return false;
  }

 private:
  TformMain& form_;
};

}  // namespace

TformBench* BenchOf(TformMain& form) {
  return form.findChild<TformBench*>("formBench", Qt::FindDirectChildrenOnly);
}

TformBench& OpenBench(TformMain& form) {
  TformBench* bench = BenchOf(form);
  if (!bench) {
    bench = new TformBench(form);  // owned by the main window
    // Beside the main window where the screen leaves room, inside the screen always.
    if (const QScreen* screen = form.screen()) {
      const QSize frame = form.frameGeometry().size() - form.size();
      const TBenchPlacement place =
          BesideMainWindow(form.frameGeometry(), frame, bench->size(), bench->minimumSizeHint(),
                           screen->availableGeometry());
      // Moved by the client area: a shown window's move() lands a frame's height off
      // under some window managers.
      const QPoint shift = place.Main - form.frameGeometry().topLeft();
      if (!shift.isNull()) form.setGeometry(form.geometry().translated(shift));
      bench->resize(place.Bench.size() - frame);
      bench->move(place.Bench.topLeft());
    }
  }
  bench->show();
  bench->raise();
  bench->activateWindow();
  return *bench;
}

QImage BenchPicture(TformMain& form) {
  TformBench& bench = OpenBench(form);
  bench.resize(kBenchPictureSize);  // whatever the screen: the same picture everywhere
  bench.ComputeNow();
  bench.grab();  // the charts measure their labels on the first paint
  for (TBenchChart* c : {&bench.ProfileChart(), &bench.ViewChart(), &bench.FilterChart()})
    c->Chart().InvalidateChart();
  return bench.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void InstallBench(TformMain& form) {
  auto* action = new QAction("Reconstruction bench…", &form);
  action->setObjectName("actBench");
  action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
  action->setShortcutContext(Qt::WindowShortcut);
  form.addAction(action);
  QObject::connect(action, &QAction::triggered, &form,
                   [&form] { RunHandler([&form] { OpenBench(form); }); });
  if (form.menuChart) {
    form.menuChart->addSeparator();
    form.menuChart->addAction(action);
  }
  // The grid image's own menu.
  auto* menu = new QMenu(&form);
  menu->setObjectName("menuGrid");
  menu->addAction(action);
  form.boxNormal->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(
      form.boxNormal, &QWidget::customContextMenuRequested, menu,
      [&form, menu](const QPoint& at) { menu->popup(form.boxNormal->mapToGlobal(at)); });
  form.installEventFilter(new TBenchCloseGuard(form));
}

}  // namespace quarvel
