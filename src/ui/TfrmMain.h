// The main window: the toolbar and the menus wired to a window session
// (app/WindowSession.h), which holds the document, the strings, the result
// and its commands, and to the panes that show them: the target pane, the
// document pane (position panel, text, notes and picture), the status line
// (ui/WindowPanes.h), the concordance, the plot and the facsimile. Long
// work runs on a second thread (ui/BackgroundRun.h).
#pragma once

#include "app/PositionPanel.h"
#include "app/WindowSession.h"
#include "app/Settings.h"
#include "document/Document.h"
#include "lexicon/EntryList.h"
#include "rules/Filters.h"
#include "search/SearchSpec.h"
#include "targets/Target.h"
#include "ui/DocumentView.h"

#include <QFrame>
#include <QMainWindow>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QSplitter;
class QTableView;
class QToolButton;

namespace kalix::ui {

struct BackgroundRun;
struct Shell;
struct StatisticsSource;
class TargetGridModel;
class TTargetPane;
class TDocumentPane;
class TStatusLine;
class TConcordance;
class TDispersionPlot;
class TFacsimilePane;

// A panel that reports clicks on its free area (the toolbar panel).
class TPanel : public QFrame {
  Q_OBJECT
 public:
  explicit TPanel(QWidget* parent = nullptr);
 signals:
  void clicked();
 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

// Sets how many characters a position field takes, and widens it to show
// them (never narrower than four digits and a side letter).
void SetFieldLength(QLineEdit* edit, int length);

// A paint box: paints through a callback.
class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPaintBox(QWidget* parent = nullptr);
  std::function<void(QPainter&)> OnPaint;
 protected:
  void paintEvent(QPaintEvent* event) override;
};

class TfrmMain : public QMainWindow {
  Q_OBJECT
 public:
  // A main window of `shell`'s program.
  explicit TfrmMain(Shell& shell, QWidget* owner = nullptr);
  // A main window of the program's shell.
  explicit TfrmMain(QWidget* owner = nullptr);
  ~TfrmMain() override;

  // Shows the window in the state it was given at creation.
  void ShowAsDesigned();

  // Document operations.
  bool OpenDocument(const std::string& path, bool reportErrors, bool display);
  void CloseDocument();
  void ResetTargetView(bool freeTargets);

  // View operations.
  void UpdatePositionPanel();
  void ShowReadingNotice();
  void ShowPicture(QPainter& painter);
  void ClearHighlights();
  // Selects the current target's current occurrence in the document view
  // (when `show`); the caret move updates the position panel.
  void SelectOccurrence(bool show);

  // The layout as the settings file stores it.
  WindowLayout CurrentLayout() const;
  void ApplyLayout(const WindowLayout& layout);

  // Relabels the window and its three menus from the language state.
  void ApplyLanguage();

  // The caret (selection start) and selection length of the view, in view
  // positions.
  int32_t CaretView() const;
  int32_t SelectionViewLength() const;
  void SetCaretView(int32_t view, int32_t length = 0);

  // --- thesaurus and corpus (TfrmMainLexicon.cpp) ---
  void NewThesaurus();
  void OpenThesaurus();
  bool EditThesaurus();
  bool SaveThesaurus(bool asNew);
  bool CloseThesaurus();
  void ApplyThesaurusMenuState(int s);
  void NewCorpus();
  void OpenCorpus();  // "&Ouvrir": open a file, then the editor
  bool EditCorpus();
  bool SaveCorpus(bool asNew);
  bool CloseCorpus();
  // Opens `path` as the corpus (after the question about a modified one),
  // without the editor; false when the corpus was kept or the file cannot
  // be read (which says so).
  bool OpenCorpusFile(const std::string& path);
  void ApplyCorpusMenuState(int s);
  // Asks about the window's modified thesaurus and, for the last window,
  // the modified corpus; false when the user keeps the window open.
  bool CloseLexiconQuestions();

  // --- the window's session: document, strings, filters, options,
  // targets, grid order, current target and occurrence, status line ---
  WindowSession& Session() { return session_; }
  const WindowSession& Session() const { return session_; }
  // The program's shell this window belongs to.
  Shell& AppShell() const { return shell_; }

 private:
  Shell& shell_;
  WindowSession session_;

  // The session's state under the names the window's commands use (others
  // read it through `Session()`).
  Document& Doc = session_.Doc;
  cArrowList& ArrowList = session_.Strings;      // the search strings of the search dialog
  cFilterList& FilterList = session_.Filters;    // the patterns of the checked filters
  SearchSettings& Settings = session_.Settings;  // the options of the last search or word list
  cTargetList& TargetList = session_.Targets;    // the result, in the order the grid shows it

 public:

  // --- per-window state ---
  ViewMapping Mapping;
  bool Loading = false;
  bool PanelUpdate = false;
  int32_t ShownPage = 0;
  const GlyphPicture* ShownPicture = nullptr;
  int16_t PendingGotoKind = kGotoNone;
  int GridFullWidth = 0;
  int AcceptedTargetWidth = 235;  // the target panel's last accepted width

  Thesaurus ThesaurusList;  // the window's thesaurus

  // --- searching from the window: search dialog, word list, result ---
  // The search command: the search dialog, the keys, the generated variants
  // (reviewed through ReviewVariants), the scan off this thread, the result.
  void RunSearch();
  // The search dialog on this window's strings and filters; false: cancelled.
  bool AskForSearch();
  // The word-list command.
  void RunWordList();
  // The collocates of the last search (ui/TfrmCollocates.cpp).
  void mnuCollocClick();
  StatisticsSource CurrentStatisticsSource() const;
  // The n-grams and clusters of the document or corpus (ui/TfrmNgrams.cpp).
  void mnuNgramClick();
  // The result of a search or a word list: status line, grid (sorted by
  // text), and for a search the red highlights.
  void ShowSearchResult(const std::string& status);
  // The same with the highlights already computed (by the search's thread).
  void ShowSearchResult(const std::string& status, std::vector<std::pair<int32_t, int32_t>> spans,
                        int32_t longest);
  void ShowWordListResult(const std::string& status);
  // Colours red every occurrence of the targets of the displayed document
  // (applied to the visible part of the view as it scrolls).
  void HighlightTargets();
  void ShowHighlights(std::vector<std::pair<int32_t, int32_t>> spans, int32_t longest);
  void UpdateVisibleHighlights();
  // Starts `run`'s work on a second thread and returns; the window takes no
  // input until it ends (other windows go on). After about ProgressDelayMs
  // a progress dialog shows, with Cancel. `then` is told on this thread:
  // false when cancelled (or failed), and nothing of the window has changed.
  void StartRun(const std::shared_ptr<BackgroundRun>& run, const QString& what, std::function<void(bool)> then);
  // Tests and benchmarks: returns once no run of this window is working.
  void WaitForRun();
  // A finished search or word list becomes the window's: grid, status line
  // and, for a search, the red highlights.
  void ApplyRun(SessionRun& run);
  // The same for a run repeated here from another window (its targets join
  // those the window holds).
  void ApplyRepeat(SessionRun& run);
  bool SearchRunning = false;
  int ProgressDelayMs = 300;
  // Runs that were cancelled and are still ending (joined when they end or
  // with the window).
  std::vector<std::shared_ptr<BackgroundRun>> AbandonedRuns;
  // Shows the generated variants for review (by default the
  // generated-variants dialog); false: cancelled, the temporary strings
  // are removed.
  static std::function<bool(cArrowList& strings, const std::vector<std::string>& boundedTexts)> ReviewVariants;
  // Tests: run on the worker thread before the work.
  static std::function<void()> BeforeBackgroundWork;

  // --- controls, named as in the design ---
  TPanel* pnlTop;
  QToolButton *btnOpen, *btnFind, *btnWord, *btnSaveTarget, *btnUp, *btnDown, *btnFirst,
      *btnPrev, *btnNext, *btnLast, *btnGrdOpen, *btnGrdOpenNew, *btnHelp;
  // The panes (each owns its widgets).
  TTargetPane* TargetPane() const { return targetPane_; }
  TDocumentPane* DocumentPane() const { return documentPane_; }
  TStatusLine* StatusLine() const { return statusLine_; }
  TargetGridModel* TargetModel;  // the target pane's model
  QSplitter* Splitter;           // target pane | document pane

  // --- menus ---
  QMenuBar* MainMenu;
  QMenu *Fichier1, *mnuEdit, *Cibles1, *Thesaurus1, *Corpus1, *Options1;
  QAction *mnuOpen, *mnuInfo, *mnuExit;
  QAction *mnuCut, *mnuCopy, *mnuDel, *mnuAll, *mnuFind, *mnuWord, *mnuGoto;
  QAction* mnuColloc;  // "&Cooccurrents" (ui/TfrmCollocates.cpp)
  QAction* mnuNgram;   // "&N-grammes" (ui/TfrmNgrams.cpp)
  QAction *mnuSortText, *mnuSortNum, *mnuSortDocText, *mnuSortDocNum, *mnuUp, *mnuDown,
      *mnuFirst, *mnuPrev, *mnuNext, *mnuLast, *mnuSaveTarget;
  QAction *mnuTNew, *mnuTOpen, *mnuTEdit, *mnuTSave, *mnuTSaveAs, *mnuTClose;
  QAction *mnuCNew, *mnuCOpen, *mnuCEdit, *mnuCSave, *mnuCSaveAs, *mnuCClose;
  QAction *mnuLangue, *mnuRules, *mnuHelp, *mnuAbout;
  QMenu* popGrid;
  QAction *mnuGrdCut, *mnuGrdCopy, *mnuGrdDel, *mnuGrdAll, *mnuGrdSortText, *mnuGrdSortNum,
      *mnuGrdSortDocText, *mnuGrdSortDocNum, *mnuGrdOpen, *mnuGrdOpenNew;
  QMenu* popText;
  QAction *mnuTxtCopy, *mnuTxtTarget;

 public slots:
  void mnuOpenClick();
  void mnuInfoClick();
  void mnuExitClick();
  void mnuGotoClick();
  void mnuHelpClick();
  void mnuAboutClick();
  void mnuLangueClick();
  void mnuRulesClick();
  void mnuCopyClick();
  void pnlTopClick();
  void edPageChange();
  void edFolioChange();
  void edVignChange();
  void UpdateEditMenu();

  // --- target grid, occurrence stepping, opening targets, the report ---
  // Grid rows are counted as the design counts them: row 0 is the headings,
  // row r shows target r - 1.
 public:
  enum StepKind { kStepShow, kStepFirst, kStepPrevious, kStepNext, kStepLast };
  void RefillGrid(int32_t count);
  void UpdateLineButtons(int32_t row);
  void SelectTargetRow(int32_t row);
  void StepOccurrence(int kind);
  void MoveLine(bool up);
  void SortTargets(int key, bool byDocument);
  void ShowSortOrder(int key, bool byDocument);
  void GridMenuRequested(const QPoint& at);
  void LimitTargetPanel();
  void GridHeadingPressed(int column);
  void CopyTargetRows();
  void DeleteTargetRows();
  void SelectAllRows();
  void LocateTargetAtCaret();
  void OpenTargetHere();
  void OpenTargetInOtherWindow();
  void SaveResult();
  // The grid's current row (0: none) and its selected rows (0, 0: none).
  int32_t CurrentGridRow() const;
  void SelectedGridRows(int32_t& top, int32_t& bottom) const;
  // Makes a row current and the only selected one (0: none).
  void SetCurrentGridRow(int32_t row);
  // Colours red, in the document view, every occurrence of the targets of
  // the displayed document (all targets: -1; or one target).
  void HighlightShownTargets(int32_t onlyTarget = -1);
  // The concordance pane and the dispersion plot, shown from "Ci&bles".
  TConcordance* Concordance = nullptr;
  TDispersionPlot* Plot = nullptr;
  QAction *mnuConcordance = nullptr, *mnuPlot = nullptr;
  void ShowConcordance(bool show);
  void ShowPlot(bool show);
  // The facsimile pane, beside the document, shown from "Ci&bles" too.
  TFacsimilePane* Facsimile = nullptr;
  QAction* mnuFacsimile = nullptr;
  void ShowFacsimile(bool show);
  void FollowFacsimile();
  // Selects an occurrence of a target (from the concordance or the plot):
  // the target's row becomes current and the occurrence is shown.
  void SelectTargetOccurrence(int32_t target, int32_t occurrence);

 private:
  void SetUpTargetGrid();
  void ConnectTargetCommands();
  bool TargetGridEvent(QObject* watched, QEvent* event);
  void BuildTargetViews();
  void RememberTargetViews();
  // The concordance and the plot follow the current target and occurrence,
  // or the whole list after it changed.
  void TargetViewsChanged();
  void TargetListChanged();
  QSplitter* pnlViews = nullptr;
  static constexpr int32_t kPlotStale = -2;
  int32_t plotTarget_ = kPlotStale;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildToolbar(QWidget* client);
  void BuildTargetPanel();
  void BuildDocumentPanel();
  QWidget* BuildPositionPanel();
  void BuildTextView();
  void BuildNotePanel();
  QWidget* BuildStatusLine(QWidget* client);
  void ConnectControls();
  void BuildMenus();
  void BuildFileMenus();
  void BuildTargetsMenu();
  void BuildLexiconMenus();
  void BuildOptionsMenu();
  void BuildPopupMenus();
  void ConnectMenus();
  void ProcessWideInit();
  void PositionFieldChanged(int16_t kind);
  void SetFieldColours(int16_t yellowKind);
  void ShowTextFile(const std::string& fileName);
  void SetDocumentCommands(bool displayed);
  void ConnectLexiconMenus();

  // The panes, and their widgets under the names the window's code uses.
  TTargetPane* targetPane_ = nullptr;
  TDocumentPane* documentPane_ = nullptr;
  TStatusLine* statusLine_ = nullptr;
  QWidget* pnlTarget;
  QTableView* grdTarget;
  QWidget* pnlDoc;
  QFrame* pnlPos;
  QLabel *lblPage, *lblFolio, *lblVign;
  QLineEdit *edPage, *edFolio, *edVign;
  QToolButton *btnGoto, *btnInfo;
  QSplitter* Splitter1;
  QPlainTextEdit* reText;
  QWidget* pnlNote;
  QSplitter* Splitter2;
  QPlainTextEdit* reNote;
  QFrame* pnlGlyph;
  TPaintBox* pbxGlyph;

  WindowLayout layout_;
  bool restoredFromSettings_ = false;
  bool layoutApplied_ = false;
};

}  // namespace kalix::ui
