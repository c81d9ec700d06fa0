// The output file seam on the real file system: small writes gathered, large
// ones direct, the order kept, and what was written kept when an error ends
// the command before Close.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/FileWriter.h"

namespace kovra {
namespace {

class FileWriterOnDisk : public ::testing::Test {
 protected:
  std::filesystem::path dir;
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          (std::string("kovra-writer-") +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::vector<uint8_t> Read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

// Spare runs of 0x200 bytes between blocks of 0x4000, as a full partition
// file is written, then the writer dropped without Close (an error).
TEST_F(FileWriterOnDisk, MixedWritesKeepTheirOrderAndSurviveAnError) {
  const auto path = dir / "out.bin";
  std::vector<uint8_t> expected;
  {
    auto out = DefaultFileCreator().CreateForWriting(path.string());
    for (int i = 0; i < 3; ++i) {
      std::vector<uint8_t> block(0x4000, uint8_t(i));
      out->Write(block.data(), block.size());
      expected.insert(expected.end(), block.begin(), block.end());
    }
    for (int i = 0; i < 300; ++i) {
      std::vector<uint8_t> spare(0x200, uint8_t(0x80 + i % 7));
      out->Write(spare.data(), spare.size());
      expected.insert(expected.end(), spare.begin(), spare.end());
    }
    std::vector<uint8_t> block(0x20000, 0x55);
    out->Write(block.data(), block.size());
    expected.insert(expected.end(), block.begin(), block.end());
    const uint8_t tail[3] = {1, 2, 3};
    out->Write(tail, 3);
    expected.insert(expected.end(), tail, tail + 3);
  }
  EXPECT_EQ(Read(path), expected);
}

TEST_F(FileWriterOnDisk, CreateEmptiesAnExistingFile) {
  const auto path = dir / "old.bin";
  std::ofstream(path, std::ios::binary) << "previous content";
  auto out = DefaultFileCreator().CreateForWriting(path.string());
  out->Write("ab", 2);
  out->Close();
  EXPECT_EQ(Read(path), (std::vector<uint8_t>{'a', 'b'}));
  EXPECT_THROW(out->Write("c", 1), TFileError);
}

TEST_F(FileWriterOnDisk, SameFileMeansTheSameFileNotTheSameText) {
  const auto a = dir / "a.bin";
  std::ofstream(a) << "x";
  std::ofstream(dir / "b.bin") << "x";
  TFileCreator& c = DefaultFileCreator();
  EXPECT_TRUE(c.IsSameFile(a.string(), (dir / "." / "a.bin").string()));
  EXPECT_FALSE(c.IsSameFile(a.string(), (dir / "b.bin").string()));
  EXPECT_FALSE(c.IsSameFile(a.string(), (dir / "missing.bin").string()));
  EXPECT_FALSE(c.IsSameFile((dir / "missing.bin").string(), (dir / "missing.bin").string()));
}

}  // namespace
}  // namespace kovra
