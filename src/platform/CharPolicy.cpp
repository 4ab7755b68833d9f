#include "platform/CharPolicy.h"

#include "platform/Cp1252.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/unorm2.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <utility>

namespace kalix {

namespace {

constexpr char32_t kReplacementChar = 0xFFFD;

bool IsValidCodePoint(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// The letters of old texts and the spaces that neither decomposition nor
// their names bring to code page 1252.
constexpr std::pair<char32_t, unsigned char> kShortList[] = {
    {0x017F, 's'},   // long s
    {0x0141, 'L'},   // L with stroke
    {0x0142, 'l'},   // l with stroke
    {0x0110, 'D'},   // D with stroke
    {0x0111, 'd'},   // d with stroke
    {0x0131, 'i'},   // dotless i
    {0xA750, 'P'},   // P with stroke through descender
    {0xA751, 'p'},
    {0xA752, 'P'},   // P with flourish
    {0xA753, 'p'},
    {0xA754, 'P'},   // P with squirrel tail
    {0xA755, 'p'},
    {0xA756, 'Q'},   // Q with stroke through descender
    {0xA757, 'q'},
    {0xA758, 'Q'},   // Q with diagonal stroke
    {0xA759, 'q'},
    {0xA75A, 'R'},   // R rotunda
    {0xA75B, 'r'},
    {0x204A, '&'},   // Tironian et
    {0x202F, 0xA0},  // narrow no-break space
};

const UNormalizer2* Nfc() {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* n = unorm2_getNFCInstance(&status);
  return U_SUCCESS(status) ? n : nullptr;
}

const UNormalizer2* Nfd() {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* n = unorm2_getNFDInstance(&status);
  return U_SUCCESS(status) ? n : nullptr;
}

std::u16string ToUtf16(std::u32string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (!IsValidCodePoint(c)) c = kReplacementChar;
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::u32string FromUtf16(const UChar* s, int32_t n) {
  std::u32string out;
  out.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n;) {
    UChar32 c;
    U16_NEXT(s, i, n, c);
    out.push_back(static_cast<char32_t>(c));
  }
  return out;
}

// The 1252 letter that a canonical decomposition begins with: the longest
// beginning of the decomposition that composes to one letter of the code
// page (u with diaeresis and macron gives u with diaeresis).
int DecompositionLetter(char32_t c) {
  const UNormalizer2* nfd = Nfd();
  if (nfd == nullptr) return -1;
  UChar buffer[32];
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = unorm2_getDecomposition(nfd, static_cast<UChar32>(c), buffer, 32, &status);
  if (U_FAILURE(status) || n <= 0) return -1;
  const std::u32string decomposed = FromUtf16(buffer, n);
  for (size_t k = decomposed.size(); k >= 1; --k) {
    const std::u32string composed = NormalizeNfc(std::u32string_view(decomposed).substr(0, k));
    if (composed.size() == 1 && u_isalpha(static_cast<UChar32>(composed[0]))) {
      const int byte = UnicodeToCp1252(composed[0]);
      if (byte >= 0) return byte;
    }
  }
  return -1;
}

// The base letter of a Latin letter's name: the first one-letter word after
// "LETTER" ("LATIN SMALL LETTER INSULAR D" gives d), in the character's case.
int NameLetter(char32_t c) {
  char name[256];
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = u_charName(static_cast<UChar32>(c), U_UNICODE_CHAR_NAME, name, sizeof name, &status);
  if (U_FAILURE(status) || n <= 0 || n >= static_cast<int32_t>(sizeof name)) return -1;
  const std::string_view text(name, static_cast<size_t>(n));
  if (!text.starts_with("LATIN ")) return -1;
  size_t at = text.find(" LETTER ");
  if (at == std::string_view::npos) return -1;
  at += 8;
  while (at < text.size()) {
    size_t stop = text.find(' ', at);
    if (stop == std::string_view::npos) stop = text.size();
    if (stop - at == 1 && text[at] >= 'A' && text[at] <= 'Z') {
      const bool upper = u_isupper(static_cast<UChar32>(c)) || u_istitle(static_cast<UChar32>(c));
      return upper ? text[at] : text[at] - 'A' + 'a';
    }
    at = stop + 1;
  }
  return -1;
}

void AppendUtf8Char(std::string& out, char32_t c) {
  if (!IsValidCodePoint(c)) c = kReplacementChar;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// One side of a table line: the character itself or "U+XXXX", several
// joined by "+" on the left side.
bool ParseTableSide(std::string_view text, std::u32string& out) {
  out.clear();
  if (text.size() > 2 && (text[0] == 'U' || text[0] == 'u') && text[1] == '+') {
    size_t at = 0;
    while (at < text.size()) {
      if (text.size() - at < 3 || (text[at] != 'U' && text[at] != 'u') || text[at + 1] != '+') return false;
      at += 2;
      char32_t value = 0;
      size_t digits = 0;
      while (at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at])) && digits < 7) {
        const char d = text[at++];
        value = value * 16 + static_cast<char32_t>(d <= '9' ? d - '0' : (d | 0x20) - 'a' + 10);
        ++digits;
      }
      if (digits == 0 || !IsValidCodePoint(value)) return false;
      out.push_back(value);
      if (at < text.size()) {
        if (text[at] != '+') return false;
        ++at;
      }
    }
    return !out.empty();
  }
  return DecodeUtf8(text, out) && !out.empty();
}

}  // namespace

std::u32string NormalizeNfc(std::u32string_view text) {
  const UNormalizer2* nfc = Nfc();
  const std::u16string source = ToUtf16(text);
  if (nfc == nullptr) return std::u32string(text);
  std::u16string result(source.size() + 16, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = unorm2_normalize(nfc, reinterpret_cast<const UChar*>(source.data()), static_cast<int32_t>(source.size()),
                               reinterpret_cast<UChar*>(result.data()), static_cast<int32_t>(result.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    result.assign(static_cast<size_t>(n), u'\0');
    status = U_ZERO_ERROR;
    n = unorm2_normalize(nfc, reinterpret_cast<const UChar*>(source.data()), static_cast<int32_t>(source.size()),
                         reinterpret_cast<UChar*>(result.data()), static_cast<int32_t>(result.size()), &status);
  }
  if (U_FAILURE(status)) return std::u32string(text);
  return FromUtf16(reinterpret_cast<const UChar*>(result.data()), n);
}

bool IsCombiningMark(char32_t c) {
  if (!IsValidCodePoint(c)) return false;
  const int8_t type = u_charType(static_cast<UChar32>(c));
  return type == U_NON_SPACING_MARK || type == U_COMBINING_SPACING_MARK || type == U_ENCLOSING_MARK;
}

int ShippedTransliteration(char32_t c) {
  if (!IsValidCodePoint(c)) return -1;
  for (const auto& [from, to] : kShortList) {
    if (from == c) return to;
  }
  if (u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR) return ' ';
  const int decomposed = DecompositionLetter(c);
  if (decomposed >= 0) return decomposed;
  return NameLetter(c);
}

int CharPolicy::LoadTable(std::string_view utf8, std::vector<TableError>* errors) {
  int taken = 0;
  int32_t lineNumber = 0;
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
  while (!utf8.empty()) {
    ++lineNumber;
    size_t stop = utf8.find('\n');
    std::string_view line = utf8.substr(0, stop);
    utf8.remove_prefix(stop == std::string_view::npos ? utf8.size() : stop + 1);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() == '#') continue;
    const auto fail = [&](const char* message) {
      if (errors) errors->push_back(TableError{lineNumber, message});
    };
    const size_t gap = line.find_first_of(" \t");
    if (gap == std::string_view::npos) {
      fail("expected a character and its replacement");
      continue;
    }
    std::string_view left = line.substr(0, gap);
    std::string_view right = line.substr(gap);
    while (!right.empty() && (right.front() == ' ' || right.front() == '\t')) right.remove_prefix(1);
    if (right.find_first_of(" \t") != std::string_view::npos) {
      // A comment after the entry.
      const size_t more = right.find_first_of(" \t");
      std::string_view rest = right.substr(more);
      while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
      if (!rest.empty() && rest.front() != '#') {
        fail("more than a character and its replacement");
        continue;
      }
      right = right.substr(0, more);
    }
    std::u32string from;
    std::u32string to;
    if (!ParseTableSide(left, from)) {
      fail("the character is not valid UTF-8 or U+XXXX");
      continue;
    }
    if (!ParseTableSide(right, to) || to.size() != 1) {
      fail("the replacement is not one character");
      continue;
    }
    const int byte = UnicodeToCp1252(to[0]);
    if (byte <= 0) {
      fail("the replacement is not a character of code page 1252");
      continue;
    }
    AddEntry(from, static_cast<unsigned char>(byte));
    ++taken;
  }
  return taken;
}

void CharPolicy::AddEntry(std::u32string_view from, unsigned char to) { user_[NormalizeNfc(from)] = to; }

CharMapping CharPolicy::Map(std::u32string_view cluster) const {
  if (cluster.empty()) return CharMapping{0, true, ReplaceKind::Dropped};
  const char32_t base = cluster[0];
  if (cluster.size() == 1 && IsValidCodePoint(base)) {
    const int byte = UnicodeToCp1252(base);
    if (byte > 0) return CharMapping{static_cast<unsigned char>(byte), false, ReplaceKind::Transliterated};
    if (byte == 0) return CharMapping{0, true, ReplaceKind::Dropped};
  }
  if (!user_.empty()) {
    auto it = user_.find(std::u32string(cluster));
    if (it == user_.end() && cluster.size() > 1) it = user_.find(std::u32string(1, base));
    if (it != user_.end()) return CharMapping{it->second, true, ReplaceKind::Transliterated};
  }
  if (!IsValidCodePoint(base) || IsCombiningMark(base)) {
    return CharMapping{kReplacementByte, true, ReplaceKind::Replaced};
  }
  const int own = UnicodeToCp1252(base);
  if (own > 0) return CharMapping{static_cast<unsigned char>(own), true, ReplaceKind::Transliterated};
  const int shipped = ShippedTransliteration(base);
  if (shipped > 0) return CharMapping{static_cast<unsigned char>(shipped), true, ReplaceKind::Transliterated};
  if (u_charType(static_cast<UChar32>(base)) == U_FORMAT_CHAR) {
    // A format character with marks after it: the marks have no base.
    if (cluster.size() == 1) return CharMapping{0, true, ReplaceKind::Dropped};
  }
  return CharMapping{kReplacementByte, true, ReplaceKind::Replaced};
}

void CharPolicy::Append(std::u32string_view run, std::string& out, cReplacedList& replaced,
                        int32_t offsetBase, int32_t note) const {
  std::u32string clean(run);
  for (char32_t& c : clean) {
    if (!IsValidCodePoint(c)) c = kReplacementChar;
  }
  const std::u32string text = NormalizeNfc(clean);
  size_t i = 0;
  while (i < text.size()) {
    size_t j = i + 1;
    if (!IsCombiningMark(text[i])) {
      while (j < text.size() && IsCombiningMark(text[j])) ++j;
    }
    const std::u32string_view cluster = std::u32string_view(text).substr(i, j - i);
    const CharMapping m = Map(cluster);
    const int32_t offset = offsetBase + static_cast<int32_t>(out.size());
    if (m.byte != 0) out.push_back(static_cast<char>(m.byte));
    if (m.replaced && !(cluster.size() == 1 && cluster[0] == 0)) {
      replaced.push_back(ReplacedChar{offset, note, std::u32string(cluster), m.kind});
    }
    i = j;
  }
}

void CharPolicy::AppendUtf8(std::string_view utf8, std::string& out, cReplacedList& replaced,
                            int32_t offsetBase, int32_t note) const {
  std::u32string run;
  DecodeUtf8(utf8, run);
  Append(run, out, replaced, offsetBase, note);
}

ReplacedSummary SummarizeReplaced(const cReplacedList& list) {
  ReplacedSummary summary;
  std::vector<std::u32string> seen;
  for (const ReplacedChar& r : list) {
    switch (r.kind) {
      case ReplaceKind::Transliterated: ++summary.transliterated; break;
      case ReplaceKind::Dropped: ++summary.dropped; break;
      case ReplaceKind::Replaced: ++summary.replaced; break;
    }
    if (std::find(seen.begin(), seen.end(), r.original) == seen.end()) {
      seen.push_back(r.original);
      summary.characters.push_back(ToUtf8(r.original));
    }
  }
  return summary;
}

std::string ToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) AppendUtf8Char(out, c);
  return out;
}

bool DecodeUtf8(std::string_view utf8, std::u32string& out) {
  bool valid = true;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* end = p + utf8.size();
  while (p < end) {
    const unsigned char b = *p;
    if (b < 0x80) {
      out.push_back(b);
      ++p;
      continue;
    }
    int length = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2, c = b & 0x1F, least = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3, c = b & 0x0F, least = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4, c = b & 0x07, least = 0x10000;
    }
    int k = 1;
    for (; length > 0 && k < length && p + k < end && (p[k] & 0xC0) == 0x80; ++k) c = (c << 6) | (p[k] & 0x3F);
    if (length == 0 || k < length || c < least || !IsValidCodePoint(c)) {
      out.push_back(kReplacementChar);
      valid = false;
      p += std::max(1, k);
      continue;
    }
    out.push_back(c);
    p += length;
  }
  return valid;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  const auto unit = [&](size_t i) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
      const char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    AppendUtf8Char(out, c);  // a lone surrogate becomes U+FFFD
  }
  if (i < bytes.size()) AppendUtf8Char(out, kReplacementChar);
  return out;
}

CodePageDecoder::CodePageDecoder() { Select(1252); }

CodePageDecoder::~CodePageDecoder() {
  if (converter_ != nullptr) ucnv_close(static_cast<UConverter*>(converter_));
}

bool CodePageDecoder::Select(int codePage) {
  const char* name = nullptr;
  switch (codePage) {
    case 874: name = "windows-874-2000"; break;
    case 932: name = "windows-31j"; break;
    case 936: name = "windows-936-2000"; break;
    case 949: name = "windows-949-2000"; break;
    case 950: name = "windows-950-2000"; break;
    case 1250: name = "windows-1250"; break;
    case 1251: name = "windows-1251"; break;
    case 1252: name = nullptr; break;
    case 1253: name = "windows-1253"; break;
    case 1254: name = "windows-1254"; break;
    case 1255: name = "windows-1255"; break;
    case 1256: name = "windows-1256"; break;
    case 1257: name = "windows-1257"; break;
    case 1258: name = "windows-1258"; break;
    default: name = "";
  }
  if (converter_ != nullptr) {
    ucnv_close(static_cast<UConverter*>(converter_));
    converter_ = nullptr;
  }
  lead_ = 0;
  codePage_ = 1252;
  for (int b = 0; b < 256; ++b) single_[b] = Cp1252ToUnicode(static_cast<unsigned char>(b));
  if (name == nullptr) return true;
  if (*name == '\0') return false;
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &status);
  if (U_FAILURE(status) || converter == nullptr) return false;
  ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  codePage_ = codePage;
  if (ucnv_getMaxCharSize(converter) > 1) {
    converter_ = converter;
    return true;
  }
  for (int b = 0x80; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    UChar result[4];
    status = U_ZERO_ERROR;
    ucnv_reset(converter);
    const int32_t n = ucnv_toUChars(converter, result, 4, &byte, 1, &status);
    single_[b] = (U_SUCCESS(status) && n == 1) ? result[0] : kReplacementChar;
  }
  ucnv_close(converter);
  return true;
}

char32_t CodePageDecoder::Decode(unsigned char byte) {
  if (converter_ == nullptr) return single_[byte];
  auto* converter = static_cast<UConverter*>(converter_);
  char bytes[2];
  int32_t n = 0;
  if (lead_ != 0) bytes[n++] = static_cast<char>(lead_);
  bytes[n++] = static_cast<char>(byte);
  lead_ = 0;
  UChar result[4];
  UErrorCode status = U_ZERO_ERROR;
  ucnv_reset(converter);
  const char* source = bytes;
  UChar* target = result;
  ucnv_toUnicode(converter, &target, result + 4, &source, bytes + n, nullptr, false, &status);
  const int32_t produced = static_cast<int32_t>(target - result);
  if (U_FAILURE(status)) return kReplacementChar;
  if (produced == 0) {
    // A lead byte: the pair completes with the next byte.
    if (n == 1) {
      lead_ = byte;
      return 0;
    }
    return kReplacementChar;
  }
  UChar32 c = result[0];
  if (U16_IS_LEAD(result[0]) && produced > 1) c = U16_GET_SUPPLEMENTARY(result[0], result[1]);
  return static_cast<char32_t>(c);
}

int CodePageOfCharset(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 0;
  }
}

}  // namespace kalix
