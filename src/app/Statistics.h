// What the words of a document or corpus say about a search: how often each
// generated spelling of a string is attested, which word forms keep company
// with the search's occurrences (collocates), and which word sequences
// occur (n-grams, and clusters: the n-grams that hold an occurrence).
//
// Words are those of the word list (app/WordList.h), cut by the same scan
// (`ListWords`), with the search's filters, written in the search's result
// spelling and symbols setting (so that under "Modifiée" ROI and ROY are one
// form); the occurrences are those of the search (app/RunSearch.h), one per
// place: two hits at one place are one occurrence, of the first string that
// found it. An occurrence belongs to the word where its match began; an
// occurrence whose word is not listed (a filter let its word through that
// the word list did not) counts for nothing. With filters, the words before
// and after an occurrence are the listed ones. A corpus document listed
// twice counts once, as in the search and the word list.
//
// Definitions:
//   N       the number of words of the document or corpus;
//   f(c)    the number of words of form c (its total frequency);
//   f(n)    the number of the search's occurrences (the node frequency);
//   O       the co-occurrence frequency of c: the number of pairs
//           (occurrence, word) where the word has form c and stands among
//           the L words before or the R words after the occurrence's word,
//           in the same document, that word itself excluded;
//   W       the number of such pairs for every form (the window words);
//   E       = W * f(c) / N, the co-occurrence frequency expected if c were
//           spread evenly over the words.
// Association measures (S. Evert, "Corpora and collocations", in
// A. Lüdeling and M. Kytö (eds.), Corpus Linguistics. An International
// Handbook, de Gruyter 2008, article 58; logDice from P. Rychlý, "A
// lexicographer-friendly association score", RASLAN 2008):
//   MI       = log2(O / E)                                (Church and Hanks)
//   t-score  = (O - E) / sqrt(O)
//   G2       = 2 * sum over the four cells ij of O_ij * ln(O_ij / E_ij)
//              (Dunning's log-likelihood), with the contingency table
//                 O11 = O            O12 = W - O
//                 O21 = f(c) - O     O22 = N - W - f(c) + O
//              and E_ij = R_i * C_j / N over its row sums R1 = W,
//              R2 = N - W and column sums C1 = f(c), C2 = N - f(c); a cell
//              whose O_ij is 0 or less adds nothing (windows of
//              occurrences close together may hold one word twice, so that
//              O21 can fall below 0). G2 is not signed.
//   logDice  = 14 + log2(2 * O / (f(n) + f(c)))
//
// N-grams and clusters: an n-gram is a sequence of n consecutive words of
// one paragraph (it never crosses a paragraph end), written as the forms
// joined by one blank; its frequency is the number of places where it
// starts, its documents the number of documents where it occurs. A cluster
// is an n-gram place that holds the word of at least one occurrence.
#pragma once

#include "app/RunSearch.h"
#include "context/Context.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kalix {

// One generated spelling of a string and its number of occurrences.
struct AttestedVariant {
  std::string Text;   // the variant (its key)
  size_t Count = 0;   // occurrences found by the string of that key
};

// The variant list of one string, in the list's order, with counts.
struct AttestedList {
  std::string Text;                       // the string as given
  std::vector<AttestedVariant> Variants;  // the key itself among them
  bool Bounded = false;                   // the generation bound stopped it
};

struct AttestedResult {
  std::vector<AttestedList> Lists;  // one per string, in the request's order
  size_t Occurrences = 0;           // the occurrences of the whole search
  size_t DocumentsSkipped = 0;
  bool Stopped = false;             // the request's stop flag ended the walk early
};

// Counts, in one scan of the document or corpus, the occurrences of every
// generated variant of the request's strings: the "Générée" search of the
// request (its spelling is set to 3), each occurrence counted for the
// variant that found it, so that the counts of all variants add up to the
// search's occurrences. A variant that is the key of an earlier string is
// counted for that string in both lists.
AttestedResult CountAttestedVariants(const Context& context, SearchRequest request);

// The occurrences found by each string of `strings` (keys as they are,
// variants included: nothing is generated or sorted here) in the search of
// `settings` and `filters` over the window's document or the corpus of
// `source` (its document, corpus, reading reports, stop flag and threads):
// each occurrence counted for the string that found it. The generated-
// variants dialog shows these counts beside its list. `onDocument`, when
// given, is called after each document with the counts so far.
std::vector<size_t> CountEachString(const Context& context, const SearchSettings& settings, const cArrowList& strings,
                                    const cFilterList& filters, const SearchRequest& source,
                                    size_t* skipped = nullptr, bool* stopped = nullptr,
                                    const std::function<void(const std::vector<size_t>&)>& onDocument = {});

// One collocate: a form with its counts and measures (see above).
struct Collocate {
  std::string Text;
  uint64_t Cooccurrences = 0;  // O
  uint64_t Frequency = 0;      // f(c)
  double LogLikelihood = 0;    // G2
  double MutualInformation = 0;
  double TScore = 0;
  double LogDice = 0;
};

struct CollocateOptions {
  int Left = 5;                // L, 0 to 10
  int Right = 5;               // R, 0 to 10
  uint64_t MinFrequency = 1;   // collocates with a smaller O are left out
  // When given, the filters of the search instead of the request's checked
  // ones (a window keeps the patterns of its last search).
  const cFilterList* Filters = nullptr;
  // A form whose meetings with the occurrences are listed (none: empty).
  std::string Meeting;
};

// An occurrence whose window holds a word of the form asked for.
struct CollocateMeeting {
  std::string Path;       // the corpus document; empty: the window's document
  int32_t StartView = 0;  // the occurrence
  std::string Text;       // the window, from its first word to its last
};

struct CollocateResult {
  std::vector<Collocate> Collocates;  // by O descending, then by text (bytes)
  uint64_t Words = 0;                 // N
  uint64_t Occurrences = 0;           // f(n)
  uint64_t WindowWords = 0;           // W
  std::vector<CollocateMeeting> Meetings;  // in text order, documents in order
  size_t DocumentsSkipped = 0;
  bool Stopped = false;
};

// The association measures of a form from its counts (see above); the
// fields of `c` other than the measures are read.
void ComputeMeasures(Collocate& c, uint64_t words, uint64_t occurrences, uint64_t windowWords);

// The collocates of the request's search (its strings, settings, filters
// and source, as `RunSearch` takes them).
CollocateResult FindCollocates(const Context& context, SearchRequest request, const CollocateOptions& options);

// The ways a list of collocates can be sorted.
enum class CollocateOrder { Text, Cooccurrences, Frequency, LogLikelihood, MutualInformation, TScore, LogDice };

// Sorts by `order`: texts ascending (bytes), every other key descending,
// ties by text.
void SortCollocates(std::vector<Collocate>& collocates, CollocateOrder order);

struct Ngram {
  std::string Text;      // the forms joined by one blank
  uint64_t Frequency = 0;
  uint64_t Documents = 0;
};

struct NgramOptions {
  int Size = 2;                // n, 1 to 5
  uint64_t MinFrequency = 1;
  bool Containing = false;     // clusters: only places holding an occurrence
  // When given, the filters instead of the request's checked ones.
  const cFilterList* Filters = nullptr;
};

// The n-grams found, kept compact (their forms as numbers, the texts of
// the forms once): a row's text is made when it is read.
class NgramResult {
 public:
  // The rows, by frequency descending, then by text (bytes).
  size_t Count() const { return order_.size(); }
  Ngram Row(size_t k) const;
  // The parts of row k, without a copy of its text.
  void AppendText(size_t k, std::string& out) const;
  // Ask for the memory that `AppendText(k)` reads: where its forms' texts
  // start (`PrefetchRow`), then the texts (`PrefetchText`, a few rows
  // later), so that a writer going through the rows waits less.
  void PrefetchRow(size_t k) const;
  void PrefetchText(size_t k) const;
  uint64_t Frequency(size_t k) const { return frequency_[order_[k]]; }
  uint64_t Documents(size_t k) const { return documents_[order_[k]]; }

  uint64_t Words = 0;
  uint64_t Occurrences = 0;   // the search's, for clusters
  size_t DocumentsSkipped = 0;
  bool Stopped = false;

 private:
  friend NgramResult FindNgrams(const Context&, SearchRequest, const NgramOptions&);
  size_t size_ = 0;              // words per n-gram
  std::string formTexts_;        // the forms' texts one after the other
  std::vector<size_t> formAt_;   // where each form starts, and the end
  std::vector<uint32_t> forms_;  // size_ form numbers per distinct n-gram
  std::vector<uint32_t> frequency_;
  std::vector<uint32_t> documents_;
  std::vector<uint32_t> order_;  // the distinct n-grams kept, in the rows' order
};

// The n-grams of the request's source (words written in its result
// spelling, with its checked filters), or with `Containing` the clusters of
// its search.
NgramResult FindNgrams(const Context& context, SearchRequest request, const NgramOptions& options);

}  // namespace kalix
