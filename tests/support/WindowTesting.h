#pragma once
// Helpers for tests of the window on the offscreen platform.

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/Application.h"
#include "ui/MainFormUnit.h"

namespace quarvel::testing {

// The messages the application would have shown in message boxes, in order.
std::vector<std::string>& ShownErrors();
// The application's own way of showing them (a message box), which the test entry
// replaces by the recorder above.
std::function<void(const std::string&)>& MessageBoxReporter();

// Clicks a radio button where it reacts (its indicator, not its middle).
inline void ClickRadio(QWidget* button) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
  QApplication::processEvents();
}

// The main window as the program creates it, shown and exposed (an empty pointer when
// it never was exposed).
inline std::unique_ptr<TformMain> ShowMainWindow() {
  auto form = TformMain::Create(*TApplication::Instance());
  form->show();
  if (!QTest::qWaitForWindowExposed(form.get())) form.reset();
  return form;
}

// Processes events until `busy` answers false and at least 20 ms have passed (work that
// the last event queued has started by then), for at most 3 minutes; false when still
// busy. The cap only guards against a hang: 60 iterations of SIRT take over 30 s in a
// debug build under ThreadSanitizer on a loaded machine.
inline bool WaitUntilIdle(const std::function<bool()>& busy) {
  QElapsedTimer timer;
  timer.start();
  while ((busy() || timer.elapsed() < 20) && timer.elapsed() < 180000) QTest::qWait(5);
  return !busy();
}

}  // namespace quarvel::testing
