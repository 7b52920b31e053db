#pragma once
// One coordinate of every point of a series: the "X" and "Y" lists hold point i at
// index i. Values are stored as added; every read multiplies by Multiplier (in extended
// precision, rounded to double).
//
// Lowest, Highest, Sum and AbsSum are cached: every mutation and every change of
// Multiplier marks them stale, and the next query recomputes all four once. Indices
// outside the list raise the list error "List index out of bounds (%d)" and change
// nothing.

#include <cstdint>
#include <string>
#include <vector>

namespace quarvel {

class TChartValueList;

enum class TChartListOrder : uint8_t { loNone = 0, loAscending = 1, loDescending = 2 };

// The value lists of one series, in the order they were created (X first, then Y).
// Holds references only; the series owns its lists.
using TChartValueLists = std::vector<TChartValueList*>;

// What a value list needs of the series that owns it. The series (or a test) provides
// the notifications; by default they do nothing.
class TValueListOwner {
 public:
  TChartValueLists& ValueLists() { return valueLists_; }
  // Value i of a list changed in place: dependent series must follow.
  virtual void ValueChanged(int index) { (void)index; }
  // The values changed as a whole (a new Multiplier): dependent series refresh.
  virtual void RefreshDependents() {}
  // The owner's chart must repaint.
  virtual void RepaintChart() {}
  // The series must reload its values from its data source.
  virtual void RefreshFromSource() {}

 protected:
  ~TValueListOwner() = default;

 private:
  TChartValueLists valueLists_;
};

class TChartValueList {
 public:
  // Records the owner (not owned), appends itself to the owner's value lists and
  // starts empty, with Multiplier 1 and Order loNone.
  TChartValueList(TValueListOwner* owner, std::string name);
  virtual ~TChartValueList();
  TChartValueList(const TChartValueList&) = delete;
  TChartValueList& operator=(const TChartValueList&) = delete;

  // Copies Order, DateTime, Multiplier and ValueSource (not Name, not the values).
  virtual void CopySettingsFrom(const TChartValueList* source);
  virtual double ValueAt(int index) const;
  // Overwrites the stored (raw) value and tells the owner value `index` changed.
  virtual void StoreValueAt(int index, double value);
  virtual void RemoveAllValues();
  // Stores `value` where Order wants it and returns its index; equal values keep
  // their order of arrival.
  virtual int AddInOrder(double value);
  virtual void InsertAt(int index, double value);
  virtual int ValueCount() const { return static_cast<int>(values_.size()); }
  virtual void RemoveAt(int index);
  virtual void RotateLeft();

  double FinalValue() const { return ValueAt(ValueCount() - 1); }
  int FindValue(double value) const;
  double Lowest() { return Stats().lowest; }
  double Highest() { return Stats().highest; }
  double Sum() { return Stats().sum; }
  double AbsSum() { return Stats().absSum; }
  bool StatsStale() const { return statsStale_; }

  bool DateTime() const { return dateTime_; }
  void SetDateTime(bool value);
  double Multiplier() const { return multiplier_; }
  void SetMultiplier(double value);
  const std::string& Name() const { return name_; }
  void SetName(const std::string& value) { name_ = value; }
  TChartListOrder Order() const { return order_; }
  void SetOrder(TChartListOrder value) { order_ = value; }
  const std::string& ValueSource() const { return valueSource_; }
  void SetValueSource(const std::string& value);
  TValueListOwner* OwnerSeries() const { return owner_; }

  // The value staged by the series' add operation before its OnBeforeAdd event.
  double PendingValue = 0;

 private:
  struct Statistics {
    double lowest = 0, highest = 0, sum = 0, absSum = 0;
  };
  const Statistics& Stats();
  void CheckIndex(int index, int count) const;

  bool dateTime_ = false;
  std::vector<double> values_;
  Statistics stats_;
  double multiplier_ = 1.0;
  std::string name_;
  TChartListOrder order_ = TChartListOrder::loNone;
  TValueListOwner* owner_;
  std::string valueSource_;
  bool statsStale_ = true;
};

}  // namespace quarvel
