// The main window's construction: its controls, menus and their connections.
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"

#include "app/InfoFiles.h"
#include "document/Reader.h"
#include "i18n/Language.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "rules/Morva.h"
#include "ui/Accessible.h"
#include "ui/Dialogs.h"
#include "ui/ExportCommand.h"
#include "ui/MetafilePainter.h"
#include "ui/Shell.h"
#include "ui/TargetGrid.h"
#include "ui/TfrmFind.h"
#include "ui/TfrmInfo.h"
#include "ui/TfrmStart.h"
#include "ui/UiLanguage.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
namespace kalix::ui {
namespace {

// Texts of the designs are code page 1252.
QString T(const char* text1252) { return FromCp1252(text1252); }

QAction* Item(QMenu* menu, const char* name, const char* caption, const QKeySequence& key,
              bool enabled) {
  QAction* a = menu->addAction(T(caption));
  a->setObjectName(name);
  if (!key.isEmpty()) a->setShortcut(key);
  a->setEnabled(enabled);
  return a;
}

QMenu* SubMenu(QMenuBar* bar, const char* name, const char* caption) {
  QMenu* m = bar->addMenu(T(caption));
  m->setObjectName(name);
  m->menuAction()->setObjectName(name);
  return m;
}

// One command of a menu: the member that keeps it, its name, caption, key
// and first state; an empty design is a separator.
struct MenuItemDesign {
  QAction* TfrmMain::*action = nullptr;
  const char* name = nullptr;
  const char* caption = nullptr;
  QKeySequence key;
  bool enabled = false;
};

void AddItems(TfrmMain& window, QMenu* menu, std::initializer_list<MenuItemDesign> items) {
  for (const MenuItemDesign& d : items) {
    if (d.action == nullptr) {
      menu->addSeparator();
    } else {
      window.*d.action = Item(menu, d.name, d.caption, d.key, d.enabled);
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------

void SetFieldLength(QLineEdit* edit, int length) {
  edit->setMaxLength(length);
  const QString widest = QString(std::max(length, 4), QChar('0')) + (length > 4 ? "" : "V");
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(widest) + 12);
}

TPanel::TPanel(QWidget* parent) : QFrame(parent) {}

void TPanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
  QFrame::mousePressEvent(event);
}

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {}

void TPaintBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (OnPaint) OnPaint(painter);
}

// ---------------------------------------------------------------------------

TfrmMain::TfrmMain(QWidget* owner) : TfrmMain(TheShell(), owner) {}

TfrmMain::TfrmMain(Shell& shell, QWidget* owner) : QMainWindow(owner), shell_(shell) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName("frmMain");
  setWindowTitle("Kalix");
  setMinimumSize(600, 420);
  move(312, 134);
  resize(745, 605);

  BuildControls();
  BuildMenus();
  ConnectTargetCommands();
  BuildTargetViews();
  InstallExportCommands(*this);

  if (!shell.MainWindowListExists) ProcessWideInit();
  shell.MainWindowList.append(this);

  ApplyLanguage();

  // Construction complete: the grid shows its header only, the status line
  // is empty.
  TargetModel->Refill();
  GridFullWidth = 26;
  for (int c = 0; c < TargetModel->columnCount(); ++c) GridFullWidth += grdTarget->columnWidth(c);
  connect(Splitter, &QSplitter::splitterMoved, this, &TfrmMain::LimitTargetPanel);
  statusLine_->SetText(QString());
}

void TfrmMain::BuildControls() {
  QWidget* client = new QWidget(this);
  client->setObjectName("ClientArea");
  setCentralWidget(client);
  auto* clientLayout = new QVBoxLayout(client);
  clientLayout->setContentsMargins(0, 0, 0, 0);
  clientLayout->setSpacing(0);

  clientLayout->addWidget(BuildToolbar(client));
  // Target panel | document panel.
  Splitter = new QSplitter(Qt::Horizontal, client);
  Splitter->setObjectName("Splitter");
  Splitter->setChildrenCollapsible(false);
  clientLayout->addWidget(Splitter, 1);
  BuildTargetPanel();
  BuildDocumentPanel();
  clientLayout->addWidget(BuildStatusLine(client));
  ConnectControls();
}

// The toolbar panel: a row of tool buttons, in groups.
QWidget* TfrmMain::BuildToolbar(QWidget* client) {
  pnlTop = new TPanel(client);
  pnlTop->setObjectName("pnlTop");
  pnlTop->setFixedHeight(29);
  pnlTop->setFrameShape(QFrame::StyledPanel);
  auto* topLayout = new QHBoxLayout(pnlTop);
  topLayout->setContentsMargins(4, 3, 4, 3);
  topLayout->setSpacing(1);
  struct ButtonDesign {
    QToolButton** button;
    const char* name;
    const char* hint;
    QStyle::StandardPixmap icon;
    bool enabled;
    bool gapBefore;
  };
  const ButtonDesign buttons[] = {
      {&btnOpen, "btnOpen", "Ovrir un document", QStyle::SP_DialogOpenButton, true, false},
      {&btnFind, "btnFind", "Recherche", QStyle::SP_FileDialogContentsView, false, true},
      {&btnWord, "btnWord", "Liste des mots", QStyle::SP_FileDialogListView, false, false},
      {&btnSaveTarget, "btnSaveTarget", "Enregistrer le r\xe9sultat", QStyle::SP_DialogSaveButton, false, false},
      {&btnUp, "btnUp", "Ligne pr\xe9" "c\xe9" "dente", QStyle::SP_ArrowUp, false, true},
      {&btnDown, "btnDown", "Ligne suivante", QStyle::SP_ArrowDown, false, false},
      {&btnFirst, "btnFirst", "Premi\xe8re cible", QStyle::SP_MediaSkipBackward, false, true},
      {&btnPrev, "btnPrev", "Cible pr\xe9" "c\xe9" "dente", QStyle::SP_MediaSeekBackward, false, false},
      {&btnNext, "btnNext", "Cible suivante", QStyle::SP_MediaSeekForward, false, false},
      {&btnLast, "btnLast", "Derni\xe9re cible", QStyle::SP_MediaSkipForward, false, false},
      {&btnGrdOpen, "btnGrdOpen", "Ouvrir dans la fen\xeatre", QStyle::SP_FileIcon, false, true},
      {&btnGrdOpenNew, "btnGrdOpenNew", "Ouvrir dans une autre fen\xeatre", QStyle::SP_TitleBarNormalButton, false, false},
      {&btnHelp, "btnHelp", "Aide", QStyle::SP_DialogHelpButton, true, true},
  };
  for (const ButtonDesign& d : buttons) {
    if (d.gapBefore) topLayout->addSpacing(8);
    *d.button = MakeToolButton(pnlTop, style(), d.name, d.hint, d.icon, d.enabled);
    topLayout->addWidget(*d.button);
  }
  topLayout->addStretch(1);
  return pnlTop;
}

// The target pane, left of the document.
void TfrmMain::BuildTargetPanel() {
  targetPane_ = new TTargetPane(&session_.Targets, Splitter);
  pnlTarget = targetPane_;
  grdTarget = targetPane_->Grid();
  TargetModel = targetPane_->Model();
  grdTarget->installEventFilter(this);
  grdTarget->viewport()->installEventFilter(this);
}

// The document pane: the position panel above the text and its notes.
void TfrmMain::BuildDocumentPanel() {
  documentPane_ = new TDocumentPane(Splitter);
  Splitter->setStretchFactor(0, 0);
  Splitter->setStretchFactor(1, 1);
  TDocumentPane* d = documentPane_;
  pnlDoc = d;
  pnlPos = d->PositionPanel();
  lblPage = d->PageLabel();
  lblFolio = d->FolioLabel();
  lblVign = d->GlyphLabel();
  edPage = d->PageField();
  edFolio = d->FolioField();
  edVign = d->GlyphField();
  btnGoto = d->GotoButton();
  btnInfo = d->InfoButton();
  Splitter1 = d->TextSplitter();
  reText = d->TextView();
  pnlNote = d->NotePanel();
  Splitter2 = d->NoteSplitter();
  reNote = d->NoteView();
  pnlGlyph = d->GlyphPanel();
  pbxGlyph = d->GlyphBox();
  SetFieldColours(kGotoNone);
  reText->installEventFilter(this);
  pbxGlyph->OnPaint = [this](QPainter& painter) { ShowPicture(painter); };
}

QWidget* TfrmMain::BuildStatusLine(QWidget* client) {
  statusLine_ = new TStatusLine(client);
  return statusLine_;
}

void TfrmMain::ConnectControls() {
  connect(pnlTop, &TPanel::clicked, this, &TfrmMain::pnlTopClick);
  connect(btnOpen, &QToolButton::clicked, this, &TfrmMain::mnuOpenClick);
  connect(btnHelp, &QToolButton::clicked, this, &TfrmMain::mnuHelpClick);
  connect(btnGoto, &QToolButton::clicked, this, &TfrmMain::mnuGotoClick);
  connect(btnInfo, &QToolButton::clicked, this, &TfrmMain::mnuInfoClick);
  connect(edPage, &QLineEdit::textChanged, this, &TfrmMain::edPageChange);
  connect(edFolio, &QLineEdit::textChanged, this, &TfrmMain::edFolioChange);
  connect(edVign, &QLineEdit::textChanged, this, &TfrmMain::edVignChange);
  connect(reText, &QPlainTextEdit::cursorPositionChanged, this, &TfrmMain::UpdatePositionPanel);
  connect(reText, &QPlainTextEdit::selectionChanged, this, &TfrmMain::UpdatePositionPanel);
  connect(btnFind, &QToolButton::clicked, this, &TfrmMain::RunSearch);
  connect(btnWord, &QToolButton::clicked, this, &TfrmMain::RunWordList);
}

void TfrmMain::BuildMenus() {
  MainMenu = menuBar();
  MainMenu->setObjectName("MainMenu");
  BuildFileMenus();
  BuildTargetsMenu();
  BuildLexiconMenus();
  BuildOptionsMenu();
  BuildPopupMenus();
  ConnectMenus();
}

// "&Fichier" and "&Edition".
void TfrmMain::BuildFileMenus() {
  const QKeySequence none;
  Fichier1 = SubMenu(MainMenu, "Fichier1", "&Fichier");
  AddItems(*this, Fichier1, {
      {&TfrmMain::mnuOpen, "mnuOpen", "&Ouvrir", QKeySequence("Ctrl+O"), true},
      {&TfrmMain::mnuInfo, "mnuInfo", "&Informations", QKeySequence("Ctrl+I"), false},
      {},
      {&TfrmMain::mnuExit, "mnuExit", "&Quitter", none, true},
  });
  mnuEdit = SubMenu(MainMenu, "mnuEdit", "&Edition");
  AddItems(*this, mnuEdit, {
      {&TfrmMain::mnuCut, "mnuCut", "Cou&per", QKeySequence("Ctrl+X"), false},
      {&TfrmMain::mnuCopy, "mnuCopy", "&Copier", QKeySequence("Ctrl+C"), false},
      {&TfrmMain::mnuDel, "mnuDel", "Supprimer", QKeySequence(Qt::Key_Delete), false},
      {&TfrmMain::mnuAll, "mnuAll", "S\xe9lectionner &tout", QKeySequence("Ctrl+A"), false},
      {},
      {&TfrmMain::mnuFind, "mnuFind", "&Rechercher", QKeySequence("Ctrl+F"), false},
      {&TfrmMain::mnuWord, "mnuWord", "Liste de &mots", QKeySequence("Ctrl+W"), false},
      {&TfrmMain::mnuColloc, "mnuColloc", "C&ooccurrents", QKeySequence(), true},
      {&TfrmMain::mnuNgram, "mnuNgram", "&N-grammes", QKeySequence(), true},
      {&TfrmMain::mnuGoto, "mnuGoto", "&Aller \xe0 la marque", QKeySequence("Ctrl+M"), false},
  });
}

void TfrmMain::BuildTargetsMenu() {
  const QKeySequence none;
  Cibles1 = SubMenu(MainMenu, "Cibles1", "Ci&bles");
  AddItems(*this, Cibles1, {
      {&TfrmMain::mnuSortText, "mnuSortText", "Trier par &texte", none, false},
      {&TfrmMain::mnuSortNum, "mnuSortNum", "Trier par nom&bre", none, false},
      {&TfrmMain::mnuSortDocText, "mnuSortDocText", "Trier par doc + texte", none, false},
      {&TfrmMain::mnuSortDocNum, "mnuSortDocNum", "Trier par doc + nombre", none, false},
      {},
      {&TfrmMain::mnuUp, "mnuUp", "&Monter", QKeySequence(Qt::Key_F3), false},
      {&TfrmMain::mnuDown, "mnuDown", "&Descendre", QKeySequence(Qt::Key_F4), false},
      {&TfrmMain::mnuFirst, "mnuFirst", "&D\xe9" "but", QKeySequence(Qt::Key_F5), false},
      {&TfrmMain::mnuPrev, "mnuPrev", "&Pr\xe9" "c\xe9" "dente", QKeySequence(Qt::Key_F6), false},
      {&TfrmMain::mnuNext, "mnuNext", "&Suivante", QKeySequence(Qt::Key_F7), false},
      {&TfrmMain::mnuLast, "mnuLast", "&Fin", QKeySequence(Qt::Key_F8), false},
      {},
      {&TfrmMain::mnuSaveTarget, "mnuSaveTarget", "&Enregister", none, false},
  });
}

// "&Thesaurus" and "&Corpus".
void TfrmMain::BuildLexiconMenus() {
  const QKeySequence none;
  Thesaurus1 = SubMenu(MainMenu, "Thesaurus1", "&Thesaurus");
  AddItems(*this, Thesaurus1, {
      {&TfrmMain::mnuTNew, "mnuTNew", "&Nouveau", none, true},
      {&TfrmMain::mnuTOpen, "mnuTOpen", "&Ouvrir", none, true},
      {&TfrmMain::mnuTEdit, "mnuTEdit", "&Modifier", none, false},
      {&TfrmMain::mnuTSave, "mnuTSave", "&Enregistrer", none, false},
      {&TfrmMain::mnuTSaveAs, "mnuTSaveAs", "Enregistrer &sous", none, false},
      {&TfrmMain::mnuTClose, "mnuTClose", "&Fermer", none, false},
  });
  Corpus1 = SubMenu(MainMenu, "Corpus1", "&Corpus");
  AddItems(*this, Corpus1, {
      {&TfrmMain::mnuCNew, "mnuCNew", "&Nouveau", none, true},
      {&TfrmMain::mnuCOpen, "mnuCOpen", "&Ouvrir", none, true},
      {&TfrmMain::mnuCEdit, "mnuCEdit", "&Modifier", none, false},
      {&TfrmMain::mnuCSave, "mnuCSave", "&Enregistrer", none, false},
      {&TfrmMain::mnuCSaveAs, "mnuCSaveAs", "Enregistrer &sous", none, false},
      {&TfrmMain::mnuCClose, "mnuCClose", "&Fermer", none, false},
  });
}

void TfrmMain::BuildOptionsMenu() {
  const QKeySequence none;
  Options1 = SubMenu(MainMenu, "Options1", "&Options");
  AddItems(*this, Options1, {
      {&TfrmMain::mnuLangue, "mnuLangue", "&Langue", none, true},
      {&TfrmMain::mnuRules, "mnuRules", "&R\xe8gles", none, true},
      {&TfrmMain::mnuHelp, "mnuHelp", "&Aide", none, true},
      {&TfrmMain::mnuAbout, "mnuAbout", "A &propos", none, true},
  });
}

// The pop-up menus carry no keys: the keys belong to the main menu.
void TfrmMain::BuildPopupMenus() {
  const QKeySequence none;
  popGrid = new QMenu(this);
  popGrid->setObjectName("popGrid");
  AddItems(*this, popGrid, {
      {&TfrmMain::mnuGrdCut, "mnuGrdCut", "Cou&per", none, false},
      {&TfrmMain::mnuGrdCopy, "mnuGrdCopy", "&Copier", none, false},
      {&TfrmMain::mnuGrdDel, "mnuGrdDel", "Supprimer", none, false},
      {&TfrmMain::mnuGrdAll, "mnuGrdAll", "S\xe9lectionner &tout", none, false},
      {},
      {&TfrmMain::mnuGrdSortText, "mnuGrdSortText", "Trier par &texte", none, false},
      {&TfrmMain::mnuGrdSortNum, "mnuGrdSortNum", "Trier par nom&bre", none, false},
      {&TfrmMain::mnuGrdSortDocText, "mnuGrdSortDocText", "Trier par doc + texte", none, false},
      {&TfrmMain::mnuGrdSortDocNum, "mnuGrdSortDocNum", "Trier par doc + nombre", none, false},
      {},
      {&TfrmMain::mnuGrdOpen, "mnuGrdOpen", "Ouvrir dans la fen\xeatre", none, false},
      {&TfrmMain::mnuGrdOpenNew, "mnuGrdOpenNew", "Ouvrir dans une autre fen\xeatre", none, false},
  });
  popText = new QMenu(this);
  popText->setObjectName("popText");
  AddItems(*this, popText, {
      {&TfrmMain::mnuTxtCopy, "mnuTxtCopy", "&Copier", none, false},
      {&TfrmMain::mnuTxtTarget, "mnuTxtTarget", "Ci&ble", none, true},
  });
}

void TfrmMain::ConnectMenus() {
  connect(mnuOpen, &QAction::triggered, this, &TfrmMain::mnuOpenClick);
  connect(mnuInfo, &QAction::triggered, this, &TfrmMain::mnuInfoClick);
  connect(mnuExit, &QAction::triggered, this, &TfrmMain::mnuExitClick);
  connect(mnuGoto, &QAction::triggered, this, &TfrmMain::mnuGotoClick);
  connect(mnuHelp, &QAction::triggered, this, &TfrmMain::mnuHelpClick);
  connect(mnuAbout, &QAction::triggered, this, &TfrmMain::mnuAboutClick);
  connect(mnuLangue, &QAction::triggered, this, &TfrmMain::mnuLangueClick);
  connect(mnuRules, &QAction::triggered, this, &TfrmMain::mnuRulesClick);
  ConnectLexiconMenus();
  connect(mnuCopy, &QAction::triggered, this, &TfrmMain::mnuCopyClick);
  connect(mnuFind, &QAction::triggered, this, &TfrmMain::RunSearch);
  connect(mnuWord, &QAction::triggered, this, &TfrmMain::RunWordList);
  connect(mnuColloc, &QAction::triggered, this, &TfrmMain::mnuCollocClick);
  connect(mnuNgram, &QAction::triggered, this, &TfrmMain::mnuNgramClick);
  connect(mnuTxtCopy, &QAction::triggered, this, &TfrmMain::mnuCopyClick);
  connect(reText, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { popText->popup(reText->viewport()->mapToGlobal(at)); });
  connect(grdTarget, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { GridMenuRequested(at); });
}

}  // namespace kalix::ui
