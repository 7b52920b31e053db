#include "base/Exception.h"

namespace quarvel {

Exception::Exception(const std::string& message) : std::runtime_error(message), message_(message) {}

EInvalidOp::EInvalidOp() : EMathError("Invalid floating point operation") {}
EZeroDivide::EZeroDivide() : EMathError("Floating point division by zero") {}
EOverflow::EOverflow() : EMathError("Floating point overflow") {}

}  // namespace quarvel
