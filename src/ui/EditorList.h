// The list of the thesaurus and corpus editors: a list box, several lines
// selectable, whose lines are kept in a case-insensitive order by the
// collation of the user's locale. Lines equal in that order keep the order
// in which they came.
#pragma once

#include "lexicon/EntryList.h"

#include <QListWidget>
#include <QString>
#include <QStringList>

#include <initializer_list>

class QDialog;
class QPushButton;

namespace kalix::ui {

class TSortedList : public QListWidget {
  Q_OBJECT
 public:
  explicit TSortedList(QWidget* parent = nullptr);

  // Inserts `line` at its place; returns its row.
  int AddSorted(const QString& line);
  // The lines in list order.
  QStringList Lines() const;
  // Whether the list has a current line.
  bool HasCurrent() const { return currentRow() >= 0 && currentRow() < count(); }
  // Deletes every selected line; returns the row the last deleted line had
  // when it was deleted (the lines go from the bottom up), or -1.
  int DeleteSelected();
};

// Text with leading and trailing blanks and control characters removed.
QString TrimBlanks(const QString& text);

// A control's caption as a screen reader reads it (without the "&" marks).
QString AccessibleCaption(const QString& caption);

// A push button of an editor, with its name, caption and first state; it
// does not become the default button by taking the focus.
QPushButton* EditorButton(QWidget* parent, const char* name, const char* caption, bool enabled);

// Names each button for screen readers by its caption.
void NameByCaptions(std::initializer_list<QPushButton*> buttons);

// Shows an editor modally on its filled list: `okCode` (QDialog::Accepted)
// gives Ok, `saveCode` gives Save; on either, `edited` receives the lines in
// list order. The list is emptied afterwards.
EditorResult ExecEditor(QDialog& editor, TSortedList& list, int saveCode, QStringList& edited);

}  // namespace kalix::ui
