// The program's QApplication: an exception that a slot or an event handler
// lets through (the reader throws when memory runs out) stops at the event
// loop's boundary, where the user is told what failed, instead of escaping
// Qt's event loop.
#pragma once

#include <QApplication>

namespace kalix::ui {

class KalixApplication : public QApplication {
 public:
  KalixApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// The message of an operation that failed with `what`: the translated
// "L'opération a échoué :" and what failed, or "Mémoire insuffisante" when
// memory ran out.
QString FailureMessage(const char* what, bool outOfMemory);

}  // namespace kalix::ui
