// A copy of the image with one partition's data of one kind taken from a
// file: save and replace round trip, the bytes that change, and refusals
// that leave no output.
#include <gtest/gtest.h>

#include "export/PartitionFiles.h"
#include "export_test_support.h"
#include "inspect/PartitionReplace.h"
#include "inspect_test_support.h"

namespace kovra::testing {
namespace {

const TPartitionDataKind kKinds[] = {TPartitionDataKind::Main, TPartitionDataKind::Spare,
                                     TPartitionDataKind::Full};

class PartitionReplace : public ::testing::TestWithParam<TGeometryCase> {
 protected:
  // MIBIB 0, P 1-3 with data, LAST 4 to the end; 100 trailing bytes.
  void SetUp() override {
    g = GetParam();
    TVirtualImage image = GeometryImage(g, {{"0:MIBIB", 0, 1}, {"0:P", 1, 3}, {"0:LAST", 4, 0xFFFFFFFF}}, 100);
    for (uint64_t at : {uint64_t(g.BlockSize) + 7, uint64_t(3) * g.BlockSize - 1, g.SpareOf(1), g.SpareOf(4) - 1,
                        g.MainSize() - 1, g.FileSize() - 1, g.FileSize() + 99})
      image.Put(at, {uint8_t(at * 7 + 1)});
    files.Files["image.bin"] = image;
    loaded = LoadNamed(files, "image.bin");
    ctx = ContextOf(loaded, files);
    ctx.Creator = &creator;
    ctx.Hooks = &hooks;
  }
  TPartitionExtent Extent(size_t row) const {
    return PartitionExtent(loaded.Geometry, loaded.PartitionTable.Entries[row]);
  }
  // FILE as a virtual file holding bytes.
  void PutFrom(const std::vector<uint8_t>& bytes) {
    files.Files["from.bin"] = TVirtualImage{bytes.size(), {{0, bytes}}};
  }
  void Replace(size_t row, TPartitionDataKind kind, const std::string& out = "out.bin") {
    const TReplacePlan plan = PlanPartitionReplace(ctx, loaded.Descriptors[row].PartitionName, Extent(row),
                                                   kind, "from.bin", out);
    WriteReplacedImage(ctx, plan);
  }

  TGeometryCase g;
  TVirtualOpener files;
  TMemoryCreator creator;
  TRecordingHooks hooks;
  TImageLoadResult loaded;
  TExportContext ctx;
};

TEST_P(PartitionReplace, SaveThenReplaceGivesTheImageByteForByte) {
  const std::vector<uint8_t> original = BytesOf(files, "image.bin");
  for (size_t row : {size_t(1), size_t(2)}) {
    for (TPartitionDataKind kind : kKinds) {
      SCOPED_TRACE(std::string(PartitionDataKindName(kind)) + " of " + loaded.Descriptors[row].PartitionName);
      const std::string saved = SavePartitionDataIntoFile(ctx, loaded.PartitionTable, loaded.Descriptors, row,
                                                          kind != TPartitionDataKind::Spare,
                                                          kind != TPartitionDataKind::Main, "save");
      ASSERT_EQ(creator.Files.at(saved).size(), PartitionDataFileSize(Extent(row), kind));
      PutFrom(creator.Files.at(saved));
      Replace(row, kind);
      EXPECT_TRUE(creator.Files.at("out.bin") == original) << "the trailing bytes too";
    }
  }
}

TEST_P(PartitionReplace, OnlyThePartitionsBytesOfThatKindChange) {
  const std::vector<uint8_t> original = BytesOf(files, "image.bin");
  const uint64_t bs = g.BlockSize;
  for (TPartitionDataKind kind : kKinds) {
    SCOPED_TRACE(PartitionDataKindName(kind));
    const uint64_t mainLength = kind == TPartitionDataKind::Spare ? 0 : 3 * bs;
    const uint64_t spareLength = kind == TPartitionDataKind::Main ? 0 : 3 * bs / 32;
    std::vector<uint8_t> from(mainLength + spareLength);
    for (size_t i = 0; i < from.size(); ++i) from[i] = uint8_t(i / 3);
    PutFrom(from);
    Replace(1, kind);
    // Worked out by hand: P's main data at block 1, its spare data at the
    // start of the spare area plus block 1's share.
    std::vector<uint8_t> expected = original;
    std::copy_n(from.begin(), mainLength, expected.begin() + bs);
    std::copy_n(from.begin() + mainLength, spareLength, expected.begin() + g.MainSize() + bs / 32);
    const std::vector<uint8_t>& out = creator.Files.at("out.bin");
    ASSERT_EQ(out.size(), expected.size());
    EXPECT_TRUE(out == expected);
  }
  EXPECT_EQ(hooks.Position, 0);
  EXPECT_GE(hooks.Steps, int64_t(g.FileSize() / g.BlockSize));
}

TEST_P(PartitionReplace, RefusalsComeBeforeAnythingIsWritten) {
  const TPartitionExtent p = Extent(1);
  struct TCase {
    const char* What;
    size_t Row;
    TPartitionDataKind Kind;
    uint64_t FromSize;
    std::string Out;
    std::string Error;
  } const cases[] = {
      {"one byte short", 1, TPartitionDataKind::Main, p.MainLength - 1, "out.bin",
       "from.bin holds " + std::to_string(p.MainLength - 1) + " bytes (" + HexText(p.MainLength - 1) +
           "), but P main data as save writes it is " + std::to_string(p.MainLength) + " bytes (" +
           HexText(p.MainLength) + "); nothing was written"},
      {"one byte long", 1, TPartitionDataKind::Spare, p.SpareLength + 1, "out.bin",
       "from.bin holds " + std::to_string(p.SpareLength + 1) + " bytes (" + HexText(p.SpareLength + 1) +
           "), but P spare data as save writes it is " + std::to_string(p.SpareLength) + " bytes (" +
           HexText(p.SpareLength) + "); nothing was written"},
      {"main size for full", 1, TPartitionDataKind::Full, p.MainLength, "out.bin",
       "from.bin holds " + std::to_string(p.MainLength) + " bytes (" + HexText(p.MainLength) +
           "), but P main and spare data as save writes it is " +
           std::to_string(p.MainLength + p.SpareLength) + " bytes (" + HexText(p.MainLength + p.SpareLength) +
           "); nothing was written"},
      {"OUT is the image", 1, TPartitionDataKind::Main, p.MainLength, "image-link.bin",
       "Cannot write to the loaded image itself: image-link.bin is the image file image.bin; choose "
       "another file name"},
      {"OUT is FILE", 1, TPartitionDataKind::Main, p.MainLength, "from-link.bin",
       "Cannot write from-link.bin: it is the input file from.bin, which would be emptied before it is "
       "read; choose another file name"},
  };
  creator.Same = {{"image.bin", "image-link.bin"}, {"from.bin", "from-link.bin"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    PutFrom(std::vector<uint8_t>(c.FromSize, 0x00));
    try {
      Replace(c.Row, c.Kind, c.Out);
      ADD_FAILURE() << "no error";
    } catch (const TFileError& e) {
      EXPECT_EQ(std::string(e.what()), c.Error);
    }
    EXPECT_TRUE(creator.Created.empty());
  }
}

TEST_P(PartitionReplace, APartitionPastTheFlashIsRefused) {
  files.Files["far.bin"] = GeometryImage(g, {{"0:MIBIB", 0, 1}, {"0:FAR", g.BlockCount - 1, 2}});
  const TImageLoadResult far = LoadNamed(files, "far.bin");
  TExportContext farCtx = ContextOf(far, files);
  farCtx.Creator = &creator;
  const TPartitionExtent x = PartitionExtent(far.Geometry, far.PartitionTable.Entries[1]);
  PutFrom(std::vector<uint8_t>(x.MainLength, 0x00));
  try {
    PlanPartitionReplace(farCtx, "FAR", x, TPartitionDataKind::Main, "from.bin", "out.bin");
    FAIL() << "no error";
  } catch (const TFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Partition FAR (blocks " + HexText(g.BlockCount - 1, 4) + ".." + HexText(g.BlockCount + 1, 4) +
                  " exclusive) reaches past the end of the flash (" + HexText(g.BlockCount, 4) +
                  " blocks) in far.bin; nothing was written");
  }
  EXPECT_TRUE(creator.Created.empty());
}

TEST_P(PartitionReplace, AFailedWriteSaysOutputWasCreated) {
  PutFrom(std::vector<uint8_t>(Extent(1).MainLength, 0x00));
  const TReplacePlan plan = PlanPartitionReplace(ctx, "P", Extent(1), TPartitionDataKind::Main, "from.bin", "out.bin");
  creator.FailAfterBytes = g.BlockSize + 1;
  bool created = false;
  EXPECT_THROW(WriteReplacedImage(ctx, plan, &created), TFileError);
  EXPECT_TRUE(created) << "the caller must remove the unfinished OUT";
}

INSTANTIATE_TEST_SUITE_P(Geometries, PartitionReplace, ::testing::ValuesIn(kGeometryCases),
                         [](const auto& info) { return std::to_string(info.index); });

}  // namespace
}  // namespace kovra::testing
