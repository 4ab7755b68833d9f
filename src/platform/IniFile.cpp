#include "platform/IniFile.h"

#include "platform/TextFile.h"

#include <cctype>

namespace kalix {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// The section name of a header line, or nothing when the line is not one.
std::optional<std::string> SectionOf(const std::string& line) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  size_t close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

bool IsComment(const std::string& line) {
  std::string t = Trim(line);
  return t.empty() || t[0] == ';' || t[0] == '#';
}

// The key of a "Key=Value" line, or nothing.
std::optional<std::string> KeyOf(const std::string& line) {
  if (IsComment(line)) return std::nullopt;
  size_t eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return Trim(line.substr(0, eq));
}

}  // namespace

IniFile IniFile::Parse(const std::string& text) {
  IniFile ini;
  for (std::string_view line : SplitLines(text)) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    ini.lines_.push_back(std::move(s));
  }
  return ini;
}

IniFile IniFile::Load(const std::string& path) {
  auto text = ReadTextFile(path);
  if (!text) return IniFile();
  return Parse(*text);
}

std::optional<std::string> IniFile::Find(const std::string& section, const std::string& key) const {
  bool inSection = false;
  for (const std::string& line : lines_) {
    if (auto name = SectionOf(line)) {
      inSection = SameName(*name, section);
      continue;
    }
    if (!inSection) continue;
    auto k = KeyOf(line);
    if (k && SameName(*k, key)) {
      std::string value = Trim(line.substr(line.find('=') + 1));
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
      return value;
    }
  }
  return std::nullopt;
}

std::string IniFile::GetString(const std::string& section, const std::string& key,
                               const std::string& fallback) const {
  auto v = Find(section, key);
  return v ? *v : fallback;
}

int IniFile::GetInt(const std::string& section, const std::string& key, int fallback) const {
  auto v = Find(section, key);
  if (!v || v->empty()) return fallback;
  size_t i = 0;
  bool negative = false;
  if ((*v)[0] == '-' || (*v)[0] == '+') {
    negative = (*v)[0] == '-';
    i = 1;
  }
  if (i >= v->size() || !std::isdigit(static_cast<unsigned char>((*v)[i]))) return fallback;
  long long n = 0;
  for (; i < v->size() && std::isdigit(static_cast<unsigned char>((*v)[i])); ++i) {
    n = n * 10 + ((*v)[i] - '0');
    if (n > 2147483648LL) n = 2147483648LL;
  }
  if (negative) n = -n;
  if (n > 2147483647LL) n = 2147483647LL;
  return static_cast<int>(n);
}

void IniFile::SetString(const std::string& section, const std::string& key, const std::string& value) {
  std::string entry = key + "=" + value;
  bool inSection = false;
  std::optional<size_t> sectionEnd;  // index after the section's last entry
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (auto name = SectionOf(lines_[i])) {
      if (inSection) break;
      inSection = SameName(*name, section);
      if (inSection) sectionEnd = i + 1;
      continue;
    }
    if (!inSection) continue;
    auto k = KeyOf(lines_[i]);
    if (k && SameName(*k, key)) {
      lines_[i] = entry;
      return;
    }
    if (!IsComment(lines_[i])) sectionEnd = i + 1;
  }
  if (sectionEnd) {
    lines_.insert(lines_.begin() + static_cast<long>(*sectionEnd), entry);
    return;
  }
  if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.push_back("");
  lines_.push_back("[" + section + "]");
  lines_.push_back(entry);
}

std::string IniFile::Text() const {
  std::string out;
  for (const std::string& line : lines_) {
    out += line;
    out += '\n';
  }
  return out;
}

bool IniFile::Save(const std::string& path) const { return WriteTextFile(path, Text()); }

std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& fallback) {
  return IniFile::Load(path).GetString(section, key, fallback);
}

bool WriteProfileString(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value) {
  IniFile ini = IniFile::Load(path);
  ini.SetString(section, key, value);
  return ini.Save(path);
}

}  // namespace kalix
