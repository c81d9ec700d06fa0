#pragma once
// The main window's model with its device buttons served by the simulated
// chip, as the host serves them: the device's log lines go to the memo, its
// progress to the gauge, and it lets window messages through (a test's
// PumpHook runs there, as a click would arrive) and reads the stop byte.
//
// The chip: 2048-byte pages, blocks of 0x20000, 16 blocks (main area
// 0x200000 bytes, image 0x210000). The user's image has the same layout
// unless a test writes another one.
#include <gtest/gtest.h>

#include <algorithm>
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

namespace kovra::testing {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline constexpr uint32_t kChipPage = 2048;
inline constexpr uint32_t kChipBlock = 0x20000;
inline constexpr uint32_t kChipBlocks = 16;

inline Bytes ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline Bytes Slice(const Bytes& b, uint32_t at, uint32_t n) { return Bytes(b.begin() + at, b.begin() + at + n); }

// Six partitions: SBL, MIBIB, APPS (rows 2), EFS2, FOTA, USER to the end.
inline samples::TSampleImageSpec ChipLayout(uint32_t seed) {
  samples::TSampleImageSpec s;
  s.PageSize = kChipPage;
  s.BlockSize = kChipBlock;
  s.BlockCount = kChipBlocks;
  s.TableBlock = 5;
  s.Seed = seed;
  using C = samples::TSampleContent;
  s.Entries = {{"0:SBL", 0, 5, 0, C::Pattern},  {"0:MIBIB", 5, 1, 0, C::Blank},
               {"0:APPS", 6, 2, 0, C::Pattern}, {"0:EFS2", 8, 1, 0, C::Pattern},
               {"0:FOTA", 9, 3, 0, C::Pattern}, {"0:USER", 12, 0xFFFFFFFF, 0, C::Pattern}};
  return s;
}

// The simulated host, keeping the service IDs and the read and erase ranges.
class TRecordingSimHost : public sim::TSimHostServices {
 public:
  using sim::TSimHostServices::TSimHostServices;
  std::vector<std::pair<uint32_t, uint32_t>> Reads, Erases;
  bool ReadFlash(uint32_t chip, uint32_t address, uint32_t length, const char* tag, std::span<uint8_t> buffer,
                 int32_t bound, THostHandle gauge, uint32_t flag, const THostWindow& window) override {
    Reads.push_back({address, length});
    return TSimHostServices::ReadFlash(chip, address, length, tag, buffer, bound, gauge, flag, window);
  }
  bool EraseFlash(uint32_t chip, uint32_t address, uint32_t length, const THostWindow& window) override {
    Erases.push_back({address, length});
    return TSimHostServices::EraseFlash(chip, address, length, window);
  }
};

struct DeviceWindowTest : ::testing::Test {
  struct TMemoLog : sim::TDeviceLog {
    TMemo* Memo = nullptr;
    void Line(const std::string& l) override { Memo->Add(l); }
  };
  struct TGaugeProgress : sim::TDeviceProgress {
    TGauge* Gauge = nullptr;
    void Advance(uint32_t bytes) override { Gauge->AddProgress(static_cast<int>(bytes)); }
  };

  fs::path Dir = fs::temp_directory_path() /
                 ("kovra-devwin-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::path HostDir = Dir / "host";
  fs::path DevicePath = Dir / "device.bin";
  fs::path UserPath = Dir / "user.bin";
  sim::TChipGeometry Geometry{kChipPage, kChipBlock, kChipBlocks};
  Bytes Descriptor = Bytes(76, 0);

  std::unique_ptr<sim::TSimDevice> Device;
  std::unique_ptr<TRecordingSimHost> Host;
  TMemoLog DeviceLog;
  TGaugeProgress DeviceProgress;
  uint8_t Stop = 0;
  TPlatformServices Platform;
  std::vector<std::string> Errors;
  std::function<void()> PumpHook;
  std::unique_ptr<THexForm> Hex;
  std::unique_ptr<TQualcommForm> Form;
  TRecordingCanvas ListCanvas, HexCanvas1, HexCanvas2;

  void SetUp() override { Build(ChipLayout(1)); }
  void TearDown() override { Reset(); }

  void Reset() {
    Form.reset();
    Hex.reset();
    Host.reset();
    Device.reset();
    std::error_code ec;
    fs::remove_all(Dir, ec);
  }
  // A fresh chip, a user image of the given layout and a new window.
  void Build(const samples::TSampleImageSpec& userImage) {
    Reset();
    Errors.clear();
    PumpHook = nullptr;
    Stop = 0;
    fs::create_directories(HostDir);
    // The descriptor's mark that the host checks at connection: 0xFFFF1234.
    Descriptor[12] = 0x34, Descriptor[13] = 0x12, Descriptor[14] = 0xFF, Descriptor[15] = 0xFF;
    samples::WriteSampleImage(ChipLayout(7), DevicePath.string());
    samples::WriteSampleImage(userImage, UserPath.string());
    Platform.ErrorBox = [this](const std::string& t) { Errors.push_back(t); };
    Platform.HostExecutablePath = [this] { return (HostDir / "host.exe").string(); };
    Platform.DeleteFile = [](const std::string& p) {
      std::error_code ec;
      fs::remove(PathFromUtf8(p), ec);
      return !fs::exists(PathFromUtf8(p));
    };
    Platform.ProcessMessages = [this] {
      if (PumpHook) PumpHook();
    };
    Hex = std::make_unique<THexForm>();
    Hex->PaintBox01.Canvas = &HexCanvas1;
    Hex->PaintBox02.Canvas = &HexCanvas2;
    Form = std::make_unique<TQualcommForm>(Platform, *Hex);
    Form->PaintBox00.Canvas = &ListCanvas;
    Form->FormCreate();
    Form->Form.SetBounds(100, 50, 1046, 633);

    Device = std::make_unique<sim::TSimDevice>(DevicePath.string(), Geometry);
    Host = std::make_unique<TRecordingSimHost>(*Device);
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
  }

  std::string TempImage() const { return Form->ImageTempName(); }
  fs::path TempPath() const { return PathFromUtf8(TempImage()); }
  void LoadUserImage() {
    Form->ImageName.SetText(UserPath.string());
    Form->CreateList.Click();
    ASSERT_GT(Form->PartitionItems().Count, 0);
  }
  void Mark(const std::vector<int>& rows) {
    for (int r : rows) {
      Form->List().SetItemIndex(r);
      Form->List().PaintBoxDblClick();
    }
  }
  int RowY(int row) { return row * Form->List().RowHeight() + 1; }
  bool HasLine(const std::string& line) {
    const auto l = Form->MyMemo.Lines();
    return std::find(l.begin(), l.end(), line) != l.end();
  }
  bool HostFilesLeft() {
    for (const char* n : {kHostMainFileName, kHostSpareFileName, kHostReadFileName})
      if (fs::exists(HostDir / n)) return true;
    return false;
  }
};

}  // namespace kovra::testing
