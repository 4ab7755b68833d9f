#include "targets/WordPlaces.h"

#include <algorithm>

namespace kalix {

namespace {

// The last entry of `list` (sorted by Start) that starts at or before `at`,
// or null.
template <typename T>
const T* LastStartingBy(const std::vector<T>& list, int32_t at) {
  auto it = std::upper_bound(list.begin(), list.end(), at, [](int32_t x, const T& e) { return x < e.Start; });
  return it == list.begin() ? nullptr : &*(it - 1);
}

}  // namespace

Occurrence WordPlaces::OccurrenceAt(size_t k) const {
  const WordPlace p = Places[k];
  Occurrence o;
  const ViewStep* step = LastStartingBy(ViewSteps, p.Start);
  o.StartView = p.Start + (step ? step->Shift : 0);
  o.ViewLength = p.Length;
  o.ContextStartView = -1;
  o.ContextViewLength = 0;
  o.ContextStartOffset = -1;
  o.ContextOffsetLength = 0;
  const MarkIndex::PageFolio pf = Marks.At(o.StartView);
  o.Page = pf.page;
  o.Folio = pf.folio;
  o.Verso = pf.verso ? 1 : 0;
  o.WordStart = p.Start;
  o.WordEnd = p.Start + p.Length - 1;
  uint16_t known = kWordEndKnown;
  if (const Unit* s = LastStartingBy(Sentences, p.Start)) {
    o.SentenceStart = s->Start;
    if (s->End >= 0) {
      o.SentenceEnd = s->End;
      known |= kSentenceEndKnown;
    }
  }
  if (const Unit* u = LastStartingBy(Paragraphs, p.Start)) {
    o.ParagraphStart = u->Start;
    if (u->End >= 0) {
      o.ParagraphEnd = u->End;
      known |= kParagraphEndKnown;
    }
  }
  o.KnownEnds = known;
  return o;
}

Occurrence cStarts::Made(const Range& r, size_t k) { return r.Places->OccurrenceAt(r.First + k); }

std::vector<Occurrence>& cStarts::MakeWhole() {
  if (const Range* r = std::get_if<Range>(&kept_)) {
    std::vector<Occurrence> whole;
    whole.reserve(r->Count);
    for (size_t k = 0; k < r->Count; ++k) whole.push_back(Made(*r, k));
    kept_ = std::move(whole);
  }
  return *std::get_if<std::vector<Occurrence>>(&kept_);
}

}  // namespace kalix
