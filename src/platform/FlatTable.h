// The one flat hash table of the program's indexes and sets: open
// addressing over a slot type of the user's choice, placed by the low bits
// of a hash and probed linearly. The table owns the probe loop, the
// power-of-two mask, the load rule (never more than three quarters of the
// slots filled), growth (every slot placed again, in slot order, in a table
// twice the size) and the prefetch of the first slot a hash is looked in.
// Each user keeps the layout of its slots (they are sized to cache lines)
// and says:
//   - what an empty slot is: `Slot{}` is empty, and `slot.Empty()` tells
//     whether a slot is;
//   - where a slot's hash bits are: `Fill`, which may grow the table, takes
//     `hashOf(slot)`, which gives the hash a filled slot was placed by (read
//     from the slot, or computed again from its key).
//
// A table takes no memory until its first slot is filled. Before that it
// looks at one shared empty slot, so that `Prefetch`, `Home` and the probes
// need no check.
#pragma once

#include "platform/Hash.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace kalix {

template <typename Slot, typename Allocator = std::allocator<Slot>>
class FlatTable {
 public:
  // Where a probe stopped: at the slot that holds the key (`found`), or at
  // the empty slot where the key goes.
  struct Probe {
    const Slot* slot;
    bool found;
    size_t hash;
  };

  // A table that starts at `initialSlots` slots (a power of two, 2 or more)
  // when its first slot is filled.
  explicit FlatTable(size_t initialSlots) : initial_(initialSlots) {}

  FlatTable(const FlatTable& other)
      : storage_(other.storage_),
        mask_(other.mask_),
        limit_(other.limit_),
        count_(other.count_),
        initial_(other.initial_) {
    Point();
  }
  FlatTable(FlatTable&& other) noexcept
      : storage_(std::move(other.storage_)),
        mask_(other.mask_),
        limit_(other.limit_),
        count_(other.count_),
        initial_(other.initial_) {
    Point();
    other.Clear();
  }
  FlatTable& operator=(const FlatTable& other) {
    if (this != &other) {
      storage_ = other.storage_;
      mask_ = other.mask_;
      limit_ = other.limit_;
      count_ = other.count_;
      initial_ = other.initial_;
      Point();
    }
    return *this;
  }
  FlatTable& operator=(FlatTable&& other) noexcept {
    if (this != &other) {
      storage_ = std::move(other.storage_);
      mask_ = other.mask_;
      limit_ = other.limit_;
      count_ = other.count_;
      initial_ = other.initial_;
      Point();
      other.Clear();
    }
    return *this;
  }

  // The number of slots filled.
  size_t Count() const { return count_; }
  // The number of slots; 0 until the first is filled.
  size_t Capacity() const { return mask_ == 0 ? 0 : mask_ + 1; }

  // The first slot a key of `hash` is looked in.
  const Slot& Home(size_t hash) const { return slots_[hash & mask_]; }

  // Asks for the first slot a key of `hash` is looked in, ahead of its
  // lookup.
  void Prefetch(size_t hash) const { kalix::Prefetch(&slots_[hash & mask_]); }

  // Looks for the key of `hash` from its first slot on: stops at the first
  // empty slot, or at the first filled one that `match(slot)` accepts
  // (`match` is never asked about an empty slot).
  template <typename Match>
  Probe Find(size_t hash, Match&& match) const {
    for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
      const Slot& slot = slots_[i];
      if (slot.Empty()) return Probe{&slot, false, hash};
      if (match(slot)) return Probe{&slot, true, hash};
    }
  }

  // The same for slots that are their own keys, where a key never equals an
  // empty slot: `match` is asked first, then whether the slot is empty, so
  // that a key found in its first slot costs one comparison.
  template <typename Match>
  Probe FindKey(size_t hash, Match&& match) const {
    for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
      const Slot& slot = slots_[i];
      if (match(slot)) return Probe{&slot, true, hash};
      if (slot.Empty()) return Probe{&slot, false, hash};
    }
  }

  // Puts `value` in the empty slot where `probe` stopped (nothing having
  // been filled since). Once more than three quarters of the slots are
  // filled, the table doubles, each slot placed again by `hashOf(slot)`.
  template <typename HashOf>
  void Fill(const Probe& probe, const Slot& value, HashOf&& hashOf) {
    if (mask_ == 0) {
      FillFirst(probe.hash, value);
      return;
    }
    *const_cast<Slot*>(probe.slot) = value;  // in storage_
    if (++count_ > limit_) Grow(hashOf);
  }

  // Makes room for `keys` filled slots at once, so that filling them does
  // not grow the table (an empty table only).
  void Reserve(size_t keys) {
    if (count_ != 0 || keys == 0) return;
    size_t slots = initial_;
    while (keys * 4 > slots * 3) slots *= 2;
    if (slots <= Capacity()) return;
    Allocate(slots);
  }

  // Empties the table and gives its memory back.
  void Clear() {
    storage_ = Storage();
    mask_ = 0;
    limit_ = 0;
    count_ = 0;
    Point();
  }

  // Calls `f(slot)` for every filled slot, in slot order.
  template <typename F>
  void ForEach(F&& f) const {
    for (const Slot& slot : storage_) {
      if (!slot.Empty()) f(slot);
    }
  }

 private:
  using Storage = std::vector<Slot, Allocator>;

  // What an unmade table looks at.
  static inline const Slot kNoSlot{};

  void Point() { slots_ = storage_.empty() ? &kNoSlot : storage_.data(); }

  void Allocate(size_t slots) {
    storage_.assign(slots, Slot{});
    mask_ = slots - 1;
    limit_ = slots * 3 / 4;
    Point();
  }

  // The first slot filled: the table is made, and the key's first slot is
  // free.
  [[gnu::noinline]] void FillFirst(size_t hash, Slot value) {
    Allocate(initial_);
    storage_[hash & mask_] = value;
    count_ = 1;
  }

  // Out of line, so that what fills a slot stays small where it is used.
  template <typename HashOf>
  [[gnu::noinline]] void Grow(HashOf&& hashOf) {
    Storage old;
    old.swap(storage_);
    Allocate(old.size() * 2);
    // In locals: stores to the slots could otherwise be the mask's.
    Slot* const slots = storage_.data();
    const size_t mask = mask_;
    for (const Slot& slot : old) {
      if (slot.Empty()) continue;
      size_t i = static_cast<size_t>(hashOf(slot)) & mask;
      while (!slots[i].Empty()) i = (i + 1) & mask;
      slots[i] = slot;
    }
  }

  Storage storage_;
  const Slot* slots_ = &kNoSlot;  // storage_, or kNoSlot while it is empty
  size_t mask_ = 0;               // slots - 1; 0 while the table is unmade
  size_t limit_ = 0;              // the most slots filled before the table grows
  size_t count_ = 0;
  size_t initial_;
};

}  // namespace kalix
