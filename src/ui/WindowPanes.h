// The panes of a main window, each owning its widgets: the target pane (the
// grid over the session's target list), the document pane (position fields,
// text, notes and picture) and the status line. The window wires them to its
// menus and commands; the widgets keep the object names the language files
// and the accessibility tests know.
#pragma once

#include "targets/Target.h"

#include <QFrame>
#include <QString>
#include <QStyle>
#include <QWidget>
#include <cstdint>
#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSplitter;
class QTableView;
class QToolButton;

namespace kalix::ui {

class TargetGridModel;
class TPaintBox;

// A tool button of the toolbar or of the position panel (`hint`: CP1252).
QToolButton* MakeToolButton(QWidget* parent, QStyle* style, const char* name, const char* hint,
                            QStyle::StandardPixmap icon, bool enabled);

// The target grid, left of the document ("pnlTarget").
class TTargetPane : public QWidget {
  Q_OBJECT
 public:
  // `targets`: the session's list, which the grid reads in place.
  TTargetPane(const cTargetList* targets, QWidget* parent);
  QTableView* Grid() const { return grid_; }
  TargetGridModel* Model() const { return model_; }

 private:
  QTableView* grid_;
  TargetGridModel* model_;
};

// The document ("pnlDoc"): the position panel above the text, and below the
// text the note of the page beside the picture of the glyph.
class TDocumentPane : public QWidget {
  Q_OBJECT
 public:
  explicit TDocumentPane(QWidget* parent);
  QFrame* PositionPanel() const { return pnlPos_; }
  QLabel* PageLabel() const { return lblPage_; }
  QLabel* FolioLabel() const { return lblFolio_; }
  QLabel* GlyphLabel() const { return lblVign_; }
  QLineEdit* PageField() const { return edPage_; }
  QLineEdit* FolioField() const { return edFolio_; }
  QLineEdit* GlyphField() const { return edVign_; }
  QToolButton* GotoButton() const { return btnGoto_; }
  QToolButton* InfoButton() const { return btnInfo_; }
  QSplitter* TextSplitter() const { return Splitter1_; }
  QPlainTextEdit* TextView() const { return reText_; }
  QWidget* NotePanel() const { return pnlNote_; }
  QSplitter* NoteSplitter() const { return Splitter2_; }
  QPlainTextEdit* NoteView() const { return reNote_; }
  QFrame* GlyphPanel() const { return pnlGlyph_; }
  TPaintBox* GlyphBox() const { return pbxGlyph_; }

  // Colours red the occurrences `spans` ((text position, length), by
  // position; `longest`: the longest length) in the visible part of the text
  // as it scrolls; the caret goes back to the start.
  void ShowHighlights(std::vector<std::pair<int32_t, int32_t>> spans, int32_t longest);
  void ClearHighlights();
  const std::vector<std::pair<int32_t, int32_t>>& Highlights() const { return highlights_; }
  // Colours the occurrences that the text shows now.
  void UpdateVisibleHighlights();

 private:
  QWidget* BuildPositionPanel();
  void BuildTextView();
  void BuildNotePanel();

  QFrame* pnlPos_;
  QLabel *lblPage_, *lblFolio_, *lblVign_;
  QLineEdit *edPage_, *edFolio_, *edVign_;
  QToolButton *btnGoto_, *btnInfo_;
  QSplitter* Splitter1_;
  QPlainTextEdit* reText_;
  QWidget* pnlNote_;
  QSplitter* Splitter2_;
  QPlainTextEdit* reNote_;
  QFrame* pnlGlyph_;
  TPaintBox* pbxGlyph_;
  std::vector<std::pair<int32_t, int32_t>> highlights_;
  int32_t longest_ = 0;
  bool watching_ = false;  // the scroll bar and the viewport's size are followed
};

// The status line ("plnStatus").
class TStatusLine : public QFrame {
  Q_OBJECT
 public:
  explicit TStatusLine(QWidget* parent);
  void SetText(const QString& text);
  QString Text() const;
  // The whole of a text the line shows shortened.
  void SetToolTip(const QString& text);
  QLabel* Label() const { return lblStatus_; }

 private:
  QLabel* lblStatus_;
};

}  // namespace kalix::ui
