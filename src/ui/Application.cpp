#include "ui/Application.h"

#include "i18n/Messages.h"
#include "ui/Dialogs.h"
#include "ui/Shell.h"

#include <QMetaObject>

#include <exception>
#include <new>

namespace kalix::ui {

KalixApplication::KalixApplication(int& argc, char** argv) : QApplication(argc, argv) {}

QString FailureMessage(const char* what, bool outOfMemory) {
  if (outOfMemory) return Tr(msg::kOutOfMemory);
  return Tr(msg::kOperationFailed) + "\n" + QString::fromLocal8Bit(what);
}

bool KalixApplication::notify(QObject* receiver, QEvent* event) {
  QString failure;
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc& e) {
    failure = FailureMessage(e.what(), true);
  } catch (const std::exception& e) {
    failure = FailureMessage(e.what(), false);
  } catch (...) {
    failure = FailureMessage("", false);
  }
  // Told once the event in hand is over, from the event loop itself.
  QMetaObject::invokeMethod(
      this, [failure] { CurrentDialogs().Message(activeWindow(), "Kalix", failure, MessageIcon::Error); },
      Qt::QueuedConnection);
  return false;
}

}  // namespace kalix::ui
