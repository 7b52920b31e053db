#pragma once
// Every gesture and key of the window, as the "Mouse and keys" dialog lists them (the
// README has the same table).

#include <QDialog>

#include <vector>

namespace quarvel {

struct TGestureRow {
  const char* Gesture;
  const char* Effect;
};

// In the order the dialog shows them: the mouse, the keys on the chart (it has the
// keyboard focus after a click on it or Tab from the table), then the window's keys.
const std::vector<TGestureRow>& MouseAndKeysRows();

// A small dialog with the table and a Close button; deleted when closed.
QDialog* CreateMouseAndKeysDialog(QWidget* parent);

}  // namespace quarvel
