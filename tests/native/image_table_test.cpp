// From the raw table to descriptors, warnings and the list's rows.
#include <gtest/gtest.h>

#include "image/PartitionItems.h"
#include "image_test_support.h"

namespace kovra {
namespace {

using samples::TSampleEntry;
using testing::ImageSize;
using testing::LoadVirtual;
using testing::TableBytes;
using testing::TVirtualImage;

// A 2048/0x20000 image of `blocks` blocks with the table at page 1 of block 0.
TImageLoadResult Load2K(uint32_t blocks, const std::vector<TSampleEntry>& entries,
                        int64_t storedCount = -1) {
  return LoadVirtual(TVirtualImage{ImageSize(blocks, 0x20000), {{0x800, TableBytes(entries, storedCount)}}});
}

// A 4096/0x40000 image of 64 blocks with the table at page 1 of block 0.
TImageLoadResult Load4K(const std::vector<TSampleEntry>& entries, bool no4KBAdjust) {
  return LoadVirtual(TVirtualImage{ImageSize(64, 0x40000), {{0x1000, TableBytes(entries)}}}, no4KBAdjust);
}

const std::vector<std::string> kHeader2K = {"Detected NAND Page = 0x0800 bytes",
                                            "Detected NAND Block = 0x00020000 bytes", "",
                                            "Partition Table is found in block: 0x0000"};

std::vector<std::string> With(std::vector<std::string> lines, const std::vector<std::string>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

struct DescriptorCase {
  const char* what;
  uint32_t blockSize, blockCount;
  uint32_t base, size;
  uint32_t blocks;
  const char* range;
  const char* sizeText;
};

TEST(ImageTable, DescriptorTexts) {
  const DescriptorCase cases[] = {
      {"8 blocks at 0x2A", 0x20000, 1024, 0x2A, 8, 8,
       "0000000000540000000000000063FFFF000000000000002A0000000000000031",
       "00000000001000000000000000000008"},
      {"to the end from 0x3C0", 0x20000, 1024, 0x3C0, 0xFFFFFFFF, 64,
       "00000000078000000000000007FFFFFF00000000000003C000000000000003FF",
       "00000000008000000000000000000040"},
      {"to the end from exactly the last block + 1", 0x20000, 1024, 0x400, 0xFFFFFFFF, 0,
       "00000000080000000000000007FFFFFF000000000000040000000000000003FF",
       "00000000000000000000000000000000"},
      {"to the end from beyond the end: no blocks, not 0xFFFFFxxx", 0x20000, 1024, 0x500,
       0xFFFFFFFF, 0, "000000000A000000" "0000000009FFFFFF" "0000000000000500" "00000000000004FF",
       "00000000000000000000000000000000"},
      {"no blocks at block 0: last byte and block wrap", 0x20000, 1024, 0, 0, 0,
       "000000000000000000000000FFFFFFFF000000000000000000000000FFFFFFFF",
       "00000000000000000000000000000000"},
      {"addresses wrap at 4 GiB", 0x20000, 1024, 0x8000, 0x10, 0x10,
       "0000000000000000" "00000000001FFFFF" "0000000000008000" "000000000000800F",
       "00000000002000000000000000000010"},
      {"512-byte pages", 0x4000, 0x2000, 0x100, 0x20, 0x20,
       "0000000000400000" "000000000047FFFF" "0000000000000100" "000000000000011F",
       "00000000000800000000000000000020"},
  };
  for (const DescriptorCase& c : cases) {
    SCOPED_TRACE(c.what);
    ImageGeometry g;
    g.BlockSize = c.blockSize;
    g.BlockCount = c.blockCount;
    TQualcommMIBIBEntry e;
    e.EntryBase = c.base;
    e.EntrySize = c.size;
    const TPartitionDescriptor d = MakePartitionDescriptor(e, 4, g);
    EXPECT_EQ(d.Position, 5u);
    EXPECT_EQ(d.BegBlock, c.base);
    EXPECT_EQ(d.Blocks, c.blocks);
    EXPECT_EQ(d.AddressRange, c.range);
    EXPECT_EQ(d.PartitionSize, c.sizeText);
    EXPECT_EQ(d.CheckedType, "");
    EXPECT_FALSE(d.IsBlank);
  }
}

TEST(ImageTable, PartitionNames) {
  struct {
    std::string stored;
    const char* name;
  } const cases[] = {
      {"0:BOOT", "BOOT"},
      {"0:HTC", "HTC"},
      {"X", ""},
      {"", ""},
      {"0:ABCDEFGHIJKLMN", "ABCDEFGHIJKLMN"},           // 16 characters, no NUL
      {std::string("0:AB\0CD", 7), "AB"},               // up to the first NUL
      {"0:\xC4RGER", "\xC3\x84RGER"},                   // 8-bit characters, shown as UTF-8
  };
  ImageGeometry g;
  g.BlockSize = 0x20000;
  for (const auto& c : cases) {
    TQualcommMIBIBEntry e;
    std::copy_n(c.stored.begin(), std::min<size_t>(16, c.stored.size()), e.EntryName.begin());
    EXPECT_EQ(MakePartitionDescriptor(e, 0, g).PartitionName, c.name) << c.stored;
  }
}

TEST(ImageTable, FindPartitionByName) {
  TQualcomMIBIB table;
  auto add = [&](std::string name) {
    TQualcommMIBIBEntry e;
    std::copy_n(name.begin(), std::min<size_t>(16, name.size()), e.EntryName.begin());
    table.Entries.push_back(e);
  };
  add("0:SBL1");
  add("0:htc");
  add("0:HTC");
  add("0:HTC");
  add("0:ABCDEFGHIJKLMN");
  table.EntriesCount = 5;
  EXPECT_EQ(FindPartitionByName(table, "0:HTC"), 2);
  EXPECT_EQ(FindPartitionByName(table, "0:htc"), 1);
  EXPECT_EQ(FindPartitionByName(table, "HTC"), -1);   // the stored name, prefix included
  EXPECT_EQ(FindPartitionByName(table, "0:ABCDEFGHIJKLMN"), 4);
  EXPECT_EQ(FindPartitionByName(table, "0:ABCDEFGHIJKLMNO"), -1);
  EXPECT_EQ(FindPartitionByName(table, ""), -1);
}

TEST(ImageTable, TooSmallWarning) {
  struct {
    const char* what;
    uint32_t blocks;
    std::vector<TSampleEntry> entries;
    const char* warning;   // nullptr: none
  } const cases[] = {
      {"contiguous entries need 35, image has 32", 32,
       {{"0:A", 0, 10}, {"0:B", 10, 5}, {"0:C", 15, 20}},
       "WARNING!!! Image file is too small. It must be increased upto: 0x0040 blocks"},
      {"contiguous entries need 35, image has 35", 35,
       {{"0:A", 0, 10}, {"0:B", 10, 5}, {"0:C", 15, 20}}, nullptr},
      {"0x401 needed, 0x400 present", 0x400, {{"0:A", 0x400, 1}},
       "WARNING!!! Image file is too small. It must be increased upto: 0x0800 blocks"},
      {"a power of two exactly", 32, {{"0:A", 0, 64}},
       "WARNING!!! Image file is too small. It must be increased upto: 0x0040 blocks"},
      {"the largest end counts, not the last entry's", 32, {{"0:A", 30, 3}, {"0:B", 0, 2}},
       "WARNING!!! Image file is too small. It must be increased upto: 0x0040 blocks"},
      {"to-the-end counts only its base", 32, {{"0:A", 31, 0xFFFFFFFF}}, nullptr},
      {"to-the-end beyond the image", 32, {{"0:A", 33, 0xFFFFFFFF}},
       "WARNING!!! Image file is too small. It must be increased upto: 0x0040 blocks"},
      {"more than 0xFFFF blocks: more digits", 32, {{"0:A", 0x12345, 1}},
       "WARNING!!! Image file is too small. It must be increased upto: 0x20000 blocks"},
      {"0x80000000 still has a 32-bit power of two", 32, {{"0:A", 0x7FFFFFFF, 1}},
       "WARNING!!! Image file is too small. It must be increased upto: 0x80000000 blocks"},
      {"above 0x80000000 the next power is 2^32", 32, {{"0:A", 0x80000000, 1}},
       "WARNING!!! Image file is too small. It must be increased upto: 0x100000000 blocks"},
      {"the largest 32-bit end", 32, {{"0:A", 0xFFFFFFFE, 1}},
       "WARNING!!! Image file is too small. It must be increased upto: 0x100000000 blocks"},
      {"an end that wraps past 2^32 counts as its wrapped value", 32, {{"0:A", 0xFFFFFFF0, 0x20}},
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TImageLoadResult r = Load2K(c.blocks, c.entries);
    ASSERT_TRUE(r.Ok) << r.FailureText;
    std::vector<std::string> expected =
        With(kHeader2K, {"Total quantity of listed partitions: " + std::to_string(c.entries.size())});
    if (c.warning) expected.push_back(c.warning);
    EXPECT_EQ(r.Log, expected);
  }
}

TEST(ImageTable, HtcAdjustment) {
  const std::string warning =
      "WARNING!!! Many Partitions will not correspond to real addresses for HTC FullImage files "
      "when NAND Block Size is 0x40000";
  const std::vector<TSampleEntry> entries = {{"0:APPS", 0x10, 5}, {"0:HTC", 0x15, 0x20}};
  struct {
    const char* what;
    bool fourK;
    bool no4KBAdjust;
    uint32_t base;
    bool warned;
  } const cases[] = {
      {"0x40000 blocks, adjusting", true, false, 0x0A, true},
      {"0x40000 blocks, switch set", true, true, 0x15, false},
      {"0x20000 blocks", false, false, 0x15, false},
      {"0x20000 blocks, switch set", false, true, 0x15, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TImageLoadResult r = c.fourK ? Load4K(entries, c.no4KBAdjust)
                                       : LoadVirtual(TVirtualImage{ImageSize(64, 0x20000),
                                                                   {{0x800, TableBytes(entries)}}},
                                                     c.no4KBAdjust);
    ASSERT_TRUE(r.Ok) << r.FailureText;
    EXPECT_EQ(r.PartitionTable.Entries[1].EntryBase, c.base);
    EXPECT_EQ(r.PartitionTable.Entries[1].EntrySize, 0x20u);   // never changed
    EXPECT_EQ(r.PartitionTable.Entries[0].EntryBase, 0x10u);
    EXPECT_EQ(r.Descriptors[1].BegBlock, c.base);
    EXPECT_EQ(r.Log.size(), 5u + c.warned);
    EXPECT_EQ(r.Log.back() == warning, c.warned);
  }

  // The halved base shows in the row: block 0xA, bytes from 0xA * 0x40000.
  const TImageLoadResult r = Load4K(entries, false);
  EXPECT_EQ(r.Descriptors[1].AddressRange,
            "0000000000280000" "0000000000A7FFFF" "000000000000000A" "0000000000000029");
  // Only the first "0:HTC" is adjusted; "0:htc" is not one.
  const TImageLoadResult two =
      Load4K({{"0:htc", 0x20, 1}, {"0:HTC", 0x15, 1}, {"0:HTC", 0x17, 1}}, false);
  EXPECT_EQ(two.PartitionTable.Entries[0].EntryBase, 0x20u);
  EXPECT_EQ(two.PartitionTable.Entries[1].EntryBase, 0x0Au);
  EXPECT_EQ(two.PartitionTable.Entries[2].EntryBase, 0x17u);
}

TEST(ImageTable, LogOrderWithEveryNotice) {
  // Needs block 0x41 + 0x20 of 64: too small, computed from the bases as stored.
  const TImageLoadResult r = Load4K({{"0:HTC", 0x41, 0x20}}, false);
  ASSERT_TRUE(r.Ok);
  std::vector<std::string> log = r.Log;
  for (const std::string& line : DetectHTCPartitionMaybe(r.PartitionTable)) log.push_back(line);
  const std::vector<std::string> expected = {
      "Detected NAND Page = 0x1000 bytes",
      "Detected NAND Block = 0x00040000 bytes",
      "",
      "Partition Table is found in block: 0x0000",
      "Total quantity of listed partitions: 1",
      "WARNING!!! Many Partitions will not correspond to real addresses for HTC FullImage files "
      "when NAND Block Size is 0x40000",
      "WARNING!!! Image file is too small. It must be increased upto: 0x0080 blocks",
      "",
      "Detected the HTC Partition.",
  };
  EXPECT_EQ(log, expected);
  EXPECT_EQ(r.PartitionTable.Entries[0].EntryBase, 0x20u);
}

TEST(ImageTable, HtcNotice) {
  struct {
    std::vector<TSampleEntry> entries;
    bool detected;
  } const cases[] = {
      {{{"0:HTC", 5, 64}}, true},
      {{{"0:HTC", 5, 0}}, true},
      {{{"0:HTC", 5, 65}}, false},
      {{{"0:HTC", 5, 0xFFFFFFFF}}, false},
      {{{"0:htc", 5, 1}}, false},
      {{{"0:APPS", 0, 1}, {"0:HTC", 5, 64}}, true},
      {{{"0:HTC", 0, 100}, {"0:HTC", 5, 1}}, false},   // the first one decides
  };
  for (const auto& c : cases) {
    const TImageLoadResult r = Load2K(64, c.entries);
    ASSERT_TRUE(r.Ok);
    const std::vector<std::string> lines = DetectHTCPartitionMaybe(r.PartitionTable);
    if (c.detected)
      EXPECT_EQ(lines, (std::vector<std::string>{"", "Detected the HTC Partition."}));
    else
      EXPECT_TRUE(lines.empty());
  }
}

TEST(ImageTable, NoEntriesIsTheDynamicArrayError) {
  const TImageLoadResult r = Load2K(64, {});
  EXPECT_FALSE(r.Ok);
  EXPECT_EQ(r.Failure, TImageLoadFailure::DynamicArray);
  EXPECT_EQ(r.Log, With(kHeader2K, {"ERROR: Access Violation when setting Length for Dinamic Array."}));
  EXPECT_EQ(r.PartitionItems.Count, 0);
  EXPECT_TRUE(r.Descriptors.empty());
  EXPECT_EQ(r.LoadedImageName, "");
}

// A stored count whose entries do not fit in the file is a read error, found
// before anything is sized by it.
TEST(ImageTable, CountRunningPastTheEndIsAReadError) {
  struct {
    const char* what;
    uint32_t count;
    uint64_t size;
    bool loads;
  } const cases[] = {
      {"largest count", 0xFFFFFFFF, ImageSize(64, 0x20000), false},
      {"count whose bytes exceed 4 GiB", 0x0924924A, ImageSize(64, 0x20000), false},
      {"entries end one byte past the file", 3, 0x800 + 16 + 3 * 28 - 1, false},
      {"entries end exactly at the file's end", 3, 0x800 + 16 + 3 * 28, true},
  };
  const std::vector<TSampleEntry> entries = {{"0:A", 0, 1}, {"0:B", 1, 1}, {"0:C", 2, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TVirtualImage image{c.size, {{0x800, TableBytes(entries, c.count)}}};
    const TImageLoadResult r = LoadVirtual(image);
    if (c.loads) {
      EXPECT_TRUE(r.Ok) << r.FailureText;
      continue;
    }
    EXPECT_EQ(r.Failure, TImageLoadFailure::FileError);
    EXPECT_EQ(r.FailureText.rfind("Read beyond end of file: image.bin (offset 0x810, ", 0), 0u)
        << r.FailureText;
    EXPECT_EQ(r.Log, kHeader2K);   // the detection lines came before the read
    EXPECT_TRUE(r.PartitionTable.Entries.empty());
  }
}

TEST(ImageTable, RowsPointIntoDescriptors) {
  TImageLoadResult loaded = Load2K(1024, {{"0:SBL1", 0, 2, 0x1FF}, {"0:BOOT", 0x2A, 8, 0}});
  ASSERT_TRUE(loaded.Ok);
  // Moving the result keeps the rows' pointers valid.
  const TImageLoadResult r = std::move(loaded);
  const TCoolItemsList& items = r.PartitionItems;
  EXPECT_EQ(items.Count, 2);
  EXPECT_EQ(items.Types, (std::vector<uint32_t>{0, 1, 1, 9, 10}));
  EXPECT_EQ(items.ColorNormalProgressBackground, 0xF8F8F8u);
  EXPECT_EQ(items.ColorNormalProgressForeground, 0xC8C8C8u);
  EXPECT_EQ(items.ColorCursorProgressBackground, 0x808080u);
  EXPECT_EQ(items.ColorCursorProgressForeground, 0x404040u);
  ASSERT_EQ(items.Items.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const TCoolViewItem& row = items.Items[i];
    const TPartitionDescriptor& d = r.Descriptors[i];
    ASSERT_EQ(row.Values.size(), 6u);
    EXPECT_EQ(row.Values[0], &d.Position);
    EXPECT_EQ(row.Values[1], &d.CheckedType);
    EXPECT_EQ(row.Values[2], &d.PartitionName);
    EXPECT_EQ(row.Values[3], &d.AddressRange);
    EXPECT_EQ(row.Values[4], &d.PartitionSize);
    EXPECT_EQ(row.Values[5], nullptr);
    ASSERT_EQ(row.Colors.size(), 6u);
    for (size_t c = 0; c < 6; ++c) {
      EXPECT_EQ(row.Colors[c].ColorCursorNormal, 0xFFFFFFu);
      EXPECT_EQ(row.Colors[c].ColorCursorSelected, 0x00FFFFu);
      EXPECT_EQ(row.Colors[c].ColorNormalNormal, 0x606060u);
      EXPECT_EQ(row.Colors[c].ColorNormalSelected, c == 1 ? 0x0000FFu : 0xFF0000u) << c;
    }
    EXPECT_TRUE(row.Enabled);
    EXPECT_FALSE(row.Selected);
    EXPECT_FALSE(row.IsProgress);
    EXPECT_EQ(row.Parent, 0u);
    EXPECT_EQ(row.Progress, 0);
    EXPECT_EQ(row.MaxValue, 0);
  }
  EXPECT_EQ(CoolCellPlainText(CoolCellOf(items, 1, 0)), "2");
  EXPECT_EQ(CoolCellPlainText(CoolCellOf(items, 1, 1)), "");
  EXPECT_EQ(CoolCellPlainText(CoolCellOf(items, 1, 2)), "BOOT");
  EXPECT_EQ(CoolCellPlainText(CoolCellOf(items, 1, 3)), "0x000000540000..0x00000063FFFF (0x002A..0x0031)");
  EXPECT_EQ(CoolCellPlainText(CoolCellOf(items, 1, 4)), "0x000000100000 (0x0008)");
  EXPECT_EQ(r.PartitionTable.Entries[0].Unknown1, 0x1FFu);
  EXPECT_EQ(r.PartitionTable.SomeVersion, 4u);
}

TEST(ImageTable, LastEntryToTheEndKeepsItsStoredSize) {
  const TImageLoadResult r = Load2K(1024, {{"0:APPS", 0, 0x3C0}, {"0:USERDATA", 0x3C0, 0xFFFFFFFF}});
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.PartitionTable.Entries[1].EntrySize, 0xFFFFFFFFu);
  EXPECT_EQ(r.Descriptors[1].Blocks, 64u);
  EXPECT_EQ(r.Descriptors[1].PartitionName, "USERDATA");
  EXPECT_EQ(r.RequiredBlocks, 0x3C0u);
}

TEST(ImageExtent, MainAndSpareRanges) {
  struct {
    uint32_t blockSize, blockCount, base, size;
    TPartitionExtent expected;   // BegBlock, Blocks, MainOffset, MainLength, SpareOffset, SpareLength
  } const cases[] = {
      {0x20000, 1024, 0x2A, 8, {0x2A, 8, 0x540000, 0x100000, 0x802A000, 0x8000}},
      {0x20000, 1024, 0x3C0, 0xFFFFFFFF, {0x3C0, 64, 0x7800000, 0x800000, 0x83C0000, 0x40000}},
      {0x20000, 1024, 0x500, 0xFFFFFFFF, {0x500, 0, 0xA000000, 0, 0x8500000, 0}},
      {0x20000, 1024, 7, 0, {7, 0, 0xE0000, 0, 0x8007000, 0}},
      {0x4000, 0x2000, 3, 2, {3, 2, 0xC000, 0x8000, 0x8000600, 0x400}},
      {0x40000, 512, 0x1FF, 0xFFFFFFFF, {0x1FF, 1, 0x7FC0000, 0x40000, 0x83FE000, 0x2000}},
      // 0x4000 blocks of 0x40000 bytes: BlockCount * BlockSize wraps to 0.
      {0x40000, 0x4000, 0x10, 1, {0x10, 1, 0x400000, 0x40000, 0x20000, 0x2000}},
  };
  for (const auto& c : cases) {
    ImageGeometry g;
    g.BlockSize = c.blockSize;
    g.BlockCount = c.blockCount;
    const TPartitionExtent x = PartitionExtent(g, c.base, c.size);
    SCOPED_TRACE(::testing::Message() << std::hex << c.base << " " << c.size);
    EXPECT_EQ(x.BegBlock, c.expected.BegBlock);
    EXPECT_EQ(x.Blocks, c.expected.Blocks);
    EXPECT_EQ(x.MainOffset, c.expected.MainOffset);
    EXPECT_EQ(x.MainLength, c.expected.MainLength);
    EXPECT_EQ(x.SpareOffset, c.expected.SpareOffset);
    EXPECT_EQ(x.SpareLength, c.expected.SpareLength);
  }
}

}  // namespace
}  // namespace kovra
