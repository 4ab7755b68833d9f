// The add-string dialog "Ajouter une chaîne": one text typed in upper case
// (at most 32 characters), its position in the word and its exclusion. The
// generated-variants dialog shows it to add a string of the user's own.
#pragma once

#include <QDialog>
#include <QList>
#include <cstdint>
#include <string>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kalix::ui {

class TfrmAddStr : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAddStr(QWidget* parent = nullptr);

  // Relabels the dialog, empties and focuses edWord (the position and the
  // exclusion keep their last state) and shows the dialog modally; true
  // when it closes with OK.
  bool Ask();

  // The text of edWord in code page 1252, as typed (not trimmed).
  std::string Text() const;
  // The item chosen in pnlPlace (0..4).
  int16_t Place() const;
  // 1 when chkExclude is checked, else 0.
  int16_t Excluded() const;

  QLineEdit* edWord;
  QGroupBox* pnlPlace;
  QList<QRadioButton*> PlaceItems;
  QGroupBox* GroupBox4;
  QCheckBox* chkExclude;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 private:
  void NameForScreenReaders();
};

// The one add-string dialog of the process, made on first use.
TfrmAddStr& TheAddStrDialog();

}  // namespace kalix::ui
