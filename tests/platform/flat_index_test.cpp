// The flat hash index: strings get the numbers 0, 1, 2, ... in the order
// they are first added and keep them while the table grows, whatever their
// hashes (colliding ones included).

#include "platform/FlatIndex.h"
#include "platform/Hash.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalix {
namespace {

TEST(FlatIndex, NumbersStringsInOrderOfFirstAddition) {
  struct Case {
    const char* name;
    uint32_t (*hash)(std::string_view);
  };
  const Case cases[] = {
      {"form hash", [](std::string_view s) { return HashForm(s, kHashSeed); }},
      {"byte hash", [](std::string_view s) { return HashBytes(s, kHashSeed); }},
      // Every string in one chain: only the strings tell them apart.
      {"one hash", [](std::string_view) { return 7u; }},
      // Hashes that differ only above the table's mask.
      {"high bits", [](std::string_view s) { return static_cast<uint32_t>(s.size()) << 28; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FlatIndex index;
    std::vector<std::string> strings;
    const auto keyOf = [&strings](uint32_t n) { return std::string_view(strings[n]); };
    const auto add = [&](const std::string& s) {
      const uint32_t n = index.FindOrAdd(s, c.hash(s), keyOf);
      if (n == strings.size()) strings.push_back(s);
      return n;
    };
    // The empty string, a prefix and its extension, and enough strings to
    // make the table grow several times (fewer with one hash for all).
    const size_t count = c.hash("a") == c.hash("b") && c.hash("a") == c.hash("") ? 300 : 5000;
    EXPECT_EQ(add(""), 0u);
    EXPECT_EQ(add("ab"), 1u);
    EXPECT_EQ(add("abc"), 2u);
    EXPECT_EQ(add("ab"), 1u);
    for (size_t k = 0; k < count; ++k) ASSERT_EQ(add("w" + std::to_string(k)), 3 + k);
    EXPECT_EQ(index.size(), 3 + count);
    for (size_t k = 0; k < count; k += 7) ASSERT_EQ(add("w" + std::to_string(k)), 3 + k);
    EXPECT_EQ(add(""), 0u);
    EXPECT_EQ(add("abc"), 2u);
    EXPECT_EQ(add(std::string("a\0c", 3)), 3 + count);
    EXPECT_EQ(index.size(), 4 + count);

    index.Clear();
    EXPECT_EQ(index.size(), 0u);
    strings.clear();
    EXPECT_EQ(add("abc"), 0u);
    EXPECT_EQ(add("ab"), 1u);
  }
}

}  // namespace
}  // namespace kalix
