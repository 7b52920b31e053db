#pragma once
// The chart's view history: a bounded list of steps, each the view before and after
// one change, with a cursor between the steps already taken and those undone.
//
// Back returns the view before the step behind the cursor and moves the cursor back;
// Forward returns the view after the step ahead of it and moves it on. Recording a new
// step drops the steps ahead of the cursor (they can no longer be reached). A step that
// changes nothing is not recorded. Steps of a merging kind (the wheel's notches) extend
// the last step instead of adding one when they follow it within the merge window and
// nothing was recorded, undone or redone in between. When full, the oldest step goes.

#include <cstddef>
#include <deque>
#include <optional>

namespace quarvel {

template <class State>
class TViewHistory {
 public:
  explicit TViewHistory(std::size_t capacity) : capacity_(capacity < 1 ? 1 : capacity) {}

  // `mergeKind` 0 never merges; `time` is in milliseconds of any steady clock.
  void Record(const State& before, const State& after, int mergeKind = 0, long long time = 0,
              long long mergeWindow = 0) {
    if (mergeKind != 0 && mergeOpen_ && cursor_ == steps_.size() && !steps_.empty() &&
        steps_.back().kind == mergeKind && time - steps_.back().time <= mergeWindow &&
        time >= steps_.back().time) {
      steps_.back().after = after;
      steps_.back().time = time;
      if (steps_.back().before == steps_.back().after) {
        steps_.pop_back();
        cursor_ = steps_.size();
        mergeOpen_ = false;
      }
      return;
    }
    if (before == after) return;
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(cursor_), steps_.end());
    steps_.push_back({before, after, mergeKind, time});
    if (steps_.size() > capacity_) steps_.pop_front();
    cursor_ = steps_.size();
    mergeOpen_ = true;
  }

  std::optional<State> Back() {
    mergeOpen_ = false;
    if (cursor_ == 0) return std::nullopt;
    return steps_[--cursor_].before;
  }

  std::optional<State> Forward() {
    mergeOpen_ = false;
    if (cursor_ == steps_.size()) return std::nullopt;
    return steps_[cursor_++].after;
  }

  bool CanGoBack() const { return cursor_ > 0; }
  bool CanGoForward() const { return cursor_ < steps_.size(); }
  // Steps recorded (behind and ahead of the cursor).
  std::size_t Size() const { return steps_.size(); }
  void Clear() {
    steps_.clear();
    cursor_ = 0;
    mergeOpen_ = false;
  }

 private:
  struct Step {
    State before, after;
    int kind;
    long long time;
  };
  std::size_t capacity_;
  std::deque<Step> steps_;
  std::size_t cursor_ = 0;
  bool mergeOpen_ = false;
};

}  // namespace quarvel
