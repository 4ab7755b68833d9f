#include "ui/MetafilePainter.h"

#include "platform/Cp1252.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QFontMetricsF>
#include <QPainter>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <optional>
#include <variant>
#include <vector>

namespace kalix::ui {

QRect PictureRect(int paneWidth, int paneHeight, const GlyphPicture& picture) {
  int32_t right = picture.right;
  int32_t bottom = picture.bottom;
  if (right <= 0 || bottom <= 0) return QRect();
  double sx = static_cast<double>(paneWidth - 4) / right;
  double sy = static_cast<double>(paneHeight - 4) / bottom;
  if (sx < 1 || sy < 1) {
    double f = std::min(sx, sy);
    right = static_cast<int32_t>(std::trunc(right * f));
    bottom = static_cast<int32_t>(std::trunc(bottom * f));
  }
  int left = picture.left + 2, top = picture.top + 2;
  if (right + 2 <= left || bottom + 2 <= top) return QRect();
  return QRect(QPoint(left, top), QPoint(right + 2 - 1, bottom + 2 - 1));
}

namespace {

// --- Records ---------------------------------------------------------------

int16_t S(const WmfRecord& r, size_t i) { return static_cast<int16_t>(r.params[i]); }

QColor ColorRef(const WmfRecord& r, size_t i) {
  uint16_t lo = r.params[i], hi = r.params[i + 1];
  return QColor(lo & 0xFF, (lo >> 8) & 0xFF, hi & 0xFF);
}

// The bytes held by the parameter words from `first` on.
std::string ParamBytes(const WmfRecord& r, size_t first) {
  std::string bytes;
  if (first >= r.params.size()) return bytes;
  bytes.reserve((r.params.size() - first) * 2);
  for (size_t i = first; i < r.params.size(); ++i) {
    bytes.push_back(static_cast<char>(r.params[i] & 0xFF));
    bytes.push_back(static_cast<char>(r.params[i] >> 8));
  }
  return bytes;
}

// --- Graphic objects ---------------------------------------------------------

struct PenObject {
  int style = 0;  // PS_*
  int width = 0;  // logical units
  QColor color = Qt::black;
};

struct BrushObject {
  int style = 0;  // BS_SOLID 0, BS_NULL 1, BS_HATCHED 2, patterns 3+
  QColor color = Qt::white;
  int hatch = 0;
};

struct FontObject {
  int height = 0;
  int width = 0;
  int escapement = 0;
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int charset = 0;
  QString face;
};

struct OtherObject {};

using GdiObject = std::variant<PenObject, BrushObject, FontObject, OtherObject>;

// The device context state that SAVEDC saves: the selected objects are kept
// as values, so that RESTOREDC restores them even when the objects were
// deleted in between.
struct DcState {
  PenObject pen;
  BrushObject brush;
  FontObject font;
  QColor textColor = Qt::black;
  QColor bkColor = Qt::white;
  int bkMode = 2;  // OPAQUE
  int textAlign = 0;
  int polyFillMode = 1;  // ALTERNATE
  QPointF windowOrg{0, 0};
  QSizeF windowExt{1, 1};
  QPointF viewportOrg{0, 0};
  QSizeF viewportExt{1, 1};
  QPointF current{0, 0};
};

class Player {
 public:
  Player(QPainter& painter, const GlyphPicture& picture, const QRectF& target)
      : p_(painter), picture_(picture), target_(target) {
    FindFrame();
    dc_.windowOrg = frameOrg_;
    dc_.windowExt = frameExt_;
    dc_.viewportOrg = QPointF(0, 0);
    dc_.viewportExt = frameExt_;
  }

  void Play() {
    p_.save();
    p_.setClipRect(target_);
    p_.setRenderHint(QPainter::Antialiasing, true);
    p_.setRenderHint(QPainter::TextAntialiasing, true);
    p_.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (const WmfRecord& r : picture_.records) Record(r);
    p_.restore();
  }

 private:
  // The picture's frame in logical units: the first window origin and extent
  // the records set, else the placeable box, else the bounds.
  void FindFrame() {
    bool org = false, ext = false;
    for (const WmfRecord& r : picture_.records) {
      if (!org && r.function == wmf::kSetWindowOrg && r.params.size() >= 2) {
        frameOrg_ = QPointF(S(r, 1), S(r, 0));
        org = true;
      }
      if (!ext && r.function == wmf::kSetWindowExt && r.params.size() >= 2 && S(r, 0) != 0 &&
          S(r, 1) != 0) {
        frameExt_ = QSizeF(S(r, 1), S(r, 0));
        ext = true;
      }
      if (org && ext) break;
    }
    if (!ext) {
      if (picture_.placeable && picture_.boxRight != picture_.boxLeft &&
          picture_.boxBottom != picture_.boxTop) {
        if (!org) frameOrg_ = QPointF(picture_.boxLeft, picture_.boxTop);
        frameExt_ = QSizeF(picture_.boxRight - picture_.boxLeft, picture_.boxBottom - picture_.boxTop);
      } else {
        frameExt_ = QSizeF(std::max(1, picture_.Width()), std::max(1, picture_.Height()));
      }
    }
  }

  // Logical to target coordinates.
  QTransform Mapping() const {
    double wx = dc_.windowExt.width() == 0 ? 1 : dc_.windowExt.width();
    double wy = dc_.windowExt.height() == 0 ? 1 : dc_.windowExt.height();
    double sx = dc_.viewportExt.width() / wx;
    double sy = dc_.viewportExt.height() / wy;
    double tx = target_.width() / frameExt_.width();
    double ty = target_.height() / frameExt_.height();
    // device = (log - windowOrg) * s + viewportOrg; target = topLeft + device * t
    QTransform t;
    t.translate(target_.left(), target_.top());
    t.scale(tx, ty);
    t.translate(dc_.viewportOrg.x(), dc_.viewportOrg.y());
    t.scale(sx, sy);
    t.translate(-dc_.windowOrg.x(), -dc_.windowOrg.y());
    return t;
  }

  QPointF Map(double x, double y) const { return Mapping().map(QPointF(x, y)); }

  QPen MakePen() const {
    const PenObject& o = dc_.pen;
    if (o.style == 5) return QPen(Qt::NoPen);
    QTransform m = Mapping();
    double scale = std::sqrt(std::abs(m.m11() * m.m22()));
    double w = o.width * scale;
    QPen pen(o.color);
    pen.setWidthF(std::clamp(w, 1.0, 4096.0));
    pen.setCosmetic(true);
    switch (o.style & 0x0F) {
      case 1: pen.setStyle(Qt::DashLine); break;
      case 2: pen.setStyle(Qt::DotLine); break;
      case 3: pen.setStyle(Qt::DashDotLine); break;
      case 4: pen.setStyle(Qt::DashDotDotLine); break;
      default: pen.setStyle(Qt::SolidLine); break;
    }
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
  }

  QBrush MakeBrush() const {
    const BrushObject& o = dc_.brush;
    switch (o.style) {
      case 1: return QBrush(Qt::NoBrush);
      case 2: {
        static const Qt::BrushStyle kHatch[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(o.color, o.hatch >= 0 && o.hatch < 6 ? kHatch[o.hatch] : Qt::SolidPattern);
      }
      default: return QBrush(o.color);
    }
  }

  // Draws a shape given in logical coordinates with the current pen and brush.
  void Fill(const QPainterPath& logical, bool stroke = true, bool fill = true) {
    QPainterPath path = Mapping().map(logical);
    path.setFillRule(dc_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
    if (fill) p_.fillPath(path, MakeBrush());
    if (stroke) p_.strokePath(path, MakePen());
  }

  QPolygonF Points(const WmfRecord& r, size_t first, size_t count) const {
    QPolygonF poly;
    poly.reserve(static_cast<int>(count));
    for (size_t i = 0; i < count; ++i) poly << QPointF(S(r, first + 2 * i), S(r, first + 2 * i + 1));
    return poly;
  }

  static QRectF Box(const WmfRecord& r, size_t at) {
    // bottom, right, top, left
    double bottom = S(r, at), right = S(r, at + 1), top = S(r, at + 2), left = S(r, at + 3);
    return QRectF(QPointF(left, top), QPointF(right, bottom)).normalized();
  }

  void Store(GdiObject object) {
    for (size_t i = 0; i < objects_.size(); ++i) {
      if (!objects_[i]) {
        objects_[i] = std::move(object);
        return;
      }
    }
    objects_.push_back(std::move(object));
  }

  void Select(size_t index) {
    if (index >= objects_.size() || !objects_[index]) return;
    const GdiObject& o = *objects_[index];
    if (auto* pen = std::get_if<PenObject>(&o)) dc_.pen = *pen;
    else if (auto* brush = std::get_if<BrushObject>(&o)) dc_.brush = *brush;
    else if (auto* font = std::get_if<FontObject>(&o)) dc_.font = *font;
  }

  void Arc(const WmfRecord& r, int kind) {  // 0 arc, 1 pie, 2 chord
    if (r.params.size() < 8) return;
    QPointF end(S(r, 1), S(r, 0)), start(S(r, 3), S(r, 2));
    QRectF box = Box(r, 4);
    if (box.isEmpty()) return;
    QPointF c = box.center();
    auto angle = [&](QPointF p) {
      // Angles on the ellipse in QPainterPath's convention (degrees,
      // counter-clockwise with y up in logical space).
      double a = std::atan2(-(p.y() - c.y()) / (box.height() / 2), (p.x() - c.x()) / (box.width() / 2));
      return qRadiansToDegrees(a);
    };
    double a0 = angle(start), a1 = angle(end);
    double sweep = a1 - a0;
    // Windows draws counter-clockwise (in device space with y down, the arc
    // goes from start to end counter-clockwise on screen).
    QTransform m = Mapping();
    bool flipped = (m.m11() * m.m22()) < 0;
    if (!flipped) {
      if (sweep <= 0) sweep += 360;
    } else {
      if (sweep >= 0) sweep -= 360;
    }
    QPainterPath path;
    if (kind == 1) {
      path.moveTo(c);
      path.arcTo(box, a0, sweep);
      path.closeSubpath();
    } else {
      path.arcMoveTo(box, a0);
      path.arcTo(box, a0, sweep);
      if (kind == 2) path.closeSubpath();
    }
    Fill(path, true, kind != 0);
  }

  QFont MakeFont(double& pixelHeight) const {
    const FontObject& f = dc_.font;
    QTransform m = Mapping();
    double scale = std::abs(m.m22());
    QFont font(f.face.isEmpty() ? QStringLiteral("Arial") : f.face);
    double h = std::abs(f.height) * scale;
    if (h <= 0) h = 12 * scale;
    if (f.height > 0) {
      // A positive height is the cell height: take off the internal leading.
      QFont probe(font);
      probe.setPixelSize(100);
      QFontMetricsF fm(probe);
      double cell = fm.ascent() + fm.descent();
      if (cell > 0) h = h * 100 / cell;
    }
    // A picture's text is never taller than a few screens: a corrupt height
    // must not ask the font engine for giant glyphs.
    h = std::clamp(h, 1.0, 4096.0);
    pixelHeight = h;
    font.setPixelSize(static_cast<int>(std::lround(h)));
    font.setWeight(f.weight >= 600 ? QFont::Bold : (f.weight > 0 && f.weight < 350 ? QFont::Light : QFont::Normal));
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    if (f.width != 0) {
      QFontMetricsF fm(font);
      double avg = fm.averageCharWidth();
      double want = std::abs(f.width) * std::abs(m.m11());
      if (avg > 0 && want > 0) font.setStretch(std::clamp(static_cast<int>(want / avg * 100), 1, 4000));
    }
    return font;
  }

  void Text(double x, double y, const std::string& bytes, const std::optional<QRectF>& opaque,
            const std::vector<int16_t>& dx) {
    if (dc_.textAlign & 1) {  // TA_UPDATECP
      x = dc_.current.x();
      y = dc_.current.y();
    }
    QString text = FromCp1252(bytes);
    double pixelHeight = 0;
    QFont font = MakeFont(pixelHeight);
    QFontMetricsF fm(font);
    QTransform m = Mapping();
    QPointF origin = m.map(QPointF(x, y));
    if (opaque) p_.fillRect(m.mapRect(*opaque), dc_.bkColor);

    // Advance of each character: the dx array when given, else the font's.
    std::vector<double> advances;
    double total = 0;
    for (int i = 0; i < text.size(); ++i) {
      double a = i < static_cast<int>(dx.size()) ? dx[i] * std::abs(m.m11()) : fm.horizontalAdvance(text[i]);
      advances.push_back(a);
      total += a;
    }
    int align = dc_.textAlign;
    double left = 0;
    if ((align & 6) == 6) left = -total / 2;       // TA_CENTER
    else if (align & 2) left = -total;             // TA_RIGHT
    double top;
    if ((align & 24) == 24) top = -fm.ascent();    // TA_BASELINE
    else if (align & 8) top = -(fm.ascent() + fm.descent());  // TA_BOTTOM
    else top = 0;                                  // TA_TOP

    p_.save();
    p_.setTransform(QTransform());
    p_.translate(origin);
    if (dc_.font.escapement != 0) p_.rotate(-dc_.font.escapement / 10.0);
    if (dc_.bkMode == 2 && !opaque) {
      p_.fillRect(QRectF(left, top, total, fm.ascent() + fm.descent()), dc_.bkColor);
    }
    p_.setFont(font);
    p_.setPen(dc_.textColor);
    double at = left;
    double baseline = top + fm.ascent();
    if (dx.empty()) {
      p_.drawText(QPointF(left, baseline), text);
    } else {
      for (int i = 0; i < text.size(); ++i) {
        p_.drawText(QPointF(at, baseline), QString(text[i]));
        at += advances[i];
      }
    }
    p_.restore();
    if (dc_.textAlign & 1) {
      QPointF end = m.inverted().map(origin + QPointF((align & 2) ? 0 : total, 0));
      dc_.current = QPointF(end.x(), dc_.current.y());
    }
  }

  // A device-independent bitmap (BITMAPINFO and bits) as an image.
  static QImage DibImage(const std::string& dib) {
    if (dib.size() < 40) return QImage();
    auto u32 = [&](size_t at) {
      return static_cast<uint32_t>(static_cast<unsigned char>(dib[at])) |
             static_cast<uint32_t>(static_cast<unsigned char>(dib[at + 1])) << 8 |
             static_cast<uint32_t>(static_cast<unsigned char>(dib[at + 2])) << 16 |
             static_cast<uint32_t>(static_cast<unsigned char>(dib[at + 3])) << 24;
    };
    uint32_t headerSize = u32(0);
    if (headerSize < 12 || headerSize > dib.size()) return QImage();
    if (headerSize >= 40) {
      int32_t w = static_cast<int32_t>(u32(4));
      int32_t h = static_cast<int32_t>(u32(8));
      int64_t area = static_cast<int64_t>(std::abs(static_cast<int64_t>(w))) * std::abs(static_cast<int64_t>(h));
      if (w <= 0 || h == 0 || area > 16 * 1024 * 1024) return QImage();
    }
    uint16_t bitCount = headerSize >= 40 ? static_cast<uint16_t>(u32(14) & 0xFFFF) : 24;
    uint32_t colours = headerSize >= 40 ? u32(32) : 0;
    if (bitCount <= 8 && colours == 0) colours = 1u << bitCount;
    if (bitCount > 8) colours = 0;
    if (headerSize >= 40 && u32(16) == 3) colours = 3;  // BI_BITFIELDS masks
    uint64_t offset = 14 + static_cast<uint64_t>(headerSize) + 4ull * colours;
    if (offset > 14 + dib.size()) return QImage();
    QByteArray file;
    file.reserve(static_cast<int>(14 + dib.size()));
    uint32_t fileSize = static_cast<uint32_t>(14 + dib.size());
    auto put32 = [&](uint32_t v) {
      for (int i = 0; i < 4; ++i) file.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    file.append("BM", 2);
    put32(fileSize);
    put32(0);
    put32(static_cast<uint32_t>(offset));
    file.append(dib.data(), static_cast<int>(dib.size()));
    QImage image;
    image.loadFromData(file, "BMP");
    return image;
  }

  void Bitmap(const WmfRecord& r, bool withUsage) {
    // STRETCHDIB: rop(2), usage, srcH, srcW, ySrc, xSrc, destH, destW, yDest, xDest, DIB
    // DIBSTRETCHBLT: rop(2), srcH, srcW, ySrc, xSrc, destH, destW, yDest, xDest, DIB
    size_t first = withUsage ? 3 : 2;
    if (r.params.size() < first + 8 + 20) return;
    double srcH = S(r, first), srcW = S(r, first + 1), ySrc = S(r, first + 2), xSrc = S(r, first + 3);
    double destH = S(r, first + 4), destW = S(r, first + 5), yDest = S(r, first + 6), xDest = S(r, first + 7);
    QImage image = DibImage(ParamBytes(r, first + 8));
    if (image.isNull()) return;
    QRectF dest = Mapping().mapRect(QRectF(xDest, yDest, destW, destH));
    QRectF source(xSrc, image.height() - ySrc - srcH, srcW, srcH);
    if (srcW <= 0 || srcH <= 0) source = QRectF(image.rect());
    // The source rectangle counts rows from the bottom of the bitmap.
    source = source.intersected(QRectF(image.rect()));
    if (source.isEmpty()) source = QRectF(image.rect());
    // The raster operation: word processors draw a masked bitmap as an OR of
    // the mask, then an AND of the picture.
    uint32_t rop = static_cast<uint32_t>(r.params[0]) | (static_cast<uint32_t>(r.params[1]) << 16);
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (rop) {
      case 0x00EE0086: mode = QPainter::RasterOp_SourceOrDestination; break;   // SRCPAINT
      case 0x008800C6: mode = QPainter::RasterOp_SourceAndDestination; break;  // SRCAND
      case 0x00660046: mode = QPainter::RasterOp_SourceXorDestination; break;  // SRCINVERT
      default: break;                                                           // SRCCOPY and others
    }
    p_.save();
    if (mode != QPainter::CompositionMode_SourceOver && p_.paintEngine() &&
        p_.paintEngine()->hasFeature(QPaintEngine::RasterOpModes)) {
      p_.setCompositionMode(mode);
    }
    p_.drawImage(dest, image.convertToFormat(QImage::Format_RGB32), source);
    p_.restore();
  }

  // One record, handed to the family it belongs to; records of no family
  // (unknown, or without effect on the picture) are skipped.
  void Record(const WmfRecord& r) {
    if (MappingRecord(r) || SettingRecord(r) || ObjectRecord(r) || DrawingRecord(r) || TextRecord(r)) return;
    BitmapRecord(r);
  }

  // --- Mapping: window and viewport origins and extents ---
  bool MappingRecord(const WmfRecord& r) {
    const size_t n = r.params.size();
    switch (r.function) {
      case wmf::kSetWindowOrg:
        if (n >= 2) dc_.windowOrg = QPointF(S(r, 1), S(r, 0));
        break;
      case wmf::kSetWindowExt:
        if (n >= 2 && S(r, 0) != 0 && S(r, 1) != 0) dc_.windowExt = QSizeF(S(r, 1), S(r, 0));
        break;
      case wmf::kSetViewportOrg:
        if (n >= 2) dc_.viewportOrg = QPointF(S(r, 1), S(r, 0));
        break;
      case wmf::kSetViewportExt:
        if (n >= 2 && S(r, 0) != 0 && S(r, 1) != 0) dc_.viewportExt = QSizeF(S(r, 1), S(r, 0));
        break;
      case 0x0211:  // OFFSETVIEWPORTORG
        if (n >= 2) dc_.viewportOrg += QPointF(S(r, 1), S(r, 0));
        break;
      case 0x020F:  // OFFSETWINDOWORG
        if (n >= 2) dc_.windowOrg += QPointF(S(r, 1), S(r, 0));
        break;
      default:
        return false;
    }
    return true;
  }

  // --- State: colours, modes, and the saved states ---
  bool SettingRecord(const WmfRecord& r) {
    const size_t n = r.params.size();
    switch (r.function) {
      case wmf::kSetBkMode:
        if (n >= 1) dc_.bkMode = r.params[0];
        break;
      case wmf::kSetBkColor:
        if (n >= 2) dc_.bkColor = ColorRef(r, 0);
        break;
      case wmf::kSetTextColor:
        if (n >= 2) dc_.textColor = ColorRef(r, 0);
        break;
      case wmf::kSetPolyFillMode:
        if (n >= 1) dc_.polyFillMode = r.params[0];
        break;
      case wmf::kSetTextAlign:
        if (n >= 1) dc_.textAlign = r.params[0];
        break;
      case wmf::kSaveDc:
        saved_.push_back(dc_);
        break;
      case wmf::kRestoreDc:
        RestoreDc(r);
        break;
      default:
        return false;
    }
    return true;
  }

  void RestoreDc(const WmfRecord& r) {
    if (r.params.empty() || saved_.empty()) return;
    int k = S(r, 0);
    // Negative: relative to the latest saved state (-1 the latest);
    // positive: the k-th saved state, counting from 1.
    size_t index;
    if (k < 0) {
      if (static_cast<size_t>(-k) > saved_.size()) return;
      index = saved_.size() - static_cast<size_t>(-k);
    } else if (k > 0 && static_cast<size_t>(k) <= saved_.size()) {
      index = static_cast<size_t>(k) - 1;
    } else {
      return;
    }
    dc_ = saved_[index];
    saved_.resize(index);
  }

  // --- Objects: pens, brushes, fonts and the others, made, chosen, deleted ---
  bool ObjectRecord(const WmfRecord& r) {
    const size_t n = r.params.size();
    switch (r.function) {
      case wmf::kCreatePenIndirect:
        if (n >= 5) Store(PenObject{S(r, 0), S(r, 1), ColorRef(r, 3)});
        else Store(OtherObject{});
        break;
      case wmf::kCreateBrushIndirect:
        if (n >= 4) Store(BrushObject{S(r, 0), ColorRef(r, 1), S(r, 3)});
        else Store(OtherObject{});
        break;
      case wmf::kCreateFontIndirect:
        if (n >= 9) Store(Font(r));
        else Store(OtherObject{});
        break;
      case 0x00F7:  // CREATEPALETTE
      case 0x06FF:  // CREATEREGION
        Store(OtherObject{});
        break;
      case 0x01F9:  // CREATEPATTERNBRUSH
      case 0x0142:  // DIBCREATEPATTERNBRUSH
        Store(BrushObject{0, QColor(128, 128, 128), 0});
        break;
      case wmf::kSelectObject:
        if (n >= 1) Select(r.params[0]);
        break;
      case wmf::kDeleteObject:
        if (n >= 1 && r.params[0] < objects_.size()) objects_[r.params[0]].reset();
        break;
      default:
        return false;
    }
    return true;
  }

  // The font of a CREATEFONTINDIRECT record of at least 9 words.
  static FontObject Font(const WmfRecord& r) {
    FontObject f;
    f.height = S(r, 0);
    f.width = S(r, 1);
    f.escapement = S(r, 2);
    f.weight = S(r, 4);
    f.italic = (r.params[5] & 0xFF) != 0;
    f.underline = (r.params[5] >> 8) != 0;
    f.strikeOut = (r.params[6] & 0xFF) != 0;
    f.charset = r.params[6] >> 8;
    std::string face = ParamBytes(r, 9);
    size_t zero = face.find('\0');
    if (zero != std::string::npos) face.resize(zero);
    if (face.size() > 32) face.resize(32);
    f.face = FromCp1252(face);
    return f;
  }

  // --- Drawing: lines and shapes ---
  bool DrawingRecord(const WmfRecord& r) {
    const size_t n = r.params.size();
    switch (r.function) {
      case wmf::kMoveTo:
        if (n >= 2) dc_.current = QPointF(S(r, 1), S(r, 0));
        break;
      case wmf::kLineTo:
        if (n >= 2) LineTo(QPointF(S(r, 1), S(r, 0)));
        break;
      case wmf::kPolyline:
      case wmf::kPolygon:
        Poly(r);
        break;
      case wmf::kPolyPolygon:
        PolyPolygon(r);
        break;
      case wmf::kRectangle:
      case wmf::kRoundRect:
      case wmf::kEllipse:
        Shape(r);
        break;
      case wmf::kArc: Arc(r, 0); break;
      case wmf::kPie: Arc(r, 1); break;
      case wmf::kChord: Arc(r, 2); break;
      default:
        return false;
    }
    return true;
  }

  void LineTo(const QPointF& to) {
    QPainterPath path;
    path.moveTo(dc_.current);
    path.lineTo(to);
    Fill(path, true, false);
    dc_.current = to;
  }

  // POLYLINE (outlined) or POLYGON (closed and filled).
  void Poly(const WmfRecord& r) {
    const size_t n = r.params.size();
    if (n < 1) return;
    size_t count = r.params[0];
    if (n < 1 + 2 * count || count == 0) return;
    QPolygonF poly = Points(r, 1, count);
    QPainterPath path;
    if (r.function == wmf::kPolygon) {
      path.addPolygon(poly);
      path.closeSubpath();
      Fill(path);
    } else {
      path.addPolygon(poly);
      Fill(path, true, false);
    }
  }

  void PolyPolygon(const WmfRecord& r) {
    const size_t n = r.params.size();
    if (n < 1) return;
    size_t polys = r.params[0];
    if (n < 1 + polys) return;
    size_t total = 0;
    for (size_t i = 0; i < polys; ++i) total += r.params[1 + i];
    if (n < 1 + polys + 2 * total) return;
    QPainterPath path;
    size_t at = 1 + polys;
    for (size_t i = 0; i < polys; ++i) {
      size_t count = r.params[1 + i];
      if (count) {
        path.addPolygon(Points(r, at, count));
        path.closeSubpath();
      }
      at += 2 * count;
    }
    Fill(path);
  }

  // RECTANGLE, ROUNDRECT or ELLIPSE, filled and outlined.
  void Shape(const WmfRecord& r) {
    const size_t n = r.params.size();
    QPainterPath path;
    if (r.function == wmf::kRectangle) {
      if (n < 4) return;
      path.addRect(Box(r, 0));
    } else if (r.function == wmf::kRoundRect) {
      if (n < 6) return;
      path.addRoundedRect(Box(r, 2), std::abs(S(r, 1)) / 2.0, std::abs(S(r, 0)) / 2.0);
    } else {
      if (n < 4) return;
      path.addEllipse(Box(r, 0));
    }
    Fill(path);
  }

  // --- Text ---
  bool TextRecord(const WmfRecord& r) {
    switch (r.function) {
      case wmf::kTextOut:
        TextOut(r);
        break;
      case wmf::kExtTextOut:
        ExtTextOut(r);
        break;
      default:
        return false;
    }
    return true;
  }

  void TextOut(const WmfRecord& r) {
    const size_t n = r.params.size();
    if (n < 1) return;
    size_t count = r.params[0];
    size_t words = (count + 1) / 2;
    if (n < 1 + words + 2) return;
    std::string bytes = ParamBytes(r, 1).substr(0, count);
    Text(S(r, 1 + words + 1), S(r, 1 + words), bytes, std::nullopt, {});
  }

  void ExtTextOut(const WmfRecord& r) {
    const size_t n = r.params.size();
    if (n < 4) return;
    double y = S(r, 0), x = S(r, 1);
    size_t count = r.params[2];
    int options = r.params[3];
    size_t at = 4;
    std::optional<QRectF> opaque;
    if (options & 0x0006) {  // ETO_OPAQUE | ETO_CLIPPED: a rectangle follows
      if (n < at + 4) return;
      double left = S(r, at), top = S(r, at + 1), right = S(r, at + 2), bottom = S(r, at + 3);
      if (options & 0x0002) opaque = QRectF(QPointF(left, top), QPointF(right, bottom)).normalized();
      at += 4;
    }
    size_t words = (count + 1) / 2;
    if (n < at + words) return;
    std::string bytes = ParamBytes(r, at).substr(0, count);
    at += words;
    std::vector<int16_t> dx;
    if (n >= at + count) {
      for (size_t i = 0; i < count; ++i) dx.push_back(S(r, at + i));
    }
    Text(x, y, bytes, opaque, dx);
  }

  // --- Bitmaps ---
  bool BitmapRecord(const WmfRecord& r) {
    switch (r.function) {
      case wmf::kStretchDib: Bitmap(r, true); break;
      case wmf::kDibStretchBlt: Bitmap(r, false); break;
      case 0x0940: DibBitBlt(r); break;  // DIBBITBLT
      default:
        return false;
    }
    return true;
  }

  // DIBBITBLT: rop(2), ySrc, xSrc, destH, destW, yDest, xDest, DIB; played
  // as the DIBSTRETCHBLT of the same size.
  void DibBitBlt(const WmfRecord& r) {
    if (r.params.size() < 2 + 6 + 20) return;
    WmfRecord stretched;
    stretched.function = wmf::kDibStretchBlt;
    stretched.params = {r.params[0], r.params[1], r.params[4], r.params[5], r.params[2], r.params[3]};
    stretched.params.insert(stretched.params.end(), r.params.begin() + 4, r.params.end());
    Bitmap(stretched, false);
  }

  QPainter& p_;
  const GlyphPicture& picture_;
  QRectF target_;
  QPointF frameOrg_{0, 0};
  QSizeF frameExt_{1, 1};
  DcState dc_;
  std::vector<DcState> saved_;
  std::vector<std::optional<GdiObject>> objects_;
};

}  // namespace

void PlayMetafile(QPainter& painter, const GlyphPicture& picture, const QRectF& target) {
  if (target.isEmpty()) return;
  if (picture.format != PictureFormat::Metafile) {
    // A PNG or JPEG image, scaled into the frame; one Qt cannot decode
    // draws nothing.
    const QImage image = QImage::fromData(reinterpret_cast<const uchar*>(picture.image.data()),
                                          static_cast<int>(picture.image.size()),
                                          picture.format == PictureFormat::Png ? "PNG" : "JPEG");
    if (!image.isNull()) painter.drawImage(target, image);
    return;
  }
  Player(painter, picture, target).Play();
}

QImage RenderMetafile(const GlyphPicture& picture, int width, int height, const QColor& background) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(background);
  QPainter painter(&image);
  PlayMetafile(painter, picture, QRectF(0, 0, width, height));
  painter.end();
  return image;
}

}  // namespace kalix::ui
