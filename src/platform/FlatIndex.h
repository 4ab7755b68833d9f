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
#include <vector>

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
    if (slots_.empty()) Resize(kInitialSlots);
    const size_t mask = slots_.size() - 1;
    const uint64_t head = Head(key);
    const uint32_t check = (hash & ~uint32_t{255}) | static_cast<uint32_t>(key.size() < 255 ? key.size() : 255);
    size_t i = (check >> 8) & mask;
    for (;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (s.numberPlus1 == 0) break;
      if (s.check == check && s.head == head && (key.size() <= 8 || keyOf(s.numberPlus1 - 1) == key)) {
        return s.numberPlus1 - 1;
      }
    }
    const uint32_t number = static_cast<uint32_t>(count_);
    slots_[i] = Slot{head, check, number + 1};
    if (++count_ * 4 > slots_.size() * 3) Resize(slots_.size() * 2);
    return number;
  }

  // Asks for the slot where the string of `hash` is looked up first.
  void Prefetch(uint32_t hash) const {
#if defined(__GNUC__) || defined(__clang__)
    if (!slots_.empty()) __builtin_prefetch(&slots_[(hash >> 8) & (slots_.size() - 1)]);
#else
    (void)hash;
#endif
  }

  size_t size() const { return count_; }

  // Empties the index and gives its memory back.
  void Clear() {
    slots_ = Slots();
    count_ = 0;
  }

 private:
  static constexpr size_t kInitialSlots = 1024;
  struct Slot {
    uint64_t head;         // the first eight bytes, zeros after the string
    uint32_t check;        // bits 8-31 of the hash (they place the slot), the length up to 255
    uint32_t numberPlus1;  // 0: empty
  };

  static uint64_t Head(std::string_view key) {
    uint64_t v = 0;
    std::memcpy(&v, key.data(), key.size() < 8 ? key.size() : 8);
    return v;
  }

  void Resize(size_t slots) {
    Slots old = std::move(slots_);
    slots_.assign(slots, Slot{});
    const size_t mask = slots - 1;
    for (const Slot& s : old) {
      if (s.numberPlus1 == 0) continue;
      size_t i = (s.check >> 8) & mask;
      while (slots_[i].numberPlus1 != 0) i = (i + 1) & mask;
      slots_[i] = s;
    }
  }

  // Large tables are mapped on their own, with huge pages where the system
  // allows: lookups jump all over them.
  using Slots = std::vector<Slot, LargeBlockAllocator<Slot>>;
  Slots slots_;
  size_t count_ = 0;
};

}  // namespace kalix
