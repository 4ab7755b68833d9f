// The word sets hold exactly the distinct strings added, whatever their
// length (every table of one length, the zero key of each, the long-string
// arena), however they were added, across growth, flushes and a reuse.
#include "platform/WordSet.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

namespace kalix {
namespace {

std::set<std::string> Contents(const WordSet& words) {
  std::set<std::string> out;
  words.ForEach([&](std::string_view s) { EXPECT_TRUE(out.emplace(s).second) << "listed twice: " << s; });
  return out;
}

TEST(WordSet, HoldsTheDistinctStringsAddedInEveryWay) {
  std::mt19937 rng(5);
  WordSet words;
  WordSet reserved;
  for (int round = 0; round < 6; ++round) {
    words.Clear();
    std::set<std::string> expected;
    // Few letters, so that strings come back often; zero bytes make the
    // all-zero keys of each length.
    const std::string alphabet = round % 2 ? std::string("ab\0", 3) : "abcdefghij\xe9\xff";
    std::vector<std::string> kept;  // strings added by view stay alive
    kept.reserve(20000);
    for (int k = 0; k < 20000; ++k) {
      const size_t n = rng() % 4 == 0 ? rng() % 40 : 1 + rng() % 16;
      std::string s;
      for (size_t j = 0; j < n; ++j) s.push_back(alphabet[rng() % alphabet.size()]);
      expected.insert(s);
      switch (rng() % 3) {
        case 0: {
          std::string padded = s + std::string(16, 'x');  // 16 bytes readable
          words.Add(padded.data(), s.size(), true);
          words.Flush();  // the padded copy goes away
          break;
        }
        case 1:
          kept.push_back(s);
          words.Add(kept.back().data(), s.size(), false);
          break;
        default: {
          std::string scratch = s;
          words.AddCopy(scratch);
          scratch.assign(scratch.size(), '?');  // may change after the call
          break;
        }
      }
    }
    words.Flush();
    EXPECT_EQ(words.Count(), expected.size()) << "round " << round;
    EXPECT_EQ(Contents(words), expected) << "round " << round;

    reserved.Clear();
    reserved.ReserveLike(words);
    for (const std::string& s : expected) reserved.AddCopy(s);
    reserved.Flush();
    EXPECT_EQ(Contents(reserved), expected) << "round " << round;
  }
}

}  // namespace
}  // namespace kalix
