// The result report: what a main window has found, as a text file.
//
// Three sections, each optional: an information header (how the search was
// made), the list of targets with their page and folio references, and the
// extracts (the words, sentences or paragraphs that hold the occurrences),
// each unique extract once, with its reference. Every piece is written as it
// stands: no text of a target, a document or a setting is ever read as a
// format. The report is built with LF line ends; files store every LF as
// CR LF.
#pragma once

#include "context/Context.h"
#include "document/Document.h"
#include "search/SearchSpec.h"
#include "targets/Target.h"

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

enum ExtractKind : int { kNoExtracts = 0, kWordExtracts = 1, kSentenceExtracts = 2, kParagraphExtracts = 3 };

// What the result dialog chooses.
struct ReportOptions {
  bool Informations = true;       // "Informations"
  bool List = true;               // "Liste"
  bool ListReferences = true;     // "Références" of the list
  int Extracts = kNoExtracts;     // "Extraits": "Aucun", "Mots", "Phrases", "Paragraphes"
  bool ExtractReferences = true;  // "Références" of the extracts
  bool Append = false;            // "Ajouter au fichier"
  std::string OutputFile;         // the file name; empty: standard output (kalix-cli)
};

// The extract kind that the result dialog preselects for a search context:
// "Phrases" for "Phrase", "Paragraphes" for "Paragraphe", otherwise "Aucun".
int PreselectedExtractKind(int context);

// What a report is made of: the last search (or word list) of a window.
struct ReportSource {
  const SearchSettings& Settings;
  const cArrowList& Strings;       // the search strings (none for a word list)
  const cTargetList& Targets;      // in the grid's order
  const Document& WindowDocument;  // path, text and marks of the window's document
  const std::vector<std::string>& CorpusEntries;
};

// Called with the message of a document that cannot be opened for extracts
// ("Fichier non trouvé :", a line feed, the path; translated). The report
// goes on; that document's extracts are empty.
using ReportDocumentError = std::function<void(const std::string& message)>;

// Appends the report to `out`, LF line ends. Documents of a corpus result
// are loaded into a scratch model for their extracts; the window's document
// is never changed.
void WriteReport(const Context& context, const ReportSource& source, const ReportOptions& options,
                 std::string& out, const ReportDocumentError& onDocumentError = {});

// Writes report text to `path` (every LF as CR LF): appended when `append`,
// otherwise the file is replaced. False when it cannot be written.
bool SaveReportText(const std::string& path, std::string_view report, bool append);

// Writes report text to a stream, every LF as CR LF. False on a write error.
bool WriteReportStream(std::FILE* out, std::string_view report);

// "Impossible d'écrire le fichier :", a line feed and the path (translated).
std::string CannotWriteMessage(const LanguageState& language, const std::string& path);

// A file name (or document reference) as the report writes it: in code page
// 1252. Names come from the file system as UTF-8; a name that is not valid
// UTF-8 is taken to be in code page 1252 already and kept as it stands.
// Characters that the code page lacks become "?".
std::string FileNameIn1252(std::string_view name);

// The file name of a path: the text after its last "/".
std::string_view PathFileName(std::string_view path);

}  // namespace kalix
