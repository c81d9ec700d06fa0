// The partition list from the keyboard, as the main window routes its keys:
// the cursor keys and Enter work the list's key table while it has the
// focus, every other key goes on, and the menu key (or Shift+F10) opens the
// popup at the cursor row, scrolled into view first, as a right press on
// that row would.
#include "device_window_fixture.h"

namespace kovra::testing {
namespace {

constexpr int kVkReturn = 13, kVkDown = 40, kVkEnd = 35, kVkHome = 36, kVkApps = 0x5D, kVkF10 = 0x79, kVkTab = 9;

struct ScreenAt {
  TWidgetToScreen Previous;
  explicit ScreenAt(int dx, int dy)
      : Previous(SetWidgetToScreenProvider([dx, dy](const TWidget&, TPoint p) { return TPoint{p.X + dx, p.Y + dy}; })) {}
  ~ScreenAt() { SetWidgetToScreenProvider(Previous); }
};

TEST_F(DeviceWindowTest, TheListTakesItsKeysAndOpensThePopupAtTheCursorRow) {
  LoadUserImage();
  TScrollBox& box = Form->ScrollBox00;
  ASSERT_TRUE(box.OnKeyDown);
  EXPECT_TRUE(box.OnKeyDown(kVkDown));
  EXPECT_TRUE(box.OnKeyDown(kVkDown));
  EXPECT_EQ(Form->List().ItemIndex(), 2);
  // Enter marks the cursor row, as a double click does.
  EXPECT_TRUE(box.OnKeyDown(kVkReturn));
  EXPECT_EQ(Form->Descriptors()[2].CheckedType, "+");
  EXPECT_EQ(Form->ReadSelectedBtn.Caption(), "Read Selected");
  // Keys of no meaning to the list go on to the system.
  for (int key : {kVkApps, kVkF10, kVkTab, int('A')}) EXPECT_FALSE(box.OnKeyDown(key)) << key;

  ScreenAt screen(1000, 2000);
  ASSERT_TRUE(box.OnContextPopup);
  EXPECT_TRUE(box.OnContextPopup());
  ASSERT_EQ(Form->MyPopup.PopupCount, 1);
  EXPECT_EQ(Form->PopupItemIndex(), 2);
  const int h = Form->List().RowHeight();
  EXPECT_EQ(Form->MyPopup.LastPopupAt.X, 1004);
  EXPECT_EQ(Form->MyPopup.LastPopupAt.Y, 2000 + 3 * h);
  EXPECT_EQ(Form->MyPopup.Items[0].Caption,
            "Save \"" + Form->Descriptors()[2].PartitionName + "\" partition (\"main\" data only) into file...");
}

TEST_F(DeviceWindowTest, AKeyboardPopupScrollsItsRowIntoViewAndNeedsARow) {
  // A list taller than its box: sixteen one-block partitions, four rows shown.
  samples::TSampleImageSpec spec = ChipLayout(1);
  spec.Entries.clear();
  for (uint32_t i = 0; i < 16; ++i) {
    const bool table = i == spec.TableBlock;
    spec.Entries.push_back({table ? "0:MIBIB" : "0:P" + std::to_string(i), i, 1, 0,
                            table ? samples::TSampleContent::Blank : samples::TSampleContent::Pattern});
  }
  Build(spec);
  LoadUserImage();
  ASSERT_EQ(Form->PartitionItems().Count, 16);
  const int h = Form->List().RowHeight();
  Form->PaintBox00.SetBounds(0, 0, 400, 4 * h);
  Form->ScrollBox00.SetBounds(0, 0, 400, 4 * h);
  Form->List().Refresh();
  ASSERT_EQ(Form->List().ScreenLines(), 4);
  ScreenAt screen(0, 0);
  Form->ScrollBox00.OnKeyDown(kVkEnd);  // cursor on row 15, rows 12..15 shown
  Form->ScrollBar00.SetPosition(0);     // the user scrolls back to the top
  ASSERT_EQ(Form->List().FirstVisibleRow(), 0);
  EXPECT_TRUE(Form->ScrollBox00.OnContextPopup());
  EXPECT_EQ(Form->List().FirstVisibleRow(), 12);
  EXPECT_EQ(Form->MyPopup.LastPopupAt.Y, 4 * h) << "not at the bottom of row 15, the last one shown";
  EXPECT_EQ(Form->PopupItemIndex(), 15);
  // No cursor row: nothing to open on.
  Form->List().SetItemIndex(-1);
  EXPECT_FALSE(Form->ScrollBox00.OnContextPopup());
  EXPECT_EQ(Form->MyPopup.PopupCount, 1);
  Form->ScrollBox00.OnKeyDown(kVkHome);
  EXPECT_EQ(Form->List().ItemIndex(), 0);
}

}  // namespace
}  // namespace kovra::testing
