#include "ui/Accessible.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace kalix::ui {
namespace {

void SetName(QWidget* w, const QString& name) {
  if (!name.isEmpty() && w->accessibleName() != name) w->setAccessibleName(name);
}

}  // namespace

QString SpokenCaption(const QString& caption) {
  QString out;
  out.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += caption[i];
  }
  return out;
}

void NameControlsForScreenReaders(QWidget* root) {
  QList<QWidget*> all = root->findChildren<QWidget*>();
  // Labels that name another control.
  for (QWidget* w : all) {
    if (auto* label = qobject_cast<QLabel*>(w)) {
      if (label->buddy()) SetName(label->buddy(), SpokenCaption(label->text()));
    }
  }
  for (QWidget* w : all) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      SetName(w, b->text().isEmpty() ? b->toolTip() : SpokenCaption(b->text()));
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
      SetName(w, SpokenCaption(g->title()));
    } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractItemView*>(w) ||
               qobject_cast<QAbstractSpinBox*>(w)) {
      if (qobject_cast<QLineEdit*>(w) && qobject_cast<QAbstractSpinBox*>(w->parentWidget())) continue;
      bool labelled = false;
      for (QWidget* l : all) {
        auto* label = qobject_cast<QLabel*>(l);
        if (label && label->buddy() == w) labelled = true;
      }
      if (labelled) continue;
      for (QWidget* p = w->parentWidget(); p && p != root->parentWidget(); p = p->parentWidget()) {
        if (auto* g = qobject_cast<QGroupBox*>(p)) {
          if (!g->title().isEmpty()) {
            SetName(w, SpokenCaption(g->title()));
            break;
          }
        }
      }
    }
  }
}

}  // namespace kalix::ui
