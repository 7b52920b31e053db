#pragma once
// Errors of rejected chart settings. A setter that raises keeps its old value.

#include "base/Exception.h"

namespace quarvel {

class ChartException : public Exception {
 public:
  using Exception::Exception;
};

class AxisException : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace quarvel
