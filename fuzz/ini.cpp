// Fuzzes the INI profile reader and writer: parse, read keys, write a key,
// and check that what was written reads back and survives a reparse.
#include "platform/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kalix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  IniFile ini = IniFile::Parse(text);
  (void)ini.GetString("Kalix", "Rules", "nac.rul");
  (void)ini.GetString("Window", "State", "");
  (void)ini.GetInt("Window", "Top", -1);
  (void)ini.GetInt("Window", "Width", 0);

  // Section and key names taken from the input's first bytes.
  std::string section = text.substr(0, std::min<size_t>(size, 6));
  std::string key = size > 6 ? text.substr(6, 4) : std::string("Key");
  (void)ini.GetString(section, key, "x");
  (void)ini.GetInt(section, key, 0);

  ini.SetString("Kalix", "Rules", "regles.rul");
  if (ini.GetString("Kalix", "Rules", "") != "regles.rul") std::abort();
  ini.SetString("Window", "Top", "42");
  if (ini.GetInt("Window", "Top", 0) != 42) std::abort();
  std::string written = ini.Text();
  IniFile again = IniFile::Parse(written);
  if (again.GetString("Kalix", "Rules", "") != "regles.rul") std::abort();
  if (again.GetInt("Window", "Top", 0) != 42) std::abort();
  return 0;
}
