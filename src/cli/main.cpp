// kalix-cli: the headless front end. Parses the global options, sets up the
// context as the desktop program does, and hands over to one command.

#include "app/Translit.h"
#include "cli/Commands.h"
#include "i18n/Language.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "platform/Memory.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace kalix::cli {

int UsageError(const std::string& message) {
  std::fprintf(stderr, "kalix-cli: %s\n", message.c_str());
  std::fprintf(stderr,
               "usage: kalix-cli [-R RULES] [-L LANGUAGE] [--layer LAYER] COMMAND ...\n"
               "  rules | text DOCUMENT | marks DOCUMENT | variants [--level N] STRING...\n"
               "  search SEARCH-OPTIONS (DOCUMENT | --corpus FILE)\n"
               "  words WORD-OPTIONS (DOCUMENT | --corpus FILE)\n"
               "  collocates SEARCH-OPTIONS --left L --right R (DOCUMENT | --corpus FILE)\n"
               "  ngrams --size N [--containing SEARCH-OPTIONS] (DOCUMENT | --corpus FILE)\n");
  return 2;
}

int FileError(const Context& ctx, const char* message, const std::string& path) {
  std::string text = ctx.Tr(message) + "\n" + path;
  std::fprintf(stderr, "%s\n", Cp1252ToUtf8(text).c_str());
  return 1;
}

}  // namespace kalix::cli

int main(int argc, char** argv) {
  using namespace kalix;
  ShareOneHeap();
  using namespace kalix::cli;

  std::string rulesPath;
  std::string languagePath;
  std::string translitPath = "translit.txt";
  bool rulesGiven = false;
  bool translitGiven = false;
  bool normalised = false;
  int i = 1;
  for (; i < argc; ++i) {
    if (std::strcmp(argv[i], "--layer") == 0) {
      if (i + 1 >= argc) return UsageError(std::string("missing value after ") + argv[i]);
      const std::string layer = argv[++i];
      if (layer != "diplomatic" && layer != "normalised") return UsageError("--layer takes diplomatic or normalised");
      normalised = layer == "normalised";
      continue;
    }
    if (std::strcmp(argv[i], "--help") == 0) return PrintHelp();
    if (std::strcmp(argv[i], "--version") == 0) return PrintVersion();
    if (std::strcmp(argv[i], "--translit") == 0) {
      if (i + 1 >= argc) return UsageError(std::string("missing value after ") + argv[i]);
      translitPath = argv[++i];
      translitGiven = true;
      continue;
    }
    if (std::strcmp(argv[i], "-R") == 0 || std::strcmp(argv[i], "-L") == 0) {
      if (i + 1 >= argc) return UsageError(std::string("missing value after ") + argv[i]);
      if (argv[i][1] == 'R') {
        rulesPath = argv[++i];
        rulesGiven = true;
      } else {
        languagePath = argv[++i];
      }
      continue;
    }
    break;
  }
  if (i >= argc) return UsageError("missing command");
  std::string command = argv[i++];
  Args args(argv + i, argv + argc);

  Context ctx;
  ctx.XmlNormalised = normalised;
  if (!languagePath.empty()) {
    // A language file that cannot be read is an error here (the desktop
    // program goes on without it); so is one that is not a language file.
    LanguageLoadStatus status = LoadLanguageFile(ctx.Language, languagePath);
    if (status == LanguageLoadStatus::Unreadable) return FileError(ctx, msg::kFileNotFound, languagePath);
    if (status == LanguageLoadStatus::BadHeader) {
      std::fprintf(stderr, "%s\n", Cp1252ToUtf8(NotLanguageFileMessage(ctx.Language, languagePath)).c_str());
      return 1;
    }
  }
  RulesDoubt doubt = RulesDoubt::None;
  if (rulesGiven) {
    if (!LoadRules(ctx.Rules, rulesPath, &doubt)) return FileError(ctx, msg::kFileNotFound, rulesPath);
  } else {
    LoadRules(ctx.Rules, "nac.rul", &doubt);
  }
  if (doubt != RulesDoubt::None) {
    // A warning: the rules are used as read.
    std::fprintf(stderr, "%s\n%s\n%s\n", Cp1252ToUtf8(Translate(ctx.Language, msg::kDoubtfulRules)).c_str(),
                 (rulesGiven ? rulesPath : std::string("nac.rul")).c_str(),
                 Cp1252ToUtf8(Translate(ctx.Language, RulesDoubtReason(doubt))).c_str());
  }
  LoadMorvaRules(ctx.Morva, ctx.Rules, rulesGiven ? rulesPath : std::string("nac.rul"));
  // The user's transliteration table: an error when named and unreadable.
  std::vector<std::string> tableMessages;
  if (LoadTranslitTable(ctx, translitPath, &tableMessages) == TableLoad::Missing && translitGiven) {
    return FileError(ctx, msg::kFileNotFound, translitPath);
  }
  for (const std::string& m : tableMessages) std::fprintf(stderr, "%s\n", m.c_str());

  static const std::map<std::string, int (*)(Context&, const Args&)> commands = {
      {"rules", RunRulesCommand},   {"text", RunTextCommand},
      {"marks", RunMarksCommand},   {"variants", RunVariantsCommand},
      {"search", RunSearchCommand}, {"words", RunWordsCommand},
      {"collocates", RunCollocatesCommand}, {"ngrams", RunNgramsCommand},
  };
  auto it = commands.find(command);
  if (it == commands.end()) return UsageError("unknown command: " + command);
  return it->second(ctx, args);
}
