// kalix-cli words: the word list of a document or of a corpus.
//
//   --result 0|1|2      the spelling the list shows
//   --symbols           "affiche les symboles" checked
//   --filter NAME       a filter by its name (repeatable)
//   --corpus FILE       the documents of a corpus file
//   --json | --summary  output; by default the result report, with the
//                       report options of cli/ReportOptions.h; with
//                       --format, the word list table, or with
//                       --occurrences the occurrence table
//                       (cli/ExportOutput.h)

#include "cli/Commands.h"
#include "cli/ReportOptions.h"
#include "cli/ResultOutput.h"
#include "document/Reader.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "app/WordList.h"

#include <cstdio>
#include <memory>
#include <optional>

namespace kalix::cli {

namespace {

// The command line of a word list, as given.
struct WordsArgs {
  WordListChoice choice;
  std::vector<std::string> filterNames;
  ReportCliOptions report;
  bool json = false;
  bool summary = false;
  std::optional<std::string> documentPath;
  std::optional<std::string> corpusPath;
};

bool TakesValue(const std::string& arg) { return arg == "--result" || arg == "--filter" || arg == "--corpus"; }

// An option that takes a value `v`; an error message, or nullopt.
std::optional<std::string> ValueOption(WordsArgs& a, const std::string& arg, const std::string& v) {
  if (arg == "--result") {
    if (v != "0" && v != "1" && v != "2") return "--result takes 0, 1 or 2, not " + v;
    a.choice.ResultItem = v[0] - '0';
  } else if (arg == "--filter") {
    a.filterNames.push_back(Utf8OrCp1252To1252(v));
  } else {  // --corpus
    if (a.corpusPath) return "--corpus given twice";
    a.corpusPath = v;
  }
  return std::nullopt;
}

// An option without a value or the document; an error message, or nullopt.
std::optional<std::string> PlainArgument(WordsArgs& a, const std::string& arg) {
  if (arg == "--symbols") {
    a.choice.ShowSymbols = true;
  } else if (arg == "--json") {
    a.json = true;
  } else if (arg == "--summary") {
    a.summary = true;
  } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
    return "unknown option for words: " + arg;
  } else {
    if (a.documentPath) return "more than one document";
    a.documentPath = arg;
  }
  return std::nullopt;
}

// Reads the whole command line; an error message, or nullopt.
std::optional<std::string> ParseWordsArgs(const Args& args, WordsArgs& a) {
  auto valueOption = [&a](const std::string& arg, const std::string& v) { return ValueOption(a, arg, v); };
  auto plain = [&a](const std::string& arg) { return PlainArgument(a, arg); };
  if (auto e = ParseArguments(args, a.report, TakesValue, valueOption, plain)) return e;
  if (a.documentPath.has_value() == a.corpusPath.has_value()) return "words needs a DOCUMENT or --corpus FILE";
  if (a.json && a.summary) return "--json and --summary exclude each other";
  return CheckExportOptions(a.report.Export, a.report.Report, a.json, a.summary);
}

// Opens the document, or the corpus; an exit status when that fails, else 0.
int OpenSource(Context& ctx, WordsArgs& a, Document& document) {
  if (a.documentPath) {
    std::string message;
    if (!OpenDocument(ctx, document, *a.documentPath, &message)) {
      ReportDocumentMessage(message);
      return 1;
    }
    WarnReadNotice(ctx, document);
    return 0;
  }
  if (int status = OpenCorpusArgument(ctx, *a.corpusPath)) return status;
  a.choice.CorpusChecked = true;
  return 0;
}

// The counts alone, as one line.
int WriteCounts(Context& ctx, const SearchSettings& settings, const cFilterList& filters, const Document& document) {
  WordListCounts counts = CountWordList(ctx, settings, filters, document, ctx.Corpus.Entries, ConsoleCorpusReading());
  WriteSummary(stdout, WordListStatusText(ctx.Language, counts.Targets, counts.Occurrences));
  return 0;
}

// The whole list, as JSON or as the result report.
int WriteList(Context& ctx, WordsArgs& a, SearchSettings& settings, const cFilterList& filters,
              const Document& document) {
  // The occurrence table's index of the document is made while the list is.
  std::shared_ptr<WindowDocumentPreparation> prepared;
  if (a.report.Export.Format && a.report.Export.OccurrenceRows && a.documentPath) {
    prepared = std::make_shared<WindowDocumentPreparation>(document);
  }
  cTargetList& targets =
      KeepUntilExit(RunWordList(ctx, settings, filters, document, ctx.Corpus.Entries, ConsoleCorpusReading()));
  std::string status = ShowWordListResult(ctx.Language, targets);
  if (const ExportCliOptions& e = a.report.Export; e.Format) {
    const cArrowList noStrings;
    ExportTable table = e.OccurrenceRows ? OccurrenceTable(ctx, ExportSource{settings, noStrings, targets, document},
                                                           e.Occurrences, ReportExportDocumentError, prepared)
                                         : WordListTable(targets);
    return EmitTable(ctx, table, *e.Format, a.report.Report.OutputFile);
  }
  if (a.json) {
    WriteResultJson(stdout, status, targets, a.documentPath ? &document : nullptr);
    return 0;
  }
  FinishReportOptions(a.report, settings.Context);
  const cArrowList noStrings;
  ReportSource source{settings, noStrings, targets, document, ctx.Corpus.Entries};
  return EmitReport(ctx, source, a.report);
}

}  // namespace

int RunWordsCommand(Context& ctx, const Args& args) {
  WordsArgs a;
  if (auto error = ParseWordsArgs(args, a)) return UsageError(*error);
  cFilterList filters;
  std::string error;
  if (!CheckFilters(ctx.Rules, a.filterNames, filters, a.choice.FilterNames, error)) return UsageError(error);
  Document document;
  if (int status = OpenSource(ctx, a, document)) return status;

  SearchSettings settings;
  ApplyWordListChoice(settings, a.choice, ctx.Corpus.Open, a.documentPath.has_value());
  if (a.summary) return WriteCounts(ctx, settings, filters, document);
  return WriteList(ctx, a, settings, filters, document);
}

}  // namespace kalix::cli
