#include "platform/Color.h"

#include <array>

namespace quarvel {
namespace {

// 0x00BBGGRR values of the classic desktop scheme.
constexpr std::array<TColor, kSystemColorCount> kClassic = {
    0xC8C8C8,  // scroll bar
    0x808000,  // background (desktop)
    0x800000,  // active caption
    0x808080,  // inactive caption
    0xC0C0C0,  // menu
    0xFFFFFF,  // window
    0x000000,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0xFFFFFF,  // caption text
    0xC0C0C0,  // active border
    0xC0C0C0,  // inactive border
    0x808080,  // application work space
    0x800000,  // highlight
    0xFFFFFF,  // highlight text
    0xC0C0C0,  // button face
    0x808080,  // button shadow
    0x808080,  // grey text
    0x000000,  // button text
    0xC0C0C0,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x000000,  // 3D dark shadow
    0xC0C0C0,  // 3D light
    0x000000,  // info text
    0xE1FFFF,  // info background
};

std::array<TColor, kSystemColorCount> gSystemColors = kClassic;

}  // namespace

TColor ClassicSystemColor(int index) {
  return index >= 0 && index < kSystemColorCount ? kClassic[index] : clBlack;
}

void SetSystemColor(int index, TColor rgb) {
  if (index >= 0 && index < kSystemColorCount) gSystemColors[index] = rgb & 0xFFFFFF;
}

void ResetSystemColors() { gSystemColors = kClassic; }

TColor ColorToRGB(TColor color) {
  if (color & clSystemColor) {
    const int index = static_cast<int>(color & 0xFF);
    return index < kSystemColorCount ? gSystemColors[index] : clBlack;
  }
  return color & 0xFFFFFF;
}

}  // namespace quarvel
