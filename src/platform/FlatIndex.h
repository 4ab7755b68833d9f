// A flat hash index: numbers (0, 1, 2, ...) of byte strings kept elsewhere,
// found by their strings. Its slots hold a string's number, its first eight
// bytes, its length (up to 255) and bits of its hash, in one open-addressing
// table: a string of at most eight bytes is found by its slot alone, a longer
// one is read only when its slot agrees. The strings themselves are read
// through a function given to each lookup, which returns the string of a
// number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/FlatTable.h"
#include "platform/Memory.h"

namespace kalix {

class FlatIndex {
 public:
  // The number of `key` (whose hash is `hash`; its bits 8 to 31 place the
  // slot) if `keyOf(number)` gives it for a number of the index; otherwise
  // `key` is added with the next number (the number of strings added so
  // far), which is returned: numbers are 0, 1, 2, ... in the order the
  // strings were added.
  template <typename KeyOf>
  uint32_t FindOrAdd(std::string_view key, uint32_t hash, KeyOf&& keyOf) {
    const uint64_t head = Head(key);
    const uint32_t check = (hash & ~uint32_t{255}) | static_cast<uint32_t>(key.size() < 255 ? key.size() : 255);
    const auto probe = slots_.Find(check >> 8, [&](const Slot& s) {
      return s.check == check && s.head == head && (key.size() <= 8 || keyOf(s.numberPlus1 - 1) == key);
    });
    if (probe.found) return probe.slot->numberPlus1 - 1;
    const uint32_t number = static_cast<uint32_t>(slots_.Count());
    slots_.Fill(probe, Slot{head, check, number + 1}, [](const Slot& s) { return s.check >> 8; });
    return number;
  }

  // The number of `key` (found as by `FindOrAdd`), or kNone when the index
  // does not hold it.
  static constexpr uint32_t kNone = UINT32_MAX;
  template <typename KeyOf>
  uint32_t Find(std::string_view key, uint32_t hash, KeyOf&& keyOf) const {
    const uint64_t head = Head(key);
    const uint32_t check = (hash & ~uint32_t{255}) | static_cast<uint32_t>(key.size() < 255 ? key.size() : 255);
    const auto probe = slots_.Find(check >> 8, [&](const Slot& s) {
      return s.check == check && s.head == head && (key.size() <= 8 || keyOf(s.numberPlus1 - 1) == key);
    });
    return probe.found ? probe.slot->numberPlus1 - 1 : kNone;
  }

  // Asks for the slot where the string of `hash` is looked up first.
  void Prefetch(uint32_t hash) const { slots_.Prefetch(hash >> 8); }

  size_t size() const { return slots_.Count(); }

  // Empties the index and gives its memory back.
  void Clear() { slots_.Clear(); }

 private:
  static constexpr size_t kInitialSlots = 1024;
  struct Slot {
    uint64_t head;         // the first eight bytes, zeros after the string
    uint32_t check;        // bits 8-31 of the hash (they place the slot), the length up to 255
    uint32_t numberPlus1;  // 0: empty
    bool Empty() const { return numberPlus1 == 0; }
  };

  static uint64_t Head(std::string_view key) {
    uint64_t v = 0;
    std::memcpy(&v, key.data(), key.size() < 8 ? key.size() : 8);
    return v;
  }

  // Large tables are mapped on their own, with huge pages where the system
  // allows: lookups jump all over them.
  FlatTable<Slot, LargeBlockAllocator<Slot>> slots_{kInitialSlots};
};

}  // namespace kalix
