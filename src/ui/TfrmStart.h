// The hidden anchor window: the application's main window, never shown, so
// that closing one main window never ends the program by itself. Closing it
// ends the program.
#pragma once

#include <QWidget>

class QLabel;

namespace kalix::ui {

class TfrmStart : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmStart(QWidget* parent = nullptr);

  QLabel* Image1;
  QLabel* Label1;

 signals:
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace kalix::ui
