// kalix-cli search: a search, as the search dialog sets it up, over one
// document or over the documents of a corpus file.
//
//   --string TEXT       a search string (repeatable); trimmed as the
//                       dialog's edit field trims it
//     --position 0..4   where the string must stand in its word
//     --exclude         the string is excluded
//   --spelling 0..3     "Identique", "Majuscule", "Modifiée" (default),
//                       "Générée"
//   --level N           generation level (default 1)
//   --ignore-separators
//   --context 0..3      "Texte" (default), "Mot", "Phrase", "Paragraphe"
//   --no-all            "Toutes les chaînes" unchecked
//   --in-order          "Dans l'ordre" checked
//   --result as-spelling|0|1|2
//   --no-symbols        "affiche les symboles" unchecked
//   --filter NAME       a filter by its name (repeatable)
//   --corpus FILE       search the documents of a corpus file
//   --json | --summary  output; by default the result report, with the
//                       report options of cli/ReportOptions.h

#include "app/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ReportOptions.h"
#include "cli/ResultOutput.h"
#include "document/Reader.h"
#include "i18n/Messages.h"
#include "lexicon/ListFile.h"
#include "platform/Cp1252.h"
#include "rules/Filters.h"
#include "app/RunSearch.h"

#include <unistd.h>

#include <cstdio>
#include <optional>

namespace kalix::cli {

namespace {

// A decimal number in [low, high].
std::optional<int> ParseNumber(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

}  // namespace

int RunSearchCommand(Context& ctx, const Args& args) {
  SearchRequest request;
  SearchSettings& settings = request.Settings;
  int spelling = 2;
  int context = 0;
  int level = 1;
  bool noAll = false;
  bool inOrder = false;
  bool asSpelling = true;
  int resultSpelling = 1;
  bool symbols = true;
  bool json = false;
  bool summary = false;
  std::vector<std::string> filterNames;
  std::optional<std::string> corpusFile;
  std::optional<std::string> documentPath;
  ReportCliOptions report;

  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string error;
    switch (ParseReportOption(args, i, report, error)) {
      case OptionParse::Taken:
        continue;
      case OptionParse::Error:
        return UsageError(error);
      case OptionParse::NotMine:
        break;
    }
    auto value = [&](const char* option) -> const std::string* {
      if (i + 1 >= args.size()) return nullptr;
      (void)option;
      return &args[++i];
    };
    if (arg == "--string") {
      const std::string* v = value("--string");
      if (!v) return UsageError("missing value after --string");
      std::string text = TrimBlanks(Utf8OrCp1252To1252(*v));
      if (text.empty()) return UsageError("empty string: '" + *v + "'");
      for (const SearchString& s : request.Strings) {
        if (s.Text == text) return UsageError("string given twice: " + *v);
      }
      request.Strings.emplace_back(text);
    } else if (arg == "--position") {
      const std::string* v = value("--position");
      if (!v) return UsageError("missing value after --position");
      if (request.Strings.empty()) return UsageError("--position must follow a --string");
      auto n = ParseNumber(*v, 0, 4);
      if (!n) return UsageError("--position takes 0 to 4: " + *v);
      request.Strings.back().Position = static_cast<int16_t>(*n);
    } else if (arg == "--exclude") {
      if (request.Strings.empty()) return UsageError("--exclude must follow a --string");
      request.Strings.back().Exclude = 1;
    } else if (arg == "--spelling") {
      const std::string* v = value("--spelling");
      if (!v) return UsageError("missing value after --spelling");
      auto n = ParseNumber(*v, 0, 3);
      if (!n) return UsageError("--spelling takes 0 to 3: " + *v);
      spelling = *n;
    } else if (arg == "--level") {
      const std::string* v = value("--level");
      if (!v) return UsageError("missing value after --level");
      auto n = ParseNumber(*v, 1, 999999999);
      if (!n) return UsageError("--level takes a number from 1: " + *v);
      level = *n;
    } else if (arg == "--ignore-separators") {
      settings.IgnoreSeparators = true;
    } else if (arg == "--context") {
      const std::string* v = value("--context");
      if (!v) return UsageError("missing value after --context");
      auto n = ParseNumber(*v, 0, 3);
      if (!n) return UsageError("--context takes 0 to 3: " + *v);
      context = *n;
    } else if (arg == "--no-all") {
      noAll = true;
    } else if (arg == "--in-order") {
      inOrder = true;
    } else if (arg == "--result") {
      const std::string* v = value("--result");
      if (!v) return UsageError("missing value after --result");
      if (*v == "as-spelling") {
        asSpelling = true;
      } else {
        auto n = ParseNumber(*v, 0, 2);
        if (!n) return UsageError("--result takes as-spelling, 0, 1 or 2: " + *v);
        asSpelling = false;
        resultSpelling = *n;
      }
    } else if (arg == "--no-symbols") {
      symbols = false;
    } else if (arg == "--filter") {
      const std::string* v = value("--filter");
      if (!v) return UsageError("missing value after --filter");
      filterNames.push_back(Utf8OrCp1252To1252(*v));
    } else if (arg == "--corpus") {
      const std::string* v = value("--corpus");
      if (!v) return UsageError("missing value after --corpus");
      if (corpusFile) return UsageError("--corpus given twice");
      corpusFile = *v;
    } else if (arg == "--json") {
      json = true;
    } else if (arg == "--summary") {
      summary = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option: " + arg);
    } else {
      if (documentPath) return UsageError("more than one document: " + arg);
      documentPath = arg;
    }
  }
  if (request.Strings.empty()) return UsageError("search needs at least one --string");
  if (documentPath && corpusFile) return UsageError("give a document or --corpus, not both");
  if (!documentPath && !corpusFile) return UsageError("search needs a document or --corpus FILE");
  if (json && summary) return UsageError("--json and --summary exclude each other");

  // The checked filters, in the order of their definitions.
  std::vector<bool> used(filterNames.size(), false);
  for (size_t k = 0; k < ctx.Rules.FilterDefs.size(); ++k) {
    std::string name = FilterName(ctx.Rules.FilterDefs[k]);
    bool checked = false;
    for (size_t n = 0; n < filterNames.size(); ++n) {
      if (filterNames[n] == name) {
        checked = true;
        used[n] = true;
      }
    }
    if (checked) request.CheckedFilters.push_back(k);
  }
  for (size_t n = 0; n < filterNames.size(); ++n) {
    if (!used[n]) return UsageError("unknown filter: " + filterNames[n]);
  }

  settings.SetSpelling(static_cast<int16_t>(spelling));
  settings.Context = static_cast<int16_t>(context);
  settings.AllStrings = context != 0 && !noAll;
  settings.InOrder = context != 0 && inOrder;
  settings.SetResult(asSpelling, static_cast<int16_t>(resultSpelling), symbols);
  settings.Level = level;

  Document document;
  if (corpusFile) {
    if (int status = OpenCorpusArgument(ctx, *corpusFile)) return status;
    settings.UseCorpus = true;
    request.Corpus = ctx.Corpus.Entries;
    request.OnUnreadable = [](const std::string&, const std::string& message) { ReportDocumentMessage(message); };
    request.OnProgress = [](size_t index, size_t count, const std::string&) { ReportCorpusProgress(index, count); };
  } else {
    std::string message;
    if (!OpenDocument(ctx, document, *documentPath, &message)) {
      ReportDocumentMessage(message);
      return 1;
    }
    request.WindowDocument = &document;
  }

  SearchResult result = RunSearch(ctx, std::move(request));
  const cTargetList& targets = KeepUntilExit(std::move(result.Targets));
  for (const std::string& text : result.BoundedTexts) {
    ReportDocumentMessage(ctx.Tr(msg::kVariantsBounded) + "\n" + text);
  }

  if (json) {
    WriteResultJson(stdout, result.Status, targets);
    return 0;
  }
  if (summary) {
    WriteSummary(stdout, result.Status);
    return 0;
  }
  FinishReportOptions(report, result.Settings.Context);
  ReportSource source{result.Settings, result.Strings, targets, document, ctx.Corpus.Entries};
  return EmitReport(ctx, source, report);
}

}  // namespace kalix::cli
