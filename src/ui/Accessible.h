// Accessible names for screen readers, taken from what the user sees: a
// button's caption (its hint when it has none), a group's caption, and for
// an edit, a list or an up-down the caption of the label that names it or
// of the group that holds it. Run again after the captions change.
#pragma once

#include <QString>

class QWidget;

namespace kalix::ui {

void NameControlsForScreenReaders(QWidget* root);

// A caption as it is spoken: without its accelerator marks ("&&" stays one
// "&").
QString SpokenCaption(const QString& caption);

}  // namespace kalix::ui
