#include "ui/TfrmMain.h"

#include "app/InfoFiles.h"
#include "document/Reader.h"
#include "i18n/Language.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "rules/Morva.h"
#include "ui/Accessible.h"
#include "ui/Dialogs.h"
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

// Texts of the designs are code page 1252.
QString T(const char* text1252) { return FromCp1252(text1252); }

std::string FileSystemPath(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString DisplayPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

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

const QColor kWhite(255, 255, 255);
const QColor kYellow(255, 255, 0);

void SetBase(QLineEdit* edit, const QColor& colour) {
  QPalette p = edit->palette();
  p.setColor(QPalette::Base, colour);
  edit->setPalette(p);
}

// A tool button of the toolbar or of the position panel.
QToolButton* ToolButton(QWidget* parent, QStyle* style, const char* name, const char* hint,
                        QStyle::StandardPixmap icon, bool enabled) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setFixedSize(23, 22);
  b->setAutoRaise(true);
  b->setIcon(style->standardIcon(icon));
  b->setToolTip(T(hint));
  b->setEnabled(enabled);
  return b;
}

// The font of the text and of the notes.
QFont TextFont() {
  QFont textFont("Arial");
  textFont.setPointSize(10);
  return textFont;
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

TfrmMain::TfrmMain(QWidget* owner) : QMainWindow(owner) {
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

  Shell& shell = TheShell();
  if (!shell.MainWindowListExists) ProcessWideInit();
  shell.MainWindowList.append(this);

  ApplyLanguage();

  // Construction complete: the grid shows its header only, the status line
  // is empty.
  TargetModel->Refill();
  GridFullWidth = 26;
  for (int c = 0; c < TargetModel->columnCount(); ++c) GridFullWidth += grdTarget->columnWidth(c);
  lblStatus->setText(QString());
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
    *d.button = ToolButton(pnlTop, style(), d.name, d.hint, d.icon, d.enabled);
    topLayout->addWidget(*d.button);
  }
  topLayout->addStretch(1);
  return pnlTop;
}

// The target grid, left of the document.
void TfrmMain::BuildTargetPanel() {
  pnlTarget = new QWidget(Splitter);
  pnlTarget->setObjectName("pnlTarget");
  pnlTarget->setMinimumWidth(1);
  auto* targetLayout = new QVBoxLayout(pnlTarget);
  targetLayout->setContentsMargins(0, 0, 0, 0);
  grdTarget = new QTableView(pnlTarget);
  grdTarget->setObjectName("grdTarget");
  TargetModel = new TargetGridModel(&TargetList, grdTarget);
  grdTarget->setModel(TargetModel);
  grdTarget->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdTarget->setSelectionMode(QAbstractItemView::ContiguousSelection);
  grdTarget->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdTarget->verticalHeader()->hide();
  grdTarget->verticalHeader()->setDefaultSectionSize(17);
  QFont gridFont("Arial");
  gridFont.setPixelSize(11);
  grdTarget->setFont(gridFont);
  grdTarget->setColumnWidth(0, 38);
  grdTarget->setColumnWidth(1, 150);
  grdTarget->setColumnWidth(2, 137);
  grdTarget->setContextMenuPolicy(Qt::CustomContextMenu);
  grdTarget->installEventFilter(this);
  grdTarget->viewport()->installEventFilter(this);
  targetLayout->addWidget(grdTarget);
}

// The document panel: the position panel above the text and its notes.
void TfrmMain::BuildDocumentPanel() {
  pnlDoc = new QWidget(Splitter);
  pnlDoc->setObjectName("pnlDoc");
  auto* docLayout = new QVBoxLayout(pnlDoc);
  docLayout->setContentsMargins(0, 0, 0, 0);
  docLayout->setSpacing(0);
  Splitter->setStretchFactor(0, 0);
  Splitter->setStretchFactor(1, 1);
  docLayout->addWidget(BuildPositionPanel());

  // Text above, notes below.
  Splitter1 = new QSplitter(Qt::Vertical, pnlDoc);
  Splitter1->setObjectName("Splitter1");
  Splitter1->setChildrenCollapsible(false);
  docLayout->addWidget(Splitter1, 1);
  BuildTextView();
  BuildNotePanel();
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 0);
  Splitter2->setStretchFactor(0, 0);
  Splitter2->setStretchFactor(1, 1);
}

// Page, folio and glyph fields, "go to the mark" and the information button.
QWidget* TfrmMain::BuildPositionPanel() {
  pnlPos = new QFrame(pnlDoc);
  pnlPos->setObjectName("pnlPos");
  pnlPos->setFixedHeight(30);
  pnlPos->setFrameShape(QFrame::StyledPanel);
  auto* posLayout = new QHBoxLayout(pnlPos);
  posLayout->setContentsMargins(6, 2, 6, 2);
  posLayout->setSpacing(4);
  auto field = [&](QLabel*& label, const char* labelName, const char* caption, QLineEdit*& edit,
                   const char* editName) {
    label = new QLabel(T(caption), pnlPos);
    label->setObjectName(labelName);
    edit = new QLineEdit(pnlPos);
    edit->setObjectName(editName);
    edit->setMaxLength(4);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance("0000V") + 12);
    label->setBuddy(edit);
    SetBase(edit, kWhite);
    posLayout->addWidget(label);
    posLayout->addWidget(edit);
    posLayout->addSpacing(8);
  };
  field(lblPage, "lblPage", "Page", edPage, "edPage");
  field(lblFolio, "lblFolio", "Folio", edFolio, "edFolio");
  field(lblVign, "lblVign", "Glyphe", edVign, "edVign");
  btnGoto = ToolButton(pnlPos, style(), "btnGoto", "Aller \xe0 la marque", QStyle::SP_ArrowRight, false);
  posLayout->addWidget(btnGoto);
  btnInfo = ToolButton(pnlPos, style(), "btnInfo", "Informations sur le document", QStyle::SP_MessageBoxInformation, false);
  posLayout->addWidget(btnInfo);
  posLayout->addStretch(1);
  return pnlPos;
}

// The document's text, read-only, its selection visible without the focus.
void TfrmMain::BuildTextView() {
  reText = new QPlainTextEdit(Splitter1);
  reText->setObjectName("reText");
  reText->setReadOnly(true);
  reText->setUndoRedoEnabled(false);
  reText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  reText->setFont(TextFont());
  reText->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  reText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QPalette p = reText->palette();
  p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
  p.setColor(QPalette::Base, kWhite);
  p.setColor(QPalette::Text, Qt::black);
  reText->setPalette(p);
  reText->setContextMenuPolicy(Qt::CustomContextMenu);
  reText->installEventFilter(this);
}

// The note of the page beside the picture of the glyph.
void TfrmMain::BuildNotePanel() {
  pnlNote = new QWidget(Splitter1);
  pnlNote->setObjectName("pnlNote");
  pnlNote->setMinimumHeight(1);
  auto* noteLayout = new QHBoxLayout(pnlNote);
  noteLayout->setContentsMargins(0, 0, 0, 0);
  Splitter2 = new QSplitter(Qt::Horizontal, pnlNote);
  Splitter2->setObjectName("Splitter2");
  Splitter2->setChildrenCollapsible(false);
  noteLayout->addWidget(Splitter2);
  reNote = new QPlainTextEdit(Splitter2);
  reNote->setObjectName("reNote");
  reNote->setReadOnly(true);
  reNote->setUndoRedoEnabled(false);
  reNote->setFont(TextFont());
  pnlGlyph = new QFrame(Splitter2);
  pnlGlyph->setObjectName("pnlGlyph");
  pnlGlyph->setFrameShape(QFrame::NoFrame);
  auto* glyphLayout = new QVBoxLayout(pnlGlyph);
  glyphLayout->setContentsMargins(0, 0, 0, 0);
  pbxGlyph = new TPaintBox(pnlGlyph);
  pbxGlyph->setObjectName("pbxGlyph");
  pbxGlyph->OnPaint = [this](QPainter& painter) { ShowPicture(painter); };
  glyphLayout->addWidget(pbxGlyph);
}

QWidget* TfrmMain::BuildStatusLine(QWidget* client) {
  plnStatus = new QFrame(client);
  plnStatus->setObjectName("plnStatus");
  plnStatus->setFixedHeight(19);
  plnStatus->setFrameShape(QFrame::StyledPanel);
  auto* statusLayout = new QHBoxLayout(plnStatus);
  statusLayout->setContentsMargins(4, 0, 4, 0);
  lblStatus = new QLabel(plnStatus);
  lblStatus->setObjectName("lblStatus");
  statusLayout->addWidget(lblStatus);
  return plnStatus;
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
  connect(mnuTxtCopy, &QAction::triggered, this, &TfrmMain::mnuCopyClick);
  connect(reText, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { popText->popup(reText->viewport()->mapToGlobal(at)); });
  connect(grdTarget, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { popGrid->popup(grdTarget->viewport()->mapToGlobal(at)); });
}

// The process-wide initialisation, run by the first main window.
void TfrmMain::ProcessWideInit() {
  Shell& shell = TheShell();
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
  LoadRules(shell.Ctx.Rules, rules);
  LoadMorvaRules(shell.Ctx.Morva, shell.Ctx.Rules, rules);

  std::string language = s.Language;
  if (!shell.Options.LanguageFile.empty()) language = shell.Options.LanguageFile;
  if (!language.empty()) LoadLanguageReporting(this, WithDataFallback(language, shell.DataDir));

  shell.Options.RulesFile.clear();
  shell.Options.LanguageFile.clear();

  if (!shell.Options.PendingDocument.empty()) {
    QMetaObject::invokeMethod(this, &TfrmMain::mnuOpenClick, Qt::QueuedConnection);
  }
}

TfrmMain::~TfrmMain() {
  Shell& shell = TheShell();
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
  Shell& shell = TheShell();
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
  Shell& shell = TheShell();
  if (!kalix::OpenDocument(shell.Ctx, Doc, path, nullptr)) {
    if (reportErrors) {
      CurrentDialogs().Message(this, "Kalix", Tr(msg::kFileNotFound) + "\n" + DisplayPath(path),
                               MessageIcon::Exclamation);
    }
    return false;
  }
  if (!display) return true;

  Loading = true;
  reText->hide();
  Mapping.Build(Doc.Text());
  reText->setPlainText(ViewTextOf(Doc.Text()));
  Loading = false;

  ClearHighlights();
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
  return true;
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
  bool search = displayed || TheShell().Ctx.Corpus.Open;
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
  if (!show || CurrentTarget < 0 || CurrentTarget >= static_cast<int32_t>(TargetList.size())) return;
  const Target& target = TargetList[static_cast<size_t>(CurrentTarget)];
  if (target.CurrentStart < 0 || target.CurrentStart >= static_cast<int32_t>(target.Starts.size())) return;
  const Occurrence& occurrence = target.Starts[static_cast<size_t>(target.CurrentStart)];
  SetCaretView(occurrence.StartView, occurrence.ViewLength);
}

void TfrmMain::ResetTargetView(bool freeTargets) {
  ClearHighlights();
  QTextCursor cursor = reText->textCursor();
  cursor.setPosition(0);
  reText->setTextCursor(cursor);
  if (freeTargets) TargetList.clear();
  CurrentTarget = -1;
  RefillGrid(static_cast<int32_t>(TargetList.size()));
  for (QToolButton* b : {btnFirst, btnPrev, btnNext, btnLast, btnGrdOpen, btnGrdOpenNew}) b->setEnabled(false);
  for (QAction* a : {mnuFirst, mnuPrev, mnuNext, mnuLast, mnuGrdOpen, mnuGrdOpenNew}) a->setEnabled(false);
}

void TfrmMain::ClearHighlights() {
  HighlightSpans.clear();
  HighlightLongest = 0;
  reText->setExtraSelections({});
}

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
  edPage->setText(QString::fromStdString(texts.Page));
  edFolio->setText(QString::fromStdString(texts.Folio));
  edVign->setText(QString::fromStdString(texts.Glyph));
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
  Shell& shell = TheShell();
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
  ShowTextFile(InformationFileName(Doc.path, TheShell().Ctx.Language.LanguageCode));
}

void TfrmMain::mnuHelpClick() {
  Shell& shell = TheShell();
  ShowTextFile(WithDataFallback(HelpFileName(shell.ProgramDir, shell.Ctx.Language.LanguageCode), shell.DataDir));
}

void TfrmMain::mnuAboutClick() {
  Shell& shell = TheShell();
  ShowTextFile(WithDataFallback(AboutFileName(shell.Ctx.Language.LanguageCode), shell.DataDir));
}

void TfrmMain::mnuExitClick() { close(); }

void TfrmMain::mnuLangueClick() {
  Shell& shell = TheShell();
  FileDialogOptions o;
  o.filter = "Lang file (*.lng)|*.lng";
  o.defaultExtension = "lng";
  o.initialFolder = DisplayPath(shell.ProgramDir);
  QString chosen = CurrentDialogs().OpenFile(this, o);
  if (chosen.isEmpty()) return;
  std::string path = FileSystemPath(chosen);
  if (!LoadLanguageReporting(this, path)) return;
  WriteSetting(shell.SettingsPath, kSettingsSection, "Language", FileNameOf(path));
  for (TfrmMain* w : shell.MainWindowList) w->ApplyLanguage();
}

void TfrmMain::mnuRulesClick() {
  Shell& shell = TheShell();
  FileDialogOptions o;
  o.filter = "Rule file (*.rul)|*.rul";
  o.defaultExtension = "rul";
  o.initialFolder = DisplayPath(shell.ProgramDir);
  QString chosen = CurrentDialogs().OpenFile(this, o);
  if (chosen.isEmpty()) return;
  std::string path = FileSystemPath(chosen);
  if (!LoadRules(shell.Ctx.Rules, path)) return;
  WriteSetting(shell.SettingsPath, kSettingsSection, "Rules", FileNameOf(path));
  // The filter check-lists of the search and word-list dialogs.
  NotifyRulesLoaded();
  RefillFilterCheckLists();
}

void TfrmMain::ApplyLanguage() {
  ApplyLanguageToWidgets("frmMain", this);
  ApplyLanguageToMenus("frmMain", this);
  NameControlsForScreenReaders(this);
}

void TfrmMain::pnlTopClick() { DumpCaptionsOf(this); }

}  // namespace kalix::ui
