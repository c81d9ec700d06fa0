// What the partition list draws: background and grid, the cursor bar by
// focus, progress rows, cell colours, texts cut to fit and hex fields.
#include <climits>

#include "listview_fixture.h"

namespace kovra::testing {
namespace {

// Sections end at x = 80, 200 and 400; row k's band runs from 18k + 1 to
// 18k + 17 and its text starts at y = 18k + 3.
int Top(int k) { return 18 * k + 1; }
int TextY(int k) { return 18 * k + 3; }

TEST_F(ListTest, RowHeightIsMeasuredBeforeTheListFontIsSelected) {
  EXPECT_EQ(View->RowHeight(), 16 + 2);
  EXPECT_TRUE(Canvas.FontSelected());
  EXPECT_EQ(Canvas.Font().Name, "Courier New");
  EXPECT_EQ(Canvas.Font().Height, 14);
  EXPECT_TRUE(Canvas.TransparentText());
}

TEST_F(ListTest, WithoutRowsOnlyBackgroundAndGridAreDrawn) {
  View->Repaint();
  EXPECT_TRUE(Canvas.Texts().empty());
  EXPECT_EQ(Canvas.ColorAt(40, 5), 0xFFFFFF);
  for (int x : {80, 200}) EXPECT_EQ(Canvas.ColorAt(x, 50), 0xF0F0F0) << x;
  for (int k = 1; k <= 5; ++k) EXPECT_EQ(Canvas.ColorAt(300, 18 * k), 0xF0F0F0) << k;
  EXPECT_EQ(Canvas.ColorAt(300, 17), 0xFFFFFF);
}

TEST_F(ListTest, CursorBarColourFollowsTheFocus) {
  auto rows = TListRows::Numbered(4);
  Attach(*rows);
  View->SetItemIndex(1);
  EXPECT_EQ(Canvas.ColorAt(80, Top(1)), 0xC0C0C0) << "no grid line across the bar";
  Box.SetFocus();
  EXPECT_EQ(Canvas.ColorAt(80, Top(1)), 0xFF9933);
  EXPECT_EQ(Canvas.ColorAt(399, Top(1) + 15), 0xFF9933);
  EXPECT_EQ(Canvas.ColorAt(80, Top(2)), 0xF0F0F0);
  TScrollBox elsewhere;
  elsewhere.SetFocus();
  EXPECT_EQ(Canvas.ColorAt(80, Top(1)), 0xC0C0C0);
}

struct ProgressCase {
  const char* name;
  int64_t progress, maxValue;
  int filled;
};
void PrintTo(const ProgressCase& c, std::ostream* os) { *os << c.name; }

class ListProgress : public ListTest, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(ListProgress, FillsItsShareOfTheRow) {
  auto rows = TListRows::Numbered(3);
  for (int i : {0, 1}) {
    rows->List.Items[i].IsProgress = true;
    rows->List.Items[i].Progress = GetParam().progress;
    rows->List.Items[i].MaxValue = GetParam().maxValue;
  }
  rows->List.ColorNormalProgressForeground = 0x0000AA;
  rows->List.ColorNormalProgressBackground = 0x0000BB;
  rows->List.ColorCursorProgressForeground = 0x0000CC;
  rows->List.ColorCursorProgressBackground = 0x0000DD;
  Attach(*rows);
  View->SetItemIndex(1);
  const int w = GetParam().filled;
  // Row 0 with the normal pair, row 1 (the cursor row) with the cursor pair.
  if (w > 0) { EXPECT_EQ(Canvas.ColorAt(w - 1, Top(0)), 0x0000AA); }
  if (w < kW) { EXPECT_EQ(Canvas.ColorAt(w, Top(0)), 0x0000BB); }
  if (w > 0) { EXPECT_EQ(Canvas.ColorAt(w - 1, Top(1)), 0x0000CC); }
  if (w < kW) { EXPECT_EQ(Canvas.ColorAt(w, Top(1)), 0x0000DD); }
  EXPECT_EQ(Canvas.TextOnRow(TextY(1)), "1") << "cells are drawn over the bar";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListProgress,
    ::testing::Values(ProgressCase{"ZeroOfZeroIsFull", 0, 0, 400},
                      ProgressCase{"NegativeOfZeroIsEmpty", -3, 0, 0},
                      ProgressCase{"OverIsFull", 30, 20, 400},
                      ProgressCase{"Quarter", 1, 4, 100},
                      ProgressCase{"RoundsDown", 3, 8, 150},
                      ProgressCase{"NegativeStaysEmpty", -1, 4, 0},
                      ProgressCase{"HugeValuesDoNotOverflow", INT64_MAX / 2, INT64_MAX, 199},
                      // A quotient far outside int: full or empty, never a wild width.
                      ProgressCase{"HugeNegativeOverNegativeIsFull", INT64_MIN, -1, 400},
                      ProgressCase{"HugeNegativeOverPositiveIsEmpty", INT64_MIN, 7, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListTest, CellColoursFollowCursorAndSelected) {
  auto rows = TListRows::Numbered(4);
  rows->List.Items[1].Selected = true;
  rows->List.Items[2].Selected = true;
  Attach(*rows);
  View->SetItemIndex(2);
  const TCanvasColor expected[] = {0x000003, 0x000004, 0x000002, 0x000003};
  std::vector<int> rowsDrawn;
  for (const TCanvasOp& op : Canvas.Texts()) {
    const int row = (op.Y0 - 3) / 18;
    ASSERT_TRUE(row >= 0 && row < 4) << op.Text << " at y " << op.Y0;
    EXPECT_EQ(op.Color, expected[row]) << op.Text;
    if (rowsDrawn.empty() || rowsDrawn.back() != row) rowsDrawn.push_back(row);
  }
  EXPECT_EQ(rowsDrawn, (std::vector<int>{0, 1, 2, 3})) << "every row's text was drawn";
  View->SetItemIndex(0);
  int cursorTexts = 0;
  for (const TCanvasOp& op : Canvas.Texts())
    if (op.Y0 == TextY(0)) {
      EXPECT_EQ(op.Color, 0x000001u);
      ++cursorTexts;
    }
  EXPECT_GT(cursorTexts, 0) << "the cursor row's text was drawn";
}

// Widths restored from stored settings may be anything an int holds.
TEST_F(ListTest, ExtremeSectionWidthsDrawWithoutOverflow) {
  Header.SetSections({{"Position", INT_MAX, 50}, {"Name", INT_MAX, 50}, {"Size", INT_MIN, 0}});
  TListRows rows({0, 1, 1});
  rows.Add({"7", "abc", "de"});
  Attach(rows);
  const std::vector<TCanvasOp> texts = Canvas.Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0].Text, "7");
  EXPECT_EQ(texts[0].X0, 4);
  for (const TCanvasOp& op : texts) EXPECT_GE(op.X0, 0) << op.Text << ": no column wraps to the left";
}

TEST_F(ListTest, TextIsDrawnFromTheCellsLeftEdgeAboveTheBottomMargin) {
  TListRows rows({0, 1, 1});
  rows.Add({"7", "abc", "de"});
  View->SetBottomTextMargin(2);
  Attach(rows);
  std::vector<std::pair<int, int>> at;
  for (const TCanvasOp& op : Canvas.Texts()) at.push_back({op.X0, op.Y0});
  EXPECT_EQ(at, (std::vector<std::pair<int, int>>{{4, 1}, {84, 1}, {204, 1}}));
}

struct FitCase {
  const char* name;
  int width;
  const char* text;
  const char* shown;
};
void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }

class ListFit : public ListTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(ListFit, CutsTextThatDoesNotFitWithDots) {
  Header.SetSections({{"Name", GetParam().width, 0}});
  TListRows rows({1});
  rows.Add({GetParam().text});
  Attach(rows);
  EXPECT_EQ(Canvas.TextOnRow(TextY(0)), GetParam().shown);
}

// Characters are 8 pixels; a cell has its width less 4 pixels.
INSTANTIATE_TEST_SUITE_P(
    Cases, ListFit,
    ::testing::Values(FitCase{"Fits", 84, "ABCDEFGHIJ", "ABCDEFGHIJ"},
                      FitCase{"OneShort", 83, "ABCDEFGHIJ", "ABCDEF..."},
                      FitCase{"Narrow", 60, "ABCDEFGHIJ", "ABCD..."},
                      FitCase{"Characters", 60, "\xC3\x84\xC3\x96\xC3\x9C" "ABCDEFG", "\xC3\x84\xC3\x96\xC3\x9C" "A..."},
                      FitCase{"OnlyDotsFit", 20, "ABCDEFGHIJ", ".."}),
    [](const auto& info) { return std::string(info.param.name); });

struct HexCase {
  const char* name;
  int width;
  uint32_t type;
  const char* value;
  const char* shown;
  int dotsX;  // where "..." is drawn, or -1
};
void PrintTo(const HexCase& c, std::ostream* os) { *os << c.name; }

class ListHexField : public ListTest, public ::testing::WithParamInterface<HexCase> {};

TEST_P(ListHexField, DrawsPieceByPieceUntilTheLimit) {
  Header.SetSections({{"Size", GetParam().width, 0}});
  TListRows rows({GetParam().type});
  rows.Add({GetParam().value});
  Attach(rows);
  EXPECT_EQ(Canvas.TextOnRow(TextY(0)), GetParam().shown);
  int dotsX = -1;
  for (const TCanvasOp& op : Canvas.Texts())
    if (op.Text == "...") dotsX = op.X0;
  EXPECT_EQ(dotsX, GetParam().dotsX);
}

// The limit is the width less 40 ("..." and 16). "0x" is 16 pixels, each
// digit 8 and a 2-pixel gap follows the 4th and 8th digit of a number:
// "0x000000040000" takes 116, " (" 16, "0x0002" 16 + 32 + 2, ")" 8: 190.
INSTANTIATE_TEST_SUITE_P(
    Cases, ListHexField,
    ::testing::Values(
        HexCase{"SizeFits", 230, 10, "0000000000040000" "0000000000000002",
                "0x000000040000 (0x0002)", -1},
        HexCase{"SizeCutAtTheLastPiece", 229, 10, "0000000000040000" "0000000000000002",
                "0x000000040000 (0x0002...", 186},
        HexCase{"CutInsideTheDigits", 100, 10, "0000000000040000" "0000000000000002",
                "0x00000...", 62},
        HexCase{"CutBeforeTheNumber", 55, 8, "00000000DEADBEEF", "...", 4},
        HexCase{"Range", 2000, 9,
                "0000000000000000" "000000000003FFFF" "0000000000000000" "0000000000000001",
                "0x000000000000..0x00000003FFFF (0x0000..0x0001)", -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListTest, HexDigitsAreGroupedByFourWithSmallGaps) {
  Header.SetSections({{"Start", 400, 0}});
  TListRows rows({8});
  rows.Add({"000000ABCDEF0123"});
  Attach(rows);
  std::vector<int> xs;
  for (const TCanvasOp& op : Canvas.Texts()) xs.push_back(op.X0);
  EXPECT_EQ(xs, (std::vector<int>{4, 20, 28, 36, 44, 54, 62, 70, 78, 88, 96, 104, 112}));
  EXPECT_EQ(Canvas.TextOnRow(TextY(0)), "0x00ABCDEF0123");
}

TEST_F(ListTest, FreeDataFieldsEmptiesTheRowsButKeepsTheCount) {
  auto rows = TListRows::Numbered(3);
  Attach(*rows);
  View->FreeDataFields();
  EXPECT_TRUE(rows->List.Types.empty());
  EXPECT_TRUE(rows->List.Items.empty());
  EXPECT_EQ(rows->List.Count, 3);
}

TEST_F(ListTest, QueuedRepaintsWaitForTheTimer) {
  auto rows = TListRows::Numbered(3);
  Attach(*rows);
  const int copies = Canvas.CopyCount();
  View->QueueRepaint();
  View->Timer().Tick();
  EXPECT_EQ(Canvas.CopyCount(), copies) << "the timer is off";
  View->SetMultiThreadRepaint(true);
  EXPECT_EQ(View->Timer().Interval(), 10u);
  View->Timer().Tick();
  View->Timer().Tick();
  EXPECT_EQ(Canvas.CopyCount(), copies + 1) << "one queued request, one repaint";
  View->SetMultiThreadRepaint(false);
}

TEST_F(ListTest, OnlyWholeRowsAreDrawnWhileScrolling) {
  auto rows = TListRows::Numbered(20);
  Resize(100);  // five rows and a part
  Attach(*rows);
  EXPECT_EQ(Canvas.TextOnRow(TextY(4)), "4");
  EXPECT_EQ(Canvas.TextOnRow(TextY(5)), "");
}

}  // namespace
}  // namespace kovra::testing
