#include "search/WordList.h"

#include "document/Reader.h"
#include "search/Engine.h"

#include <unordered_set>

namespace kalix {

void ListWords(const RuleSet& rules, std::string_view text, const cFilterList& filters, HitSink& sink) {
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

// A sink that counts: distinct forms per document, and places. Within one
// document every word stands at its own place, so every word is an
// occurrence; a document listed again adds nothing (its places are taken).
class WordCounter final : public HitSink {
 public:
  WordCounter(const RuleSet& rules, int resultSpelling, bool showSymbols)
      : rules_(rules), index_(rules), resultSpelling_(resultSpelling), showSymbols_(showSymbols) {
    slots_.assign(size_t{1} << 16, 0);
  }

  void BeginDocument(std::string_view text) {
    text_ = text;
    ++document_;
  }

  void AddTarget(const PendingHit& hit, int32_t wordLength) override {
    form_.clear();
    AppendResultForm(rules_, index_, text_, static_cast<size_t>(hit.WordStartAt),
                     static_cast<size_t>(wordLength < 0 ? 0 : wordLength), resultSpelling_, showSymbols_, form_);
    ++occurrences_;
    Insert(form_);
  }

  void CloseOccurrences(int32_t, int) override {}

  size_t Targets() const { return entries_.size(); }
  size_t Occurrences() const { return occurrences_; }

 private:
  struct Entry {
    uint64_t Offset;
    uint32_t Length;
    uint32_t Document;
  };

  static uint64_t Hash(std::string_view s, uint32_t document) {
    uint64_t h = 0x9e3779b97f4a7c15ull ^ (uint64_t{document} * 0xff51afd7ed558ccdull) ^ s.size();
    for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ull;
    h ^= h >> 32;
    return h;
  }

  void Insert(std::string_view form) {
    uint64_t h = Hash(form, document_);
    uint32_t tag = static_cast<uint32_t>(h >> 32) | 1u;  // never 0: 0 marks an empty slot
    size_t mask = slots_.size() - 1;
    for (size_t i = static_cast<size_t>(h) & mask;; i = (i + 1) & mask) {
      uint64_t slot = slots_[i];
      if (slot == 0) break;
      if (static_cast<uint32_t>(slot >> 32) != tag) continue;
      const Entry& e = entries_[static_cast<uint32_t>(slot) - 1];
      if (e.Document == document_ && e.Length == form.size() &&
          std::char_traits<char>::compare(arena_.data() + e.Offset, form.data(), form.size()) == 0) {
        return;
      }
    }
    entries_.push_back(Entry{arena_.size(), static_cast<uint32_t>(form.size()), document_});
    arena_.append(form);
    Place(tag, h, static_cast<uint32_t>(entries_.size()));
    if (entries_.size() * 2 > slots_.size()) Grow();
  }

  void Place(uint32_t tag, uint64_t h, uint32_t entry) {
    size_t mask = slots_.size() - 1;
    size_t i = static_cast<size_t>(h) & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = (uint64_t{tag} << 32) | entry;
  }

  void Grow() {
    std::vector<uint64_t> old;
    old.swap(slots_);
    slots_.assign(old.size() * 2, 0);
    for (uint64_t slot : old) {
      if (slot == 0) continue;
      const Entry& e = entries_[static_cast<uint32_t>(slot) - 1];
      uint64_t h = Hash(std::string_view(arena_.data() + e.Offset, e.Length), e.Document);
      Place(static_cast<uint32_t>(slot >> 32), h, static_cast<uint32_t>(slot));
    }
  }

  const RuleSet& rules_;
  SubstRuleIndex index_;
  int resultSpelling_;
  bool showSymbols_;
  std::string_view text_;
  uint32_t document_ = 0;
  size_t occurrences_ = 0;
  std::vector<uint64_t> slots_;
  std::vector<Entry> entries_;
  std::string arena_;
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
        ListWords(context.Rules, scratch.Text(), filters, counter);
      }
      CloseDocument(scratch);
    }
  } else {
    counter.BeginDocument(windowDocument.Text());
    ListWords(context.Rules, windowDocument.Text(), filters, counter);
  }
  return WordListCounts{counter.Targets(), counter.Occurrences()};
}

}  // namespace kalix
