#include "search/WordList.h"

#include "document/Reader.h"
#include "search/Engine.h"

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

std::string ShowWordListResult(const LanguageState& language, cTargetList& targets) {
  SortTargetsByText(targets);
  std::string status = Translate(language, "Mots : ");
  status += std::to_string(targets.size());
  status += Translate(language, "  Occurrences : ");
  status += std::to_string(CountOccurrences(targets));
  return status;
}

}  // namespace kalix
