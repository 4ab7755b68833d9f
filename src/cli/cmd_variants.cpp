// kalix-cli variants: the generated variants of each key.
//
// For each STRING: the key that the "Générée" mode computes for it (trimmed
// as the search dialog's edit field trims, then substituted), and the variant
// list of that key at the chosen level, one variant a line, in the list's
// order. The level is a number from 1, as the search dialog's level control
// offers; it defaults to 1, that control's initial position.

#include "cli/Commands.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "search/Normalize.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace kalix::cli {

namespace {

// The 1252 bytes of a command-line argument: decoded from UTF-8 when it is
// valid UTF-8 (characters outside the code page become "?"), otherwise the
// bytes as given.
std::string ArgumentTo1252(const std::string& arg) {
  std::string out;
  size_t i = 0;
  while (i < arg.size()) {
    auto b = static_cast<unsigned char>(arg[i]);
    char32_t cp;
    size_t len;
    if (b < 0x80) {
      cp = b;
      len = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      len = 4;
    } else {
      return arg;
    }
    if (i + len > arg.size()) return arg;
    for (size_t k = 1; k < len; ++k) {
      auto c = static_cast<unsigned char>(arg[i + k]);
      if ((c & 0xC0) != 0x80) return arg;
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return arg;
    int byte = UnicodeToCp1252(cp);
    out.push_back(byte < 0 ? '?' : static_cast<char>(byte));
    i += len;
  }
  return out;
}

// Removes blanks and control characters at both ends, as the edit fields do.
std::string Trim(const std::string& text) {
  size_t start = 0;
  size_t end = text.size();
  while (start < end && static_cast<unsigned char>(text[start]) <= ' ') ++start;
  while (end > start && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(start, end - start);
}

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
      std::string text = Trim(ArgumentTo1252(arg));
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
