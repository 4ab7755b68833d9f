// Every modal question of the program goes through one object: message
// boxes, file dialogs, questions and modal windows. The program installs the
// Qt implementation; tests install their own that answers without a person.
#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

namespace kalix::ui {

enum class MessageIcon { Information, Exclamation, Warning, Error, Question };

// Answers of `Question`.
enum class Answer { Yes, No, Cancel, Ok };

// A file dialog's settings. `filter` is written as the program's designs
// write it: "Description|*.ext|Description|*.ext".
struct FileDialogOptions {
  QString title;
  QString filter;
  QString defaultExtension;  // without the dot
  QString fileName;
  QString initialFolder;
  bool mustExist = true;  // open dialogs: the path and the file must exist
  // Save dialogs: ask before an existing file is replaced (not when the
  // text is added to the file).
  bool confirmOverwrite = true;
  // Save dialogs: a name typed without an extension takes that of the
  // filter chosen (its first pattern's), not `defaultExtension`.
  bool extensionFromFilter = false;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A message box with an OK button.
  virtual void Message(QWidget* parent, const QString& caption, const QString& text,
                       MessageIcon icon) = 0;
  // A question; `withCancel` adds a Cancel button to Yes and No.
  virtual Answer Question(QWidget* parent, const QString& caption, const QString& text,
                          bool withCancel) = 0;
  // The chosen file, or an empty string when the user cancels.
  virtual QString OpenFile(QWidget* parent, const FileDialogOptions& options) = 0;
  virtual QString SaveFile(QWidget* parent, const FileDialogOptions& options) = 0;
  // Several existing files chosen at once, in the dialog's order; empty when
  // the user cancels. By default, the one file that `OpenFile` gives.
  virtual QStringList OpenFiles(QWidget* parent, const FileDialogOptions& options);
  // Shows a dialog modally; returns its result code (QDialog::Accepted...).
  virtual int Exec(QDialog* dialog) = 0;
};

// The object in use; the Qt implementation unless a test installed another.
Dialogs& CurrentDialogs();

// Installs `dialogs` (not owned; nullptr restores the Qt implementation).
void SetDialogs(Dialogs* dialogs);

// Places a window in the middle of the primary screen.
void CentreOnScreen(QWidget* window);

// Converts a filter of the "Description|pattern|..." form to Qt's
// "Description (pattern);;..." form.
QString QtFilter(const QString& filter);

// The Qt implementation.
class QtDialogs : public Dialogs {
 public:
  void Message(QWidget* parent, const QString& caption, const QString& text,
               MessageIcon icon) override;
  Answer Question(QWidget* parent, const QString& caption, const QString& text,
                  bool withCancel) override;
  QString OpenFile(QWidget* parent, const FileDialogOptions& options) override;
  QString SaveFile(QWidget* parent, const FileDialogOptions& options) override;
  QStringList OpenFiles(QWidget* parent, const FileDialogOptions& options) override;
  int Exec(QDialog* dialog) override;
};

}  // namespace kalix::ui
