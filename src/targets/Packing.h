// The packed form of occurrences while the collector sorts them into groups
// of targets. Its functions are internal to the one file that includes it, so
// that they are inlined into their one caller.
#pragma once

#include "targets/MarkIndex.h"
#include "targets/Target.h"

#include <cstddef>
#include <cstdint>

namespace kalix::packing {

// Occurrences are packed as variable-length numbers while `Finish` sorts
// them into groups of targets: seven bits a byte, low bits first, the top
// bit set on every byte but the last. Signed differences are folded so that
// small ones of either sign take few bytes; every difference is taken
// modulo 2^32, so that any values come back exactly.
static inline uint32_t Fold(uint32_t d) { return d << 1 ^ (0u - (d >> 31)); }
static inline uint32_t Unfold(uint32_t z) { return z >> 1 ^ (0u - (z & 1u)); }
static inline uint32_t Minus(int32_t a, int32_t b) { return static_cast<uint32_t>(a) - static_cast<uint32_t>(b); }
static inline int32_t Plus(int32_t base, uint32_t d) { return static_cast<int32_t>(static_cast<uint32_t>(base) + d); }

static inline void PutNumber(uint8_t*& p, uint32_t v) {
  while (v >= 0x80u) {
    *p++ = static_cast<uint8_t>(v | 0x80u);
    v >>= 7;
  }
  *p++ = static_cast<uint8_t>(v);
}

static inline uint32_t GetNumber(const uint8_t*& p) {
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
static inline void Pack(const Collected& c, const MarkIndex::PageFolio& pf, uint32_t targetInGroup, PackState& s,
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

static inline uint32_t Unpack(const uint8_t*& p, PackState& s, Occurrence& o) {
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

}  // namespace kalix::packing
