// Fuzz target: the search engine. The first bytes choose the settings and
// the strings, the rest is the text. The ways of following partial matches
// (automaton with and without fast runs, trie, string by string) must give
// the same targets and occurrences, field by field, and so must a second
// scan with the same plan; and so must a whole search of the text as one
// part and cut in two parts scanned at once.
#include "app/RunSearch.h"
#include "search/Engine.h"
#include "targets/Collector.h"
#include "targets/Target.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

kalix::RuleSet FuzzRules() {
  kalix::RuleSet r = kalix::DefaultRules();
  r.SeparatorClass[' '] = kalix::kWordSeparator;
  r.SeparatorClass['.'] = kalix::kSentenceSeparator;
  r.SeparatorClass['\n'] = kalix::kParagraphSeparator;
  r.SeparatorClass['\''] = kalix::kSymbol;
  r.SubstRules.push_back({"AB", "C"});
  r.SubstRules.push_back({"BA", ""});
  r.SubstRules.push_back({"CCC", "D"});
  r.SubstMap['E'] = 0;
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  static const kalix::RuleSet rules = FuzzRules();
  kalix::SearchSettings settings;
  settings.SetSpelling(static_cast<int16_t>(data[0] % 3));
  settings.Context = static_cast<int16_t>((data[0] >> 2) % 4);
  settings.AllStrings = data[0] & 16;
  settings.InOrder = data[0] & 32;
  settings.IgnoreSeparators = data[0] & 64;
  settings.SetResult(data[1] & 1, static_cast<int16_t>((data[1] >> 1) % 3), data[1] & 8);
  // Strings: up to 6, each a length byte then its text; positions and
  // exclusions from data[2] and data[3].
  size_t at = 4;
  kalix::cArrowList strings;
  kalix::cArrowList typed;  // as the window has them, before their keys are made
  for (int n = 0; n < 6 && at < size; ++n) {
    size_t length = data[at++] % 6;
    if (length == 0 || at + length > size) break;
    kalix::SearchString s(std::string(reinterpret_cast<const char*>(data + at), length));
    at += length;
    s.Position = static_cast<int16_t>((data[2] + n) % 5);
    s.Exclude = static_cast<int16_t>((data[3] >> n) & 1);
    s.Index = static_cast<int32_t>(strings.size());
    typed.push_back(s);
    if (settings.Substitute) {
      kalix::SubstituteString(rules, s);
    } else if (settings.FoldCase) {
      kalix::FoldString(rules, s);
    }
    strings.push_back(std::move(s));
  }
  std::string text(reinterpret_cast<const char*>(data + at), size - at);
  for (char& c : text) {
    if (c == 0) c = 'A';  // a document text holds no zero byte
  }
  kalix::cTargetList results[5];  // the four ways, then a second scan with one plan
  const kalix::MatchMode modes[4] = {kalix::MatchMode::Automaton, kalix::MatchMode::Trie,
                                     kalix::MatchMode::PerString, kalix::MatchMode::AutomatonSteady};
  for (int m = 0; m < 4; ++m) {
    kalix::TargetCollector sink(rules, settings.ResultSpelling, settings.ShowSymbols);
    sink.BeginDocument(text, {}, "");
    kalix::SearchDocument(rules, settings, strings, {}, text, sink, modes[m]);
    results[m] = sink.Finish();
  }
  // One plan scans the text twice, the second time as the first: a scan
  // leaves nothing behind in its plan.
  {
    const kalix::SearchPlan plan(rules, settings, strings, {});
    for (int pass = 0; pass < 2; ++pass) {
      kalix::TargetCollector sink(rules, settings.ResultSpelling, settings.ShowSymbols);
      sink.BeginDocument(text, {}, "");
      kalix::SearchDocument(plan, text, sink);
      results[4] = sink.Finish();
    }
  }
  for (int m = 1; m < 5; ++m) {
    if (results[m].size() != results[0].size()) std::abort();
    for (size_t t = 0; t < results[0].size(); ++t) {
      const kalix::Target& a = results[0][t];
      const kalix::Target& b = results[m][t];
      if (a.Text != b.Text || a.StringIndex != b.StringIndex || a.Length != b.Length) std::abort();
      if (a.Starts.size() != b.Starts.size()) std::abort();
      if (!a.Starts.empty() &&
          std::memcmp(a.Starts.data(), b.Starts.data(), a.Starts.size() * sizeof(kalix::Occurrence)) != 0) {
        std::abort();
      }
    }
  }
  // The whole search, in one part and in two.
  static const kalix::Context context = [] {
    kalix::Context c;
    c.Rules = FuzzRules();
    return c;
  }();
  kalix::Document doc;
  doc.text = text;
  doc.text.push_back('\0');
  kalix::SearchRequest request;
  request.Strings = typed;
  request.Settings = settings;
  request.Settings.Level = 1;
  request.WindowDocument = &doc;
  request.Parallel = false;
  const kalix::SearchResult one = kalix::RunSearch(context, request);
  request.Parallel = true;
  request.SplitMinimum = 0;
  const kalix::SearchResult two = kalix::RunSearch(context, request);
  if (one.Status != two.Status || one.Targets.size() != two.Targets.size()) std::abort();
  for (size_t t = 0; t < one.Targets.size(); ++t) {
    const kalix::Target& a = one.Targets[t];
    const kalix::Target& b = two.Targets[t];
    if (a.Text != b.Text || a.StringIndex != b.StringIndex || a.Length != b.Length) std::abort();
    if (a.Starts.size() != b.Starts.size()) std::abort();
    if (!a.Starts.empty() &&
        std::memcmp(a.Starts.data(), b.Starts.data(), a.Starts.size() * sizeof(kalix::Occurrence)) != 0) {
      std::abort();
    }
  }
  return 0;
}
