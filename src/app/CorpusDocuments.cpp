#include "app/CorpusDocuments.h"

#include "document/ReadNotice.h"
#include "document/Reader.h"

namespace kalix {

size_t ForEachCorpusDocument(const Context& context, const std::vector<std::string>& entries,
                             const CorpusReading& reading, const std::function<Document&()>& documentFor,
                             const std::function<bool(size_t index, Document& document)>& visit) {
  size_t skipped = 0;
  for (size_t index = 0; index < entries.size(); ++index) {
    if (reading.Stop != nullptr && reading.Stop->load()) break;
    const std::string& path = entries[index];
    if (reading.OnProgress) reading.OnProgress(index, entries.size(), path);
    Document& document = documentFor();
    document.path.clear();
    document.text.clear();
    document.marks.clear();
    document.notes.clear();
    document.replaced.clear();
    document.unknownCodePage = 0;
    document.invalidUtf8 = false;
    std::string message;
    const bool opened = reading.Loader ? reading.Loader(context, document, path, &message)
                                       : OpenDocument(context, document, path, &message);
    if (!opened) {
      ++skipped;
      if (reading.OnUnreadable) reading.OnUnreadable(path, message);
      continue;
    }
    if (reading.OnNotice) {
      const std::string notice = ReadNotice(context, document);
      if (!notice.empty()) reading.OnNotice(path, notice);
    }
    if (!visit(index, document)) break;
  }
  return skipped;
}

}  // namespace kalix
