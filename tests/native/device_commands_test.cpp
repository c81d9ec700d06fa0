// The four device buttons of the main window against the simulated chip:
// get partitions, read, flash and erase, with their failure paths, a stop
// pressed from inside the message pump, and the sound behaviour around file
// errors and commands started while another one runs.
//
// The chip: 2048-byte pages, blocks of 0x20000, 16 blocks. Main area
// 0x200000 bytes (S), image 0x210000 bytes (T = S + S / 32). The table lies
// in block 5, like the 256 MiB example whose pages sit at 0xA0000 and whose
// spare bytes sit at S + 0x5000.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SimDevice.h"
#include "SimHostServices.h"
#include "device/DeviceCommands.h"
#include "samples/SampleImage.h"
#include "ui/MainUnit.h"
#include "ui/RecordingCanvas.h"

using namespace kovra;
using namespace kovra::sim;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kPage = 2048;
constexpr uint32_t kBlock = 0x20000;
constexpr uint32_t kBlocks = 16;
constexpr uint32_t kMain = 0x200000;
constexpr uint32_t kImage = 0x210000;
constexpr THostHandle kGaugeHandle = 0x00C0FFEE;

using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes Slice(const Bytes& b, uint32_t at, uint32_t n) { return Bytes(b.begin() + at, b.begin() + at + n); }

// Six partitions; rows 2 and 3 (APPS, EFS2) are the usual targets.
samples::TSampleImageSpec ChipSpec(uint32_t seed) {
  samples::TSampleImageSpec s;
  s.PageSize = kPage;
  s.BlockSize = kBlock;
  s.BlockCount = kBlocks;
  s.TableBlock = 5;
  s.Seed = seed;
  using C = samples::TSampleContent;
  s.Entries = {{"0:SBL", 0, 5, 0, C::Pattern},  {"0:MIBIB", 5, 1, 0, C::Blank},
               {"0:APPS", 6, 2, 0, C::Pattern}, {"0:EFS2", 8, 1, 0, C::Pattern},
               {"0:FOTA", 9, 3, 0, C::Pattern}, {"0:USER", 12, 0xFFFFFFFF, 0, C::Pattern}};
  return s;
}

struct TReadCall {
  uint32_t Address, Length;
  std::string Tag;
  size_t BufferSize;
  int32_t Bound;
  uint32_t Flag;
  THostHandle Gauge;
  THostWindow Window;
};

// The simulated host, with the arguments of every read and erase kept, and
// a few ways to misbehave that the device itself has no switch for.
class TRecordingHost : public TSimHostServices {
 public:
  using TSimHostServices::TSimHostServices;
  std::vector<TReadCall> Reads;
  std::vector<std::pair<uint32_t, uint32_t>> Erases;
  std::function<void(TFlashChipInfo&)> ChipInfoHook;
  std::function<void()> AfterRead;  // runs after every successful read

  bool GetFlashChipInfo(uint32_t chip, TFlashChipInfo& info) override {
    const bool ok = TSimHostServices::GetFlashChipInfo(chip, info);
    if (ChipInfoHook) ChipInfoHook(info);
    return ok;
  }
  bool ReadFlash(uint32_t chip, uint32_t address, uint32_t length, const char* tag, std::span<uint8_t> buffer,
                 int32_t bound, THostHandle gauge, uint32_t flag, const THostWindow& window) override {
    Reads.push_back({address, length, tag ? tag : "(null)", buffer.size(), bound, flag, gauge, window});
    const bool ok = TSimHostServices::ReadFlash(chip, address, length, tag, buffer, bound, gauge, flag, window);
    if (ok && AfterRead) AfterRead();
    return ok;
  }
  bool EraseFlash(uint32_t chip, uint32_t address, uint32_t length, const THostWindow& window) override {
    Erases.push_back({address, length});
    return TSimHostServices::EraseFlash(chip, address, length, window);
  }
};

struct TDeviceLines : TDeviceLog {
  TMemo* Memo = nullptr;
  void Line(const std::string& l) override { Memo->Add(l); }
};

struct TGaugeSteps : TDeviceProgress {
  TGauge* Gauge = nullptr;
  uint64_t Sum = 0;
  void Advance(uint32_t bytes) override {
    Sum += bytes;
    Gauge->AddProgress(static_cast<int>(bytes));
  }
};

// Real files, except that the Nth write of a file whose name ends in
// FailSuffix fails as a full disk would.
class TFailingCreator final : public TFileCreator {
 public:
  std::string FailSuffix;
  int FailAtWrite = 0;

  std::unique_ptr<TWritableFile> CreateForWriting(const std::string& path) override {
    auto real = DefaultFileCreator().CreateForWriting(path);
    if (FailSuffix.empty() || path.size() < FailSuffix.size() ||
        path.compare(path.size() - FailSuffix.size(), FailSuffix.size(), FailSuffix) != 0)
      return real;
    return std::make_unique<TFile>(std::move(real), path, FailAtWrite);
  }

 private:
  class TFile final : public TWritableFile {
   public:
    TFile(std::unique_ptr<TWritableFile> real, std::string path, int failAt)
        : fReal(std::move(real)), fPath(std::move(path)), fFailAt(failAt) {}
    void Write(const void* data, size_t count) override {
      if (++fWrites == fFailAt) throw TFileError("Cannot write file: " + fPath + " (disk full)");
      fReal->Write(data, count);
    }
    void Close() override { fReal->Close(); }

   private:
    std::unique_ptr<TWritableFile> fReal;
    std::string fPath;
    int fFailAt;
    int fWrites = 0;
  };
};

struct DeviceCommandsTest : ::testing::Test {
  fs::path Dir = fs::temp_directory_path() /
                 ("kovra-device-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::path HostDir = Dir / "host";
  fs::path DevicePath = Dir / "device.bin";
  fs::path UserPath = Dir / "user.bin";
  TChipGeometry Geometry{kPage, kBlock, kBlocks};
  Bytes Descriptor = Bytes(76, 0);

  std::unique_ptr<TSimDevice> Device;
  std::unique_ptr<TRecordingHost> Host;
  TDeviceLines DeviceLog;
  TGaugeSteps DeviceProgress;
  uint8_t Stop = 0;

  TPlatformServices Platform;
  TFailingCreator Creator;
  std::vector<std::string> Errors;
  std::vector<std::string> StatusAtPump;  // panel 0 whenever messages were let through
  std::function<void()> PumpHook;

  std::unique_ptr<THexForm> Hex;
  std::unique_ptr<TQualcommForm> Form;
  TRecordingCanvas ListCanvas, HexCanvas1, HexCanvas2;

  void SetUp() override { Build(); }
  void TearDown() override { Reset(); }

  void Reset() {
    Form.reset();
    Hex.reset();
    Host.reset();
    Device.reset();
    std::error_code ec;
    fs::remove_all(Dir, ec);
  }
  // A fresh chip, user image and window; table-driven tests start each case here.
  void Build() {
    Reset();
    Errors.clear();
    StatusAtPump.clear();
    PumpHook = nullptr;
    Stop = 0;
    Creator.FailSuffix.clear();
    DeviceProgress.Sum = 0;
    fs::create_directories(HostDir);
    samples::WriteSampleImage(ChipSpec(7), DevicePath.string());
    samples::WriteSampleImage(ChipSpec(1), UserPath.string());
    Descriptor[12] = 0x34, Descriptor[13] = 0x12, Descriptor[14] = 0xFF, Descriptor[15] = 0xFF;

    Platform.ErrorBox = [this](const std::string& t) { Errors.push_back(t); };
    Platform.HostExecutablePath = [this] { return (HostDir / "host.exe").string(); };
    Platform.DeleteFile = [](const std::string& p) {
      std::error_code ec;
      fs::remove(PathFromUtf8(p), ec);
      return !fs::exists(PathFromUtf8(p));
    };
    Platform.ProcessMessages = [this] {
      StatusAtPump.push_back(Form->MyStatus.PanelText(0));
      if (PumpHook) PumpHook();
    };
    Hex = std::make_unique<THexForm>();
    Hex->PaintBox01.Canvas = &HexCanvas1;
    Hex->PaintBox02.Canvas = &HexCanvas2;
    Form = std::make_unique<TQualcommForm>(Platform, *Hex);
    Form->PaintBox00.Canvas = &ListCanvas;
    Form->FormCreate();
    Form->Form.SetBounds(100, 50, 1046, 633);
    Form->SetFileCreator(Creator);

    Device = std::make_unique<TSimDevice>(DevicePath.string(), Geometry);
    Host = std::make_unique<TRecordingHost>(*Device);
    DeviceLog.Memo = &Form->MyMemo;
    DeviceProgress.Gauge = &Form->MyGauge;
    Device->SetHostDir(HostDir.string());
    Device->SetLog(&DeviceLog);
    Device->SetProgress(&DeviceProgress);
    Device->SetProcessMessages([this] { Platform.Pump(); });
    Device->SetStopByte(&Stop);
    Device->SetStatus([this](uint32_t panel, const std::string& text) { Form->StatusTextCallback(panel, text); });

    Form->SetHostServices(Host.get());
    Form->SetHostStopFlag(&Stop);
    Form->SetPluginDescriptor(Descriptor.data());
    Form->SetHostGauge(kGaugeHandle);
  }

  std::string TempImage() const { return Form->ImageTempName(); }
  Bytes DeviceBytes() { return ReadAll(DevicePath); }
  void LoadUserImage() {
    Form->ImageName.SetText(UserPath.string());
    Form->CreateList.Click();
    ASSERT_EQ(Form->PartitionItems().Count, 6);
  }
  void Mark(std::initializer_list<int> rows) {
    for (int r : rows) {
      Form->List().SetItemIndex(r);
      Form->List().PaintBoxDblClick();
    }
  }
  void ForgetCalls() {
    Host->Calls.clear();
    Host->Reads.clear();
    Host->Erases.clear();
    Host->WriteRequests.clear();
    StatusAtPump.clear();
    DeviceProgress.Sum = 0;
  }
  // Presses a button from inside the message pump once cond holds.
  void PressWhen(TButton& button, std::function<bool()> cond) {
    PumpHook = [this, &button, cond, pressed = false]() mutable {
      if (!pressed && cond()) {
        pressed = true;
        button.Click();
      }
    };
  }
  // What every command leaves behind on its button.
  void ExpectIdle(TButton& button, const std::string& caption, int glyph) {
    EXPECT_EQ(button.Caption(), caption);
    EXPECT_EQ(button.ImageIndex(), glyph);
    EXPECT_EQ(Form->DeviceCommands().RunningButton(), nullptr);
    EXPECT_EQ(Stop, 0);
    EXPECT_EQ(Form->MyGauge.Position(), 0);
    EXPECT_FALSE(Device->Connected());
  }
  std::vector<std::string> Lines() { return Form->MyMemo.Lines(); }
  bool HasLine(const std::string& line) {
    const auto l = Lines();
    return std::find(l.begin(), l.end(), line) != l.end();
  }
  bool HostFilesLeft() {
    // The names the host's loader writes, spelled out: they are the host's, not ours.
    for (const char* n : {"$tQcmMain$.$$$", "$tQcmRedu$.$$$", "$tQcmRead$.$$$"})
      if (fs::exists(HostDir / n)) return true;
    return false;
  }
};

using Calls = std::vector<uint32_t>;

// ---- get partitions from the device -------------------------------------------------

TEST_F(DeviceCommandsTest, GetPartitionsBuildsAnErasedImageAroundTheTablePages) {
  // Block 3 carries the first page's magic without a table behind it: the
  // probe must go on to block 5.
  {
    std::fstream f(DevicePath, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(3 * kBlock);
    const uint8_t boot[8] = {0xAC, 0x9F, 0x56, 0xFE, 0x7A, 0x12, 0x7F, 0xCD};
    f.write(reinterpret_cast<const char*>(boot), 8);
  }
  Form->ImageName.SetText("C:\\previous\\user.bin");
  Form->ReadPartitionBtn.Click();

  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Host->Calls, (Calls{0, 16, 24, 24, 24, 24, 20, 20}));
  ASSERT_EQ(Host->Reads.size(), 4u);
  const uint32_t probed[] = {0x40000, 0x60000, 0x80000, 0xA0000};  // blocks 2 to 5, nothing else
  for (size_t i = 0; i < 4; ++i) {
    const TReadCall& r = Host->Reads[i];
    EXPECT_EQ(r.Address, probed[i]);
    EXPECT_EQ(r.Length, 0x1000u);
    EXPECT_EQ(r.Tag, "(null)");
    EXPECT_EQ(r.BufferSize, (2048u / 20 + 2048u) * 2);  // 4300
    EXPECT_EQ(r.Bound, 0);
    EXPECT_EQ(r.Flag, 0u);
    EXPECT_EQ(r.Gauge, kGaugeHandle);
    EXPECT_EQ(r.Window.Left, 100);
    EXPECT_EQ(r.Window.Width, 1046);
    EXPECT_EQ(r.Window.Height, 633);
    EXPECT_EQ(r.Window.Top, 50);
  }
  EXPECT_EQ(Form->MyGauge.MaxValue(), 15);  // the load's (0x210000 / 0x20000 - 1), after the probe's 0x7FFFFFFF

  const Bytes image = ReadAll(PathFromUtf8(TempImage()));
  const Bytes device = DeviceBytes();
  ASSERT_EQ(image.size(), kImage);
  EXPECT_EQ(Slice(image, 0xA0000, 0x1000), Slice(device, 0xA0000, 0x1000));
  EXPECT_EQ(Slice(image, 0x205000, 0x80), Slice(device, 0x205000, 0x80));
  EXPECT_NE(image[0x205000], 0xFF);  // the table's sector has spare bytes of its own
  size_t notErased = 0;
  for (uint32_t i = 0; i < kImage; ++i) {
    const bool read = (i >= 0xA0000 && i < 0xA1000) || (i >= 0x205000 && i < 0x205080);
    if (!read && image[i] != 0xFF) ++notErased;
  }
  EXPECT_EQ(notErased, 0u);

  // The list comes from the new image; the file name box keeps the user's file.
  EXPECT_EQ(Form->LoadedImageName(), TempImage());
  EXPECT_EQ(Form->ImageName.Text(), "C:\\previous\\user.bin");
  EXPECT_EQ(Form->PartitionItems().Count, 6);
  EXPECT_EQ(Form->Descriptors()[2].PartitionName, "APPS");
  EXPECT_EQ(Form->HexForm().UpperView().DataBlock().FileName, TempImage());
  const auto lines = Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Connecting to the phone...");  // cleared first, then the host's own lines
  EXPECT_TRUE(std::find(lines.begin(), lines.end(), "Detected NAND Page = 0x0800 bytes") != lines.end());

  // 17 chunks: five to block 5, ten to S, 0x5000 of spare, the 0xA000 after the table's.
  std::vector<std::string> fill;
  for (const std::string& s : StatusAtPump)
    if (s.rfind(kTextCreatingEmptyImage, 0) == 0) fill.push_back(s);
  ASSERT_EQ(fill.size(), 17u);
  EXPECT_EQ(fill.front(), "Please wait, creating empty temporary file  (6%)...");   // 0x20000 of 0x210000
  EXPECT_EQ(fill[4], "Please wait, creating empty temporary file  (30%)...");      // 0xA0000
  EXPECT_EQ(fill[15], "Please wait, creating empty temporary file  (97%)...");     // 0x205000
  EXPECT_EQ(fill.back(), "Please wait, creating empty temporary file  (100%)...");
  EXPECT_EQ(Form->MyStatus.PanelText(0), "");
  ExpectIdle(Form->ReadPartitionBtn, "&Get Partitions from Device", 42);
}

TEST_F(DeviceCommandsTest, GetPartitionsFailuresWriteNoImageAndKeepTheList) {
  struct Case {
    const char* Name;
    std::function<void(DeviceCommandsTest&)> Arrange;
    Calls Expected;
    std::vector<std::string> ModuleLines;  // the module's own lines, last but for the host's "Disconnected."
  } const cases[] = {
      {"connect refused", [](DeviceCommandsTest& t) { t.Device->Faults().RefuseConnect = true; }, {0, 20, 20}, {}},
      {"chip not recognised", [](DeviceCommandsTest& t) { t.Device->Faults().UnrecognisedChip = true; },
       {0, 16, 20}, {"", "ERROR: Default FLASH1 Chip was not Recognized by the DCC Loader. Terminating."}},
      {"second probe read fails", [](DeviceCommandsTest& t) { t.Device->Faults().FailRead = 2; },
       {0, 16, 24, 24, 20, 20}, {}},
      {"no table in blocks 2 to 15",
       [](DeviceCommandsTest& t) { CreateErasedDeviceFile(t.DevicePath.string(), t.Geometry); },
       {0, 16, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 20, 20}, {"ERROR: Couldn't find partition table location in the device memory."}},
      {"chip of 4096 MiB",
       [](DeviceCommandsTest& t) { t.Host->ChipInfoHook = [](TFlashChipInfo& i) { i.MainSizeMiB = 4096; }; },
       {0, 16, 20}, {"", "ERROR: FLASH1 Chip of 4096 MiB is too large for a full image file. Terminating."}},
      // 3972 MiB of main data and its thirty-second no longer fit in 32 bits.
      {"chip of 3972 MiB",
       [](DeviceCommandsTest& t) { t.Host->ChipInfoHook = [](TFlashChipInfo& i) { i.MainSizeMiB = 3972; }; },
       {0, 16, 20}, {"", "ERROR: FLASH1 Chip of 3972 MiB is too large for a full image file. Terminating."}},
      {"block size 0",
       [](DeviceCommandsTest& t) { t.Host->ChipInfoHook = [](TFlashChipInfo& i) { i.ChipBlockSize = 0; }; },
       {0, 16, 20},
       {"", "ERROR: FLASH1 Chip geometry is not usable (page 0x0800, block 0x00000000, 2 MiB). Terminating."}},
      // Twice the page wraps to 0 in 32 bits: without the check the probe
      // would look 2 GiB into a buffer of a tenth of that.
      {"page and block of 2 GiB",
       [](DeviceCommandsTest& t) {
         t.Host->ChipInfoHook = [](TFlashChipInfo& i) { i.ChipPageSize = i.ChipBlockSize = 0x80000000; };
       },
       {0, 16, 20},
       {"", "ERROR: FLASH1 Chip geometry is not usable (page 0x80000000, block 0x80000000, 2 MiB). Terminating."}},
      {"block larger than the chip",
       [](DeviceCommandsTest& t) { t.Host->ChipInfoHook = [](TFlashChipInfo& i) { i.ChipBlockSize = 0x400000; }; },
       {0, 16, 20},
       {"", "ERROR: FLASH1 Chip geometry is not usable (page 0x0800, block 0x00400000, 2 MiB). Terminating."}},
      {"page of 128 KiB",
       [](DeviceCommandsTest& t) {
         t.Host->ChipInfoHook = [](TFlashChipInfo& i) {
           i.ChipPageSize = 0x20000;
           i.ChipBlockSize = 0x400000;
           i.MainSizeMiB = 64;
         };
       },
       {0, 16, 20},
       {"", "ERROR: FLASH1 Chip geometry is not usable (page 0x20000, block 0x00400000, 64 MiB). Terminating."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Build();
    LoadUserImage();
    c.Arrange(*this);
    ForgetCalls();
    Form->ReadPartitionBtn.Click();
    EXPECT_EQ(Host->Calls, c.Expected);
    EXPECT_FALSE(fs::exists(PathFromUtf8(TempImage())));
    EXPECT_EQ(Form->LoadedImageName(), UserPath.string());
    EXPECT_EQ(Form->PartitionItems().Count, 6);
    auto lines = Lines();
    if (!lines.empty() && lines.back() == "Disconnected.") lines.pop_back();
    ASSERT_GE(lines.size(), c.ModuleLines.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - c.ModuleLines.size(), lines.end()), c.ModuleLines);
    EXPECT_TRUE(Errors.empty());
    ExpectIdle(Form->ReadPartitionBtn, "&Get Partitions from Device", 42);
  }
}

TEST_F(DeviceCommandsTest, StopDuringTheProbeEndsItAndTheFrameSaysSo) {
  LoadUserImage();
  ForgetCalls();
  PressWhen(Form->ReadPartitionBtn, [this] { return Device->ReadCalls() == 2; });
  Form->ReadPartitionBtn.Click();
  EXPECT_EQ(Host->Calls, (Calls{0, 16, 24, 24, 20, 20}));
  EXPECT_EQ(Form->MyStatus.PanelText(0), "Stopped by User.");
  EXPECT_FALSE(fs::exists(PathFromUtf8(TempImage())));
  EXPECT_EQ(Form->LoadedImageName(), UserPath.string());
  ExpectIdle(Form->ReadPartitionBtn, "&Get Partitions from Device", 42);
  // The next click starts afresh and gets through.
  PumpHook = nullptr;
  Form->ReadPartitionBtn.Click();
  EXPECT_EQ(Form->LoadedImageName(), TempImage());
  EXPECT_EQ(Form->MyStatus.PanelText(0), "");
}

TEST_F(DeviceCommandsTest, AStopDuringTheImageFillDoesNotInterruptIt) {
  PressWhen(Form->ReadPartitionBtn,
            [this] { return Form->MyStatus.PanelText(0).rfind(kTextCreatingEmptyImage, 0) == 0; });
  Form->ReadPartitionBtn.Click();
  EXPECT_EQ(ReadAll(PathFromUtf8(TempImage())).size(), kImage);
  EXPECT_EQ(Form->PartitionItems().Count, 6);
  EXPECT_EQ(Form->MyStatus.PanelText(0), "Stopped by User.");
  ExpectIdle(Form->ReadPartitionBtn, "&Get Partitions from Device", 42);
}

// ---- read selected partitions --------------------------------------------------------------

TEST_F(DeviceCommandsTest, FirstReadCopiesTheUserImageAndLaysTheDataIntoTheCopy) {
  LoadUserImage();
  const Bytes user = ReadAll(UserPath);
  Mark({2, 3});
  ForgetCalls();
  Form->ReadSelectedBtn.Click();

  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Host->Calls, (Calls{0, 16, 24, 24, 20, 20}));
  ASSERT_EQ(Host->Reads.size(), 2u);
  EXPECT_EQ(Host->Reads[0].Address, 0xC0000u);
  EXPECT_EQ(Host->Reads[0].Length, 0x40000u);
  EXPECT_EQ(Host->Reads[1].Address, 0x100000u);
  EXPECT_EQ(Host->Reads[1].Length, 0x20000u);
  for (const TReadCall& r : Host->Reads) {
    EXPECT_EQ(r.Tag, "tQcm");
    EXPECT_EQ(r.BufferSize, 0u);
    EXPECT_EQ(r.Bound, -1);
    EXPECT_EQ(r.Flag, 1u);
    EXPECT_EQ(r.Gauge, kGaugeHandle);
  }
  EXPECT_EQ(Form->MyGauge.MaxValue(), 0x60000);

  EXPECT_EQ(ReadAll(UserPath), user);  // the user's file is never written
  EXPECT_EQ(Form->LoadedImageName(), TempImage());
  const Bytes image = ReadAll(PathFromUtf8(TempImage()));
  const Bytes device = DeviceBytes();
  ASSERT_EQ(image.size(), user.size());
  // APPS: main 0xC0000..0x100000, spare 0x206000..0x208000; EFS2: main
  // 0x100000..0x120000, spare 0x208000..0x209000. Everything else is the user's.
  Bytes expected = user;
  for (auto [at, n] : {std::pair{0xC0000u, 0x60000u}, std::pair{0x206000u, 0x3000u}})
    std::copy_n(device.begin() + at, n, expected.begin() + at);
  EXPECT_TRUE(image == expected);
  EXPECT_NE(Slice(user, 0xC0000, 16), Slice(device, 0xC0000, 16));  // the two really differ

  // 33 chunks of 0x10000 copied, each announced before it is written.
  std::vector<std::string> copy;
  for (const std::string& s : StatusAtPump)
    if (s.rfind(kTextCreatingImageCopy, 0) == 0) copy.push_back(s);
  ASSERT_EQ(copy.size(), 33u);
  EXPECT_EQ(copy.front(), "Please wait, creating temporary file copy (3%)...");
  EXPECT_EQ(copy[16], "Please wait, creating temporary file copy (51%)...");  // 0x110000 of 0x210000
  EXPECT_EQ(copy.back(), "Please wait, creating temporary file copy (100%)...");
  EXPECT_NE(std::find(StatusAtPump.begin(), StatusAtPump.end(), "Please wait, processing data..."), StatusAtPump.end());
  EXPECT_FALSE(HostFilesLeft());
  EXPECT_EQ(Form->HexForm().UpperView().DataBlock().FileName, TempImage());
  EXPECT_EQ(Form->MyStatus.PanelText(0), "");
  ExpectIdle(Form->ReadSelectedBtn, "Read Selected", 3);

  // A second read works on the copy: no copy again, the earlier data stays.
  Form->List().SetItemIndex(2);
  Form->List().PaintBoxDblClick();  // unmark APPS, EFS2 stays marked
  Form->List().SetItemIndex(3);
  Form->List().PaintBoxDblClick();  // and EFS2: none marked, the cursor row (FOTA) alone
  Form->List().SetItemIndex(4);
  ForgetCalls();
  Form->ReadSelectedBtn.Click();
  ASSERT_EQ(Host->Reads.size(), 1u);
  EXPECT_EQ(Host->Reads[0].Address, 0x120000u);
  EXPECT_EQ(Form->MyGauge.MaxValue(), 0x60000 + 0x3000);
  ASSERT_FALSE(StatusAtPump.empty()) << "the second read let no messages through";
  for (const std::string& s : StatusAtPump) EXPECT_EQ(s.rfind(kTextCreatingImageCopy, 0), std::string::npos);
  for (auto [at, n] : {std::pair{0x120000u, 0x60000u}, std::pair{0x209000u, 0x3000u}})
    std::copy_n(device.begin() + at, n, expected.begin() + at);
  EXPECT_TRUE(ReadAll(PathFromUtf8(TempImage())) == expected);
  EXPECT_EQ(ReadAll(UserPath), user);
  ExpectIdle(Form->ReadSelectedBtn, "Read Partition5", 3);
}

TEST_F(DeviceCommandsTest, ReadFailuresKeepWhatWasReadAndNothingMore) {
  struct Case {
    const char* Name;
    std::function<void(DeviceCommandsTest&)> Arrange;
    Calls Expected;
    bool FirstPartitionIn;
    std::string Status;
  } const cases[] = {
      {"connect refused", [](DeviceCommandsTest& t) { t.Device->Faults().RefuseConnect = true; }, {0, 20, 20}, false,
       ""},
      {"chip not recognised", [](DeviceCommandsTest& t) { t.Device->Faults().UnrecognisedChip = true; },
       {0, 16, 20}, false, ""},
      {"second read fails", [](DeviceCommandsTest& t) { t.Device->Faults().FailRead = 2; },
       {0, 16, 24, 24, 20, 20}, true, ""},
      {"stop during the second read",
       [](DeviceCommandsTest& t) {
         t.PressWhen(t.Form->ReadSelectedBtn, [&t] { return t.Device->ReadCalls() == 2; });
       },
       {0, 16, 24, 24, 20, 20}, true, "Stopped by User."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Build();
    LoadUserImage();
    const Bytes user = ReadAll(UserPath);
    Mark({2, 3, 4});
    c.Arrange(*this);
    ForgetCalls();
    Form->ReadSelectedBtn.Click();
    EXPECT_EQ(Host->Calls, c.Expected);
    EXPECT_EQ(ReadAll(UserPath), user);
    if (c.FirstPartitionIn) {
      const Bytes image = ReadAll(PathFromUtf8(TempImage()));
      const Bytes device = DeviceBytes();
      EXPECT_EQ(Slice(image, 0xC0000, 0x40000), Slice(device, 0xC0000, 0x40000));
      EXPECT_EQ(Slice(image, 0x100000, 0x80000), Slice(user, 0x100000, 0x80000));  // EFS2 and FOTA not read
      EXPECT_EQ(Slice(image, 0x208000, 0x4000), Slice(user, 0x208000, 0x4000));
    } else {
      EXPECT_FALSE(fs::exists(PathFromUtf8(TempImage())));
      EXPECT_EQ(Form->LoadedImageName(), UserPath.string());
    }
    if (std::string(c.Name) == "chip not recognised") {
      const auto lines = Lines();
      EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
                (std::vector<std::string>{"", "ERROR: Default FLASH1 Chip was not Recognized by the DCC Loader. Terminating.",
                                          "Disconnected."}));
    }
    EXPECT_FALSE(HostFilesLeft());
    EXPECT_EQ(Form->MyStatus.PanelText(0), c.Status);
    // The operation buttons come back, recomputed.
    EXPECT_TRUE(Form->FlashSelectedBtn.Enabled());
    ExpectIdle(Form->ReadSelectedBtn, "Read Selected", 3);
  }
}

TEST_F(DeviceCommandsTest, AHostFileOfTheWrongSizeIsNotCopiedAndIsReported) {
  struct Case {
    const char* Name;
    const char* File;
    int Change;  // bytes to cut off; -1 removes the file
    std::string Warning;
    bool MainIn, SpareIn;
  } const cases[] = {
      {"main one byte short", "$tQcmMain$.$$$", 1,
       "WARNING!!! Partition \"EFS2\": the main data file holds 131071 bytes instead of 131072; that part of the "
       "image was left as it was.",
       false, true},
      {"spare empty", "$tQcmRedu$.$$$", 4096,
       "WARNING!!! Partition \"EFS2\": the spare data file holds 0 bytes instead of 4096; that part of the image "
       "was left as it was.",
       true, false},
      {"spare missing", "$tQcmRedu$.$$$", -1,
       "WARNING!!! Partition \"EFS2\": the spare data file was not left by the host; that part of the image was "
       "left as it was.",
       true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Build();
    LoadUserImage();
    const Bytes user = ReadAll(UserPath);
    Form->List().SetItemIndex(3);  // EFS2: main 0x100000, 0x20000 bytes; spare 0x208000, 0x1000 bytes
    Host->AfterRead = [this, &c] {
      const fs::path p = HostDir / c.File;
      if (c.Change < 0) {
        fs::remove(p);
      } else {
        fs::resize_file(p, fs::file_size(p) - c.Change);
      }
    };
    Form->ReadSelectedBtn.Click();
    const Bytes image = ReadAll(PathFromUtf8(TempImage()));
    const Bytes device = DeviceBytes();
    EXPECT_EQ(Slice(image, 0x100000, 0x20000), Slice(c.MainIn ? device : user, 0x100000, 0x20000));
    EXPECT_EQ(Slice(image, 0x208000, 0x1000), Slice(c.SpareIn ? device : user, 0x208000, 0x1000));
    EXPECT_TRUE(HasLine(c.Warning));
    EXPECT_FALSE(HostFilesLeft());
  }
}

TEST_F(DeviceCommandsTest, AReadOnTheWorkingImageUnderAnotherSpellingDoesNotEmptyIt) {
  // The user opened the working image itself, through a path that reads
  // differently: copying it onto itself would empty it before the copy.
  fs::copy_file(UserPath, PathFromUtf8(TempImage()));
  const Bytes before = ReadAll(UserPath);
  const std::string otherSpelling = (HostDir / "." / kImageTempFileName).string();
  Form->ImageName.SetText(otherSpelling);
  Form->CreateList.Click();
  ASSERT_EQ(Form->PartitionItems().Count, 6);
  Form->List().SetItemIndex(3);
  Form->ReadSelectedBtn.Click();
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Form->LoadedImageName(), TempImage());
  Bytes expected = before;
  const Bytes device = DeviceBytes();
  for (auto [at, n] : {std::pair{0x100000u, 0x20000u}, std::pair{0x208000u, 0x1000u}})
    std::copy_n(device.begin() + at, n, expected.begin() + at);
  EXPECT_TRUE(ReadAll(PathFromUtf8(TempImage())) == expected);
}

TEST(UpdatableFile, WritesInPlaceAndRefusesToGrowTheFile) {
  const fs::path p = fs::temp_directory_path() /
                     ("kovra-update-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".bin");
  {
    std::ofstream(p, std::ios::binary) << std::string(16, 'a');
  }
  auto f = DefaultFileCreator().OpenForUpdate(p.string());
  EXPECT_EQ(f->Size(), 16u);
  f->WriteAt(4, "XY", 2);
  f->WriteAt(14, "ZZ", 2);  // up to the last byte
  try {
    f->WriteAt(15, "QQ", 2);
    ADD_FAILURE() << "a write past the end went through";
  } catch (const TFileError& e) {
    EXPECT_NE(std::string(e.what()).find("Write beyond end of file: " + p.string()), std::string::npos) << e.what();
  }
  f->Close();
  std::ifstream in(p, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "aaaaXYaaaaaaaaZZ");
  in.close();
  EXPECT_THROW(DefaultFileCreator().OpenForUpdate((p.string() + ".missing")), TFileError);
  fs::remove(p);
}

// ---- flash selected partitions ----------------------------------------------------------------

TEST_F(DeviceCommandsTest, FlashSendsOneRequestPerPartitionAndTheDeviceTakesTheImage) {
  LoadUserImage();
  Mark({2, 3, 4});
  ForgetCalls();
  Form->FlashSelectedBtn.Click();

  EXPECT_TRUE(Errors.empty());
  // No connect and no chip info of its own: the first request connects.
  EXPECT_EQ(Host->Calls, (Calls{25, 25, 25, 20, 20}));
  ASSERT_EQ(Host->WriteRequests.size(), 3u);
  const uint32_t addresses[] = {0xC0000, 0x100000, 0x120000};
  const uint32_t lengths[] = {0x40000, 0x20000, 0x60000};
  const uint8_t connected[] = {0, 1, 1};
  for (size_t i = 0; i < 3; ++i) {
    const TFlashWriteRequest& r = Host->WriteRequests[i];
    EXPECT_EQ(r.Address, addresses[i]);
    EXPECT_EQ(r.Length, lengths[i]);
    EXPECT_EQ(r.AlreadyConnected, connected[i]);
    EXPECT_EQ(r.EccEnabled, 0);
    EXPECT_EQ(std::memcmp(r.Descriptor, Descriptor.data(), 76), 0);
    EXPECT_EQ(r.Gauge, kGaugeHandle);
    EXPECT_EQ(r.WindowLeft, 100);
    EXPECT_EQ(r.WindowWidth, 1046);
    EXPECT_EQ(r.WindowHeight, 633);
    EXPECT_EQ(r.WindowTop, 50);
  }
  EXPECT_EQ(Form->MyGauge.MaxValue(), 0xC0000);
  EXPECT_EQ(DeviceProgress.Sum, 0xC0000u + 0x6000u);  // the host counts spare bytes too

  const Bytes user = ReadAll(UserPath);
  const Bytes device = DeviceBytes();
  EXPECT_EQ(Slice(device, 0xC0000, 0xC0000), Slice(user, 0xC0000, 0xC0000));
  EXPECT_EQ(Slice(device, 0x206000, 0x6000), Slice(user, 0x206000, 0x6000));
  EXPECT_NE(Slice(device, 0, 0x10), Slice(user, 0, 0x10));  // SBL was not flashed
  EXPECT_EQ(Form->MyStatus.PanelText(0), "");
  ExpectIdle(Form->FlashSelectedBtn, "Flash Selected", 12);
}

TEST_F(DeviceCommandsTest, EccChangesByte117AndNothingElse) {
  LoadUserImage();
  Form->List().SetItemIndex(3);
  Form->FlashSelectedBtn.Click();
  Form->EnableECCBtn.SetChecked(true);
  Form->FlashSelectedBtn.Click();
  ASSERT_EQ(Host->WriteRequests.size(), 2u);
  const auto* off = reinterpret_cast<const uint8_t*>(&Host->WriteRequests[0]);
  const auto* on = reinterpret_cast<const uint8_t*>(&Host->WriteRequests[1]);
  std::vector<size_t> differ;
  for (size_t i = 0; i < sizeof(TFlashWriteRequest); ++i)
    if (off[i] != on[i]) differ.push_back(i);
  EXPECT_EQ(differ, std::vector<size_t>{117});
  EXPECT_EQ(off[117], 0);
  EXPECT_EQ(on[117], 1);
  // The cursor row alone: one request, not yet connected, a thirty-second on the gauge.
  EXPECT_EQ(Host->WriteRequests[1].AlreadyConnected, 0);
  EXPECT_EQ(Host->WriteRequests[1].Address, 0x100000u);
  EXPECT_EQ(Form->MyGauge.MaxValue(), 0x21000);
}

TEST_F(DeviceCommandsTest, FlashFailuresStopAtTheFailingPartition) {
  struct Case {
    const char* Name;
    std::function<void(DeviceCommandsTest&)> Arrange;
    size_t Requests;
    std::string Status;
  } const cases[] = {
      {"second write fails", [](DeviceCommandsTest& t) { t.Device->Faults().FailWrite = 2; }, 2, ""},
      {"stop during the second write",
       [](DeviceCommandsTest& t) {
         t.PressWhen(t.Form->FlashSelectedBtn, [&t] { return t.Device->WriteCalls() == 2; });
       },
       2, "Stopped by User."},
      {"connect refused", [](DeviceCommandsTest& t) { t.Device->Faults().RefuseConnect = true; }, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Build();
    LoadUserImage();
    const Bytes before = DeviceBytes();
    const Bytes user = ReadAll(UserPath);
    Mark({2, 3, 4});
    c.Arrange(*this);
    ForgetCalls();
    Form->FlashSelectedBtn.Click();
    EXPECT_EQ(Host->WriteRequests.size(), c.Requests);
    Calls expected(c.Requests, 25);
    expected.insert(expected.end(), {20, 20});
    EXPECT_EQ(Host->Calls, expected);
    const Bytes device = DeviceBytes();
    // APPS went out only when the first request got through; FOTA never did.
    EXPECT_EQ(Slice(device, 0xC0000, 0x40000), Slice(c.Requests > 1 ? user : before, 0xC0000, 0x40000));
    EXPECT_EQ(Slice(device, 0x120000, 0x60000), Slice(before, 0x120000, 0x60000));
    EXPECT_EQ(Form->MyStatus.PanelText(0), c.Status);
    ExpectIdle(Form->FlashSelectedBtn, "Flash Selected", 12);
  }
}

// ---- erase selected partitions ------------------------------------------------------------------

TEST_F(DeviceCommandsTest, EraseWritesFFOverTheRowsAndOneEmptyLineOfItsOwn) {
  LoadUserImage();
  Mark({2, 3});
  const Bytes before = DeviceBytes();
  ForgetCalls();
  Form->EraseSelectedBtn.Click();

  EXPECT_EQ(Host->Calls, (Calls{0, 16, 26, 26, 20, 20}));
  EXPECT_EQ(Host->Erases, (std::vector<std::pair<uint32_t, uint32_t>>{{0xC0000, 0x40000}, {0x100000, 0x20000}}));
  EXPECT_EQ(Form->MyGauge.MaxValue(), 0x60000);
  Bytes expected = before;
  std::fill_n(expected.begin() + 0xC0000, 0x60000, 0xFF);
  std::fill_n(expected.begin() + 0x206000, 0x3000, 0xFF);
  EXPECT_TRUE(DeviceBytes() == expected);
  const auto lines = Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), ""), 1);
  const auto empty = std::find(lines.begin(), lines.end(), "");
  const auto erasing = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("Erasing", 0) == 0; });
  EXPECT_LT(empty, erasing);
  EXPECT_EQ(Form->MyStatus.PanelText(0), "");
  ExpectIdle(Form->EraseSelectedBtn, "Erase Selected", 9);
}

TEST_F(DeviceCommandsTest, EraseFailuresLeaveTheRestAsItWas) {
  struct Case {
    const char* Name;
    std::function<void(DeviceCommandsTest&)> Arrange;
    Calls Expected;
    bool FirstErased;
    std::string Status;
  } const cases[] = {
      {"connect refused", [](DeviceCommandsTest& t) { t.Device->Faults().RefuseConnect = true; }, {0, 20, 20}, false,
       ""},
      {"chip not recognised", [](DeviceCommandsTest& t) { t.Device->Faults().UnrecognisedChip = true; },
       {0, 16, 20}, false, ""},
      {"second erase fails", [](DeviceCommandsTest& t) { t.Device->Faults().FailErase = 2; },
       {0, 16, 26, 26, 20, 20}, true, ""},
      {"stop during the first erase",
       [](DeviceCommandsTest& t) {
         t.PressWhen(t.Form->EraseSelectedBtn, [&t] { return t.Device->EraseCalls() == 1; });
       },
       {0, 16, 26, 20, 20}, false, "Stopped by User."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Build();
    LoadUserImage();
    Mark({2, 3});
    const Bytes before = DeviceBytes();
    c.Arrange(*this);
    ForgetCalls();
    Form->EraseSelectedBtn.Click();
    EXPECT_EQ(Host->Calls, c.Expected);
    const Bytes device = DeviceBytes();
    EXPECT_EQ(Slice(device, 0xC0000, 0x40000), c.FirstErased ? Bytes(0x40000, 0xFF) : Slice(before, 0xC0000, 0x40000));
    EXPECT_EQ(Slice(device, 0x100000, 0x20000), Slice(before, 0x100000, 0x20000));
    EXPECT_EQ(Form->MyStatus.PanelText(0), c.Status);
    ExpectIdle(Form->EraseSelectedBtn, "Erase Selected", 9);
  }
}

// ---- the frame -----------------------------------------------------------------------------------

TEST_F(DeviceCommandsTest, GaugeMaximaOfTheCursorRowAndOfSelections) {
  LoadUserImage();
  struct Case {
    TButton* Button;
    std::vector<int> Marked;
    int Cursor;
    int Max;
  } const cases[] = {
      {&Form->ReadSelectedBtn, {}, 3, 0x21000},  // 0x20000 and its thirty-second
      {&Form->FlashSelectedBtn, {}, 3, 0x21000},
      {&Form->EraseSelectedBtn, {}, 3, 0x20000},  // an erase has no spare bytes to count
      {&Form->ReadSelectedBtn, {2, 3}, 0, 0x60000},
      {&Form->FlashSelectedBtn, {2, 3}, 0, 0x60000},
      {&Form->EraseSelectedBtn, {2, 3}, 0, 0x60000},
      // The last row reaches to the chip's end: blocks 12 to 15.
      {&Form->EraseSelectedBtn, {}, 5, 0x80000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Button->Caption() + " " + std::to_string(c.Max));
    for (int r = 0; r < 6; ++r) Form->PartitionItems().Items[r].Selected = false;
    for (int r : c.Marked) Form->PartitionItems().Items[r].Selected = true;
    Form->List().SetItemIndex(c.Cursor);
    c.Button->Click();
    EXPECT_EQ(Form->MyGauge.MaxValue(), c.Max);
    EXPECT_EQ(Form->MyGauge.Position(), 0);
  }
}

TEST_F(DeviceCommandsTest, AFileErrorStillGivesTheButtonBackAndClearsTheStop) {
  struct Case {
    const char* Name;
    TButton* Button;
    const char* Caption;
    int Glyph;
    const char* FailingFile;
    int FailAtWrite;
    const char* StopWhenStatus;  // press "&Stop" once panel 0 starts so
  } const cases[] = {
      {"image fill", &Form->ReadPartitionBtn, "&Get Partitions from Device", 42, kImageTempFileName, 8,
       kTextCreatingEmptyImage},
      {"image copy", &Form->ReadSelectedBtn, "Read Partition4", 3, kImageTempFileName, 5, kTextCreatingImageCopy},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    LoadUserImage();
    Form->List().SetItemIndex(3);
    Creator.FailSuffix = c.FailingFile;
    Creator.FailAtWrite = c.FailAtWrite;
    Errors.clear();
    ForgetCalls();
    PressWhen(*c.Button, [this, &c] { return Form->MyStatus.PanelText(0).rfind(c.StopWhenStatus, 0) == 0; });
    c.Button->Click();
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_NE(Errors[0].find("Cannot write file: "), std::string::npos) << Errors[0];
    EXPECT_NE(Errors[0].find("$tQcmImage.$$$"), std::string::npos) << Errors[0];
    ASSERT_FALSE(Host->Calls.empty());
    EXPECT_EQ(Host->Calls.back(), 20u);
    EXPECT_EQ(Form->MyStatus.PanelText(0), "Stopped by User.");
    ExpectIdle(*c.Button, c.Caption, c.Glyph);
    // The window is usable again: the next load and command go through.
    Creator.FailSuffix.clear();
    PumpHook = nullptr;
    LoadUserImage();
    EXPECT_EQ(Form->LoadedImageName(), UserPath.string());
    Form->List().SetItemIndex(3);
    c.Button->Click();
    EXPECT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Form->LoadedImageName(), TempImage());
  }
}

TEST_F(DeviceCommandsTest, WhileACommandRunsNothingRebuildsTheListOrReplacesTheImage) {
  LoadUserImage();
  Form->List().SetItemIndex(3);
  int dialogs = 0;
  Form->SaveDialog.Executor = [&](TFileDialog& d) {
    ++dialogs;
    d.FileName = (Dir / "save.bin").string();
    return true;
  };
  const std::string otherImage = (Dir / "other.bin").string();
  samples::WriteSampleImage(samples::SampleSpecFor(2048, 0x20000, 64), otherImage);
  Form->ImageName.SetText(otherImage);
  Form->List().PaintBoxMouseDown(TMouseButton::mbRight, 10, 3 * Form->List().RowHeight() + 1);  // popup row 3

  bool pressed = false;
  std::string runningCaption;
  PumpHook = [&] {
    if (pressed || Device->ReadCalls() != 1) return;
    pressed = true;
    runningCaption = Form->ReadSelectedBtn.Caption();
    Form->CreateList.Click();
    Form->CheckBlanks.Click();
    Form->FlashSelectedBtn.Click();
    Form->EraseSelectedBtn.Click();
    Form->ReadPartitionBtn.Click();
    for (size_t i = 0; i < Form->MyPopup.Items.size(); ++i) Form->MyPopup.Click(i);
  };
  ForgetCalls();
  Form->ReadSelectedBtn.Click();
  ASSERT_TRUE(pressed) << "the read let no messages through: nothing was clicked while it ran";
  EXPECT_EQ(runningCaption, "&Stop");
  EXPECT_EQ(Host->Calls, (Calls{0, 16, 24, 20, 20}));
  EXPECT_EQ(dialogs, 0);
  EXPECT_FALSE(fs::exists(Dir / "save.bin"));
  EXPECT_EQ(Form->PartitionItems().Count, 6);
  EXPECT_EQ(Form->LoadedImageName(), TempImage());
  EXPECT_EQ(Stop, 0);
  EXPECT_EQ(Form->MyStatus.PanelText(0), "");  // no stop reached the running read
  EXPECT_TRUE(Errors.empty());

  // Once it has ended, the same controls work again.
  PumpHook = nullptr;
  Form->MyPopup.Click(8);
  EXPECT_EQ(dialogs, 1);
  Form->CreateList.Click();
  EXPECT_EQ(Form->LoadedImageName(), otherImage);
  EXPECT_EQ(Form->PartitionItems().Count, 12);
}

TEST_F(DeviceCommandsTest, WhileABlankCheckRunsTheDeviceButtonsDoNothing) {
  LoadUserImage();
  Form->ImageName.SetText((Dir / "missing.bin").string());
  int pressed = 0;
  PumpHook = [&] {
    if (pressed++ != 0) return;
    for (TButton* b : {&Form->ReadPartitionBtn, &Form->ReadSelectedBtn, &Form->FlashSelectedBtn,
                       &Form->EraseSelectedBtn, &Form->CreateList, &Form->CheckBlanks})
      b->Click();
  };
  ForgetCalls();
  Form->CheckBlanks.Click();
  EXPECT_GT(pressed, 0);
  EXPECT_TRUE(Host->Calls.empty());
  EXPECT_EQ(Form->LoadedImageName(), UserPath.string());
  EXPECT_EQ(Form->PartitionItems().Count, 6);
  EXPECT_EQ(Form->ReadSelectedBtn.Caption(), "Read Partition1");
  EXPECT_TRUE(Errors.empty());
}

TEST_F(DeviceCommandsTest, StatusTextCallbackSetsThePanelsItNames) {
  Form->StatusTextCallback(0, "zero");
  Form->StatusTextCallback(1, "one");
  Form->StatusTextCallback(2, "two");
  Form->StatusTextCallback(3, "three");
  EXPECT_EQ(Form->MyStatus.PanelText(0), "zero");
  EXPECT_EQ(Form->MyStatus.PanelText(1), "one");
  EXPECT_EQ(Form->MyStatus.PanelText(2), "two");
  EXPECT_EQ(Form->MyStatus.PanelCount(), 3u);
}

TEST_F(DeviceCommandsTest, WithoutHostServicesEveryCommandFailsQuietly) {
  LoadUserImage();
  Form->SetHostServices(nullptr);
  Form->SetHostStopFlag(nullptr);
  Form->List().SetItemIndex(3);
  for (TButton* b : {&Form->ReadPartitionBtn, &Form->ReadSelectedBtn, &Form->FlashSelectedBtn, &Form->EraseSelectedBtn}) {
    const std::string caption = b->Caption();
    b->Click();
    EXPECT_EQ(b->Caption(), caption);
    EXPECT_EQ(*Form->HostStopFlag(), 0);
  }
  EXPECT_EQ(Form->LoadedImageName(), UserPath.string());
  EXPECT_FALSE(fs::exists(PathFromUtf8(TempImage())));
  EXPECT_TRUE(Errors.empty());
}

}  // namespace
