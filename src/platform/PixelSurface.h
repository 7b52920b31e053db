#pragma once
// A pixel surface: a rectangle of 32-bit pixels (0xFFRRGGBB, rows top to bottom, each
// row `Stride` pixels after the one above it), over a buffer it is given or one it
// owns. It holds pixels only; what is drawn on it and how is the canvas' business
// (platform/Raster.h holds the drawing state and the raster operations).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace quarvel {

class TPixelSurface {
 public:
  // An empty surface (0 x 0).
  TPixelSurface() = default;
  // Over `pixels`, which the caller keeps alive; `stride` is at least `width`.
  TPixelSurface(uint32_t* pixels, int width, int height, int stride);
  TPixelSurface(uint32_t* pixels, int width, int height)
      : TPixelSurface(pixels, width, height, width) {}
  TPixelSurface(const TPixelSurface&) = delete;
  TPixelSurface& operator=(const TPixelSurface&) = delete;
  ~TPixelSurface() { BeforeChange(); }

  // Re-targets the surface at a buffer it is given (and drops any it owned).
  void Attach(uint32_t* pixels, int width, int height, int stride);
  // Re-targets the surface at a buffer of its own, every pixel `fill` (the stride is
  // the width). Negative sizes count as 0.
  void Allocate(int width, int height, uint32_t fill);

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Stride() const { return stride_; }
  // Writable access counts as a change (see Generation).
  uint32_t* Pixels() {
    Touch();
    return pixels_;
  }
  const uint32_t* Pixels() const { return pixels_; }
  uint32_t* Row(int y) { return Pixels() + static_cast<std::size_t>(y) * stride_; }
  const uint32_t* Row(int y) const { return pixels_ + static_cast<std::size_t>(y) * stride_; }
  uint32_t PixelAt(int x, int y) const { return Row(y)[x]; }

  // A count that changes whenever the pixels may have changed: on Touch (which the
  // canvas calls before each of its operations), re-targeting and writable access.
  // Equal counts mean equal pixels.
  uint64_t Generation() const { return generation_; }
  void Touch() {
    BeforeChange();
    ++generation_;
  }

  // Whether the two surfaces can exchange their pixels: both own their buffers and
  // have one size.
  bool CanExchange(const TPixelSurface& other) const;
  // Each surface takes the other's pixels (both count as changed); CanExchange must
  // hold. A finished frame is shown this way without copying it.
  void ExchangePixels(TPixelSurface& other);
  // `call` runs once, just before the pixels next change (a Touch, writable access,
  // re-targeting, an exchange, the end of the surface), and is then dropped: the owner
  // of a frame lent to this surface takes its copy back before it is drawn over. A
  // later call replaces an earlier one; an empty one drops it.
  void BeforeNextChange(std::function<void()> call) { beforeChange_ = std::move(call); }

  // A monochrome surface stores black or white only (by the colour's luminance).
  void SetMonochrome(bool monochrome) { monochrome_ = monochrome; }
  bool Monochrome() const { return monochrome_; }

 private:
  uint32_t* pixels_ = nullptr;
  void BeforeChange() {
    if (beforeChange_) [[unlikely]]
      std::exchange(beforeChange_, nullptr)();
  }

  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  bool monochrome_ = false;
  uint64_t generation_ = 0;
  std::vector<uint32_t> owned_;
  std::function<void()> beforeChange_;
};

// Stores `pixel` into at[0] ... at[count - 1], sixteen bytes a store: at the optimisation
// level the program is built with, the compiler writes a plain fill loop one pixel a
// store, and the background fill of a whole frame (651 x 302 pixels) was then a fifth of
// a chart's repaint.
inline void FillPixels(uint32_t* at, std::size_t count, uint32_t pixel) {
  // Four pixels as one value; may_alias because they are stored over uint32_t objects,
  // aligned(4) because a row need not start on sixteen bytes.
  using Quad [[gnu::vector_size(16), gnu::may_alias, gnu::aligned(4)]] = uint32_t;
  const Quad quad = {pixel, pixel, pixel, pixel};
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    *reinterpret_cast<Quad*>(at + i) = quad;
    *reinterpret_cast<Quad*>(at + i + 4) = quad;
  }
  for (; i < count; ++i) at[i] = pixel;
}

}  // namespace quarvel
