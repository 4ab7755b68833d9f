// kalix: the desktop program.

#include "app/CommandLine.h"
#include "app/StartupCorpus.h"
#include "ui/Application.h"
#include "ui/CommandLineCorpus.h"
#include "ui/Shell.h"
#include "ui/TfrmAddStr.h"
#include "ui/TfrmCorpus.h"
#include "ui/TfrmFind.h"
#include "ui/TfrmInfo.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmMorva.h"
#include "ui/TfrmResult.h"
#include "ui/TfrmThesaurus.h"
#include "ui/TfrmStart.h"
#include "ui/TfrmWord.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <exception>

#ifndef KALIX_VERSION
#define KALIX_VERSION "unknown"
#endif

namespace {

// "--version" or "--help" as the only argument answers on stdout, without a
// window; any other command line is the program's own.
bool AnswerInformationOption(int argc, char** argv) {
  if (argc != 2) return false;
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("kalix %s\n", KALIX_VERSION);
    return true;
  }
  if (std::strcmp(argv[1], "--help") == 0) {
    std::printf(
        "usage: kalix [-L LANGUAGE] [-R RULES] [[-F] DOCUMENT | CORPUS.cor]\n"
        "       kalix --version | --help\n"
        "\n"
        "Opens DOCUMENT (rich text or plain text) in the first window, or starts\n"
        "with the corpus CORPUS.cor open. -L and -R replace the language and rules\n"
        "files of the settings; -T, -C and -O take a value that is ignored.\n"
        "Tokens are separated at blanks; options match in either case.\n"
        "See kalix(1); kalix-cli(1) searches without a window.\n");
    return true;
  }
  return false;
}

void SetUpApplication() {
  QApplication::setApplicationName("kalix");
  QApplication::setQuitOnLastWindowClosed(false);
  QGuiApplication::setDesktopFileName("kalix");
  QApplication::setWindowIcon(QIcon::fromTheme("kalix"));
}

// The start window, the first main window and the process's dialogs; the
// program ends when the start window closes.
kalix::ui::TfrmMain* CreateWindows(kalix::ui::Shell& shell, QApplication& app) {
  using namespace kalix::ui;
  auto* start = new TfrmStart();
  shell.Start = start;
  QObject::connect(start, &TfrmStart::closed, &app, &QApplication::quit, Qt::QueuedConnection);

  auto* first = new TfrmMain(shell);
  shell.Info = new TfrmInfo();
  TheAddStrDialog();
  TheMorvaDialog();
  TheThesaurusEditor();
  TheCorpusEditor();
  TheFindDialog();
  TheWordDialog();
  TheResultDialog();
  return first;
}

// A corpus given on the command line opens once the event loop runs.
void OpenStartupCorpus(kalix::ui::TfrmMain* first, const std::string& startupCorpus) {
  if (startupCorpus.empty()) return;
  QMetaObject::invokeMethod(
      first, [first, startupCorpus] { kalix::ui::OpenCorpusFromCommandLine(first, startupCorpus); },
      Qt::QueuedConnection);
}

// KALIX_SCREENSHOT=file.png: once the window has settled, save the screen
// to that file and close the windows (scripts/screenshot.sh).
void ScheduleScreenshot(QApplication& app) {
  QByteArray shot = qgetenv("KALIX_SCREENSHOT");
  if (shot.isEmpty()) return;
  int delay = qEnvironmentVariableIntValue("KALIX_SCREENSHOT_DELAY");
  QTimer::singleShot(delay > 0 ? delay : 2000, &app, [shot] {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      screen->grabWindow(0).save(QString::fromLocal8Bit(shot), "PNG");
    }
    for (kalix::ui::TfrmMain* w : kalix::ui::TheShell().MainWindowList) w->close();
  });
}

void DeleteWindows(kalix::ui::Shell& shell) {
  delete shell.Info.data();
  delete shell.AddStr.data();
  delete shell.Morva.data();
  delete shell.ThesaurusEditor.data();
  delete shell.CorpusEditor.data();
  delete shell.Find.data();
  delete shell.Word.data();
  delete shell.Result.data();
  delete shell.Start.data();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kalix;
  using namespace kalix::ui;

  if (AnswerInformationOption(argc, argv)) return std::fflush(stdout) == 0 ? 0 : 1;

  Shell& shell = TheShell();
  ParseCommandLine(JoinArguments(argc, argv), shell.Options);
  // A corpus file given as the document is opened as the corpus instead.
  std::string startupCorpus = TakePendingCorpus(shell.Options);

  KalixApplication app(argc, argv);
  SetUpApplication();
  try {
    LocatePaths(shell);
    TfrmMain* first = CreateWindows(shell, app);
    OpenStartupCorpus(first, startupCorpus);
    shell.Start->hide();
    first->ShowAsDesigned();
    ScheduleScreenshot(app);
    app.exec();
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, "Kalix", QString::fromLocal8Bit(e.what()));
  }
  DeleteWindows(shell);
  return 0;
}
