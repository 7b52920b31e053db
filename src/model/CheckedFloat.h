#pragma once
// Extended-precision arithmetic that raises the floating-point errors of the model.
//
// `Checked` holds a long double (the 80-bit x87 type) and performs exactly the
// operation written, in extended precision, then checks its operands and result:
//   - an invalid operation (0/0, inf - inf, 0 * inf, the square root of a negative
//     number, or a NaN operand) throws EInvalidOp;
//   - a division of a non-zero value by zero throws EZeroDivide;
//   - a finite computation whose result is infinite throws EOverflow, and so does
//     rounding a finite value to a double that cannot hold it (`ToDouble`).
// Underflow, denormals and inexact results pass silently. The values computed are
// bit for bit those of the same long double expression without checks.

#include <cmath>

namespace quarvel {

[[noreturn]] void RaiseInvalidOp();
[[noreturn]] void RaiseZeroDivide();
[[noreturn]] void RaiseOverflow();

class Checked {
 public:
  constexpr Checked(long double value) : value_(value) {}  // NOLINT: implicit by design
  constexpr Checked(double value) : value_(value) {}       // NOLINT
  constexpr Checked(int value) : value_(value) {}          // NOLINT

  long double Value() const { return value_; }

  // The value rounded to double; throws EOverflow when it is finite but too large.
  double ToDouble() const {
    if (std::isnan(value_)) RaiseInvalidOp();
    const double rounded = static_cast<double>(value_);
    if (std::isinf(rounded) && std::isfinite(value_)) RaiseOverflow();
    return rounded;
  }

  friend Checked operator+(Checked a, Checked b) { return Result(a.value_ + b.value_, a, b); }
  friend Checked operator-(Checked a, Checked b) { return Result(a.value_ - b.value_, a, b); }
  friend Checked operator*(Checked a, Checked b) { return Result(a.value_ * b.value_, a, b); }
  friend Checked operator/(Checked a, Checked b) {
    if (b.value_ == 0 && !std::isnan(a.value_)) {
      if (a.value_ == 0) RaiseInvalidOp();
      RaiseZeroDivide();
    }
    return Result(a.value_ / b.value_, a, b);
  }
  friend Checked operator-(Checked a) { return Checked(-a.value_); }

 private:
  // A NaN result comes from a NaN operand or an invalid operation; an infinite one
  // from finite operands is an overflow.
  static Checked Result(long double r, Checked a, Checked b) {
    if (std::isnan(r)) RaiseInvalidOp();
    if (std::isinf(r) && std::isfinite(a.value_) && std::isfinite(b.value_)) RaiseOverflow();
    return Checked(r);
  }

  long double value_;
};

inline Checked Sqrt(Checked a) {
  if (!(a.Value() >= 0)) RaiseInvalidOp();  // negative or NaN; -0 passes
  return Checked(std::sqrt(a.Value()));
}

inline Checked Exp(Checked a) {
  if (std::isnan(a.Value())) RaiseInvalidOp();
  const long double result = std::exp(a.Value());
  if (std::isinf(result) && std::isfinite(a.Value())) RaiseOverflow();
  return Checked(result);
}

}  // namespace quarvel
