// The commands of kalix-cli. Each takes the arguments after its name and
// returns the exit status: 0 success, 1 a file that cannot be read or
// written, 2 a usage error. Messages go to stderr, translated.
#pragma once

#include "context/Context.h"

#include <string>
#include <vector>

namespace kalix::cli {

using Args = std::vector<std::string>;

int RunRulesCommand(Context& ctx, const Args& args);
int RunTextCommand(Context& ctx, const Args& args);
int RunMarksCommand(Context& ctx, const Args& args);
int RunVariantsCommand(Context& ctx, const Args& args);
int RunSearchCommand(Context& ctx, const Args& args);
int RunWordsCommand(Context& ctx, const Args& args);
int RunCollocatesCommand(Context& ctx, const Args& args);
int RunNgramsCommand(Context& ctx, const Args& args);

// --help: every command and option on stdout; returns 0.
int PrintHelp();
// --version: "kalix-cli VERSION" on stdout; returns 0.
int PrintVersion();

// Writes a usage error to stderr; returns 2.
int UsageError(const std::string& message);

// Writes a translated message, a line feed and a path to stderr; returns 1.
int FileError(const Context& ctx, const char* message, const std::string& path);

}  // namespace kalix::cli
