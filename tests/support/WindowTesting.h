#pragma once
// Helpers for tests of the window on the offscreen platform.

#include <QApplication>
#include <QTest>

#include <string>
#include <vector>

#include "platform/window/Application.h"

namespace quarvel::testing {

// The messages the application would have shown in message boxes, in order.
std::vector<std::string>& ShownErrors();

// Clicks a radio button where it reacts (its indicator, not its middle).
inline void ClickRadio(QWidget* button) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
  QApplication::processEvents();
}

}  // namespace quarvel::testing
