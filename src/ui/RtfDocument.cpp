#include "ui/RtfDocument.h"

#include "platform/Cp1252.h"
#include "platform/Metafile.h"
#include "platform/TextFile.h"
#include "ui/MetafilePainter.h"

#include <QColor>
#include <QImage>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTextOption>
#include <QUrl>
#include <QVariant>
#include <algorithm>
#include <map>
#include <vector>

namespace kalix::ui {
namespace {

enum class Dest { Text, Skip, FontTable, ColorTable, Picture };

struct CharState {
  bool bold = false, italic = false, underline = false, strike = false;
  int halfPoints = 24;
  int font = -1;
  int colour = 0;       // index in the colour table, 0 = automatic
  int background = 0;
  bool superscript = false, subscript = false;
};

struct ParaState {
  Qt::Alignment align = Qt::AlignLeft;
  int leftTwips = 0, rightTwips = 0, firstTwips = 0, beforeTwips = 0, afterTwips = 0;
  std::vector<int> tabsTwips;  // explicit tab stops ("tx")
};

struct Group {
  Dest dest = Dest::Text;
  CharState ch;
  ParaState para;
  int unicodeSkip = 1;
};

class Converter {
 public:
  explicit Converter(QTextDocument& doc) : doc_(doc), cursor_(&doc) {}

  void Run(std::string_view rtf) {
    size_t i = 0;
    const size_t n = rtf.size();
    while (i < n) {
      char c = rtf[i];
      if (c == '{') {
        stack_.push_back(g_);
        pendingStar_ = false;
        ++i;
        continue;
      }
      if (c == '}') {
        EndGroup();
        ++i;
        continue;
      }
      if (c == '\\') {
        i = Control(rtf, i + 1);
        continue;
      }
      if (c == '\r' || c == '\n') {
        ++i;
        continue;
      }
      if (skipChars_ > 0) {
        --skipChars_;
        ++i;
        continue;
      }
      Char(static_cast<unsigned char>(c));
      ++i;
    }
    Flush();
  }

 private:
  // --- output ---------------------------------------------------------------

  QTextCharFormat CharFormat() const {
    QTextCharFormat f;
    f.setFontWeight(g_.ch.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(g_.ch.italic);
    f.setFontUnderline(g_.ch.underline);
    f.setFontStrikeOut(g_.ch.strike);
    f.setFontPointSize(g_.ch.halfPoints > 0 ? g_.ch.halfPoints / 2.0 : 12);
    auto face = fonts_.find(g_.ch.font);
    if (face != fonts_.end() && !face->second.isEmpty()) f.setFontFamilies({face->second});
    if (g_.ch.colour > 0 && g_.ch.colour < static_cast<int>(colours_.size()) && colours_[g_.ch.colour].isValid())
      f.setForeground(colours_[g_.ch.colour]);
    if (g_.ch.background > 0 && g_.ch.background < static_cast<int>(colours_.size()) &&
        colours_[g_.ch.background].isValid())
      f.setBackground(colours_[g_.ch.background]);
    if (g_.ch.superscript) f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    if (g_.ch.subscript) f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    return f;
  }

  QTextBlockFormat BlockFormat() const {
    QTextBlockFormat b;
    b.setAlignment(g_.para.align);
    b.setLeftMargin(g_.para.leftTwips / 15.0);
    b.setRightMargin(g_.para.rightTwips / 15.0);
    b.setTextIndent(g_.para.firstTwips / 15.0);
    b.setTopMargin(g_.para.beforeTwips / 15.0);
    b.setBottomMargin(g_.para.afterTwips / 15.0);
    // Qt measures tab stops from the start of the (first) line, rich text
    // from the page margin. A hanging first line has an implicit stop at the
    // left indent, where the text of a list item starts after its bullet.
    const double lineStart = static_cast<double>(g_.para.leftTwips) + g_.para.firstTwips;
    QList<QTextOption::Tab> tabs;
    if (g_.para.firstTwips < 0) tabs << QTextOption::Tab(-static_cast<double>(g_.para.firstTwips) / 15.0, QTextOption::LeftTab);
    for (int t : g_.para.tabsTwips) {
      if (t > lineStart) tabs << QTextOption::Tab((t - lineStart) / 15.0, QTextOption::LeftTab);
    }
    if (!tabs.isEmpty()) b.setTabPositions(tabs);
    return b;
  }

  void Flush() {
    if (pending_.isEmpty()) return;
    if (!blockStarted_) StartBlock();
    cursor_.insertText(pending_, CharFormat());
    pending_.clear();
  }

  void StartBlock() {
    cursor_.setBlockFormat(BlockFormat());
    blockStarted_ = true;
  }

  void Emit(QChar ch) {
    if (g_.dest == Dest::FontTable) {
      fontName_ += ch;
      return;
    }
    if (g_.dest != Dest::Text) return;
    pending_ += ch;
  }

  void Char(unsigned char c) {
    if (g_.dest == Dest::Picture) {
      pictHex_.push_back(static_cast<char>(c));
      return;
    }
    if (g_.dest == Dest::ColorTable) {
      if (c == ';') {
        colours_.push_back(colourSet_ ? QColor(red_, green_, blue_) : QColor());
        red_ = green_ = blue_ = 0;
        colourSet_ = false;
      }
      return;
    }
    if (g_.dest == Dest::FontTable) {
      if (c == ';') {
        fonts_[fontIndex_] = fontName_.trimmed();
        fontName_.clear();
      } else {
        fontName_ += QChar(Cp1252ToUnicode(c));
      }
      return;
    }
    Emit(QChar(Cp1252ToUnicode(c)));
  }

  void Paragraph() {
    if (g_.dest != Dest::Text) return;
    Flush();
    if (!blockStarted_) StartBlock();
    cursor_.insertBlock(BlockFormat(), CharFormat());
    blockStarted_ = true;
  }

  void EndGroup() {
    if (stack_.empty()) return;
    if (g_.dest == Dest::Text) Flush();
    if (g_.dest == Dest::Picture && (stack_.back().dest != Dest::Picture)) Picture();
    if (g_.dest == Dest::FontTable && stack_.back().dest == Dest::FontTable && !fontName_.isEmpty()) {
      fonts_[fontIndex_] = fontName_.trimmed().remove(';');
      fontName_.clear();
    }
    g_ = stack_.back();
    stack_.pop_back();
  }

  // --- pictures ----------------------------------------------------------------

  void Picture() {
    std::string bytes;
    bytes.reserve(pictHex_.size() / 2);
    int high = -1;
    for (char ch : pictHex_) {
      int v;
      if (ch >= '0' && ch <= '9') v = ch - '0';
      else if (ch >= 'a' && ch <= 'f') v = ch - 'a' + 10;
      else if (ch >= 'A' && ch <= 'F') v = ch - 'A' + 10;
      else continue;
      if (high < 0) {
        high = v;
      } else {
        bytes.push_back(static_cast<char>(high * 16 + v));
        high = -1;
      }
    }
    pictHex_.clear();
    QImage image;
    int width = pict_.goalWidth > 0 ? TwipsToPixels(pict_.goalWidth) : 0;
    int height = pict_.goalHeight > 0 ? TwipsToPixels(pict_.goalHeight) : 0;
    if (pictKind_ == 1) {
      if (auto pic = ParseMetafile(bytes, pict_)) {
        width = width > 0 ? width : pic->Width();
        height = height > 0 ? height : pic->Height();
        if (width > 0 && height > 0 && width <= 4000 && height <= 4000) image = RenderMetafile(*pic, width, height);
      }
    } else if (pictKind_ == 2) {
      image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
      if (!image.isNull() && width > 0 && height > 0) {
        image = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      }
    }
    pict_ = PictureSize();
    pictKind_ = 0;
    if (image.isNull()) return;
    // Insert into the enclosing text.
    Dest saved = g_.dest;
    g_.dest = Dest::Text;
    Flush();
    if (!blockStarted_) StartBlock();
    QString name = QString("kalix-picture-%1").arg(++pictures_);
    doc_.addResource(QTextDocument::ImageResource, QUrl(name), QVariant(image));
    QTextImageFormat f;
    f.setName(name);
    f.setWidth(image.width());
    f.setHeight(image.height());
    cursor_.insertImage(f);
    g_.dest = saved;
  }

  // --- control words -----------------------------------------------------------

  size_t Control(std::string_view rtf, size_t i) {
    const size_t n = rtf.size();
    if (i >= n) return i;
    char c = rtf[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
      ++i;
      switch (c) {
        case '\'': {
          if (i + 1 < n) {
            int v = QString::fromLatin1(rtf.substr(i, 2).data(), 2).toInt(nullptr, 16);
            i += 2;
            if (skipChars_ > 0) {
              --skipChars_;
            } else {
              Char(static_cast<unsigned char>(v));
            }
          }
          return i;
        }
        case '*': pendingStar_ = true; return i;
        case '~': Emit(QChar(0x00A0)); return i;
        case '-': Emit(QChar(0x00AD)); return i;
        case '_': Emit(QChar(0x2011)); return i;
        case '\r':
        case '\n': Paragraph(); return i;
        default:
          Char(static_cast<unsigned char>(c));  // \\ \{ \} and others stand for themselves
          return i;
      }
    }
    size_t start = i;
    while (i < n && ((rtf[i] >= 'a' && rtf[i] <= 'z') || (rtf[i] >= 'A' && rtf[i] <= 'Z'))) ++i;
    std::string word(rtf.substr(start, i - start));
    bool hasParam = false;
    int param = 0;
    size_t pstart = i;
    if (i < n && (rtf[i] == '-' || (rtf[i] >= '0' && rtf[i] <= '9'))) {
      ++i;
      while (i < n && rtf[i] >= '0' && rtf[i] <= '9') ++i;
      std::string digits(rtf.substr(pstart, i - pstart));
      long long v = std::strtoll(digits.c_str(), nullptr, 10);
      if (v > 1000000000) v = 1000000000;
      if (v < -1000000000) v = -1000000000;
      param = static_cast<int>(v);
      hasParam = digits != "-";
    }
    if (i < n && rtf[i] == ' ') ++i;
    Word(word, hasParam, param);
    return i;
  }

  void Destination(Dest d) {
    Flush();
    g_.dest = d;
  }

  // A control word, read as the current destination reads it.
  void Word(const std::string& w, bool hasParam, int param) {
    bool star = pendingStar_;
    pendingStar_ = false;
    switch (g_.dest) {
      case Dest::Skip: return;
      case Dest::Picture: PictureWord(w, hasParam, param); return;
      case Dest::ColorTable: ColourWord(w, param); return;
      case Dest::FontTable: FontTableWord(w, param); return;
      case Dest::Text: break;
    }
    Flush();  // text so far keeps the formatting it was written with
    if (DestinationWord(w, star) || CharacterWord(w, param) || CharacterFormatWord(w, hasParam, param)) return;
    ParagraphFormatWord(w, param);
  }

  // The size and kind of a picture.
  void PictureWord(const std::string& w, bool hasParam, int param) {
    if (w == "picwgoal") pict_.goalWidth = param;
    else if (w == "pichgoal") pict_.goalHeight = param;
    else if (w == "picw") pict_.width = param;
    else if (w == "pich") pict_.height = param;
    else if (w == "wmetafile") { pictKind_ = 1; pict_.mappingMode = hasParam ? param : 0; }
    else if (w == "pngblip" || w == "jpegblip") pictKind_ = 2;
    else if (w == "emfblip" || w == "macpict" || w == "dibitmap" || w == "wbitmap" || w == "pmmetafile")
      pictKind_ = 0;
    else if (w == "bin") g_.dest = Dest::Skip;  // binary picture data: not read
  }

  void ColourWord(const std::string& w, int param) {
    if (w == "red") { red_ = param; colourSet_ = true; }
    else if (w == "green") { green_ = param; colourSet_ = true; }
    else if (w == "blue") { blue_ = param; colourSet_ = true; }
  }

  void FontTableWord(const std::string& w, int param) {
    if (w == "f") {
      fontIndex_ = param;
      fontName_.clear();
    } else if (w == "panose" || w == "falt" || w == "fname" || w == "fontemb" || w == "fontfile") {
      g_.dest = Dest::Skip;
    }
  }

  // A word that starts a destination, read or skipped (a starred word that
  // is not known is skipped); false for any other word.
  bool DestinationWord(const std::string& w, bool star) {
    if (w == "fonttbl") { Destination(Dest::FontTable); return true; }
    if (w == "colortbl") { Destination(Dest::ColorTable); colours_.clear(); return true; }
    if (w == "pict") {
      Destination(Dest::Picture);
      pict_ = PictureSize();
      pictKind_ = 0;
      pictHex_.clear();
      return true;
    }
    if (w == "shppict") return true;  // its \pict follows
    if (w == "nonshppict") {
      Destination(Dest::Skip);  // the same picture again, in an older form
      return true;
    }
    if (w == "field") return true;  // the field's result stays, its instruction is skipped
    static const char* const kSkipped[] = {
        "info", "stylesheet", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr",
        "footerf", "footnote", "listtable", "listoverridetable", "rsidtbl", "generator", "xmlnstbl",
        "latentstyles", "themedata", "colorschememapping", "datastore", "fldinst", "pgdsctbl", "mmathPr",
        "pnseclvl", "pntext", "pntxta", "pntxtb", "bkmkstart", "bkmkend"};
    for (const char* s : kSkipped) {
      if (w == s) star = true;
    }
    if (star) Destination(Dest::Skip);
    return star;
  }

  // Paragraph ends, tabs, special characters and Unicode characters.
  bool CharacterWord(const std::string& w, int param) {
    struct Special {
      const char* word;
      char16_t character;
    };
    static constexpr Special kSpecial[] = {
        {"line", 0x2028},   {"tab", '\t'},         {"cell", '\t'},        {"emdash", 0x2014},
        {"endash", 0x2013}, {"bullet", 0x2022},    {"lquote", 0x2018},    {"rquote", 0x2019},
        {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
    };
    if (w == "par" || w == "sect" || w == "row") {
      Paragraph();
      return true;
    }
    for (const Special& s : kSpecial) {
      if (w == s.word) {
        Emit(QChar(s.character));
        return true;
      }
    }
    if (w == "u") {
      int code = param < 0 ? param + 65536 : param;
      Emit(QChar(static_cast<char16_t>(code)));
      skipChars_ = g_.unicodeSkip;
      return true;
    }
    if (w == "uc") {
      g_.unicodeSkip = std::max(0, param);
      return true;
    }
    return false;
  }

  bool CharacterFormatWord(const std::string& w, bool hasParam, int param) {
    const bool on = !hasParam || param != 0;
    CharState& ch = g_.ch;
    if (w == "plain") ch = CharState();
    else if (w == "b") ch.bold = on;
    else if (w == "i") ch.italic = on;
    else if (w == "ul" || w == "uld" || w == "uldb" || w == "ulw" || w == "uldash") ch.underline = on;
    else if (w == "ulnone") ch.underline = false;
    else if (w == "strike") ch.strike = on;
    // Sizes are kept within what word processors accept, so a damaged file
    // cannot ask for giant glyphs.
    else if (w == "fs") ch.halfPoints = hasParam ? std::clamp(param, 2, 3276) : 24;
    else if (w == "f") ch.font = param;
    else if (w == "cf") ch.colour = param;
    else if (w == "cb" || w == "highlight" || w == "chcbpat") ch.background = param;
    else if (w == "super") { ch.superscript = on; ch.subscript = false; }
    else if (w == "sub") { ch.subscript = on; ch.superscript = false; }
    else if (w == "nosupersub") ch.superscript = ch.subscript = false;
    else return false;
    return true;
  }

  // Paragraph formatting: applies to the paragraph being written. Distances
  // are kept within what word processors accept, so a damaged file cannot
  // ask for giant pages.
  void ParagraphFormatWord(const std::string& w, int param) {
    constexpr int kMaxTwips = 31680;  // 22 inches
    const int twips = std::clamp(param, -kMaxTwips, kMaxTwips);
    ParaState& para = g_.para;
    if (w == "pard") para = ParaState();
    else if (w == "ql") para.align = Qt::AlignLeft;
    else if (w == "qc") para.align = Qt::AlignHCenter;
    else if (w == "qr") para.align = Qt::AlignRight;
    else if (w == "qj") para.align = Qt::AlignJustify;
    else if (w == "li") para.leftTwips = twips;
    else if (w == "ri") para.rightTwips = twips;
    else if (w == "fi") para.firstTwips = twips;
    else if (w == "sb") para.beforeTwips = std::max(0, twips);
    else if (w == "sa") para.afterTwips = std::max(0, twips);
    else if (w == "tx" && para.tabsTwips.size() < 64) para.tabsTwips.push_back(twips);
    else return;
    Flush();
    if (blockStarted_) cursor_.setBlockFormat(BlockFormat());
  }

  QTextDocument& doc_;
  QTextCursor cursor_;
  Group g_;
  std::vector<Group> stack_;
  QString pending_;
  bool blockStarted_ = false;
  bool pendingStar_ = false;
  int skipChars_ = 0;
  std::map<int, QString> fonts_;
  int fontIndex_ = 0;
  QString fontName_;
  std::vector<QColor> colours_;
  int red_ = 0, green_ = 0, blue_ = 0;
  bool colourSet_ = false;
  std::string pictHex_;
  PictureSize pict_;
  int pictKind_ = 0;  // 0 unknown, 1 Windows metafile, 2 PNG/JPEG
  int pictures_ = 0;
};

}  // namespace

bool RtfToDocument(std::string_view rtf, QTextDocument& document) {
  document.clear();
  if (rtf.substr(0, 5) != "{\\rtf") return false;
  document.setUndoRedoEnabled(false);
  Converter(document).Run(rtf);
  return true;
}

bool LoadDisplayFile(const std::string& path, QTextDocument& document) {
  std::optional<std::string> bytes = ReadBinaryFile(path);
  if (!bytes) return false;
  if (RtfToDocument(*bytes, document)) return true;
  document.clear();
  document.setPlainText(FromCp1252(TextModeInput(*bytes)));
  return true;
}

}  // namespace kalix::ui
