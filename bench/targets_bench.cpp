// The target grid on a large result: the four sorts (with and without the
// document first), selecting and stepping at the start and at the end of the
// list, scrolling the grid to its start and to its end, and the first screen
// of the concordance of the target with the most occurrences.
//
//   targets_bench DOCUMENT [RULES] [STRING]     (offscreen Qt)
//
// Prints medians of several runs, in milliseconds.

#include "app/RunSearch.h"
#include "document/Reader.h"
#include "platform/Cp1252.h"
#include "rules/Morva.h"
#include "rules/RuleSet.h"
#include "targets/Sorting.h"
#include "ui/Concordance.h"
#include "ui/Shell.h"
#include "ui/TargetGrid.h"
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"

#include <QApplication>
#include <QAction>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace kalix;
using namespace kalix::ui;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Ms(const std::function<void()>& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double MedianMs(int runs, const std::function<void()>& prepare, const std::function<void()>& f) {
  std::vector<double> times;
  for (int k = 0; k < runs; ++k) {
    if (prepare) prepare();
    times.push_back(Ms(f));
  }
  return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: targets_bench DOCUMENT [RULES] [STRING]\n");
    return 2;
  }
  const std::string document = argv[1];
  const std::string rules = argc > 2 ? argv[2] : "nac.rul";
  const std::string string = argc > 3 ? argv[3] : "CHAT";

  Shell& shell = TheShell();
  shell.KeepRunning = true;
  shell.SettingsPath = "/tmp/kalix-targets-bench.ini";
  auto* w = new TfrmMain();
  LoadRules(shell.Ctx.Rules, rules);
  w->resize(1000, 700);
  w->show();
  const double open = Ms([&] { w->OpenDocument(document, true, true); });
  w->Session().Doc.path = document;

  SearchRequest r;
  SearchString s;
  s.Text = string;
  r.Strings.push_back(s);
  r.Settings.SetSpelling(2);
  r.Settings.Context = 0;
  r.Settings.SetResult(true, 0, false);
  r.WindowDocument = &w->Session().Doc;
  SearchResult result;
  const double search = Ms([&] { result = RunSearch(shell.Ctx, r); });
  std::printf("document opened and shown: %.0f ms; search: %.0f ms; %zu targets, %zu occurrences\n", open, search,
              result.Targets.size(), result.OccurrenceCount);
  w->Session().Targets = std::move(result.Targets);
  w->Session().Settings = result.Settings;
  w->Session().Strings = result.Strings;
  w->Session().Order = GridOrder::TextUp;
  w->RefillGrid(static_cast<int32_t>(w->Session().Targets.size()));
  QApplication::processEvents();

  // The four sorts, each from the text order, through the window's command
  // (sort, view reset, grid refill).
  const char* names[] = {"number ascending", "number descending", "text ascending", "text descending"};
  for (int byDocument = 0; byDocument < 2; ++byDocument) {
    for (int key = 0; key < 4; ++key) {
      const double t = MedianMs(
          5, [&] { kalix::SortTargets(w->Session().Targets, 2, false); },
          [&] {
            w->SortTargets(key, byDocument != 0);
            QApplication::processEvents();
          });
      std::printf("sort %-18s%s: %7.1f ms\n", names[key], byDocument ? " (document first)" : "", t);
    }
  }
  w->SortTargets(2, false);

  // Selecting a row and stepping through its occurrences, near the start
  // and near the end of the list; scrolling the grid there and painting it.
  const int32_t rows = static_cast<int32_t>(w->Session().Targets.size());
  for (int32_t row : {1, rows / 2, rows}) {
    const double select = MedianMs(
        7, [&] { w->ResetTargetView(false); }, [&] {
          w->SetCurrentGridRow(row);
          QApplication::processEvents();
        });
    const double step = MedianMs(
        7, [&] { w->mnuFirst->trigger(); }, [&] {
          for (int k = 0; k < 10; ++k) w->StepOccurrence(TfrmMain::kStepNext);
          QApplication::processEvents();
        });
    const double scroll = MedianMs(
        7, [&] { w->TargetPane()->Grid()->scrollToTop(); }, [&] {
          w->TargetPane()->Grid()->scrollTo(w->TargetPane()->Grid()->model()->index(row - 1, 0));
          w->TargetPane()->Grid()->viewport()->repaint();
        });
    std::printf("row %7d: select %.2f ms, 10 steps %.2f ms, scroll there and paint %.2f ms\n", row, select, step,
                scroll);
  }

  // The concordance of the target with the most occurrences: from selecting
  // its row to its first screen painted.
  int32_t biggest = 0;
  for (int32_t t = 0; t < rows; ++t) {
    if (w->Session().Targets[static_cast<size_t>(t)].Starts.size() > w->Session().Targets[static_cast<size_t>(biggest)].Starts.size()) {
      biggest = t;
    }
  }
  w->mnuConcordance->trigger();
  QApplication::processEvents();
  const double concordance = MedianMs(
      5, [&] { w->ResetTargetView(false); QApplication::processEvents(); }, [&] {
        w->SetCurrentGridRow(biggest + 1);
        w->Concordance->View->viewport()->repaint();
      });
  std::printf("concordance of %s (%zu occurrences): first screen in %.1f ms\n",
              w->Session().Targets[static_cast<size_t>(biggest)].Text.c_str(),
              w->Session().Targets[static_cast<size_t>(biggest)].Starts.size(), concordance);
  // A target of exactly 100,000 occurrences (the first of the whole
  // result, in the text's order), added at the end of the list.
  {
    Target all;
    all.Text = "*";
    std::vector<Occurrence> starts;
    for (const Target& t : w->Session().Targets) starts.insert(starts.end(), t.Starts.begin(), t.Starts.end());
    std::sort(starts.begin(), starts.end(),
              [](const Occurrence& a, const Occurrence& b) { return a.StartView < b.StartView; });
    if (starts.size() > 100000) starts.resize(100000);
    all.Starts = std::move(starts);
    w->Session().Targets.push_back(std::move(all));
    w->RefillGrid(static_cast<int32_t>(w->Session().Targets.size()));
    const int32_t last = static_cast<int32_t>(w->Session().Targets.size());
    const double withView = MedianMs(
        5, [&] { w->ResetTargetView(false); QApplication::processEvents(); }, [&] {
          w->SetCurrentGridRow(last);
          w->Concordance->View->viewport()->repaint();
        });
    const double paneOnly = MedianMs(
        5, [&] { w->Concordance->Model->SetTarget(-1); }, [&] {
          w->Concordance->Model->SetTarget(last - 1);
          w->Concordance->View->viewport()->repaint();
        });
    std::printf("concordance of a target of %zu occurrences: first screen %.1f ms from selecting its row "
                "(document view selection included), %.1f ms for the pane alone\n",
                w->Session().Targets.back().Starts.size(), withView, paneOnly);
  }
  w->mnuConcordance->trigger();
  delete w;
  return 0;
}
