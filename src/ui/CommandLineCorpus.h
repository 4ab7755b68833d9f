// The start-up hook that opens a corpus named on the command line (a ".cor"
// file opened from the file manager).
#pragma once

#include <string>

namespace kalix::ui {

class TfrmMain;

// Opens the corpus file `path` as the corpus menu's open command does,
// without its editor: the corpus items of every main window take menu state
// 1 and the search and word-list commands of `window` are enabled. A file
// that cannot be read gives the message "Impossible de lire le fichier :"
// and the path, and the corpus stays closed.
void OpenCorpusFromCommandLine(TfrmMain* window, const std::string& path);

}  // namespace kalix::ui
