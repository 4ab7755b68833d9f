// Sets of byte strings in flat open-addressing tables, for the word list's
// distinct words: `WordSet` keeps strings of up to 16 bytes in tables of one
// length each, whose slots are the strings themselves, and longer ones in a
// `ByteStringSet`. Lookups wait in small batches while their slots are
// fetched, so that the tables' cache misses overlap.
#pragma once

#include "platform/FlatTable.h"
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
    slots_.Clear();
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
    slots_.Prefetch(static_cast<size_t>(p.Hash));
    if (pendingCount_ == kBatch) Flush();
  }

  // Adds a string whose bytes stay where they are until the next `Flush`.
  void AddView(std::string_view s) {
    Pending& p = pending_[pendingCount_++];
    p.Data = s.data();
    p.Length = static_cast<uint32_t>(s.size());
    p.Head = Chunk(s.data(), s.size());
    p.Hash = Hash(p.Head, s);
    slots_.Prefetch(static_cast<size_t>(p.Hash));
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
  size_t Count() const { return slots_.Count(); }

  // Calls `f(bytes)` for every distinct string (after `Flush`).
  template <typename F>
  void ForEach(F&& f) const {
    std::string bytes;
    slots_.ForEach([&](const Slot& slot) {
      Bytes(slot, bytes);
      f(std::string_view(bytes));
    });
  }

 private:
  static constexpr size_t kInitialSlots = size_t{1} << 8;
  static constexpr size_t kBatch = 16;

  struct Slot {
    uint64_t Head = 0;         // the first eight bytes, zero-padded
    uint32_t LengthPlus1 = 0;  // 0: empty slot
    uint32_t Tail = 0;         // offset of bytes 8.. in the arena
    bool Empty() const { return LengthPlus1 == 0; }
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
    const uint32_t lengthPlus1 = static_cast<uint32_t>(s.size()) + 1;
    const auto probe = slots_.Find(static_cast<size_t>(h), [&](const Slot& slot) {
      return slot.Head == head && slot.LengthPlus1 == lengthPlus1 &&
             (s.size() <= 8 || std::memcmp(arena_.data() + slot.Tail, s.data() + 8, s.size() - 8) == 0);
    });
    if (probe.found) return;
    Slot slot;
    slot.Head = head;
    slot.LengthPlus1 = lengthPlus1;
    if (s.size() > 8) {
      slot.Tail = static_cast<uint32_t>(arena_.size());
      arena_.append(s.substr(8));
    }
    // A slot's hash is computed again from its bytes when the table grows.
    slots_.Fill(probe, slot, [this, bytes = std::string()](const Slot& filled) mutable {
      Bytes(filled, bytes);
      return static_cast<size_t>(Hash(filled.Head, bytes));
    });
  }

  FlatTable<Slot> slots_{kInitialSlots};
  std::string arena_;
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
  static_assert(Words == 1 || Words == 2, "keys of one or two words");

 public:
  void Clear() {
    slots_.Clear();
    zero_ = false;
  }

  // Makes room for `keys` keys at once (an empty set only).
  void Reserve(size_t keys) {
    if (!zero_) slots_.Reserve(keys);
  }

  void Prefetch(uint64_t hash) const { slots_.Prefetch(static_cast<size_t>(hash)); }

  void Insert(ShortKey k, uint64_t hash) {
    if (k.Lo == 0 && (Words == 1 || k.Hi == 0)) {
      zero_ = true;
      return;
    }
    const auto probe = slots_.FindKey(static_cast<size_t>(hash), [&](const Slot& slot) { return slot.Holds(k); });
    if (probe.found) return;
    slots_.Fill(probe, Slot(k), [](const Slot& slot) { return static_cast<size_t>(HashShortKey(slot.Key())); });
  }

  size_t Count() const { return slots_.Count() + (zero_ ? 1 : 0); }

  // Calls `f(key)` for every key of the set.
  template <typename F>
  void ForEach(F&& f) const {
    if (zero_) f(ShortKey{});
    slots_.ForEach([&](const Slot& slot) { f(slot.Key()); });
  }

 private:
  static constexpr size_t kInitialSlots = size_t{1} << 8;

  // A key as it is kept: its words, all zero in an empty slot.
  struct Slot {
    uint64_t Word[Words] = {};

    Slot() = default;
    explicit Slot(ShortKey k) {
      Word[0] = k.Lo;
      if constexpr (Words == 2) Word[1] = k.Hi;
    }
    bool Empty() const { return Word[0] == 0 && (Words == 1 || Word[Words - 1] == 0); }
    bool Holds(ShortKey k) const { return Word[0] == k.Lo && (Words == 1 || Word[Words - 1] == k.Hi); }
    ShortKey Key() const {
      ShortKey k;
      k.Lo = Word[0];
      if constexpr (Words == 2) k.Hi = Word[1];
      return k;
    }
  };

  FlatTable<Slot> slots_{kInitialSlots};
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
      AddLong(std::string_view(p, n));
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

  // Out of line, as `ReserveLike`: both are called once a document, and the
  // code that calls them also calls `Add` for every string.
  [[gnu::noinline]] void Clear() {
    pendingCount_ = 0;
    for (auto& set : narrow_) set.Clear();
    for (auto& set : wide_) set.Clear();
    long_.Clear();
  }

  // Makes room in each short-string table for as many strings as `other`
  // holds of that length (an empty set only).
  [[gnu::noinline]] void ReserveLike(const WordSet& other) {
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

  // Out of line, as `FlushShort`: `Add`, called for every string, stays
  // small where it is used.
  [[gnu::noinline]] void AddLong(std::string_view s) { long_.AddView(s); }

  [[gnu::noinline]] void FlushShort() {
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
