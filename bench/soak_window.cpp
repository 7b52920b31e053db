// Soak: random user actions at the main window on the offscreen platform, delivered
// through the toolkit's event path (so every handler runs inside the application's
// exception guard): chart gestures (mouse drags, clicks, wheel notches and view keys, as
// tests/support/GestureDriver.h draws them), window resizes, radio
// clicks on the buttons, splitter drags, clicks and arrow keys in the blob table and
// focus changes with Tab. The window is painted after every action. Reports actions
// per second, the resident memory after warming up and at the end, the peak, and any
// error the window reported; exits non-zero on an error or when the resident memory at
// the end exceeds the memory after warm-up by more than 5 %.
//   soak_window [events]      (default 200000)

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <utility>

#include "GestureDriver.h"
#include "ui/MainFormUnit.h"

namespace {

// The window at the largest size the soak uses, painted, with freed heap memory given
// back: the state in which the memory after warm-up and at the end are compared.
void Settle(QWidget* form) {
  form->resize(1600, 1200);
  QApplication::processEvents();
  form->repaint();
  malloc_trim(0);
}

double ResidentMegabytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024 * 1024);
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// A key the chart control turns into the view key.
std::pair<Qt::Key, Qt::KeyboardModifiers> QtKeyOf(quarvel::TViewKey key) {
  using quarvel::TViewKey;
  switch (key) {
    case TViewKey::vkZoomIn:
      return {Qt::Key_Plus, Qt::NoModifier};
    case TViewKey::vkZoomOut:
      return {Qt::Key_Minus, Qt::NoModifier};
    case TViewKey::vkPanLeft:
      return {Qt::Key_Left, Qt::NoModifier};
    case TViewKey::vkPanRight:
      return {Qt::Key_Right, Qt::NoModifier};
    case TViewKey::vkPanUp:
      return {Qt::Key_Up, Qt::NoModifier};
    case TViewKey::vkPanDown:
      return {Qt::Key_Down, Qt::NoModifier};
    case TViewKey::vkReset:
      return {Qt::Key_Home, Qt::NoModifier};
    case TViewKey::vkBack:
      return {Qt::Key_Backspace, Qt::NoModifier};
    case TViewKey::vkForward:
      return {Qt::Key_Right, Qt::AltModifier};
    case TViewKey::vkCancel:
    case TViewKey::vkNone:
      break;
  }
  return {Qt::Key_Escape, Qt::NoModifier};
}

void Mouse(QWidget* w, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPoint p) {
  QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const long events = argc > 1 ? std::atol(argv[1]) : 200000;
  quarvel::TApplication application(argc, argv);
  long errors = 0;
  std::string lastError;
  application.ShowException = [&](const std::string& m) {
    ++errors;
    lastError = m;
  };
  auto form = quarvel::TformMain::Create(application);
  form->show();
  form->repaint();
  QWidget* chart = form->chartMainControl;

  std::mt19937 rng(2026);
  Qt::MouseButtons held = Qt::NoButton;
  auto step = [&](long i) {
    const int w = std::max(1, chart->width()), h = std::max(1, chart->height());
    const unsigned kind = rng() % 1000;
    if (kind < 900) {
      // A chart gesture, delivered as the toolkit delivers it to the chart control.
      const quarvel::testing::TGesture g = quarvel::testing::RandomGesture(rng, w, h, 10);
      const QPoint p(g.x, g.y);
      const Qt::MouseButton b =
          g.button == quarvel::TMouseButton::mbLeft ? Qt::LeftButton : Qt::RightButton;
      using Kind = quarvel::testing::TGesture::Kind;
      switch (g.kind) {
        case Kind::Move:
          Mouse(chart, QEvent::MouseMove, Qt::NoButton, held, p);
          break;
        case Kind::Press:
          held |= b;
          Mouse(chart, QEvent::MouseButtonPress, b, held, p);
          break;
        case Kind::Release:
          held &= ~Qt::MouseButtons(b);
          Mouse(chart, QEvent::MouseButtonRelease, b, held, p);
          break;
        case Kind::DoubleClick:
          Mouse(chart, QEvent::MouseButtonDblClick, b, held | b, p);
          break;
        case Kind::Wheel: {
          QWheelEvent e(QPointF(p), chart->mapToGlobal(QPointF(p)), QPoint(),
                        QPoint(0, g.notch > 0 ? -120 : 120), held, Qt::NoModifier,
                        Qt::NoScrollPhase, false);
          QApplication::sendEvent(chart, &e);
          break;
        }
        case Kind::Leave: {
          QEvent leave(QEvent::Leave);
          QApplication::sendEvent(chart, &leave);
          break;
        }
        case Kind::Key:
          for (int n = 0; n < g.repeats; ++n) {
            const auto [key, modifiers] = QtKeyOf(g.key);
            QTest::keyClick(chart, key, modifiers);
          }
          break;
      }
    } else if (kind < 940) {
      form->resize(200 + static_cast<int>(rng() % 1400), 250 + static_cast<int>(rng() % 950));
    } else if (kind < 955) {
      // A click where a radio button reacts: its indicator, not its middle.
      QWidget* button = form->grpResolution->Button(static_cast<int>(rng() % 3));
      QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    } else if (kind < 970) {
      QWidget* splitter = form->Splitter1;
      const int dy = static_cast<int>(rng() % 81) - 40;
      QTest::mousePress(splitter, Qt::LeftButton, {}, QPoint(splitter->width() / 2, 1));
      QTest::mouseMove(splitter, QPoint(splitter->width() / 2, 1 + dy));
      QTest::mouseRelease(splitter, Qt::LeftButton, {}, QPoint(splitter->width() / 2, 1 + dy));
    } else if (kind < 985) {
      QWidget* table = form->listGausses->viewport();
      QTest::mouseClick(table, Qt::LeftButton, {},
                        QPoint(static_cast<int>(rng() % std::max(1, table->width())),
                               static_cast<int>(rng() % std::max(1, table->height()))));
      QTest::keyClick(form->listGausses, rng() % 2 ? Qt::Key_Down : Qt::Key_Up);
    } else {
      QTest::keyClick(form.get(), Qt::Key_Tab, rng() % 2 ? Qt::ShiftModifier : Qt::NoModifier);
    }
    // What the message loop does after each of the user's actions: deliver the window
    // system's queued events (exposes after resizes) and paint.
    QApplication::processEvents();
    form->repaint();
    (void)i;
  };

  // Warm up, and visit the largest window size once: buffers and caches reach their size.
  form->resize(1600, 1200);
  form->repaint();
  for (long i = 0; i < 20000; ++i) step(i);  // caches (glyph masks, buffers) fill up here
  Settle(form.get());
  const double startResident = ResidentMegabytes();
  const auto start = std::chrono::steady_clock::now();
  double quarters[4] = {};
  for (long i = 0; i < events; ++i) {
    step(i);
    if ((i + 1) % std::max(1L, events / 4) == 0 && (i + 1) / std::max(1L, events / 4) <= 4)
      quarters[(i + 1) / std::max(1L, events / 4) - 1] = ResidentMegabytes();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Settle(form.get());
  const double endResident = ResidentMegabytes();

  std::printf("events: %ld in %.1f s (%.0f per second)\n", events, seconds, events / seconds);
  std::printf("resident memory: %.1f MB after warm-up, %.1f MB at the end; peak %.1f MB\n",
              startResident, endResident, PeakMegabytes());
  std::printf("resident memory after each quarter: %.1f, %.1f, %.1f, %.1f MB\n", quarters[0],
              quarters[1], quarters[2], quarters[3]);
  std::printf("errors reported by the window: %ld%s%s\n", errors, errors ? ", last: " : "",
              lastError.c_str());
  const bool grew = endResident > startResident * 1.05;
  if (grew)
    std::printf("FAILED: resident memory grew by %.1f %%\n",
                (endResident / startResident - 1) * 100);
  return errors == 0 && !grew ? 0 : 1;
}
