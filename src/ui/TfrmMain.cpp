#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"

#include "app/InfoFiles.h"
#include "app/Translit.h"
#include "document/ReadNotice.h"
#include "document/Reader.h"
#include "i18n/Language.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "rules/Morva.h"
#include "ui/Accessible.h"
#include "ui/Dialogs.h"
#include "ui/FilePaths.h"
#include "ui/MetafilePainter.h"
#include "ui/Shell.h"
#include "ui/TargetGrid.h"
#include "ui/TfrmFind.h"
#include "ui/TfrmInfo.h"
#include "ui/TfrmStart.h"
#include "ui/UiLanguage.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTextEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace kalix::ui {
namespace {

// The warning about a rules file that looks wrong: the file and the reason.
QString DoubtfulRulesText(const std::string& path, RulesDoubt doubt) {
  return Tr(msg::kDoubtfulRules) + "\n" + DisplayPath(path) + "\n" + Tr(RulesDoubtReason(doubt));
}

const QColor kWhite(255, 255, 255);
const QColor kYellow(255, 255, 0);

void SetBase(QLineEdit* edit, const QColor& colour) {
  QPalette p = edit->palette();
  p.setColor(QPalette::Base, colour);
  edit->setPalette(p);
}

}  // namespace

// The process-wide initialisation, run by the first main window.
void TfrmMain::ProcessWideInit() {
  Shell& shell = shell_;
  shell.MainWindowListExists = true;
  shell.MainWindowList.clear();
  shell.Ctx.Corpus = Corpus();

  IniFile ini = IniFile::Load(shell.SettingsPath);
  StartupSettings s = ReadStartupSettings(ini);
  shell.DocumentPath = s.DocumentPath;
  WindowLayout current;  // maximised, at 0, 0, design size
  layout_ = ReadWindowLayout(ini, current);
  restoredFromSettings_ = true;

  std::string rules = s.Rules;
  if (!shell.Options.RulesFile.empty()) rules = shell.Options.RulesFile;
  rules = WithDataFallback(rules, shell.DataDir);
  RulesDoubt doubt = RulesDoubt::None;
  if (LoadRules(shell.Ctx.Rules, rules, &doubt) && doubt != RulesDoubt::None) {
    CurrentDialogs().Message(this, "Kalix", DoubtfulRulesText(rules, doubt), MessageIcon::Warning);
  }
  LoadMorvaRules(shell.Ctx.Morva, shell.Ctx.Rules, rules);

  // The user's transliteration table, beside kalix.ini; the lines it cannot
  // use are named once.
  std::vector<std::string> tableMessages;
  LoadTranslitTable(shell.Ctx, TranslitTablePath(shell.SettingsPath, s.Translit), &tableMessages);
  if (!tableMessages.empty()) {
    std::string text;
    for (const std::string& m : tableMessages) text += (text.empty() ? "" : "\n") + m;
    CurrentDialogs().Message(this, "Kalix", QString::fromStdString(text), MessageIcon::Exclamation);
  }

  std::string language = s.Language;
  if (!shell.Options.LanguageFile.empty()) language = shell.Options.LanguageFile;
  if (!language.empty()) LoadLanguageReporting(this, WithDataFallback(language, shell.DataDir));
  UseQtTranslations(shell.Ctx.Language.LanguageCode);

  shell.Options.RulesFile.clear();
  shell.Options.LanguageFile.clear();

  if (!shell.Options.PendingDocument.empty()) {
    QMetaObject::invokeMethod(this, &TfrmMain::mnuOpenClick, Qt::QueuedConnection);
  }
}

TfrmMain::~TfrmMain() {
  Shell& shell = shell_;
  WindowLayout layout = CurrentLayout();
  ClearDocument(Doc);
  Mapping.Clear();
  ShownPicture = nullptr;
  shell.MainWindowList.removeAll(this);
  if (!shell.MainWindowList.isEmpty()) return;

  // The last main window: save the layout and release the shared state.
  IniFile ini = IniFile::Load(shell.SettingsPath);
  WriteWindowLayout(ini, layout);
  ini.Save(shell.SettingsPath);
  ResetRules(shell.Ctx.Rules);
  shell.Ctx.Morva = MorvaRules();
  ResetLanguage(shell.Ctx.Language);
  shell.MainWindowListExists = false;
  shell.Ctx.Corpus = Corpus();
  if (shell.Start && !shell.KeepRunning) shell.Start->close();
}

void TfrmMain::ShowAsDesigned() {
  if (restoredFromSettings_) {
    if (layout_.State == kStateNormal) {
      move(layout_.Left, layout_.Top);
      resize(layout_.Width, layout_.Height);
      show();
    } else if (layout_.State == kStateMinimised) {
      showMinimized();
    } else {
      showMaximized();
    }
  } else {
    show();
  }
}

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!layoutApplied_) {
    layoutApplied_ = true;
    ApplyLayout(layout_);
    // The window manager may size a maximised window after it is shown:
    // apply the panel sizes again once the event loop has run.
    QTimer::singleShot(0, this, [this] { ApplyLayout(layout_); });
  }
}

void TfrmMain::ApplyLayout(const WindowLayout& layout) {
  layout_.GridSplitter = layout.GridSplitter;
  layout_.FootnoteSplitter = layout.FootnoteSplitter;
  layout_.PictureSplitter = layout.PictureSplitter;
  auto place = [](QSplitter* splitter, int first, bool firstFixed) {
    QList<int> sizes = splitter->sizes();
    int total = 0;
    for (int s : sizes) total += s;
    if (total <= 0) total = (splitter->orientation() == Qt::Horizontal ? splitter->width() : splitter->height());
    if (firstFixed) {
      splitter->setSizes({first, std::max(1, total - first)});
    } else {
      splitter->setSizes({std::max(1, total - first), first});
    }
  };
  place(Splitter, layout.GridSplitter, true);
  AcceptedTargetWidth = layout.GridSplitter;
  place(Splitter1, layout.FootnoteSplitter, false);
  place(Splitter2, layout.PictureSplitter, true);
}

WindowLayout TfrmMain::CurrentLayout() const {
  WindowLayout w = layout_;
  if (isMaximized()) {
    w.State = kStateMaximised;
  } else if (isMinimized()) {
    w.State = kStateMinimised;
  } else {
    w.State = kStateNormal;
  }
  w.Left = x();
  w.Top = y();
  w.Width = width();
  w.Height = height();
  if (layoutApplied_) {
    w.GridSplitter = pnlTarget->width();
    w.FootnoteSplitter = pnlNote->height();
    w.PictureSplitter = reNote->width();
  }
  return w;
}

// ---------------------------------------------------------------------------
// Documents

void TfrmMain::mnuOpenClick() {
  Shell& shell = shell_;
  if (!shell.Options.PendingDocument.empty()) {
    Doc.path = shell.Options.PendingDocument;
    shell.Options.PendingDocument.clear();
    OpenDocument(Doc.path, true, true);
    return;
  }
  FileDialogOptions o;
  o.filter = "Rich text file (*.rft)|*.rtf|Text file (*.txt)|*.txt|Any file (*.*)|*.*";
  o.defaultExtension = "rtf";
  o.initialFolder = DisplayPath(shell.DocumentPath.empty() ? shell.ProgramDir : shell.DocumentPath);
  o.mustExist = true;
  QString chosen = CurrentDialogs().OpenFile(this, o);
  if (chosen.isEmpty()) return;
  CloseDocument();
  ResetTargetView(true);
  Doc.path = FileSystemPath(chosen);  // letter case kept
  shell.DocumentPath = FolderOf(Doc.path);
  OpenDocument(Doc.path, true, true);
  WriteSetting(shell.SettingsPath, kSettingsSection, "DocumentPath", shell.DocumentPath);
}

bool TfrmMain::OpenDocument(const std::string& path, bool reportErrors, bool display) {
  Shell& shell = shell_;
  std::string message;
  if (!kalix::OpenDocument(shell.Ctx, Doc, path, &message)) {
    if (reportErrors) {
      CurrentDialogs().Message(this, "Kalix", QString::fromStdString(FileMessageUtf8(message)),
                               MessageIcon::Exclamation);
    }
    return false;
  }
  if (!display) return true;

  Loading = true;
  reText->hide();
  Mapping.Build(Doc.Text());
  reText->setPlainText(ViewTextOf(Doc.Text(), &Doc.replaced));
  Loading = false;

  ClearHighlights();
  const PositionFieldLengths lengths = PositionFieldLengthsOf(Doc);
  SetFieldLength(edPage, lengths.Page);
  SetFieldLength(edFolio, lengths.Folio);
  SetFieldLength(edVign, lengths.Glyph);
  QTextCursor cursor = reText->textCursor();
  cursor.select(QTextCursor::Document);
  reText->setTextCursor(cursor);
  cursor.setPosition(0);
  reText->setTextCursor(cursor);
  UpdatePositionPanel();
  reText->show();
  reText->setFocus();
  ShownPage = 0;

  SetDocumentCommands(true);
  setWindowTitle("Kalix - " + DisplayPath(path));
  ShowReadingNotice();
  return true;
}

// What the reading changed or passed over is said in the status line (the
// whole of it in its tooltip), never in a box at every open.
void TfrmMain::ShowReadingNotice() {
  QStringList lines = QString::fromStdString(ReadNotice(shell_.Ctx, Doc)).split('\n', Qt::SkipEmptyParts);
  for (const std::string& warning : Doc.warnings) lines << FromCp1252(warning);
  if (lines.isEmpty()) return;
  statusLine_->SetText(lines.join("  "));
  statusLine_->SetToolTip(lines.join("\n"));
}

void TfrmMain::CloseDocument() {
  kalix::CloseDocument(Doc);
  Mapping.Clear();
  ClearHighlights();
  reText->clear();
  // The caret is now in an empty view: the position fields show zeros, and
  // the notes and picture of the old document go with it.
  UpdatePositionPanel();
  ShownPicture = nullptr;
  pbxGlyph->update();
  SetDocumentCommands(false);
}

void TfrmMain::SetDocumentCommands(bool displayed) {
  bool search = displayed || shell_.Ctx.Corpus.Open;
  btnFind->setEnabled(search);
  btnWord->setEnabled(search);
  mnuFind->setEnabled(search);
  mnuWord->setEnabled(search);
  btnInfo->setEnabled(displayed);
  btnGoto->setEnabled(displayed);
  mnuInfo->setEnabled(displayed);
  mnuGoto->setEnabled(displayed);
}

void TfrmMain::SelectOccurrence(bool show) {
  if (!show || session_.CurrentTarget < 0 || session_.CurrentTarget >= static_cast<int32_t>(TargetList.size())) return;
  const Target& target = TargetList[static_cast<size_t>(session_.CurrentTarget)];
  if (target.CurrentStart < 0 || target.CurrentStart >= static_cast<int32_t>(target.Starts.size())) return;
  const Occurrence& occurrence = target.Starts[static_cast<size_t>(target.CurrentStart)];
  SetCaretView(occurrence.StartView, occurrence.ViewLength);
}

void TfrmMain::ResetTargetView(bool freeTargets) {
  ClearHighlights();
  QTextCursor cursor = reText->textCursor();
  cursor.setPosition(0);
  reText->setTextCursor(cursor);
  if (freeTargets) {
    // No result is left to describe.
    TargetList.clear();
    statusLine_->SetText(QString());
    grdTarget->horizontalHeader()->setSortIndicatorShown(false);
  }
  session_.CurrentTarget = -1;
  RefillGrid(static_cast<int32_t>(TargetList.size()));
  for (QToolButton* b : {btnFirst, btnPrev, btnNext, btnLast, btnGrdOpen, btnGrdOpenNew}) b->setEnabled(false);
  for (QAction* a : {mnuFirst, mnuPrev, mnuNext, mnuLast, mnuGrdOpen, mnuGrdOpenNew}) a->setEnabled(false);
}

void TfrmMain::ClearHighlights() { documentPane_->ClearHighlights(); }

// ---------------------------------------------------------------------------
// View

int32_t TfrmMain::CaretView() const {
  return Mapping.ViewFromWidget(reText->textCursor().selectionStart());
}

int32_t TfrmMain::SelectionViewLength() const {
  QTextCursor c = reText->textCursor();
  return Mapping.ViewFromWidget(c.selectionEnd()) - Mapping.ViewFromWidget(c.selectionStart());
}

void TfrmMain::SetCaretView(int32_t view, int32_t length) {
  QTextCursor c = reText->textCursor();
  int last = reText->document()->characterCount() - 1;
  int start = std::min(Mapping.WidgetFromView(view), last);
  c.setPosition(start);
  if (length > 0) c.setPosition(std::min(Mapping.WidgetFromView(view + length), last), QTextCursor::KeepAnchor);
  reText->setTextCursor(c);
  reText->ensureCursorVisible();
}

void TfrmMain::UpdatePositionPanel() {
  if (Loading) return;
  MarkContext c = ContextAt(Doc, CaretView());
  PositionTexts texts = PositionPanelTexts(c);
  PanelUpdate = true;
  // A value is shown whole, whatever the fields take when typed into.
  auto show = [](QLineEdit* edit, const std::string& text) {
    if (static_cast<int>(text.size()) > edit->maxLength()) SetFieldLength(edit, static_cast<int>(text.size()));
    edit->setText(QString::fromStdString(text));
  };
  show(edPage, texts.Page);
  show(edFolio, texts.Folio);
  show(edVign, texts.Glyph);
  PanelUpdate = false;
  if (c.page != ShownPage) {
    ShownPage = c.page;
    reNote->clear();
    for (const std::string& line : NoteLines(NotesOfPage(Doc, c.page))) {
      reNote->appendPlainText(FromCp1252(line));
    }
  }
  if (c.picture != ShownPicture) {
    ShownPicture = c.picture;
    pbxGlyph->update();
  }
  FollowFacsimile();
  UpdateEditMenu();
}

void TfrmMain::SetFieldColours(int16_t yellowKind) {
  SetBase(edPage, yellowKind == kGotoPage ? kYellow : kWhite);
  SetBase(edFolio, yellowKind == kGotoFolio ? kYellow : kWhite);
  SetBase(edVign, yellowKind == kGotoGlyph ? kYellow : kWhite);
}

void TfrmMain::PositionFieldChanged(int16_t kind) {
  if (PanelUpdate) {
    SetFieldColours(kGotoNone);
    PendingGotoKind = kGotoNone;
  } else {
    SetFieldColours(kind);
    PendingGotoKind = kind;
  }
}

void TfrmMain::edPageChange() { PositionFieldChanged(kGotoPage); }
void TfrmMain::edFolioChange() { PositionFieldChanged(kGotoFolio); }
void TfrmMain::edVignChange() { PositionFieldChanged(kGotoGlyph); }

void TfrmMain::mnuGotoClick() {
  if (PendingGotoKind == kGotoNone) {
    reText->setTextCursor(reText->textCursor());
    reText->ensureCursorVisible();
    return;
  }
  std::optional<GotoKey> key =
      GotoKeyFor(PendingGotoKind, ToCp1252(edPage->text()), ToCp1252(edFolio->text()), ToCp1252(edVign->text()));
  reText->setFocus();
  if (key) {
    int32_t m = FirstMarkFrom(Doc, key->Kind, key->Key);
    if (m >= 0) SetCaretView(Doc.marks[m].position + 1);
  }
  SetFieldColours(kGotoNone);
  PendingGotoKind = kGotoNone;
}

void TfrmMain::ShowPicture(QPainter& painter) {
  QRect r = pnlGlyph->rect();
  painter.fillRect(r, pbxGlyph->palette().color(QPalette::Window));
  if (!ShownPicture) return;
  QRect target = PictureRect(r.width(), r.height(), *ShownPicture);
  if (target.isEmpty()) return;
  PlayMetafile(painter, *ShownPicture, target);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (TargetGridEvent(watched, event)) return true;
  if (watched == reText && type == QEvent::FocusIn) UpdateEditMenu();
  if ((watched == grdTarget || watched == grdTarget->viewport()) &&
      (type == QEvent::FocusIn || type == QEvent::KeyRelease || type == QEvent::MouseButtonRelease)) {
    UpdateEditMenu();
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::UpdateEditMenu() {
  bool gridActive = focusWidget() == grdTarget;
  bool rows = gridActive && TargetModel->rowCount() > 0 && grdTarget->selectionModel()->hasSelection();
  bool text = !gridActive && reText->textCursor().hasSelection();
  for (QAction* a : {mnuCut, mnuDel, mnuAll, mnuGrdCut, mnuGrdCopy, mnuGrdDel, mnuGrdAll}) a->setEnabled(rows);
  mnuCopy->setEnabled(rows || text);
  mnuTxtCopy->setEnabled(text);
}

void TfrmMain::mnuCopyClick() {
  // The active control decides: the document view copies its selection, the
  // grid its selected rows.
  if (focusWidget() == reText && reText->textCursor().hasSelection()) reText->copy();
  if (focusWidget() == grdTarget) CopyTargetRows();
}

// ---------------------------------------------------------------------------
// Information, help, about, language, rules

void TfrmMain::ShowTextFile(const std::string& fileName) {
  Shell& shell = shell_;
  if (!shell.Info) shell.Info = new TfrmInfo();
  if (!shell.Info->LoadFile(fileName)) {
    CurrentDialogs().Message(this, "Kalix", Tr(msg::kFileNotFound) + "\n" + DisplayPath(fileName),
                             MessageIcon::Exclamation);
    return;
  }
  ApplyLanguageToWidgets("frmInfo", shell.Info);
  CurrentDialogs().Exec(shell.Info);
}

void TfrmMain::mnuInfoClick() {
  if (Doc.path.empty()) return;
  const std::string file = InformationFileName(Doc.path, shell_.Ctx.Language.LanguageCode);
  // A document that describes itself (a TEI header) shows that description
  // when it has no information file.
  if (!Doc.information.empty() && !QFileInfo(DisplayPath(file)).isReadable()) {
    Shell& shell = shell_;
    if (!shell.Info) shell.Info = new TfrmInfo();
    shell.Info->reInfo->setPlainText(FromCp1252(Doc.information));
    ApplyLanguageToWidgets("frmInfo", shell.Info);
    CurrentDialogs().Exec(shell.Info);
    return;
  }
  ShowTextFile(file);
}

void TfrmMain::mnuHelpClick() {
  Shell& shell = shell_;
  ShowTextFile(WithFallbackFolders(HelpFileName(shell.ProgramDir, shell.Ctx.Language.LanguageCode),
                                   {".", shell.DataDir}));
}

void TfrmMain::mnuAboutClick() {
  Shell& shell = shell_;
  ShowTextFile(WithFallbackFolders(AboutFileName(shell.Ctx.Language.LanguageCode),
                                   {shell.ProgramDir, shell.DataDir}));
}

void TfrmMain::mnuExitClick() { close(); }

void TfrmMain::mnuLangueClick() {
  Shell& shell = shell_;
  FileDialogOptions o;
  o.filter = "Lang file (*.lng)|*.lng";
  o.defaultExtension = "lng";
  o.initialFolder = DisplayPath(shell.ProgramDir);
  QString chosen = CurrentDialogs().OpenFile(this, o);
  if (chosen.isEmpty()) return;
  std::string path = FileSystemPath(chosen);
  if (!LoadLanguageReporting(this, path)) return;
  UseQtTranslations(shell.Ctx.Language.LanguageCode);
  WriteSetting(shell.SettingsPath, kSettingsSection, "Language", FileNameOf(path));
  for (TfrmMain* w : shell.MainWindowList) w->ApplyLanguage();
}

void TfrmMain::mnuRulesClick() {
  Shell& shell = shell_;
  FileDialogOptions o;
  o.filter = "Rule file (*.rul)|*.rul";
  o.defaultExtension = "rul";
  o.initialFolder = DisplayPath(shell.ProgramDir);
  QString chosen = CurrentDialogs().OpenFile(this, o);
  if (chosen.isEmpty()) return;
  std::string path = FileSystemPath(chosen);
  // A file that looks wrong is used, and remembered, only when the user says so.
  RuleSet rules;
  RulesDoubt doubt = RulesDoubt::None;
  if (!LoadRules(rules, path, &doubt)) return;
  if (doubt != RulesDoubt::None &&
      CurrentDialogs().Question(this, "Kalix", DoubtfulRulesText(path, doubt) + "\n\n" + Tr(msg::kUseDoubtfulRules),
                                false) != Answer::Yes) {
    return;
  }
  shell.Ctx.Rules = std::move(rules);
  WriteSetting(shell.SettingsPath, kSettingsSection, "Rules", FileNameOf(path));
  // The filter check-lists of the search and word-list dialogs.
  NotifyRulesLoaded();
  RefillFilterCheckLists();
}

void TfrmMain::ApplyLanguage() {
  ApplyLanguageToWidgets("frmMain", this);
  ApplyLanguageToMenus("frmMain", this);
  NameControlsForScreenReaders(this);
  // Views without a caption of their own.
  reText->setAccessibleName(Tr("Texte du document"));
  reNote->setAccessibleName(Tr("Notes de la page"));
}

void TfrmMain::pnlTopClick() { DumpCaptionsOf(this); }

}  // namespace kalix::ui
