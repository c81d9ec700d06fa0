// The module's side of the host services on the real 32-bit ABI: the adapter
// against stand-in callbacks declared here from the host's argument lists,
// then the adapter against our host's own services and its simulated device.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "HostServer.h"
#include "HostServicesAdapter.h"
#include "SimDevice.h"

using namespace kovra;
namespace fs = std::filesystem;

namespace {

// ---- stand-ins, written from the host's argument lists ----------------------

struct Seen {
  std::vector<uint32_t> Args;
  const void* Pointer = nullptr;
  std::vector<uint8_t> Record;
  std::wstring Name, Empty, Tag;
} seen;

// What the stand-ins return in EAX: only the low byte is the result.
uint32_t returned = 0;

uint32_t __stdcall StandInConnect(const uint8_t* descriptor) {
  seen.Pointer = descriptor;
  return returned;
}
uint32_t __stdcall StandInRect(int32_t* width, int32_t* height, int32_t* left, int32_t* top) {
  *width = 801, *height = 600, *left = 100, *top = 50;
  return 0;
}
uint32_t __stdcall StandInChip(uint32_t chip, uint8_t* info) {
  seen.Args = {chip};
  const uint32_t v[6] = {0xA0, 0xA4, 256, 0x20000, 2048, 0xB4};
  std::memcpy(info, v, 24);
  return returned;
}
uint32_t __stdcall StandInAttach(uint32_t handle) {
  seen.Args = {handle};
  return 0;
}
uint32_t __stdcall StandInDisconnect() {
  seen.Args = {20};
  return 0;
}
uint32_t __stdcall StandInRead(uint32_t chip, uint32_t address, uint32_t length, uint32_t a4, uint32_t a5,
                               const char* tag, void* buffer, int32_t bound, uint32_t gauge, uint32_t flag,
                               void* status, int32_t left, int32_t width, int32_t height, int32_t top) {
  seen.Args = {chip, address, length, a4, a5, uint32_t(bound), gauge, flag, uint32_t(left), uint32_t(width),
               uint32_t(height), uint32_t(top)};
  seen.Pointer = buffer;
  seen.Tag = tag ? std::wstring(tag, tag + std::strlen(tag)) : L"<null>";
  seen.Record = {uint8_t(status == reinterpret_cast<void*>(&win::StatusTextCallback))};
  return returned;
}
struct Raw152 {
  uint8_t Bytes[152];
};
uint32_t __stdcall StandInWrite(Raw152 r) {
  seen.Record.assign(r.Bytes, r.Bytes + 152);
  auto text = [&](int at) {
    uint32_t a;
    std::memcpy(&a, r.Bytes + at, 4);
    return std::wstring(reinterpret_cast<const wchar_t*>(uintptr_t(a)));
  };
  seen.Name = text(92), seen.Empty = text(104), seen.Tag = text(120);
  return returned;
}
uint32_t __stdcall StandInErase(uint32_t chip, uint32_t address, uint32_t length, uint32_t a4, uint32_t a5,
                                uint32_t a6, void* status, int32_t left, int32_t width, int32_t height, int32_t top) {
  seen.Args = {chip, address, length, a4, a5, a6, uint32_t(left), uint32_t(width), uint32_t(height), uint32_t(top)};
  seen.Record = {uint8_t(status == reinterpret_cast<void*>(&win::StatusTextCallback))};
  return returned;
}

std::map<uint32_t, void*> standIns = {
    {0, reinterpret_cast<void*>(StandInConnect)},  {6, reinterpret_cast<void*>(StandInRect)},
    {16, reinterpret_cast<void*>(StandInChip)},    {18, reinterpret_cast<void*>(StandInAttach)},
    {20, reinterpret_cast<void*>(StandInDisconnect)}, {24, reinterpret_cast<void*>(StandInRead)},
    {25, reinterpret_cast<void*>(StandInWrite)},   {26, reinterpret_cast<void*>(StandInErase)},
    {27, reinterpret_cast<void*>(StandInAttach)},
};

win::THostServicesAdapter StandInAdapter() {
  return win::THostServicesAdapter([](uint32_t id) -> void* {
    auto it = standIns.find(id);
    return it == standIns.end() ? nullptr : it->second;
  });
}

const THostWindow kWindow{-3, 1030, 660, 77};

}  // namespace

TEST(HostServicesAdapter, BoolResultsAreTheLowByteOnly) {
  auto host = StandInAdapter();
  uint8_t descriptor[76] = {};
  struct Case {
    uint32_t Eax;
    bool Want;
  } const cases[] = {{1, true}, {0xFFFFFF01, true}, {0x80, true}, {0, false}, {0x100, false}, {0xFFFFFF00, false}};
  for (const auto& c : cases) {
    returned = c.Eax;
    EXPECT_EQ(host.ConnectDevice(descriptor), c.Want) << std::hex << c.Eax;
    EXPECT_EQ(seen.Pointer, descriptor);
    EXPECT_EQ(host.EraseFlash(1, 0, 0x20000, kWindow), c.Want) << std::hex << c.Eax;
  }
}

TEST(HostServicesAdapter, PassesTheHostsArgumentListsInOrder) {
  auto host = StandInAdapter();
  returned = 1;
  int32_t w = 0, h = 0, l = 0, t = 0;
  host.GetHostWindowRect(w, h, l, t);
  EXPECT_EQ(w, 801);
  EXPECT_EQ(h, 600);
  EXPECT_EQ(l, 100);
  EXPECT_EQ(t, 50);

  TFlashChipInfo info;
  EXPECT_TRUE(host.GetFlashChipInfo(1, info));
  EXPECT_EQ(seen.Args, std::vector<uint32_t>{1});
  EXPECT_EQ(info.MainSizeMiB, 256u);
  EXPECT_EQ(info.ChipBlockSize, 0x20000u);
  EXPECT_EQ(info.ChipPageSize, 2048u);

  host.AttachLogView(0x1234);
  EXPECT_EQ(seen.Args, std::vector<uint32_t>{0x1234});
  host.AttachProgressGauge(0x5678);
  EXPECT_EQ(seen.Args, std::vector<uint32_t>{0x5678});
  host.DisconnectDevice();
  EXPECT_EQ(seen.Args, std::vector<uint32_t>{20});

  // The tagged read, then the probe read into a buffer.
  EXPECT_TRUE(host.ReadFlash(1, 0x40000, 0x20000, "tQcm", {}, -1, 0x5678, 1, kWindow));
  EXPECT_EQ(seen.Args, (std::vector<uint32_t>{1, 0x40000, 0x20000, 0, 0, 0xFFFFFFFF, 0x5678, 1, 0xFFFFFFFD, 1030,
                                              660, 77}));
  EXPECT_EQ(seen.Tag, L"tQcm");
  EXPECT_EQ(seen.Pointer, nullptr);
  EXPECT_EQ(seen.Record, std::vector<uint8_t>{1}) << "the module's own status callback";
  std::vector<uint8_t> probe(4300);
  EXPECT_TRUE(host.ReadFlash(1, 0xA0000, 0x1000, nullptr, probe, 0, 0x5678, 0, kWindow));
  EXPECT_EQ(seen.Tag, L"<null>");
  EXPECT_EQ(seen.Pointer, probe.data());
  EXPECT_EQ(seen.Args[5], 0u);
  EXPECT_EQ(seen.Args[7], 0u);

  EXPECT_TRUE(host.EraseFlash(1, 0x60000, 0x40000, kWindow));
  EXPECT_EQ(seen.Args, (std::vector<uint32_t>{1, 0x60000, 0x40000, 0, 0, 1, 0xFFFFFFFD, 1030, 660, 77}));
  EXPECT_EQ(seen.Record, std::vector<uint8_t>{1});
}

TEST(HostServicesAdapter, WriteRequestGoesByValueWithItsTextsFilledIn) {
  auto host = StandInAdapter();
  returned = 1;
  TFlashWriteRequest r;
  r.Address = 0x40000;
  r.Length = 0x20000;
  r.Descriptor[12] = 0x34;
  r.AlreadyConnected = 1;
  r.EccEnabled = 1;
  r.Gauge = 0x5678;
  r.WindowLeft = -3, r.WindowWidth = 1030, r.WindowHeight = 660, r.WindowTop = 77;
  ASSERT_TRUE(host.WriteFlash(r, "C:\\img\\\xC3\xA4.bin"));  // "ä": the name goes as UTF-16
  const auto& b = seen.Record;
  ASSERT_EQ(b.size(), 152u);
  auto u32 = [&](int at) { return uint32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24); };
  EXPECT_EQ(u32(0), 1u);
  EXPECT_EQ(u32(4), 0x40000u);
  EXPECT_EQ(u32(8), 0x20000u);
  EXPECT_EQ(b[24], 0x34);
  EXPECT_EQ(b[88], 1);
  EXPECT_EQ(b[112], 1);
  EXPECT_EQ(b[115], 1);
  EXPECT_EQ(b[116], 1);
  EXPECT_EQ(b[117], 1);
  EXPECT_EQ(u32(124), 0x5678u);
  EXPECT_EQ(b[128], 1);
  EXPECT_EQ(u32(132), win::HostAddress(reinterpret_cast<const void*>(&win::StatusTextCallback)));
  EXPECT_EQ(u32(136), 0xFFFFFFFDu);
  EXPECT_EQ(u32(148), 77u);
  EXPECT_EQ(seen.Name, L"C:\\img\\\u00E4.bin");
  EXPECT_EQ(seen.Empty, L"");
  EXPECT_EQ(seen.Tag, L"tQcm");
}

TEST(HostServicesAdapter, UnregisteredServicesAreNotCalled) {
  win::THostServicesAdapter host([](uint32_t) -> void* { return nullptr; });
  int32_t w = 7, h = 7, l = 7, t = 7;
  host.GetHostWindowRect(w, h, l, t);
  EXPECT_EQ(w + h + l + t, 28);
  TFlashChipInfo info;
  EXPECT_FALSE(host.GetFlashChipInfo(1, info));
  EXPECT_FALSE(host.ConnectDevice(nullptr));
  EXPECT_FALSE(host.ReadFlash(1, 0, 0x800, "tQcm", {}, -1, 0, 1, kWindow));
  EXPECT_FALSE(host.WriteFlash(TFlashWriteRequest{}, "x"));
  EXPECT_FALSE(host.EraseFlash(1, 0, 0x20000, kWindow));
  host.DisconnectDevice();
}

TEST(HostServicesAdapter, StatusCallbackReachesTheHandlerForPanelsZeroToTwo) {
  std::vector<std::pair<uint32_t, std::string>> got;
  win::SetStatusTextHandler([&](uint32_t panel, const std::string& text) { got.emplace_back(panel, text); });
  win::StatusTextCallback(0, 0, L"Reading \u00E4");
  win::StatusTextCallback(7, 2, nullptr);
  win::StatusTextCallback(0, 3, L"no such panel");
  win::SetStatusTextHandler(nullptr);
  win::StatusTextCallback(0, 1, L"dropped");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], (std::pair<uint32_t, std::string>{0, "Reading \xC3\xA4"}));
  EXPECT_EQ(got[1], (std::pair<uint32_t, std::string>{2, ""}));
}

// ---- the adapter against our host's services --------------------------------

namespace {

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::wstring TextOf(HWND h) {
  std::wstring s(size_t(GetWindowTextLengthW(h)) + 1, L'\0');
  s.resize(size_t(GetWindowTextW(h, s.data(), int(s.size()))));
  return s;
}

// Device 512:0x4000:64 (main 0x100000, spare from 0x100000), a log memo and a
// progress bar as the module would hand them over.
struct HostRoundTrip : ::testing::Test {
  fs::path dir;
  HWND memo = nullptr, bar = nullptr;
  win::THostServicesAdapter host{host::HostServiceFor};
  std::vector<std::pair<uint32_t, std::string>> status;
  uint8_t descriptor[76] = {};

  void SetUp() override {
    std::mt19937 rng(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    dir = fs::temp_directory_path() / ("kovra-hostsvc-" + std::to_string(rng()));
    fs::create_directories(dir);
    const std::string devicePath = (dir / "device.bin").string();
    const sim::TChipGeometry geometry{512, 0x4000, 64};
    sim::CreateErasedDeviceFile(devicePath, geometry);
    auto device = std::make_unique<sim::TSimDevice>(devicePath, geometry);
    device->SetHostDir(dir.string());
    auto& server = host::THostServer::Instance();
    server.SetEcho(false);
    server.SetDevice(std::move(device));
    *server.StopByte() = 0;
    memo = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                           nullptr);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_POPUP, 0, 0, 300, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(memo && bar) << "no windows: is there a display?";
    SendMessageW(bar, PBM_SETRANGE32, 0, 0x7FFFFFFF);
    host.AttachLogView(win::HostAddress(memo));
    host.AttachProgressGauge(win::HostAddress(bar));
    win::SetStatusTextHandler([this](uint32_t panel, const std::string& text) { status.emplace_back(panel, text); });
    descriptor[12] = 0x34, descriptor[13] = 0x12, descriptor[14] = 0xFF, descriptor[15] = 0xFF;
  }
  void TearDown() override {
    win::SetStatusTextHandler(nullptr);
    host::THostServer::Instance().SetDevice(nullptr);
    DestroyWindow(memo);
    DestroyWindow(bar);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  int GaugePos() { return int(SendMessageW(bar, PBM_GETPOS, 0, 0)); }
};

}  // namespace

TEST_F(HostRoundTrip, ReadWriteEraseThroughTheStdcallServices) {
  ASSERT_TRUE(host.ConnectDevice(descriptor));
  TFlashChipInfo info;
  host.GetFlashChipInfo(1, info);
  EXPECT_EQ(info.MainSizeMiB, 1u);
  EXPECT_EQ(info.ChipBlockSize, 0x4000u);
  EXPECT_EQ(info.ChipPageSize, 512u);

  // Flash blocks 1 and 2 from an image whose name needs UTF-16.
  const fs::path image = dir / L"\u00E4image.bin";
  {
    std::vector<uint8_t> bytes(0x108000, 0x5A);
    std::ofstream(image, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  TFlashWriteRequest r;
  r.Address = 0x4000;
  r.Length = 0x8000;
  std::memcpy(r.Descriptor, descriptor, 76);
  r.AlreadyConnected = 1;
  r.Gauge = win::HostAddress(bar);
  const std::u8string name = image.u8string();
  ASSERT_TRUE(host.WriteFlash(r, std::string(name.begin(), name.end()))) << TextOf(memo).c_str();
  EXPECT_EQ(GaugePos(), 0x8400) << "main and spare bytes";
  auto device = ReadAll(dir / "device.bin");
  EXPECT_EQ(device[0x3FFF], 0xFF);
  EXPECT_EQ(device[0x4000], 0x5A);
  EXPECT_EQ(device[0xBFFF], 0x5A);
  EXPECT_EQ(device[0x100200], 0x5A);
  EXPECT_EQ(device[0x1005FF], 0x5A);
  EXPECT_EQ(device[0x100600], 0xFF);

  // Read block 2 back into the host's files, then the probe into a buffer.
  ASSERT_TRUE(host.ReadFlash(1, 0x8000, 0x4000, "tQcm", {}, -1, win::HostAddress(bar), 1, kWindow));
  EXPECT_EQ(ReadAll(dir / "$tQcmMain$.$$$"), std::vector<uint8_t>(0x4000, 0x5A));
  EXPECT_EQ(ReadAll(dir / "$tQcmRedu$.$$$"), std::vector<uint8_t>(0x200, 0x5A));
  EXPECT_TRUE(fs::exists(dir / "$tQcmRead$.$$$"));
  std::vector<uint8_t> probe((512 / 20 + 512) * 2, 0x11);
  ASSERT_TRUE(host.ReadFlash(1, 0xA000, 0x400, nullptr, probe, 0, win::HostAddress(bar), 0, kWindow));
  EXPECT_EQ(probe[0], 0x5A);
  EXPECT_EQ(probe[0x41F], 0x5A);
  EXPECT_EQ(probe[0x420], 0x11);

  // Erase block 1; the attached gauge counts main bytes.
  const int before = GaugePos();
  ASSERT_TRUE(host.EraseFlash(1, 0x4000, 0x4000, kWindow));
  EXPECT_EQ(GaugePos() - before, 0x4000);
  device = ReadAll(dir / "device.bin");
  EXPECT_EQ(device[0x4000], 0xFF);
  EXPECT_EQ(device[0x1003FF], 0xFF);
  EXPECT_EQ(device[0x8000], 0x5A);

  host.DisconnectDevice();
  const std::wstring log = TextOf(memo);
  for (const wchar_t* line : {L"Connected.", L"Write OK.\r\n", L"Read OK.\r\n", L"Erase OK.\r\n", L"Disconnected."})
    EXPECT_NE(log.find(line), std::wstring::npos) << "missing: " << std::string(line, line + wcslen(line));
  // The host showed its progress text through the module's status callback.
  bool sawRead = false;
  for (const auto& [panel, text] : status) sawRead = sawRead || (panel == 1 && text == "Reading FLASH1...");
  EXPECT_TRUE(sawRead);
}

TEST_F(HostRoundTrip, TheStopByteEndsAReadWithFalse) {
  ASSERT_TRUE(host.ConnectDevice(descriptor));
  *host::THostServer::Instance().StopByte() = 1;
  EXPECT_FALSE(host.ReadFlash(1, 0, 0x4000, "tQcm", {}, -1, win::HostAddress(bar), 1, kWindow));
  EXPECT_FALSE(fs::exists(dir / "$tQcmMain$.$$$"));
  EXPECT_NE(TextOf(memo).find(L"ERROR: Operation stopped by user."), std::wstring::npos);
  EXPECT_EQ(GaugePos(), 0);
}

TEST_F(HostRoundTrip, NoDeviceAnswersFalseAndReportsNoChip) {
  host::THostServer::Instance().SetDevice(nullptr);
  EXPECT_FALSE(host.ConnectDevice(descriptor));
  TFlashChipInfo info;
  info.ChipPageSize = 2048;
  host.GetFlashChipInfo(1, info);
  EXPECT_EQ(info.ChipPageSize, 0u);
  EXPECT_FALSE(host.EraseFlash(1, 0, 0x4000, kWindow));
}
