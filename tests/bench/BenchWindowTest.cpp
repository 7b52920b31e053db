#include "bench/BenchWindow.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QMenu>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QFile>
#include <QWheelEvent>

#include <map>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "WindowTesting.h"
#include "tomo/FanBeam.h"
#include "bench/BenchLayout.h"
#include "platform/window/Application.h"
#include "model/PhantomFile.h"
#include "ui/ExportView.h"
#include "ui/GridImage.h"
#include "ui/OutputFile.h"
#include "ui/TomographyExport.h"

namespace quarvel {
namespace {

using Pictures = std::vector<QImage>;

// The main window with its bench open and its first result shown.
class Bench : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ShownErrors().clear();
    form = testing::ShowMainWindow();
    ASSERT_TRUE(form);
    InstallBench(*form);
    bench = &OpenBench(*form);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(bench));
    WaitIdle();
  }
  void TearDown() override { form.reset(); }

  void WaitIdle() {
    ASSERT_TRUE(testing::WaitUntilIdle([this] { return bench->Busy(); }));
  }
  Pictures All() {
    Pictures p;
    for (int i = 0; i < TformBench::kPictureCount; ++i)
      p.push_back(bench->Picture(static_cast<TformBench::TPicture>(i)));
    return p;
  }
  // Types `text` into a cell of the blob table as a user would.
  void EditCell(int row, int column, const QString& text) {
    bench->tableBlobs->item(row, column)->setText(text);
    QTest::qWait(1);
    QApplication::processEvents();
  }
  void SetEnabled(int row, bool enabled) {
    bench->tableBlobs->item(row, 4)->setCheckState(enabled ? Qt::Checked : Qt::Unchecked);
    QApplication::processEvents();
  }

  std::unique_ptr<TformMain> form;
  TformBench* bench = nullptr;
};

TEST_F(Bench, OpensByKeyAndFromBothMenus) {
  EXPECT_EQ(BenchOf(*form), bench);
  EXPECT_EQ(bench->windowTitle().toStdString(), "Reconstruction bench[*]");
  bench->close();
  QApplication::setActiveWindow(form.get());
  QTest::keyClick(form.get(), Qt::Key_B, Qt::ControlModifier);
  EXPECT_TRUE(bench->isVisible());
  auto* action = form->findChild<QAction*>("actBench");
  ASSERT_TRUE(action);
  EXPECT_TRUE(form->menuChart->actions().contains(action));
  auto* grid = form->findChild<QMenu*>("menuGrid");
  ASSERT_TRUE(grid);
  EXPECT_TRUE(grid->actions().contains(action));
  EXPECT_EQ(form->boxNormal->contextMenuPolicy(), Qt::CustomContextMenu);
}

TEST_F(Bench, AnEditChangesTheMainWindowAndThePictures) {
  const Pictures before = All();
  const int cycles = form->UpdateCycles;
  EditCell(0, 0, "8.5");
  WaitIdle();
  EXPECT_EQ(form->UpdateCycles, cycles + 1);
  EXPECT_EQ(form->listGausses->Cell(0, 0), "8.5");
  EXPECT_EQ(form->BlobAt(0)->MX, 8.5);
  const Pictures after = All();
  for (int i = 0; i < TformBench::kPictureCount; ++i) EXPECT_NE(before[i], after[i]) << i;
  EXPECT_TRUE(bench->isWindowModified());

  // A disabled blob leaves the grid and is greyed in the main window's table.
  SetEnabled(1, false);
  EXPECT_FALSE(form->BlobAt(1)->Enabled);
  EXPECT_TRUE(form->listGausses->topLevelItem(1)->isDisabled());
  EXPECT_FALSE(form->listGausses->topLevelItem(0)->isDisabled());
}

TEST_F(Bench, UndoAndRedoRestoreByteIdenticalPictures) {
  const Pictures start = All();
  EditCell(2, 3, "1.5");
  WaitIdle();
  const Pictures edited = All();
  bench->actUndo->trigger();
  WaitIdle();
  EXPECT_EQ(All(), start);
  EXPECT_EQ(form->BlobAt(2)->DY, 3.0);
  EXPECT_FALSE(bench->isWindowModified());
  bench->actRedo->trigger();
  WaitIdle();
  EXPECT_EQ(All(), edited);
}

TEST_F(Bench, ABadValueIsRefusedWithTheFileReaderReason) {
  const struct {
    int column;
    const char* text;
    const char* reason;
  } cases[] = {
      {1, "0", "DX must be finite and greater than 0, not \"0\""},
      {3, "-2", "DY must be finite and greater than 0, not \"-2\""},
      {0, "inf", "MX must be finite, not \"inf\""},
      {2, "seven", "MY is not a number: \"seven\""},
      {0, "7,5", "a value holds no comma and no line break"},
  };
  for (const auto& c : cases) {
    EditCell(0, c.column, c.text);
    EXPECT_EQ(bench->StatusText(), std::string("Blob 1: ") + c.reason) << c.text;
    EXPECT_EQ(bench->tableBlobs->item(0, c.column)->text().toStdString(),
              FieldText(bench->Phantom()[0], static_cast<TBlobColumn>(c.column)));
  }
  EXPECT_EQ(bench->UndoStack().count(), 0);
  EXPECT_EQ(form->BlobAt(0)->DX, 2.0);
  EXPECT_TRUE(testing::ShownErrors().empty());
}

TEST_F(Bench, ADragOfAHandleMovesTheMeanInOneStep) {
  const TPlacement p = bench->PlacementOf(TformBench::pcPhantom);
  const TPoint h = HandlePixel(p, bench->Phantom()[0]);
  QWidget* box = bench->Box(TformBench::pcPhantom);
  QTest::mousePress(box, Qt::LeftButton, {}, QPoint(h.X, h.Y));
  for (int dx = 2; dx <= 20; dx += 2) QTest::mouseMove(box, QPoint(h.X + dx, h.Y));
  QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(h.X + 20, h.Y));
  EXPECT_EQ(bench->UndoStack().count(), 1);
  // To a thousandth of a model unit: the table shows what the drag meant.
  EXPECT_EQ(form->BlobAt(0)->MX,
            RoundedToDecimals(7.0 + 20 * p.ColumnsPerPixel() * 19.0 / 127.0, 3));
  EXPECT_EQ(form->BlobAt(0)->MY, 12.0);
  bench->actUndo->trigger();
  EXPECT_EQ(form->BlobAt(0)->MX, 7.0);
}

TEST_F(Bench, ACancelledComputationLeavesNoMixedPicture) {
  const TBenchResult* shown = bench->Shown();
  const Pictures before = All();
  TBenchSettings slow;
  slow.Projector = TProjectorKind::Exact;
  slow.Geometry.Views = 20000;
  bench->SetSettings(slow);
  ASSERT_TRUE(bench->Busy());
  const int reports = bench->WorkerReports();
  bench->CancelWork();
  EXPECT_FALSE(bench->Busy());
  // The cancelled computation reports once, whether it stopped, finished or never began.
  ASSERT_TRUE(testing::WaitUntilIdle([&] { return bench->WorkerReports() == reports; }));
  EXPECT_EQ(bench->Shown(), shown);
  EXPECT_EQ(All(), before);
  EXPECT_EQ(bench->StatusText(), "Cancelled: Run (F5) computes again");

  // A newer setting cancels the older work; what is shown comes from one input.
  bench->SetSettings(slow);
  TBenchSettings fast;
  fast.Method = TReconstructionMethod::Sirt;
  fast.Iterations = 3;
  bench->SetSettings(fast);
  WaitIdle();
  ASSERT_TRUE(bench->Shown());
  EXPECT_TRUE(SameStudy(bench->Shown()->Input.Settings, fast));
  EXPECT_EQ(bench->Shown()->Sinogram.Rows, 180);
}

TEST_F(Bench, TheZeroDegreeViewIsTheMainWindowsZeroProjection) {
  bench->PickView(0);
  TLineSeries& view = bench->ViewChart().Series(0);
  ASSERT_EQ(view.PointCount(), 182);
  ASSERT_EQ(form->ResolutionPointCount(), 128);
  for (int bin = 0; bin < 182; ++bin) {
    const int ix = bin - 27;
    if (ix < 0 || ix >= 128) {
      EXPECT_EQ(view.PointY(bin), 0.0) << bin;
      continue;
    }
    EXPECT_EQ(view.PointY(bin), form->Points[static_cast<std::size_t>(ix)].Y) << bin;
    EXPECT_NEAR(view.PointX(bin), form->Points[static_cast<std::size_t>(ix)].X, 1e-12) << bin;
  }
}

TEST_F(Bench, ASavedPhantomReadsBackAndClearsTheMark) {
  EditCell(1, 2, "6.25");
  ASSERT_TRUE(bench->isWindowModified());
  QTemporaryDir dir;
  const QString path = dir.filePath("p.csv");
  bench->SavePhantomTo(path);
  EXPECT_FALSE(bench->isWindowModified());
  const auto read = ReadPhantomFile(path.toStdString());
  EXPECT_TRUE(SamePhantom(read, bench->Phantom()));
  EXPECT_EQ(read[1].MY, 6.25);

  // Opening is one step; the program may end without a question.
  EditCell(0, 0, "3");
  bench->OpenPhantomFrom(path);
  EXPECT_EQ(form->BlobAt(0)->MX, 7.0);
  EXPECT_TRUE(bench->MayClose());
  EditCell(0, 0, "3");
  int asked = 0;
  bench->AskUnsaved = [&asked] { return ++asked, 2; };
  EXPECT_FALSE(bench->MayClose());
  EXPECT_EQ(asked, 1);
}

TEST_F(Bench, ExportedFilesEqualTheExportToolsOwn) {
  TBenchSettings s;
  s.Geometry.Views = 90;
  s.Photons = 5000;
  s.Seed = 7;
  s.Fbp.Window = TFilterWindow::Hann;
  s.Fbp.Cutoff = 0.75;
  bench->SetSettings(s);
  WaitIdle();
  QTemporaryDir dir;
  bench->AskFolder = [&dir](const QString&) { return dir.path(); };
  bench->ExportAll();
  TProjectionModel model;
  ComputeHeadlessModel(model, std::nullopt);
  TTomographyJob job;
  job.Study.Geometry.Views = 90;
  job.Study.Photons = 5000;
  job.Study.Seed = 7;
  job.Study.Fbp = s.Fbp;
  const struct {
    const char* command;
    TExportKind kind;
    const char* file;
  } cases[] = {
      {"sinogram", TExportKind::Npy, "sinogram.npy"},
      {"sinogram", TExportKind::Csv, "sinogram.csv"},
      {"reconstruction", TExportKind::Tiff, "reconstruction.tif"},
      {"reconstruction", TExportKind::Png, "reconstruction.png"},
      {"difference", TExportKind::Png, "difference.png"},
      {"difference", TExportKind::Csv, "difference.csv"},
      {"metrics", TExportKind::Csv, "metrics.csv"},
  };
  for (const auto& c : cases) {
    job.Command = c.command;
    job.Kind = c.kind;
    QFile saved(dir.filePath(c.file));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << c.file;
    EXPECT_TRUE(saved.readAll() == TomographyBytes(job, model)) << c.file;
  }
  QFile grid(dir.filePath("grid.png"));
  ASSERT_TRUE(grid.open(QIODevice::ReadOnly));
  EXPECT_TRUE(grid.readAll() == PngBytes(GridPicture(*form)));
}

TEST_F(Bench, TheFitErrorOfAnEditAppearsOnceAndTheBenchGoesOn) {
  SetEnabled(0, false);
  SetEnabled(1, false);
  testing::ClickRadio(form->grpResolution->Button(2));
  testing::ShownErrors().clear();
  QWidget* owner = nullptr;
  TApplication::Instance()->ShowException = [&owner](const std::string& message) {
    owner = ErrorOwner();
    testing::ShownErrors().push_back(message);
  };
  SetEnabled(2, false);  // no blob enabled: the resampling at 512x512 fails
  TApplication::Instance()->ShowException = [](const std::string& message) {
    testing::ShownErrors().push_back(message);
  };
  ASSERT_EQ(testing::ShownErrors().size(), 1u);
  // Worded as the main window words it, in a box of the bench's own.
  const std::string& shown = testing::ShownErrors()[0];
  EXPECT_EQ(shown.rfind("Cannot resample", 0), 0u) << shown;
  EXPECT_NE(shown.find("\r\nX1 = "), std::string::npos) << shown;
  EXPECT_EQ(owner, bench);
  EXPECT_EQ(form->listGausses->RowCount(), 3);
  WaitIdle();
  ASSERT_TRUE(bench->Shown());
  EXPECT_EQ(bench->Shown()->Input.Truth.Values, std::vector<double>(128 * 128, 0.0));
}

TEST_F(Bench, FitsSmallScreensAndShowsFourPicturesAtOneScale) {
  const QSize least = bench->minimumSizeHint();
  EXPECT_LE(least.width(), 1280);
  EXPECT_LE(least.height(), 690);  // 720 less a title bar
  for (const QSize size : {QSize(1280, 690), QSize(1918, 1000)}) {
    bench->resize(size);
    QApplication::processEvents();
    const TPlacement phantom = bench->PlacementOf(TformBench::pcPhantom);
    for (auto which : {TformBench::pcReconstruction, TformBench::pcDifference}) {
      const TPlacement p = bench->PlacementOf(which);
      EXPECT_EQ(p.Width, phantom.Width) << size.width();
      EXPECT_EQ(p.Height, phantom.Height) << size.width();
    }
    EXPECT_EQ(bench->PlacementOf(TformBench::pcSinogram).Height, phantom.Height);
    EXPECT_GE(phantom.Width, 128);
  }
  // Few views still fill the pictures' height.
  TBenchSettings few;
  few.Geometry.Views = 10;
  bench->SetSettings(few);
  WaitIdle();
  const TPlacement s = bench->PlacementOf(TformBench::pcSinogram);
  EXPECT_EQ(s.Rows, 10);
  EXPECT_EQ(s.Height, bench->PlacementOf(TformBench::pcPhantom).Height);
}

TEST_F(Bench, KeysAreBoundOnceAndEveryPartIsReachable) {
  std::vector<QString> texts;
  for (auto* b : bench->findChildren<QAbstractButton*>()) texts.push_back(b->text());
  for (auto* l : bench->findChildren<QLabel*>()) texts.push_back(l->text());
  std::map<QChar, QString> seen;
  for (const QString& t : texts) {
    const QChar m = MnemonicOf(t);
    if (m.isNull()) continue;
    EXPECT_TRUE(seen.emplace(m, t).second) << "Alt+" << QString(m).toStdString() << ": "
                                           << seen[m].toStdString() << " and " << t.toStdString();
  }
  EXPECT_EQ(bench->btnRedo->nextInFocusChain(), bench->btnExport);
  for (int i = 0; i < TformBench::kPictureCount; ++i)
    EXPECT_EQ(bench->Box(static_cast<TformBench::TPicture>(i))->focusPolicy(), Qt::StrongFocus);
  // Combo boxes are named after their purpose; the figures are read out.
  for (QComboBox* c : {bench->comboMethod, bench->comboFilter, bench->comboProjector}) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->text(QAccessible::Name), c->accessibleName());
    EXPECT_EQ(a->text(QAccessible::Value), c->currentText());
  }
  QAccessibleInterface* figures = QAccessible::queryAccessibleInterface(bench->labelMetrics);
  ASSERT_TRUE(figures);
  EXPECT_EQ(figures->text(QAccessible::Name).left(13), "Figures: RMSE");
}

TEST_F(Bench, WheelNotchesAndArrowNudgesAreOneStepAndRedoHasCtrlY) {
  const TPlacement p = bench->PlacementOf(TformBench::pcPhantom);
  const TPoint h = HandlePixel(p, bench->Phantom()[0]);
  QWidget* box = bench->Box(TformBench::pcPhantom);
  for (int i = 0; i < 3; ++i) {
    QWheelEvent wheel(QPointF(h.X, h.Y), box->mapToGlobal(QPointF(h.X, h.Y)), {}, {0, 120},
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &wheel);
  }
  EXPECT_EQ(bench->UndoStack().count(), 1);
  EXPECT_EQ(form->BlobAt(0)->DX, 2.662);
  EXPECT_EQ(bench->tableBlobs->item(0, 1)->text(), "2.662");

  bench->tableBlobs->setCurrentCell(1, 0);
  box->setFocus();
  const double mx = bench->Phantom()[1].MX;
  const double nudged = NudgedBlob(NudgedBlob(bench->Phantom()[1], 1, 0), 10, 0).MX;
  QTest::keyClick(box, Qt::Key_Right);
  QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(bench->UndoStack().count(), 2);
  EXPECT_EQ(bench->Phantom()[1].MX, nudged);
  bench->actUndo->trigger();
  EXPECT_EQ(bench->Phantom()[1].MX, mx);
  QApplication::setActiveWindow(bench);
  QTest::keyClick(bench, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(bench->Phantom()[1].MX, nudged);
}

TEST_F(Bench, TableGreysDisabledBlobsAndDuplicatesShowApart) {
  SetEnabled(1, false);
  const QColor on = bench->tableBlobs->item(0, 0)->foreground().color();
  const QColor off = bench->tableBlobs->item(1, 0)->foreground().color();
  EXPECT_NE(on, off);
  bench->tableBlobs->setCurrentCell(0, 0);
  bench->btnDuplicate->click();
  ASSERT_EQ(bench->Phantom().size(), 4u);
  const TPlacement p = bench->PlacementOf(TformBench::pcPhantom);
  const TPoint a = HandlePixel(p, bench->Phantom()[0]), b = HandlePixel(p, bench->Phantom()[1]);
  EXPECT_GT(std::abs(a.X - b.X), 2 * kHandleRadius);
  EXPECT_EQ(HandleAt(p, bench->Phantom(), b.X, b.Y), 1);
}

TEST_F(Bench, AHandleDraggedOffThePictureCanBeCaughtAgain) {
  const TPlacement p = bench->PlacementOf(TformBench::pcPhantom);
  const TPoint h = HandlePixel(p, bench->Phantom()[0]);
  QWidget* box = bench->Box(TformBench::pcPhantom);
  QTest::mousePress(box, Qt::LeftButton, {}, QPoint(h.X, h.Y));
  QTest::mouseMove(box, QPoint(-400, -400));
  QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(-400, -400));
  EXPECT_EQ(form->BlobAt(0)->MX, 1.0);
  EXPECT_EQ(form->BlobAt(0)->MY, 1.0);
  const TPoint moved = HandlePixel(p, bench->Phantom()[0]);
  EXPECT_EQ(HandleAt(p, bench->Phantom(), moved.X, moved.Y), 0);
}

TEST_F(Bench, ASettingOutOfRangeIsRefusedAloudAndRunComputesAfterCancel) {
  const TBenchResult* shown = bench->Shown();
  const struct {
    int views;
    const char* said;
  } cases[] = {{0, "Not computed: "}, {-5, "Not computed: "}};
  for (const auto& c : cases) {
    bench->spinViews->setValue(c.views);
    EXPECT_EQ(bench->spinViews->value(), c.views);
    EXPECT_EQ(bench->StatusText().rfind(c.said, 0), 0u) << bench->StatusText();
    EXPECT_NE(bench->StatusText().find(std::to_string(c.views)), std::string::npos);
    EXPECT_FALSE(bench->Busy());
    EXPECT_EQ(bench->Shown(), shown);
  }
  bench->spinViews->setValue(60);
  ASSERT_TRUE(bench->Busy());
  bench->CancelWork();
  bench->actRun->trigger();
  EXPECT_TRUE(bench->Busy());
  WaitIdle();
  ASSERT_TRUE(bench->Shown());
  EXPECT_EQ(bench->Shown()->Sinogram.Rows, 60);
}

TEST_F(Bench, UpdateOnReleaseComputesOnceTheDragEnds) {
  bench->checkOnRelease->setChecked(true);
  const TBenchResult* shown = bench->Shown();
  const TPlacement p = bench->PlacementOf(TformBench::pcPhantom);
  const TPoint h = HandlePixel(p, bench->Phantom()[2]);
  QWidget* box = bench->Box(TformBench::pcPhantom);
  QTest::mousePress(box, Qt::LeftButton, {}, QPoint(h.X, h.Y));
  for (int dy = 2; dy <= 10; dy += 2) QTest::mouseMove(box, QPoint(h.X, h.Y + dy));
  EXPECT_FALSE(bench->Busy());
  EXPECT_EQ(bench->Shown(), shown);
  QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(h.X, h.Y + 10));
  WaitIdle();
  ASSERT_NE(bench->Shown(), shown);
  EXPECT_TRUE(SamePhantom(bench->Shown()->Input.Phantom, bench->Phantom()));
}

TEST_F(Bench, ProgressSaysIterationsOfAll) {
  TBenchSettings s;
  s.Method = TReconstructionMethod::Sart;
  s.Iterations = 4;
  bench->SetSettings(s);
  EXPECT_EQ(bench->progress->format().toStdString(), "0 / 4");
  WaitIdle();
  ASSERT_TRUE(bench->Shown());
  EXPECT_EQ(bench->labelMetrics->text().toStdString(), FiguresText(bench->Shown()->Metrics, 4));
}

TEST_F(Bench, PresetsAndTheTitleSayWhatIsOpen) {
  bench->LoadPreset(2);
  EXPECT_TRUE(SamePhantom(bench->Phantom(), Presets()[2].Blobs));
  EXPECT_EQ(form->BlobCount(), static_cast<int>(Presets()[2].Blobs.size()));
  EXPECT_EQ(bench->UndoStack().count(), 1);
  QTemporaryDir dir;
  bench->SavePhantomTo(dir.filePath("ring.csv"));
  EXPECT_EQ(bench->windowTitle().toStdString(), "ring.csv[*] - Reconstruction bench");
}

TEST_F(Bench, ExportSaysWhatItWritesAndAsksBeforeReplacing) {
  QTemporaryDir dir;
  bench->AskFolder = [&dir](const QString&) { return dir.path(); };
  std::vector<QString> asked;
  bool answer = false;
  bench->AskYesNo = [&](const QString& q) { return asked.push_back(q), answer; };
  bench->ExportAll();
  EXPECT_TRUE(asked.empty());
  for (const QString& name : ExportFileNames())
    EXPECT_TRUE(QFile::exists(dir.filePath(name))) << name.toStdString();
  // Again into the same folder: asked, and nothing written when refused.
  QFile::remove(dir.filePath("study.json"));
  bench->ExportAll();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_TRUE(asked[0].contains("19 of the files already exist")) << asked[0].toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath("study.json")));
  // A cancelled change: the export says it writes an earlier result.
  asked.clear();
  answer = true;
  TBenchSettings slow;
  slow.Projector = TProjectorKind::Exact;
  slow.Geometry.Views = 20000;
  bench->SetSettings(slow);
  bench->CancelWork();
  bench->ExportAll();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_TRUE(asked[0].contains("earlier result"));
  EXPECT_NE(bench->StatusText().find("earlier result"), std::string::npos);
  QFile json(dir.filePath("study.json"));
  ASSERT_TRUE(json.open(QIODevice::ReadOnly));
  EXPECT_TRUE(json.readAll().contains("\"views\": 180"));
}

TEST_F(Bench, APinnedResultIsComparedWithTheNext) {
  bench->btnPin->click();
  const TBenchResult* a = bench->Pinned();
  ASSERT_TRUE(a);
  TBenchSettings s;
  s.Fbp.Window = TFilterWindow::Hamming;
  bench->SetSettings(s);
  WaitIdle();
  const TBenchResult* b = bench->Shown();
  ASSERT_NE(a, b);
  EXPECT_EQ(bench->labelMetrics->text().toStdString(),
            CompareFiguresText(b->Metrics, a->Metrics, 4));
  bench->comboDifference->setCurrentIndex(1);
  ASSERT_TRUE(bench->ShowsBMinusA());
  EXPECT_EQ(bench->ShownDifference()->At(64, 40),
            b->Reconstruction.At(64, 40) - a->Reconstruction.At(64, 40));
  EXPECT_NE(bench->labelCaptions[TformBench::pcDifference]->text().indexOf("B − A"), -1);
  bench->btnPin->click();
  EXPECT_FALSE(bench->Pinned());
  EXPECT_EQ(bench->ShownDifference(), &b->Difference);
}

TEST_F(Bench, ZoomPanAndTheCursorAreSharedByThePictures) {
  QWidget* recon = bench->Box(TformBench::pcReconstruction);
  const TPlacement before = bench->PlacementOf(TformBench::pcPhantom);
  const QPoint at(before.Left + before.Width / 2, before.Top + before.Height / 2);
  QWheelEvent wheel(at, recon->mapToGlobal(QPointF(at)), {}, {0, 120}, Qt::NoButton,
                    Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(recon, &wheel);
  EXPECT_EQ(bench->View().Zoom, 2);
  for (int i = 0; i < TformBench::kPictureCount; ++i) {
    const auto which = static_cast<TformBench::TPicture>(i);
    const TPlacement p = bench->PlacementOf(which);
    EXPECT_DOUBLE_EQ(p.ColumnsShown, p.Columns / 2.0) << i;
  }
  // 0 on a focused picture shows the whole again.
  QWidget* phantom = bench->Box(TformBench::pcPhantom);
  phantom->setFocus();
  QTest::keyClick(phantom, Qt::Key_0);
  EXPECT_EQ(bench->View(), TView{});
  // The mouse over the reconstruction puts the cursor on all the grid pictures.
  const QPointF over(before.Left + 10, before.Top + 20);
  QMouseEvent move(QEvent::MouseMove, over, recon->mapToGlobal(over), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(recon, &move);
  ASSERT_TRUE(bench->Cursor());
  EXPECT_NEAR(bench->Cursor()->first, 10.5 / before.Width, 1e-12);
  const QImage p = bench->Picture(TformBench::pcPhantom);
  const QImage r = bench->Picture(TformBench::pcReconstruction);
  EXPECT_EQ(p.pixel(before.Left + 10, before.Top + 20), qRgb(255, 255, 255));
  EXPECT_EQ(r.pixel(before.Left + 10, before.Top + 20), qRgb(255, 255, 255));
}

// Right-drag sets the reconstruction's window (the phantom's stays), a right click
// without a drag opens the picture's menu, and its "Reset window" gives back the default
// picture byte for byte.
TEST_F(Bench, ARightDragSetsTheWindowAndResetGivesTheDefaultBack) {
  QWidget* recon = bench->Box(TformBench::pcReconstruction);
  const QImage before = bench->Picture(TformBench::pcReconstruction);
  const TWindowLevel start = bench->ShownWindow(TformBench::pcReconstruction);
  const TPlacement p = bench->PlacementOf(TformBench::pcReconstruction);
  const QPoint at(p.Left + p.Width / 2, p.Top + p.Height / 2);
  QTest::mousePress(recon, Qt::RightButton, {}, at);
  QTest::mouseMove(recon, at + QPoint(-64, 32));
  QTest::mouseRelease(recon, Qt::RightButton, {}, at + QPoint(-64, 32));
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  ASSERT_TRUE(bench->WindowOf(TformBench::pcReconstruction));
  const TWindowLevel w = *bench->WindowOf(TformBench::pcReconstruction);
  EXPECT_NEAR(w.Width, start.Width * 0.75, 1e-12 * start.Width);
  EXPECT_NEAR(w.Level, start.Level + start.Width / 8, 1e-12 * start.Width);
  EXPECT_FALSE(bench->WindowOf(TformBench::pcPhantom));
  EXPECT_NE(bench->Picture(TformBench::pcReconstruction), before);

  QTest::mouseClick(recon, Qt::RightButton, {}, at);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_TRUE(menu);
  QAction* reset = nullptr;
  for (QAction* a : menu->actions())
    if (a->text() == "Reset window") reset = a;
  ASSERT_TRUE(reset && reset->isEnabled());
  reset->trigger();
  menu->close();
  EXPECT_FALSE(bench->WindowOf(TformBench::pcReconstruction));
  QEvent leave(QEvent::Leave);  // no cursor cross in the picture
  QApplication::sendEvent(recon, &leave);
  EXPECT_EQ(bench->Picture(TformBench::pcReconstruction), before);
}

// The keyboard's window: [ and ] narrow and widen it, Page Up and Page Down move its
// level, each by a sixteenth of the default window's width; the sinogram takes none.
TEST_F(Bench, KeysSetTheWindowAndLevel) {
  const struct {
    TformBench::TPicture picture;
    Qt::Key key;
    double width, level;  // the change, in default widths
  } cases[] = {{TformBench::pcPhantom, Qt::Key_BracketRight, 1.0 / 16, 0},
               {TformBench::pcPhantom, Qt::Key_BracketLeft, -1.0 / 16, 0},
               {TformBench::pcReconstruction, Qt::Key_PageUp, 0, 1.0 / 16},
               {TformBench::pcReconstruction, Qt::Key_PageDown, 0, -1.0 / 16}};
  for (const auto& c : cases) {
    bench->SetWindow(c.picture, std::nullopt);
    const TWindowLevel start = bench->ShownWindow(c.picture);
    QTest::keyClick(bench->Box(c.picture), c.key);
    ASSERT_TRUE(bench->WindowOf(c.picture)) << c.key;
    EXPECT_NEAR(bench->WindowOf(c.picture)->Width, start.Width * (1 + c.width), 1e-12) << c.key;
    EXPECT_NEAR(bench->WindowOf(c.picture)->Level, start.Level + start.Width * c.level, 1e-12)
        << c.key;
  }
  QTest::keyClick(bench->Box(TformBench::pcSinogram), Qt::Key_BracketRight);
  EXPECT_FALSE(bench->WindowOf(TformBench::pcSinogram));
}

// At ratio 1 the charts' texts are in their own pictures (the profile chart's blue is
// its title's alone).
TEST_F(Bench, ChartTextsAreInTheChartsPicturesAtRatioOne) {
  TChartControl* control = bench->ProfileChart().Control();
  control->repaint();
  const TPixelSurface& surface = control->Surface().Surface();
  int blue = 0;
  for (int y = 0; y < surface.Height(); ++y)
    for (int x = 0; x < surface.Width(); ++x) blue += ColorOfPixel(surface.PixelAt(x, y)) == clBlue;
  EXPECT_GT(blue, 50);
}

// Fan beam from the settings: R and D are greyed for parallel beam, the bins follow the
// export tool's default, the caption names the geometry. The mouse over the sinogram
// draws the scan of its view on the phantom: the source lies above the centre at view 0
// (0 degrees) and right of it at view 90 (90 degrees); the drawing goes when the mouse
// leaves.
TEST_F(Bench, AFanIsChosenInTheSettingsAndTurnsWithTheMouseOnTheSinogram) {
  EXPECT_FALSE(bench->spinSource->isEnabled());
  EXPECT_FALSE(bench->spinDetectorDistance->isEnabled());
  const QImage plain = bench->Picture(TformBench::pcPhantom);
  bench->comboGeometry->setCurrentIndex(2);
  EXPECT_TRUE(bench->spinSource->isEnabled());
  EXPECT_EQ(bench->spinDetectors->value(), 188);
  bench->spinSource->setValue(40);
  EXPECT_EQ(bench->StatusText().rfind("Not computed: source distance", 0), 0u)
      << bench->StatusText();
  bench->spinSource->setValue(256);
  WaitIdle();
  ASSERT_TRUE(bench->Shown());
  EXPECT_TRUE(IsFan(bench->Shown()->Input.Settings.Geometry));
  EXPECT_NE(bench->labelCaptions[TformBench::pcSinogram]->text().indexOf(
                "188 bins, fan-arc, R 256, D 256, grid"),
            -1);

  QWidget* sinogram = bench->Box(TformBench::pcSinogram);
  const TPlacement s = bench->PlacementOf(TformBench::pcSinogram);
  const TPlacement p = bench->PlacementOf(TformBench::pcPhantom);
  // The source's mark: the centre of the pixels inside a 3 x 3 block of its orange.
  const auto source = [&](int view) {
    const QPointF at(s.XOfColumn(94), s.YOfRow(view));
    QMouseEvent move(QEvent::MouseMove, at, sinogram->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(sinogram, &move);
    const QImage shot = bench->Picture(TformBench::pcPhantom);
    double x = 0, y = 0, n = 0;
    for (int py = 1; py + 1 < shot.height(); ++py)
      for (int px = 1; px + 1 < shot.width(); ++px) {
        bool block = true;
        for (int d = 0; d < 9; ++d)
          block = block && shot.pixel(px + d % 3 - 1, py + d / 3 - 1) == qRgb(255, 128, 0);
        if (block) x += px, y += py, ++n;
      }
    return n > 0 ? QPointF(x / n - p.Left - p.Width / 2.0, y / n - p.Top - p.Height / 2.0)
                 : QPointF(0, 0);
  };
  const QPointF top = source(0), right = source(90);
  EXPECT_EQ(bench->BeamAt(), (std::pair{90, 94}));
  EXPECT_LT(std::abs(top.x()), 1.5);
  EXPECT_LT(top.y(), -40);
  EXPECT_GT(right.x(), 40);
  EXPECT_LT(std::abs(right.y()), 1.5);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(sinogram, &leave);
  EXPECT_FALSE(bench->BeamAt());
  EXPECT_TRUE(bench->Picture(TformBench::pcPhantom) == plain);
}

// A press on a handle and its release without a move is no edit.
TEST_F(Bench, AClickOnAHandleWithoutAMoveIsNoEdit) {
  const TPoint h = HandlePixel(bench->PlacementOf(TformBench::pcPhantom), bench->Phantom()[0]);
  QWidget* box = bench->Box(TformBench::pcPhantom);
  QTest::mousePress(box, Qt::LeftButton, {}, QPoint(h.X, h.Y));
  QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(h.X, h.Y));
  EXPECT_EQ(bench->UndoStack().count(), 0);
  EXPECT_FALSE(bench->isWindowModified());
}

// A save that fails leaves the phantom marked as unsaved.
TEST_F(Bench, AFailedSaveKeepsTheUnsavedMark) {
  EditCell(1, 2, "6.25");
  ASSERT_TRUE(bench->isWindowModified());
  QTemporaryDir dir;
  EXPECT_THROW(bench->SavePhantomTo(dir.filePath("missing/p.csv")), EOutputError);
  EXPECT_TRUE(bench->isWindowModified());
}

// Another seed draws other noise: the sinogram is computed anew, not lent by the last.
TEST_F(Bench, ANewSeedRecomputesTheNoise) {
  TBenchSettings s;
  s.Photons = 1000;
  bench->SetSettings(s);
  WaitIdle();
  ASSERT_TRUE(bench->Shown());
  const std::vector<double> first = bench->Shown()->Sinogram.Values;
  s.Seed = 1;
  bench->SetSettings(s);
  WaitIdle();
  EXPECT_NE(bench->Shown()->Sinogram.Values, first);
}

// For the iterative methods the filter's place shows the convergence: the figures after
// each iteration, the shown result's history, which under noise turns back up.
TEST_F(Bench, TheConvergenceChartShowsTheShownHistory) {
  EXPECT_TRUE(bench->FilterChart().Control()->isVisible());
  EXPECT_FALSE(bench->ConvergeChart().Control()->isVisible());
  TBenchSettings s;
  s.Photons = 300;
  s.Method = TReconstructionMethod::Sirt;
  s.Iterations = 60;
  bench->SetSettings(s);
  WaitIdle();
  ASSERT_TRUE(bench->Shown());
  EXPECT_FALSE(bench->FilterChart().Control()->isVisible());
  EXPECT_TRUE(bench->ConvergeChart().Control()->isVisible());
  const std::vector<TImageMetrics>& history = bench->Shown()->History;
  ASSERT_EQ(history.size(), 60u);
  TLineSeries& rmse = bench->ConvergeChart().Series(0);
  ASSERT_EQ(rmse.PointCount(), 60);
  for (int i : {0, 29, 59}) {
    EXPECT_EQ(rmse.PointX(i), i + 1);
    EXPECT_EQ(rmse.PointY(i), history[static_cast<std::size_t>(i)].Rmse);
    EXPECT_EQ(bench->ConvergeChart().Series(1).PointY(i),
              history[static_cast<std::size_t>(i)].Ssim);
  }
  // Semi-convergence: the error falls, then the noise makes it rise again.
  const auto best = std::min_element(history.begin(), history.end(),
                                     [](const auto& a, const auto& b) { return a.Rmse < b.Rmse; });
  EXPECT_LT(best->Rmse, history.front().Rmse);
  EXPECT_LT(best->Rmse, history.back().Rmse);
  EXPECT_EQ(bench->Shown()->Metrics.Rmse, history.back().Rmse);
}

// Shift+drag on the reconstruction marks a rectangle: the figures, the difference and
// the convergence are over it and say so; a plain click still picks the profile, and the
// scanned disc is one choice away.
TEST_F(Bench, AShiftDragMarksTheRegionOfTheFigures) {
  const TPlacement p = bench->PlacementOf(TformBench::pcReconstruction);
  QWidget* box = bench->Box(TformBench::pcReconstruction);
  const auto pixel = [&p](int ix, int iy) {
    return QPoint(static_cast<int>(p.XOfColumn(ix)), static_cast<int>(p.YOfRow(iy)));
  };
  QTest::mousePress(box, Qt::LeftButton, Qt::ShiftModifier, pixel(90, 70));
  for (int i = 1; i <= 4; ++i) QTest::mouseMove(box, pixel(90 - 10 * i, 70 - 5 * i));
  QTest::mouseRelease(box, Qt::LeftButton, Qt::ShiftModifier, pixel(50, 50));
  WaitIdle();
  const TRegion rectangle = TRegion::Rectangle(50, 50, 91, 71);
  EXPECT_EQ(bench->Region(), rectangle);
  EXPECT_EQ(bench->comboRegion->currentIndex(), 2);
  ASSERT_TRUE(bench->Shown());
  EXPECT_EQ(bench->Shown()->Input.Region, rectangle);
  EXPECT_EQ(bench->MetricsText().rfind("Over columns 50 to 90, rows 50 to 70: RMSE", 0), 0u)
      << bench->MetricsText();
  const TBenchResult& r = *bench->Shown();
  EXPECT_EQ(r.Metrics, CompareImages(r.Reconstruction, r.Input.Truth, rectangle));
  EXPECT_EQ(r.Difference.At(10, 10), 0.0);  // outside
  EXPECT_NE(r.Difference.At(60, 60), 0.0);

  bench->comboRegion->setCurrentIndex(1);
  WaitIdle();
  EXPECT_EQ(bench->Shown()->Input.Region, TRegion::Circle());
  EXPECT_EQ(bench->MetricsText().rfind("Over the scanned disc: ", 0), 0u);
  QTest::mouseClick(box, Qt::LeftButton, {}, pixel(20, 30));
  EXPECT_EQ(bench->Region(), TRegion::Circle());  // a click is no region
  bench->comboRegion->setCurrentIndex(2);         // the last rectangle comes back
  WaitIdle();
  EXPECT_EQ(bench->Shown()->Input.Region, rectangle);
  bench->SetRegion(TRegion::Whole());
  WaitIdle();
  EXPECT_EQ(bench->MetricsText().rfind("RMSE", 0), 0u);
}

// Closing the bench stops its work at once; showing it again computes what was given up.
TEST_F(Bench, ClosingStopsTheWorkAndShowingResumesIt) {
  TBenchSettings slow;
  slow.Projector = TProjectorKind::Exact;
  slow.Geometry.Views = 20000;
  bench->SetSettings(slow);
  ASSERT_TRUE(bench->Busy());
  bench->close();
  EXPECT_FALSE(bench->Busy());
  EXPECT_EQ(bench->StatusText().rfind("Cancelled", 0), 0u) << bench->StatusText();
  bench->show();
  EXPECT_TRUE(bench->Busy());
  bench->SetSettings(TBenchSettings());
  WaitIdle();
  EXPECT_TRUE(SameStudy(bench->Shown()->Input.Settings, TBenchSettings()));
}

// A blob too dense for the chain is refused in a sentence; figures never read "nan".
TEST_F(Bench, ATooDenseBlobIsRefusedInWords) {
  EditCell(0, 1, "1e-305");  // with dy 2: a peak of 9e151
  WaitIdle();
  EXPECT_EQ(bench->StatusText().rfind("Cannot compute: blob 1 is too dense", 0), 0u)
      << bench->StatusText();
  const struct {
    double value;
    const char* text;
  } figures[] = {{0.25, "0.25"}, {INFINITY, "∞"}, {-INFINITY, "−∞"}, {NAN, "–"}, {-NAN, "–"}};
  for (const auto& f : figures) EXPECT_EQ(FigureText(f.value), f.text) << f.value;
}

// A newer input cancels the older one in progress: the older is reported cancelled, not
// finished, and only the newer's result arrives.
TEST(BenchWorker, ANewerInputCancelsTheOlder) {
  std::mutex mutex;
  std::condition_variable done;
  std::vector<std::uint64_t> finished, cancelled;
  TBenchWorker::Callbacks callbacks;
  callbacks.Finished = [&](std::uint64_t id, const std::shared_ptr<const TBenchResult>&,
                           const std::string&) {
    const std::lock_guard lock(mutex);
    finished.push_back(id);
    done.notify_all();
  };
  callbacks.Cancelled = [&](std::uint64_t id) {
    const std::lock_guard lock(mutex);
    cancelled.push_back(id);
  };
  std::uint64_t started = 0;
  callbacks.Progress = [&](std::uint64_t id, int) {
    const std::lock_guard lock(mutex);
    started = id;
    done.notify_all();
  };
  TBenchWorker worker(callbacks);
  const auto model = testing::ShowMainWindow();
  // Hours of SIRT: only a cancel ends it.
  TBenchInput slow{PhantomOf(*model), GridImage(*model), {}, {}, {}};
  slow.Settings.Method = TReconstructionMethod::Sirt;
  slow.Settings.Iterations = 100000;
  TBenchInput fast = slow;
  fast.Settings = TBenchSettings();
  const std::uint64_t older = worker.Submit(slow);
  std::unique_lock lock(mutex);
  // The older is under way (an iteration done) when the newer comes: it is cancelled.
  done.wait(lock, [&] { return started == older; });
  lock.unlock();
  const std::uint64_t newer = worker.Submit(fast);
  lock.lock();
  done.wait(lock, [&] { return !finished.empty(); });
  EXPECT_EQ(finished, std::vector<std::uint64_t>{newer});
  EXPECT_EQ(cancelled, std::vector<std::uint64_t>{older});
}

}  // namespace
}  // namespace quarvel
