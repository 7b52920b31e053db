#pragma once
// Runs a step when the scope ends, however it ends: normally or by an exception. For
// state that must be put back around code that may throw, such as a handler moved out
// of the way while labels are measured, or a list's bulk update.
//
//   auto handler = std::move(chart.OnGetAxisLabel);
//   TScopeExit restore([&] { chart.OnGetAxisLabel = std::move(handler); });
//   MeasureLabels();  // may raise EConvertError; the handler is back either way

#include <utility>

namespace quarvel {

template <class Step>
class TScopeExit {
 public:
  explicit TScopeExit(Step step) : step_(std::move(step)) {}
  ~TScopeExit() { step_(); }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

 private:
  Step step_;
};

}  // namespace quarvel
