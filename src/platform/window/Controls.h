#pragma once
// The windowing framework layer: the controls the main window is built from, adapted
// from the toolkit's widgets to the names and behaviour the window uses.
//
// Containers lay out their children by alignment (top, bottom, left, right, client,
// none) the classic way: top-aligned children stack downwards in the order of their
// top edges, right-aligned ones from the right, and a client-aligned child takes what
// is left; anchored children keep their distance to the right edge. A panel's
// aligned children sit inside its bevels. Children are owned by their parent widget.

#include <QGroupBox>
#include <QImage>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Color.h"
#include "platform/ControlHost.h"
#include "platform/ViewKeys.h"

class QButtonGroup;

namespace quarvel {

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TPanelBevel { bvNone, bvLowered, bvRaised };

using TNotifyEvent = std::function<void(QWidget* sender)>;
// An item chosen in a list of items, with the item's index.
using TIndexEvent = std::function<void(QWidget* sender, int index)>;
// The text shown in a tooltip for a pixel of a control; empty shows none there.
using TReadoutEvent = std::function<std::string(int x, int y)>;

// Runs an event handler; an exception that leaves it is shown by the application (in
// a message box) and the program goes on. Exceptions never unwind through the toolkit.
void RunHandler(const std::function<void()>& handler);
// The same for a handler of a window other than the main one: the message box belongs
// to `owner`'s window (it is raised over it and gives the keyboard back to it), not to
// whichever window is active.
void RunHandler(QWidget* owner, const std::function<void()>& handler);
// The window the exception being shown belongs to (null outside RunHandler's report, and
// for the main window's own handlers).
QWidget* ErrorOwner();

// A widget that aligns its children.
class TWinControl : public QWidget {
 public:
  explicit TWinControl(QWidget* parent = nullptr);

  // Places `child` (already parented here) at the given rectangle with an alignment;
  // `anchorRight` alone keeps its distance to the right edge. The children are
  // aligned when AlignControls runs (after all of them are placed, and on resizes).
  void Place(QWidget* child, const TRect& bounds, TAlign align, bool anchorRight = false);
  // Lays the children out again (after a size change or a splitter move).
  void AlignControls();
  TColor Color() const { return color_; }
  void SetColor(TColor color);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // The area the aligned children share.
  virtual QRect AlignRect() const { return rect(); }

 private:
  friend class TSplitter;
  struct Child {
    QWidget* widget;
    TAlign align;
    bool anchorRight;
    int rightDistance;
  };
  std::vector<Child> children_;
  TColor color_ = clBtnFace;
};

// A panel with an outer and an inner bevel of one pixel each.
class TPanel : public TWinControl {
 public:
  explicit TPanel(QWidget* parent);
  void SetBevels(TPanelBevel outer, TPanelBevel inner);

 protected:
  void paintEvent(QPaintEvent* event) override;
  QRect AlignRect() const override;

 private:
  int BevelRings() const;
  TPanelBevel outer_ = TPanelBevel::bvRaised;
  TPanelBevel inner_ = TPanelBevel::bvNone;
};

// Moves the boundary between the top-aligned control above it and the rest.
class TSplitter : public QWidget {
 public:
  explicit TSplitter(QWidget* parent);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QWidget* ControlAbove() const;
  int pressY_ = -1;
  int startHeight_ = 0;
};

// A flat push button.
class TSpeedButton : public QToolButton {
 public:
  TSpeedButton(QWidget* parent, const std::string& caption);
  TNotifyEvent OnClick;
};

// A group of radio buttons with a caption; OnClick follows each click on an item (by
// mouse or keys, not SetItemIndex) with the index of the item clicked, which is then
// the checked one.
class TRadioGroup : public QGroupBox {
 public:
  TRadioGroup(QWidget* parent, const std::string& caption, const std::vector<std::string>& items);
  int ItemIndex() const;
  void SetItemIndex(int index);
  QWidget* Button(int index) const;
  TIndexEvent OnClick;

 private:
  QButtonGroup* group_;
};

// Controls that draw their own picture (the paint box, the chart's control) keep it
// crisp on any screen: the picture has one pixel per k x k block of device pixels,
// k being the device pixel ratio rounded to the nearest whole number (at least 1), and
// it covers the control. At an integer ratio the picture is the control's logical
// size; at ratio 1 picture, device and logical pixels are the same.
int PictureScale(qreal devicePixelRatio);
// The size of a control's own picture: its device size divided by the scale, rounded up.
QSize PictureSize(const QSize& logicalSize, qreal devicePixelRatio);
// The picture pixel under a mouse position in the control's logical coordinates (at
// ratio 1 the nearest pixel, as the toolkit rounds it).
QPoint PicturePoint(const QPointF& position, qreal devicePixelRatio);
inline QSize PictureSize(const QWidget& control) {
  return PictureSize(control.size(), control.devicePixelRatioF());
}
inline QPoint PicturePoint(const QWidget& control, const QPointF& position) {
  return PicturePoint(position, control.devicePixelRatioF());
}

// Paints through its OnPaint handler on a canvas of its own picture size; what the
// handler draws is shown when it returns.
class TPaintBox : public QWidget {
 public:
  explicit TPaintBox(QWidget* parent);
  TCanvas& Canvas() { return buffer_.Canvas(); }
  void Invalidate() { update(); }
  TNotifyEvent OnPaint;
  // The readout under a resting mouse, following it while shown.
  TReadoutEvent OnReadout;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  TBitmap buffer_;
};

// One row of a report list view: a caption and sub-item texts.
class TListRow {
 public:
  explicit TListRow(QTreeWidgetItem* item) : item_(item) {}
  void SetCaption(const std::string& text);
  void AddSubItem(const std::string& text);
  // A row of something that takes no part (a disabled blob) is shown greyed out.
  void SetEnabled(bool enabled);

 private:
  QTreeWidgetItem* item_;
  int subItems_ = 0;
};

// A read-only report list with auto-sized columns and whole-row selection.
class TListView : public QTreeWidget {
 public:
  TListView(QWidget* parent, const std::vector<std::string>& columns);
  void BeginUpdate();
  void EndUpdate();
  void Clear();
  TListRow AddRow();
  int RowCount() const { return topLevelItemCount(); }
  std::string Cell(int row, int column) const;
  TNotifyEvent OnChange;

 private:
  int updates_ = 0;
};

// The control a chart draws itself on: its own surface is a bitmap of the picture
// size (the client size at ratios 1 and 2), shown on every paint. Paint, size, mouse,
// wheel and key notifications go to the bound handlers, mouse positions in picture
// pixels; the background is never erased. It takes the keyboard focus by click and by
// Tab, and shows a dotted focus frame inside its bevel only when the focus came by the
// keyboard (or a view key was used) - never in the surface itself.
class TChartControl : public QWidget, public TChartHost {
 public:
  explicit TChartControl(QWidget* parent);

  int ClientWidth() const override { return PictureSize(*this).width(); }
  int ClientHeight() const override { return PictureSize(*this).height(); }
  TCanvas* OwnSurface() override { return &surface_.Canvas(); }
  void Invalidate() override {
    paintWanted_ = true;  // the owner must paint, whatever else is pending
    update();
  }
  void ShowSurface() override {
    surfaceOnly_ = true;
    update();
  }
  const TBitmap& Surface() const { return surface_; }
  // At a device pixel ratio above 1, whether the chart's texts are written at the
  // screen's resolution over its picture rather than as its doubled pixels (off: the
  // picture is wholly the one of ratio 1, pixel-doubled).
  void SetScreenText(bool on) { screenText_ = on; }
  TTextSink PaintTextSink() override;

  std::function<void()> OnPaint;
  std::function<void()> OnResize;
  // Button 1 left, 2 right, 3 middle; `shift` when the shift key is held.
  std::function<void(int button, bool shift, bool doubleClick, int x, int y)> OnMouseDown;
  std::function<void(bool shift, int x, int y)> OnMouseMove;
  std::function<void(int button, bool shift, int x, int y)> OnMouseUp;
  // One call per whole notch of 120: +1 up, -1 down.
  std::function<void(int notches, int x, int y)> OnWheel;
  std::function<void()> OnMouseLeave;
  // A view key while focused; returns whether it was used (else it goes to the parent).
  std::function<bool(TViewKey key)> OnViewKey;
  // The menu asked for from the keyboard (IsMenuKey, or the platform's keyboard
  // context-menu event), with the centre of the control.
  std::function<void(int x, int y)> OnContextKey;
  // The readout under a resting mouse, following it while shown; none during drags.
  TReadoutEvent OnReadout;
  bool FocusFrameShown() const { return focusFrame_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void SetFocusFrame(bool shown);
  TBitmap surface_;
  bool focusFrame_ = false;
  int wheelRemainder_ = 0;
  bool surfaceOnly_ = false;  // a paint was asked for only to show the own surface
  bool paintWanted_ = false;  // the owner asked to paint
  bool screenText_ = false;
  std::vector<TTextRun> texts_;  // of the last paint, written over the picture
};

// The toolkit image view of a bitmap (no copy) for showing it on a widget.
QImage ImageOf(const TBitmap& bitmap);

// The view key a key press stands for (vkNone for any other key).
TViewKey ViewKeyOf(const QKeyEvent& event);

// Whether a key press asks for the focused control's menu: the Menu key or Shift+F10.
bool IsMenuKey(const QKeyEvent& event);

}  // namespace quarvel
