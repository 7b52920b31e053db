#include "bench/BenchWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QHideEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
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
#include "format/NumberFormat.h"
#include "tomo/Memory.h"
#include "tomo/Projectors.h"
#include "ui/ExportView.h"
#include "ui/MainFormUnit.h"
#include "ui/OutputFile.h"

namespace quarvel {
namespace {

constexpr double kStep = 19.0 / 127.0;  // the grid step in model units
constexpr int kGrid = TProjectionModel::kGridSize;
// Room around the arrays in their boxes: the sinogram's angle labels, the difference's scale.
constexpr int kSinogramLeft = 46, kSinogramTop = 30, kScaleRoom = 64;

// One edit of the phantom: the phantom before and after. A step whose edit is already in
// place (a drag) skips its first redo.
class TPhantomCommand : public QUndoCommand {
 public:
  TPhantomCommand(TformBench& bench, TPhantom before, TPhantom after, const QString& text,
                  bool applied)
      : QUndoCommand(text),
        bench_(bench),
        before_(std::move(before)),
        after_(std::move(after)),
        applied_(applied) {}
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
};

std::vector<double> GridCoordinates() {
  std::vector<double> x(kGrid);
  for (int i = 0; i < kGrid; ++i)
    x[static_cast<std::size_t>(i)] = TProjectionModel::GridCoordinate(i);
  return x;
}

QString AskOpenWithDialog(QWidget* parent, const QString& caption) {
  return QFileDialog::getOpenFileName(parent, caption, QDir::currentPath(),
                                      "Phantom files (*.csv);;All files (*)");
}

QString AskSaveWithDialog(QWidget* parent, const QString& caption, const QString& name) {
  const QString suffix = name.section('.', -1);
  QFileDialog dialog(parent, caption, QDir::current().filePath(name),
                     QString("%1 files (*.%2)").arg(suffix.toUpper(), suffix));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

template <class Widget>
Widget* Described(Widget* widget, const char* name, const char* description) {
  widget->setObjectName(name);
  widget->setAccessibleName(QString::fromUtf8(name));
  widget->setAccessibleDescription(QString::fromUtf8(description));
  return widget;
}

}  // namespace

// ---------------------------------------------------------------------------
// The image box

TBenchImageBox::TBenchImageBox(QWidget* parent) : TPaintBox(parent) {}

void TBenchImageBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return TPaintBox::mousePressEvent(event);
  pressed_ = true;
  const QPoint p = PicturePoint(*this, event->position());
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  if (OnPress) RunHandler([&] { OnPress(p.x(), p.y(), shift); });
}

void TBenchImageBox::mouseMoveEvent(QMouseEvent* event) {
  if (pressed_ && (event->buttons() & Qt::LeftButton) && OnDrag) {
    const QPoint p = PicturePoint(*this, event->position());
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    RunHandler([&] { OnDrag(p.x(), p.y(), shift); });
  }
  TPaintBox::mouseMoveEvent(event);
}

void TBenchImageBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return TPaintBox::mouseReleaseEvent(event);
  pressed_ = false;
  const QPoint p = PicturePoint(*this, event->position());
  if (OnRelease) RunHandler([&] { OnRelease(p.x(), p.y()); });
}

void TBenchImageBox::wheelEvent(QWheelEvent* event) {
  wheelRemainder_ += event->angleDelta().y();
  const int notches = wheelRemainder_ / 120;
  wheelRemainder_ -= notches * 120;
  bool used = false;
  if (notches != 0 && OnWheelNotches) {
    const QPoint p = PicturePoint(*this, event->position());
    RunHandler([&] { used = OnWheelNotches(notches, p.x(), p.y()); });
  }
  event->setAccepted(used);
}

// ---------------------------------------------------------------------------
// The window

TformBench::TformBench(TformMain& form)
    : QWidget(&form, Qt::Window), form_(form), undoStack_(new QUndoStack(this)) {
  setObjectName("formBench");
  setWindowTitle("Reconstruction bench[*]");
  setAttribute(Qt::WA_QuitOnClose, false);
  phantom_ = PhantomOf(form_);
  AskOpenPath = [this](const QString& caption) { return AskOpenWithDialog(this, caption); };
  AskSavePath = [this](const QString& caption, const QString& name) {
    return AskSaveWithDialog(this, caption, name);
  };
  AskFolder = [this](const QString& caption) {
    return QFileDialog::getExistingDirectory(this, caption, QDir::currentPath());
  };
  AskUnsaved = [this] {
    const auto answer = QMessageBox::question(
        this, "Reconstruction bench", "The phantom has unsaved changes. Save them?",
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    return answer == QMessageBox::Save ? 0 : answer == QMessageBox::Discard ? 1 : 2;
  };
  CreateControls();
  connect(undoStack_, &QUndoStack::cleanChanged, this,
          [this](bool clean) { setWindowModified(!clean); });

  TBenchWorker::Callbacks callbacks;
  // The worker's reports are posted to this window's thread; once the window is gone,
  // none is delivered (the worker is stopped first, and posted calls die with the window).
  callbacks.Finished = [this](std::uint64_t id, std::shared_ptr<const TBenchResult> result,
                              const std::string& error) {
    QMetaObject::invokeMethod(
        this,
        [this, id, result = std::move(result), error] {
          settledId_ = std::max(settledId_, id);
          if (result) {
            Show(result, id);
          } else if (id == latestId_) {
            status_ = "Cannot compute: " + error;
          }
          UpdateCaptions();
        },
        Qt::QueuedConnection);
  };
  callbacks.Cancelled = [this](std::uint64_t id) {
    QMetaObject::invokeMethod(
        this,
        [this, id] {
          settledId_ = std::max(settledId_, id);
          if (id == latestId_) status_ = "Cancelled";
          UpdateCaptions();
        },
        Qt::QueuedConnection);
  };
  callbacks.Progress = [this](std::uint64_t id, int done) {
    QMetaObject::invokeMethod(
        this,
        [this, id, done] {
          if (id == latestId_ && progress->maximum() > 0) progress->setValue(done);
        },
        Qt::QueuedConnection);
  };
  // Every edit runs the chain again: its arrays reuse the memory of the last run.
  KeepFreedMemoryForReuse();
  worker_ = std::make_unique<TBenchWorker>(std::move(callbacks));
  RefillTable();
  Recompute();
}

TformBench::~TformBench() {
  worker_.reset();  // joined before anything it reports to goes
  profileChart_.reset();
  viewChart_.reset();
  filterChart_.reset();
}

void TformBench::CreateControls() {
  auto* root = new QVBoxLayout(this);

  // The command row.
  auto* commands = new QHBoxLayout;
  btnOpen = Described(new QPushButton("&Open…", this), "Open phantom",
                      "Reads a phantom file (CSV: mx,dx,my,dy,enabled) in place of the blobs");
  btnSave = Described(new QPushButton("&Save…", this), "Save phantom",
                      "Writes the blobs as a phantom file");
  btnUndo = Described(new QPushButton("&Undo", this), "Undo", "Undoes the last edit (Ctrl+Z)");
  btnRedo = Described(new QPushButton("&Redo", this), "Redo",
                      "Redoes the edit undone last (Ctrl+Shift+Z)");
  labelStatus = Described(new QLabel(this), "Status", "What the bench is computing");
  progress = Described(new QProgressBar(this), "Progress", "The progress of the computation");
  btnCancel = Described(new QPushButton("Cancel", this), "Cancel",
                        "Stops the computation; the pictures keep what they show");
  btnExport = Described(new QPushButton("E&xport…", this), "Export",
                        "Writes every picture and its data (PNG, CSV, NPY, TIFF), the figures "
                        "and the blobs into a folder");
  progress->setMaximumWidth(160);
  progress->setTextVisible(false);
  for (QWidget* w : {static_cast<QWidget*>(btnOpen), static_cast<QWidget*>(btnSave),
                     static_cast<QWidget*>(btnUndo), static_cast<QWidget*>(btnRedo),
                     static_cast<QWidget*>(btnExport)})
    commands->addWidget(w);
  commands->addWidget(labelStatus, 1);
  commands->addWidget(progress);
  commands->addWidget(btnCancel);
  root->addLayout(commands);

  auto* body = new QHBoxLayout;
  root->addLayout(body, 1);

  // Left: the blobs and the settings.
  auto* left = new QVBoxLayout;
  body->addLayout(left);
  tableBlobs = Described(new QTableWidget(0, kBlobColumnCount, this), "Blobs",
                         "The phantom's blobs: means and spreads in model units, and whether "
                         "each is part of the grid; edit a cell in place");
  tableBlobs->setHorizontalHeaderLabels({"MX", "DX", "MY", "DY", "Enabled"});
  tableBlobs->verticalHeader()->setDefaultSectionSize(20);
  tableBlobs->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  tableBlobs->setMinimumWidth(320);
  tableBlobs->setTabKeyNavigation(false);
  left->addWidget(tableBlobs, 1);
  auto* blobButtons = new QHBoxLayout;
  btnAdd = Described(new QPushButton("&Add", this), "Add blob", "Appends a new blob");
  btnDuplicate = Described(new QPushButton("&Duplicate", this), "Duplicate blob",
                           "Appends a copy of the selected blob after it");
  btnRemove =
      Described(new QPushButton("Re&move", this), "Remove blob", "Removes the selected blob");
  for (QPushButton* b : {btnAdd, btnDuplicate, btnRemove}) blobButtons->addWidget(b);
  left->addLayout(blobButtons);
  left->addWidget(CreateSettingsPanel());

  // Right: the four pictures, the figures and the plots.
  auto* right = new QVBoxLayout;
  body->addLayout(right, 1);
  auto* pictures = new QHBoxLayout;
  static const char* const kNames[] = {"Phantom", "Sinogram", "Reconstruction", "Difference"};
  static const char* const kDescriptions[] = {
      "The phantom's density grid, 128 by 128 cells, in green; a square marks each enabled "
      "blob's mean: drag it to move the mean, Shift+drag or the wheel to change the spreads",
      "The sinogram: one row per view from the first angle at the top, one column per "
      "detector bin, grey from its smallest to its largest value; click a view to plot it",
      "The reconstruction on the grid's 128 by 128 points, grey from its smallest to its "
      "largest value; click to plot a row or column through that point",
      "The reconstruction minus the phantom: red above 0, blue below, white at 0, on a scale "
      "symmetric about 0"};
  for (int i = 0; i < kPictureCount; ++i) {
    auto* column = new QVBoxLayout;
    labelCaptions[i] = new QLabel(this);
    labelCaptions[i]->setWordWrap(true);
    // Three lines whatever the caption says: a longer caption never moves the pictures.
    labelCaptions[i]->setFixedHeight(3 * labelCaptions[i]->fontMetrics().lineSpacing());
    labelCaptions[i]->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    boxes_[i] = Described(new TBenchImageBox(this), kNames[i], kDescriptions[i]);
    boxes_[i]->setMinimumSize(i == pcDifference ? 2 * kGrid + 4 + kScaleRoom
                              : i == pcSinogram ? 182 + kSinogramLeft + 4
                                                : 2 * kGrid + 4,
                              2 * kGrid + 4 + (i == pcSinogram ? kSinogramTop - 2 : 0));
    column->addWidget(labelCaptions[i]);
    column->addWidget(boxes_[i], 1);
    pictures->addLayout(column, i == pcDifference ? 3 : 2);
  }
  right->addLayout(pictures, 3);
  labelMetrics = Described(new QLabel(this), "Figures",
                           "How far the reconstruction lies from the phantom: RMSE, NRMSE, "
                           "PSNR and SSIM");
  labelMetrics->setTextInteractionFlags(Qt::TextSelectableByMouse);
  right->addWidget(labelMetrics);

  auto* plots = new QHBoxLayout;
  profileChart_ =
      std::make_unique<TBenchChart>(this, "Row", std::vector<TColor>{clGreen, clRed}, "x");
  viewChart_ = std::make_unique<TBenchChart>(this, "View", std::vector<TColor>{clRed}, "c + t");
  filterChart_ = std::make_unique<TBenchChart>(this, "Filter", std::vector<TColor>{clBlue},
                                               "frequency (cycles per cell)");
  Described(profileChart_->Control(), "Profile",
            "A row or column of the phantom (green) and of the reconstruction (red) through "
            "the point picked on an image");
  Described(viewChart_->Control(), "View profile",
            "The sinogram's row of the picked view against c + t; at 0 degrees the main "
            "window's zero projection");
  Described(filterChart_->Control(), "Filter response",
            "The gain of the reconstruction filter from frequency 0 to the Nyquist frequency");
  auto* profileColumn = new QVBoxLayout;
  comboProfile = Described(new QComboBox(this), "Profile direction",
                           "Whether the profile runs along a row or a column");
  comboProfile->addItems({"Row", "Column"});
  profileColumn->addWidget(comboProfile);
  profileColumn->addWidget(profileChart_->Control(), 1);
  plots->addLayout(profileColumn, 1);
  plots->addWidget(viewChart_->Control(), 1);
  plots->addWidget(filterChart_->Control(), 1);
  for (TBenchChart* c : {profileChart_.get(), viewChart_.get(), filterChart_.get()})
    c->Control()->setMinimumSize(260, 200);
  right->addLayout(plots, 2);

  // Commands and keys.
  actUndo = new QAction("Undo", this);
  actUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  actRedo = new QAction("Redo", this);
  actRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  auto* actOpen = new QAction("Open", this);
  actOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  auto* actSave = new QAction("Save", this);
  actSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  auto* actClose = new QAction("Close", this);
  actClose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
  for (QAction* a : {actUndo, actRedo, actOpen, actSave, actClose}) {
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
  }
  auto guarded = [](std::function<void()> command) {
    return [command = std::move(command)] { RunHandler(command); };
  };
  connect(actUndo, &QAction::triggered, this, guarded([this] {
            undoStack_->undo();
            ReportPendingError();
          }));
  connect(actRedo, &QAction::triggered, this, guarded([this] {
            undoStack_->redo();
            ReportPendingError();
          }));
  connect(actOpen, &QAction::triggered, this, guarded([this] { OpenPhantom(); }));
  connect(actSave, &QAction::triggered, this, guarded([this] { SavePhantom(); }));
  connect(actClose, &QAction::triggered, this, [this] { close(); });
  connect(btnUndo, &QPushButton::clicked, actUndo, &QAction::trigger);
  connect(btnRedo, &QPushButton::clicked, actRedo, &QAction::trigger);
  connect(btnOpen, &QPushButton::clicked, actOpen, &QAction::trigger);
  connect(btnSave, &QPushButton::clicked, actSave, &QAction::trigger);
  connect(undoStack_, &QUndoStack::canUndoChanged, btnUndo, &QWidget::setEnabled);
  connect(undoStack_, &QUndoStack::canRedoChanged, btnRedo, &QWidget::setEnabled);
  btnUndo->setEnabled(false);
  btnRedo->setEnabled(false);
  connect(btnCancel, &QPushButton::clicked, this, [this] { CancelWork(); });
  connect(btnExport, &QPushButton::clicked, this, guarded([this] { ExportAll(); }));
  for (int i = 0; i < kPictureCount; ++i) {
    boxes_[i]->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(boxes_[i], &QWidget::customContextMenuRequested, this,
            [this, i](const QPoint& at) { ShowPictureMenu(static_cast<TPicture>(i), at); });
  }
  connect(btnAdd, &QPushButton::clicked, this, guarded([this] { AddBlob(); }));
  connect(btnDuplicate, &QPushButton::clicked, this, guarded([this] { DuplicateBlob(); }));
  connect(btnRemove, &QPushButton::clicked, this, guarded([this] { RemoveBlob(); }));
  connect(tableBlobs, &QTableWidget::itemChanged, this,
          [this](QTableWidgetItem* item) { TableItemChanged(item); });
  connect(comboProfile, &QComboBox::currentIndexChanged, this,
          [this](int index) { SetProfileAlongColumn(index == 1); });
  BindImages();

  // The keyboard path: the commands, the table and its buttons, the settings, the
  // profile's direction, the plots.
  QWidget* order[] = {btnOpen,
                      btnSave,
                      btnUndo,
                      btnRedo,
                      btnCancel,
                      tableBlobs,
                      btnAdd,
                      btnDuplicate,
                      btnRemove,
                      spinViews,
                      spinArc,
                      spinDetectors,
                      comboProjector,
                      checkNoise,
                      spinPhotons,
                      spinSeed,
                      comboMethod,
                      comboFilter,
                      spinCutoff,
                      spinIterations,
                      comboProfile,
                      profileChart_->Control(),
                      viewChart_->Control(),
                      filterChart_->Control()};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  resize(1480, 720);
}

QWidget* TformBench::CreateSettingsPanel() {
  auto* panel = new QWidget(this);
  auto* form = new QFormLayout(panel);
  form->setContentsMargins(0, 0, 0, 0);
  spinViews = Described(new QSpinBox(panel), "Views", "The number of views, 1 to 100000");
  spinViews->setRange(1, 100000);
  spinArc = Described(new QDoubleSpinBox(panel), "Arc",
                      "The arc the views cover, in degrees, more than 0 and at most 360");
  spinArc->setRange(0.001, 360);
  spinArc->setDecimals(3);
  spinArc->setSuffix("°");
  spinDetectors =
      Described(new QSpinBox(panel), "Detectors", "The number of detector bins, 2 to 10000");
  spinDetectors->setRange(2, 10000);
  comboProjector = Described(new QComboBox(panel), "Projector",
                             "Grid: the grid projected by Joseph's method; exact: the line "
                             "integrals of the blobs themselves");
  comboProjector->addItems({"grid", "exact"});
  checkNoise = Described(new QCheckBox("photon noise", panel), "Noise",
                         "Adds photon counting noise to the sinogram");
  spinPhotons =
      Described(new QDoubleSpinBox(panel), "Photons", "The photons entering each detector bin");
  spinPhotons->setRange(1, 1e12);
  spinPhotons->setDecimals(0);
  spinSeed = Described(new QSpinBox(panel), "Seed", "The noise's seed: equal seeds, equal noise");
  spinSeed->setRange(0, 2147483647);
  comboMethod = Described(new QComboBox(panel), "Method",
                          "Filtered back-projection, or the iterative SIRT or SART");
  comboMethod->addItems({"FBP", "SIRT", "SART"});
  comboFilter = Described(new QComboBox(panel), "Filter", "The window of FBP's ramp filter");
  for (TFilterWindow w : {TFilterWindow::RamLak, TFilterWindow::SheppLogan, TFilterWindow::Cosine,
                          TFilterWindow::Hamming, TFilterWindow::Hann})
    comboFilter->addItem(FilterName(w));
  spinCutoff = Described(new QDoubleSpinBox(panel), "Cutoff",
                         "FBP's cutoff as a fraction of the Nyquist frequency, more than 0 and "
                         "at most 1");
  spinCutoff->setRange(0.01, 1);
  spinCutoff->setDecimals(3);
  spinCutoff->setSingleStep(0.05);
  spinIterations =
      Described(new QSpinBox(panel), "Iterations", "The iterations of SIRT or SART, 1 to 100000");
  spinIterations->setRange(1, 100000);
  form->addRow("&Views", spinViews);
  form->addRow("A&rc", spinArc);
  form->addRow("De&tectors", spinDetectors);
  form->addRow("&Projector", comboProjector);
  form->addRow("&Noise", checkNoise);
  form->addRow("P&hotons", spinPhotons);
  form->addRow("S&eed", spinSeed);
  form->addRow("Me&thod", comboMethod);
  form->addRow("&Filter", comboFilter);
  form->addRow("&Cutoff", spinCutoff);
  form->addRow("&Iterations", spinIterations);
  // Typing a number computes once it is complete (Enter or leaving the box).
  for (QAbstractSpinBox* s : std::initializer_list<QAbstractSpinBox*>{
           spinViews, spinArc, spinDetectors, spinPhotons, spinSeed, spinCutoff, spinIterations})
    s->setKeyboardTracking(false);
  SetSettings(TBenchSettings{});
  auto changed = [this] { SettingsChanged(); };
  connect(spinViews, &QSpinBox::valueChanged, this, changed);
  connect(spinArc, &QDoubleSpinBox::valueChanged, this, changed);
  connect(spinDetectors, &QSpinBox::valueChanged, this, changed);
  connect(comboProjector, &QComboBox::currentIndexChanged, this, changed);
  connect(checkNoise, &QCheckBox::toggled, this, changed);
  connect(spinPhotons, &QDoubleSpinBox::valueChanged, this, changed);
  connect(spinSeed, &QSpinBox::valueChanged, this, changed);
  connect(comboMethod, &QComboBox::currentIndexChanged, this, changed);
  connect(comboFilter, &QComboBox::currentIndexChanged, this, changed);
  connect(spinCutoff, &QDoubleSpinBox::valueChanged, this, changed);
  connect(spinIterations, &QSpinBox::valueChanged, this, changed);
  return panel;
}

// ---------------------------------------------------------------------------
// Settings

TBenchSettings TformBench::Settings() const {
  TBenchSettings s;
  s.Geometry.Views = spinViews->value();
  s.Geometry.ArcDegrees = spinArc->value();
  s.Geometry.Detectors = spinDetectors->value();
  s.Projector = comboProjector->currentIndex() == 1 ? TProjectorKind::Exact : TProjectorKind::Grid;
  s.Noise = checkNoise->isChecked();
  s.Photons = spinPhotons->value();
  s.Seed = static_cast<std::uint64_t>(spinSeed->value());
  s.Method = static_cast<TReconstructionMethod>(comboMethod->currentIndex());
  s.Fbp.Window = static_cast<TFilterWindow>(comboFilter->currentIndex());
  s.Fbp.Cutoff = spinCutoff->value();
  s.Iterations = spinIterations->value();
  return s;
}

void TformBench::SetSettings(const TBenchSettings& s) {
  {
    settingControls_ = true;
    spinViews->setValue(s.Geometry.Views);
    spinArc->setValue(s.Geometry.ArcDegrees);
    spinDetectors->setValue(s.Geometry.Detectors);
    comboProjector->setCurrentIndex(s.Projector == TProjectorKind::Exact ? 1 : 0);
    checkNoise->setChecked(s.Noise);
    spinPhotons->setValue(s.Photons);
    spinSeed->setValue(static_cast<int>(std::min<std::uint64_t>(s.Seed, 2147483647)));
    comboMethod->setCurrentIndex(static_cast<int>(s.Method));
    comboFilter->setCurrentIndex(static_cast<int>(s.Fbp.Window));
    spinCutoff->setValue(s.Fbp.Cutoff);
    spinIterations->setValue(s.Iterations);
    settingControls_ = false;
  }
  UpdateEnabledControls();
  if (worker_) Recompute();
}

void TformBench::SettingsChanged() {
  if (settingControls_) return;
  UpdateEnabledControls();
  Recompute();
}

void TformBench::UpdateEnabledControls() {
  const bool fbp = comboMethod->currentIndex() == 0;
  spinPhotons->setEnabled(checkNoise->isChecked());
  spinSeed->setEnabled(checkNoise->isChecked());
  comboFilter->setEnabled(fbp);
  spinCutoff->setEnabled(fbp);
  spinIterations->setEnabled(!fbp);
}

// ---------------------------------------------------------------------------
// Computing

void TformBench::Recompute() {
  TBenchInput input{phantom_, GridImage(form_), Settings()};
  latestId_ = worker_->Submit(std::move(input));
  status_ = "Computing…";
  const TBenchSettings s = Settings();
  const bool iterative = s.Method != TReconstructionMethod::Fbp;
  progress->setRange(0, iterative ? s.Iterations : 0);
  progress->setValue(0);
  UpdateCaptions();
}

void TformBench::ComputeNow() {
  worker_->Cancel();
  const TBenchInput input{phantom_, GridImage(form_), Settings()};
  auto result = std::make_shared<const TBenchResult>(ComputeBench(input, shown_.get(), {}, {}));
  settledId_ = latestId_;
  Show(std::move(result), latestId_);
  UpdateCaptions();
}

void TformBench::CancelWork() {
  worker_->Cancel();
  // What was asked is given up at once; a late report changes nothing shown.
  settledId_ = latestId_;
  status_ = "Cancelled";
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
  if (id == latestId_) status_.clear();
  for (TPicture p : {pcSinogram, pcReconstruction, pcDifference}) boxes_[p]->Invalidate();
  UpdateProfiles();
}

std::string TformBench::StatusText() const { return status_; }

std::string TformBench::MetricsText() const {
  if (!shown_) return "";
  const TImageMetrics& m = shown_->Metrics;
  return "RMSE " + FigureText(m.Rmse) + "    NRMSE " + FigureText(m.Nrmse) + "    PSNR " +
         FigureText(m.Psnr) + " dB    SSIM " + FigureText(m.Ssim);
}

void TformBench::UpdateCaptions() {
  const bool busy = Busy();
  progress->setVisible(busy);
  btnCancel->setEnabled(busy);
  labelStatus->setText(QString::fromStdString(status_));
  labelCaptions[pcPhantom]->setText(
      QString("Phantom: %1 blobs, %2 enabled")
          .arg(phantom_.size())
          .arg(std::count_if(phantom_.begin(), phantom_.end(),
                             [](const TPhantomBlob& b) { return b.Enabled; })));
  if (!shown_) return;
  const TBenchSettings& s = shown_->Input.Settings;
  const bool current = SamePhantom(shown_->Input.Phantom, phantom_) && SameSettings(s, Settings());
  const QString mark = current ? "" : " (earlier input)";
  labelCaptions[pcSinogram]->setText(QString::fromStdString("Sinogram: " + SinogramCaption(s)) +
                                     mark);
  labelCaptions[pcReconstruction]->setText(
      QString::fromStdString("Reconstruction: " + MethodCaption(s)) + mark);
  labelCaptions[pcDifference]->setText(
      QString::fromStdString("Difference, scale ±" +
                             ShortNumber(LargestMagnitude(shown_->Difference))) +
      mark);
  labelMetrics->setText(QString::fromStdString(MetricsText()) + mark);
}

// ---------------------------------------------------------------------------
// The phantom and its edits

void TformBench::ApplyToMain(const TPhantom& phantom) {
  phantom_ = phantom;
  try {
    ApplyPhantom(form_, phantom_);
  } catch (const std::exception& e) {
    pendingError_ = e.what();
  }
  RefillTable();
  boxes_[pcPhantom]->Invalidate();
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
        RunHandler([&] {
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
  after.insert(after.begin() + row + 1, phantom_[static_cast<std::size_t>(row)]);
  Edit(after, "Duplicate blob");
  tableBlobs->setCurrentCell(row + 1, std::max(0, tableBlobs->currentColumn()));
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
  if (!error.empty()) throw Exception(error);
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
}

bool TformBench::MayClose() {
  if (!IsModified()) return true;
  switch (AskUnsaved()) {
    case 0: {
      bool saved = false;
      RunHandler([&] { saved = SavePhantom(); });
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
  if (!path.isEmpty()) WriteOutputFile(path, bytes);
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
  const QString folder = AskFolder("Export into a folder");
  if (folder.isEmpty()) return;
  const int files = ExportResult(*result, folder);
  status_ = "Exported " + std::to_string(files) + " files into " + folder.toStdString();
  UpdateCaptions();
}

void TformBench::ShowPictureMenu(TPicture which, const QPoint& at) {
  const TBenchArray array = static_cast<TBenchArray>(which);
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  auto add = [menu](const QString& text, std::function<void()> command) {
    QAction* a = menu->addAction(text);
    connect(a, &QAction::triggered, menu, [command = std::move(command)] { RunHandler(command); });
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
  for (QAction* a : menu->actions())
    if (!a->isSeparator() && a->text() != "Copy image") a->setEnabled(shown_ != nullptr);
  menu->popup(boxes_[which]->mapToGlobal(at));
}

// ---------------------------------------------------------------------------
// Pictures

TPlacement TformBench::PlacementOf(TPicture which) const {
  const QSize size = PictureSize(*boxes_[which]);
  const int w = size.width(), h = size.height();
  switch (which) {
    case pcSinogram: {
      const int views = shown_ ? shown_->Sinogram.Rows : 0;
      const int bins = shown_ ? shown_->Sinogram.Columns : 0;
      return PlaceArray(views, bins, {kSinogramLeft, kSinogramTop, w - 2, h - 2});
    }
    case pcDifference:
      return PlaceArray(kGrid, kGrid, {2, 2, w - kScaleRoom, h - 2});
    default:
      return PlaceArray(kGrid, kGrid, {2, 2, w - 2, h - 2});
  }
}

void TformBench::PaintPicture(TPicture which) {
  TCanvas& canvas = boxes_[which]->Canvas();
  const TPlacement p = PlacementOf(which);
  if (which == pcPhantom) {
    const double gridMax = form_.GridMax;
    PaintArray(canvas, p, [&](int row, int column) {
      return GreenColor(form_.Grid[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)],
                        gridMax);
    });
    for (const TPhantomBlob& b : phantom_)
      if (b.Enabled && std::isfinite(b.MX) && std::isfinite(b.MY)) {
        const TPoint h = HandlePixel(p, b);
        PaintHandle(canvas, h.X, h.Y);
      }
    return;
  }
  if (!shown_) return;
  if (which == pcSinogram) {
    const TArray2D& s = shown_->Sinogram;
    const std::pair<double, double> range = ValueRange(s);
    const double low = range.first, high = range.second;
    PaintArray(canvas, p,
               [&](int row, int column) { return GreyColor(s.At(row, column), low, high); });
    PaintAngleAxis(canvas, p, shown_->Input.Settings.Geometry);
    // The view whose profile is plotted.
    if (view_ < s.Rows) {
      const int y = static_cast<int>(std::floor(p.YOfRow(view_)));
      canvas.Pen().SetColor(clYellow);
      canvas.MoveTo(p.Left + p.Width, y);
      canvas.LineTo(p.Left + p.Width + 2, y);
    }
  } else if (which == pcReconstruction) {
    const TArray2D& r = shown_->Reconstruction;
    const std::pair<double, double> range = ValueRange(r);
    const double low = range.first, high = range.second;
    PaintArray(canvas, p,
               [&](int row, int column) { return GreyColor(r.At(row, column), low, high); });
  } else {
    const TArray2D& d = shown_->Difference;
    const double limit = LargestMagnitude(d);
    PaintArray(canvas, p,
               [&](int row, int column) { return DivergingColor(d.At(row, column), limit); });
    PaintDivergingScale(canvas, p, limit);
  }
}

QImage TformBench::Picture(TPicture which) {
  return boxes_[which]->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

std::string TformBench::Readout(TPicture which, int x, int y) const {
  const TPlacement p = PlacementOf(which);
  const int column = p.ColumnAt(x), row = p.RowAt(y);
  if (which == pcPhantom) {
    const int blob = HandleAt(p, phantom_, x, y);
    if (blob >= 0) return BlobReadout(blob, phantom_[static_cast<std::size_t>(blob)]);
    if (row < 0 || column < 0) return "";
    return CellReadout(column, row,
                       form_.Grid[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)]);
  }
  if (!shown_ || row < 0 || column < 0) return "";
  if (which == pcSinogram)
    return SinogramReadout(shown_->Input.Settings.Geometry, row, column,
                           shown_->Sinogram.At(row, column));
  const TArray2D& a = which == pcReconstruction ? shown_->Reconstruction : shown_->Difference;
  return CellReadout(column, row, a.At(row, column));
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
  for (TPicture which : {pcReconstruction, pcDifference})
    boxes_[which]->OnPress = [this, which](int x, int y, bool) {
      const TPlacement p = PlacementOf(which);
      if (p.ColumnAt(x) >= 0 && p.RowAt(y) >= 0) PickProfile(p.ColumnAt(x), p.RowAt(y));
    };
  boxes_[pcSinogram]->OnPress = [this](int, int y, bool) {
    const int view = PlacementOf(pcSinogram).RowAt(y);
    if (view >= 0) PickView(view);
  };
}

// ---------------------------------------------------------------------------
// Handles

void TformBench::HandlePress(int x, int y, bool shift) {
  const TPlacement p = PlacementOf(pcPhantom);
  const int blob = HandleAt(p, phantom_, x, y);
  if (blob < 0) {
    if (p.ColumnAt(x) >= 0 && p.RowAt(y) >= 0) PickProfile(p.ColumnAt(x), p.RowAt(y));
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
  if (drag_->Spreads) {
    // 40 pixels double a spread (or halve it): always finite and above 0.
    b.DX = start.DX * std::exp2(std::clamp(dx / 40.0, -20.0, 20.0));
    b.DY = start.DY * std::exp2(std::clamp(dy / 40.0, -20.0, 20.0));
  } else {
    b.MX = start.MX + dx * p.ColumnsPerPixel() * kStep;
    b.MY = start.MY + dy * p.RowsPerPixel() * kStep;
  }
  if (!SamePhantom(after, phantom_)) SetLive(after);
}

void TformBench::HandleRelease() {
  if (!drag_) return;
  Drag drag = std::move(*drag_);
  drag_.reset();
  if (SamePhantom(drag.Before, phantom_)) return;
  undoStack_->push(new TPhantomCommand(*this, drag.Before, phantom_,
                                       drag.Spreads ? "Change spreads" : "Move blob", true));
  if (!drag.Error.empty()) throw Exception(drag.Error);
}

bool TformBench::HandleWheel(int notches, int x, int y) {
  const int blob = HandleAt(PlacementOf(pcPhantom), phantom_, x, y);
  if (blob < 0) return false;
  TPhantom after = phantom_;
  TPhantomBlob& b = after[static_cast<std::size_t>(blob)];
  const double factor = std::pow(1.1, std::clamp(notches, -50, 50));
  b.DX *= factor;
  b.DY *= factor;
  Edit(after, "Change spreads");
  return true;
}

// ---------------------------------------------------------------------------
// Profiles

void TformBench::PickProfile(int ix, int iy) {
  profileX_ = std::clamp(ix, 0, kGrid - 1);
  profileY_ = std::clamp(iy, 0, kGrid - 1);
  UpdateProfiles();
}

void TformBench::SetProfileAlongColumn(bool column) {
  profileColumn_ = column;
  if (comboProfile->currentIndex() != (column ? 1 : 0))
    comboProfile->setCurrentIndex(column ? 1 : 0);
  UpdateProfiles();
}

void TformBench::PickView(int view) {
  view_ = std::max(0, view);
  UpdateProfiles();
  boxes_[pcSinogram]->Invalidate();
}

void TformBench::UpdateProfiles() {
  if (!shown_) return;
  const TBenchResult& r = *shown_;
  const std::vector<double> x = GridCoordinates();
  std::vector<double> truth(kGrid), reconstruction(kGrid);
  for (int i = 0; i < kGrid; ++i) {
    const int row = profileColumn_ ? i : profileY_, column = profileColumn_ ? profileX_ : i;
    truth[static_cast<std::size_t>(i)] = r.Input.Truth.At(row, column);
    reconstruction[static_cast<std::size_t>(i)] = r.Reconstruction.At(row, column);
  }
  const int through = profileColumn_ ? profileX_ : profileY_;
  profileChart_->SetTitle(std::string(profileColumn_ ? "Column " : "Row ") +
                          std::to_string(through) + (profileColumn_ ? " (x = " : " (y = ") +
                          ShortNumber(TProjectionModel::GridCoordinate(through)) +
                          "): phantom green, reconstruction red");
  profileChart_->Chart().BottomAxis().Title.SetCaption(profileColumn_ ? "y" : "x");
  profileChart_->SetPoints(0, x, truth);
  profileChart_->SetPoints(1, x, reconstruction);

  const TScanGeometry& g = r.Input.Settings.Geometry;
  const int view = std::min(view_, r.Sinogram.Rows - 1);
  std::vector<double> t, values;
  for (int bin = 0; bin < r.Sinogram.Columns; ++bin) {
    t.push_back(TScanGeometry::kCentre + g.BinPosition(bin));
    values.push_back(r.Sinogram.At(view, bin));
  }
  viewChart_->SetTitle("View " + std::to_string(view) + " at " +
                       FormatGeneral(g.AngleDegrees(view)) + "°");
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
  if (!bench) bench = new TformBench(form);  // owned by the main window
  bench->show();
  bench->raise();
  bench->activateWindow();
  return *bench;
}

QImage BenchPicture(TformMain& form) {
  TformBench& bench = OpenBench(form);
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
