#pragma once
// Bringing up the toolkit for deterministic pixels: 96 DPI, no device scaling, and
// (for headless use) the offscreen platform.

#include <memory>

class QGuiApplication;

namespace quarvel {

// Sets the environment the toolkit reads at start-up: font DPI 96, high-DPI scaling
// off, no scale factors; with `headless`, the offscreen platform unless a platform
// is already chosen. Call before the application object is created.
void PrepareDeterministicToolkit(bool headless);

// A GUI application object for drawing without a window (text needs one). Creates
// one only when none exists; the object lives as long as the returned holder.
class HeadlessToolkit {
 public:
  HeadlessToolkit();
  ~HeadlessToolkit();
  HeadlessToolkit(const HeadlessToolkit&) = delete;
  HeadlessToolkit& operator=(const HeadlessToolkit&) = delete;

 private:
  std::unique_ptr<QGuiApplication> app_;
};

// Fills the system colour table from the toolkit's active palette (button face,
// shadow, highlight, window text ...). Without an application object it keeps the
// classic table.
void LoadSystemColorsFromToolkit();

}  // namespace quarvel
