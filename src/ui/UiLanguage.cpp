#include "ui/UiLanguage.h"

#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "ui/Dialogs.h"
#include "ui/FilePaths.h"
#include "ui/Shell.h"
#include "ui/TfrmAddStr.h"
#include "ui/TfrmCorpus.h"
#include "ui/TfrmFind.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmMorva.h"
#include "ui/TfrmResult.h"
#include "ui/TfrmThesaurus.h"
#include "ui/TfrmWord.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextEdit>
#include <QToolButton>
#include <QTranslator>

#include <functional>
#include <memory>

namespace kalix::ui {
namespace {

bool IsControl(QObject* object) {
  auto* w = qobject_cast<QWidget*>(object);
  if (!w) return false;
  if (qobject_cast<QMenu*>(w) || qobject_cast<QMenuBar*>(w)) return false;
  QString name = w->objectName();
  return !name.isEmpty() && !name.startsWith("qt_");
}

bool IsRadioGroup(QWidget* w) {
  return qobject_cast<QGroupBox*>(w) && w->property("kalixRadioGroup").toBool();
}

bool IsPlain(QWidget* w) {
  return qobject_cast<QLabel*>(w) || qobject_cast<QToolButton*>(w) || qobject_cast<TPaintBox*>(w);
}

bool IsTextView(QWidget* w) { return qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w); }

QList<QRadioButton*> RadioItems(QWidget* group) {
  return group->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
}

QString TextOf(QWidget* w) {
  if (w->isWindow()) return w->windowTitle();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return QString();
}

void SetTextOf(QWidget* w, const QString& text) {
  if (TextOf(w) == text) return;
  if (w->isWindow()) w->setWindowTitle(text);
  else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
  else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
  else if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(text);
  else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(text);
}

QList<QWidget*> ChildControls(QWidget* w) {
  QList<QWidget*> out;
  for (QObject* child : w->children()) {
    if (!IsControl(child)) continue;
    auto* cw = static_cast<QWidget*>(child);
    if (cw->isWindow()) continue;  // separate windows are separate forms
    out << cw;
  }
  return out;
}

// Builds the tree and, in the same order, the list of widgets.
CaptionControl Build(QWidget* w, QList<QWidget*>& order) {
  order << w;
  CaptionControl c;
  c.Name = w->objectName().toStdString();
  if (!IsTextView(w)) c.Caption = ToCp1252(TextOf(w));
  c.Hint = ToCp1252(w->toolTip());
  if (IsRadioGroup(w)) {
    c.Kind = CaptionControlKind::RadioGroup;
    for (QRadioButton* b : RadioItems(w)) c.Items.push_back(ToCp1252(b->text()));
  } else if (IsPlain(w)) {
    c.Kind = CaptionControlKind::Plain;
  } else {
    c.Kind = CaptionControlKind::Container;
    for (QWidget* child : ChildControls(w)) c.Children.push_back(Build(child, order));
  }
  return c;
}

void WriteBack(const CaptionControl& c, const QList<QWidget*>& order, int& at) {
  QWidget* w = order.value(at++);
  if (!w) return;
  if (!IsTextView(w)) SetTextOf(w, FromCp1252(c.Caption));
  QString hint = FromCp1252(c.Hint);
  if (w->toolTip() != hint) w->setToolTip(hint);
  if (c.Kind == CaptionControlKind::RadioGroup) {
    QList<QRadioButton*> buttons = RadioItems(w);
    for (int i = 0; i < buttons.size(); ++i) {
      bool present = i < static_cast<int>(c.Items.size());
      if (present) buttons[i]->setText(FromCp1252(c.Items[i]));
      buttons[i]->setVisible(present);
    }
  }
  for (const CaptionControl& child : c.Children) WriteBack(child, order, at);
}

CaptionMenuItem ItemTree(QAction* action, QList<QAction*>& order) {
  order << action;
  CaptionMenuItem item;
  item.Name = action->objectName().toStdString();
  item.Caption = ToCp1252(action->text());
  item.Hint = ToCp1252(action->statusTip());
  if (QMenu* sub = action->menu()) {
    for (QAction* a : sub->actions()) {
      if (!a->isSeparator()) item.Children.push_back(ItemTree(a, order));
    }
  }
  return item;
}

CaptionMenuItem RootTree(const QList<QAction*>& actions, QList<QAction*>& order) {
  order << nullptr;  // the root item has no action
  CaptionMenuItem root;
  for (QAction* a : actions) {
    if (!a->isSeparator()) root.Children.push_back(ItemTree(a, order));
  }
  return root;
}

void WriteBackMenu(const CaptionMenuItem& item, const QList<QAction*>& order, int& at) {
  QAction* a = order.value(at++);
  if (a) {
    QString caption = FromCp1252(item.Caption);
    if (a->text() != caption) a->setText(caption);
    if (QMenu* sub = a->menu()) sub->setTitle(caption);
    a->setStatusTip(FromCp1252(item.Hint));
  }
  for (const CaptionMenuItem& child : item.Children) WriteBackMenu(child, order, at);
}

void ApplyToActions(const char* formName, const QList<QAction*>& actions) {
  QList<QAction*> order;
  CaptionMenuItem root = RootTree(actions, order);
  ApplyLanguageToMenu(TheShell().Ctx.Language, formName, root);
  int at = 0;
  WriteBackMenu(root, order, at);
}

// A button that shows only an icon is known to a screen reader by its hint,
// in the language of the moment.
void NameIconButtons(QWidget* root) {
  for (QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
    if (b->text().isEmpty() && !b->toolTip().isEmpty() && b->accessibleName() != b->toolTip()) {
      b->setAccessibleName(b->toolTip());
    }
  }
}

}  // namespace

CaptionControl ControlTree(QWidget* widget) {
  QList<QWidget*> order;
  return Build(widget, order);
}

CaptionMenuItem MenuTree(QMenuBar* bar) {
  QList<QAction*> order;
  return RootTree(bar->actions(), order);
}

CaptionMenuItem MenuTree(QMenu* menu) {
  QList<QAction*> order;
  return RootTree(menu->actions(), order);
}

void ApplyLanguageToWidgets(const char* formName, QWidget* root) {
  const LanguageState& language = TheShell().Ctx.Language;
  if (language.Loaded) {
    QList<QWidget*> order;
    CaptionControl tree = Build(root, order);
    ApplyLanguageToControls(language, formName, tree);
    int at = 0;
    WriteBack(tree, order, at);
  }
  NameIconButtons(root);
}

void ApplyLanguageToMenus(const char* formName, TfrmMain* window) {
  if (!TheShell().Ctx.Language.Loaded) return;
  ApplyToActions(formName, window->MainMenu->actions());
  ApplyToActions(formName, window->popGrid->actions());
  ApplyToActions(formName, window->popText->actions());
}

bool LoadLanguageReporting(QWidget* parent, const std::string& path) {
  LanguageState& language = TheShell().Ctx.Language;
  if (LoadLanguage(language, path)) return true;
  // The path as the file system names it, the text in the program's language.
  CurrentDialogs().Message(parent, "Kalix", DisplayPath(path) + FromCp1252(NotLanguageFileMessage(language, "")),
                           MessageIcon::Warning);
  return false;
}

bool UseQtTranslations(const std::string& languageCode) {
  static QTranslator* installed = nullptr;
  if (installed) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
    installed = nullptr;
  }
  const QLocale::Language language = QLocale::codeToLanguage(QString::fromStdString(languageCode));
  if (language == QLocale::AnyLanguage || language == QLocale::C || language == QLocale::English) return false;
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QLocale(language), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    return false;
  }
  installed = translator.release();
  QCoreApplication::installTranslator(installed);
  return true;
}

void DumpCaptionsOf(TfrmMain* clicked) {
  Shell& shell = TheShell();
  TfrmMain* first = shell.MainWindowList.isEmpty() ? clicked : shell.MainWindowList.first();
  CaptionDump dump;
  dump.Menus.push_back(MenuTree(first->MainMenu));
  dump.Menus.push_back(MenuTree(first->popGrid));
  dump.Menus.push_back(MenuTree(first->popText));
  dump.Forms.push_back({"frmMain", ControlTree(first)});
  // The dialogs, in the dump's order: made now if they do not exist yet.
  QWidget* made[] = {&TheFindDialog(),   &TheWordDialog(),   &TheCorpusEditor(), &TheThesaurusEditor(),
                     &TheResultDialog(), &TheAddStrDialog(), &TheMorvaDialog()};
  const char* forms[] = {"frmFind", "frmWord", "frmCorpus", "frmThesaurus", "frmResult", "frmAddStr", "frmMorva"};
  for (size_t i = 0; i < std::size(forms); ++i) dump.Forms.push_back({forms[i], ControlTree(made[i])});
  const std::string path = "label.txt";
  if (!WriteCaptionDump(dump, path)) {
    CurrentDialogs().Message(clicked, "Kalix", Tr(msg::kCannotWrite) + "\n" + QString::fromStdString(path),
                             MessageIcon::Exclamation);
  }
}

}  // namespace kalix::ui
