#include "targets/MarkIndex.h"

#include <algorithm>

namespace kalix {

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

}  // namespace kalix
