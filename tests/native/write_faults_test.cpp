// Saves that fail while writing: a full disk (the system's always-full
// device) and a folder that does not exist. The error
// says which file, where and why; the log line stays without "OK"; the
// user's image is read only and keeps every byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "export/ImageSave.h"
#include "export/PartitionFiles.h"
#include "export_test_support.h"
#include "image/ImageLoad.h"
#include "samples/SampleImage.h"

namespace kovra::testing {
namespace {

namespace fs = std::filesystem;

// Every write to it fails as on a full disk. The Windows build of these
// tests runs under Wine, which serves the same device as Z:\dev\full.
// Where it is missing the saves fail to create it, and the tests say so.
#ifdef _WIN32
const std::string kFullDevice = "Z:\\dev\\full";
#else
const std::string kFullDevice = "/dev/full";
#endif

std::vector<char> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A real image on disk: 16 blocks of 0x20000 with data, table in block 2.
class WriteFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() /
           ("kovra-write-faults-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root);
    fs::create_directories(root);
    image = (root / "user.bin").string();
    samples::TSampleImageSpec desc = samples::SampleSpecFor(2048, 0x20000, 16);
    desc.Entries = {{"0:SBL1", 0, 2, 0, samples::TSampleContent::Pattern},
                    {"0:MIBIB", 2, 1},
                    {"0:APPS", 3, 13, 0, samples::TSampleContent::Pattern}};
    desc.TableBlock = 2;
    samples::WriteSampleImage(desc, image);
    before = ReadAll(image);
    loaded = LoadImageFileAndProcessIt(image, false);
    ASSERT_TRUE(loaded.Ok) << loaded.FailureText;
    ctx.LoadedImageName = image;
    ctx.Geometry = loaded.Geometry;
    ctx.Hooks = &hooks;
  }
  void TearDown() override {
    EXPECT_EQ(ReadAll(image), before) << "the user's image changed";
    fs::remove_all(root);
  }
  // The error a save ends with, empty for none.
  template <typename F>
  std::string ErrorOf(F&& save) {
    try {
      save();
    } catch (const TFileError& e) {
      return e.what();
    }
    return {};
  }

  fs::path root;
  std::string image;
  std::vector<char> before;
  TImageLoadResult loaded;
  TExportContext ctx;
  TRecordingHooks hooks;
};

TEST_F(WriteFaults, AFullDiskEndsTheImageSaveWithTheReason) {
  EXPECT_EQ(ErrorOf([&] { SaveAsImageFile(ctx, kFullDevice); }),
            "Cannot write file: " + kFullDevice + " (offset 0x0, 131072 bytes): No space left on device");
  EXPECT_EQ(hooks.Log.Lines, (std::vector<std::string>{"", "Saving to File..."})) << "no OK";
}

TEST_F(WriteFaults, AFullDiskEndsAPartitionSaveWithTheReason) {
  const TPartitionExtent apps = PartitionExtent(ctx.Geometry, loaded.PartitionTable.Entries[2]);
  struct {
    const char* what;
    bool main, redu;
    std::string error;
  } const cases[] = {
      // Main data goes out in whole blocks, straight to the file.
      {"main", true, false,
       "Cannot write file: " + kFullDevice + " (offset 0x0, 131072 bytes): No space left on device"},
      // Spare data is gathered (13 blocks of 0x1000) and fails when it is
      // flushed at the close: the close must report it, not drop it.
      {"spare", false, true,
       "Cannot write file: " + kFullDevice + " (offset 0x0, 53248 bytes): No space left on device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ErrorOf([&] { CopyPartitionIntoFile(ctx, apps, c.main, c.redu, kFullDevice); }), c.error);
  }
}

TEST_F(WriteFaults, AMissingOutputFolderIsNamedWithTheReason) {
  const std::string prefix = (root / "missing" / "p").string();
  EXPECT_EQ(ErrorOf([&] {
              SaveAllPartitionsDataIntoFile(ctx, loaded.PartitionTable, loaded.Descriptors, true, true, prefix);
            }),
            "Cannot create file: " + prefix + "000000000000_SBL1.bin: No such file or directory");
  const std::string target = (root / "missing" / "copy.bin").string();
  EXPECT_EQ(ErrorOf([&] { SaveAsImageFile(ctx, target); }),
            "Cannot create file: " + target + ": No such file or directory");
  EXPECT_FALSE(fs::exists(root / "missing"));
}

}  // namespace
}  // namespace kovra::testing
