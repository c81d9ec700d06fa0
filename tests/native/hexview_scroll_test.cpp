// Scrolling a hex pane: range and page, the wheel, scroll bar requests, and
// the read window that keeps scrolling free of file reads.
#include <filesystem>
#include <fstream>

#include "hexview_fixture.h"

namespace kovra::testing {
namespace {

struct RangeCase {
  const char* name;
  int64_t length;
  bool enabled;
  int max, page;
};
void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.name; }

class HexPaneRange : public HexPaneTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(HexPaneRange, CoversTheChunksLinesWithAPageOfTheVisibleOnes) {
  Files.Add("img", 0x10000);
  Show("img", 0, GetParam().length);
  EXPECT_EQ(Bar.Enabled(), GetParam().enabled);
  EXPECT_TRUE(Bar.Visible());
  if (GetParam().enabled) {
    EXPECT_EQ(Bar.Max(), GetParam().max);
    EXPECT_EQ(Bar.PageSize(), GetParam().page);
    EXPECT_EQ(Bar.LargeChange, 10);
  }
  EXPECT_EQ(Bar.Position(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, HexPaneRange,
                         ::testing::Values(RangeCase{"ManyLines", 0x1000, true, 256, 11},
                                           RangeCase{"TenLinesFit", 160, false, 0, 0},
                                           RangeCase{"OneLineMore", 161, true, 11, 11},
                                           RangeCase{"OneByte", 1, false, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HexPaneTest, WheelMovesSixLinesAndStopsAtBothEnds) {
  Files.Add("img", 0x1000);
  Show("img", 0, 32 * 16);  // 32 lines, 10 visible: top line 0..22
  const int64_t down[] = {6, 12, 18, 22, 22};
  for (int64_t line : down) {
    EXPECT_TRUE(View->MouseWheel(-120));
    EXPECT_EQ(View->TopOffset(), line * 16);
    EXPECT_EQ(Bar.Position(), line);
  }
  const int64_t up[] = {16, 10, 4, 0, 0};
  for (int64_t line : up) {
    EXPECT_TRUE(View->MouseWheel(120));
    EXPECT_EQ(View->TopOffset(), line * 16);
  }
}

TEST_F(HexPaneTest, WheelLeavesAPaneWhoseLinesAllFitAtTheTop) {
  Files.Add("img", 0x1000);
  Show("img", 0, 100);
  EXPECT_TRUE(View->MouseWheel(-120));
  EXPECT_EQ(View->TopOffset(), 0);
}

TEST_F(HexPaneTest, ScrollBarRequestsMoveTheViewWithinTheRange) {
  Files.Add("img", 0x1000);
  Show("img", 0, 32 * 16);
  Bar.Scroll(TScrollCode::scLineDown);
  EXPECT_EQ(View->TopOffset(), 16);
  EXPECT_TRUE(Box.Focused());
  Bar.Scroll(TScrollCode::scPageDown);
  EXPECT_EQ(View->TopOffset(), 11 * 16);
  Bar.Scroll(TScrollCode::scBottom);
  EXPECT_EQ(View->TopOffset(), 22 * 16);
  EXPECT_EQ(Bar.Position(), 22);
  Bar.Scroll(TScrollCode::scTrack, 5);
  EXPECT_EQ(View->TopOffset(), 5 * 16);
  // The final notifications leave the view where it is.
  Bar.Scroll(TScrollCode::scPosition, 9);
  EXPECT_EQ(View->TopOffset(), 5 * 16);
  EXPECT_EQ(Bar.Position(), 5);
  Bar.Scroll(TScrollCode::scEndScroll);
  EXPECT_EQ(View->TopOffset(), 5 * 16);
  Bar.Scroll(TScrollCode::scTop);
  EXPECT_EQ(View->TopOffset(), 0);
}

TEST_F(HexPaneTest, ScrollRequestsWhileThePaneSetsThePositionAreIgnored) {
  Files.Add("img", 0x1000);
  Show("img", 0, 32 * 16);
  Bar.Tag = kScrollingByCode;
  Bar.Scroll(TScrollCode::scLineDown);
  EXPECT_EQ(View->TopOffset(), 0);
  Bar.Tag = 0;
}

TEST_F(HexPaneTest, ScrollingInsideTheReadWindowReadsNothing) {
  Files.Add("img", 0x200000);
  Show("img", 0x100000, 0x100000);
  EXPECT_EQ(Files.Reads, 1);
  EXPECT_EQ(Files.LastReadOffset, 0x100000u);
  EXPECT_EQ(Files.LastReadCount, 16384u);
  const int opens = Files.Opens;

  // The window holds chunk bytes 0..16383: lines down to top 16208 need
  // nothing more (16208 + 11 lines * 16 = 16384).
  for (int i = 0; i < 100; ++i) View->MouseWheel(-120);  // top line 600
  Bar.Scroll(TScrollCode::scTrack, 1013);
  Bar.Scroll(TScrollCode::scLineUp);
  Bar.Scroll(TScrollCode::scTop);
  EXPECT_EQ(Files.Reads, 1);
  EXPECT_EQ(Files.Opens, opens) << "the file is not even opened";

  // One line further needs a new window, from 8 KiB before the top line.
  Bar.Scroll(TScrollCode::scTrack, 1014);
  EXPECT_EQ(Files.Reads, 2);
  EXPECT_EQ(Files.LastReadOffset, 0x100000u + 16224 - 8192);

  // That window reaches back 8 KiB: scrolling up within it reads nothing.
  Bar.Scroll(TScrollCode::scTrack, 1014 - 512);
  EXPECT_EQ(Files.Reads, 2);
  Bar.Scroll(TScrollCode::scLineUp);
  EXPECT_EQ(Files.Reads, 3);
}

TEST_F(HexPaneTest, AShortChunkIsReadOnce) {
  Files.Add("img", 0x1000);
  Show("img", 0x10, 100);
  for (int i = 0; i < 5; ++i) View->Paint();
  EXPECT_EQ(Files.Reads, 1);
  EXPECT_EQ(Files.LastReadCount, 100u);
}

// A real file, read through the real file system: the last lines of a
// chunk that ends exactly where the file ends.
TEST_F(HexPaneTest, LastLinesOfAChunkEndingAtTheFilesEndReadWithoutError) {
  const auto path = std::filesystem::temp_directory_path() / "kovra_hexview_end.bin";
  {
    std::ofstream out(path, std::ios::binary);
    for (uint64_t o = 0; o < 40000; ++o) out.put(static_cast<char>(PatternByte(o)));
  }
  TRecordingCanvas canvas;
  TScrollBox box;
  TPaintBox paint;
  TScrollBar bar;
  paint.Canvas = &canvas;
  paint.SetBounds(4, 0, kW, kH);
  auto view = CreateHEXView(box, paint, bar);
  box.SetBounds(0, 0, kW + 21, kH);
  const std::u8string u8 = path.u8string();
  const std::string name(u8.begin(), u8.end());
  view->InitializeViewData(name, 8000, 32000);
  ASSERT_EQ(view->ChunkLength(), 32000);
  EXPECT_NO_THROW(bar.Scroll(TScrollCode::scBottom));
  EXPECT_EQ(view->TopOffset(), 1990 * 16);
  // Line 9 is the chunk's last: chunk offset 0x7CF0, its last byte is file
  // byte 39999 = 0x9C3F, which holds 0x3F ^ 0x9C.
  std::string last;
  for (const TCanvasOp& op : canvas.Texts())
    if (op.Y0 == 9 * 16 && (op.X0 == 0 || op.X0 == kHexLeft + 24 * 15)) last += op.Text + "|";
  EXPECT_EQ(last, "00007CF0|A3|");
  EXPECT_EQ(canvas.TextOnRow(10 * 16), "        ");
  view.reset();
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace kovra::testing
