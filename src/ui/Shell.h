// The process-wide state of the desktop program: the context (rules,
// generation rules, language), the command-line options, the document folder
// setting, the list of main windows and the shared windows.
#pragma once

#include "app/CommandLine.h"
#include "context/Context.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kalix::ui {

class TfrmMain;
class TfrmStart;
class TfrmInfo;
class TfrmFind;
class TfrmWord;
class TfrmAddStr;
class TfrmMorva;
class TfrmResult;
class TfrmThesaurus;
class TfrmCorpus;

struct Shell {
  Context Ctx;
  CommandLineOptions Options;
  std::string DocumentPath;  // folder of the last document chosen, with its "/"
  std::string ProgramDir;    // the executable's folder, with its "/"
  std::string DataDir;       // the installed data folder, with its "/"
  std::string SettingsPath;  // kalix.ini

  // The open main windows in creation order; absent between the destruction
  // of the last main window and the creation of the next first one.
  bool MainWindowListExists = false;
  QList<TfrmMain*> MainWindowList;

  QPointer<TfrmStart> Start;  // the hidden anchor window
  QPointer<TfrmInfo> Info;    // the information/help/about window

  // The dialogs, one of each for the process, made on first use by their
  // own accessors (`TheFindDialog()`...) and kept between showings.
  QPointer<TfrmFind> Find;
  QPointer<TfrmWord> Word;
  QPointer<TfrmAddStr> AddStr;
  QPointer<TfrmMorva> Morva;
  QPointer<TfrmResult> Result;
  QPointer<TfrmThesaurus> ThesaurusEditor;
  QPointer<TfrmCorpus> CorpusEditor;

  // Run, in the order added, after the menu "&Règles" has loaded a rules
  // file: the search dialog, then the word-list dialog, refill their filter
  // check-lists. A hook whose owner is gone is skipped.
  struct RulesHook {
    QPointer<QObject> Owner;
    std::function<void()> Run;
  };
  std::vector<RulesHook> RulesLoadedHooks;

  // When set, the last main window's destruction does not close the anchor
  // window (tests create and destroy main windows without ending).
  bool KeepRunning = false;
};

// The one shell of the process.
Shell& TheShell();

// Replaces the shell with a fresh one (tests).
void ResetShell();

// Fills the program, data and settings paths from the running executable.
void LocatePaths(Shell& shell);

// Adds a hook run after a rules file is loaded from the menu, while `owner`
// exists (e.g. a dialog refilling its filter check-list).
void OnRulesLoaded(QObject* owner, std::function<void()> run);
// Runs the hooks of OnRulesLoaded.
void NotifyRulesLoaded();

// Translates a message of the core and converts it for display.
QString Tr(const char* message);

}  // namespace kalix::ui
