#include "bench/BenchLayout.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "bench/BenchWindow.h"
#include "tomo/FanBeam.h"

namespace quarvel {

namespace {

// A scroll area that asks for room for all of its content (the toolkit's own asks for at
// most 24 lines), so that it scrolls only where the window is short of room.
class TWholeScrollArea : public QScrollArea {
 public:
  using QScrollArea::QScrollArea;
  QSize sizeHint() const override {
    if (!widget()) return QScrollArea::sizeHint();
    return widget()->sizeHint() + QSize(verticalScrollBar()->sizeHint().width(), 0);
  }
};

}  // namespace

TBenchPlacement BesideMainWindow(const QRect& mainFrame, const QSize& frame, const QSize& preferred,
                                 const QSize& minimum, const QRect& available) {
  const int roomRight = available.right() - mainFrame.right();
  const int roomLeft = mainFrame.left() - available.left();
  const int wanted = preferred.width() + frame.width();
  const int least = minimum.width() + frame.width();
  QPoint main = mainFrame.topLeft();
  int width = 0, x = 0;
  if (roomRight >= least) {
    width = std::min(wanted, roomRight);
    x = mainFrame.right() + 1;
  } else if (roomLeft >= least) {
    width = std::min(wanted, roomLeft);
    x = mainFrame.left() - width;
  } else if (mainFrame.width() + least <= available.width()) {
    width = std::min(wanted, available.width() - mainFrame.width());
    main.setX(std::max(available.left(), available.right() + 1 - width - mainFrame.width()));
    x = main.x() + mainFrame.width();
  } else {
    width = std::min(wanted, available.width());
    x = roomRight >= roomLeft ? available.right() + 1 - width : available.left();
  }
  const int height = std::min(preferred.height() + frame.height(), available.height());
  const int y = std::clamp(mainFrame.top(), available.top(), available.bottom() + 1 - height);
  return {{x, y, width, height}, main};
}

QRect InsideScreen(const QRect& frame, const QRect& available) {
  const int width = std::min(frame.width(), available.width());
  const int height = std::min(frame.height(), available.height());
  const int x = std::clamp(frame.x(), available.left(), available.right() + 1 - width);
  const int y = std::clamp(frame.y(), available.top(), available.bottom() + 1 - height);
  return {x, y, width, height};
}

int SharedSide(const std::vector<QSize>& rooms) {
  int side = -1;
  for (const QSize& r : rooms) {
    const int s = std::min(r.width(), r.height());
    side = side < 0 ? s : std::min(side, s);
  }
  return std::max(1, side);
}

QChar MnemonicOf(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return text[i + 1].toLower();
  }
  return QChar();
}

namespace {

// A combo box's accessible name on Linux is its current text, which says nothing of
// what the box is for: these boxes are named after their purpose (their accessible
// name), and their current text is their value.
class TNamedComboAccessible : public QAccessibleWidget {
 public:
  explicit TNamedComboAccessible(QWidget* widget)
      : QAccessibleWidget(widget, QAccessible::ComboBox) {}
  QString text(QAccessible::Text t) const override {
    const auto* combo = static_cast<const QComboBox*>(widget());
    if (t == QAccessible::Name) return combo->accessibleName();
    if (t == QAccessible::Value) return combo->currentText();
    return QAccessibleWidget::text(t);
  }
};

// The interface is made (and kept) while the box is still being built, so the factory
// knows the bench's boxes by their window, which exists first.
QAccessibleInterface* NamedComboFactory(const QString& key, QObject* object) {
  if (key != QLatin1String("QComboBox")) return nullptr;
  for (QObject* o = object->parent(); o; o = o->parent())
    if (o->objectName() == QLatin1String("formBench"))
      return new TNamedComboAccessible(static_cast<QWidget*>(object));
  return nullptr;
}

template <class Widget>
Widget* Described(Widget* widget, const char* name, const char* description) {
  widget->setObjectName(name);
  widget->setAccessibleName(QString::fromUtf8(name));
  widget->setAccessibleDescription(QString::fromUtf8(description));
  return widget;
}

}  // namespace

void TformBench::CreateControls() {
  static const bool named = [] {
    QAccessible::installFactory(NamedComboFactory);
    return true;
  }();
  (void)named;
  auto* root = new QVBoxLayout(this);

  // The command row.
  auto* commands = new QHBoxLayout;
  btnOpen = Described(new QPushButton("&Open…", this), "Open phantom",
                      "Reads a phantom file (CSV: mx,dx,my,dy,enabled) in place of the blobs");
  btnSave = Described(new QPushButton("&Save…", this), "Save phantom",
                      "Writes the blobs as a phantom file");
  btnOpenImage =
      Described(new QPushButton("Open image…", this), "Open image",
                "Reads an image (NPY, TIFF or grid CSV) that is scanned and compared with "
                "instead of the phantom (Ctrl+I)");
  btnOpenSinogram =
      Described(new QPushButton("Open sinogram…", this), "Open sinogram",
                "Reads a sinogram (NPY, TIFF or sinogram CSV, with its JSON file when there) "
                "that is reconstructed instead of a scan (Ctrl+Shift+I)");
  btnPhantom = Described(new QPushButton("Back to the phantom", this), "Back to the phantom",
                         "Drops the opened image and sinogram: the phantom is scanned and "
                         "compared with again (Ctrl+Shift+P)");
  labelData =
      Described(new QLabel(this), "Opened data", "What the opened image or sinogram replaces");
  labelData->setWordWrap(true);
  btnPhantom->setVisible(false);
  labelData->setVisible(false);
  btnUndo = Described(new QPushButton("&Undo", this), "Undo", "Undoes the last edit (Ctrl+Z)");
  btnRedo = Described(new QPushButton("Re&do", this), "Redo",
                      "Redoes the edit undone last (Ctrl+Y or Ctrl+Shift+Z)");
  btnExport = Described(new QPushButton("E&xport…", this), "Export",
                        "Writes every picture and its data (PNG, CSV, NPY, TIFF), the figures, "
                        "the blobs, the settings (study.json) and the equivalent export "
                        "commands into a folder");
  labelStatus = Described(new QLabel(this), "Status", "What the bench is computing");
  progress = Described(new QProgressBar(this), "Progress",
                       "The iterations done of all, and the time left");
  checkOnRelease = Described(new QCheckBox("Update on release", this), "Update on release",
                             "Computes once a drag or a spin ends, not at every step: for "
                             "heavy settings");
  btnRun = Described(new QPushButton("Run", this), "Run",
                     "Computes the current phantom and settings now (F5), also after Cancel");
  btnCancel = Described(new QPushButton("Cancel", this), "Cancel",
                        "Stops the computation (Esc); the pictures keep what they show");
  // A long status never widens the window or squeezes the pictures.
  labelStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  progress->setMaximumWidth(200);
  progress->setTextVisible(true);
  progress->setFormat("");
  for (QWidget* w : {static_cast<QWidget*>(btnOpen), static_cast<QWidget*>(btnSave),
                     static_cast<QWidget*>(btnOpenImage), static_cast<QWidget*>(btnOpenSinogram),
                     static_cast<QWidget*>(btnPhantom), static_cast<QWidget*>(btnUndo),
                     static_cast<QWidget*>(btnRedo), static_cast<QWidget*>(btnExport)})
    commands->addWidget(w);
  commands->addWidget(labelStatus, 1);
  commands->addWidget(progress);
  commands->addWidget(checkOnRelease);
  commands->addWidget(btnRun);
  commands->addWidget(btnCancel);
  root->addLayout(commands);
  root->addWidget(labelData);

  // The body: the blobs and settings left, the pictures and plots right, with splitters
  // between them so that any part can be given the room.
  auto* body = new QSplitter(Qt::Horizontal, this);
  body->setObjectName("splitBody");
  body->setChildrenCollapsible(false);
  root->addWidget(body, 1);

  auto* leftPanel = new QWidget(body);
  auto* left = new QVBoxLayout(leftPanel);
  left->setContentsMargins(0, 0, 0, 0);
  comboPreset = Described(new QComboBox(leftPanel), "Preset",
                          "A phantom to start from: replaces the blobs in one undoable step");
  comboPreset->addItem("Start from a preset…");
  for (const TPreset& preset : Presets()) comboPreset->addItem(QString::fromStdString(preset.Name));
  left->addWidget(comboPreset);
  tableBlobs = Described(new QTableWidget(0, kBlobColumnCount, leftPanel), "Blobs",
                         "The phantom's blobs: means and spreads in model units, and whether "
                         "each is part of the grid; edit a cell in place");
  tableBlobs->setHorizontalHeaderLabels({"MX", "DX", "MY", "DY", "Enabled"});
  tableBlobs->verticalHeader()->setDefaultSectionSize(20);
  tableBlobs->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tableBlobs->horizontalHeader()->setStretchLastSection(true);
  tableBlobs->setMinimumWidth(240);
  tableBlobs->setMinimumHeight(90);
  tableBlobs->setTabKeyNavigation(false);
  left->addWidget(tableBlobs, 1);
  auto* blobButtons = new QHBoxLayout;
  btnAdd = Described(new QPushButton("&Add", leftPanel), "Add blob", "Appends a new blob");
  btnDuplicate = Described(new QPushButton("Dup&licate", leftPanel), "Duplicate blob",
                           "Inserts a copy of the selected blob after it, moved a little so "
                           "that both handles show");
  btnRemove =
      Described(new QPushButton("Re&move", leftPanel), "Remove blob", "Removes the selected blob");
  for (QPushButton* b : {btnAdd, btnDuplicate, btnRemove}) blobButtons->addWidget(b);
  left->addLayout(blobButtons);
  // The settings scroll on a short screen (1280 x 720 with a title bar), so that the
  // window's least height is the pictures' and the plots', not the list of settings.
  auto* settings = new TWholeScrollArea(leftPanel);
  settings->setObjectName("scrollSettings");
  settings->setFrameShape(QFrame::NoFrame);
  settings->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  settings->setWidgetResizable(true);
  QWidget* panel = CreateSettingsPanel();
  settings->setWidget(panel);
  settings->setMinimumWidth(panel->minimumSizeHint().width() +
                            settings->verticalScrollBar()->sizeHint().width());
  settings->setMinimumHeight(4 * settings->fontMetrics().lineSpacing());
  left->addWidget(settings);
  leftPanel->setMinimumWidth(leftPanel->minimumSizeHint().width());

  // Right: the four pictures, the figures and the plots, split in height.
  auto* rightSplit = splitPictures = new QSplitter(Qt::Vertical, body);
  rightSplit->setObjectName("splitPictures");
  rightSplit->setChildrenCollapsible(false);
  auto* picturePanel = new QWidget(rightSplit);
  auto* right = new QVBoxLayout(picturePanel);
  right->setContentsMargins(0, 0, 0, 0);
  auto* pictures = new QHBoxLayout;
  pictures->setSpacing(4);
  static const char* const kNames[] = {"Phantom", "Sinogram", "Reconstruction", "Difference"};
  static const char* const kDescriptions[] = {
      "The phantom's density grid, 128 by 128 cells, in green; a square marks each enabled "
      "blob's mean: drag it to move the mean, Shift+drag or the wheel to change the spreads; "
      "the arrow keys move the selected blob",
      "The sinogram: one row per view from the first angle at the top, stretched to the "
      "pictures' height, one column per detector bin, grey from its smallest to its largest "
      "value; click a view to plot it",
      "The reconstruction on the grid's 128 by 128 points, grey from its smallest to its "
      "largest value; click to plot a row or column through that point",
      "The reconstruction minus the phantom: red above 0, blue below, white at 0, on a scale "
      "symmetric about 0"};
  for (int i = 0; i < kPictureCount; ++i) {
    auto* column = new QVBoxLayout;
    labelCaptions[i] = new QLabel(picturePanel);
    labelCaptions[i]->setWordWrap(true);
    // Three lines whatever the caption says: a longer caption never moves the pictures.
    labelCaptions[i]->setFixedHeight(3 * labelCaptions[i]->fontMetrics().lineSpacing());
    labelCaptions[i]->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    labelCaptions[i]->setMinimumWidth(1);
    boxes_[i] = Described(new TBenchImageBox(picturePanel), kNames[i], kDescriptions[i]);
    boxes_[i]->setFocusPolicy(Qt::StrongFocus);
    const QSize least = MinimumPictureRoom(static_cast<TPicture>(i));
    boxes_[i]->setMinimumSize(least);
    column->addWidget(labelCaptions[i]);
    column->addWidget(boxes_[i], 1);
    // Room in proportion to what each picture needs beside the common square.
    pictures->addLayout(column, least.width());
  }
  right->addLayout(pictures, 1);
  auto* compare = new QHBoxLayout;
  btnPin = Described(new QPushButton("&Keep as A", picturePanel), "Keep as A",
                     "Keeps the shown result as A: change settings, and the figures show the "
                     "new result B against A");
  btnPin->setCheckable(true);
  comboDifference = Described(new QComboBox(picturePanel), "Difference shown",
                              "Whether the difference picture shows the reconstruction minus "
                              "the phantom, or B minus the pinned A");
  comboDifference->addItems({"Difference: B − phantom", "Difference: B − A"});
  comboDifference->setEnabled(false);
  compare->addWidget(btnPin);
  compare->addWidget(comboDifference);
  comboRegion = Described(new QComboBox(picturePanel), "Region",
                          "Where the difference and the figures are taken: the whole image, "
                          "the disc every view sees, or a rectangle (Shift+drag on the "
                          "reconstruction or the difference)");
  comboRegion->addItems(
      {"Figures: whole image", "Figures: scanned disc", "Figures: rectangle (Shift+drag)"});
  connect(comboRegion, &QComboBox::currentIndexChanged, this, [this](int index) {
    SetRegion(index == 1 ? TRegion::Circle() : index == 2 ? rectangle_ : TRegion::Whole());
  });
  compare->addWidget(comboRegion);
  compare->addStretch(1);
  right->addLayout(compare);
  labelMetrics = Described(new QLabel(picturePanel), "Figures",
                           "How far the reconstruction lies from the phantom: RMSE, NRMSE, "
                           "PSNR and SSIM, four significant digits (all digits in copy and "
                           "export)");
  labelMetrics->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  labelMetrics->setWordWrap(true);
  labelMetrics->setFixedHeight(2 * labelMetrics->fontMetrics().lineSpacing());
  labelMetrics->setMinimumWidth(1);
  labelMetrics->setFocusPolicy(Qt::StrongFocus);
  right->addWidget(labelMetrics);

  auto* plotPanel = new QWidget(rightSplit);
  auto* plots = new QHBoxLayout(plotPanel);
  plots->setContentsMargins(0, 0, 0, 0);
  profileChart_ =
      std::make_unique<TBenchChart>(plotPanel, "Row", std::vector<TColor>{clGreen, clRed}, "x");
  viewChart_ =
      std::make_unique<TBenchChart>(plotPanel, "View", std::vector<TColor>{clRed}, "c + t");
  filterChart_ = std::make_unique<TBenchChart>(plotPanel, "Filter", std::vector<TColor>{clBlue},
                                               "cycles per cell");
  convergeChart_ =
      std::make_unique<TBenchChart>(plotPanel, "Convergence: RMSE red, SSIM blue (right)",
                                    std::vector<TColor>{clRed, clBlue}, "iteration");
  convergeChart_->Series(1).SetVertAxis(TVertAxis::aRightAxis);
  // The phantom's green is drawn wide under the reconstruction's red: where the two
  // agree, the green still shows on both sides of the red.
  profileChart_->Series(0).LinePen().SetWidth(3);
  Described(profileChart_->Control(), "Profile",
            "A row or column of the phantom (wide green) and of the reconstruction (red) "
            "through the point picked on an image; the images show its line");
  Described(viewChart_->Control(), "View profile",
            "The sinogram's row of the picked view against c + t; at 0 degrees the main "
            "window's zero projection");
  Described(filterChart_->Control(), "Filter response",
            "The gain of the reconstruction filter from frequency 0 to the Nyquist frequency");
  Described(convergeChart_->Control(), "Convergence",
            "RMSE (red, left axis) and SSIM (blue, right axis) against the phantom after each "
            "iteration, filled as the iterations run");
  auto* profileColumn = new QVBoxLayout;
  comboProfile = Described(new QComboBox(plotPanel), "Profile direction",
                           "Whether the profile runs along a row or a column");
  comboProfile->addItems({"Row", "Column"});
  profileColumn->addWidget(comboProfile);
  profileColumn->addWidget(profileChart_->Control(), 1);
  plots->addLayout(profileColumn, 1);
  plots->addWidget(viewChart_->Control(), 1);
  plots->addWidget(filterChart_->Control(), 1);
  plots->addWidget(convergeChart_->Control(), 1);
  ShowMethodChart();
  for (TBenchChart* c :
       {profileChart_.get(), viewChart_.get(), filterChart_.get(), convergeChart_.get()})
    c->Control()->setMinimumSize(200, 150);
  connect(rightSplit, &QSplitter::splitterMoved, this, [this] { splitterMoved_ = true; });
  rightSplit->setStretchFactor(0, 3);
  rightSplit->setStretchFactor(1, 2);
  body->setStretchFactor(0, 0);
  body->setStretchFactor(1, 1);

  // Commands and keys.
  actUndo = new QAction("Undo", this);
  actUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  actRedo = new QAction("Redo", this);
  actRedo->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  actRun = new QAction("Run", this);
  actRun->setShortcut(QKeySequence(Qt::Key_F5));
  auto* actCancel = new QAction("Cancel", this);
  actCancel->setShortcut(QKeySequence(Qt::Key_Escape));
  auto* actOpen = new QAction("Open", this);
  actOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  auto* actSave = new QAction("Save", this);
  actSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  auto* actClose = new QAction("Close", this);
  actClose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
  auto* actOpenImage = new QAction("Open image", this);
  actOpenImage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
  auto* actOpenSinogram = new QAction("Open sinogram", this);
  actOpenSinogram->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I));
  auto* actPhantom = new QAction("Back to the phantom", this);
  actPhantom->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
  for (QAction* a : {actUndo, actRedo, actOpen, actSave, actClose, actRun, actCancel, actOpenImage,
                     actOpenSinogram, actPhantom}) {
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
  }
  auto guarded = [this](std::function<void()> command) {
    return [this, command = std::move(command)] { RunHandler(this, command); };
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
  connect(actOpenImage, &QAction::triggered, this, guarded([this] { OpenImage(); }));
  connect(actOpenSinogram, &QAction::triggered, this, guarded([this] { OpenSinogram(); }));
  connect(actPhantom, &QAction::triggered, this, guarded([this] { BackToPhantom(); }));
  connect(btnOpenImage, &QPushButton::clicked, actOpenImage, &QAction::trigger);
  connect(btnOpenSinogram, &QPushButton::clicked, actOpenSinogram, &QAction::trigger);
  connect(btnPhantom, &QPushButton::clicked, actPhantom, &QAction::trigger);
  connect(btnUndo, &QPushButton::clicked, actUndo, &QAction::trigger);
  connect(btnRedo, &QPushButton::clicked, actRedo, &QAction::trigger);
  connect(btnOpen, &QPushButton::clicked, actOpen, &QAction::trigger);
  connect(btnSave, &QPushButton::clicked, actSave, &QAction::trigger);
  connect(undoStack_, &QUndoStack::canUndoChanged, btnUndo, &QWidget::setEnabled);
  connect(undoStack_, &QUndoStack::canRedoChanged, btnRedo, &QWidget::setEnabled);
  btnUndo->setEnabled(false);
  btnRedo->setEnabled(false);
  connect(actRun, &QAction::triggered, this, guarded([this] { Recompute(); }));
  connect(actCancel, &QAction::triggered, this, [this] {
    if (Busy()) CancelWork();
  });
  connect(btnRun, &QPushButton::clicked, actRun, &QAction::trigger);
  connect(btnCancel, &QPushButton::clicked, this, [this] { CancelWork(); });
  connect(comboPreset, &QComboBox::activated, this, [this](int index) {
    RunHandler(this, [&] {
      if (index > 0) LoadPreset(index - 1);
    });
    comboPreset->setCurrentIndex(0);
  });
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
  connect(btnPin, &QPushButton::toggled, this, [this](bool on) {
    if (on)
      PinResult();
    else
      Unpin();
  });
  connect(comboDifference, &QComboBox::currentIndexChanged, this, [this] {
    boxes_[pcDifference]->Invalidate();
    UpdateCaptions();
  });
  connect(comboProfile, &QComboBox::currentIndexChanged, this,
          [this](int index) { SetProfileAlongColumn(index == 1); });
  BindImages();

  // The keyboard path: the commands, the table and its buttons, the settings, the
  // profile's direction, the plots.
  QWidget* order[] = {btnOpen,
                      btnSave,
                      btnUndo,
                      btnRedo,
                      btnExport,
                      checkOnRelease,
                      btnRun,
                      btnCancel,
                      comboPreset,
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
                      spinRelaxation,
                      checkNonNegative,
                      boxes_[pcPhantom],
                      boxes_[pcSinogram],
                      boxes_[pcReconstruction],
                      boxes_[pcDifference],
                      labelMetrics,
                      btnPin,
                      comboDifference,
                      comboRegion,
                      comboProfile,
                      profileChart_->Control(),
                      viewChart_->Control(),
                      filterChart_->Control(),
                      convergeChart_->Control()};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  resize(1400, 760);
}

QWidget* TformBench::CreateSettingsPanel() {
  auto* panel = new QWidget(this);
  auto* form = new QFormLayout(panel);
  form->setContentsMargins(0, 0, 0, 0);
  spinViews = Described(new QSpinBox(panel), "Views", "The number of views, 1 to 100000");
  // The boxes take any number of their kind, also out of range: the core judges the
  // settings and the status says why a value is refused (a box that clamped would turn
  // "-5" into 5 and "0" into 1 without a word).
  spinViews->setRange(-999999, 999999);
  spinArc = Described(new QDoubleSpinBox(panel), "Arc",
                      "The arc the views cover, in degrees, more than 0 and at most 360");
  spinArc->setRange(-9999, 9999);
  spinArc->setDecimals(3);
  spinArc->setSuffix("°");
  spinDetectors =
      Described(new QSpinBox(panel), "Detectors", "The number of detector bins, 2 to 10000");
  spinDetectors->setRange(-99999, 99999);
  comboGeometry = Described(new QComboBox(panel), "Geometry",
                            "Parallel rays, or a point source fanning out to a flat detector "
                            "or to an arc about the source");
  for (TBeam beam : {TBeam::Parallel, TBeam::FanFlat, TBeam::FanArc})
    comboGeometry->addItem(BeamName(beam));
  // The export tool's defaults for the viewer's grid: R twice its side, D = R.
  const TFanFields fan = DefaultFanFields(TBeam::FanArc, TImageSize{});
  spinSource = Described(new QDoubleSpinBox(panel), "Source distance",
                         "Fan beam: the source's distance R from the centre in pixels, more "
                         "than the image's half-diagonal");
  spinDetectorDistance =
      Described(new QDoubleSpinBox(panel), "Detector distance",
                "Fan beam: the detector's distance D from the centre in pixels, at least 0");
  for (QDoubleSpinBox* box : {spinSource, spinDetectorDistance}) {
    box->setRange(-1e9, 1e9);
    box->setDecimals(3);
    box->setSingleStep(8);
  }
  spinSource->setValue(fan.SourceDistance);
  spinDetectorDistance->setValue(fan.DetectorDistance);
  comboProjector = Described(new QComboBox(panel), "Projector",
                             "Grid: the grid projected by Joseph's method; exact: the line "
                             "integrals of the blobs themselves");
  comboProjector->addItems({"grid", "exact"});
  checkNoise = Described(new QCheckBox("photon noise", panel), "Noise",
                         "Adds photon counting noise to the sinogram");
  spinPhotons =
      Described(new QDoubleSpinBox(panel), "Photons", "The photons entering each detector bin");
  spinPhotons->setRange(-1e12, 1e12);
  spinPhotons->setDecimals(0);
  spinPhotons->setValue(1e5);  // what noise starts from when switched on
  spinSeed = Described(new QSpinBox(panel), "Seed", "The noise's seed: equal seeds, equal noise");
  spinSeed->setRange(0, 2147483647);
  comboMethod = Described(new QComboBox(panel), "Method",
                          "Filtered back-projection, or the iterative SIRT, SART or CGLS");
  comboMethod->addItems({"FBP", "SIRT", "SART", "CGLS"});
  comboFilter = Described(new QComboBox(panel), "Filter", "The window of FBP's ramp filter");
  for (TFilterWindow w : {TFilterWindow::RamLak, TFilterWindow::SheppLogan, TFilterWindow::Cosine,
                          TFilterWindow::Hamming, TFilterWindow::Hann})
    comboFilter->addItem(FilterName(w));
  spinCutoff = Described(new QDoubleSpinBox(panel), "Cutoff",
                         "FBP's cutoff as a fraction of the Nyquist frequency, more than 0 and "
                         "at most 1");
  spinCutoff->setRange(-99, 99);
  spinCutoff->setDecimals(3);
  spinCutoff->setSingleStep(0.05);
  spinIterations = Described(new QSpinBox(panel), "Iterations",
                             "The iterations of SIRT, SART or CGLS, 1 to 100000");
  spinIterations->setRange(-999999, 999999);
  spinRelaxation = Described(new QDoubleSpinBox(panel), "Relaxation",
                             "SIRT's and SART's step factor, more than 0 and less than 2");
  spinRelaxation->setRange(-99, 99);
  spinRelaxation->setDecimals(3);
  spinRelaxation->setSingleStep(0.05);
  checkNonNegative = Described(new QCheckBox("non-negative", panel), "Non-negative",
                               "SIRT and SART: negative pixels set to 0 after each update");
  // One row for both keeps the panel's height within small screens.
  auto* relaxation = new QHBoxLayout;
  relaxation->addWidget(spinRelaxation, 1);
  relaxation->addWidget(checkNonNegative);
  form->addRow("&Views", spinViews);
  form->addRow("A&rc", spinArc);
  form->addRow("Detector &bins", spinDetectors);
  form->addRow("&Geometry", comboGeometry);
  form->addRow("Source distance R", spinSource);
  form->addRow("Detector distance D", spinDetectorDistance);
  form->addRow("&Projector", comboProjector);
  form->addRow("&Noise", checkNoise);
  form->addRow("P&hotons", spinPhotons);
  form->addRow("S&eed", spinSeed);
  form->addRow("Me&thod", comboMethod);
  form->addRow("&Filter", comboFilter);
  form->addRow("&Cutoff", spinCutoff);
  form->addRow("&Iterations", spinIterations);
  form->addRow("Relaxation", relaxation);
  // Typing a number computes once it is complete (Enter or leaving the box).
  for (QAbstractSpinBox* s : std::initializer_list<QAbstractSpinBox*>{
           spinViews, spinArc, spinDetectors, spinSource, spinDetectorDistance, spinPhotons,
           spinSeed, spinCutoff, spinIterations, spinRelaxation})
    s->setKeyboardTracking(false);
  SetSettings(TBenchSettings{});
  auto changed = [this] { SettingsChanged(); };
  connect(spinViews, &QSpinBox::valueChanged, this, changed);
  connect(spinArc, &QDoubleSpinBox::valueChanged, this, changed);
  connect(spinDetectors, &QSpinBox::valueChanged, this, changed);
  connect(comboGeometry, &QComboBox::currentIndexChanged, this, changed);
  connect(spinSource, &QDoubleSpinBox::valueChanged, this, changed);
  connect(spinDetectorDistance, &QDoubleSpinBox::valueChanged, this, changed);
  connect(comboProjector, &QComboBox::currentIndexChanged, this, changed);
  connect(checkNoise, &QCheckBox::toggled, this, changed);
  connect(spinPhotons, &QDoubleSpinBox::valueChanged, this, changed);
  connect(spinSeed, &QSpinBox::valueChanged, this, changed);
  connect(comboMethod, &QComboBox::currentIndexChanged, this, changed);
  connect(comboFilter, &QComboBox::currentIndexChanged, this, changed);
  connect(spinCutoff, &QDoubleSpinBox::valueChanged, this, changed);
  connect(spinIterations, &QSpinBox::valueChanged, this, changed);
  connect(spinRelaxation, &QDoubleSpinBox::valueChanged, this, changed);
  connect(checkNonNegative, &QCheckBox::toggled, this, changed);
  return panel;
}

}  // namespace quarvel
