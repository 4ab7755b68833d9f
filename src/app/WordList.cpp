#include "app/WordList.h"

#include "search/ScanControl.h"

#include "app/CorpusDocuments.h"
#include "document/Reader.h"
#include "platform/WordSet.h"
#include "search/Engine.h"
#include "search/ScanControl.h"
#include "search/Units.h"
#include "targets/Collector.h"
#include "targets/DocumentRef.h"
#include "targets/Sorting.h"
#include "targets/TextOrder.h"
#include "targets/WordPlaces.h"
#include "platform/FlatIndex.h"
#include "platform/Hash.h"
#include "platform/Memory.h"
#include "platform/Parallel.h"

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>
#include <cstring>
#include <unordered_set>

namespace kalix {

namespace {

// A word hit with the fields that no word sets.
PendingHit BlankWordHit() {
  PendingHit hit;
  hit.WordEndAt = -1;
  hit.StringIndex = -1;
  hit.ContextStartView = -1;
  hit.ContextStartOffset = -1;
  hit.ContextViewLength = 0;
  hit.ContextOffsetLength = 0;
  return hit;
}

// The word that a separator of class `cls` has ended, into `hit`.
inline __attribute__((always_inline)) void SetWordHit(const UnitTracker& units, int cls, PendingHit& hit) {
  const int32_t first = units.word;
  const int32_t last = units.lastLetter;
  const int32_t length = last - first + 1;
  hit.WordStartAt = first;
  hit.StartAt = first;
  hit.StartView = units.wordView;
  hit.ViewLength = length;
  hit.ByteLength = length;
  hit.WordStart = first;
  hit.SentenceStart = units.sentence;
  hit.ParagraphStart = units.paragraph;
  hit.WordEnd = last;
  hit.KnownEnds = kWordEndKnown;
  hit.SentenceEnd = 0;
  hit.ParagraphEnd = 0;
  if (cls >= kSentenceSeparator) {
    hit.KnownEnds = EndsAt(cls);
    hit.SentenceEnd = last;
    if (cls >= kParagraphSeparator) hit.ParagraphEnd = last;
  }
}

// The scan of `ListWords`, for any sink type (a final sink class lets the
// compiler call it directly): every word that passes the filters, in text
// order, with its sentence and paragraph.
template <typename Sink>
void ScanWords(const RuleSet& rules, std::string_view text, const cFilterList& filters, Sink& sink,
               const ScanControl& control = {}) {
  const bool filtered = !filters.empty();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const int32_t n = static_cast<int32_t>(text.size());
  const auto& classOf = rules.SeparatorClass;
  UnitTracker units;
  PendingHit hit = BlankWordHit();
  int32_t breaks = 0;  // line breaks so far: the view position is the offset plus these
  // Every word stands at its own place, so no place can come twice in one
  // scan: batches of a few words keep the sink's check of repeated places
  // short.
  constexpr int kWordsPerBatch = 16;
  int inBatch = 0;
  ScanBlocks blocks(control);
  for (int32_t i = 0; i < n; ++i) {
    if (blocks.Due(static_cast<size_t>(i)) && !blocks.Go(static_cast<size_t>(i))) return;
    const unsigned char c = bytes[i];
    const int cls = classOf[c];
    if (cls == kLetter) {
      units.Letter(i, i + breaks);
    } else if (cls >= kWordSeparator) {
      if (cls >= kSentenceSeparator) sink.CloseOccurrences(units.lastLetter, cls);
      if (units.InWord()) {
        const int32_t length = units.lastLetter - units.word + 1;
        if (!filtered || PassesFilters(rules, text, units.word, length, true, filters)) {
          SetWordHit(units, cls, hit);
          sink.AddTarget(hit, length);
          if (++inBatch == kWordsPerBatch) {
            sink.EndBatch();
            inBatch = 0;
          }
        }
      }
      units.Separator(cls);
    }
    if (IsLineBreak(c)) ++breaks;
  }
  blocks.Finish(static_cast<size_t>(n));
}

}  // namespace

void ListWords(const RuleSet& rules, std::string_view text, const cFilterList& filters, HitSink& sink) {
  ScanWords(rules, text, filters, sink);
}

void ApplyWordListChoice(SearchSettings& settings, const WordListChoice& choice, bool corpusOpen,
                         bool windowHasDocument) {
  settings.FromWordList = true;
  settings.ResultSpelling = static_cast<int16_t>(choice.ResultItem);
  settings.ShowSymbols = choice.ShowSymbols && choice.ResultItem < 2;
  settings.UseCorpus = corpusOpen && (choice.CorpusChecked || !windowHasDocument);
  settings.FilterNames = choice.FilterNames;
}

std::string WordListStatusText(const LanguageState& language, size_t targets, size_t occurrences) {
  std::string status = Translate(language, "Mots : ");
  status += std::to_string(targets);
  status += Translate(language, "  Occurrences : ");
  status += std::to_string(occurrences);
  return status;
}

std::string ShowWordListResult(const LanguageState& language, cTargetList& targets) {
  SortTargetsByText(targets);
  return WordListStatusText(language, targets.size(), CountOccurrences(targets));
}

// True when the form of a word depends on the word's bytes alone: always
// but in the "Modifiée" spelling, and there too unless a substitution rule
// could match across the word's end (a rule whose left side holds, after
// its first character, the upper-case form of a symbol or separator).
bool FormDependsOnWordAlone(const RuleSet& rules, int resultSpelling) {
  if (resultSpelling != kResultModified) return true;
  std::array<bool, 256> edge{};
  for (int c = 0; c < 256; ++c) {
    if (rules.SeparatorClass[c] != kLetter) edge[rules.UpperMap[c]] = true;
  }
  for (const SubstRule& rule : rules.SubstRules) {
    for (size_t k = 1; k < rule.Match.size(); ++k) {
      if (edge[static_cast<unsigned char>(rule.Match[k])]) return false;
    }
  }
  return true;
}

// `AppendResultForm` of a word standing alone (the text is the word),
// for the forms of distinct words. Under "Modifiée" a byte where no rule is
// being applied and no rule can begin (the pair test of the rule index) takes
// its `SubstMap` entry without a look at the rules; every other byte goes
// through the transducer.
void AppendWordForm(const RuleSet& rules, const SubstRuleIndex& index, std::string_view word, int resultSpelling,
                    bool showSymbols, std::string& out) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(word.data());
  const size_t n = word.size();
  if (resultSpelling != kResultModified) {
    AppendResultForm(rules, index, word, 0, n, resultSpelling, showSymbols, out);
    return;
  }
  Substituter st;
  for (size_t p = 0; p < n; ++p) {
    const unsigned char c = bytes[p];
    if (!showSymbols && rules.SeparatorClass[c] == kSymbol) continue;
    unsigned char k;
    if (st.PendingOutput == 0 && st.Skip == 0 &&
        !index.MayMatch(rules.UpperMap[c], p + 1 < n ? rules.UpperMap[bytes[p + 1]] : 0)) {
      k = rules.SubstMap[rules.UpperMap[c]];
    } else {
      k = SubstituteAt(rules, index, st, word, p);
    }
    if (k != 0) out.push_back(static_cast<char>(k));
  }
}

namespace {

// Counts distinct forms per document, and places. Within one document every
// word stands at its own place, so every word is an occurrence; a document
// listed again adds nothing (its places are taken), and targets of
// different documents are different targets.
//
// When a word's form depends on its bytes alone, the distinct words are
// collected first and each is written in the result spelling once, at the
// end of the document; otherwise every word's form is collected.
class WordCounter {
 public:
  WordCounter(const RuleSet& rules, int resultSpelling, bool showSymbols)
      : rules_(rules), index_(rules), resultSpelling_(resultSpelling), showSymbols_(showSymbols),
        byWord_(FormDependsOnWordAlone(rules, resultSpelling)) {}

  // Starts a document; its text must stay alive until `EndDocument`.
  void BeginDocument(std::string_view text) {
    EndDocument();
    text_ = text;
  }

  // Counts the forms of the current document.
  void EndDocument() {
    if (byWord_) {
      words_.Flush();
      forms_.ReserveLike(words_);
      words_.ForEach([&](std::string_view word) {
        form_.clear();
        AppendWordForm(rules_, index_, word, resultSpelling_, showSymbols_, form_);
        AddForm();
      });
      words_.Clear();
    }
    forms_.Flush();
    targets_ += forms_.Count();
    forms_.Clear();
    text_ = std::string_view();
  }

  // The word of `length` bytes at `at` in the text.
  void AddWord(size_t at, size_t length) {
    ++occurrences_;
    if (byWord_) {
      if (at >= text_.size()) {
        words_.Add(text_.data(), 0, false);
      } else {
        if (length > text_.size() - at) length = text_.size() - at;
        words_.Add(text_.data() + at, length, text_.size() - at >= kShortKeyMax);
      }
    } else {
      form_.clear();
      AppendResultForm(rules_, index_, text_, at, length, resultSpelling_, showSymbols_, form_);
      AddForm();
    }
  }

  // The totals; call `EndDocument` first.
  size_t Targets() const { return targets_; }
  size_t Occurrences() const { return occurrences_; }

 private:
  // Adds `form_` to the forms (padded for the key loads).
  void AddForm() {
    const size_t n = form_.size();
    if (n == 0 || n > kShortKeyMax) {
      forms_.AddCopy(form_);
      return;
    }
    form_.append(kShortKeyMax, '\0');
    forms_.Add(form_.data(), n, true);
  }

  const RuleSet& rules_;
  SubstRuleIndex index_;
  int resultSpelling_;
  bool showSymbols_;
  bool byWord_;
  std::string_view text_;
  size_t targets_ = 0;
  size_t occurrences_ = 0;
  WordSet words_;
  WordSet forms_;
  std::string form_;
};

// The scan of `ScanWords` reduced to what a count needs: the first byte and
// the length of every word that passes the filters, in text order.
//
// The text is taken 64 bytes at a time as bit masks of its letters and
// symbols, to find the only bytes where the word tracker changes: the
// letters that open a word (their nearest non-symbol byte before them is not
// a letter) and the separators that end one (their nearest non-symbol byte
// before them is a letter). The letters and separators between are passed
// over: the tracker is told a word's last letter when the word ends, the
// separator that ends it is told as a word separator (its class is not
// looked up), and its sentence and paragraph starts and its view positions
// (offsets stand in for them) are not kept up, as a count reads none of
// them. Bytes past the
// end of the text count as symbols, so that a word still open when the text
// ends is not listed.
void ScanWordsToCount(const RuleSet& rules, std::string_view text, const cFilterList& filters,
                      WordCounter& counter, const ScanControl& control) {
  std::array<uint8_t, 256> isLetter;
  std::array<uint8_t, 256> isSymbol;
  for (int c = 0; c < 256; ++c) {
    const int cls = rules.SeparatorClass[c];
    isLetter[c] = cls == kLetter ? 1 : 0;
    isSymbol[c] = cls == kSymbol ? 1 : 0;
  }
  const bool filtered = !filters.empty();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const int32_t n = static_cast<int32_t>(text.size());

  UnitTracker units;
  ScanBlocks blocks(control);
  for (int32_t base = 0; base < n; base += 64) {
    if (blocks.Due(static_cast<size_t>(base)) && !blocks.Go(static_cast<size_t>(base))) return;
    uint64_t letters = 0;
    uint64_t symbols = 0;
    const int32_t count = n - base < 64 ? n - base : 64;
    const unsigned char* block = bytes + base;
    if (count == 64) {
      for (int j = 0; j < 64; ++j) {
        letters |= uint64_t{isLetter[block[j]]} << j;
        symbols |= uint64_t{isSymbol[block[j]]} << j;
      }
    } else {
      for (int j = 0; j < count; ++j) {
        letters |= uint64_t{isLetter[block[j]]} << j;
        symbols |= uint64_t{isSymbol[block[j]]} << j;
      }
      symbols |= ~uint64_t{0} << count;  // past the end
    }
    const uint64_t separators = ~(letters | symbols);
    // Symbols whose nearest non-symbol byte before them is a letter: the
    // runs of symbols that begin right after a letter (or at the block's
    // start while a word is open), found by a carry through each run.
    const uint64_t openBit = units.InWord() ? 1 : 0;
    const uint64_t runStarts = ((letters << 1) | openBit) & symbols;
    const uint64_t afterLetterSymbols = ((symbols + runStarts) ^ symbols) & symbols;
    // Bytes whose nearest non-symbol byte before them is a letter.
    const uint64_t afterLetter = ((letters | afterLetterSymbols) << 1) | openBit;
    uint64_t events = (letters & ~afterLetter) | (separators & afterLetter);
    while (events != 0) {
      const int j = __builtin_ctzll(events);
      events &= events - 1;
      const int32_t at = base + j;
      if (!units.InWord()) {
        units.Open(at, at);
        continue;
      }
      const uint64_t lettersBefore = letters & ((uint64_t{1} << j) - 1);
      if (lettersBefore != 0) units.InnerLetter(base + 63 - __builtin_clzll(lettersBefore));
      units.Separator(kWordSeparator);
      const int32_t length = units.lastLetter - units.word + 1;
      if (!filtered || PassesFilters(rules, text, units.word, length, true, filters)) {
        counter.AddWord(static_cast<size_t>(units.word), static_cast<size_t>(length));
      }
    }
    if (units.InWord() && letters != 0) units.InnerLetter(base + 63 - __builtin_clzll(letters));
  }
  blocks.Finish(static_cast<size_t>(n));
}

// Collects a word list into targets whose occurrences are word places
// (targets/WordPlaces.h): the sink of `ScanWords`, one document after
// another. A document's words are noted in text order as the number of
// their kind (what gives their target and length) and their first byte;
// when the document ends they are grouped by target into its word places,
// and its targets are made, in the order of their forms.
//
// When a word's form depends on its bytes alone, each distinct word is
// written in the result spelling once, at its first occurrence (its kind is
// the word itself); otherwise every word's form is written, and its kind is
// the pair of its target and length. Words wait a few places in a ring while
// the index slots they are looked up in are fetched, so that the index's
// cache misses overlap.
class WordListBuilder {
 public:
  WordListBuilder(const RuleSet& rules, int resultSpelling, bool showSymbols)
      : rules_(rules), index_(rules), resultSpelling_(resultSpelling), showSymbols_(showSymbols),
        byWord_(FormDependsOnWordAlone(rules, resultSpelling)) {}

  // Starts a document; its text and marks must stay alive until
  // `EndDocument`.
  void BeginDocument(std::string_view text, const cMarkList& marks, std::string documentRef) {
    text_ = text;
    places_ = std::make_shared<WordPlaces>();
    places_->Marks = MarkIndex(marks);
    documentRef_ = SharedText(std::move(documentRef));
    sentenceOpen_ = paragraphOpen_ = false;
    ++documents_;
  }

  void AddTarget(const PendingHit& hit, int32_t length) {
    NoteUnits(hit);
    const int32_t start = hit.WordStartAt;
    const int32_t shift = hit.StartView - start;
    std::vector<WordPlaces::ViewStep>& steps = places_->ViewSteps;
    if (steps.empty() ? shift != 0 : steps.back().Shift != shift) steps.push_back({start, shift});
    if (!byWord_) {
      AddEntry(Entry{KindOfForm(start, length), start});
      return;
    }
    // The word waits in the ring while its slot is fetched.
    if (waiting_ == kRing) {
      AddWaiting(ring_[firstWaiting_]);
      firstWaiting_ = (firstWaiting_ + 1) % kRing;
      --waiting_;
    }
    Waiting& w = ring_[(firstWaiting_ + waiting_) % kRing];
    w.Start = start;
    w.Length = length;
    w.Hash = HashForm(WordAt(start, length), kHashSeed);
    kindIndex_.Prefetch(w.Hash);
    ++waiting_;
  }

  void CloseOccurrences(int32_t lastLetterOffset, int cls) {
    if (cls >= kSentenceSeparator && sentenceOpen_) CloseUnit(places_->Sentences, sentenceOpen_, lastLetterOffset);
    if (cls >= kParagraphSeparator && paragraphOpen_) CloseUnit(places_->Paragraphs, paragraphOpen_, lastLetterOffset);
  }

  void EndBatch() {}

  void EndDocument();

  // The targets of every document, ordered by form, then document
  // reference.
  cTargetList Finish() {
    if (documents_ > 1) SortTargetsByText(targets_);
    return std::move(targets_);
  }

 private:
  // Entries are read this many ahead of their use.
  static constexpr size_t kAhead = 32;
  // The document's targets in the order of their forms.
  std::vector<uint32_t> FormOrder() const;
  // Puts every place with those of its target, targets in `order`; gives
  // where each one's places end, in that order.
  std::vector<uint32_t> GroupPlaces(const std::vector<uint32_t>& order);
  // The document's targets, in `order`, each over its places.
  void MakeTargets(const std::vector<uint32_t>& order, const std::vector<uint32_t>& ends);

  // A kind of word: its target (in the document) and its length.
  struct Kind {
    uint32_t Target;
    int32_t Length;
    int32_t Start;  // the first occurrence of the word, when kinds are words
  };
  struct Entry {
    uint32_t Kind;
    int32_t Start;
  };
  struct Waiting {
    int32_t Start;
    int32_t Length;
    uint32_t Hash;
  };
  static constexpr size_t kRing = 8;
  // Entries per block: as many as fill one huge page (a block is mapped on
  // its own, and given back as soon as it has been read).
  static constexpr size_t kEntryBlock = kHugePageSize / sizeof(Entry);
  using EntryBlock = std::vector<Entry, LargeBlockAllocator<Entry>>;

  // Notes the sentence and paragraph of a word: a unit starts with its
  // first listed word, and ends at the last letter before the separator
  // that closes it.
  void NoteUnits(const PendingHit& hit) {
    NoteUnit(places_->Sentences, sentenceOpen_, hit.SentenceStart, hit.KnownEnds & kSentenceEndKnown,
             hit.SentenceEnd);
    NoteUnit(places_->Paragraphs, paragraphOpen_, hit.ParagraphStart, hit.KnownEnds & kParagraphEndKnown,
             hit.ParagraphEnd);
  }
  static void NoteUnit(std::vector<WordPlaces::Unit>& units, bool& open, int32_t start, bool ended, int32_t end) {
    if (units.empty() || units.back().Start != start) {
      units.push_back({start, -1});
      open = true;
    }
    if (ended) CloseUnit(units, open, end);
  }
  static void CloseUnit(std::vector<WordPlaces::Unit>& units, bool& open, int32_t end) {
    units.back().End = end;
    open = false;
  }

  std::string_view WordAt(int32_t start, int32_t length) const {
    const size_t at = std::min(static_cast<size_t>(start), text_.size());
    return text_.substr(at, std::min(static_cast<size_t>(length < 0 ? 0 : length), text_.size() - at));
  }

  // Files a word whose slot has been fetched.
  void AddWaiting(const Waiting& w) {
    const std::string_view word = WordAt(w.Start, w.Length);
    const uint32_t k = kindIndex_.FindOrAdd(word, w.Hash, [this](uint32_t n) {
      return WordAt(kinds_[n].Start, kinds_[n].Length);
    });
    if (k == kinds_.size()) kinds_.push_back(Kind{0, w.Length, w.Start});  // its target comes with TargetsOfWords
    AddEntry(Entry{k, w.Start});
  }

  void FileWaiting() {
    for (; waiting_ > 0; --waiting_) {
      AddWaiting(ring_[firstWaiting_]);
      firstWaiting_ = (firstWaiting_ + 1) % kRing;
    }
  }

  // The targets of the distinct words, in the order they came: each word's
  // form is written a few words ahead of its lookup, and its slot fetched
  // meanwhile.
  void TargetsOfWords() {
    constexpr size_t kFormsAhead = 8;
    std::string forms[kFormsAhead];
    uint32_t hashes[kFormsAhead];
    const size_t count = kinds_.size();
    for (size_t k = 0; k < count + kFormsAhead; ++k) {
      // The form written kFormsAhead words ago is looked up, and its place in the
      // ring is taken by the form of word k.
      std::string& form = forms[k % kFormsAhead];
      if (k >= kFormsAhead) {
        Kind& kind = kinds_[k - kFormsAhead];
        kind.Target = TargetOf(form, hashes[k % kFormsAhead]);
      }
      if (k < count) {
        form.clear();
        AppendWordForm(rules_, index_, WordAt(kinds_[k].Start, kinds_[k].Length), resultSpelling_, showSymbols_,
                       form);
        hashes[k % kFormsAhead] = HashForm(form, kHashSeed);
        formIndex_.Prefetch(hashes[k % kFormsAhead]);
      }
    }
  }

  // The number of the kind of the word of `length` bytes at `start`, when
  // forms depend on more than the word.
  uint32_t KindOfForm(int32_t start, int32_t length) {
    form_.clear();
    AppendResultForm(rules_, index_, text_, static_cast<size_t>(start), static_cast<size_t>(length < 0 ? 0 : length),
                     resultSpelling_, showSymbols_, form_);
    const uint32_t target = TargetOf(form_, HashForm(form_, kHashSeed));
    const uint64_t pair = uint64_t{target} << 32 | static_cast<uint32_t>(length);
    const auto bytes = [](const uint64_t& v) { return std::string_view(reinterpret_cast<const char*>(&v), 8); };
    const uint32_t k = kindIndex_.FindOrAdd(bytes(pair), HashForm(bytes(pair), kHashSeed),
                                            [&](uint32_t n) { return bytes(pairs_[n]); });
    if (k == kinds_.size()) {
      kinds_.push_back(Kind{target, length, start});
      pairs_.push_back(pair);
    }
    return k;
  }

  std::string_view FormOf(uint32_t t) const {
    return std::string_view(forms_).substr(formAt_[t], formAt_[t + 1] - formAt_[t]);
  }

  // The target of `form` (whose hash is `hash`), made if new. The forms of
  // one document's targets take less than 4 GB (its words take less than
  // 2 GB).
  uint32_t TargetOf(std::string_view form, uint32_t hash) {
    const uint32_t t = formIndex_.FindOrAdd(form, hash, [this](uint32_t n) { return FormOf(n); });
    if (t + 1 == formAt_.size()) {
      if (form.size() > UINT32_MAX - forms_.size()) throw std::length_error("word list: forms past 4 GB");
      forms_ += form;
      formAt_.push_back(static_cast<uint32_t>(forms_.size()));
    }
    return t;
  }

  void AddEntry(const Entry& e) {
    if (entries_.empty() || entries_.back().size() == kEntryBlock) entries_.emplace_back().reserve(kEntryBlock);
    entries_.back().push_back(e);
  }

  const RuleSet& rules_;
  SubstRuleIndex index_;
  int resultSpelling_;
  bool showSymbols_;
  bool byWord_;

  // The document being read.
  std::string_view text_;
  std::shared_ptr<WordPlaces> places_;
  SharedText documentRef_;
  bool sentenceOpen_ = false;   // the last sentence noted has no end yet
  bool paragraphOpen_ = false;  // the same for the last paragraph
  FlatIndex kindIndex_;
  std::vector<Kind, LargeBlockAllocator<Kind>> kinds_;
  std::vector<uint64_t> pairs_;  // target and length of each kind, unless kinds are words
  FlatIndex formIndex_;
  std::string forms_;                   // the forms of the targets, one after the other
  std::vector<uint32_t> formAt_{0};       // where each target's form starts in forms_, and the end
  std::vector<EntryBlock> entries_;
  Waiting ring_[kRing] = {};
  size_t firstWaiting_ = 0;
  size_t waiting_ = 0;
  std::string form_;

  size_t documents_ = 0;
  cTargetList targets_;
};

void WordListBuilder::EndDocument() {
  FileWaiting();
  kindIndex_.Clear();
  if (byWord_) TargetsOfWords();
  formIndex_.Clear();
  pairs_ = std::vector<uint64_t>();
  const std::vector<uint32_t> order = FormOrder();
  const std::vector<uint32_t> ends = GroupPlaces(order);
  places_->Sentences.shrink_to_fit();
  places_->Paragraphs.shrink_to_fit();
  places_->ViewSteps.shrink_to_fit();
  MakeTargets(order, ends);
  forms_ = std::string();
  formAt_ = {0};
  text_ = std::string_view();
}

std::vector<uint32_t> WordListBuilder::FormOrder() const {
  // Keys of their first bytes and length settle most comparisons.
  const size_t n = formAt_.size() - 1;
  struct Key {
    uint64_t Lead;
    uint32_t Length;
    uint32_t Target;
  };
  std::vector<Key> keys(n);
  for (uint32_t t = 0; t < n; ++t) {
    const std::string_view form = FormOf(t);
    keys[t] = Key{Leading8(form), static_cast<uint32_t>(form.size()), t};
  }
  const auto before = [this](const Key& x, const Key& y) {
    if (x.Lead != y.Lead) return x.Lead < y.Lead;
    if (x.Length > 8 || y.Length > 8) return FormOf(x.Target).compare(FormOf(y.Target)) < 0;
    return x.Length < y.Length;  // the shorter one is a prefix of the other
  };
  const auto middle = keys.begin() + static_cast<std::ptrdiff_t>(n / 2);
  std::nth_element(keys.begin(), middle, keys.end(), before);
  RunInParallel([&] { std::sort(keys.begin(), middle, before); }, [&] { std::sort(middle, keys.end(), before); });
  std::vector<uint32_t> order(n);
  for (size_t k = 0; k < n; ++k) order[k] = keys[k].Target;
  return order;
}

std::vector<uint32_t> WordListBuilder::GroupPlaces(const std::vector<uint32_t>& order) {
  const size_t n = order.size();
  // Counts, then the next place of each target. Kinds are read a few
  // entries ahead of their use.
  std::vector<uint32_t> next(n, 0);
  for (const EntryBlock& block : entries_) {
    for (size_t k = 0; k < block.size(); ++k) {
      if (k + kAhead < block.size()) Prefetch(&kinds_[block[k + kAhead].Kind]);
      if (k + kAhead / 2 < block.size()) Prefetch(&next[kinds_[block[k + kAhead / 2].Kind].Target]);
      ++next[kinds_[block[k].Kind].Target];
    }
  }
  // Targets take their places in the order of their forms: after the
  // grouping, next[t] is where the places of t end, and those of the target
  // before it in that order, where they begin.
  uint32_t total = 0;
  for (uint32_t t : order) {
    const uint32_t count = next[t];
    next[t] = total;
    total += count;
  }
  auto& places = places_->Places;
  places.resize(total);
  for (EntryBlock& block : entries_) {
    for (size_t k = 0; k < block.size(); ++k) {
      // Three steps ahead: the kind, then the target's next place, then the
      // place itself.
      if (k + kAhead < block.size()) Prefetch(&kinds_[block[k + kAhead].Kind]);
      if (k + kAhead / 2 < block.size()) Prefetch(&next[kinds_[block[k + kAhead / 2].Kind].Target]);
      if (k + kAhead / 4 < block.size()) Prefetch(&places[next[kinds_[block[k + kAhead / 4].Kind].Target]]);
      const Entry& e = block[k];
      const Kind& kind = kinds_[e.Kind];
      places[next[kind.Target]++] = WordPlace{e.Start, kind.Length};
    }
    block = EntryBlock();
  }
  entries_ = std::vector<EntryBlock>();
  kinds_ = decltype(kinds_)();
  // The end of the places of each target, in the order of their forms.
  std::vector<uint32_t> ends(n);
  for (size_t k = 0; k < n; ++k) ends[k] = next[order[k]];
  return ends;
}

void WordListBuilder::MakeTargets(const std::vector<uint32_t>& order, const std::vector<uint32_t>& ends) {
  const size_t n = order.size();
  const std::shared_ptr<const WordPlaces> shared = std::move(places_);
  if (targets_.capacity() < targets_.size() + n) {
    targets_.reserve(documents_ == 1 ? n : std::max(targets_.size() + n, targets_.capacity() * 3 / 2));
  }
  for (size_t k = 0; k < n; ++k) {
    if (k + kAhead < n) Prefetch(&formAt_[order[k + kAhead]]);
    if (k + kAhead / 2 < n) Prefetch(forms_.data() + formAt_[order[k + kAhead / 2]]);
    const uint32_t begin = k == 0 ? 0 : ends[k - 1];
    Target& target = targets_.emplace_back();
    target.Text = FormOf(order[k]);
    // The target's first occurrence is its first place: its word's length.
    target.Length = shared->Places[begin].Length;
    target.Starts = cStarts(shared, begin, ends[k] - begin);
    target.DocumentRef = documentRef_;
  }
}

// Calls `visit(document, ref)` for the window's document, or with a corpus
// for every corpus document read, each entry once: a document listed again
// adds nothing, its places are taken.
template <typename Visit>
void ForEachListedDocument(const Context& context, const SearchSettings& settings, const Document& windowDocument,
                           const std::vector<std::string>& corpusEntries, const CorpusReading& reading,
                           Visit&& visit) {
  if (!settings.UseCorpus) {
    visit(windowDocument, std::string());
    return;
  }
  Document scratch;
  std::unordered_set<std::string> listed;
  ForEachCorpusDocument(context, corpusEntries, reading,
                        [&]() -> Document& { return scratch; },
                        [&](size_t k, Document& document) {
                          if (listed.insert(corpusEntries[k]).second) {
                            visit(document, MakeDocumentRef(corpusEntries[k]));
                          }
                          return true;
                        });
}

}  // namespace

WordListCounts CountWordList(const Context& context, const SearchSettings& settings, const cFilterList& filters,
                             const Document& windowDocument, const std::vector<std::string>& corpusEntries,
                             const CorpusReading& reading) {
  WordCounter counter(context.Rules, settings.ResultSpelling, settings.ShowSymbols);
  ForEachListedDocument(context, settings, windowDocument, corpusEntries, reading,
                        [&](const Document& document, const std::string&) {
                          counter.BeginDocument(document.Text());
                          ScanWordsToCount(context.Rules, document.Text(), filters, counter,
                                           ScanControl{reading.Stop, reading.Scanned});
                          counter.EndDocument();
                        });
  return WordListCounts{counter.Targets(), counter.Occurrences()};
}

cTargetList RunWordList(const Context& context, const SearchSettings& settings, const cFilterList& filters,
                        const Document& windowDocument, const std::vector<std::string>& corpusEntries,
                        const CorpusReading& reading) {
  WordListBuilder builder(context.Rules, settings.ResultSpelling, settings.ShowSymbols);
  ForEachListedDocument(context, settings, windowDocument, corpusEntries, reading,
                        [&](const Document& document, std::string ref) {
                          builder.BeginDocument(document.Text(), document.marks, std::move(ref));
                          ScanWords(context.Rules, document.Text(), filters, builder,
                                    ScanControl{reading.Stop, reading.Scanned});
                          builder.EndDocument();
                        });
  return builder.Finish();
}

}  // namespace kalix
