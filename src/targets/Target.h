// The result of a search or a word list: targets (one per distinct found
// form and document) with their occurrences.
//
// Ends of words, sentences and paragraphs may be unknown: the `KnownEnds`
// bits of an occurrence say which ends were found. An end never found is 0,
// and an end that is really offset 0 is 0 with its bit set.
#pragma once

#include "search/SearchSpec.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
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

  friend bool operator==(const Occurrence&, const Occurrence&) = default;
};

// What a word list's occurrences are made from when they are read: the
// places of the words of one document and what else their occurrences take
// from the document (targets/WordPlaces.h).
class WordPlaces;

// The occurrences of a target, read like a const std::vector<Occurrence>
// (elements come by value). They are kept either whole (a search's, or
// added one by one with push_back) or, for a word list, as a range of the
// word places of one document, each occurrence made when it is read.
class cStarts {
 public:
  using value_type = Occurrence;
  using size_type = size_t;

  cStarts() = default;
  cStarts(std::initializer_list<Occurrence> list) : kept_(std::vector<Occurrence>(list)) {}
  cStarts(std::vector<Occurrence> whole) : kept_(std::move(whole)) {}  // NOLINT: converts like a vector
  // Occurrences `first` to `first + count - 1` of `places`.
  cStarts(std::shared_ptr<const WordPlaces> places, uint32_t first, uint32_t count)
      : kept_(Range{std::move(places), first, count}) {}

  size_t size() const {
    const Range* r = std::get_if<Range>(&kept_);
    return r ? r->Count : Whole().size();
  }
  bool empty() const { return size() == 0; }
  Occurrence operator[](size_t k) const {
    const Range* r = std::get_if<Range>(&kept_);
    return r ? Made(*r, k) : Whole()[k];
  }
  Occurrence front() const { return (*this)[0]; }
  Occurrence back() const { return (*this)[size() - 1]; }

  // Adding and reserving keep the occurrences whole (those of word places
  // are made whole first).
  void push_back(const Occurrence& o) { MakeWhole().push_back(o); }
  // Occurrence k, to be changed in place.
  Occurrence& Change(size_t k) { return MakeWhole()[k]; }
  void reserve(size_t n) { MakeWhole().reserve(n); }
  size_t capacity() const { return FromWordPlaces() ? size() : Whole().capacity(); }
  // The occurrences kept whole (none for word places).
  const Occurrence* data() const { return FromWordPlaces() ? nullptr : Whole().data(); }
  void clear() { kept_ = std::vector<Occurrence>(); }

  class const_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Occurrence;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Occurrence;

    const_iterator() = default;
    const_iterator(const cStarts* starts, size_t k) : starts_(starts), k_(k) {}
    Occurrence operator*() const { return (*starts_)[k_]; }
    Occurrence operator[](difference_type d) const { return (*starts_)[k_ + static_cast<size_t>(d)]; }
    const_iterator& operator++() { ++k_; return *this; }
    const_iterator operator++(int) { const_iterator old = *this; ++k_; return old; }
    const_iterator& operator--() { --k_; return *this; }
    const_iterator operator--(int) { const_iterator old = *this; --k_; return old; }
    const_iterator& operator+=(difference_type d) { k_ += static_cast<size_t>(d); return *this; }
    const_iterator& operator-=(difference_type d) { k_ -= static_cast<size_t>(d); return *this; }
    friend const_iterator operator+(const_iterator i, difference_type d) { return i += d; }
    friend const_iterator operator+(difference_type d, const_iterator i) { return i += d; }
    friend const_iterator operator-(const_iterator i, difference_type d) { return i -= d; }
    friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
      return static_cast<difference_type>(a.k_) - static_cast<difference_type>(b.k_);
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.k_ == b.k_; }
    friend auto operator<=>(const const_iterator& a, const const_iterator& b) { return a.k_ <=> b.k_; }

   private:
    const cStarts* starts_ = nullptr;
    size_t k_ = 0;
  };
  using iterator = const_iterator;
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, size()); }

  // Whether the occurrences are made from word places when read.
  bool FromWordPlaces() const { return std::holds_alternative<Range>(kept_); }

  friend bool operator==(const cStarts& a, const cStarts& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k) {
      if (!(a[k] == b[k])) return false;
    }
    return true;
  }

 private:
  // Occurrences made from word places.
  struct Range {
    std::shared_ptr<const WordPlaces> Places;
    uint32_t First = 0;
    uint32_t Count = 0;
  };
  static Occurrence Made(const Range& r, size_t k);  // occurrence k of the range
  const std::vector<Occurrence>& Whole() const { return *std::get_if<std::vector<Occurrence>>(&kept_); }
  std::vector<Occurrence>& MakeWhole();

  std::variant<std::vector<Occurrence>, Range> kept_;
};

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
static_assert(sizeof(cStarts) <= 32, "a target's occurrences take at most 32 bytes");

}  // namespace kalix
