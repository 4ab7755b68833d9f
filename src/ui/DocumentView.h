// The one place where view positions of the document (every LF and CR
// counting two) and positions of the text widget (every character counting
// one) are converted. The widget shows the document text with LF and CR both
// as line ends, one widget position each, so a widget position is a text
// offset and the conversion is the document's own offset/view index.
#pragma once

#include "document/ViewIndex.h"
#include "platform/CharPolicy.h"

#include <QString>
#include <cstdint>
#include <string_view>

namespace kalix::ui {

class ViewMapping {
 public:
  // Indexes the line ends of `text` (the document text without its
  // terminating zero).
  void Build(std::string_view text) { index_ = ViewIndex(text); }
  void Clear() { index_ = ViewIndex(); }

  int32_t WidgetFromView(int32_t view) const { return index_.OffsetOfView(view); }
  int32_t ViewFromWidget(int32_t widget) const { return index_.ViewOfOffset(widget); }
  // The offset/view index itself (views that read the text need it).
  const ViewIndex& Index() const { return index_; }

 private:
  ViewIndex index_;
};

// The document text as the view shows it: code page 1252 decoded, LF and CR
// both line ends. With `replaced` (the document's), a byte that stands for
// one character of the file that code page 1252 lacks shows that character
// ("eſt" on screen while the text holds "est"); one widget character a text
// byte still, so a character with combining marks or beyond the basic plane
// shows as its byte.
QString ViewTextOf(std::string_view text, const cReplacedList* replaced = nullptr);

}  // namespace kalix::ui
