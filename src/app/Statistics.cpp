#include "app/Statistics.h"

#include "app/CorpusDocuments.h"
#include "app/WordList.h"
#include "platform/FlatIndex.h"
#include "platform/Hash.h"
#include "platform/Memory.h"
#include "platform/Parallel.h"
#include "platform/WordSet.h"
#include "search/Engine.h"
#include "search/ScanControl.h"
#include "search/HitSink.h"
#include "search/Normalize.h"
#include "search/Units.h"
#include "targets/DocumentRef.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <set>
#include <unordered_map>

namespace kalix {

namespace {

// The word forms met so far, numbered in the order they came, with their
// texts. Within one document the form of each distinct word is written
// once when it depends on the word alone.
class FormTable {
 public:
  FormTable(const RuleSet& rules, int resultSpelling, bool showSymbols)
      : rules_(rules), index_(rules), resultSpelling_(resultSpelling), showSymbols_(showSymbols),
        byWord_(FormDependsOnWordAlone(rules, resultSpelling)) {}

  // Starts a document; its text must stay alive until the next one.
  void BeginDocument(std::string_view text) {
    text_ = text;
    words_.Clear();
    wordForms_.clear();
  }

  // Whether the forms of the document's distinct words are kept (the form
  // depends on the word alone): a word is then looked up by its hash.
  bool ByWord() const { return byWord_; }

  // The hash a word is looked up by, its slot asked for meanwhile.
  uint32_t PrefetchWord(int32_t at, int32_t length) const {
    const uint32_t hash = HashForm(WordAt(at, length), kHashSeed);
    words_.Prefetch(hash);
    return hash;
  }

  // The number of the form of the word of `length` bytes at `at` (whose
  // hash is `hash` when `ByWord`).
  uint32_t FormOfWord(int32_t at, int32_t length, uint32_t hash = 0) {
    if (!byWord_) {
      form_.clear();
      AppendResultForm(rules_, index_, text_, static_cast<size_t>(at), static_cast<size_t>(length), resultSpelling_,
                       showSymbols_, form_);
      return FormNumber(form_);
    }
    const std::string_view word = WordAt(at, length);
    const uint32_t k = words_.FindOrAdd(word, hash, [this](uint32_t n) {
      return WordAt(wordForms_[n].At, wordForms_[n].Length);
    });
    if (k == wordForms_.size()) {
      form_.clear();
      AppendWordForm(rules_, index_, word, resultSpelling_, showSymbols_, form_);
      wordForms_.push_back(WordForm{at, length, FormNumber(form_)});
    }
    return wordForms_[k].Form;
  }

  // The document's words are no longer looked up.
  void EndDocument() {
    words_.Clear();
    wordForms_ = std::vector<WordForm>();
  }

  // The forms' texts and their bounds, taken out of the table (which is
  // then done).
  void TakeTexts(std::string& texts, std::vector<size_t>& at) {
    forms_.Clear();
    texts = std::move(texts_);
    at = std::move(formAt_);
  }

  size_t Count() const { return formAt_.size() - 1; }
  std::string_view Text(uint32_t n) const {
    return std::string_view(texts_).substr(formAt_[n], formAt_[n + 1] - formAt_[n]);
  }

  // The number of a form given as text, whose hash is `hash` (added when
  // new); `PrefetchForm` asks for its slot ahead.
  uint32_t NumberOf(std::string_view form, uint32_t hash) { return FormNumber(form, hash); }
  // The number of a form already numbered, or FlatIndex::kNone.
  uint32_t Find(std::string_view form, uint32_t hash) const {
    return forms_.Find(form, hash, [this](uint32_t k) { return Text(k); });
  }
  void PrefetchForm(uint32_t hash) const { forms_.Prefetch(hash); }

  // Appends the form of a word standing alone (`ByWord` only) to `out`;
  // safe from several threads at once.
  void AppendFormOfWord(std::string_view word, std::string& out) const {
    AppendWordForm(rules_, index_, word, resultSpelling_, showSymbols_, out);
  }

 private:
  struct WordForm {
    int32_t At;
    int32_t Length;
    uint32_t Form;
  };

  std::string_view WordAt(int32_t at, int32_t length) const {
    const size_t from = std::min(static_cast<size_t>(at), text_.size());
    return text_.substr(from, std::min(static_cast<size_t>(length), text_.size() - from));
  }

  uint32_t FormNumber(std::string_view form, uint32_t hash) {
    const uint32_t n = forms_.FindOrAdd(form, hash, [this](uint32_t k) { return Text(k); });
    if (n == Count()) {
      texts_ += form;
      formAt_.push_back(texts_.size());
    }
    return n;
  }
  uint32_t FormNumber(std::string_view form) { return FormNumber(form, HashForm(form, kHashSeed)); }

  const RuleSet& rules_;
  SubstRuleIndex index_;
  int resultSpelling_;
  bool showSymbols_;
  bool byWord_;
  std::string_view text_;
  FlatIndex words_;                  // the document's distinct words
  std::vector<WordForm> wordForms_;  // and the form of each
  FlatIndex forms_;
  std::string texts_;                // the forms' texts one after the other
  std::vector<size_t> formAt_{0};    // where each starts, and the end
  std::string form_;
};

// A word's form number with this bit set: the word opens a paragraph.
constexpr uint32_t kOpensParagraph = uint32_t{1} << 31;

// The words of one document as the word list cuts them: their form
// numbers, and (when asked) where each starts and ends.
class WordSequence final : public HitSink {
 public:
  WordSequence(FormTable& forms, bool keepPlaces) : forms_(forms), keepPlaces_(keepPlaces) {}

  void Read(const RuleSet& rules, std::string_view text, const cFilterList& filters) {
    forms_.BeginDocument(text);
    Forms.clear();
    Starts.clear();
    Ends.clear();
    lastParagraph_ = -1;
    waiting_ = 0;
    const size_t expected = text.size() / 5;  // words of four letters and a separator
    Forms.reserve(expected);
    if (keepPlaces_) {
      Starts.reserve(expected);
      Ends.reserve(expected);
    }
    ListWords(rules, text, filters, *this);
    while (waiting_ > 0) FileOldest();
    forms_.EndDocument();
  }

  // A word waits in the ring while the slot it is looked up in is fetched,
  // so that the cache misses of several words overlap.
  void AddTarget(const PendingHit& hit, int32_t wordLength) override {
    const bool opens = hit.ParagraphStart != lastParagraph_;
    lastParagraph_ = hit.ParagraphStart;
    if (keepPlaces_) {
      Starts.push_back(hit.WordStartAt);
      Ends.push_back(hit.WordStartAt + wordLength);
    }
    if (!forms_.ByWord()) {
      Forms.push_back(forms_.FormOfWord(hit.WordStartAt, wordLength) | (opens ? kOpensParagraph : 0));
      return;
    }
    if (waiting_ == kRing) FileOldest();
    Waiting& w = ring_[(first_ + waiting_) % kRing];
    w.At = hit.WordStartAt;
    w.Length = wordLength;
    w.Hash = forms_.PrefetchWord(hit.WordStartAt, wordLength);
    w.Place = static_cast<uint32_t>(Forms.size());
    Forms.push_back(opens ? kOpensParagraph : 0);
    ++waiting_;
  }
  void CloseOccurrences(int32_t, int) override {}

  std::vector<uint32_t> Forms;
  std::vector<int32_t> Starts;
  std::vector<int32_t> Ends;  // one past each word's last byte

 private:
  struct Waiting {
    int32_t At;
    int32_t Length;
    uint32_t Hash;
    uint32_t Place;  // in Forms
  };
  static constexpr size_t kRing = 8;

  void FileOldest() {
    const Waiting& w = ring_[first_];
    Forms[w.Place] |= forms_.FormOfWord(w.At, w.Length, w.Hash);
    first_ = (first_ + 1) % kRing;
    --waiting_;
  }

  FormTable& forms_;
  bool keepPlaces_;
  int32_t lastParagraph_ = -1;
  Waiting ring_[kRing] = {};
  size_t first_ = 0;
  size_t waiting_ = 0;
};

// One accepted hit: where it stands, the word where it began, its string.
struct Hit {
  int32_t StartView;
  int32_t WordAt;
  int32_t String;
};

// The hits of a scan, their places moved by `offset` and `view` (for the
// second part of a cut text).
class HitList final : public HitSink {
 public:
  HitList(int32_t offset = 0, int32_t view = 0) : offset_(offset), view_(view) {}
  void AddTarget(const PendingHit& hit, int32_t) override {
    Hits.push_back(Hit{hit.StartView + view_, hit.WordStartAt + offset_, hit.String});
  }
  void CloseOccurrences(int32_t, int) override {}
  std::vector<Hit> Hits;

 private:
  int32_t offset_;
  int32_t view_;
};

// The search's occurrences in `text`, in text order: one per place, the
// first hit there. A long text is cut in two and its parts scanned at once
// when `splitMinimum` allows. Once `stop` is set the scan ends at its next
// block (the occurrences are then those found so far).
std::vector<Hit> ScanOccurrences(const SearchPlan& plan, std::string_view text, size_t splitMinimum,
                                 const std::atomic<bool>* stop) {
  const ScanControl control{stop, nullptr};
  const size_t split = splitMinimum == SIZE_MAX ? 0
                                                : SplitPoint(plan.Rules(), plan.Settings(), plan.Filters(), text,
                                                             splitMinimum);
  HitList first;
  if (split == 0) {
    SearchDocument(plan, text, first, control);
  } else {
    HitList second(static_cast<int32_t>(split), ViewPositionAt(text, split));
    RunInParallel([&] { SearchDocument(plan, text.substr(0, split), first, control); },
                  [&] { SearchDocument(plan, text.substr(split), second, control); });
    first.Hits.insert(first.Hits.end(), second.Hits.begin(), second.Hits.end());
  }
  std::vector<Hit>& hits = first.Hits;
  std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.StartView < b.StartView; });
  hits.erase(std::unique(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.StartView == b.StartView; }),
             hits.end());
  return std::move(hits);
}

// The word (its place in `words`) where each occurrence began; occurrences
// whose word is not listed are left out.
std::vector<uint32_t> OccurrenceWords(const std::vector<Hit>& hits, const WordSequence& words,
                                      std::vector<int32_t>* views = nullptr) {
  std::vector<uint32_t> at;
  at.reserve(hits.size());
  for (const Hit& h : hits) {
    const auto it = std::upper_bound(words.Starts.begin(), words.Starts.end(), h.WordAt);
    if (it == words.Starts.begin()) continue;
    const size_t k = static_cast<size_t>(it - words.Starts.begin()) - 1;
    if (h.WordAt >= words.Ends[k]) continue;
    at.push_back(static_cast<uint32_t>(k));
    if (views) views->push_back(h.StartView);
  }
  return at;
}

// The documents of the request's source, each text handed to `visit` once
// with its path (empty for the window's document)
// (a corpus document listed again is passed over, as the search passes over
// its places). Returns the number of corpus documents that could not be
// opened; `stopped` tells whether the stop flag ended the walk.
template <typename Visit>
size_t ForEachText(const Context& context, const SearchRequest& request, bool& stopped, Visit&& visit) {
  stopped = false;
  if (!request.Settings.UseCorpus) {
    if (request.WindowDocument != nullptr) visit(request.WindowDocument->Text(), std::string());
    stopped = request.Stop != nullptr && request.Stop->load();
    return 0;
  }
  std::set<std::string> seen;
  Document scratch;
  const CorpusReading reading{request.Loader, request.OnProgress, request.OnUnreadable, request.Stop, {}};
  const size_t skipped = ForEachCorpusDocument(
      context, request.Corpus, reading, [&]() -> Document& { return scratch; },
      [&](size_t i, Document& document) {
        if (seen.insert(MakeDocumentRef(request.Corpus[i])).second) visit(document.Text(), request.Corpus[i]);
        return true;
      });
  stopped = request.Stop != nullptr && request.Stop->load();
  return skipped;
}

// The request's search made ready: filters, keys, and in the "Générée"
// mode the variants, sorted by key as the search sorts them.
struct PreparedSearch {
  cFilterList Filters;
  std::vector<size_t> Bounded;  // places (before sorting) of strings whose generation was bounded
  std::vector<std::string> BoundedTexts;
};

PreparedSearch PrepareSearch(const Context& context, SearchRequest& request) {
  PreparedSearch p;
  SearchSettings& settings = request.Settings;
  settings.FromWordList = false;
  BuildFilterList(context.Rules, request.CheckedFilters, p.Filters, settings.FilterNames);
  PrepareKeys(context.Rules, settings, request.Strings);
  if (settings.Generate) {
    ExpandGenerated(context.Morva, request.Strings, settings.Level, &p.Bounded);
    for (size_t n : p.Bounded) p.BoundedTexts.push_back(request.Strings[n].Text);
    SortStringsByKey(request.Strings);
  }
  return p;
}

size_t SplitMinimumOf(const SearchRequest& request) { return request.Parallel ? request.SplitMinimum : SIZE_MAX; }

// Runs `first` and `second`, at once when the request may use two threads.
void BothOf(const SearchRequest& request, const std::function<void()>& first, const std::function<void()>& second) {
  if (request.Parallel) {
    RunInParallel(first, second);
  } else {
    first();
    second();
  }
}

bool TextLess(std::string_view a, std::string_view b) { return a < b; }

// The words of `text` from `begin` to `end` that pass the filters, in text
// order, cut as `ListWords` cuts them: `visit(at, length, opens)`, where
// `opens` tells that the word is the first listed one of its paragraph.
// `begin` is 0 or follows a paragraph separator; bytes from `end` on count
// as symbols (a word still open there is not listed).
//
// The text is taken 64 bytes at a time as bit masks of its letters, symbols
// and paragraph separators, to find the only bytes where the word tracker
// changes: the letters that open a word (their nearest non-symbol byte
// before them is not a letter) and the separators that end one (their
// nearest non-symbol byte before them is a letter). A paragraph separator
// between the end of one word and the opening of the next makes the next
// listed word open its paragraph.
template <typename Visit>
void ScanWordsIn(const RuleSet& rules, std::string_view text, size_t begin, size_t end, const cFilterList& filters,
                 Visit&& visit) {
  std::array<uint8_t, 256> isLetter;
  std::array<uint8_t, 256> isSymbol;
  std::array<uint8_t, 256> isParagraph;
  for (int c = 0; c < 256; ++c) {
    const int cls = rules.SeparatorClass[c];
    isLetter[c] = cls == kLetter ? 1 : 0;
    isSymbol[c] = cls == kSymbol ? 1 : 0;
    isParagraph[c] = cls >= kParagraphSeparator ? 1 : 0;
  }
  const bool filtered = !filters.empty();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  UnitTracker units;
  bool opens = true;  // a paragraph began since the last listed word
  for (size_t base = begin; base < end; base += 64) {
    uint64_t letters = 0;
    uint64_t symbols = 0;
    uint64_t paragraphs = 0;
    const size_t count = end - base < 64 ? end - base : 64;
    const unsigned char* block = bytes + base;
    if (count == 64) {
      for (int j = 0; j < 64; ++j) {
        letters |= uint64_t{isLetter[block[j]]} << j;
        symbols |= uint64_t{isSymbol[block[j]]} << j;
        paragraphs |= uint64_t{isParagraph[block[j]]} << j;
      }
    } else {
      for (size_t j = 0; j < count; ++j) {
        letters |= uint64_t{isLetter[block[j]]} << j;
        symbols |= uint64_t{isSymbol[block[j]]} << j;
        paragraphs |= uint64_t{isParagraph[block[j]]} << j;
      }
      symbols |= ~uint64_t{0} << count;  // past the end
    }
    const uint64_t separators = ~(letters | symbols);
    const uint64_t openBit = units.InWord() ? 1 : 0;
    const uint64_t runStarts = ((letters << 1) | openBit) & symbols;
    const uint64_t afterLetterSymbols = ((symbols + runStarts) ^ symbols) & symbols;
    const uint64_t afterLetter = ((letters | afterLetterSymbols) << 1) | openBit;
    uint64_t events = (letters & ~afterLetter) | (separators & afterLetter);
    int from = 0;  // paragraph separators before this bit have been seen
    while (events != 0) {
      const int j = __builtin_ctzll(events);
      events &= events - 1;
      const int32_t at = static_cast<int32_t>(base + static_cast<size_t>(j));
      if (!units.InWord()) {
        if ((paragraphs & ((uint64_t{1} << j) - 1) & (~uint64_t{0} << from)) != 0) opens = true;
        units.Open(at, at);
        from = j;
        continue;
      }
      const uint64_t lettersBefore = letters & ((uint64_t{1} << j) - 1);
      if (lettersBefore != 0) units.InnerLetter(static_cast<int32_t>(base) + 63 - __builtin_clzll(lettersBefore));
      units.Separator(kWordSeparator);
      const int32_t length = units.lastLetter - units.word + 1;
      if (!filtered || PassesFilters(rules, text, units.word, length, true, filters)) {
        visit(units.word, length, opens);
        opens = false;
      }
      from = j;  // the separator that ended the word may end its paragraph
    }
    if (units.InWord()) {
      if (letters != 0) units.InnerLetter(static_cast<int32_t>(base) + 63 - __builtin_clzll(letters));
    } else if ((paragraphs >> from) != 0) {
      opens = true;
    }
  }
}

// The words of one stretch of a text, each as the number of its raw word
// (its bytes as they stand) among the stretch's distinct ones.
struct RawStretch {
  std::vector<uint32_t> Ids;          // per word; kOpensParagraph: it opens a paragraph
  std::vector<uint32_t> At;           // per raw word: where it first stands
  std::vector<uint32_t> Length;       // and its length
  std::vector<uint32_t> Occurrences;  // per occurrence, its word's place in Ids
  std::string FormTexts;              // per raw word, its form (`FormOfRawWords`)
  std::vector<uint32_t> FormAt;       // where each form starts, and the end
  std::vector<uint32_t> FormHash;     // and its hash
  std::vector<uint32_t> FormOf;       // per raw word, its form's number (`NumberForms`)

  std::string_view Form(size_t n) const {
    return std::string_view(FormTexts).substr(FormAt[n], FormAt[n + 1] - FormAt[n]);
  }
};

// Reads the words of the stretch from `begin` to `end`; `hitsFrom` to
// `hitsTo` are the word starts of the occurrences in it, ascending. Words
// wait in a ring while the index slot they are looked up in is fetched.
void ReadStretch(const RuleSet& rules, std::string_view text, size_t begin, size_t end, const cFilterList& filters,
                 const int32_t* hitsFrom, const int32_t* hitsTo, RawStretch& s) {
  FlatIndex index;
  struct Waiting {
    int32_t At;
    int32_t Length;
    uint32_t Hash;
    uint32_t Place;
  };
  constexpr size_t kRing = 8;
  Waiting ring[kRing] = {};
  size_t first = 0;
  size_t waiting = 0;
  auto keyOf = [&](uint32_t n) { return text.substr(s.At[n], s.Length[n]); };
  auto fileOldest = [&] {
    const Waiting& w = ring[first];
    const uint32_t n = index.FindOrAdd(text.substr(static_cast<size_t>(w.At), static_cast<size_t>(w.Length)), w.Hash,
                                       keyOf);
    if (n == s.At.size()) {
      s.At.push_back(static_cast<uint32_t>(w.At));
      s.Length.push_back(static_cast<uint32_t>(w.Length));
    }
    s.Ids[w.Place] |= n;
    first = (first + 1) % kRing;
    --waiting;
  };
  s.Ids.reserve((end - begin) / 5);  // words of four letters and a separator
  const int32_t* hit = hitsFrom;
  ScanWordsIn(rules, text, begin, end, filters, [&](int32_t at, int32_t length, bool opens) {
    const auto place = static_cast<uint32_t>(s.Ids.size());
    while (hit != hitsTo && *hit < at) ++hit;
    for (; hit != hitsTo && *hit < at + length; ++hit) s.Occurrences.push_back(place);
    if (waiting == kRing) fileOldest();
    Waiting& w = ring[(first + waiting) % kRing];
    w.At = at;
    w.Length = length;
    w.Hash = HashForm(text.substr(static_cast<size_t>(at), static_cast<size_t>(length)), kHashSeed);
    w.Place = place;
    index.Prefetch(w.Hash);
    s.Ids.push_back(opens ? kOpensParagraph : 0);
    ++waiting;
  });
  while (waiting > 0) fileOldest();
}

// Writes the form of each raw word of the stretch.
void FormOfRawWords(const FormTable& forms, std::string_view text, RawStretch& s) {
  s.FormAt.assign(1, 0);
  s.FormAt.reserve(s.At.size() + 1);
  s.FormHash.reserve(s.At.size());
  for (size_t n = 0; n < s.At.size(); ++n) {
    forms.AppendFormOfWord(text.substr(s.At[n], s.Length[n]), s.FormTexts);
    s.FormAt.push_back(static_cast<uint32_t>(s.FormTexts.size()));
    s.FormHash.push_back(HashForm(s.Form(n), kHashSeed));
  }
  s.At = std::vector<uint32_t>();
  s.Length = std::vector<uint32_t>();
}

// Numbers the forms of the stretch's raw words in the table, each slot
// asked for a few forms ahead.
void NumberForms(FormTable& forms, RawStretch& s) {
  constexpr size_t kAhead = 8;
  const size_t n = s.FormHash.size();
  s.FormOf.resize(n);
  for (size_t k = 0; k < n; ++k) {
    if (k + kAhead < n) forms.PrefetchForm(s.FormHash[k + kAhead]);
    s.FormOf[k] = forms.NumberOf(s.Form(k), s.FormHash[k]);
  }
  s.FormTexts = std::string();
  s.FormAt = std::vector<uint32_t>();
  s.FormHash = std::vector<uint32_t>();
}

// Where a text of at least `minimum` bytes is cut for two scans at once:
// after the first paragraph separator from its middle on; 0 for none.
size_t StretchCut(const RuleSet& rules, std::string_view text, size_t minimum) {
  if (minimum == SIZE_MAX || text.size() < minimum || text.size() < 2) return 0;
  for (size_t i = text.size() / 2; i < text.size(); ++i) {
    if (rules.SeparatorClass[static_cast<unsigned char>(text[i])] >= kParagraphSeparator) return i + 1;
  }
  return 0;
}

// The words of a document as `WordSequence` gives them (form numbers with
// kOpensParagraph), for forms that depend on the word alone: the text read
// in two stretches at once when the request allows, each distinct raw word
// written in the result spelling once. `hitWords` are the word starts of
// the search's occurrences, ascending; `occurrences` receives the place of
// each one's word (those whose word is not listed are left out).
// The distinct raw words of a stretch (their bytes as they stand), each
// with its number of words and its co-occurrence count. Words of at most
// 15 bytes are kept in the slots of an open-addressing table (their bytes
// and length as two numbers); they wait in a small batch while their slots
// are fetched, so that the table's cache misses overlap. Longer words are
// kept apart by their bytes in the text, which must stay alive.
class RawWordCounts {
 public:
  RawWordCounts() : slots_(kInitialSlots), mask_(kInitialSlots - 1) {}

  // Adds `count` words and `together` co-occurrences to `word`; with
  // `padded`, 16 bytes from its start are readable.
  void Add(std::string_view word, uint32_t count, uint64_t together, bool padded = false) {
    if (word.empty() || word.size() > kShortMax) {
      Counts& c = long_[word];
      c.Count += count;
      c.Together += together;
      return;
    }
    Pending& p = pending_[pendingCount_++];
    ShortKey key;
    if (padded) {
      key = LoadShortKey(word.data(), word.size());
    } else {
      char buffer[kShortKeyMax] = {};
      std::memcpy(buffer, word.data(), word.size());
      key = LoadShortKey(buffer, word.size());
    }
    p.Lo = key.Lo;
    p.Hi = key.Hi | uint64_t{word.size()} << 56;
    p.Hash = HashTwoWords(p.Lo, p.Hi);
    p.Count = count;
    p.Together = together;
    Prefetch(&slots_[p.Hash & mask_]);
    if (pendingCount_ == kBatch) Flush();
  }

  void Flush() {
    for (size_t k = 0; k < pendingCount_; ++k) Insert(pending_[k]);
    pendingCount_ = 0;
  }

  // Calls `f(word, count, together)` for every distinct word (after `Flush`).
  template <typename F>
  void ForEach(F&& f) const {
    char bytes[16];
    for (const Slot& s : slots_) {
      if (s.Hi == 0) continue;
      std::memcpy(bytes, &s.Lo, 8);
      std::memcpy(bytes + 8, &s.Hi, 8);
      f(std::string_view(bytes, static_cast<size_t>(s.Hi >> 56)), s.Count, s.Together);
    }
    for (const auto& [word, c] : long_) f(word, c.Count, c.Together);
  }

  size_t Count() const { return filled_ + long_.size(); }

 private:
  static constexpr size_t kInitialSlots = size_t{1} << 10;
  static constexpr size_t kBatch = 32;
  static constexpr size_t kShortMax = 15;
  struct Slot {
    uint64_t Lo = 0;
    uint64_t Hi = 0;  // bytes 8 to 14, the length in the top byte; 0: empty
    uint64_t Count = 0;
    uint64_t Together = 0;
  };
  struct Pending {
    uint64_t Lo, Hi, Hash;
    uint32_t Count;
    uint64_t Together;
  };
  struct Counts {
    uint64_t Count = 0;
    uint64_t Together = 0;
  };

  void Insert(const Pending& p) {
    for (size_t i = p.Hash & mask_;; i = (i + 1) & mask_) {
      Slot& s = slots_[i];
      if (s.Lo == p.Lo && s.Hi == p.Hi) {
        s.Count += p.Count;
        s.Together += p.Together;
        return;
      }
      if (s.Hi == 0) {
        s = Slot{p.Lo, p.Hi, p.Count, p.Together};
        if (++filled_ * 8 > slots_.size() * 7) Grow();  // at seven eighths full
        return;
      }
    }
  }

  void Grow() {
    Slots old(slots_.size() * 2);
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    for (const Slot& s : old) {
      if (s.Hi == 0) continue;
      for (size_t i = HashTwoWords(s.Lo, s.Hi) & mask_;; i = (i + 1) & mask_) {
        if (slots_[i].Hi == 0) {
          slots_[i] = s;
          break;
        }
      }
    }
  }

  // Lookups jump all over the table: it is mapped on its own, with huge
  // pages where the system allows.
  using Slots = std::vector<Slot, LargeBlockAllocator<Slot>>;
  Slots slots_;
  size_t mask_;
  size_t filled_ = 0;
  std::unordered_map<std::string_view, Counts> long_;
  Pending pending_[kBatch];
  size_t pendingCount_ = 0;
};

// What one stretch of a text gives the collocates: its raw words with their
// counts, and the words at its two edges (whose windows reach into the
// stretch beside it), each with its number of occurrences.
struct WindowStretch {
  struct EdgeWord {
    int32_t At;
    int32_t Length;
    uint32_t Occurrences;
  };
  RawWordCounts Counts;
  uint64_t Words = 0;
  uint64_t Occurrences = 0;
  uint64_t WindowWords = 0;
  std::vector<EdgeWord> Head;  // the first words, up to kEdge
  std::vector<EdgeWord> Tail;  // the last words, up to kEdge, in text order
  std::string FormTexts;       // per distinct raw word, its form (`FormOfCountedWords`)
  std::vector<uint32_t> FormAt;
  std::vector<uint32_t> FormHash;
  std::vector<uint64_t> Count;
  std::vector<uint64_t> Together;
};

constexpr size_t kEdge = 10;  // the widest window side

// Reads the words of the stretch from `begin` to `end`, counting each raw
// word and, for each word, the occurrences whose window holds it:
// those among the `right` words before it and the `left` words after it
// (within the stretch; the edges are left to `AddAcrossCut`). Each word
// waits `left` words for the occurrences after it; `hitsFrom` to `hitsTo`
// are the word starts of the occurrences in the stretch, ascending.
void CountWindows(const RuleSet& rules, std::string_view text, size_t begin, size_t end, const cFilterList& filters,
                  const int32_t* hitsFrom, const int32_t* hitsTo, size_t left, size_t right, WindowStretch& s) {
  constexpr size_t kRing = 32;  // more than left + right + 1
  int32_t ringAt[kRing];
  int32_t ringLength[kRing];
  uint32_t ringOccurrences[kRing];
  uint64_t before[kRing];  // per word t, the occurrences of the words before it: P(t)
  uint64_t total = 0;      // P of the next word
  size_t t = 0;            // the words read
  // The window count of word j once the words to j + left (or the end) are read.
  auto weightOf = [&](size_t j, size_t n) {
    auto p = [&](size_t i) { return i >= t ? total : before[i % kRing]; };
    const size_t from = j > right ? j - right : 0;
    const size_t to = std::min(n, j + left + 1);
    return (p(j) - p(from)) + (p(to) - p(j + 1));
  };
  auto emit = [&](size_t j, size_t n) {
    const uint64_t w = weightOf(j, n);
    s.WindowWords += w;
    const auto at = static_cast<size_t>(ringAt[j % kRing]);
    s.Counts.Add(text.substr(at, static_cast<size_t>(ringLength[j % kRing])), 1, w, text.size() - at >= kShortKeyMax);
  };
  const int32_t* hit = hitsFrom;
  ScanWordsIn(rules, text, begin, end, filters, [&](int32_t at, int32_t length, bool) {
    while (hit != hitsTo && *hit < at) ++hit;
    uint32_t m = 0;
    for (; hit != hitsTo && *hit < at + length; ++hit) ++m;
    const size_t k = t % kRing;
    ringAt[k] = at;
    ringLength[k] = length;
    ringOccurrences[k] = m;
    before[k] = total;
    total += m;
    if (t < kEdge) s.Head.push_back(WindowStretch::EdgeWord{at, length, m});
    ++t;
    if (t > left) emit(t - 1 - left, SIZE_MAX);
  });
  for (size_t j = t > left ? t - left : 0; j < t; ++j) emit(j, t);
  s.Counts.Flush();
  for (size_t j = t > kEdge ? t - kEdge : 0; j < t; ++j) {
    s.Tail.push_back(WindowStretch::EdgeWord{ringAt[j % kRing], ringLength[j % kRing], ringOccurrences[j % kRing]});
  }
  s.Words = t;
  s.Occurrences = total;
}

// Adds the window counts that reach across the cut between two stretches:
// the last words of the first are among the `left` words after the
// occurrences at the start of the second, its first words among the
// `right` words before those at the end of the first.
void AddAcrossCut(std::string_view text, size_t left, size_t right, WindowStretch& first, WindowStretch& second) {
  const std::vector<WindowStretch::EdgeWord>& tail = first.Tail;
  const std::vector<WindowStretch::EdgeWord>& head = second.Head;
  auto word = [&](const WindowStretch::EdgeWord& e) {
    return text.substr(static_cast<size_t>(e.At), static_cast<size_t>(e.Length));
  };
  // Distances across the cut: tail[a] is tail.size() - a words before it,
  // head[b] is b + 1 words after it.
  for (size_t a = 0; a < tail.size(); ++a) {
    uint64_t w = 0;
    for (size_t b = 0; b < head.size(); ++b) {
      if (tail.size() - a + b <= left) w += head[b].Occurrences;
    }
    if (w > 0) {
      first.Counts.Add(word(tail[a]), 0, w);
      first.WindowWords += w;
    }
  }
  for (size_t b = 0; b < head.size(); ++b) {
    uint64_t w = 0;
    for (size_t a = 0; a < tail.size(); ++a) {
      if (tail.size() - a + b <= right) w += tail[a].Occurrences;
    }
    if (w > 0) {
      second.Counts.Add(word(head[b]), 0, w);
      second.WindowWords += w;
    }
  }
  first.Counts.Flush();
  second.Counts.Flush();
}

// Writes the form of each distinct raw word of the stretch, with its counts.
void FormOfCountedWords(const FormTable& forms, WindowStretch& s) {
  const size_t n = s.Counts.Count();
  s.FormAt.assign(1, 0);
  s.FormAt.reserve(n + 1);
  s.FormHash.reserve(n);
  s.Count.reserve(n);
  s.Together.reserve(n);
  s.Counts.ForEach([&](std::string_view word, uint64_t count, uint64_t together) {
    const size_t start = s.FormTexts.size();
    forms.AppendFormOfWord(word, s.FormTexts);
    s.FormAt.push_back(static_cast<uint32_t>(s.FormTexts.size()));
    s.FormHash.push_back(HashForm(std::string_view(s.FormTexts).substr(start), kHashSeed));
    s.Count.push_back(count);
    s.Together.push_back(together);
  });
  s.Counts = RawWordCounts();
}

// Reads a document in one or two stretches (`count`), their raw words
// numbered as forms of the table (RawStretch::FormOf).
struct Stretches {
  RawStretch Parts[2];
  size_t Count = 1;
};

void ReadStretches(const RuleSet& rules, FormTable& forms, std::string_view text, const cFilterList& filters,
                   size_t splitMinimum, const std::vector<int32_t>& hitWords, Stretches& read) {
  const size_t cut = StretchCut(rules, text, splitMinimum);
  RawStretch* stretches = read.Parts;
  read.Count = cut == 0 ? 1 : 2;
  const int32_t* hits = hitWords.data();
  const int32_t* hitsEnd = hits + hitWords.size();
  const int32_t* hitsCut = std::lower_bound(hits, hitsEnd, static_cast<int32_t>(cut));
  if (cut == 0) {
    ReadStretch(rules, text, 0, text.size(), filters, hits, hitsEnd, stretches[0]);
    FormOfRawWords(forms, text, stretches[0]);
  } else {
    RunInParallel(
        [&] {
          ReadStretch(rules, text, 0, cut, filters, hits, hitsCut, stretches[0]);
          FormOfRawWords(forms, text, stretches[0]);
        },
        [&] {
          ReadStretch(rules, text, cut, text.size(), filters, hitsCut, hitsEnd, stretches[1]);
          FormOfRawWords(forms, text, stretches[1]);
        });
  }
  for (size_t k = 0; k < read.Count; ++k) NumberForms(forms, stretches[k]);
}

// The words of a document as `WordSequence` gives them (form numbers with
// kOpensParagraph), for forms that depend on the word alone, read by
// `ReadStretches`; `occurrences` receives the place of each occurrence's
// word.
void ReadWordForms(const RuleSet& rules, FormTable& forms, std::string_view text, const cFilterList& filters,
                   size_t splitMinimum, const std::vector<int32_t>& hitWords, std::vector<uint32_t>& out,
                   std::vector<uint32_t>& occurrences) {
  Stretches read;
  ReadStretches(rules, forms, text, filters, splitMinimum, hitWords, read);
  RawStretch* stretches = read.Parts;
  out.swap(stretches[0].Ids);
  occurrences.swap(stretches[0].Occurrences);
  const size_t firstWords = out.size();
  for (size_t k = 0; k < read.Count; ++k) {
    RawStretch& s = stretches[k];
    const std::vector<uint32_t>& formOf = s.FormOf;
    if (k == 0) {
      for (uint32_t& w : out) w = formOf[w & ~kOpensParagraph] | (w & kOpensParagraph);
    } else {
      out.reserve(out.size() + s.Ids.size());
      for (uint32_t w : s.Ids) out.push_back(formOf[w & ~kOpensParagraph] | (w & kOpensParagraph));
      s.Ids = std::vector<uint32_t>();
      for (uint32_t o : s.Occurrences) occurrences.push_back(static_cast<uint32_t>(firstWords + o));
    }
  }
}

}  // namespace

std::vector<size_t> CountEachString(const Context& context, const SearchSettings& settings, const cArrowList& strings,
                                    const cFilterList& filters, const SearchRequest& source, size_t* skipped,
                                    bool* stopped, const std::function<void(const std::vector<size_t>&)>& onDocument) {
  const SearchPlan plan(context.Rules, settings, strings, filters);
  std::vector<size_t> counts(strings.size(), 0);
  SearchRequest walk;
  walk.Settings.UseCorpus = settings.UseCorpus;
  walk.WindowDocument = source.WindowDocument;
  walk.Corpus = source.Corpus;
  walk.Loader = source.Loader;
  walk.OnUnreadable = source.OnUnreadable;
  walk.OnProgress = source.OnProgress;
  walk.Stop = source.Stop;
  bool wasStopped = false;
  const size_t n = ForEachText(context, walk, wasStopped, [&](std::string_view text, const std::string&) {
    for (const Hit& h : ScanOccurrences(plan, text, SplitMinimumOf(source), source.Stop)) {
      ++counts[static_cast<size_t>(h.String)];
    }
    if (onDocument) onDocument(counts);
  });
  if (skipped) *skipped = n;
  if (stopped) *stopped = wasStopped;
  return counts;
}

AttestedResult CountAttestedVariants(const Context& context, SearchRequest request) {
  AttestedResult result;
  request.Settings.SetSpelling(3);
  const PreparedSearch prepared = PrepareSearch(context, request);
  const cArrowList& strings = request.Strings;
  const std::vector<size_t> counts = CountEachString(context, request.Settings, strings, prepared.Filters, request,
                                                     &result.DocumentsSkipped, &result.Stopped);
  for (size_t c : counts) result.Occurrences += c;

  std::unordered_map<std::string, size_t> countOfKey;
  for (size_t n = 0; n < strings.size(); ++n) countOfKey.emplace(strings[n].Key, counts[n]);
  std::vector<const SearchString*> sources;
  for (const SearchString& s : strings) {
    if (!s.HasSource()) sources.push_back(&s);
  }
  std::stable_sort(sources.begin(), sources.end(),
                   [](const SearchString* a, const SearchString* b) { return a->Index < b->Index; });
  for (const SearchString* s : sources) {
    AttestedList list;
    list.Text = s->Text;
    const VariantList variants = GenerateVariants(context.Morva, s->Key, request.Settings.Level);
    list.Bounded = variants.bounded;
    for (const std::string& v : variants.variants) {
      const auto it = countOfKey.find(v);
      list.Variants.push_back(AttestedVariant{v, it == countOfKey.end() ? 0 : it->second});
    }
    result.Lists.push_back(std::move(list));
  }
  return result;
}

void ComputeMeasures(Collocate& c, uint64_t words, uint64_t occurrences, uint64_t windowWords) {
  const double n = static_cast<double>(words);
  const double o = static_cast<double>(c.Cooccurrences);
  const double fc = static_cast<double>(c.Frequency);
  const double w = static_cast<double>(windowWords);
  c.LogLikelihood = c.MutualInformation = c.TScore = c.LogDice = 0;
  if (n <= 0 || o <= 0) return;
  const double e = w * fc / n;
  if (e > 0) c.MutualInformation = std::log2(o / e);
  c.TScore = (o - e) / std::sqrt(o);
  const double observed[4] = {o, w - o, fc - o, n - w - fc + o};
  const double expected[4] = {w * fc / n, w * (n - fc) / n, (n - w) * fc / n, (n - w) * (n - fc) / n};
  double g2 = 0;
  for (int k = 0; k < 4; ++k) {
    if (observed[k] > 0 && expected[k] > 0) g2 += observed[k] * std::log(observed[k] / expected[k]);
  }
  c.LogLikelihood = 2 * g2;
  const double sum = static_cast<double>(occurrences) + fc;
  if (sum > 0) c.LogDice = 14 + std::log2(2 * o / sum);
}

void SortCollocates(std::vector<Collocate>& collocates, CollocateOrder order) {
  auto key = [order](const Collocate& c) -> double {
    switch (order) {
      case CollocateOrder::Cooccurrences: return static_cast<double>(c.Cooccurrences);
      case CollocateOrder::Frequency: return static_cast<double>(c.Frequency);
      case CollocateOrder::LogLikelihood: return c.LogLikelihood;
      case CollocateOrder::MutualInformation: return c.MutualInformation;
      case CollocateOrder::TScore: return c.TScore;
      case CollocateOrder::LogDice: return c.LogDice;
      case CollocateOrder::Text: break;
    }
    return 0;
  };
  std::sort(collocates.begin(), collocates.end(), [&](const Collocate& a, const Collocate& b) {
    if (order != CollocateOrder::Text) {
      const double ka = key(a), kb = key(b);
      if (ka != kb) return ka > kb;
    }
    return TextLess(a.Text, b.Text);
  });
}

CollocateResult FindCollocates(const Context& context, SearchRequest request, const CollocateOptions& options) {
  CollocateResult result;
  PreparedSearch prepared = PrepareSearch(context, request);
  if (options.Filters != nullptr) prepared.Filters = *options.Filters;
  const SearchSettings& settings = request.Settings;
  const SearchPlan plan(context.Rules, settings, request.Strings, prepared.Filters);
  FormTable forms(context.Rules, settings.ResultSpelling, settings.ShowSymbols);
  WordSequence words(forms, true);
  std::vector<uint64_t> totals;
  std::vector<uint64_t> together;
  const int64_t left = std::clamp(options.Left, 0, 10);
  const int64_t right = std::clamp(options.Right, 0, 10);
  // Without meetings to list, the words' places are not kept: each word of
  // a form that depends on the word alone is read as its raw bytes first.
  const bool byRawWords = forms.ByWord() && options.Meeting.empty();
  // Their forms are then kept in two tables, by the lowest bit of their
  // hash, each filled and listed on a thread of its own.
  struct FormPart {
    FormTable Forms;
    std::vector<uint64_t> Totals;
    std::vector<uint64_t> Together;
    std::vector<Collocate> Collocates;
  };
  FormPart formParts[2] = {{FormTable(context.Rules, settings.ResultSpelling, settings.ShowSymbols), {}, {}, {}},
                           {FormTable(context.Rules, settings.ResultSpelling, settings.ShowSymbols), {}, {}, {}}};
  std::vector<int32_t> hitWords;
  std::vector<uint32_t> located;
  result.DocumentsSkipped = ForEachText(context, request, result.Stopped, [&](std::string_view text, const std::string& path) {
    std::vector<Hit> hits;
    std::vector<int32_t> views;
    if (byRawWords) {
      hits = ScanOccurrences(plan, text, SplitMinimumOf(request), request.Stop);
      hitWords.clear();
      for (const Hit& h : hits) hitWords.push_back(h.WordAt);
      hits = std::vector<Hit>();
      std::sort(hitWords.begin(), hitWords.end());
      const size_t cut = StretchCut(context.Rules, text, SplitMinimumOf(request));
      const int32_t* hitsFrom = hitWords.data();
      const int32_t* hitsTo = hitsFrom + hitWords.size();
      const int32_t* hitsCut = std::lower_bound(hitsFrom, hitsTo, static_cast<int32_t>(cut));
      const size_t l = static_cast<size_t>(left), r = static_cast<size_t>(right);
      WindowStretch parts[2];
      size_t count = 1;
      if (cut == 0) {
        CountWindows(context.Rules, text, 0, text.size(), prepared.Filters, hitsFrom, hitsTo, l, r, parts[0]);
        FormOfCountedWords(forms, parts[0]);
      } else {
        count = 2;
        RunInParallel(
            [&] { CountWindows(context.Rules, text, 0, cut, prepared.Filters, hitsFrom, hitsCut, l, r, parts[0]); },
            [&] {
              CountWindows(context.Rules, text, cut, text.size(), prepared.Filters, hitsCut, hitsTo, l, r, parts[1]);
            });
        AddAcrossCut(text, l, r, parts[0], parts[1]);
        RunInParallel([&] { FormOfCountedWords(forms, parts[0]); }, [&] { FormOfCountedWords(forms, parts[1]); });
      }
      for (size_t k = 0; k < count; ++k) {
        result.Words += parts[k].Words;
        result.Occurrences += parts[k].Occurrences;
        result.WindowWords += parts[k].WindowWords;
      }
      // A single text: only the forms of words met in a window are
      // collocates, numbered first; the other words count only for a form
      // found among them. In a corpus every form is kept, as a later
      // document may make it a collocate.
      const bool windowFormsOnly = !request.Settings.UseCorpus;
      auto number = [&](uint32_t bit) {
        FormPart& part = formParts[bit];
        // Calls `visit(stretch, j, form)` for the raw words of this table
        // that `take` accepts, each form's slot asked for a few ahead.
        auto forEach = [&](auto&& take, auto&& visit) {
          constexpr size_t kAhead = 8;
          for (size_t k = 0; k < count; ++k) {
            const WindowStretch& s = parts[k];
            const size_t distinct = s.FormHash.size();
            for (size_t j = 0; j < distinct; ++j) {
              if ((s.FormHash[j] & 1) != bit || !take(s, j)) continue;
              if (j + kAhead < distinct) part.Forms.PrefetchForm(s.FormHash[j + kAhead]);
              visit(s, j, std::string_view(s.FormTexts).substr(s.FormAt[j], s.FormAt[j + 1] - s.FormAt[j]));
            }
          }
        };
        auto add = [&](const WindowStretch& s, size_t j, std::string_view form) {
          const uint32_t f = part.Forms.NumberOf(form, s.FormHash[j]);
          if (f == part.Totals.size()) {
            part.Totals.push_back(0);
            part.Together.push_back(0);
          }
          part.Totals[f] += s.Count[j];
          part.Together[f] += s.Together[j];
        };
        if (!windowFormsOnly) {
          forEach([](const WindowStretch&, size_t) { return true; }, add);
          return;
        }
        forEach([](const WindowStretch& s, size_t j) { return s.Together[j] != 0; }, add);
        forEach([](const WindowStretch& s, size_t j) { return s.Together[j] == 0; },
                [&](const WindowStretch& s, size_t j, std::string_view form) {
                  const uint32_t f = part.Forms.Find(form, s.FormHash[j]);
                  if (f != FlatIndex::kNone) part.Totals[f] += s.Count[j];
                });
      };
      BothOf(request, [&] { number(0); }, [&] { number(1); });
      return;
    } else {
      BothOf(request, [&] { words.Read(context.Rules, text, prepared.Filters); },
             [&] { hits = ScanOccurrences(plan, text, SIZE_MAX, request.Stop); });
      located = OccurrenceWords(hits, words, &views);
    }
    totals.resize(forms.Count(), 0);
    together.resize(forms.Count(), 0);
    for (uint32_t f : words.Forms) ++totals[f & ~kOpensParagraph];
    result.Words += words.Forms.size();
    const int64_t n = static_cast<int64_t>(words.Forms.size());
    for (size_t o = 0; o < located.size(); ++o) {
      const int64_t k = located[o];
      ++result.Occurrences;
      const int64_t from = std::max<int64_t>(0, k - left);
      const int64_t to = std::min<int64_t>(n - 1, k + right);
      bool meets = false;
      for (int64_t j = from; j <= to; ++j) {
        if (j == k) continue;
        const uint32_t f = words.Forms[static_cast<size_t>(j)] & ~kOpensParagraph;
        ++together[f];
        ++result.WindowWords;
        if (!options.Meeting.empty() && forms.Text(f) == options.Meeting) meets = true;
      }
      if (meets) {
        const size_t begin = static_cast<size_t>(words.Starts[static_cast<size_t>(from)]);
        const size_t end = static_cast<size_t>(words.Ends[static_cast<size_t>(to)]);
        result.Meetings.push_back(CollocateMeeting{path, views[o], std::string(text.substr(begin, end - begin))});
      }
    }
  });
  auto list = [&](const FormTable& table, const std::vector<uint64_t>& totalOf, const std::vector<uint64_t>& with,
                  std::vector<Collocate>& out) {
    for (size_t f = 0; f < with.size(); ++f) {
      if (with[f] == 0 || with[f] < options.MinFrequency) continue;
      Collocate c;
      c.Text = std::string(table.Text(static_cast<uint32_t>(f)));
      c.Cooccurrences = with[f];
      c.Frequency = totalOf[f];
      ComputeMeasures(c, result.Words, result.Occurrences, result.WindowWords);
      out.push_back(std::move(c));
    }
    SortCollocates(out, CollocateOrder::Cooccurrences);
  };
  if (!byRawWords) {
    list(forms, totals, together, result.Collocates);
    return result;
  }
  // Each table's collocates listed and sorted on its own thread, then merged.
  auto listPart = [&](FormPart& part) { list(part.Forms, part.Totals, part.Together, part.Collocates); };
  BothOf(request, [&] { listPart(formParts[0]); }, [&] { listPart(formParts[1]); });
  std::vector<Collocate>& a = formParts[0].Collocates;
  std::vector<Collocate>& b = formParts[1].Collocates;
  result.Collocates.reserve(a.size() + b.size());
  std::merge(std::make_move_iterator(a.begin()), std::make_move_iterator(a.end()), std::make_move_iterator(b.begin()),
             std::make_move_iterator(b.end()), std::back_inserter(result.Collocates),
             [](const Collocate& x, const Collocate& y) {
               // As SortCollocates compares them.
               const double ox = static_cast<double>(x.Cooccurrences), oy = static_cast<double>(y.Cooccurrences);
               if (ox != oy) return ox > oy;
               return TextLess(x.Text, y.Text);
             });
  return result;
}

namespace {

// Sorts `keys` (and `a`, `b` beside them, when given) by key, eleven bits
// at a time from the lowest (the counts of one pass stay in the first-level
// cache); a pass whose digits are all equal is left out.
void RadixSort(std::vector<uint64_t>& keys, std::vector<uint32_t>* a = nullptr, std::vector<uint32_t>* b = nullptr) {
  constexpr int kDigitBits = 11;
  constexpr uint64_t kDigitMask = (uint64_t{1} << kDigitBits) - 1;
  const size_t n = keys.size();
  if (n < 2) return;
  uint64_t used = 0;  // the bits where keys differ from the first
  for (uint64_t k : keys) used |= k ^ keys[0];
  std::vector<uint64_t> keysTo(n);
  std::vector<uint32_t> aTo(a ? n : 0);
  std::vector<uint32_t> bTo(b ? n : 0);
  std::vector<size_t> start(size_t{1} << kDigitBits);
  for (int shift = 0; shift < 64; shift += kDigitBits) {
    if (((used >> shift) & kDigitMask) == 0) continue;
    std::fill(start.begin(), start.end(), 0);
    for (uint64_t k : keys) ++start[(k >> shift) & kDigitMask];
    size_t sum = 0;
    for (size_t& s : start) {
      const size_t c = s;
      s = sum;
      sum += c;
    }
    for (size_t i = 0; i < n; ++i) {
      const size_t to = start[(keys[i] >> shift) & kDigitMask]++;
      keysTo[to] = keys[i];
      if (a) aTo[to] = (*a)[i];
      if (b) bTo[to] = (*b)[i];
    }
    keys.swap(keysTo);
    if (a) a->swap(aTo);
    if (b) b->swap(bTo);
  }
}

// Sorts the `n` keys at `keys` as `RadixSort` does.
void RadixSortKeys(uint64_t* keys, size_t n) {
  constexpr int kDigitBits = 11;
  constexpr uint64_t kDigitMask = (uint64_t{1} << kDigitBits) - 1;
  if (n < 2) return;
  uint64_t used = 0;
  for (size_t i = 0; i < n; ++i) used |= keys[i] ^ keys[0];
  std::vector<uint64_t> scratch(n);
  uint64_t* from = keys;
  uint64_t* to = scratch.data();
  std::vector<size_t> start(size_t{1} << kDigitBits);
  for (int shift = 0; shift < 64; shift += kDigitBits) {
    if (((used >> shift) & kDigitMask) == 0) continue;
    std::fill(start.begin(), start.end(), 0);
    for (size_t i = 0; i < n; ++i) ++start[(from[i] >> shift) & kDigitMask];
    size_t sum = 0;
    for (size_t& s : start) {
      const size_t c = s;
      s = sum;
      sum += c;
    }
    for (size_t i = 0; i < n; ++i) to[start[(from[i] >> shift) & kDigitMask]++] = from[i];
    std::swap(from, to);
  }
  if (from != keys) std::copy(from, from + n, keys);
}

// Sorts `keys`: a list of at least the request's split minimum in bytes
// in two halves at once, then merged, when the request may use two threads.
void SortKeys(std::vector<uint64_t>& keys, const SearchRequest& request) {
  if (!request.Parallel || keys.size() < 2 || keys.size() * sizeof(uint64_t) < request.SplitMinimum) {
    RadixSortKeys(keys.data(), keys.size());
    return;
  }
  const size_t half = keys.size() / 2;
  RunInParallel([&] { RadixSortKeys(keys.data(), half); },
                [&] { RadixSortKeys(keys.data() + half, keys.size() - half); });
  std::vector<uint64_t> merged(keys.size());
  std::merge(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(half), keys.begin() + static_cast<std::ptrdiff_t>(half),
             keys.end(), merged.begin());
  keys.swap(merged);
}

// The place of each form in the order of the texts (bytes). Forms are
// compared by their first eight bytes as one number first.
std::vector<uint32_t> TextRanks(const std::string& texts, const std::vector<size_t>& at) {
  const size_t n = at.size() - 1;
  auto text = [&](uint32_t k) { return std::string_view(texts).substr(at[k], at[k + 1] - at[k]); };
  struct Entry {
    uint64_t head;  // the first eight bytes, most significant first, zeros after the text
    uint32_t form;
  };
  std::vector<Entry> entries(n);
  for (uint32_t k = 0; k < n; ++k) {
    const std::string_view t = text(k);
    uint64_t head = 0;
    for (size_t j = 0; j < 8; ++j) head = head << 8 | (j < t.size() ? static_cast<unsigned char>(t[j]) : 0);
    entries[k] = Entry{head, k};
  }
  auto before = [&](const Entry& x, const Entry& y) {
    if (x.head != y.head) return x.head < y.head;
    return text(x.form) < text(y.form);
  };
  // Many forms: two halves sorted at once, then merged.
  if (n < (size_t{1} << 16)) {
    std::sort(entries.begin(), entries.end(), before);
  } else {
    const auto middle = entries.begin() + static_cast<std::ptrdiff_t>(n / 2);
    RunInParallel([&] { std::sort(entries.begin(), middle, before); },
                  [&] { std::sort(middle, entries.end(), before); });
    std::inplace_merge(entries.begin(), middle, entries.end(), before);
  }
  std::vector<uint32_t> rank(n);
  for (uint32_t k = 0; k < n; ++k) rank[entries[k].form] = k;
  return rank;
}

// The bits a number below `count` takes.
int BitsFor(size_t count) {
  int bits = 1;
  while (bits < 32 && (size_t{1} << bits) < count) ++bits;
  return bits;
}

// A bigram as one number: the first form's number above the second's
// `bits` bits.
inline uint64_t PairKey(uint64_t first, uint64_t second, int bits) { return first << bits | second; }

}  // namespace

void NgramResult::AppendText(size_t k, std::string& out) const {
  const size_t n = order_[k];
  for (size_t j = 0; j < size_; ++j) {
    if (j > 0) out += ' ';
    const uint32_t f = forms_[n * size_ + j];
    out.append(formTexts_, formAt_[f], formAt_[f + 1] - formAt_[f]);
  }
}

void NgramResult::PrefetchRow(size_t k) const {
  if (k >= order_.size()) return;
  const uint32_t* f = forms_.data() + size_t{order_[k]} * size_;
  for (size_t j = 0; j < size_; ++j) Prefetch(formAt_.data() + f[j]);
}

void NgramResult::PrefetchText(size_t k) const {
  if (k >= order_.size()) return;
  const uint32_t* f = forms_.data() + size_t{order_[k]} * size_;
  for (size_t j = 0; j < size_; ++j) Prefetch(formTexts_.data() + formAt_[f[j]]);
}

Ngram NgramResult::Row(size_t k) const {
  Ngram g;
  AppendText(k, g.Text);
  g.Frequency = Frequency(k);
  g.Documents = Documents(k);
  return g;
}

// The places of every document are turned into n-gram keys: bigrams as
// numbers of 64 bits, sorted and counted per document; longer n-grams
// looked up in a hash index of their form numbers. At the end the rows are
// put in text order through the ranks of the forms' texts (a form that is
// the start of another sorts first, as its joined text does: a blank sorts
// before every letter and symbol), then stably by frequency.
NgramResult FindNgrams(const Context& context, SearchRequest request, const NgramOptions& options) {
  NgramResult result;
  const size_t size = static_cast<size_t>(std::clamp(options.Size, 1, 5));
  result.size_ = size;
  PreparedSearch prepared = PrepareSearch(context, request);
  if (options.Filters != nullptr) prepared.Filters = *options.Filters;
  const SearchSettings& settings = request.Settings;
  std::unique_ptr<SearchPlan> plan;
  if (options.Containing) plan = std::make_unique<SearchPlan>(context.Rules, settings, request.Strings, prepared.Filters);
  FormTable forms(context.Rules, settings.ResultSpelling, settings.ShowSymbols);
  WordSequence words(forms, options.Containing);
  const bool pairs = size == 2;

  // Bigrams: their keys, frequencies and documents, per document sorted
  // (one run per document, merged at the end).
  std::vector<uint64_t> pairKeys;
  size_t runs = 0;
  // Longer n-grams: their form numbers in `result.forms_`, found by an index.
  FlatIndex index;
  std::vector<uint32_t> lastDocument;
  std::vector<uint32_t>& keys = result.forms_;
  std::vector<uint32_t>& frequency = result.frequency_;
  std::vector<uint32_t>& documents = result.documents_;
  const size_t keyBytes = size * sizeof(uint32_t);
  auto keyOf = [&](uint32_t n) {
    return std::string_view(reinterpret_cast<const char*>(keys.data() + size_t{n} * size), keyBytes);
  };
  uint32_t document = 0;
  std::vector<uint8_t> holds;  // per word: an occurrence began there
  // The bigrams of one text are keyed by the ranks of their forms' texts at
  // once (its forms are all known once it is read): sorted once, they are
  // in text order.
  const bool rankedAtOnce = pairs && !request.Settings.UseCorpus;
  std::vector<uint32_t> rank;
  size_t formCount = 0;
  result.DocumentsSkipped = ForEachText(context, request, result.Stopped, [&](std::string_view text, const std::string&) {
    ++document;
    std::vector<Hit> hits;
    std::vector<uint32_t> located;
    if (forms.ByWord()) {
      std::vector<int32_t> hitWords;
      if (options.Containing) {
        for (const Hit& h : ScanOccurrences(*plan, text, SplitMinimumOf(request), request.Stop)) {
          hitWords.push_back(h.WordAt);
        }
        std::sort(hitWords.begin(), hitWords.end());
      }
      ReadWordForms(context.Rules, forms, text, prepared.Filters, SplitMinimumOf(request), hitWords, words.Forms,
                    located);
    } else if (options.Containing) {
      BothOf(request, [&] { words.Read(context.Rules, text, prepared.Filters); },
             [&] { hits = ScanOccurrences(*plan, text, SIZE_MAX, request.Stop); });
      located = OccurrenceWords(hits, words);
    } else {
      words.Read(context.Rules, text, prepared.Filters);
    }
    formCount = forms.Count();
    if (rankedAtOnce) {
      forms.TakeTexts(result.formTexts_, result.formAt_);
      rank = TextRanks(result.formTexts_, result.formAt_);
      for (uint32_t& f : words.Forms) f = rank[f & ~kOpensParagraph] | (f & kOpensParagraph);
    }
    const std::vector<uint32_t>& w = words.Forms;
    result.Words += w.size();
    if (options.Containing) {
      holds.assign(w.size(), 0);
      for (uint32_t k : located) {
        holds[k] = 1;
        ++result.Occurrences;
      }
    }
    std::vector<uint64_t> places;
    if (pairs) places.reserve(w.size());
    uint32_t key[5];
    for (size_t k = 0; k + size <= w.size(); ++k) {
      bool inOneParagraph = true;
      bool held = !options.Containing;
      for (size_t j = 0; j < size; ++j) {
        if (j > 0 && (w[k + j] & kOpensParagraph)) inOneParagraph = false;
        if (options.Containing && holds[k + j]) held = true;
        key[j] = w[k + j] & ~kOpensParagraph;
      }
      if (!inOneParagraph || !held) continue;
      if (pairs) {
        places.push_back(PairKey(key[0], key[1], 32));
        continue;
      }
      const std::string_view bytes(reinterpret_cast<const char*>(key), keyBytes);
      const uint32_t n = index.FindOrAdd(bytes, HashForm(bytes, kHashSeed), keyOf);
      if (n == frequency.size()) {
        keys.insert(keys.end(), key, key + size);
        frequency.push_back(0);
        documents.push_back(0);
        lastDocument.push_back(0);
      }
      ++frequency[n];
      if (lastDocument[n] != document) {
        lastDocument[n] = document;
        ++documents[n];
      }
    }
    if (!pairs) return;
    words.Forms = std::vector<uint32_t>();
    // Sorted as numbers of as few bits as the forms so far need.
    const int bits = BitsFor(formCount);
    for (uint64_t& p : places) p = PairKey(p >> 32, p & 0xffffffffu, bits);
    SortKeys(places, request);
    const uint64_t low = (uint64_t{1} << bits) - 1;
    for (uint64_t& p : places) p = PairKey(p >> bits, p & low, 32);
    if (places.empty()) return;
    ++runs;
    // The document's distinct bigrams and their counts: the keys kept at
    // the front of `places`, which become the list of the first document.
    size_t distinct = 0;
    for (size_t i = 0; i < places.size(); ++i) distinct += i == 0 || places[i] != places[i - 1];
    frequency.reserve(frequency.size() + distinct);
    size_t out = 0;
    for (size_t i = 0; i < places.size();) {
      size_t j = i + 1;
      while (j < places.size() && places[j] == places[i]) ++j;
      places[out++] = places[i];
      frequency.push_back(static_cast<uint32_t>(j - i));
      i = j;
    }
    places.resize(out);
    if (pairKeys.empty()) {
      pairKeys.swap(places);
      pairKeys.shrink_to_fit();
    } else {
      pairKeys.insert(pairKeys.end(), places.begin(), places.end());
    }
    documents.resize(frequency.size(), 1);
  });
  index.Clear();
  lastDocument = std::vector<uint32_t>();
  if (!rankedAtOnce) {
    forms.TakeTexts(result.formTexts_, result.formAt_);
    rank = TextRanks(result.formTexts_, result.formAt_);
  }

  if (pairs) {
    // The runs of the documents merged: equal keys add up.
    if (runs > 1) {
      RadixSort(pairKeys, &frequency, &documents);
      size_t out = 0;
      for (size_t i = 0; i < pairKeys.size(); ++out) {
        size_t j = i;
        uint32_t f = 0, d = 0;
        for (; j < pairKeys.size() && pairKeys[j] == pairKeys[i]; ++j) {
          f += frequency[j];
          d += documents[j];
        }
        pairKeys[out] = pairKeys[i];
        frequency[out] = f;
        documents[out] = d;
        i = j;
      }
      pairKeys.resize(out);
      frequency.resize(out);
      documents.resize(out);
    }
    // Keys in text order (with one document, every bigram's documents are 1).
    const int bits = BitsFor(rank.size());
    const uint64_t low = (uint64_t{1} << bits) - 1;
    if (rankedAtOnce) {
      // Already in text order, each in its one document.
      for (uint64_t& k : pairKeys) k = PairKey(k >> 32, k & 0xffffffffu, bits);
    } else {
      for (uint64_t& k : pairKeys) k = PairKey(rank[k >> 32], rank[k & 0xffffffffu], bits);
    }
    if (rankedAtOnce) {
      documents.assign(frequency.size(), 1);
    } else if (runs > 1) {
      RadixSort(pairKeys, &frequency, &documents);
    } else {
      documents = std::vector<uint32_t>();
      RadixSort(pairKeys, &frequency);
      documents.assign(frequency.size(), 1);
    }
    std::vector<uint32_t> byRank(rank.size());
    for (uint32_t f = 0; f < rank.size(); ++f) byRank[rank[f]] = f;
    keys.resize(pairKeys.size() * 2);
    for (size_t n = 0; n < pairKeys.size(); ++n) {
      keys[2 * n] = byRank[pairKeys[n] >> bits];
      keys[2 * n + 1] = byRank[pairKeys[n] & low];
    }
    pairKeys = std::vector<uint64_t>();
    for (size_t n = 0; n < frequency.size(); ++n) {
      if (frequency[n] >= options.MinFrequency) result.order_.push_back(static_cast<uint32_t>(n));
    }
  } else {
    for (size_t n = 0; n < frequency.size(); ++n) {
      if (frequency[n] >= options.MinFrequency) result.order_.push_back(static_cast<uint32_t>(n));
    }
    std::sort(result.order_.begin(), result.order_.end(), [&](uint32_t a, uint32_t b) {
      for (size_t j = 0; j < size; ++j) {
        const uint32_t ra = rank[keys[a * size + j]], rb = rank[keys[b * size + j]];
        if (ra != rb) return ra < rb;
      }
      return false;
    });
  }
  // By frequency, descending; text order within one frequency: counted
  // into one run per frequency when the frequencies are few enough.
  std::vector<uint32_t>& order = result.order_;
  uint32_t highest = 0;
  for (uint32_t n : order) highest = std::max(highest, frequency[n]);
  if (highest <= order.size()) {
    std::vector<size_t> start(size_t{highest} + 2, 0);
    for (uint32_t n : order) ++start[highest - frequency[n] + 1];
    for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
    std::vector<uint32_t> sorted(order.size());
    for (uint32_t n : order) sorted[start[highest - frequency[n]]++] = n;
    order.swap(sorted);
  } else {
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return frequency[a] > frequency[b]; });
  }
  return result;
}

}  // namespace kalix
