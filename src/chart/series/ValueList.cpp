#include "chart/series/ValueList.h"

#include <algorithm>
#include <cmath>

#include "base/Exception.h"
#include "format/MessageFormat.h"

namespace quarvel {

TChartValueList::TChartValueList(TValueListOwner* owner, std::string name)
    : name_(std::move(name)), owner_(owner) {
  if (owner_) owner_->ValueLists().push_back(this);
  RemoveAllValues();
}

TChartValueList::~TChartValueList() {
  if (!owner_) return;
  auto& lists = owner_->ValueLists();
  lists.erase(std::remove(lists.begin(), lists.end(), this), lists.end());
}

void TChartValueList::CheckIndex(int index, int count) const {
  if (index < 0 || index >= count)
    throw EListError(FormatMessage("List index out of bounds (%d)", {static_cast<int64_t>(index)}));
}

double TChartValueList::ValueAt(int index) const {
  CheckIndex(index, ValueCount());
  // A multiplier of 1 gives every number back as it is stored: no need to form the
  // extended product (this is read several times for every point of every paint).
  if (multiplier_ == 1.0) return values_[index];
  return static_cast<double>(static_cast<long double>(values_[index]) * multiplier_);
}

void TChartValueList::StoreValueAt(int index, double value) {
  CheckIndex(index, ValueCount());
  values_[index] = value;
  statsStale_ = true;
  if (owner_) owner_->ValueChanged(index);
}

void TChartValueList::RemoveAllValues() {
  std::vector<double>().swap(values_);
  statsStale_ = true;
}

int TChartValueList::AddInOrder(double value) {
  int index = ValueCount();
  if (order_ != TChartListOrder::loNone && !values_.empty()) {
    // Scan down from the end past the values that must follow the new one.
    const bool ascending = order_ == TChartListOrder::loAscending;
    int i = ValueCount() - 1;
    while (i >= 0 && (ascending ? values_[i] > value : values_[i] < value)) --i;
    index = i + 1;
  }
  values_.insert(values_.begin() + index, value);
  statsStale_ = true;
  return index;
}

void TChartValueList::InsertAt(int index, double value) {
  CheckIndex(index, ValueCount() + 1);
  values_.insert(values_.begin() + index, value);
  statsStale_ = true;
}

void TChartValueList::RemoveAt(int index) {
  CheckIndex(index, ValueCount());
  values_.erase(values_.begin() + index);
  statsStale_ = true;
}

void TChartValueList::RotateLeft() {
  if (values_.size() < 2) return;
  std::rotate(values_.begin(), values_.begin() + 1, values_.end());
  statsStale_ = true;
}

int TChartValueList::FindValue(double value) const {
  for (int i = 0; i < ValueCount(); ++i)
    if (ValueAt(i) == value) return i;
  return -1;
}

void TChartValueList::CopySettingsFrom(const TChartValueList* source) {
  if (!source) return;
  order_ = source->order_;
  dateTime_ = source->dateTime_;
  // The cached statistics are of the multiplied values: a new multiplier makes them stale.
  if (multiplier_ != source->multiplier_) statsStale_ = true;
  multiplier_ = source->multiplier_;
  valueSource_ = source->valueSource_;
}

void TChartValueList::SetDateTime(bool value) {
  if (value == dateTime_) return;
  dateTime_ = value;
  if (owner_) owner_->RepaintChart();
}

void TChartValueList::SetMultiplier(double value) {
  if (value == multiplier_) return;
  multiplier_ = value;
  statsStale_ = true;
  if (owner_) {
    owner_->RefreshDependents();
    owner_->RepaintChart();
  }
}

void TChartValueList::SetValueSource(const std::string& value) {
  if (value == valueSource_) return;
  valueSource_ = value;
  if (owner_) owner_->RefreshFromSource();
}

const TChartValueList::Statistics& TChartValueList::Stats() {
  if (!statsStale_) return stats_;
  Statistics s;
  // Values that are not numbers (points without a value) are left out.
  int i = 0;
  while (i < ValueCount() && std::isnan(ValueAt(i))) ++i;
  if (i < ValueCount()) {
    const double first = ValueAt(i);
    s = {first, first, first, std::fabs(first)};
    for (++i; i < ValueCount(); ++i) {
      const double v = ValueAt(i);
      if (std::isnan(v)) continue;
      if (v < s.lowest)
        s.lowest = v;
      else if (v > s.highest)
        s.highest = v;
      s.sum = static_cast<double>(static_cast<long double>(s.sum) + v);
      s.absSum = static_cast<double>(static_cast<long double>(s.absSum) + std::fabs(v));
    }
  }
  stats_ = s;
  statsStale_ = false;
  return stats_;
}

}  // namespace quarvel
