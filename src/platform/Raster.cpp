#include "platform/Raster.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace quarvel {
namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t kRgbMask = 0x00FFFFFFu;

uint32_t Mix(TPenMode mode, uint32_t pen, uint32_t dest) {
  uint32_t r = 0;
  switch (mode) {
    case TPenMode::pmBlack:
      r = 0;
      break;
    case TPenMode::pmWhite:
      r = ~0u;
      break;
    case TPenMode::pmNop:
      r = dest;
      break;
    case TPenMode::pmNot:
      r = ~dest;
      break;
    case TPenMode::pmCopy:
      r = pen;
      break;
    case TPenMode::pmNotCopy:
      r = ~pen;
      break;
    case TPenMode::pmMergePenNot:
      r = pen | ~dest;
      break;
    case TPenMode::pmMaskPenNot:
      r = pen & ~dest;
      break;
    case TPenMode::pmMergeNotPen:
      r = ~pen | dest;
      break;
    case TPenMode::pmMaskNotPen:
      r = ~pen & dest;
      break;
    case TPenMode::pmMerge:
      r = pen | dest;
      break;
    case TPenMode::pmNotMerge:
      r = ~(pen | dest);
      break;
    case TPenMode::pmMask:
      r = pen & dest;
      break;
    case TPenMode::pmNotMask:
      r = ~(pen & dest);
      break;
    case TPenMode::pmXor:
      r = pen ^ dest;
      break;
    case TPenMode::pmNotXor:
      r = ~(pen ^ dest);
      break;
  }
  return kOpaque | (r & kRgbMask);
}

}  // namespace

void TRaster::Begin() {
  pixels_ = surface_->Pixels();  // drawing counts as a change of the pixels
  stride_ = surface_->Stride();
  monochrome_ = surface_->Monochrome();
  if (surface_->Width() == width_ && surface_->Height() == height_) return;
  width_ = surface_->Width();
  height_ = surface_->Height();
  clip_ = clipped_ ? Intersect(clip_, {0, 0, width_, height_}) : TRect{0, 0, width_, height_};
}

void TRaster::SetPen(TColor rgb, int width, TPenStyle style) {
  penPixel_ = PixelOf(rgb);
  penWidth_ = std::max(1, width);
  penStyle_ = style;
}

void TRaster::SetBrush(TColor rgb, TBrushStyle style) {
  brushPixel_ = PixelOf(rgb);
  brushStyle_ = style;
}

void TRaster::SetClip(const TRect& clip) {
  Begin();
  clipped_ = true;
  clip_ = Intersect(clip, {0, 0, width_, height_});
}

void TRaster::RemoveClip() {
  Begin();
  clipped_ = false;
  clip_ = {0, 0, width_, height_};
}

const TRect& TRaster::Clip() {
  Begin();
  return clip_;
}

uint32_t TRaster::Mono(uint32_t pixel) const {
  if (!monochrome_) return pixel;
  const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  return (r * 299 + g * 587 + b * 114) >= 128 * 1000 ? 0xFFFFFFFFu : kOpaque;
}

void TRaster::Store(int x, int y, uint32_t pixel) {
  if (!clip_.Contains(x, y)) return;
  pixels_[static_cast<std::size_t>(y) * stride_ + x] = Mono(pixel);
}

void TRaster::Combine(int x, int y, uint32_t pixel) {
  if (!clip_.Contains(x, y)) return;
  uint32_t& dest = pixels_[static_cast<std::size_t>(y) * stride_ + x];
  dest = Mono(mode_ == TPenMode::pmCopy ? pixel : Mix(mode_, pixel, dest));
}

// One pixel of the one-pixel line, widened and styled as the pen says.
void TRaster::SetPixel(int x, int y, TColor rgb) {
  Begin();
  Store(x, y, PixelOf(rgb));
}

void TRaster::CopyFrom(const TPixelSurface& source, int x, int y) {
  Begin();
  const TRect target = Intersect({x, y, x + source.Width(), y + source.Height()}, clip_);
  if (target.Width() > 0 && target.Height() > 0 && target.Width() == stride_ &&
      target.Width() == source.Stride()) {
    // Whole rows without gaps on both sides: one block. Row by row, a copy between two
    // buffers that lie a few bytes apart modulo 4 KiB (two frames allocated one after
    // the other) runs many times slower: each row's loads wait on the stores before
    // them that their addresses seem to alias.
    std::memcpy(At(target.Left, target.Top), source.Row(target.Top - y) + (target.Left - x),
                static_cast<std::size_t>(target.Width()) * target.Height() * sizeof(uint32_t));
    return;
  }
  for (int row = target.Top; row < target.Bottom; ++row)
    std::memcpy(At(target.Left, row), source.Row(row - y) + (target.Left - x),
                static_cast<std::size_t>(target.Width()) * sizeof(uint32_t));
}

}  // namespace quarvel
