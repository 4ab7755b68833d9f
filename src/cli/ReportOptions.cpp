#include "cli/ReportOptions.h"

#include "platform/Cp1252.h"

#include <cstdio>

namespace kalix::cli {

OptionParse ParseReportOption(const Args& args, size_t& i, ReportCliOptions& options, std::string& error) {
  const std::string& a = args[i];
  ReportOptions& r = options.Report;
  if (TakeExportOption(args, i, options.Export, error)) return error.empty() ? OptionParse::Taken : OptionParse::Error;
  if (a == "--no-info") {
    r.Informations = false;
  } else if (a == "--no-list") {
    r.List = false;
  } else if (a == "--no-refs") {
    r.ListReferences = false;
  } else if (a == "--no-extract-refs") {
    r.ExtractReferences = false;
  } else if (a == "--append") {
    r.Append = true;
  } else if (a == "--extracts" || a == "--output") {
    if (i + 1 >= args.size()) {
      error = "missing value after " + a;
      return OptionParse::Error;
    }
    const std::string& v = args[++i];
    if (a == "--output") {
      if (v.empty()) {
        error = "empty --output file name";
        return OptionParse::Error;
      }
      r.OutputFile = v;
    } else {
      static const char* const kinds[] = {"none", "words", "sentences", "paragraphs"};
      int kind = -1;
      for (int k = 0; k < 4; ++k) {
        if (v == kinds[k]) kind = k;
      }
      if (kind < 0) {
        error = "--extracts takes none, words, sentences or paragraphs, not " + v;
        return OptionParse::Error;
      }
      r.Extracts = kind;
      options.ExtractsGiven = true;
    }
  } else {
    return OptionParse::NotMine;
  }
  return OptionParse::Taken;
}

void FinishReportOptions(ReportCliOptions& options, int context) {
  if (!options.ExtractsGiven) options.Report.Extracts = PreselectedExtractKind(context);
}

int EmitReport(const Context& context, const ReportSource& source, const ReportCliOptions& options) {
  std::string report;
  WriteReport(context, source, options.Report, report, [](const std::string& message) {
    std::fprintf(stderr, "%s\n", Cp1252ToUtf8(message).c_str());
  });
  const std::string& path = options.Report.OutputFile;
  if (path.empty()) {
    if (!WriteReportStream(stdout, report)) return 1;
    return 0;
  }
  if (!SaveReportText(path, report, options.Report.Append)) {
    std::fprintf(stderr, "%s\n", Cp1252ToUtf8(CannotWriteMessage(context.Language, path)).c_str());
    return 1;
  }
  return 0;
}

}  // namespace kalix::cli
