// The result of a search or a word list: targets (one per distinct found
// form and document) with their occurrences.
//
// Ends of words, sentences and paragraphs may be unknown: the `KnownEnds`
// bits of an occurrence say which ends were found. An end never found is 0,
// and an end that is really offset 0 is 0 with its bit set.
#pragma once

#include "search/SearchSpec.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

struct Occurrence {
  int32_t StartView = 0;           // first matched byte
  int32_t ViewLength = 0;          // first to last matched byte inclusive
  int32_t ContextStartView = 0;    // -1 in the "Texte" context
  int32_t ContextViewLength = 0;
  int32_t ContextStartOffset = 0;
  int32_t ContextOffsetLength = 0;
  int32_t Page = 0;
  int32_t Folio = 0;
  int32_t ParagraphStart = 0;
  int32_t SentenceStart = 0;
  int32_t WordStart = 0;
  int32_t ParagraphEnd = 0;        // 0 until known
  int32_t SentenceEnd = 0;         // 0 until known
  int32_t WordEnd = 0;             // 0 until known
  int16_t Verso = 0;               // 1: verso side
  uint16_t KnownEnds = 0;          // EndBits (search/SearchSpec.h)

  bool ParagraphEndKnown() const { return KnownEnds & kParagraphEndKnown; }
  bool SentenceEndKnown() const { return KnownEnds & kSentenceEndKnown; }
  bool WordEndKnown() const { return KnownEnds & kWordEndKnown; }
};

using cStarts = std::vector<Occurrence>;

// A text that never changes once made, read as a const std::string; copies
// share one string. The targets of one corpus document all hold its
// reference: one string instead of one per target.
class SharedText {
 public:
  SharedText() = default;
  SharedText(std::string text)  // NOLINT: converts like a string
      : text_(text.empty() ? nullptr : std::make_shared<const std::string>(std::move(text))) {}
  SharedText(const char* text) : SharedText(std::string(text)) {}  // NOLINT

  const std::string& str() const { return text_ ? *text_ : Empty(); }
  operator const std::string&() const { return str(); }  // NOLINT
  operator std::string_view() const { return str(); }    // NOLINT
  bool empty() const { return str().empty(); }
  size_t size() const { return str().size(); }
  size_t find(std::string_view what, size_t from = 0) const { return str().find(what, from); }

  friend bool operator==(const SharedText& a, const SharedText& b) { return a.text_ == b.text_ || a.str() == b.str(); }
  friend bool operator==(const SharedText& a, const std::string& b) { return a.str() == b; }
  friend bool operator==(const SharedText& a, std::string_view b) { return a.str() == b; }
  friend bool operator==(const SharedText& a, const char* b) { return a.str() == b; }
  friend auto operator<=>(const SharedText& a, const SharedText& b) { return a.str().compare(b.str()) <=> 0; }

 private:
  static const std::string& Empty() {
    static const std::string empty;
    return empty;
  }
  std::shared_ptr<const std::string> text_;
};

struct Target {
  std::string Text;          // the found form, in the result spelling
  int32_t Length = 0;        // byte length of the word in the text
  cStarts Starts;            // in the order they were added
  int32_t CurrentStart = 0;
  int32_t StringIndex = -1;  // string of the first hit; -1 for a word list
  SharedText DocumentRef;    // empty: none (search of the window's document)
};

using cTargetList = std::vector<Target>;

static_assert(sizeof(Occurrence) == 60, "an occurrence takes 60 bytes");

}  // namespace kalix
