// Partition data files: names, contents of the three kinds, gauge, failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "export/PartitionFiles.h"
#include "export_test_support.h"

namespace kovra::testing {
namespace {

namespace fs = std::filesystem;

struct TNameCase {
  const char* Prefix;
  uint32_t MainOffset;
  std::string Name;
  std::string Expected;
};

TEST(PartitionFileName, PrefixTwelveHexDigitsNameAndExtension) {
  const TNameCase cases[] = {
      {"C:\\out\\dump", 0xA00000, "MODEM", "C:\\out\\dump000000A00000_MODEM.bin"},
      {"/tmp/p", 0x540000, "BOOT", "/tmp/p000000540000_BOOT.bin"},
      {"", 0, "SBL1", "000000000000_SBL1.bin"},
      {"x", 0xFFFFFFFF, "", "x0000FFFFFFFF_.bin"},
      {"x", 0xabcdef00, "efs2", "x0000ABCDEF00_efs2.bin"},
  };
  for (const TNameCase& c : cases)
    EXPECT_EQ(PartitionFileName(c.Prefix, c.MainOffset, c.Name), c.Expected) << c.Name;
}

// Names from the image can never leave the prefix's folder or be refused by
// Windows; harmless names stay byte for byte.
TEST(PartitionFileName, UnsafeCharactersOfStoredNamesBecomeUnderscores) {
  const std::pair<std::string, std::string> cases[] = {
      {"../../etc/passwd", "______etc_passwd"},
      {"..\\..\\Windows", "______Windows"},
      {"C:evil", "C_evil"},
      {"a<b>c\"d|e?f*g", "a_b_c_d_e_f_g"},
      {"tab\there\x01\x1F\x7F", "tab_here___"},
      {"..", "__"},
      {"A...B", "A___B"},
      {"A.B", "A.B"},
      {".hidden", ".hidden"},
      {"USERDATA", "USERDATA"},
      {"caf\xC3\xA9 +-=~#", "caf\xC3\xA9 +-=~#"},
  };
  for (const auto& [name, expected] : cases)
    EXPECT_EQ(SafePartitionFileNamePart(name), expected) << name;
  EXPECT_EQ(PartitionFileName("/out/d", 0x40000, "../x"), "/out/d000000040000____x.bin");
}

// 1024 blocks of 0x20000: the partition at block 0x2A of 8 blocks has its
// main data at 0x540000..0x63FFFF and its spare data at 0x802A000..0x8031FFF.
class PartitionAt2A : public ::testing::Test {
 protected:
  TExportBench bench{Geometry(2048, 0x20000, 1024),
                     {Entry("0:SBL1", 0, 0x2A), Entry("0:BOOT", 0x2A, 8),
                      Entry("0:REST", 0x3C0, 0xFFFFFFFF)}};
  void SetUp() override {
    bench.Mark(0x53FFFF, 0x01);   // last main byte before the partition
    bench.Mark(0x540000, 0x02);   // first main byte
    bench.Mark(0x63FFFF, 0x03);   // last main byte
    bench.Mark(0x640000, 0x04);   // first byte after
    bench.Mark(0x8029FFF, 0x05);  // spare byte before
    bench.Mark(0x802A000, 0x06);  // first spare byte
    bench.Mark(0x8031FFF, 0x07);  // last spare byte
    bench.Mark(0x8032000, 0x08);  // spare byte after
  }
};

TEST_F(PartitionAt2A, MainSpareAndFullFiles) {
  const std::string mainName =
      SavePartitionDataIntoFile(bench.Ctx, bench.Table, bench.Descriptors, 1, true, false, "m");
  const std::string spareName =
      SavePartitionDataIntoFile(bench.Ctx, bench.Table, bench.Descriptors, 1, false, true, "s");
  const std::string fullName =
      SavePartitionDataIntoFile(bench.Ctx, bench.Table, bench.Descriptors, 1, true, true, "f");
  EXPECT_EQ(mainName, "m000000540000_BOOT.bin");
  EXPECT_EQ(spareName, "s000000540000_BOOT.bin");
  EXPECT_EQ(fullName, "f000000540000_BOOT.bin");

  const auto& main = bench.Output(mainName);
  ASSERT_EQ(main.size(), 0x100000u);
  EXPECT_EQ(main[0], 0x02);
  EXPECT_EQ(main[0xFFFFF], 0x03);
  EXPECT_EQ(std::count(main.begin(), main.end(), 0xFF), 0x100000 - 2);

  const auto& spare = bench.Output(spareName);
  ASSERT_EQ(spare.size(), 0x8000u);
  EXPECT_EQ(spare[0], 0x06);
  EXPECT_EQ(spare[0x7FFF], 0x07);
  EXPECT_EQ(std::count(spare.begin(), spare.end(), 0xFF), 0x8000 - 2);

  const auto& full = bench.Output(fullName);
  ASSERT_EQ(full.size(), 0x108000u);
  EXPECT_TRUE(std::equal(main.begin(), main.end(), full.begin()));
  EXPECT_TRUE(std::equal(spare.begin(), spare.end(), full.begin() + 0x100000));
}

// Every kind counts each block once: eight steps and a message pump per step.
TEST_F(PartitionAt2A, GaugeCountsEachBlockOnceInEveryKind) {
  const std::pair<bool, bool> kinds[] = {{true, false}, {false, true}, {true, true}};
  for (const auto& [saveMain, saveRedu] : kinds) {
    bench.Hooks = TRecordingHooks();
    SavePartitionDataIntoFile(bench.Ctx, bench.Table, bench.Descriptors, 1, saveMain, saveRedu, "p");
    EXPECT_EQ(bench.Hooks.Max, 8);
    EXPECT_EQ(bench.Hooks.Steps, 8);
    EXPECT_EQ(bench.Hooks.Position, 8) << "a single save leaves the gauge full";
    EXPECT_EQ(bench.Hooks.Messages, 8);
    EXPECT_TRUE(bench.Hooks.Log.Lines.empty());
  }
  EXPECT_EQ(bench.TransferBuffer.size(), 0x20000u);
}

// 0xFFFFFFFF from block 0x3C0 is 64 blocks: main from 0x7800000 up to
// 0x8000000, spare from 0x83C0000 up to 0x8400000, the end of the spare data
// of the last whole block; trailing bytes are not part of it.
TEST_F(PartitionAt2A, ToTheEndPartitionStopsAtTheLastWholeBlock) {
  bench.Mark(0x77FFFFF, 0x10);
  bench.Mark(0x7800000, 0x11);
  bench.Mark(0x7FFFFFF, 0x12);
  bench.Mark(0x83BFFFF, 0x13);
  bench.Mark(0x83C0000, 0x14);
  bench.Mark(0x83FFFFF, 0x15);
  bench.Image().Size = 0x8400000 + 100;
  bench.Mark(0x8400000, 0x16);
  const std::string name =
      SavePartitionDataIntoFile(bench.Ctx, bench.Table, bench.Descriptors, 2, true, true, "p");
  EXPECT_EQ(name, "p000007800000_REST.bin");
  const auto& full = bench.Output(name);
  ASSERT_EQ(full.size(), 0x840000u);
  EXPECT_EQ(full[0], 0x11);
  EXPECT_EQ(full[0x7FFFFF], 0x12);
  EXPECT_EQ(full[0x800000], 0x14);
  EXPECT_EQ(full.back(), 0x15);
  EXPECT_EQ(std::count(full.begin(), full.end(), 0xFF), 0x840000 - 4);
  EXPECT_EQ(bench.Hooks.Max, 64);
}

TEST(PartitionFiles, ZeroLengthPartitionGivesAnEmptyFile) {
  TExportBench bench(Geometry(512, 0x4000, 64), {Entry("0:EMPTY", 5, 0)});
  const std::string name =
      SavePartitionDataIntoFile(bench.Ctx, bench.Table, bench.Descriptors, 0, true, true, "e");
  EXPECT_EQ(name, "e000000014000_EMPTY.bin");
  EXPECT_TRUE(bench.Output(name).empty());
  EXPECT_EQ(bench.Hooks.Max, 0);
  EXPECT_EQ(bench.Hooks.Steps, 0);
}

// Twelve partitions (gaps, an overlap, an empty one, one to the end) on 64
// blocks of 0x4000: twelve files in table order, gauge maximum 68.
TEST(PartitionFiles, SaveAllWritesEveryPartitionInTableOrder) {
  TExportBench bench(Geometry(512, 0x4000, 64),
                     {Entry("0:A", 0, 2), Entry("0:B", 2, 3), Entry("0:C", 5, 1),
                      Entry("0:D", 8, 4), Entry("0:E", 6, 6), Entry("0:F", 12, 0),
                      Entry("0:G", 12, 10), Entry("0:H", 22, 2), Entry("0:I", 24, 8),
                      Entry("0:J", 32, 8), Entry("0:K", 40, 2), Entry("0:L", 42, 0xFFFFFFFF)});
  bench.Mark(0x100000 + 0xC00, 0x43);   // spare of block 6
  bench.Hooks.Position = 7;             // left over from an earlier command
  const auto written =
      SaveAllPartitionsDataIntoFile(bench.Ctx, bench.Table, bench.Descriptors, false, true, "all-");
  const std::vector<std::string> expected = {
      "all-000000000000_A.bin", "all-000000008000_B.bin", "all-000000014000_C.bin",
      "all-000000020000_D.bin", "all-000000018000_E.bin", "all-000000030000_F.bin",
      "all-000000030000_G.bin", "all-000000058000_H.bin", "all-000000060000_I.bin",
      "all-000000080000_J.bin", "all-0000000A0000_K.bin", "all-0000000A8000_L.bin"};
  EXPECT_EQ(written, expected);
  EXPECT_EQ(bench.Creator.Created, expected);
  EXPECT_EQ(bench.Hooks.Max, 2 + 3 + 1 + 4 + 6 + 0 + 10 + 2 + 8 + 8 + 2 + 22);
  EXPECT_EQ(bench.Hooks.Steps, 68);
  EXPECT_EQ(bench.Hooks.Position, 0) << "a save of all ends with the gauge at 0";
  // Spare files: 0x200 bytes per block; E's first spare byte is block 6's.
  EXPECT_EQ(bench.Output("all-000000018000_E.bin").size(), 0xC00u);
  EXPECT_EQ(bench.Output("all-000000018000_E.bin")[0], 0x43);
  EXPECT_EQ(bench.Output("all-0000000A8000_L.bin").size(), 22u * 0x200);
  EXPECT_TRUE(bench.Output("all-000000030000_F.bin").empty());
}

// An image cut short in the middle of a partition: the blocks before the
// cut are in the file, the command ends with a read error naming the image,
// and the partitions after it are not saved.
TEST(PartitionFiles, ShortImageEndsWithReadErrorAndPartialFile) {
  TExportBench bench(Geometry(512, 0x4000, 64),
                     {Entry("0:A", 0, 4), Entry("0:B", 4, 8), Entry("0:C", 12, 4)},
                     0x4000 * 6 + 100);   // blocks 0..5 and a bit of block 6
  try {
    SaveAllPartitionsDataIntoFile(bench.Ctx, bench.Table, bench.Descriptors, true, false, "p");
    FAIL() << "no read error";
  } catch (const TFileError& e) {
    EXPECT_NE(std::string(e.what()).find("Read beyond end of file: image.bin"), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(bench.Creator.Created,
            (std::vector<std::string>{"p000000000000_A.bin", "p000000010000_B.bin"}));
  EXPECT_EQ(bench.Output("p000000000000_A.bin").size(), 0x10000u);
  EXPECT_EQ(bench.Output("p000000010000_B.bin").size(), 0x8000u);
}

// Where each kind stops on a short image, and where the gauge stays.
TEST(PartitionFiles, ShortImageKeepsWhatWasCopiedInEveryKind) {
  struct TCase {
    uint64_t FileSize;
    bool SaveMain, SaveRedu;
    size_t Written;
    int64_t Position;
  } const cases[] = {
      {0x4000 * 3 + 7, true, false, 0xC000, 4},   // fourth main block missing
      {0x100200, true, true, 0x10200, 4},          // spare of block 0 only
      {0x100200, false, true, 0x200, 2},
  };
  for (const TCase& c : cases) {
    TExportBench bench(Geometry(512, 0x4000, 64), {Entry("0:A", 0, 4)}, c.FileSize);
    EXPECT_THROW(SavePartitionDataIntoFile(bench.Ctx, bench.Table, bench.Descriptors, 0,
                                           c.SaveMain, c.SaveRedu, "p"),
                 TFileError);
    EXPECT_EQ(bench.Output("p000000000000_A.bin").size(), c.Written) << c.FileSize;
    EXPECT_EQ(bench.Hooks.Position, c.Position) << c.FileSize;
  }
}

TEST(PartitionFiles, WriteErrorEndsTheCommand) {
  TExportBench bench(Geometry(512, 0x4000, 64), {Entry("0:A", 0, 4), Entry("0:B", 4, 4)});
  bench.Creator.FailAfterBytes = 0x4000 * 5;   // A whole, one block of B
  EXPECT_THROW(
      SaveAllPartitionsDataIntoFile(bench.Ctx, bench.Table, bench.Descriptors, true, false, "p"),
      TFileError);
  EXPECT_EQ(bench.Output("p000000000000_A.bin").size(), 0x10000u);
  EXPECT_EQ(bench.Output("p000000010000_B.bin").size(), 0x4000u);
}

// A prefix that makes a generated name hit the loaded image must not empty it.
TEST(PartitionFiles, OutputThatIsTheImageItselfIsRefused) {
  TExportBench bench(Geometry(512, 0x4000, 64), {Entry("0:A", 0, 4), Entry("0:B", 4, 4)});
  bench.Creator.Same.insert({"image.bin", "p000000010000_B.bin"});
  EXPECT_THROW(
      SaveAllPartitionsDataIntoFile(bench.Ctx, bench.Table, bench.Descriptors, true, false, "p"),
      TFileError);
  EXPECT_EQ(bench.Creator.Created, std::vector<std::string>{"p000000000000_A.bin"});
}

// A longer file of the same name is replaced, not written over in place:
// on disk, through the real file creator (the in-memory one empties a file
// by itself, so it cannot show this).
TEST(PartitionFiles, OutputReplacesAnExistingFileOnDisk) {
  const fs::path dir = fs::temp_directory_path() /
                       ("kovra-replace-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path out = dir / "p000000000000_A.bin";
  std::ofstream(out, std::ios::binary) << std::string(0x9000, '\0');
  TExportBench bench(Geometry(512, 0x4000, 64), {Entry("0:A", 0, 1)});
  bench.Ctx.Creator = &DefaultFileCreator();
  const std::string name =
      SavePartitionDataIntoFile(bench.Ctx, bench.Table, bench.Descriptors, 0, false, true, (dir / "p").string());
  EXPECT_EQ(fs::path(name), out);
  std::ifstream in(out, std::ios::binary);
  const std::vector<uint8_t> got{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  in.close();
  EXPECT_EQ(got, std::vector<uint8_t>(0x200, 0xFF));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kovra::testing
