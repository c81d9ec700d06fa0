// While a device command runs, the host lets window messages through between
// blocks: a modal dialog or menu opened then would hold the transfer in the
// middle of a partition until the user closed it. So "..." does nothing and
// the list's popup does not open meanwhile, from the mouse or the keyboard;
// the hex panes still follow the cursor row, and the buttons name the new
// row once the command has ended.
#include "device_window_fixture.h"

namespace kovra::testing {
namespace {

TEST_F(DeviceWindowTest, NoDialogOrMenuOpensInsideARunningCommand) {
  LoadUserImage();
  Form->List().SetItemIndex(5);  // USER, four blocks: the host lets messages through several times
  Form->List().PaintBoxMouseDown(TMouseButton::mbRight, 10, RowY(1));
  ASSERT_EQ(Form->MyPopup.PopupCount, 1);
  ASSERT_EQ(Form->PopupItemIndex(), 1);
  Form->List().SetItemIndex(5);
  int dialogs = 0;
  Form->OpenDialog.Executor = [&](TFileDialog&) {
    ++dialogs;
    return false;
  };
  const int64_t fotaLength = 3 * kChipBlock;  // row 4
  int step = 0;
  std::vector<std::string> captionsWhileRunning;
  PumpHook = [&] {
    if (Form->DeviceCommands().RunningButton() != &Form->ReadSelectedBtn || step++ != 0) return;
    Form->SelectImageFile.Click();
    Form->List().PaintBoxMouseDown(TMouseButton::mbRight, 10, RowY(4));
    EXPECT_EQ(Form->List().ItemIndex(), 4);
    EXPECT_EQ(Form->HexForm().UpperView().ChunkLength(), fotaLength) << "the upper pane did not follow the row";
    EXPECT_EQ(Form->HexForm().LowerView().ChunkLength(), fotaLength / 32);
    // From the keyboard: the menu key on the list.
    if (Form->ScrollBox00.OnContextPopup) Form->ScrollBox00.OnContextPopup();
    captionsWhileRunning = {Form->ReadSelectedBtn.Caption(), Form->FlashSelectedBtn.Caption()};
  };
  Form->ReadSelectedBtn.Click();
  ASSERT_GE(step, 1) << "the command never let messages through";
  EXPECT_EQ(dialogs, 0) << "the open dialog opened inside the command";
  EXPECT_EQ(Form->MyPopup.PopupCount, 1) << "the popup menu opened inside the command";
  EXPECT_EQ(Form->PopupItemIndex(), 1);
  EXPECT_EQ(captionsWhileRunning, (std::vector<std::string>{kStopCaption, "Flash Partition6"}));
  // Once it has ended, the buttons name the row the cursor moved to, and
  // both work again.
  EXPECT_EQ(Form->ReadSelectedBtn.Caption(), "Read Partition5");
  EXPECT_EQ(Form->FlashSelectedBtn.Caption(), "Flash Partition5");
  EXPECT_EQ(Form->HexForm().UpperView().ChunkLength(), fotaLength);
  Form->SelectImageFile.Click();
  EXPECT_EQ(dialogs, 1);
  Form->List().PaintBoxMouseDown(TMouseButton::mbRight, 10, RowY(3));
  EXPECT_EQ(Form->MyPopup.PopupCount, 2);
  EXPECT_EQ(Form->PopupItemIndex(), 3);
}

}  // namespace
}  // namespace kovra::testing
