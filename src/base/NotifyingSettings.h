#pragma once
// The one rule of every setting of the chart and its drawing objects: a setter given the
// value already held does nothing; any other value is stored and the owner is told once,
// after the store (so a handler reads the new value).
//
//   class TPointer : public TNotifyingSettings<TPointer> {
//    public:
//     void SetVisible(bool v) { Set(visible_, v); }  // repaints only on a change
//    private:
//     friend TNotifyingSettings<TPointer>;
//     void SettingChanged() { owner_->RequestRepaint(); }
//     bool visible_ = true;
//   };
//
// An owner that also defines `bool NotifiesEqualValues() const` is told of equal
// assignments too while it returns true (a drawing surface's pen re-applies itself).

namespace quarvel {

// Stores `value` in `field` and calls `notify()` when they differ, or always when
// `notifyEqual`; true when it notified.
template <class T, class Notify>
bool StoreAndNotify(T& field, const T& value, Notify&& notify, bool notifyEqual = false) {
  if (field == value && !notifyEqual) return false;
  field = value;
  notify();
  return true;
}

// Gives an owner class `Set(field, value)`: StoreAndNotify with the owner's
// `SettingChanged()` (and `NotifiesEqualValues()`, when it has one).
template <class Owner>
class TNotifyingSettings {
 protected:
  template <class T>
  bool Set(T& field, const T& value) {
    Owner& owner = static_cast<Owner&>(*this);
    bool notifyEqual = false;
    if constexpr (requires { owner.NotifiesEqualValues(); })
      notifyEqual = owner.NotifiesEqualValues();
    return StoreAndNotify(
        field, value, [&owner] { owner.SettingChanged(); }, notifyEqual);
  }
};

}  // namespace quarvel
