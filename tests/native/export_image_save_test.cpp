// Saving the loaded image as a full-flash image file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "export/ImageSave.h"
#include "export_test_support.h"

namespace kovra::testing {
namespace {

TEST(ImageSavePlan, PiecesOfEveryGeometry) {
  struct TCase {
    uint32_t BlockSize, BlockCount;
    uint32_t MainBytes, SpareBytes, MainPieces, SparePieces;
  } const cases[] = {
      {0x20000, 1024, 0x8000000, 0x400000, 1024, 32},
      {0x4000, 4096, 0x4000000, 0x200000, 4096, 128},
      {0x20000, 1000, 0x7D00000, 0x3E8000, 1000, 32},   // last spare piece 0x8000
      {0x40000, 33, 0x840000, 0x42000, 33, 2},          // last spare piece 0x2000
      {0x4000, 20, 0x50000, 0x2800, 20, 1},             // all spare in one short piece
      {0x20000, 0, 0, 0, 0, 0},
  };
  for (const TCase& c : cases) {
    const TImageSavePlan plan = ImageSavePlan(Geometry(2048, c.BlockSize, c.BlockCount));
    EXPECT_EQ(plan.MainBytes, c.MainBytes) << c.BlockCount;
    EXPECT_EQ(plan.SpareBytes, c.SpareBytes) << c.BlockCount;
    EXPECT_EQ(plan.MainPieces, c.MainPieces) << c.BlockCount;
    EXPECT_EQ(plan.SparePieces, c.SparePieces) << c.BlockCount;
    EXPECT_EQ(plan.GaugeMax(), int64_t(c.MainPieces) + c.SparePieces);
  }
}

// 48 blocks of 0x4000 with 100 trailing bytes: main 0xC0000, spare 0x6000 in
// a piece of 0x4000 and one of 0x2000; the trailing bytes are dropped.
TEST(ImageSave, CopiesMainThenSpareOfWholeBlocksAndDropsTheRest) {
  TExportBench bench(Geometry(512, 0x4000, 48), {}, 0xC6000 + 100);
  bench.Mark(0, 0x01);
  bench.Mark(0xBFFFF, 0x02);
  bench.Mark(0xC0000, 0x03);
  bench.Mark(0xC5FFF, 0x04);
  bench.Mark(0xC6000, 0x05);   // first trailing byte
  SaveAsImageFile(bench.Ctx, "copy.bin");

  const auto& copy = bench.Output("copy.bin");
  ASSERT_EQ(copy.size(), 0xC6000u);
  EXPECT_EQ(copy[0], 0x01);
  EXPECT_EQ(copy[0xBFFFF], 0x02);
  EXPECT_EQ(copy[0xC0000], 0x03);
  EXPECT_EQ(copy.back(), 0x04);
  EXPECT_EQ(std::count(copy.begin(), copy.end(), 0xFF), 0xC6000 - 4);
  EXPECT_EQ(bench.Opener.Counter.Calls, 48u + 2u);
  EXPECT_EQ(bench.Opener.Counter.Bytes, 0xC6000u);

  const TRecordingHooks& h = bench.Hooks;
  EXPECT_EQ(h.Max, 50);
  EXPECT_EQ(h.Steps, 50);
  EXPECT_EQ(h.Messages, 50);
  EXPECT_EQ(h.Position, 0);
  EXPECT_EQ(h.Log.Lines, (std::vector<std::string>{"", "Saving to File...OK"}));
  EXPECT_EQ(h.Status, (std::vector<std::string>{"Saving to File...", "Complete OK"}));
  EXPECT_EQ(h.Waits, std::vector<uint32_t>{100});
}

// An image that is not a whole number of blocks: the copy takes T bytes of
// main data and T / 32 bytes from T on, as every command addresses the spare
// data, and leaves the rest out.
TEST(ImageSave, IllFormedImageIsTrimmedToWholeBlocks) {
  // FileSize 0x52000 holds 636 sectors, 0x4F800 main bytes, 19 whole blocks
  // of 0x4000 (T = 0x4C000); the copy is 0x4C000 + 0x2600 bytes.
  TExportBench bench(Geometry(512, 0x4000, 19), {}, 0x52000);
  bench.Mark(0x4BFFF, 0x01);
  bench.Mark(0x4C000, 0x02);
  bench.Mark(0x4E5FF, 0x03);
  bench.Mark(0x4E600, 0x04);
  SaveAsImageFile(bench.Ctx, "copy.bin");
  const auto& copy = bench.Output("copy.bin");
  ASSERT_EQ(copy.size(), 0x4E600u);
  EXPECT_EQ(copy[0x4BFFF], 0x01);
  EXPECT_EQ(copy[0x4C000], 0x02);
  EXPECT_EQ(copy.back(), 0x03);
  EXPECT_EQ(bench.Hooks.Max, 20);
}

// A short image: the copy ends with a read error, the new file keeps the
// pieces before it and the log line stays without "OK".
TEST(ImageSave, ShortImageLeavesPartialCopyAndNoOK) {
  TExportBench bench(Geometry(512, 0x4000, 48), {}, 0xC4000);   // half of the spare data
  EXPECT_THROW(SaveAsImageFile(bench.Ctx, "copy.bin"), TFileError);
  EXPECT_EQ(bench.Output("copy.bin").size(), 0xC4000u);
  EXPECT_EQ(bench.Hooks.Log.Lines, (std::vector<std::string>{"", "Saving to File..."}));
  EXPECT_EQ(bench.Hooks.Status, std::vector<std::string>{"Saving to File..."});
  EXPECT_EQ(bench.Hooks.Position, 50) << "the gauge stays where the copy ended";
}

// Real files: the loaded image under another spelling of its path or
// through a link is refused before anything is touched.
class ImageSaveOnDisk : public ::testing::Test {
 protected:
  std::filesystem::path dir;
  std::filesystem::path image;
  TRecordingHooks hooks;
  TExportContext ctx;

  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("kovra-export-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "sub");
    image = dir / "image.bin";
    std::ofstream(image, std::ios::binary) << std::string(0x4200, 'x');
    ctx.LoadedImageName = image.string();
    ctx.Geometry = Geometry(512, 0x4000, 1);
    ctx.Hooks = &hooks;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  void ExpectRefused(const std::string& target) {
    try {
      SaveAsImageFile(ctx, target);
      ADD_FAILURE() << "not refused: " << target;
    } catch (const TFileError& e) {
      EXPECT_NE(std::string(e.what()).find("loaded image itself"), std::string::npos) << e.what();
    }
    EXPECT_EQ(std::filesystem::file_size(image), 0x4200u) << target;
    EXPECT_TRUE(hooks.Log.Lines.empty());
    EXPECT_TRUE(hooks.Status.empty());
  }
};

TEST_F(ImageSaveOnDisk, TargetThatIsTheImageIsRefused) {
  ExpectRefused(image.string());
  ExpectRefused((dir / "sub" / ".." / "image.bin").string());
  ExpectRefused((dir / "." / "image.bin").string());
  std::filesystem::create_hard_link(image, dir / "hard.bin");
  ExpectRefused((dir / "hard.bin").string());
#ifndef _WIN32
  // Under Wine a Windows program can make no symbolic link (the runtime
  // reports ENOSYS, CreateSymbolicLinkW succeeds without making one): the
  // Windows build leaves this case to the native one.
  std::filesystem::create_symlink(image, dir / "soft.bin");
  ASSERT_TRUE(std::filesystem::is_symlink(dir / "soft.bin"));
  ExpectRefused((dir / "soft.bin").string());
#endif
}

TEST_F(ImageSaveOnDisk, OtherTargetIsWrittenAndReplaced) {
  const std::filesystem::path target = dir / "sub" / "copy.bin";
  std::ofstream(target, std::ios::binary) << std::string(0x9000, 'y');
  SaveAsImageFile(ctx, target.string());
  EXPECT_EQ(std::filesystem::file_size(target), 0x4200u);
  EXPECT_EQ(hooks.Log.Lines, (std::vector<std::string>{"", "Saving to File...OK"}));
}

TEST_F(ImageSaveOnDisk, TargetThatCannotBeCreatedIsAFileErrorNamingIt) {
  const std::string target = (dir / "missing-folder" / "copy.bin").string();
  try {
    SaveAsImageFile(ctx, target);
    FAIL() << "no error";
  } catch (const TFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file: " + target + ": No such file or directory");
  }
}

}  // namespace
}  // namespace kovra::testing
