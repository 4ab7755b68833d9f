#include "ui/CommandLineCorpus.h"

#include "ui/TfrmMain.h"

namespace kalix::ui {

void OpenCorpusFromCommandLine(TfrmMain* window, const std::string& path) {
  // The corpus menu's own opening, without its editor.
  window->OpenCorpusFile(path);
}

}  // namespace kalix::ui
