#include "cli/ExportOutput.h"

#include "platform/Cp1252.h"

#include <cstdio>

namespace kalix::cli {

bool TakeExportOption(const Args& args, size_t& i, ExportCliOptions& options, std::string& error) {
  const std::string& a = args[i];
  if (a == "--occurrences") {
    options.OccurrenceRows = true;
    return true;
  }
  if (a != "--format" && a != "--context-words" && a != "--context-cut") return false;
  if (i + 1 >= args.size()) {
    error = "missing value after " + a;
    return true;
  }
  const std::string& v = args[++i];
  if (a == "--format") {
    options.Format = ExportFormatNamed(v);
    if (!options.Format) error = "--format takes csv, tsv, xlsx or jsonl, not " + v;
  } else if (a == "--context-words") {
    options.ContextGiven = true;
    bool digits = !v.empty() && v.size() <= 4 && v.find_first_not_of("0123456789") == std::string::npos;
    if (digits) {
      options.Occurrences.ContextWords = std::stoi(v);
    } else {
      error = "--context-words takes a number from 0 to 9999, not " + v;
    }
  } else {
    options.ContextGiven = true;
    if (v == "paragraph" || v == "none") {
      options.Occurrences.CutAtParagraph = v == "paragraph";
    } else {
      error = "--context-cut takes none or paragraph, not " + v;
    }
  }
  return true;
}

std::optional<std::string> CheckExportOptions(const ExportCliOptions& options, const ReportOptions& report,
                                              bool json, bool summary) {
  if (!options.Format) {
    if (options.ContextGiven || options.OccurrenceRows) {
      return std::string("--context-words, --context-cut and --occurrences need --format");
    }
    return std::nullopt;
  }
  if (json || summary) return std::string("--format excludes --json and --summary");
  if (report.Append) return std::string("--format excludes --append");
  if (*options.Format == ExportFormat::kXlsx && report.OutputFile.empty()) {
    return std::string("--format xlsx needs --output FILE");
  }
  return std::nullopt;
}

int EmitTable(const Context& context, ExportTable& table, ExportFormat format, const std::string& outputFile) {
  if (outputFile.empty()) return WriteTable(stdout, format, table) == ExportStatus::kWritten ? 0 : 1;
  if (SaveTable(outputFile, format, table) != ExportStatus::kWritten) {
    std::fprintf(stderr, "%s\n", Cp1252ToUtf8(CannotWriteMessage(context.Language, FileNameIn1252(outputFile))).c_str());
    return 1;
  }
  return 0;
}

void ReportExportDocumentError(const std::string& message) {
  std::fprintf(stderr, "%s\n", Cp1252ToUtf8(message).c_str());
}

}  // namespace kalix::cli
