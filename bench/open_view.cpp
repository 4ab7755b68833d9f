// Opening and displaying a large document: the main window's open command
// against a bare QPlainTextEdit showing the same text (read by the same
// reader). Prints the time to the first paint of the text and the peak
// memory of the process.
//
//   open_view main|bare DOCUMENT
//
// Run each mode in its own process (bench/open_view.sh does), so that the
// peak memory belongs to that mode alone.

#include "context/Context.h"
#include "document/Reader.h"
#include "ui/DocumentView.h"
#include "ui/Shell.h"
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

long PeakKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// Reports the first paint of a widget after `armed` is set.
class PaintWatch : public QObject {
 public:
  bool armed = false;
  qint64 paintedAt = -1;
  QElapsedTimer* clock = nullptr;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (armed && event->type() == QEvent::Paint && paintedAt < 0) {
      bool done = QObject::eventFilter(watched, event);
      paintedAt = clock->elapsed();
      QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
      return done;
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: open_view main|bare DOCUMENT\n");
    return 2;
  }
  std::string mode = argv[1];
  std::string path = argv[2];
  QApplication app(argc, argv);
  QElapsedTimer clock;
  PaintWatch watch;
  watch.clock = &clock;
  long before = PeakKilobytes();
  qint64 readMs = -1;

  if (mode == "main") {
    kalix::ui::Shell& shell = kalix::ui::TheShell();
    shell.KeepRunning = true;
    shell.SettingsPath = "/dev/null/kalix.ini";  // nothing is written
    auto* window = new kalix::ui::TfrmMain();
    window->resize(1000, 700);
    window->show();
    app.processEvents();
    window->DocumentPane()->TextView()->viewport()->installEventFilter(&watch);
    QTimer::singleShot(0, [&] {
      clock.start();
      watch.armed = true;
      window->Session().Doc.path = path;
      if (!window->OpenDocument(path, false, true)) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        app.exit(1);
      }
    });
    if (app.exec() != 0) return 1;
    long peak = PeakKilobytes();
    // Caret moves over the whole text: each one converts the position and
    // updates the position panel (and the notes and picture on a change).
    const int moves = 2000;
    int32_t viewLength = window->Mapping.ViewFromWidget(window->DocumentPane()->TextView()->document()->characterCount() - 1);
    QElapsedTimer moveClock;
    moveClock.start();
    uint32_t seed = 12345;
    for (int i = 0; i < moves; ++i) {
      seed = seed * 1103515245u + 12345u;
      window->SetCaretView(static_cast<int32_t>(seed % static_cast<uint32_t>(std::max(1, viewLength))));
    }
    double perMoveUs = moveClock.nsecsElapsed() / 1000.0 / moves;
    // The share of the position lookups (conversion and context) alone.
    QElapsedTimer lookupClock;
    lookupClock.start();
    int64_t sink = 0;
    for (int i = 0; i < moves; ++i) {
      seed = seed * 1103515245u + 12345u;
      int32_t view = static_cast<int32_t>(seed % static_cast<uint32_t>(std::max(1, viewLength)));
      int32_t widget = window->Mapping.WidgetFromView(view);
      sink += kalix::ContextAt(window->Session().Doc, window->Mapping.ViewFromWidget(widget)).page;
    }
    double lookupUs = lookupClock.nsecsElapsed() / 1000.0 / moves + (sink == -1 ? 1 : 0);
    std::printf("marks=%zu notes=%zu lookup_us=%.2f\n", window->Session().Doc.marks.size(), window->Session().Doc.notes.size(), lookupUs);
    std::printf("mode=main first_paint_ms=%lld text_bytes=%zu peak_kb=%ld before_kb=%ld caret_move_us=%.1f\n",
                static_cast<long long>(watch.paintedAt), window->Session().Doc.text.size(), peak, before, perMoveUs);
  } else {
    QPlainTextEdit edit;
    edit.setReadOnly(true);
    edit.resize(1000, 700);
    edit.show();
    app.processEvents();
    edit.viewport()->installEventFilter(&watch);
    kalix::Context context;
    kalix::Document doc;
    QTimer::singleShot(0, [&] {
      clock.start();
      watch.armed = true;
      if (!kalix::OpenDocument(context, doc, path, nullptr)) {
        app.exit(1);
        return;
      }
      readMs = clock.elapsed();
      edit.setPlainText(kalix::ui::ViewTextOf(doc.Text()));
    });
    if (app.exec() != 0) return 1;
    std::printf("mode=bare first_paint_ms=%lld read_ms=%lld text_bytes=%zu peak_kb=%ld before_kb=%ld\n",
                static_cast<long long>(watch.paintedAt), static_cast<long long>(readMs), doc.text.size(),
                PeakKilobytes(), before);
  }
  return 0;
}
