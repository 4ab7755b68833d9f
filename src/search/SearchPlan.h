// The tables of one search: everything that depends only on the rules, the
// settings, the strings and the filters, worked out once per search and
// then only read by every scan of it (every corpus document, both parts of
// a cut document, both threads). The scan itself is in search/Scan.h.
#pragma once

#include "platform/ByteClasses.h"
#include "platform/ByteSet.h"
#include "rules/Filters.h"
#include "rules/RuleSet.h"
#include "search/KeyMatchers.h"
#include "search/Normalize.h"
#include "search/SearchSpec.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kalix {

enum class MatchMode;

// Whether a string's position rule lets a match begin where `atWordStart` tells.
inline bool MayBeginAt(int16_t position, bool atWordStart) {
  if ((position == kWordStart || position == kWholeWord) && !atWordStart) return false;
  return !(position == kWordMiddle && atWordStart);
}

// Which way the scan follows partial matches.
enum class MatcherKind { Automaton, Trie, PerString };

// Per byte (`QuietTables::flags`): what a byte is to the quiet runs.
enum QuietFlag : uint8_t {
  kQuiet = 1,         // inside a word with nothing in flight, it changes only the last letter and view position
  kIsLetter = 2,      // a letter, or a symbol that is compared
  kTwoViews = 4,      // a line break: two view positions
  kRuleMayStart = 8,  // a substitution rule may begin at it
  kWordBreak = 16,    // a word separator
  kRuleFree = 32,     // (per pair) no substitution rule can match at the first byte
};

// The sets of bytes a fast run looks at, classified together (in
// `FastRunTables::runBytes`): where it stops (kHardStop, the stop bytes but
// the key letters below; kKeyLetter, stop letters that begin no rule and
// whose comparison character begins a key), what may follow a key's first
// letter at the second and third place (kGoesOn1, kGoesOn2; kShifts1, the
// bytes at the second place after which anything may follow), and its
// letters and word separators.
enum RunByteSet : unsigned { kHardStop, kKeyLetter, kGoesOn1, kShifts1, kGoesOn2, kRunLetter, kRunBreak };

// Per byte, what a letter after a stop letter tells about a key beginning
// there (`FastRunTables::gramClass`; 0: anything may happen).
enum GramClass : uint8_t { kGramPlain = 1, kGramReset = 2, kGramRuleStart = 4 };

// The strings as the scan sees them.
struct StringTables {
  MatcherKind matcher = MatcherKind::Automaton;
  KeyAutomaton automaton;
  KeyTrie wordTrie;  // matches beginning at a word's first letter
  KeyTrie midTrie;   // matches beginning inside a word
  // The strings a comparison character can start, by character, in list order.
  std::array<std::vector<int32_t>, 256> byFirst;
  std::vector<int32_t> roots;  // the strings without a source, in list order
  size_t keptRoots = 0;        // roots without exclusion
  size_t ringSize = 1;         // a power of two, at least the longest key
  // With a sentence or paragraph context and no position rule, word ends are
  // only recorded, and applied when the hits are needed.
  bool deferWords = false;
};

// Per byte: its comparison character and what it is to the steps.
struct ByteTables {
  SubstRuleIndex substIndex;
  // The separator class that ends the chosen context (beyond kParagraphSeparator: none).
  int contextEndClass = kParagraphSeparator + 1;
  // The comparison character when no substitution rule is at work.
  std::array<unsigned char, 256> plainK{};
  std::array<bool, 256> ruleMayStart{};  // a substitution rule may begin at the byte
  std::array<bool, 256> starts{};        // the comparison character may begin a key
  std::array<bool, 256> byFirstStarts{};  // the comparison character begins some string's key
  std::array<uint8_t, 256> quiet{};       // QuietFlag
  // Per pair of bytes (the byte and the one after it): the QuietFlags of
  // the first, not quiet when a substitution rule may match there (with
  // substitutions only).
  std::vector<uint8_t> quietPair;
  // Per pair of bytes: bit 0, the first byte belongs to a quiet run, while
  // hits are pending (passBusy) or not (passIdle); bit 1, it counts two view
  // positions.
  std::vector<uint8_t> passIdle, passBusy;
  // Substitution rules that a quiet run may pass over, and the bytes where
  // one of them may begin.
  std::vector<bool> quietRule;
  std::array<bool, 256> quietRuleStart{};
  // Per pair of bytes, one bit: a substitution rule may match at the first.
  std::vector<uint64_t> rulePair;

  explicit ByteTables(const RuleSet& rules) : substIndex(rules) {}
};

// The fast runs over stretches where nothing can happen (automaton only).
struct FastRunTables {
  bool enabled = false;
  ByteSet stops;
  std::array<bool, 256> hotLetter{};      // stop bytes that are letters
  std::array<bool, 256> resetsStrings{};  // separators that reset every string
  ByteClasses runBytes;                   // RunByteSet
  // The characters that keys hold at their first four places, and the
  // shortest key (at most 4).
  std::array<std::array<bool, 256>, 4> keyCharAt{};
  int gramLength = 4;
  std::array<uint8_t, 256> gramClass{};  // GramClass
};

// The probe of contexts with "all strings" (automaton only).
struct ProbeTables {
  bool enabled = false;
  // Per automaton state, the roots without exclusion whose keys (or
  // variants' keys) end there, one bit each.
  std::vector<uint64_t> keptEndingAt;
  uint64_t allKept = 0;
  // Per byte: 1 a letter, 2 a symbol passed over, 0 anything left to the
  // general steps.
  std::array<uint8_t, 256> probeByte{};
};

// Everything a scan reads. The rules are the caller's, and must outlive
// it; the settings, strings and filters are copies.
struct PlanTables {
  const RuleSet& rules;
  const SearchSettings settings;
  const cArrowList strings;
  const cFilterList filters;
  StringTables keys;
  ByteTables bytes;
  FastRunTables fast;
  ProbeTables probe;

  PlanTables(const RuleSet& r, const SearchSettings& s, const cArrowList& list, const cFilterList& f, MatchMode mode);
};

}  // namespace kalix
