#include "targets/ExportRows.h"

#include "document/Reader.h"
#include "platform/Cp1252.h"
#include "search/Units.h"
#include "targets/Concordance.h"
#include "targets/DocumentRef.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <future>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kalix {
namespace {

constexpr int32_t kContextLookBytes = 4096;
constexpr int32_t kSentenceBytes = 32000;
// Corpus documents kept read at a time, beyond the one in use: as many as
// fit in this many bytes of text.
constexpr size_t kKeptTextBytes = size_t{48} << 20;

const char* const kSpellingNames[] = {"Identique", "Majuscule", ("Modifi\xe9" "e"), ("G\xe9n\xe9r\xe9" "e")};

bool IsBlankLike(char c) { return c == '\n' || c == '\r' || c == '\t'; }

// The UTF-8 form of each byte, line breaks and TABs as blanks.
struct FlatUtf8 {
  uint8_t length = 0;
  char bytes[3] = {};
};
const std::array<FlatUtf8, 256>& FlatUtf8Table() {
  static const std::array<FlatUtf8, 256> table = [] {
    std::array<FlatUtf8, 256> t{};
    for (int b = 0; b < 256; ++b) {
      std::string utf8;
      AppendCp1252AsUtf8(utf8, static_cast<unsigned char>(IsBlankLike(static_cast<char>(b)) ? ' ' : b));
      t[static_cast<size_t>(b)].length = static_cast<uint8_t>(utf8.size());
      std::memcpy(t[static_cast<size_t>(b)].bytes, utf8.data(), utf8.size());
    }
    return t;
  }();
  return table;
}

// 1252 bytes as UTF-8, line breaks and TABs as blanks, appended to `out`:
// made in a buffer on the stack a slice at a time, so that `out` grows by
// what is made only.
void AppendFlatUtf8(std::string& out, std::string_view bytes) {
  const std::array<FlatUtf8, 256>& table = FlatUtf8Table();
  constexpr size_t kSlice = 512;
  char made[kSlice * 3 + 16];
  for (size_t from = 0; from < bytes.size(); from += kSlice) {
    const std::string_view slice = bytes.substr(from, kSlice);
    char* p = made;
    auto one = [&](char c) {
      const FlatUtf8& u = table[static_cast<unsigned char>(c)];
      std::memcpy(p, u.bytes, 3);
      p += u.length;
    };
    size_t k = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time: ASCII from the blank on is copied as it is
    // (as signed bytes, the others are below the blank).
    const __m128i blank = _mm_set1_epi8(' ');
    while (k + 16 <= slice.size()) {
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(slice.data() + k));
      const int mask = _mm_movemask_epi8(_mm_cmplt_epi8(b, blank));
      // The bytes before the first other one are copied (all sixteen are
      // stored: what follows is written over), that one converted.
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p), b);
      if (mask == 0) {
        p += 16;
        k += 16;
      } else {
        const size_t plain = static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        p += plain;
        one(slice[k + plain]);
        k += plain + 1;
      }
    }
#endif
    for (; k < slice.size(); ++k) one(slice[k]);
    out.append(made, static_cast<size_t>(p - made));
  }
}

void AppendNumber(std::string& out, long long value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

bool IsValidUtf8(std::string_view s) {
  size_t k = 0;
  while (k < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[k]);
    const size_t n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 4;
    if (n == 4 || n >= s.size() - k) return false;
    for (size_t j = 1; j <= n; ++j) {
      if ((static_cast<unsigned char>(s[k + j]) & 0xC0) != 0x80) return false;
    }
    k += n + 1;
  }
  return true;
}

// Bits from..to-1 of a 64-bit mask (none when from >= to).
uint64_t BitsBetween(unsigned from, unsigned to) {
  if (from >= to) return 0;
  const uint64_t below = to >= 64 ? ~uint64_t{0} : (uint64_t{1} << to) - 1;
  return below & ~((uint64_t{1} << from) - 1);
}

}  // namespace

ContextWalker::ContextWalker(const RuleSet& rules) {
  for (int b = 0; b < 256; ++b) {
    const unsigned char c = static_cast<unsigned char>(b);
    const int k = rules.Class(c);
    if (k == kLetter) classes_.Add(kLetters, c);
    if (k >= kWordSeparator) classes_.Add(kSeparators, c);
    if (k >= kParagraphSeparator) classes_.Add(kParagraphs, c);
  }
}

void ContextWalker::Masks(std::string_view text, int32_t base, int32_t count, uint64_t masks[3]) const {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  if (static_cast<size_t>(base) + 64 <= text.size()) {
    classes_.Masks64(bytes + base, kLetters, 3, masks);
  } else {
    unsigned char padded[64] = {};
    std::memcpy(padded, bytes + base, static_cast<size_t>(count));
    classes_.Masks64(padded, kLetters, 3, masks);
  }
  const uint64_t valid = BitsBetween(0, static_cast<unsigned>(count));
  for (int k = 0; k < 3; ++k) masks[k] &= valid;
}

WordContext ContextWalker::Around(std::string_view text, int32_t start, int32_t end,
                                  const OccurrenceExportOptions& options) const {
  WordContext around;
  const int32_t length = static_cast<int32_t>(text.size());
  start = std::clamp(start, 0, length);
  end = std::clamp(end, start, length);
  const int wanted = std::max(0, options.ContextWords);
  const bool cut = options.CutAtParagraph;
  uint64_t masks[3];

  // Left: word starts before `start`, walking back 64 bytes at a time and
  // within them from separator to separator; the text's start (or the end
  // of the bytes looked at) ends a word as a paragraph separator.
  int32_t from = start;
  if (wanted > 0) {
    int words = 0;
    int32_t candidate = -1;  // the lowest letter since the last separator seen
    bool done = false;
    const int32_t low = std::max(0, start - kContextLookBytes);
    for (int32_t top = start; top > low && !done;) {
      const int32_t base = std::max(low, top - 64);
      Masks(text, base, top - base, masks);
      unsigned above = static_cast<unsigned>(top - base);  // the piece after the separator ends here
      for (uint64_t separators = masks[kSeparators]; separators != 0 && !done;) {
        const unsigned k = 63 - static_cast<unsigned>(__builtin_clzll(separators));
        const uint64_t letters = masks[kLetters] & BitsBetween(k + 1, above);
        if (letters != 0) candidate = base + __builtin_ctzll(letters);
        if (candidate >= 0) {
          from = candidate;
          ++words;
          candidate = -1;
        }
        done = words >= wanted || (cut && ((masks[kParagraphs] >> k) & 1));
        above = k;
        separators &= ~(uint64_t{1} << k);
      }
      if (!done) {
        const uint64_t letters = masks[kLetters] & BitsBetween(0, above);
        if (letters != 0) candidate = base + __builtin_ctzll(letters);
      }
      top = base;
    }
    if (!done && candidate >= 0) from = candidate;
  }
  around.Left = text.substr(static_cast<size_t>(from), static_cast<size_t>(start - from));

  // Right: word ends after `end`, walking on the same way.
  int32_t to = end;
  if (wanted > 0) {
    int words = 0;
    int32_t lastLetter = -1;  // the last letter of the word open, or -1
    bool done = false;
    const int32_t high = std::min(length, end + kContextLookBytes);
    for (int32_t base = end; base < high && !done; base += 64) {
      const int32_t count = std::min(64, high - base);
      Masks(text, base, count, masks);
      unsigned below = 0;  // the piece before the separator starts here
      for (uint64_t separators = masks[kSeparators]; separators != 0 && !done; separators &= separators - 1) {
        const unsigned k = static_cast<unsigned>(__builtin_ctzll(separators));
        const uint64_t letters = masks[kLetters] & BitsBetween(below, k);
        if (letters != 0) lastLetter = base + 63 - __builtin_clzll(letters);
        if (lastLetter >= 0) {
          to = lastLetter + 1;
          ++words;
          lastLetter = -1;
        }
        done = words >= wanted || (cut && ((masks[kParagraphs] >> k) & 1));
        below = k + 1;
      }
      if (!done) {
        const uint64_t letters = masks[kLetters] & BitsBetween(below, static_cast<unsigned>(count));
        if (letters != 0) lastLetter = base + 63 - __builtin_clzll(letters);
      }
    }
    if (!done && lastLetter >= 0) to = lastLetter + 1;
  }
  around.Right = text.substr(static_cast<size_t>(end), static_cast<size_t>(to - end));
  return around;
}

namespace {

}  // namespace

namespace exportrows {

// Marks by view position, ascending, for finding the last one before a
// position: the places where each 4,096 view positions start among them are
// kept, so that a look-up reads a few neighbouring marks instead of
// searching the whole list (rows come scattered over the text).
class MarkPlaces {
 public:
  void Add(int32_t view) { views_.push_back(view); }
  // After the last Add.
  void Finish() {
    const int32_t last = views_.empty() ? 0 : std::max(0, views_.back());
    const size_t buckets = (static_cast<size_t>(last) >> kBucketBits) + 2;
    firsts_.resize(buckets);
    size_t k = 0;
    for (size_t b = 0; b < buckets; ++b) {
      const int64_t from = static_cast<int64_t>(b) << kBucketBits;
      while (k < views_.size() && views_[k] < from) ++k;
      firsts_[b] = static_cast<int32_t>(k);
    }
  }
  // The index of the last mark strictly before `view`, or -1.
  int32_t Before(int32_t view) const {
    auto lo = views_.begin();
    auto hi = views_.end();
    if (view >= 0 && !firsts_.empty()) {
      const size_t b = static_cast<size_t>(view) >> kBucketBits;
      if (b + 1 < firsts_.size()) {
        lo += firsts_[b];
        hi = views_.begin() + firsts_[b + 1];
      } else {
        lo += firsts_.back();
      }
    }
    auto it = std::lower_bound(lo, hi, view);
    return static_cast<int32_t>(it - views_.begin()) - 1;
  }
  int32_t View(size_t k) const { return views_[k]; }
  // Asks the marks Before(view) reads into the cache; the index of the
  // first of them.
  size_t Prefetch(int32_t view) const {
    if (view < 0 || firsts_.empty()) return 0;
    const size_t b = std::min(static_cast<size_t>(view) >> kBucketBits, firsts_.size() - 1);
    const size_t k = static_cast<size_t>(firsts_[b]);
    if (k < views_.size()) __builtin_prefetch(views_.data() + k);
    return k;
  }

 private:
  static constexpr int kBucketBits = 12;
  std::vector<int32_t> views_;
  std::vector<int32_t> firsts_;  // per bucket: the marks before its first position
};

// A document the rows read: its text with what locates an occurrence.
struct ReadDocument {
  Document Own;                      // a corpus document, read here
  const Document* Model = nullptr;   // Own, or the window's document
  ViewIndex Index;
  MarkPlaces PageViews;              // page marks' view positions
  std::vector<int32_t> PageBreaks;   // line breaks before each page mark
  MarkPlaces GlyphViews;             // glyph marks' view positions
  std::vector<int32_t> GlyphNumbers;
  std::string PathUtf8;

  void Prepare(const Document& model) {
    Model = &model;
    Index = ViewIndex(model.Text());
    for (const Mark& m : model.marks) {
      if (m.kind == kPageMark) {
        PageViews.Add(m.position);
        PageBreaks.push_back(Index.BreaksBefore(Index.OffsetOfView(m.position)));
      }
      if (m.kind == kGlyphMark) {
        GlyphViews.Add(m.position);
        GlyphNumbers.push_back(m.number);
      }
    }
    PageViews.Finish();
    GlyphViews.Finish();
  }
  std::string_view Text() const { return Model->Text(); }

  // Asks what Glyph(view) and Line(view, ...) read into the cache.
  void PrefetchMarks(int32_t view) const {
    const size_t glyph = GlyphViews.Prefetch(view);
    if (glyph > 0 && glyph <= GlyphNumbers.size()) __builtin_prefetch(GlyphNumbers.data() + glyph - 1);
    const size_t page = PageViews.Prefetch(view);
    if (page > 0 && page <= PageBreaks.size()) __builtin_prefetch(PageBreaks.data() + page - 1);
  }

  int32_t Glyph(int32_t view) const {
    int32_t k = GlyphViews.Before(view);
    return k < 0 ? 0 : GlyphNumbers[static_cast<size_t>(k)];
  }
  // The line within the page of the byte at `offset`, whose view position
  // `view` is (so that `view - offset` breaks come before it).
  int32_t Line(int32_t view, int32_t offset) const {
    int32_t k = PageViews.Before(view);
    int32_t pageBreaks = k < 0 ? 0 : PageBreaks[static_cast<size_t>(k)];
    return std::max(1, 1 + (view - offset) - pageBreaks);
  }
  // The offset where `viewLength` view positions from `start` end, as
  // ViewIndex::OffsetOfView gives it: walked, as occurrences are short.
  int32_t EndOffset(int32_t start, int32_t viewLength) const {
    std::string_view text = Text();
    const int32_t length = static_cast<int32_t>(text.size());
    int32_t end = start;
    int32_t view = 0;
    while (view < viewLength && end < length) {
      view += IsLineBreak(static_cast<unsigned char>(text[static_cast<size_t>(end)])) ? 2 : 1;
      ++end;
    }
    return view > viewLength ? end - 1 : end;
  }
};

}  // namespace exportrows

namespace {

using exportrows::ReadDocument;

std::shared_ptr<const ReadDocument> PrepareWindow(const Document& window) {
  auto doc = std::make_shared<ReadDocument>();
  doc->Prepare(window);
  doc->PathUtf8 = PathAsUtf8(window.path);
  return doc;
}

// The documents of a result's targets, read when first needed; corpus
// documents are kept while their texts fit in kKeptTextBytes. Rows made on
// several threads share one shelf.
class DocumentShelf {
 public:
  DocumentShelf(const Context& context, const Document& window, ReportDocumentError onError,
                std::shared_ptr<WindowDocumentPreparation> prepared)
      : context_(context), window_(window), onError_(std::move(onError)), prepared_(std::move(prepared)) {}

  std::shared_ptr<const ReadDocument> For(const std::string& ref) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ref.empty()) {
      if (!windowDoc_ && prepared_) windowDoc_ = prepared_->Take(window_);
      if (!windowDoc_) windowDoc_ = PrepareWindow(window_);
      return windowDoc_;
    }
    auto found = byRef_.find(ref);
    if (found != byRef_.end()) {
      kept_.splice(kept_.begin(), kept_, found->second);
      return kept_.front().second;
    }
    auto doc = std::make_shared<ReadDocument>();
    const std::string path = DocumentRefPath(ref);
    std::string error;
    if (!LoadScratchDocument(context_, doc->Own, path, &error)) {
      if (onError_) onError_(error);
      ClearDocument(doc->Own);
    }
    doc->Prepare(doc->Own);
    doc->PathUtf8 = PathAsUtf8(path);
    keptBytes_ += doc->Own.text.size();
    kept_.emplace_front(ref, doc);
    byRef_[ref] = kept_.begin();
    while (keptBytes_ > kKeptTextBytes && kept_.size() > 1) {
      const auto& last = kept_.back();
      keptBytes_ -= last.second->Own.text.size();
      byRef_.erase(last.first);
      kept_.pop_back();  // rows still using it keep it
    }
    return doc;
  }

 private:
  using Kept = std::list<std::pair<std::string, std::shared_ptr<const ReadDocument>>>;
  const Context& context_;
  const Document& window_;
  ReportDocumentError onError_;
  std::shared_ptr<WindowDocumentPreparation> prepared_;
  std::mutex mutex_;
  std::shared_ptr<const ReadDocument> windowDoc_;
  Kept kept_;  // most recently used first
  std::map<std::string, Kept::iterator> byRef_;
  size_t keptBytes_ = 0;
};

// What every producer of one occurrence table shares.
struct OccurrenceTableState {
  OccurrenceTableState(const Context& context, const ExportSource& source, const OccurrenceExportOptions& options,
                       const ReportDocumentError& onError, std::shared_ptr<WindowDocumentPreparation> prepared)
      : Ctx(context), Source(source), Options(options), Walker(context.Rules),
        Shelf(context, source.WindowDocument, onError, std::move(prepared)) {
    const int16_t spelling = source.Settings.Spelling;
    if (spelling >= 0 && spelling < 4) Spelling = Cp1252ToUtf8(kSpellingNames[spelling]);
    RowsBefore.reserve(source.Targets.size() + 1);
    size_t rows = 0;
    for (const Target& t : source.Targets) {
      RowsBefore.push_back(rows);
      rows += t.Starts.size();
    }
    RowsBefore.push_back(rows);
  }
  const Context& Ctx;
  const ExportSource Source;  // references: copied whole
  const OccurrenceExportOptions Options;
  const ContextWalker Walker;
  DocumentShelf Shelf;
  std::string Spelling;
  std::vector<size_t> RowsBefore;  // rows of the targets before each, and all of them
};

// The rows of the occurrence table from one row on, one per call.
class OccurrenceRows {
 public:
  OccurrenceRows(std::shared_ptr<OccurrenceTableState> state, size_t first) : state_(std::move(state)) {
    const std::vector<size_t>& before = state_->RowsBefore;
    // The target holding row `first`: the last one with at most `first`
    // rows before it (targets without occurrences are stepped over below).
    auto it = std::upper_bound(before.begin(), before.end() - 1, first);
    target_ = static_cast<size_t>(it - before.begin()) - (it == before.begin() ? 0 : 1);
    occurrence_ = target_ < before.size() - 1 ? first - before[target_] : 0;
    if (occurrence_ > 0) StartTarget(state_->Source.Targets[target_]);
  }

  bool Next(std::vector<std::string>& cells) {
    const cTargetList& targets = state_->Source.Targets;
    while (target_ < targets.size() && occurrence_ >= targets[target_].Starts.size()) {
      ++target_;
      occurrence_ = 0;
    }
    if (target_ >= targets.size()) return false;
    const Target& t = targets[target_];
    if (occurrence_ == 0) StartTarget(t);
    Prefetch();
    Fill(*document_, t.Starts[occurrence_], cells);
    ++occurrence_;
    ++row_;
    return true;
  }

 private:
  // Rows come in the grid's order, their places scattered over the text:
  // the text around the occurrence kPrefetchAhead rows on (when it is in
  // the same document) is asked into the cache now, so that it is there
  // when its row is made.
  static constexpr size_t kPrefetchAhead = 12;
  void Prefetch() {
    const cTargetList& targets = state_->Source.Targets;
    if (aheadTarget_ < target_ || (aheadTarget_ == target_ && aheadOccurrence_ <= occurrence_)) {
      aheadTarget_ = target_;
      aheadOccurrence_ = occurrence_;
      for (size_t k = 0; k < kPrefetchAhead; ++k) StepAhead();
    } else {
      StepAhead();
    }
    if (aheadTarget_ >= targets.size()) return;
    const Target& t = targets[aheadTarget_];
    if (t.DocumentRef.str() != targets[target_].DocumentRef.str() || !t.Starts.data()) return;
    const Occurrence& o = t.Starts.data()[aheadOccurrence_];
    std::string_view text = document_->Text();
    // `near` is at most a few dozen bytes after the occurrence.
    const int32_t near = document_->Index.PrefetchView(o.StartView);
    document_->PrefetchMarks(o.StartView);
    const int32_t from = std::max(0, near - 128);
    const int32_t to = std::min(static_cast<int32_t>(text.size()), near + 160);
    for (int32_t p = from; p < to; p += 64) __builtin_prefetch(text.data() + p);
    if (o.SentenceStart >= 0 && o.SentenceStart < static_cast<int32_t>(text.size())) {
      __builtin_prefetch(text.data() + o.SentenceStart);
    }
  }
  void StepAhead() {
    const cTargetList& targets = state_->Source.Targets;
    if (aheadTarget_ >= targets.size()) return;
    if (++aheadOccurrence_ >= targets[aheadTarget_].Starts.size()) {
      aheadOccurrence_ = 0;
      do {
        ++aheadTarget_;
      } while (aheadTarget_ < targets.size() && targets[aheadTarget_].Starts.empty());
    }
  }

  void StartTarget(const Target& t) {
    if (!document_ || t.DocumentRef.str() != documentRef_) {
      document_ = state_->Shelf.For(t.DocumentRef);
      documentRef_ = t.DocumentRef.str();
    }
    targetText_ = Cp1252ToUtf8(t.Text);
    stringText_.clear();
    const cArrowList& strings = state_->Source.Strings;
    if (t.StringIndex >= 0 && static_cast<size_t>(t.StringIndex) < strings.size()) {
      stringText_ = Cp1252ToUtf8(strings[static_cast<size_t>(t.StringIndex)].Text);
    }
  }

  void Fill(const ReadDocument& d, const Occurrence& o, std::vector<std::string>& cells) {
    std::string_view text = d.Text();
    const int32_t length = static_cast<int32_t>(text.size());
    const int32_t offset = d.Index.OffsetOfView(o.StartView);
    const int32_t start = std::clamp(offset, 0, length);
    const int32_t end = std::clamp(d.EndOffset(start, o.ViewLength), start, length);
    size_t c = 0;
    cells[c++] = targetText_;
    AppendFoundFormUtf8(cells[c++], *d.Model, start, end);
    cells[c++] = stringText_;
    cells[c++] = state_->Spelling;
    cells[c++] = d.PathUtf8;
    AppendNumber(cells[c++], o.Page);
    AppendNumber(cells[c], o.Folio);
    cells[c++] += o.Verso ? 'v' : 'r';
    AppendNumber(cells[c++], d.Glyph(o.StartView));
    AppendNumber(cells[c++], d.Line(o.StartView, start));
    AppendNumber(cells[c++], o.StartView);
    const WordContext around = state_->Walker.Around(text, start, end, state_->Options);
    AppendFlatUtf8(cells[c++], around.Left);
    AppendFlatUtf8(cells[c++], around.Right);
    if (o.SentenceEndKnown() && o.SentenceStart >= 0 && o.SentenceStart < length && o.SentenceEnd >= o.SentenceStart) {
      const int32_t last = std::min({o.SentenceEnd, length - 1, o.SentenceStart + kSentenceBytes - 1});
      AppendFlatUtf8(cells[c], text.substr(static_cast<size_t>(o.SentenceStart),
                                           static_cast<size_t>(last - o.SentenceStart + 1)));
    }
  }

  std::shared_ptr<OccurrenceTableState> state_;
  size_t target_ = 0;
  size_t occurrence_ = 0;
  size_t row_ = 0;              // rows made
  size_t aheadTarget_ = 0;      // the row kPrefetchAhead on
  size_t aheadOccurrence_ = 0;
  std::shared_ptr<const ReadDocument> document_;
  std::string documentRef_;
  std::string targetText_;
  std::string stringText_;
};

}  // namespace

std::vector<ExportColumn> OccurrenceColumns() {
  return {
      {"target", false, 16, false}, {"form", false, 16, true},    {"string", false, 12, false},
      {"spelling", false, 11, false}, {"document", false, 24, false}, {"page", true, 6, false},
      {"folio", false, 7, false},   {"glyph", true, 6, false},    {"line", true, 6, false},
      {"view", true, 10, false},    {"left", false, 50, false},   {"right", false, 50, false},
      {"sentence", false, 80, false},
  };
}

WindowDocumentPreparation::WindowDocumentPreparation(const Document& window)
    : window_(&window),
      made_(std::async(std::launch::async, [&window] { return PrepareWindow(window); }).share()) {}

WindowDocumentPreparation::~WindowDocumentPreparation() {
  if (made_.valid()) made_.wait();
}

std::shared_ptr<const exportrows::ReadDocument> WindowDocumentPreparation::Take(const Document& window) {
  if (&window != window_ || !made_.valid()) return nullptr;
  return made_.get();
}

ExportTable OccurrenceTable(const Context& context, const ExportSource& source,
                            const OccurrenceExportOptions& options, const ReportDocumentError& onDocumentError,
                            std::shared_ptr<WindowDocumentPreparation> prepared) {
  ExportTable table;
  table.Columns = OccurrenceColumns();
  for (const Target& t : source.Targets) table.RowCount += t.Starts.size();
  auto state =
      std::make_shared<OccurrenceTableState>(context, source, options, onDocumentError, std::move(prepared));
  table.From = [state](size_t first) {
    auto rows = std::make_shared<OccurrenceRows>(state, first);
    return std::function<bool(std::vector<std::string>&)>(
        [rows](std::vector<std::string>& cells) { return rows->Next(cells); });
  };
  table.Next = table.From(0);
  return table;
}

ExportTable WordListTable(const cTargetList& targets) {
  // The documents, in the order of their references.
  std::vector<std::string> refs;
  for (const Target& t : targets) {
    if (!t.DocumentRef.empty()) refs.push_back(t.DocumentRef);
  }
  std::sort(refs.begin(), refs.end());
  refs.erase(std::unique(refs.begin(), refs.end()), refs.end());

  struct Form {
    std::string Text;
    size_t Total = 0;
    std::vector<std::pair<size_t, size_t>> PerDocument;  // (document, count)
  };
  auto forms = std::make_shared<std::vector<Form>>();
  std::map<std::string, size_t> rowOf;
  for (const Target& t : targets) {
    auto [it, added] = rowOf.emplace(t.Text, forms->size());
    if (added) forms->push_back(Form{t.Text, 0, {}});
    Form& f = (*forms)[it->second];
    f.Total += t.Starts.size();
    size_t doc = t.DocumentRef.empty()
                     ? 0
                     : static_cast<size_t>(std::lower_bound(refs.begin(), refs.end(), t.DocumentRef.str()) - refs.begin());
    auto same = std::find_if(f.PerDocument.begin(), f.PerDocument.end(), [doc](const auto& p) { return p.first == doc; });
    if (same == f.PerDocument.end()) {
      f.PerDocument.emplace_back(doc, t.Starts.size());
    } else {
      same->second += t.Starts.size();
    }
  }

  ExportTable table;
  table.Columns = {{"form", false, 20, true}, {"frequency", true, 10, false}, {"documents", true, 10, false}};
  for (const std::string& ref : refs) table.Columns.push_back({PathAsUtf8(DocumentRefPath(ref)), true, 12, false});
  table.RowCount = forms->size();
  const size_t documents = refs.size();
  auto next = std::make_shared<size_t>(0);
  table.Next = [forms, next, documents](std::vector<std::string>& cells) {
    if (*next >= forms->size()) return false;
    const Form& f = (*forms)[(*next)++];
    cells[0] = Cp1252ToUtf8(f.Text);
    AppendNumber(cells[1], static_cast<long long>(f.Total));
    AppendNumber(cells[2], static_cast<long long>(f.PerDocument.size()));
    for (size_t d = 0; d < documents; ++d) cells[3 + d].assign(1, '0');
    if (documents > 0) {
      for (const auto& [doc, count] : f.PerDocument) cells[3 + doc] = std::to_string(count);
    }
    return true;
  };
  return table;
}

ExportTable ConcordanceTable(std::string_view text, const ViewIndex& index, const cStarts& starts,
                             std::vector<int32_t> ordering, int32_t width, std::string documentName) {
  ExportTable table;
  table.Columns = {{"reference", false, 12, false},
                   {"document", false, 20, false},
                   {"left", false, 40, false},
                   {"match", false, 16, true},
                   {"right", false, 40, false}};
  table.RowCount = ordering.size();
  auto next = std::make_shared<size_t>(0);
  auto rows = std::make_shared<std::vector<int32_t>>(std::move(ordering));
  auto name = std::make_shared<std::string>(PathAsUtf8(documentName));
  table.Next = [text, &index, &starts, rows, next, width, name](std::vector<std::string>& cells) {
    if (*next >= rows->size()) return false;
    const Occurrence o = starts[static_cast<size_t>((*rows)[(*next)++])];
    const ConcordanceLine line = MakeConcordanceLine(text, index, o, width);
    cells[0] = OccurrenceReference(o);
    cells[1] = *name;
    cells[2] = Cp1252ToUtf8(line.Left);
    cells[3] = Cp1252ToUtf8(line.Match);
    cells[4] = Cp1252ToUtf8(line.Right);
    return true;
  };
  return table;
}

std::string FoundFormUtf8(const Document& document, int32_t start, int32_t end) {
  std::string out;
  AppendFoundFormUtf8(out, document, start, end);
  return out;
}

void AppendFoundFormUtf8(std::string& out, const Document& document, int32_t start, int32_t end) {
  std::string_view text = document.Text();
  start = std::clamp(start, 0, static_cast<int32_t>(text.size()));
  end = std::clamp(end, start, static_cast<int32_t>(text.size()));
  AppendFlatUtf8(out, text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
}

WordContext ContextWords(const RuleSet& rules, std::string_view text, int32_t start, int32_t end,
                         const OccurrenceExportOptions& options) {
  return ContextWalker(rules).Around(text, start, end, options);
}

std::string PathAsUtf8(std::string_view path) {
  return IsValidUtf8(path) ? std::string(path) : Cp1252ToUtf8(path);
}

}  // namespace kalix
