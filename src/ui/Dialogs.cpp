#include "ui/Dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace kalix::ui {
namespace {

Dialogs* g_installed = nullptr;

QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

void Prepare(QFileDialog& dialog, const FileDialogOptions& o) {
  if (!o.title.isEmpty()) dialog.setWindowTitle(o.title);
  dialog.setNameFilter(QtFilter(o.filter));
  dialog.setDefaultSuffix(o.defaultExtension);
  if (!o.initialFolder.isEmpty()) dialog.setDirectory(o.initialFolder);
  if (!o.fileName.isEmpty()) dialog.selectFile(o.fileName);
}

}  // namespace

Dialogs& CurrentDialogs() {
  static QtDialogs qtDialogs;
  return g_installed ? *g_installed : qtDialogs;
}

void SetDialogs(Dialogs* dialogs) { g_installed = dialogs; }

void CentreOnScreen(QWidget* window) {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    window->move(screen->availableGeometry().center() - window->rect().center());
  }
}

QString QtFilter(const QString& filter) {
  QStringList parts = filter.split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    out << parts[i] + " (" + patterns + ")";
  }
  return out.join(";;");
}

void QtDialogs::Message(QWidget* parent, const QString& caption, const QString& text,
                        MessageIcon icon) {
  QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok, parent);
  box.exec();
}

Answer QtDialogs::Question(QWidget* parent, const QString& caption, const QString& text,
                           bool withCancel) {
  QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
  if (withCancel) buttons |= QMessageBox::Cancel;
  QMessageBox box(QMessageBox::Question, caption, text, buttons, parent);
  switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
  }
}

QString QtDialogs::OpenFile(QWidget* parent, const FileDialogOptions& options) {
  QFileDialog dialog(parent);
  Prepare(dialog, options);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(options.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

QString QtDialogs::SaveFile(QWidget* parent, const FileDialogOptions& options) {
  QFileDialog dialog(parent);
  Prepare(dialog, options);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
  if (options.extensionFromFilter) dialog.setDefaultSuffix(QString());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  QString file = dialog.selectedFiles().first();
  if (options.extensionFromFilter && QFileInfo(file).suffix().isEmpty()) {
    // "Name (*.ext ...)": the extension of the chosen filter's first pattern.
    const QString filter = dialog.selectedNameFilter();
    const qsizetype star = filter.indexOf("*.");
    qsizetype end = star + 2;
    while (star >= 0 && end < filter.size() && filter[end] != ' ' && filter[end] != ')') ++end;
    const QString extension = star >= 0 ? filter.mid(star + 2, end - star - 2) : options.defaultExtension;
    if (!extension.isEmpty()) file += "." + extension;
  }
  return file;
}

QStringList Dialogs::OpenFiles(QWidget* parent, const FileDialogOptions& options) {
  QString one = OpenFile(parent, options);
  return one.isEmpty() ? QStringList() : QStringList{one};
}

QStringList QtDialogs::OpenFiles(QWidget* parent, const FileDialogOptions& options) {
  QFileDialog dialog(parent);
  Prepare(dialog, options);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  if (dialog.exec() != QDialog::Accepted) return QStringList();
  return dialog.selectedFiles();
}

int QtDialogs::Exec(QDialog* dialog) { return dialog->exec(); }

}  // namespace kalix::ui
