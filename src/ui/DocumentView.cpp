#include "ui/DocumentView.h"

#include "platform/Cp1252.h"

#include <algorithm>

namespace kalix::ui {

void ViewMapping::Build(std::string_view text) {
  lineEnds_.clear();
  length_ = static_cast<int32_t>(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || text[i] == '\r') lineEnds_.push_back(static_cast<int32_t>(i));
  }
}

void ViewMapping::Clear() {
  lineEnds_.clear();
  length_ = 0;
}

int32_t ViewMapping::WidgetFromView(int32_t view) const {
  if (view <= 0) return 0;
  // The offset o with o + (line ends before o) <= view, the largest such.
  // Binary search over the line ends: k line ends lie before o when
  // lineEnds_[k-1] < o <= lineEnds_[k].
  int32_t lo = 0, hi = static_cast<int32_t>(lineEnds_.size());
  // Find the number k of line ends whose view position (offset + index) is
  // below `view`.
  while (lo < hi) {
    int32_t mid = lo + (hi - lo) / 2;
    if (lineEnds_[mid] + mid < view) lo = mid + 1; else hi = mid;
  }
  int32_t k = lo;
  int32_t offset = view - k;
  // A view position inside the two positions of a line end maps to the end
  // itself.
  if (k > 0 && offset <= lineEnds_[k - 1]) offset = lineEnds_[k - 1] + 1;
  return std::min(offset, length_);
}

int32_t ViewMapping::ViewFromWidget(int32_t widget) const {
  if (widget <= 0) return 0;
  auto it = std::lower_bound(lineEnds_.begin(), lineEnds_.end(), widget);
  return widget + static_cast<int32_t>(it - lineEnds_.begin());
}

QString ViewTextOf(std::string_view text) {
  QString s = FromCp1252(text);
  for (QChar& ch : s) {
    if (ch == QChar('\r')) ch = QChar('\n');
  }
  return s;
}

}  // namespace kalix::ui
