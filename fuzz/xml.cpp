// Fuzz target: the XML reader (TEI, PAGE, ALTO) on arbitrary bytes, in both
// layers. Checks the model's invariants whenever a document is read, and
// that a refused one leaves the model empty.
#include "document/ViewIndex.h"
#include "document/XmlReader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const kalix::Context context;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (kalix::XmlLayer layer : {kalix::XmlLayer::Diplomatic, kalix::XmlLayer::Normalised}) {
    kalix::Document doc;
    kalix::XmlReadOptions options;
    options.layer = layer;
    std::string message;
    if (!kalix::ReadXmlDocument(context, bytes, "", options, doc, &message)) {
      if (!doc.text.empty() || !doc.marks.empty() || !doc.notes.empty() || !doc.pages.empty() || message.empty()) {
        std::abort();
      }
      continue;
    }
    if (doc.text.empty() || doc.text.back() != '\0') std::abort();
    std::string_view text = doc.Text();
    if (text.find('\0') != std::string_view::npos) std::abort();
    if (!text.empty() && text.back() != '\n') std::abort();
    kalix::ViewIndex index(text);
    int32_t previous = 0;
    int32_t pages = 0;
    for (const kalix::Mark& m : doc.marks) {
      if (m.position < previous || m.position >= index.ViewLength()) std::abort();
      previous = m.position;
      if (index.ViewOfOffset(index.OffsetOfView(m.position)) != m.position) std::abort();
      if (m.kind == kalix::kPageMark && m.number != ++pages) std::abort();
    }
    // One facsimile entry per page; line zones in text order, on the text.
    if (doc.pages.size() != static_cast<size_t>(pages)) std::abort();
    for (const kalix::PageFacsimile& page : doc.pages) {
      int32_t line = 0;
      for (const kalix::LineZone& z : page.lines) {
        if (z.position < line || z.position > index.ViewLength()) std::abort();
        line = z.position;
      }
    }
    for (size_t i = 1; i < doc.notes.size(); ++i) {
      if (doc.notes[i].page < doc.notes[i - 1].page) std::abort();
    }
    (void)kalix::ContextAt(doc, index.ViewLength());
  }
  return 0;
}
