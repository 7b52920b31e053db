#pragma once
// The framework's pen, brush and font: plain settings with a change notification.
// A setter that receives the value already held does nothing; any other change
// stores it and raises OnChange (when bound). The objects of a drawing surface notify
// on every assignment instead (SetNotifyEveryAssignment), because the surface makes an
// assigned object current again at its next operation, side effects included.

#include <functional>
#include <string>

#include "base/NotifyingSettings.h"
#include "platform/Color.h"
#include "platform/Raster.h"

namespace quarvel {

class TGraphicsObject : public TNotifyingSettings<TGraphicsObject> {
 public:
  virtual ~TGraphicsObject() = default;
  std::function<void()> OnChange;
  void SetNotifyEveryAssignment(bool v) { notifyEveryAssignment_ = v; }

 protected:
  void Changed() {
    if (OnChange) OnChange();
  }
  // True when an assignment of `same` values must still notify.
  bool Unchanged(bool same) const { return same && !notifyEveryAssignment_; }

 private:
  friend TNotifyingSettings<TGraphicsObject>;
  void SettingChanged() { Changed(); }
  bool NotifiesEqualValues() const { return notifyEveryAssignment_; }
  bool notifyEveryAssignment_ = false;
};

class TPen : public TGraphicsObject {
 public:
  TColor Color() const { return color_; }
  int Width() const { return width_; }
  TPenStyle Style() const { return style_; }
  TPenMode Mode() const { return mode_; }
  void SetColor(TColor v) { Set(color_, v); }
  void SetWidth(int v) { Set(width_, v < 1 ? 1 : v); }
  void SetStyle(TPenStyle v) { Set(style_, v); }
  void SetMode(TPenMode v) { Set(mode_, v); }
  // Copies colour, width, style and mode (one notification at most).
  virtual void Assign(const TPen& source);

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = TPenStyle::psSolid;
  TPenMode mode_ = TPenMode::pmCopy;
};

class TBrush : public TGraphicsObject {
 public:
  TBrush() = default;
  explicit TBrush(TColor color) : color_(color) {}
  TColor Color() const { return color_; }
  TBrushStyle Style() const { return style_; }
  void SetColor(TColor v) { Set(color_, v); }
  void SetStyle(TBrushStyle v) { Set(style_, v); }
  void Assign(const TBrush& source);

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = TBrushStyle::bsSolid;
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// Height is the character height in pixels when negative (the usual form), the cell
// height when positive; Size is in points at 96 pixels per inch.
class TFont : public TGraphicsObject {
 public:
  static constexpr int kPixelsPerInch = 96;

  const std::string& Name() const { return name_; }
  int Height() const { return height_; }
  int Size() const;
  TColor Color() const { return color_; }
  unsigned Style() const { return style_; }
  void SetName(const std::string& v) { Set(name_, v); }
  void SetHeight(int v) { Set(height_, v); }
  void SetSize(int points);
  void SetColor(TColor v) { Set(color_, v); }
  void SetStyle(unsigned v) { Set(style_, v); }
  void Assign(const TFont& source);

  // The font as the text engine resolves it.
  FontFace Face() const;

 private:
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TColor color_ = clWindowText;
  unsigned style_ = 0;
};

// n * m / d without intermediate overflow, rounded to nearest with halves away from
// zero; -1 when d is 0 or the result does not fit an int.
int MulDiv(int n, int m, int d);

}  // namespace quarvel
