#include "targets/Report.h"

#include "document/Reader.h"
#include "i18n/Messages.h"
#include "platform/Collation.h"
#include "platform/Cp1252.h"
#include "platform/TextFile.h"
#include "targets/DocumentRef.h"
#include "targets/MarkIndex.h"
#include "targets/Sorting.h"

#include <algorithm>
#include <filesystem>

namespace kalix {

namespace {

const char* const kContextNames[] = {"Texte", "Mot", "Phrase", "Paragraphe"};
const char* const kSpellingNames[] = {"Identique", "Majuscule", ("Modifi\xe9" "e"), ("G\xe9n\xe9r\xe9" "e")};
const char* const kPositionNames[] = {"Indiff\xe9rente", ("D\xe9" "but de mot"), "Fin de mot", "Milieu de mot",
                                      "Mot entier"};

template <size_t N>
const char* NameOf(const char* const (&table)[N], int value) {
  return value >= 0 && static_cast<size_t>(value) < N ? table[value] : "";
}

void AppendInt(std::string& out, long long value) { out += std::to_string(value); }

class ReportWriter {
 public:
  ReportWriter(const Context& context, const ReportSource& source, std::string& out)
      : context_(context), source_(source), out_(out) {}

  std::string Tr(const char* message) const { return Translate(context_.Language, message); }

  void Informations() {
    const SearchSettings& s = source_.Settings;
    std::string block;
    block += Tr("DOCUMENT: ");
    if (s.UseCorpus) {
      bool first = true;
      for (const std::string& entry : source_.CorpusEntries) {
        if (!first) block += ", ";
        first = false;
        block += FileNameIn1252(PathFileName(entry));
      }
    } else {
      block += FileNameIn1252(PathFileName(source_.WindowDocument.path));
    }
    block += '\n';
    block += Tr("CONTEXTE: ");
    block += Tr(NameOf(kContextNames, s.Context));
    block += '\n';
    block += Tr("ORTHOGRAPHE: ");
    block += Tr(NameOf(kSpellingNames, s.Spelling));
    block += ", ";
    block += Tr("SEPARATEURS: ");
    block += Tr(s.IgnoreSeparators ? "sans" : "avec");
    block += '\n';
    block += Tr("FILTRE: ");
    block += s.FilterNames.empty() ? Tr("sans") : s.FilterNames;
    block += '\n';
    block += Tr("CHAINES: ");
    block += Tr(s.AllStrings ? "toutes" : "1 ou plus");
    block += ", ";
    block += Tr("ORDRE: ");
    block += Tr(s.InOrder ? "oui" : "non");
    block += '\n';
    block += Tr("RESULTATS :");
    block += Tr(NameOf(kSpellingNames, s.ResultSpelling));
    block += ", ";
    block += Tr("SYMBOLES :");
    block += Tr(s.ShowSymbols ? "oui" : "non");
    block += "\n\n";
    for (const SearchString& str : source_.Strings) {
      block += str.Text;
      block += ", ";
      block += Tr("POSITION :");
      block += Tr(NameOf(kPositionNames, str.Position));
      block += ", ";
      block += Tr("EXCLURE :");
      block += Tr(str.Exclude != 0 ? "oui" : "non");
      block += '\n';
    }
    block += '\n';
    out_ += block;
  }

  void List(bool references) {
    for (const Target& t : source_.Targets) {
      out_ += t.Text;
      if (references) {
        out_ += '\t';
        AppendInt(out_, static_cast<long long>(t.Starts.size()));
        if (!t.DocumentRef.empty()) {
          out_ += '\t';
          size_t bar = t.DocumentRef.find(" | ");
          out_ += FileNameIn1252(std::string_view(t.DocumentRef).substr(0, bar));
        }
        bool first = true;
        Occurrence previous;  // occurrences are made when read: a copy
        for (const Occurrence& o : t.Starts) {
          if (!first && previous.Page == o.Page && previous.Folio == o.Folio && previous.Verso == o.Verso) {
            continue;
          }
          out_ += first ? "\t" : ", ";
          AppendReference(o.Page, o.Folio, o.Verso != 0);
          previous = o;
          first = false;
        }
      }
      out_ += '\n';
    }
    out_ += '\n';
  }

  void Extracts(int kind, bool references, const ReportDocumentError& onError) {
    std::vector<Key> keys = CollectKeys(kind);

    const Document& window = source_.WindowDocument;
    std::string_view text = window.Text();
    std::string fileName = FileNameIn1252(PathFileName(window.path));
    MarkIndex marks(window.marks);
    Document scratch;
    std::string lastLoaded;
    int32_t loadedRank = -1;
    // Extracts of one document come in increasing start order: the count of
    // line breaks before the start is carried along.
    int32_t cursor = 0;
    int32_t breaks = 0;

    for (const Key& key : keys) {
      const std::string& ref = source_.Targets[key.Target].DocumentRef;
      if (!ref.empty() && key.Rank != loadedRank) {
        loadedRank = key.Rank;
        std::string path = DocumentRefPath(ref);
        if (path != lastLoaded) {
          lastLoaded = path;
          std::string error;
          fileName = FileNameIn1252(PathFileName(path));
          if (LoadScratchDocument(context_, scratch, path, &error)) {
            text = scratch.Text();
            marks = MarkIndex(scratch.marks);
          } else {
            if (onError) onError(error);
            ClearDocument(scratch);
            text = std::string_view();
            marks = MarkIndex();
          }
          cursor = 0;
          breaks = 0;
        }
      }

      int32_t textLength = static_cast<int32_t>(text.size());
      if (key.EndKnown && key.Start >= 0 && key.End >= key.Start && key.Start < textLength) {
        int32_t last = std::min(key.End, textLength - 1);
        out_.append(text.data() + key.Start, static_cast<size_t>(last - key.Start + 1));
      }
      out_ += '\n';
      if (references) {
        int32_t start = std::clamp(key.Start, 0, textLength);
        if (start < cursor) {
          cursor = 0;
          breaks = 0;
        }
        for (; cursor < start; ++cursor) {
          char c = text[static_cast<size_t>(cursor)];
          if (c == '\n' || c == '\r') ++breaks;
        }
        MarkIndex::PageFolio at = marks.At(PastOpeningMarkers(text, start, start + breaks, marks));
        out_ += fileName;
        out_ += ' ';
        AppendReference(at.page, at.folio, at.verso);
        out_ += "\n\n";
      } else {
        out_ += '\n';
      }
    }
  }

 private:
  struct Key {
    int32_t Rank;  // order of the document reference
    int32_t Start;
    int32_t End;   // 0 when the end was never found
    bool EndKnown;
    uint32_t Target;
  };

  // The view position just after the marker characters that open an extract
  // at `start` (text offset, `view` its view position): an extract that
  // begins with a page or folio marker belongs to the page or folio that the
  // marker opens. A character counts only where the reader made a mark of
  // it, so a marker byte that opened nothing is text.
  int32_t PastOpeningMarkers(std::string_view text, int32_t start, int32_t view,
                             const MarkIndex& marks) const {
    const RuleSet& rules = context_.Rules;
    for (size_t at = static_cast<size_t>(start); at < text.size(); ++at, ++view) {
      const unsigned char c = static_cast<unsigned char>(text[at]);
      const bool marker = c == rules.PageMarker || c == rules.RectoMarker || c == rules.VersoMarker ||
                          c == rules.GlyphMarker || c == '=';
      if (!marker || !marks.StandsAt(view)) break;
    }
    return view;
  }

  void AppendReference(int32_t page, int32_t folio, bool verso) {
    out_ += "p:";
    AppendInt(out_, page);
    out_ += " f:";
    AppendInt(out_, folio);
    out_ += verso ? 'V' : 'R';
  }

  // The unique extracts in the order they are written: by document (fixed
  // case-insensitive order, then byte order, so that two references that
  // differ in case are two documents), then by start and end as numbers.
  // Among equal keys the first occurrence in list order is kept.
  std::vector<Key> CollectKeys(int kind) const {
    const cTargetList& targets = source_.Targets;
    std::vector<uint32_t> byRef(targets.size());
    for (uint32_t i = 0; i < byRef.size(); ++i) byRef[i] = i;
    std::stable_sort(byRef.begin(), byRef.end(), [&](uint32_t a, uint32_t b) {
      const std::string& x = targets[a].DocumentRef;
      const std::string& y = targets[b].DocumentRef;
      int c = FixedCompare(x, y);
      if (c != 0) return c < 0;
      return x < y;  // byte order, unsigned
    });
    std::vector<int32_t> rank(targets.size());
    int32_t r = -1;
    for (size_t i = 0; i < byRef.size(); ++i) {
      if (i == 0 || targets[byRef[i]].DocumentRef != targets[byRef[i - 1]].DocumentRef) ++r;
      rank[byRef[i]] = r;
    }

    std::vector<Key> keys;
    keys.reserve(CountOccurrences(targets));
    for (uint32_t t = 0; t < targets.size(); ++t) {
      for (const Occurrence& o : targets[t].Starts) {
        Key k{rank[t], 0, 0, false, t};
        switch (kind) {
          case kWordExtracts:
            k.Start = o.WordStart;
            k.EndKnown = o.WordEndKnown();
            k.End = k.EndKnown ? o.WordEnd : 0;
            break;
          case kSentenceExtracts:
            k.Start = o.SentenceStart;
            k.EndKnown = o.SentenceEndKnown();
            k.End = k.EndKnown ? o.SentenceEnd : 0;
            break;
          default:
            k.Start = o.ParagraphStart;
            k.EndKnown = o.ParagraphEndKnown();
            k.End = k.EndKnown ? o.ParagraphEnd : 0;
            break;
        }
        keys.push_back(k);
      }
    }
    std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
      if (a.Rank != b.Rank) return a.Rank < b.Rank;
      if (a.Start != b.Start) return a.Start < b.Start;
      return a.End < b.End;
    });
    keys.erase(std::unique(keys.begin(), keys.end(),
                           [](const Key& a, const Key& b) {
                             return a.Rank == b.Rank && a.Start == b.Start && a.End == b.End;
                           }),
               keys.end());
    return keys;
  }

  const Context& context_;
  const ReportSource& source_;
  std::string& out_;
};

}  // namespace

std::string FileNameIn1252(std::string_view name) { return Utf8OrCp1252To1252(name); }

int PreselectedExtractKind(int context) {
  if (context == kContextSentence) return kSentenceExtracts;
  if (context == kContextParagraph) return kParagraphExtracts;
  return kNoExtracts;
}

std::string_view PathFileName(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void WriteReport(const Context& context, const ReportSource& source, const ReportOptions& options, std::string& out,
                 const ReportDocumentError& onDocumentError) {
  ReportWriter writer(context, source, out);
  if (options.Informations) writer.Informations();
  if (options.List) writer.List(options.ListReferences);
  if (options.Extracts != kNoExtracts) writer.Extracts(options.Extracts, options.ExtractReferences, onDocumentError);
}

bool SaveReportText(const std::string& path, std::string_view report, bool append) {
  std::error_code error;
  auto status = std::filesystem::status(path, error);
  if (!append && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    // A device or a pipe (/dev/null, /dev/stdout): written to directly, as
    // it cannot be replaced.
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = WriteReportStream(f, report);
    return (std::fclose(f) == 0) && ok;
  }
  return WriteTextFile(path, report, append);
}

bool WriteReportStream(std::FILE* out, std::string_view report) {
  constexpr size_t kChunk = 1 << 16;
  for (size_t at = 0; at < report.size(); at += kChunk) {
    std::string bytes = TextModeOutput(report.substr(at, kChunk));
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) return false;
  }
  return std::fflush(out) == 0;
}

std::string CannotWriteMessage(const LanguageState& language, const std::string& path) {
  return Translate(language, msg::kCannotWrite) + "\n" + path;
}

}  // namespace kalix
