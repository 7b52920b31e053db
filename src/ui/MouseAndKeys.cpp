#include "ui/MouseAndKeys.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quarvel {

const std::vector<TGestureRow>& MouseAndKeysRows() {
  static const std::vector<TGestureRow> rows = {
      {"Left drag towards the lower right", "Zooms into the box"},
      {"Left drag towards another corner",
       "Undoes the zoom: the view before the first zoom or pan"},
      {"Right drag", "Pans the chart"},
      {"Mouse wheel", "Scrolls the vertical axis by 3 % of its range per notch"},
      {"Double click in the plot", "Resets the view: automatic scaling on every axis"},
      {"Right click without moving", "Opens the chart's menu"},
      {"Mouse resting on the plot or the image", "Shows the value under the cursor"},
      {"Esc while dragging", "Cancels the zoom box or ends the pan"},
      {"+, Ctrl++ or Ctrl+=", "Zooms in about the centre of the plot"},
      {"- or Ctrl+-", "Zooms out about the centre of the plot"},
      {"Arrow keys", "Pan by a tenth of the visible range"},
      {"Home", "Resets the view"},
      {"Alt+Left or Backspace", "Back to the previous view"},
      {"Alt+Right", "Forward to the next view"},
      {"Shift+F10 or the Menu key", "Opens the chart's menu"},
      {"Ctrl+C", "Copies the chart as shown to the clipboard"},
      {"Ctrl+S", "Saves the chart as shown as a PNG image"},
      {"Ctrl+Q or Ctrl+W", "Closes the window"},
      {"Ctrl+B", "Opens the reconstruction bench (also in the chart's menu and the grid image's)"},
      {"Right click on the grid image", "Opens the image's menu"},
      {"In the bench: drag a blob's square on the phantom",
       "Moves the blob's mean; the whole drag is one undo step"},
      {"In the bench: Shift+drag, or the wheel over a square",
       "Changes the blob's spreads; a run of wheel notches is one undo step"},
      {"In the bench: arrow keys on the focused phantom picture",
       "Move the selected blob one cell (Shift: ten cells)"},
      {"In the bench: the menu key or Shift+F10 on a focused picture", "Opens the picture's menu"},
      {"In the bench: Ctrl+wheel, + or - on a picture; middle drag or arrow keys; 0",
       "Zoom all four pictures together, pan them, show the whole again"},
      {"In the bench: F5 or Esc", "Runs the computation again, or cancels it"},
      {"In the bench: click an image",
       "Picks the profile's row or column there (on the sinogram: the view plotted)"},
      {"In the bench: Ctrl+Z, or Ctrl+Y or Ctrl+Shift+Z",
       "Undoes or redoes an edit of the phantom"},
      {"In the bench: Ctrl+O or Ctrl+S", "Opens or saves the phantom as a CSV file"},
      {"In the bench: Ctrl+I, Ctrl+Shift+I; Ctrl+Shift+P",
       "Opens an image as the truth, or a sinogram to reconstruct; goes back to the phantom"},
      {"In the bench: right click a picture",
       "Copies it, or saves its data as PNG, CSV, NPY or TIFF"},
      {"In the bench: right-drag on the phantom or the reconstruction",
       "Sets its window and level (across: width, up and down: level); Reset window in its menu "
       "goes back"},
      {"In the bench: [ or ], Page Up or Page Down on the phantom or the reconstruction",
       "Narrows or widens its window, raises or lowers its level"},
      {"In the bench: Ctrl+W", "Closes the bench; the phantom stays in the main window"},
  };
  return rows;
}

QDialog* CreateMouseAndKeysDialog(QWidget* parent) {
  auto* dialog = new QDialog(parent);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle("Mouse and keys");
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(
      new QLabel("The keys from Esc to Shift+F10 act on the chart when it has the keyboard focus "
                 "(click it, or Tab from the table).",
                 dialog));
  const auto& rows = MouseAndKeysRows();
  auto* table = new QTableWidget(static_cast<int>(rows.size()), 2, dialog);
  table->setObjectName("tableMouseAndKeys");
  table->setHorizontalHeaderLabels({"Gesture or key", "What it does"});
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionMode(QAbstractItemView::NoSelection);
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    table->setItem(r, 0, new QTableWidgetItem(QString::fromUtf8(rows[r].Gesture)));
    table->setItem(r, 1, new QTableWidgetItem(QString::fromUtf8(rows[r].Effect)));
  }
  table->setFocusPolicy(Qt::NoFocus);
  table->setWordWrap(false);
  table->resizeColumnsToContents();
  table->resizeRowsToContents();
  table->horizontalHeader()->setStretchLastSection(true);
  // Tall enough for every row: nothing to scroll.
  int height = table->horizontalHeader()->height() + 2 * table->frameWidth();
  for (int r = 0; r < table->rowCount(); ++r) height += table->rowHeight(r);
  table->setMinimumHeight(height);
  table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  layout->addWidget(table);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  layout->addWidget(buttons);
  dialog->resize(640, dialog->sizeHint().height());
  return dialog;
}

}  // namespace quarvel
