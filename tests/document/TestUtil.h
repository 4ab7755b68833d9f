// Helpers shared by the document tests: compact descriptions of marks and
// notes, and a small valid Windows metafile.
#pragma once

#include "document/Document.h"
#include "platform/Metafile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kalix::test {

// "P1@0 F1r@5 F1v@7 G1@9*": kind (P page, F folio with r/v, G glyph), number,
// "@" view position, "*" when the mark carries a picture.
inline std::string DescribeMarks(const cMarkList& marks) {
  std::string out;
  for (const Mark& m : marks) {
    if (!out.empty()) out += ' ';
    switch (m.kind) {
      case kPageMark: out += 'P'; break;
      case kFolioMark: out += 'F'; break;
      case kGlyphMark: out += 'G'; break;
      default: out += '?'; break;
    }
    out += std::to_string(m.number);
    if (m.kind == kFolioMark) out += m.value == 0 ? "r" : (m.value == 1 ? "v" : "?");
    if (m.kind == kPageMark && m.value != 0) out += "?";
    if (m.kind == kGlyphMark && m.value != -1) out += "?";
    out += '@' + std::to_string(m.position);
    if (m.picture) out += '*';
  }
  return out;
}

// "1:text|2:-": page, ":", text or "-" for none, notes separated by "|".
inline std::string DescribeNotes(const cNoteList& notes) {
  std::string out;
  for (const Note& n : notes) {
    if (!out.empty()) out += '|';
    out += std::to_string(n.page) + ':' + (n.text.empty() ? std::string("-") : n.text);
  }
  return out;
}

inline void PutWord(std::string& out, uint16_t w) {
  out += static_cast<char>(w & 0xFF);
  out += static_cast<char>(w >> 8);
}

inline void PutDWord(std::string& out, uint32_t d) {
  PutWord(out, static_cast<uint16_t>(d & 0xFFFF));
  PutWord(out, static_cast<uint16_t>(d >> 16));
}

inline void PutRecord(std::string& out, uint16_t function, const std::vector<uint16_t>& params) {
  PutDWord(out, static_cast<uint32_t>(3 + params.size()));
  PutWord(out, function);
  for (uint16_t p : params) PutWord(out, p);
}

// Window origin 0,0, extent 100 x 100, one rectangle, end record; with a
// placeable header when asked (box 0,0-200,100 at 96 units per inch).
inline std::string SmallMetafile(bool placeable = false) {
  std::string body;
  PutRecord(body, wmf::kSetWindowOrg, {0, 0});
  PutRecord(body, wmf::kSetWindowExt, {100, 100});
  PutRecord(body, wmf::kRectangle, {90, 90, 10, 10});
  PutRecord(body, wmf::kEof, {});
  std::string out;
  if (placeable) {
    PutDWord(out, 0x9AC6CDD7u);
    PutWord(out, 0);
    for (uint16_t v : {0, 0, 200, 100}) PutWord(out, v);
    PutWord(out, 96);
    PutDWord(out, 0);
    PutWord(out, 0);
  }
  PutWord(out, 1);
  PutWord(out, 9);
  PutWord(out, 0x0300);
  PutDWord(out, static_cast<uint32_t>(9 + body.size() / 2));
  PutWord(out, 0);
  PutDWord(out, 7);
  PutWord(out, 0);
  return out + body;
}

inline std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace kalix::test
