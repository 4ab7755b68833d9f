#include "ui/DocumentLoader.h"

#include "document/Reader.h"

#include <QMetaObject>

namespace kalix::ui {

DocumentLoader::DocumentLoader(const Context& context, QObject* parent) : QObject(parent), context_(context) {}

DocumentLoader::~DocumentLoader() {
  for (auto& r : readings_) {
    if (r->thread.joinable()) r->thread.join();
  }
}

void DocumentLoader::Request(const std::string& path) {
  if (!pending_.insert(path).second) return;
  // Readings that have ended are let go.
  std::erase_if(readings_, [](const std::unique_ptr<Reading>& r) {
    if (!r->done) return false;
    r->thread.join();
    return true;
  });
  auto reading = std::make_unique<Reading>();
  Reading* r = reading.get();
  r->thread = std::thread([this, r, path, context = context_] {
    auto document = std::make_shared<Document>();
    std::shared_ptr<const Document> result;
    try {
      if (LoadScratchDocument(context, *document, path, nullptr)) result = std::move(document);
    } catch (...) {
      result.reset();
    }
    // The loader waits for this thread before it goes, so it is alive while
    // the call is queued; a call still queued when it goes is dropped.
    QMetaObject::invokeMethod(
        this, [this, path, result] { Finish(path, result); }, Qt::QueuedConnection);
    r->done = true;
  });
  readings_.push_back(std::move(reading));
}

void DocumentLoader::Finish(const std::string& path, std::shared_ptr<const Document> document) {
  pending_.erase(path);
  if (Loaded) Loaded(path, std::move(document));
}

}  // namespace kalix::ui
