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
  return static_cast<TColor>(c.red()) | (static_cast<TColor>(c.green()) << 8) |
         (static_cast<TColor>(c.blue()) << 16);
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
  struct Entry {
    TColor color;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
  };
  const Entry table[] = {
      {clWindow, QPalette::Active, QPalette::Base},
      {clWindowText, QPalette::Active, QPalette::WindowText},
      {clMenu, QPalette::Active, QPalette::Window},
      {clMenuText, QPalette::Active, QPalette::WindowText},
      {clHighlight, QPalette::Active, QPalette::Highlight},
      {clHighlightText, QPalette::Active, QPalette::HighlightedText},
      {clBtnFace, QPalette::Active, QPalette::Button},
      {clBtnShadow, QPalette::Active, QPalette::Dark},
      {clBtnText, QPalette::Active, QPalette::ButtonText},
      {clBtnHighlight, QPalette::Active, QPalette::Light},
      {cl3DDkShadow, QPalette::Active, QPalette::Shadow},
      {cl3DLight, QPalette::Active, QPalette::Midlight},
      {clGrayText, QPalette::Disabled, QPalette::Text},
      {clInfoText, QPalette::Active, QPalette::ToolTipText},
      {clInfoBk, QPalette::Active, QPalette::ToolTipBase},
  };
  for (const Entry& e : table)
    SetSystemColor(static_cast<int>(e.color & 0xFF), ToColor(p.color(e.group, e.role)));
}

}  // namespace quarvel
