// kalix-cli on documents that needed the character policy, run as a
// process: the warning on stderr, the JSON fields, the user's table given
// with --translit (its bad lines named by file and line) and a search that
// finds "est" in "eſt".

#include "common/CliProcess.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

namespace kalix {
namespace {

using test::CliRun;

std::string Folder() { return test::ScratchFolder("document_cli_unicode").string(); }

CliRun RunCliHere(const std::vector<std::string>& args) { return test::RunCli(args, Folder()); }

std::string WriteTemp(const std::string& name, const std::string& bytes) {
  const std::string path = Folder() + "/" + name;
  EXPECT_TRUE(WriteBinaryFile(path, bytes));
  return path;
}

TEST(CliUnicode, WarningsJsonTableAndSearch) {
  const std::string doc = WriteTemp("u.rtf", "{\\rtf1 Il e\\u383\\'3ft l\\u945? a\\u8203?b.}");
  const std::string warning =
      "Caract\xc3\xa8res chang\xc3\xa9s \xc3\xa0 la lecture : 1 translitt\xc3\xa9r\xc3\xa9s, 1 supprim\xc3\xa9s, "
      "1 remplac\xc3\xa9s par 0x81 : \xc5\xbf (U+017F) \xce\xb1 (U+03B1) \xe2\x80\x8b (U+200B)\n";

  CliRun text = RunCliHere({"text", doc});
  EXPECT_EQ(text.status, 0);
  EXPECT_EQ(text.out, "Il est l\x81 ab.\n");
  EXPECT_EQ(text.err, warning);

  CliRun marks = RunCliHere({"marks", doc});
  ASSERT_EQ(marks.status, 0);
  EXPECT_EQ(marks.err, warning);
  const auto replaced = nlohmann::json::parse(marks.out)["replacedCharacters"];
  EXPECT_EQ(replaced["transliterated"], 1);
  EXPECT_EQ(replaced["dropped"], 1);
  EXPECT_EQ(replaced["replaced"], 1);
  EXPECT_EQ(replaced["characters"], nlohmann::json::parse("[\"\xc5\xbf\", \"\xce\xb1\", \"\xe2\x80\x8b\"]"));
  EXPECT_EQ(replaced["places"][0]["offset"], 4);
  EXPECT_EQ(replaced["places"][0]["kind"], "transliterated");
  EXPECT_EQ(replaced["places"][1]["kind"], "replaced");
  EXPECT_EQ(replaced["places"][2]["kind"], "dropped");

  CliRun search = RunCliHere({"-R", KALIX_SOURCE_DIR "/samples/nac.rul", "search", "--string", "est", "--json", doc});
  ASSERT_EQ(search.status, 0);
  const auto found = nlohmann::json::parse(search.out);
  ASSERT_EQ(found["targets"].size(), 1u);
  EXPECT_EQ(found["targets"][0]["occurrences"][0]["startView"], 3);
  EXPECT_EQ(found["replacedCharacters"]["transliterated"], 1);

  // The user's table comes first; a bad line is named and the rest used.
  const std::string table = WriteTemp("t.txt", "# table\nU+017F f\nU+03B1 \xe4\xb8\xad\n");
  CliRun user = RunCliHere({"--translit", table, "text", doc});
  EXPECT_EQ(user.status, 0);
  EXPECT_EQ(user.out, "Il eft l\x81 ab.\n");
  EXPECT_NE(user.err.find(table + ":3: "), std::string::npos) << user.err;

  // A document that needed nothing reads and reports as it always did.
  const std::string plain = WriteTemp("p.rtf", "{\\rtf1 Il est.}");
  CliRun quiet = RunCliHere({"marks", plain});
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(quiet.out.find("replacedCharacters"), std::string::npos);
  EXPECT_EQ(RunCliHere({"--translit", Folder() + "/absent.txt", "text", plain}).status, 1);

  // A corpus: each document that needed the policy is named with its notice.
  const std::string corpus = WriteTemp("c.cor", doc + "\n" + plain + "\n");
  CliRun walk = RunCliHere({"-R", KALIX_SOURCE_DIR "/samples/nac.rul", "search", "--string", "est", "--summary",
                            "--corpus", corpus});
  EXPECT_EQ(walk.status, 0);
  EXPECT_EQ(walk.err, doc + "\n" + warning);
}

}  // namespace
}  // namespace kalix
