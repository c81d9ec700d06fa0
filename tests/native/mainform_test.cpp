// The main window's rules through its widget models: captions, enabling,
// the popup, the hex panes, loads that fail, and settings across creations.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/MemoryRegistry.h"
#include "samples/SampleImage.h"
#include "ui/MainUnit.h"
#include "ui/RecordingCanvas.h"

using namespace kovra;
namespace fs = std::filesystem;

namespace {

const char kKey[] = "Software\\Mervik\\KOVRAPlugin_QualcommTool_Settings";

struct FormFixture : ::testing::Test {
  fs::path Dir = fs::temp_directory_path() / ("kovra-form-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::vector<std::string> Errors;
  std::vector<std::string> Deleted;
  TPlatformServices Platform;
  std::unique_ptr<THexForm> Hex;
  std::unique_ptr<TQualcommForm> Form;
  TRecordingCanvas ListCanvas, HexCanvas1, HexCanvas2;

  void SetUp() override {
    fs::create_directories(Dir);
    SharedMemoryRegistryHive()->Clear();
    Platform.ErrorBox = [this](const std::string& t) { Errors.push_back(t); };
    Platform.HostExecutablePath = [] { return std::string("C:\\Host\\host.exe"); };
    Platform.DeleteFile = [this](const std::string& p) {
      Deleted.push_back(p);
      return true;
    };
    Create();
  }
  void TearDown() override {
    Form.reset();
    Hex.reset();
    std::error_code ec;
    fs::remove_all(Dir, ec);
  }
  // What module load does: main window, hex window, settings.
  void Create() {
    Form.reset();
    Hex = std::make_unique<THexForm>();
    Hex->PaintBox01.Canvas = &HexCanvas1;
    Hex->PaintBox02.Canvas = &HexCanvas2;
    Form = std::make_unique<TQualcommForm>(Platform, *Hex);
    Form->PaintBox00.Canvas = &ListCanvas;
    Form->FormCreate();
    Form->ReadSettings();
  }
  std::string Image(const std::string& name, const samples::TSampleImageSpec& desc = samples::SampleSpecFor(2048, 0x20000, 64)) {
    const std::string path = (Dir / name).string();
    samples::WriteSampleImage(desc, path);
    return path;
  }
  void Load(const std::string& path) {
    Form->ImageName.SetText(path);
    Form->CreateList.Click();
  }
  std::vector<std::string> Captions() {
    return {Form->ReadSelectedBtn.Caption(), Form->FlashSelectedBtn.Caption(), Form->EraseSelectedBtn.Caption()};
  }
  std::vector<bool> EnabledButtons() {
    std::vector<bool> e;
    for (TButton* b : Form->TabOrder()) e.push_back(b->Enabled());
    return e;
  }
  int RowY(int row) { return row * Form->List().RowHeight() + 1; }
};

using V = std::vector<std::string>;
using B = std::vector<bool>;
// Tab order: Read, Flash, Erase, Check for Blank, Show/Hide HEX, Make, Get, Invert.

TEST_F(FormFixture, DesignedStateAtCreation) {
  EXPECT_EQ(Form->Form.Caption, "Processing Qualcomm KOVRA Full Image Files. Plugin Version 1.06");
  EXPECT_EQ(EnabledButtons(), (B{false, false, false, false, true, true, true, false}));
  EXPECT_EQ(Form->ImageTempName(), "C:\\Host\\$tQcmImage.$$$");
  EXPECT_EQ(Form->Idle(Form->ReadPartitionBtn).IdleCaption, "&Get Partitions from Device");
  EXPECT_EQ(Form->Idle(Form->ReadPartitionBtn).IdleImageIndex, 42);
  EXPECT_EQ(Form->Idle(Form->FlashSelectedBtn).IdleImageIndex, 12);
  EXPECT_EQ(Form->Idle(Form->ReadSelectedBtn).IdleImageIndex, 3);
  EXPECT_EQ(Form->Idle(Form->EraseSelectedBtn).IdleImageIndex, 9);
  EXPECT_EQ(Form->List().RowHeightIncrease(), 2);
  EXPECT_FALSE(Form->List().MultiThreadRepaint());
  Form->FormShow();
  EXPECT_TRUE(Form->CreateList.Focused());
}

TEST_F(FormFixture, LoadListsPartitionsAndNumbersTheButtons) {
  const std::string path = Image("a.bin");
  Load(path);
  EXPECT_EQ(Form->LoadedImageName(), path);
  EXPECT_EQ(Form->PartitionItems().Count, 12);
  EXPECT_EQ(Form->List().ItemIndex(), 0);
  EXPECT_EQ(Captions(), (V{"Read Partition1", "Flash Partition1", "Erase Partition1"}));
  EXPECT_EQ(EnabledButtons(), (B{true, true, true, true, true, true, true, true}));
  const auto lines = Form->MyMemo.Lines();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], "Detected NAND Page = 0x0800 bytes");
  EXPECT_EQ(lines[4], "Total quantity of listed partitions: 12");
  EXPECT_EQ(Form->MyGauge.Position(), 0);
  // The hex panes follow the cursor row: the first partition's main and spare data.
  const TPartitionExtent e = PartitionExtent(Form->Geometry(), Form->PartitionTable().Entries[0]);
  EXPECT_EQ(Form->HexForm().UpperView().DataBlock().StartingOffset, e.MainOffset);
  EXPECT_EQ(Form->HexForm().LowerView().DataBlock().ChunkLength, e.SpareLength);
}

TEST_F(FormFixture, MarksDriveTheCaptions) {
  Load(Image("a.bin"));
  Form->List().SetItemIndex(2);
  EXPECT_EQ(Captions(), (V{"Read Partition3", "Flash Partition3", "Erase Partition3"}));
  Form->List().PaintBoxDblClick();
  EXPECT_EQ(Form->Descriptors()[2].CheckedType, "+");
  EXPECT_EQ(Captions(), (V{"Read Selected", "Flash Selected", "Erase Selected"}));
  Form->List().PaintBoxDblClick();  // unmark again
  EXPECT_EQ(Form->Descriptors()[2].CheckedType, "");
  EXPECT_EQ(Captions(), (V{"Read Partition3", "Flash Partition3", "Erase Partition3"}));
  Form->InvertSelectedBtn.Click();
  for (const auto& d : Form->Descriptors()) EXPECT_EQ(d.CheckedType, "+");
  EXPECT_EQ(Captions(), (V{"Read Selected", "Flash Selected", "Erase Selected"}));
  Form->InvertSelectedBtn.Click();
  EXPECT_EQ(Captions(), (V{"Read Partition3", "Flash Partition3", "Erase Partition3"}));
  EXPECT_EQ(Form->Idle(Form->ReadSelectedBtn).IdleCaption, "Read Partition3");
}

TEST_F(FormFixture, PressesAndThePopup) {
  Load(Image("a.bin"));
  Form->List().PaintBoxMouseDown(TMouseButton::mbRight, 10, RowY(3));
  EXPECT_EQ(Form->PopupItemIndex(), 3);
  ASSERT_EQ(Form->MyPopup.PopupCount, 1);
  const std::string name = Form->Descriptors()[3].PartitionName;
  EXPECT_EQ(Form->MyPopup.Items[0].Caption, "Save \"" + name + "\" partition (\"main\" data only) into file...");
  EXPECT_EQ(Form->MyPopup.Items[1].Caption, "Save \"" + name + "\" partition (\"spare\" data only) into file...");
  EXPECT_EQ(Form->MyPopup.Items[2].Caption, "Save \"" + name + "\" partition (full - main and spare) into file...");
  EXPECT_EQ(Form->MyPopup.Items[8].Caption, "Save as KOVRA FullFlash Image File...");
  // A left press moves the cursor and the panes but opens nothing.
  Form->List().PaintBoxMouseDown(TMouseButton::mbLeft, 10, RowY(1));
  EXPECT_EQ(Form->List().ItemIndex(), 1);
  EXPECT_EQ(Form->MyPopup.PopupCount, 1);
  EXPECT_EQ(Form->PopupItemIndex(), 3);
  // A right press below the last row: no cursor, no menu, panes empty.
  Form->List().PaintBoxMouseDown(TMouseButton::mbRight, 10, RowY(40));
  EXPECT_EQ(Form->List().ItemIndex(), -1);
  EXPECT_EQ(Form->MyPopup.PopupCount, 1);
  EXPECT_EQ(Form->PopupItemIndex(), 3);
  EXPECT_EQ(Form->HexForm().UpperView().ChunkLength(), 0);
  EXPECT_EQ(EnabledButtons(), (B{false, false, false, true, true, true, true, true}));
  // A double click there marks nothing.
  Form->List().PaintBoxDblClick();
  for (const auto& d : Form->Descriptors()) EXPECT_EQ(d.CheckedType, "");
}

TEST_F(FormFixture, AStopCaptionFreezesTheOperationButtons) {
  Load(Image("a.bin"));
  Form->ReadSelectedBtn.SetCaption("&Stop");
  Form->List().SetItemIndex(4);
  EXPECT_EQ(Captions(), (V{"&Stop", "Flash Partition1", "Erase Partition1"}));
}

TEST_F(FormFixture, FailedLoadsLeaveOnlyThreeButtons) {
  samples::TSampleImageSpec noTable = samples::SampleSpecFor(2048, 0x20000, 64);
  noTable.WriteTable = false;
  const std::string noTablePath = Image("notable.bin", noTable);
  const std::string shortPath = (Dir / "short.bin").string();
  std::ofstream(shortPath, std::ios::binary) << std::string(5000, '\xFF');
  struct Case {
    std::string Path;
    std::string Error;  // the message box, if any
    V Memo;             // the log memo afterwards
  } cases[] = {
      {(Dir / "missing.bin").string(), "", {"ERROR: Specified file does not exist!!!"}},
      {noTablePath, "ERROR: Cannot find Qualcomm Partition Table.", {}},
      {shortPath, "Read beyond end of file", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Path);
    Load(Image("good.bin"));
    ASSERT_EQ(Form->PartitionItems().Count, 12);
    Form->List().PaintBoxDblClick();
    Errors.clear();
    Load(c.Path);
    EXPECT_EQ(Form->PartitionItems().Count, 0);
    EXPECT_EQ(Form->List().ItemIndex(), -1);
    EXPECT_EQ(Form->LoadedImageName(), "");
    EXPECT_EQ(Form->MyGauge.Position(), 0);
    EXPECT_EQ(EnabledButtons(), (B{false, false, false, false, true, true, true, false}));
    EXPECT_TRUE(Form->CreateList.Focused());
    if (c.Error.empty()) {
      EXPECT_TRUE(Errors.empty());
    } else {
      ASSERT_EQ(Errors.size(), 1u);
      EXPECT_NE(Errors[0].find(c.Error), std::string::npos) << Errors[0];
    }
    EXPECT_EQ(Form->MyMemo.Lines(), c.Memo);
  }
}

TEST_F(FormFixture, ASecondLoadClearsMarksAndBlankFlags) {
  const std::string path = Image("a.bin");
  Load(path);
  Form->InvertSelectedBtn.Click();
  Form->Descriptors()[1].IsBlank = true;
  Load(path);
  ASSERT_EQ(Form->PartitionItems().Count, 12);
  for (int i = 0; i < 12; ++i) {
    EXPECT_FALSE(Form->PartitionItems().Items[i].Selected);
    EXPECT_EQ(Form->Descriptors()[i].CheckedType, "");
    EXPECT_FALSE(Form->Descriptors()[i].IsBlank);
  }
  EXPECT_EQ(Captions(), (V{"Read Partition1", "Flash Partition1", "Erase Partition1"}));
}

TEST_F(FormFixture, HexWindowShowsAndHides) {
  EXPECT_FALSE(Form->HexWindow.Visible());
  Form->ShowHideHexBtn.Click();
  EXPECT_TRUE(Form->HexWindow.Visible());
  Form->ShowHideHexBtn.Click();
  EXPECT_FALSE(Form->HexWindow.Visible());
}

TEST_F(FormFixture, SelectImageFileTakesTheDialogsAnswer) {
  std::string filterSeen;
  Form->OpenDialog.Executor = [&](TFileDialog& d) {
    filterSeen = d.Filter;
    d.FileName = "D:\\dumps\\phone.bin";
    return true;
  };
  Form->SelectImageFile.Click();
  EXPECT_EQ(filterSeen, "KOVRA Full Image Files |*.bin");
  EXPECT_EQ(Form->ImageName.Text(), "D:\\dumps\\phone.bin");
  Form->OpenDialog.Executor = [](TFileDialog&) { return false; };
  Form->SelectImageFile.Click();
  EXPECT_EQ(Form->ImageName.Text(), "D:\\dumps\\phone.bin");
}

TEST_F(FormFixture, SettingsAreSavedAtCloseAndRestoredAtTheNextCreation) {
  Form->ImageName.SetText("C:\\img\\x.bin");
  Form->No4KBAdjust.SetChecked(true);
  Form->Form.SetBounds(11, 22, 1100, 700);
  Form->HexWindow.SetBounds(5, 6, 680, 800);
  Form->HeaderControl00.SetSectionWidth(3, 400);
  Form->FormClose();
  EXPECT_EQ(Deleted, (V{"C:\\Host\\$tQcmImage.$$$"}));
  auto hive = SharedMemoryRegistryHive();
  const std::vector<std::pair<std::string, std::string>> want = {
      {"SOURCE_FILE", "\"C:\\img\\x.bin\""}, {"FORM_X", "\"11\""},     {"FORM_Y", "\"22\""},
      {"FORM_W", "\"1100\""},                {"FORM_H", "\"700\""},     {"HEXFORM_X", "\"5\""},
      {"HEXFORM_Y", "\"6\""},                {"HEXFORM_W", "\"680\""},  {"HEXFORM_H", "\"800\""},
      {"ADJUST_4KB", "\"-1\""},              {"HEADER00_WIDTH0", "\"80\""}, {"HEADER00_WIDTH1", "\"90\""},
      {"HEADER00_WIDTH2", "\"120\""},        {"HEADER00_WIDTH3", "\"400\""}, {"HEADER00_WIDTH4", "\"2000\""}};
  const auto values = hive->Values(kKey);
  ASSERT_EQ(values.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(values[i].Name, want[i].first);
    EXPECT_EQ(values[i].Data, want[i].second);
  }
  Create();
  EXPECT_EQ(Form->ImageName.Text(), "C:\\img\\x.bin");
  EXPECT_TRUE(Form->No4KBAdjust.Checked());
  EXPECT_EQ(Form->Form.Left(), 11);
  EXPECT_EQ(Form->Form.Height(), 700);
  EXPECT_EQ(Form->HexWindow.Top(), 6);
  EXPECT_EQ(Form->HeaderControl00.Sections()[3].Width, 400);
  // Unchecked is stored as "0".
  Form->No4KBAdjust.SetChecked(false);
  Form->FormClose();
  EXPECT_EQ(hive->GetValue(kKey, "ADJUST_4KB")->Data, "\"0\"");
}

TEST_F(FormFixture, UnreadableSettingsRestoreNothing) {
  auto hive = SharedMemoryRegistryHive();
  // A stored image path beside one FORM_W value: which of the two the window takes.
  struct Case {
    RegValueType Type;
    const char* Data;
    int Width;            // the window's width afterwards (0: not set, the platform sizes it)
    bool SourceRestored;  // the image path box shows the stored path
  } cases[] = {
      {RegValueType::String, "\"1100\"", 1100, true},               // both read
      {RegValueType::String, "\"wide\"", 0, true},                  // does not parse: the value is kept
      {RegValueType::String, "1100", 0, false},                     // no quotes: the whole read fails
      {RegValueType::Dword, "\x01\x02\x03\x04", 0, false},          // not text: an error below the manager
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Data);
    hive->Clear();
    hive->SetValue(kKey, "SOURCE_FILE", RegValueType::String, "\"y.bin\"");
    hive->SetValue(kKey, "FORM_W", c.Type, c.Data);
    Create();
    EXPECT_EQ(Form->Form.Width(), c.Width);
    EXPECT_EQ(Form->ImageName.Text() == "y.bin", c.SourceRestored);
  }
}

}  // namespace

namespace {

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

TEST_F(FormFixture, PopupSavesThroughTheSaveDialog) {
  const std::string path = Image("a.bin");
  Load(path);
  const std::vector<uint8_t> image = ReadAll(path);
  std::vector<std::string> filters;
  std::string answer;
  Form->SaveDialog.Executor = [&](TFileDialog& d) {
    filters.push_back(d.Filter);
    d.FileName = answer;
    return !answer.empty();
  };
  Form->List().PaintBoxMouseDown(TMouseButton::mbRight, 10, RowY(1));
  const TPartitionExtent e = PartitionExtent(Form->Geometry(), Form->PartitionTable().Entries[1]);
  answer = (Dir / "one").string();
  Form->MyPopup.Click(2);  // full: main then spare
  char number[16];
  std::snprintf(number, sizeof number, "%012X", e.MainOffset);
  const fs::path out = Dir / ("one" + std::string(number) + "_" + Form->Descriptors()[1].PartitionName + ".bin");
  const std::vector<uint8_t> got = ReadAll(out);
  ASSERT_EQ(got.size(), size_t(e.MainLength) + e.SpareLength);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + e.MainLength, image.begin() + e.MainOffset));
  EXPECT_TRUE(std::equal(got.begin() + e.MainLength, got.end(), image.begin() + e.SpareOffset));
  EXPECT_EQ(Form->MyGauge.Position(), Form->MyGauge.MaxValue());  // left full

  answer = (Dir / "all").string();
  Form->MyPopup.Click(4);  // every partition, main data
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(Dir))
    files += entry.path().filename().string().rfind("all", 0) == 0;
  EXPECT_EQ(files, 12u);
  EXPECT_EQ(Form->MyGauge.Position(), 0);

  answer = (Dir / "copy.bin").string();
  Form->MyPopup.Click(8);
  EXPECT_EQ(ReadAll(answer), image);
  EXPECT_EQ(Form->MyMemo.Lines().back(), "Saving to File...OK");
  EXPECT_EQ(Form->MyStatus.PanelText(0), "Complete OK");

  // Cancelling writes nothing.
  answer.clear();
  const size_t before = std::distance(fs::directory_iterator(Dir), fs::directory_iterator());
  Form->MyPopup.Click(0);
  Form->MyPopup.Click(6);
  EXPECT_EQ(size_t(std::distance(fs::directory_iterator(Dir), fs::directory_iterator())), before);
  EXPECT_EQ(filters, (V{"Partition Name Prefix|", "All Files Group Name Prefix|",
                        "KOVRA BOX FullFlash Image Files |*.bin", "Partition Name Prefix|",
                        "All Files Group Name Prefix|"}));
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(ReadAll(path), image);  // the user's image is untouched
}

TEST_F(FormFixture, BlankCheckReportsAndAFileErrorKeepsTheWindowUsable) {
  const std::string path = Image("a.bin");
  Load(path);
  Form->CheckBlanks.Click();
  const auto lines = Form->MyMemo.Lines();
  size_t blank = 0;
  for (const auto& d : Form->Descriptors()) blank += d.IsBlank;
  ASSERT_GT(blank, 0u);
  EXPECT_EQ(lines[lines.size() - blank - 2], "Checking which Partition is blank...COMPLETE!");
  EXPECT_EQ(lines[lines.size() - blank - 1], "Following partitions are found to be completely blank:");
  EXPECT_EQ(lines.back().rfind("  Partition: ", 0), 0u);
  EXPECT_EQ(Form->MyGauge.Position(), 0);

  // The image shrinks behind the window's back: the save ends in a message
  // box naming the file, and every button works again afterwards.
  fs::resize_file(path, 0x100000);
  Form->SaveDialog.Executor = [&](TFileDialog& d) {
    d.FileName = (Dir / "copy.bin").string();
    return true;
  };
  Form->List().PaintBoxMouseDown(TMouseButton::mbRight, 10, RowY(0));
  Form->MyPopup.Click(8);
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_NE(Errors[0].find(path), std::string::npos) << Errors[0];
  EXPECT_EQ(EnabledButtons(), (B{true, true, true, true, true, true, true, true}));
}

}  // namespace
