// A partition's bytes in the hex window's three columns.
#include <gtest/gtest.h>

#include <stdexcept>

#include "inspect/HexDump.h"
#include "inspect_test_support.h"

namespace kovra::testing {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> v;
  for (int x : values) v.push_back(static_cast<uint8_t>(x));
  return v;
}

TEST(HexDumpLine, ThreeColumnsAndTheCharacterRules) {
  const std::vector<uint8_t> all = Bytes(
      {0x00, 0x1F, 0x20, 0x41, 0x7E, 0x7F, 0x80, 0x9F, 0xA0, 0xC9, 0xFF, 0x2E, 0x0A, 0x1B, 0x30, 0x39});
  struct TCase {
    const char* What;
    uint32_t Offset;
    size_t First, Count;
    THexCharacters Characters;
    std::string Line;
  } const cases[] = {
      {"a whole line, as the window shows it", 0x00000010, 0, 16, THexCharacters::Latin1,
       "00000010  00 1F 20 41 7E 7F 80 9F A0 C9 FF 2E 0A 1B 30 39  .. A~\x7F\xC2\x80\xC2\x9F\xC2\xA0\xC3\x89\xC3\xBF...09"},
      {"on a terminal DEL and C1 controls are dots", 0x00000010, 0, 16, THexCharacters::Terminal,
       "00000010  00 1F 20 41 7E 7F 80 9F A0 C9 FF 2E 0A 1B 30 39  .. A~...\xC2\xA0\xC3\x89\xC3\xBF...09"},
      {"a line that starts inside: blank cells first", 0xFFFFFFF0, 4, 3, THexCharacters::Latin1,
       "FFFFFFF0              00 1F 20                                 .. "},
      {"a line that ends early: the characters stay in their column", 0x00ABCDE0, 0, 2,
       THexCharacters::Latin1,
       "00ABCDE0  00 1F                                            .."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    EXPECT_EQ(HexDumpLine(c.Offset, all.data(), c.First, c.Count, c.Characters), c.Line);
  }
}

TEST(HexDumpRange, InsideTheAreaOrAClearError) {
  EXPECT_EQ(HexDumpRangeError("BOOT main data", 0x100, 0, 0x100), "");
  EXPECT_EQ(HexDumpRangeError("BOOT main data", 0x100, 0x100, 0), "");
  EXPECT_EQ(HexDumpRangeError("BOOT main data", 0x100, 0xF0, 0x11),
            "Offset 0x000000F0 and length 0x00000011 reach past the end of BOOT main data (0x00000100 bytes)");
  EXPECT_EQ(HexDumpRangeError("X", 0x100, 0x101, 0),
            "Offset 0x00000101 and length 0x00000000 reach past the end of X (0x00000100 bytes)");
  EXPECT_NE(HexDumpRangeError("X", 0x100, 0xFFFFFFFF, 0xFFFFFFFF), "") << "no wrap";
}

// Each geometry: P from block 2 for 3 blocks, LAST from block 5 to the end.
class HexDumpPartition : public ::testing::TestWithParam<TGeometryCase> {
 protected:
  std::vector<std::string> Dump(const TPartitionArea& area, uint32_t offset, uint32_t length) {
    std::vector<std::string> lines;
    opener.Counter = {};
    HexDumpPartitionArea(ctx, area, offset, length, THexCharacters::Latin1,
                         [&](const std::string& line) { lines.push_back(line); });
    return lines;
  }
  void Load(const TVirtualImage& image) {
    opener.Files["image.bin"] = image;
    loaded = LoadNamed(opener, "image.bin");
    ctx = ContextOf(loaded, opener);
  }
  TPartitionExtent Extent(size_t row) {
    return PartitionExtent(loaded.Geometry, loaded.PartitionTable.Entries[row]);
  }

  TVirtualOpener opener;
  TImageLoadResult loaded;
  TExportContext ctx;
};

TEST_P(HexDumpPartition, StartInsideAndTheLastLineAtTheImageEnd) {
  const TGeometryCase g = GetParam();
  TVirtualImage image = GeometryImage(g, {{"0:P", 2, 3}, {"0:LAST", 5, 0xFFFFFFFF}});
  const uint64_t p = 2ull * g.BlockSize;
  image.Put(p, Bytes({0x00, 0x1F, 0x20, 'A', 'B', 'C'}));
  image.Put(p + 0x1234, {'h', 'e', 'l', 'l', 'o', '!'});
  image.Put(g.SpareOf(2), Bytes({0x01, 0x02}));
  image.Put(g.MainSize() - 3, {'E', 'N', 'D'});          // LAST's main data ends here
  image.Put(g.FileSize() - 2, {'Z', 'Z'});               // and its spare data at the file's end
  Load(image);
  const TPartitionExtent px = Extent(0), last = Extent(1);
  ASSERT_EQ(px.MainOffset, p);
  ASSERT_EQ(uint64_t(last.SpareOffset) + last.SpareLength, g.FileSize());

  EXPECT_EQ(Dump(MainAreaOf(px), 0, 0x20), (std::vector<std::string>{
      "00000000  00 1F 20 41 42 43 FF FF FF FF FF FF FF FF FF FF  .. ABC\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF",
      "00000010  FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF  \xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF"}));
  EXPECT_EQ(opener.Counter.Bytes, 0x20u);

  EXPECT_EQ(Dump(MainAreaOf(px), 0x1234, 6), (std::vector<std::string>{
      "00001230              68 65 6C 6C 6F 21                        hello!"}));
  EXPECT_EQ(opener.Counter.Bytes, 6u) << "reads only what it prints";

  EXPECT_EQ(Dump(SpareAreaOf(px), 0, 3), (std::vector<std::string>{
      "00000000  01 02 FF                                         ..\xC3\xBF"}));

  // The last line of LAST's main data and of its spare data, which ends the file.
  const uint32_t mainEnd = last.MainLength, spareEnd = last.SpareLength;
  EXPECT_EQ(Dump(MainAreaOf(last), mainEnd - 4, 4),
            (std::vector<std::string>{HexText(mainEnd - 16).substr(2) + "  " + std::string(36, ' ') +
                                      "FF 45 4E 44  " + std::string(12, ' ') + "\xC3\xBF" "END"}));
  EXPECT_EQ(Dump(SpareAreaOf(last), spareEnd - 16, 16).back().substr(0, 10 + 48),
            HexText(spareEnd - 16).substr(2) + "  FF FF FF FF FF FF FF FF FF FF FF FF FF FF 5A 5A ");

  // Without a length: to the end, in lines of 16, one block read at a time.
  const std::vector<std::string> whole = Dump(SpareAreaOf(last), 0, spareEnd);
  EXPECT_EQ(whole.size(), spareEnd / 16);
  EXPECT_EQ(opener.Counter.Bytes, spareEnd);
  EXPECT_LE(opener.Counter.Calls, spareEnd / g.BlockSize + 1);
}

TEST_P(HexDumpPartition, RangesOutsideThePartitionOrTheFileAreErrorsBeforeAnyLine) {
  const TGeometryCase g = GetParam();
  // BEYOND lies past the file's end (the load warns that the image is too small).
  Load(GeometryImage(g, {{"0:P", 2, 3}, {"0:BEYOND", 2 * g.BlockCount, 2}}));
  const TPartitionExtent px = Extent(0);
  EXPECT_THROW(Dump(MainAreaOf(px), px.MainLength - 15, 16), std::out_of_range);
  EXPECT_THROW(Dump(SpareAreaOf(px), px.SpareLength + 1, 0), std::out_of_range);
  EXPECT_TRUE(Dump(MainAreaOf(px), px.MainLength, 0).empty());

  std::vector<std::string> lines;
  try {
    HexDumpPartitionArea(ctx, MainAreaOf(Extent(1)), 0, 16, THexCharacters::Latin1,
                         [&](const std::string& line) { lines.push_back(line); });
    FAIL() << "no error";
  } catch (const TFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              ReadBeyondEndText("image.bin", 2 * g.MainSize(), 16));
  }
  EXPECT_TRUE(lines.empty());
}

INSTANTIATE_TEST_SUITE_P(Geometries, HexDumpPartition, ::testing::ValuesIn(kGeometryCases),
                         [](const auto& info) { return std::to_string(info.index); });

}  // namespace
}  // namespace kovra::testing
