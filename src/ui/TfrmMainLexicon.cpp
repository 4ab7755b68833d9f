// The thesaurus and corpus commands of the main window: the menus, their
// states across windows, the editors, and the questions that keep unsaved
// lists from being lost when a window closes.
//
// The state machines live in the core (lexicon/EntryList.h); this file
// answers their questions with the program's dialogs.

#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "ui/Dialogs.h"
#include "ui/FilePaths.h"
#include "ui/Shell.h"
#include "ui/TfrmCorpus.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmThesaurus.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QToolButton>

namespace kalix::ui {
namespace {

// The questions of the thesaurus or the corpus, asked in one main window.
class ListDialogs : public EntryListDialogs {
 public:
  ListDialogs(TfrmMain* window, bool corpus) : window_(window), corpus_(corpus) {}

  // The next open-file question is answered with this path (a corpus named
  // by the program rather than chosen by the user).
  std::optional<std::string> PresetOpen;

  SaveAnswer AskSave(const std::string& caption, const std::string& text) override {
    switch (CurrentDialogs().Question(window_, FromCp1252(caption), FromCp1252(text), true)) {
      case Answer::Yes:
      case Answer::Ok:
        return SaveAnswer::Yes;
      case Answer::No:
        return SaveAnswer::No;
      case Answer::Cancel:
        break;
    }
    return SaveAnswer::Cancel;
  }

  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override {
    if (PresetOpen) {
      std::optional<std::string> path = std::move(PresetOpen);
      PresetOpen.reset();
      return path;
    }
    FileDialogOptions o;
    o.filter = FromCp1252(request.Filter);
    o.defaultExtension = FromCp1252(request.DefaultExtension);
    o.fileName = DisplayPath(request.FileName);
    o.initialFolder = DisplayPath(window_->AppShell().ProgramDir);
    o.mustExist = true;
    QString chosen = CurrentDialogs().OpenFile(window_, o);
    if (chosen.isEmpty()) return std::nullopt;
    return FileSystemPath(chosen);
  }

  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override {
    FileDialogOptions o;
    o.filter = FromCp1252(request.Filter);
    o.defaultExtension = FromCp1252(request.DefaultExtension);
    o.fileName = DisplayPath(request.FileName);
    o.mustExist = false;
    QString chosen = CurrentDialogs().SaveFile(window_, o);
    if (chosen.isEmpty()) return std::nullopt;
    // A name typed without an extension takes the default one.
    if (QFileInfo(chosen).suffix().isEmpty() && !o.defaultExtension.isEmpty()) {
      if (!chosen.endsWith('.')) chosen += '.';
      chosen += o.defaultExtension;
    }
    return FileSystemPath(chosen);
  }

  EditorResult Edit(const std::vector<std::string>& entries, std::vector<std::string>& edited) override {
    QStringList lines;
    QStringList result;
    EditorResult r;
    if (corpus_) {
      // Corpus entries are paths as the file system gives them.
      for (const std::string& e : entries) lines << DisplayPath(e);
      r = TheCorpusEditor().EditEntries(lines, DisplayPath(window_->AppShell().DocumentPath), result);
      edited.clear();
      for (const QString& line : result) edited.push_back(FileSystemPath(line));
    } else {
      // Thesaurus entries are texts of the documents' code page.
      for (const std::string& e : entries) lines << FromCp1252(e);
      r = TheThesaurusEditor().EditEntries(lines, result);
      edited.clear();
      for (const QString& line : result) edited.push_back(ToCp1252(line));
    }
    return r;
  }

  void ShowError(const std::string& text) override {
    // The translated message, a line feed, the path.
    size_t cut = text.find('\n');
    QString shown = cut == std::string::npos
                        ? FromCp1252(text)
                        : FromCp1252(text.substr(0, cut)) + "\n" + DisplayPath(text.substr(cut + 1));
    CurrentDialogs().Message(window_, "Kalix", shown, MessageIcon::Exclamation);
  }

  void ApplyMenuState(int state) override {
    if (corpus_) {
      window_->ApplyCorpusMenuState(state);
    } else {
      window_->ApplyThesaurusMenuState(state);
    }
  }

 private:
  TfrmMain* window_;
  bool corpus_;
};

EntryListOps ThesaurusOps(const Shell& shell, TfrmMain* window, ListDialogs& dialogs) {
  return {window->ThesaurusList, kThesaurusKind, dialogs, shell.Ctx.Language};
}

EntryListOps CorpusOps(Shell& shell, ListDialogs& dialogs) {
  return {shell.Ctx.Corpus, kCorpusKind, dialogs, shell.Ctx.Language};
}

}  // namespace

// ---------------------------------------------------------------------------
// Thesaurus

void TfrmMain::NewThesaurus() {
  ListDialogs dialogs(this, false);
  ThesaurusOps(shell_, this, dialogs).New();
}

void TfrmMain::OpenThesaurus() {
  ListDialogs dialogs(this, false);
  kalix::OpenThesaurus(ThesaurusOps(shell_, this, dialogs));
}

bool TfrmMain::EditThesaurus() {
  ListDialogs dialogs(this, false);
  return ThesaurusOps(shell_, this, dialogs).Edit();
}

bool TfrmMain::SaveThesaurus(bool asNew) {
  ListDialogs dialogs(this, false);
  return ThesaurusOps(shell_, this, dialogs).Save(asNew);
}

bool TfrmMain::CloseThesaurus() {
  ListDialogs dialogs(this, false);
  return ThesaurusOps(shell_, this, dialogs).Close();
}

void TfrmMain::ApplyThesaurusMenuState(int s) {
  mnuTNew->setEnabled(true);
  mnuTOpen->setEnabled(true);
  mnuTEdit->setEnabled(s >= kListMenuOpen);
  mnuTSave->setEnabled(s == kListMenuChanged);
  mnuTSaveAs->setEnabled(s >= kListMenuOpen);
  mnuTClose->setEnabled(s >= kListMenuOpen);
}

// ---------------------------------------------------------------------------
// Corpus

void TfrmMain::NewCorpus() {
  ListDialogs dialogs(this, true);
  CorpusOps(shell_, dialogs).New();
}

void TfrmMain::OpenCorpus() {
  ListDialogs dialogs(this, true);
  OpenCorpusAndEdit(CorpusOps(shell_, dialogs));
}

bool TfrmMain::EditCorpus() {
  ListDialogs dialogs(this, true);
  return CorpusOps(shell_, dialogs).Edit();
}

bool TfrmMain::SaveCorpus(bool asNew) {
  ListDialogs dialogs(this, true);
  return CorpusOps(shell_, dialogs).Save(asNew);
}

bool TfrmMain::CloseCorpus() {
  ListDialogs dialogs(this, true);
  return CorpusOps(shell_, dialogs).Close();
}

bool TfrmMain::OpenCorpusFile(const std::string& path) {
  ListDialogs dialogs(this, true);
  dialogs.PresetOpen = path;
  return CorpusOps(shell_, dialogs).OpenFile();
}

void TfrmMain::ApplyCorpusMenuState(int s) {
  mnuCNew->setEnabled(true);
  mnuCOpen->setEnabled(true);
  mnuCEdit->setEnabled(s >= kListMenuOpen);
  mnuCSave->setEnabled(s == kListMenuChanged);
  mnuCSaveAs->setEnabled(s >= kListMenuOpen);
  mnuCClose->setEnabled(s >= kListMenuOpen);

  const bool search = !Doc.path.empty() || shell_.Ctx.Corpus.Open;
  for (QToolButton* b : {btnFind, btnWord}) b->setEnabled(search);
  for (QAction* a : {mnuFind, mnuWord}) a->setEnabled(search);

  for (TfrmMain* other : shell_.MainWindowList) {
    if (other == this) continue;
    other->mnuCEdit->setEnabled(mnuCEdit->isEnabled());
    other->mnuCSave->setEnabled(mnuCSave->isEnabled());
    other->mnuCSaveAs->setEnabled(mnuCSaveAs->isEnabled());
    other->mnuCClose->setEnabled(mnuCClose->isEnabled());
  }
}

// ---------------------------------------------------------------------------
// Menus and closing

void TfrmMain::ConnectLexiconMenus() {
  connect(mnuTNew, &QAction::triggered, this, [this] { NewThesaurus(); });
  connect(mnuTOpen, &QAction::triggered, this, [this] { OpenThesaurus(); });
  connect(mnuTEdit, &QAction::triggered, this, [this] { EditThesaurus(); });
  connect(mnuTSave, &QAction::triggered, this, [this] { SaveThesaurus(false); });
  connect(mnuTSaveAs, &QAction::triggered, this, [this] { SaveThesaurus(true); });
  connect(mnuTClose, &QAction::triggered, this, [this] { CloseThesaurus(); });
  connect(mnuCNew, &QAction::triggered, this, [this] { NewCorpus(); });
  connect(mnuCOpen, &QAction::triggered, this, [this] { OpenCorpus(); });
  connect(mnuCEdit, &QAction::triggered, this, [this] { EditCorpus(); });
  connect(mnuCSave, &QAction::triggered, this, [this] { SaveCorpus(false); });
  connect(mnuCSaveAs, &QAction::triggered, this, [this] { SaveCorpus(true); });
  connect(mnuCClose, &QAction::triggered, this, [this] { CloseCorpus(); });
}

bool TfrmMain::CloseLexiconQuestions() {
  // The window's thesaurus, then, for the last window, the corpus: each
  // modified list asks whether to save it, as "&Fermer" does. Nothing is
  // emptied before every answer is in: a Cancel keeps both lists as they are.
  Shell& shell = shell_;
  const bool last = shell.MainWindowList.size() == 1 && shell.MainWindowList.first() == this;
  ListDialogs thesaurusDialogs(this, false);
  EntryListOps thesaurus = ThesaurusOps(shell_, this, thesaurusDialogs);
  ListDialogs corpusDialogs(this, true);
  EntryListOps corpus = CorpusOps(shell_, corpusDialogs);
  const bool askThesaurus = ThesaurusList.Modified;
  const bool askCorpus = last && shell.Ctx.Corpus.Modified;
  if (askThesaurus && !thesaurus.SaveIfWanted()) return false;
  if (askCorpus && !corpus.SaveIfWanted()) return false;
  if (askThesaurus) thesaurus.Discard();
  if (askCorpus) corpus.Discard();
  return true;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (!CloseLexiconQuestions()) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

}  // namespace kalix::ui
