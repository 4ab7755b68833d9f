#include "targets/Collector.h"

#include "platform/Hash.h"
#include "platform/Parallel.h"
#include "targets/Packing.h"
#include "targets/TextOrder.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <iterator>
#include <string_view>
#include <thread>
#include <unordered_map>

namespace kalix {

using namespace packing;

namespace {

inline uint64_t PlaceKey(uint32_t target, int32_t startView) {
  return (uint64_t{target} << 32) | static_cast<uint32_t>(startView);
}

}  // namespace

TargetCollector::TargetCollector(const RuleSet& rules, int resultSpelling, bool showSymbols)
    : rules_(rules), substIndex_(rules), resultSpelling_(resultSpelling), showSymbols_(showSymbols) {}

TargetCollector::~TargetCollector() = default;

void TargetCollector::BeginDocument(std::string_view text, const cMarkList& marks, std::string documentRef) {
  FileAll();
  text_ = text;
  documentMarks_.push_back(DocumentMarks{collectedCount_, MarkIndex(marks)});
  documentRef_ = std::move(documentRef);
  documentHash_ = HashBytes(documentRef_, kHashSeed) * 31u + 7u;
  const auto seen = documentsSeen_.emplace(documentRef_, static_cast<int32_t>(documentsSeen_.size()));
  repeatedDocument_ = !seen.second;
  documentOrdinal_ = seen.first->second;
  batchSeen_.clear();
  batchIndexed_ = false;
  batchPlaces_.clear();
  filedBatch_ = batch_;
  if (repeatedDocument_) {
    // The same document again: its places are already listed. Every place of
    // the targets of this reference is checked for the whole document.
    for (const Block& block : blocks_) {
      for (const Collected& c : block) {
        const uint32_t t = c.Packed >> 4;
        if (t != kNoTarget && found_[t].ordinal == documentOrdinal_) {
          batchSeen_.insert(PlaceKey(t, c.StartView));
        }
      }
    }
    batchIndexed_ = true;
  }
}

bool TargetCollector::SameForm(const Found& f, const Waiting& w) const {
  return f.ordinal == documentOrdinal_ && f.textLength == w.form.size() &&
         std::memcmp(f.head, w.head, kHead) == 0 &&
         (w.form.size() <= kHead ||
          std::memcmp(forms_.data() + f.textAt + kHead, w.form.data() + kHead, w.form.size() - kHead) == 0);
}

uint32_t TargetCollector::FindOrCreate(const Waiting& w) {
  const auto probe =
      index_.Find(w.hash, [&](const Slot& s) { return s.hash == w.hash && SameForm(found_[s.target - 1], w); });
  if (probe.found) return probe.slot->target - 1;
  if (found_.size() >= kMaxTargets) return kNoTarget;
  if (w.form.size() > kHead && w.form.size() > UINT32_MAX - forms_.size()) return kNoTarget;
  const uint32_t t = static_cast<uint32_t>(found_.size());
  Found& f = found_.Append();
  std::memcpy(f.head, w.head, kHead);
  f.textLength = static_cast<uint32_t>(w.form.size());
  f.textAt = 0;
  if (w.form.size() > kHead) {
    f.textAt = static_cast<uint32_t>(forms_.size());
    forms_ += w.form;
  }
  f.ordinal = documentOrdinal_;
  f.length = w.wordLength;
  f.stringIndex = w.stringIndex;
  index_.Fill(probe, Slot{w.hash, t + 1}, [](const Slot& s) { return s.hash; });
  return t;
}

bool TargetCollector::SeenInBatch(uint32_t target, int32_t startView) {
  // Two hits of one place under one target can only come in the same flush:
  // every string starts afresh after a flush, so a later flush holds only
  // places after it (a document scanned again is one flush as a whole).
  const uint64_t key = PlaceKey(target, startView);
  if (!batchIndexed_) {
    for (uint64_t p : batchPlaces_) {
      if (p == key) return true;
    }
    batchPlaces_.push_back(key);
    if (batchPlaces_.size() > 32) {
      batchSeen_.insert(batchPlaces_.begin(), batchPlaces_.end());
      batchPlaces_.clear();
      batchIndexed_ = true;
    }
    return false;
  }
  return !batchSeen_.insert(key).second;
}

void TargetCollector::File(Waiting& w) {
  if (w.batch != filedBatch_) {
    // The first hit of a later flush: the places of the last one are done.
    batchPlaces_.clear();
    if (batchIndexed_) {
      batchSeen_.clear();
      batchIndexed_ = false;
    }
    filedBatch_ = w.batch;
  }
  Collected& c = OccurrenceAt(w.occurrence);
  uint32_t t = FindOrCreate(w);
  if (t != kNoTarget && SeenInBatch(t, w.startView)) t = kNoTarget;
  c.Packed |= t << 4;
  if (t != kNoTarget) ++occurrenceCount_;
}

void TargetCollector::FileAll() {
  for (; waitingCount_ > 0; --waitingCount_) {
    File(waiting_[firstWaiting_]);
    firstWaiting_ = (firstWaiting_ + 1) % (kWaiting + 1);
  }
}

void TargetCollector::AddTarget(const PendingHit& hit, int32_t wordLength) {
  // The hit's occurrence goes to the list now; its target is looked up when
  // two more hits have come, the index slot and the target it will read
  // being fetched meanwhile.
  Waiting& w = waiting_[(firstWaiting_ + waitingCount_) % (kWaiting + 1)];
  w.form.clear();
  AppendResultForm(rules_, substIndex_, text_, static_cast<size_t>(hit.WordStartAt),
                   static_cast<size_t>(wordLength < 0 ? 0 : wordLength), resultSpelling_, showSymbols_, w.form);
  w.hash = HashForm(w.form, documentHash_);
  std::memset(w.head, 0, kHead);
  std::memcpy(w.head, w.form.data(), w.form.size() < kHead ? w.form.size() : kHead);
  w.wordLength = wordLength;
  w.stringIndex = hit.StringIndex;
  w.startView = hit.StartView;
  w.batch = batch_;
  index_.Prefetch(w.hash);
  if (waitingCount_ > 0) {
    // The previous hit's slot has come by now: fetch its target.
    const Waiting& previous = waiting_[(firstWaiting_ + waitingCount_ - 1) % (kWaiting + 1)];
    const Slot s = index_.Home(previous.hash);
    if (!s.Empty() && s.hash == previous.hash) {
      Prefetch(&found_[s.target - 1]);
    }
  }

  Collected& c = NewOccurrence();
  const uint32_t known = hit.KnownEnds & kAllEndsKnown;
  c.StartView = hit.StartView;
  c.ViewLength = hit.ViewLength;
  c.ContextStartView = hit.ContextStartView;
  c.ContextViewLength = hit.ContextViewLength;
  c.ContextStartOffset = hit.ContextStartOffset;
  c.ContextOffsetLength = hit.ContextOffsetLength;
  c.ParagraphStart = hit.ParagraphStart;
  c.SentenceStart = hit.SentenceStart;
  c.WordStart = hit.WordStart;
  c.ParagraphEnd = known & kParagraphEndKnown ? hit.ParagraphEnd : 0;
  c.SentenceEnd = known & kSentenceEndKnown ? hit.SentenceEnd : 0;
  c.WordEnd = known & kWordEndKnown ? hit.WordEnd : 0;
  c.Packed = known;
  const uint32_t n = collectedCount_++;
  w.occurrence = n;
  if ((known & (kSentenceEndKnown | kWordEndKnown)) != (kSentenceEndKnown | kWordEndKnown)) {
    openSentence_.push_back(n);
  }
  if (!(known & kParagraphEndKnown)) openParagraph_.push_back(n);

  ++waitingCount_;
  if (waitingCount_ > kWaiting) {
    File(waiting_[firstWaiting_]);
    firstWaiting_ = (firstWaiting_ + 1) % (kWaiting + 1);
    --waitingCount_;
  }
}

void TargetCollector::CloseOccurrences(int32_t lastLetterOffset, int cls) {
  if (cls < kSentenceSeparator) return;
  for (uint32_t n : openSentence_) {
    Collected& c = OccurrenceAt(n);
    if (!(c.Packed & kSentenceEndKnown)) {
      c.SentenceEnd = lastLetterOffset;
      c.Packed |= kSentenceEndKnown;
    }
    if (!(c.Packed & kWordEndKnown)) {
      c.WordEnd = lastLetterOffset;
      c.Packed |= kWordEndKnown;
    }
  }
  openSentence_.clear();
  if (cls >= kParagraphSeparator) {
    for (uint32_t n : openParagraph_) {
      Collected& c = OccurrenceAt(n);
      if (!(c.Packed & kParagraphEndKnown)) {
        c.ParagraphEnd = lastLetterOffset;
        c.Packed |= kParagraphEndKnown;
      }
    }
    openParagraph_.clear();
  }
}

void TargetCollector::EndBatch() {
  if (repeatedDocument_) return;  // the whole document is one batch then
  ++batch_;
}

TargetCollector::Collected& TargetCollector::NewOccurrence() {
  if (blocks_.empty() || blocks_.back().size() == kBlock) {
    // The first block grows from a small size, so that short lists stay
    // small; a block never moves once it is full size.
    const bool first = blocks_.empty();
    blocks_.emplace_back().reserve(first ? kBlock / 64 : kBlock);
  } else if (blocks_.back().size() == blocks_.back().capacity()) {
    blocks_.back().reserve(std::min<size_t>(kBlock, 2 * blocks_.back().capacity()));
  }
  return blocks_.back().emplace_back();
}

void TargetCollector::Absorb(TargetCollector& later) {
  later.FileAll();
  later.index_.Clear();
  later.batchSeen_ = std::unordered_set<uint64_t>();
  // The later targets' numbers here: found, or made as if by their first
  // hit (their form, word length and string come from it). The hashes come
  // first, so that the index slots are fetched a few targets ahead of their
  // lookups.
  const size_t count = later.found_.size();
  std::vector<uint32_t> hashes(count);
  for (size_t t = 0; t < count; ++t) hashes[t] = HashForm(later.FormOf(later.found_[t]), documentHash_);
  std::vector<uint32_t> number(count);
  constexpr size_t kAhead = 8;
  Waiting w;
  for (size_t t = 0; t < count; ++t) {
    if (t + kAhead < count) index_.Prefetch(hashes[t + kAhead]);
    const Found& f = later.found_[t];
    w.form.assign(later.FormOf(f));
    w.hash = hashes[t];
    std::memcpy(w.head, f.head, kHead);
    w.wordLength = f.length;
    w.stringIndex = f.stringIndex;
    number[t] = FindOrCreate(w);
  }
  later.found_ = FoundList();
  later.forms_ = std::string();
  // The later occurrences take these numbers, and their blocks follow these
  // as they are. The last block here may be short of full: the numbers it
  // leaves out are never used (the document has ended: no end is open and
  // no hit waits), and occurrences added afterwards are numbered from the
  // last block on.
  for (Block& block : later.blocks_) {
    for (Collected& c : block) {
      const uint32_t t = c.Packed >> 4;
      const uint32_t mine = t == kNoTarget ? kNoTarget : number[t];
      c.Packed = (c.Packed & 15u) | mine << 4;
      if (mine != kNoTarget) ++occurrenceCount_;
    }
    blocks_.push_back(std::move(block));
  }
  if (!blocks_.empty()) {
    collectedCount_ = static_cast<uint32_t>((blocks_.size() - 1) * kBlock + blocks_.back().size());
  }
  later.blocks_ = std::vector<Block>();
  later.collectedCount_ = 0;
  later.occurrenceCount_ = 0;
}

void TargetCollector::EndDocument() {
  FileAll();
  openSentence_.clear();
  openSentence_.shrink_to_fit();
  openParagraph_.clear();
  openParagraph_.shrink_to_fit();
  batchSeen_.clear();
  batchIndexed_ = false;
  batchPlaces_.clear();
  text_ = std::string_view();
}

namespace {

// A target's place in the result: its form, whose first sixteen bytes are
// compared as numbers first, then its document reference.
struct SortKey {
  uint64_t high;    // bytes 0-7, zero past the end
  uint64_t low;     // bytes 8-15
  uint32_t target;
  uint32_t length;  // of the form
  uint32_t rank;    // of the document reference
};

inline SortKey MakeSortKey(std::string_view text, uint32_t target) {
  return SortKey{Leading8(text), text.size() > 8 ? Leading8(text.substr(8)) : 0, target, 0, 0};
}

// The packed occurrences of a group of consecutive targets, in blocks.
struct PackedGroup {
  uint32_t firstTarget = 0;
  PackState state;
  std::vector<std::vector<uint8_t>> blocks;
  size_t used = 0;  // bytes of the last block
};

}  // namespace

// The steps of `Finish`, in order; each gives back what it no longer needs.
class TargetCollector::Finishing {
 public:
  explicit Finishing(TargetCollector& c) : c_(c), n_(c.found_.size()) {}

  cTargetList Run() {
    CountOccurrences();
    OrderTargets();
    PackOccurrences();
    place_ = std::vector<uint32_t>();
    // Sized before either thread starts: no target moves while the lists
    // are filled.
    list_.resize(n_);
    // Alone on one processor, the targets are all made first.
    RunInParallel([this] { MakeTargets(); }, [this] { FillLists(); });
    packed_[0] = std::vector<PackedGroup>();
    packed_[1] = std::vector<PackedGroup>();
    for (Target& t : list_) t.CurrentStart = 0;
    return std::move(list_);
  }

 private:
  // Every target's number of occurrences (those left out not counted).
  void CountOccurrences() {
    counts_.assign(n_, 0);
    for (const Block& block : c_.blocks_) {
      for (const Collected& o : block) {
        if ((o.Packed >> 4) != kNoTarget) ++counts_[o.Packed >> 4];
      }
    }
  }

  // The ranks of the document references in byte order (by ordinal), and
  // `references_` by ordinal.
  std::vector<uint32_t> RankReferences() {
    references_.assign(c_.documentsSeen_.size(), nullptr);
    std::vector<const std::pair<const std::string, int32_t>*> documents;
    documents.reserve(c_.documentsSeen_.size());
    for (const auto& entry : c_.documentsSeen_) documents.push_back(&entry);
    std::sort(documents.begin(), documents.end(), [](const auto* x, const auto* y) { return x->first < y->first; });
    std::vector<uint32_t> rank(documents.size());
    for (size_t r = 0; r < documents.size(); ++r) {
      references_[static_cast<size_t>(documents[r]->second)] = &documents[r]->first;
      rank[static_cast<size_t>(documents[r]->second)] = static_cast<uint32_t>(r);
    }
    return rank;
  }

  // Order of the result: form, then document reference. Keys (the first
  // bytes of the form, its length, the rank of its reference) settle almost
  // every comparison; forms longer than the key are compared whole. `order_`
  // lists the targets in their new order, `place_` gives the new place of
  // each.
  void OrderTargets() {
    const std::vector<uint32_t> rank = RankReferences();
    std::vector<SortKey> keys(n_);
    for (size_t t = 0; t < n_; ++t) {
      const Found& f = c_.found_[t];
      const std::string_view form = c_.FormOf(f);
      keys[t] = MakeSortKey(form, static_cast<uint32_t>(t));
      keys[t].length = static_cast<uint32_t>(form.size());
      keys[t].rank = rank[static_cast<size_t>(f.ordinal)];
    }
    // Of two forms of at most 16 bytes with the same key bytes, the shorter
    // is a prefix of the other (the key pads with zeros).
    const auto before = [this](const SortKey& x, const SortKey& y) {
      if (x.high != y.high) return x.high < y.high;
      if (x.low != y.low) return x.low < y.low;
      if (x.length > 16 || y.length > 16) {
        const int c = c_.FormOf(c_.found_[x.target]).compare(c_.FormOf(c_.found_[y.target]));
        if (c != 0) return c < 0;
      } else if (x.length != y.length) {
        return x.length < y.length;
      }
      if (x.rank != y.rank) return x.rank < y.rank;
      return x.target < y.target;
    };
    // The keys are split around their middle one, and the two halves
    // sorted at once.
    const auto middle = keys.begin() + static_cast<std::ptrdiff_t>(n_ / 2);
    std::nth_element(keys.begin(), middle, keys.end(), before);
    RunInParallel([&] { std::sort(keys.begin(), middle, before); }, [&] { std::sort(middle, keys.end(), before); });
    order_.resize(n_);
    place_.resize(n_);
    for (size_t k = 0; k < n_; ++k) {
      order_[k] = keys[k].target;
      place_[keys[k].target] = static_cast<uint32_t>(k);
    }
  }

  // Every target gets a list of its exact size, made at its first
  // occurrence and filled as its occurrences come. Lists made straight from
  // the occurrences in the order they came would mostly be made long before
  // they are filled, next to the blocks they replace. So the occurrences are
  // first packed into groups of consecutive targets of about equal numbers
  // of occurrences (keeping their order in each group), which takes a
  // fraction of the room; then the targets are made, and their lists group
  // by group. Every block is given back as soon as it has been read, so
  // that what is made takes the room of what it replaces.
  //
  // The two halves of the block list are packed at once, each into groups
  // of its own (`packed_[0]`, `packed_[1]`): a group's occurrences are those
  // of the first half, then those of the second.
  void PackOccurrences() {
    MakeGroups();
    packed_[1] = packed_[0];
    const size_t middle = c_.blocks_.size() / 2;
    RunInParallel([&] { Pack(0, middle, packed_[0]); }, [&] { Pack(middle, c_.blocks_.size(), packed_[1]); });
    c_.blocks_ = std::vector<Block>();
    c_.collectedCount_ = 0;
    c_.documentMarks_ = std::vector<DocumentMarks>();
    groupOf_ = std::vector<uint8_t>();
  }

  // Consecutive targets in groups of about equal numbers of occurrences.
  void MakeGroups() {
    groupOf_.resize(n_);
    const size_t share = c_.occurrenceCount_ / kGroups + 1;
    size_t sum = 0;
    for (size_t k = 0; k < n_; ++k) {
      if (packed_[0].empty() || (sum >= share && packed_[0].size() < kGroups)) {
        packed_[0].emplace_back().firstTarget = static_cast<uint32_t>(k);
        sum = 0;
      }
      groupOf_[k] = static_cast<uint8_t>(packed_[0].size() - 1);
      sum += counts_[order_[k]];
    }
  }

  // Packs the occurrences of blocks [fromBlock, toBlock) into `groups`,
  // each with the page and folio of its place, and gives the blocks back.
  void Pack(size_t fromBlock, size_t toBlock, std::vector<PackedGroup>& groups) {
    // The document of each occurrence, by its number, for its page and
    // folio.
    size_t document = 0;
    size_t markHint = 0;
    const auto& documentMarks = c_.documentMarks_;
    for (size_t b = fromBlock; b < toBlock; ++b) {
      Block& block = c_.blocks_[b];
      for (size_t k = 0; k < block.size(); ++k) {
        const Collected& o = block[k];
        const size_t number = b * kBlock + k;
        while (document + 1 < documentMarks.size() && documentMarks[document + 1].firstOccurrence <= number) {
          ++document;
          markHint = 0;
        }
        if ((o.Packed >> 4) == kNoTarget) continue;
        const MarkIndex::PageFolio pf = documentMarks[document].marks.At(o.StartView, markHint);
        const uint32_t t = place_[o.Packed >> 4];
        PackedGroup& g = groups[groupOf_[t]];
        if (g.blocks.empty() || g.used + kMaxPacked > kGroupBlock) {
          if (!g.blocks.empty()) g.blocks.back().resize(g.used);
          g.blocks.emplace_back(kGroupBlock);
          g.used = 0;
        }
        uint8_t* p = g.blocks.back().data() + g.used;
        packing::Pack(o, pf, t - g.firstTarget, g.state, p);
        g.used = static_cast<size_t>(p - g.blocks.back().data());
      }
      block = Block();
    }
    for (PackedGroup& g : groups) {
      if (!g.blocks.empty()) g.blocks.back().resize(g.used);
    }
  }

  // The targets, in order; CurrentStart holds each one's number of
  // occurrences until its list is made. They are made on one thread while
  // their lists are filled on the other, group by group as soon as the
  // group's targets are made (`made_` counts them). The targets of one
  // document share its reference.
  void MakeTargets() {
    std::vector<SharedText> sharedReferences;
    sharedReferences.reserve(references_.size());
    for (const std::string* ref : references_) sharedReferences.emplace_back(*ref);
    try {
      for (size_t k = 0; k < n_; ++k) {
        if (k + 8 < n_) Prefetch(&c_.found_[order_[k + 8]]);
        const Found& f = c_.found_[order_[k]];
        Target& t = list_[k];
        t.Text = c_.FormOf(f);
        t.Length = f.length;
        t.StringIndex = f.stringIndex;
        t.DocumentRef = sharedReferences[static_cast<size_t>(f.ordinal)];
        t.CurrentStart = static_cast<int32_t>(counts_[order_[k]]);
        if ((k & 1023) == 1023) made_.store(k + 1, std::memory_order_release);
      }
    } catch (...) {
      // The lists are filled on regardless (the result is dropped): the
      // other thread must not wait for targets that never come.
      made_.store(SIZE_MAX, std::memory_order_release);
      throw;
    }
    made_.store(n_, std::memory_order_release);
    order_ = std::vector<uint32_t>();
    counts_ = std::vector<uint32_t>();
    c_.found_ = FoundList();
    c_.forms_ = std::string();
  }

  // An occurrence unpacked, and the target it goes to.
  struct Unpacked {
    Occurrence occurrence;
    Target* target;
  };

  static void File(Unpacked& u) {
    cStarts& starts = u.target->Starts;
    if (starts.capacity() == 0) starts.reserve(static_cast<size_t>(u.target->CurrentStart));
    starts.push_back(u.occurrence);
  }

  // Occurrences are unpacked a few ahead of being filed, so that their
  // targets, then the ends of their lists, are fetched meanwhile.
  void FillLists() {
    for (size_t group = 0; group < packed_[0].size(); ++group) {
      const size_t end = group + 1 < packed_[0].size() ? packed_[0][group + 1].firstTarget : n_;
      while (made_.load(std::memory_order_acquire) < end) std::this_thread::yield();
      for (std::vector<PackedGroup>& groups : packed_) FillGroup(groups[group]);
    }
    for (size_t k = ahead_ > kAhead ? ahead_ - kAhead : 0; k < ahead_; ++k) File(unpacked_[k % kAhead]);
  }

  void FillGroup(PackedGroup& g) {
    PackState state;
    for (std::vector<uint8_t>& bytes : g.blocks) {
      const uint8_t* p = bytes.data();
      const uint8_t* stop = p + bytes.size();
      while (p < stop) {
        Unpacked& u = unpacked_[ahead_ % kAhead];
        if (ahead_ >= kAhead) File(u);
        u.target = &list_[g.firstTarget + Unpack(p, state, u.occurrence)];
        Prefetch(&u.target->Starts);
        if (ahead_ >= kAhead / 2) {
          const cStarts& starts = unpacked_[(ahead_ - kAhead / 2) % kAhead].target->Starts;
          if (starts.capacity() != 0) Prefetch(starts.data() + starts.size());
        }
        ++ahead_;
      }
      bytes = std::vector<uint8_t>();
    }
    g.blocks = std::vector<std::vector<uint8_t>>();
  }

  static constexpr size_t kGroups = 64;
  static constexpr size_t kGroupBlock = size_t{1} << 14;  // bytes
  static constexpr size_t kAhead = 16;

  TargetCollector& c_;
  const size_t n_;
  std::vector<uint32_t> counts_;
  std::vector<const std::string*> references_;  // by ordinal
  std::vector<uint32_t> order_;
  std::vector<uint32_t> place_;
  std::vector<uint8_t> groupOf_;
  std::vector<PackedGroup> packed_[2];
  cTargetList list_;
  std::atomic<size_t> made_{0};
  Unpacked unpacked_[kAhead];
  size_t ahead_ = 0;
};

cTargetList TargetCollector::Finish() {
  EndDocument();
  index_.Clear();
  batchSeen_ = std::unordered_set<uint64_t>();
  cTargetList list = Finishing(*this).Run();
  occurrenceCount_ = 0;
  documentsSeen_.clear();
  return list;
}

}  // namespace kalix
