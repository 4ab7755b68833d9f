#include "app/Settings.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace kalix {
namespace {

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

bool FolderWritable(const std::string& dir) {
  return !dir.empty() && ::access(dir.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

std::string SettingsFilePath(const std::string& programDir, const std::string& configDir) {
  return SettingsFilePath(programDir, configDir, FolderWritable(programDir));
}

std::string SettingsFilePath(const std::string& programDir, const std::string& configDir,
                             bool programDirWritable) {
  std::string beside = JoinPath(programDir, kSettingsFileName);
  std::error_code ec;
  if (std::filesystem::exists(beside, ec) || programDirWritable || configDir.empty()) {
    return beside;
  }
  std::filesystem::create_directories(configDir, ec);
  return JoinPath(configDir, kSettingsFileName);
}

StartupSettings ReadStartupSettings(const IniFile& ini) {
  StartupSettings s;
  s.Rules = ini.GetString(kSettingsSection, "Rules", s.Rules);
  s.Language = ini.GetString(kSettingsSection, "Language", s.Language);
  s.DocumentPath = ini.GetString(kSettingsSection, "DocumentPath", s.DocumentPath);
  s.Translit = ini.GetString(kSettingsSection, "Translit", s.Translit);
  return s;
}

WindowLayout ReadWindowLayout(const IniFile& ini, const WindowLayout& current) {
  WindowLayout w = current;
  w.State = ini.GetInt(kWindowSection, "State", current.State);
  if (w.State != kStateMinimised && w.State != kStateMaximised) {
    w.State = kStateNormal;
    w.Top = ini.GetInt(kWindowSection, "Top", current.Top);
    w.Left = ini.GetInt(kWindowSection, "Left", current.Left);
    w.Height = ini.GetInt(kWindowSection, "Height", current.Height);
    w.Width = ini.GetInt(kWindowSection, "Width", current.Width);
  }
  w.GridSplitter = ini.GetInt(kWindowSection, "GridSplitter", current.GridSplitter);
  w.FootnoteSplitter = ini.GetInt(kWindowSection, "FootnoteSplitter", current.FootnoteSplitter);
  w.PictureSplitter = ini.GetInt(kWindowSection, "PictureSplitter", current.PictureSplitter);
  return w;
}

void WriteWindowLayout(IniFile& ini, const WindowLayout& w) {
  int state = (w.State == kStateMinimised || w.State == kStateMaximised) ? w.State : kStateNormal;
  ini.SetString(kWindowSection, "State", std::to_string(state));
  ini.SetString(kWindowSection, "Top", std::to_string(w.Top));
  ini.SetString(kWindowSection, "Left", std::to_string(w.Left));
  ini.SetString(kWindowSection, "Height", std::to_string(w.Height));
  ini.SetString(kWindowSection, "Width", std::to_string(w.Width));
  ini.SetString(kWindowSection, "GridSplitter", std::to_string(w.GridSplitter));
  ini.SetString(kWindowSection, "FootnoteSplitter", std::to_string(w.FootnoteSplitter));
  ini.SetString(kWindowSection, "PictureSplitter", std::to_string(w.PictureSplitter));
}

bool WriteSetting(const std::string& settingsPath, const std::string& section,
                  const std::string& key, const std::string& value) {
  IniFile ini = IniFile::Load(settingsPath);
  ini.SetString(section, key, value);
  return ini.Save(settingsPath);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace kalix
