#include "ui/WindowPanes.h"

#include "platform/Cp1252.h"
#include "ui/TargetGrid.h"
#include "ui/TfrmMain.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <algorithm>
#include <QSplitter>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace kalix::ui {
namespace {

// Texts of the designs are code page 1252.
QString T(const char* text1252) { return FromCp1252(text1252); }

// The font of the text and of the notes.
QFont TextFont() {
  QFont textFont("Arial");
  textFont.setPointSize(10);
  return textFont;
}

// Recomputes the highlights of the visible part when the view's viewport
// changes size.
class ViewportWatcher : public QObject {
 public:
  explicit ViewportWatcher(TDocumentPane* pane) : QObject(pane), pane_(pane) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize) pane_->UpdateVisibleHighlights();
    return false;
  }

 private:
  TDocumentPane* pane_;
};

}  // namespace

QToolButton* MakeToolButton(QWidget* parent, QStyle* style, const char* name, const char* hint,
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

// ---------------------------------------------------------------------------

TTargetPane::TTargetPane(const cTargetList* targets, QWidget* parent) : QWidget(parent) {
  setObjectName("pnlTarget");
  setMinimumWidth(1);
  auto* targetLayout = new QVBoxLayout(this);
  targetLayout->setContentsMargins(0, 0, 0, 0);
  grid_ = new QTableView(this);
  grid_->setObjectName("grdTarget");
  model_ = new TargetGridModel(targets, grid_);
  grid_->setModel(model_);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setDefaultSectionSize(17);
  QFont gridFont("Arial");
  gridFont.setPixelSize(11);
  grid_->setFont(gridFont);
  grid_->setColumnWidth(0, 38);
  grid_->setColumnWidth(1, 150);
  grid_->setColumnWidth(2, 137);
  grid_->setContextMenuPolicy(Qt::CustomContextMenu);
  targetLayout->addWidget(grid_);
}

// ---------------------------------------------------------------------------

TDocumentPane::TDocumentPane(QWidget* parent) : QWidget(parent) {
  setObjectName("pnlDoc");
  auto* docLayout = new QVBoxLayout(this);
  docLayout->setContentsMargins(0, 0, 0, 0);
  docLayout->setSpacing(0);
  docLayout->addWidget(BuildPositionPanel());

  // Text above, notes below.
  Splitter1_ = new QSplitter(Qt::Vertical, this);
  Splitter1_->setObjectName("Splitter1");
  Splitter1_->setChildrenCollapsible(false);
  docLayout->addWidget(Splitter1_, 1);
  BuildTextView();
  BuildNotePanel();
  Splitter1_->setStretchFactor(0, 1);
  Splitter1_->setStretchFactor(1, 0);
  Splitter2_->setStretchFactor(0, 0);
  Splitter2_->setStretchFactor(1, 1);
}

QWidget* TDocumentPane::BuildPositionPanel() {
  pnlPos_ = new QFrame(this);
  pnlPos_->setObjectName("pnlPos");
  pnlPos_->setFixedHeight(30);
  pnlPos_->setFrameShape(QFrame::StyledPanel);
  auto* posLayout = new QHBoxLayout(pnlPos_);
  posLayout->setContentsMargins(6, 2, 6, 2);
  posLayout->setSpacing(4);
  auto field = [&](QLabel*& label, const char* labelName, const char* caption, QLineEdit*& edit,
                   const char* editName) {
    label = new QLabel(T(caption), pnlPos_);
    label->setObjectName(labelName);
    edit = new QLineEdit(pnlPos_);
    edit->setObjectName(editName);
    SetFieldLength(edit, 4);
    label->setBuddy(edit);
    posLayout->addWidget(label);
    posLayout->addWidget(edit);
    posLayout->addSpacing(8);
  };
  field(lblPage_, "lblPage", "Page", edPage_, "edPage");
  field(lblFolio_, "lblFolio", "Folio", edFolio_, "edFolio");
  field(lblVign_, "lblVign", "Glyphe", edVign_, "edVign");
  btnGoto_ = MakeToolButton(pnlPos_, style(), "btnGoto", "Aller \xe0 la marque", QStyle::SP_ArrowRight, false);
  posLayout->addWidget(btnGoto_);
  btnInfo_ = MakeToolButton(pnlPos_, style(), "btnInfo", "Informations sur le document", QStyle::SP_MessageBoxInformation, false);
  posLayout->addWidget(btnInfo_);
  posLayout->addStretch(1);
  return pnlPos_;
}

void TDocumentPane::BuildTextView() {
  reText_ = new QPlainTextEdit(Splitter1_);
  reText_->setObjectName("reText");
  reText_->setReadOnly(true);
  reText_->setUndoRedoEnabled(false);
  reText_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  reText_->setFont(TextFont());
  reText_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  reText_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QPalette p = reText_->palette();
  p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::Text, Qt::black);
  reText_->setPalette(p);
  reText_->setContextMenuPolicy(Qt::CustomContextMenu);
}

void TDocumentPane::BuildNotePanel() {
  pnlNote_ = new QWidget(Splitter1_);
  pnlNote_->setObjectName("pnlNote");
  pnlNote_->setMinimumHeight(1);
  auto* noteLayout = new QHBoxLayout(pnlNote_);
  noteLayout->setContentsMargins(0, 0, 0, 0);
  Splitter2_ = new QSplitter(Qt::Horizontal, pnlNote_);
  Splitter2_->setObjectName("Splitter2");
  Splitter2_->setChildrenCollapsible(false);
  noteLayout->addWidget(Splitter2_);
  reNote_ = new QPlainTextEdit(Splitter2_);
  reNote_->setObjectName("reNote");
  reNote_->setReadOnly(true);
  reNote_->setUndoRedoEnabled(false);
  reNote_->setFont(TextFont());
  pnlGlyph_ = new QFrame(Splitter2_);
  pnlGlyph_->setObjectName("pnlGlyph");
  pnlGlyph_->setFrameShape(QFrame::NoFrame);
  auto* glyphLayout = new QVBoxLayout(pnlGlyph_);
  glyphLayout->setContentsMargins(0, 0, 0, 0);
  pbxGlyph_ = new TPaintBox(pnlGlyph_);
  pbxGlyph_->setObjectName("pbxGlyph");
  glyphLayout->addWidget(pbxGlyph_);
}

void TDocumentPane::ClearHighlights() {
  highlights_.clear();
  longest_ = 0;
  reText_->setExtraSelections({});
}

void TDocumentPane::ShowHighlights(std::vector<std::pair<int32_t, int32_t>> spans, int32_t longest) {
  highlights_ = std::move(spans);
  longest_ = longest;
  if (!watching_) {
    watching_ = true;
    connect(reText_->verticalScrollBar(), &QScrollBar::valueChanged, this, &TDocumentPane::UpdateVisibleHighlights);
    reText_->viewport()->installEventFilter(new ViewportWatcher(this));
  }
  // The caret goes back to the start (black, nothing selected).
  QTextCursor cursor = reText_->textCursor();
  cursor.setPosition(0);
  reText_->setTextCursor(cursor);
  UpdateVisibleHighlights();
}

void TDocumentPane::UpdateVisibleHighlights() {
  if (highlights_.empty()) {
    if (!reText_->extraSelections().isEmpty()) reText_->setExtraSelections({});
    return;
  }
  QTextCursor firstCursor = reText_->cursorForPosition(QPoint(0, 0));
  firstCursor.movePosition(QTextCursor::StartOfBlock);
  const QWidget* port = reText_->viewport();
  QTextCursor lastCursor = reText_->cursorForPosition(QPoint(port->width() - 1, port->height() - 1));
  lastCursor.movePosition(QTextCursor::EndOfBlock);
  const int32_t first = firstCursor.position();
  const int32_t last = lastCursor.position();

  QTextCharFormat red;
  red.setForeground(QColor(255, 0, 0));
  QList<QTextEdit::ExtraSelection> selections;
  auto it = std::lower_bound(highlights_.begin(), highlights_.end(),
                             std::pair<int32_t, int32_t>(first - longest_, 0));
  constexpr int kMostShown = 20000;
  for (; it != highlights_.end() && it->first <= last && selections.size() < kMostShown; ++it) {
    if (it->first + it->second < first) continue;
    QTextEdit::ExtraSelection s;
    s.cursor = QTextCursor(reText_->document());
    s.cursor.setPosition(it->first);
    s.cursor.setPosition(it->first + it->second, QTextCursor::KeepAnchor);
    s.format = red;
    selections.append(s);
  }
  reText_->setExtraSelections(selections);
}

// ---------------------------------------------------------------------------

TStatusLine::TStatusLine(QWidget* parent) : QFrame(parent) {
  setObjectName("plnStatus");
  setFixedHeight(19);
  setFrameShape(QFrame::StyledPanel);
  auto* statusLayout = new QHBoxLayout(this);
  statusLayout->setContentsMargins(4, 0, 4, 0);
  lblStatus_ = new QLabel(this);
  lblStatus_->setObjectName("lblStatus");
  statusLayout->addWidget(lblStatus_);
}

void TStatusLine::SetText(const QString& text) { lblStatus_->setText(text); }
QString TStatusLine::Text() const { return lblStatus_->text(); }
void TStatusLine::SetToolTip(const QString& text) { lblStatus_->setToolTip(text); }

}  // namespace kalix::ui
