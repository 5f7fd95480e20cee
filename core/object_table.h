// Numbered-object tables: every window, control, font and image is named by a
// small integer the program chooses, or by a number the table picks for it.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <limits>
#include <list>
#include <vector>

inline constexpr int AutoNumber = -1;

// Record must be a plain struct whose `handle` member is non-zero while the
// object lives; a value-initialised Record is an empty slot.
template <class Record>
class ObjectTable {
 public:
  // Called with a number just before its slot is handed out again; it is
  // expected to free the native object and Release() the number.
  using ReleaseHook = void (*)(int number);

  ObjectTable(int initialCapacity, int growthStep, ReleaseHook hook)
      : growthStep_(growthStep), hook_(hook), slots_(static_cast<std::size_t>(initialCapacity)) {
    assert(initialCapacity >= 0 && growthStep > 0 && "a table must be able to grow");
  }

  ObjectTable(const ObjectTable&) = delete;
  ObjectTable& operator=(const ObjectTable&) = delete;

  int Capacity() const { return static_cast<int>(slots_.size()); }

  // Hands out a zero-filled record for `number` and stores the number it
  // names in `*assigned` (a new auto number for AutoNumber). Returns null for
  // a number no table can hold (below -1).
  Record* Take(int number, int* assigned) {
    if (number == AutoNumber) {
      const int fresh = NextAutoNumber();
      if (fresh == 0) return nullptr;
      autos_.push_back(AutoRecord{fresh, Record{}});
      *assigned = fresh;
      return &autos_.back().record;
    }
    if (number < 0) return nullptr;
    if (Find(number) && hook_) hook_(number);
    if (static_cast<std::size_t>(number) >= slots_.size()) {
      slots_.resize(static_cast<std::size_t>(number) + static_cast<std::size_t>(growthStep_));
    }
    Record& slot = slots_[static_cast<std::size_t>(number)];
    slot = Record{};
    *assigned = number;
    return &slot;
  }

  Record* Find(int number) {
    if (number >= 0) {
      if (static_cast<std::size_t>(number) >= slots_.size()) return nullptr;
      Record& slot = slots_[static_cast<std::size_t>(number)];
      return slot.handle != 0 ? &slot : nullptr;
    }
    for (AutoRecord& a : autos_) {
      if (a.number == number) return &a.record;
    }
    return nullptr;
  }

  void Release(int number) {
    if (number >= 0) {
      if (static_cast<std::size_t>(number) < slots_.size()) slots_[static_cast<std::size_t>(number)] = Record{};
      return;
    }
    autos_.remove_if([number](const AutoRecord& a) { return a.number == number; });
  }

  // Numbers in use: slots in ascending order, then auto numbers oldest first.
  // A copy, so that callers may release objects while walking it.
  std::vector<int> Numbers() const {
    std::vector<int> out;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      if (slots_[i].handle != 0) out.push_back(static_cast<int>(i));
    }
    for (const AutoRecord& a : autos_) out.push_back(a.number);
    return out;
  }

 private:
  struct AutoRecord {
    int number;
    Record record;
  };

  // Auto numbers count down from -2, so they can never meet a slot number or
  // AutoNumber itself. Returns 0 once the range is spent.
  int NextAutoNumber() {
    for (int tries = 0; tries < 1024; ++tries) {
      if (nextAuto_ == std::numeric_limits<int>::min()) nextAuto_ = -2;
      const int candidate = nextAuto_--;
      const bool inUse = std::any_of(autos_.begin(), autos_.end(),
                                     [candidate](const AutoRecord& a) { return a.number == candidate; });
      if (!inUse) return candidate;
    }
    return 0;
  }

  int growthStep_;
  ReleaseHook hook_;
  std::vector<Record> slots_;
  std::list<AutoRecord> autos_;
  int nextAuto_ = -2;
};
