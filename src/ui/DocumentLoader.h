// Reads other documents than the window's on worker threads, for the views
// that show them (the concordance's lines, the plot's strips): a view asks
// for a path and carries on with what it has; when the document has been
// read, `Loaded` runs on the view's thread and the view refreshes.
#pragma once

#include "context/Context.h"
#include "document/Document.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kalix::ui {

class DocumentLoader : public QObject {
  Q_OBJECT
 public:
  // `context`: the program's, copied at each request (the rules in force).
  DocumentLoader(const Context& context, QObject* parent);
  // Waits for the readings still under way.
  ~DocumentLoader() override;

  // Starts reading `path` unless it is being read now. `Loaded` then gets
  // the document (null when it cannot be read).
  void Request(const std::string& path);
  bool Pending(const std::string& path) const { return pending_.count(path) != 0; }
  bool Busy() const { return !pending_.empty(); }

  std::function<void(const std::string& path, std::shared_ptr<const Document> document)> Loaded;

 private:
  struct Reading {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void Finish(const std::string& path, std::shared_ptr<const Document> document);

  const Context& context_;
  std::set<std::string> pending_;
  std::vector<std::unique_ptr<Reading>> readings_;
};

}  // namespace kalix::ui
