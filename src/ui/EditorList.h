// The list of the thesaurus and corpus editors: a list box, several lines
// selectable, whose lines are kept in a case-insensitive order by the
// collation of the user's locale. Lines equal in that order keep the order
// in which they came.
#pragma once

#include <QListWidget>
#include <QString>
#include <QStringList>

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

}  // namespace kalix::ui
