#include "app/CommandLine.h"

#include "platform/Collation.h"

namespace kalix {
std::string TrimBlanks(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

namespace {

std::string* Slot(CommandLineOptions& o, const std::string& option) {
  if (option == "-L") return &o.LanguageFile;
  if (option == "-R") return &o.RulesFile;
  if (option == "-T") return &o.TValue;
  if (option == "-C") return &o.CValue;
  if (option == "-F") return &o.PendingDocument;
  if (option == "-O") return &o.OValue;
  return nullptr;
}

}  // namespace

void ParseCommandLine(const std::string& text, CommandLineOptions& options) {
  if (text.empty()) return;
  std::string rest = TrimBlanks(text);
  std::string* expecting = nullptr;
  while (!rest.empty()) {
    std::string token;
    size_t blank = rest.find(' ');
    if (blank != std::string::npos) {
      token = rest.substr(0, blank + 1);
      rest = TrimBlanks(rest.substr(blank, 1024));
    } else {
      token = rest;
      rest.clear();
    }
    token = TrimBlanks(token);
    if (expecting) {
      *expecting = token;
      expecting = nullptr;
      continue;
    }
    expecting = Slot(options, UpperCase1252(token));
    if (!expecting) options.PendingDocument = token;
  }
}

std::string JoinArguments(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

}  // namespace kalix
