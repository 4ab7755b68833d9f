// kalix-cli variants: the generated variants of each key.
//
// For each STRING: the key that the "Générée" mode computes for it (trimmed
// as the search dialog's edit field trims, then substituted), and the variant
// list of that key at the chosen level, one variant a line, in the list's
// order. The level is a number from 1, as the search dialog's level control
// offers; it defaults to 1, that control's initial position.
//
// With --attested, the "Générée" search of the strings runs over DOCUMENT or
// the corpus of --corpus FILE (given before "--", the strings after it), and
// each variant is followed by a tab and its number of occurrences (each
// occurrence counted for the variant that found it), with the filters of
// --filter NAME (repeatable). --json writes the lists as JSON.

#include "app/CommandLine.h"
#include "app/Statistics.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/ResultOutput.h"
#include "document/Reader.h"
#include "rules/Filters.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "search/Normalize.h"

#include <algorithm>
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

// The bound messages of the lists the bound stopped, on stderr.
void ReportBounded(const Context& ctx, const std::vector<AttestedList>& lists) {
  for (const AttestedList& list : lists) {
    if (!list.Bounded) continue;
    std::string message = ctx.Tr(msg::kVariantsBounded) + "\n" + list.Text;
    std::fprintf(stderr, "%s\n", Cp1252ToUtf8(message).c_str());
  }
}

// {"lists": [{"text", "bounded", "variants": [{"text"[, "occurrences"]}]}]
// [, "occurrences"]}: counts only when `attested` is given.
void WriteVariantsJson(const std::vector<AttestedList>& lists, const AttestedResult* attested) {
  JsonWriter w(stdout);
  w.BeginObject();
  if (attested != nullptr) {
    w.Key("occurrences");
    w.Int(static_cast<int64_t>(attested->Occurrences));
  }
  w.Key("lists");
  w.BeginArray();
  for (const AttestedList& list : lists) {
    w.BeginObject();
    w.Key("text");
    w.String1252(list.Text);
    w.Key("bounded");
    w.Bool(list.Bounded);
    w.Key("variants");
    w.BeginArray();
    for (const AttestedVariant& v : list.Variants) {
      w.BeginObject();
      w.Key("text");
      w.String1252(v.Text);
      if (attested != nullptr) {
        w.Key("occurrences");
        w.Int(static_cast<int64_t>(v.Count));
      }
      w.EndObject();
    }
    w.EndArray();
    w.EndObject();
  }
  w.EndArray();
  w.EndObject();
  w.End();
}

// The "Générée" search of `strings` in the document or corpus, and the count
// of every variant: one line "VARIANT<TAB>COUNT" each, or JSON.
int RunAttested(Context& ctx, int level, bool json, const std::optional<std::string>& documentPath,
                const std::optional<std::string>& corpusPath, const std::vector<std::string>& filterNames,
                const std::vector<std::string>& strings) {
  SearchRequest request;
  for (const std::string& name : filterNames) {
    size_t k = 0;
    while (k < ctx.Rules.FilterDefs.size() && FilterName(ctx.Rules.FilterDefs[k]) != name) ++k;
    if (k == ctx.Rules.FilterDefs.size()) return UsageError("unknown filter: " + name);
    request.CheckedFilters.push_back(k);
  }
  std::sort(request.CheckedFilters.begin(), request.CheckedFilters.end());
  request.CheckedFilters.erase(std::unique(request.CheckedFilters.begin(), request.CheckedFilters.end()),
                               request.CheckedFilters.end());
  for (const std::string& text : strings) {
    for (const SearchString& s : request.Strings) {
      if (s.Text == text) return UsageError("string given twice: " + text);
    }
    request.Strings.emplace_back(text);
  }
  request.Settings.SetSpelling(3);
  request.Settings.SetResult(true, 2, true);
  request.Settings.Level = level;
  Document document;
  if (corpusPath) {
    if (int status = OpenCorpusArgument(ctx, *corpusPath)) return status;
    request.Settings.UseCorpus = true;
    request.Corpus = ctx.Corpus.Entries;
    const CorpusReading reading = ConsoleCorpusReading();
    request.OnUnreadable = reading.OnUnreadable;
    request.OnProgress = reading.OnProgress;
  } else {
    std::string message;
    if (!OpenDocument(ctx, document, *documentPath, &message)) {
      ReportDocumentMessage(message);
      return 1;
    }
    request.WindowDocument = &document;
  }
  const AttestedResult result = CountAttestedVariants(ctx, std::move(request));
  ReportBounded(ctx, result.Lists);
  if (json) {
    WriteVariantsJson(result.Lists, &result);
    return 0;
  }
  std::string out;
  for (const AttestedList& list : result.Lists) {
    for (const AttestedVariant& v : list.Variants) out += v.Text + '\t' + std::to_string(v.Count) + '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return 0;
}

}  // namespace

int RunVariantsCommand(Context& ctx, const Args& args) {
  int level = 1;
  bool attested = false;
  bool json = false;
  std::optional<std::string> documentPath;
  std::optional<std::string> corpusPath;
  std::vector<std::string> filterNames;
  std::vector<std::string> given;
  size_t beforeDashes = 0;  // how many of `given` came before "--"
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
    } else if (options && arg == "--attested") {
      attested = true;
    } else if (options && arg == "--json") {
      json = true;
    } else if (options && arg == "--filter") {
      if (i + 1 >= args.size()) return UsageError("missing value after --filter");
      filterNames.push_back(Utf8OrCp1252To1252(args[++i]));
    } else if (options && arg == "--corpus") {
      if (i + 1 >= args.size()) return UsageError("missing value after --corpus");
      if (corpusPath) return UsageError("--corpus given twice");
      corpusPath = args[++i];
    } else if (options && arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      return UsageError("unknown option: " + arg);
    } else {
      given.push_back(arg);
      if (options) beforeDashes = given.size();
    }
  }
  // With --attested, the arguments before "--" name the document.
  std::vector<std::string> strings;
  for (size_t k = 0; k < given.size(); ++k) {
    if (attested && k < beforeDashes) {
      if (documentPath) return UsageError("more than one document: " + given[k]);
      documentPath = given[k];
      continue;
    }
    std::string text = TrimBlanks(Utf8OrCp1252To1252(given[k]));
    if (text.empty()) return UsageError("empty string: '" + given[k] + "'");
    strings.push_back(std::move(text));
  }
  if (strings.empty()) return UsageError("variants needs at least one string");
  if (attested) {
    if (documentPath.has_value() == corpusPath.has_value()) {
      return UsageError("variants --attested needs a DOCUMENT or --corpus FILE, then -- and the strings");
    }
    return RunAttested(ctx, level, json, documentPath, corpusPath, filterNames, strings);
  }
  if (documentPath || corpusPath || !filterNames.empty()) {
    return UsageError("a document, --corpus and --filter go with --attested only");
  }

  std::vector<VariantList> lists;
  for (const std::string& text : strings) lists.push_back(GenerateVariants(ctx.Morva, SubstituteText(ctx.Rules, text), level));
  if (json) {
    std::vector<AttestedList> plain;
    for (size_t n = 0; n < strings.size(); ++n) {
      AttestedList list{strings[n], {}, lists[n].bounded};
      for (const std::string& v : lists[n].variants) list.Variants.push_back(AttestedVariant{v, 0});
      plain.push_back(std::move(list));
    }
    ReportBounded(ctx, plain);
    WriteVariantsJson(plain, nullptr);
    return 0;
  }
  std::string out;
  for (size_t n = 0; n < strings.size(); ++n) {
    const VariantList& list = lists[n];
    for (const std::string& variant : list.variants) {
      out += variant;
      out += '\n';
    }
    if (list.bounded) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
      std::fflush(stdout);
      std::string message = ctx.Tr(msg::kVariantsBounded) + "\n" + strings[n];
      std::fprintf(stderr, "%s\n", Cp1252ToUtf8(message).c_str());
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return 0;
}

}  // namespace kalix::cli
