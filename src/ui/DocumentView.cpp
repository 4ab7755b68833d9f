#include "ui/DocumentView.h"

#include "platform/Cp1252.h"

namespace kalix::ui {

QString ViewTextOf(std::string_view text, const cReplacedList* replaced) {
  QString s = FromCp1252(text);
  for (QChar& ch : s) {
    if (ch == QChar('\r')) ch = QChar('\n');
  }
  if (replaced == nullptr) return s;
  for (const ReplacedChar& r : *replaced) {
    if (r.note >= 0 || r.kind == ReplaceKind::Dropped || r.original.size() != 1) continue;
    const char32_t c = r.original[0];
    if (c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF) || IsCombiningMark(c)) continue;
    if (r.offset < 0 || r.offset >= s.size() || s[r.offset] == QChar('\n')) continue;
    s[r.offset] = QChar(static_cast<char16_t>(c));
  }
  return s;
}

}  // namespace kalix::ui
