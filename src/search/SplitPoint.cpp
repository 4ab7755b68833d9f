// Where a long text may be cut, and the view positions of its second part.
#include "search/Engine.h"

#include "platform/ByteSet.h"

#include <array>

namespace kalix {

size_t SplitPoint(const RuleSet& rules, const SearchSettings& settings, const cFilterList& filters,
                  std::string_view text, size_t minimum) {
  if (text.size() < minimum || text.size() < 4) return 0;
  const auto& cls = rules.SeparatorClass;
  // Comparison characters that a rule or a filter may read.
  std::array<bool, 256> read{};
  if (settings.Substitute) {
    for (const SubstRule& r : rules.SubstRules) {
      if (r.Replacement.size() > r.Match.size()) return 0;
      for (char c : r.Match) read[static_cast<unsigned char>(c)] = true;
    }
  }
  std::array<bool, 256> inFilter{};
  for (const FilterPattern& f : filters) {
    for (char c : f.Text) inFilter[static_cast<unsigned char>(c)] = true;
  }
  for (int b = 0; b < 256; ++b) {
    if (cls[b] >= kWordSeparator && inFilter[rules.UpperMap[b]]) return 0;
  }
  const size_t end = text.size() - text.size() / 4;
  for (size_t q = text.size() / 2; q < end; ++q) {
    const unsigned char b = static_cast<unsigned char>(text[q]);
    if (cls[b] == kParagraphSeparator && !read[rules.UpperMap[b]]) return q + 1;
  }
  return 0;
}

int32_t ViewPositionAt(std::string_view text, size_t at) {
  if (at > text.size()) at = text.size();
  static const ByteSet lineBreaks = [] {
    ByteSet set;
    set.Add('\n');
    set.Add('\r');
    return set;
  }();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  int64_t count = 0;
  size_t p = 0;
  for (; p + 64 <= at; p += 64) count += __builtin_popcountll(lineBreaks.Mask64(bytes + p));
  for (; p < at; ++p) count += lineBreaks.Contains(bytes[p]);
  return static_cast<int32_t>(static_cast<int64_t>(at) + count);
}

}  // namespace kalix
