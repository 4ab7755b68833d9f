#include "platform/Collation.h"

#include "platform/Cp1252.h"

#include <QCollator>
#include <QLocale>

namespace kalix {

unsigned char FixedFold(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
  }
}

int FixedCompare(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = FixedFold(static_cast<unsigned char>(a[i]));
    unsigned char y = FixedFold(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int LocaleCompare(std::string_view a, std::string_view b) {
  static const QCollator collator = [] {
    QCollator c{QLocale()};
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
  }();
  return collator.compare(FromCp1252(a), FromCp1252(b));
}

namespace {

std::string MapCase(std::string_view text, bool upper) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    QChar ch(Cp1252ToUnicode(static_cast<unsigned char>(out[i])));
    QChar mapped = upper ? ch.toUpper() : ch.toLower();
    int byte = UnicodeToCp1252(mapped.unicode());
    if (byte >= 0) out[i] = static_cast<char>(byte);
  }
  return out;
}

}  // namespace

std::string UpperCase1252(std::string_view text) { return MapCase(text, true); }
std::string LowerCase1252(std::string_view text) { return MapCase(text, false); }

}  // namespace kalix
