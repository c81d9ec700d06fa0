// Scrolling the partition list: range and page for lists shorter and longer
// than the paint box, resizing, the wheel, scroll bar requests and the keys.
#include "listview_fixture.h"

namespace kovra::testing {
namespace {

struct RangeCase {
  const char* name;
  int count;
  int height;
  int screenLines;
  bool scrolling;
  int max, page;
};
void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.name; }

class ListRange : public ListTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(ListRange, ScrollsOnlyWhenRowsDoNotFit) {
  auto rows = TListRows::Numbered(GetParam().count);
  Resize(GetParam().height);
  Attach(*rows);
  EXPECT_EQ(View->RowHeight(), 18);
  EXPECT_EQ(View->ScreenLines(), GetParam().screenLines);
  EXPECT_EQ(Bar.Enabled(), GetParam().scrolling);
  EXPECT_EQ(Bar.Visible(), GetParam().scrolling);
  EXPECT_EQ(Bar.Align(), GetParam().scrolling ? TAlign::alRight : TAlign::alNone);
  EXPECT_EQ(Bar.PageSize(), GetParam().page);
  if (GetParam().scrolling) {
    EXPECT_EQ(Bar.Max(), GetParam().max);
    EXPECT_EQ(Bar.LargeChange, GetParam().screenLines);
    EXPECT_EQ(Bar.MaxPosition(), GetParam().count - GetParam().screenLines);
  }
  EXPECT_EQ(View->FirstVisibleRow(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListRange,
    ::testing::Values(RangeCase{"Shorter", 3, 90, 5, false, 0, 0},
                      RangeCase{"ExactlyFull", 5, 90, 5, false, 0, 0},
                      RangeCase{"OneMore", 6, 90, 5, true, 6, 6},
                      RangeCase{"PartRowDoesNotCount", 40, 100, 5, true, 40, 6},
                      RangeCase{"Empty", 0, 90, 5, false, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListTest, RefreshKeepsThePositionWithinTheNewRange) {
  auto rows = TListRows::Numbered(20);
  Attach(*rows);
  Bar.Scroll(TScrollCode::scBottom);
  ASSERT_EQ(View->FirstVisibleRow(), 15);
  rows->List.Count = 8;
  View->Refresh();
  EXPECT_EQ(View->FirstVisibleRow(), 3);
}

TEST_F(ListTest, GrowingToFitHidesTheBarAndShrinkingBringsItBack) {
  auto rows = TListRows::Numbered(8);
  Attach(*rows);
  Bar.Scroll(TScrollCode::scBottom);
  Resize(180);  // ten rows
  EXPECT_FALSE(Bar.Visible());
  EXPECT_EQ(Bar.Align(), TAlign::alNone);
  EXPECT_EQ(View->FirstVisibleRow(), 0);
  Resize(90);
  EXPECT_TRUE(Bar.Visible());
  EXPECT_TRUE(Bar.Enabled());
  EXPECT_EQ(Bar.Align(), TAlign::alRight);
  EXPECT_EQ(View->FirstVisibleRow(), 0);
}

TEST_F(ListTest, WheelMovesThreeRowsAndStopsAtBothEnds) {
  auto rows = TListRows::Numbered(20);
  Attach(*rows);
  EXPECT_TRUE(View->ScrollBoxMouseWheel(120));
  EXPECT_EQ(View->FirstVisibleRow(), 0);
  for (int expected : {3, 6, 9, 12, 15, 15}) {
    EXPECT_TRUE(View->ScrollBoxMouseWheel(-120));
    EXPECT_EQ(View->FirstVisibleRow(), expected);
  }
  for (int expected : {12, 9, 6, 3, 0, 0}) {
    EXPECT_TRUE(View->ScrollBoxMouseWheel(120));
    EXPECT_EQ(View->FirstVisibleRow(), expected);
  }
  // The first visible row is drawn at the top.
  EXPECT_EQ(Canvas.TextOnRow(3), "0");
}

TEST_F(ListTest, WheelOnAListThatFitsIsHandledAndMovesNothing) {
  auto rows = TListRows::Numbered(3);
  Attach(*rows);
  EXPECT_TRUE(View->ScrollBoxMouseWheel(-120));
  EXPECT_EQ(View->FirstVisibleRow(), 0);
}

TEST_F(ListTest, ScrollBarRequestsStopAtTheLastPage) {
  auto rows = TListRows::Numbered(20);
  Attach(*rows);
  int copies = Canvas.CopyCount();
  Bar.Scroll(TScrollCode::scLineDown);
  EXPECT_EQ(View->FirstVisibleRow(), 1);
  EXPECT_EQ(Canvas.CopyCount(), ++copies);
  EXPECT_EQ(Canvas.TextOnRow(3), "1");
  Bar.Scroll(TScrollCode::scBottom);
  EXPECT_EQ(View->FirstVisibleRow(), 15);
  EXPECT_EQ(Canvas.TextOnRow(3 + 4 * 18), "19");
  Bar.Scroll(TScrollCode::scPageUp);
  EXPECT_EQ(View->FirstVisibleRow(), 10);
  Bar.Scroll(TScrollCode::scTrack, 7);
  EXPECT_EQ(View->FirstVisibleRow(), 7);
  copies = Canvas.CopyCount();
  Bar.Scroll(TScrollCode::scPosition, 7);
  Bar.Scroll(TScrollCode::scEndScroll);
  EXPECT_EQ(View->FirstVisibleRow(), 7);
  EXPECT_EQ(Canvas.CopyCount(), copies) << "final notifications do not repaint";
}

TEST_F(ListTest, ScrollRequestsWhileTheListSetsThePositionAreIgnored) {
  auto rows = TListRows::Numbered(20);
  Attach(*rows);
  const int copies = Canvas.CopyCount();
  Bar.Tag = kListScrollingByCode;
  Bar.Scroll(TScrollCode::scLineDown);
  Bar.Tag = 0;
  EXPECT_EQ(Canvas.CopyCount(), copies);
}

// Keys on a list of 20 rows with 5 on screen (first visible row 0..15).
struct KeyCase {
  const char* name;
  int cursor, top;  // before
  uint32_t key;
  int newCursor, newTop;
  int events;
};
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class ListKeys : public ListTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ListKeys, MoveCursorAndView) {
  auto rows = TListRows::Numbered(20);
  Attach(*rows);
  Place(GetParam().cursor, GetParam().top);
  EXPECT_TRUE(View->ProcessKeyboardInput(GetParam().key, 0));
  EXPECT_EQ(View->ItemIndex(), GetParam().newCursor);
  EXPECT_EQ(View->FirstVisibleRow(), GetParam().newTop);
  ASSERT_EQ(static_cast<int>(Events.size()), GetParam().events);
  if (!Events.empty()) {
    EXPECT_EQ(Events.back().Index, GetParam().newCursor);
    EXPECT_EQ(Events.back().Button, TMouseButton::mbLeft);
  }
}

constexpr uint32_t kUp = 38, kDown = 40, kPgUp = 33, kPgDn = 34, kEnd = 35, kHome = 36;

INSTANTIATE_TEST_SUITE_P(
    Table, ListKeys,
    ::testing::Values(KeyCase{"UpInView", 3, 0, kUp, 2, 0, 1},
                      KeyCase{"UpAtFirstRowDoesNothing", 0, 0, kUp, 0, 0, 0},
                      KeyCase{"UpAboveTheViewScrolls", 5, 5, kUp, 4, 4, 1},
                      KeyCase{"UpWithNoCursorScrollsToTop", -1, 7, kUp, -1, 0, 1},
                      KeyCase{"DownBelowTheViewScrolls", 4, 0, kDown, 5, 1, 1},
                      KeyCase{"DownAtLastRowDoesNothing", 19, 15, kDown, 19, 15, 0},
                      KeyCase{"DownWithNoCursorTakesFirstRow", -1, 0, kDown, 0, 0, 1},
                      KeyCase{"DownWithCursorAboveTheView", 2, 10, kDown, 3, 3, 1},
                      KeyCase{"PageUpGoesToTopRow", 7, 5, kPgUp, 5, 5, 1},
                      KeyCase{"PageUpFromTopRowGoesAPageBack", 5, 5, kPgUp, 0, 0, 1},
                      KeyCase{"PageUpWithCursorOutOfViewOnlyScrolls", 12, 5, kPgUp, 12, 12, 0},
                      KeyCase{"PageDownGoesToBottomRow", 6, 5, kPgDn, 9, 5, 1},
                      KeyCase{"PageDownFromBottomRowGoesAPageOn", 9, 5, kPgDn, 14, 10, 1},
                      KeyCase{"PageDownWithCursorOutOfViewOnlyScrolls", 2, 5, kPgDn, 2, 0, 0},
                      KeyCase{"PageDownStopsAtLastRow", 17, 15, kPgDn, 19, 15, 1},
                      KeyCase{"End", 3, 0, kEnd, 19, 15, 1},
                      KeyCase{"Home", 12, 10, kHome, 0, 0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListTest, PageDownOnAShortListGoesToTheLastRow) {
  auto rows = TListRows::Numbered(3);
  Attach(*rows);
  Place(0, 0);
  View->ProcessKeyboardInput(kPgDn, 0);
  EXPECT_EQ(View->ItemIndex(), 2);
  EXPECT_EQ(View->FirstVisibleRow(), 0);
}

TEST_F(ListTest, EndAndHomeOnAnEmptyListLeaveNoCursor) {
  auto rows = TListRows::Numbered(0);
  Attach(*rows);
  View->ProcessKeyboardInput(kEnd, 0);
  EXPECT_EQ(View->ItemIndex(), -1);
  View->ProcessKeyboardInput(kHome, 0);
  EXPECT_EQ(View->ItemIndex(), -1);
  ASSERT_EQ(Events.size(), 2u);
  EXPECT_EQ(Events[1].Index, -1);
}

TEST_F(ListTest, EnterReportsADoubleClickAndOtherKeysDoNothing) {
  auto rows = TListRows::Numbered(4);
  Attach(*rows);
  Place(2, 0);
  EXPECT_TRUE(View->ProcessKeyboardInput(13, 0));
  EXPECT_EQ(DoubleClicks, 1);
  EXPECT_TRUE(View->ProcessKeyboardInput(27, 0));
  EXPECT_TRUE(View->ProcessKeyboardInput('A', 0));
  EXPECT_EQ(View->ItemIndex(), 2);
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(DoubleClicks, 1);
}

}  // namespace
}  // namespace kovra::testing
