#include "platform/window/Application.h"

#include <QEvent>
#include <QFont>
#include <QMessageBox>
#include <QStyleFactory>

#include <cstdio>
#include <exception>

#include "platform/QtRuntime.h"

namespace quarvel {

TApplication* TApplication::instance_ = nullptr;

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
  if (app && app->ShowException) app->ShowException(message);
  else std::fprintf(stderr, "%s\n", message.c_str());
}

// The toolkit's application object; as a last resort it catches what escapes an
// event handler that is not run through RunHandler.
class TApplication::Toolkit : public QApplication {
 public:
  Toolkit(int& argc, char** argv, TApplication* owner) : QApplication(argc, argv), owner_(owner) {}

  bool notify(QObject* receiver, QEvent* event) override {
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

TApplication::TApplication(int& argc, char** argv) {
  PrepareDeterministicToolkit(false);
  toolkit_ = std::make_unique<Toolkit>(argc, argv, this);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
  LoadSystemColorsFromToolkit();
  instance_ = this;
  ShowException = [](const std::string& message) {
    QMessageBox::critical(nullptr, QApplication::applicationDisplayName(), QString::fromStdString(message));
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

void TForm::SetCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }

void TForm::SetClientSize(int width, int height) { resize(width, height); }

void TForm::SetFontFace(const std::string& name, int pixelHeight) {
  QFont f(QString::fromStdString(name));
  f.setPixelSize(pixelHeight);
  setFont(f);
}

void TForm::changeEvent(QEvent* event) {
  TWinControl::changeEvent(event);
  if (event->type() == QEvent::LocaleChange) LocaleChanged();
}

}  // namespace quarvel
