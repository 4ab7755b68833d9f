// A radio group: a captioned box of radio buttons, one of which is chosen
// (its item index). The language code sees it as a radio group (property
// "kalixRadioGroup") whose items are its buttons.
#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QList>
#include <QRadioButton>
#include <QStringList>

namespace kalix::ui {

class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  // `items` are code page 1252 texts; `name` is the object name.
  TRadioGroup(const char* name, const char* caption, std::initializer_list<const char*> items,
              QWidget* parent, bool vertical = true);

  int ItemIndex() const { return group_->checkedId(); }
  // Chooses item `index` (no `clicked` signal).
  void SetItemIndex(int index);
  QRadioButton* Item(int index) const { return buttons_.value(index); }
  int Count() const { return static_cast<int>(buttons_.size()); }

 signals:
  // The user chose an item.
  void clicked(int index);

 private:
  QButtonGroup* group_;
  QList<QRadioButton*> buttons_;
  bool setting_ = false;  // SetItemIndex is choosing an item
};

}  // namespace kalix::ui
