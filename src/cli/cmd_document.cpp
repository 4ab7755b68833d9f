#include "cli/Commands.h"

namespace kalix::cli {

int RunTextCommand(Context&, const Args&) { return UsageError("command not available yet"); }

int RunMarksCommand(Context&, const Args&) { return UsageError("command not available yet"); }

}  // namespace kalix::cli
