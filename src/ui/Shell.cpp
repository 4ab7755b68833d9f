#include "ui/Shell.h"

#include "app/InfoFiles.h"
#include "app/Settings.h"
#include "platform/Cp1252.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace kalix::ui {
namespace {

std::unique_ptr<Shell>& Instance() {
  static std::unique_ptr<Shell> shell = std::make_unique<Shell>();
  return shell;
}

std::string WithSlash(const QString& folder) {
  std::string s = folder.toStdString();
  if (!s.empty() && s.back() != '/') s += '/';
  return s;
}

}  // namespace

Shell& TheShell() { return *Instance(); }

void ResetShell() { Instance() = std::make_unique<Shell>(); }

void LocatePaths(Shell& shell) {
  shell.ProgramDir = WithSlash(QCoreApplication::applicationDirPath());
  shell.DataDir = InstalledDataDir(shell.ProgramDir, KALIX_DATA_DIR);
  QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  shell.SettingsPath = SettingsFilePath(shell.ProgramDir, config.toStdString());
}

void OnRulesLoaded(QObject* owner, std::function<void()> run) {
  TheShell().RulesLoadedHooks.push_back({owner, std::move(run)});
}

void NotifyRulesLoaded() {
  // A copy: a hook may add another.
  std::vector<Shell::RulesHook> hooks = TheShell().RulesLoadedHooks;
  for (const Shell::RulesHook& hook : hooks) {
    if (hook.Owner && hook.Run) hook.Run();
  }
}

QString Tr(const char* message) { return FromCp1252(TheShell().Ctx.Tr(message)); }

}  // namespace kalix::ui
