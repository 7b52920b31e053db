#include "model/CheckedFloat.h"

#include "base/Exception.h"

namespace quarvel {

void RaiseInvalidOp() { throw EInvalidOp(); }
void RaiseZeroDivide() { throw EZeroDivide(); }
void RaiseOverflow() { throw EOverflow(); }

}  // namespace quarvel
