// Sets of byte strings in flat open-addressing tables, for the word list's
// distinct words: `WordSet` keeps strings of up to 16 bytes in tables of one
// length each, whose slots are the strings themselves, and longer ones in a
// `ByteStringSet`. Lookups wait in small batches while their slots are
// fetched, so that the tables' cache misses overlap.
#pragma once

#include "platform/Hash.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

// A set of byte strings in an open-addressing table whose slots hold a
// string's first eight bytes and its length, so that most lookups touch one
// cache line; the rest of a longer string is kept in an arena. Strings wait
// in a small batch while their slots are fetched, so that the table's cache
// misses overlap.
class ByteStringSet {
 public:
  ByteStringSet() { Clear(); }

  void Clear() {
    pendingCount_ = 0;
    batch_.clear();
    count_ = 0;
    slots_.assign(kInitialSlots, Slot{});
    arena_.clear();
  }

  // Where the next string is appended before `Add`.
  std::string& Batch() { return batch_; }

  // Adds the string appended to `Batch()` since `start`.
  void Add(size_t start) {
    Pending& p = pending_[pendingCount_++];
    p.Start = start;
    p.Data = nullptr;
    p.Length = static_cast<uint32_t>(batch_.size() - start);
    std::string_view s(batch_.data() + start, p.Length);
    p.Head = Chunk(s.data(), s.size());
    p.Hash = Hash(p.Head, s);
    Prefetch(&slots_[static_cast<size_t>(p.Hash) & (slots_.size() - 1)]);
    if (pendingCount_ == kBatch) Flush();
  }

  // Adds a string whose bytes stay where they are until the next `Flush`.
  void AddView(std::string_view s) {
    Pending& p = pending_[pendingCount_++];
    p.Data = s.data();
    p.Length = static_cast<uint32_t>(s.size());
    p.Head = Chunk(s.data(), s.size());
    p.Hash = Hash(p.Head, s);
    Prefetch(&slots_[static_cast<size_t>(p.Hash) & (slots_.size() - 1)]);
    if (pendingCount_ == kBatch) Flush();
  }

  void Flush() {
    for (size_t k = 0; k < pendingCount_; ++k) {
      const Pending& p = pending_[k];
      Insert(std::string_view(p.Data ? p.Data : batch_.data() + p.Start, p.Length), p.Head, p.Hash);
    }
    pendingCount_ = 0;
    batch_.clear();
  }

  // The number of distinct strings (after `Flush`).
  size_t Count() const { return count_; }

  // Calls `f(bytes)` for every distinct string (after `Flush`).
  template <typename F>
  void ForEach(F&& f) const {
    std::string bytes;
    for (const Slot& slot : slots_) {
      if (slot.LengthPlus1 == 0) continue;
      Bytes(slot, bytes);
      f(std::string_view(bytes));
    }
  }

 private:
  static constexpr size_t kInitialSlots = size_t{1} << 8;
  static constexpr size_t kBatch = 16;

  struct Slot {
    uint64_t Head = 0;         // the first eight bytes, zero-padded
    uint32_t LengthPlus1 = 0;  // 0: empty slot
    uint32_t Tail = 0;         // offset of bytes 8.. in the arena
  };
  struct Pending {
    const char* Data;  // the bytes, or null: in the batch from Start
    size_t Start;
    uint32_t Length;
    uint64_t Head;
    uint64_t Hash;
  };

  static uint64_t Chunk(const char* p, size_t n) { return LoadChunk(p, n); }

  static uint64_t Hash(uint64_t head, std::string_view s) { return HashHeadAndRest(head, s); }

  void Bytes(const Slot& slot, std::string& bytes) const {
    size_t length = slot.LengthPlus1 - 1;
    bytes.assign(reinterpret_cast<const char*>(&slot.Head), length < 8 ? length : 8);
    if (length > 8) bytes.append(arena_, slot.Tail, length - 8);
  }

  void Insert(std::string_view s, uint64_t head, uint64_t h) {
    uint32_t lengthPlus1 = static_cast<uint32_t>(s.size()) + 1;
    size_t mask = slots_.size() - 1;
    size_t i = static_cast<size_t>(h) & mask;
    for (;; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.LengthPlus1 == 0) break;
      if (slot.Head == head && slot.LengthPlus1 == lengthPlus1 &&
          (s.size() <= 8 || std::memcmp(arena_.data() + slot.Tail, s.data() + 8, s.size() - 8) == 0)) {
        return;
      }
    }
    Slot& slot = slots_[i];
    slot.Head = head;
    slot.LengthPlus1 = lengthPlus1;
    if (s.size() > 8) {
      slot.Tail = static_cast<uint32_t>(arena_.size());
      arena_.append(s.substr(8));
    }
    if (++count_ * 4 > slots_.size() * 3) Grow();
  }

  void Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.size() * 2, Slot{});
    size_t mask = slots_.size() - 1;
    std::string bytes;
    for (const Slot& slot : old) {
      if (slot.LengthPlus1 == 0) continue;
      Bytes(slot, bytes);
      size_t i = static_cast<size_t>(Hash(slot.Head, bytes)) & mask;
      while (slots_[i].LengthPlus1 != 0) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::string arena_;
  size_t count_ = 0;
  Pending pending_[kBatch];
  size_t pendingCount_ = 0;
  std::string batch_;
};

// A byte string of 1 to 16 bytes as two little words, zero-padded.
struct ShortKey {
  uint64_t Lo = 0;  // bytes 0..7
  uint64_t Hi = 0;  // bytes 8..15
};

constexpr size_t kShortKeyMax = 16;

inline uint64_t LowBytesMask(size_t n) { return n >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * n)) - 1; }

// The key of the `n` (1..16) bytes at `p`; 16 bytes from `p` must be readable.
inline ShortKey LoadShortKey(const char* p, size_t n) {
  ShortKey k;
  std::memcpy(&k.Lo, p, 8);
  std::memcpy(&k.Hi, p + 8, 8);
  if (n <= 8) {
    k.Lo &= LowBytesMask(n);
    k.Hi = 0;
  } else {
    k.Hi &= LowBytesMask(n - 8);
  }
  return k;
}

inline uint64_t HashShortKey(ShortKey k) { return HashTwoWords(k.Lo, k.Hi); }

// A set of keys of one byte length, in an open-addressing table whose slots
// are the keys themselves (one word, or two for lengths above 8); a zero key
// marks an empty slot, so the all-zero key is kept apart.
template <size_t Words>
class FixedKeySet {
 public:
  FixedKeySet() { Clear(); }

  void Clear() {
    slots_.assign(kInitialSlots * Words, 0);
    mask_ = kInitialSlots - 1;
    count_ = 0;
    zero_ = false;
  }

  // Makes room for `keys` keys at once (an empty set only).
  void Reserve(size_t keys) {
    if (count_ != 0 || zero_) return;
    size_t slots = kInitialSlots;
    while (keys * 4 > slots * 3) slots *= 2;
    if (slots <= mask_ + 1) return;
    slots_.assign(slots * Words, 0);
    mask_ = slots - 1;
  }

  void Prefetch(uint64_t hash) const { kalix::Prefetch(&slots_[(hash & mask_) * Words]); }

  void Insert(ShortKey k, uint64_t hash) {
    if (k.Lo == 0 && (Words == 1 || k.Hi == 0)) {
      zero_ = true;
      return;
    }
    for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
      uint64_t* slot = &slots_[i * Words];
      if (slot[0] == k.Lo && (Words == 1 || slot[Words - 1] == k.Hi)) return;
      if (slot[0] == 0 && (Words == 1 || slot[Words - 1] == 0)) {
        slot[0] = k.Lo;
        if (Words == 2) slot[Words - 1] = k.Hi;
        if (++count_ * 4 > (mask_ + 1) * 3) Grow();
        return;
      }
    }
  }

  size_t Count() const { return count_ + (zero_ ? 1 : 0); }

  // Calls `f(key)` for every key of the set.
  template <typename F>
  void ForEach(F&& f) const {
    if (zero_) f(ShortKey{});
    for (size_t i = 0; i <= mask_; ++i) {
      const uint64_t* slot = &slots_[i * Words];
      if (slot[0] == 0 && (Words == 1 || slot[Words - 1] == 0)) continue;
      ShortKey k;
      k.Lo = slot[0];
      if (Words == 2) k.Hi = slot[Words - 1];
      f(k);
    }
  }

 private:
  static constexpr size_t kInitialSlots = size_t{1} << 8;

  void Grow() {
    std::vector<uint64_t> old;
    old.swap(slots_);
    const size_t oldSlots = mask_ + 1;
    slots_.assign(oldSlots * 2 * Words, 0);
    mask_ = oldSlots * 2 - 1;
    for (size_t j = 0; j < oldSlots; ++j) {
      const uint64_t* from = &old[j * Words];
      if (from[0] == 0 && (Words == 1 || from[Words - 1] == 0)) continue;
      ShortKey k;
      k.Lo = from[0];
      if (Words == 2) k.Hi = from[Words - 1];
      size_t i = HashShortKey(k) & mask_;
      while (slots_[i * Words] != 0 || (Words == 2 && slots_[i * Words + Words - 1] != 0)) i = (i + 1) & mask_;
      for (size_t w = 0; w < Words; ++w) slots_[i * Words + w] = from[w];
    }
  }

  std::vector<uint64_t> slots_;
  size_t mask_ = 0;
  size_t count_ = 0;
  bool zero_ = false;
};

// A set of byte strings: one table per length up to 16 bytes, whose slots
// are the strings themselves, and one for the rest. Short strings wait in a
// batch while their slots are fetched, so that the tables' cache misses
// overlap.
class WordSet {
 public:
  // Adds the `n` bytes at `p`. With `padded`, 16 bytes from `p` are
  // readable; otherwise, for a long string, the bytes must stay where they
  // are until the next `Flush`.
  void Add(const char* p, size_t n, bool padded) {
    if (n == 0 || n > kShortKeyMax) {
      long_.AddView(std::string_view(p, n));
      return;
    }
    ShortKey k;
    if (padded) {
      k = LoadShortKey(p, n);
    } else {
      char buffer[kShortKeyMax] = {};
      std::memcpy(buffer, p, n);
      k = LoadShortKey(buffer, n);
    }
    const uint64_t hash = HashShortKey(k);
    if (n <= 8) {
      narrow_[n].Prefetch(hash);
    } else {
      wide_[n - 8].Prefetch(hash);
    }
    Pending& pending = pending_[pendingCount_++];
    pending.Key = k;
    pending.Hash = hash;
    pending.Length = n;
    if (pendingCount_ == kBatch) FlushShort();
  }

  // Adds a string whose bytes may change after the call.
  void AddCopy(std::string_view s) {
    if (s.empty() || s.size() > kShortKeyMax) {
      std::string& batch = long_.Batch();
      size_t start = batch.size();
      batch.append(s);
      long_.Add(start);
      return;
    }
    Add(s.data(), s.size(), false);
  }

  void Flush() {
    FlushShort();
    long_.Flush();
  }

  void Clear() {
    pendingCount_ = 0;
    for (auto& set : narrow_) set.Clear();
    for (auto& set : wide_) set.Clear();
    long_.Clear();
  }

  // Makes room in each short-string table for as many strings as `other`
  // holds of that length (an empty set only).
  void ReserveLike(const WordSet& other) {
    for (size_t n = 1; n <= 8; ++n) narrow_[n].Reserve(other.narrow_[n].Count());
    for (size_t n = 9; n <= kShortKeyMax; ++n) wide_[n - 8].Reserve(other.wide_[n - 8].Count());
  }

  // The number of distinct strings (after `Flush`).
  size_t Count() const {
    size_t n = long_.Count();
    for (const auto& set : narrow_) n += set.Count();
    for (const auto& set : wide_) n += set.Count();
    return n;
  }

  // Calls `f(bytes)` for every distinct string (after `Flush`).
  template <typename F>
  void ForEach(F&& f) const {
    char bytes[kShortKeyMax];
    for (size_t n = 1; n <= 8; ++n) {
      narrow_[n].ForEach([&](ShortKey k) {
        std::memcpy(bytes, &k.Lo, 8);
        f(std::string_view(bytes, n));
      });
    }
    for (size_t n = 9; n <= kShortKeyMax; ++n) {
      wide_[n - 8].ForEach([&](ShortKey k) {
        std::memcpy(bytes, &k.Lo, 8);
        std::memcpy(bytes + 8, &k.Hi, 8);
        f(std::string_view(bytes, n));
      });
    }
    long_.ForEach(f);
  }

 private:
  static constexpr size_t kBatch = 32;
  struct Pending {
    ShortKey Key;
    uint64_t Hash;
    size_t Length;
  };

  void FlushShort() {
    for (size_t j = 0; j < pendingCount_; ++j) {
      const Pending& p = pending_[j];
      if (p.Length <= 8) {
        narrow_[p.Length].Insert(p.Key, p.Hash);
      } else {
        wide_[p.Length - 8].Insert(p.Key, p.Hash);
      }
    }
    pendingCount_ = 0;
  }

  FixedKeySet<1> narrow_[9];  // by length; [0] unused
  FixedKeySet<2> wide_[9];    // by length - 8; [0] unused
  ByteStringSet long_;
  Pending pending_[kBatch];
  size_t pendingCount_ = 0;
};

}  // namespace kalix
