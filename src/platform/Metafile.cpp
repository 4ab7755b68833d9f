#include "platform/Metafile.h"

#include <cstddef>

namespace kalix {

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr size_t kPlaceableSize = 22;
constexpr size_t kHeaderSize = 18;

uint16_t Word(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8));
}

uint32_t DWord(std::string_view b, size_t at) {
  return static_cast<uint32_t>(Word(b, at)) | (static_cast<uint32_t>(Word(b, at + 2)) << 16);
}

// value * 96 / unitsPerInch, rounded half away from zero, in 64 bits.
int32_t Scale(int64_t value, int64_t unitsPerInch) {
  if (unitsPerInch <= 0) return 0;
  int64_t n = value * 96;
  int64_t q = (2 * (n < 0 ? -n : n) + unitsPerInch) / (2 * unitsPerInch);
  int64_t r = n < 0 ? -q : q;
  if (r > INT32_MAX) return INT32_MAX;
  if (r < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(r);
}

}  // namespace

int32_t TwipsToPixels(int32_t twips) { return Scale(twips, 1440); }

int32_t MappingUnitsToPixels(int32_t mappingMode, int32_t length) {
  switch (mappingMode) {
    case 1: return length;                 // MM_TEXT: pixels
    case 2: return Scale(length, 254);     // MM_LOMETRIC: 0.1 mm
    case 3: return Scale(length, 2540);    // MM_HIMETRIC: 0.01 mm
    case 4: return Scale(length, 100);     // MM_LOENGLISH: 0.01 inch
    case 5: return Scale(length, 1000);    // MM_HIENGLISH: 0.001 inch
    case 6: return Scale(length, 1440);    // MM_TWIPS
    default: return Scale(length, 2540);   // isotropic, anisotropic, other: 0.01 mm
  }
}

namespace {

// The placeable header, when there is one, and the metafile header; the
// offset of the first record, or 0 when the headers are not valid.
size_t ReadHeaders(std::string_view bytes, GlyphPicture& picture) {
  size_t at = 0;
  if (bytes.size() >= 4 && DWord(bytes, 0) == kPlaceableKey) {
    if (bytes.size() < kPlaceableSize) return 0;
    picture.placeable = true;
    picture.boxLeft = static_cast<int16_t>(Word(bytes, 6));
    picture.boxTop = static_cast<int16_t>(Word(bytes, 8));
    picture.boxRight = static_cast<int16_t>(Word(bytes, 10));
    picture.boxBottom = static_cast<int16_t>(Word(bytes, 12));
    picture.unitsPerInch = Word(bytes, 14);
    at = kPlaceableSize;
  }
  if (bytes.size() - at < kHeaderSize) return 0;
  uint16_t type = Word(bytes, at);
  uint16_t headerWords = Word(bytes, at + 2);
  if ((type != 1 && type != 2) || headerWords != 9) return 0;
  picture.objectCount = Word(bytes, at + 10);
  return at + kHeaderSize;
}

// The records from `at` to the end record (or the end of the data), and
// the extent of the first SetWindowExt record; false when a record is
// malformed.
bool ReadRecords(std::string_view bytes, size_t at, GlyphPicture& picture, int32_t& windowWidth,
                 int32_t& windowHeight) {
  bool windowSeen = false;
  while (bytes.size() - at >= 6) {
    uint32_t words = DWord(bytes, at);
    uint16_t function = Word(bytes, at + 4);
    if (words < 3) return false;
    if (words > (bytes.size() - at) / 2) return false;  // beyond the end
    if (function == wmf::kEof) return true;
    WmfRecord record;
    record.function = function;
    size_t count = words - 3;
    record.params.reserve(count);
    for (size_t i = 0; i < count; ++i) record.params.push_back(Word(bytes, at + 6 + 2 * i));
    if (function == wmf::kSetWindowExt && !windowSeen && record.params.size() >= 2) {
      windowSeen = true;
      windowHeight = static_cast<int16_t>(record.params[0]);
      windowWidth = static_cast<int16_t>(record.params[1]);
    }
    picture.records.push_back(std::move(record));
    at += static_cast<size_t>(words) * 2;
  }
  // Without an end record the data must end exactly after the last record;
  // 1 to 5 bytes left over are a truncated record.
  return bytes.size() == at;
}

// One side of the picture in pixels: the goal size, else the picture's
// extent in its mapping units, else the placeable box, else the window.
int32_t PictureSide(const GlyphPicture& picture, int32_t mappingMode, int32_t goal, int32_t extent, int32_t box,
                    int32_t window) {
  int32_t px = goal > 0 ? TwipsToPixels(goal) : 0;
  if (px > 0) return px;
  px = extent > 0 ? MappingUnitsToPixels(mappingMode, extent) : 0;
  if (px > 0) return px;
  if (picture.placeable && picture.unitsPerInch > 0 && box > 0) {
    px = Scale(box, picture.unitsPerInch);
    if (px > 0) return px;
  }
  return window > 0 ? window : 0;
}

}  // namespace

namespace {

uint32_t BigEndian32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) << 24 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3]));
}

uint32_t BigEndian16(std::string_view b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1]));
}

// The pixel size of a PNG, or false when it is malformed or cut short.
bool PngSize(std::string_view b, uint32_t& width, uint32_t& height) {
  if (b.size() < 8 || b.substr(0, 8) != std::string_view("\x89PNG\r\n\x1a\n", 8)) return false;
  size_t at = 8;
  bool first = true;
  while (b.size() - at >= 12) {
    const uint32_t length = BigEndian32(b, at);
    const std::string_view type = b.substr(at + 4, 4);
    if (length > b.size() - at - 12) return false;
    if (first) {
      if (type != "IHDR" || length != 13) return false;
      width = BigEndian32(b, at + 8);
      height = BigEndian32(b, at + 12);
      if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
      first = false;
    }
    at += 12 + length;
    if (type == "IEND") return true;
  }
  return false;
}

// The pixel size of a JPEG, or false when it is malformed or cut short.
bool JpegSize(std::string_view b, uint32_t& width, uint32_t& height) {
  if (b.size() < 4 || static_cast<unsigned char>(b[0]) != 0xFF || static_cast<unsigned char>(b[1]) != 0xD8) {
    return false;
  }
  size_t at = 2;
  bool sized = false;
  while (at + 2 <= b.size()) {
    if (static_cast<unsigned char>(b[at]) != 0xFF) return false;
    const auto marker = static_cast<unsigned char>(b[at + 1]);
    at += 2;
    if (marker == 0xFF) {
      --at;  // fill bytes
      continue;
    }
    if (marker == 0xD9) return sized;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (at + 2 > b.size()) return false;
    const uint32_t length = BigEndian16(b, at);
    if (length < 2 || length > b.size() - at) return false;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 7) return false;
      height = BigEndian16(b, at + 3);
      width = BigEndian16(b, at + 5);
      if (width == 0 || height == 0) return false;
      sized = true;
    }
    at += length;
    if (marker == 0xDA) {
      // The entropy-coded data: up to a marker that is not a stuffed zero
      // or a restart.
      while (at + 1 < b.size()) {
        if (static_cast<unsigned char>(b[at]) == 0xFF) {
          const auto next = static_cast<unsigned char>(b[at + 1]);
          if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7) && next != 0xFF) break;
        }
        ++at;
      }
      if (at + 1 >= b.size()) return false;
    }
  }
  return false;
}

}  // namespace

std::shared_ptr<const GlyphPicture> ParseImage(std::string_view bytes, PictureFormat format, const PictureSize& size) {
  uint32_t width = 0, height = 0;
  const bool valid = format == PictureFormat::Png    ? PngSize(bytes, width, height)
                     : format == PictureFormat::Jpeg ? JpegSize(bytes, width, height)
                                                     : false;
  if (!valid) return nullptr;
  GlyphPicture picture;
  picture.format = format;
  picture.image = std::string(bytes);
  const int32_t goalWidth = size.goalWidth > 0 ? TwipsToPixels(size.goalWidth) : 0;
  const int32_t goalHeight = size.goalHeight > 0 ? TwipsToPixels(size.goalHeight) : 0;
  picture.right = goalWidth > 0 ? goalWidth : static_cast<int32_t>(width);
  picture.bottom = goalHeight > 0 ? goalHeight : static_cast<int32_t>(height);
  if (picture.right <= 0 || picture.bottom <= 0) return nullptr;
  return std::make_shared<const GlyphPicture>(std::move(picture));
}

std::shared_ptr<const GlyphPicture> ParseMetafile(std::string_view bytes, const PictureSize& size) {
  GlyphPicture picture;
  picture.mappingMode = size.mappingMode;
  const size_t at = ReadHeaders(bytes, picture);
  if (at == 0) return nullptr;
  int32_t windowWidth = 0, windowHeight = 0;
  if (!ReadRecords(bytes, at, picture, windowWidth, windowHeight)) return nullptr;
  int32_t boxWidth = static_cast<int32_t>(picture.boxRight) - picture.boxLeft;
  int32_t boxHeight = static_cast<int32_t>(picture.boxBottom) - picture.boxTop;
  picture.right = PictureSide(picture, size.mappingMode, size.goalWidth, size.width, boxWidth, windowWidth);
  picture.bottom = PictureSide(picture, size.mappingMode, size.goalHeight, size.height, boxHeight, windowHeight);
  if (picture.right <= 0 || picture.bottom <= 0) return nullptr;
  return std::make_shared<const GlyphPicture>(std::move(picture));
}

}  // namespace kalix
