#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

TEST(ParseCommandLine, Cases) {
  struct Case {
    const char* text;
    CommandLineOptions expected;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {"doc.rtf", {"doc.rtf", "", "", "", "", ""}},
      {"  doc.rtf  ", {"doc.rtf", "", "", "", "", ""}},
      {"a.rtf b.rtf", {"b.rtf", "", "", "", "", ""}},                // the second bare token wins
      {"-l eng.lng -r my.rul x.txt", {"x.txt", "eng.lng", "my.rul", "", "", ""}},
      {"-L eng.lng -R my.rul", {"", "eng.lng", "my.rul", "", "", ""}},
      {"-T one two", {"two", "", "", "one", "", ""}},
      {"-F", {}},                                                  // an option given last is ignored
      {"a.rtf -F", {"a.rtf", "", "", "", "", ""}},
      {"-f doc.rtf -c c -o o", {"doc.rtf", "", "", "", "c", "o"}},
      {"\"my doc.rtf\"", {"doc.rtf\"", "", "", "", "", ""}},       // quotes have no meaning
      {"-F -R", {"-R", "", "", "", "", ""}},                       // a value is taken as it stands
      {"a\tb", {"a\tb", "", "", "", "", ""}},                      // only blanks separate
      {"x    -L    eng.lng", {"x", "eng.lng", "", "", "", ""}},
  };
  for (const auto& c : cases) {
    CommandLineOptions o;
    ParseCommandLine(c.text, o);
    EXPECT_EQ(o.PendingDocument, c.expected.PendingDocument) << c.text;
    EXPECT_EQ(o.LanguageFile, c.expected.LanguageFile) << c.text;
    EXPECT_EQ(o.RulesFile, c.expected.RulesFile) << c.text;
    EXPECT_EQ(o.TValue, c.expected.TValue) << c.text;
    EXPECT_EQ(o.CValue, c.expected.CValue) << c.text;
    EXPECT_EQ(o.OValue, c.expected.OValue) << c.text;
  }
}

TEST(ParseCommandLine, RestIsCutAfter1024Characters) {
  // After the first token only the next 1024 characters are kept.
  std::string text = "a " + std::string(1020, 'b') + " cdefgh";
  CommandLineOptions o;
  ParseCommandLine(text, o);
  // The rest starts at the blank: " " + 1020 b + " cd" is 1024 characters.
  EXPECT_EQ(o.PendingDocument, "cd");
}

}  // namespace
}  // namespace kalix
