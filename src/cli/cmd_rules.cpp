// kalix-cli rules: the rule set and the generation rules, as JSON.

#include "cli/Commands.h"
#include "cli/Json.h"

#include <cstdio>

namespace kalix::cli {

namespace {

void Marker(JsonWriter& json, const char* name, unsigned char value) {
  json.Key(name);
  json.String1252(std::string_view(reinterpret_cast<const char*>(&value), 1));
}

template <typename Table>
void IntTable(JsonWriter& json, const char* name, const Table& table) {
  json.Key(name);
  json.BeginArray();
  for (auto v : table) json.Int(static_cast<int>(v));
  json.EndArray();
}

void CodeSet(JsonWriter& json, const char* name, const std::array<bool, 256>& set) {
  json.Key(name);
  json.BeginArray();
  for (int c = 0; c < 256; ++c) {
    if (set[c]) json.Int(c);
  }
  json.EndArray();
}

}  // namespace

int RunRulesCommand(Context& ctx, const Args& args) {
  if (!args.empty()) return UsageError("rules takes no argument");
  const RuleSet& rules = ctx.Rules;
  JsonWriter json(stdout);
  json.BeginObject();
  json.Key("markers");
  json.BeginObject();
  Marker(json, "page", rules.PageMarker);
  Marker(json, "recto", rules.RectoMarker);
  Marker(json, "verso", rules.VersoMarker);
  Marker(json, "glyph", rules.GlyphMarker);
  Marker(json, "noteAnchor", rules.NoteAnchor);
  Marker(json, "note", rules.NoteMarker);
  json.EndObject();
  IntTable(json, "upper", rules.UpperMap);
  IntTable(json, "subst", rules.SubstMap);
  IntTable(json, "separator", rules.SeparatorClass);
  CodeSet(json, "vowels", rules.VowelSet);
  CodeSet(json, "consonants", rules.ConsonantSet);
  json.Key("rules");
  json.BeginArray();
  for (const SubstRule& rule : rules.SubstRules) {
    json.BeginObject();
    json.Key("match");
    json.String1252(rule.Match);
    json.Key("replacement");
    json.String1252(rule.Replacement);
    json.EndObject();
  }
  json.EndArray();
  json.Key("filters");
  json.BeginArray();
  for (const std::string& def : rules.FilterDefs) json.String1252(def);
  json.EndArray();
  json.Key("morvo");
  json.BeginObject();
  json.Key("maxLevel");
  json.Int(ctx.Morva.MaxLevel);
  json.Key("rules");
  json.BeginArray();
  for (const MorvaRule& rule : ctx.Morva.List) {
    json.BeginObject();
    json.Key("level");
    json.Int(rule.Level);
    json.Key("from");
    json.String1252(rule.From);
    json.Key("to");
    json.String1252(rule.To);
    json.Key("condition");
    json.String1252(rule.Condition);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  json.EndObject();
  json.End();
  return 0;
}

}  // namespace kalix::cli
