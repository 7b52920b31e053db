#include "platform/PixelSurface.h"

#include <algorithm>

#include "base/Assert.h"

namespace quarvel {

TPixelSurface::TPixelSurface(uint32_t* pixels, int width, int height, int stride) {
  Attach(pixels, width, height, stride);
}

void TPixelSurface::Attach(uint32_t* pixels, int width, int height, int stride) {
  Touch();
  owned_ = {};
  pixels_ = pixels;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  stride_ = std::max(width_, stride);
}

void TPixelSurface::Allocate(int width, int height, uint32_t fill) {
  Touch();
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  stride_ = width_;
  owned_.assign(static_cast<std::size_t>(width_) * height_, fill);
  pixels_ = owned_.data();
}

bool TPixelSurface::CanExchange(const TPixelSurface& other) const {
  auto owns = [](const TPixelSurface& s) {
    return !s.owned_.empty() && s.pixels_ == s.owned_.data();
  };
  return this != &other && owns(*this) && owns(other) && width_ == other.width_ &&
         height_ == other.height_ && stride_ == other.stride_;
}

void TPixelSurface::ExchangePixels(TPixelSurface& other) {
  QUARVEL_ASSERT(CanExchange(other),
                 "surfaces exchange pixels only when both own a buffer of one size");
  Touch();
  other.Touch();
  owned_.swap(other.owned_);
  std::swap(pixels_, other.pixels_);
}

}  // namespace quarvel
