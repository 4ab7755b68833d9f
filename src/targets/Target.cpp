#include "targets/Target.h"

#include "platform/Parallel.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <iterator>
#include <string_view>
#include <thread>
#include <unordered_map>

namespace kalix {

namespace {

inline uint64_t PlaceKey(uint32_t target, int32_t startView) {
  return (uint64_t{target} << 32) | static_cast<uint32_t>(startView);
}

}  // namespace

// ---------------------------------------------------------------------------
// MarkIndex

MarkIndex::MarkIndex(const cMarkList& marks) {
  positions_.reserve(marks.size());
  after_.reserve(marks.size());
  PageFolio now;
  for (const Mark& m : marks) {
    if (m.kind == kPageMark) {
      now.page = m.number;
    } else if (m.kind == kFolioMark) {
      now.folio = m.number;
      now.verso = m.value != 0;
    }
    positions_.push_back(m.position);
    after_.push_back(now);
  }
}

static_assert(sizeof(Occurrence) == 60, "an occurrence takes 60 bytes");

MarkIndex::PageFolio MarkIndex::At(int32_t view) const {
  // Marks are in non-decreasing position order; those strictly before
  // `view` are in effect.
  size_t n = static_cast<size_t>(std::lower_bound(positions_.begin(), positions_.end(), view) -
                                 positions_.begin());
  if (n == 0) return PageFolio{};
  return after_[n - 1];
}

MarkIndex::PageFolio MarkIndex::At(int32_t view, size_t& hint) const {
  // `hint` is the number of marks before the previous view.
  size_t n = hint > positions_.size() ? positions_.size() : hint;
  if (n > 0 && positions_[n - 1] >= view) {
    n = static_cast<size_t>(std::lower_bound(positions_.begin(), positions_.begin() + static_cast<std::ptrdiff_t>(n), view) -
                            positions_.begin());
  } else {
    size_t steps = 0;
    while (n < positions_.size() && positions_[n] < view && steps < 8) {
      ++n;
      ++steps;
    }
    if (n < positions_.size() && positions_[n] < view) {
      n = static_cast<size_t>(std::lower_bound(positions_.begin() + static_cast<std::ptrdiff_t>(n), positions_.end(), view) -
                              positions_.begin());
    }
  }
  hint = n;
  if (n == 0) return PageFolio{};
  return after_[n - 1];
}

// ---------------------------------------------------------------------------
// TargetCollector

namespace {

inline uint32_t HashBytes(std::string_view s, uint32_t h) {
  for (char c : s) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return h;
}

constexpr uint32_t kHashSeed = 2166136261u;

// The hash of a form: eight bytes at a time, each word multiplied in, the
// bits mixed at the end.
inline uint32_t HashForm(std::string_view s, uint32_t seed) {
  uint64_t h = (uint64_t{seed} << 32 | s.size()) * 0x9e3779b97f4a7c15u;
  size_t k = 0;
  for (; k + 8 <= s.size(); k += 8) {
    uint64_t w;
    std::memcpy(&w, s.data() + k, 8);
    h = (h ^ w) * 0xff51afd7ed558ccdu;
    h ^= h >> 29;
  }
  if (k < s.size()) {
    uint64_t w = 0;
    std::memcpy(&w, s.data() + k, s.size() - k);
    h = (h ^ w) * 0xff51afd7ed558ccdu;
  }
  h ^= h >> 32;
  h *= 0xc4ceb9fe1a85ec53u;
  h ^= h >> 29;
  return static_cast<uint32_t>(h);
}

// The first eight bytes of `s` as a number that orders as the bytes do
// (bytes past the end count as 0).
inline uint64_t Leading8(std::string_view s) {
  uint64_t v = 0;
  const size_t n = s.size() < 8 ? s.size() : 8;
  for (size_t k = 0; k < n; ++k) v |= uint64_t{static_cast<unsigned char>(s[k])} << (56 - 8 * k);
  return v;
}

// Byte-wise comparison of two strings, as std::string's: < 0, 0 or > 0.
inline int CompareBytes(std::string_view a, std::string_view b) {
  const uint64_t x = Leading8(a);
  const uint64_t y = Leading8(b);
  if (x != y) return x < y ? -1 : 1;
  return a.compare(b);
}

}  // namespace

TargetCollector::TargetCollector(const RuleSet& rules, int resultSpelling, bool showSymbols)
    : rules_(rules), substIndex_(rules), resultSpelling_(resultSpelling), showSymbols_(showSymbols) {}

TargetCollector::~TargetCollector() = default;

namespace {

// Asks for the cache line holding `p` ahead of its use.
inline void Prefetch(const void* p) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

}  // namespace

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

void TargetCollector::Rehash(size_t slots) {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(slots, Slot{0, 0});
  const size_t mask = slots - 1;
  for (const Slot& s : old) {
    if (s.target == 0) continue;
    size_t i = s.hash & mask;
    while (slots_[i].target != 0) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

bool TargetCollector::SameForm(const Found& f, const Waiting& w) const {
  return f.ordinal == documentOrdinal_ && f.textLength == w.form.size() &&
         std::memcmp(f.head, w.head, kHead) == 0 &&
         (w.form.size() <= kHead ||
          std::memcmp(forms_.data() + f.textAt + kHead, w.form.data() + kHead, w.form.size() - kHead) == 0);
}

uint32_t TargetCollector::FindOrCreate(const Waiting& w) {
  if (slots_.empty()) Rehash(1024);
  const size_t mask = slots_.size() - 1;
  size_t i = w.hash & mask;
  for (;;) {
    const Slot s = slots_[i];
    if (s.target == 0) break;
    if (s.hash == w.hash && SameForm(found_[s.target - 1], w)) return s.target - 1;
    i = (i + 1) & mask;
  }
  if (found_.size() >= kMaxTargets) return kNoTarget;
  if (w.form.size() > kHead && w.form.size() > UINT32_MAX - forms_.size()) return kNoTarget;
  const uint32_t t = static_cast<uint32_t>(found_.size());
  Found& f = found_.emplace_back();
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
  slots_[i] = Slot{w.hash, t + 1};
  if (found_.size() * 4 > slots_.size() * 3) Rehash(slots_.size() * 2);
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
  if (!slots_.empty()) Prefetch(&slots_[w.hash & (slots_.size() - 1)]);
  if (waitingCount_ > 0 && !slots_.empty()) {
    // The previous hit's slot has come by now: fetch its target.
    const Waiting& previous = waiting_[(firstWaiting_ + waitingCount_ - 1) % (kWaiting + 1)];
    const Slot s = slots_[previous.hash & (slots_.size() - 1)];
    if (s.target != 0 && s.hash == previous.hash) {
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
  later.slots_ = std::vector<Slot>();
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
  if (slots_.empty()) Rehash(1024);
  Waiting w;
  for (size_t t = 0; t < count; ++t) {
    if (t + kAhead < count) Prefetch(&slots_[hashes[t + kAhead] & (slots_.size() - 1)]);
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

// Occurrences are packed as variable-length numbers while `Finish` sorts
// them into groups of targets: seven bits a byte, low bits first, the top
// bit set on every byte but the last. Signed differences are folded so that
// small ones of either sign take few bytes; every difference is taken
// modulo 2^32, so that any values come back exactly.
inline uint32_t Fold(uint32_t d) { return d << 1 ^ (0u - (d >> 31)); }
inline uint32_t Unfold(uint32_t z) { return z >> 1 ^ (0u - (z & 1u)); }
inline uint32_t Minus(int32_t a, int32_t b) { return static_cast<uint32_t>(a) - static_cast<uint32_t>(b); }
inline int32_t Plus(int32_t base, uint32_t d) { return static_cast<int32_t>(static_cast<uint32_t>(base) + d); }

inline void PutNumber(uint8_t*& p, uint32_t v) {
  while (v >= 0x80u) {
    *p++ = static_cast<uint8_t>(v | 0x80u);
    v >>= 7;
  }
  *p++ = static_cast<uint8_t>(v);
}

inline uint32_t GetNumber(const uint8_t*& p) {
  uint32_t v = 0;
  for (unsigned shift = 0;; shift += 7) {
    const uint8_t b = *p++;
    v |= static_cast<uint32_t>(b & 0x7fu) << shift;
    if (!(b & 0x80u)) return v;
  }
}

// The most bytes one packed occurrence takes: a byte of flags and at most
// 15 numbers of 5 bytes.
constexpr size_t kMaxPacked = 1 + 15 * 5;

// What the previous occurrence of a group held: occurrences are packed as
// differences from it, or from fields of their own.
struct PackState {
  int32_t StartView = 0;
  int32_t WordStart = 0;
  int32_t Page = 0;
  int32_t Folio = 0;
  int32_t ContextStartView = -1;
  int32_t ContextViewLength = 0;
  int32_t ContextStartOffset = 0;
  int32_t ContextOffsetLength = 0;
};

// Flags byte: bits 0-2 the known ends, bit 3 verso, bit 4 the context fields
// of the previous occurrence again.
constexpr uint8_t kSameContext = 16;

template <class Collected>
inline void Pack(const Collected& c, const MarkIndex::PageFolio& pf, uint32_t targetInGroup, PackState& s,
                 uint8_t*& p) {
  const bool sameContext = c.ContextStartView == s.ContextStartView && c.ContextViewLength == s.ContextViewLength &&
                           c.ContextStartOffset == s.ContextStartOffset &&
                           c.ContextOffsetLength == s.ContextOffsetLength;
  *p++ = static_cast<uint8_t>((c.Packed & kAllEndsKnown) | (pf.verso ? 8u : 0u) | (sameContext ? kSameContext : 0));
  PutNumber(p, targetInGroup);
  PutNumber(p, Fold(Minus(c.StartView, s.StartView)));
  PutNumber(p, Fold(Minus(c.ViewLength, 0)));
  PutNumber(p, Fold(Minus(c.WordStart, s.WordStart)));
  PutNumber(p, Fold(Minus(c.ParagraphStart, c.WordStart)));
  PutNumber(p, Fold(Minus(c.SentenceStart, c.WordStart)));
  PutNumber(p, Fold(Minus(c.ParagraphEnd, c.WordStart)));
  PutNumber(p, Fold(Minus(c.SentenceEnd, c.WordStart)));
  PutNumber(p, Fold(Minus(c.WordEnd, c.WordStart)));
  PutNumber(p, Fold(Minus(pf.page, s.Page)));
  PutNumber(p, Fold(Minus(pf.folio, s.Folio)));
  if (!sameContext) {
    PutNumber(p, Fold(Minus(c.ContextStartView, c.StartView)));
    PutNumber(p, Fold(Minus(c.ContextViewLength, 0)));
    PutNumber(p, Fold(Minus(c.ContextStartOffset, c.WordStart)));
    PutNumber(p, Fold(Minus(c.ContextOffsetLength, 0)));
    s.ContextStartView = c.ContextStartView;
    s.ContextViewLength = c.ContextViewLength;
    s.ContextStartOffset = c.ContextStartOffset;
    s.ContextOffsetLength = c.ContextOffsetLength;
  }
  s.StartView = c.StartView;
  s.WordStart = c.WordStart;
  s.Page = pf.page;
  s.Folio = pf.folio;
}

inline uint32_t Unpack(const uint8_t*& p, PackState& s, Occurrence& o) {
  const uint8_t flags = *p++;
  const uint32_t targetInGroup = GetNumber(p);
  o.StartView = Plus(s.StartView, Unfold(GetNumber(p)));
  o.ViewLength = Plus(0, Unfold(GetNumber(p)));
  o.WordStart = Plus(s.WordStart, Unfold(GetNumber(p)));
  o.ParagraphStart = Plus(o.WordStart, Unfold(GetNumber(p)));
  o.SentenceStart = Plus(o.WordStart, Unfold(GetNumber(p)));
  o.ParagraphEnd = Plus(o.WordStart, Unfold(GetNumber(p)));
  o.SentenceEnd = Plus(o.WordStart, Unfold(GetNumber(p)));
  o.WordEnd = Plus(o.WordStart, Unfold(GetNumber(p)));
  o.Page = Plus(s.Page, Unfold(GetNumber(p)));
  o.Folio = Plus(s.Folio, Unfold(GetNumber(p)));
  if (!(flags & kSameContext)) {
    s.ContextStartView = Plus(o.StartView, Unfold(GetNumber(p)));
    s.ContextViewLength = Plus(0, Unfold(GetNumber(p)));
    s.ContextStartOffset = Plus(o.WordStart, Unfold(GetNumber(p)));
    s.ContextOffsetLength = Plus(0, Unfold(GetNumber(p)));
  }
  o.ContextStartView = s.ContextStartView;
  o.ContextViewLength = s.ContextViewLength;
  o.ContextStartOffset = s.ContextStartOffset;
  o.ContextOffsetLength = s.ContextOffsetLength;
  o.Verso = (flags & 8u) != 0 ? 1 : 0;
  o.KnownEnds = static_cast<uint16_t>(flags & kAllEndsKnown);
  s.StartView = o.StartView;
  s.WordStart = o.WordStart;
  s.Page = o.Page;
  s.Folio = o.Folio;
  return targetInGroup;
}

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

cTargetList TargetCollector::Finish() {
  EndDocument();
  slots_ = std::vector<Slot>();
  batchSeen_ = std::unordered_set<uint64_t>();
  const size_t n = found_.size();
  std::vector<uint32_t> counts(n, 0);
  for (const Block& block : blocks_) {
    for (const Collected& c : block) {
      if ((c.Packed >> 4) != kNoTarget) ++counts[c.Packed >> 4];
    }
  }

  // Order of the result: form, then document reference. Keys (the first
  // bytes of the form, its length, the rank of its reference) settle almost
  // every comparison; forms longer than the key are compared whole. `order`
  // lists the targets in their new order, `place` gives the new place of
  // each.
  std::vector<const std::string*> references(documentsSeen_.size());
  std::vector<uint32_t> order(n);
  std::vector<uint32_t> place(n);
  {
    std::vector<const std::pair<const std::string, int32_t>*> documents;
    documents.reserve(documentsSeen_.size());
    for (const auto& entry : documentsSeen_) documents.push_back(&entry);
    std::sort(documents.begin(), documents.end(), [](const auto* x, const auto* y) { return x->first < y->first; });
    std::vector<uint32_t> rank(documents.size());
    for (size_t r = 0; r < documents.size(); ++r) {
      references[static_cast<size_t>(documents[r]->second)] = &documents[r]->first;
      rank[static_cast<size_t>(documents[r]->second)] = static_cast<uint32_t>(r);
    }
    std::vector<SortKey> keys(n);
    for (size_t t = 0; t < n; ++t) {
      const Found& f = found_[t];
      const std::string_view form = FormOf(f);
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
        const int c = FormOf(found_[x.target]).compare(FormOf(found_[y.target]));
        if (c != 0) return c < 0;
      } else if (x.length != y.length) {
        return x.length < y.length;
      }
      if (x.rank != y.rank) return x.rank < y.rank;
      return x.target < y.target;
    };
    // The keys are split around their middle one, and the two halves
    // sorted at once.
    const auto middle = keys.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(keys.begin(), middle, keys.end(), before);
    RunInParallel([&] { std::sort(keys.begin(), middle, before); }, [&] { std::sort(middle, keys.end(), before); });
    for (size_t k = 0; k < n; ++k) {
      order[k] = keys[k].target;
      place[keys[k].target] = static_cast<uint32_t>(k);
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
  constexpr size_t kGroups = 64;
  constexpr size_t kGroupBlock = size_t{1} << 14;  // bytes
  // The two halves of the block list are packed at once, each into groups
  // of its own (`packed[0]`, `packed[1]`): a group's occurrences are those
  // of the first half, then those of the second.
  std::vector<PackedGroup> packed[2];
  {
    std::vector<uint8_t> groupOf(n);
    const size_t share = occurrenceCount_ / kGroups + 1;
    size_t sum = 0;
    for (size_t k = 0; k < n; ++k) {
      if (packed[0].empty() || (sum >= share && packed[0].size() < kGroups)) {
        packed[0].emplace_back().firstTarget = static_cast<uint32_t>(k);
        sum = 0;
      }
      groupOf[k] = static_cast<uint8_t>(packed[0].size() - 1);
      sum += counts[order[k]];
    }
    packed[1] = packed[0];
    const auto pack = [&](size_t fromBlock, size_t toBlock, std::vector<PackedGroup>& groups) {
      // The document of each occurrence, by its number, for its page and
      // folio.
      size_t document = 0;
      size_t markHint = 0;
      for (size_t b = fromBlock; b < toBlock; ++b) {
        Block& block = blocks_[b];
        for (size_t k = 0; k < block.size(); ++k) {
          const Collected& c = block[k];
          const size_t number = b * kBlock + k;
          while (document + 1 < documentMarks_.size() && documentMarks_[document + 1].firstOccurrence <= number) {
            ++document;
            markHint = 0;
          }
          if ((c.Packed >> 4) == kNoTarget) continue;
          const MarkIndex::PageFolio pf = documentMarks_[document].marks.At(c.StartView, markHint);
          const uint32_t t = place[c.Packed >> 4];
          PackedGroup& g = groups[groupOf[t]];
          if (g.blocks.empty() || g.used + kMaxPacked > kGroupBlock) {
            if (!g.blocks.empty()) g.blocks.back().resize(g.used);
            g.blocks.emplace_back(kGroupBlock);
            g.used = 0;
          }
          uint8_t* p = g.blocks.back().data() + g.used;
          Pack(c, pf, t - g.firstTarget, g.state, p);
          g.used = static_cast<size_t>(p - g.blocks.back().data());
        }
        block = Block();
      }
      for (PackedGroup& g : groups) {
        if (!g.blocks.empty()) g.blocks.back().resize(g.used);
      }
    };
    const size_t middle = blocks_.size() / 2;
    RunInParallel([&] { pack(0, middle, packed[0]); }, [&] { pack(middle, blocks_.size(), packed[1]); });
    blocks_ = std::vector<Block>();
    collectedCount_ = 0;
    documentMarks_ = std::vector<DocumentMarks>();
  }
  place = std::vector<uint32_t>();

  // The targets, in order; CurrentStart holds each one's number of
  // occurrences until its list is made. They are made on one thread while
  // their lists are filled on the other, group by group as soon as the
  // group's targets are made (`made` counts them). The targets of one
  // document share its reference.
  std::vector<SharedText> sharedReferences;
  sharedReferences.reserve(references.size());
  for (const std::string* ref : references) sharedReferences.emplace_back(*ref);
  cTargetList list(n);
  std::atomic<size_t> made{0};
  const auto makeTargets = [&] {
    try {
      for (size_t k = 0; k < n; ++k) {
        if (k + 8 < n) Prefetch(&found_[order[k + 8]]);
        const Found& f = found_[order[k]];
        Target& t = list[k];
        t.Text = FormOf(f);
        t.Length = f.length;
        t.StringIndex = f.stringIndex;
        t.DocumentRef = sharedReferences[static_cast<size_t>(f.ordinal)];
        t.CurrentStart = static_cast<int32_t>(counts[order[k]]);
        if ((k & 1023) == 1023) made.store(k + 1, std::memory_order_release);
      }
    } catch (...) {
      // The lists are filled on regardless (the result is dropped): the
      // other thread must not wait for targets that never come.
      made.store(SIZE_MAX, std::memory_order_release);
      throw;
    }
    made.store(n, std::memory_order_release);
    order = std::vector<uint32_t>();
    counts = std::vector<uint32_t>();
    found_ = FoundList();
    forms_ = std::string();
  };

  // Occurrences are unpacked a few ahead of being filed, so that their
  // targets, then the ends of their lists, are fetched meanwhile.
  const auto fillLists = [&] {
    constexpr size_t kAhead = 16;
    struct Unpacked {
      Occurrence occurrence;
      Target* target;
    };
    Unpacked ahead[kAhead];
    size_t aheadCount = 0;
    const auto file = [](Unpacked& u) {
      cStarts& starts = u.target->Starts;
      if (starts.capacity() == 0) starts.reserve(static_cast<size_t>(u.target->CurrentStart));
      starts.push_back(u.occurrence);
    };
    for (size_t group = 0; group < packed[0].size(); ++group) {
      const size_t end = group + 1 < packed[0].size() ? packed[0][group + 1].firstTarget : n;
      while (made.load(std::memory_order_acquire) < end) std::this_thread::yield();
      for (std::vector<PackedGroup>& groups : packed) {
        PackedGroup& g = groups[group];
        PackState state;
        for (std::vector<uint8_t>& bytes : g.blocks) {
          const uint8_t* p = bytes.data();
          const uint8_t* stop = p + bytes.size();
          while (p < stop) {
            Unpacked& u = ahead[aheadCount % kAhead];
            if (aheadCount >= kAhead) file(u);
            u.target = &list[g.firstTarget + Unpack(p, state, u.occurrence)];
            Prefetch(&u.target->Starts);
            if (aheadCount >= kAhead / 2) {
              const cStarts& starts = ahead[(aheadCount - kAhead / 2) % kAhead].target->Starts;
              if (starts.capacity() != 0) Prefetch(starts.data() + starts.size());
            }
            ++aheadCount;
          }
          bytes = std::vector<uint8_t>();
        }
        g.blocks = std::vector<std::vector<uint8_t>>();
      }
    }
    for (size_t k = aheadCount > kAhead ? aheadCount - kAhead : 0; k < aheadCount; ++k) file(ahead[k % kAhead]);
  };
  // Alone on one processor, the targets are all made first.
  RunInParallel(makeTargets, fillLists);
  packed[0] = std::vector<PackedGroup>();
  packed[1] = std::vector<PackedGroup>();
  for (Target& t : list) t.CurrentStart = 0;
  occurrenceCount_ = 0;
  documentsSeen_.clear();
  return list;
}

// ---------------------------------------------------------------------------

cTargetList MergeByText(cTargetList first, cTargetList second) {
  cTargetList merged;
  merged.reserve(first.size() + second.size());
  std::merge(std::make_move_iterator(first.begin()), std::make_move_iterator(first.end()),
             std::make_move_iterator(second.begin()), std::make_move_iterator(second.end()),
             std::back_inserter(merged), [](const Target& a, const Target& b) {
               const int c = CompareBytes(a.Text, b.Text);
               if (c != 0) return c < 0;
               return CompareBytes(a.DocumentRef, b.DocumentRef) < 0;
             });
  return merged;
}

void SortTargetsByText(cTargetList& targets) {
  const auto before = [&targets](uint32_t i, uint32_t j) {
    const Target& a = targets[i];
    const Target& b = targets[j];
    const int c = CompareBytes(a.Text, b.Text);
    if (c != 0) return c < 0;
    return CompareBytes(a.DocumentRef, b.DocumentRef) < 0;
  };
  // A list in order (one document reference) is left as it is.
  const uint32_t n = static_cast<uint32_t>(targets.size());
  uint32_t sorted = 1;
  while (sorted < n && before(sorted - 1, sorted)) ++sorted;
  if (sorted >= n) return;
  // Otherwise the order is worked out on small keys (the first eight bytes
  // of the text, its length, the rank of the reference), which settle
  // almost every comparison without reading the targets, and then every
  // target is moved once. Equal targets keep their order.
  std::vector<std::string_view> refs;  // distinct references, by first appearance
  std::vector<uint32_t> refOf(n);
  {
    std::unordered_map<std::string_view, uint32_t> ids;
    std::string_view last;
    uint32_t lastId = 0;
    for (uint32_t k = 0; k < n; ++k) {
      const std::string_view ref = targets[k].DocumentRef;
      if (k == 0 || ref != last) {
        const auto [it, added] = ids.emplace(ref, static_cast<uint32_t>(refs.size()));
        if (added) refs.push_back(ref);
        last = ref;
        lastId = it->second;
      }
      refOf[k] = lastId;
    }
  }
  std::vector<uint32_t> byRef(refs.size());
  for (uint32_t r = 0; r < byRef.size(); ++r) byRef[r] = r;
  std::sort(byRef.begin(), byRef.end(),
            [&refs](uint32_t x, uint32_t y) { return CompareBytes(refs[x], refs[y]) < 0; });
  std::vector<uint32_t> rank(refs.size());
  for (uint32_t r = 0; r < byRef.size(); ++r) rank[byRef[r]] = r;
  struct Key {
    uint64_t lead;
    uint32_t length;
    uint32_t ref;
    uint32_t index;
  };
  std::vector<Key> keys(n);
  for (uint32_t k = 0; k < n; ++k) {
    const std::string& text = targets[k].Text;
    keys[k] = Key{Leading8(text), static_cast<uint32_t>(std::min<size_t>(text.size(), UINT32_MAX)), rank[refOf[k]], k};
  }
  refOf.clear();
  refOf.shrink_to_fit();
  std::sort(keys.begin(), keys.end(), [&targets](const Key& x, const Key& y) {
    if (x.lead != y.lead) return x.lead < y.lead;
    if (x.length > 8 || y.length > 8) {
      const int c = std::string_view(targets[x.index].Text).compare(targets[y.index].Text);
      if (c != 0) return c < 0;
    } else if (x.length != y.length) {
      return x.length < y.length;  // the shorter one is a prefix of the other
    }
    if (x.ref != y.ref) return x.ref < y.ref;
    return x.index < y.index;
  });
  // The targets are moved into a new list in their order: the reads jump
  // about (the records a few places ahead are fetched early), the writes do
  // not.
  cTargetList ordered;
  ordered.reserve(n);
  for (uint32_t k = 0; k < n; ++k) {
    if (k + 8 < n) __builtin_prefetch(&targets[keys[k + 8].index]);
    ordered.push_back(std::move(targets[keys[k].index]));
  }
  targets.swap(ordered);
}

void SortTargets(cTargetList& targets, int key, bool byDocument) {
  const uint32_t n = static_cast<uint32_t>(targets.size());
  if (n < 2) return;
  // The order is worked out on indices, with each target's number and the
  // rank of its document reference at hand; then every target is moved once.
  std::vector<uint32_t> rank(n, 0);
  {
    std::unordered_map<std::string_view, uint32_t> ids;
    std::vector<std::string_view> refs;
    std::vector<uint32_t> idOf(n);
    for (uint32_t k = 0; k < n; ++k) {
      const std::string_view ref = targets[k].DocumentRef;
      const auto [it, added] = ids.emplace(ref, static_cast<uint32_t>(refs.size()));
      if (added) refs.push_back(ref);
      idOf[k] = it->second;
    }
    std::vector<uint32_t> byRef(refs.size());
    for (uint32_t r = 0; r < byRef.size(); ++r) byRef[r] = r;
    std::sort(byRef.begin(), byRef.end(),
              [&refs](uint32_t x, uint32_t y) { return CompareBytes(refs[x], refs[y]) < 0; });
    std::vector<uint32_t> refRank(refs.size());
    for (uint32_t r = 0; r < byRef.size(); ++r) refRank[byRef[r]] = r;
    for (uint32_t k = 0; k < n; ++k) rank[k] = refRank[idOf[k]];
  }
  struct Entry {
    uint64_t number;  // occurrences, or the first eight bytes of the text
    uint32_t ref;
    uint32_t index;
  };
  const bool byNumber = key == 0 || key == 1;
  const bool descending = key == 1 || key == 3;
  std::vector<Entry> entries(n);
  for (uint32_t k = 0; k < n; ++k) {
    entries[k] = Entry{byNumber ? uint64_t{targets[k].Starts.size()} : Leading8(targets[k].Text), rank[k], k};
  }
  // Negative, zero or positive: the key of the sort alone.
  const auto compareKey = [&targets, byNumber](const Entry& a, const Entry& b) -> int {
    if (a.number != b.number) return a.number < b.number ? -1 : 1;
    if (byNumber) return 0;
    return CompareBytes(targets[a.index].Text, targets[b.index].Text);
  };
  const auto before = [&](const Entry& a, const Entry& b) {
    if (byDocument && a.ref != b.ref) return a.ref < b.ref;
    int c = compareKey(a, b);
    if (descending) c = -c;
    if (c != 0) return c < 0;
    return a.ref < b.ref;
  };
  std::stable_sort(entries.begin(), entries.end(), before);
  cTargetList ordered;
  ordered.reserve(n);
  for (uint32_t k = 0; k < n; ++k) {
    if (k + 8 < n) __builtin_prefetch(&targets[entries[k + 8].index]);
    ordered.push_back(std::move(targets[entries[k].index]));
  }
  targets.swap(ordered);
}

size_t CountOccurrences(const cTargetList& targets) {
  size_t n = 0;
  for (const Target& t : targets) n += t.Starts.size();
  return n;
}

void RemoveTemporaryStrings(cArrowList& strings) {
  for (size_t i = strings.size(); i-- > 0;) {
    if (strings[i].HasSource()) strings.erase(strings.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

std::string SearchStatusText(const LanguageState& language, const cArrowList& strings,
                             const SearchSettings& settings, size_t targetCount, size_t occurrenceCount) {
  std::string s = "\"";
  bool first = true;
  for (const SearchString& str : strings) {
    if (!first) s += " + ";
    first = false;
    if (str.Exclude != 0) s += '!';
    // A key is a zero-terminated text: a byte folded to 0 ends what is shown.
    s += std::string_view(str.Key).substr(0, str.Key.find('\0'));
  }
  s += '"';
  if (settings.Context != 0) {
    static const char* const kUnits[] = {"Mot", "Phrase", "Paragraphe"};
    s += " (";
    s += Translate(language, "Contx : ");
    s += Translate(language, kUnits[std::clamp<int>(settings.Context, 1, 3) - 1]);
    if (settings.AllStrings) {
      s += ", ";
      s += Translate(language, "tout");
    }
    if (settings.InOrder) {
      s += ", ";
      s += Translate(language, "dans l'ordre");
    }
    s += ')';
  }
  s += Translate(language, "  Mots : ");
  s += std::to_string(targetCount);
  s += Translate(language, "  Occurrences : ");
  s += std::to_string(occurrenceCount);
  return s;
}

std::string MakeDocumentRef(std::string_view path) {
  size_t slash = path.rfind('/');
  std::string_view dir = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  std::string ref(name);
  ref += " | ";
  ref += dir;
  return ref;
}

std::string DocumentRefPath(std::string_view ref) {
  size_t p = ref.find(" | ");
  if (p == std::string_view::npos) return std::string(ref);
  std::string_view name = ref.substr(0, p);
  std::string_view dir = ref.substr(p + 3);
  std::string path;
  if (!dir.empty()) {
    // The directory keeps its final separator in the reference; it is
    // dropped and written again as "/" (the root "/" stays "/").
    path.assign(dir.substr(0, dir.size() - 1));
    path += '/';
  }
  path += name;
  return path;
}

}  // namespace kalix
