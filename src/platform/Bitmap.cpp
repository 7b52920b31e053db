#include "platform/Bitmap.h"

#include <algorithm>

namespace quarvel {

TBitmap::TBitmap() : surface_(nullptr, 0, 0), canvas_(&surface_) {}

TBitmap::TBitmap(int width, int height) : TBitmap() { SetSize(width, height); }

void TBitmap::SetSize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == Width() && height == Height()) return;
  pixels_.assign(static_cast<std::size_t>(width) * height, 0xFF000000u);
  surface_.Rebind(pixels_.data(), width, height);
}

void TBitmap::SetMonochrome(bool monochrome) {
  monochrome_ = monochrome;
  surface_.SetMonochrome(monochrome);
}

}  // namespace quarvel
