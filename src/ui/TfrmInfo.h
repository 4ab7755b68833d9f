// The window that shows the information file of a document, the help file
// and the about file, as formatted rich text.
#pragma once

#include <QDialog>
#include <string>

class QPushButton;
class QTextEdit;

namespace kalix::ui {

class TfrmInfo : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmInfo(QWidget* parent = nullptr);

  // Loads a file into reInfo, replacing its content; false when it cannot
  // be read.
  bool LoadFile(const std::string& path);

  QTextEdit* reInfo;
  QPushButton* OKBtn;
};

}  // namespace kalix::ui
