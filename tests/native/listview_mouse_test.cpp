// The cursor row of the partition list: writes of ItemIndex, presses with
// any button, disabled rows, presses below the rows, and double clicks.
#include "listview_fixture.h"

namespace kovra::testing {
namespace {

class ListMouse : public ListTest {
 protected:
  void SetUp() override {
    ListTest::SetUp();
    fSaved = SetPointerScreenPosProvider([] { return TPoint{640, 480}; });
  }
  void TearDown() override {
    SetPointerScreenPosProvider(fSaved);
    ListTest::TearDown();
  }
  std::function<TPoint()> fSaved;
};

TEST_F(ListMouse, EveryWriteOfItemIndexIsReportedWithTheLeftButton) {
  auto rows = TListRows::Numbered(20);
  Attach(*rows);
  const struct {
    int write, cursor;
  } cases[] = {{2, 2}, {2, 2}, {19, 19}, {20, -1}, {-5, -1}, {0, 0}};
  for (const auto& c : cases) {
    Events.clear();
    View->SetItemIndex(c.write);
    EXPECT_EQ(View->ItemIndex(), c.cursor) << c.write;
    ASSERT_EQ(Events.size(), 1u) << c.write;
    EXPECT_EQ(Events[0].Index, c.cursor);
    EXPECT_EQ(Events[0].Button, TMouseButton::mbLeft);
    EXPECT_EQ(Events[0].X, 640);
    EXPECT_EQ(Events[0].Y, 480);
  }
  View->SetItemIndex(17);
  EXPECT_EQ(View->FirstVisibleRow(), 0) << "writing ItemIndex does not scroll";
}

TEST_F(ListMouse, ItemIndexWithNoListAttachedIsNone) {
  View->SetItemIndex(0);
  EXPECT_EQ(View->ItemIndex(), -1);
  ASSERT_EQ(Events.size(), 1u);
  EXPECT_EQ(Events[0].Index, -1);
}

struct PressCase {
  const char* name;
  TMouseButton button;
  int y;
  int top;
  int cursor;
};
void PrintTo(const PressCase& c, std::ostream* os) { *os << c.name; }

class ListPress : public ListMouse, public ::testing::WithParamInterface<PressCase> {};

TEST_P(ListPress, MovesTheCursorAndReportsTheButton) {
  auto rows = TListRows::Numbered(20);
  Attach(*rows);
  Place(7, GetParam().top);
  View->PaintBoxMouseDown(GetParam().button, 30, GetParam().y);
  EXPECT_EQ(View->ItemIndex(), GetParam().cursor);
  EXPECT_EQ(View->CurrentItemClicked(), GetParam().cursor);
  EXPECT_TRUE(Box.Focused());
  ASSERT_EQ(Events.size(), 1u);
  EXPECT_EQ(Events[0].Index, GetParam().cursor);
  EXPECT_EQ(Events[0].Button, GetParam().button);
  EXPECT_EQ(Events[0].X, 640);
}

// Rows are 18 pixels high from the paint box's top.
INSTANTIATE_TEST_SUITE_P(
    Cases, ListPress,
    ::testing::Values(PressCase{"Left", TMouseButton::mbLeft, 40, 0, 2},
                      PressCase{"RightMovesLikeLeft", TMouseButton::mbRight, 18, 0, 1},
                      PressCase{"Middle", TMouseButton::mbMiddle, 17, 0, 0},
                      PressCase{"ScrolledAddsFirstRow", TMouseButton::mbLeft, 5, 10, 10},
                      PressCase{"PartRowAtTheBottom", TMouseButton::mbLeft, 89, 15, 19}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListMouse, PressBelowTheLastRowClearsTheCursor) {
  auto rows = TListRows::Numbered(3);
  Attach(*rows);
  Place(1, 0);
  View->PaintBoxMouseDown(TMouseButton::mbRight, 30, 3 * 18 + 1);
  EXPECT_EQ(View->ItemIndex(), -1);
  ASSERT_EQ(Events.size(), 1u);
  EXPECT_EQ(Events[0].Index, -1);
  EXPECT_EQ(Events[0].Button, TMouseButton::mbRight);
}

TEST_F(ListMouse, PressOnADisabledRowChangesNothing) {
  auto rows = TListRows::Numbered(4);
  rows->List.Items[1].Enabled = false;
  Attach(*rows);
  Place(3, 0);
  View->PaintBoxMouseDown(TMouseButton::mbLeft, 30, 20);
  EXPECT_EQ(View->ItemIndex(), 3);
  EXPECT_TRUE(Events.empty());
  // It can still become the cursor row through ItemIndex, and draws as usual.
  View->SetItemIndex(1);
  EXPECT_EQ(View->ItemIndex(), 1);
}

TEST_F(ListMouse, PressWithNoListReportsNone) {
  View->PaintBoxMouseDown(TMouseButton::mbLeft, 30, 5);
  EXPECT_EQ(View->ItemIndex(), -1);
  ASSERT_EQ(Events.size(), 1u);
  EXPECT_EQ(Events[0].Index, -1);
}

TEST_F(ListMouse, DoubleClickFiresExceptOnADisabledRow) {
  auto rows = TListRows::Numbered(4);
  rows->List.Items[2].Enabled = false;
  Attach(*rows);
  const struct {
    int y;
    int fired;
  } cases[] = {{5, 1}, {40, 0}, {80, 1}};  // row 0, disabled row 2, below the rows
  for (const auto& c : cases) {
    DoubleClicks = 0;
    View->PaintBoxMouseDown(TMouseButton::mbLeft, 30, c.y);
    View->PaintBoxDblClick();
    EXPECT_EQ(DoubleClicks, c.fired) << c.y;
  }
  // The paint box's own double-click event is wired to the list.
  View->PaintBoxMouseDown(TMouseButton::mbLeft, 30, 20);
  DoubleClicks = 0;
  Paint.OnDblClick();
  EXPECT_EQ(DoubleClicks, 1);
}

TEST_F(ListMouse, DoubleClickWithNoListFires) {
  View->PaintBoxMouseDown(TMouseButton::mbLeft, 30, 5);
  View->PaintBoxDblClick();
  EXPECT_EQ(DoubleClicks, 1);
}

}  // namespace
}  // namespace kovra::testing
