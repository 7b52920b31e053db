#include "platform/window/Application.h"

#include <QEvent>
#include <QFont>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "platform/QtRuntime.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace quarvel {

TApplication* TApplication::instance_ = nullptr;

namespace {
QPointer<QWidget> gErrorOwner;
}

QWidget* ErrorOwner() { return gErrorOwner.data(); }

#if defined(__SANITIZE_THREAD__)
void HandOverEvent(QEvent* event) { __tsan_release(event); }
static void TakeOverEvent(QEvent* event) { __tsan_acquire(event); }
#else
void HandOverEvent(QEvent*) {}
static void TakeOverEvent(QEvent*) {}
#endif

void RunHandler(QWidget* owner, const std::function<void()>& handler) {
  const QPointer<QWidget> before = gErrorOwner;
  gErrorOwner = owner ? owner->window() : nullptr;
  RunHandler(handler);
  gErrorOwner = before;
}

void RunHandler(const std::function<void()>& handler) {
  std::string message;
  try {
    handler();
    return;
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Unknown error";
  }
  TApplication* app = TApplication::Instance();
  if (app && app->ShowException)
    app->ShowException(message);
  else
    std::fprintf(stderr, "%s\n", message.c_str());
}

// The toolkit's application object; as a last resort it catches what escapes an
// event handler that is not run through RunHandler.
class TApplication::Toolkit : public QApplication {
 public:
  Toolkit(int& argc, char** argv, TApplication* owner) : QApplication(argc, argv), owner_(owner) {}

  bool notify(QObject* receiver, QEvent* event) override {
    TakeOverEvent(event);
    if (event->type() == QEvent::Hide && receiver->isWidgetType())
      owner_->WindowHidden(static_cast<QWidget*>(receiver));
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      Report(e.what());
    } catch (...) {
      Report("Unknown error");
    }
    return false;
  }

 private:
  void Report(const std::string& message) {
    if (owner_->ShowException) owner_->ShowException(message);
  }
  TApplication* owner_;
};

namespace {

// While the toolkit's application object is being constructed, its messages are held
// back: when it cannot open any platform it ends with a fatal message and an abort,
// which becomes one line naming the reasons and exit status 2. When construction
// succeeds the held messages go on to the previous handler as they came.
struct StartupMessages {
  struct Held {
    QtMsgType type;
    QString category, text;
  };
  std::vector<Held> held;
  QtMessageHandler previous = nullptr;
};
StartupMessages* gStartup = nullptr;

void HoldStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    gStartup->held.push_back(
        {type, QString::fromUtf8(context.category ? context.category : ""), text});
    return;
  }
  // The fatal message itself only says that no platform could start; the reasons are
  // what the platforms reported before it ("could not connect to display :93").
  QStringList reasons;
  for (const auto& m : gStartup->held) {
    const QString line = m.text.simplified();
    if (line.isEmpty() || line.contains("even though it was found") || reasons.contains(line))
      continue;
    reasons << line;
  }
  if (reasons.isEmpty()) reasons << "no platform plugin could be started";
  std::fprintf(stderr, "%s: cannot open a window: %s\n",
               qPrintable(QCoreApplication::applicationName()), qPrintable(reasons.join("; ")));
  std::fflush(stderr);
  std::_Exit(2);
}

}  // namespace

TApplication::TApplication(int& argc, char** argv, TScreenScaling scaling) {
  if (scaling == TScreenScaling::Off) PrepareDeterministicToolkit(false);
  StartupMessages startup;
  gStartup = &startup;
  startup.previous = qInstallMessageHandler(HoldStartupMessage);
  toolkit_ = std::make_unique<Toolkit>(argc, argv, this);
  qInstallMessageHandler(startup.previous);
  gStartup = nullptr;
  for (const auto& m : startup.held) {
    const QByteArray category = m.category.toUtf8();
    const QMessageLogContext context(nullptr, 0, nullptr,
                                     category.isEmpty() ? nullptr : category.constData());
    if (startup.previous)
      startup.previous(m.type, context, m.text);
    else
      qt_message_output(m.type, context, m.text);
  }
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
  LoadSystemColorsFromToolkit();
  instance_ = this;
  ShowException = [](const std::string& message) {
    QMessageBox::critical(ErrorOwner(), QApplication::applicationDisplayName(),
                          QString::fromStdString(message));
  };
}

TApplication::~TApplication() {
  if (instance_ == this) instance_ = nullptr;
}

void TApplication::SetMainForm(TForm* form) {
  if (!mainForm_) mainForm_ = form;
}

void TApplication::FormDestroyed(TForm* form) {
  if (mainForm_ == form) mainForm_ = nullptr;
}

void TApplication::WindowHidden(QWidget* window) {
  if (!mainForm_ || window == mainForm_ || !window->isWindow()) return;
  const Qt::WindowType type = window->windowType();
  if (type != Qt::Window && type != Qt::Dialog && type != Qt::Sheet) return;
  // Only while the user works in the program: another program's window keeps the
  // keyboard.
  if (QGuiApplication::applicationState() != Qt::ApplicationActive) return;
  // A window manager would activate the window below; without one no window is active
  // afterwards and the window shortcuts are dead. So the one the user goes back to is
  // activated, once the closing is done: a modal dialog still open, else the window
  // that owns the closed one, else the main form. (The toolkit may already call the
  // main form active when the window system does not; asking again costs nothing.)
  QWidget* owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
  QTimer::singleShot(0, mainForm_, [form = mainForm_, owner = QPointer<QWidget>(owner)] {
    QWidget* next = QApplication::activeModalWidget();
    if (!next || !next->isVisible()) next = owner;
    if (!next || !next->isVisible()) next = form;
    if (next->isVisible()) next->activateWindow();
  });
}

int TApplication::Run() {
  if (!mainForm_) return 0;
  mainForm_->show();
  return QApplication::exec();
}

TForm::TForm() : TWinControl(nullptr) {
  setAttribute(Qt::WA_QuitOnClose);
  SetColor(clBtnFace);
}

TForm::~TForm() {
  if (TApplication* app = TApplication::Instance()) app->FormDestroyed(this);
}

void TForm::SetCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

void TForm::SetClientSize(int width, int height) { resize(width, height); }

QPoint PlaceInside(const QRect& window, const QRect& available) {
  // Along one direction: the start that keeps [start, start + length) inside the area,
  // the area's start winning when the window is longer than the area.
  const auto along = [](int start, int length, int areaStart, int areaLength) {
    return std::max(areaStart, std::min(start, areaStart + areaLength - length));
  };
  return {along(window.x(), window.width(), available.x(), available.width()),
          along(window.y(), window.height(), available.y(), available.height())};
}

void TForm::SetDesignedPosition(int left, int top) {
  // The toolkit places windows in device-independent pixels; on a screen of ratio 2 the
  // designed place may lie beyond the screen's edge, with the window's right part off it.
  const QRect designed(QPoint(left, top), size());
  QScreen* screen = QGuiApplication::screenAt(designed.topLeft());
  if (!screen) screen = QGuiApplication::primaryScreen();
  move(screen ? PlaceInside(designed, screen->availableGeometry()) : designed.topLeft());
  placeOnShow_ = true;
}

void TForm::showEvent(QShowEvent* event) {
  TWinControl::showEvent(event);
  if (!placeOnShow_) return;
  placeOnShow_ = false;
  // The frame a platform draws around the client area is known now, not before.
  if (const QScreen* shown = screen()) {
    const QRect frame = frameGeometry();
    const QPoint inside = PlaceInside(frame, shown->availableGeometry());
    if (inside != frame.topLeft()) move(inside);
  }
}

void TForm::SetFontFace(const std::string& name, int pixelHeight) {
  QFont f(QString::fromStdString(name));
  f.setPixelSize(pixelHeight);
  setFont(f);
}

void TForm::changeEvent(QEvent* event) {
  TWinControl::changeEvent(event);
  if (event->type() == QEvent::LocaleChange) RunHandler([this] { LocaleChanged(); });
}

}  // namespace quarvel
