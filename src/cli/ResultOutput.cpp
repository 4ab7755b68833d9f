#include "cli/ResultOutput.h"

#include "cli/Commands.h"
#include "cli/Json.h"
#include "document/ReadNotice.h"
#include "document/Reader.h"
#include "i18n/Messages.h"
#include "lexicon/ListFile.h"
#include "platform/Cp1252.h"
#include "targets/Report.h"

#include <memory>

#include <unistd.h>

namespace kalix::cli {

void WriteReplacedJson(JsonWriter& w, const Document& document, bool places) {
  if (document.replaced.empty() && document.unknownCodePage == 0 && !document.invalidUtf8) return;
  const ReplacedSummary summary = SummarizeReplaced(document.replaced);
  w.Key("replacedCharacters");
  w.BeginObject();
  w.Key("transliterated");
  w.Int(summary.transliterated);
  w.Key("dropped");
  w.Int(summary.dropped);
  w.Key("replaced");
  w.Int(summary.replaced);
  w.Key("characters");
  w.BeginArray();
  for (const std::string& c : summary.characters) w.StringUtf8(c);
  w.EndArray();
  w.Key("unknownCodePage");
  w.Int(document.unknownCodePage);
  w.Key("invalidUtf8");
  w.Bool(document.invalidUtf8);
  if (places) {
    w.Key("places");
    w.BeginArray();
    for (const ReplacedChar& r : document.replaced) {
      w.BeginObject();
      w.Key("offset");
      w.Int(r.offset);
      w.Key("note");
      w.Int(r.note);
      w.Key("kind");
      w.StringUtf8(r.kind == ReplaceKind::Transliterated ? "transliterated"
                   : r.kind == ReplaceKind::Dropped    ? "dropped"
                                                       : "replaced");
      w.Key("original");
      w.StringUtf8(ToUtf8(r.original));
      w.EndObject();
    }
    w.EndArray();
  }
  w.EndObject();
}

void WarnReadNotice(const Context& context, const Document& document) {
  const std::string notice = ReadNotice(context, document);
  if (!notice.empty()) std::fputs(notice.c_str(), stderr);
}

void WriteResultJson(std::FILE* out, const std::string& status, const cTargetList& targets,
                     const Document* document) {
  JsonWriter w(out);
  w.BeginObject();
  w.Key("status");
  w.String1252(status);
  w.Key("targets");
  w.BeginArray();
  for (const Target& t : targets) {
    w.BeginObject();
    w.Key("text");
    w.String1252(t.Text);
    w.Key("length");
    w.Int(t.Length);
    w.Key("stringIndex");
    w.Int(t.StringIndex);
    w.Key("document");
    if (t.DocumentRef.empty()) {
      w.Null();
    } else {
      w.String1252(FileNameIn1252(t.DocumentRef));
    }
    w.Key("occurrences");
    w.BeginArray();
    for (const Occurrence& o : t.Starts) {
      w.BeginObject();
      w.Key("startView"); w.Int(o.StartView);
      w.Key("viewLength"); w.Int(o.ViewLength);
      w.Key("contextStartView"); w.Int(o.ContextStartView);
      w.Key("contextViewLength"); w.Int(o.ContextViewLength);
      w.Key("contextStartOffset"); w.Int(o.ContextStartOffset);
      w.Key("contextOffsetLength"); w.Int(o.ContextOffsetLength);
      w.Key("page"); w.Int(o.Page);
      w.Key("folio"); w.Int(o.Folio);
      w.Key("verso"); w.Int(o.Verso != 0 ? 1 : 0);
      w.Key("paragraphStart"); w.Int(o.ParagraphStart);
      w.Key("sentenceStart"); w.Int(o.SentenceStart);
      w.Key("wordStart"); w.Int(o.WordStart);
      w.Key("paragraphEnd"); w.Int(o.ParagraphEnd);
      w.Key("sentenceEnd"); w.Int(o.SentenceEnd);
      w.Key("wordEnd"); w.Int(o.WordEnd);
      w.EndObject();
    }
    w.EndArray();
    w.EndObject();
  }
  w.EndArray();
  if (document != nullptr) WriteReplacedJson(w, *document, false);
  w.EndObject();
  w.End();
}

void WriteSummary(std::FILE* out, const std::string& status) {
  std::fwrite(status.data(), 1, status.size(), out);
  std::fputc('\n', out);
  std::fflush(out);
}

bool CheckFilters(const RuleSet& rules, const std::vector<std::string>& names, cFilterList& filters,
                  std::string& filterNames, std::string& error) {
  std::vector<bool> used(names.size(), false);
  filters.clear();
  filterNames.clear();
  for (const std::string& def : rules.FilterDefs) {
    std::string name = FilterName(def);
    bool checked = false;
    for (size_t k = 0; k < names.size(); ++k) {
      if (names[k] == name) {
        checked = true;
        used[k] = true;
      }
    }
    if (!checked) continue;
    if (!filterNames.empty()) filterNames += ", ";
    filterNames += FilterLabel(def);
    for (FilterPattern& p : FilterPatterns(def)) filters.push_back(std::move(p));
  }
  for (size_t k = 0; k < names.size(); ++k) {
    if (!used[k]) {
      error = "unknown filter: " + names[k];
      return false;
    }
  }
  return true;
}

int OpenCorpusArgument(Context& context, const std::string& path) {
  std::optional<std::vector<std::string>> entries = ReadListFile(path);
  if (!entries) return FileError(context, msg::kCannotRead, path);
  context.Corpus.Entries = std::move(*entries);
  context.Corpus.FileName = path;
  context.Corpus.Open = true;
  context.Corpus.Modified = false;
  return 0;
}

void ReportDocumentMessage(const std::string& message) {
  std::fprintf(stderr, "%s\n", FileMessageUtf8(message).c_str());
}

CorpusReading ConsoleCorpusReading() {
  CorpusReading reading;
  reading.OnUnreadable = [](const std::string&, const std::string& message) { ReportDocumentMessage(message); };
  reading.OnProgress = [](size_t index, size_t count, const std::string&) { ReportCorpusProgress(index, count); };
  reading.OnNotice = [](const std::string& path, const std::string& notice) {
    std::fprintf(stderr, "%s\n%s", path.c_str(), notice.c_str());
  };
  return reading;
}

void ReportCorpusProgress(size_t index, size_t count) {
  static const bool terminal = isatty(fileno(stderr)) != 0;
  if (!terminal || count < 2) return;
  std::fprintf(stderr, "\r%zu/%zu", index + 1, count);
  if (index + 1 == count) std::fputc('\n', stderr);
  std::fflush(stderr);
}

cTargetList& KeepUntilExit(cTargetList&& targets) {
  // Never destroyed: reachable until the end, so no leak is reported either.
  static auto* const kept = new std::vector<std::unique_ptr<cTargetList>>();
  kept->push_back(std::make_unique<cTargetList>(std::move(targets)));
  return *kept->back();
}

}  // namespace kalix::cli
