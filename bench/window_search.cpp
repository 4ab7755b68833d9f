// A search from the main window, timed as the user sees it: from OK in the
// search dialog to the status line set, the grid filled and the first
// screen highlighted (painted). Also the longest time the window's thread
// went without handling its events meanwhile.
//
//   window_search RULES DOCUMENT [STRING] [RUNS]
//
// The dialog is answered in code: STRING (default "chat") in "Modifiée",
// context "Texte". bench/window_search.sh runs it beside kalix-cli.

#include "ui/Dialogs.h"
#include "ui/Shell.h"
#include "ui/TfrmFind.h"
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <string>

namespace {

struct BenchDialogs : kalix::ui::QtDialogs {
  QString text;
  QElapsedTimer* clock = nullptr;
  int Exec(QDialog* dialog) override {
    auto* find = qobject_cast<kalix::ui::TfrmFind*>(dialog);
    if (!find) return QDialog::Rejected;
    find->btnErase->click();
    find->edWord->setText(text);
    clock->start();
    find->OKBtn->click();
    return find->result();
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: window_search RULES DOCUMENT [STRING] [RUNS]\n");
    return 2;
  }
  QApplication app(argc, argv);
  kalix::ui::Shell& shell = kalix::ui::TheShell();
  shell.KeepRunning = true;
  shell.SettingsPath = "/dev/null/kalix.ini";  // nothing is written
  shell.Options.RulesFile = argv[1];
  const std::string path = argv[2];
  const QString text = argc > 3 ? QString::fromUtf8(argv[3]) : QString("chat");
  const int runs = argc > 4 ? std::atoi(argv[4]) : 1;

  auto* window = new kalix::ui::TfrmMain();
  window->resize(1000, 700);
  window->show();
  app.processEvents();
  if (!window->OpenDocument(path, false, true)) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    return 1;
  }
  app.processEvents();

  QElapsedTimer clock;
  BenchDialogs dialogs;
  dialogs.text = text;
  dialogs.clock = &clock;
  kalix::ui::SetDialogs(&dialogs);

  // The longest stretch without the window's thread handling a timer.
  QElapsedTimer gapClock;
  qint64 longestGap = 0;
  QTimer beat;
  beat.setInterval(5);
  QObject::connect(&beat, &QTimer::timeout, [&] {
    longestGap = std::max(longestGap, gapClock.restart());
  });

  for (int run = 0; run < runs; ++run) {
    longestGap = 0;
    gapClock.start();
    beat.start();
    window->RunSearch();
    window->WaitForRun();
    window->DocumentPane()->TextView()->viewport()->repaint();
    window->StatusLine()->Label()->repaint();
    const qint64 ms = clock.elapsed();
    beat.stop();
    std::printf("window_ms=%lld longest_gap_ms=%lld targets=%zu status=%s\n", static_cast<long long>(ms),
                static_cast<long long>(longestGap), window->Session().Targets.size(),
                window->StatusLine()->Label()->text().toUtf8().constData());
    std::fflush(stdout);
  }
  kalix::ui::SetDialogs(nullptr);
  delete window;
  return 0;
}
