// File names of the companion rich-text files: the information file of a
// document, the help file and the about file, each in the current language.
#pragma once

#include <string>
#include <vector>

namespace kalix {

// The document path with "_" and the language code inserted before its last
// "." (wherever that "." stands, also in a folder name), or appended when the
// path holds no ".": "/t/livre.rtf" -> "/t/livre_fra.rtf".
std::string InformationFileName(const std::string& documentPath, const std::string& languageCode);

// "help_" code ".rtf" in the program's folder (given with or without its
// trailing separator).
std::string HelpFileName(const std::string& programDir, const std::string& languageCode);

// "about_" code ".rtf", relative to the current folder.
std::string AboutFileName(const std::string& languageCode);

// `path` when that file can be read; otherwise the file of the same name in
// `dataDir` (the installed data folder) when that one can be read; otherwise
// `path` unchanged, so that the caller reports the file it looked for first.
std::string WithDataFallback(const std::string& path, const std::string& dataDir);

// `path` when that file can be read; otherwise the file of the same name in
// the first of `folders` that holds a readable one (an empty folder name is
// skipped, "." is the current folder); otherwise `path` unchanged. The help
// file is looked for beside the program, then in the current folder, then in
// the data folder; the about file in the current folder, then beside the
// program, then in the data folder.
std::string WithFallbackFolders(const std::string& path, const std::vector<std::string>& folders);

// The installed data folder, with its trailing "/": "share/kalix" beside the
// program's "bin" folder when that folder exists (an installed or unpacked
// package, wherever its root is), otherwise `builtIn`, the folder chosen when
// the program was built. `programDir` is given with or without its trailing
// separator.
std::string InstalledDataDir(const std::string& programDir, const std::string& builtIn);

}  // namespace kalix
