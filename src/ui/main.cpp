// kalix: the desktop program.

#include "app/CommandLine.h"
#include "ui/Shell.h"
#include "ui/TfrmInfo.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmStart.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

int main(int argc, char** argv) {
  using namespace kalix;
  using namespace kalix::ui;

  Shell& shell = TheShell();
  ParseCommandLine(JoinArguments(argc, argv), shell.Options);

  QApplication app(argc, argv);
  QApplication::setApplicationName("kalix");
  QApplication::setOrganizationName("kalix");
  QApplication::setQuitOnLastWindowClosed(false);
  try {
    LocatePaths(shell);
    auto* start = new TfrmStart();
    shell.Start = start;
    QObject::connect(start, &TfrmStart::closed, &app, &QApplication::quit, Qt::QueuedConnection);

    auto* first = new TfrmMain();
    shell.Info = new TfrmInfo();

    start->hide();
    first->ShowAsDesigned();
    app.exec();
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, "Kalix", QString::fromLocal8Bit(e.what()));
  }
  delete shell.Info.data();
  delete shell.Start.data();
  return 0;
}
