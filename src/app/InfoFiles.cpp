#include "app/InfoFiles.h"

#include "app/Settings.h"
#include "platform/TextFile.h"

#include <filesystem>
#include <system_error>

namespace kalix {

std::string InformationFileName(const std::string& documentPath, const std::string& languageCode) {
  size_t dot = documentPath.find_last_of('.');
  std::string insert = "_" + languageCode;
  if (dot == std::string::npos) return documentPath + insert;
  return documentPath.substr(0, dot) + insert + documentPath.substr(dot);
}

std::string HelpFileName(const std::string& programDir, const std::string& languageCode) {
  std::string dir = programDir;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir + "help_" + languageCode + ".rtf";
}

std::string AboutFileName(const std::string& languageCode) {
  return "about_" + languageCode + ".rtf";
}

std::string WithDataFallback(const std::string& path, const std::string& dataDir) {
  return WithFallbackFolders(path, {dataDir});
}

std::string WithFallbackFolders(const std::string& path, const std::vector<std::string>& folders) {
  if (FileReadable(path)) return path;
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    std::string other = folder;
    if (other.back() != '/') other += '/';
    other += FileNameOf(path);
    if (FileReadable(other)) return other;
  }
  return path;
}

std::string InstalledDataDir(const std::string& programDir, const std::string& builtIn) {
  namespace fs = std::filesystem;
  std::string result = builtIn;
  if (!programDir.empty()) {
    fs::path bin = fs::path(programDir).lexically_normal();
    if (!bin.has_filename()) bin = bin.parent_path();  // a trailing separator
    if (bin.filename() == "bin") {
      fs::path share = bin.parent_path() / "share" / "kalix";
      std::error_code error;
      if (fs::is_directory(share, error)) result = share.string();
    }
  }
  if (!result.empty() && result.back() != '/') result += '/';
  return result;
}

}  // namespace kalix
