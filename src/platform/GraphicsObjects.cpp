#include "platform/GraphicsObjects.h"

#include <cstdint>
#include <cstdlib>

namespace quarvel {

int MulDiv(int n, int m, int d) {
  if (d == 0) return -1;
  const int64_t product = static_cast<int64_t>(n) * m;
  const bool negative = (product < 0) != (d < 0);
  const uint64_t a = static_cast<uint64_t>(product < 0 ? -product : product);
  const uint64_t b = static_cast<uint64_t>(d < 0 ? -static_cast<int64_t>(d) : d);
  const uint64_t q = (a + b / 2) / b;
  if (q > static_cast<uint64_t>(INT32_MAX)) return -1;
  return negative ? -static_cast<int>(q) : static_cast<int>(q);
}

void TPen::Assign(const TPen& source) {
  if (Unchanged(color_ == source.color_ && width_ == source.width_ && style_ == source.style_ &&
                mode_ == source.mode_))
    return;
  color_ = source.color_;
  width_ = source.width_;
  style_ = source.style_;
  mode_ = source.mode_;
  Changed();
}

void TBrush::Assign(const TBrush& source) {
  if (Unchanged(color_ == source.color_ && style_ == source.style_)) return;
  color_ = source.color_;
  style_ = source.style_;
  Changed();
}

int TFont::Size() const { return -MulDiv(height_, 72, kPixelsPerInch); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, kPixelsPerInch, 72)); }

void TFont::Assign(const TFont& source) {
  if (Unchanged(name_ == source.name_ && height_ == source.height_ && color_ == source.color_ &&
                style_ == source.style_))
    return;
  name_ = source.name_;
  height_ = source.height_;
  color_ = source.color_;
  style_ = source.style_;
  Changed();
}

FontFace TFont::Face() const {
  FontFace face;
  face.name = name_;
  face.pixelSize = std::abs(height_);
  face.bold = style_ & fsBold;
  face.italic = style_ & fsItalic;
  face.underline = style_ & fsUnderline;
  face.strikeOut = style_ & fsStrikeOut;
  return face;
}

}  // namespace quarvel
