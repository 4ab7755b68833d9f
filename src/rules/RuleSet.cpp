#include "rules/RuleSet.h"

#include "platform/TextFile.h"

#include <limits>

namespace kalix {

RuleSet DefaultRules() {
  RuleSet r;
  r.PageMarker = 0xB1;
  r.RectoMarker = 0xF2;
  r.VersoMarker = 0xBE;
  r.GlyphMarker = 0xAD;
  r.NoteAnchor = 0xB9;
  r.NoteMarker = 0xAC;
  for (int c = 0; c < 256; ++c) {
    unsigned char u = c < 32 ? 0 : static_cast<unsigned char>(c);
    if (c >= 'a' && c <= 'z') u = static_cast<unsigned char>(c - 32);
    r.UpperMap[c] = u;
    r.SubstMap[c] = u;
  }
  return r;
}

void ResetRules(RuleSet& rules) { rules = DefaultRules(); }

namespace {

// The longest replacement a substitution rule holds.
constexpr size_t kMaxReplacement = 32;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

enum class Section { None, Markers, Separators, Uppers, Substitutions, Vowels, Consonants, Filters };

Section HeaderSection(std::string_view line) {
  if (line == "[Markers]") return Section::Markers;
  if (line == "[Separators]") return Section::Separators;
  if (line == "[Uppers]") return Section::Uppers;
  if (line == "[Substitutions]") return Section::Substitutions;
  if (line == "[Vowels]") return Section::Vowels;
  if (line == "[Consonants]") return Section::Consonants;
  if (line == "[Filters]") return Section::Filters;
  return Section::None;
}

// "[Markers]": key "=" value. The key selects the first name that begins
// with it, so "P" and the empty key select "Page".
bool ReadMarkerLine(RuleSet& rules, std::string_view line) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  std::string_view key = line.substr(0, eq);
  static constexpr std::string_view kNames[] = {"Page", "Recto", "Verso", "Glyph", "Note", "Line"};
  int found = -1;
  for (int k = 0; k < 6; ++k) {
    if (kNames[k].substr(0, key.size()) == key && key.size() <= kNames[k].size()) {
      found = k;
      break;
    }
  }
  if (found < 0) return false;
  size_t cursor = eq + 1;
  auto value = static_cast<unsigned char>(ReadCharValue(line, cursor));
  switch (found) {
    case 0: rules.PageMarker = value; break;
    case 1: rules.RectoMarker = value; break;
    case 2: rules.VersoMarker = value; break;
    case 3: rules.GlyphMarker = value; break;
    case 4: rules.NoteMarker = value; break;
    default: break;  // "Line": recognised, sets nothing
  }
  return true;
}

// "[Separators]": c "=" digit 1 to 4, right behind the "=".
bool ReadSeparatorLine(RuleSet& rules, std::string_view line) {
  size_t cursor = 0;
  int c = ReadCharValue(line, cursor);
  if (c == 0) return false;
  if (cursor >= line.size() || line[cursor] != '=') return false;
  ++cursor;
  if (cursor >= line.size()) return false;
  char digit = line[cursor];
  if (digit < '1' || digit > '4') return false;
  rules.SeparatorClass[c] = static_cast<unsigned char>(digit - '0');
  return true;
}

// "[Uppers]": c "=" d, c not below 32.
bool ReadUpperLine(RuleSet& rules, std::string_view line) {
  size_t cursor = 0;
  int c = ReadCharValue(line, cursor);
  if (c < 32) return false;
  if (cursor >= line.size() || line[cursor] != '=') return false;
  ++cursor;
  rules.UpperMap[c] = static_cast<unsigned char>(ReadCharValue(line, cursor));
  return true;
}

// "[Substitutions]": left side "=" right side.
bool ReadSubstitutionLine(RuleSet& rules, std::string_view line) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos || eq == 0) return false;
  std::string left;
  size_t cursor = 0;
  while (cursor < eq) left.push_back(static_cast<char>(ReadCharValue(line, cursor)));
  std::string right;
  cursor = eq + 1;
  while (cursor < line.size() && right.size() < left.size()) {
    right.push_back(static_cast<char>(ReadCharValue(line, cursor)));
  }
  if (left.size() == 1) {
    rules.SubstMap[static_cast<unsigned char>(left[0])] =
        right.empty() ? 0 : static_cast<unsigned char>(right[0]);
    return true;
  }
  // A left side holding the value 0 could only match past the end of the
  // text; one too long for the rule's 16-bit length cannot be held.
  if (left.find('\0') != std::string::npos) return false;
  if (left.size() > static_cast<size_t>(std::numeric_limits<int16_t>::max())) return false;
  if (right.size() > kMaxReplacement) right.resize(kMaxReplacement);
  rules.SubstRules.push_back(SubstRule{std::move(left), std::move(right)});
  return true;
}

void ReadSetLine(std::array<bool, 256>& set, std::string_view line) {
  size_t cursor = 0;
  while (cursor < line.size()) set[ReadCharValue(line, cursor)] = true;
}

}  // namespace

int ReadCharValue(std::string_view line, size_t& cursor) {
  if (cursor >= line.size()) {
    cursor = line.size();
    return 0;
  }
  char c = line[cursor];
  if (!IsDigit(c)) {
    ++cursor;
    return static_cast<unsigned char>(c);
  }
  if (c == '0' && cursor + 1 < line.size() && line[cursor + 1] == 'x') {
    cursor += 2;
    int value = 0;
    for (int k = 0; k < 2 && cursor < line.size(); ++k) {
      int d = HexDigit(line[cursor]);
      if (d < 0) break;
      value = value * 16 + d;
      ++cursor;
    }
    return value;
  }
  int value = 0;
  while (cursor < line.size() && IsDigit(line[cursor])) {
    value = (value * 10 + (line[cursor] - '0')) % 256;
    ++cursor;
  }
  return value;
}

int ParseRules(RuleSet& rules, const std::string& text) {
  ResetRules(rules);
  Section section = Section::Markers;
  int recognised = 0;
  for (std::string_view raw : SplitLines(text)) {
    std::string_view line = CutAtZero(raw);
    if (line.empty()) continue;
    char first = line[0];
    if (first == '\n' || first == '\r' || first == ';') continue;
    size_t end = line.find_first_of("\r\n");
    if (end != std::string_view::npos) line = line.substr(0, end);
    if (first == '[') {
      section = HeaderSection(line);
      // The generation rules' section is read by the generation rules.
      if (section != Section::None || line.starts_with("[Morvo]")) ++recognised;
      continue;
    }
    bool read = true;
    switch (section) {
      case Section::Markers: read = ReadMarkerLine(rules, line); break;
      case Section::Separators: read = ReadSeparatorLine(rules, line); break;
      case Section::Uppers: read = ReadUpperLine(rules, line); break;
      case Section::Substitutions: read = ReadSubstitutionLine(rules, line); break;
      case Section::Vowels: ReadSetLine(rules.VowelSet, line); break;
      case Section::Consonants: ReadSetLine(rules.ConsonantSet, line); break;
      case Section::Filters: rules.FilterDefs.emplace_back(line); break;
      case Section::None: read = false; break;
    }
    if (read) ++recognised;
  }
  return recognised;
}

bool LoadRules(RuleSet& rules, const std::string& path, RulesDoubt* doubt) {
  auto text = ReadTextFile(path);
  if (!text) return false;
  const int recognised = ParseRules(rules, *text);
  if (doubt != nullptr) *doubt = DoubtAboutRules(rules, recognised);
  return true;
}

RulesDoubt DoubtAboutRules(const RuleSet& rules, int recognised) {
  if (recognised == 0) return RulesDoubt::NothingRecognised;
  const auto letter = [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  for (unsigned char marker : {rules.PageMarker, rules.RectoMarker, rules.VersoMarker, rules.GlyphMarker,
                               rules.NoteMarker}) {
    if (marker == 0) return RulesDoubt::MarkerIsZero;
    if (letter(marker)) return RulesDoubt::MarkerIsLetter;
  }
  return RulesDoubt::None;
}

const char* RulesDoubtReason(RulesDoubt doubt) {
  switch (doubt) {
    case RulesDoubt::NothingRecognised: return "aucune ligne n'est reconnue";
    case RulesDoubt::MarkerIsZero: return "un marqueur vaut 0";
    case RulesDoubt::MarkerIsLetter: return "un marqueur est une lettre";
    case RulesDoubt::None: break;
  }
  return "";
}

}  // namespace kalix
