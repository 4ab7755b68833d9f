#include "document/Reader.h"

#include "document/Sniff.h"
#include "document/XmlReader.h"
#include "i18n/Messages.h"
#include "platform/ByteSet.h"
#include "platform/CharPolicy.h"
#include "platform/Cp1252.h"
#include "platform/FileFeed.h"
#include "platform/Memory.h"
#include "platform/Metafile.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace kalix {

namespace {

constexpr unsigned char kEndOfInput = 0x1A;
constexpr unsigned char kSoftHyphen = 0xAD;
constexpr int kBufferChars = 31;  // longest control word, parameter or "\<...>" code

enum class Lex : unsigned char { Text, Backslash, Word, Parameter, SwallowBlank, Hex, Decimal };

// The flags of a brace group; a group inherits its parent's.
struct GroupState {
  bool skip = false;
  bool footnote = false;
  bool picture = false;
  // Groups whose text is not the document's but whose control words still
  // count: the font table, hidden text, tracked deletions, a list label.
  bool fontTable = false;
  bool hidden = false;
  bool deleted = false;
  bool label = false;
  int32_t uc = 1;        // fallback characters after "\uN"
  int32_t codePage = 0;  // of the selected font; 0: the document's
};

int HexDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte a "\'hh" escape gives, from its two characters: 0 when it gives
// none (a character that is not hexadecimal, or the value 0: both are
// dropped).
inline unsigned char EscapedByte(unsigned char high, unsigned char low) {
  const int h = HexDigit(high);
  const int l = HexDigit(low);
  if (h < 0 || l < 0) return 0;
  return static_cast<unsigned char>(h * 16 + l);
}

bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Picture data as bytes: characters taken in pairs, high digit first; only
// the low four bits of each digit's value count, so "a"-"f" and "A"-"F" both
// give 10-15 and a trailing unpaired character is ignored.
std::string DecodePictureData(std::string_view hex) {
  std::string bytes(hex.size() / 2, '\0');
  auto digit = [](unsigned char c) -> unsigned {
    return c <= '9' ? (c - 0x30u) & 0x0Fu : (c + 0xA9u) & 0x0Fu;
  };
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>((digit(static_cast<unsigned char>(hex[2 * i])) << 4) |
                                 digit(static_cast<unsigned char>(hex[2 * i + 1])));
  }
  return bytes;
}

// A set of bytes that ends a run of plain characters.
ByteSet MakeStopSet(std::initializer_list<int> bytes) {
  ByteSet set;
  for (int c : bytes) set.Add(static_cast<unsigned char>(c & 0xFF));
  return set;
}

// The first byte from p on that the set holds, or end.
inline const unsigned char* FindStop(const ByteSet& set, const unsigned char* p, const unsigned char* end) {
  return p + set.FindFirst(p, static_cast<size_t>(end - p));
}

// What a control word does.
enum class WordAction {
  RichText, Paragraph, LineBreak, Tab, Picture, Footnote, SkipGroup,
  PictureWidth, PictureHeight, GoalWidth, GoalHeight, MappingMode, NotMetafile,
  Png, Jpeg, Unicode, FallbackCount, CodePage, Font, FontCharset, FontTable, Hidden, Deleted, Plain, ListLabel,
  LeftQuote, RightQuote, LeftDoubleQuote, RightDoubleQuote, EnDash, EmDash, Bullet, Space
};

// The control words the reader knows, shortest first.
constexpr std::pair<std::string_view, WordAction> kWords[] = {
    {"f", WordAction::Font},
    {"u", WordAction::Unicode},
    {"v", WordAction::Hidden},
    {"uc", WordAction::FallbackCount},
    {"rtf", WordAction::RichText},
    {"par", WordAction::Paragraph},
    {"row", WordAction::Paragraph},
    {"tab", WordAction::Tab},
    {"sect", WordAction::Paragraph},
    {"line", WordAction::LineBreak},
    {"cell", WordAction::Tab},
    {"pict", WordAction::Picture},
    {"info", WordAction::SkipGroup},
    {"picw", WordAction::PictureWidth},
    {"pich", WordAction::PictureHeight},
    {"plain", WordAction::Plain},
    {"endash", WordAction::EnDash},
    {"emdash", WordAction::EmDash},
    {"lquote", WordAction::LeftQuote},
    {"rquote", WordAction::RightQuote},
    {"bullet", WordAction::Bullet},
    {"pntext", WordAction::ListLabel},
    {"header", WordAction::SkipGroup},
    {"footer", WordAction::SkipGroup},
    {"nestrow", WordAction::Paragraph},
    {"deleted", WordAction::Deleted},
    {"ansicpg", WordAction::CodePage},
    {"enspace", WordAction::Space},
    {"emspace", WordAction::Space},
    {"qmspace", WordAction::Space},
    {"footerf", WordAction::SkipGroup},
    {"fonttbl", WordAction::FontTable},
    {"headerf", WordAction::SkipGroup},
    {"headerl", WordAction::SkipGroup},
    {"headerr", WordAction::SkipGroup},
    {"footerl", WordAction::SkipGroup},
    {"footerr", WordAction::SkipGroup},
    {"emfblip", WordAction::NotMetafile},
    {"pngblip", WordAction::Png},
    {"shppict", WordAction::NotMetafile},
    {"macpict", WordAction::NotMetafile},
    {"wbitmap", WordAction::NotMetafile},
    {"footnote", WordAction::Footnote},
    {"nestcell", WordAction::Tab},
    {"listtext", WordAction::ListLabel},
    {"fcharset", WordAction::FontCharset},
    {"colortbl", WordAction::SkipGroup},
    {"picwgoal", WordAction::GoalWidth},
    {"pichgoal", WordAction::GoalHeight},
    {"jpegblip", WordAction::Jpeg},
    {"dibitmap", WordAction::NotMetafile},
    {"ldblquote", WordAction::LeftDoubleQuote},
    {"rdblquote", WordAction::RightDoubleQuote},
    {"wmetafile", WordAction::MappingMode},
    {"stylesheet", WordAction::SkipGroup},
    {"nonshppict", WordAction::NotMetafile},
    {"pmmetafile", WordAction::NotMetafile},
};
constexpr size_t kLongestWord = 10;
static_assert(
    [] {
      for (size_t k = 1; k < std::size(kWords); ++k) {
        if (kWords[k - 1].first.size() > kWords[k].first.size()) return false;
      }
      return kWords[std::size(kWords) - 1].first.size() == kLongestWord;
    }(),
    "the known words are listed shortest first");

// Where the known words of each length are in kWords.
struct WordRange {
  uint8_t first = 0;
  uint8_t count = 0;
};
constexpr std::array<WordRange, kLongestWord + 1> kWordsByLength = [] {
  std::array<WordRange, kLongestWord + 1> ranges{};
  for (size_t k = 0; k < std::size(kWords); ++k) {
    WordRange& r = ranges[kWords[k].first.size()];
    if (r.count == 0) r.first = static_cast<uint8_t>(k);
    ++r.count;
  }
  return ranges;
}();

class Reader {
 public:
  // `utf8`: the input is UTF-8 text (plain text only); `bom`: it began with
  // a UTF-8 byte-order mark, and invalid UTF-8 turns the rest into 1252.
  Reader(const RuleSet& rules, const CharPolicy& policy, Document& document, bool utf8 = false,
         bool bom = false)
      : rules_(rules), policy_(policy), doc_(document), text_(document.text), startSize_(document.text.size()),
        utf8_(utf8), bom_(bom) {
    SetStops();
    skipped_ = MakeStopSet({'{', '}', kEndOfInput});
    quietStop_ = MakeStopSet({0, '\r', '\n', '{', '}', '\\', kEndOfInput, '\t'});
  }

  // Processes a block of raw bytes; false once the input has ended.
  bool Feed(const char* data, size_t size);
  void Finish();
  // A plain text read as UTF-8 on trust that turned out not to be: the
  // reading stopped, and the caller reads the file again as 1252.
  bool NotUtf8() const { return notUtf8_; }

 private:
  void Byte(unsigned char c);
  // A run of bytes that need no step of their own, from `p`: copied where
  // the reader is. Returns where the run stops.
  [[gnu::always_inline]] inline const unsigned char* Run(const unsigned char* p, const unsigned char* end);
  // The character after a backslash, when it is not a letter: false when it
  // begins an escape or "\*" (nothing to emit); otherwise `c` becomes the
  // character the control symbol stands for.
  [[gnu::always_inline]] inline bool ControlSymbol(unsigned char& c);
  // The steps after the escape states, for a character read or decoded.
  void AfterEscapes(unsigned char c);
  bool PlainMainText() const { return !skipping_ && !inPicture_ && !inFootnote_ && pageCount_ > 0; }
  // Something read before decides how the next bytes are taken: the fast
  // runs wait until it is settled.
  bool Pending() const { return starPending_ || ucSkip_ > 0 || pendingHigh_ != 0 || utf8Need_ > 0 || leadWaiting_; }
  // The one rule of a decoded "\'hh" byte: true when it is a plain
  // character that main text may append as it stands; `TakeEscaped` does the
  // rest (dropped, decoded through the document's code page, or the general
  // steps).
  bool PlainEscaped(unsigned char decoded) const {
    return decoded != 0 && (decoded < 0x80 || decoder_ == nullptr) && !specialMain_.Contains(decoded);
  }
  void TakeEscaped(unsigned char decoded);
  // A Unicode character read from "\uN", a code page or UTF-8: its 1252 byte,
  // through the character policy.
  void Character(char32_t c);
  bool AttachMark(char32_t mark);
  void Record(ReplaceKind kind, std::u32string original, int32_t offset, int32_t note);
  void UnicodeWord();
  void FlushSurrogate();
  // The characters of a "\uN" fallback: true when `c` was taken by it.
  bool SkipFallback(unsigned char c);
  void Utf8Byte(unsigned char c);
  void SetStops();
  void UpdateSkipping();
  void SelectDecoder();
  bool QuietWord(WordAction action);
  // Main text in the Text state: runs of plain characters and "\'hh"
  // escapes, byte by byte, kept in local variables. Returns where the
  // general steps take over, in the state reached so far.
  const unsigned char* MainText(const unsigned char* p, const unsigned char* end);
  // The chunk's fill and the view position while main text is read, kept
  // out of the members so that they stay in registers.
  struct MainCursor {
    size_t length;
    int32_t view;
  };
  // How an escape read in main text leaves the run: on with the run, out
  // of it to the general steps, or out of `MainText` altogether.
  enum class EscapeStep { Go, Stop, Leave };
  static constexpr size_t kChunk = 4096;
  void Store(const MainCursor& m) {
    chunkLen_ = m.length;
    viewPosition_ = m.view;
  }
  [[gnu::always_inline]] inline void AppendRun(MainCursor& m, const unsigned char* p, size_t n);
  [[gnu::always_inline]] inline void PutMain(MainCursor& m, unsigned char c);
  [[gnu::always_inline]] inline void MainByte(unsigned char c, MainCursor& m);
  bool UnicodeEscape(const unsigned char*& p, const unsigned char* end, MainCursor& m);
  [[gnu::always_inline]] inline EscapeStep MainEscape(const unsigned char*& p, const unsigned char* end,
                                                      MainCursor& m);
  void CloseGroup();
  void Execute(bool* swallow);
  void Do(WordAction action);
  void BeginPicture();
  void BeginFootnote();
  void Emit(unsigned char c);
  void ParagraphEnd(bool paragraph);
  void ControlChar(unsigned char c);
  void AddMark(int16_t kind, int32_t number, int32_t value) {
    doc_.marks.push_back(Mark{viewPosition_, kind, number, value, nullptr});
  }
  void FinishFootnote();
  void FinishPicture();
  void SetSkip() {
    group_.skip = true;
    UpdateSkipping();
  }
  // Byte by byte: the words are short, and most differ early.
  bool NameIs(std::string_view word) const {
    if (word.size() != nameLen_) return false;
    for (size_t i = 0; i < word.size(); ++i) {
      if (word[i] != name_[i]) return false;
    }
    return true;
  }
  int32_t ParameterValue() const;
  unsigned char DecimalValue() const;

  // The main text goes through a chunk of 4096 bytes that is appended to the
  // document's text whenever it is full, and at the end.
  // Every byte of the main text goes through `PutByte`, on the member fill
  // or on a main-text cursor's.
  [[gnu::always_inline]] inline void PutByte(size_t& length, unsigned char c) {
    if (length == kChunk) {
      text_.append(chunk_, length);
      length = 0;
    }
    chunk_[length++] = static_cast<char>(c);
  }
  void Put(char c) { PutByte(chunkLen_, static_cast<unsigned char>(c)); }
  void FlushChunk() {
    text_.append(chunk_, chunkLen_);
    chunkLen_ = 0;
  }

  const RuleSet& rules_;
  const CharPolicy& policy_;
  Document& doc_;
  std::string& text_;
  const size_t startSize_;
  bool utf8_ = false;
  bool bom_ = false;
  ByteSet special_;      // bytes the footnote and picture runs stop at
  ByteSet specialMain_;  // bytes the main-text runs stop at
  ByteSet quietStop_;    // bytes the runs of a quiet group (read for its words only) stop at
  ByteSet stops1252_;    // the main-text stops of a 1252 text (markers among them)
  unsigned char utf8Bytes_[4] = {};
  int utf8Have_ = 0;
  int utf8Need_ = 0;
  bool notUtf8_ = false;
  bool quiet_ = false;      // skipping_ for a group whose words still count
  bool labelDone_ = false;  // the list label's tab was seen
  int32_t ucSkip_ = 0;      // fallback characters still to skip
  char32_t pendingHigh_ = 0;
  int32_t ansiCodePage_ = 1252;
  std::map<int32_t, int32_t> fontCodePages_;
  int32_t fontDefined_ = -1;
  std::map<int32_t, std::unique_ptr<CodePageDecoder>> decoders_;
  CodePageDecoder* decoder_ = nullptr;  // none for 1252
  bool leadWaiting_ = false;
  ByteSet skipped_;      // bytes the runs of a skipped group stop at

  bool rtfMode_ = false;
  GroupState group_;
  std::vector<GroupState> groupStack_;
  bool skipping_ = false;
  bool starPending_ = false;  // "\*" seen, destination not yet known
  bool inFootnote_ = false;
  bool inPicture_ = false;
  std::string footnoteText_;
  std::string pictureData_;
  PictureSize picture_;  // mapping mode and extents are kept from picture to picture
  PictureFormat pictureFormat_ = PictureFormat::Metafile;
  int32_t viewPosition_ = 0;
  int32_t pageCount_ = 0;
  int32_t folioCount_ = 0;
  int32_t glyphCount_ = 0;
  bool rectoPending_ = true;
  Lex state_ = Lex::Text;
  char name_[kBufferChars + 1] = {};
  size_t nameLen_ = 0;
  char parameter_[kBufferChars + 1] = {};
  size_t parameterLen_ = 0;
  char chunk_[kChunk];
  size_t chunkLen_ = 0;
};

bool Reader::Feed(const char* data, size_t size) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* end = p + size;
  while (p < end) {
    // Runs of plain characters are copied at once; the byte that stops a run
    // goes through the full step by step processing below.
    if (state_ == Lex::Text && !Pending()) {
      p = Run(p, end);
      if (p == end) break;
    } else if (state_ == Lex::SwallowBlank && skipping_ && !quiet_) {
      p = FindStop(skipped_, p, end);
      if (p == end) break;
    }
    unsigned char c = *p++;
    if (c == kEndOfInput) return false;
    // The common "\'hh" escape of the main text, step by step as Byte()
    // would take it, without its general tests.
    if (!Pending() && c != '\r' && c != 0) {
      if (state_ == Lex::Text && c == '\\' && !skipping_) {
        state_ = Lex::Backslash;
        nameLen_ = 0;
        continue;
      }
      if (state_ == Lex::Backslash && c == '\'') {
        state_ = Lex::Hex;
        continue;
      }
      if (state_ == Lex::Hex) {
        if (nameLen_ == 0) {
          name_[0] = static_cast<char>(c);
          nameLen_ = 1;
          continue;
        }
        state_ = Lex::Text;
        TakeEscaped(EscapedByte(static_cast<unsigned char>(name_[0]), c));
        continue;
      }
    }
    Byte(c);
    if (notUtf8_) return false;
  }
  return true;
}

const unsigned char* Reader::MainText(const unsigned char* p, const unsigned char* end) {
  MainCursor m{chunkLen_, viewPosition_};
  for (;;) {
    const unsigned char* q = FindStop(specialMain_, p, end);
    AppendRun(m, p, static_cast<size_t>(q - p));
    p = q;
    if (p == end) break;
    const unsigned char c = *p;
    if (c == '\\') {
      const EscapeStep step = MainEscape(p, end, m);
      if (step == EscapeStep::Stop) break;
      if (step == EscapeStep::Leave) return p;
      continue;
    }
    if (c == '{' || c == '}' || c == kEndOfInput) break;
    if (c >= 0x80 && utf8_) {
      // A letter of Latin-1 in two bytes is its own byte; anything else
      // goes through the general steps.
      if (c >= 0xC2 && c <= 0xC3 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
        const auto byte = static_cast<unsigned char>(((c & 0x1F) << 6) | (p[1] & 0x3F));
        if (byte >= 0xA0 && !stops1252_.Contains(byte)) {
          PutMain(m, byte);
          m.view += 1;
          p += 2;
          continue;
        }
      }
      break;
    }
    ++p;
    MainByte(c, m);
  }
  Store(m);
  return p;
}

void Reader::AppendRun(MainCursor& m, const unsigned char* p, size_t n) {
  m.view += static_cast<int32_t>(n);
  if (n > kChunk - m.length) {
    text_.append(chunk_, m.length);
    m.length = 0;
  }
  if (n >= kChunk) {
    text_.append(reinterpret_cast<const char*>(p), n);
  } else {
    std::memcpy(chunk_ + m.length, p, n);
    m.length += n;
  }
}

void Reader::PutMain(MainCursor& m, unsigned char c) { PutByte(m.length, c); }

void Reader::MainByte(unsigned char c, MainCursor& m) {
  // CR and zero are dropped; a line feed ends a paragraph, except in rich
  // text.
  if (c == '\r' || c == 0) return;
  if (c == '\n') {
    if (rtfMode_) return;
    PutMain(m, '\n');
    m.view += 2;
    return;
  }
  // A marker character.
  Store(m);
  Emit(c);
  m = MainCursor{chunkLen_, viewPosition_};
}

Reader::EscapeStep Reader::MainEscape(const unsigned char*& p, const unsigned char* end, MainCursor& m) {
  // CR and zero are dropped, and 0x1A ends the input, also inside an escape:
  // the general steps see to them.
  const auto general = [](unsigned char c) { return c == '\r' || c == 0 || c == kEndOfInput; };
  ++p;
  state_ = Lex::Backslash;
  nameLen_ = 0;
  if (p != end && *p == 'u') return UnicodeEscape(p, end, m) ? EscapeStep::Go : EscapeStep::Stop;
  if (p == end || *p != '\'') return EscapeStep::Stop;
  ++p;
  state_ = Lex::Hex;
  if (p == end || general(*p)) return EscapeStep::Stop;
  name_[0] = static_cast<char>(*p++);
  nameLen_ = 1;
  if (p == end || general(*p)) return EscapeStep::Stop;
  const unsigned char decoded = EscapedByte(static_cast<unsigned char>(name_[0]), *p++);
  state_ = Lex::Text;
  if (PlainEscaped(decoded)) {
    PutMain(m, decoded);
    m.view += 1;
    return EscapeStep::Go;
  }
  Store(m);
  TakeEscaped(decoded);
  if (state_ != Lex::Text || Pending() || !PlainMainText()) return EscapeStep::Leave;
  m = MainCursor{chunkLen_, viewPosition_};
  return EscapeStep::Go;
}

bool Reader::UnicodeEscape(const unsigned char*& p, const unsigned char* end, MainCursor& m) {
  // "\uN" with the fallback word processors write (nothing, one plain
  // character or one "\'hh"), when all of it is in this block; anything else
  // takes the general steps, from the "u" on.
  if (group_.uc > 1) return false;
  const unsigned char* q = p + 1;
  bool negative = false;
  if (q != end && *q == '-') {
    negative = true;
    ++q;
  }
  int32_t n = 0;
  int digits = 0;
  for (; q != end && IsDigit(*q) && digits < 6; ++q, ++digits) n = n * 10 + (*q - '0');
  if (digits == 0 || q == end || IsDigit(*q)) return false;
  // Bytes that the reader drops or treats apart (zero, CR, LF, the end of
  // input) after the number: the general steps decide where the word ends.
  if (*q == 0 || *q == '\r' || *q == '\n' || *q == kEndOfInput) return false;
  if (negative) n = n > 0 && n <= 32768 ? 65536 - n : -1;
  if (n <= 0 || n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF)) return false;
  if (*q == ' ') ++q;  // the word's delimiting blank
  if (group_.uc == 1) {
    if (q == end) return false;
    if (*q == '\\') {
      if (end - q < 4 || q[1] != '\'' || HexDigit(q[2]) < 0 || HexDigit(q[3]) < 0) return false;
      q += 4;
    } else {
      if (*q == '{' || *q == '}' || *q == '\r' || *q == '\n' || *q == 0 || *q == kEndOfInput) return false;
      ++q;
    }
  }
  p = q;
  state_ = Lex::Text;
  const int own = UnicodeToCp1252(static_cast<char32_t>(n));
  if (own > 0 && !stops1252_.Contains(static_cast<unsigned char>(own))) {
    PutMain(m, static_cast<unsigned char>(own));
    m.view += 1;
    return true;
  }
  Store(m);
  Character(static_cast<char32_t>(n));
  m = MainCursor{chunkLen_, viewPosition_};
  return true;
}

void Reader::Byte(unsigned char c) {
  // CR is dropped in every state, and so is a zero byte.
  if (c == '\r' || c == 0) return;
  // Line ends of the file between "\*" and the control word after it change
  // nothing: a writer may break its lines there ("{\*" LF "\footnote ...}").
  // Only raw bytes come here; an escaped line feed still ends the wait.
  if (c == '\n' && starPending_ && state_ == Lex::Text) return;
  if (ucSkip_ > 0 && SkipFallback(c)) return;
  if (utf8_ && (utf8Need_ > 0 || (c >= 0x80 && state_ == Lex::Text))) {
    Utf8Byte(c);
    return;
  }

  switch (state_) {
    case Lex::Hex: {
      name_[nameLen_++] = static_cast<char>(c);
      if (nameLen_ < 2) return;
      state_ = Lex::Text;
      // Not hexadecimal, or a zero that would cut the text short: dropped.
      TakeEscaped(EscapedByte(static_cast<unsigned char>(name_[0]), static_cast<unsigned char>(name_[1])));
      return;
    }
    case Lex::Decimal:
      if (c != '>') {
        if (nameLen_ < kBufferChars) name_[nameLen_++] = static_cast<char>(c);
        return;
      }
      state_ = Lex::Text;
      c = DecimalValue();
      if (c == 0) return;
      break;
    case Lex::Word:
      if (IsLetter(c)) {
        if (nameLen_ < kBufferChars) name_[nameLen_++] = static_cast<char>(c);
        return;
      }
      state_ = Lex::Parameter;
      parameterLen_ = 0;
      [[fallthrough]];
    case Lex::Parameter: {
      if (IsDigit(c) || (c == '-' && parameterLen_ == 0)) {
        if (parameterLen_ < kBufferChars) parameter_[parameterLen_++] = static_cast<char>(c);
        return;
      }
      bool swallow = true;
      Execute(&swallow);
      state_ = (swallow && c == ' ') ? Lex::SwallowBlank : Lex::Text;
      // The character that ended "\uN" may be the first of its fallback.
      if (ucSkip_ > 0 && state_ == Lex::Text && SkipFallback(c)) return;
      break;
    }
    default:
      break;
  }
  AfterEscapes(c);
}

const unsigned char* Reader::Run(const unsigned char* p, const unsigned char* end) {
  const unsigned char* q = p;
  if (skipping_) {
    q = FindStop(quiet_ ? quietStop_ : skipped_, q, end);
  } else if (inPicture_) {
    q = FindStop(special_, q, end);
    pictureData_.append(reinterpret_cast<const char*>(p), static_cast<size_t>(q - p));
  } else if (inFootnote_) {
    q = FindStop(special_, q, end);
    footnoteText_.append(reinterpret_cast<const char*>(p), static_cast<size_t>(q - p));
  } else if (pageCount_ > 0) {
    q = MainText(p, end);
  }
  return q;
}

void Reader::AfterEscapes(unsigned char c) {
  // After "\*": only a backslash and a lower-case letter can still name a
  // destination; anything else makes the group a skipped one.
  if (starPending_ && !(state_ == Lex::Text && c == '\\') &&
      !(state_ == Lex::Backslash && c >= 'a' && c <= 'z')) {
    starPending_ = false;
    SetSkip();
    state_ = Lex::Text;
  }

  if (state_ != Lex::Backslash) {
    if (c == '{') {
      groupStack_.push_back(group_);
      return;
    }
    if (c == '}') {
      CloseGroup();
      return;
    }
  }

  if (skipping_ && !quiet_) return;

  if (state_ != Lex::Backslash && c == '\\') {
    state_ = Lex::Backslash;
    nameLen_ = 0;
    return;
  }

  if (state_ == Lex::Backslash && !ControlSymbol(c)) return;

  if (state_ == Lex::SwallowBlank) {
    state_ = Lex::Text;
    return;
  }

  if (c == '\n' && rtfMode_) return;
  if (state_ != Lex::Text) return;
  if (skipping_) {
    // A list label ends with its first tab.
    if (c == '\t' && group_.label && !labelDone_) {
      labelDone_ = true;
      UpdateSkipping();
    }
    return;
  }
  if (leadWaiting_) {
    // The second byte of a double-byte character, written as it stands.
    leadWaiting_ = false;
    if (!inPicture_) {
      Character(decoder_ != nullptr ? decoder_->Decode(c) : char32_t{0xFFFD});
      return;
    }
  }
  if (pendingHigh_ != 0) FlushSurrogate();
  Emit(c);
}

bool Reader::ControlSymbol(unsigned char& c) {
  if (c >= 'a' && c <= 'z') {
    name_[0] = static_cast<char>(c);
    nameLen_ = 1;
    state_ = Lex::Word;
    return false;
  }
  state_ = Lex::Text;
  switch (c) {
    case '\'':
      state_ = Lex::Hex;
      return false;
    case '*':
      starPending_ = true;
      return false;
    case '<':
      state_ = Lex::Decimal;
      return false;
    case '_':
      c = '-';
      break;
    case '~':
      c = ' ';
      break;
    case '-':
      c = kSoftHyphen;  // the optional hyphen
      break;
    default:
      break;
  }
  return true;
}

void Reader::TakeEscaped(unsigned char decoded) {
  if (decoded == 0) return;  // dropped
  if (PlainEscaped(decoded) && PlainMainText()) {
    Put(static_cast<char>(decoded));
    viewPosition_ += 1;
    return;
  }
  if (decoder_ != nullptr && decoded >= 0x80 && state_ == Lex::Text && !skipping_ && !inPicture_) {
    const char32_t c = decoder_->Decode(decoded);
    leadWaiting_ = decoder_->Waiting();
    if (c != 0) Character(c);
    return;
  }
  // A decoded byte with a meaning of its own takes the general steps.
  AfterEscapes(decoded);
}

void Reader::Character(char32_t c) {
  if (skipping_ || inPicture_ || c == 0) return;
  if (pendingHigh_ != 0) FlushSurrogate();
  if (c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF)) {
    const int own = UnicodeToCp1252(c);
    if (own > 0) {
      Emit(static_cast<unsigned char>(own));  // a marker typed as Unicode stays a marker
      return;
    }
    if (IsCombiningMark(c) && AttachMark(c)) return;
  } else {
    c = 0xFFFD;
  }
  const std::u32string original(1, c);
  const CharMapping m = policy_.Map(original);
  const bool note = inFootnote_;
  const auto offset = static_cast<int32_t>(note ? footnoteText_.size() : text_.size() + chunkLen_);
  Record(m.kind, original, offset, note ? static_cast<int32_t>(doc_.notes.size()) : -1);
  if (m.byte != 0) Emit(m.byte);
}

bool Reader::AttachMark(char32_t mark) {
  // The character before the mark: the last byte of the note or main text,
  // unless it is a line end, a tab or a marker.
  char* last = nullptr;
  int32_t offset = 0;
  int32_t note = -1;
  if (inFootnote_) {
    if (footnoteText_.empty()) return false;
    last = &footnoteText_.back();
    offset = static_cast<int32_t>(footnoteText_.size() - 1);
    note = static_cast<int32_t>(doc_.notes.size());
  } else {
    const size_t size = text_.size() + chunkLen_;
    if (size <= startSize_) return false;
    last = chunkLen_ > 0 ? &chunk_[chunkLen_ - 1] : &text_.back();
    offset = static_cast<int32_t>(size - 1);
  }
  const auto base = static_cast<unsigned char>(*last);
  if (base < 0x20 || base == rules_.GlyphMarker || base == rules_.PageMarker || base == rules_.VersoMarker ||
      base == rules_.RectoMarker || base == '=' || base == rules_.NoteAnchor) {
    return false;
  }
  ReplacedChar* record = nullptr;
  if (!doc_.replaced.empty() && doc_.replaced.back().offset == offset && doc_.replaced.back().note == note &&
      doc_.replaced.back().kind != ReplaceKind::Dropped) {
    record = &doc_.replaced.back();
  }
  std::u32string cluster = record ? record->original : std::u32string(1, Cp1252ToUnicode(base));
  cluster.push_back(mark);
  cluster = NormalizeNfc(cluster);
  const CharMapping m = policy_.Map(cluster);
  if (m.byte == 0) return false;
  *last = static_cast<char>(m.byte);
  if (!m.replaced) {
    if (record) doc_.replaced.pop_back();  // composed to a character of the code page
  } else if (record) {
    record->original = cluster;
    record->kind = m.kind;
  } else {
    Record(m.kind, cluster, offset, note);
  }
  return true;
}

void Reader::Record(ReplaceKind kind, std::u32string original, int32_t offset, int32_t note) {
  doc_.replaced.push_back(ReplacedChar{offset, note, std::move(original), kind});
}

void Reader::UnicodeWord() {
  if (parameterLen_ == 0) return;
  int32_t n = ParameterValue();
  if (n < 0 && n >= -32768) n += 65536;
  ucSkip_ = group_.uc;
  const char32_t c = n < 0 ? char32_t{0xFFFD} : static_cast<char32_t>(n);
  if (c >= 0xD800 && c <= 0xDBFF) {
    if (pendingHigh_ != 0) FlushSurrogate();
    pendingHigh_ = c;
    return;
  }
  if (c >= 0xDC00 && c <= 0xDFFF && pendingHigh_ != 0) {
    const char32_t high = pendingHigh_;
    pendingHigh_ = 0;
    Character(0x10000 + ((high - 0xD800) << 10) + (c - 0xDC00));
    return;
  }
  Character(c);  // a lone low surrogate or a value past U+10FFFF becomes U+FFFD there
}

void Reader::FlushSurrogate() {
  pendingHigh_ = 0;
  Character(0xFFFD);
}

bool Reader::SkipFallback(unsigned char c) {
  // The fallback of "\uN": a character, an escape or a control word counts
  // one; line ends and the blank ending a word do not; a brace ends it.
  // Nothing in it is executed.
  switch (state_) {
    case Lex::Text:
      if (c == '{' || c == '}') {
        ucSkip_ = 0;
        return false;
      }
      if (c == '\n') return true;
      if (c == '\\') {
        state_ = Lex::Backslash;
        nameLen_ = 0;
        return true;
      }
      --ucSkip_;
      return true;
    case Lex::Backslash:
      if (c >= 'a' && c <= 'z') {
        state_ = Lex::Word;
        return true;
      }
      if (c == '\'') {
        state_ = Lex::Hex;
        nameLen_ = 0;
        return true;
      }
      if (c == '<') {
        state_ = Lex::Decimal;
        return true;
      }
      state_ = Lex::Text;
      --ucSkip_;
      return true;
    case Lex::Hex:
      if (++nameLen_ < 2) return true;
      state_ = Lex::Text;
      --ucSkip_;
      return true;
    case Lex::Decimal:
      if (c == '>') {
        state_ = Lex::Text;
        --ucSkip_;
      }
      return true;
    case Lex::Word:
      if (IsLetter(c)) return true;
      state_ = Lex::Parameter;
      parameterLen_ = 0;
      [[fallthrough]];
    case Lex::Parameter:
      if (IsDigit(c) || (c == '-' && parameterLen_++ == 0)) {
        if (c != '-') parameterLen_ = 1;
        return true;
      }
      state_ = Lex::Text;
      --ucSkip_;
      if (c == ' ') return true;
      return ucSkip_ > 0 ? SkipFallback(c) : false;
    case Lex::SwallowBlank:
      state_ = Lex::Text;
      if (c == ' ') return true;
      return SkipFallback(c);
  }
  return false;
}

void Reader::SetStops() {
  special_ = MakeStopSet({0, '\r', '\n', '{', '}', '\\', kEndOfInput});
  specialMain_ = MakeStopSet({0, '\r', '\n', '{', '}', '\\', kEndOfInput, rules_.GlyphMarker,
                              rules_.PageMarker, rules_.VersoMarker, rules_.RectoMarker, '='});
  stops1252_ = specialMain_;
  if (!utf8_) return;
  // Every byte of a multi-byte sequence stops the runs.
  for (int b = 0x80; b < 0x100; ++b) {
    special_.Add(static_cast<unsigned char>(b));
    specialMain_.Add(static_cast<unsigned char>(b));
  }
}

void Reader::Utf8Byte(unsigned char c) {
  const auto invalid = [this]() {
    if (!bom_) {
      // Read as UTF-8 on trust: it is not, the caller reads it again as
      // 1252.
      utf8Have_ = utf8Need_ = 0;
      notUtf8_ = true;
      return;
    }
    // After a byte-order mark: the rest is code page 1252, the bytes
    // already taken included.
    doc_.invalidUtf8 = true;
    utf8_ = false;
    SetStops();
    const int have = utf8Have_;
    utf8Have_ = utf8Need_ = 0;
    for (int i = 0; i < have; ++i) Byte(utf8Bytes_[i]);
  };
  if (utf8Need_ == 0) {
    int need = 0;
    if (c >= 0xC2 && c <= 0xDF) need = 1;
    else if (c >= 0xE0 && c <= 0xEF) need = 2;
    else if (c >= 0xF0 && c <= 0xF4) need = 3;
    utf8Bytes_[0] = c;
    utf8Have_ = 1;
    if (need == 0) {
      invalid();
      return;
    }
    utf8Need_ = need;
    return;
  }
  if ((c & 0xC0) != 0x80) {
    invalid();
    if (!notUtf8_) Byte(c);  // taken again, as 1252
    return;
  }
  utf8Bytes_[utf8Have_++] = c;
  if (--utf8Need_ > 0) return;
  std::u32string decoded;
  const bool valid = DecodeUtf8(std::string_view(reinterpret_cast<const char*>(utf8Bytes_), utf8Have_), decoded);
  if (!valid) {
    invalid();
    return;
  }
  utf8Have_ = 0;
  Character(decoded[0]);
}

void Reader::UpdateSkipping() {
  const bool quiet =
      group_.fontTable || group_.hidden || group_.deleted || (group_.label && !labelDone_);
  skipping_ = group_.skip || quiet;
  quiet_ = !group_.skip && quiet;
}

void Reader::SelectDecoder() {
  const int32_t codePage = group_.codePage != 0 ? group_.codePage : ansiCodePage_;
  leadWaiting_ = false;
  if (codePage == 1252) {
    decoder_ = nullptr;
    return;
  }
  std::unique_ptr<CodePageDecoder>& decoder = decoders_[codePage];
  if (!decoder) {
    decoder = std::make_unique<CodePageDecoder>();
    if (!decoder->Select(codePage)) decoder.reset();
  }
  decoder_ = decoder.get();
}

bool Reader::QuietWord(WordAction action) {
  switch (action) {
    case WordAction::Font:
    case WordAction::FontCharset:
    case WordAction::Hidden:
    case WordAction::Deleted:
    case WordAction::Plain:
    case WordAction::FallbackCount:
    case WordAction::Unicode:
    case WordAction::CodePage:
      return true;
    case WordAction::Tab:
      return group_.label && !labelDone_;
    default:
      return false;
  }
}

void Reader::CloseGroup() {
  if (groupStack_.empty()) return;  // a stray closing brace
  const int32_t codePage = group_.codePage;
  group_ = groupStack_.back();
  groupStack_.pop_back();
  UpdateSkipping();
  if (group_.codePage != codePage) SelectDecoder();
  if (inFootnote_ && !group_.footnote) FinishFootnote();
  if (inPicture_ && !group_.picture) FinishPicture();
}

void Reader::Emit(unsigned char c) {
  if (inPicture_) {
    pictureData_.push_back(static_cast<char>(c));
    return;
  }
  if (inFootnote_) {
    footnoteText_.push_back(static_cast<char>(c));
    return;
  }
  if (c == '\n') {
    ParagraphEnd(true);
    return;
  }
  if (c == rules_.GlyphMarker) {
    AddMark(kGlyphMark, ++glyphCount_, -1);
  } else if (c == rules_.PageMarker) {
    AddMark(kPageMark, ++pageCount_, 0);
  } else if (c == rules_.VersoMarker) {
    if (!rectoPending_) ++folioCount_;
    rectoPending_ = false;
    AddMark(kFolioMark, folioCount_, 1);
  } else if (c == '=' || c == rules_.RectoMarker) {
    rectoPending_ = true;
    AddMark(kFolioMark, ++folioCount_, 0);
  }
  if (pageCount_ == 0) {
    AddMark(kPageMark, ++pageCount_, 0);
  }
  Put(static_cast<char>(c));
  // A CR can only come from an escape here; it is a line break of the text.
  viewPosition_ += c == '\r' ? 2 : 1;
}

void Reader::ParagraphEnd(bool paragraph) {
  if (pendingHigh_ != 0) FlushSurrogate();
  if (inFootnote_) {
    footnoteText_.push_back('\n');
    return;
  }
  Put(paragraph ? '\n' : '\r');
  viewPosition_ += 2;
}

void Reader::ControlChar(unsigned char c) {
  if (pendingHigh_ != 0) FlushSurrogate();
  if (inPicture_) return;
  if (inFootnote_) {
    footnoteText_.push_back(static_cast<char>(c));
    return;
  }
  Put(static_cast<char>(c));
  viewPosition_ += 1;
}

int32_t Reader::ParameterValue() const {
  size_t i = 0;
  bool negative = false;
  if (i < parameterLen_ && parameter_[i] == '-') {
    negative = true;
    ++i;
  }
  int64_t value = 0;
  for (; i < parameterLen_; ++i) {
    value = value * 10 + (parameter_[i] - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

unsigned char Reader::DecimalValue() const {
  // The low 8 bits of the number written between "\<" and ">": leading
  // blanks, an optional sign, then digits up to the first other character.
  size_t i = 0;
  while (i < nameLen_ && (name_[i] == ' ' || (name_[i] >= '\t' && name_[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < nameLen_ && (name_[i] == '-' || name_[i] == '+')) negative = name_[i++] == '-';
  unsigned value = 0;
  for (; i < nameLen_ && IsDigit(static_cast<unsigned char>(name_[i])); ++i) {
    value = (value * 10 + static_cast<unsigned>(name_[i] - '0')) & 0xFFu;
  }
  if (negative) value = (0x100u - value) & 0xFFu;
  return static_cast<unsigned char>(value);
}

void Reader::Execute(bool* swallow) {
  if (starPending_) {
    starPending_ = false;
    if (quiet_ || (!NameIs("footnote") && !NameIs("pict") && !NameIs("fldrslt") && !NameIs("shppict"))) {
      // Not a destination the reader knows: the group is skipped, and the
      // word with it.
      SetSkip();
      *swallow = false;
      return;
    }
  }
  if (nameLen_ > kLongestWord) return;
  const WordRange range = kWordsByLength[nameLen_];
  for (size_t k = range.first; k < size_t{range.first} + range.count; ++k) {
    if (NameIs(kWords[k].first)) {
      if (quiet_ && !QuietWord(kWords[k].second)) return;
      Do(kWords[k].second);
      return;
    }
  }
}

void Reader::Do(WordAction action) {
  switch (action) {
    case WordAction::RichText: rtfMode_ = true; break;
    case WordAction::Paragraph: ParagraphEnd(true); break;
    case WordAction::LineBreak: ParagraphEnd(false); break;
    case WordAction::Tab:
      if (group_.label && !labelDone_) {
        labelDone_ = true;
        UpdateSkipping();
      } else {
        ControlChar('\t');
      }
      break;
    case WordAction::Picture: BeginPicture(); break;
    case WordAction::Footnote: BeginFootnote(); break;
    case WordAction::SkipGroup: SetSkip(); break;
    case WordAction::PictureWidth: picture_.width = ParameterValue(); break;
    case WordAction::PictureHeight: picture_.height = ParameterValue(); break;
    case WordAction::GoalWidth: picture_.goalWidth = ParameterValue(); break;
    case WordAction::GoalHeight: picture_.goalHeight = ParameterValue(); break;
    case WordAction::MappingMode: picture_.mappingMode = ParameterValue(); break;
    case WordAction::NotMetafile: picture_.mappingMode = -1; break;
    case WordAction::Png:
      picture_.mappingMode = -1;
      pictureFormat_ = PictureFormat::Png;
      break;
    case WordAction::Jpeg:
      picture_.mappingMode = -1;
      pictureFormat_ = PictureFormat::Jpeg;
      break;
    case WordAction::Unicode: UnicodeWord(); break;
    case WordAction::FallbackCount: group_.uc = std::max(0, ParameterValue()); break;
    case WordAction::CodePage: {
      const int32_t codePage = ParameterValue();
      CodePageDecoder probe;
      if (probe.Select(codePage)) {
        ansiCodePage_ = codePage;
      } else {
        ansiCodePage_ = 1252;
        doc_.unknownCodePage = codePage == 0 ? -1 : codePage;
      }
      SelectDecoder();
      break;
    }
    case WordAction::Font:
      if (group_.fontTable) {
        fontDefined_ = ParameterValue();
      } else {
        const auto it = fontCodePages_.find(ParameterValue());
        group_.codePage = it == fontCodePages_.end() ? 0 : it->second;
        SelectDecoder();
      }
      break;
    case WordAction::FontCharset:
      // An ANSI or default charset leaves the document's code page.
      if (group_.fontTable && fontDefined_ >= 0) {
        const int32_t charset = ParameterValue();
        fontCodePages_[fontDefined_] = charset <= 1 ? 0 : CodePageOfCharset(charset);
      }
      break;
    case WordAction::FontTable: group_.fontTable = true; UpdateSkipping(); break;
    case WordAction::Hidden: group_.hidden = parameterLen_ == 0 || ParameterValue() != 0; UpdateSkipping(); break;
    case WordAction::Deleted: group_.deleted = parameterLen_ == 0 || ParameterValue() != 0; UpdateSkipping(); break;
    case WordAction::Plain: group_.hidden = group_.deleted = false; UpdateSkipping(); break;
    case WordAction::ListLabel:
      group_.label = true;
      labelDone_ = false;
      UpdateSkipping();
      break;
    case WordAction::LeftQuote: Character(0x2018); break;
    case WordAction::RightQuote: Character(0x2019); break;
    case WordAction::LeftDoubleQuote: Character(0x201C); break;
    case WordAction::RightDoubleQuote: Character(0x201D); break;
    case WordAction::EnDash: Character(0x2013); break;
    case WordAction::EmDash: Character(0x2014); break;
    case WordAction::Bullet: Character(0x2022); break;
    case WordAction::Space: Character(' '); break;
  }
}

void Reader::BeginPicture() {
  inPicture_ = true;
  group_.picture = true;
  pictureData_.clear();
  picture_.goalWidth = 0;
  picture_.goalHeight = 0;
  pictureFormat_ = PictureFormat::Metafile;
}

void Reader::BeginFootnote() {
  // A footnote word inside a footnote being read is ignored: its text stays
  // in the footnote already open, which keeps one note per anchor.
  if (inFootnote_) return;
  footnoteText_.clear();
  inFootnote_ = true;
  group_.footnote = true;
  Put(static_cast<char>(rules_.NoteAnchor));
  viewPosition_ += 1;
}

void Reader::FinishFootnote() {
  doc_.notes.push_back(Note{footnoteText_, pageCount_});
  footnoteText_.clear();
  inFootnote_ = false;
}

void Reader::FinishPicture() {
  // A picture directly after the character of the last mark belongs to that
  // mark, whatever its kind (the automatic page 1 included); otherwise it
  // gets a glyph of its own.
  size_t target = SIZE_MAX;
  if (!doc_.marks.empty() && doc_.marks.back().position == viewPosition_ - 1) {
    target = doc_.marks.size() - 1;
  }
  if (target == SIZE_MAX) {
    AddMark(kGlyphMark, ++glyphCount_, -1);
    viewPosition_ += 1;
    Put(static_cast<char>(rules_.GlyphMarker));
    target = doc_.marks.size() - 1;
  }
  if (pictureFormat_ != PictureFormat::Metafile) {
    // A PNG or JPEG image; cut short or malformed, it leaves the mark
    // without a picture.
    doc_.marks[target].picture = ParseImage(DecodePictureData(pictureData_), pictureFormat_, picture_);
  } else if (picture_.mappingMode != -1) {
    doc_.marks[target].picture = ParseMetafile(DecodePictureData(pictureData_), picture_);
  }
  pictureData_.clear();
  inPicture_ = false;
}

void Reader::Finish() {
  // The group stack is discarded: a footnote or picture whose group never
  // closed is dropped, and the final paragraph end goes to the main text.
  inFootnote_ = false;
  footnoteText_.clear();
  inPicture_ = false;
  pictureData_.clear();
  skipping_ = quiet_ = false;
  if (utf8Need_ > 0) Utf8Byte(0);  // a sequence cut short by the end of the file
  if (pendingHigh_ != 0) FlushSurrogate();
  // Characters of a note that never ended went with it.
  const auto notes = static_cast<int32_t>(doc_.notes.size());
  std::erase_if(doc_.replaced, [notes](const ReplacedChar& r) { return r.note >= notes; });
  std::stable_sort(doc_.replaced.begin(), doc_.replaced.end(), [](const ReplacedChar& a, const ReplacedChar& b) {
    return a.note != b.note ? a.note < b.note : a.offset < b.offset;
  });
  if (text_.size() + chunkLen_ > startSize_) ParagraphEnd(true);
  Put('\0');
  FlushChunk();
  groupStack_.clear();
}

// How a file's first bytes say it is to be read.
enum class Start { RichText, Utf8Bom, Utf16Le, Utf16Be, Plain };

// A file that is neither ".rtf" nor ".txt" and begins (after blanks or a
// UTF-8 byte-order mark) with "<?xml" or "<TEI".
bool LooksLikeXml(const std::string& path) {
  std::string_view name(path);
  const size_t dot = name.rfind('.');
  std::string ext(dot == std::string_view::npos ? std::string_view() : name.substr(dot));
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (ext == ".rtf" || ext == ".txt") return false;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  char head[64];
  const size_t n = std::fread(head, 1, sizeof head, file.get());
  std::string_view h(head, n);
  if (h.substr(0, 3) == "\xEF\xBB\xBF") h.remove_prefix(3);
  while (!h.empty() && (h[0] == ' ' || h[0] == '\t' || h[0] == '\r' || h[0] == '\n')) h.remove_prefix(1);
  return h.substr(0, 5) == "<?xml" || h.substr(0, 4) == "<TEI";
}


Start StartOf(std::string_view head) {
  if (head.starts_with("{\\rtf")) return Start::RichText;
  if (head.starts_with("\xEF\xBB\xBF")) return Start::Utf8Bom;
  if (head.starts_with("\xFF\xFE")) return Start::Utf16Le;
  if (head.starts_with("\xFE\xFF")) return Start::Utf16Be;
  return Start::Plain;
}

// The length of the byte-order mark a start has.
size_t MarkLength(Start start) {
  return start == Start::Utf8Bom ? 3 : (start == Start::Utf16Le || start == Start::Utf16Be) ? 2 : 0;
}

// Undoes a reading that stopped, back to a text of `textSize` bytes.
void ResetReading(Document& document, size_t textSize) {
  document.text.resize(textSize);
  document.marks.clear();
  document.notes.clear();
  document.replaced.clear();
  document.unknownCodePage = 0;
  document.invalidUtf8 = false;
}

void ReadPieces(Reader& reader, std::string_view bytes, size_t pieceSize) {
  for (size_t at = 0; at < bytes.size(); at += pieceSize) {
    if (!reader.Feed(bytes.data() + at, std::min(pieceSize, bytes.size() - at))) break;
  }
  reader.Finish();
}

void ReadWhole(const RuleSet& rules, const CharPolicy& policy, std::string_view bytes, size_t pieceSize,
               Document& document) {
  const Start start = StartOf(bytes);
  bytes.remove_prefix(MarkLength(start));
  if (start == Start::Utf16Le || start == Start::Utf16Be) {
    const std::string utf8 = Utf16ToUtf8(bytes, start == Start::Utf16Be);
    Reader reader(rules, policy, document, true, false);
    ReadPieces(reader, utf8, pieceSize);
    return;
  }
  // A plain text is read as UTF-8 until it proves not to be, then again as
  // 1252 (a text of ASCII alone reads the same either way).
  const size_t textSize = document.text.size();
  {
    Reader reader(rules, policy, document, start != Start::RichText, start == Start::Utf8Bom);
    ReadPieces(reader, bytes, pieceSize);
    if (!reader.NotUtf8()) return;
  }
  ResetReading(document, textSize);
  Reader reader(rules, policy, document);
  ReadPieces(reader, bytes, pieceSize);
}

const CharPolicy& ShippedPolicy() {
  static const CharPolicy policy;
  return policy;
}

}  // namespace

void ReadDocument(const RuleSet& rules, std::string_view bytes, Document& document) {
  ReadDocument(rules, ShippedPolicy(), bytes, document);
}

void ReadDocument(const RuleSet& rules, const CharPolicy& policy, std::string_view bytes, Document& document) {
  document.text.reserve(document.text.size() + bytes.size() + 2);
  ReadWhole(rules, policy, bytes, bytes.empty() ? 1 : bytes.size(), document);
}

void ReadDocumentInPieces(const RuleSet& rules, std::string_view bytes, size_t pieceSize,
                          Document& document) {
  ReadWhole(rules, ShippedPolicy(), bytes, pieceSize == 0 ? 1 : pieceSize, document);
}

bool OpenDocument(const Context& context, Document& document, const std::string& path,
                  std::string* errorMessage) {
  document.path = path;
  // A folder is read as PAGE or ALTO pages, an XML file by the XML reader.
  std::error_code error;
  bool folder = std::filesystem::is_directory(path, error);
  if (folder || IsXmlPath(path) || LooksLikeXml(path)) {
    XmlReadOptions options;
    if (context.XmlNormalised) options.layer = XmlLayer::Normalised;
    return OpenXmlDocument(context, document, path, options, errorMessage);
  }
  // What only XML documents have does not outlive them in a reused model.
  document.pages.clear();
  document.glyphImages.clear();
  document.warnings.clear();
  document.information.clear();
  // Closed however the reading ends (the reader may throw when memory runs out).
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(folder ? nullptr : std::fopen(path.c_str(), "rb"),
                                                              &std::fclose);
  if (!file) {
    if (errorMessage) *errorMessage = context.Tr(msg::kFileNotFound) + "\n" + path;
    return false;
  }
  if (FileLooksBinary(file.get())) {
    if (errorMessage) *errorMessage = context.Tr(msg::kNotADocument) + "\n" + path;
    return false;
  }
  // The text never holds more bytes than the file, plus the final paragraph
  // end and zero: one allocation, and pages never written stay untouched.
  uintmax_t size = std::filesystem::file_size(path, error);
  if (error) size = 0;
  if (size > 0 && size < static_cast<uintmax_t>(INT32_MAX)) {
    document.text.reserve(document.text.size() + static_cast<size_t>(size) + 2);
    // A large text is written once from start to end: huge pages take a
    // fraction of the page faults.
    AdviseHugePages(document.text.data(), document.text.capacity());
  }
  // The first bytes say how the file is read; a plain text is checked whole
  // for UTF-8 first.
  char head[5];
  const size_t headSize = std::fread(head, 1, sizeof head, file.get());
  const Start start = StartOf(std::string_view(head, headSize));
  if (start == Start::Utf16Le || start == Start::Utf16Be) {
    std::string bytes;
    FeedFile(file.get(), size, [&bytes](const char* data, size_t n) {
      bytes.append(data, n);
      return true;
    });
    std::string all = std::string(head, headSize) + bytes;
    ReadWhole(context.Rules, context.Characters, all, all.size() + 1, document);
    return true;
  }
  // A plain text is read as UTF-8 until it proves not to be, then again as
  // 1252.
  const size_t textSize = document.text.size();
  for (const bool utf8 : {start != Start::RichText, false}) {
    std::fseek(file.get(), static_cast<long>(MarkLength(start)), SEEK_SET);
    Reader reader(context.Rules, context.Characters, document, utf8, start == Start::Utf8Bom);
    FeedFile(file.get(), size, [&reader](const char* data, size_t n) { return reader.Feed(data, n); });
    reader.Finish();
    if (!reader.NotUtf8()) break;
    ResetReading(document, textSize);
  }
  return true;
}

std::string FileMessageUtf8(const std::string& message) {
  const size_t lineEnd = message.find('\n');
  if (lineEnd == std::string::npos) return Cp1252ToUtf8(message);
  return Cp1252ToUtf8(message.substr(0, lineEnd + 1)) + message.substr(lineEnd + 1);
}

void CloseDocument(Document& document) { ClearDocument(document); }

bool LoadScratchDocument(const Context& context, Document& scratch, const std::string& path,
                         std::string* errorMessage) {
  CloseDocument(scratch);
  return OpenDocument(context, scratch, path, errorMessage);
}

}  // namespace kalix
