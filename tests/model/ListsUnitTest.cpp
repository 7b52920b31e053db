#include "model/ListsUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarvel {
namespace {

// Records the order in which items are freed.
struct Tracked {
  Tracked(int itemId, std::vector<int>* freed) : id(itemId), log(freed) {}
  ~Tracked() { log->push_back(id); }
  int id;
  std::vector<int>* log;
};

std::string ListErrorMessage(const TObjectList<Tracked>* list, std::ptrdiff_t index) {
  try {
    ListItemAt(list, index);
  } catch (const EListError& e) {
    return e.Message();
  }
  return "no error";
}

TEST(ListsUnit, AbsentListIsAcceptedEverywhere) {
  ListVar<Tracked> list;
  EXPECT_EQ(ListCount(list.get()), 0);
  EXPECT_EQ(ListErrorMessage(list.get(), 0), "List index out of bounds (0)");
  ListFreeItems(list.get());
  ListFreeAll(list);
  EXPECT_EQ(list, nullptr);
}

TEST(ListsUnit, AppendCreatesAndIndexesAreChecked) {
  std::vector<int> freed;
  ListVar<Tracked> list;
  Tracked* first = ListAppend(list, std::make_unique<Tracked>(1, &freed));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ListCount(list.get()), 1);
  EXPECT_EQ(ListItemAt(list.get(), 0), first);
  ListAppend(list, std::make_unique<Tracked>(2, &freed));
  EXPECT_EQ(ListItemAt(list.get(), 1)->id, 2);
  EXPECT_EQ(ListErrorMessage(list.get(), 2), "List index out of bounds (2)");
  EXPECT_EQ(ListErrorMessage(list.get(), -1), "List index out of bounds (-1)");
  EXPECT_EQ(ListCount(list.get()), 2);
  EXPECT_TRUE(freed.empty());
}

TEST(ListsUnit, FreeAllFreesLastFirstThenTheList) {
  std::vector<int> freed;
  ListVar<Tracked> list;
  for (int id = 1; id <= 3; ++id) ListAppend(list, std::make_unique<Tracked>(id, &freed));
  ListFreeAll(list);
  EXPECT_EQ(freed, (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(list, nullptr);
}

}  // namespace
}  // namespace quarvel
