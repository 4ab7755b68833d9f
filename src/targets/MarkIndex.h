// Page, folio and side at view positions, from a document's marks.
#pragma once

#include "document/Document.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kalix {

// Page, folio and side in effect at view positions, as `ContextAt` gives
// them, looked up in logarithmic time.
class MarkIndex {
 public:
  MarkIndex() = default;
  explicit MarkIndex(const cMarkList& marks);
  struct PageFolio {
    int32_t page = 0;
    int32_t folio = 0;
    bool verso = false;
  };
  // The page and folio of the marks standing strictly before `view`.
  PageFolio At(int32_t view) const;
  // The same, starting from the place of an earlier lookup (`hint`, updated):
  // constant time when views come in increasing order.
  PageFolio At(int32_t view, size_t& hint) const;
  // Whether a mark stands at `view`.
  bool StandsAt(int32_t view) const {
    return std::binary_search(positions_.begin(), positions_.end(), view);
  }

 private:
  std::vector<int32_t> positions_;
  std::vector<PageFolio> after_;  // in effect after mark i
};

}  // namespace kalix
