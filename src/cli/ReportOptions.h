// The report options shared by `kalix-cli search` and `kalix-cli words`, and
// the output of a result as a report.
//
//   --extracts none|words|sentences|paragraphs   (default: as the result
//                  dialog preselects it: sentences for context 2,
//                  paragraphs for 3, otherwise none)
//   --no-info  --no-list  --no-refs  --no-extract-refs
//   --output FILE  --append
#pragma once

#include "context/Context.h"
#include "cli/Commands.h"
#include "targets/Report.h"

#include <string>

namespace kalix::cli {

struct ReportCliOptions {
  ReportOptions Report;
  bool ExtractsGiven = false;  // --extracts was on the command line
};

enum class OptionParse {
  NotMine,   // args[i] is not a report option; i unchanged
  Taken,     // consumed (i now at the option's last argument)
  Error,     // usage error; `error` says why
};

// Looks at args[i]; takes it (and its value) when it is a report option.
OptionParse ParseReportOption(const Args& args, size_t& i, ReportCliOptions& options, std::string& error);

// After parsing: the extract kind preselected for the search context,
// unless --extracts was given.
void FinishReportOptions(ReportCliOptions& options, int context);

// Writes the report of a result to --output (appended with --append) or to
// standard output, every LF as CR LF. Documents that cannot be opened for
// extracts are reported on stderr. Returns the exit status: 0, or 1 when
// the output file cannot be written (the message goes to stderr).
int EmitReport(const Context& context, const ReportSource& source, const ReportCliOptions& options);

}  // namespace kalix::cli
