#include "bench/BenchWindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QFile>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "WindowTesting.h"
#include "model/PhantomFile.h"
#include "ui/ExportView.h"
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
  EXPECT_DOUBLE_EQ(form->BlobAt(0)->MX, 7.0 + 20 * p.ColumnsPerPixel() * 19.0 / 127.0);
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
  bench->CancelWork();
  EXPECT_FALSE(bench->Busy());
  QTest::qWait(200);
  EXPECT_EQ(bench->Shown(), shown);
  EXPECT_EQ(All(), before);
  EXPECT_EQ(bench->StatusText(), "Cancelled");

  // A newer setting cancels the older work; what is shown comes from one input.
  bench->SetSettings(slow);
  TBenchSettings fast;
  fast.Method = TReconstructionMethod::Sirt;
  fast.Iterations = 3;
  bench->SetSettings(fast);
  WaitIdle();
  ASSERT_TRUE(bench->Shown());
  EXPECT_TRUE(SameSettings(bench->Shown()->Input.Settings, fast));
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
  s.Noise = true;
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
  SetEnabled(2, false);  // no blob enabled: the resampling at 512x512 fails
  ASSERT_EQ(testing::ShownErrors().size(), 1u);
  EXPECT_EQ(testing::ShownErrors()[0].rfind("X1 = ", 0), 0u) << testing::ShownErrors()[0];
  EXPECT_EQ(form->listGausses->RowCount(), 3);
  WaitIdle();
  ASSERT_TRUE(bench->Shown());
  EXPECT_EQ(bench->Shown()->Input.Truth.Values, std::vector<double>(128 * 128, 0.0));
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
  s.Noise = true;
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

// Closing the bench stops its work at once; showing it again computes what was given up.
TEST_F(Bench, ClosingStopsTheWorkAndShowingResumesIt) {
  TBenchSettings slow;
  slow.Projector = TProjectorKind::Exact;
  slow.Geometry.Views = 20000;
  bench->SetSettings(slow);
  ASSERT_TRUE(bench->Busy());
  bench->close();
  EXPECT_FALSE(bench->Busy());
  EXPECT_EQ(bench->StatusText(), "Cancelled");
  bench->show();
  EXPECT_TRUE(bench->Busy());
  bench->SetSettings(TBenchSettings());
  WaitIdle();
  EXPECT_TRUE(SameSettings(bench->Shown()->Input.Settings, TBenchSettings()));
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
  TBenchInput slow{PhantomOf(*model), GridImage(*model), {}};
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
