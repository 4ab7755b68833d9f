#include "targets/DocumentRef.h"

namespace kalix {

std::string MakeDocumentRef(std::string_view path) {
  size_t slash = path.rfind('/');
  std::string_view dir = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  std::string ref(name);
  ref += " | ";
  ref += dir;
  return ref;
}

std::string DocumentRefPath(std::string_view ref) {
  size_t p = ref.find(" | ");
  if (p == std::string_view::npos) return std::string(ref);
  std::string_view name = ref.substr(0, p);
  std::string_view dir = ref.substr(p + 3);
  std::string path;
  if (!dir.empty()) {
    // The directory keeps its final separator in the reference; it is
    // dropped and written again as "/" (the root "/" stays "/").
    path.assign(dir.substr(0, dir.size() - 1));
    path += '/';
  }
  path += name;
  return path;
}

}  // namespace kalix
