// Results as tables (targets/ExportRows.h) for `kalix-cli search` and
// `kalix-cli words`:
//
//   --format csv|tsv|xlsx|jsonl   write the table instead of the report:
//                  to --output FILE, or to standard output (xlsx needs
//                  --output)
//   --context-words N             words of context on each side (default 10)
//   --context-cut none|paragraph  whether the context stops at the end of
//                  its paragraph (default none)
//   --occurrences                 words: the occurrence table of the word
//                  list instead of its forms and counts
#pragma once

#include "cli/Commands.h"
#include "context/Context.h"
#include "targets/ExportRows.h"
#include "targets/ExportTable.h"
#include "targets/Report.h"

#include <optional>
#include <string>

namespace kalix::cli {

struct ExportCliOptions {
  std::optional<ExportFormat> Format;  // none: the report, JSON or summary
  OccurrenceExportOptions Occurrences;
  bool ContextGiven = false;           // --context-words or --context-cut given
  bool OccurrenceRows = false;         // --occurrences
};

// Looks at args[i]: true when it is an export option, taken with its value
// (i then at its last argument); `error` is set when the value is wrong.
bool TakeExportOption(const Args& args, size_t& i, ExportCliOptions& options, std::string& error);

// After parsing: an error message when the export options do not go with
// the others (--json, --summary, --append, xlsx without --output), or
// nullopt.
std::optional<std::string> CheckExportOptions(const ExportCliOptions& options, const ReportOptions& report,
                                              bool json, bool summary);

// Writes a table to `outputFile` (replaced whole, never half-written) or to
// standard output. Returns the exit status: 0, or 1 when the table cannot
// be written ("Impossible d'écrire le fichier :" and the path on stderr).
int EmitTable(const Context& context, ExportTable& table, ExportFormat format, const std::string& outputFile);

// Prints the message of a document that cannot be read for an export.
void ReportExportDocumentError(const std::string& message);

}  // namespace kalix::cli
