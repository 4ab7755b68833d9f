#include "cli/Commands.h"

namespace kalix::cli {

int RunSearchCommand(Context&, const Args&) { return UsageError("command not available yet"); }

}  // namespace kalix::cli
