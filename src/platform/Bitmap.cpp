#include "platform/Bitmap.h"

#include <algorithm>

namespace quarvel {

TBitmap::TBitmap() : canvas_(&surface_) {}

TBitmap::TBitmap(int width, int height) : TBitmap() { SetSize(width, height); }

void TBitmap::SetSize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == Width() && height == Height()) return;
  surface_.Allocate(width, height, 0xFF000000u);
}

void TBitmap::SetMonochrome(bool monochrome) { surface_.SetMonochrome(monochrome); }

}  // namespace quarvel
