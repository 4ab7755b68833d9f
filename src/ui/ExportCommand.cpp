#include "ui/ExportCommand.h"

#include "document/Reader.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "targets/DocumentRef.h"
#include "targets/ExportRows.h"
#include "targets/Report.h"
#include "ui/Concordance.h"
#include "ui/Dialogs.h"
#include "ui/FilePaths.h"
#include "ui/Shell.h"
#include "ui/TargetGrid.h"
#include "ui/TfrmMain.h"

#include <QAction>
#include <QEventLoop>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>
#include <QTableView>
#include <QTimer>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kalix::ui {
namespace {

// The caption of the command, as the menus show it before translation.
const char kExportCaption[] = "Exporter...";
// The save dialog's filter: one entry per format, in ExportFormat's order.
const char kExportFilter[] = "CSV (UTF-8)|*.csv|TSV|*.tsv|Excel|*.xlsx|JSON Lines|*.jsonl";
// The progress dialog shows after this long.
constexpr int kProgressDelayMs = 400;

// The file the user chooses; empty when cancelled.
QString AskExportFile(TfrmMain& window) {
  FileDialogOptions options;
  options.title = Tr(kExportCaption);
  options.filter = FromCp1252(kExportFilter);
  options.defaultExtension = "csv";
  options.mustExist = false;
  options.extensionFromFilter = true;
  return CurrentDialogs().SaveFile(&window, options);
}

// What the worker thread and the window share.
struct ExportRun {
  std::atomic<size_t> done{0};
  std::atomic<size_t> total{0};
  std::atomic<bool> cancelled{false};
  std::atomic<bool> finished{false};
  ExportStatus status = ExportStatus::kCannotWrite;  // set before `finished`
};

// The action "Exporter..." named `name`, calling `run`.
QAction* ExportAction(TfrmMain& window, const char* name, void (*run)(TfrmMain&)) {
  auto* action = new QAction(FromCp1252(kExportCaption), &window);
  action->setObjectName(name);
  action->setEnabled(false);
  QObject::connect(action, &QAction::triggered, &window, [&window, run] { run(window); });
  return action;
}

// Inserts `action` into `menu` after `after` (at the end when it is not
// there).
void InsertAfter(QMenu* menu, QAction* after, QAction* action) {
  const QList<QAction*> actions = menu->actions();
  const qsizetype at = actions.indexOf(after);
  if (at >= 0 && at + 1 < actions.size()) {
    menu->insertAction(actions[at + 1], action);
  } else {
    menu->addAction(action);
  }
}

}  // namespace

ExportFormat ExportFormatOfFile(const QString& path) {
  const std::string suffix = QFileInfo(path).suffix().toLower().toStdString();
  return ExportFormatNamed(suffix).value_or(ExportFormat::kCsv);
}

bool SaveTableShowingProgress(QWidget* parent, ExportTable& table, ExportFormat format, const std::string& path) {
  auto run = std::make_shared<ExportRun>();
  run->total = table.RowCount;
  std::thread worker([run, &table, format, &path] {
    run->status = SaveTable(path, format, table, [run](size_t done, size_t total) {
      run->done = done;
      run->total = total;
      return !run->cancelled;
    });
    run->finished = true;
  });

  QProgressDialog progress(Tr(kExportCaption), Tr("Annuler"), 0, 1000, parent);
  progress.setObjectName("dlgExportProgress");
  progress.setAccessibleName(Tr(kExportCaption));
  progress.setWindowTitle("Kalix");
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(kProgressDelayMs);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  QEventLoop loop;
  QTimer timer;
  QObject::connect(&progress, &QProgressDialog::canceled, &loop, [run] { run->cancelled = true; });
  QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
    const size_t total = run->total;
    progress.setValue(total == 0 ? 0 : static_cast<int>(1000.0 * static_cast<double>(run->done) / total));
    if (run->finished) loop.quit();
  });
  timer.start(30);
  if (!run->finished) loop.exec();
  timer.stop();
  worker.join();
  progress.hide();

  if (run->status == ExportStatus::kCannotWrite) {
    CurrentDialogs().Message(parent, "Kalix", Tr(msg::kCannotWrite) + "\n" + DisplayPath(path),
                             MessageIcon::Exclamation);
  }
  return run->status == ExportStatus::kWritten;
}

void ExportTargets(TfrmMain& window) {
  if (window.Session().Targets.empty()) return;
  const QString file = AskExportFile(window);
  if (file.isEmpty()) return;
  const std::string path = FileSystemPath(file);
  Shell& shell = window.AppShell();
  // Messages of documents that cannot be read come from the worker thread:
  // they are kept and shown after it.
  auto messages = std::make_shared<std::vector<std::string>>();
  auto mutex = std::make_shared<std::mutex>();
  ExportTable table =
      window.Session().Settings.FromWordList
          ? WordListTable(window.Session().Targets)
          : OccurrenceTable(shell.Ctx,
                            ExportSource{window.Session().Settings, window.Session().Strings,
                                         window.Session().Targets, window.Session().Doc},
                            OccurrenceExportOptions{}, [messages, mutex](const std::string& m) {
                              std::lock_guard<std::mutex> lock(*mutex);
                              messages->push_back(m);
                            });
  SaveTableShowingProgress(&window, table, ExportFormatOfFile(file), path);
  for (const std::string& m : *messages) {
    CurrentDialogs().Message(&window, "Kalix", FromCp1252(m), MessageIcon::Exclamation);
  }
}

void ExportConcordance(TfrmMain& window) {
  ConcordanceModel* model = window.Concordance->Model;
  const int32_t t = model->TargetIndex();
  if (t < 0 || static_cast<size_t>(t) >= window.Session().Targets.size()) return;
  const QString file = AskExportFile(window);
  if (file.isEmpty()) return;
  const Target& target = window.Session().Targets[static_cast<size_t>(t)];

  // The target's text: the window's document, or its own read apart.
  Document scratch;
  const Document* document = &window.Session().Doc;
  if (!target.DocumentRef.empty() && DocumentRefPath(target.DocumentRef) != window.Session().Doc.path) {
    std::string error;
    if (!LoadScratchDocument(window.AppShell().Ctx, scratch, DocumentRefPath(target.DocumentRef), &error)) {
      CurrentDialogs().Message(&window, "Kalix", FromCp1252(error), MessageIcon::Exclamation);
      return;
    }
    document = &scratch;
  }
  const ViewIndex index(document->Text());
  std::vector<int32_t> rows;
  for (int row = 0; row < model->rowCount(); ++row) rows.push_back(model->OccurrenceOfRow(row));
  ExportTable table = ConcordanceTable(document->Text(), index, target.Starts, std::move(rows),
                                       ConcordanceModel::kWidth, std::string(PathFileName(document->path)));
  SaveTableShowingProgress(&window, table, ExportFormatOfFile(file), FileSystemPath(file));
}

void InstallExportCommands(TfrmMain& window) {
  QAction* inMenu = ExportAction(window, "mnuExport", ExportTargets);
  InsertAfter(window.Cibles1, window.mnuSaveTarget, inMenu);
  QAction* inGrid = ExportAction(window, "mnuGrdExport", ExportTargets);
  window.popGrid->addSeparator();
  window.popGrid->addAction(inGrid);
  // Enabled while there are targets: set whenever the grid is refilled, and
  // checked again as the menus open.
  auto follow = [&window, inMenu, inGrid] {
    const bool any = !window.Session().Targets.empty();
    inMenu->setEnabled(any);
    inGrid->setEnabled(any);
  };
  QObject::connect(window.TargetModel, &QAbstractItemModel::modelReset, &window, follow);
  QObject::connect(window.Cibles1, &QMenu::aboutToShow, &window, follow);
  QObject::connect(window.popGrid, &QMenu::aboutToShow, &window, follow);

  // The concordance pane: a context menu of its own, captioned as the
  // grid's item (translated with it).
  QTableView* view = window.Concordance->View;
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(view, &QWidget::customContextMenuRequested, &window, [&window, view, inGrid](const QPoint& at) {
    QMenu menu(view);
    QAction* item = menu.addAction(inGrid->text());
    item->setObjectName("mnuConcExport");
    item->setEnabled(window.Concordance->Model->rowCount() > 0);
    if (menu.exec(view->viewport()->mapToGlobal(at)) == item) ExportConcordance(window);
  });
}

}  // namespace kalix::ui
