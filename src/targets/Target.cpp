#include "targets/Target.h"

#include <algorithm>
#include <climits>

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

}  // namespace

TargetCollector::TargetCollector(const RuleSet& rules, int resultSpelling, bool showSymbols)
    : rules_(rules), substIndex_(rules), resultSpelling_(resultSpelling), showSymbols_(showSymbols) {}

TargetCollector::~TargetCollector() = default;

void TargetCollector::BeginDocument(std::string_view text, const cMarkList& marks, std::string documentRef) {
  text_ = text;
  marks_ = MarkIndex(marks);
  markHint_ = 0;
  documentRef_ = std::move(documentRef);
  documentHash_ = HashBytes(documentRef_, kHashSeed) * 31u + 7u;
  const auto seen = documentsSeen_.emplace(documentRef_, static_cast<int32_t>(documentsSeen_.size()));
  repeatedDocument_ = !seen.second;
  documentOrdinal_ = seen.first->second;
  batchSeen_.clear();
  batchIndexed_ = false;
  batchPlaces_.clear();
  if (repeatedDocument_) {
    // The same document again: its places are already listed. Every place of
    // the targets of this reference is checked for the whole document.
    for (uint32_t t = 0; t < targets_.size(); ++t) {
      if (targets_[t].CurrentStart != documentOrdinal_) continue;
      for (const Occurrence& o : targets_[t].Starts) batchSeen_.insert(PlaceKey(t, o.StartView));
    }
    batchIndexed_ = true;
  }
}

void TargetCollector::Rehash(size_t slots) {
  slots_.assign(slots, 0);
  const size_t mask = slots - 1;
  for (uint32_t t = 0; t < targets_.size(); ++t) {
    size_t i = hashes_[t] & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = t + 1;
  }
}

uint32_t TargetCollector::FindOrCreate(const PendingHit& hit, int32_t wordLength) {
  form_.clear();
  AppendResultForm(rules_, substIndex_, text_, static_cast<size_t>(hit.WordStartAt),
                   static_cast<size_t>(wordLength < 0 ? 0 : wordLength), resultSpelling_, showSymbols_, form_);
  const uint32_t hash = HashBytes(form_, documentHash_);
  if (slots_.empty()) Rehash(1024);
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i] != 0) {
    uint32_t t = slots_[i] - 1;
    if (hashes_[t] == hash && targets_[t].CurrentStart == documentOrdinal_ && targets_[t].Text == form_) return t;
    i = (i + 1) & mask;
  }
  const uint32_t t = static_cast<uint32_t>(targets_.size());
  if (targets_.size() == targets_.capacity()) {
    // Doubling: the room not used yet is never written, so it takes address
    // space but no memory; a move of the whole list happens rarely, early.
    targets_.reserve(targets_.size() * 2 + 1024);
    hashes_.reserve(targets_.capacity());
  }
  Target& target = targets_.emplace_back();
  target.Text = form_;
  target.DocumentRef = documentRef_;
  target.CurrentStart = documentOrdinal_;  // until Finish: see there
  target.Length = wordLength;
  target.StringIndex = hit.StringIndex;
  hashes_.push_back(hash);
  slots_[i] = t + 1;
  if (targets_.size() * 4 > slots_.size() * 3) Rehash(slots_.size() * 2);
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

void TargetCollector::AddTarget(const PendingHit& hit, int32_t wordLength) {
  const uint32_t t = FindOrCreate(hit, wordLength);
  if (SeenInBatch(t, hit.StartView)) return;

  MarkIndex::PageFolio pf = marks_.At(hit.StartView, markHint_);
  cStarts& starts = targets_[t].Starts;
  // Lists grow by a quarter: little unused room, amortised constant time.
  if (starts.size() == starts.capacity()) starts.reserve(starts.size() + starts.size() / 4 + 1);
  Occurrence& o = starts.emplace_back();
  o.StartView = hit.StartView;
  o.ViewLength = hit.ViewLength;
  o.ContextStartView = hit.ContextStartView;
  o.ContextViewLength = hit.ContextViewLength;
  o.ContextStartOffset = hit.ContextStartOffset;
  o.ContextOffsetLength = hit.ContextOffsetLength;
  o.Page = pf.page;
  o.Folio = pf.folio;
  o.Verso = pf.verso ? 1 : 0;
  o.ParagraphStart = hit.ParagraphStart;
  o.SentenceStart = hit.SentenceStart;
  o.WordStart = hit.WordStart;
  o.KnownEnds = hit.KnownEnds & kAllEndsKnown;
  o.ParagraphEnd = o.ParagraphEndKnown() ? hit.ParagraphEnd : 0;
  o.SentenceEnd = o.SentenceEndKnown() ? hit.SentenceEnd : 0;
  o.WordEnd = o.WordEndKnown() ? hit.WordEnd : 0;
  ++occurrenceCount_;
  const Place place{t, static_cast<uint32_t>(starts.size() - 1)};
  if ((o.KnownEnds & (kSentenceEndKnown | kWordEndKnown)) != (kSentenceEndKnown | kWordEndKnown)) {
    openSentence_.push_back(place);
  }
  if (!o.ParagraphEndKnown()) openParagraph_.push_back(place);
}

void TargetCollector::CloseOccurrences(int32_t lastLetterOffset, int cls) {
  if (cls < kSentenceSeparator) return;
  for (Place p : openSentence_) {
    Occurrence& o = At(p);
    if (!o.SentenceEndKnown()) {
      o.SentenceEnd = lastLetterOffset;
      o.KnownEnds |= kSentenceEndKnown;
    }
    if (!o.WordEndKnown()) {
      o.WordEnd = lastLetterOffset;
      o.KnownEnds |= kWordEndKnown;
    }
  }
  openSentence_.clear();
  if (cls >= kParagraphSeparator) {
    for (Place p : openParagraph_) {
      Occurrence& o = At(p);
      if (!o.ParagraphEndKnown()) {
        o.ParagraphEnd = lastLetterOffset;
        o.KnownEnds |= kParagraphEndKnown;
      }
    }
    openParagraph_.clear();
  }
}

void TargetCollector::EndBatch() {
  if (repeatedDocument_) return;  // the whole document is one batch then
  batchPlaces_.clear();
  if (batchIndexed_) {
    batchSeen_.clear();
    batchIndexed_ = false;
  }
}

void TargetCollector::EndDocument() {
  openSentence_.clear();
  openSentence_.shrink_to_fit();
  openParagraph_.clear();
  openParagraph_.shrink_to_fit();
  batchSeen_.clear();
  batchIndexed_ = false;
  batchPlaces_.clear();
  text_ = std::string_view();
  marks_ = MarkIndex();
}

cTargetList TargetCollector::Finish() {
  EndDocument();
  slots_.clear();
  slots_.shrink_to_fit();
  hashes_.clear();
  hashes_.shrink_to_fit();
  // Order of the list during a search: document reference, then form.
  cTargetList list = std::move(targets_);
  targets_ = cTargetList();
  // During the collection a target's CurrentStart holds the ordinal of its
  // document reference (references are equal exactly when ordinals are).
  // Here it takes the place of the reference among the sorted references,
  // so that the sort compares numbers instead of references, and is then
  // reset.
  std::vector<const std::pair<const std::string, int32_t>*> documents;
  documents.reserve(documentsSeen_.size());
  for (const auto& entry : documentsSeen_) documents.push_back(&entry);
  std::sort(documents.begin(), documents.end(), [](const auto* x, const auto* y) { return x->first < y->first; });
  std::vector<int32_t> rank(documents.size());
  for (size_t r = 0; r < documents.size(); ++r) rank[static_cast<size_t>(documents[r]->second)] = static_cast<int32_t>(r);
  for (Target& t : list) t.CurrentStart = rank[static_cast<size_t>(t.CurrentStart)];
  std::sort(list.begin(), list.end(), [](const Target& x, const Target& y) {
    if (x.CurrentStart != y.CurrentStart) return x.CurrentStart < y.CurrentStart;
    return x.Text < y.Text;
  });
  for (Target& t : list) t.CurrentStart = 0;
  occurrenceCount_ = 0;
  documentsSeen_.clear();
  return list;
}

// ---------------------------------------------------------------------------

void SortTargetsByText(cTargetList& targets) {
  std::sort(targets.begin(), targets.end(), [](const Target& a, const Target& b) {
    int c = a.Text.compare(b.Text);
    if (c != 0) return c < 0;
    return a.DocumentRef < b.DocumentRef;
  });
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
