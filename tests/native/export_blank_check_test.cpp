// The blank check: the rules on bytes, the log, the flags, the gauge, and
// how little of a partition with data is read.
#include <gtest/gtest.h>

#include "export/BlankCheck.h"
#include "export_test_support.h"

namespace kovra::testing {
namespace {

TEST(BlankRules, SpareBytes14And15OfEachGroupAreNotExamined) {
  const std::pair<size_t, bool> cases[] = {
      {0, false}, {13, false}, {14, true}, {15, true},
      {16, false}, {29, false}, {30, true}, {31, true},
  };
  for (const auto& [index, blank] : cases) {
    std::vector<uint8_t> spare(32, 0xFF);
    spare[index] = 0x00;
    EXPECT_EQ(IsSpareDataBlank(spare.data(), spare.size()), blank) << index;
  }
  // Groups are counted from the start of the range: a range that begins at
  // byte 14 of a group skips its first two bytes.
  const uint8_t tail[] = {0x00, 0x11, 0xFF, 0xFF};
  EXPECT_TRUE(IsSpareDataBlank(tail, 4, 14));
  EXPECT_FALSE(IsSpareDataBlank(tail, 4, 0));
  // A whole block's spare data (0x1000 bytes, one stretch and more) with
  // other values in every byte 14 and 15.
  std::vector<uint8_t> block(0x1010, 0xFF);
  for (size_t g = 0; g < block.size(); g += 16) block[g + 14] = 0x12, block[g + 15] = 0x34;
  EXPECT_TRUE(IsSpareDataBlank(block.data(), block.size()));
  block[0x1000 + 13] = 0xFE;
  EXPECT_FALSE(IsSpareDataBlank(block.data(), block.size()));
}

TEST(BlankRules, MainDataMustBeAllFF) {
  std::vector<uint8_t> main(8192 + 5, 0xFF);
  EXPECT_TRUE(IsMainDataBlank(main.data(), main.size()));
  EXPECT_TRUE(IsMainDataBlank(main.data(), 0));
  for (size_t at : {size_t(0), size_t(7), size_t(4095), size_t(4096), size_t(8191), size_t(8196)}) {
    std::vector<uint8_t> bad = main;
    bad[at] = 0xFE;
    EXPECT_FALSE(IsMainDataBlank(bad.data(), bad.size())) << at;
  }
}

// 64 blocks of 0x4000; spare area from 0x100000, 0x200 bytes per block.
class BlankCheck : public ::testing::Test {
 protected:
  TExportBench bench{Geometry(512, 0x4000, 64),
                     {Entry("0:ERASED", 0, 4), Entry("0:CODE", 4, 4), Entry("0:SPR13", 8, 2),
                      Entry("0:SPR1415", 10, 2), Entry("0:EMPTY", 12, 0),
                      Entry("0:LAST", 12, 0xFFFFFFFF)}};
  void SetUp() override {
    bench.Mark(0x10123, 0xFE);                            // CODE: one main byte, block 4
    bench.Mark(0x100000 + 9 * 0x200 + 5 * 16 + 13, 0x00);  // SPR13: block 9, group 5, byte 13
    std::vector<uint8_t> spare(0x400, 0xFF);              // SPR1415: blocks 10 and 11
    for (size_t g = 0; g < spare.size(); g += 16) spare[g + 14] = 0x00, spare[g + 15] = 0x5A;
    bench.Image().Put(0x101400, spare);
    bench.Mark(0xFFFFF, 0xFE);   // LAST: the last main byte of the main area
  }
};

TEST_F(BlankCheck, LogFlagsAndGauge) {
  CheckBlanks(bench.Ctx, bench.Table, bench.Descriptors);
  const std::vector<std::string> log = {
      "",
      "Checking which Partition is blank...COMPLETE!",
      "Following partitions are found to be completely blank:",
      "  Partition: ERASED at 0000000000000000000000000000FFFF00000000000000000000000000000003",
      "  Partition: SPR1415 at 0000000000028000000000000002FFFF000000000000000A000000000000000B",
      "  Partition: EMPTY at 0000000000030000000000000002FFFF000000000000000C000000000000000B",
  };
  EXPECT_EQ(bench.Hooks.Log.Lines, log);
  std::vector<bool> flags;
  for (const auto& d : bench.Descriptors) flags.push_back(d.IsBlank);
  EXPECT_EQ(flags, (std::vector<bool>{true, false, false, true, true, false}));

  EXPECT_EQ(bench.Hooks.Progress,
            (std::vector<std::string>{"Checking which Partition is blank...1/6",
                                      "Checking which Partition is blank...2/6",
                                      "Checking which Partition is blank...3/6",
                                      "Checking which Partition is blank...4/6",
                                      "Checking which Partition is blank...5/6",
                                      "Checking which Partition is blank...6/6",
                                      "Checking which Partition is blank...COMPLETE!"}));
  EXPECT_EQ(bench.Hooks.Waits, std::vector<uint32_t>(6, 30));
  EXPECT_EQ(bench.Hooks.Max, 64);
  EXPECT_EQ(bench.Hooks.Steps, 64) << "every block counts once, read or not";
  EXPECT_EQ(bench.Hooks.Position, 0);
}

TEST_F(BlankCheck, SecondRunGivesTheSameResult) {
  CheckBlanks(bench.Ctx, bench.Table, bench.Descriptors);
  const auto firstLog = bench.Hooks.Log.Lines;
  bench.Hooks = TRecordingHooks();
  CheckBlanks(bench.Ctx, bench.Table, bench.Descriptors);
  EXPECT_EQ(bench.Hooks.Log.Lines, firstLog);
  EXPECT_TRUE(bench.Descriptors[0].IsBlank);
  EXPECT_FALSE(bench.Descriptors[1].IsBlank);
}

// A partition is read only up to its first block that is not blank, and a
// block's spare data only when its main data is erased.
TEST(BlankCheckReads, PartitionsWithDataCostOneBlockAtMost) {
  TExportBench bench(Geometry(512, 0x4000, 64),
                     {Entry("0:A", 0, 8), Entry("0:B", 8, 8), Entry("0:C", 16, 0xFFFFFFFF)});
  bench.Mark(0x0, 0x00);                     // A: main data in its first block
  bench.Mark(0x100000 + 8 * 0x200, 0x00);    // B: spare data in its first block
  bench.Mark(16 * 0x4000 + 0x3FFF, 0x00);    // C: last main byte of its first block
  CheckBlanks(bench.Ctx, bench.Table, bench.Descriptors);
  EXPECT_EQ(bench.Opener.Counter.Bytes, 0x4000u + (0x4000u + 0x200u) + 0x4000u);
  EXPECT_EQ(bench.Opener.Counter.Calls, 4u);
  EXPECT_EQ(bench.Hooks.Log.Lines.back(), "There are no blank partitions found.");
  EXPECT_EQ(bench.Hooks.Steps, 64);
}

// A short image: the check ends with a read error; the partitions checked
// before keep their new flag, the others their old one; the log keeps the
// progress text and the gauge stays where it was.
TEST(BlankCheckReads, ShortImageEndsTheCheckWithAReadError) {
  TExportBench bench(Geometry(512, 0x4000, 64),
                     {Entry("0:A", 0, 2), Entry("0:B", 2, 2), Entry("0:C", 4, 2)},
                     0x100000 + 2 * 0x200);   // spare data of blocks 0 and 1 only
  bench.Descriptors[1].IsBlank = true;
  bench.Descriptors[2].IsBlank = true;
  try {
    CheckBlanks(bench.Ctx, bench.Table, bench.Descriptors);
    FAIL() << "no read error";
  } catch (const TFileError& e) {
    EXPECT_NE(std::string(e.what()).find("Read beyond end of file: image.bin"), std::string::npos);
  }
  EXPECT_TRUE(bench.Descriptors[0].IsBlank);
  EXPECT_TRUE(bench.Descriptors[1].IsBlank);
  EXPECT_TRUE(bench.Descriptors[2].IsBlank);
  EXPECT_EQ(bench.Hooks.Log.Lines,
            (std::vector<std::string>{"", "Checking which Partition is blank...2/3"}));
  EXPECT_EQ(bench.Hooks.Position, 3);
}

TEST(BlankCheckReads, EmptyTableFindsNothing) {
  TExportBench bench(Geometry(512, 0x4000, 64), {});
  CheckBlanks(bench.Ctx, bench.Table, bench.Descriptors);
  EXPECT_EQ(bench.Hooks.Log.Lines,
            (std::vector<std::string>{"", "Checking which Partition is blank...COMPLETE!",
                                      "There are no blank partitions found."}));
  EXPECT_EQ(bench.Opener.Counter.Calls, 0u);
}

}  // namespace
}  // namespace kovra::testing
