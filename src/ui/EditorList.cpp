#include "ui/EditorList.h"

#include <QCollator>
#include <QLocale>

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

}  // namespace kalix::ui
