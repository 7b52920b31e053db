#include "platform/PixelSurface.h"

#include <algorithm>

namespace quarvel {

TPixelSurface::TPixelSurface(uint32_t* pixels, int width, int height, int stride) {
  Attach(pixels, width, height, stride);
}

void TPixelSurface::Attach(uint32_t* pixels, int width, int height, int stride) {
  ++generation_;
  owned_ = {};
  pixels_ = pixels;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  stride_ = std::max(width_, stride);
}

void TPixelSurface::Allocate(int width, int height, uint32_t fill) {
  ++generation_;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  stride_ = width_;
  owned_.assign(static_cast<std::size_t>(width_) * height_, fill);
  pixels_ = owned_.data();
}

}  // namespace quarvel
