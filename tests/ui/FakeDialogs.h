// Dialogs for the window tests: answers come from queues, messages are
// recorded, modal windows are not shown.
#pragma once

#include "ui/Dialogs.h"
#include "ui/Shell.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>

namespace kalix::ui {

struct FakeDialogs : Dialogs {
  struct Shown {
    QString caption;
    QString text;
    MessageIcon icon;
  };
  std::vector<Shown> messages;
  std::deque<QString> files;  // answers of the file dialogs; empty: cancel
  std::vector<FileDialogOptions> fileRequests;
  std::vector<QString> execTitles;
  std::vector<QDialog*> executed;
  // Answers of the questions, in order; when empty, Cancel (with a Cancel
  // button) or No.
  std::deque<Answer> answers;
  struct Asked {
    QString caption;
    QString text;
  };
  std::vector<Asked> questions;
  // Answers of the several-files dialogs; when empty, the one-file answers.
  std::deque<QStringList> fileLists;
  // When set, answers Exec (after recording the dialog) in place of
  // Accepted; it may work the dialog first, as a user would (clicking its
  // buttons).
  std::function<int(QDialog*)> onExec;

  void Message(QWidget*, const QString& caption, const QString& text, MessageIcon icon) override {
    messages.push_back({caption, text, icon});
  }
  Answer Question(QWidget*, const QString& caption, const QString& text, bool withCancel) override {
    questions.push_back({caption, text});
    if (!answers.empty()) {
      Answer a = answers.front();
      answers.pop_front();
      return a;
    }
    return withCancel ? Answer::Cancel : Answer::No;
  }
  QString OpenFile(QWidget*, const FileDialogOptions& options) override {
    fileRequests.push_back(options);
    if (files.empty()) return QString();
    QString f = files.front();
    files.pop_front();
    return f;
  }
  QString SaveFile(QWidget* parent, const FileDialogOptions& options) override {
    return OpenFile(parent, options);
  }
  QStringList OpenFiles(QWidget* parent, const FileDialogOptions& options) override {
    if (fileLists.empty()) return Dialogs::OpenFiles(parent, options);
    fileRequests.push_back(options);
    QStringList l = fileLists.front();
    fileLists.pop_front();
    return l;
  }
  int Exec(QDialog* dialog) override {
    executed.push_back(dialog);
    if (onExec) return onExec(dialog);
    return QDialog::Accepted;
  }
};

// A fresh shell whose settings file and program folder are in `dir`.
inline void FreshShell(const QTemporaryDir& dir, FakeDialogs& dialogs) {
  ResetShell();
  Shell& shell = TheShell();
  shell.ProgramDir = QDir(dir.path()).absolutePath().toStdString() + "/";
  shell.DataDir.clear();
  shell.SettingsPath = shell.ProgramDir + "kalix.ini";
  shell.KeepRunning = true;
  QFile::remove(QString::fromStdString(shell.SettingsPath));
  SetDialogs(&dialogs);
}

}  // namespace kalix::ui
