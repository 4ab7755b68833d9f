#include "document/XmlReader.h"

#include "i18n/Messages.h"
#include "platform/CharPolicy.h"
#include "platform/Cp1252.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlreader.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kalix {

namespace {

namespace fs = std::filesystem;

constexpr unsigned char kUnknownChar = 0x81;

// The parser's options: entities are substituted (within libxml2's bounds),
// a DTD named by the document is loaded through the loader below, nothing
// comes from a network, and the parser prints nothing (its errors are
// collected).
constexpr int kParseOptions =
    XML_PARSE_NOENT | XML_PARSE_DTDLOAD | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// ---------------------------------------------------------------------------
// What the parser may read outside the document.

// The folder of the document being parsed on this thread; the loader serves
// a ".dtd" file of that folder and nothing else.
thread_local std::string tAllowedFolder;
thread_local std::vector<std::string>* tRefused = nullptr;

bool EndsWithNoCase(std::string_view s, std::string_view end) {
  if (s.size() < end.size()) return false;
  for (size_t i = 0; i < end.size(); ++i) {
    char a = s[s.size() - end.size() + i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != end[i]) return false;
  }
  return true;
}

xmlParserInputPtr GuardedLoader(const char* url, const char* /*id*/, xmlParserCtxtPtr ctxt) {
  std::string path = url ? url : "";
  if (path.rfind("file://", 0) == 0) path.erase(0, 7);
  bool allowed = false;
  if (!tAllowedFolder.empty() && !path.empty() && path.find("://") == std::string::npos &&
      EndsWithNoCase(path, ".dtd")) {
    std::error_code error;
    const fs::path file = fs::weakly_canonical(fs::path(path), error);
    allowed = !error && file.parent_path() == fs::path(tAllowedFolder) && fs::is_regular_file(file, error);
    if (allowed) path = file.string();
  }
  if (!allowed) {
    if (tRefused) tRefused->push_back(url ? url : "");
    return nullptr;
  }
  return xmlNewInputFromFile(ctxt, path.c_str());
}

void InstallLoader() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xmlSetExternalEntityLoader(GuardedLoader);
  });
}

// Sets the folder the loader serves while a document is parsed.
class LoaderScope {
 public:
  LoaderScope(const std::string& baseUrl, std::vector<std::string>* refused) {
    InstallLoader();
    std::error_code error;
    tAllowedFolder.clear();
    if (!baseUrl.empty()) {
      const fs::path folder = fs::weakly_canonical(fs::absolute(fs::path(baseUrl), error), error).parent_path();
      if (!error) tAllowedFolder = folder.string();
    }
    tRefused = refused;
  }
  ~LoaderScope() {
    tAllowedFolder.clear();
    tRefused = nullptr;
  }
  LoaderScope(const LoaderScope&) = delete;
  LoaderScope& operator=(const LoaderScope&) = delete;
};

// The first error the parser reports, and whether it is about entities.
struct ParseError {
  bool failed = false;
  bool entities = false;
  int line = 0;
  int column = 0;
  std::string message;

  void Take(const xmlError* error) {
    if (error == nullptr || failed || error->level < XML_ERR_ERROR) return;
    failed = true;
    line = error->line;
    column = error->int2;
    message = error->message ? error->message : "";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    entities = error->code == XML_ERR_ENTITY_LOOP || error->code == XML_ERR_ENTITY_BOUNDARY;
  }
};

void CollectError(void* data, xmlErrorPtr error) { static_cast<ParseError*>(data)->Take(error); }

// ---------------------------------------------------------------------------
// Characters: the one place where the UTF-8 that the parser gives becomes
// code page 1252 (through the character policy, Builder::Unicode).

struct CharCounts {
  int64_t transliterated = 0;
  int64_t replaced = 0;
  int64_t dropped = 0;
};

bool IsOtherSpace(char32_t c) { return (c >= 0x2000 && c <= 0x200A) || c == 0x205F || c == 0x3000; }

// Decodes one UTF-8 sequence (the parser hands over valid UTF-8 only).
char32_t NextCodePoint(const unsigned char*& p, const unsigned char* end) {
  const unsigned char c = *p++;
  if (c < 0x80) return c;
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
  char32_t value = c & (0x3F >> extra);
  for (; extra > 0 && p < end; --extra) value = (value << 6) | (*p++ & 0x3F);
  return value;
}

// ---------------------------------------------------------------------------
// Building the model.

// Where characters go: the main text, or the text of the note being read.
class Builder {
 public:
  Builder(const RuleSet& rules, const CharPolicy& policy, Document& document, CharCounts& counts)
      : rules_(rules), policy_(policy), doc_(document), counts_(counts) {}

  // Character data (UTF-8): runs of XML white space are one blank.
  void Text(std::string_view utf8) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
      if (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') {
        if (!joining_) pendingSpace_ = true;
        ++p;
        continue;
      }
      if (*p < 0x80) {
        // A run of visible ASCII: the first character takes the steps of
        // Char, the others are copied behind it at once.
        const unsigned char* q = p + 1;
        while (q < end && *q > ' ' && *q < 0x80) ++q;
        Char(*p);
        const auto n = static_cast<size_t>(q - p - 1);
        if (n > 0) {
          (noteDepth_ > 0 ? note_ : doc_.text).append(reinterpret_cast<const char*>(p + 1), n);
          written_ += static_cast<int64_t>(n);
          if (noteDepth_ == 0) view_ += static_cast<int32_t>(n);
        }
        p = q;
        continue;
      }
      Unicode(NextCodePoint(p, end));
    }
  }

  // Bytes already in code page 1252 ("[...]", a mapping of the rules).
  void Bytes1252(std::string_view bytes) {
    for (unsigned char c : bytes) Char(c);
  }

  // A page opens: its marker, and a folio marker when the label names one.
  void Page(const std::string& label, const std::string& image) {
    if (noteDepth_ > 0) return;
    AddPage(label, image, true);
    Marker(rules_.PageMarker);
    int32_t number = 0;
    bool verso = false;
    if (!label.empty() && ParseFolioLabel(label, number, verso)) {
      doc_.marks.push_back(Mark{view_, kFolioMark, number, verso ? 1 : 0, nullptr});
      Marker(verso ? rules_.VersoMarker : rules_.RectoMarker);
    }
  }

  // A line ends (or, joining, the word goes on across it).
  void LineBreak(bool joining) {
    pendingSpace_ = false;
    if (joining) {
      joining_ = true;
      return;
    }
    if (noteDepth_ > 0) {
      if (!note_.empty() && note_.back() != '\n') note_ += '\n';
      return;
    }
    if (lineStart_) return;
    PutBreak('\r');
  }

  void ParagraphEnd() {
    pendingSpace_ = false;
    if (noteDepth_ > 0) {
      if (!note_.empty() && note_.back() != '\n') note_ += '\n';
      return;
    }
    if (paragraphStart_) return;
    if (lineStart_ && !doc_.text.empty() && doc_.text.back() == '\r') {
      doc_.text.back() = '\n';  // the line break becomes the paragraph end: same view length
    } else {
      PutBreak('\n');
    }
    paragraphStart_ = true;
  }

  // A glyph mark (in main text): its marker, with the picture its
  // declaration names.
  void Glyph(const std::string& image) {
    if (noteDepth_ > 0) return;
    Char(rules_.GlyphMarker, /*mark=*/true);
    if (!image.empty()) doc_.glyphImages.push_back(GlyphImage{glyphCount_, image});
  }

  void BeginNote() {
    if (noteDepth_ > 0) {
      ++noteDepth_;
      return;
    }
    Char(rules_.NoteAnchor);
    noteDepth_ = 1;
    note_.clear();
  }
  void EndNote() {
    if (noteDepth_ == 0 || --noteDepth_ > 0) return;
    while (!note_.empty() && (note_.back() == '\n' || note_.back() == ' ')) note_.pop_back();
    doc_.notes.push_back(Note{note_, std::max<int32_t>(pageCount_, 1)});
    note_.clear();
  }
  bool InNote() const { return noteDepth_ > 0; }

  // The line that begins here stands at `zone` on the current page's image.
  void LineAt(const LineZone& zone) {
    if (noteDepth_ > 0) return;
    if (pageCount_ == 0) return;
    LineZone z = zone;
    z.position = view_;
    doc_.pages.back().lines.push_back(z);
  }

  // Characters written so far (main text and notes): tells whether an
  // element had content of its own.
  int64_t Written() const { return written_; }
  bool WroteText() const { return wroteText_; }
  int32_t Pages() const { return pageCount_; }

  void Finish() {
    if (!doc_.text.empty() && doc_.text.back() != '\n') PutBreak('\n');
    doc_.text.push_back('\0');
    // A cluster that composed to a character of the code page holds no record.
    std::erase_if(doc_.replaced, [](const ReplacedChar& r) { return r.original.empty(); });
    std::stable_sort(doc_.replaced.begin(), doc_.replaced.end(), [](const ReplacedChar& a, const ReplacedChar& b) {
      return a.note != b.note ? a.note < b.note : a.offset < b.offset;
    });
  }

 private:
  void AddPage(const std::string& label, const std::string& image, bool marked) {
    ++pageCount_;
    doc_.pages.push_back(PageFacsimile{label, image, {}});
    if (marked) doc_.marks.push_back(Mark{view_, kPageMark, pageCount_, 0, nullptr});
  }

  // A page or folio marker: no blank is written for it, and it does not end
  // the wait for a line's first character.
  void Marker(unsigned char c) {
    doc_.text.push_back(static_cast<char>(c));
    view_ += 1;
  }

  void PutBreak(char c) {
    doc_.text.push_back(c);
    view_ += 2;
    lineStart_ = true;
    joining_ = false;
  }

  // A character outside ASCII, through the character policy: a character of
  // code page 1252 is its byte; another is transliterated, dropped or
  // replaced by 0x81, and the document keeps it (its offset, the note it is
  // in) so that nothing is changed without a word. A combining mark stays
  // with the character before it: the two are mapped again as one cluster.
  void Unicode(char32_t c) {
    std::string& out = noteDepth_ > 0 ? note_ : doc_.text;
    const int32_t note = noteDepth_ > 0 ? static_cast<int32_t>(doc_.notes.size()) : -1;
    if (IsCombiningMark(c) && lastWasChar_ && !out.empty()) {
      if (cluster_.empty() || clusterOffset_ + 1 != out.size()) {
        // The character before is a byte of the code page, written as such.
        cluster_.assign(1, Cp1252ToUnicode(static_cast<unsigned char>(out.back())));
        clusterOffset_ = out.size() - 1;
        clusterRecord_ = -1;
      }
      cluster_.push_back(c);
      const CharMapping m = policy_.Map(NormalizeNfc(cluster_));
      out.back() = static_cast<char>(m.byte != 0 ? m.byte : kReplacementByte);
      if (!m.replaced) {
        if (clusterRecord_ >= 0) doc_.replaced[static_cast<size_t>(clusterRecord_)].original.clear();
        return;
      }
      const ReplaceKind kind = m.byte != 0 ? m.kind : ReplaceKind::Replaced;
      if (clusterRecord_ < 0) {
        clusterRecord_ = static_cast<int32_t>(doc_.replaced.size());
        doc_.replaced.push_back(ReplacedChar{static_cast<int32_t>(clusterOffset_), note, cluster_, kind});
      } else {
        doc_.replaced[static_cast<size_t>(clusterRecord_)].original = cluster_;
        doc_.replaced[static_cast<size_t>(clusterRecord_)].kind = kind;
      }
      return;
    }
    if (IsOtherSpace(c)) {
      // Thin and other spaces are a blank between words.
      ++counts_.transliterated;
      if (!joining_) pendingSpace_ = true;
      cluster_.clear();
      return;
    }
    const int byte = UnicodeToCp1252(c);
    CharMapping m;
    if (byte > 0) {
      m.byte = static_cast<unsigned char>(byte);
    } else if (IsCombiningMark(c)) {
      m.byte = kReplacementByte;  // a mark with nothing before it
      m.replaced = true;
      m.kind = ReplaceKind::Replaced;
    } else {
      m = policy_.Map(std::u32string(1, c));
    }
    if (m.byte == 0) {  // dropped (a format character): kept at the next byte's place
      doc_.replaced.push_back(ReplacedChar{static_cast<int32_t>(out.size()), note, std::u32string(1, c),
                                           ReplaceKind::Dropped});
      cluster_.clear();
      return;
    }
    Char(m.byte);
    cluster_.assign(1, c);
    clusterOffset_ = out.size() - 1;
    clusterRecord_ = -1;
    if (m.replaced) {
      clusterRecord_ = static_cast<int32_t>(doc_.replaced.size());
      doc_.replaced.push_back(ReplacedChar{static_cast<int32_t>(clusterOffset_), note, cluster_, m.kind});
    }
  }

  void Char(unsigned char c, bool glyph = false) {
    joining_ = false;
    ++written_;
    if (noteDepth_ > 0) {
      if (pendingSpace_ && !note_.empty() && note_.back() != '\n') note_ += ' ';
      pendingSpace_ = false;
      note_.push_back(static_cast<char>(c));
      lastWasChar_ = true;
      return;
    }
    if (pageCount_ == 0) AddPage(std::string(), std::string(), true);
    if (pendingSpace_ && !lineStart_) {
      doc_.text.push_back(' ');
      view_ += 1;
    }
    pendingSpace_ = false;
    if (glyph) doc_.marks.push_back(Mark{view_, kGlyphMark, ++glyphCount_, -1, nullptr});
    doc_.text.push_back(static_cast<char>(c));
    view_ += 1;
    lineStart_ = false;
    paragraphStart_ = false;
    wroteText_ = true;
    lastWasChar_ = !glyph;
  }

  const RuleSet& rules_;
  const CharPolicy& policy_;
  Document& doc_;
  CharCounts& counts_;
  int32_t view_ = 0;
  int32_t pageCount_ = 0;
  int32_t glyphCount_ = 0;
  int noteDepth_ = 0;
  std::string note_;
  bool pendingSpace_ = false;
  bool joining_ = false;
  bool lineStart_ = true;
  bool paragraphStart_ = true;
  bool lastWasChar_ = false;
  // The last character written through the policy, with its marks: where
  // its byte is and its record (-1: none), so that a mark can join it.
  std::u32string cluster_;
  size_t clusterOffset_ = 0;
  int32_t clusterRecord_ = -1;
  bool wroteText_ = false;
  int64_t written_ = 0;
};

// ---------------------------------------------------------------------------
// Small helpers over libxml2's types.

std::string_view View(const xmlChar* s) {
  return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

// An attribute of a node, UTF-8 ("" when absent).
std::string NodeAttr(xmlNodePtr node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  std::string s = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return s;
}

std::string NodeXmlId(xmlNodePtr node) {
  xmlChar* value = xmlGetNsProp(node, reinterpret_cast<const xmlChar*>("id"), XML_XML_NAMESPACE);
  std::string s = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  if (s.empty()) s = NodeAttr(node, "id");
  return s;
}

std::string_view LocalName(xmlNodePtr node) { return View(node->name); }

bool IsElement(xmlNodePtr node, std::string_view name) {
  return node->type == XML_ELEMENT_NODE && LocalName(node) == name;
}

xmlNodePtr FirstChildElement(xmlNodePtr node, std::string_view name) {
  for (xmlNodePtr c = node->children; c; c = c->next) {
    if (IsElement(c, name)) return c;
  }
  return nullptr;
}

// The text of a node and its descendants, UTF-8.
std::string NodeText(xmlNodePtr node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string s = content ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return s;
}

// Converts UTF-8 to 1252 through a scratch builder (labels).
std::string To1252(const std::string& utf8) { return Utf8OrCp1252To1252(utf8); }

int32_t ToInt(const std::string& s) {
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (end == s.c_str() || !(v > -1e9 && v < 1e9)) return 0;
  return static_cast<int32_t>(v);
}

// The bounding box of PAGE's "x,y x,y ..." or TEI's "x,y x,y" points.
bool PointsBox(const std::string& points, LineZone& zone) {
  bool any = false;
  const char* p = points.c_str();
  while (*p) {
    char* end = nullptr;
    const double x = std::strtod(p, &end);
    if (end == p) {
      ++p;
      continue;
    }
    p = end;
    while (*p == ',' || *p == ' ') ++p;
    const double y = std::strtod(p, &end);
    if (end == p) break;
    p = end;
    if (!(x > -1e9 && x < 1e9 && y > -1e9 && y < 1e9)) continue;
    const auto xi = static_cast<int32_t>(x);
    const auto yi = static_cast<int32_t>(y);
    if (!any) {
      zone.left = zone.right = xi;
      zone.top = zone.bottom = yi;
      any = true;
    } else {
      zone.left = std::min(zone.left, xi);
      zone.right = std::max(zone.right, xi);
      zone.top = std::min(zone.top, yi);
      zone.bottom = std::max(zone.bottom, yi);
    }
  }
  return any;
}

// A path given by the document, resolved against the document's folder
// (PAGE exports keep their images one folder up: that one is tried too).
std::string ResolveImage(const std::string& given, const std::string& documentPath) {
  if (given.empty()) return std::string();
  if (given.find("://") != std::string::npos && given.rfind("file://", 0) != 0) return given;
  std::string file = given.rfind("file://", 0) == 0 ? given.substr(7) : given;
  fs::path p(file);
  if (p.is_absolute() || documentPath.empty()) return p.lexically_normal().string();
  const fs::path folder = fs::path(documentPath).parent_path();
  const fs::path here = (folder / p).lexically_normal();
  std::error_code error;
  if (!fs::exists(here, error) && folder.has_parent_path()) {
    const fs::path up = (folder.parent_path() / p).lexically_normal();
    if (fs::exists(up, error)) return up.string();
  }
  return here.string();
}

// ---------------------------------------------------------------------------
// TEI.

struct CharDecl {
  std::string diplomatic;  // UTF-8 mappings
  std::string normalised;
  std::string other;
  std::string image;
};

struct Surface {
  std::string id;
  std::string label;
  std::string image;
};

// An element as the TEI walker sees it, from the streaming reader or from an
// expanded subtree.
struct Element {
  std::string_view name;
  xmlTextReaderPtr reader = nullptr;
  xmlNodePtr node = nullptr;

  std::string Attr(const char* attr) const {
    if (node) return NodeAttr(node, attr);
    xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(attr));
    std::string s = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return s;
  }
};

// What an element's start asks of the walker.
enum class Step { Descend, Skip, Subtree };

// What an element's end does.
enum class EndAction : unsigned char { None, Paragraph, Line, Note, Glyph, LeaveText, LeaveSource };

class TeiReader {
 public:
  TeiReader(const Context& context, const XmlReadOptions& options, const std::string& path, CharCounts& counts)
      : options_(options), path_(path), text_(context.Rules, context.Characters, textDoc_, counts),
        source_(context.Rules, context.Characters, sourceDoc_, counts) {}

  // Reads the document from the streaming reader, positioned on the root.
  // False when the parser stops on an error.
  bool Read(xmlTextReaderPtr reader);
  // No text may be larger than 64 times the file and 1 MB: entities that
  // libxml2 still lets through cannot make more of a small file.
  void SetInputSize(size_t size) {
    limit_ = static_cast<int64_t>(size) * 64 + (1 << 20);
    textDoc_.text.reserve(std::min<size_t>(size / 2, size_t{1} << 30));  // the text is rarely larger
  }
  bool TooLarge() const { return tooLarge_; }

  // The model: <text>'s, or <sourceDoc>'s when <text> wrote nothing.
  Document& Result() {
    Builder& b = text_.WroteText() || !source_.WroteText() ? text_ : source_;
    b.Finish();
    Document& d = &b == &text_ ? textDoc_ : sourceDoc_;
    d.information = std::move(information_);
    return d;
  }

 private:
  Builder* Out() { return inSource_ > 0 ? &source_ : inText_ > 0 ? &text_ : nullptr; }
  Step Start(const Element& e, bool empty);
  void End();
  void Characters(std::string_view utf8) {
    Builder* b = Out();
    if (b == nullptr) return;
    b->Text(utf8);
    if (b->Written() > limit_) tooLarge_ = true;
  }
  // Walks the children of an expanded node through Start and End.
  void WalkChildren(xmlNodePtr node);
  void WalkNode(xmlNodePtr node);
  // The one child that a <choice> or <app> keeps.
  void Select(xmlNodePtr node);
  void ReadSurface(xmlNodePtr node);
  void ReadHeader(xmlNodePtr node);
  void ReadHeaderText(xmlNodePtr node);
  void ReadFacsimile(xmlNodePtr node);
  std::string PageImage(const std::string& facs, const std::string& label);
  void Zone(const std::string& facs, Builder& b);

  XmlReadOptions options_;
  std::string path_;
  Document textDoc_;
  Document sourceDoc_;
  Builder text_;
  Builder source_;
  int inText_ = 0;
  int inSource_ = 0;
  std::vector<EndAction> ends_;
  struct GlyphStart {
    int64_t written;
    std::string ref;
  };
  std::vector<GlyphStart> glyphs_;
  std::unordered_map<std::string, CharDecl> decls_;
  std::vector<Surface> surfaces_;
  std::unordered_map<std::string, size_t> surfaceById_;
  std::unordered_map<std::string, LineZone> zones_;
  size_t pbCount_ = 0;
  std::string information_;
  int64_t limit_ = INT64_MAX;
  bool tooLarge_ = false;
};

bool IsParagraphElement(std::string_view n) {
  static constexpr std::string_view kNames[] = {"p",      "l",     "head",   "ab",     "item",  "trailer",
                                                "closer", "opener", "dateline", "salute", "signed", "row",
                                                "byline", "argument", "epigraph"};
  return std::find(std::begin(kNames), std::end(kNames), n) != std::end(kNames);
}

Step TeiReader::Start(const Element& e, bool empty) {
  const std::string_view n = e.name;
  EndAction end = EndAction::None;
  if (n == "teiHeader") return Step::Subtree;
  if (n == "facsimile") return Step::Subtree;
  if (n == "text" && inSource_ == 0) {
    ++inText_;
    end = EndAction::LeaveText;
  } else if (n == "sourceDoc") {
    ++inSource_;
    end = EndAction::LeaveSource;
  }
  Builder* b = Out();
  if (b == nullptr) {
    ends_.push_back(end);
    if (empty) End();
    return Step::Descend;
  }
  if (n == "fw" || n == "figDesc" || n == "interpGrp" || n == "interp" || n == "witDetail") return Step::Skip;
  if (n == "del" && options_.layer == XmlLayer::Normalised) return Step::Skip;
  if (n == "choice" || n == "app") return Step::Subtree;
  if (n == "surface" && inSource_ > 0) return Step::Subtree;
  if (n == "pb") {
    const std::string label = To1252(e.Attr("n"));
    b->Page(label, PageImage(e.Attr("facs"), e.Attr("n")));
    if (e.Attr("break") == "no") b->LineBreak(true);
  } else if (n == "lb" || n == "cb") {
    b->LineBreak(e.Attr("break") == "no");
    if (n == "lb") Zone(e.Attr("facs"), *b);
  } else if (n == "gap") {
    b->Bytes1252(std::string_view("[\x85]"));
  } else if (n == "note") {
    b->BeginNote();
    end = EndAction::Note;
  } else if (n == "g") {
    // "#id", or a declaration in another file ("chars.xml#id"): its id.
    std::string ref = e.Attr("ref");
    if (const size_t hash = ref.rfind('#'); hash != std::string::npos) ref.erase(0, hash + 1);
    const auto it = decls_.find(ref);
    b->Glyph(it != decls_.end() ? it->second.image : std::string());
    glyphs_.push_back(GlyphStart{b->Written(), ref});
    end = EndAction::Glyph;
  } else if (n == "line" && inSource_ > 0) {
    LineZone zone;
    const std::string points = e.Attr("points");
    if ((!points.empty() && PointsBox(points, zone)) || !e.Attr("ulx").empty()) {
      if (points.empty()) {
        zone.left = ToInt(e.Attr("ulx"));
        zone.top = ToInt(e.Attr("uly"));
        zone.right = ToInt(e.Attr("lrx"));
        zone.bottom = ToInt(e.Attr("lry"));
      }
      b->LineAt(zone);
    } else {
      Zone(e.Attr("facs"), *b);
    }
    end = EndAction::Line;
  } else if (n == "zone" && inSource_ > 0) {
    end = EndAction::Paragraph;
  } else if (IsParagraphElement(n)) {
    b->ParagraphEnd();  // a paragraph inside another's text begins one of its own
    end = EndAction::Paragraph;
  }
  ends_.push_back(end);
  if (empty) End();
  return Step::Descend;
}

void TeiReader::End() {
  if (ends_.empty()) return;
  const EndAction action = ends_.back();
  ends_.pop_back();
  Builder* b = Out();
  switch (action) {
    case EndAction::None: break;
    case EndAction::Paragraph:
      if (b) b->ParagraphEnd();
      break;
    case EndAction::Line:
      if (b) b->LineBreak(false);
      break;
    case EndAction::Note:
      if (b) b->EndNote();
      break;
    case EndAction::Glyph: {
      const GlyphStart start = glyphs_.back();
      glyphs_.pop_back();
      if (b && b->Written() == start.written) {
        // No content of its own: the declaration's mapping for the layer.
        const auto it = decls_.find(start.ref);
        if (it != decls_.end()) {
          const CharDecl& d = it->second;
          const std::string& first = options_.layer == XmlLayer::Normalised
                                         ? (!d.normalised.empty() ? d.normalised : d.diplomatic)
                                         : (!d.diplomatic.empty() ? d.diplomatic : d.normalised);
          b->Text(!first.empty() ? first : d.other);
        }
      }
      break;
    }
    case EndAction::LeaveText: --inText_; break;
    case EndAction::LeaveSource: --inSource_; break;
  }
}

void TeiReader::WalkNode(xmlNodePtr c) {
  switch (c->type) {
    case XML_ELEMENT_NODE: {
      const Element e{LocalName(c), nullptr, c};
      const bool empty = c->children == nullptr;
      const Step step = Start(e, empty);
      if (step == Step::Subtree) {
        if (e.name == "choice" || e.name == "app") {
          Select(c);
        } else if (e.name == "surface") {
          ReadSurface(c);
        } else if (e.name == "teiHeader") {
          ReadHeader(c);
          ReadHeaderText(c);
        } else if (e.name == "facsimile") {
          ReadFacsimile(c);
        }
      } else if (step == Step::Descend && !empty) {
        WalkChildren(c);
        End();
      }
      break;
    }
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
      Characters(View(c->content));
      break;
    case XML_ENTITY_REF_NODE:
      WalkChildren(c);
      break;
    default:
      break;
  }
}

void TeiReader::WalkChildren(xmlNodePtr node) {
  for (xmlNodePtr c = node->children; c; c = c->next) WalkNode(c);
}

void TeiReader::Select(xmlNodePtr node) {
  const bool app = LocalName(node) == "app";
  const bool normalised = options_.layer == XmlLayer::Normalised;
  auto preferred = [&](std::string_view n) {
    if (app) return n == "lem";
    return normalised ? (n == "expan" || n == "reg" || n == "corr") : (n == "abbr" || n == "orig" || n == "sic");
  };
  auto otherLayer = [&](std::string_view n) {
    if (app) return n == "rdg" || n == "rdgGrp";
    return normalised ? (n == "abbr" || n == "orig" || n == "sic") : (n == "expan" || n == "reg" || n == "corr");
  };
  xmlNodePtr chosen = nullptr;
  xmlNodePtr neutral = nullptr;
  xmlNodePtr first = nullptr;
  for (xmlNodePtr c = node->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    if (!first) first = c;
    if (preferred(LocalName(c))) {
      chosen = c;
      break;
    }
    if (!neutral && !otherLayer(LocalName(c))) neutral = c;
  }
  if (!chosen) chosen = neutral ? neutral : first;
  if (chosen) WalkNode(chosen);
}

void TeiReader::ReadSurface(xmlNodePtr node) {
  Builder* b = Out();
  std::string image;
  if (xmlNodePtr g = FirstChildElement(node, "graphic")) image = ResolveImage(NodeAttr(g, "url"), path_);
  if (b) b->Page(To1252(NodeAttr(node, "n")), image);
  WalkChildren(node);
  if (b) b->ParagraphEnd();
}

void TeiReader::ReadHeader(xmlNodePtr node) {
  // Glyph and character declarations, wherever the header holds them.
  for (xmlNodePtr c = node->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    const std::string_view n = LocalName(c);
    if (n == "glyph" || n == "char") {
      CharDecl decl;
      for (xmlNodePtr d = c->children; d; d = d->next) {
        if (IsElement(d, "mapping")) {
          const std::string type = NodeAttr(d, "type");
          const std::string text = NodeText(d);
          if (type == "diplomatic") {
            decl.diplomatic = text;
          } else if (type == "normalized" || type == "normalised" || type == "standard" || type == "standardized") {
            decl.normalised = text;
          } else if (decl.other.empty()) {
            decl.other = text;
          }
        } else if (IsElement(d, "graphic") && decl.image.empty()) {
          decl.image = ResolveImage(NodeAttr(d, "url"), path_);
        }
      }
      decls_[NodeXmlId(c)] = decl;
    } else {
      ReadHeader(c);
    }
  }
}

// The header as the document's information: each element that holds text of
// its own gives one line, its whole text with white space collapsed (the
// character declarations are left out).
void TeiReader::ReadHeaderText(xmlNodePtr node) {
  for (xmlNodePtr c = node->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE || LocalName(c) == "charDecl") continue;
    bool ownText = false;
    for (xmlNodePtr t = c->children; t && !ownText; t = t->next) {
      if (t->type != XML_TEXT_NODE && t->type != XML_CDATA_SECTION_NODE) continue;
      for (const char ch : View(t->content)) {
        if (ch != ' ' && ch != '\t' && ch != '\n' && ch != '\r') {
          ownText = true;
          break;
        }
      }
    }
    if (!ownText) {
      ReadHeaderText(c);
      continue;
    }
    std::string line;
    bool blank = false;
    for (const char ch : To1252(NodeText(c))) {
      if (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r') {
        blank = !line.empty();
        continue;
      }
      if (blank) line += ' ';
      blank = false;
      line += ch;
    }
    if (!line.empty()) information_ += line + '\n';
  }
}

void TeiReader::ReadFacsimile(xmlNodePtr node) {
  for (xmlNodePtr c = node->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    const std::string_view n = LocalName(c);
    if (n == "surface") {
      Surface s{NodeXmlId(c), NodeAttr(c, "n"), std::string()};
      if (xmlNodePtr g = FirstChildElement(c, "graphic")) s.image = ResolveImage(NodeAttr(g, "url"), path_);
      if (!s.id.empty()) surfaceById_[s.id] = surfaces_.size();
      surfaces_.push_back(s);
      ReadFacsimile(c);
    } else if (n == "graphic" && LocalName(node) == "facsimile") {
      // A facsimile of bare graphics: one page each.
      Surface s{NodeXmlId(c), NodeAttr(c, "n"), ResolveImage(NodeAttr(c, "url"), path_)};
      if (!s.id.empty()) surfaceById_[s.id] = surfaces_.size();
      surfaces_.push_back(s);
    } else if (n == "zone") {
      LineZone zone;
      const std::string points = NodeAttr(c, "points");
      if (points.empty() || !PointsBox(points, zone)) {
        zone.left = ToInt(NodeAttr(c, "ulx"));
        zone.top = ToInt(NodeAttr(c, "uly"));
        zone.right = ToInt(NodeAttr(c, "lrx"));
        zone.bottom = ToInt(NodeAttr(c, "lry"));
      }
      const std::string id = NodeXmlId(c);
      if (!id.empty()) zones_[id] = zone;
      ReadFacsimile(c);
    }
  }
}

std::string TeiReader::PageImage(const std::string& facs, const std::string& label) {
  const size_t rank = pbCount_++;
  if (!facs.empty() && facs[0] == '#') {
    const auto it = surfaceById_.find(facs.substr(1));
    return it != surfaceById_.end() ? surfaces_[it->second].image : std::string();
  }
  if (!facs.empty()) return ResolveImage(facs, path_);
  if (!label.empty()) {
    for (const Surface& s : surfaces_) {
      if (s.label == label) return s.image;
    }
  }
  return rank < surfaces_.size() ? surfaces_[rank].image : std::string();
}

void TeiReader::Zone(const std::string& facs, Builder& b) {
  if (facs.size() < 2 || facs[0] != '#') return;
  const auto it = zones_.find(facs.substr(1));
  if (it != zones_.end()) b.LineAt(it->second);
}

bool TeiReader::Read(xmlTextReaderPtr reader) {
  int status = 1;
  while (status == 1) {
    const int type = xmlTextReaderNodeType(reader);
    if (type == XML_READER_TYPE_ELEMENT) {
      const bool empty = xmlTextReaderIsEmptyElement(reader) == 1;
      const Element e{View(xmlTextReaderConstLocalName(reader)), reader, nullptr};
      const Step step = Start(e, empty);
      if (step == Step::Skip) {
        status = xmlTextReaderNext(reader);
        continue;
      }
      if (step == Step::Subtree) {
        xmlNodePtr node = xmlTextReaderExpand(reader);
        if (node == nullptr) return false;
        WalkNode(node);  // Start again, on the subtree: Subtree once more, then read there
        status = xmlTextReaderNext(reader);
        continue;
      }
    } else if (type == XML_READER_TYPE_END_ELEMENT) {
      End();
    } else if (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
               type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE || type == XML_READER_TYPE_WHITESPACE) {
      Characters(View(xmlTextReaderConstValue(reader)));
    }
    if (tooLarge_) return false;
    status = xmlTextReaderRead(reader);
  }
  return status == 0;
}

// ---------------------------------------------------------------------------
// PAGE and ALTO: one page from a parsed file.

// Region types that are not main text, and those that are notes.
bool OutsideText(std::string_view type) {
  std::string t;
  for (char c : type) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != '-' && c != '_' && c != ' ') t += c;
  }
  return t == "header" || t == "footer" || t == "pagenumber" || t == "catchword" || t == "signaturemark" ||
         t == "runninghead" || t == "runningtitle";
}

bool NoteType(std::string_view type) {
  std::string t;
  for (char c : type) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != '-' && c != '_' && c != ' ') t += c;
  }
  return t == "marginalia" || t == "footnote" || t == "footnotecontinued" || t == "endnote" || t == "marginal";
}

// The "structure {type:...;}" of a Transkribus custom attribute.
std::string CustomType(const std::string& custom) {
  const size_t at = custom.find("structure");
  if (at == std::string::npos) return std::string();
  const size_t type = custom.find("type:", at);
  if (type == std::string::npos) return std::string();
  const size_t end = custom.find_first_of(";}", type);
  return custom.substr(type + 5, end == std::string::npos ? std::string::npos : end - type - 5);
}

enum class PageKind { None, Page, Alto };

PageKind KindOf(xmlNodePtr root) {
  if (root == nullptr) return PageKind::None;
  const std::string_view name = LocalName(root);
  const std::string_view ns = root->ns ? View(root->ns->href) : std::string_view();
  if (name == "PcGts" && (ns.empty() || ns.find("primaresearch.org/PAGE") != std::string_view::npos)) {
    return PageKind::Page;
  }
  if (name == "alto" && (ns.empty() || ns.find("alto") != std::string_view::npos)) return PageKind::Alto;
  return PageKind::None;
}

// Collects elements of a name below `node`, in document order, without
// entering the ones found.
void Descendants(xmlNodePtr node, std::string_view name, std::vector<xmlNodePtr>& out) {
  for (xmlNodePtr c = node->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    if (LocalName(c) == name) {
      out.push_back(c);
    } else {
      Descendants(c, name, out);
    }
  }
}

// A line's text: its own TextEquiv (lowest index first), else its words'.
std::string PageLineText(xmlNodePtr line) {
  xmlNodePtr best = nullptr;
  int bestIndex = 0;
  for (xmlNodePtr c = line->children; c; c = c->next) {
    if (!IsElement(c, "TextEquiv")) continue;
    const std::string index = NodeAttr(c, "index");
    const int i = index.empty() ? 0 : ToInt(index);
    if (!best || i < bestIndex) {
      best = c;
      bestIndex = i;
    }
  }
  if (best) {
    if (xmlNodePtr u = FirstChildElement(best, "Unicode")) return NodeText(u);
  }
  std::string words;
  for (xmlNodePtr c = line->children; c; c = c->next) {
    if (!IsElement(c, "Word")) continue;
    if (!words.empty()) words += ' ';
    words += PageLineText(c);
  }
  return words;
}

void ReadPageRegion(xmlNodePtr region, Builder& b) {
  std::string type = NodeAttr(region, "type");
  if (type.empty()) type = CustomType(NodeAttr(region, "custom"));
  if (OutsideText(type)) return;
  const bool note = NoteType(type);
  if (note) b.BeginNote();
  for (xmlNodePtr c = region->children; c; c = c->next) {
    if (!IsElement(c, "TextLine")) continue;
    LineZone zone;
    if (xmlNodePtr coords = FirstChildElement(c, "Coords")) {
      if (PointsBox(NodeAttr(coords, "points"), zone)) b.LineAt(zone);
    }
    b.Text(PageLineText(c));
    b.LineBreak(false);
  }
  if (note) {
    b.EndNote();
  } else {
    b.ParagraphEnd();
  }
}

void ReadPage(xmlNodePtr root, Builder& b, const std::string& label, const std::string& path) {
  xmlNodePtr page = FirstChildElement(root, "Page");
  if (!page) return;
  b.Page(label, ResolveImage(NodeAttr(page, "imageFilename"), path));
  std::vector<xmlNodePtr> regions;
  Descendants(page, "TextRegion", regions);
  // Reading order: the regions it names, in its order, then the others.
  std::vector<std::pair<int, std::string>> order;
  std::vector<xmlNodePtr> refs;
  if (xmlNodePtr ro = FirstChildElement(page, "ReadingOrder")) Descendants(ro, "RegionRefIndexed", refs);
  for (xmlNodePtr r : refs) order.emplace_back(ToInt(NodeAttr(r, "index")), NodeAttr(r, "regionRef"));
  std::stable_sort(order.begin(), order.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<xmlNodePtr> ordered;
  std::vector<bool> taken(regions.size(), false);
  for (const auto& [index, id] : order) {
    for (size_t k = 0; k < regions.size(); ++k) {
      if (!taken[k] && NodeAttr(regions[k], "id") == id) {
        taken[k] = true;
        ordered.push_back(regions[k]);
        break;
      }
    }
  }
  for (size_t k = 0; k < regions.size(); ++k) {
    if (!taken[k]) ordered.push_back(regions[k]);
  }
  for (xmlNodePtr region : ordered) ReadPageRegion(region, b);
}

// ALTO: blocks of the print space are paragraphs; blocks of the left and
// right margins are notes; blocks of the top and bottom margins, and blocks
// tagged as running heads and the like, are not text.
void ReadAltoBlock(xmlNodePtr block, Builder& b, bool note, bool pixels,
                   const std::unordered_map<std::string, std::string>& tags) {
  const std::string tagRefs = NodeAttr(block, "TAGREFS");
  size_t at = 0;
  while (at < tagRefs.size()) {
    size_t end = tagRefs.find(' ', at);
    if (end == std::string::npos) end = tagRefs.size();
    const auto it = tags.find(tagRefs.substr(at, end - at));
    if (it != tags.end()) {
      if (OutsideText(it->second)) return;
      if (NoteType(it->second)) note = true;
    }
    at = end + 1;
  }
  if (note) b.BeginNote();
  std::vector<xmlNodePtr> lines;
  Descendants(block, "TextLine", lines);
  for (xmlNodePtr line : lines) {
    if (pixels && !NodeAttr(line, "HPOS").empty()) {
      const int32_t x = ToInt(NodeAttr(line, "HPOS"));
      const int32_t y = ToInt(NodeAttr(line, "VPOS"));
      b.LineAt(LineZone{0, x, y, x + ToInt(NodeAttr(line, "WIDTH")), y + ToInt(NodeAttr(line, "HEIGHT"))});
    }
    // A word cut at the line's end (its first part typed "HypPart1") goes on
    // into the next line: the hyphen is left out and the line does not break.
    bool first = true;
    bool cut = false;
    for (xmlNodePtr c = line->children; c; c = c->next) {
      if (IsElement(c, "String")) {
        if (!first) b.Text(" ");
        b.Text(NodeAttr(c, "CONTENT"));
        cut = NodeAttr(c, "SUBS_TYPE") == "HypPart1";
        first = false;
      } else if (IsElement(c, "HYP") && !cut) {
        b.Text(NodeAttr(c, "CONTENT"));
      }
    }
    b.LineBreak(cut);
  }
  if (note) {
    b.EndNote();
  } else {
    b.ParagraphEnd();
  }
}

void ReadAlto(xmlNodePtr root, Builder& b, const std::string& label, const std::string& path) {
  std::string image;
  bool pixels = true;
  std::unordered_map<std::string, std::string> tags;
  for (xmlNodePtr c = root->children; c; c = c->next) {
    if (IsElement(c, "Description")) {
      if (xmlNodePtr unit = FirstChildElement(c, "MeasurementUnit")) {
        const std::string u = NodeText(unit);
        pixels = u.empty() || u.find("pixel") != std::string::npos;
      }
      if (xmlNodePtr info = FirstChildElement(c, "sourceImageInformation")) {
        if (xmlNodePtr name = FirstChildElement(info, "fileName")) image = NodeText(name);
      }
    } else if (IsElement(c, "Tags")) {
      for (xmlNodePtr t = c->children; t; t = t->next) {
        if (t->type == XML_ELEMENT_NODE) tags[NodeAttr(t, "ID")] = NodeAttr(t, "LABEL");
      }
    }
  }
  // Trim the image name (ALTO writers indent it).
  const size_t first = image.find_first_not_of(" \t\r\n");
  image = first == std::string::npos ? std::string() : image.substr(first, image.find_last_not_of(" \t\r\n") - first + 1);
  xmlNodePtr layout = FirstChildElement(root, "Layout");
  if (!layout) return;
  std::vector<xmlNodePtr> pages;
  Descendants(layout, "Page", pages);
  for (xmlNodePtr page : pages) {
    b.Page(label, ResolveImage(image, path));
    for (xmlNodePtr area = page->children; area; area = area->next) {
      if (area->type != XML_ELEMENT_NODE) continue;
      const std::string_view n = LocalName(area);
      if (n == "TopMargin" || n == "BottomMargin") continue;
      const bool note = n == "LeftMargin" || n == "RightMargin";
      std::vector<xmlNodePtr> blocks;
      Descendants(area, "TextBlock", blocks);
      for (xmlNodePtr block : blocks) ReadAltoBlock(block, b, note, pixels, tags);
    }
  }
}

// ---------------------------------------------------------------------------
// Messages and the document's warnings.

std::string PlaceMessage(const Context& context, const char* reason, const std::string& path, const ParseError& e) {
  std::string m = context.Tr(reason) + "\n" + Utf8OrCp1252To1252(path);
  if (e.failed) {
    m += "\nligne " + std::to_string(e.line) + ", colonne " + std::to_string(e.column) + " : " +
         Utf8OrCp1252To1252(e.message);
  }
  return m;
}

void AddRefusedWarnings(const Context& context, const std::vector<std::string>& refused, Document& document) {
  for (const std::string& url : refused) {
    document.warnings.push_back(context.Tr(msg::kXmlExternal) + " " + Utf8OrCp1252To1252(url));
  }
}

// Moves a model built aside into the caller's document (path kept).
void Adopt(Document& built, Document& document) {
  document.text = std::move(built.text);
  document.marks = std::move(built.marks);
  document.notes = std::move(built.notes);
  document.replaced = std::move(built.replaced);
  document.pages = std::move(built.pages);
  document.glyphImages = std::move(built.glyphImages);
  document.information = std::move(built.information);
  for (std::string& w : built.warnings) document.warnings.push_back(std::move(w));
}

std::string FileStem(const std::string& path) { return Utf8OrCp1252To1252(fs::path(path).stem().string()); }

using ReaderPtr = std::unique_ptr<xmlTextReader, void (*)(xmlTextReaderPtr)>;

// Reads one parsed stream (a file or bytes) into `document`.
bool ReadStream(const Context& context, ReaderPtr reader, const std::string& path, size_t inputSize,
                const XmlReadOptions& options, Document& document, std::string* errorMessage,
                std::vector<std::string>& refused) {
  ParseError error;
  auto fail = [&](const char* reason) {
    if (errorMessage) *errorMessage = PlaceMessage(context, error.entities ? msg::kXmlEntities : reason, path, error);
    return false;
  };
  if (!reader) return fail(msg::kXmlMalformed);
  xmlTextReaderSetStructuredErrorHandler(reader.get(), CollectError, &error);
  // The root element.
  int status = 0;
  while ((status = xmlTextReaderRead(reader.get())) == 1 && xmlTextReaderNodeType(reader.get()) != XML_READER_TYPE_ELEMENT) {
  }
  if (status != 1) {
    if (!error.failed) error.Take(xmlGetLastError());
    return fail(msg::kXmlMalformed);
  }
  const std::string_view name = View(xmlTextReaderConstLocalName(reader.get()));
  const std::string_view ns = View(xmlTextReaderConstNamespaceUri(reader.get()));
  CharCounts counts;
  const bool tei = (name == "TEI" || name == "teiCorpus" || name == "TEI.2") &&
                   (ns.empty() || ns == "http://www.tei-c.org/ns/1.0");
  if (tei) {
    TeiReader tr(context, options, path, counts);
    tr.SetInputSize(inputSize);
    const bool read = tr.Read(reader.get());
    if (tr.TooLarge()) return fail(msg::kXmlEntities);
    if (!read || error.failed) return fail(msg::kXmlMalformed);
    Adopt(tr.Result(), document);
  } else {
    // PAGE and ALTO pages are small: the whole tree, then the page.
    xmlNodePtr root = xmlTextReaderExpand(reader.get());
    if (root == nullptr || error.failed) return fail(msg::kXmlMalformed);
    const PageKind kind = KindOf(root);
    if (kind == PageKind::None) return fail(msg::kXmlUnknown);
    Document built;
    Builder b(context.Rules, context.Characters, built, counts);
    if (kind == PageKind::Page) {
      ReadPage(root, b, FileStem(path), path);
    } else {
      ReadAlto(root, b, FileStem(path), path);
    }
    b.Finish();
    // The rest of the file must be well formed too.
    while ((status = xmlTextReaderNext(reader.get())) == 1) {
    }
    if (status != 0 || error.failed) return fail(msg::kXmlMalformed);
    Adopt(built, document);
  }
  AddRefusedWarnings(context, refused, document);
  return true;
}

void FreeReader(xmlTextReaderPtr reader) {
  if (reader) xmlFreeTextReader(reader);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  char block[65536];
  size_t n = 0;
  while ((n = std::fread(block, 1, sizeof block, file.get())) > 0) bytes.append(block, n);
  return std::ferror(file.get()) == 0;
}

bool ReadFolder(const Context& context, Document& document, const std::string& folder, std::string* errorMessage) {
  std::vector<std::pair<std::string, std::string>> files;  // name, path
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code e;
    if (!it->is_regular_file(e)) continue;
    const std::string name = it->path().filename().string();
    if (EndsWithNoCase(name, ".xml")) files.emplace_back(name, it->path().string());
  }
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return NaturalLess(a.first, b.first); });
  Document built;
  CharCounts counts;
  Builder b(context.Rules, context.Characters, built, counts);
  std::vector<std::string> refused;
  for (const auto& [name, path] : files) {
    // The whole page is parsed before any of it is read: a malformed page
    // adds nothing.
    ParseError parseError;
    LoaderScope scope(path, &refused);
    xmlSetStructuredErrorFunc(&parseError, CollectError);
    std::string bytes;
    xmlDocPtr doc = nullptr;
    if (ReadWholeFile(path, bytes) && bytes.size() < static_cast<size_t>(INT32_MAX)) {
      doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), path.c_str(), nullptr, kParseOptions);
    }
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (doc == nullptr || parseError.failed) {
      built.warnings.push_back(PlaceMessage(context, parseError.entities ? msg::kXmlEntities : msg::kXmlMalformed,
                                            path, parseError));
    } else {
      const PageKind kind = KindOf(xmlDocGetRootElement(doc));
      if (kind == PageKind::Page) {
        ReadPage(xmlDocGetRootElement(doc), b, FileStem(name), path);
      } else if (kind == PageKind::Alto) {
        ReadAlto(xmlDocGetRootElement(doc), b, FileStem(name), path);
      } else {
        built.warnings.push_back(context.Tr(msg::kXmlSkipped) + "\n" + Utf8OrCp1252To1252(path));
      }
    }
    if (doc) xmlFreeDoc(doc);
  }
  if (b.Pages() == 0) {
    if (errorMessage) {
      *errorMessage = context.Tr(msg::kXmlNoPages) + "\n" + Utf8OrCp1252To1252(folder);
      for (const std::string& w : built.warnings) *errorMessage += "\n" + w;
    }
    return false;
  }
  b.Finish();
  AddRefusedWarnings(context, refused, built);
  Adopt(built, document);
  return true;
}

}  // namespace

bool IsXmlPath(std::string_view path) { return EndsWithNoCase(path, ".xml") || EndsWithNoCase(path, ".tei"); }

bool NaturalLess(std::string_view a, std::string_view b) {
  size_t i = 0;
  size_t j = 0;
  int zeros = 0;  // equal numbers written with more zeros first, when all else is equal
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      size_t ie = i;
      size_t je = j;
      while (ie < a.size() && digit(a[ie])) ++ie;
      while (je < b.size() && digit(b[je])) ++je;
      // Compare the numbers without their leading zeros: by length, then
      // digit by digit.
      size_t is = i;
      size_t js = j;
      while (is + 1 < ie && a[is] == '0') ++is;
      while (js + 1 < je && b[js] == '0') ++js;
      if (ie - is != je - js) return ie - is < je - js;
      const int c = a.substr(is, ie - is).compare(b.substr(js, je - js));
      if (c != 0) return c < 0;
      if (zeros == 0 && ie - i != je - j) zeros = ie - i > je - j ? -1 : 1;
      i = ie;
      j = je;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return zeros < 0;
}

bool ParseFolioLabel(std::string_view label, int32_t& number, bool& verso) {
  size_t end = label.size();
  auto lower = [&](size_t k) {
    char c = label[k];
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  while (end > 0 && (label[end - 1] == ' ' || label[end - 1] == '\xB0')) --end;  // "12v°"
  if (end >= 2 && (lower(end - 1) == 'a' || lower(end - 1) == 'b') && (lower(end - 2) == 'r' || lower(end - 2) == 'v')) {
    --end;  // a column: "12ra"
  }
  if (end < 2) return false;
  const char side = lower(end - 1);
  if (side != 'r' && side != 'v') return false;
  size_t digitsEnd = end - 1;
  while (digitsEnd > 0 && label[digitsEnd - 1] == ' ') --digitsEnd;
  size_t start = digitsEnd;
  while (start > 0 && label[start - 1] >= '0' && label[start - 1] <= '9') --start;
  if (start == digitsEnd || digitsEnd - start > 9) return false;
  // The number stands alone or after a non-letter, or after "f"/"fol".
  if (start > 0) {
    const char before = lower(start - 1);
    if (before >= 'a' && before <= 'z' && before != 'f' && before != 'l' && before != 'o') return false;
  }
  int32_t value = 0;
  for (size_t k = start; k < digitsEnd; ++k) value = value * 10 + (label[k] - '0');
  number = value;
  verso = side == 'v';
  return true;
}

bool ReadXmlDocument(const Context& context, std::string_view bytes, const std::string& baseUrl,
                     const XmlReadOptions& options, Document& document, std::string* errorMessage) {
  std::vector<std::string> refused;
  LoaderScope scope(baseUrl, &refused);
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) bytes = bytes.substr(0, INT32_MAX);
  ReaderPtr reader(xmlReaderForMemory(bytes.data(), static_cast<int>(bytes.size()),
                                      baseUrl.empty() ? nullptr : baseUrl.c_str(), nullptr, kParseOptions),
                   FreeReader);
  return ReadStream(context, std::move(reader), baseUrl, bytes.size(), options, document, errorMessage, refused);
}

bool OpenXmlDocument(const Context& context, Document& document, const std::string& pathGiven,
                     const XmlReadOptions& options, std::string* errorMessage) {
  const std::string path = pathGiven;  // the caller may pass the document's own path
  ClearDocument(document);
  document.path = path;
  std::error_code error;
  if (fs::is_directory(path, error)) return ReadFolder(context, document, path, errorMessage);
  if (!fs::is_regular_file(path, error)) {
    if (errorMessage) *errorMessage = context.Tr(msg::kFileNotFound) + "\n" + path;
    return false;
  }
  std::vector<std::string> refused;
  LoaderScope scope(path, &refused);
  ReaderPtr reader(xmlReaderForFile(path.c_str(), nullptr, kParseOptions), FreeReader);
  const uintmax_t size = fs::file_size(path, error);
  const bool read = ReadStream(context, std::move(reader), path, error ? 0 : static_cast<size_t>(size), options,
                               document, errorMessage, refused);
  if (!read) {
    ClearDocument(document);
    document.path = path;
  }
  return read;
}

}  // namespace kalix
