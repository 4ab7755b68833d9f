#include "app/Statistics.h"

#include "app/CorpusDocuments.h"
#include "app/WordList.h"
#include "platform/FlatIndex.h"
#include "platform/Hash.h"
#include "platform/Parallel.h"
#include "search/Engine.h"
#include "search/HitSink.h"
#include "search/Normalize.h"
#include "targets/DocumentRef.h"

#include <algorithm>
#include <cmath>
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

  uint32_t FormNumber(std::string_view form) {
    const uint32_t n = forms_.FindOrAdd(form, HashForm(form, kHashSeed), [this](uint32_t k) { return Text(k); });
    if (n == Count()) {
      texts_ += form;
      formAt_.push_back(texts_.size());
    }
    return n;
  }

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
// when `splitMinimum` allows.
std::vector<Hit> ScanOccurrences(const SearchPlan& plan, std::string_view text, size_t splitMinimum) {
  const size_t split = splitMinimum == SIZE_MAX ? 0
                                                : SplitPoint(plan.Rules(), plan.Settings(), plan.Filters(), text,
                                                             splitMinimum);
  HitList first;
  if (split == 0) {
    SearchDocument(plan, text, first);
  } else {
    HitList second(static_cast<int32_t>(split), ViewPositionAt(text, split));
    RunInParallel([&] { SearchDocument(plan, text.substr(0, split), first); },
                  [&] { SearchDocument(plan, text.substr(split), second); });
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
    return 0;
  }
  std::set<std::string> seen;
  Document scratch;
  const CorpusReading reading{request.Loader, request.OnProgress, request.OnUnreadable, request.Stop};
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

}  // namespace

std::vector<size_t> CountEachString(const Context& context, const SearchSettings& settings, const cArrowList& strings,
                                    const cFilterList& filters, const SearchRequest& source, size_t* skipped,
                                    bool* stopped) {
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
    for (const Hit& h : ScanOccurrences(plan, text, SplitMinimumOf(source))) ++counts[static_cast<size_t>(h.String)];
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
  result.DocumentsSkipped = ForEachText(context, request, result.Stopped, [&](std::string_view text, const std::string& path) {
    std::vector<Hit> hits;
    BothOf(request, [&] { words.Read(context.Rules, text, prepared.Filters); },
           [&] { hits = ScanOccurrences(plan, text, SIZE_MAX); });
    totals.resize(forms.Count(), 0);
    together.resize(forms.Count(), 0);
    for (uint32_t f : words.Forms) ++totals[f & ~kOpensParagraph];
    result.Words += words.Forms.size();
    const int64_t n = static_cast<int64_t>(words.Forms.size());
    std::vector<int32_t> views;
    const std::vector<uint32_t> located = OccurrenceWords(hits, words, &views);
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
  for (size_t f = 0; f < together.size(); ++f) {
    if (together[f] == 0 || together[f] < options.MinFrequency) continue;
    Collocate c;
    c.Text = std::string(forms.Text(static_cast<uint32_t>(f)));
    c.Cooccurrences = together[f];
    c.Frequency = totals[f];
    ComputeMeasures(c, result.Words, result.Occurrences, result.WindowWords);
    result.Collocates.push_back(std::move(c));
  }
  SortCollocates(result.Collocates, CollocateOrder::Cooccurrences);
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
  std::sort(entries.begin(), entries.end(), [&](const Entry& x, const Entry& y) {
    if (x.head != y.head) return x.head < y.head;
    return text(x.form) < text(y.form);
  });
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
  result.DocumentsSkipped = ForEachText(context, request, result.Stopped, [&](std::string_view text, const std::string&) {
    ++document;
    std::vector<Hit> hits;
    if (options.Containing) {
      BothOf(request, [&] { words.Read(context.Rules, text, prepared.Filters); },
             [&] { hits = ScanOccurrences(*plan, text, SIZE_MAX); });
    } else {
      words.Read(context.Rules, text, prepared.Filters);
    }
    const std::vector<uint32_t>& w = words.Forms;
    result.Words += w.size();
    if (options.Containing) {
      holds.assign(w.size(), 0);
      for (uint32_t k : OccurrenceWords(hits, words)) {
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
    const int bits = BitsFor(forms.Count());
    for (uint64_t& p : places) p = PairKey(p >> 32, p & 0xffffffffu, bits);
    RadixSort(places);
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
  forms.TakeTexts(result.formTexts_, result.formAt_);
  const std::vector<uint32_t> rank = TextRanks(result.formTexts_, result.formAt_);

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
    for (uint64_t& k : pairKeys) k = PairKey(rank[k >> 32], rank[k & 0xffffffffu], bits);
    if (runs > 1) {
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
  // By frequency, descending; text order within one frequency.
  std::stable_sort(result.order_.begin(), result.order_.end(),
                   [&](uint32_t a, uint32_t b) { return frequency[a] > frequency[b]; });
  return result;
}

}  // namespace kalix
