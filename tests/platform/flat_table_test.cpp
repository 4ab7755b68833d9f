// The flat table holds exactly what was filled in, whatever the hashes:
// checked against std::unordered_map and std::set over random sequences of
// lookups and fills, with hashes that spread, that all collide, that differ
// only above the mask, and with the zero key. Growth keeps every key, and
// the load rule holds after every fill.
#include "platform/FlatTable.h"
#include "platform/Hash.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <unordered_map>
#include <vector>

namespace kalix {
namespace {

// A map slot: a key (0 included) and its value; the value marks the slot
// filled, and the hash is kept, as the collector's index keeps it.
struct MapSlot {
  uint64_t key;
  uint32_t hash;
  uint32_t valuePlus1;  // 0: empty
  bool Empty() const { return valuePlus1 == 0; }
};

// A set slot that is its own key: 0 is the empty slot, so a set keeps the
// zero key apart (as the word sets do).
struct KeySlot {
  uint64_t key;
  bool Empty() const { return key == 0; }
};

struct HashCase {
  const char* name;
  uint32_t (*hash)(uint64_t key);
  size_t keys;      // distinct keys drawn from
  size_t steps;     // lookups and fills
  size_t initial;   // slots of the first table
};

uint32_t Spread(uint64_t key) { return static_cast<uint32_t>(HashTwoWords(key, 0)); }

const HashCase kCases[] = {
    {"spread", Spread, 20000, 60000, 2},
    {"spread, larger start", Spread, 20000, 60000, 1024},
    // Every key in one chain: only the keys tell them apart.
    {"all collide", [](uint64_t) { return 0x5a5a5a5au; }, 600, 3000, 4},
    // The low bits are equal; the hashes differ only above any mask used.
    {"high bits only", [](uint64_t key) { return static_cast<uint32_t>(key % 7) << 28; }, 3000, 9000, 2},
    // Hashes crowded at the end of the table: chains run into each other
    // and wrap around to its start.
    {"crowded at the end", [](uint64_t key) { return 0xffffffc0u + static_cast<uint32_t>(key % 48); }, 3000, 9000, 8},
};

// Keys 0 .. n-1, shuffled into the 64-bit range except 0, which stays.
uint64_t KeyOf(size_t k) { return k == 0 ? 0 : (uint64_t{k} * 0x9e3779b97f4a7c15ull) | 1; }

template <typename Table>
void ExpectLoadRule(const Table& table, size_t initial) {
  const size_t capacity = table.Capacity();
  ASSERT_GE(capacity, initial);
  ASSERT_EQ(capacity & (capacity - 1), 0u) << "capacity " << capacity;
  ASSERT_LE(table.Count() * 4, capacity * 3) << "count " << table.Count() << " of " << capacity;
}

TEST(FlatTable, MapHoldsWhatWasFilledWhateverTheHashes) {
  for (const HashCase& c : kCases) {
    SCOPED_TRACE(c.name);
    std::mt19937 rng(11);
    FlatTable<MapSlot> table(c.initial);
    std::unordered_map<uint64_t, uint32_t> expected;
    const auto find = [&](uint64_t key) {
      const uint32_t h = c.hash(key);
      return table.Find(h, [&](const MapSlot& s) { return s.hash == h && s.key == key; });
    };
    // An unmade table: nothing found, no memory, and its first slots can be
    // looked at.
    EXPECT_EQ(table.Capacity(), 0u);
    EXPECT_FALSE(find(KeyOf(0)).found);
    EXPECT_TRUE(table.Home(c.hash(KeyOf(1))).Empty());
    table.Prefetch(c.hash(KeyOf(1)));

    size_t doublings = 0;
    for (size_t step = 0; step < c.steps; ++step) {
      const uint64_t key = step == 0 ? 0 : KeyOf(rng() % c.keys);  // the zero key first
      const auto probe = find(key);
      const auto it = expected.find(key);
      ASSERT_EQ(probe.found, it != expected.end()) << "key " << key << " at step " << step;
      if (probe.found) {
        ASSERT_EQ(probe.slot->key, key);
        ASSERT_EQ(probe.slot->valuePlus1 - 1, it->second);
        continue;
      }
      ASSERT_TRUE(probe.slot->Empty());
      const uint32_t value = static_cast<uint32_t>(expected.size());
      const size_t before = table.Capacity();
      table.Fill(probe, MapSlot{key, c.hash(key), value + 1}, [](const MapSlot& s) { return s.hash; });
      expected.emplace(key, value);
      if (before != 0 && table.Capacity() != before) {
        ASSERT_EQ(table.Capacity(), before * 2);
        ++doublings;
      }
      ASSERT_EQ(table.Count(), expected.size());
      ExpectLoadRule(table, c.initial);
    }
    // Growth across several doublings (fewer when everything collides).
    EXPECT_GE(doublings, c.initial >= 1024 ? 4u : 6u);
    // Every key is found again, and the slots hold exactly the keys filled.
    for (const auto& [key, value] : expected) {
      const auto probe = find(key);
      ASSERT_TRUE(probe.found) << "key " << key;
      EXPECT_EQ(probe.slot->valuePlus1 - 1, value);
    }
    std::unordered_map<uint64_t, uint32_t> listed;
    table.ForEach([&](const MapSlot& s) { EXPECT_TRUE(listed.emplace(s.key, s.valuePlus1 - 1).second); });
    EXPECT_EQ(listed, expected);

    // A copy holds the same and is its own; a move leaves the source empty.
    FlatTable<MapSlot> copy = table;
    FlatTable<MapSlot> moved = std::move(table);
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(table.Capacity(), 0u);
    EXPECT_FALSE(find(KeyOf(1)).found);
    const uint64_t fresh = KeyOf(c.keys + 1);
    const auto probe = copy.Find(c.hash(fresh), [&](const MapSlot& s) { return s.key == fresh; });
    ASSERT_FALSE(probe.found);
    copy.Fill(probe, MapSlot{fresh, c.hash(fresh), 1}, [](const MapSlot& s) { return s.hash; });
    EXPECT_EQ(copy.Count(), expected.size() + 1);
    EXPECT_EQ(moved.Count(), expected.size());
    size_t seen = 0;
    moved.ForEach([&](const MapSlot& s) {
      ++seen;
      EXPECT_NE(s.key, fresh);
    });
    EXPECT_EQ(seen, expected.size());

    // Emptied, the table gives its memory back and fills again.
    moved.Clear();
    EXPECT_EQ(moved.Count(), 0u);
    EXPECT_EQ(moved.Capacity(), 0u);
    const auto again = moved.Find(c.hash(fresh), [&](const MapSlot& s) { return s.key == fresh; });
    ASSERT_FALSE(again.found);
    moved.Fill(again, MapSlot{fresh, c.hash(fresh), 1}, [](const MapSlot& s) { return s.hash; });
    EXPECT_EQ(moved.Capacity(), c.initial);
    EXPECT_EQ(moved.Home(c.hash(fresh)).key, fresh) << "the first key sits in its first slot";
  }
}

// Slots that are their own keys, looked up with `FindKey` (the key is
// compared before the slot is asked whether it is empty); hashes computed
// again from the keys when the table grows. Reserving room for a number of
// keys makes the table once, at a size that takes them all.
TEST(FlatTable, KeySetMatchesStdSetAndReservesRoom) {
  for (const HashCase& c : kCases) {
    SCOPED_TRACE(c.name);
    for (const bool reserve : {false, true}) {
      SCOPED_TRACE(reserve ? "reserved" : "grown");
      std::mt19937 rng(23);
      FlatTable<KeySlot> table(c.initial);
      std::set<uint64_t> expected;
      bool zero = false;  // the zero key, kept apart
      const auto hashOf = [&c](const KeySlot& s) { return c.hash(s.key); };
      std::vector<uint64_t> keys;
      for (size_t step = 0; step < c.steps; ++step) keys.push_back(KeyOf(rng() % c.keys));
      keys[c.steps / 2] = 0;
      const size_t distinct = std::set<uint64_t>(keys.begin(), keys.end()).size();
      if (reserve) {
        table.Reserve(distinct);
        ASSERT_GE(table.Capacity() * 3, distinct * 4);
      }
      const size_t reserved = table.Capacity();
      for (const uint64_t key : keys) {
        if (key == 0) {
          zero = true;
          expected.insert(key);
          continue;
        }
        const auto probe = table.FindKey(c.hash(key), [&](const KeySlot& s) { return s.key == key; });
        ASSERT_EQ(probe.found, expected.count(key) == 1) << "key " << key;
        if (probe.found) continue;
        ASSERT_TRUE(probe.slot->Empty());
        table.Fill(probe, KeySlot{key}, hashOf);
        expected.insert(key);
        ExpectLoadRule(table, c.initial);
        if (reserve) {
          ASSERT_EQ(table.Capacity(), reserved) << "grew though room was made";
        }
      }
      std::set<uint64_t> listed;
      if (zero) listed.insert(0);
      table.ForEach([&](const KeySlot& s) { EXPECT_TRUE(listed.insert(s.key).second); });
      EXPECT_EQ(listed, expected);
      EXPECT_EQ(table.Count() + (zero ? 1 : 0), expected.size());
      // Room is made only in an empty table.
      const size_t capacity = table.Capacity();
      table.Reserve(capacity * 4);
      EXPECT_EQ(table.Capacity(), capacity);
    }
  }
}

}  // namespace
}  // namespace kalix
