#include "targets/Target.h"

#include <algorithm>
#include <climits>

namespace kalix {

namespace {

constexpr size_t kChunkBits = 13;
constexpr size_t kChunkSize = size_t{1} << kChunkBits;  // occurrences per chunk

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

MarkIndex::PageFolio MarkIndex::At(int32_t view) const {
  // Marks are in non-decreasing position order; those strictly before
  // `view` are in effect.
  size_t n = static_cast<size_t>(std::lower_bound(positions_.begin(), positions_.end(), view) -
                                 positions_.begin());
  if (n == 0) return PageFolio{};
  return after_[n - 1];
}

// ---------------------------------------------------------------------------
// TargetCollector

static_assert(sizeof(Occurrence) == 60, "an occurrence takes 60 bytes");

TargetCollector::TargetCollector(const RuleSet& rules, int resultSpelling, bool showSymbols)
    : rules_(rules), substIndex_(rules), resultSpelling_(resultSpelling), showSymbols_(showSymbols) {}

TargetCollector::~TargetCollector() = default;

void TargetCollector::BeginDocument(std::string_view text, const cMarkList& marks, std::string documentRef) {
  text_ = text;
  marks_ = MarkIndex(marks);
  documentRef_ = std::move(documentRef);
  ++documentSerial_;
  repeatedDocument_ = !documentsSeen_.insert(documentRef_).second;
  batchSeen_.clear();
  batchIndexed_ = false;
  if (repeatedDocument_) {
    // The same document again: its places are already listed. Every place of
    // the targets of this reference is checked for the whole document.
    for (size_t i = 0; i < occurrenceCount_; ++i) {
      const Entry& e = chunks_[i >> kChunkBits][i & (kChunkSize - 1)];
      if (targets_[e.target].DocumentRef == documentRef_) batchSeen_.insert(PlaceKey(e.target, e.occ.StartView));
    }
    batchIndexed_ = true;
  }
  ++batchSerial_;
  batchBegin_ = occurrenceCount_;
  key_.assign(documentRef_);
  key_.push_back('\0');
}

bool TargetCollector::SeenInBatch(uint32_t target, int32_t startView) {
  if (!batchIndexed_) {
    TargetInfo& t = targets_[target];
    if (t.BatchSerial != batchSerial_ || startView > t.BatchMaxView) {
      // Places of one target usually come in increasing order: nothing to
      // look up then.
      t.BatchSerial = batchSerial_;
      t.BatchMaxView = startView;
      return false;
    }
    for (size_t i = batchBegin_; i < occurrenceCount_; ++i) {
      const Entry& e = chunks_[i >> kChunkBits][i & (kChunkSize - 1)];
      batchSeen_.insert(PlaceKey(e.target, e.occ.StartView));
    }
    batchIndexed_ = true;
  }
  return !batchSeen_.insert(PlaceKey(target, startView)).second;
}

void TargetCollector::AddTarget(const PendingHit& hit, int32_t wordLength) {
  size_t prefix = documentRef_.size() + 1;
  key_.resize(prefix);
  AppendResultForm(rules_, substIndex_, text_, static_cast<size_t>(hit.WordStartAt),
                   static_cast<size_t>(wordLength < 0 ? 0 : wordLength), resultSpelling_, showSymbols_, key_);
  uint32_t t;
  auto it = lookup_.find(key_);
  if (it == lookup_.end()) {
    t = static_cast<uint32_t>(targets_.size());
    TargetInfo info;
    info.Text = key_.substr(prefix);
    info.DocumentRef = documentRef_;
    info.Length = wordLength;
    info.StringIndex = hit.StringIndex;
    targets_.push_back(std::move(info));
    lookup_.emplace(key_, t);
  } else {
    t = it->second;
  }
  if (SeenInBatch(t, hit.StartView)) return;

  MarkIndex::PageFolio pf = marks_.At(hit.StartView);
  size_t i = occurrenceCount_;
  if ((i & (kChunkSize - 1)) == 0 && (i >> kChunkBits) == chunks_.size()) {
    chunks_.push_back(std::make_unique<Entry[]>(kChunkSize));
  }
  Entry& e = chunks_[i >> kChunkBits][i & (kChunkSize - 1)];
  Occurrence& o = e.occ;
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
  e.target = t;
  ++targets_[t].Count;
  ++occurrenceCount_;
  if ((o.KnownEnds & (kSentenceEndKnown | kWordEndKnown)) != (kSentenceEndKnown | kWordEndKnown)) {
    openSentence_.push_back(static_cast<uint32_t>(i));
  }
  if (!o.ParagraphEndKnown()) openParagraph_.push_back(static_cast<uint32_t>(i));
}

void TargetCollector::CloseOccurrences(int32_t lastLetterOffset, int cls) {
  if (cls < kSentenceSeparator) return;
  for (uint32_t i : openSentence_) {
    Occurrence& o = chunks_[i >> kChunkBits][i & (kChunkSize - 1)].occ;
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
    for (uint32_t i : openParagraph_) {
      Occurrence& o = chunks_[i >> kChunkBits][i & (kChunkSize - 1)].occ;
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
  ++batchSerial_;
  batchBegin_ = occurrenceCount_;
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
  ++batchSerial_;
  batchBegin_ = occurrenceCount_;
  text_ = std::string_view();
  marks_ = MarkIndex();
}

cTargetList TargetCollector::Finish() {
  EndDocument();
  lookup_.clear();
  // Order of the list during a search: document reference, then form.
  std::vector<uint32_t> order(targets_.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    const TargetInfo& x = targets_[a];
    const TargetInfo& y = targets_[b];
    int c = x.DocumentRef.compare(y.DocumentRef);
    if (c != 0) return c < 0;
    return x.Text < y.Text;
  });
  std::vector<uint32_t> place(targets_.size());
  cTargetList list(targets_.size());
  for (uint32_t k = 0; k < order.size(); ++k) {
    TargetInfo& info = targets_[order[k]];
    place[order[k]] = k;
    Target& t = list[k];
    t.Text = std::move(info.Text);
    t.DocumentRef = std::move(info.DocumentRef);
    t.Length = info.Length;
    t.StringIndex = info.StringIndex;
    t.Starts.reserve(info.Count);
  }
  // Hand the occurrences over chunk by chunk, freeing each chunk as it is
  // emptied, so the two stores never both hold everything.
  for (size_t i = 0; i < occurrenceCount_; ++i) {
    Entry& e = chunks_[i >> kChunkBits][i & (kChunkSize - 1)];
    list[place[e.target]].Starts.push_back(e.occ);
    if ((i & (kChunkSize - 1)) == kChunkSize - 1) chunks_[i >> kChunkBits].reset();
  }
  chunks_.clear();
  targets_.clear();
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
    s += str.Key;
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
