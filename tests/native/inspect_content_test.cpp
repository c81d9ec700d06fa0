// What a partition holds: blank from the blank check, a format from an
// unambiguous magic number at the start of its first block, data otherwise.
#include <gtest/gtest.h>

#include "export_test_support.h"
#include "inspect/PartitionContent.h"
#include "inspect_test_support.h"

namespace kovra::testing {
namespace {

std::vector<uint8_t> Hex(std::initializer_list<int> values) {
  std::vector<uint8_t> v;
  for (int x : values) v.push_back(static_cast<uint8_t>(x));
  return v;
}
std::vector<uint8_t> Text(const std::string& s) { return {s.begin(), s.end()}; }

struct TMagicCase {
  const char* What;
  std::vector<uint8_t> Bytes;
  TPartitionContent Content;
};

// jffs2 node headers whose CRC came from another CRC-32 implementation
// (zlib's, with its inversions undone).
const std::vector<TMagicCase> kMagicCases = {
    {"ELF", Hex({0x7F, 'E', 'L', 'F', 1, 1, 1, 0}), TPartitionContent::Elf},
    {"Android boot image", Text("ANDROID!\x00\x10"), TPartitionContent::AndroidBoot},
    {"UBI erase counter header", Text("UBI#\x01"), TPartitionContent::Ubi},
    {"UBIFS node", Hex({0x31, 0x18, 0x10, 0x06, 0x8A, 0x5B}), TPartitionContent::Ubifs},
    {"squashfs superblock", Text("hsqs\x05\x00\x00\x00"), TPartitionContent::Squashfs},
    {"jffs2 clean marker, little-endian",
     Hex({0x85, 0x19, 0x03, 0x20, 0x0C, 0x00, 0x00, 0x00, 0xB1, 0xB0, 0x1E, 0xE4}), TPartitionContent::Jffs2},
    {"jffs2 clean marker, big-endian",
     Hex({0x19, 0x85, 0x20, 0x03, 0x00, 0x00, 0x00, 0x0C, 0xF0, 0x60, 0xDC, 0x98}), TPartitionContent::Jffs2},
    {"jffs2 inode, little-endian",
     Hex({0x85, 0x19, 0x02, 0xE0, 0x44, 0x00, 0x00, 0x00, 0x1D, 0xFB, 0xF7, 0x98}), TPartitionContent::Jffs2},
    // Near misses are data: nothing is guessed.
    {"jffs2 magic and type, header CRC wrong",
     Hex({0x85, 0x19, 0x03, 0x20, 0x0C, 0x00, 0x00, 0x00, 0xB1, 0xB0, 0x1E, 0xE5}), TPartitionContent::Data},
    {"jffs2 magic, unknown node type",
     Hex({0x85, 0x19, 0x07, 0x20, 0x0C, 0x00, 0x00, 0x00, 0xB1, 0xB0, 0x1E, 0xE4}), TPartitionContent::Data},
    {"jffs2 clean marker cut short", Hex({0x85, 0x19, 0x03, 0x20, 0x0C, 0x00, 0x00, 0x00, 0xB1}),
     TPartitionContent::Data},
    {"ELF magic one byte off", Hex({0x7F, 'E', 'L', 'G'}), TPartitionContent::Data},
    {"ELF magic not at the start", Hex({0x00, 0x7F, 'E', 'L', 'F'}), TPartitionContent::Data},
    {"ANDROID without the mark", Text("ANDROID?"), TPartitionContent::Data},
    {"squashfs magic big-endian", Text("sqsh"), TPartitionContent::Data},
    {"UBIFS magic big-endian", Hex({0x06, 0x10, 0x18, 0x31}), TPartitionContent::Data},
    {"erased", Hex({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
     TPartitionContent::Data},
    {"nothing", {}, TPartitionContent::Data},
};

TEST(ContentFromMagic, UnambiguousMagicNumbersOnly) {
  for (const TMagicCase& c : kMagicCases) {
    SCOPED_TRACE(c.What);
    EXPECT_EQ(PartitionContentName(ContentFromMagic(c.Bytes.data(), c.Bytes.size())),
              std::string(PartitionContentName(c.Content)));
  }
}

TEST(ContentFromMagic, Names) {
  const std::pair<TPartitionContent, const char*> names[] = {
      {TPartitionContent::Blank, "blank"},     {TPartitionContent::Elf, "elf"},
      {TPartitionContent::AndroidBoot, "android-boot"}, {TPartitionContent::Ubi, "ubi"},
      {TPartitionContent::Ubifs, "ubifs"},     {TPartitionContent::Squashfs, "squashfs"},
      {TPartitionContent::Jffs2, "jffs2"},     {TPartitionContent::Data, "data"}};
  for (const auto& [content, name] : names) EXPECT_STREQ(PartitionContentName(content), name);
}

class PartitionContents : public ::testing::TestWithParam<TGeometryCase> {};

// One partition of two blocks per case, from block 2 on; the table in block 0.
TEST_P(PartitionContents, EachKindFromAGeneratedFirstBlock) {
  const TGeometryCase g = GetParam();
  struct TRow {
    const char* Name;
    std::vector<uint8_t> Main;    // at the start of the first block
    uint64_t MainAt = 0;          // offset of Main within the partition
    std::vector<uint8_t> Spare;   // at the start of the first block's spare data
    const char* Content;
  };
  const std::vector<TRow> rows = {
      {"0:ELF", kMagicCases[0].Bytes, 0, {}, "elf"},
      {"0:BOOT", kMagicCases[1].Bytes, 0, {}, "android-boot"},
      {"0:UBI", kMagicCases[2].Bytes, 0, {}, "ubi"},
      {"0:UBIFS", kMagicCases[3].Bytes, 0, {}, "ubifs"},
      {"0:SQUASH", kMagicCases[4].Bytes, 0, {}, "squashfs"},
      {"0:JFFS2", kMagicCases[7].Bytes, 0, {}, "jffs2"},
      {"0:ERASED", {}, 0, {}, "blank"},
      {"0:LATER", kMagicCases[0].Bytes, g.BlockSize + 0x40, {}, "data"},   // erased first block
      {"0:MAGICLATE", kMagicCases[0].Bytes, 1, {}, "data"},
      {"0:SPAREONLY", {}, 0, Hex({0x00}), "data"},                         // main erased, spare not
      {"0:SPARE1415", {}, 0, Hex({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                  0xFF, 0xFF, 0xFF, 0x12, 0x34}), "blank"},  // bytes 14, 15 not examined
      {"0:NEAR", kMagicCases[8].Bytes, 0, {}, "data"},
  };
  std::vector<samples::TSampleEntry> entries;
  for (size_t i = 0; i < rows.size(); ++i)
    entries.push_back({rows[i].Name, uint32_t(2 + 2 * i), 2});
  entries.push_back({"0:EMPTY", uint32_t(2 + 2 * rows.size()), 0});
  TVirtualImage image = GeometryImage(g, entries);
  for (size_t i = 0; i < rows.size(); ++i) {
    const uint64_t block = 2 + 2 * i;
    if (!rows[i].Main.empty()) image.Put(block * g.BlockSize + rows[i].MainAt, rows[i].Main);
    if (!rows[i].Spare.empty()) image.Put(g.SpareOf(block), rows[i].Spare);
  }
  TVirtualOpener opener;
  opener.Files["image.bin"] = image;
  const TImageLoadResult loaded = LoadNamed(opener, "image.bin");
  TExportContext ctx = ContextOf(loaded, opener);
  TRecordingHooks hooks;
  ctx.Hooks = &hooks;
  opener.Counter = {};

  const std::vector<TPartitionContent> contents = DetectPartitionContents(ctx, loaded.PartitionTable);
  ASSERT_EQ(contents.size(), rows.size() + 1);
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_STREQ(PartitionContentName(contents[i]), rows[i].Content) << rows[i].Name;
  EXPECT_STREQ(PartitionContentName(contents.back()), "blank") << "length 0";

  // Every block counted once; the gauge ends at 0.
  EXPECT_EQ(hooks.Max, int64_t(2 * rows.size()));
  EXPECT_EQ(hooks.Steps, hooks.Max);
  EXPECT_EQ(hooks.Position, 0);
}

TEST_P(PartitionContents, ReadsTheMagicAndTheBlankCheckOnly) {
  const TGeometryCase g = GetParam();
  const uint64_t spareOfBlock = g.BlockSize / 32;
  TVirtualImage image = GeometryImage(g, {{"0:ELF", 2, 4}, {"0:DATA", 6, 4}, {"0:BLANK", 10, 3}});
  image.Put(2ull * g.BlockSize, kMagicCases[0].Bytes);
  image.Put(6ull * g.BlockSize + 5, {0x00});
  TVirtualOpener opener;
  opener.Files["image.bin"] = image;
  const TImageLoadResult loaded = LoadNamed(opener, "image.bin");
  struct TCase {
    size_t Row;
    uint64_t Bytes;
  } const cases[] = {
      {0, kContentMagicBytes},                                  // the magic settles it
      {1, kContentMagicBytes + g.BlockSize},                     // stops at the first block
      {2, kContentMagicBytes + 3 * (g.BlockSize + spareOfBlock)},   // blank: read whole
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Row);
    TQualcomMIBIB one = loaded.PartitionTable;
    one.Entries = {loaded.PartitionTable.Entries[c.Row]};
    opener.Counter = {};
    DetectPartitionContents(ContextOf(loaded, opener), one);
    EXPECT_EQ(opener.Counter.Bytes, c.Bytes);
  }
}

TEST_P(PartitionContents, APartitionPastTheFileEndIsAReadError) {
  const TGeometryCase g = GetParam();
  TVirtualOpener opener;
  opener.Files["image.bin"] = GeometryImage(g, {{"0:A", 1, 1}, {"0:FAR", 2 * g.BlockCount, 1}});
  const TImageLoadResult loaded = LoadNamed(opener, "image.bin");
  try {
    DetectPartitionContents(ContextOf(loaded, opener), loaded.PartitionTable);
    FAIL() << "no error";
  } catch (const TFileError& e) {
    EXPECT_EQ(std::string(e.what()), ReadBeyondEndText("image.bin", 2 * g.MainSize(), kContentMagicBytes));
  }
}

INSTANTIATE_TEST_SUITE_P(Geometries, PartitionContents, ::testing::ValuesIn(kGeometryCases),
                         [](const auto& info) { return std::to_string(info.index); });

}  // namespace
}  // namespace kovra::testing
