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
//                       report options of cli/ReportOptions.h; with
//                       --format, the occurrence table (cli/ExportOutput.h)

#include "app/CommandLine.h"
#include "app/RunSearch.h"
#include "cli/Commands.h"
#include "cli/ReportOptions.h"
#include "cli/ResultOutput.h"
#include "cli/SearchCommandLine.h"
#include "document/Reader.h"
#include "i18n/Messages.h"
#include "lexicon/ListFile.h"
#include "platform/Cp1252.h"
#include "rules/Filters.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
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

// The command line of a search, as given.
struct SearchArgs {
  SearchRequest request;
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
};

// The options that take a number in [low, high], and where it goes.
struct NumberOption {
  const char* name;
  int low;
  int high;
  const char* range;  // as the error message says it
  int SearchArgs::*field;
};
constexpr NumberOption kNumberOptions[] = {
    {"--spelling", 0, 3, "0 to 3", &SearchArgs::spelling},
    {"--level", 1, 999999999, "a number from 1", &SearchArgs::level},
    {"--context", 0, 3, "0 to 3", &SearchArgs::context},
};

// The options without a value, and the flag each sets.
struct FlagOption {
  const char* name;
  bool SearchArgs::*field;
};
constexpr FlagOption kFlagOptions[] = {
    {"--no-all", &SearchArgs::noAll},
    {"--in-order", &SearchArgs::inOrder},
    {"--no-symbols", nullptr},  // clears `symbols`
    {"--json", &SearchArgs::json},
    {"--summary", &SearchArgs::summary},
};

// A search string, trimmed as the dialog's edit field trims it.
std::optional<std::string> AddString(SearchArgs& a, const std::string& v) {
  std::string text = TrimBlanks(Utf8OrCp1252To1252(v));
  if (text.empty()) return "empty string: '" + v + "'";
  for (const SearchString& s : a.request.Strings) {
    if (s.Text == text) return "string given twice: " + v;
  }
  a.request.Strings.emplace_back(text);
  return std::nullopt;
}

std::optional<std::string> SetResult(SearchArgs& a, const std::string& v) {
  if (v == "as-spelling") {
    a.asSpelling = true;
    return std::nullopt;
  }
  auto n = ParseNumber(v, 0, 2);
  if (!n) return "--result takes as-spelling, 0, 1 or 2: " + v;
  a.asSpelling = false;
  a.resultSpelling = *n;
  return std::nullopt;
}

// An option that takes a value `v`; nullopt when `arg` is none of them.
std::optional<std::optional<std::string>> ValueOption(SearchArgs& a, const std::string& arg, const std::string& v) {
  using Error = std::optional<std::string>;
  for (const NumberOption& o : kNumberOptions) {
    if (arg != o.name) continue;
    auto n = ParseNumber(v, o.low, o.high);
    if (!n) return Error(std::string(o.name) + " takes " + o.range + ": " + v);
    a.*o.field = *n;
    return Error();
  }
  if (arg == "--string") return AddString(a, v);
  if (arg == "--position") {
    if (a.request.Strings.empty()) return Error("--position must follow a --string");
    auto n = ParseNumber(v, 0, 4);
    if (!n) return Error("--position takes 0 to 4: " + v);
    a.request.Strings.back().Position = static_cast<int16_t>(*n);
    return Error();
  }
  if (arg == "--result") return SetResult(a, v);
  if (arg == "--filter") {
    a.filterNames.push_back(Utf8OrCp1252To1252(v));
    return Error();
  }
  if (arg == "--corpus") {
    if (a.corpusFile) return Error("--corpus given twice");
    a.corpusFile = v;
    return Error();
  }
  return std::nullopt;
}

bool TakesValue(const std::string& arg) {
  for (const NumberOption& o : kNumberOptions) {
    if (arg == o.name) return true;
  }
  return arg == "--string" || arg == "--position" || arg == "--result" || arg == "--filter" || arg == "--corpus";
}

// An option without a value or the document; an error message, or nullopt.
std::optional<std::string> PlainArgument(SearchArgs& a, const std::string& arg) {
  for (const FlagOption& o : kFlagOptions) {
    if (arg != o.name) continue;
    if (o.field == nullptr) {
      a.symbols = false;
    } else {
      a.*o.field = true;
    }
    return std::nullopt;
  }
  if (arg == "--ignore-separators") {
    a.request.Settings.IgnoreSeparators = true;
  } else if (arg == "--exclude") {
    if (a.request.Strings.empty()) return "--exclude must follow a --string";
    a.request.Strings.back().Exclude = 1;
  } else if (arg.size() > 1 && arg[0] == '-') {
    return "unknown option: " + arg;
  } else {
    if (a.documentPath) return "more than one document: " + arg;
    a.documentPath = arg;
  }
  return std::nullopt;
}

// Reads the whole command line; an error message, or nullopt.
std::optional<std::string> ParseSearchArgs(const Args& args, SearchArgs& a) {
  auto valueOption = [&a](const std::string& arg, const std::string& v) { return *ValueOption(a, arg, v); };
  auto plain = [&a](const std::string& arg) { return PlainArgument(a, arg); };
  if (auto e = ParseArguments(args, a.report, TakesValue, valueOption, plain)) return e;
  if (a.request.Strings.empty()) return "search needs at least one --string";
  if (a.documentPath && a.corpusFile) return "give a document or --corpus, not both";
  if (!a.documentPath && !a.corpusFile) return "search needs a document or --corpus FILE";
  if (a.json && a.summary) return "--json and --summary exclude each other";
  if (a.report.Export.OccurrenceRows) return "--occurrences is an option of words";
  return CheckExportOptions(a.report.Export, a.report.Report, a.json, a.summary);
}

// The checked filters, in the order of their definitions; an error message
// for a name no filter has.
std::optional<std::string> CheckFilters(const RuleSet& rules, SearchArgs& a) {
  std::vector<bool> used(a.filterNames.size(), false);
  for (size_t k = 0; k < rules.FilterDefs.size(); ++k) {
    std::string name = FilterName(rules.FilterDefs[k]);
    bool checked = false;
    for (size_t n = 0; n < a.filterNames.size(); ++n) {
      if (a.filterNames[n] == name) {
        checked = true;
        used[n] = true;
      }
    }
    if (checked) a.request.CheckedFilters.push_back(k);
  }
  for (size_t n = 0; n < a.filterNames.size(); ++n) {
    if (!used[n]) return "unknown filter: " + a.filterNames[n];
  }
  return std::nullopt;
}

void ApplySettings(SearchArgs& a) {
  SearchSettings& settings = a.request.Settings;
  settings.SetSpelling(static_cast<int16_t>(a.spelling));
  settings.Context = static_cast<int16_t>(a.context);
  settings.AllStrings = a.context != 0 && !a.noAll;
  settings.InOrder = a.context != 0 && a.inOrder;
  settings.SetResult(a.asSpelling, static_cast<int16_t>(a.resultSpelling), a.symbols);
  settings.Level = a.level;
}

// Points the request at the corpus or at `document`, opened; an exit
// status when that fails, else 0.
int OpenSource(Context& ctx, SearchArgs& a, Document& document) {
  SearchRequest& request = a.request;
  if (a.corpusFile) {
    if (int status = OpenCorpusArgument(ctx, *a.corpusFile)) return status;
    request.Settings.UseCorpus = true;
    request.Corpus = ctx.Corpus.Entries;
    const CorpusReading reading = ConsoleCorpusReading();
    request.OnUnreadable = reading.OnUnreadable;
    request.OnNotice = reading.OnNotice;
    request.OnProgress = reading.OnProgress;
    return 0;
  }
  std::string message;
  if (!OpenDocument(ctx, document, *a.documentPath, &message)) {
    ReportDocumentMessage(message);
    return 1;
  }
  WarnReadNotice(ctx, document);
  request.WindowDocument = &document;
  return 0;
}

}  // namespace

int RunSearchCommand(Context& ctx, const Args& args) {
  SearchArgs a;
  if (auto error = ParseSearchArgs(args, a)) return UsageError(*error);
  if (auto error = CheckFilters(ctx.Rules, a)) return UsageError(*error);
  ApplySettings(a);
  Document document;
  if (int status = OpenSource(ctx, a, document)) return status;

  // The export's index of the document is made while the search runs.
  std::shared_ptr<WindowDocumentPreparation> prepared;
  if (a.report.Export.Format && !a.corpusFile) prepared = std::make_shared<WindowDocumentPreparation>(document);
  SearchResult result = RunSearch(ctx, std::move(a.request));
  const cTargetList& targets = KeepUntilExit(std::move(result.Targets));
  for (const std::string& text : result.BoundedTexts) {
    ReportDocumentMessage(ctx.Tr(msg::kVariantsBounded) + "\n" + text);
  }
  if (a.report.Export.Format) {
    ExportTable table = OccurrenceTable(ctx, ExportSource{result.Settings, result.Strings, targets, document},
                                        a.report.Export.Occurrences, ReportExportDocumentError, std::move(prepared));
    return EmitTable(ctx, table, *a.report.Export.Format, a.report.Report.OutputFile);
  }
  if (a.json) {
    WriteResultJson(stdout, result.Status, targets, a.corpusFile ? nullptr : &document);
    return 0;
  }
  if (a.summary) {
    WriteSummary(stdout, result.Status);
    return 0;
  }
  FinishReportOptions(a.report, result.Settings.Context);
  ReportSource source{result.Settings, result.Strings, targets, document, ctx.Corpus.Entries};
  return EmitReport(ctx, source, a.report);
}

}  // namespace kalix::cli

namespace kalix::cli {

int ReadSearchCommandLine(Context& ctx, const Args& args, SearchRequest& request, Document& document) {
  SearchArgs a;
  if (auto error = ParseSearchArgs(args, a)) return UsageError(*error);
  if (auto error = CheckFilters(ctx.Rules, a)) return UsageError(*error);
  ApplySettings(a);
  if (int status = OpenSource(ctx, a, document)) return status;
  request = std::move(a.request);
  return 0;
}

}  // namespace kalix::cli
