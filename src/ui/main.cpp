// kalix: the desktop program.

#include "app/CommandLine.h"
#include "ui/Shell.h"
#include "ui/TfrmAddStr.h"
#include "ui/TfrmFind.h"
#include "ui/TfrmInfo.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmMorva.h"
#include "ui/TfrmStart.h"
#include "ui/TfrmWord.h"

#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <exception>

int main(int argc, char** argv) {
  using namespace kalix;
  using namespace kalix::ui;

  Shell& shell = TheShell();
  ParseCommandLine(JoinArguments(argc, argv), shell.Options);

  QApplication app(argc, argv);
  QApplication::setApplicationName("kalix");
  QApplication::setQuitOnLastWindowClosed(false);
  try {
    LocatePaths(shell);
    auto* start = new TfrmStart();
    shell.Start = start;
    QObject::connect(start, &TfrmStart::closed, &app, &QApplication::quit, Qt::QueuedConnection);

    auto* first = new TfrmMain();
    shell.Info = new TfrmInfo();
    TheAddStrDialog();
    TheMorvaDialog();
    TheFindDialog();
    TheWordDialog();

    start->hide();
    first->ShowAsDesigned();

    // KALIX_SCREENSHOT=file.png: once the window has settled, save the screen
    // to that file and close the windows (scripts/screenshot.sh).
    QByteArray shot = qgetenv("KALIX_SCREENSHOT");
    if (!shot.isEmpty()) {
      int delay = qEnvironmentVariableIntValue("KALIX_SCREENSHOT_DELAY");
      QTimer::singleShot(delay > 0 ? delay : 2000, &app, [shot] {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
          screen->grabWindow(0).save(QString::fromLocal8Bit(shot), "PNG");
        }
        for (TfrmMain* w : TheShell().MainWindowList) w->close();
      });
    }
    app.exec();
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, "Kalix", QString::fromLocal8Bit(e.what()));
  }
  delete shell.Info.data();
  delete shell.AddStr.data();
  delete shell.Morva.data();
  delete shell.Find.data();
  delete shell.Word.data();
  delete shell.Start.data();
  return 0;
}
