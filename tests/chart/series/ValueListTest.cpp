#include "chart/series/ValueList.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/Exception.h"

namespace quarvel {
namespace {

// Records the notifications a series would receive.
struct RecordingOwner final : TValueListOwner {
  void ValueChanged(int index) override { changed.push_back(index); }
  void RefreshDependents() override { ++refreshes; }
  void RepaintChart() override { ++repaints; }
  void RefreshFromSource() override { ++reloads; }
  std::vector<int> changed;
  int refreshes = 0, repaints = 0, reloads = 0;
};

std::vector<double> Values(const TChartValueList& list) {
  std::vector<double> v;
  v.reserve(list.ValueCount());
  for (int i = 0; i < list.ValueCount(); ++i) v.push_back(list.ValueAt(i));
  return v;
}

TEST(ValueList, ConstructionRegistersWithTheOwner) {
  RecordingOwner owner;
  {
    TChartValueList x(&owner, "X"), y(&owner, "Y");
    ASSERT_EQ(owner.ValueLists().size(), 2u);
    EXPECT_EQ(owner.ValueLists()[0], &x);
    EXPECT_EQ(owner.ValueLists()[1], &y);
    EXPECT_EQ(x.Name(), "X");
    EXPECT_EQ(x.Multiplier(), 1.0);
    EXPECT_EQ(x.Order(), TChartListOrder::loNone);
    EXPECT_FALSE(x.DateTime());
    EXPECT_TRUE(x.StatsStale());
  }
  EXPECT_TRUE(owner.ValueLists().empty());
}

TEST(ValueList, AddInOrder) {
  const struct {
    const char* name;
    TChartListOrder order;
    std::vector<double> added;
    std::vector<int> indices;
    std::vector<double> result;
  } cases[] = {
      {"ascending appends",
       TChartListOrder::loAscending,
       {1, 2, 3, 2.5},
       {0, 1, 2, 2},
       {1, 2, 2.5, 3}},
      {"equal goes after its equals",
       TChartListOrder::loAscending,
       {1, 2, 3, 2},
       {0, 1, 2, 2},
       {1, 2, 2, 3}},
      {"smallest goes first",
       TChartListOrder::loAscending,
       {1, 2, 3, 0},
       {0, 1, 2, 0},
       {0, 1, 2, 3}},
      {"none keeps arrival", TChartListOrder::loNone, {3, 1, 2}, {0, 1, 2}, {3, 1, 2}},
      {"descending",
       TChartListOrder::loDescending,
       {5, 3, 4, 9, 3},
       {0, 1, 1, 0, 4},
       {9, 5, 4, 3, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TChartValueList list(nullptr, "X");
    list.SetOrder(c.order);
    std::vector<int> indices;
    for (double v : c.added) indices.push_back(list.AddInOrder(v));
    EXPECT_EQ(indices, c.indices);
    EXPECT_EQ(Values(list), c.result);
  }
}

TEST(ValueList, StatisticsAreCachedBehindTheStaleFlag) {
  RecordingOwner owner;
  TChartValueList list(&owner, "Y");
  EXPECT_EQ(list.Lowest(), 0);
  EXPECT_EQ(list.Highest(), 0);
  EXPECT_EQ(list.Sum(), 0);
  EXPECT_EQ(list.AbsSum(), 0);
  for (double v : {2.0, -5.0, 4.0}) list.AddInOrder(v);
  EXPECT_TRUE(list.StatsStale());
  EXPECT_EQ(list.Lowest(), -5);
  EXPECT_FALSE(list.StatsStale());
  EXPECT_EQ(list.Highest(), 4);
  EXPECT_EQ(list.Sum(), 1);
  EXPECT_EQ(list.AbsSum(), 11);

  list.SetMultiplier(2);
  EXPECT_TRUE(list.StatsStale());
  EXPECT_EQ(owner.refreshes, 1);
  EXPECT_EQ(owner.repaints, 1);
  EXPECT_EQ(list.Lowest(), -10);
  EXPECT_EQ(list.Highest(), 8);
  EXPECT_EQ(list.Sum(), 2);
  EXPECT_EQ(list.AbsSum(), 22);
  EXPECT_EQ(list.ValueAt(1), -10);

  list.SetMultiplier(2);  // equal: nothing
  EXPECT_FALSE(list.StatsStale());
  EXPECT_EQ(owner.repaints, 1);

  // Every mutation marks the statistics stale.
  const std::function<void()> mutations[] = {
      [&] { list.AddInOrder(1); }, [&] { list.InsertAt(0, 7); }, [&] { list.StoreValueAt(0, 3); },
      [&] { list.RemoveAt(0); },   [&] { list.RotateLeft(); },   [&] { list.RemoveAllValues(); },
  };
  for (const auto& mutate : mutations) {
    list.Lowest();
    mutate();
    EXPECT_TRUE(list.StatsStale());
  }
  EXPECT_EQ(owner.changed, (std::vector<int>{0}));
  EXPECT_EQ(list.ValueCount(), 0);
}

TEST(ValueList, IndexErrors) {
  TChartValueList list(nullptr, "X");
  list.AddInOrder(1);
  list.AddInOrder(2);
  const struct {
    const char* message;
    std::function<void()> call;
  } cases[] = {
      {"List index out of bounds (2)", [&] { list.ValueAt(2); }},
      {"List index out of bounds (-1)", [&] { list.StoreValueAt(-1, 0); }},
      {"List index out of bounds (5)", [&] { list.RemoveAt(5); }},
      {"List index out of bounds (3)", [&] { list.InsertAt(3, 0); }},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
  EXPECT_EQ(Values(list), (std::vector<double>{1, 2}));
  list.InsertAt(2, 3);  // at the end is allowed
  EXPECT_EQ(list.FinalValue(), 3);
  TChartValueList empty(nullptr, "X");
  EXPECT_THROW(empty.FinalValue(), EListError);
}

TEST(ValueList, SettersAndCopies) {
  RecordingOwner owner;
  TChartValueList a(&owner, "X"), b(nullptr, "Y");
  a.SetDateTime(true);
  a.SetDateTime(true);
  EXPECT_EQ(owner.repaints, 1);
  a.SetValueSource("field");
  EXPECT_EQ(owner.reloads, 1);

  for (double v : {3.0, 1.0}) b.AddInOrder(v);
  b.Lowest();
  a.SetOrder(TChartListOrder::loAscending);
  a.SetMultiplier(3);
  b.CopySettingsFrom(&a);
  EXPECT_EQ(b.Order(), TChartListOrder::loAscending);
  EXPECT_TRUE(b.DateTime());
  EXPECT_EQ(b.Multiplier(), 3);
  EXPECT_EQ(b.ValueSource(), "field");
  EXPECT_EQ(b.Name(), "Y");
  // The stored order is not changed by the new Order, and the statistics follow the
  // copied multiplier.
  EXPECT_EQ(Values(b), (std::vector<double>{9, 3}));
  EXPECT_EQ(b.Lowest(), 3);
  b.CopySettingsFrom(nullptr);
  EXPECT_EQ(b.AddInOrder(2), 2);  // only the last stored value (1) is compared
  EXPECT_EQ(b.FindValue(6), 2);
  EXPECT_EQ(b.FindValue(2), -1);
}

}  // namespace
}  // namespace quarvel
