// Where the table lies decides the geometry: three candidates in a fixed
// order, 24 probes each at page 1 of blocks 0..23.
#include <gtest/gtest.h>

#include "image_test_support.h"

namespace kovra {
namespace {

using testing::ImageSize;
using testing::LoadVirtual;
using testing::TableBytes;
using testing::TVirtualImage;

const std::vector<uint8_t> kTable = TableBytes({{"0:ALL", 0, 0xFFFFFFFF, 0}});
const std::vector<uint8_t> kSwappedMagic = {0x55, 0xEE, 0x73, 0xAA, 0xE3, 0x5E, 0xBD, 0xDB,
                                            0, 0, 0, 0, 1, 0, 0, 0};

struct GeometryCase {
  const char* what;
  uint64_t size;
  std::vector<std::pair<uint64_t, std::vector<uint8_t>>> tables;   // offset, bytes
  TImageLoadFailure failure;
  uint32_t page, block, blockCount, tableBlock, mainArea;
  int32_t gaugeMax;
};

TEST(ImageGeometry, DetectionByTablePosition) {
  const GeometryCase cases[] = {
      {"2048/0x20000, block 2", 0x8400000, {{0x40800, kTable}}, TImageLoadFailure::None,
       0x800, 0x20000, 1024, 2, 0x8000000, 1055},
      {"2048/0x20000, block 0", 0x8400000, {{0x800, kTable}}, TImageLoadFailure::None,
       0x800, 0x20000, 1024, 0, 0x8000000, 1055},
      {"2048/0x20000, block 23", 0x8400000, {{0x2E0800, kTable}}, TImageLoadFailure::None,
       0x800, 0x20000, 1024, 23, 0x8000000, 1055},
      {"2048/0x20000, block 24 is never probed", 0x8400000, {{0x300800, kTable}},
       TImageLoadFailure::NoTable, 0, 0, 0, 0, 0x8000000, 0},
      {"page 0 of block 2 is never probed", 0x8400000, {{0x40000, kTable}},
       TImageLoadFailure::NoTable, 0, 0, 0, 0, 0x8000000, 0},
      {"magics in the wrong byte order", 0x8400000, {{0x40800, kSwappedMagic}},
       TImageLoadFailure::NoTable, 0, 0, 0, 0, 0x8000000, 0},
      {"512/0x4000, block 3, after all 24 probes of the first candidate", 0x8400000,
       {{0xC200, kTable}}, TImageLoadFailure::None, 0x200, 0x4000, 0x2000, 3, 0x8000000, 0x20FF},
      {"512/0x4000, block 23", 0x8400000, {{0x5C200, kTable}}, TImageLoadFailure::None,
       0x200, 0x4000, 0x2000, 23, 0x8000000, 0x20FF},
      {"4096/0x40000, block 0", 0x8400000, {{0x1000, kTable}}, TImageLoadFailure::None,
       0x1000, 0x40000, 512, 0, 0x8000000, 527},
      {"4096/0x40000, block 23", 0x8400000, {{0x5C1000, kTable}}, TImageLoadFailure::None,
       0x1000, 0x40000, 512, 23, 0x8000000, 527},
      {"4096/0x40000, block 24", 0x8400000, {{0x601000, kTable}}, TImageLoadFailure::NoTable,
       0, 0, 0, 0, 0x8000000, 0},
      {"first candidate wins over an earlier block of the second", 0x8400000,
       {{0x200, kTable}, {0x60800, kTable}}, TImageLoadFailure::None,
       0x800, 0x20000, 1024, 3, 0x8000000, 1055},
      {"first matching block wins", 0x8400000, {{0xA0800, kTable}, {0x60800, kTable}},
       TImageLoadFailure::None, 0x800, 0x20000, 1024, 3, 0x8000000, 1055},
      {"100 trailing bytes are ignored", 0x8400000 + 100, {{0x40800, kTable}},
       TImageLoadFailure::None, 0x800, 0x20000, 1024, 2, 0x8000000, 1055},
      {"a size that is not a multiple of 528 keeps whole sectors only", 0x8400000 - 1,
       {{0x40800, kTable}}, TImageLoadFailure::None, 0x800, 0x20000, 1023, 2, 0x7FFFE00, 1054},
  };
  for (const GeometryCase& c : cases) {
    SCOPED_TRACE(c.what);
    TVirtualImage image{c.size, {}};
    for (const auto& [offset, bytes] : c.tables) image.Put(offset, bytes);
    const TImageLoadResult r = LoadVirtual(image);
    EXPECT_EQ(r.Failure, c.failure);
    EXPECT_EQ(r.Ok, c.failure == TImageLoadFailure::None);
    EXPECT_EQ(r.Geometry.FileSize, c.size);
    EXPECT_EQ(r.Geometry.MainAreaSize, c.mainArea);
    EXPECT_EQ(r.Geometry.PageSize, c.page);
    EXPECT_EQ(r.Geometry.BlockSize, c.block);
    if (c.failure == TImageLoadFailure::None) {
      EXPECT_EQ(r.Geometry.BlockCount, c.blockCount);
      EXPECT_EQ(r.TableBlock, c.tableBlock);
      EXPECT_EQ(r.GaugeMax, c.gaugeMax);
      EXPECT_EQ(r.LoadedImageName, "image.bin");
    } else {
      EXPECT_EQ(r.FailureText, "ERROR: Cannot find Qualcomm Partition Table.");
      EXPECT_TRUE(r.Log.empty());   // a message box, not a log line
      EXPECT_EQ(r.LoadedImageName, "");
    }
  }
}

TEST(ImageGeometry, LogLinesNameGeometryAndBlock) {
  struct {
    uint64_t offset;
    std::vector<std::string> log;
  } const cases[] = {
      {0x40800, {"Detected NAND Page = 0x0800 bytes", "Detected NAND Block = 0x00020000 bytes", "",
                 "Partition Table is found in block: 0x0002", "Total quantity of listed partitions: 1"}},
      {0x5C200, {"Detected NAND Page = 0x0200 bytes", "Detected NAND Block = 0x00004000 bytes", "",
                 "Partition Table is found in block: 0x0017", "Total quantity of listed partitions: 1"}},
      {0x41000, {"Detected NAND Page = 0x1000 bytes", "Detected NAND Block = 0x00040000 bytes", "",
                 "Partition Table is found in block: 0x0001", "Total quantity of listed partitions: 1"}},
  };
  for (const auto& c : cases) {
    const TImageLoadResult r = LoadVirtual(TVirtualImage{0x8400000, {{c.offset, kTable}}});
    EXPECT_EQ(r.Log, c.log) << std::hex << c.offset;
  }
}

// The first candidate's probes reach 0x2E0810: a shorter file without a
// table there ends with the read error, whatever lies further on.
TEST(ImageGeometry, ShortFileEndsWithReadError) {
  struct {
    const char* what;
    uint64_t size;
    uint64_t tableAt;   // 0: none
    bool loads;
  } const cases[] = {
      {"no table, 1 MiB", 0x100000, 0, false},
      {"no table, one byte short of the last probe", 0x2E080F, 0, false},
      {"no table, exactly the last probe", 0x2E0810, 0, false},   // runs into the second candidate
      {"table of 512-byte pages in a 2 MiB file", 0x200000, 0xC200, false},
      {"table of 2048-byte pages in a 1 MiB file", 0x100000, 0x20800, true},
      {"empty file", 0, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TVirtualImage image{c.size, {}};
    if (c.tableAt) image.Put(c.tableAt, kTable);
    const TImageLoadResult r = LoadVirtual(image);
    if (c.loads) {
      EXPECT_TRUE(r.Ok);
      continue;
    }
    EXPECT_EQ(r.Failure, TImageLoadFailure::FileError);
    EXPECT_EQ(r.FailureText.rfind("Read beyond end of file: image.bin", 0), 0u) << r.FailureText;
  }
}

TEST(ImageGeometry, ExactLastProbeFileFailsOnSecondCandidate) {
  // 0x2E0810 bytes hold every probe of the first candidate and all of the
  // second's (up to 0x5C210), but not the third's in block 12 (0x301000).
  const TImageLoadResult r = LoadVirtual(TVirtualImage{0x2E0810, {}});
  EXPECT_EQ(r.FailureText, "Read beyond end of file: image.bin (offset 0x301000, 16 bytes)");
}

TEST(ImageGeometry, ImagesOf4GiBAndMoreAreRefused) {
  const TImageLoadResult big = LoadVirtual(TVirtualImage{0x100000000ull, {{0x40800, kTable}}});
  EXPECT_EQ(big.Failure, TImageLoadFailure::FileError);
  EXPECT_NE(big.FailureText.find("4 GiB"), std::string::npos) << big.FailureText;
  EXPECT_NE(big.FailureText.find("image.bin"), std::string::npos);

  // One byte less still fits the 32-bit layout: 8134407 whole sectors.
  const TImageLoadResult largest = LoadVirtual(TVirtualImage{0xFFFFFFFFull, {{0x40800, kTable}}});
  ASSERT_TRUE(largest.Ok) << largest.FailureText;
  EXPECT_EQ(largest.Geometry.FileSize, 0xFFFFFFFFu);
  EXPECT_EQ(largest.Geometry.MainAreaSize, 4164816384u);
  EXPECT_EQ(largest.Geometry.BlockCount, 31775u);
  EXPECT_EQ(largest.Descriptors[0].Blocks, 31775u);
}

}  // namespace
}  // namespace kovra
