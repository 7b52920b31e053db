#include "base/NotifyingSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarvel {
namespace {

// An owner that records, at each notification, the value it then holds.
class Recorder : public TNotifyingSettings<Recorder> {
 public:
  void SetText(const std::string& v) { Set(text_, v); }
  void SetNotifyEqual(bool v) { notifyEqual_ = v; }
  std::vector<std::string> seen;

 private:
  friend TNotifyingSettings<Recorder>;
  void SettingChanged() { seen.push_back(text_); }
  bool NotifiesEqualValues() const { return notifyEqual_; }
  std::string text_ = "a";
  bool notifyEqual_ = false;
};

TEST(NotifyingSettings, NotifiesOnceAfterTheStoreAndOnlyOnAChange) {
  struct Row {
    const char* name;
    bool notifyEqual;
    std::vector<std::string> assigned;
    std::vector<std::string> seen;
  };
  const Row rows[] = {
      {"equal value: silent", false, {"a"}, {}},
      {"each change once, new value visible", false, {"b", "b", "c"}, {"b", "c"}},
      {"back to the first value", false, {"b", "a"}, {"b", "a"}},
      {"equal values too when asked", true, {"a", "a"}, {"a", "a"}},
  };
  for (const Row& row : rows) {
    Recorder r;
    r.SetNotifyEqual(row.notifyEqual);
    for (const std::string& v : row.assigned) r.SetText(v);
    EXPECT_EQ(r.seen, row.seen) << row.name;
  }
}

TEST(NotifyingSettings, StoreAndNotifyReportsWhetherItNotified) {
  int field = 1, calls = 0;
  EXPECT_FALSE(StoreAndNotify(field, 1, [&] { ++calls; }));
  EXPECT_TRUE(StoreAndNotify(field, 2, [&] { calls += field; }));
  EXPECT_TRUE(StoreAndNotify(
      field, 2, [&] { ++calls; }, true));
  EXPECT_EQ(field, 2);
  EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace quarvel
