#include "ui/RadioGroup.h"

#include "platform/Cp1252.h"

#include <QBoxLayout>

namespace kalix::ui {

TRadioGroup::TRadioGroup(const char* name, const char* caption, std::initializer_list<const char*> items,
                         QWidget* parent, bool vertical)
    : QGroupBox(FromCp1252(caption), parent), group_(new QButtonGroup(this)) {
  setObjectName(name);
  setProperty("kalixRadioGroup", true);
  setAccessibleName(title());
  QBoxLayout* layout = vertical ? static_cast<QBoxLayout*>(new QVBoxLayout(this))
                                : static_cast<QBoxLayout*>(new QHBoxLayout(this));
  layout->setContentsMargins(8, 4, 8, 4);
  layout->setSpacing(2);
  int id = 0;
  for (const char* item : items) {
    auto* b = new QRadioButton(FromCp1252(item), this);
    group_->addButton(b, id++);
    buttons_ << b;
    layout->addWidget(b);
  }
  if (!buttons_.isEmpty()) buttons_.first()->setChecked(true);
  // A mouse click and a screen reader's toggle action both choose an item;
  // the toggle action sends no click, so a newly checked item counts too
  // (the handlers only read the chosen item, so hearing a click twice is
  // harmless). Items chosen by SetItemIndex send nothing.
  connect(group_, &QButtonGroup::idClicked, this, &TRadioGroup::clicked);
  connect(group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked && !setting_) emit clicked(id);
  });
}

void TRadioGroup::SetItemIndex(int index) {
  setting_ = true;
  if (QAbstractButton* b = group_->button(index)) b->setChecked(true);
  setting_ = false;
}

}  // namespace kalix::ui
