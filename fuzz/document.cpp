// Fuzz target: the document reader on arbitrary bytes. Checks the model's
// invariants on every input.
#include "document/Reader.h"
#include "document/ViewIndex.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kalix::Document doc;
  kalix::ReadDocument(kalix::DefaultRules(), std::string_view(reinterpret_cast<const char*>(data), size), doc);
  if (doc.text.empty() || doc.text.back() != '\0') std::abort();
  std::string_view text = doc.Text();
  if (text.find('\0') != std::string_view::npos) std::abort();
  kalix::ViewIndex index(text);
  int32_t previous = 0;
  for (const kalix::Mark& m : doc.marks) {
    if (m.position < previous || m.position >= index.ViewLength()) std::abort();
    previous = m.position;
    // Every mark stands on its marker character (or the character that
    // opened page 1).
    int32_t offset = index.OffsetOfView(m.position);
    if (index.ViewOfOffset(offset) != m.position) std::abort();
  }
  for (size_t i = 1; i < doc.notes.size(); ++i) {
    if (doc.notes[i].page < doc.notes[i - 1].page) std::abort();
  }
  (void)kalix::ContextAt(doc, index.ViewLength());
  // Reading byte by byte (no runs copied at once) gives the same model.
  kalix::Document bytewise;
  kalix::ReadDocumentInPieces(kalix::DefaultRules(), std::string_view(reinterpret_cast<const char*>(data), size), 1,
                              bytewise);
  if (bytewise.text != doc.text || bytewise.marks.size() != doc.marks.size() ||
      bytewise.notes.size() != doc.notes.size()) {
    std::abort();
  }
  for (size_t i = 0; i < doc.marks.size(); ++i) {
    const kalix::Mark& a = doc.marks[i];
    const kalix::Mark& b = bytewise.marks[i];
    if (a.position != b.position || a.kind != b.kind || a.number != b.number || a.value != b.value ||
        (a.picture == nullptr) != (b.picture == nullptr)) {
      std::abort();
    }
  }
  for (size_t i = 0; i < doc.notes.size(); ++i) {
    if (doc.notes[i].text != bytewise.notes[i].text || doc.notes[i].page != bytewise.notes[i].page) std::abort();
  }
  // Every replaced character points into its text, in order, and reads the
  // same whatever the pieces.
  if (bytewise.replaced.size() != doc.replaced.size()) std::abort();
  for (size_t i = 0; i < doc.replaced.size(); ++i) {
    const kalix::ReplacedChar& r = doc.replaced[i];
    const size_t limit = r.note < 0 ? text.size() : r.note < static_cast<int32_t>(doc.notes.size())
                                                         ? doc.notes[static_cast<size_t>(r.note)].text.size()
                                                         : 0;
    if (r.note >= static_cast<int32_t>(doc.notes.size()) || r.offset < 0 ||
        static_cast<size_t>(r.offset) > limit || r.original.empty()) {
      std::abort();
    }
    if (r.kind != kalix::ReplaceKind::Dropped && static_cast<size_t>(r.offset) >= limit) std::abort();
    if (i > 0) {
      const kalix::ReplacedChar& p = doc.replaced[i - 1];
      if (p.note > r.note || (p.note == r.note && p.offset > r.offset)) std::abort();
    }
    const kalix::ReplacedChar& b = bytewise.replaced[i];
    if (b.offset != r.offset || b.note != r.note || b.kind != r.kind || b.original != r.original) std::abort();
  }
  if (bytewise.unknownCodePage != doc.unknownCodePage || bytewise.invalidUtf8 != doc.invalidUtf8) std::abort();
  return 0;
}
