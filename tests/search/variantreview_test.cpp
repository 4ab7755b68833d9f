#include "search/VariantReview.h"

#include "search/RunSearch.h"
#include "targets/Target.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

// Typed strings CHAT (Index 0) and BOL (Index 1), each followed by its
// variants, as the generation leaves them: Sources point at the typed
// strings, variants carry their source's Index.
cArrowList Reviewed() {
  cArrowList list;
  auto typed = [&](const char* text, int32_t index) {
    list.emplace_back(text);
    list.back().Index = index;
  };
  auto variant = [&](const char* key, int32_t source) {
    SearchString s;
    s.SetKey(key);
    s.Source = source;
    s.Index = list[static_cast<size_t>(source)].Index;
    list.push_back(s);
  };
  typed("CHAT", 0);
  typed("BOL", 1);
  variant("CHATT", 0);
  variant("\xc9" "CHAT", 0);  // "ÉCHAT": 0xC9 sorts after every ASCII letter
  variant("CAT", 0);
  variant("BOLL", 1);
  variant("CHA", 0);
  return list;
}

std::vector<std::string> Keys(const cArrowList& list) {
  std::vector<std::string> keys;
  for (const SearchString& s : list) keys.push_back(s.Key);
  return keys;
}

// Every variant's Source is a typed string with the variant's Index, every
// own string's Source is itself.
void ExpectSourcesSound(const cArrowList& list) {
  for (size_t k = 0; k < list.size(); ++k) {
    const SearchString& s = list[k];
    if (!s.HasSource()) continue;
    ASSERT_LT(static_cast<size_t>(s.Source), list.size()) << s.Key;
    const SearchString& src = list[static_cast<size_t>(s.Source)];
    if (static_cast<size_t>(s.Source) == k) continue;
    EXPECT_FALSE(src.HasSource()) << s.Key;
    EXPECT_EQ(src.Index, s.Index) << s.Key << " from " << src.Key;
  }
}

TEST(VariantReview, SortsEitherWayKeepingSources) {
  cArrowList list = Reviewed();
  SortStringsInOrder(list, true);
  EXPECT_EQ(Keys(list), (std::vector<std::string>{"BOL", "BOLL", "CAT", "CHA", "CHAT", "CHATT", "\xc9" "CHAT"}));
  ExpectSourcesSound(list);
  SortStringsInOrder(list, false);
  EXPECT_EQ(Keys(list), (std::vector<std::string>{"\xc9" "CHAT", "CHATT", "CHAT", "CHA", "CAT", "BOLL", "BOL"}));
  ExpectSourcesSound(list);
  SortStringsInOrder(list, true);
  EXPECT_EQ(Keys(list), (std::vector<std::string>{"BOL", "BOLL", "CAT", "CHA", "CHAT", "CHATT", "\xc9" "CHAT"}));
  ExpectSourcesSound(list);
  // The ascending order is the one the search itself uses.
  cArrowList other = Reviewed();
  SortStringsByKey(other);
  EXPECT_EQ(Keys(other), Keys(list));
}

TEST(VariantReview, EqualKeysKeepTheirOrderBothWays) {
  cArrowList list;
  for (const char* t : {"B", "A", "B", "A"}) list.emplace_back(t);
  for (size_t k = 0; k < list.size(); ++k) list[k].Index = static_cast<int32_t>(k);
  SortStringsInOrder(list, false);
  std::vector<int32_t> idx;
  for (const SearchString& s : list) idx.push_back(s.Index);
  EXPECT_EQ(idx, (std::vector<int32_t>{0, 2, 1, 3}));
  SortStringsInOrder(list, true);
  idx.clear();
  for (const SearchString& s : list) idx.push_back(s.Index);
  EXPECT_EQ(idx, (std::vector<int32_t>{1, 3, 0, 2}));
}

TEST(VariantReview, RemovingSelectedRowsKeepsTypedStringsAndSources) {
  struct Case {
    const char* name;
    std::vector<size_t> rows;  // in the ascending list
    std::vector<std::string> keys;
  };
  // Ascending: BOL BOLL CAT CHA CHAT CHATT ÉCHAT
  const std::vector<Case> cases = {
      {"every row", {0, 1, 2, 3, 4, 5, 6}, {"BOL", "CHAT"}},
      {"only typed rows", {0, 4}, {"BOL", "BOLL", "CAT", "CHA", "CHAT", "CHATT", "\xc9" "CHAT"}},
      {"variants around a typed string", {3, 4, 5}, {"BOL", "BOLL", "CAT", "CHAT", "\xc9" "CHAT"}},
      {"rows out of range are ignored", {1, 99}, {"BOL", "CAT", "CHA", "CHAT", "CHATT", "\xc9" "CHAT"}},
      {"nothing selected", {}, {"BOL", "BOLL", "CAT", "CHA", "CHAT", "CHATT", "\xc9" "CHAT"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cArrowList list = Reviewed();
    SortStringsInOrder(list, true);
    std::vector<std::string> before = Keys(list);
    std::vector<int32_t> place = RemoveVariantsAt(list, c.rows);
    EXPECT_EQ(Keys(list), c.keys);
    ExpectSourcesSound(list);
    ASSERT_EQ(place.size(), before.size());
    for (size_t k = 0; k < before.size(); ++k) {
      if (place[k] >= 0) EXPECT_EQ(list[static_cast<size_t>(place[k])].Key, before[k]);
      else EXPECT_EQ(std::count(c.keys.begin(), c.keys.end(), before[k]), 0) << before[k];
    }
  }
}

TEST(VariantReview, OwnStringsAreTrimmedNumberedAndPlacedInTheCurrentOrder) {
  cArrowList list = Reviewed();
  SortStringsInOrder(list, false);
  // Blank or control characters only: nothing is added.
  EXPECT_EQ(AddOwnString(list, " \t\x01 ", 2, 1, false), -1);
  EXPECT_EQ(list.size(), 7u);

  int32_t at = AddOwnString(list, "  CHIEN\t", 3, 1, false);
  ASSERT_GE(at, 0);
  EXPECT_EQ(Keys(list), (std::vector<std::string>{"\xc9" "CHAT", "CHIEN", "CHATT", "CHAT", "CHA", "CAT", "BOLL", "BOL"}));
  const SearchString& own = list[static_cast<size_t>(at)];
  EXPECT_EQ(own.Text, "CHIEN");
  EXPECT_EQ(own.Key, "CHIEN");
  EXPECT_EQ(own.TextLength, 5);
  EXPECT_EQ(own.KeyLength, 5);
  EXPECT_EQ(own.Position, 3);
  EXPECT_EQ(own.Exclude, 1);
  EXPECT_EQ(own.Index, 2);  // one more than the highest Index (BOL's 1)
  EXPECT_EQ(own.Source, at);
  ExpectSourcesSound(list);

  // A second own string is numbered after the first, in ascending order now.
  SortStringsInOrder(list, true);
  at = AddOwnString(list, "AA", 0, 0, true);
  EXPECT_EQ(at, 0);
  EXPECT_EQ(list[0].Index, 3);
  ExpectSourcesSound(list);

  // Cancel removes every string that has a Source, own strings included.
  RemoveTemporaryStrings(list);
  EXPECT_EQ(Keys(list), (std::vector<std::string>{"BOL", "CHAT"}));

  // Removing an own string moves the others' Sources with them.
  list = Reviewed();
  SortStringsInOrder(list, true);
  at = AddOwnString(list, "BOLA", 0, 0, true);
  ASSERT_EQ(at, 1);
  RemoveVariantsAt(list, {1});
  EXPECT_EQ(Keys(list), (std::vector<std::string>{"BOL", "BOLL", "CAT", "CHA", "CHAT", "CHATT", "\xc9" "CHAT"}));
  ExpectSourcesSound(list);
  // In an empty list an own string has Index 0.
  cArrowList empty;
  EXPECT_EQ(AddOwnString(empty, "X", 0, 0, true), 0);
  EXPECT_EQ(empty[0].Index, 0);
}

TEST(VariantReview, FileTextIsOneKeyALine) {
  cArrowList list = Reviewed();
  list[2].SetKey(std::string("CH\0TT", 5));  // a key is cut at a zero byte
  EXPECT_EQ(StringListFileText(list), "CHAT\nBOL\nCH\n\xc9" "CHAT\nCAT\nBOLL\nCHA\n");
  EXPECT_EQ(StringListFileText({}), "");
}

}  // namespace
}  // namespace kalix
