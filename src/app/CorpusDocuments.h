// The documents of a corpus, read one after the other: the one loop that the
// search and the word list walk a corpus with.
#pragma once

#include "context/Context.h"
#include "document/Document.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kalix {

// Loads a corpus document into a scratch model; false (with a message) when
// it cannot be opened.
using DocumentLoader =
    std::function<bool(const Context&, Document& scratch, const std::string& path, std::string* message)>;

// How a corpus is read, and who is told.
struct CorpusReading {
  // How each document is read (default: the document reader).
  DocumentLoader Loader;
  // Before each document: its place (0-based), the count, its path.
  std::function<void(size_t index, size_t count, const std::string& path)> OnProgress;
  // A document that cannot be opened (it is skipped): its path, the message.
  std::function<void(const std::string& path, const std::string& message)> OnUnreadable;
  // When given and set (from any thread), the walk ends before the next
  // document is read, and a scan that reads it ends at its next block.
  const std::atomic<bool>* Stop = nullptr;
  // When given, the bytes scanned so far (search/ScanControl.h).
  std::atomic<uint64_t>* Scanned = nullptr;
  // A document whose reading needed the character policy, or doubted its
  // encoding: its path and the notice (document/ReadNotice.h, UTF-8).
  std::function<void(const std::string& path, const std::string& notice)> OnNotice;
};

// Every corpus entry in order: reported, then loaded into the model that
// `documentFor` gives (emptied first; its text buffer is kept, so that the
// documents reuse one allocation) and handed to `visit` with its place. A
// document that cannot be opened is reported and skipped. `visit` returns
// false to stop the walk. Returns the number of documents skipped.
size_t ForEachCorpusDocument(const Context& context, const std::vector<std::string>& entries,
                             const CorpusReading& reading, const std::function<Document&()>& documentFor,
                             const std::function<bool(size_t index, Document& document)>& visit);

}  // namespace kalix
