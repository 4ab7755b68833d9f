// A zip archive written entry after entry to a file, its entries deflated
// in pieces that may be made on other threads: each piece is raw deflate
// data that ends on a byte boundary without ending the stream, so pieces
// made independently follow one another into one entry. The CRC of an
// entry is combined from its pieces'.
//
// Entries larger than 4 GiB (or past 4 GiB in the file) get their Zip64
// fields; the others are plain zip. The local header of an entry is
// written first with room for its Zip64 sizes (an Office "growth hint"
// padding field when they are not needed) and completed when the entry
// ends, so the archive is written in one pass with no data descriptors.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

// A piece of an entry: its deflated bytes, the CRC-32 and length of the
// text they hold.
struct DeflatedPiece {
  std::string Bytes;
  uint32_t Crc = 0;
  uint64_t Size = 0;
};

// Deflates pieces, fast (ISA-L's level 1); one per thread.
class PieceDeflater {
 public:
  PieceDeflater();
  ~PieceDeflater();
  PieceDeflater(const PieceDeflater&) = delete;
  PieceDeflater& operator=(const PieceDeflater&) = delete;
  // `text` deflated into `piece` (its bytes replaced).
  void Deflate(std::string_view text, DeflatedPiece& piece);

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
};

class ZipWriter {
 public:
  // Writes to `out`, which must be a seekable file opened for writing.
  explicit ZipWriter(std::FILE* out);
  ~ZipWriter();

  void BeginEntry(const std::string& name);
  void Add(const DeflatedPiece& piece);
  // Deflates `text` here and adds it.
  void AddText(std::string_view text);
  void EndEntry();
  // Writes the central directory; false when any write failed.
  bool Finish();

 private:
  struct Entry {
    std::string Name;
    uint64_t Offset = 0;
    uint32_t Crc = 0;
    uint64_t Size = 0;
    uint64_t Compressed = 0;
  };
  void Put(const void* data, size_t size);
  std::FILE* out_;
  uint64_t at_ = 0;  // bytes written
  bool ok_ = true;
  uint16_t time_ = 0, date_ = 0;
  std::vector<Entry> entries_;
  bool open_ = false;
  PieceDeflater deflater_;
  DeflatedPiece piece_;
};

}  // namespace kalix
