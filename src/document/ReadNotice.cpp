#include "document/ReadNotice.h"

#include "i18n/Messages.h"
#include "platform/Cp1252.h"

#include <cstdio>

namespace kalix {

std::string DescribeCharacters(const cReplacedList& replaced) {
  std::string out;
  std::vector<std::u32string> seen;
  for (const ReplacedChar& r : replaced) {
    bool known = false;
    for (const std::u32string& s : seen) known = known || s == r.original;
    if (known) continue;
    seen.push_back(r.original);
    if (!out.empty()) out += ' ';
    out += ToUtf8(r.original) + " (";
    for (size_t i = 0; i < r.original.size(); ++i) {
      char code[16];
      std::snprintf(code, sizeof code, "%sU+%04X", i == 0 ? "" : " ", static_cast<unsigned>(r.original[i]));
      out += code;
    }
    out += ')';
  }
  return out;
}

std::string ReadNotice(const Context& context, const Document& document) {
  std::string out;
  const auto tr = [&context](const char* message) { return Cp1252ToUtf8(context.Tr(message)); };
  if (!document.replaced.empty()) {
    const ReplacedSummary summary = SummarizeReplaced(document.replaced);
    out += tr(msg::kCharactersChanged) + " " + std::to_string(summary.transliterated) + " " +
           tr(msg::kTransliterated) + ", " + std::to_string(summary.dropped) + " " + tr(msg::kDropped) + ", " +
           std::to_string(summary.replaced) + " " + tr(msg::kReplaced) + " : " +
           DescribeCharacters(document.replaced) + "\n";
  }
  if (document.unknownCodePage != 0) {
    out += tr(msg::kUnknownCodePage) + " " + std::to_string(document.unknownCodePage) + "\n";
  }
  if (document.invalidUtf8) out += tr(msg::kInvalidUtf8) + "\n";
  return out;
}

}  // namespace kalix
