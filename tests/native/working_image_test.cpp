// The working image "$tQcmImage.$$$": a read that would not fit in it is
// refused before a byte is written, and data read from the phone survives
// the window's closing for as long as it is the loaded image.
#include "device_window_fixture.h"

namespace kovra::testing {
namespace {

// A user image of 8 blocks (main area 0x100000, spare area 0x8000) whose
// table lists BIG in blocks 7 to 9: its main data would run 0x40000 bytes
// past the main area, over the spare area and past the file's end. The
// chip has 16 blocks, so the device reads it without complaint.
samples::TSampleImageSpec ShortImage() {
  samples::TSampleImageSpec s = ChipLayout(1);
  s.BlockCount = 8;
  using C = samples::TSampleContent;
  s.Entries = {{"0:SBL", 0, 5, 0, C::Pattern},
               {"0:MIBIB", 5, 1, 0, C::Blank},
               {"0:APPS", 6, 1, 0, C::Pattern},
               {"0:BIG", 7, 3, 0, C::Blank}};
  return s;
}

const char kBigRefused[] =
    "ERROR: Partition \"BIG\" does not fit in the image: its main data is 0x00060000 bytes at 0x000E0000 and its "
    "spare data 0x00003000 bytes at 0x00107000, but the image holds 0x00108000 bytes, of which 0x00100000 are main "
    "data.";

TEST_F(DeviceWindowTest, AReadThatDoesNotFitInTheImageIsRefusedBeforeAnythingIsReadOrWritten) {
  struct Case {
    const char* Name;
    std::vector<int> Marked;
    int Cursor;
    bool WorkingImageFirst;  // APPS was read before, so the working image is loaded
  } const cases[] = {
      {"the cursor row", {}, 3, false},
      {"marked, behind a row that fits", {2, 3}, 0, false},
      {"into the working image", {}, 3, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Build(ShortImage());
    LoadUserImage();
    ASSERT_EQ(Form->PartitionItems().Count, 4);
    if (c.WorkingImageFirst) {
      Form->List().SetItemIndex(2);
      Form->ReadSelectedBtn.Click();
      ASSERT_EQ(Form->LoadedImageName(), TempImage());
    }
    const std::string loaded = Form->LoadedImageName();
    const Bytes user = ReadAll(UserPath);
    const Bytes working = ReadAll(TempPath());
    Mark(c.Marked);
    Form->List().SetItemIndex(c.Cursor);
    Host->Reads.clear();
    Form->ReadSelectedBtn.Click();

    EXPECT_TRUE(Host->Reads.empty()) << "a partition was read that could not be placed";
    EXPECT_TRUE(HasLine(std::string(kBigRefused) + " Nothing was read.")) << ::testing::PrintToString(Form->MyMemo.Lines());
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_TRUE(ReadAll(UserPath) == user);
    EXPECT_EQ(fs::exists(TempPath()), c.WorkingImageFirst);
    EXPECT_TRUE(ReadAll(TempPath()) == working);
    EXPECT_EQ(Form->LoadedImageName(), loaded);
    EXPECT_FALSE(HostFilesLeft());
    EXPECT_FALSE(Device->Connected());
    EXPECT_EQ(Form->ReadSelectedBtn.Caption(), c.Marked.empty() ? "Read Partition4" : "Read Selected");
    EXPECT_EQ(Form->DeviceCommands().RunningButton(), nullptr);
  }
}

TEST_F(DeviceWindowTest, DataThatDoesNotFitIsNotMovedInAndTheHostsFilesGo) {
  Build(ShortImage());
  LoadUserImage();
  const Bytes user = ReadAll(UserPath);
  // The host has left BIG's three files, as after its read.
  std::ofstream(HostDir / kHostMainFileName, std::ios::binary) << std::string(0x60000, 'M');
  std::ofstream(HostDir / kHostSpareFileName, std::ios::binary) << std::string(0x3000, 'S');
  std::ofstream(HostDir / kHostReadFileName, std::ios::binary) << "r";
  EXPECT_FALSE(Form->DeviceCommands().InjectReadDataIntoTheImageFileRAM(0xE0000, 0x60000, "BIG"));
  EXPECT_TRUE(HasLine(std::string(kBigRefused) + " Nothing was written into the image."));
  EXPECT_FALSE(HostFilesLeft());
  EXPECT_FALSE(fs::exists(TempPath())) << "the working image was made for data that cannot go in";
  EXPECT_EQ(Form->LoadedImageName(), UserPath.string());
  EXPECT_TRUE(ReadAll(UserPath) == user);
  // A partition that fits goes in as before.
  std::ofstream(HostDir / kHostMainFileName, std::ios::binary) << std::string(0x20000, 'M');
  std::ofstream(HostDir / kHostSpareFileName, std::ios::binary) << std::string(0x1000, 'S');
  EXPECT_TRUE(Form->DeviceCommands().InjectReadDataIntoTheImageFileRAM(0xC0000, 0x20000, "APPS"));
  const Bytes image = ReadAll(TempPath());
  EXPECT_EQ(Slice(image, 0xC0000, 0x20000), Bytes(0x20000, 'M'));
  EXPECT_EQ(Slice(image, 0x106000, 0x1000), Bytes(0x1000, 'S'));
  EXPECT_FALSE(HostFilesLeft());
}

// ---- the working image across showings ---------------------------------------------------

TEST_F(DeviceWindowTest, DataReadFromThePhoneOutlivesTheCloseWhileItIsTheLoadedImage) {
  // From the device: the table, then every partition.
  Form->ReadPartitionBtn.Click();
  ASSERT_EQ(Form->LoadedImageName(), TempImage());
  Form->InvertSelectedBtn.Click();
  Form->ReadSelectedBtn.Click();
  const Bytes device = ReadAll(DevicePath);
  ASSERT_TRUE(ReadAll(TempPath()) == device);

  for (int showing = 1; showing <= 3; ++showing) {
    SCOPED_TRACE("after closing " + std::to_string(showing) + " times");
    Form->FormClose();
    ASSERT_TRUE(fs::exists(TempPath())) << "closing deleted the data read from the phone";
    EXPECT_TRUE(ReadAll(TempPath()) == device);
    // The next showing: list, hex views and saves work on the same file.
    EXPECT_EQ(Form->LoadedImageName(), TempImage());
    EXPECT_EQ(Form->PartitionItems().Count, 6);
    Form->List().SetItemIndex(2);
    EXPECT_EQ(Form->HexForm().UpperView().DataBlock().FileName, TempImage());
    EXPECT_EQ(Form->HexForm().UpperView().ChunkLength(), 0x40000);
  }
  const fs::path saved = Dir / "saved.bin";
  Form->SaveDialog.Executor = [&](TFileDialog& d) {
    d.FileName = saved.string();
    return true;
  };
  Form->MyPopup.Click(8);  // "Save as KOVRA FullFlash Image File..."
  EXPECT_TRUE(Errors.empty()) << Errors.front();
  EXPECT_TRUE(ReadAll(saved) == device);

  // Unloading the module deletes it.
  const fs::path working = TempPath();
  Form.reset();
  EXPECT_FALSE(fs::exists(working));
}

TEST_F(DeviceWindowTest, TheWorkingImageGoesWhenAnotherImageTakesItsPlace) {
  struct Case {
    const char* Name;
    std::function<void(DeviceWindowTest&)> Then;
    bool KeptAfterIt;   // right after Then
    bool KeptAtClose;   // after FormClose
  } const cases[] = {
      {"another image loaded", [](DeviceWindowTest& t) { t.LoadUserImage(); }, false, false},
      // The user's mistyped path loads nothing; the working image stays until
      // the window closes, as an image that is not the loaded one does.
      {"a load that fails",
       [](DeviceWindowTest& t) {
         t.Form->ImageName.SetText((t.Dir / "missing.bin").string());
         t.Form->CreateList.Click();
       },
       true, false},
      // The working image itself, opened under another spelling, is the
      // loaded image still.
      {"the working image under another spelling",
       [](DeviceWindowTest& t) {
         t.Form->ImageName.SetText((t.HostDir / "." / kImageTempFileName).string());
         t.Form->CreateList.Click();
       },
       true, true},
      {"the table fetched again", [](DeviceWindowTest& t) { t.Form->ReadPartitionBtn.Click(); }, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Build(ChipLayout(1));
    LoadUserImage();
    Form->List().SetItemIndex(3);
    Form->ReadSelectedBtn.Click();
    ASSERT_EQ(Form->LoadedImageName(), TempImage());
    c.Then(*this);
    EXPECT_EQ(fs::exists(TempPath()), c.KeptAfterIt);
    Form->FormClose();
    EXPECT_EQ(fs::exists(TempPath()), c.KeptAtClose);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
  }
}

}  // namespace
}  // namespace kovra::testing
