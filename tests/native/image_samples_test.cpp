// The generator's images: layout, table bytes, content and spare bytes.
#include <gtest/gtest.h>

#include "samples/SampleImage.h"

namespace kovra {
namespace {

using samples::TSampleContent;

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t offset, size_t n) {
  return std::vector<uint8_t>(v.begin() + offset, v.begin() + offset + n);
}

bool AllFF(const std::vector<uint8_t>& v, size_t offset, size_t n) {
  for (size_t k = 0; k < n; ++k)
    if (v[offset + k] != 0xFF) return false;
  return true;
}

TEST(SampleImage, LayoutOfTableBlockAndEntries) {
  samples::TSampleImageSpec desc;
  desc.PageSize = 512;
  desc.BlockSize = 0x4000;
  desc.BlockCount = 32;
  desc.TableBlock = 5;
  desc.SomeVersion = 0x11223344;
  desc.Entries = {{"0:MIBIB", 5, 2, 0xAABBCCDD, TSampleContent::Blank},
                  {"0:ABCDEFGHIJKLMNOPQ", 7, 0xFFFFFFFF, 0, TSampleContent::Blank}};
  desc.TrailingBytes = 100;
  const std::vector<uint8_t> image = samples::BuildSampleImage(desc);
  ASSERT_EQ(image.size(), 32u * 0x4000 * 33 / 32 + 100);
  EXPECT_EQ(samples::SampleImageSize(desc), image.size());

  // Page 0 of the table block: the two boot magics.
  EXPECT_EQ(Slice(image, 0x14000, 8),
            (std::vector<uint8_t>{0xAC, 0x9F, 0x56, 0xFE, 0x7A, 0x12, 0x7F, 0xCD}));
  EXPECT_TRUE(AllFF(image, 0x14008, 0x200 - 8));
  // Page 1: header, then the entries without a gap.
  const std::vector<uint8_t> header = {0xAA, 0x73, 0xEE, 0x55, 0xDB, 0xBD, 0x5E, 0xE3,
                                       0x44, 0x33, 0x22, 0x11, 0x02, 0x00, 0x00, 0x00};
  EXPECT_EQ(Slice(image, 0x14200, 16), header);
  const std::vector<uint8_t> first = {'0', ':', 'M', 'I', 'B', 'I', 'B', 0, 0, 0, 0, 0, 0, 0,
                                      0,   0,   5,   0,   0,   0,   2, 0, 0, 0, 0xDD, 0xCC, 0xBB, 0xAA};
  EXPECT_EQ(Slice(image, 0x14210, 28), first);
  // A 17-character name keeps its first 16 bytes, without NUL.
  const std::vector<uint8_t> second = {'0', ':', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H',
                                       'I', 'J', 'K', 'L', 'M', 'N', 7, 0, 0, 0,
                                       0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
  EXPECT_EQ(Slice(image, 0x1422C, 28), second);
  EXPECT_TRUE(AllFF(image, 0x14248, 0x4000 - 0x248));

  // Spare of the table block's first sector (page 0) carries data; the spare
  // of an erased sector is erased. Spare area starts at 32 * 0x4000.
  const size_t spare = 32 * 0x4000;
  EXPECT_FALSE(AllFF(image, spare + 0x14000 / 32, 16));
  EXPECT_FALSE(AllFF(image, spare + 0x14200 / 32, 16));
  EXPECT_TRUE(AllFF(image, spare + 0x14400 / 32, 16));
  EXPECT_TRUE(AllFF(image, spare, 0x14000 / 32));
  // Trailing bytes are not erased flash.
  EXPECT_NE(image[image.size() - 100], 0xFF);
}

TEST(SampleImage, ContentKindsPerBlock) {
  samples::TSampleImageSpec desc;
  desc.BlockSize = 0x20000;
  desc.BlockCount = 16;
  desc.TableBlock = 0;
  desc.Entries = {{"0:BLANK", 1, 3, 0, TSampleContent::Blank},
                  {"0:DATA", 4, 3, 0, TSampleContent::Pattern},
                  {"0:FIRST", 7, 3, 0, TSampleContent::FirstBlock},
                  {"0:REST", 10, 0xFFFFFFFF, 0, TSampleContent::Pattern}};
  const std::vector<uint8_t> image = samples::BuildSampleImage(desc);
  const size_t block = 0x20000, spare = 16 * block;
  struct {
    uint32_t block;
    bool data;
  } const cases[] = {{1, false}, {3, false}, {4, true}, {6, true}, {7, true},
                     {8, false}, {9, false}, {10, true}, {15, true}};
  for (const auto& c : cases) {
    EXPECT_EQ(!AllFF(image, c.block * block, block), c.data) << c.block;
    EXPECT_EQ(!AllFF(image, spare + c.block * block / 32, block / 32), c.data) << c.block;
  }
  // Data blocks hold the documented pattern, and no two blocks are alike.
  EXPECT_EQ(image[4 * block + 5], samples::SamplePatternByte(desc.Seed, 4 * block + 5));
  EXPECT_NE(Slice(image, 4 * block, 64), Slice(image, 5 * block, 64));
}

TEST(SampleImage, IllFormedVariants) {
  samples::TSampleImageSpec desc;
  desc.BlockCount = 4;
  desc.TableBlock = 1;
  desc.Entries = {{"0:A", 0, 1}};
  desc.SwapMagicBytes = true;
  desc.OverrideEntriesCount = true;
  desc.EntriesCount = 0x01020304;
  std::vector<uint8_t> image = samples::BuildSampleImage(desc);
  EXPECT_EQ(Slice(image, 0x20800, 16),
            (std::vector<uint8_t>{0x55, 0xEE, 0x73, 0xAA, 0xE3, 0x5E, 0xBD, 0xDB,
                                  4, 0, 0, 0, 4, 3, 2, 1}));

  desc.SwapMagicBytes = false;
  desc.WriteTable = false;
  desc.Patches = {{0x10, {1, 2, 3}}};
  image = samples::BuildSampleImage(desc);
  EXPECT_TRUE(AllFF(image, 0x20000, 0x20000));
  EXPECT_EQ(Slice(image, 0xF, 5), (std::vector<uint8_t>{0xFF, 1, 2, 3, 0xFF}));
}

}  // namespace
}  // namespace kovra
