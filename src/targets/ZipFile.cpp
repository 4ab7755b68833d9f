#include "targets/ZipFile.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>

namespace kalix {
namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kEnd64Signature = 0x06064b50;
constexpr uint32_t kEnd64LocatorSignature = 0x07064b50;
constexpr uint64_t kMax32 = 0xFFFFFFFFu;
constexpr uint16_t kPlainVersion = 20;  // deflate
constexpr uint16_t kZip64Version = 45;
constexpr size_t kLocalHeader = 30;
constexpr uint16_t kExtraRoom = 20;  // a Zip64 sizes field, or padding as long

// Little-endian fields into a byte string.
void Le(std::string& out, uint64_t value, int bytes) {
  for (int k = 0; k < bytes; ++k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
}

// The room for an entry's Zip64 sizes: the sizes, or when they fit in the
// plain fields, Office's growth hint padding, which readers skip.
std::string ExtraRoom(bool zip64, uint64_t size, uint64_t compressed) {
  std::string extra;
  if (zip64) {
    Le(extra, 0x0001, 2);
    Le(extra, 16, 2);
    Le(extra, size, 8);
    Le(extra, compressed, 8);
  } else {
    Le(extra, 0xA220, 2);
    Le(extra, 16, 2);
    Le(extra, 0xA028, 2);
    Le(extra, 12, 2);
    extra.append(12, '\0');
  }
  return extra;
}

}  // namespace

struct PieceDeflater::Stream {
  isal_zstream z{};
  std::vector<uint8_t> level = std::vector<uint8_t>(ISAL_DEF_LVL1_DEFAULT);
  std::vector<uint8_t> out;  // grown, never cleared: what a piece is made in
};

PieceDeflater::PieceDeflater() : stream_(std::make_unique<Stream>()) { isal_deflate_init(&stream_->z); }

PieceDeflater::~PieceDeflater() = default;

void PieceDeflater::Deflate(std::string_view text, DeflatedPiece& piece) {
  piece.Size = text.size();
  piece.Crc = 0;
  piece.Bytes.clear();
  // Long texts in slices that 32-bit lengths take.
  constexpr size_t kSlice = size_t{1} << 30;
  for (size_t from = 0; from < text.size(); from += kSlice) {
    const size_t n = std::min(kSlice, text.size() - from);
    piece.Crc = crc32_gzip_refl(piece.Crc, reinterpret_cast<const unsigned char*>(text.data() + from), n);
  }
  isal_zstream& z = stream_->z;
  isal_deflate_reset(&z);
  z.level = 1;
  z.level_buf = stream_->level.data();
  z.level_buf_size = static_cast<uint32_t>(stream_->level.size());
  z.gzip_flag = IGZIP_DEFLATE;
  z.end_of_stream = 0;
  std::vector<uint8_t>& out = stream_->out;
  size_t from = 0;
  do {
    const size_t n = std::min(kSlice, text.size() - from);
    z.next_in = reinterpret_cast<uint8_t*>(const_cast<char*>(text.data() + from));
    z.avail_in = static_cast<uint32_t>(n);
    from += n;
    z.flush = from < text.size() ? NO_FLUSH : SYNC_FLUSH;
    do {
      const size_t room = z.avail_in + z.avail_in / 8 + 4096;
      if (out.size() < room) out.resize(room);
      z.next_out = out.data();
      z.avail_out = static_cast<uint32_t>(room);
      const int status = isal_deflate(&z);
      piece.Bytes.append(reinterpret_cast<const char*>(out.data()), room - z.avail_out);
      if (status != COMP_OK) break;
    } while (z.avail_in > 0 || z.avail_out == 0);
  } while (from < text.size());
}

ZipWriter::ZipWriter(std::FILE* out) : out_(out) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) != nullptr && local.tm_year >= 80) {
    time_ = static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    date_ = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  } else {
    date_ = (1 << 5) | 1;  // 1980-01-01
  }
}

ZipWriter::~ZipWriter() = default;

void ZipWriter::Put(const void* data, size_t size) {
  if (size > 0 && std::fwrite(data, 1, size, out_) != size) ok_ = false;
  at_ += size;
}

void ZipWriter::BeginEntry(const std::string& name) {
  if (open_) EndEntry();
  Entry e;
  e.Name = name;
  e.Offset = at_;
  std::string h;
  Le(h, kLocalSignature, 4);
  Le(h, kPlainVersion, 2);
  Le(h, 0, 2);  // flags
  Le(h, 8, 2);  // deflate
  Le(h, time_, 2);
  Le(h, date_, 2);
  Le(h, 0, 4);  // CRC, sizes: completed by EndEntry
  Le(h, 0, 4);
  Le(h, 0, 4);
  Le(h, name.size(), 2);
  Le(h, kExtraRoom, 2);
  h += name;
  h += ExtraRoom(false, 0, 0);
  Put(h.data(), h.size());
  entries_.push_back(std::move(e));
  open_ = true;
}

void ZipWriter::Add(const DeflatedPiece& piece) {
  Entry& e = entries_.back();
  e.Crc = static_cast<uint32_t>(crc32_combine(e.Crc, piece.Crc, static_cast<z_off_t>(piece.Size)));
  e.Size += piece.Size;
  e.Compressed += piece.Bytes.size();
  Put(piece.Bytes.data(), piece.Bytes.size());
}

void ZipWriter::AddText(std::string_view text) {
  deflater_.Deflate(text, piece_);
  Add(piece_);
}

void ZipWriter::EndEntry() {
  if (!open_) return;
  open_ = false;
  Entry& e = entries_.back();
  // The last, empty block of the deflate stream.
  static const char kFinal[] = {0x03, 0x00};
  Put(kFinal, sizeof kFinal);
  e.Compressed += sizeof kFinal;
  const bool zip64 = e.Size >= kMax32 || e.Compressed >= kMax32;
  std::string h;
  Le(h, zip64 ? kZip64Version : kPlainVersion, 2);
  std::string sizes;
  Le(sizes, e.Crc, 4);
  Le(sizes, zip64 ? kMax32 : e.Compressed, 4);
  Le(sizes, zip64 ? kMax32 : e.Size, 4);
  const std::string extra = ExtraRoom(zip64, e.Size, e.Compressed);
  const auto seek = [&](uint64_t to) {
    if (fseeko(out_, static_cast<off_t>(to), SEEK_SET) != 0) ok_ = false;
  };
  seek(e.Offset + 4);
  if (std::fwrite(h.data(), 1, h.size(), out_) != h.size()) ok_ = false;
  seek(e.Offset + 14);
  if (std::fwrite(sizes.data(), 1, sizes.size(), out_) != sizes.size()) ok_ = false;
  seek(e.Offset + kLocalHeader + e.Name.size());
  if (std::fwrite(extra.data(), 1, extra.size(), out_) != extra.size()) ok_ = false;
  seek(at_);
}

bool ZipWriter::Finish() {
  EndEntry();
  const uint64_t start = at_;
  for (const Entry& e : entries_) {
    const bool bigSizes = e.Size >= kMax32 || e.Compressed >= kMax32;
    const bool bigOffset = e.Offset >= kMax32;
    std::string extra;
    if (bigSizes || bigOffset) {
      std::string fields;
      if (bigSizes) {
        Le(fields, e.Size, 8);
        Le(fields, e.Compressed, 8);
      }
      if (bigOffset) Le(fields, e.Offset, 8);
      Le(extra, 0x0001, 2);
      Le(extra, fields.size(), 2);
      extra += fields;
    }
    const uint16_t version = bigSizes || bigOffset ? kZip64Version : kPlainVersion;
    std::string h;
    Le(h, kCentralSignature, 4);
    Le(h, version, 2);  // made by (MS-DOS attributes)
    Le(h, version, 2);  // needed
    Le(h, 0, 2);
    Le(h, 8, 2);
    Le(h, time_, 2);
    Le(h, date_, 2);
    Le(h, e.Crc, 4);
    Le(h, bigSizes ? kMax32 : e.Compressed, 4);
    Le(h, bigSizes ? kMax32 : e.Size, 4);
    Le(h, e.Name.size(), 2);
    Le(h, extra.size(), 2);
    Le(h, 0, 2);  // comment
    Le(h, 0, 2);  // disk
    Le(h, 0, 2);  // internal attributes
    Le(h, 0, 4);  // external attributes
    Le(h, bigOffset ? kMax32 : e.Offset, 4);
    h += e.Name;
    h += extra;
    Put(h.data(), h.size());
  }
  const uint64_t size = at_ - start;
  const uint64_t count = entries_.size();
  std::string end;
  const bool zip64 = start >= kMax32 || size >= kMax32 || count >= 0xFFFF;
  if (zip64) {
    const uint64_t record = at_;
    Le(end, kEnd64Signature, 4);
    Le(end, 44, 8);
    Le(end, kZip64Version, 2);
    Le(end, kZip64Version, 2);
    Le(end, 0, 4);
    Le(end, 0, 4);
    Le(end, count, 8);
    Le(end, count, 8);
    Le(end, size, 8);
    Le(end, start, 8);
    Le(end, kEnd64LocatorSignature, 4);
    Le(end, 0, 4);
    Le(end, record, 8);
    Le(end, 1, 4);
  }
  Le(end, kEndSignature, 4);
  Le(end, 0, 2);
  Le(end, 0, 2);
  Le(end, zip64 ? 0xFFFF : count, 2);
  Le(end, zip64 ? 0xFFFF : count, 2);
  Le(end, zip64 ? kMax32 : size, 4);
  Le(end, zip64 ? kMax32 : start, 4);
  Le(end, 0, 2);
  Put(end.data(), end.size());
  return ok_ && std::fflush(out_) == 0;
}

}  // namespace kalix
