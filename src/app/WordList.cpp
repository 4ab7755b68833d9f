#include "app/WordList.h"

#include "app/CorpusDocuments.h"
#include "document/Reader.h"
#include "platform/WordSet.h"
#include "search/Engine.h"
#include "targets/Collector.h"
#include "targets/DocumentRef.h"
#include "targets/Sorting.h"

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
  constexpr int kWordsPerBatch = 16;
  int inBatch = 0;
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
      if (c == '\n' || c == '\r') ++breaks;  // a line break that the rules take as a letter
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
          // Every word stands at its own place, so no place can come twice
          // in one scan: batches of a few words keep the sink's check of
          // repeated places short.
          if (++inBatch == kWordsPerBatch) {
            sink.EndBatch();
            inBatch = 0;
          }
        }
      }
      if (cls > level) level = cls;
      if (c == '\n' || c == '\r') ++breaks;
    } else if (c == '\n' || c == '\r') {
      ++breaks;  // a line break that the rules take as a symbol
    }
  }
}

// How a word list reads its corpus: who is told of progress and of
// documents that cannot be opened.
CorpusReading ReadingFor(const WordListDocumentError& onDocumentError, const WordListProgress& onProgress) {
  CorpusReading reading;
  if (onProgress) reading.OnProgress = [onProgress](size_t k, size_t n, const std::string&) { onProgress(k, n); };
  if (onDocumentError) {
    reading.OnUnreadable = [onDocumentError](const std::string&, const std::string& message) {
      onDocumentError(message);
    };
  }
  return reading;
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
    ForEachCorpusDocument(context, corpusEntries, ReadingFor(onDocumentError, onProgress),
                          [&]() -> Document& { return scratch; },
                          [&](size_t k, Document& document) {
                            collector.BeginDocument(document.Text(), document.marks,
                                                    MakeDocumentRef(corpusEntries[k]));
                            ListWords(context.Rules, document.Text(), filters, collector);
                            collector.EndDocument();
                            return true;
                          });
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

// `AppendResultForm` of a word standing alone (the text is the word),
// for the forms of distinct words. Under "Modifiée" a byte where no rule is
// being applied and no rule can begin (the pair test of the rule index) takes
// its `SubstMap` entry without a look at the rules; every other byte goes
// through the transducer.
void AppendWordForm(const RuleSet& rules, const SubstRuleIndex& index, std::string_view word, int resultSpelling,
                    bool showSymbols, std::string& out) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(word.data());
  const size_t n = word.size();
  if (resultSpelling != 2) {
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
// symbols. A word begins at a letter whose nearest non-symbol byte before it
// is not a letter, and ends at a separator whose nearest non-symbol byte
// before it is a letter (the word's last letter); symbols neither open nor
// end a word. Bytes past the end of the text count as symbols, so that a word
// still open when the text ends is not listed.
void ScanWordsToCount(const RuleSet& rules, std::string_view text, const cFilterList& filters,
                      WordCounter& counter) {
  std::array<uint8_t, 256> isLetter;
  std::array<uint8_t, 256> isSymbol;
  for (int c = 0; c < 256; ++c) {
    const int cls = rules.SeparatorClass[c];
    isLetter[c] = cls == kLetter ? 1 : 0;
    isSymbol[c] = cls == kSymbol ? 1 : 0;
  }
  const bool filtered = !filters.empty();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();

  bool open = false;      // a word is open: the last non-symbol byte is a letter
  size_t first = 0;       // first letter of the open word
  size_t lastLetter = 0;  // the last letter before the current block
  for (size_t base = 0; base < n; base += 64) {
    uint64_t letters = 0;
    uint64_t symbols = 0;
    const size_t count = n - base < 64 ? n - base : 64;
    const unsigned char* block = bytes + base;
    if (count == 64) {
      for (size_t j = 0; j < 64; ++j) {
        letters |= uint64_t{isLetter[block[j]]} << j;
        symbols |= uint64_t{isSymbol[block[j]]} << j;
      }
    } else {
      for (size_t j = 0; j < count; ++j) {
        letters |= uint64_t{isLetter[block[j]]} << j;
        symbols |= uint64_t{isSymbol[block[j]]} << j;
      }
      symbols |= ~uint64_t{0} << count;  // past the end
    }
    const uint64_t separators = ~(letters | symbols);
    // Symbols whose nearest non-symbol byte before them is a letter: the
    // runs of symbols that begin right after a letter (or at the block's
    // start while a word is open), found by a carry through each run.
    const uint64_t openBit = open ? 1 : 0;
    const uint64_t runStarts = ((letters << 1) | openBit) & symbols;
    const uint64_t afterLetterSymbols = ((symbols + runStarts) ^ symbols) & symbols;
    // Bytes whose nearest non-symbol byte before them is a letter.
    const uint64_t afterLetter = ((letters | afterLetterSymbols) << 1) | openBit;
    uint64_t events = (letters & ~afterLetter) | (separators & afterLetter);
    while (events != 0) {
      const unsigned j = static_cast<unsigned>(__builtin_ctzll(events));
      events &= events - 1;
      if (!open) {
        first = base + j;
        open = true;
        continue;
      }
      open = false;
      const uint64_t lettersBefore = letters & ((uint64_t{1} << j) - 1);
      const size_t last = lettersBefore != 0 ? base + 63 - static_cast<unsigned>(__builtin_clzll(lettersBefore))
                                             : lastLetter;
      const size_t length = last - first + 1;
      if (!filtered || PassesFilters(rules, text, static_cast<int32_t>(first), static_cast<int32_t>(length), true,
                                     filters)) {
        counter.AddWord(first, length);
      }
    }
    if (letters != 0) lastLetter = base + 63 - static_cast<unsigned>(__builtin_clzll(letters));
    open = ((letters | afterLetterSymbols) >> 63) != 0;
  }
}

}  // namespace

WordListCounts CountWordList(const Context& context, const SearchSettings& settings, const cFilterList& filters,
                             const Document& windowDocument, const std::vector<std::string>& corpusEntries,
                             const WordListDocumentError& onDocumentError, const WordListProgress& onProgress) {
  WordCounter counter(context.Rules, settings.ResultSpelling, settings.ShowSymbols);
  if (settings.UseCorpus) {
    Document scratch;
    std::unordered_set<std::string> listed;
    ForEachCorpusDocument(context, corpusEntries, ReadingFor(onDocumentError, onProgress),
                          [&]() -> Document& { return scratch; },
                          [&](size_t k, Document& document) {
                            if (listed.insert(corpusEntries[k]).second) {
                              counter.BeginDocument(document.Text());
                              ScanWordsToCount(context.Rules, document.Text(), filters, counter);
                              counter.EndDocument();
                            }
                            return true;
                          });
  } else {
    counter.BeginDocument(windowDocument.Text());
    ScanWordsToCount(context.Rules, windowDocument.Text(), filters, counter);
  }
  counter.EndDocument();
  return WordListCounts{counter.Targets(), counter.Occurrences()};
}

}  // namespace kalix
