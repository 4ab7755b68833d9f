// The one converter between text offsets and view positions.
//
// In the view every LF (paragraph end) and every CR (line break) counts two
// positions, every other byte one: the view position of text offset i is i
// plus the number of LF and CR bytes before offset i. The index keeps the
// offsets of those bytes, built once per text, so that both conversions take
// O(log n).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kalix {

class ViewIndex {
 public:
  ViewIndex() = default;
  // `text` without the terminating zero (Document::Text()).
  explicit ViewIndex(std::string_view text);

  // The view position of a text offset. Offsets are clamped to 0..TextLength().
  int32_t ViewOfOffset(int32_t offset) const;

  // The text offset of a view position. Positions are clamped to
  // 0..ViewLength(). The second position of a line break (the one between
  // its two halves) gives the offset of the LF or CR itself, so the caret
  // stays at the end of the line the break ends; the position after the
  // break gives the offset of the byte that follows it.
  int32_t OffsetOfView(int32_t view) const;

  // For work on positions known ahead: asks the memory OffsetOfView(view)
  // reads into the cache, without waiting for it, and returns an offset at
  // most the breaks of 1,024 view positions after the offset of `view` (the
  // offset found with the one look-up that costs nothing more).
  int32_t PrefetchView(int32_t view) const;

  // The number of LF and CR bytes before an offset (clamped like above).
  int32_t BreaksBefore(int32_t offset) const;

  int32_t TextLength() const { return length_; }
  int32_t ViewLength() const { return length_ + static_cast<int32_t>(breaks_.size()); }

 private:
  static constexpr int kBucketBits = 10;
  std::vector<int32_t> breaks_;  // offsets of every LF and CR, ascending
  // For each 1,024 view positions from 0: the number of breaks lying wholly
  // before the first of them, so that OffsetOfView searches a few breaks.
  std::vector<int32_t> bucketBreaks_;
  int32_t length_ = 0;
};

}  // namespace kalix
