// Pointing in a hex pane: the hit test, the caret that a press places, drag
// selections, and the one caret that both panes share.
#include "hexview_fixture.h"

namespace kovra::testing {
namespace {

struct HitCase {
  const char* name;
  int x, y;
  int64_t offset;
  int column;
};
void PrintTo(const HitCase& c, std::ostream* os) { *os << c.name; }

class HexPaneHit : public HexPaneTest, public ::testing::WithParamInterface<HitCase> {};

TEST_P(HexPaneHit, MapsAPointToAByte) {
  Files.Add("img", 0x1000);
  Show("img", 0, 0x1000);
  const auto hit = View->HitTest(GetParam().x, GetParam().y);
  EXPECT_EQ(hit.Offset, GetParam().offset);
  EXPECT_EQ(hit.Column, GetParam().column);
}

// Hex cells are 24 pixels apart from x = 74; a byte's two digits take 16 of
// them, and the gap's right half (from 21 pixels in) counts for the next byte.
INSTANTIATE_TEST_SUITE_P(
    Cases, HexPaneHit,
    ::testing::Values(HitCase{"OffsetColumnPicksFirstByteOfLine", 10, 21, 16, 0},
                      HitCase{"FirstHexCell", 74, 0, 0, 0},
                      HitCase{"LeftHalfOfGap", 94, 0, 0, 0},
                      HitCase{"RightHalfOfGap", 95, 0, 1, 0},
                      HitCase{"LastHexCell", 434, 0, 15, 0},
                      HitCase{"ThirdLine", 198, 37, 37, 0},
                      HitCase{"FirstCharacterCell", 460, 0, 0, 1},
                      HitCase{"SecondCharacterCell", 470, 5, 1, 1},
                      HitCase{"LastCharacterCell", 580, 16, 31, 1},
                      HitCase{"RightOfTheCharactersIsTheLastByte", 599, 0, 15, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HexPaneTest, LeftPressPlacesTheCaretOnTheByteInItsColumn) {
  Files.Add("img", 0x1000);
  Show("img", 0, 0x1000);
  View->MouseDown(TMouseButton::mbLeft, HexX(5), LineY(2));
  View->MouseUp(TMouseButton::mbLeft, HexX(5), LineY(2));
  EXPECT_EQ(View->CaretByte(), 0x25);
  EXPECT_EQ(View->CaretColumn(), 0);
  EXPECT_TRUE(Box.Focused());
  TCaret& caret = SystemCaret();
  EXPECT_EQ(caret.Owner(), &Box);
  EXPECT_TRUE(caret.Visible());
  // Left edge of the cell, shifted by the paint box's place in the scroll box.
  EXPECT_EQ(caret.X(), 74 + 120 + 4);
  EXPECT_EQ(caret.Y(), 32);
  EXPECT_EQ(caret.Width(), 2);
  EXPECT_EQ(caret.Height(), 16);

  View->MouseDown(TMouseButton::mbLeft, CharX(3), LineY(1));
  View->MouseUp(TMouseButton::mbLeft, CharX(3), LineY(1));
  EXPECT_EQ(View->CaretByte(), 0x13);
  EXPECT_EQ(View->CaretColumn(), 1);
  EXPECT_EQ(caret.X(), 460 + 24 + 4);
  EXPECT_EQ(caret.Y(), 16);
}

TEST_F(HexPaneTest, OtherButtonsOnlyTakeTheFocus) {
  Files.Add("img", 0x1000);
  Show("img", 0, 0x1000);
  View->MouseDown(TMouseButton::mbLeft, HexX(2), LineY(0));
  View->MouseUp(TMouseButton::mbLeft, HexX(2), LineY(0));
  TScrollBox other;
  other.SetFocus();
  View->MouseDown(TMouseButton::mbRight, HexX(9), LineY(4));
  EXPECT_TRUE(Box.Focused());
  EXPECT_EQ(View->CaretByte(), 2);
  EXPECT_FALSE(View->Dragging());
}

TEST_F(HexPaneTest, PressPastTheEndClearsTheSelectionButKeepsTheCaret) {
  Files.Add("img", 0x1000);
  Show("img", 0, 40);  // the third line holds 8 bytes
  View->MouseDown(TMouseButton::mbLeft, HexX(3), LineY(0));
  View->MouseMove(HexX(6), LineY(0));
  View->MouseUp(TMouseButton::mbLeft, HexX(6), LineY(0));
  ASSERT_TRUE(View->HasSelection());
  const int64_t caretByte = View->CaretByte();

  View->MouseDown(TMouseButton::mbLeft, HexX(10), LineY(2));  // byte 42
  EXPECT_FALSE(View->HasSelection());
  EXPECT_EQ(View->CaretByte(), caretByte);
  EXPECT_FALSE(View->Dragging());
  View->MouseMove(HexX(1), LineY(0));
  EXPECT_FALSE(View->HasSelection()) << "no drag starts past the end";
}

TEST_F(HexPaneTest, PressOnThePartlyVisibleLastLineScrollsItToTheTop) {
  Files.Add("img", 0x1000);
  Show("img", 0, 0x1000);
  View->MouseDown(TMouseButton::mbLeft, HexX(2), 165);  // line 10, byte 162
  EXPECT_EQ(View->CaretByte(), 162);
  EXPECT_EQ(View->TopOffset(), 160);
  EXPECT_EQ(Bar.Position(), 10);
  EXPECT_EQ(SystemCaret().Y(), 0);
  EXPECT_TRUE(SystemCaret().Visible());
}

TEST_F(HexPaneTest, PressOnTheLastLineScrollsOnlyAsFarAsTheRangeGoes) {
  Files.Add("img", 0x1000);
  Show("img", 0, 12 * 16);  // 12 lines, 10 visible: at most 2 lines down
  View->MouseDown(TMouseButton::mbLeft, HexX(0), 165);
  EXPECT_EQ(View->CaretByte(), 160);
  EXPECT_EQ(View->TopOffset(), 32);
  EXPECT_EQ(SystemCaret().Y(), 8 * 16);
}

TEST_F(HexPaneTest, DragSelectsBackwardsAndForwardsFromTheAnchor) {
  Files.Add("img", 0x1000);
  Show("img", 0, 0x1000);
  View->MouseDown(TMouseButton::mbLeft, HexX(10), LineY(0));
  View->MouseMove(HexX(10), LineY(0));  // not moved yet
  EXPECT_FALSE(View->HasSelection());
  EXPECT_TRUE(SystemCaret().Visible());

  View->MouseMove(HexX(5), LineY(0));
  EXPECT_EQ(View->SelectionBegin(), 5);
  EXPECT_EQ(View->SelectionEnd(), 9);
  EXPECT_EQ(View->CaretByte(), 5);
  EXPECT_FALSE(SystemCaret().Visible());

  View->MouseMove(HexX(12), LineY(0));
  EXPECT_EQ(View->SelectionBegin(), 10);
  EXPECT_EQ(View->SelectionEnd(), 12);
  EXPECT_EQ(View->CaretByte(), 12);

  View->MouseUp(TMouseButton::mbLeft, HexX(12), LineY(0));
  View->MouseMove(HexX(14), LineY(3));
  EXPECT_EQ(View->SelectionEnd(), 12) << "the selection stays after the release";

  View->MouseDown(TMouseButton::mbLeft, HexX(1), LineY(1));
  EXPECT_FALSE(View->HasSelection());
  EXPECT_EQ(View->CaretByte(), 17);
}

TEST_F(HexPaneTest, PressWhileADragIsActiveIsIgnored) {
  Files.Add("img", 0x1000);
  Show("img", 0, 0x1000);
  View->MouseDown(TMouseButton::mbLeft, HexX(4), LineY(0));
  View->MouseDown(TMouseButton::mbLeft, HexX(8), LineY(3));
  EXPECT_EQ(View->CaretByte(), 4);
}

TEST_F(HexPaneTest, BothPanesShareOneCaretAndScrollIndependently) {
  TRecordingCanvas canvas2;
  TScrollBox box2;
  TPaintBox paint2;
  TScrollBar bar2;
  paint2.Canvas = &canvas2;
  paint2.SetBounds(4, 0, kW, 80);
  auto lower = CreateHEXView(box2, paint2, bar2, Files);
  box2.SetBounds(0, 0, kW + 21, 80);
  Files.Add("img", 0x10000);
  Show("img", 0, 0x8000);
  lower->InitializeViewData("img", 0x8000, 0x400);

  View->MouseDown(TMouseButton::mbLeft, HexX(1), LineY(1));
  View->MouseUp(TMouseButton::mbLeft, HexX(1), LineY(1));
  EXPECT_EQ(SystemCaret().Owner(), &Box);
  lower->MouseDown(TMouseButton::mbLeft, HexX(7), LineY(0));
  lower->MouseUp(TMouseButton::mbLeft, HexX(7), LineY(0));
  EXPECT_EQ(SystemCaret().Owner(), &box2);
  EXPECT_TRUE(SystemCaret().Visible());
  EXPECT_EQ(View->CaretByte(), 17) << "each pane keeps its own caret byte";
  EXPECT_EQ(lower->CaretByte(), 7);

  lower->MouseWheel(-120);
  EXPECT_EQ(lower->TopOffset(), 96);
  EXPECT_EQ(View->TopOffset(), 0);
  // Back in the upper pane the caret comes along.
  View->MouseDown(TMouseButton::mbLeft, HexX(0), LineY(0));
  EXPECT_EQ(SystemCaret().Owner(), &Box);
  lower.reset();
}

}  // namespace
}  // namespace kovra::testing
