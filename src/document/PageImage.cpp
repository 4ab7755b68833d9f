#include "document/PageImage.h"

#include <array>
#include <filesystem>
#include <system_error>

namespace kalix {

namespace {

namespace fs = std::filesystem;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool Digit(char c) { return c >= '0' && c <= '9'; }
bool Separator(char c) { return c == ' ' || c == '_' || c == '-' || c == '.'; }

bool IsImageExtension(std::string_view ext) {
  std::string e;
  for (char c : ext) e += Lower(c);
  return e == ".jpg" || e == ".jpeg" || e == ".png" || e == ".tif" || e == ".tiff";
}

// The name's last part, after the last separator that is followed by a
// prefix and digits: "ms_fr_123_f012r" gives "f012r".
ImageName ParsePart(std::string_view s) {
  ImageName name;
  std::string lower;
  for (char c : s) lower += Lower(c);
  std::string_view rest(lower);
  bool page = false;
  for (std::string_view prefix : {"folio", "fol", "f", "page", "p"}) {
    if (rest.substr(0, prefix.size()) == prefix && rest.size() > prefix.size() &&
        (Digit(rest[prefix.size()]) || Separator(rest[prefix.size()]))) {
      page = prefix[0] == 'p';
      rest.remove_prefix(prefix.size());
      if (!rest.empty() && Separator(rest[0])) rest.remove_prefix(1);
      break;
    }
  }
  size_t digits = 0;
  while (digits < rest.size() && Digit(rest[digits])) ++digits;
  if (digits == 0 || digits > 6) return name;
  int32_t value = 0;
  for (size_t k = 0; k < digits; ++k) value = value * 10 + (rest[k] - '0');
  const std::string_view side = rest.substr(digits);
  if (page) {
    if (side.empty()) name.page = value;
  } else if (side == "r" || side == "v") {
    name.folio = value;
    name.verso = side == "v";
  }
  return name;
}

}  // namespace

ImageName ParseImageName(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot != std::string_view::npos && IsImageExtension(fileName.substr(dot))) fileName = fileName.substr(0, dot);
  // The whole name, then each part after a separator, from the left.
  ImageName name = ParsePart(fileName);
  for (size_t at = 0; name.folio == 0 && name.page == 0 && at < fileName.size(); ++at) {
    if (Separator(fileName[at])) name = ParsePart(fileName.substr(at + 1));
  }
  return name;
}

std::string PageImagePath(const Document& document, int32_t page) {
  if (page < 1) return std::string();
  if (static_cast<size_t>(page) <= document.pages.size() && !document.pages[page - 1].image.empty()) {
    return document.pages[page - 1].image;
  }
  if (document.path.empty()) return std::string();
  // The folio side of the page: the first folio mark between the page's
  // mark and the next page's.
  int32_t folio = 0;
  bool verso = false;
  bool found = false;
  for (const Mark& m : document.marks) {
    if (m.kind == kPageMark) {
      if (found) break;
      found = m.number == page;
    } else if (found && m.kind == kFolioMark) {
      folio = m.number;
      verso = m.value == 1;
      break;
    }
  }
  if (!found) return std::string();
  std::error_code error;
  fs::path folder = fs::path(document.path).parent_path();
  if (fs::is_directory(document.path, error)) folder = fs::path(document.path);
  if (folder.empty()) folder = ".";
  std::string byPage;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string file = it->path().filename().string();
    const size_t dot = file.rfind('.');
    if (dot == std::string::npos || !IsImageExtension(std::string_view(file).substr(dot))) continue;
    const ImageName name = ParseImageName(file);
    if (folio > 0 && name.folio == folio && name.verso == verso) return it->path().string();
    if (name.page == page && byPage.empty()) byPage = it->path().string();
  }
  return byPage;
}

}  // namespace kalix
