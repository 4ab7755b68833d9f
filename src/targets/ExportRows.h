// The tables a result is exported as, the same for both front ends: the
// occurrences of the targets, the word list's forms with their counts, and
// the rows of a target's concordance. Their columns are named here once.
//
// Occurrence table, one row per occurrence, targets in the list's order
// (the grid's), each target's occurrences in its own order:
//   target    the target's text, as the grid shows it
//   form      the occurrence as it stands in the document's text
//             (FoundFormUtf8)
//   string    the search string of the target's first hit (empty for a
//             word list)
//   spelling  the spelling mode of the search, as the report names it:
//             "Identique", "Majuscule", "Modifiée" or "Générée"
//   document  the document's path
//   page      the page of the occurrence (0 before the first page mark)
//   folio     the folio and its side, "12r" or "12v" ("0r" before the
//             first folio mark)
//   glyph     the number of the glyph mark in effect (0 before the first)
//   line      the line within the page: 1 plus the number of line breaks
//             (LF and CR bytes) of the text from the page mark in effect
//             (from the start of the text when there is none) to the
//             occurrence's first byte. A break just after the page's marker
//             counts: a page whose marker stands alone on its line begins
//             its text on line 2.
//   view      the view position of the occurrence's first byte
//   left, right   the context: the text before the occurrence from the
//             first letter of the Nth word before it (the word the
//             occurrence starts inside counts as one), and after it to the
//             last letter of the Nth word after it (the rest of the word it
//             ends inside counts as one); words as the search finds them
//             (rules file classes: a word runs from a letter to its last
//             letter before a separator). Fewer words when the text (or,
//             when asked, the paragraph) ends first: a cut context never
//             passes a paragraph separator. At most 4,096 bytes are looked
//             at on each side.
//   sentence  the sentence holding the occurrence, from its first letter to
//             its last (empty when its end was never found), cut after
//             32,000 bytes
// Line breaks and TABs of form, contexts and sentence read as blanks.
//
// Word list table, one row per form (targets of the same text in one row),
// in the order the forms first come in the list:
//   form, frequency (occurrences in all), documents (how many documents
//   hold it), and for a corpus one column per document (named by its path,
//   in the order of the document references) with the form's count there.
//
// Concordance table, the rows of the concordance pane as it shows them:
//   reference ("p:%d f:%d%c"), document (file name), left, match, right.
#pragma once

#include "context/Context.h"
#include "document/Document.h"
#include "document/ViewIndex.h"
#include "platform/ByteClasses.h"
#include "search/SearchSpec.h"
#include "targets/ExportTable.h"
#include "targets/Report.h"
#include "targets/Target.h"

#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

struct OccurrenceExportOptions {
  int ContextWords = 10;        // words on each side
  bool CutAtParagraph = false;  // contexts stop at their paragraph's end
};

// The column names of the occurrence table, in order.
std::vector<ExportColumn> OccurrenceColumns();

// What an export is made of: a window's (or kalix-cli's) last result. The
// referenced objects must outlive the table made from them.
struct ExportSource {
  const SearchSettings& Settings;
  const cArrowList& Strings;       // the search strings (none for a word list)
  const cTargetList& Targets;      // in the grid's order
  const Document& WindowDocument;  // for targets without a document reference
};

namespace exportrows {
struct ReadDocument;
}

// What the occurrence table needs of the window's document (its view index,
// its marks in order), made on a thread of its own from construction on,
// so that it is ready when the table's rows start: made while the search
// runs. The document must stay as it is until the table is written.
class WindowDocumentPreparation {
 public:
  explicit WindowDocumentPreparation(const Document& window);
  ~WindowDocumentPreparation();  // waits for the thread
  WindowDocumentPreparation(const WindowDocumentPreparation&) = delete;
  WindowDocumentPreparation& operator=(const WindowDocumentPreparation&) = delete;
  // Waits for it and gives it, or null when `window` is not the document
  // it was made from.
  std::shared_ptr<const exportrows::ReadDocument> Take(const Document& window);

 private:
  const Document* window_;
  std::shared_future<std::shared_ptr<const exportrows::ReadDocument>> made_;
};

// The occurrence table of a result. Documents of a corpus result are read
// into scratch models as their rows come (a few kept at a time); one that
// cannot be read is told to `onDocumentError` (translated "Fichier non
// trouvé :", a line feed, the path) once, and its rows keep their positions
// with empty texts. `prepared`, when given, is used for the window's
// document instead of making the same here.
ExportTable OccurrenceTable(const Context& context, const ExportSource& source,
                            const OccurrenceExportOptions& options, const ReportDocumentError& onDocumentError = {},
                            std::shared_ptr<WindowDocumentPreparation> prepared = {});

// The word list table of a word list's targets.
ExportTable WordListTable(const cTargetList& targets);

// The concordance table of `starts` in a document whose text and view index
// are given, rows in `ordering` (ConcordanceOrdering), `width` bytes of
// context, `documentName` in every row.
ExportTable ConcordanceTable(std::string_view text, const ViewIndex& index, const cStarts& starts,
                             std::vector<int32_t> ordering, int32_t width, std::string documentName);

// The form found at text offsets [start, end) of a document, as UTF-8: the
// one place where an occurrence's text becomes the form an export shows, so
// the one to give back a document's original characters where the document
// keeps them (today every byte is decoded from code page 1252).
std::string FoundFormUtf8(const Document& document, int32_t start, int32_t end);
// The same, appended to `out`.
void AppendFoundFormUtf8(std::string& out, const Document& document, int32_t start, int32_t end);

// The context words of an occurrence at text offsets [start, end) of
// `text`: the text before and after it, as the occurrence table's "left"
// and "right" columns define them (still in code page 1252, line breaks
// kept).
struct WordContext {
  std::string_view Left;
  std::string_view Right;
};
WordContext ContextWords(const RuleSet& rules, std::string_view text, int32_t start, int32_t end,
                         const OccurrenceExportOptions& options);

// The same for many occurrences: the rules' letters and separators made
// once into byte classes, so that the text is looked at 64 bytes at a time
// and word by word.
class ContextWalker {
 public:
  explicit ContextWalker(const RuleSet& rules);
  WordContext Around(std::string_view text, int32_t start, int32_t end, const OccurrenceExportOptions& options) const;

 private:
  enum Set : unsigned { kLetters = 0, kSeparators = 1, kParagraphs = 2 };
  // The masks of the three sets over text[base, base + count), count <= 64.
  void Masks(std::string_view text, int32_t base, int32_t count, uint64_t masks[3]) const;
  ByteClasses classes_;
};

// A path (bytes as the file system gives them) as UTF-8: kept when it is
// valid UTF-8, otherwise read as code page 1252.
std::string PathAsUtf8(std::string_view path);

}  // namespace kalix
