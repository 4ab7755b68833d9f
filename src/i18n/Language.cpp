#include "i18n/Language.h"

#include "platform/TextFile.h"

namespace kalix {

namespace {

constexpr std::string_view kHeaderPrefix = "Kalix:";
constexpr std::string_view kFieldBreak = "\":\"";

// A line as it is stored: its text up to a zero byte, then its line break.
// A final line without a break is stored as if it had one, so that the
// parsing below, which drops the last character of a line, never eats text.
std::string StoredLine(std::string_view rawLine) {
  bool hasBreak = !rawLine.empty() && rawLine.back() == '\n';
  std::string_view body = hasBreak ? rawLine.substr(0, rawLine.size() - 1) : rawLine;
  std::string line(CutAtZero(body));
  line.push_back('\n');
  return line;
}

bool SkippedLine(std::string_view line) {
  if (line.empty()) return true;
  char c = line.front();
  return c == '\n' || c == '\r' || c == ';' || c == '\0';
}

// A message line: "s"="t" with s and t not empty.
void TakeMessageLine(LanguageState& language, std::string_view line) {
  size_t keyEnd = line.find('"', 1);
  if (keyEnd == std::string_view::npos || keyEnd == 1) return;
  if (line.substr(keyEnd + 1, 2) != "=\"") return;
  size_t textStart = keyEnd + 3;
  size_t textEnd = line.find('"', textStart);
  if (textEnd == std::string_view::npos || textEnd == textStart) return;
  language.MessageKeys.emplace_back(line.substr(1, keyEnd - 1));
  language.MessageTexts.emplace_back(line.substr(textStart, textEnd - textStart));
}

std::string_view DropLast(std::string_view s) { return s.empty() ? s : s.substr(0, s.size() - 1); }

std::string_view DropFirst(std::string_view s, size_t n) { return n >= s.size() ? std::string_view() : s.substr(n); }

void AppendRecord(std::string& out, std::string_view form, std::string_view name, std::string_view caption,
                  std::string_view hint) {
  out += '\n';
  out += form;
  out += ':';
  out += name;
  out += ":\"";
  out += caption;
  out += "\":\"";
  out += hint;
  out += '"';
}

void DumpMenu(std::string& out, const CaptionMenuItem& item) {
  AppendRecord(out, "frmMain", item.Name, item.Caption, item.Hint);
  for (const CaptionMenuItem& child : item.Children) DumpMenu(out, child);
}

void DumpControl(std::string& out, std::string_view form, const CaptionControl& control) {
  AppendRecord(out, form, control.Name, control.Caption, control.Hint);
  if (control.Kind == CaptionControlKind::RadioGroup) {
    out += ":\"";
    for (const std::string& item : control.Items) {
      out += item;
      out += "\\r\\n";
    }
    out += '"';
  } else if (control.Kind == CaptionControlKind::Container) {
    for (const CaptionControl& child : control.Children) DumpControl(out, form, child);
  }
}

}  // namespace

LanguageLoadStatus ParseLanguage(LanguageState& language, std::string_view text) {
  std::vector<std::string_view> lines = SplitLines(text);
  size_t i = 0;
  while (i < lines.size() && SkippedLine(CutAtZero(lines[i]))) ++i;
  if (i == lines.size()) return LanguageLoadStatus::NoContent;

  std::string header = StoredLine(lines[i]);
  if (header.compare(0, kHeaderPrefix.size(), kHeaderPrefix) != 0) return LanguageLoadStatus::BadHeader;
  size_t codeEnd = header.find(':', kHeaderPrefix.size());
  if (codeEnd == std::string::npos) return LanguageLoadStatus::BadHeader;

  ResetLanguage(language);
  language.Loaded = true;
  language.LanguageCode = header.substr(kHeaderPrefix.size(), codeEnd - kHeaderPrefix.size());
  for (++i; i < lines.size(); ++i) {
    if (SkippedLine(CutAtZero(lines[i]))) continue;
    std::string line = StoredLine(lines[i]);
    if (line.front() == '"') {
      TakeMessageLine(language, line);
    } else {
      language.CaptionLines.push_back(std::move(line));
    }
  }
  return LanguageLoadStatus::Loaded;
}

LanguageLoadStatus LoadLanguageFile(LanguageState& language, const std::string& path) {
  std::optional<std::string> text = ReadTextFile(path);
  if (!text) return LanguageLoadStatus::Unreadable;
  return ParseLanguage(language, *text);
}

bool LoadLanguage(LanguageState& language, const std::string& path) {
  return LoadLanguageFile(language, path) != LanguageLoadStatus::BadHeader;
}

std::string NotLanguageFileMessage(const LanguageState& language, const std::string& path) {
  return path + Translate(language, kNotLanguageFile);
}

CaptionEntry ParseCaptionFields(std::string_view line, size_t keyLength) {
  CaptionEntry entry;
  // Without the key, the character after it (the opening quote) and the last
  // character (the line break).
  std::string_view r = DropLast(DropFirst(line, keyLength + 1));
  size_t at = r.find(kFieldBreak);
  if (at != std::string_view::npos) {
    entry.Caption = std::string(r.substr(0, at));
    r = DropLast(r.substr(at + kFieldBreak.size()));
  } else {
    r = DropLast(DropFirst(r, 2));
  }
  at = r.find(kFieldBreak);
  if (at != std::string_view::npos) {
    entry.Hint = std::string(r.substr(0, at));
    entry.Items = std::string(r.substr(at + kFieldBreak.size()));
  } else {
    entry.Hint = std::string(r);
  }
  return entry;
}

std::optional<CaptionEntry> FindCaptionLine(const LanguageState& language, std::string_view formName,
                                            std::string_view componentName) {
  if (!language.Loaded) return std::nullopt;
  std::string key;
  key.reserve(formName.size() + componentName.size() + 2);
  key += formName;
  key += ':';
  key += componentName;
  key += ':';
  for (const std::string& line : language.CaptionLines) {
    if (line.compare(0, key.size(), key) == 0) return ParseCaptionFields(line, key.size());
  }
  return std::nullopt;
}

std::vector<std::string> SplitCaptionItems(std::string_view itemsField) {
  // \r\n sequences become CR LF; the list then takes one item per line.
  std::string text;
  text.reserve(itemsField.size());
  for (size_t i = 0; i < itemsField.size(); ++i) {
    if (itemsField.substr(i, 4) == "\\r\\n") {
      text += "\r\n";
      i += 3;
    } else {
      text += itemsField[i];
    }
  }
  std::vector<std::string> items;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      items.push_back(text.substr(start));
      break;
    }
    items.push_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return items;
}

void ApplyLanguageToControls(const LanguageState& language, std::string_view formName, CaptionControl& control) {
  if (!language.Loaded) return;
  if (std::optional<CaptionEntry> entry = FindCaptionLine(language, formName, control.Name)) {
    if (!entry->Caption.empty()) control.Caption = entry->Caption;
    if (!entry->Hint.empty()) control.Hint = entry->Hint;
    if (control.Kind == CaptionControlKind::RadioGroup) control.Items = SplitCaptionItems(entry->Items);
  }
  if (control.Kind == CaptionControlKind::Container) {
    for (CaptionControl& child : control.Children) ApplyLanguageToControls(language, formName, child);
  }
}

void ApplyLanguageToMenu(const LanguageState& language, std::string_view formName, CaptionMenuItem& item) {
  if (!language.Loaded) return;
  if (std::optional<CaptionEntry> entry = FindCaptionLine(language, formName, item.Name)) {
    item.Caption = entry->Caption;
    item.Hint = entry->Hint;
  }
  for (CaptionMenuItem& child : item.Children) ApplyLanguageToMenu(language, formName, child);
}

std::string DumpCaptions(const CaptionDump& dump) {
  std::string out;
  for (const CaptionMenuItem& menu : dump.Menus) DumpMenu(out, menu);
  for (const CaptionForm& form : dump.Forms) DumpControl(out, form.FormName, form.Root);
  out += "\n\n";
  return out;
}

bool WriteCaptionDump(const CaptionDump& dump, const std::string& path) {
  return WriteTextFile(path, DumpCaptions(dump));
}

}  // namespace kalix
