// A flat hash index: numbers (0, 1, 2, ...) of byte strings kept elsewhere,
// found by their strings. Its slots hold a string's hash and number, in one
// open-addressing table, so that a lookup reads a string only when the hashes
// agree. The strings themselves are read through a function given to each
// lookup, which returns the string of a number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kalix {

class FlatIndex {
 public:
  // The number of `key` (whose hash is `hash`), if `keyOf(number)` gives it
  // for a number of the index; otherwise `fresh`, which is added with `key`
  // as its string. `fresh` is the number of strings added so far, so that the
  // numbers are 0, 1, 2, ... in the order they were added.
  template <typename KeyOf>
  uint32_t FindOrAdd(std::string_view key, uint32_t hash, KeyOf&& keyOf) {
    if (slots_.empty()) Resize(kInitialSlots);
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    for (;; i = (i + 1) & mask) {
      const Slot s = slots_[i];
      if (s.numberPlus1 == 0) break;
      if (s.hash == hash && keyOf(s.numberPlus1 - 1) == key) return s.numberPlus1 - 1;
    }
    const uint32_t number = static_cast<uint32_t>(count_);
    slots_[i] = Slot{hash, number + 1};
    if (++count_ * 4 > slots_.size() * 3) Resize(slots_.size() * 2);
    return number;
  }

  // Asks for the slot where the string of `hash` is looked up first.
  void Prefetch(uint32_t hash) const {
#if defined(__GNUC__) || defined(__clang__)
    if (!slots_.empty()) __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
#else
    (void)hash;
#endif
  }

  size_t size() const { return count_; }

  // Empties the index and gives its memory back.
  void Clear() {
    slots_ = std::vector<Slot>();
    count_ = 0;
  }

 private:
  static constexpr size_t kInitialSlots = 1024;
  struct Slot {
    uint32_t hash;
    uint32_t numberPlus1;  // 0: empty
  };

  void Resize(size_t slots) {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(slots, Slot{0, 0});
    const size_t mask = slots - 1;
    for (const Slot& s : old) {
      if (s.numberPlus1 == 0) continue;
      size_t i = s.hash & mask;
      while (slots_[i].numberPlus1 != 0) i = (i + 1) & mask;
      slots_[i] = s;
    }
  }

  std::vector<Slot> slots_;
  size_t count_ = 0;
};

}  // namespace kalix
