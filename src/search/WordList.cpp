#include "search/WordList.h"

#include "document/Reader.h"
#include "search/Engine.h"

#include <array>
#include <cstring>
#include <unordered_set>

namespace kalix {

namespace {

// The scan of `ListWords`, for any sink type (a final sink class lets the
// compiler call it directly).
template <typename Sink>
void ScanWords(const RuleSet& rules, std::string_view text, const cFilterList& filters, Sink& sink) {
  const bool filtered = !filters.empty();
  PendingHit hit;
  hit.WordEndAt = -1;
  hit.StringIndex = -1;
  hit.ContextStartView = -1;
  hit.ContextStartOffset = -1;
  hit.ContextViewLength = 0;
  hit.ContextOffsetLength = 0;

  // Boundary level: the highest separator class since the last letter; 4
  // before the first letter. 0 while a word is open.
  int level = kParagraphSeparator;
  int32_t first = 0;       // first letter of the open word
  int32_t firstView = 0;   // its view position
  int32_t lastLetter = 0;  // the last letter seen (ends of units)
  int32_t sentenceStart = 0;
  int32_t paragraphStart = 0;
  int32_t breaks = 0;      // LF and CR bytes so far: view = offset + breaks

  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const int32_t n = static_cast<int32_t>(text.size());
  const auto& classOf = rules.SeparatorClass;
  for (int32_t i = 0; i < n; ++i) {
    unsigned char c = bytes[i];
    int cls = classOf[c];
    if (cls == kLetter) {
      if (level != 0) {
        if (level >= kParagraphSeparator) paragraphStart = i;
        if (level >= kSentenceSeparator) sentenceStart = i;
        first = i;
        firstView = i + breaks;
        level = 0;
      }
      lastLetter = i;
    } else if (cls >= kWordSeparator) {
      if (cls >= kSentenceSeparator) sink.CloseOccurrences(lastLetter, cls);
      if (level == 0) {
        int32_t length = lastLetter - first + 1;
        if (!filtered || PassesFilters(rules, text, first, length, true, filters)) {
          hit.WordStartAt = first;
          hit.StartAt = first;
          hit.StartView = firstView;
          hit.ViewLength = length;
          hit.ByteLength = length;
          hit.WordStart = first;
          hit.SentenceStart = sentenceStart;
          hit.ParagraphStart = paragraphStart;
          hit.WordEnd = lastLetter;
          hit.KnownEnds = kWordEndKnown;
          hit.SentenceEnd = 0;
          hit.ParagraphEnd = 0;
          if (cls >= kSentenceSeparator) {
            hit.SentenceEnd = lastLetter;
            hit.KnownEnds |= kSentenceEndKnown;
          }
          if (cls >= kParagraphSeparator) {
            hit.ParagraphEnd = lastLetter;
            hit.KnownEnds |= kParagraphEndKnown;
          }
          sink.AddTarget(hit, length);
        }
      }
      if (cls > level) level = cls;
      if (c == '\n' || c == '\r') ++breaks;
    } else if (c == '\n' || c == '\r') {
      ++breaks;  // a line break that the rules take as a letter or symbol
    }
  }
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

cTargetList RunWordList(const Context& context, const SearchSettings& settings, const cFilterList& filters,
                        const Document& windowDocument, const std::vector<std::string>& corpusEntries,
                        const WordListDocumentError& onDocumentError, const WordListProgress& onProgress) {
  TargetCollector collector(context.Rules, settings.ResultSpelling, settings.ShowSymbols);
  if (settings.UseCorpus) {
    Document scratch;
    for (size_t k = 0; k < corpusEntries.size(); ++k) {
      if (onProgress) onProgress(k, corpusEntries.size());
      const std::string& path = corpusEntries[k];
      std::string error;
      if (!LoadScratchDocument(context, scratch, path, &error)) {
        if (onDocumentError) onDocumentError(error);
        continue;
      }
      collector.BeginDocument(scratch.Text(), scratch.marks, MakeDocumentRef(path));
      ListWords(context.Rules, scratch.Text(), filters, collector);
      collector.EndDocument();
      CloseDocument(scratch);
    }
  } else {
    collector.BeginDocument(windowDocument.Text(), windowDocument.marks, std::string());
    ListWords(context.Rules, windowDocument.Text(), filters, collector);
    collector.EndDocument();
  }
  return collector.Finish();
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

namespace {

// A set of byte strings in an open-addressing table whose slots hold a
// string's first eight bytes and its length, so that most lookups touch one
// cache line; the rest of a longer string is kept in an arena. Strings wait
// in a small batch while their slots are fetched, so that the table's cache
// misses overlap.
class ByteStringSet {
 public:
  ByteStringSet() { Clear(); }

  void Clear() {
    pendingCount_ = 0;
    batch_.clear();
    count_ = 0;
    slots_.assign(kInitialSlots, Slot{});
    arena_.clear();
  }

  // Where the next string is appended before `Add`.
  std::string& Batch() { return batch_; }

  // Adds the string appended to `Batch()` since `start`.
  void Add(size_t start) {
    Pending& p = pending_[pendingCount_++];
    p.Start = start;
    p.Data = nullptr;
    p.Length = static_cast<uint32_t>(batch_.size() - start);
    std::string_view s(batch_.data() + start, p.Length);
    p.Head = Chunk(s.data(), s.size());
    p.Hash = Hash(p.Head, s);
    __builtin_prefetch(&slots_[static_cast<size_t>(p.Hash) & (slots_.size() - 1)]);
    if (pendingCount_ == kBatch) Flush();
  }

  // Adds a string whose bytes stay where they are until the next `Flush`.
  void AddView(std::string_view s) {
    Pending& p = pending_[pendingCount_++];
    p.Data = s.data();
    p.Length = static_cast<uint32_t>(s.size());
    p.Head = Chunk(s.data(), s.size());
    p.Hash = Hash(p.Head, s);
    __builtin_prefetch(&slots_[static_cast<size_t>(p.Hash) & (slots_.size() - 1)]);
    if (pendingCount_ == kBatch) Flush();
  }

  void Flush() {
    for (size_t k = 0; k < pendingCount_; ++k) {
      const Pending& p = pending_[k];
      Insert(std::string_view(p.Data ? p.Data : batch_.data() + p.Start, p.Length), p.Head, p.Hash);
    }
    pendingCount_ = 0;
    batch_.clear();
  }

  // The number of distinct strings (after `Flush`).
  size_t Count() const { return count_; }

  // Calls `f(bytes)` for every distinct string (after `Flush`).
  template <typename F>
  void ForEach(F&& f) const {
    std::string bytes;
    for (const Slot& slot : slots_) {
      if (slot.LengthPlus1 == 0) continue;
      Bytes(slot, bytes);
      f(std::string_view(bytes));
    }
  }

 private:
  static constexpr size_t kInitialSlots = size_t{1} << 8;
  static constexpr size_t kBatch = 16;

  struct Slot {
    uint64_t Head = 0;         // the first eight bytes, zero-padded
    uint32_t LengthPlus1 = 0;  // 0: empty slot
    uint32_t Tail = 0;         // offset of bytes 8.. in the arena
  };
  struct Pending {
    const char* Data;  // the bytes, or null: in the batch from Start
    size_t Start;
    uint32_t Length;
    uint64_t Head;
    uint64_t Hash;
  };

  static uint64_t Chunk(const char* p, size_t n) {
    uint64_t v = 0;
    std::memcpy(&v, p, n < 8 ? n : 8);
    return v;
  }

  static uint64_t Hash(uint64_t head, std::string_view s) {
    uint64_t h = (head ^ (s.size() * 0x9e3779b97f4a7c15ull)) * 0xbf58476d1ce4e5b9ull;
    for (size_t at = 8; at < s.size(); at += 8) {
      h = (h ^ Chunk(s.data() + at, s.size() - at)) * 0x94d049bb133111ebull;
    }
    h ^= h >> 32;
    h *= 0xd6e8feb86659fd93ull;
    h ^= h >> 32;
    return h;
  }

  void Bytes(const Slot& slot, std::string& bytes) const {
    size_t length = slot.LengthPlus1 - 1;
    bytes.assign(reinterpret_cast<const char*>(&slot.Head), length < 8 ? length : 8);
    if (length > 8) bytes.append(arena_, slot.Tail, length - 8);
  }

  void Insert(std::string_view s, uint64_t head, uint64_t h) {
    uint32_t lengthPlus1 = static_cast<uint32_t>(s.size()) + 1;
    size_t mask = slots_.size() - 1;
    size_t i = static_cast<size_t>(h) & mask;
    for (;; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.LengthPlus1 == 0) break;
      if (slot.Head == head && slot.LengthPlus1 == lengthPlus1 &&
          (s.size() <= 8 || std::memcmp(arena_.data() + slot.Tail, s.data() + 8, s.size() - 8) == 0)) {
        return;
      }
    }
    Slot& slot = slots_[i];
    slot.Head = head;
    slot.LengthPlus1 = lengthPlus1;
    if (s.size() > 8) {
      slot.Tail = static_cast<uint32_t>(arena_.size());
      arena_.append(s.substr(8));
    }
    if (++count_ * 4 > slots_.size() * 3) Grow();
  }

  void Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.size() * 2, Slot{});
    size_t mask = slots_.size() - 1;
    std::string bytes;
    for (const Slot& slot : old) {
      if (slot.LengthPlus1 == 0) continue;
      Bytes(slot, bytes);
      size_t i = static_cast<size_t>(Hash(slot.Head, bytes)) & mask;
      while (slots_[i].LengthPlus1 != 0) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::string arena_;
  size_t count_ = 0;
  Pending pending_[kBatch];
  size_t pendingCount_ = 0;
  std::string batch_;
};

// Byte strings kept apart by length, one table per length (longer ones
// share the last): strings of one length have a table of their own, which
// stays small enough for the processor's cache when they are frequent.
class LengthSplitSet {
 public:
  void Add(std::string_view s) {
    ByteStringSet& set = sets_[s.size() < kClasses ? s.size() : kClasses - 1];
    std::string& batch = set.Batch();
    size_t start = batch.size();
    batch.append(s);
    set.Add(start);
  }
  // The bytes must stay where they are until the next `Flush`.
  void AddView(std::string_view s) { sets_[s.size() < kClasses ? s.size() : kClasses - 1].AddView(s); }
  void Flush() {
    for (ByteStringSet& set : sets_) set.Flush();
  }
  void Clear() {
    for (ByteStringSet& set : sets_) set.Clear();
  }
  size_t Count() const {
    size_t n = 0;
    for (const ByteStringSet& set : sets_) n += set.Count();
    return n;
  }
  template <typename F>
  void ForEach(F&& f) const {
    for (const ByteStringSet& set : sets_) set.ForEach(f);
  }

 private:
  static constexpr size_t kClasses = 17;
  ByteStringSet sets_[kClasses];
};

// True when the form of a word depends on the word's bytes alone: always
// but in the "Modifiée" spelling, and there too unless a substitution rule
// could match across the word's end (a rule whose left side holds, after
// its first character, the upper-case form of a symbol or separator).
bool FormDependsOnWordAlone(const RuleSet& rules, int resultSpelling) {
  if (resultSpelling != 2) return true;
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

// A sink that counts: distinct forms per document, and places. Within one
// document every word stands at its own place, so every word is an
// occurrence; a document listed again adds nothing (its places are taken),
// and targets of different documents are different targets.
//
// When a word's form depends on its bytes alone, the distinct words are
// collected first and each is written in the result spelling once, at the
// end of the document; otherwise every word's form is collected.
class WordCounter final : public HitSink {
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
      words_.ForEach([&](std::string_view word) {
        form_.clear();
        AppendResultForm(rules_, index_, word, 0, word.size(), resultSpelling_, showSymbols_, form_);
        forms_.Add(form_);
      });
      words_.Clear();
    }
    forms_.Flush();
    targets_ += forms_.Count();
    forms_.Clear();
    text_ = std::string_view();
  }

  void AddTarget(const PendingHit& hit, int32_t wordLength) override {
    size_t at = static_cast<size_t>(hit.WordStartAt);
    size_t length = static_cast<size_t>(wordLength < 0 ? 0 : wordLength);
    ++occurrences_;
    if (byWord_) {
      words_.AddView(at < text_.size() ? text_.substr(at, length) : std::string_view());
    } else {
      form_.clear();
      AppendResultForm(rules_, index_, text_, at, length, resultSpelling_, showSymbols_, form_);
      forms_.Add(form_);
    }
  }

  void CloseOccurrences(int32_t, int) override {}

  // The totals; call `EndDocument` first.
  size_t Targets() const { return targets_; }
  size_t Occurrences() const { return occurrences_; }

 private:
  const RuleSet& rules_;
  SubstRuleIndex index_;
  int resultSpelling_;
  bool showSymbols_;
  bool byWord_;
  std::string_view text_;
  size_t targets_ = 0;
  size_t occurrences_ = 0;
  LengthSplitSet words_;
  LengthSplitSet forms_;
  std::string form_;
};

}  // namespace

WordListCounts CountWordList(const Context& context, const SearchSettings& settings, const cFilterList& filters,
                             const Document& windowDocument, const std::vector<std::string>& corpusEntries,
                             const WordListDocumentError& onDocumentError, const WordListProgress& onProgress) {
  WordCounter counter(context.Rules, settings.ResultSpelling, settings.ShowSymbols);
  if (settings.UseCorpus) {
    Document scratch;
    std::unordered_set<std::string> listed;
    for (size_t k = 0; k < corpusEntries.size(); ++k) {
      if (onProgress) onProgress(k, corpusEntries.size());
      const std::string& path = corpusEntries[k];
      std::string error;
      if (!LoadScratchDocument(context, scratch, path, &error)) {
        if (onDocumentError) onDocumentError(error);
        continue;
      }
      if (listed.insert(path).second) {
        counter.BeginDocument(scratch.Text());
        ScanWords(context.Rules, scratch.Text(), filters, counter);
        counter.EndDocument();
      }
      CloseDocument(scratch);
    }
  } else {
    counter.BeginDocument(windowDocument.Text());
    ScanWords(context.Rules, windowDocument.Text(), filters, counter);
  }
  counter.EndDocument();
  return WordListCounts{counter.Targets(), counter.Occurrences()};
}

}  // namespace kalix
