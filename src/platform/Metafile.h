// Windows metafiles: parsing and validation, no drawing.
//
// A glyph picture of a document is a Windows metafile (WMF) whose bytes come
// from the hexadecimal data of a "\pict" group. `ParseMetafile` checks those
// bytes once and turns them into a list of records that a painter can play
// without ever reading outside the data:
//
//   - an optional placeable header (key 0x9AC6CDD7, 22 bytes) is accepted and
//     its bounding box kept;
//   - the metafile header (9 words, type 1 or 2) must be complete;
//   - every record must declare a size of at least 3 words that fits in the
//     remaining data; a size of 0, a size beyond the end or a truncated
//     record makes the whole picture invalid (no picture at all);
//   - the list ends at the end-of-file record (function 0x0000), which is
//     not stored, or exactly at the end of the data.
//
// Records are validated structurally only: a record's parameter words are
// exactly those its size declares, but nothing checks that a given function
// has as many parameters as it needs. A player must check `params.size()`
// before reading a parameter, and skip records it does not know.
//
// Picture bounds are in pixels at 96 dots per inch, left and top 0:
//   - from the natural size that the rich text gives ("picwgoal" and
//     "pichgoal", in twips, 15 twips a pixel), when it is positive;
//   - otherwise from the extent ("picw" and "pich") in the units of the
//     mapping mode: 1 pixels, 2 tenths of a millimetre, 3 hundredths of a
//     millimetre, 4 hundredths of an inch, 5 thousandths of an inch, 6 twips,
//     and hundredths of a millimetre for 7, 8 and every other mode;
//   - otherwise from the placeable header's box and units per inch;
//   - otherwise from the window extent of the first META_SETWINDOWEXT record,
//     taken as pixels.
// Each side is computed on its own; a picture none of whose sources gives a
// positive width and height is not a picture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

// One metafile record: its function number (low byte: the function, high
// byte: the number of parameter words by convention, not trusted) and its
// parameter words, in file order (little-endian words decoded).
struct WmfRecord {
  uint16_t function = 0;
  std::vector<uint16_t> params;
};

// A few function numbers of the Windows Metafile Format, for players.
namespace wmf {
inline constexpr uint16_t kEof = 0x0000;
inline constexpr uint16_t kSetWindowOrg = 0x020B;
inline constexpr uint16_t kSetWindowExt = 0x020C;
inline constexpr uint16_t kSetViewportOrg = 0x020D;
inline constexpr uint16_t kSetViewportExt = 0x020E;
inline constexpr uint16_t kSetMapMode = 0x0103;
inline constexpr uint16_t kSetBkMode = 0x0102;
inline constexpr uint16_t kSetBkColor = 0x0201;
inline constexpr uint16_t kSetTextColor = 0x0209;
inline constexpr uint16_t kSetPolyFillMode = 0x0106;
inline constexpr uint16_t kSetTextAlign = 0x012E;
inline constexpr uint16_t kSaveDc = 0x001E;
inline constexpr uint16_t kRestoreDc = 0x0127;
inline constexpr uint16_t kSelectObject = 0x012D;
inline constexpr uint16_t kDeleteObject = 0x01F0;
inline constexpr uint16_t kCreatePenIndirect = 0x02FA;
inline constexpr uint16_t kCreateBrushIndirect = 0x02FC;
inline constexpr uint16_t kCreateFontIndirect = 0x02FB;
inline constexpr uint16_t kMoveTo = 0x0214;
inline constexpr uint16_t kLineTo = 0x0213;
inline constexpr uint16_t kPolyline = 0x0325;
inline constexpr uint16_t kPolygon = 0x0324;
inline constexpr uint16_t kPolyPolygon = 0x0538;
inline constexpr uint16_t kRectangle = 0x041B;
inline constexpr uint16_t kRoundRect = 0x061C;
inline constexpr uint16_t kEllipse = 0x0418;
inline constexpr uint16_t kArc = 0x0817;
inline constexpr uint16_t kPie = 0x081A;
inline constexpr uint16_t kChord = 0x0830;
inline constexpr uint16_t kTextOut = 0x0521;
inline constexpr uint16_t kExtTextOut = 0x0A32;
inline constexpr uint16_t kStretchDib = 0x0F43;
inline constexpr uint16_t kDibStretchBlt = 0x0B41;
inline constexpr uint16_t kEscape = 0x0626;
}  // namespace wmf

// The size a document gives to a picture; values as read, 0 when absent.
struct PictureSize {
  int32_t mappingMode = 0;  // "wmetafile"
  int32_t width = 0;        // "picw", in units of the mapping mode
  int32_t height = 0;       // "pich"
  int32_t goalWidth = 0;    // "picwgoal", twips
  int32_t goalHeight = 0;   // "pichgoal", twips
};

// What a picture's data is: a Windows metafile, or a PNG or JPEG image
// ("pngblip", "jpegblip").
enum class PictureFormat : uint8_t { Metafile, Png, Jpeg };

struct GlyphPicture {
  PictureFormat format = PictureFormat::Metafile;
  // The image file of a PNG or JPEG picture, checked whole (see
  // `ParseImage`); empty for a metafile.
  std::string image;

  // Bounds in pixels at 96 dpi (see above).
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  // The placeable header, when the data has one: bounding box in metafile
  // units and units per inch.
  bool placeable = false;
  int16_t boxLeft = 0, boxTop = 0, boxRight = 0, boxBottom = 0;
  uint16_t unitsPerInch = 0;

  // The mapping mode the document gave with the picture.
  int32_t mappingMode = 0;

  // The size of the object table the metafile header declares (objects
  // created by records are numbered into it); a player must still check
  // every index it is given.
  uint16_t objectCount = 0;

  // The records, without the end-of-file record.
  std::vector<WmfRecord> records;

  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
};

// Validates metafile bytes and builds a picture; nothing when the data is
// malformed or gives the picture no size.
std::shared_ptr<const GlyphPicture> ParseMetafile(std::string_view bytes, const PictureSize& size);

// Checks a PNG or JPEG image and builds a picture of it; nothing when the
// data is cut short or malformed. A PNG must begin with its signature and an
// image header of positive size, and every chunk must fit, up to its end
// chunk; a JPEG must begin with its start marker, every segment must fit, a
// frame header must give a positive size and the data must reach the end
// marker. Bounds: the natural size that the rich text gives ("picwgoal",
// "pichgoal"), otherwise the image's own size in pixels.
std::shared_ptr<const GlyphPicture> ParseImage(std::string_view bytes, PictureFormat format, const PictureSize& size);

// Pixels at 96 dpi of a length in the units of a mapping mode (rounded to
// the nearest pixel, halves away from zero).
int32_t MappingUnitsToPixels(int32_t mappingMode, int32_t length);

// Pixels at 96 dpi of a length in twips (15 twips a pixel, rounded).
int32_t TwipsToPixels(int32_t twips);

}  // namespace kalix
