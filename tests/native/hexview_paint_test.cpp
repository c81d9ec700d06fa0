// What a hex pane draws: offsets, hex and character cells, blanks past the
// chunk's end, selection boxes, and the empty pane.
#include "hexview_fixture.h"

namespace kovra::testing {
namespace {

// The texts drawn in one cell, or "" when nothing is drawn there.
std::string TextAt(const TRecordingCanvas& c, int x, int y) {
  std::string s;
  for (const TCanvasOp& op : c.Texts())
    if (op.X0 == x && op.Y0 == y) s += op.Text;
  return s;
}

TEST_F(HexPaneTest, GeometryComesFromTheSurfacesOwnCharacterCell) {
  EXPECT_EQ(View->CharWidth(), 8);
  EXPECT_EQ(View->RowHeight(), 16);
  EXPECT_EQ(View->VisibleLines(), 10);
  // The view font goes in only after measuring.
  EXPECT_EQ(Canvas.Font().Name, "Courier");
  EXPECT_EQ(Canvas.Font().Height, 13);
  Files.Add("img", 64);
  Show("img", 0, 64);
  // Three grid lines: after the offsets, after the hex cells, at the right edge.
  EXPECT_EQ(Canvas.ColorAt(69, 100), 0xF0F0F0);
  EXPECT_EQ(Canvas.ColorAt(kSep, 100), 0xF0F0F0);
  EXPECT_EQ(Canvas.ColorAt(kW - 1, 100), 0xF0F0F0);
  EXPECT_EQ(Canvas.ColorAt(300, 100), 0xFFFFFF);
}

TEST_F(HexPaneTest, ChunkShorterThanALineShowsOnePartialLine) {
  Files.Add("img", 0x300);
  Show("img", 0x110, 5);  // bytes 0x11 0x10 0x13 0x12 0x15 by the pattern
  EXPECT_EQ(TextAt(Canvas, 0, 0), "00000000");
  const char* hex[] = {"11", "10", "13", "12", "15"};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(TextAt(Canvas, kHexLeft + 24 * k, 0), hex[k]) << k;
  EXPECT_EQ(TextAt(Canvas, kHexLeft + 24 * 5, 0), "");
  // Control codes as ".", others as the character itself.
  EXPECT_EQ(TextAt(Canvas, kCharLeft, 0), ".");
  EXPECT_EQ(TextAt(Canvas, kCharLeft + 8 * 5, 0), "");
  for (int n = 1; n < 11; ++n) EXPECT_EQ(TextAt(Canvas, 0, 16 * n), "        ") << n;
  EXPECT_FALSE(Bar.Enabled());
  EXPECT_TRUE(Bar.Visible());
}

TEST_F(HexPaneTest, ChunkEndingInsideALineDrawsNothingPastItsEnd) {
  Files.Add("img", 0x1000);
  Show("img", 0x40, 20);
  EXPECT_EQ(TextAt(Canvas, 0, 16), "00000010");
  EXPECT_EQ(TextAt(Canvas, kHexLeft + 24 * 3, 16), "53");  // chunk byte 19 = file 0x53
  EXPECT_EQ(TextAt(Canvas, kCharLeft + 8 * 3, 16), "S");
  EXPECT_EQ(TextAt(Canvas, kHexLeft + 24 * 4, 16), "");
  EXPECT_EQ(TextAt(Canvas, kCharLeft + 8 * 4, 16), "");
  EXPECT_EQ(TextAt(Canvas, 0, 32), "        ");
}

TEST_F(HexPaneTest, ColoursFollowOffsetParityAndTheOffsetColumn) {
  Files.Add("img", 0x100);
  Show("img", 0x41, 16);
  int offsets = 0, even = 0, odd = 0;
  for (const TCanvasOp& op : Canvas.Texts()) {
    if (op.Y0 != 0) continue;
    if (op.X0 == 0) {
      EXPECT_EQ(op.Color, 0x808000u);
      ++offsets;
    } else if (op.X0 == kHexLeft || op.X0 == kCharLeft) {
      EXPECT_EQ(op.Color, 0xFF0000u) << op.Text;  // chunk offset 0: even
      ++even;
    } else if (op.X0 == kHexLeft + 24 || op.X0 == kCharLeft + 8) {
      EXPECT_EQ(op.Color, 0x800000u) << op.Text;  // offset 1: odd
      ++odd;
    }
  }
  // The offset, and bytes 0 and 1 in both the hex and the character column.
  EXPECT_EQ(offsets, 1);
  EXPECT_EQ(even, 2);
  EXPECT_EQ(odd, 2);
  // The character column shows bytes from 32 up as ISO 8859-1.
  EXPECT_EQ(TextAt(Canvas, kCharLeft, 0), "A");
}

TEST_F(HexPaneTest, HighBytesShowAsLatin1Characters) {
  Files.Add("img", 0x100);
  Show("img", 0xE9, 1);  // pattern byte 0xE9
  EXPECT_EQ(TextAt(Canvas, kHexLeft, 0), "E9");
  EXPECT_EQ(TextAt(Canvas, kCharLeft, 0), "\xC3\xA9");  // é in UTF-8
}

TEST_F(HexPaneTest, SelectedBytesAreWhiteOnBlackBoxes) {
  Files.Add("img", 0x1000);
  Show("img", 0, 0x1000);
  View->MouseDown(TMouseButton::mbLeft, HexX(14), LineY(0));
  View->MouseMove(HexX(1), LineY(1));  // byte 14 down to 17
  View->MouseUp(TMouseButton::mbLeft, HexX(1), LineY(1));
  EXPECT_EQ(View->SelectionBegin(), 14);
  EXPECT_EQ(View->SelectionEnd(), 17);
  // Byte 14: a full 3-cell box; 15 ends its line and 17 ends the selection: 2 cells.
  EXPECT_EQ(Canvas.ColorAt(kHexLeft + 24 * 14 + 23, 3), 0x000000);
  EXPECT_EQ(Canvas.ColorAt(kHexLeft + 24 * 15 + 15, 3), 0x000000);
  EXPECT_EQ(Canvas.ColorAt(kHexLeft + 24 * 15 + 16, 3), 0xFFFFFF);
  EXPECT_EQ(Canvas.ColorAt(kHexLeft + 24 * 1 + 15, 19), 0x000000);
  EXPECT_EQ(Canvas.ColorAt(kHexLeft + 24 * 1 + 16, 19), 0xFFFFFF);
  EXPECT_EQ(Canvas.ColorAt(kCharLeft + 8 * 1 + 7, 19), 0x000000);
  EXPECT_EQ(Canvas.ColorAt(kCharLeft + 8 * 2, 19), 0xFFFFFF);
  EXPECT_EQ(Canvas.ColorAt(kHexLeft + 24 * 13 + 10, 3), 0xFFFFFF);
  int selectedTexts = 0;
  for (const TCanvasOp& op : Canvas.Texts())
    if (op.Y0 == 0 && op.X0 == kHexLeft + 24 * 14) {
      EXPECT_EQ(op.Color, 0xFFFFFFu);
      ++selectedTexts;
    }
  EXPECT_EQ(selectedTexts, 1) << "byte 14's hex text was drawn once";
}

struct EmptyCase {
  const char* name;
  const char* file;
  int64_t offset;
  int64_t length;
};
void PrintTo(const EmptyCase& c, std::ostream* os) { *os << c.name; }

class HexPaneEmpty : public HexPaneTest, public ::testing::WithParamInterface<EmptyCase> {};

TEST_P(HexPaneEmpty, GivesABlankPaneWithTheScrollBarDisabled) {
  Files.Add("img", 0x1000);
  Show("img", 0, 0x1000);  // something shown first: the new chunk must clear it
  View->MouseDown(TMouseButton::mbLeft, HexX(3), LineY(2));
  const int opensBefore = Files.Opens;
  Show(GetParam().file, GetParam().offset, GetParam().length);
  EXPECT_EQ(View->ChunkLength(), 0);
  EXPECT_FALSE(Bar.Enabled());
  EXPECT_EQ(View->CaretByte(), 0);
  EXPECT_FALSE(SystemCaret().Visible());
  for (int n = 0; n < 11; ++n) EXPECT_EQ(TextAt(Canvas, 0, 16 * n), "        ") << n;
  EXPECT_TRUE(Canvas.TextOnRow(0).find_first_not_of(' ') == std::string::npos);
  // Painting an empty pane reads nothing.
  View->Paint();
  EXPECT_LE(Files.Opens - opensBefore, 1);
  const int opens = Files.Opens;
  View->Paint();
  EXPECT_EQ(Files.Opens, opens);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HexPaneEmpty,
    ::testing::Values(EmptyCase{"EmptyName", "", 0, 0}, EmptyCase{"MissingFile", "nothing", 0, 16},
                      EmptyCase{"PastTheEnd", "img", 0xFF0, 0x20},
                      EmptyCase{"OffsetPastTheEnd", "img", 0x1001, 0},
                      EmptyCase{"NegativeOffset", "img", -16, 16},
                      EmptyCase{"NegativeLength", "img", 0, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// Images from 2 GiB up have their partitions' data at offsets that do not
// fit 32 bits; the pane must show them, not an empty pane.
TEST_F(HexPaneTest, ChunksBeyondTwoAndFourGiBShowTheirData) {
  Files.Add("big", 0x1'8000'0000ull);  // 6 GiB
  Show("big", 0xC000'0010ll, 0x1000);
  ASSERT_EQ(View->ChunkLength(), 0x1000);
  EXPECT_EQ(TextAt(Canvas, kHexLeft, 0), "10");
  EXPECT_EQ(Files.LastReadOffset, 0xC000'0010ull);

  Show("big", 0x1'4000'0300ll, 0x20);
  ASSERT_EQ(View->ChunkLength(), 0x20);
  EXPECT_EQ(TextAt(Canvas, kHexLeft, 0), "03");  // 0x00 ^ 0x03
  EXPECT_EQ(Files.LastReadOffset, 0x1'4000'0300ull);
}

TEST_F(HexPaneTest, FileVanishingUnderThePaneIsReportedOnceAndEmptiesIt) {
  Files.Add("img", 0x10000);
  Show("img", 0, 0x10000);
  Files.Remove("img");
  // Inside the read window nothing is read, so nothing can fail.
  EXPECT_NO_THROW(View->MouseWheel(-120));
  // A new window has to be read: the error reaches the caller once...
  EXPECT_THROW(Bar.Scroll(TScrollCode::scBottom), TFileError);
  // ...and the pane is empty from then on, so repaints do not repeat it.
  EXPECT_EQ(View->ChunkLength(), 0);
  EXPECT_NO_THROW(View->Paint());
}

}  // namespace
}  // namespace kovra::testing
