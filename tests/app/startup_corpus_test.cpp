// A corpus file named on the command line, and the data folder of an
// installed program.
#include "app/CommandLine.h"
#include "app/InfoFiles.h"
#include "app/StartupCorpus.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace kalix {
namespace {

namespace fs = std::filesystem;

TEST(StartupCorpus, TheLastDocumentTokenDecides) {
  struct Case {
    const char* line;
    const char* corpus;    // taken out of the options
    const char* document;  // left as the pending document
  };
  const Case cases[] = {
      {"/home/a/textes.cor", "/home/a/textes.cor", ""},
      {"TEXTES.COR", "TEXTES.COR", ""},
      {"-f Textes.Cor", "Textes.Cor", ""},
      {"-R nac.rul -L eng.lng liste.cor", "liste.cor", ""},
      // The second bare token replaces the first, as for documents.
      {"lettre.rtf liste.cor", "liste.cor", ""},
      {"liste.cor lettre.rtf", "", "lettre.rtf"},
      // Not corpus names.
      {"lettre.rtf", "", "lettre.rtf"},
      {"notes.txt", "", "notes.txt"},
      {"liste.corpus", "", "liste.corpus"},
      {"cor", "", "cor"},
      {".cor", "", ".cor"},
      {"/home/a/.cor", "", "/home/a/.cor"},
      {"liste.cor.rtf", "", "liste.cor.rtf"},
      // A value of another option is no document.
      {"-T x.cor", "", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    CommandLineOptions options;
    ParseCommandLine(c.line, options);
    EXPECT_EQ(TakePendingCorpus(options), c.corpus) << c.line;
    EXPECT_EQ(options.PendingDocument, c.document) << c.line;
  }
}

TEST(StartupCorpus, LoadsAsTheOpenCommandDoes) {
  fs::path dir = fs::temp_directory_path() / ("kalix-startup-corpus-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string path = (dir / "textes.cor").string();
  ASSERT_TRUE(WriteBinaryFile(path, "/t/un.rtf\r\n/t/deux livres.txt\r\n"));

  Corpus corpus;
  corpus.Modified = true;  // anything left from before is replaced
  ASSERT_TRUE(LoadCorpusFile(corpus, path));
  EXPECT_EQ(corpus.Entries, (std::vector<std::string>{"/t/un.rtf", "/t/deux livres.txt"}));
  EXPECT_EQ(corpus.FileName, path);
  EXPECT_TRUE(corpus.Open);
  EXPECT_FALSE(corpus.Modified);
  EXPECT_EQ(corpus.MenuState, kListMenuOpen);

  // A file that cannot be read leaves the corpus as it was.
  Corpus closed;
  for (const fs::path& bad : {dir / "absent.cor", dir}) {
    EXPECT_FALSE(LoadCorpusFile(closed, bad.string())) << bad;
    EXPECT_FALSE(closed.Open);
    EXPECT_TRUE(closed.Entries.empty());
    EXPECT_EQ(closed.FileName, "");
    EXPECT_EQ(closed.MenuState, kListMenuNone);
  }
  fs::remove_all(dir);
}

TEST(InstalledDataDir, BesideTheProgramsFolderWhenThere) {
  fs::path root = fs::temp_directory_path() / ("kalix-datadir-" + std::to_string(::getpid()));
  fs::create_directories(root / "usr" / "bin");
  fs::create_directories(root / "usr" / "share" / "kalix");
  fs::create_directories(root / "build");
  fs::create_directories(root / "opt" / "bin");
  std::string share = (root / "usr" / "share" / "kalix").string() + "/";
  struct Case {
    std::string programDir;
    std::string expected;
  };
  const Case cases[] = {
      {(root / "usr" / "bin").string(), share},
      {(root / "usr" / "bin").string() + "/", share},
      {(root / "usr" / "bin" / ".").string(), share},
      // A build folder, or a "bin" without its data: the built-in folder.
      {(root / "build").string(), "/usr/share/kalix/"},
      {(root / "opt" / "bin").string(), "/usr/share/kalix/"},
      {"", "/usr/share/kalix/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InstalledDataDir(c.programDir, "/usr/share/kalix"), c.expected) << c.programDir;
  }
  EXPECT_EQ(InstalledDataDir((root / "build").string(), "/usr/local/share/kalix/"), "/usr/local/share/kalix/");
  EXPECT_EQ(InstalledDataDir((root / "build").string(), ""), "");
  fs::remove_all(root);
}

}  // namespace
}  // namespace kalix
