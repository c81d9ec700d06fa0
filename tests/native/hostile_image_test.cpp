// Images from broken phones and unknown tools: truncated files, absurd
// counts, names that try to leave the output folder, partitions outside the
// image. Each must end in a clear message, and every file a save writes must
// land in the folder that was asked for.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "export/BlankCheck.h"
#include "export/ImageSave.h"
#include "export/PartitionFiles.h"
#include "export_test_support.h"
#include "image/ImageLoad.h"
#include "image_test_support.h"

namespace kovra::testing {
namespace {

namespace fs = std::filesystem;
using samples::TSampleEntry;

// 0x20000-byte blocks, 16 of them (file 0x210000 bytes), table in block 2
// (header at 0x40800, entries from 0x40810); probes of blocks 0 and 1 come first.
constexpr uint64_t kFullSize = 0x210000;
constexpr uint64_t kTableAt = 0x40800;

const std::vector<TSampleEntry> kPlainTable = {
    {"0:SBL1", 0, 2}, {"0:MIBIB", 2, 1}, {"0:APPS", 3, 10}, {"0:EFS2", 13, 3}};

TVirtualImage Image(uint64_t size, const std::vector<TSampleEntry>& entries, int64_t storedCount = -1) {
  TVirtualImage image{size, {}};
  image.Put(kTableAt, TableBytes(entries, storedCount));
  image.Put(0x60000, {0x12, 0x34});   // APPS holds data; everything else is erased
  return image;
}

const std::vector<std::string> kDetected = {"Detected NAND Page = 0x0800 bytes",
                                            "Detected NAND Block = 0x00020000 bytes", "",
                                            "Partition Table is found in block: 0x0002"};

struct LoadCase {
  const char* what;
  uint64_t size;
  int64_t storedCount;
  TImageLoadFailure failure;
  std::string text;
};

TEST(HostileImage, DamagedFilesEndInAClearMessage) {
  const LoadCase cases[] = {
      {"0-byte file: the first probe", 0, -1, TImageLoadFailure::FileError,
       "Read beyond end of file: image.bin (offset 0x800, 16 bytes)"},
      {"cut inside the probe of block 1", 0x20808, -1, TImageLoadFailure::FileError,
       "Read beyond end of file: image.bin (offset 0x20800, 16 bytes)"},
      {"cut inside the table header", 0x40808, -1, TImageLoadFailure::FileError,
       "Read beyond end of file: image.bin (offset 0x40800, 16 bytes)"},
      {"cut inside the entries", 0x40810 + 50, -1, TImageLoadFailure::FileError,
       "Read beyond end of file: image.bin (offset 0x40810, 112 bytes)"},
      {"count 0", kFullSize, 0, TImageLoadFailure::DynamicArray, kTextDynamicArray},
      {"count 0xFFFFFFFF", kFullSize, 0xFFFFFFFF, TImageLoadFailure::FileError,
       "Read beyond end of file: image.bin (offset 0x40810, 120259084260 bytes)"},
      // (0x20000 - 0x800 - 16) / 28 = 4607 entries fit behind the header in its block.
      {"count one more than the block holds", kFullSize, 4608, TImageLoadFailure::FileError,
       "Partition table in block 0x0002 claims 4608 entries, more than its block holds (4607): "
       "image.bin"},
      {"count as large as the file allows", kFullSize, (kFullSize - 0x40810) / 28,
       TImageLoadFailure::FileError,
       "Partition table in block 0x0002 claims 67802 entries, more than its block holds (4607): "
       "image.bin"},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    const TImageLoadResult r = LoadVirtual(Image(c.size, kPlainTable, c.storedCount));
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Failure, c.failure);
    EXPECT_EQ(r.FailureText, c.text);
    EXPECT_EQ(r.LoadedImageName, "");
    EXPECT_TRUE(r.Descriptors.empty());
    EXPECT_EQ(r.PartitionItems.Count, 0);
  }
}

TEST(HostileImage, ATableAsLargeAsItsBlockStillLoads) {
  // 4607 entries of erased bytes: names of 0xFF, every size to the end.
  const TImageLoadResult r = LoadVirtual(Image(kFullSize, kPlainTable, 4607));
  ASSERT_TRUE(r.Ok) << r.FailureText;
  EXPECT_EQ(r.Descriptors.size(), 4607u);
  EXPECT_EQ(r.Log[4], "Total quantity of listed partitions: 4607");
}

// A folder of its own for each test; everything written must stay in out/.
class HostileImageOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() /
           ("kovra-hostile-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root);
    fs::create_directories(root / "out");
  }
  void TearDown() override { fs::remove_all(root); }

  // Every file below root, relative to it, with / as separator.
  std::set<std::string> FilesWritten() const {
    std::set<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
      if (!e.is_directory()) files.insert(fs::relative(e.path(), root).generic_string());
    return files;
  }

  // Loads the virtual image and prepares an export context that reads it and
  // writes real files.
  void Load(const TVirtualImage& image) {
    opener.Files["image.bin"] = image;
    loaded = LoadImageFileAndProcessIt("image.bin", false, opener);
    ASSERT_TRUE(loaded.Ok) << loaded.FailureText;
    ctx.LoadedImageName = "image.bin";
    ctx.Geometry = loaded.Geometry;
    ctx.Opener = &opener;
    ctx.Hooks = &hooks;
  }
  std::string Prefix() const { return (root / "out" / "p").string(); }

  fs::path root;
  TVirtualOpener opener;
  TImageLoadResult loaded;
  TExportContext ctx;
  TRecordingHooks hooks;
};

TEST_F(HostileImageOnDisk, NamesCannotLeaveTheOutputFolder) {
  const std::vector<TSampleEntry> entries = {
      {"0:../../evil", 3, 1},      {"0:a\\b/c", 4, 1},       {"0:\x01\x1f\x7f", 5, 1},
      {"0:SIXTEENCHARSXX", 6, 1},  {"0:OVERLAP", 0, 4},      {"0:..", 7, 1},
      {"0:C:\\x", 8, 1},           {"0:/abs", 9, 1},         {"0:.", 10, 1},
  };
  Load(Image(kFullSize, entries));
  EXPECT_EQ(loaded.Descriptors[0].PartitionName, "../../evil");
  EXPECT_EQ(loaded.Descriptors[3].PartitionName, "SIXTEENCHARSXX") << "16 bytes without NUL";

  const std::vector<std::string> written =
      SaveAllPartitionsDataIntoFile(ctx, loaded.PartitionTable, loaded.Descriptors, true, true, Prefix());
  EXPECT_EQ(written.size(), entries.size());
  EXPECT_EQ(FilesWritten(), (std::set<std::string>{
                                "out/p000000060000_______evil.bin",
                                "out/p000000080000_a_b_c.bin",
                                "out/p0000000A0000____.bin",
                                "out/p0000000C0000_SIXTEENCHARSXX.bin",
                                "out/p000000000000_OVERLAP.bin",
                                "out/p0000000E0000___.bin",
                                "out/p000000100000_C__x.bin",
                                "out/p000000120000__abs.bin",
                                "out/p000000140000_..bin",
                            }));
  // The overlapping partition holds blocks 0 to 3 plus their spare data.
  EXPECT_EQ(fs::file_size(root / "out/p000000000000_OVERLAP.bin"), 4u * 0x20000 + 4 * 0x1000);

  // The blank check and the image save over the same table.
  CheckBlanks(ctx, loaded.PartitionTable, loaded.Descriptors);
  EXPECT_EQ(hooks.Log.Lines.back(),
            "  Partition: . at 0000000000140000000000000015FFFF000000000000000A000000000000000A")
      << "the blank list shows the name as stored";
  SaveAsImageFile(ctx, (root / "out" / "copy.bin").string());
  EXPECT_EQ(fs::file_size(root / "out" / "copy.bin"), kFullSize);
}

struct ExportFaultCase {
  const char* what;
  uint64_t size;
  std::vector<TSampleEntry> entries;
  bool saveMain, saveRedu;
  std::string tooSmall;      // the load's warning, empty for none
  std::string error;         // the save's error, empty for none
  std::set<std::string> files;
  uint64_t firstFileSize;    // what stays of the first file
};

TEST_F(HostileImageOnDisk, PartitionsOutsideTheImageStopTheSaveWithTheOffset) {
  const ExportFaultCase cases[] = {
      {"partition beyond the end", kFullSize, {{"0:FAR", 20, 2}}, true, false,
       "WARNING!!! Image file is too small. It must be increased upto: 0x0020 blocks",
       "Read beyond end of file: image.bin (offset 0x280000, 131072 bytes)",
       {"out/p000000280000_FAR.bin"}, 0},
      {"to the end of flash from beyond the end: no blocks", kFullSize,
       {{"0:FAR", 20, 0xFFFFFFFF}}, true, true,
       "WARNING!!! Image file is too small. It must be increased upto: 0x0020 blocks", "",
       {"out/p000000280000_FAR.bin"}, 0},
      // 0x101234 bytes: 1994 sectors, main area 0xF9400, 7 whole blocks.
      {"file cut inside a partition", 0x101234, {{"0:APPS", 3, 10}}, true, true,
       "WARNING!!! Image file is too small. It must be increased upto: 0x0010 blocks",
       "Read beyond end of file: image.bin (offset 0x100000, 131072 bytes)",
       {"out/p000000060000_APPS.bin"}, 5 * 0x20000},
      // 0x201000 bytes: 15 whole blocks, spare from 0x1E0000; block 14's spare
      // at 0x1EE000, and the pieces run out at 0x201000.
      {"file cut inside the spare area", 0x201000, {{"0:LAST", 14, 0x20}}, false, true,
       "WARNING!!! Image file is too small. It must be increased upto: 0x0040 blocks",
       "Read beyond end of file: image.bin (offset 0x201000, 4096 bytes)",
       {"out/p0000001C0000_LAST.bin"}, 0x13000},
  };
  for (const ExportFaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root / "out");
    fs::create_directories(root / "out");
    TVirtualImage image{c.size, {}};
    image.Put(kTableAt, TableBytes(c.entries));
    Load(image);
    EXPECT_EQ(loaded.Log.back(), c.tooSmall);
    std::string error;
    try {
      SaveAllPartitionsDataIntoFile(ctx, loaded.PartitionTable, loaded.Descriptors, c.saveMain,
                                    c.saveRedu, Prefix());
    } catch (const TFileError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(FilesWritten(), c.files);
    EXPECT_EQ(fs::file_size(root / *c.files.begin()), c.firstFileSize);
  }
}

TEST_F(HostileImageOnDisk, TheBlankCheckStopsAtTheEndOfAShortImage) {
  TVirtualImage image{0x101234, {}};
  image.Put(kTableAt, TableBytes({{"0:SBL1", 0, 2}, {"0:APPS", 3, 10}, {"0:EFS2", 13, 3}}));
  Load(image);
  try {
    CheckBlanks(ctx, loaded.PartitionTable, loaded.Descriptors);
    FAIL() << "no error";
  } catch (const TFileError& e) {
    // SBL1 (blocks 0 and 1) is blank; APPS reads blank blocks 3 to 7 and
    // then leaves the file.
    EXPECT_EQ(std::string(e.what()), "Read beyond end of file: image.bin (offset 0x100000, 131072 bytes)");
  }
  EXPECT_TRUE(loaded.Descriptors[0].IsBlank);
  EXPECT_FALSE(loaded.Descriptors[1].IsBlank);
  EXPECT_TRUE(FilesWritten().empty()) << "the blank check writes nothing";
}

TEST_F(HostileImageOnDisk, AFolderOrAMissingFileIsNotAnImage) {
  fs::create_directories(root / "folder.bin");
  std::ofstream(root / "empty.bin", std::ios::binary).close();
  struct {
    const char* what;
    fs::path path;
    TImageLoadFailure failure;
    std::string text;
  } const cases[] = {
      {"a folder", root / "folder.bin", TImageLoadFailure::MissingFile, kTextFileMissing},
      {"a missing file", root / "missing.bin", TImageLoadFailure::MissingFile, kTextFileMissing},
      {"an empty file", root / "empty.bin", TImageLoadFailure::FileError,
       "Read beyond end of file: " + (root / "empty.bin").string() + " (offset 0x800, 16 bytes)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TImageLoadResult r = LoadImageFileAndProcessIt(c.path.string(), false);
    EXPECT_EQ(r.Failure, c.failure);
    EXPECT_EQ(r.FailureText, c.text);
  }
}

}  // namespace
}  // namespace kovra::testing
