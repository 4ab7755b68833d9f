// The character policy: how a Unicode character read from a document becomes
// one byte of code page 1252, the same for every reader.
//
// A character of code page 1252 is its byte. Any other character is
// normalised (NFC) and transliterated to one 1252 character: first by the
// user's table, then by the shipped rules (a short list of letters of old
// texts and spaces; the letter of its canonical decomposition when that is in
// 1252; the base letter named in a Latin letter's Unicode name). A combining
// mark (categories Mn, Mc, Me) has no byte of its own: it stays with the
// character before it. A format character (category Cf) is dropped. Anything
// else becomes the byte 0x81.
//
// Every character that is not its own byte is recorded as a `ReplacedChar`,
// so that the document keeps what the text stood for and the program can say
// what it changed.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

enum class ReplaceKind : uint8_t { Transliterated, Dropped, Replaced };

// The byte every character without a transliteration becomes.
constexpr unsigned char kReplacementByte = 0x81;

// One character of the source that the text does not hold as its own byte.
// `offset` is the text offset of the byte that stands for it (for a dropped
// character: of the byte that follows it); `note` is -1 for the main text,
// otherwise the index of the footnote whose text `offset` is in. `original`
// is what the byte stands for: the character with its combining marks (a
// base of code page 1252 with marks that do not compose is "transliterated"
// to itself and recorded too).
struct ReplacedChar {
  int32_t offset = 0;
  int32_t note = -1;
  std::u32string original;
  ReplaceKind kind = ReplaceKind::Transliterated;
};

using cReplacedList = std::vector<ReplacedChar>;

// The result of mapping one character (with its marks).
struct CharMapping {
  unsigned char byte = 0;  // 0: no byte (dropped)
  bool replaced = false;   // false: the character is its own 1252 byte
  ReplaceKind kind = ReplaceKind::Transliterated;
};

// A line of the user's table that could not be used.
struct TableError {
  int32_t line = 0;        // 1-based; 0 when the file itself cannot be read
  std::string message;     // UTF-8, for the message naming file and line
};

class CharPolicy {
 public:
  // The shipped rules and an empty user table.
  CharPolicy() = default;

  // Reads the user's table from UTF-8 text: one entry a line,
  // "CHARACTERS REPLACEMENT" (separated by blanks or a tab), where each side
  // is the character itself or "U+XXXX" (several joined by "+" on the left),
  // and the replacement is one character of code page 1252. Blank lines and
  // lines starting with "#" are comments. A malformed line is reported in
  // `errors` and left out; every other line is used. Returns the number of
  // entries taken.
  int LoadTable(std::string_view utf8, std::vector<TableError>* errors);

  // Adds one entry to the user's table (`from` is normalised first).
  void AddEntry(std::u32string_view from, unsigned char to);

  // Maps one character with the combining marks that follow it (already
  // normalised, NFC).
  CharMapping Map(std::u32string_view cluster) const;

  // Appends to `out` the 1252 bytes for a run of code points (one run: NFC
  // runs over all of it) and records in `replaced` each character that is not
  // its own byte, with offsets counted from `offsetBase` + `out.size()` at the
  // time the byte is appended, and `note` as given. A combining mark at the
  // start of the run has nothing before it and becomes 0x81.
  void Append(std::u32string_view run, std::string& out, cReplacedList& replaced,
              int32_t offsetBase = 0, int32_t note = -1) const;

  // The same for UTF-8 text; an invalid sequence is U+FFFD (0x81).
  void AppendUtf8(std::string_view utf8, std::string& out, cReplacedList& replaced,
                  int32_t offsetBase = 0, int32_t note = -1) const;

 private:
  std::map<std::u32string, unsigned char> user_;
};

// NFC of a run of code points.
std::u32string NormalizeNfc(std::u32string_view text);

// True for the categories Mn, Mc and Me.
bool IsCombiningMark(char32_t c);

// The shipped transliteration of one character (no user table): the byte, or
// -1 when the shipped rules have none.
int ShippedTransliteration(char32_t c);

// Counts of a list of replaced characters, by kind, and the distinct
// characters in order of first appearance (each as UTF-8).
struct ReplacedSummary {
  int32_t transliterated = 0;
  int32_t dropped = 0;
  int32_t replaced = 0;
  std::vector<std::string> characters;
  bool Empty() const { return transliterated == 0 && dropped == 0 && replaced == 0; }
};
ReplacedSummary SummarizeReplaced(const cReplacedList& list);

// UTF-8 of code points.
std::string ToUtf8(std::u32string_view text);

// Decodes UTF-8 to code points; false (and `out` partial) when it is not
// valid UTF-8.
bool DecodeUtf8(std::string_view utf8, std::u32string& out);

// UTF-16 bytes (after the byte-order mark) as UTF-8; a lone surrogate or a
// final odd byte is U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// A single-byte or double-byte Windows code page, decoding byte by byte.
// Byte values below 0x80 are ASCII in every code page the reader accepts.
class CodePageDecoder {
 public:
  CodePageDecoder();
  ~CodePageDecoder();
  CodePageDecoder(const CodePageDecoder&) = delete;
  CodePageDecoder& operator=(const CodePageDecoder&) = delete;

  // Selects a Windows code page: 874, 932, 936, 949, 950 and 1250-1258 are
  // known; false (and 1252 in effect) for any other.
  bool Select(int codePage);
  int CodePage() const { return codePage_; }

  // Takes one byte: returns the code point it completes, 0 when it is the
  // lead byte of a pair not yet complete, U+FFFD when undefined.
  char32_t Decode(unsigned char byte);
  // A lead byte waits for the byte that completes it.
  bool Waiting() const { return lead_ != 0; }

 private:
  int codePage_ = 1252;
  void* converter_ = nullptr;  // ICU converter of a double-byte code page
  char32_t single_[256] = {};  // the code points of a single-byte code page
  unsigned char lead_ = 0;
};

// The code page of a rich-text font charset (\fcharsetN); 0 when unknown.
int CodePageOfCharset(int charset);

}  // namespace kalix
