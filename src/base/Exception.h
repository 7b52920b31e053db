#pragma once
// The error types of the run-time library. Every error the system raises carries the
// message text the user sees; `Message()` returns it unchanged.

#include <stdexcept>
#include <string>

namespace quarvel {

// The general error: a message text and nothing else.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message);
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// A value could not be converted to text or back ("Format string too long").
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// An index outside a list ("List index out of bounds (%d)").
class EListError : public Exception {
 public:
  using Exception::Exception;
};

// The floating-point errors that the arithmetic of the model raises: an invalid
// operation (0/0, inf - inf, the square root of a negative number, a NaN operand),
// a division of a non-zero value by zero, and a finite result too large to hold.
class EMathError : public Exception {
 public:
  using Exception::Exception;
};
class EInvalidOp : public EMathError {
 public:
  EInvalidOp();
};
class EZeroDivide : public EMathError {
 public:
  EZeroDivide();
};
class EOverflow : public EMathError {
 public:
  EOverflow();
};

}  // namespace quarvel
