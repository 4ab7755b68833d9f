// Output shared by `kalix-cli search` and `kalix-cli words`: the JSON form of
// a result, the summary line, the filters named on the command line and the
// corpus file given with --corpus.
#pragma once

#include "app/CorpusDocuments.h"

#include "cli/Json.h"
#include "context/Context.h"
#include "document/Document.h"
#include "rules/Filters.h"
#include "targets/Target.h"

#include <cstdio>
#include <string>
#include <vector>

namespace kalix::cli {

// {"status": ..., "targets": [{"text", "length", "stringIndex", "document",
// "occurrences": [...]}]} and a line feed, texts decoded from code page 1252.
// With `document` (a search of one document), also "replacedCharacters"
// (see WriteReplacedJson).
void WriteResultJson(std::FILE* out, const std::string& status, const cTargetList& targets,
                     const Document* document = nullptr);

// "replacedCharacters": {"transliterated": N, "dropped": N, "replaced": N,
// "characters": [the distinct characters, UTF-8], "unknownCodePage": N (0
// none), "invalidUtf8": BOOL}; with `places`, also "places": [{"offset",
// "note" (-1 main text), "kind" ("transliterated", "dropped", "replaced"),
// "original"}] for every character, in the document's order. Nothing at
// all for a document whose reading changed and doubted nothing (the output
// is then as it always was).
void WriteReplacedJson(JsonWriter& json, const Document& document, bool places);

// The document's read notice (document/ReadNotice.h) on stderr, if any.
void WarnReadNotice(const Context& context, const Document& document);

// The status line in code page 1252 and a line feed.
void WriteSummary(std::FILE* out, const std::string& status);

// The filters checked by their names (as in the definition lines, without
// the two-character prefix): patterns in definition order, and the labels
// joined by ", " as the dialogs build them. False with `error` set when a
// name matches no definition.
bool CheckFilters(const RuleSet& rules, const std::vector<std::string>& names, cFilterList& filters,
                  std::string& filterNames, std::string& error);

// Reads the corpus file of --corpus into the context's corpus (open, with
// its file name). Returns 0, or 1 after the message when it cannot be read.
int OpenCorpusArgument(Context& context, const std::string& path);

// Prints "Fichier non trouvé :" messages of corpus documents to stderr.
void ReportDocumentMessage(const std::string& message);

// A progress line on stderr for corpus runs, only when stderr is a terminal.
void ReportCorpusProgress(size_t index, size_t count);

// A corpus read with the two reports above.
CorpusReading ConsoleCorpusReading();

// Takes a target list and keeps it until the process ends; returns it. A
// command prints its result and the process ends right after: freeing
// hundreds of thousands of targets one by one would only delay the exit, so
// their memory goes back to the system with the rest of the process, as
// compiler drivers do with their syntax trees.
cTargetList& KeepUntilExit(cTargetList&& targets);

}  // namespace kalix::cli
