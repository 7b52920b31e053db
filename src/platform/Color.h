#pragma once
// Colour values of the system: 0x00BBGGRR, red in the low byte. With bit 31 set the
// low byte indexes a system colour, resolved to RGB whenever a colour reaches the
// drawing surface. clAutoColor (= the system colour index 0) means "not set" to the
// objects that use it; clNone marks a null point.

#include <cstdint>

namespace quarvel {

using TColor = uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

inline constexpr TColor clSystemColor = 0x80000000;
inline constexpr TColor clAutoColor = 0x80000000;
inline constexpr TColor clNone = 0x1FFFFFFF;

inline constexpr TColor clScrollBar = clSystemColor | 0;
inline constexpr TColor clBackground = clSystemColor | 1;
inline constexpr TColor clActiveCaption = clSystemColor | 2;
inline constexpr TColor clInactiveCaption = clSystemColor | 3;
inline constexpr TColor clMenu = clSystemColor | 4;
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowFrame = clSystemColor | 6;
inline constexpr TColor clMenuText = clSystemColor | 7;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clCaptionText = clSystemColor | 9;
inline constexpr TColor clActiveBorder = clSystemColor | 10;
inline constexpr TColor clInactiveBorder = clSystemColor | 11;
inline constexpr TColor clAppWorkSpace = clSystemColor | 12;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clBtnShadow = clSystemColor | 16;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clBtnText = clSystemColor | 18;
inline constexpr TColor clInactiveCaptionText = clSystemColor | 19;
inline constexpr TColor clBtnHighlight = clSystemColor | 20;
inline constexpr TColor cl3DDkShadow = clSystemColor | 21;
inline constexpr TColor cl3DLight = clSystemColor | 22;
inline constexpr TColor clInfoText = clSystemColor | 23;
inline constexpr TColor clInfoBk = clSystemColor | 24;

inline constexpr int kSystemColorCount = 25;

// The plain RGB value (0x00BBGGRR) of a colour: system colours through the current
// system colour table, anything else with its top byte cleared.
TColor ColorToRGB(TColor color);

// The classic fixed table (clBtnFace 0xC0C0C0, clBtnShadow 0x808080, clBtnHighlight
// 0xFFFFFF, clWindowText 0 ...) used while no toolkit palette has been loaded.
TColor ClassicSystemColor(int index);

// Replaces one entry of the system colour table (index 0 ... kSystemColorCount - 1),
// as the windowing layer does from the toolkit's active palette; ResetSystemColors
// restores the classic table.
void SetSystemColor(int index, TColor rgb);
void ResetSystemColors();

// A pixel of the drawing surface: 0xFFRRGGBB (32-bit, alpha always opaque).
inline constexpr uint32_t PixelOf(TColor rgb) {
  return 0xFF000000u | ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}
inline constexpr TColor ColorOfPixel(uint32_t pixel) {
  return ((pixel >> 16) & 0xFF) | (pixel & 0xFF00) | ((pixel & 0xFF) << 16);
}

}  // namespace quarvel
