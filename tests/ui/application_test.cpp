// An exception that a slot lets through stops at the event loop's boundary:
// the program goes on, and the user is told what failed.

#include "FakeDialogs.h"
#include "ui/Application.h"

#include <QTest>
#include <QTimer>

#include <new>
#include <stdexcept>

using namespace kalix;
using namespace kalix::ui;

class ApplicationTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  FakeDialogs dialogs_;

 private slots:
  void init() {
    dialogs_ = FakeDialogs();
    FreshShell(dir_, dialogs_);
  }
  void cleanup() { SetDialogs(nullptr); }

  void failuresAreToldAndTheLoopGoesOn() {
    QTimer::singleShot(0, [] { throw std::runtime_error("lecture impossible"); });
    QTimer::singleShot(0, [] { throw std::bad_alloc(); });
    bool after = false;
    QTimer::singleShot(5, [&after] { after = true; });
    QTRY_VERIFY(after);
    QTRY_COMPARE(dialogs_.messages.size(), size_t{2});
    QCOMPARE(dialogs_.messages[0].text, QString::fromUtf8("L'op\xc3\xa9ration a \xc3\xa9\x63hou\xc3\xa9 :\nlecture impossible"));
    QCOMPARE(dialogs_.messages[1].text, QString::fromUtf8("M\xc3\xa9moire insuffisante"));
    QCOMPARE(dialogs_.messages[1].icon, MessageIcon::Error);
  }
};

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  KalixApplication app(argc, argv);
  ApplicationTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "application_test.moc"
