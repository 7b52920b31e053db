#pragma once
// The application object and the top-level form.
//
// TApplication starts the toolkit with deterministic pixels (96 DPI, one fixed widget
// style; no scaling, or the screen's own scaling for a window on a desktop), keeps the
// main-form reference, runs the message loop until the main form closes, and shows
// any exception that leaves an event handler in a message box with its message; the
// program then goes on. A dialog that closes hands the activation back to the window
// below it, also where no window manager does.

#include <QApplication>

#include <functional>
#include <memory>
#include <string>

#include "platform/window/Controls.h"

namespace quarvel {

class TForm;

// Whether the toolkit scales windows to the screen's device pixel ratio. At ratio 1
// both give the same pixels; headless pictures never scale.
enum class TScreenScaling { Off, FollowScreen };

// Where a window with the geometry `window` goes so that it lies inside `available`:
// where it is when it fits; otherwise moved the least distance that brings it inside,
// and with its top-left corner at the area's when it is wider or taller than the area
// (its caption and its top-left controls stay reachable). Pure.
QPoint PlaceInside(const QRect& window, const QRect& available);

// Marks an event that this thread made and filled as handed over to the thread it is
// posted to, just before the post. The toolkit's queue does hand it over, but through
// locks that ThreadSanitizer cannot see (the toolkit is not built with it); the
// application takes the event over before it looks at it. Nothing in other builds.
void HandOverEvent(QEvent* event);

class TApplication {
 public:
  // Needs a display (or an offscreen platform chosen through QT_QPA_PLATFORM). When
  // the toolkit can open no window at all (no display, an unreachable one, a platform
  // plugin that cannot load) the process writes one line, "<program>: cannot open a
  // window: <reason>", to standard error and exits with status 2 instead of aborting.
  TApplication(int& argc, char** argv, TScreenScaling scaling = TScreenScaling::Off);
  ~TApplication();

  static TApplication* Instance() { return instance_; }
  TForm* MainForm() const { return mainForm_; }
  // The first form made main becomes the main form; later calls keep it.
  void SetMainForm(TForm* form);
  // A form going away stops being the main form.
  void FormDestroyed(TForm* form);
  // Shows the form and runs the message loop until it closes; the exit code.
  int Run();
  // A window of the program was hidden. When it was the active one (a dialog or a
  // message box closing) and no window is active once it is gone, as without a window
  // manager, the window below it is activated: a modal dialog still open, the closed
  // window's owner, or the main form. Called by the toolkit's event dispatch.
  void WindowHidden(QWidget* window);

  // How an exception that left an event handler is shown: a message box by default.
  std::function<void(const std::string& message)> ShowException;

 private:
  class Toolkit;
  std::unique_ptr<Toolkit> toolkit_;
  TForm* mainForm_ = nullptr;
  static TApplication* instance_;
};

// A top-level window with a client area, a caption, a colour and a font. Closing it
// runs OnDestroy's owner code through the destructor of the derived form.
class TForm : public TWinControl {
 public:
  TForm();
  ~TForm() override;
  void SetCaption(const std::string& caption);
  void SetClientSize(int width, int height);
  // Puts the window at its designed top-left corner, in device-independent pixels, or
  // as near to it as keeps the window inside the available area of the screen there
  // (PlaceInside). Set the client size first.
  void SetDesignedPosition(int left, int top);
  // The font by name and character height in pixels.
  void SetFontFace(const std::string& name, int pixelHeight);

 protected:
  void changeEvent(QEvent* event) override;
  // Once the window's frame is known, keeps the frame inside the screen too.
  void showEvent(QShowEvent* event) override;
  // The system reported changed regional settings; run as an event handler (RunHandler).
  virtual void LocaleChanged() {}

 private:
  bool placeOnShow_ = false;  // a designed position was set and the form not shown yet
};

}  // namespace quarvel
