#include "rules/RuleSet.h"

#include "platform/TextFile.h"

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

void ParseRules(RuleSet& rules, const std::string& text) {
  ResetRules(rules);
  (void)text;  // placeholder: the reader fills this in
}

bool LoadRules(RuleSet& rules, const std::string& path) {
  auto text = ReadTextFile(path);
  if (!text) return false;
  ParseRules(rules, *text);
  return true;
}

}  // namespace kalix
