// INI profile files, read and written the way the Windows profile functions
// do: sections "[Name]", lines "Key=Value"; section and key names compare
// without regard to ASCII case; blanks around keys and values are trimmed.
//
// A missing file, section or key gives the caller's default. Writing a key
// changes only that key's line (or adds the section or the key where it is
// missing) and keeps every other line, comments included; the file is
// replaced atomically.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kalix {

class IniFile {
 public:
  // An empty profile (as for a missing file).
  IniFile() = default;

  // Parses profile text (CR LF or LF line ends).
  static IniFile Parse(const std::string& text);

  // Reads a profile file; a missing or unreadable file gives an empty one.
  static IniFile Load(const std::string& path);

  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& fallback) const;
  // The value read as a decimal integer (leading sign allowed, reading stops
  // at the first non-digit); the default when the key is missing or does not
  // start with a number.
  int GetInt(const std::string& section, const std::string& key, int fallback) const;

  // Sets a key, keeping every other line.
  void SetString(const std::string& section, const std::string& key, const std::string& value);

  // The profile as text, LF line ends.
  std::string Text() const;

  // Writes the profile as a text file (CR LF), atomically.
  bool Save(const std::string& path) const;

 private:
  std::optional<std::string> Find(const std::string& section, const std::string& key) const;

  std::vector<std::string> lines_;
};

// Reads one key of a profile file.
std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& fallback);

// Writes one key of a profile file, keeping the rest of the file.
bool WriteProfileString(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value);

}  // namespace kalix
