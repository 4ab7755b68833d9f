// kalix-cli on XML documents: marks with the pages' images, the layers,
// searches that place their hits on pages and folios, a corpus that holds a
// TEI file and a folder of pages, and a malformed file.

#include "common/CliProcess.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace kalix {
namespace {

using test::CliRun;

const std::string kXml = std::string(KALIX_SOURCE_DIR) + "/tests/document/fixtures/xml/";
const std::string kRules = std::string(KALIX_SOURCE_DIR) + "/samples/nac.rul";

CliRun RunXml(std::vector<std::string> args) {
  args.insert(args.begin(), {"-R", kRules});
  return test::RunCli(args, test::ScratchFolder("document_cli_xml"));
}

TEST(CliXml, MarksGiveEachPageItsLabelImageAndLines) {
  CliRun run = RunXml({"marks", kXml + "chronique.xml"});
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  ASSERT_EQ(j["pages"].size(), 2u);
  EXPECT_EQ(j["pages"][0]["page"], 1);
  EXPECT_EQ(j["pages"][0]["label"], "12r");
  EXPECT_TRUE(j["pages"][0]["image"].get<std::string>().ends_with("/images/f012r.jpg"));
  EXPECT_EQ(j["pages"][0]["lines"][1]["top"], 250);
  EXPECT_EQ(j["pages"][1]["label"], "12v");
  // The existing fields are as for rich text: folio 12 verso opens page 2.
  EXPECT_EQ(j["marks"][4]["kind"], 3);
  EXPECT_EQ(j["marks"][4]["number"], 12);
  EXPECT_EQ(j["marks"][4]["value"], 1);
  // What the character conversion changed is said on stderr.
  EXPECT_NE(run.err.find(" 4 translitt\xc3\xa9r\xc3\xa9s, 0 supprim\xc3\xa9s, 0 remplac\xc3\xa9s par 0x81 : "
                         "h\xcc\x83 (U+0068 U+0303)"),
            std::string::npos)
      << run.err;
}

TEST(CliXml, LayersAndSearches) {
  CliRun diplomatic = RunXml({"text", kXml + "chronique.xml"});
  CliRun normalised = RunXml({"--layer", "normalised", "text", kXml + "chronique.xml"});
  ASSERT_EQ(diplomatic.status, 0);
  ASSERT_EQ(normalised.status, 0);
  EXPECT_NE(diplomatic.out.find("moinnes"), std::string::npos);
  EXPECT_NE(normalised.out.find("moines"), std::string::npos);
  EXPECT_EQ(normalised.out.find("moinnes"), std::string::npos);
  EXPECT_EQ(RunXml({"--layer", "modern", "text", kXml + "chronique.xml"}).status, 2);

  // A hit's page and folio come from the elements: "Pierre" stands on page 2,
  // folio 12 verso, although the text before it holds a typed page marker.
  CliRun search = RunXml({"search", "--string", "Pierre", "--string", "Normendie", "--json", kXml + "chronique.xml"});
  ASSERT_EQ(search.status, 0) << search.err;
  const nlohmann::json j = nlohmann::json::parse(search.out);
  ASSERT_EQ(j["targets"].size(), 2u);
  for (const auto& target : j["targets"]) {
    const auto& o = target["occurrences"][0];
    if (target["text"] == "PIERRE") {
      EXPECT_EQ(o["page"], 2);
      EXPECT_EQ(o["folio"], 12);
      EXPECT_EQ(o["verso"], 1);
    } else {
      EXPECT_EQ(o["page"], 1);
      EXPECT_EQ(o["folio"], 12);
      EXPECT_EQ(o["verso"], 0);
    }
  }
}

TEST(CliXml, CorpusOfTeiAndAFolderOfPages) {
  const std::string cor = (test::ScratchFolder("document_cli_xml") / "m.cor").string();
  ASSERT_TRUE(WriteBinaryFile(cor, kXml + "chronique.xml\r\n" + kXml + "registre\r\n" + kXml +
                                       "hostile/malformed.xml\r\n"));
  CliRun run = RunXml({"search", "--string", "couverture", "--string", "grace", "--json", "--corpus", cor});
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  ASSERT_EQ(j["targets"].size(), 2u);
  for (const auto& target : j["targets"]) {
    const auto& o = target["occurrences"][0];
    if (target["text"] != "GRACE") {  // the rules write "COUUERTURE"
      EXPECT_EQ(target["document"].get<std::string>().rfind("registre | ", 0), 0u) << target["document"];
      EXPECT_EQ(o["page"], 3);
      EXPECT_EQ(o["folio"], 10);
      EXPECT_EQ(o["verso"], 1);
    } else {
      EXPECT_EQ(o["page"], 2);
    }
  }
  // The malformed file is named with its place; the folder's own notes too.
  EXPECT_NE(run.err.find("malformed.xml\nligne 4, colonne 19"), std::string::npos) << run.err;
}

TEST(CliXml, MalformedFileIsAnErrorWithItsPlace) {
  CliRun run = RunXml({"text", kXml + "hostile/malformed.xml"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("Document XML mal form\xc3\xa9 :"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("ligne 4, colonne 19"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace kalix
