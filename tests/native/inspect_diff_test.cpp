// Two images compared partition by partition, one block of each at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "export_test_support.h"
#include "inspect/ImageDiff.h"
#include "inspect_test_support.h"

namespace kovra::testing {
namespace {

// Reads of the wrapped opener, with the largest single read.
class TWatchingOpener final : public TFileOpener {
 public:
  explicit TWatchingOpener(TFileOpener& inner) : fInner(inner) {}
  size_t LargestRead = 0;
  uint64_t Bytes = 0;
  bool FileExists(const std::string& path) override { return fInner.FileExists(path); }
  std::unique_ptr<TReadableFile> OpenForReading(const std::string& path) override {
    return std::make_unique<TFile>(fInner.OpenForReading(path), *this);
  }

 private:
  class TFile final : public TReadableFile {
   public:
    TFile(std::unique_ptr<TReadableFile> f, TWatchingOpener& o) : fFile(std::move(f)), fOwner(o) {}
    uint64_t Size() override { return fFile->Size(); }
    void ReadAt(uint64_t offset, void* buffer, size_t count) override {
      fOwner.LargestRead = std::max(fOwner.LargestRead, count);
      fOwner.Bytes += count;
      fFile->ReadAt(offset, buffer, count);
    }

   private:
    std::unique_ptr<TReadableFile> fFile;
    TWatchingOpener& fOwner;
  };
  TFileOpener& fInner;
};

constexpr int64_t kSame = -1;

struct TExpectedRow {
  const char* Name;
  TDiffStatus Status;
  int64_t MainFirst;   // kSame: main identical
  uint32_t MainBlocks;
  int64_t SpareFirst;
  uint32_t SpareBlocks;
};

void ExpectRows(const TImageDiff& d, const std::vector<TExpectedRow>& rows) {
  ASSERT_EQ(d.Partitions.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const TPartitionDiff& p = d.Partitions[i];
    const TExpectedRow& r = rows[i];
    SCOPED_TRACE(r.Name);
    EXPECT_EQ(p.Name, r.Name);
    EXPECT_EQ(int(p.Status), int(r.Status));
    EXPECT_EQ(p.Main.Identical, r.MainFirst == kSame);
    if (r.MainFirst != kSame) EXPECT_EQ(p.Main.FirstDifference, uint64_t(r.MainFirst));
    EXPECT_EQ(p.Main.DifferingBlocks, r.MainBlocks);
    EXPECT_EQ(p.Spare.Identical, r.SpareFirst == kSame);
    if (r.SpareFirst != kSame) EXPECT_EQ(p.Spare.FirstDifference, uint64_t(r.SpareFirst));
    EXPECT_EQ(p.Spare.DifferingBlocks, r.SpareBlocks);
  }
}

class ImageDiffOfGeometry : public ::testing::TestWithParam<TGeometryCase> {};

// MIBIB holds the table in block 0; P blocks 1-4, Q 5-7, LAST 8 to the end.
TEST_P(ImageDiffOfGeometry, OneByteInMainOrSpareIsFoundWithItsOffsetAndBlock) {
  const TGeometryCase g = GetParam();
  const std::vector<samples::TSampleEntry> table = {
      {"0:MIBIB", 0, 1}, {"0:P", 1, 4}, {"0:Q", 5, 3}, {"0:LAST", 8, 0xFFFFFFFF}};
  const uint64_t bs = g.BlockSize, sbs = g.BlockSize / 32;
  const uint64_t lastMain = (g.BlockCount - 8) * bs;
  struct TCase {
    const char* What;
    std::vector<uint64_t> Changed;   // bytes of B that differ from A
    std::vector<TExpectedRow> Rows;
  } const cases[] = {
      {"identical", {}, {}},
      {"one main byte inside P", {2 * bs + 0x123},
       {{"P", TDiffStatus::Different, int64_t(bs + 0x123), 1, kSame, 0}}},
      {"one spare byte of Q's second block", {g.SpareOf(6) + 7},
       {{"Q", TDiffStatus::Different, kSame, 0, int64_t(sbs + 7), 1}}},
      {"the last byte of main and of spare data (the image's last block)",
       {g.MainSize() - 1, g.FileSize() - 1},
       {{"LAST", TDiffStatus::Different, int64_t(lastMain - 1), 1, int64_t(lastMain / 32 - 1), 1}}},
      {"the first and the last block of P, the later one changed first", {4 * bs + 9, 1 * bs + 0x10},
       {{"P", TDiffStatus::Different, 0x10, 2, kSame, 0}}},
      {"spare bytes of P's first and third block, read in one piece", {g.SpareOf(3) + 1, g.SpareOf(1) + 5},
       {{"P", TDiffStatus::Different, kSame, 0, 5, 2}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TVirtualOpener files;
    files.Files["a.bin"] = GeometryImage(g, table);
    files.Files["a.bin"].Put(3 * bs, {0x11, 0x22});   // data both share
    files.Files["b.bin"] = files.Files["a.bin"];
    for (uint64_t at : c.Changed) files.Files["b.bin"].Put(at, {0x5A});
    const TImageLoadResult a = LoadNamed(files, "a.bin"), b = LoadNamed(files, "b.bin");
    TWatchingOpener watch(files);
    TRecordingHooks hooks;
    const TImageDiff d = DiffImages(a, b, &hooks, &watch);

    std::vector<TExpectedRow> rows = {{"MIBIB", TDiffStatus::Identical, kSame, 0, kSame, 0},
                                      {"P", TDiffStatus::Identical, kSame, 0, kSame, 0},
                                      {"Q", TDiffStatus::Identical, kSame, 0, kSame, 0},
                                      {"LAST", TDiffStatus::Identical, kSame, 0, kSame, 0}};
    for (const TExpectedRow& changed : c.Rows)
      for (TExpectedRow& r : rows)
        if (std::string(r.Name) == changed.Name) r = changed;
    ExpectRows(d, rows);
    EXPECT_EQ(d.Identical(), c.Changed.empty());
    EXPECT_EQ(d.OutsideBlocks, 0u);
    // Every block once, one block of each image at a time.
    EXPECT_EQ(watch.Bytes, 2 * (g.MainSize() + g.MainSize() / 32));
    EXPECT_EQ(watch.LargestRead, g.BlockSize);
    EXPECT_EQ(hooks.Max, g.BlockCount);
    EXPECT_EQ(hooks.Steps, g.BlockCount);
    EXPECT_EQ(hooks.Position, 0);
  }
}

TEST_P(ImageDiffOfGeometry, ImagesOfAnotherGeometryAreRefused) {
  const TGeometryCase g = GetParam();
  for (const TGeometryCase& other : kGeometryCases) {
    if (other.BlockSize == g.BlockSize) continue;
    TVirtualOpener files;
    files.Files["a.bin"] = GeometryImage(g, {{"0:P", 1, 4}});
    files.Files["b.bin"] = GeometryImage(other, {{"0:P", 1, 4}});
    const TImageLoadResult a = LoadNamed(files, "a.bin"), b = LoadNamed(files, "b.bin");
    files.Counter = {};
    EXPECT_NE(GeometryMismatchText("a.bin", a.Geometry, "b.bin", b.Geometry), "");
    EXPECT_THROW(DiffImages(a, b, nullptr, &files), std::invalid_argument);
    EXPECT_EQ(files.Counter.Bytes, 0u) << "nothing compared";
  }
}

INSTANTIATE_TEST_SUITE_P(Geometries, ImageDiffOfGeometry, ::testing::ValuesIn(kGeometryCases),
                         [](const auto& info) { return std::to_string(info.index); });

TEST(ImageDiffGeometry, SameBlockSizeButAnotherBlockCountIsAnotherGeometry) {
  ImageGeometry a = Geometry(2048, 0x20000, 1024), b = a;
  EXPECT_EQ(GeometryMismatchText("a.bin", a, "b.bin", b), "");
  b.BlockCount = 2048;
  EXPECT_EQ(GeometryMismatchText("a.bin", a, "b.bin", b),
            "The images differ in geometry and cannot be compared: a.bin has 2048-byte pages, "
            "0x20000-byte blocks, 1024 blocks; b.bin has 2048-byte pages, 0x20000-byte blocks, "
            "2048 blocks");
  b = a;
  b.FileSize += 100;   // trailing bytes are not geometry
  EXPECT_EQ(GeometryMismatchText("a.bin", a, "b.bin", b), "");
}

// 2048-byte pages, 32 blocks of 0x20000; tables that disagree.
TEST(ImageDiffTables, PartitionsMatchedByNameMissingMovedAndOutside) {
  const TGeometryCase g = kGeometryCases[0];
  const uint64_t bs = g.BlockSize;
  TVirtualOpener files;
  // A: MIBIB 0, P 1-2, DUP 3, DUP 4, GONE 5, SIZE 6-7, then 8-9 uncovered, REST 10-.
  files.Files["a.bin"] = GeometryImage(g, {{"0:MIBIB", 0, 1}, {"0:P", 1, 2}, {"0:DUP", 3, 1},
                                           {"0:DUP", 4, 1}, {"0:GONE", 5, 1}, {"0:SIZE", 6, 2},
                                           {"0:REST", 10, 0xFFFFFFFF}});
  // B: P and REST in another order, SIZE one block longer (into block 8),
  // NEW in block 9 (so only block 8 is outside of both... and SIZE covers it).
  files.Files["b.bin"] = GeometryImage(g, {{"0:MIBIB", 0, 1}, {"0:REST", 10, 0xFFFFFFFF},
                                           {"0:P", 1, 2}, {"0:DUP", 3, 1}, {"0:DUP", 4, 1},
                                           {"0:SIZE", 6, 3}, {"0:NEW", 5, 1}});
  files.Files["b.bin"].Put(4 * bs + 1, {0x00});   // the second DUP
  files.Files["b.bin"].Put(8 * bs, {0x00});       // SIZE's extra block holds data in B
  files.Files["a.bin"].Put(9 * bs + 2, {0x00});   // block 9: outside every partition
  files.Files["b.bin"].Put(9 * bs + 3, {0x00});
  const TImageLoadResult a = LoadNamed(files, "a.bin"), b = LoadNamed(files, "b.bin");
  const TImageDiff d = DiffImages(a, b, nullptr, &files);

  // The tables differ from entry 1's name on: 0x800 + 16 + 28 + 2.
  ExpectRows(d, {{"MIBIB", TDiffStatus::Different, 0x82E, 1, kSame, 0},
                 {"P", TDiffStatus::Identical, kSame, 0, kSame, 0},
                 {"DUP", TDiffStatus::Identical, kSame, 0, kSame, 0},
                 {"DUP", TDiffStatus::Different, 1, 1, kSame, 0},
                 {"GONE", TDiffStatus::OnlyInA, kSame, 0, kSame, 0},
                 {"SIZE", TDiffStatus::Different, int64_t(2 * bs), 1, int64_t(2 * bs / 32), 1},
                 {"REST", TDiffStatus::Identical, kSame, 0, kSame, 0},
                 {"NEW", TDiffStatus::OnlyInB, kSame, 0, kSame, 0}});
  EXPECT_EQ(d.Partitions[1].PositionA, 2u);
  EXPECT_EQ(d.Partitions[1].PositionB, 3u);
  EXPECT_EQ(d.Partitions[6].PositionB, 2u);
  EXPECT_EQ(d.Partitions[7].PositionA, 0u);
  EXPECT_EQ(d.Partitions[7].PositionB, 7u);
  EXPECT_TRUE(d.Partitions[5].EntryDiffers);
  EXPECT_FALSE(d.Partitions[3].EntryDiffers);
  EXPECT_EQ(d.Count(TDiffStatus::Different), 3u);

  EXPECT_EQ(d.OutsideBlocks, 1u) << "block 9";
  EXPECT_FALSE(d.OutsideMain.Identical);
  EXPECT_EQ(d.OutsideMain.FirstDifference, 9 * bs + 2) << "an offset in the image";
  EXPECT_EQ(d.OutsideMain.DifferingBlocks, 1u);
  EXPECT_TRUE(d.OutsideSpare.Identical);
  EXPECT_FALSE(d.Identical());
}

TEST(ImageDiffTables, OnlyOutsideThePartitionsStillMakesTheImagesDiffer) {
  const TGeometryCase g = kGeometryCases[1];
  TVirtualOpener files;
  files.Files["a.bin"] = GeometryImage(g, {{"0:MIBIB", 0, 1}, {"0:P", 1, 4}});
  files.Files["b.bin"] = files.Files["a.bin"];
  files.Files["b.bin"].Put(g.SpareOf(100) + 20, {0x00});
  const TImageLoadResult a = LoadNamed(files, "a.bin"), b = LoadNamed(files, "b.bin");
  const TImageDiff d = DiffImages(a, b, nullptr, &files);
  EXPECT_EQ(d.Count(TDiffStatus::Identical), 2u);
  EXPECT_EQ(d.OutsideBlocks, g.BlockCount - 5);
  EXPECT_TRUE(d.OutsideMain.Identical);
  EXPECT_EQ(d.OutsideSpare.FirstDifference, g.SpareOf(100) + 20);
  EXPECT_EQ(d.OutsideSpare.DifferingBlocks, 1u);
  EXPECT_FALSE(d.Identical());
}

TEST(ImageDiffTables, APartitionPastTheEndOfAShortImageIsAReadError) {
  const TGeometryCase g = kGeometryCases[0];
  TVirtualOpener files;
  files.Files["a.bin"] = GeometryImage(g, {{"0:MIBIB", 0, 1}, {"0:FAR", 40, 2}});
  files.Files["b.bin"] = files.Files["a.bin"];
  const TImageLoadResult a = LoadNamed(files, "a.bin"), b = LoadNamed(files, "b.bin");
  try {
    DiffImages(a, b, nullptr, &files);
    FAIL() << "no error";
  } catch (const TFileError& e) {
    EXPECT_EQ(std::string(e.what()), ReadBeyondEndText("a.bin", 40 * uint64_t(g.BlockSize), g.BlockSize));
  }
}

}  // namespace
}  // namespace kovra::testing
