// Where accepted hits go. The search engine and the word list push every
// accepted hit into a sink and tell it when units end; the sink decides what
// is kept (the target collector files them under targets, a counter only
// counts them).
#pragma once

#include "search/SearchSpec.h"

#include <cstdint>

namespace kalix {

class HitSink {
 public:
  virtual ~HitSink() = default;
  // One accepted hit; its word is `wordLength` bytes from hit.WordStartAt.
  virtual void AddTarget(const PendingHit& hit, int32_t wordLength) = 0;
  // A sentence (class 3) or paragraph (class 4) separator: ends still
  // unknown of the occurrences added so far become `lastLetterOffset`.
  virtual void CloseOccurrences(int32_t lastLetterOffset, int cls) = 0;
  // The hits of one flush have all been added.
  virtual void EndBatch() {}
};

}  // namespace kalix
