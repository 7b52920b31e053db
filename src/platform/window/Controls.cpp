#include "platform/window/Controls.h"

#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace quarvel {
namespace {

QColor ToQColor(TColor color) {
  const TColor rgb = ColorToRGB(color);
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

// One ring of a bevel: top and left in one colour, right and bottom in the other.
void DrawBevelRing(QPainter& p, const QRect& r, TPanelBevel bevel) {
  if (bevel == TPanelBevel::bvNone) return;
  const QColor shadow = ToQColor(clBtnShadow), light = ToQColor(clBtnHighlight);
  const QColor topLeft = bevel == TPanelBevel::bvLowered ? shadow : light;
  const QColor bottomRight = bevel == TPanelBevel::bvLowered ? light : shadow;
  p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
  p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
  p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
  p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
}

// The readout of a control: shown when the mouse rests (a tooltip event), then moved
// along with the mouse while it is shown; hidden where there is nothing to read and
// while a button is held.
bool ShowReadout(QWidget* widget, const TReadoutEvent& readout, QPointF local, QPoint global) {
  const QPoint p = PicturePoint(*widget, local);  // what the control's picture has there
  std::string text;
  if (readout) RunHandler([&] { text = readout(p.x(), p.y()); });
  if (text.empty()) {
    QToolTip::hideText();
    return false;
  }
  QToolTip::showText(global, QString::fromStdString(text), widget);
  return true;
}

void FollowReadout(QWidget* widget, const TReadoutEvent& readout, const QMouseEvent& e) {
  if (!readout || !QToolTip::isVisible()) return;
  if (e.buttons() != Qt::NoButton)
    QToolTip::hideText();
  else
    ShowReadout(widget, readout, e.position(), e.globalPosition().toPoint());
}

bool HandleToolTipEvent(QWidget* widget, const TReadoutEvent& readout, QEvent* event) {
  if (event->type() != QEvent::ToolTip || !readout) return false;
  auto* help = static_cast<QHelpEvent*>(event);
  if (!ShowReadout(widget, readout, QPointF(help->pos()), help->globalPos())) event->ignore();
  return true;
}

// Shows a control's picture with each pixel as a k x k block of device pixels, copied,
// never interpolated. At ratio 1 it is drawn as it is.
void ShowPicture(QPainter& p, const QImage& picture, qreal devicePixelRatio) {
  if (devicePixelRatio == 1.0) {
    p.drawImage(0, 0, picture);
    return;
  }
  const int k = PictureScale(devicePixelRatio);
  QImage blocks = k == 1 ? picture.copy()
                         : picture.scaled(picture.width() * k, picture.height() * k,
                                          Qt::IgnoreAspectRatio, Qt::FastTransformation);
  blocks.setDevicePixelRatio(devicePixelRatio);  // one image pixel per device pixel
  p.drawImage(QPointF(0, 0), blocks);
}

// Writes texts handed on by a raster (TTextRun) over a picture shown at `ratio`, in
// the same font at the screen's resolution.
void WriteTexts(QPainter& p, const std::vector<TTextRun>& texts, qreal ratio) {
  const qreal perPixel = PictureScale(ratio) / ratio;  // logical units per picture pixel
  for (const TTextRun& t : texts) {
    QFont font(QString::fromStdString(t.Font.name));
    font.setPixelSize(std::max(1, t.Font.pixelSize));
    font.setBold(t.Font.bold);
    font.setItalic(t.Font.italic);
    font.setUnderline(t.Font.underline);
    font.setStrikeOut(t.Font.strikeOut);
    p.save();
    p.setClipRect(QRectF(t.Clip.Left * perPixel, t.Clip.Top * perPixel, t.Clip.Width() * perPixel,
                         t.Clip.Height() * perPixel));
    p.scale(perPixel, perPixel);
    p.setFont(font);
    p.setPen(ToQColor(t.Color));
    const qreal ascent = p.fontMetrics().ascent();
    if (t.Degrees == 0) {
      p.drawText(QPointF(t.X, t.Y + ascent), QString::fromStdString(t.Text));
    } else {
      p.translate(t.X, t.Y);
      p.rotate(-t.Degrees);  // counter-clockwise on the screen
      p.drawText(QPointF(t.CellX, t.CellY + ascent), QString::fromStdString(t.Text));
    }
    p.restore();
  }
}

}  // namespace

int PictureScale(qreal devicePixelRatio) {
  return std::max(1, static_cast<int>(std::lround(devicePixelRatio)));
}

QSize PictureSize(const QSize& logicalSize, qreal ratio) {
  if (ratio == 1.0) return logicalSize;
  const int k = PictureScale(ratio);
  const auto across = [&](int logical) {
    const int device = static_cast<int>(std::ceil(logical * ratio - 1e-9));
    return (std::max(0, device) + k - 1) / k;
  };
  return {across(logicalSize.width()), across(logicalSize.height())};
}

QPoint PicturePoint(const QPointF& position, qreal ratio) {
  if (ratio == 1.0) return position.toPoint();
  const qreal perPixel = ratio / PictureScale(ratio);
  return {static_cast<int>(std::floor(position.x() * perPixel)),
          static_cast<int>(std::floor(position.y() * perPixel))};
}

QImage ImageOf(const TBitmap& bitmap) {
  return QImage(reinterpret_cast<const uchar*>(bitmap.ScanLine(0)), bitmap.Width(), bitmap.Height(),
                static_cast<qsizetype>(bitmap.Surface().Stride()) * 4, QImage::Format_RGB32);
}

// ===========================================================================
// Alignment

TWinControl::TWinControl(QWidget* parent) : QWidget(parent) {}

void TWinControl::SetColor(TColor color) {
  color_ = color;
  QPalette p = palette();
  p.setColor(QPalette::Window, ToQColor(color));
  setPalette(p);
  setAutoFillBackground(true);
  update();
}

void TWinControl::Place(QWidget* child, const TRect& bounds, TAlign align, bool anchorRight) {
  child->setGeometry(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
  children_.push_back({child, align, anchorRight, width() - bounds.Right});
}

void TWinControl::AlignControls() {
  QRect free = AlignRect();
  auto of = [&](TAlign align) {
    std::vector<Child*> list;
    for (Child& c : children_)
      if (c.align == align) list.push_back(&c);
    return list;
  };
  auto tops = of(TAlign::alTop);
  std::stable_sort(tops.begin(), tops.end(),
                   [](Child* a, Child* b) { return a->widget->y() < b->widget->y(); });
  for (Child* c : tops) {
    const int h = c->widget->height();
    c->widget->setGeometry(free.left(), free.top(), free.width(), h);
    free.setTop(free.top() + h);
  }
  auto bottoms = of(TAlign::alBottom);
  std::stable_sort(bottoms.begin(), bottoms.end(),
                   [](Child* a, Child* b) { return a->widget->y() > b->widget->y(); });
  for (Child* c : bottoms) {
    const int h = c->widget->height();
    c->widget->setGeometry(free.left(), free.bottom() + 1 - h, free.width(), h);
    free.setBottom(free.bottom() - h);
  }
  for (Child* c : of(TAlign::alLeft)) {
    const int w = c->widget->width();
    c->widget->setGeometry(free.left(), free.top(), w, free.height());
    free.setLeft(free.left() + w);
  }
  for (Child* c : of(TAlign::alRight)) {
    const int w = c->widget->width();
    c->widget->setGeometry(free.right() + 1 - w, free.top(), w, free.height());
    free.setRight(free.right() - w);
  }
  for (Child* c : of(TAlign::alClient))
    c->widget->setGeometry(free.left(), free.top(), std::max(0, free.width()),
                           std::max(0, free.height()));
  for (Child& c : children_)
    if (c.align == TAlign::alNone && c.anchorRight)
      c.widget->move(width() - c.rightDistance - c.widget->width(), c.widget->y());
}

void TWinControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  AlignControls();
}

// ===========================================================================
// Panel and splitter

TPanel::TPanel(QWidget* parent) : TWinControl(parent) { SetColor(clBtnFace); }

void TPanel::SetBevels(TPanelBevel outer, TPanelBevel inner) {
  outer_ = outer;
  inner_ = inner;
  AlignControls();
  update();
}

int TPanel::BevelRings() const {
  return (outer_ != TPanelBevel::bvNone) + (inner_ != TPanelBevel::bvNone);
}

QRect TPanel::AlignRect() const {
  const int n = BevelRings();
  return rect().adjusted(n, n, -n, -n);
}

void TPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), ToQColor(Color()));
  QRect r = rect();
  DrawBevelRing(p, r, outer_);
  if (outer_ != TPanelBevel::bvNone) r.adjust(1, 1, -1, -1);
  DrawBevelRing(p, r, inner_);
}

TSplitter::TSplitter(QWidget* parent) : QWidget(parent) { setCursor(Qt::SplitVCursor); }

QWidget* TSplitter::ControlAbove() const {
  auto* owner = dynamic_cast<TWinControl*>(parentWidget());
  if (!owner) return nullptr;
  QWidget* above = nullptr;
  for (const auto& c : owner->children_)
    if (c.align == TAlign::alTop && c.widget != this && c.widget->y() + c.widget->height() <= y() &&
        (!above || c.widget->y() > above->y()))
      above = c.widget;
  return above;
}

void TSplitter::mousePressEvent(QMouseEvent* event) {
  if (QWidget* above = ControlAbove()) {
    pressY_ = static_cast<int>(event->globalPosition().y());
    startHeight_ = above->height();
  }
}

void TSplitter::mouseMoveEvent(QMouseEvent* event) {
  QWidget* above = ControlAbove();
  if (pressY_ < 0 || !above) return;
  auto* owner = static_cast<TWinControl*>(parentWidget());
  const int maxHeight = std::max(30, owner->height() - above->y() - height() - 30);
  const int h = std::clamp(startHeight_ + static_cast<int>(event->globalPosition().y()) - pressY_,
                           30, maxHeight);
  above->resize(above->width(), h);
  owner->AlignControls();
}

void TSplitter::mouseReleaseEvent(QMouseEvent*) { pressY_ = -1; }

void TSplitter::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), ToQColor(clBtnFace));
}

// ===========================================================================
// Buttons and lists

TSpeedButton::TSpeedButton(QWidget* parent, const std::string& caption) : QToolButton(parent) {
  setText(QString::fromStdString(caption));
  setAutoRaise(true);
  connect(this, &QToolButton::clicked, [this] {
    if (OnClick) RunHandler([this] { OnClick(this); });
  });
}

TRadioGroup::TRadioGroup(QWidget* parent, const std::string& caption,
                         const std::vector<std::string>& items)
    : QGroupBox(QString::fromStdString(caption), parent), group_(new QButtonGroup(this)) {
  auto* layout = new QVBoxLayout(this);
  for (std::size_t i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(QString::fromStdString(items[i]), this);
    group_->addButton(button, static_cast<int>(i));
    layout->addWidget(button);
  }
  layout->addStretch();
  connect(group_, &QButtonGroup::idClicked, [this](int id) {
    if (OnClick) RunHandler([this, id] { OnClick(this, id); });
  });
}

int TRadioGroup::ItemIndex() const { return group_->checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  if (QAbstractButton* b = group_->button(index)) b->setChecked(true);
}

QWidget* TRadioGroup::Button(int index) const { return group_->button(index); }

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);  // the readout follows the mouse
}

bool TPaintBox::event(QEvent* event) {
  return HandleToolTipEvent(this, OnReadout, event) || QWidget::event(event);
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
  FollowReadout(this, OnReadout, *event);
  QWidget::mouseMoveEvent(event);
}

void TPaintBox::paintEvent(QPaintEvent*) {
  const QSize size = PictureSize(*this);
  buffer_.SetSize(size.width(), size.height());
  buffer_.Canvas().Brush().SetStyle(TBrushStyle::bsSolid);
  buffer_.Canvas().Brush().SetColor(clBtnFace);
  buffer_.Canvas().FillRect({0, 0, size.width(), size.height()});
  if (OnPaint) RunHandler([this] { OnPaint(this); });
  QPainter p(this);
  ShowPicture(p, ImageOf(buffer_), devicePixelRatioF());
}

void TListRow::SetCaption(const std::string& text) {
  item_->setText(0, QString::fromStdString(text));
}

void TListRow::AddSubItem(const std::string& text) {
  item_->setText(++subItems_, QString::fromStdString(text));
}

void TListRow::SetEnabled(bool enabled) { item_->setDisabled(!enabled); }

TListView::TListView(QWidget* parent, const std::vector<std::string>& columns)
    : QTreeWidget(parent) {
  QStringList labels;
  for (const auto& c : columns) labels << QString::fromStdString(c);
  setColumnCount(static_cast<int>(columns.size()));
  setHeaderLabels(labels);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setFrameShape(QFrame::NoFrame);
  header()->setSectionsClickable(false);
  header()->setSectionResizeMode(QHeaderView::Stretch);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // the columns share the width
  connect(this, &QTreeWidget::currentItemChanged, [this] {
    if (OnChange) RunHandler([this] { OnChange(this); });
  });
}

void TListView::BeginUpdate() {
  if (updates_++ == 0) setUpdatesEnabled(false);
}

void TListView::EndUpdate() {
  if (updates_ > 0 && --updates_ == 0) setUpdatesEnabled(true);
}

void TListView::Clear() { clear(); }

TListRow TListView::AddRow() { return TListRow(new QTreeWidgetItem(this)); }

std::string TListView::Cell(int row, int column) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item ? item->text(column).toStdString() : std::string();
}

// ===========================================================================
// The chart's control

TChartControl::TChartControl(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

TTextSink TChartControl::PaintTextSink() {
  texts_.clear();
  if (!screenText_ || PictureScale(devicePixelRatioF()) <= 1) return {};
  return [this](const TTextRun& run) { texts_.push_back(run); };
}

void TChartControl::paintEvent(QPaintEvent*) {
  // The picture size also changes without a resize when the window moves to a screen
  // of another pixel ratio.
  const QSize size = PictureSize(*this);
  const bool sizeChanged = surface_.Width() != size.width() || surface_.Height() != size.height();
  surface_.SetSize(size.width(), size.height());
  if (sizeChanged && OnResize) RunHandler(OnResize);
  if (OnPaint && (paintWanted_ || !surfaceOnly_ || sizeChanged)) RunHandler(OnPaint);
  surfaceOnly_ = paintWanted_ = false;
  QPainter p(this);
  ShowPicture(p, ImageOf(surface_), devicePixelRatioF());
  if (PictureScale(devicePixelRatioF()) > 1) WriteTexts(p, texts_, devicePixelRatioF());
  if (focusFrame_ && hasFocus()) {
    // Alternate pixels one ring inside the bevel, over the picture, not in it.
    QPen pen(ToQColor(clWindowText), 1);
    pen.setDashPattern({1, 1});
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(1, 1, width() - 3, height() - 3));
  }
}

void TChartControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const QSize size = PictureSize(*this);
  surface_.SetSize(size.width(), size.height());
  if (OnResize) RunHandler(OnResize);
}

namespace {

int ButtonNumber(Qt::MouseButton b) {
  switch (b) {
    case Qt::LeftButton:
      return 1;
    case Qt::RightButton:
      return 2;
    case Qt::MiddleButton:
      return 3;
    default:
      return 0;
  }
}

}  // namespace

void TChartControl::mousePressEvent(QMouseEvent* e) {
  QToolTip::hideText();
  const QPoint p = PicturePoint(*this, e->position());
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  if (OnMouseDown)
    RunHandler([&] { OnMouseDown(ButtonNumber(e->button()), shift, false, p.x(), p.y()); });
}

void TChartControl::mouseDoubleClickEvent(QMouseEvent* e) {
  const QPoint p = PicturePoint(*this, e->position());
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  if (OnMouseDown)
    RunHandler([&] { OnMouseDown(ButtonNumber(e->button()), shift, true, p.x(), p.y()); });
}

void TChartControl::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = PicturePoint(*this, e->position());
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  if (OnMouseMove) RunHandler([&] { OnMouseMove(shift, p.x(), p.y()); });
  FollowReadout(this, OnReadout, *e);
}

void TChartControl::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint p = PicturePoint(*this, e->position());
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  if (OnMouseUp) RunHandler([&] { OnMouseUp(ButtonNumber(e->button()), shift, p.x(), p.y()); });
}

void TChartControl::wheelEvent(QWheelEvent* e) {
  // Fine-grained deltas (touchpads) add up to whole notches of 120.
  wheelRemainder_ += e->angleDelta().y();
  const int notches = wheelRemainder_ / 120;
  wheelRemainder_ -= notches * 120;
  const QPoint p = PicturePoint(*this, e->position());
  if (notches != 0 && OnWheel) RunHandler([&] { OnWheel(notches, p.x(), p.y()); });
  e->accept();
}

void TChartControl::leaveEvent(QEvent*) {
  if (OnMouseLeave) RunHandler(OnMouseLeave);
}

TViewKey ViewKeyOf(const QKeyEvent& e) {
  if (e.matches(QKeySequence::ZoomIn)) return TViewKey::vkZoomIn;
  if (e.matches(QKeySequence::ZoomOut)) return TViewKey::vkZoomOut;
  if (e.matches(QKeySequence::Back)) return TViewKey::vkBack;
  if (e.matches(QKeySequence::Forward)) return TViewKey::vkForward;
  // Shift is part of typing "+" on most layouts; the keypad flag does not matter. So
  // Ctrl++ typed as Ctrl+Shift+= on a US keyboard arrives as Ctrl+Shift with "+", which
  // the toolkit's zoom-in sequence (Ctrl and "+" alone) does not match.
  const Qt::KeyboardModifiers mods = e.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
  const bool plain = mods == Qt::NoModifier, alt = mods == Qt::AltModifier;
  const bool zoom = plain || mods == Qt::ControlModifier;
  switch (e.key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      return zoom ? TViewKey::vkZoomIn : TViewKey::vkNone;
    case Qt::Key_Minus:
      return zoom ? TViewKey::vkZoomOut : TViewKey::vkNone;
    case Qt::Key_Left:
      return plain ? TViewKey::vkPanLeft : alt ? TViewKey::vkBack : TViewKey::vkNone;
    case Qt::Key_Right:
      return plain ? TViewKey::vkPanRight : alt ? TViewKey::vkForward : TViewKey::vkNone;
    case Qt::Key_Up:
      return plain ? TViewKey::vkPanUp : TViewKey::vkNone;
    case Qt::Key_Down:
      return plain ? TViewKey::vkPanDown : TViewKey::vkNone;
    case Qt::Key_Home:
      return plain ? TViewKey::vkReset : TViewKey::vkNone;
    case Qt::Key_Backspace:
      return plain ? TViewKey::vkBack : TViewKey::vkNone;
    case Qt::Key_Escape:
      return plain ? TViewKey::vkCancel : TViewKey::vkNone;
    default:
      return TViewKey::vkNone;
  }
}

bool IsMenuKey(const QKeyEvent& e) {
  const Qt::KeyboardModifiers mods = e.modifiers() & ~Qt::KeypadModifier;
  return (e.key() == Qt::Key_Menu && mods == Qt::NoModifier) ||
         (e.key() == Qt::Key_F10 && mods == Qt::ShiftModifier);
}

void TChartControl::keyPressEvent(QKeyEvent* e) {
  // Some platforms turn the Menu key into a keyboard context-menu event of their own as
  // well; opening the menu twice only puts it at the same place again.
  if (IsMenuKey(*e) && OnContextKey) {
    RunHandler([&] { OnContextKey(width() / 2, height() / 2); });
    e->accept();
    return;
  }
  const TViewKey key = ViewKeyOf(*e);
  bool used = false;
  if (key != TViewKey::vkNone && OnViewKey) RunHandler([&] { used = OnViewKey(key); });
  if (!used) {
    QWidget::keyPressEvent(e);
    return;
  }
  e->accept();
  QToolTip::hideText();  // the view moved under the readout
  SetFocusFrame(true);
}

void TChartControl::SetFocusFrame(bool shown) {
  if (focusFrame_ == shown) return;
  focusFrame_ = shown;
  ShowSurface();  // the frame is drawn over the surface; the chart need not paint
}

void TChartControl::focusInEvent(QFocusEvent* e) {
  const Qt::FocusReason r = e->reason();
  if (r == Qt::TabFocusReason || r == Qt::BacktabFocusReason || r == Qt::ShortcutFocusReason)
    SetFocusFrame(true);
  else if (focusFrame_)
    ShowSurface();  // back from a menu or another window
  QWidget::focusInEvent(e);
}

void TChartControl::focusOutEvent(QFocusEvent* e) {
  // A menu over the chart or another window takes the focus only for a while: the
  // frame hides (it is drawn only with the focus) and comes back with it.
  const Qt::FocusReason r = e->reason();
  if (r != Qt::PopupFocusReason && r != Qt::ActiveWindowFocusReason)
    SetFocusFrame(false);
  else if (focusFrame_)
    ShowSurface();
  QWidget::focusOutEvent(e);
}

void TChartControl::contextMenuEvent(QContextMenuEvent* e) {
  // The mouse's menu comes from the chart (a right click without movement).
  if (e->reason() != QContextMenuEvent::Keyboard || !OnContextKey) {
    e->ignore();
    return;
  }
  RunHandler([&] { OnContextKey(width() / 2, height() / 2); });
  e->accept();
}

bool TChartControl::event(QEvent* event) {
  return HandleToolTipEvent(this, OnReadout, event) || QWidget::event(event);
}

}  // namespace quarvel
