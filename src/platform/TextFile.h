// File input and output in the runtime's text mode.
//
// Reading in text mode drops the CR of every CR LF pair and stops at a byte
// 0x1A; writing stores every LF as CR LF. Writes that replace a file go
// through a temporary file and a rename, so a failed write never leaves a
// half-written file behind.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

// The raw bytes of a file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadBinaryFile(const std::string& path);

// Applies text-mode input rules to raw bytes: CR LF becomes LF, and a byte
// 0x1A ends the input.
std::string TextModeInput(std::string_view raw);

// Reads a file in text mode; nothing when it cannot be opened or read.
std::optional<std::string> ReadTextFile(const std::string& path);

// Applies text-mode output rules: every LF becomes CR LF.
std::string TextModeOutput(std::string_view text);

// Writes `text` in text mode. With `append`, the bytes are added at the end
// of the file (created when missing); otherwise the file is replaced
// atomically. Returns false when the file cannot be written.
bool WriteTextFile(const std::string& path, std::string_view text, bool append = false);

// Writes bytes as they stand, replacing the file atomically.
bool WriteBinaryFile(const std::string& path, std::string_view bytes);

// Splits text-mode input into lines at LF; each line keeps its LF. Lines
// have any length; a final line without a line feed is a line too, an empty
// final piece is not.
std::vector<std::string_view> SplitLines(std::string_view text);

// The part of a line before its first zero byte.
std::string_view CutAtZero(std::string_view line);

// True when a file exists and is a regular file that can be opened.
bool FileReadable(const std::string& path);

}  // namespace kalix
