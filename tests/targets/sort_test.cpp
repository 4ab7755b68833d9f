// The grid's four sorts, with and without the document first, and their ties.

#include "targets/Sorting.h"
#include "targets/Target.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kalix;

namespace {

Target Make(const std::string& text, size_t occurrences, const std::string& ref = {}) {
  Target t;
  t.Text = text;
  t.DocumentRef = ref;
  for (size_t k = 0; k < occurrences; ++k) {
    Occurrence o;
    o.StartView = static_cast<int32_t>(k * 10);
    t.Starts.push_back(o);
  }
  return t;
}

// "text@file" for every target, in list order ("text" without a reference).
std::vector<std::string> Order(const cTargetList& targets) {
  std::vector<std::string> out;
  for (const Target& t : targets) {
    std::string s = t.Text;
    if (!t.DocumentRef.empty()) s += "@" + t.DocumentRef.str().substr(0, t.DocumentRef.find(" | "));
    out.push_back(s);
  }
  return out;
}

}  // namespace

TEST(TargetSort, OneDocument) {
  // Bytes above 127 after every unaccented letter, capitals before small
  // letters, a prefix before the longer text.
  const auto list = [] {
    cTargetList t;
    t.push_back(Make("roi", 2));
    t.push_back(Make("\xc9" "TAT", 5));
    t.push_back(Make("ROI", 2));
    t.push_back(Make("ROIS", 1));
    t.push_back(Make("z\xe8" "le", 3));
    t.push_back(Make("Abb\xe9", 2));
    return t;
  };
  struct Case {
    int key;
    bool byDocument;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {2, false, {"Abb\xe9", "ROI", "ROIS", "roi", "z\xe8" "le", "\xc9" "TAT"}},
      {3, false, {"\xc9" "TAT", "z\xe8" "le", "roi", "ROIS", "ROI", "Abb\xe9"}},
      // Equal numbers keep the order they had (here: the list's order).
      {0, false, {"ROIS", "roi", "ROI", "Abb\xe9", "z\xe8" "le", "\xc9" "TAT"}},
      {1, false, {"\xc9" "TAT", "z\xe8" "le", "roi", "ROI", "Abb\xe9", "ROIS"}},
      // Without document references the document changes nothing.
      {2, true, {"Abb\xe9", "ROI", "ROIS", "roi", "z\xe8" "le", "\xc9" "TAT"}},
      {3, true, {"\xc9" "TAT", "z\xe8" "le", "roi", "ROIS", "ROI", "Abb\xe9"}},
      {0, true, {"ROIS", "roi", "ROI", "Abb\xe9", "z\xe8" "le", "\xc9" "TAT"}},
      {1, true, {"\xc9" "TAT", "z\xe8" "le", "roi", "ROI", "Abb\xe9", "ROIS"}},
  };
  for (const Case& c : cases) {
    cTargetList t = list();
    SortTargets(t, c.key, c.byDocument);
    EXPECT_EQ(Order(t), c.expected) << "key " << c.key << " byDocument " << c.byDocument;
  }
}

TEST(TargetSort, Corpus) {
  const std::string a = "a.rtf | /t/", b = "b.rtf | /t/", c = "c.rtf | /s/";
  const auto list = [&] {
    cTargetList t;
    t.push_back(Make("ROI", 2, c));
    t.push_back(Make("ROI", 2, a));
    t.push_back(Make("DAME", 1, b));
    t.push_back(Make("ROI", 3, b));
    t.push_back(Make("DAME", 2, a));
    t.push_back(Make("ZED", 2, b));
    return t;
  };
  struct Case {
    int key;
    bool byDocument;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      // Equal numbers and equal texts: the document ascending, in the
      // descending orders too.
      {0, false, {"DAME@b.rtf", "ROI@a.rtf", "DAME@a.rtf", "ZED@b.rtf", "ROI@c.rtf", "ROI@b.rtf"}},
      {1, false, {"ROI@b.rtf", "ROI@a.rtf", "DAME@a.rtf", "ZED@b.rtf", "ROI@c.rtf", "DAME@b.rtf"}},
      {2, false, {"DAME@a.rtf", "DAME@b.rtf", "ROI@a.rtf", "ROI@b.rtf", "ROI@c.rtf", "ZED@b.rtf"}},
      {3, false, {"ZED@b.rtf", "ROI@a.rtf", "ROI@b.rtf", "ROI@c.rtf", "DAME@a.rtf", "DAME@b.rtf"}},
      {0, true, {"ROI@a.rtf", "DAME@a.rtf", "DAME@b.rtf", "ZED@b.rtf", "ROI@b.rtf", "ROI@c.rtf"}},
      {1, true, {"ROI@a.rtf", "DAME@a.rtf", "ROI@b.rtf", "ZED@b.rtf", "DAME@b.rtf", "ROI@c.rtf"}},
      {2, true, {"DAME@a.rtf", "ROI@a.rtf", "DAME@b.rtf", "ROI@b.rtf", "ZED@b.rtf", "ROI@c.rtf"}},
      {3, true, {"ROI@a.rtf", "DAME@a.rtf", "ZED@b.rtf", "ROI@b.rtf", "DAME@b.rtf", "ROI@c.rtf"}},
  };
  for (const Case& k : cases) {
    cTargetList t = list();
    SortTargets(t, k.key, k.byDocument);
    EXPECT_EQ(Order(t), k.expected) << "key " << k.key << " byDocument " << k.byDocument;
  }
  // Sorting moves the targets whole: occurrences and current index go along.
  cTargetList t = list();
  t[3].CurrentStart = 2;
  SortTargets(t, 1, false);
  EXPECT_EQ(t[0].Text, "ROI");
  EXPECT_EQ(t[0].Starts.size(), 3u);
  EXPECT_EQ(t[0].CurrentStart, 2);
}
