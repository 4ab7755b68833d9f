// The settings file "kalix.ini": where it lives, what the first main window
// reads from it and what the last main window writes to it.
//
// The file lives beside the executable when that folder is writable or the
// file already exists there; otherwise in the user's configuration folder.
#pragma once

#include "platform/IniFile.h"

#include <string>

namespace kalix {

inline constexpr const char* kSettingsFileName = "kalix.ini";
inline constexpr const char* kSettingsSection = "Kalix";
inline constexpr const char* kWindowSection = "Window";

// Window states as stored under "State".
enum WindowState : int { kStateNormal = 0, kStateMinimised = 1, kStateMaximised = 2 };

// The "Kalix" section as the first main window reads it.
struct StartupSettings {
  std::string Rules = "nac.rul";
  std::string Language;
  std::string DocumentPath;
  // The user's transliteration table (key "Translit"): a file name beside
  // the settings file, or a full path.
  std::string Translit = "translit.txt";
};

// The window layout of the first main window; the defaults are the design
// values.
struct WindowLayout {
  int State = kStateMaximised;
  int Top = 0;
  int Left = 0;
  int Height = 605;
  int Width = 745;
  int GridSplitter = 235;
  int FootnoteSplitter = 60;
  int PictureSplitter = 300;
};

// The path of the settings file. `programDir` and `configDir` are folders
// with or without their trailing separator; `configDir` may be empty, and is
// created when it is chosen and missing.
std::string SettingsFilePath(const std::string& programDir, const std::string& configDir);

// The same decision with the program folder's writability given.
std::string SettingsFilePath(const std::string& programDir, const std::string& configDir,
                             bool programDirWritable);

StartupSettings ReadStartupSettings(const IniFile& ini);

// The layout read as the first main window does: "State" defaults to
// `current.State`; the four bounds are read only when the state is normal
// (a state outside 0-2 counts as normal), each defaulting to its current
// value; the three splitters always.
WindowLayout ReadWindowLayout(const IniFile& ini, const WindowLayout& current = WindowLayout());

// Writes the eight "Window" keys; a state outside 0-2 is written as normal.
void WriteWindowLayout(IniFile& ini, const WindowLayout& layout);

// Reads, changes one key and writes back the settings file, keeping every
// other line. Returns false when the file cannot be written.
bool WriteSetting(const std::string& settingsPath, const std::string& section,
                  const std::string& key, const std::string& value);

// The folder part of a path, with its trailing separator ("" when none).
std::string FolderOf(const std::string& path);

// The file name of a path, without its folder.
std::string FileNameOf(const std::string& path);

}  // namespace kalix
