#include "platform/QtRuntime.h"

#include <QGuiApplication>
#include <QPalette>

#include <cstdlib>

#include "platform/Color.h"

namespace quarvel {
namespace {

int gArgc = 1;
char gArg0[] = "quarvel";
char* gArgv[] = {gArg0, nullptr};

TColor ToColor(const QColor& c) {
  return static_cast<TColor>(c.red()) | (static_cast<TColor>(c.green()) << 8) | (static_cast<TColor>(c.blue()) << 16);
}

}  // namespace

void PrepareDeterministicToolkit(bool headless) {
  setenv("QT_FONT_DPI", "96", 1);
  setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
  unsetenv("QT_SCALE_FACTOR");
  unsetenv("QT_SCREEN_SCALE_FACTORS");
  if (headless) setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

HeadlessToolkit::HeadlessToolkit() {
  if (QCoreApplication::instance()) return;
  PrepareDeterministicToolkit(true);
  app_ = std::make_unique<QGuiApplication>(gArgc, gArgv);
}

HeadlessToolkit::~HeadlessToolkit() = default;

void LoadSystemColorsFromToolkit() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
  const QPalette p = QGuiApplication::palette();
  const auto active = [&p](QPalette::ColorRole role) { return ToColor(p.color(QPalette::Active, role)); };
  SetSystemColor(clWindow & 0xFF, active(QPalette::Base));
  SetSystemColor(clWindowText & 0xFF, active(QPalette::WindowText));
  SetSystemColor(clMenu & 0xFF, active(QPalette::Window));
  SetSystemColor(clMenuText & 0xFF, active(QPalette::WindowText));
  SetSystemColor(clHighlight & 0xFF, active(QPalette::Highlight));
  SetSystemColor(clHighlightText & 0xFF, active(QPalette::HighlightedText));
  SetSystemColor(clBtnFace & 0xFF, active(QPalette::Button));
  SetSystemColor(clBtnShadow & 0xFF, active(QPalette::Dark));
  SetSystemColor(clBtnText & 0xFF, active(QPalette::ButtonText));
  SetSystemColor(clBtnHighlight & 0xFF, active(QPalette::Light));
  SetSystemColor(cl3DDkShadow & 0xFF, active(QPalette::Shadow));
  SetSystemColor(cl3DLight & 0xFF, active(QPalette::Midlight));
  SetSystemColor(clGrayText & 0xFF, ToColor(p.color(QPalette::Disabled, QPalette::Text)));
  SetSystemColor(clInfoText & 0xFF, active(QPalette::ToolTipText));
  SetSystemColor(clInfoBk & 0xFF, active(QPalette::ToolTipBase));
}

}  // namespace quarvel
