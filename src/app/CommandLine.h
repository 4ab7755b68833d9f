// The program's command line: blank-separated tokens, "-L" language file,
// "-R" rules file, "-F" or a bare token a document, "-T", "-C", "-O" values
// that are stored and not used.
#pragma once

#include <string>

namespace kalix {

struct CommandLineOptions {
  std::string PendingDocument;
  std::string LanguageFile;
  std::string RulesFile;
  std::string TValue;
  std::string CValue;
  std::string OValue;
};

// Fills `options` from the raw command-line text (the arguments after the
// program name, as one string). Tokens are separated at blanks only; quotes
// have no meaning; options match in either case; an option given last, with
// no value after it, is ignored. After each token only the next 1024
// characters of the rest of the line are kept.
void ParseCommandLine(const std::string& text, CommandLineOptions& options);

// Removes leading and trailing blanks and control characters, as the
// program's edit fields and command line do.
std::string TrimBlanks(const std::string& text);

// Joins program arguments into the raw command-line text.
std::string JoinArguments(int argc, char** argv);

}  // namespace kalix
