#include "rules/Filters.h"

namespace kalix {

std::string FilterName(const std::string& def) {
  if (def.size() <= 2) return std::string();
  size_t eq = def.find('=');
  if (eq == std::string::npos) return def.substr(2);
  if (eq < 2) return std::string();
  return def.substr(2, eq - 2);
}

std::string FilterLabel(const std::string& def) { return def.substr(0, def.find('=')); }

std::vector<FilterPattern> FilterPatterns(const std::string& def) {
  std::vector<FilterPattern> patterns;
  size_t eq = def.find('=');
  if (eq == std::string::npos) return patterns;
  size_t start = eq + 1;
  while (start <= def.size()) {
    size_t comma = def.find(',', start);
    if (comma == std::string::npos) comma = def.size();
    std::string piece = def.substr(start, comma - start);
    start = comma + 1;
    if (piece.empty()) continue;
    FilterPattern pattern;
    bool atStart = piece[0] == '^';
    if (atStart) {
      piece.erase(0, 1);
      pattern.Anchor = kAnchorStart;
    }
    if (!piece.empty() && piece.back() == '$') {
      piece.pop_back();
      pattern.Anchor = atStart ? kAnchorBoth : kAnchorEnd;
    }
    pattern.Text = std::move(piece);
    patterns.push_back(std::move(pattern));
  }
  return patterns;
}

std::string FilterItemText(const LanguageState& language, const std::string& def) {
  return def.substr(0, 2) + Translate(language, FilterName(def));
}

}  // namespace kalix
