#include "document/Reader.h"

#include "document/XmlReader.h"

#include "i18n/Messages.h"
#include "platform/ByteSet.h"
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
  RichText, Paragraph, LineBreak, Tab, Dash, Picture, Footnote, SkipGroup,
  PictureWidth, PictureHeight, GoalWidth, GoalHeight, MappingMode, NotMetafile
};

// The control words the reader knows, shortest first.
constexpr std::pair<std::string_view, WordAction> kWords[] = {
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
    {"endash", WordAction::Dash},
    {"header", WordAction::SkipGroup},
    {"footer", WordAction::SkipGroup},
    {"footerf", WordAction::SkipGroup},
    {"fonttbl", WordAction::SkipGroup},
    {"headerf", WordAction::SkipGroup},
    {"headerl", WordAction::SkipGroup},
    {"headerr", WordAction::SkipGroup},
    {"footerl", WordAction::SkipGroup},
    {"footerr", WordAction::SkipGroup},
    {"emfblip", WordAction::NotMetafile},
    {"pngblip", WordAction::NotMetafile},
    {"shppict", WordAction::NotMetafile},
    {"macpict", WordAction::NotMetafile},
    {"wbitmap", WordAction::NotMetafile},
    {"footnote", WordAction::Footnote},
    {"colortbl", WordAction::SkipGroup},
    {"picwgoal", WordAction::GoalWidth},
    {"pichgoal", WordAction::GoalHeight},
    {"jpegblip", WordAction::NotMetafile},
    {"dibitmap", WordAction::NotMetafile},
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
  Reader(const RuleSet& rules, Document& document)
      : rules_(rules), doc_(document), text_(document.text), startSize_(document.text.size()) {
    special_ = MakeStopSet({0, '\r', '\n', '{', '}', '\\', kEndOfInput});
    specialMain_ = MakeStopSet({0, '\r', '\n', '{', '}', '\\', kEndOfInput, rules.GlyphMarker,
                                rules.PageMarker, rules.VersoMarker, rules.RectoMarker, '='});
    skipped_ = MakeStopSet({'{', '}', kEndOfInput});
  }

  // Processes a block of raw bytes; false once the input has ended.
  bool Feed(const char* data, size_t size);
  void Finish();

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
  bool PlainMainText() const { return !inPicture_ && !inFootnote_ && pageCount_ > 0; }
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
    skipping_ = true;
    group_.skip = true;
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
  void Put(char c) {
    if (chunkLen_ == sizeof chunk_) FlushChunk();
    chunk_[chunkLen_++] = c;
  }
  void FlushChunk() {
    text_.append(chunk_, chunkLen_);
    chunkLen_ = 0;
  }

  const RuleSet& rules_;
  Document& doc_;
  std::string& text_;
  const size_t startSize_;
  ByteSet special_;      // bytes the footnote and picture runs stop at
  ByteSet specialMain_;  // bytes the main-text runs stop at
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
    if (state_ == Lex::Text && !starPending_) {
      p = Run(p, end);
      if (p == end) break;
    } else if (state_ == Lex::SwallowBlank && skipping_) {
      p = FindStop(skipped_, p, end);
      if (p == end) break;
    }
    unsigned char c = *p++;
    if (c == kEndOfInput) return false;
    // The common "\'hh" escape of the main text, step by step as Byte()
    // would take it, without its general tests.
    if (!starPending_ && c != '\r' && c != 0) {
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
        const unsigned char decoded = EscapedByte(static_cast<unsigned char>(name_[0]), c);
        if (decoded == 0) continue;  // dropped
        if (!specialMain_.Contains(decoded) && PlainMainText()) {
          Put(static_cast<char>(decoded));
          viewPosition_ += 1;
        } else {
          AfterEscapes(decoded);
        }
        continue;
      }
    }
    Byte(c);
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

void Reader::PutMain(MainCursor& m, unsigned char c) {
  if (m.length == kChunk) {
    text_.append(chunk_, m.length);
    m.length = 0;
  }
  chunk_[m.length++] = static_cast<char>(c);
}

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
  if (p == end || *p != '\'') return EscapeStep::Stop;
  ++p;
  state_ = Lex::Hex;
  if (p == end || general(*p)) return EscapeStep::Stop;
  name_[0] = static_cast<char>(*p++);
  nameLen_ = 1;
  if (p == end || general(*p)) return EscapeStep::Stop;
  const unsigned char decoded = EscapedByte(static_cast<unsigned char>(name_[0]), *p++);
  state_ = Lex::Text;
  if (decoded == 0) return EscapeStep::Go;  // dropped
  if (!specialMain_.Contains(decoded)) {
    PutMain(m, decoded);
    m.view += 1;
    return EscapeStep::Go;
  }
  // A decoded byte with a meaning of its own takes the general steps.
  Store(m);
  AfterEscapes(decoded);
  if (state_ != Lex::Text || starPending_ || skipping_ || !PlainMainText()) return EscapeStep::Leave;
  m = MainCursor{chunkLen_, viewPosition_};
  return EscapeStep::Go;
}

void Reader::Byte(unsigned char c) {
  // CR is dropped in every state, and so is a zero byte.
  if (c == '\r' || c == 0) return;
  // Line ends of the file between "\*" and the control word after it change
  // nothing: a writer may break its lines there ("{\*" LF "\footnote ...}").
  // Only raw bytes come here; an escaped line feed still ends the wait.
  if (c == '\n' && starPending_ && state_ == Lex::Text) return;

  switch (state_) {
    case Lex::Hex: {
      name_[nameLen_++] = static_cast<char>(c);
      if (nameLen_ < 2) return;
      state_ = Lex::Text;
      c = EscapedByte(static_cast<unsigned char>(name_[0]), static_cast<unsigned char>(name_[1]));
      if (c == 0) return;  // not hexadecimal, or a zero that would cut the text short: dropped
      break;
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
    q = FindStop(skipped_, q, end);
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

  if (skipping_) return;

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

void Reader::CloseGroup() {
  if (groupStack_.empty()) return;  // a stray closing brace
  group_ = groupStack_.back();
  groupStack_.pop_back();
  skipping_ = group_.skip;
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
  if (inFootnote_) {
    footnoteText_.push_back('\n');
    return;
  }
  Put(paragraph ? '\n' : '\r');
  viewPosition_ += 2;
}

void Reader::ControlChar(unsigned char c) {
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
    if (!NameIs("footnote") && !NameIs("pict")) {
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
    case WordAction::Tab: ControlChar('\t'); break;
    case WordAction::Dash: ControlChar('-'); break;
    case WordAction::Picture: BeginPicture(); break;
    case WordAction::Footnote: BeginFootnote(); break;
    case WordAction::SkipGroup: SetSkip(); break;
    case WordAction::PictureWidth: picture_.width = ParameterValue(); break;
    case WordAction::PictureHeight: picture_.height = ParameterValue(); break;
    case WordAction::GoalWidth: picture_.goalWidth = ParameterValue(); break;
    case WordAction::GoalHeight: picture_.goalHeight = ParameterValue(); break;
    case WordAction::MappingMode: picture_.mappingMode = ParameterValue(); break;
    case WordAction::NotMetafile: picture_.mappingMode = -1; break;
  }
}

void Reader::BeginPicture() {
  inPicture_ = true;
  group_.picture = true;
  pictureData_.clear();
  picture_.goalWidth = 0;
  picture_.goalHeight = 0;
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
  if (picture_.mappingMode != -1) {
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
  if (text_.size() + chunkLen_ > startSize_) ParagraphEnd(true);
  Put('\0');
  FlushChunk();
  groupStack_.clear();
}

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

}  // namespace

void ReadDocument(const RuleSet& rules, std::string_view bytes, Document& document) {
  document.text.reserve(document.text.size() + bytes.size() + 2);
  Reader reader(rules, document);
  reader.Feed(bytes.data(), bytes.size());
  reader.Finish();
}

void ReadDocumentInPieces(const RuleSet& rules, std::string_view bytes, size_t pieceSize,
                          Document& document) {
  if (pieceSize == 0) pieceSize = 1;
  Reader reader(rules, document);
  for (size_t at = 0; at < bytes.size(); at += pieceSize) {
    if (!reader.Feed(bytes.data() + at, std::min(pieceSize, bytes.size() - at))) break;
  }
  reader.Finish();
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
  // The text never holds more bytes than the file, plus the final paragraph
  // end and zero: one allocation, and pages never written stay untouched.
  uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > 0 && size < static_cast<uintmax_t>(INT32_MAX)) {
    document.text.reserve(document.text.size() + static_cast<size_t>(size) + 2);
    // A large text is written once from start to end: huge pages take a
    // fraction of the page faults.
    AdviseHugePages(document.text.data(), document.text.capacity());
  }
  Reader reader(context.Rules, document);
  FeedFile(file.get(), error ? 0 : size, [&reader](const char* data, size_t n) { return reader.Feed(data, n); });
  reader.Finish();
  return true;
}

void CloseDocument(Document& document) { ClearDocument(document); }

bool LoadScratchDocument(const Context& context, Document& scratch, const std::string& path,
                         std::string* errorMessage) {
  CloseDocument(scratch);
  return OpenDocument(context, scratch, path, errorMessage);
}

}  // namespace kalix
