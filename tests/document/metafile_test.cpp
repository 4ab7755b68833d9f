// Metafile validation: good pictures parse, malformed ones give none.

#include "platform/Metafile.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

using test::PutDWord;
using test::PutRecord;
using test::PutWord;
using test::SmallMetafile;

std::string Header(uint32_t words) {
  std::string out;
  PutWord(out, 1);
  PutWord(out, 9);
  PutWord(out, 0x0300);
  PutDWord(out, words);
  PutWord(out, 0);
  PutDWord(out, 7);
  PutWord(out, 0);
  return out;
}

TEST(Metafile, ParsesRecords) {
  auto pic = ParseMetafile(SmallMetafile(), PictureSize{8, 2540, 1270, 0, 0});
  ASSERT_TRUE(pic);
  EXPECT_EQ(pic->right, 96);
  EXPECT_EQ(pic->bottom, 48);
  ASSERT_EQ(pic->records.size(), 3u);
  EXPECT_EQ(pic->records[0].function, wmf::kSetWindowOrg);
  EXPECT_EQ(pic->records[2].function, wmf::kRectangle);
  EXPECT_EQ(pic->records[2].params, (std::vector<uint16_t>{90, 90, 10, 10}));
  EXPECT_FALSE(pic->placeable);
  EXPECT_EQ(pic->objectCount, 0);
}

TEST(Metafile, PlaceableHeader) {
  auto pic = ParseMetafile(SmallMetafile(true), PictureSize{});
  ASSERT_TRUE(pic);
  EXPECT_TRUE(pic->placeable);
  EXPECT_EQ(pic->unitsPerInch, 96);
  EXPECT_EQ(pic->boxRight, 200);
  // No size from the document: the placeable box at 96 units per inch.
  EXPECT_EQ(pic->right, 200);
  EXPECT_EQ(pic->bottom, 100);
  EXPECT_EQ(pic->records.size(), 3u);
}

TEST(Metafile, SizeFallsBackToTheWindowExtent) {
  auto pic = ParseMetafile(SmallMetafile(), PictureSize{8, 0, 0, 0, 0});
  ASSERT_TRUE(pic);
  EXPECT_EQ(pic->right, 100);
  EXPECT_EQ(pic->bottom, 100);
}

TEST(Metafile, MappingUnits) {
  EXPECT_EQ(MappingUnitsToPixels(1, 17), 17);
  EXPECT_EQ(MappingUnitsToPixels(2, 254), 96);
  EXPECT_EQ(MappingUnitsToPixels(3, 2540), 96);
  EXPECT_EQ(MappingUnitsToPixels(4, 100), 96);
  EXPECT_EQ(MappingUnitsToPixels(5, 1000), 96);
  EXPECT_EQ(MappingUnitsToPixels(6, 1440), 96);
  EXPECT_EQ(MappingUnitsToPixels(7, 2540), 96);
  EXPECT_EQ(MappingUnitsToPixels(8, 2540), 96);
  EXPECT_EQ(MappingUnitsToPixels(8, 2000), 76);  // 75.59
  EXPECT_EQ(TwipsToPixels(15), 1);
  EXPECT_EQ(TwipsToPixels(22), 1);  // 1.47
  EXPECT_EQ(TwipsToPixels(23), 2);  // 1.53
  EXPECT_EQ(TwipsToPixels(1701), 113);
  EXPECT_EQ(TwipsToPixels(2147483647), 143165576);
}

TEST(Metafile, MalformedDataGivesNoPicture) {
  const PictureSize size{8, 2540, 2540, 0, 0};
  std::string good = SmallMetafile();
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::string zeroSize = Header(12);
  PutDWord(zeroSize, 0);
  PutWord(zeroSize, wmf::kLineTo);
  std::string beyondEnd = Header(12);
  PutDWord(beyondEnd, 1000);
  PutWord(beyondEnd, wmf::kLineTo);
  PutWord(beyondEnd, 1);
  std::string tooSmall = Header(12);
  PutDWord(tooSmall, 2);
  PutWord(tooSmall, wmf::kLineTo);
  std::string hugeSize = Header(12);
  PutDWord(hugeSize, 0xFFFFFFFFu);
  PutWord(hugeSize, wmf::kLineTo);
  std::string badType = good;
  badType[0] = 3;
  std::string badHeaderSize = good;
  badHeaderSize[2] = 8;
  Case cases[] = {
      {"empty", ""},
      {"truncated header", good.substr(0, 17)},
      {"truncated placeable header", SmallMetafile(true).substr(0, 20)},
      {"record size 0", zeroSize},
      {"record beyond the end", beyondEnd},
      {"record smaller than its own header", tooSmall},
      {"record size 0xFFFFFFFF", hugeSize},
      {"header type", badType},
      {"header size", badHeaderSize},
      {"truncated record", good.substr(0, good.size() - 8)},
      {"stray bytes after the last record", good.substr(0, good.size() - 6) + "abc"},
  };
  for (const Case& c : cases) EXPECT_FALSE(ParseMetafile(c.bytes, size)) << c.what;
}

TEST(Metafile, EndRecordIsOptionalAtTheExactEnd) {
  std::string good = SmallMetafile();
  auto pic = ParseMetafile(good.substr(0, good.size() - 6), PictureSize{8, 100, 100, 0, 0});
  ASSERT_TRUE(pic);
  EXPECT_EQ(pic->records.size(), 3u);
}

TEST(Metafile, DataAfterTheEndRecordIsIgnored) {
  auto pic = ParseMetafile(SmallMetafile() + "garbage", PictureSize{8, 100, 100, 0, 0});
  ASSERT_TRUE(pic);
  EXPECT_EQ(pic->records.size(), 3u);
}

TEST(Metafile, NoSizeAtAllGivesNoPicture) {
  std::string bytes = Header(12);
  PutRecord(bytes, wmf::kEof, {});
  EXPECT_FALSE(ParseMetafile(bytes, PictureSize{8, 0, 0, 0, 0}));
  EXPECT_TRUE(ParseMetafile(bytes, PictureSize{8, 0, 0, 150, 150}));
}

}  // namespace
}  // namespace kalix
