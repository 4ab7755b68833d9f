// kalix-cli words: the word list of a document or of a corpus.

#include "cli/Commands.h"
#include "cli/ReportOptions.h"
#include "cli/ResultOutput.h"
#include "document/Reader.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "app/WordList.h"

#include <cstdio>

namespace kalix::cli {

int RunWordsCommand(Context& ctx, const Args& args) {
  WordListChoice choice;
  std::vector<std::string> filterNames;
  ReportCliOptions report;
  bool json = false;
  bool summary = false;
  std::string documentPath;
  std::string corpusPath;
  bool documentGiven = false;
  bool corpusGiven = false;

  for (size_t i = 0; i < args.size(); ++i) {
    std::string error;
    switch (ParseReportOption(args, i, report, error)) {
      case OptionParse::Taken:
        continue;
      case OptionParse::Error:
        return UsageError(error);
      case OptionParse::NotMine:
        break;
    }
    const std::string& a = args[i];
    bool takesValue = a == "--result" || a == "--filter" || a == "--corpus";
    if (takesValue && i + 1 >= args.size()) return UsageError("missing value after " + a);
    if (a == "--result") {
      const std::string& v = args[++i];
      if (v != "0" && v != "1" && v != "2") return UsageError("--result takes 0, 1 or 2, not " + v);
      choice.ResultItem = v[0] - '0';
    } else if (a == "--symbols") {
      choice.ShowSymbols = true;
    } else if (a == "--filter") {
      filterNames.push_back(Utf8OrCp1252To1252(args[++i]));
    } else if (a == "--corpus") {
      if (corpusGiven) return UsageError("--corpus given twice");
      corpusPath = args[++i];
      corpusGiven = true;
    } else if (a == "--json") {
      json = true;
    } else if (a == "--summary") {
      summary = true;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return UsageError("unknown option for words: " + a);
    } else {
      if (documentGiven) return UsageError("more than one document");
      documentPath = a;
      documentGiven = true;
    }
  }
  if (documentGiven == corpusGiven) return UsageError("words needs a DOCUMENT or --corpus FILE");
  if (json && summary) return UsageError("--json and --summary exclude each other");

  cFilterList filters;
  std::string error;
  if (!CheckFilters(ctx.Rules, filterNames, filters, choice.FilterNames, error)) return UsageError(error);

  Document document;
  if (documentGiven) {
    std::string message;
    if (!OpenDocument(ctx, document, documentPath, &message)) {
      ReportDocumentMessage(message);
      return 1;
    }
  } else {
    if (int status = OpenCorpusArgument(ctx, corpusPath)) return status;
    choice.CorpusChecked = true;
  }

  SearchSettings settings;
  ApplyWordListChoice(settings, choice, ctx.Corpus.Open, documentGiven);
  if (summary) {
    WordListCounts counts = CountWordList(ctx, settings, filters, document, ctx.Corpus.Entries,
                                          ReportDocumentMessage, ReportCorpusProgress);
    WriteSummary(stdout, WordListStatusText(ctx.Language, counts.Targets, counts.Occurrences));
    return 0;
  }
  cTargetList& targets = KeepUntilExit(RunWordList(ctx, settings, filters, document, ctx.Corpus.Entries,
                                                  ReportDocumentMessage, ReportCorpusProgress));
  std::string status = ShowWordListResult(ctx.Language, targets);

  if (json) {
    WriteResultJson(stdout, status, targets);
    return 0;
  }
  FinishReportOptions(report, settings.Context);
  const cArrowList noStrings;
  ReportSource source{settings, noStrings, targets, document, ctx.Corpus.Entries};
  return EmitReport(ctx, source, report);
}

}  // namespace kalix::cli
