// The report options shared by `kalix-cli search` and `kalix-cli words`, and
// the output of a result as a report.
//
//   --extracts none|words|sentences|paragraphs   (default: as the result
//                  dialog preselects it: sentences for context 2,
//                  paragraphs for 3, otherwise none)
//   --no-info  --no-list  --no-refs  --no-extract-refs
//   --output FILE  --append
// and the export options of cli/ExportOutput.h.
#pragma once

#include "context/Context.h"
#include "cli/Commands.h"
#include "cli/ExportOutput.h"
#include "targets/Report.h"

#include <optional>
#include <string>

namespace kalix::cli {

struct ReportCliOptions {
  ReportOptions Report;
  bool ExtractsGiven = false;  // --extracts was on the command line
  ExportCliOptions Export;     // --format and its options
};

enum class OptionParse {
  NotMine,   // args[i] is not a report option; i unchanged
  Taken,     // consumed (i now at the option's last argument)
  Error,     // usage error; `error` says why
};

// Looks at args[i]; takes it (and its value) when it is a report option.
OptionParse ParseReportOption(const Args& args, size_t& i, ReportCliOptions& options, std::string& error);

// Reads a command's arguments in order: each is a report option, an option
// that takes the next argument as its value (`takesValue(arg)`; read by
// `valueOption(arg, value)`) or a plain argument (`plain(arg)`). The two
// readers return an error message or nullopt; so does this, at the first
// error.
template <typename TakesValue, typename ValueOption, typename Plain>
std::optional<std::string> ParseArguments(const Args& args, ReportCliOptions& report, TakesValue&& takesValue,
                                          ValueOption&& valueOption, Plain&& plain) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string error;
    switch (ParseReportOption(args, i, report, error)) {
      case OptionParse::Taken:
        continue;
      case OptionParse::Error:
        return error;
      case OptionParse::NotMine:
        break;
    }
    if (takesValue(arg)) {
      if (i + 1 >= args.size()) return "missing value after " + arg;
      if (auto e = valueOption(arg, args[++i])) return e;
    } else if (auto e = plain(arg)) {
      return e;
    }
  }
  return std::nullopt;
}

// After parsing: the extract kind preselected for the search context,
// unless --extracts was given.
void FinishReportOptions(ReportCliOptions& options, int context);

// Writes the report of a result to --output (appended with --append) or to
// standard output, every LF as CR LF. Documents that cannot be opened for
// extracts are reported on stderr. Returns the exit status: 0, or 1 when
// the output file cannot be written (the message goes to stderr).
int EmitReport(const Context& context, const ReportSource& source, const ReportCliOptions& options);

}  // namespace kalix::cli
