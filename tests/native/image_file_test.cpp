// Loads of real files written by the sample generator, through the default
// file reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "image_test_support.h"

namespace kovra {
namespace {

namespace fs = std::filesystem;

class ImageFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    fDir = fs::temp_directory_path() / (std::string("kovra-image-") + info->name());
    fs::remove_all(fDir);
    fs::create_directories(fDir);
  }
  void TearDown() override { fs::remove_all(fDir); }
  std::string PathOf(const char* name) const { return (fDir / name).string(); }

  fs::path fDir;
};

// Passes reads through to the real file and counts them.
class TCountingOpener final : public TFileOpener {
 public:
  testing::TReadCounter Counter;

  bool FileExists(const std::string& path) override { return DefaultFileOpener().FileExists(path); }
  std::unique_ptr<TReadableFile> OpenForReading(const std::string& path) override {
    struct File final : TReadableFile {
      std::unique_ptr<TReadableFile> Inner;
      testing::TReadCounter* Counter;
      uint64_t Size() override { return Inner->Size(); }
      void ReadAt(uint64_t offset, void* buffer, size_t count) override {
        Inner->ReadAt(offset, buffer, count);
        ++Counter->Calls;
        Counter->Bytes += count;
      }
    };
    auto file = std::make_unique<File>();
    file->Inner = DefaultFileOpener().OpenForReading(path);
    file->Counter = &Counter;
    return file;
  }
};

TEST_F(ImageFile, LoadReadsOnlyProbesAndTable) {
  // 512-byte pages, table in block 3: 24 probes of the first candidate, 4 of
  // the second, then 12 entries of 28 bytes.
  samples::TSampleImageSpec desc = samples::SampleSpecFor(512, 0x4000, 256);
  desc.TableBlock = 3;
  ASSERT_EQ(desc.Entries.size(), 12u);
  samples::WriteSampleImage(desc, PathOf("small.bin"));

  TCountingOpener opener;
  const TImageLoadResult r = LoadImageFileAndProcessIt(PathOf("small.bin"), false, opener);
  ASSERT_TRUE(r.Ok) << r.FailureText;
  EXPECT_EQ(opener.Counter.Bytes, 24u * 16 + 4 * 16 + 12 * 28);
  EXPECT_EQ(opener.Counter.Calls, 24u + 4 + 1);
  EXPECT_EQ(r.Geometry.FileSize, 0x420000u);
  EXPECT_EQ(r.Geometry.BlockCount, 256u);
  EXPECT_EQ(r.TableBlock, 3u);
}

TEST_F(ImageFile, DefaultSampleLoadsAsGenerated) {
  const samples::TSampleImageSpec desc = samples::DefaultSampleSpec();
  samples::WriteSampleImage(desc, PathOf("default.bin"));
  EXPECT_EQ(fs::file_size(PathOf("default.bin")), 0x8400000u);

  const TImageLoadResult r = LoadImageFileAndProcessIt(PathOf("default.bin"), false);
  ASSERT_TRUE(r.Ok) << r.FailureText;
  EXPECT_EQ(r.Log, (std::vector<std::string>{"Detected NAND Page = 0x0800 bytes",
                                             "Detected NAND Block = 0x00020000 bytes", "",
                                             "Partition Table is found in block: 0x0002",
                                             "Total quantity of listed partitions: 12"}));
  EXPECT_EQ(r.GaugeMax, 1055);
  ASSERT_EQ(r.Descriptors.size(), 12u);
  for (size_t i = 0; i < desc.Entries.size(); ++i) {
    EXPECT_EQ(EntryStoredName(r.PartitionTable.Entries[i]), desc.Entries[i].Name);
    EXPECT_EQ(r.PartitionTable.Entries[i].EntryBase, desc.Entries[i].Base);
    EXPECT_EQ(r.PartitionTable.Entries[i].EntrySize, desc.Entries[i].Size);
    EXPECT_EQ(r.PartitionTable.Entries[i].Unknown1, desc.Entries[i].Attributes);
  }
  // The partitions tile the flash: each starts where the previous one ends,
  // the last runs to the end.
  uint32_t next = 0;
  for (const TPartitionDescriptor& d : r.Descriptors) {
    EXPECT_EQ(d.BegBlock, next) << d.PartitionName;
    next = d.BegBlock + d.Blocks;
  }
  EXPECT_EQ(next, 1024u);
  EXPECT_EQ(r.PartitionTable.Entries.back().EntrySize, 0xFFFFFFFFu);
}

TEST_F(ImageFile, MissingFileAndFolder) {
  for (const std::string& path : {PathOf("absent.bin"), fDir.string()}) {
    const TImageLoadResult r = LoadImageFileAndProcessIt(path, false);
    EXPECT_EQ(r.Failure, TImageLoadFailure::MissingFile) << path;
    EXPECT_EQ(r.Log, std::vector<std::string>{"ERROR: Specified file does not exist!!!"});
    EXPECT_EQ(r.Geometry.FileSize, 0u);
  }
}

TEST_F(ImageFile, TruncatedTableIsAReadErrorNamingTheFile) {
  samples::TSampleImageSpec desc = samples::SampleSpecFor(2048, 0x20000, 64);
  desc.TableBlock = 0;
  const std::vector<uint8_t> bytes = samples::BuildSampleImage(desc);
  // Cut inside the third entry: 0x800 + 16 + 2 * 28 + 10 bytes remain.
  {
    std::ofstream out(PathOf("cut.bin"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), 0x800 + 16 + 2 * 28 + 10);
  }
  const TImageLoadResult r = LoadImageFileAndProcessIt(PathOf("cut.bin"), false);
  EXPECT_EQ(r.Failure, TImageLoadFailure::FileError);
  EXPECT_EQ(r.FailureText,
            "Read beyond end of file: " + PathOf("cut.bin") + " (offset 0x810, 336 bytes)");
  EXPECT_EQ(r.Log.size(), 4u);
}

}  // namespace
}  // namespace kovra
