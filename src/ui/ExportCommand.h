// "Exporter..." of a main window: the last result as a table
// (targets/ExportRows.h) in a file the user chooses, its format chosen by
// the file name's extension, which the save dialog's filter gives a name
// typed without one (".csv", ".tsv", ".xlsx" or ".jsonl"; any other name is
// written as CSV). A search
// gives the occurrence table, a word list its forms with their counts, the
// concordance pane its rows as shown. The file is written on a second thread;
// a progress dialog with Cancel shows when it takes long, and the window
// waits meanwhile. A file that cannot be written gives "Impossible d'écrire
// le fichier :" and its path; a cancelled export leaves no file.
#pragma once

#include "targets/ExportTable.h"

#include <QString>

#include <string>

class QWidget;

namespace kalix::ui {

class TfrmMain;

// Adds "Exporter..." (mnuExport) to the "Ci&bles" menu after "&Enregister",
// and (mnuGrdExport) to the grid's context menu; gives the concordance pane
// a context menu with it. Each is enabled while the window has targets.
void InstallExportCommands(TfrmMain& window);

// The window's result, to the file the user chooses.
void ExportTargets(TfrmMain& window);
// The concordance pane's rows, to the file the user chooses.
void ExportConcordance(TfrmMain& window);

// The format of a chosen file name, by its extension (CSV for any other).
ExportFormat ExportFormatOfFile(const QString& path);

// Writes `table` to `path` on a second thread, with the progress dialog when
// it takes long; a file that cannot be written gives its message. True when
// the file was written.
bool SaveTableShowingProgress(QWidget* parent, ExportTable& table, ExportFormat format, const std::string& path);

}  // namespace kalix::ui
