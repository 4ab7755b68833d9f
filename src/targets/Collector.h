// The sink that files accepted hits under targets.
#pragma once

#include "document/Document.h"
#include "platform/FlatTable.h"
#include "platform/Memory.h"
#include "rules/RuleSet.h"
#include "search/HitSink.h"
#include "search/Normalize.h"
#include "targets/MarkIndex.h"
#include "targets/Target.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kalix {

// The sink the program uses: files hits under targets (one per form and
// document reference), one occurrence per place and target. Targets are
// found through an open-addressing index whose slots keep each target's
// hash, so that a probe reads a target only when the hashes agree; occurrence
// ends are closed in amortised constant time (only occurrences whose ends
// are still unknown are visited, once each).
//
// Occurrences are kept in one list, in the order they come, in blocks that
// never move. `Finish` packs them into groups of targets (a fraction of the
// room) and then hands every target its own list, of its exact size; each
// block is given back as soon as it has been read, so that what is made
// takes the room of what it replaces.
class TargetCollector final : public HitSink {
 public:
  TargetCollector(const RuleSet& rules, int resultSpelling, bool showSymbols);
  ~TargetCollector() override;
  TargetCollector(const TargetCollector&) = delete;
  TargetCollector& operator=(const TargetCollector&) = delete;

  // Starts a document: its text (without the terminating zero), its marks
  // and its reference (empty for the window's own document). The text and
  // marks must stay alive until `EndDocument`.
  void BeginDocument(std::string_view text, const cMarkList& marks, std::string documentRef);
  void AddTarget(const PendingHit& hit, int32_t wordLength) override;
  void CloseOccurrences(int32_t lastLetterOffset, int cls) override;
  void EndBatch() override;
  // Ends still unknown stay unknown: they are never taken from a later
  // document.
  void EndDocument();
  // Whether the document begun last was begun before (a corpus that lists
  // it twice): its places are then checked against the earlier ones.
  bool RepeatedDocument() const { return repeatedDocument_; }
  // Takes over what `later` collected from the rest of the document this
  // collector ended last, as if its hits had come here after this
  // collector's own: both were given the same document, `later` found only
  // places after every place found here, and both have ended it. `later`
  // is left empty.
  void Absorb(TargetCollector& later);

  // The numbers of targets and occurrences filed. A hit is filed a couple
  // of hits after it came, so that the memory it needs is fetched in the
  // meantime; all are filed at the end of each document.
  size_t TargetCount() const { return found_.size(); }
  size_t OccurrenceCount() const { return occurrenceCount_; }

  // The targets ordered by form, then document reference (the order of a
  // result, which `SortTargetsByText` then leaves as it is); the collector
  // is empty afterwards.
  cTargetList Finish();

  // The most targets one collector files (a target's number shares a word
  // with other bits while it is collected). Hits of further forms are left
  // out; the targets alone would take tens of gigabytes before that.
  static constexpr uint32_t kMaxTargets = (uint32_t{1} << 28) - 1;

 private:
  class Finishing;

  // An occurrence while it is collected: the fields of `Occurrence` in the
  // same order, with its target and known ends in one word; its page, folio
  // and side are looked up when `Finish` reads it.
  struct Collected {
    int32_t StartView;
    int32_t ViewLength;
    int32_t ContextStartView;
    int32_t ContextViewLength;
    int32_t ContextStartOffset;
    int32_t ContextOffsetLength;
    int32_t ParagraphStart;
    int32_t SentenceStart;
    int32_t WordStart;
    int32_t ParagraphEnd;
    int32_t SentenceEnd;
    int32_t WordEnd;
    uint32_t Packed;  // bits 0-2: KnownEnds; from bit 4: target
  };
  // The target number of an occurrence left out (a place already listed).
  static constexpr uint32_t kNoTarget = kMaxTargets;
  // A target while it is collected (its `Target` is made by `Finish`): its
  // form, the ordinal of its document reference, and what it takes from its
  // first hit. Forms longer than `head` are kept whole in `forms_`.
  static constexpr size_t kHead = 12;
  struct alignas(32) Found {
    char head[kHead];     // the first bytes of the form, zeros after it
    uint32_t textLength;
    uint32_t textAt;      // where the form starts in forms_, when longer than head
    int32_t ordinal;
    int32_t length;
    int32_t stringIndex;
  };
  // Targets by number, in blocks that never move, so that the list grows
  // without copying what it holds.
  class FoundList {
   public:
    size_t size() const { return size_; }
    Found& operator[](size_t t) { return blocks_[t >> kBits][t & kMask]; }
    const Found& operator[](size_t t) const { return blocks_[t >> kBits][t & kMask]; }
    Found& Append() {
      if ((size_ >> kBits) == blocks_.size()) blocks_.emplace_back(new Found[size_t{1} << kBits]);
      Found& f = (*this)[size_++];
      f = Found{};
      return f;
    }

   private:
    static constexpr unsigned kBits = 13;  // 8192 targets, 256 KB a block
    static constexpr size_t kMask = (size_t{1} << kBits) - 1;
    std::vector<std::unique_ptr<Found[]>> blocks_;
    size_t size_ = 0;
  };
  // A hit waiting to be filed: its occurrence is already in the list (its
  // ends are closed like any other), its target not yet known.
  struct Waiting {
    char head[kHead] = {};  // as in Found
    uint32_t hash = 0;
    uint32_t occurrence = 0;
    uint64_t batch = 0;
    int32_t wordLength = 0;
    int32_t stringIndex = -1;
    int32_t startView = 0;
    std::string form;
  };
  static constexpr size_t kWaiting = 2;  // hits kept waiting at most
  using Block = std::vector<Collected, LargeBlockAllocator<Collected>>;
  // A slot of the target index.
  struct Slot {
    uint32_t hash;
    uint32_t target;  // target + 1; 0: empty
    bool Empty() const { return target == 0; }
  };
  static constexpr size_t kIndexSlots = 1024;  // to start with
  // Occurrences per block: as many as fill one huge page.
  static constexpr uint32_t kBlock = static_cast<uint32_t>(kHugePageSize / sizeof(Collected));

  uint32_t FindOrCreate(const Waiting& w);
  bool SameForm(const Found& f, const Waiting& w) const;
  std::string_view FormOf(const Found& f) const {
    return f.textLength <= kHead ? std::string_view(f.head, f.textLength)
                                 : std::string_view(forms_.data() + f.textAt, f.textLength);
  }
  void File(Waiting& w);
  // A new occurrence at the end of the list (its fields to be set).
  Collected& NewOccurrence();
  void FileAll();
  bool SeenInBatch(uint32_t target, int32_t startView);
  Collected& OccurrenceAt(uint32_t n) {
    return blocks_[n / kBlock][n % kBlock];
  }

  const RuleSet& rules_;
  SubstRuleIndex substIndex_;
  int resultSpelling_;
  bool showSymbols_;
  std::string_view text_;
  // The marks of each document begun, from the number of its first
  // occurrence on.
  struct DocumentMarks {
    size_t firstOccurrence;
    MarkIndex marks;
  };
  std::vector<DocumentMarks> documentMarks_;
  std::string documentRef_;
  uint32_t documentHash_ = 0;
  bool repeatedDocument_ = false;
  std::unordered_map<std::string, int32_t> documentsSeen_;  // reference -> ordinal
  int32_t documentOrdinal_ = 0;

  // Targets in the order they were found.
  FoundList found_;
  std::string forms_;
  FlatTable<Slot> index_{kIndexSlots};
  // Occurrences of all targets in the order they were added.
  std::vector<Block> blocks_;
  uint32_t collectedCount_ = 0;  // in the blocks, those left out included
  size_t occurrenceCount_ = 0;
  std::vector<uint32_t> openSentence_;   // a word or sentence end unknown
  std::vector<uint32_t> openParagraph_;  // the paragraph end unknown
  // Places added in the current flush: a short list, or a set once it grows.
  std::vector<uint64_t> batchPlaces_;
  bool batchIndexed_ = false;
  std::unordered_set<uint64_t> batchSeen_;
  // Hits waiting, oldest first from `firstWaiting_` (a ring).
  Waiting waiting_[kWaiting + 1];
  size_t firstWaiting_ = 0;
  size_t waitingCount_ = 0;
  uint64_t batch_ = 0;       // flushes ended so far
  uint64_t filedBatch_ = 0;  // the flush of the hits filed last
};

}  // namespace kalix
