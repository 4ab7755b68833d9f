// Checks for the window tests: every control a user can reach has a name a
// screen reader reads (as the accessibility interface gives it), and, with
// KALIX_SHOTS set to a folder, a picture of the widget is saved there.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>

namespace kalix::ui {

// The object names of the controls under `root` that have no accessible name.
inline QStringList UnnamedControls(QWidget* root) {
  QStringList unnamed;
  for (QWidget* w : root->findChildren<QWidget*>()) {
    const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractItemView*>(w) ||
                         qobject_cast<QAbstractSpinBox*>(w) ||
                         (qobject_cast<QLineEdit*>(w) && !qobject_cast<QAbstractSpinBox*>(w->parentWidget()));
    // A view's own parts (its headers, its corner button) are read through
    // the view.
    if (!control || !w->isVisibleTo(root) || qobject_cast<QAbstractItemView*>(w->parentWidget())) continue;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    if (!a || a->text(QAccessible::Name).trimmed().isEmpty()) {
      unnamed << (w->objectName().isEmpty() ? QString(w->metaObject()->className()) : w->objectName());
    }
  }
  return unnamed;
}

inline void SaveShot(QWidget* w, const char* name) {
  const QByteArray folder = qgetenv("KALIX_SHOTS");
  if (!folder.isEmpty()) w->grab().save(QString::fromLocal8Bit(folder) + "/" + name);
}

}  // namespace kalix::ui
