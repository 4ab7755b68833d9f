#include "ui/CommandLineCorpus.h"

#include "app/StartupCorpus.h"
#include "i18n/Messages.h"
#include "ui/Dialogs.h"
#include "ui/Shell.h"
#include "ui/TfrmMain.h"

#include <QAction>
#include <QFile>
#include <QToolButton>

namespace kalix::ui {

void OpenCorpusFromCommandLine(TfrmMain* window, const std::string& path) {
  Shell& shell = TheShell();
  if (!LoadCorpusFile(shell.Ctx.Corpus, path)) {
    CurrentDialogs().Message(window, "Kalix",
                             Tr(msg::kCannotRead) + "\n" + QFile::decodeName(QByteArray::fromStdString(path)),
                             MessageIcon::Exclamation);
    return;
  }
  for (TfrmMain* w : shell.MainWindowList) {
    w->mnuCEdit->setEnabled(true);
    w->mnuCSave->setEnabled(false);
    w->mnuCSaveAs->setEnabled(true);
    w->mnuCClose->setEnabled(true);
  }
  // With a corpus open, a search can run without a document.
  window->btnFind->setEnabled(true);
  window->btnWord->setEnabled(true);
  window->mnuFind->setEnabled(true);
  window->mnuWord->setEnabled(true);
}

}  // namespace kalix::ui
