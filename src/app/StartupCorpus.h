// A corpus named on the command line: a file manager opens a ".cor" file by
// starting the program with its path, and the program then starts with that
// corpus open instead of opening the file as a document.
#pragma once

#include "app/CommandLine.h"
#include "lexicon/EntryList.h"

#include <string>

namespace kalix {

// Whether `path` names a corpus file: it ends with ".cor", in any case (the
// desktop's file type matches the extension in any case too).
bool IsCorpusFileName(const std::string& path);

// When the pending document is a corpus file, takes it out of `options` (so
// that no document is opened) and returns its path; otherwise returns "".
std::string TakePendingCorpus(CommandLineOptions& options);

// Reads the corpus file `path` into `corpus` as the corpus menu's open
// command leaves it: its entries, its file name, open, not modified, menu
// state 1. Returns false, leaving `corpus` unchanged, when the file cannot
// be read.
bool LoadCorpusFile(Corpus& corpus, const std::string& path);

}  // namespace kalix
