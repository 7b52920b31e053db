#pragma once
// The keys a chart answers when it has the keyboard focus, as the window control
// recognises them and the chart acts on them (the control knows the toolkit's key
// codes, the chart knows what the keys do).

namespace quarvel {

enum class TViewKey {
  vkNone,
  vkZoomIn,   // "+" and "=", alone or with Ctrl, and the toolkit's zoom-in sequence
  vkZoomOut,  // "-", alone or with Ctrl, and the zoom-out sequence
  vkPanLeft,  // the arrow keys
  vkPanRight,
  vkPanUp,
  vkPanDown,
  vkReset,    // Home
  vkBack,     // Alt+Left, Backspace, the toolkit's back sequence
  vkForward,  // Alt+Right, the toolkit's forward sequence
  vkCancel,   // Esc
};

}  // namespace quarvel
