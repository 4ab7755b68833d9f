// kalix-cli variants: the generated variants of each key.
//
// For each STRING: the key that the "Générée" mode computes for it (trimmed
// as the search dialog's edit field trims, then substituted), and the variant
// list of that key at the chosen level, one variant a line, in the list's
// order. The level is a number from 1, as the search dialog's level control
// offers; it defaults to 1, that control's initial position.

#include "app/CommandLine.h"
#include "cli/Commands.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "search/Normalize.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace kalix::cli {

namespace {

// A level as the search dialog offers it: a number from 1.
std::optional<int> ParseLevel(const std::string& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  int level = std::atoi(text.c_str());
  if (level < 1) return std::nullopt;
  return level;
}

}  // namespace

int RunVariantsCommand(Context& ctx, const Args& args) {
  int level = 1;
  std::vector<std::string> strings;
  bool options = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && arg == "--level") {
      if (i + 1 >= args.size()) return UsageError("missing value after --level");
      auto value = ParseLevel(args[++i]);
      if (!value) return UsageError("--level takes a number from 1: " + args[i]);
      level = *value;
    } else if (options && arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      return UsageError("unknown option: " + arg);
    } else {
      std::string text = TrimBlanks(Utf8OrCp1252To1252(arg));
      if (text.empty()) return UsageError("empty string: '" + arg + "'");
      strings.push_back(std::move(text));
    }
  }
  if (strings.empty()) return UsageError("variants needs at least one string");

  std::string out;
  for (const std::string& text : strings) {
    VariantList list = GenerateVariants(ctx.Morva, SubstituteText(ctx.Rules, text), level);
    for (const std::string& variant : list.variants) {
      out += variant;
      out += '\n';
    }
    if (list.bounded) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
      std::fflush(stdout);
      std::string message = ctx.Tr(msg::kVariantsBounded) + "\n" + text;
      std::fprintf(stderr, "%s\n", Cp1252ToUtf8(message).c_str());
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return 0;
}

}  // namespace kalix::cli
