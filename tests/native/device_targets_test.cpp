// Which rows a device command acts on, and the one control that can end it:
// "&Stop" stays usable whatever the user clicks in the list meanwhile, and
// marked rows are the only targets once any row is marked, even when they
// hold nothing.
#include "device_window_fixture.h"

namespace kovra::testing {
namespace {

using Calls = std::vector<uint32_t>;

TEST_F(DeviceWindowTest, StopStaysEnabledAfterAClickBelowTheRowsAndEndsTheCommand) {
  struct Case {
    const char* Name;
    TButton TQualcommForm::*Button;
    std::string IdleAfter;  // the cursor is on row 2 when the command ends
  } const cases[] = {
      {"read", &TQualcommForm::ReadSelectedBtn, "Read Partition3"},
      {"flash", &TQualcommForm::FlashSelectedBtn, "Flash Partition3"},
      {"erase", &TQualcommForm::EraseSelectedBtn, "Erase Partition3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Build(ChipLayout(1));
    LoadUserImage();
    Form->List().SetItemIndex(5);  // USER: four blocks, so the command lets messages through several times
    TButton& button = Form.get()->*c.Button;
    std::vector<bool> enabledWhileRunning;
    int step = 0;
    PumpHook = [&] {
      if (Form->DeviceCommands().RunningButton() != &button) return;
      switch (step++) {
        case 0:
          // A click in the empty area below the last row: no cursor row.
          Form->List().PaintBoxMouseDown(TMouseButton::mbLeft, 10, RowY(40));
          EXPECT_EQ(Form->List().ItemIndex(), -1);
          enabledWhileRunning.push_back(button.Enabled());
          break;
        case 1:
          // A click on a row again.
          Form->List().PaintBoxMouseDown(TMouseButton::mbLeft, 10, RowY(2));
          enabledWhileRunning.push_back(button.Enabled());
          break;
        case 2:
          EXPECT_EQ(button.Caption(), kStopCaption);
          button.Click();
          break;
        default:
          break;
      }
    };
    button.Click();
    EXPECT_EQ(enabledWhileRunning, (std::vector<bool>{true, true}));
    EXPECT_GE(step, 3) << "the command ended before the stop was pressed";
    EXPECT_EQ(Form->MyStatus.PanelText(0), kTextStoppedByUser);
    EXPECT_EQ(button.Caption(), c.IdleAfter);
    EXPECT_TRUE(button.Enabled());
    EXPECT_EQ(Stop, 0);
    EXPECT_EQ(Form->DeviceCommands().RunningButton(), nullptr);
  }
}

TEST_F(DeviceWindowTest, ANoCursorRowAfterTheCommandDisablesTheButtonsAgain) {
  LoadUserImage();
  Form->List().SetItemIndex(3);
  PumpHook = [&, done = false]() mutable {
    if (done || Form->DeviceCommands().RunningButton() == nullptr) return;
    done = true;
    Form->List().PaintBoxMouseDown(TMouseButton::mbLeft, 10, RowY(40));
  };
  Form->EraseSelectedBtn.Click();
  EXPECT_EQ(Form->List().ItemIndex(), -1);
  for (TButton* b : {&Form->ReadSelectedBtn, &Form->FlashSelectedBtn, &Form->EraseSelectedBtn})
    EXPECT_FALSE(b->Enabled()) << b->Caption();
  EXPECT_EQ(Form->EraseSelectedBtn.Caption(), "Erase Partition4");
}

// A user image with a partition of no length (row 6, "EMPTY") behind the usual six.
samples::TSampleImageSpec LayoutWithAnEmptyRow() {
  samples::TSampleImageSpec s = ChipLayout(1);
  s.Entries.back().Size = 3;  // USER: blocks 12 to 14
  s.Entries.push_back({"0:EMPTY", 15, 0, 0, samples::TSampleContent::Blank});
  return s;
}

TEST_F(DeviceWindowTest, MarkedRowsThatHoldNothingMakeNoCommandActOnTheCursorRow) {
  struct Case {
    const char* Name;
    TButton TQualcommForm::*Button;
    const char* Caption;
    const char* Line;
  } const cases[] = {
      {"read", &TQualcommForm::ReadSelectedBtn, "Read Selected",
       "ERROR: The selected partitions (\"EMPTY\") hold 0 bytes: nothing to read."},
      {"flash", &TQualcommForm::FlashSelectedBtn, "Flash Selected",
       "ERROR: The selected partitions (\"EMPTY\") hold 0 bytes: nothing to flash."},
      {"erase", &TQualcommForm::EraseSelectedBtn, "Erase Selected",
       "ERROR: The selected partitions (\"EMPTY\") hold 0 bytes: nothing to erase."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Build(LayoutWithAnEmptyRow());
    LoadUserImage();
    ASSERT_EQ(Form->PartitionItems().Count, 7);
    Mark({6});
    Form->List().SetItemIndex(2);  // the cursor on APPS, which nobody marked
    const Bytes device = ReadAll(DevicePath);
    const Bytes user = ReadAll(UserPath);
    TButton& button = Form.get()->*c.Button;
    EXPECT_EQ(button.Caption(), c.Caption);
    button.Click();
    // Nothing reaches the device; the frame's closing disconnect is harmless.
    EXPECT_EQ(Host->Calls, (Calls{20}));
    EXPECT_TRUE(Host->Reads.empty());
    EXPECT_TRUE(Host->Erases.empty());
    EXPECT_TRUE(Host->WriteRequests.empty());
    EXPECT_TRUE(ReadAll(DevicePath) == device);
    EXPECT_TRUE(ReadAll(UserPath) == user);
    EXPECT_FALSE(fs::exists(TempPath()));
    EXPECT_TRUE(HasLine(c.Line));
    EXPECT_TRUE(Errors.empty());
    EXPECT_EQ(Form->DeviceCommands().RunningButton(), nullptr);
    EXPECT_TRUE(button.Enabled());
  }
}

TEST_F(DeviceWindowTest, MarkedRowsAreTheOnlyTargetsWhateverTheirLengthsAddUpTo) {
  Build(LayoutWithAnEmptyRow());
  LoadUserImage();
  // The empty row beside a row with data: the marked rows are acted on, in
  // row order, and the cursor row is not.
  Mark({3, 6});
  Form->List().SetItemIndex(2);
  Form->EraseSelectedBtn.Click();
  ASSERT_FALSE(Host->Erases.empty());
  EXPECT_EQ(Host->Erases.front(), (std::pair<uint32_t, uint32_t>{0x100000, 0x20000}));
  for (const auto& e : Host->Erases) EXPECT_NE(e.first, 0xC0000u) << "the cursor row was erased";

  // Two marked rows whose byte lengths add up to 2^32: the sum is 0 in 32
  // bits, and still they are the targets (the device refuses the first one,
  // which lies past its end; the cursor row is never reached).
  Host->Erases.clear();
  Mark({3, 6});  // unmark both
  TQualcommMIBIBEntry& a = Form->PartitionTable().Entries[3];
  TQualcommMIBIBEntry& b = Form->PartitionTable().Entries[4];
  a.EntrySize = 0x4000;  // 0x4000 blocks of 0x20000 bytes: 0x80000000 bytes
  b.EntrySize = 0x4000;
  Mark({3, 4});
  Form->List().SetItemIndex(2);
  Form->EraseSelectedBtn.Click();
  ASSERT_FALSE(Host->Erases.empty());
  EXPECT_EQ(Host->Erases.front(), (std::pair<uint32_t, uint32_t>{0x100000, 0x80000000u}));
  for (const auto& e : Host->Erases) EXPECT_NE(e.first, 0xC0000u) << "the cursor row was erased";
}

}  // namespace
}  // namespace kovra::testing
