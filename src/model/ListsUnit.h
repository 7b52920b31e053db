#pragma once
// The owning object list and its operations. A list variable is a
// std::unique_ptr<TObjectList<T>>; an empty pointer is an absent list, and every
// operation accepts one. The list owns its items; items keep the order of appending.

#include <cstddef>
#include <memory>
#include <vector>

#include "base/Exception.h"
#include "format/MessageFormat.h"

namespace quarvel {

[[noreturn]] inline void RaiseListIndexError(std::ptrdiff_t index) {
  throw EListError(FormatMessage("List index out of bounds (%d)", {static_cast<int64_t>(index)}));
}

template <class T>
class TObjectList {
 public:
  std::ptrdiff_t Count() const { return static_cast<std::ptrdiff_t>(items_.size()); }

  // The item at `index`; the list error when index is outside 0 ... Count() - 1.
  T* Item(std::ptrdiff_t index) const {
    if (index < 0 || index >= Count()) RaiseListIndexError(index);
    return items_[static_cast<std::size_t>(index)].get();
  }

  T* Append(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return items_.back().get();
  }

  // Frees every item, the last first. The entries stay (empty) until the list goes.
  void FreeItems() {
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) it->reset();
  }

 private:
  std::vector<std::unique_ptr<T>> items_;
};

template <class T>
using ListVar = std::unique_ptr<TObjectList<T>>;

template <class T>
T* ListItemAt(const TObjectList<T>* list, std::ptrdiff_t index) {
  if (!list) RaiseListIndexError(index);
  return list->Item(index);
}

template <class T>
T* ListAppend(ListVar<T>& list, std::unique_ptr<T> item) {
  if (!list) list = std::make_unique<TObjectList<T>>();
  return list->Append(std::move(item));
}

template <class T>
std::ptrdiff_t ListCount(const TObjectList<T>* list) {
  return list ? list->Count() : 0;
}

template <class T>
void ListFreeItems(TObjectList<T>* list) {
  if (list) list->FreeItems();
}

template <class P>
void FreeAndClear(std::unique_ptr<P>& variable) {
  variable.reset();
}

// Frees the items, the last first, then the list, and leaves the variable absent.
template <class T>
void ListFreeAll(ListVar<T>& list) {
  if (!list) return;
  ListFreeItems(list.get());
  FreeAndClear(list);
}

}  // namespace quarvel
