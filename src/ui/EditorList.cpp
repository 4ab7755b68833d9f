#include "ui/EditorList.h"

#include "ui/Dialogs.h"

#include <QCollator>
#include <QDialog>
#include <QLocale>
#include <QPushButton>

namespace kalix::ui {

TSortedList::TSortedList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSortingEnabled(false);  // the order is kept by AddSorted
}

int TSortedList::AddSorted(const QString& line) {
  QCollator collator{QLocale()};
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  // After every line that does not sort after `line`.
  int low = 0;
  int high = count();
  while (low < high) {
    int mid = (low + high) / 2;
    if (collator.compare(item(mid)->text(), line) <= 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  insertItem(low, line);
  return low;
}

QStringList TSortedList::Lines() const {
  QStringList out;
  out.reserve(count());
  for (int i = 0; i < count(); ++i) out << item(i)->text();
  return out;
}

int TSortedList::DeleteSelected() {
  int last = -1;
  for (int i = count() - 1; i >= 0; --i) {
    if (item(i)->isSelected()) {
      delete takeItem(i);
      last = i;
    }
  }
  return last;
}

QString TrimBlanks(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && text[begin].unicode() <= 0x20) ++begin;
  while (end > begin && text[end - 1].unicode() <= 0x20) --end;
  return text.mid(begin, end - begin);
}

QString AccessibleCaption(const QString& caption) {
  QString out;
  out.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += caption[i];
  }
  return out;
}

QPushButton* EditorButton(QWidget* parent, const char* name, const char* caption, bool enabled) {
  auto* b = new QPushButton(QString::fromLatin1(caption), parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  b->setEnabled(enabled);
  return b;
}

void NameByCaptions(std::initializer_list<QPushButton*> buttons) {
  for (QPushButton* b : buttons) b->setAccessibleName(AccessibleCaption(b->text()));
}

EditorResult ExecEditor(QDialog& editor, TSortedList& list, int saveCode, QStringList& edited) {
  editor.setResult(QDialog::Rejected);
  const int r = CurrentDialogs().Exec(&editor);
  EditorResult result = EditorResult::Cancel;
  if (r == QDialog::Accepted) result = EditorResult::Ok;
  if (r == saveCode) result = EditorResult::Save;
  if (result != EditorResult::Cancel) edited = list.Lines();
  list.clear();
  return result;
}

}  // namespace kalix::ui
