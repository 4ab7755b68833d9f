// The result dialog: which parts of the report to write, and where.
#pragma once

#include "targets/Report.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kalix::ui {

class TfrmResult : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmResult(QWidget* parent = nullptr);

  // The extract kind the next showing starts with (0 "Aucun" .. 3).
  void PresetExtractKind(int kind);
  int ExtractKind() const;
  // The choices as the report reads them (whatever the enabled states);
  // the file is the trimmed text of edFile, as a file-system path.
  ReportOptions Options() const;
  // The trimmed text of edFile.
  QString FileName() const;

  QLabel* lblFile;
  QLineEdit* edFile;
  QPushButton* btnFile;
  QCheckBox *chkContext, *chkTarget, *chkTargRef, *chkApend, *chkExtRef;
  QGroupBox* pnlExtrait;
  QRadioButton* rbExtract[4];
  QButtonGroup* extractGroup;
  QPushButton *OKBtn, *CancelBtn;

 public slots:
  void UpdateResultDialog();
  void btnFileClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildFileField();
  void BuildListChecks();
  void BuildExtractGroup();
  void BuildButtons();
  void ConnectControls();
};

// The process's result dialog, made on first use.
TfrmResult& TheResultDialog();

}  // namespace kalix::ui
