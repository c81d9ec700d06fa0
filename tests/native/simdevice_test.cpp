// The simulated NAND device that serves the module in our host and in the
// native command tests. Geometry 512:0x4000:64 throughout unless a test says
// otherwise: main area 0x100000 bytes, spare area from 0x100000, file 0x108000.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "SimDevice.h"
#include "SimHostServices.h"
#include "platform/FileError.h"
#include "plugin/Registration.h"

using namespace kovra;
using namespace kovra::sim;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct Lines : TDeviceLog {
  std::vector<std::string> All;
  void Line(const std::string& l) override { All.push_back(l); }
  bool Has(const std::string& prefix) const {
    for (const auto& l : All)
      if (l.rfind(prefix, 0) == 0) return true;
    return false;
  }
};

struct Steps : TDeviceProgress {
  std::vector<uint32_t> All;
  uint64_t Sum = 0;
  void Advance(uint32_t bytes) override {
    All.push_back(bytes);
    Sum += bytes;
  }
};

std::vector<uint8_t> Descriptor() {
  std::vector<uint8_t> d(76, 0);
  d[12] = 0x34, d[13] = 0x12, d[14] = 0xFF, d[15] = 0xFF;  // 0xFFFF1234
  return d;
}

struct SimDeviceTest : ::testing::Test {
  fs::path dir;
  fs::path devicePath;
  TChipGeometry geometry{512, 0x4000, 64};
  std::unique_ptr<TSimDevice> device;
  Lines log;
  Steps progress;
  int pumps = 0;
  uint8_t stop = 0;
  std::vector<uint8_t> descriptor = Descriptor();

  void SetUp() override {
    std::mt19937_64 rng(static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    dir = fs::temp_directory_path() / ("kovra-simdevice-" + std::to_string(rng()));
    fs::create_directories(dir);
    devicePath = dir / "device.bin";
    Open();
  }
  void TearDown() override {
    device.reset();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  void Open() {
    if (!fs::exists(devicePath)) CreateErasedDeviceFile(devicePath.string(), geometry);
    device = std::make_unique<TSimDevice>(devicePath.string(), geometry);
    device->SetHostDir(dir.string());
    device->SetLog(&log);
    device->SetProgress(&progress);
    device->SetProcessMessages([this] { ++pumps; });
    device->SetStopByte(&stop);
  }
  // Lays single bytes into the device file at absolute offsets.
  void Poke(std::initializer_list<std::pair<uint32_t, uint8_t>> bytes) {
    std::fstream f(devicePath, std::ios::in | std::ios::out | std::ios::binary);
    for (auto [at, v] : bytes) {
      f.seekp(at);
      f.put(static_cast<char>(v));
    }
  }
  std::vector<uint8_t> Device() { return ReadAll(devicePath); }
  bool Connect() { return device->ConnectDevice(descriptor.data()); }
  bool ReadToFiles(uint32_t address, uint32_t length) {
    return device->ReadFlash(1, address, length, 0, 0, "tQcm", nullptr, -1, 1);
  }
  fs::path HostFile(const char* name) { return dir / name; }
};

}  // namespace

TEST(SimGeometry, ParsesUsableGeometriesAndRefusesTheRest) {
  struct Case {
    const char* Text;
    bool Ok;
    uint32_t Page, Block, Blocks;
  } const cases[] = {
      {"2048:0x20000:1024", true, 2048, 0x20000, 1024},
      {"512:0x4000:64", true, 512, 0x4000, 64},
      {"4096:262144:8", true, 4096, 0x40000, 8},
      {"2048:0x20000", false, 0, 0, 0},          // a field missing
      {"2048:0x20000:8:1", false, 0, 0, 0},      // one too many
      {"2048:0x20000:x", false, 0, 0, 0},        // not a number
      {"2048:-1:8", false, 0, 0, 0},             // negative
      {"1000:0x20000:8", false, 0, 0, 0},        // page size unknown to the module
      {"2048:0x30000:8", false, 0, 0, 0},        // block not a power of two
      {"2048:0x800:512", false, 0, 0, 0},        // block of one page
      {"2048:0x20000:0", false, 0, 0, 0},        // no blocks
      {"2048:0x20000:4", false, 0, 0, 0},        // 0.5 MiB: the chip info counts whole MiB
      {"4096:0x40000:16384", false, 0, 0, 0},    // 4 GiB of main data
      {"2048:0x20000:0x100000000", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    TChipGeometry g{1, 2, 3};
    std::string error;
    EXPECT_EQ(ParseChipGeometry(c.Text, g, error), c.Ok) << c.Text << ": " << error;
    if (c.Ok) {
      EXPECT_EQ(g.PageSize, c.Page) << c.Text;
      EXPECT_EQ(g.BlockSize, c.Block) << c.Text;
      EXPECT_EQ(g.BlockCount, c.Blocks) << c.Text;
    } else {
      EXPECT_FALSE(error.empty()) << c.Text;
      EXPECT_EQ(g.PageSize, 1u) << "a refused text leaves the geometry alone: " << c.Text;
    }
  }
  // 1024 blocks of 0x20000: the file of a 128 MiB chip.
  EXPECT_EQ((TChipGeometry{2048, 0x20000, 1024}.FileSize()), 0x8400000u);
}

TEST_F(SimDeviceTest, ErasedFileHasTheChipsSizeAndOnlyFF) {
  const auto bytes = Device();
  ASSERT_EQ(bytes.size(), 0x108000u);
  for (size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0xFF) << i;
}

TEST_F(SimDeviceTest, RefusesAFileOfAnotherSizeOrNoFile) {
  device.reset();
  EXPECT_THROW(TSimDevice((dir / "missing.bin").string(), geometry), TFileError);
  WriteAll(dir / "short.bin", std::vector<uint8_t>(0x107FFF, 0xFF));
  try {
    TSimDevice d((dir / "short.bin").string(), geometry);
    FAIL() << "a short device file was accepted";
  } catch (const TFileError& e) {
    EXPECT_NE(std::string(e.what()).find("short.bin"), std::string::npos) << e.what();
  }
  EXPECT_THROW(TSimDevice(devicePath.string(), TChipGeometry{512, 0x4000, 0}), std::invalid_argument);
}

TEST_F(SimDeviceTest, ChipInfoNeedsAConnectionAndReportsTheGeometry) {
  TFlashChipInfo info;
  info.ChipPageSize = 99;
  EXPECT_FALSE(device->GetFlashChipInfo(1, info));
  EXPECT_EQ(info.ChipPageSize, 0u);

  ASSERT_TRUE(Connect());
  EXPECT_TRUE(device->Connected());
  ASSERT_TRUE(device->GetFlashChipInfo(1, info));
  EXPECT_EQ(info.MainSizeMiB, 1u);
  EXPECT_EQ(info.ChipBlockSize, 0x4000u);
  EXPECT_EQ(info.ChipPageSize, 512u);
  EXPECT_FALSE(device->GetFlashChipInfo(2, info)) << "there is only FLASH1";

  device->Faults().UnrecognisedChip = true;
  device->GetFlashChipInfo(1, info);
  EXPECT_EQ(info.ChipPageSize, 0u);
  EXPECT_EQ(info.MainSizeMiB, 0u);

  device->DisconnectDevice();
  EXPECT_FALSE(device->Connected());
  device->DisconnectDevice();  // harmless twice
}

TEST_F(SimDeviceTest, ConnectRefusals) {
  std::vector<uint8_t> stranger(76, 0);
  EXPECT_FALSE(device->ConnectDevice(stranger.data())) << "a descriptor without the mark";
  EXPECT_FALSE(device->ConnectDevice(nullptr));
  device->Faults().RefuseConnect = true;
  EXPECT_FALSE(Connect());
  EXPECT_FALSE(device->Connected());
  EXPECT_TRUE(log.Has("ERROR: "));
}

TEST_F(SimDeviceTest, TaggedReadLeavesMainSpareAndReadFilesInTheHostFolder) {
  // Block 2 and 3 (0x8000..0xFFFF); their spare data at 0x100400..0x1007FF.
  Poke({{0x7FFF, 0x10}, {0x8000, 0xA1}, {0xFFFF, 0xA2}, {0x10000, 0x11},
        {0x1003FF, 0x12}, {0x100400, 0xB1}, {0x1007FF, 0xB2}, {0x100800, 0x13}});
  ASSERT_TRUE(Connect());
  ASSERT_TRUE(ReadToFiles(0x8000, 0x8000)) << log.All.back();
  const auto mainData = ReadAll(HostFile("$tQcmMain$.$$$"));
  const auto spare = ReadAll(HostFile("$tQcmRedu$.$$$"));
  ASSERT_EQ(mainData.size(), 0x8000u);
  ASSERT_EQ(spare.size(), 0x400u);
  EXPECT_EQ(mainData[0], 0xA1);
  EXPECT_EQ(mainData[0x7FFF], 0xA2);
  EXPECT_EQ(mainData[0x4000], 0xFF);
  EXPECT_EQ(spare[0], 0xB1);
  EXPECT_EQ(spare[0x3FF], 0xB2);
  EXPECT_TRUE(fs::exists(HostFile("$tQcmRead$.$$$")));
  // One block per chunk: messages processed and the gauge advanced twice,
  // main and spare bytes together.
  EXPECT_EQ(pumps, 2);
  EXPECT_EQ(progress.All, (std::vector<uint32_t>{0x4200, 0x4200}));
}

TEST_F(SimDeviceTest, BufferedReadFillsMainThenSpareAndNoMore) {
  // The partition table probe: two 512-byte pages at block 5 (0x14000), into
  // a buffer of (512 / 20 + 512) x 2 = 1074 bytes. Spare at 0x100000 + 0xA00.
  Poke({{0x14000, 0xAC}, {0x14200, 0xAA}, {0x143FF, 0xA9}, {0x100A00, 0xB1}, {0x100A1F, 0xB2}, {0x100A20, 0xB3}});
  std::vector<uint8_t> buffer(1074, 0x55);
  ASSERT_TRUE(Connect());
  ASSERT_TRUE(device->ReadFlash(1, 0x14000, 0x400, 0, 0, nullptr, buffer.data(), 0, 0));
  EXPECT_EQ(buffer[0], 0xAC);
  EXPECT_EQ(buffer[0x200], 0xAA);
  EXPECT_EQ(buffer[0x3FF], 0xA9);
  EXPECT_EQ(buffer[0x400], 0xB1);
  EXPECT_EQ(buffer[0x41F], 0xB2);
  EXPECT_EQ(buffer[0x420], 0x55) << "only length + length / 32 bytes are written";
  EXPECT_EQ(buffer[1073], 0x55);
  EXPECT_FALSE(fs::exists(HostFile("$tQcmMain$.$$$")));
  EXPECT_EQ(progress.Sum, 0x420u);
}

TEST_F(SimDeviceTest, ReadRefusesWhatTheModuleNeverAsks) {
  std::vector<uint8_t> buffer(0x4200);
  EXPECT_FALSE(ReadToFiles(0, 0x4000)) << "not connected";
  ASSERT_TRUE(Connect());
  struct Case {
    const char* What;
    uint32_t Chip, Address, Length, Zero;
    const char* Tag;
    uint8_t* Buffer;
    int32_t Bound;
    uint32_t Flag;
  } const cases[] = {
      {"chip 2", 2, 0, 0x4000, 0, "tQcm", nullptr, -1, 1},
      {"a nonzero fourth argument", 1, 0, 0x4000, 7, "tQcm", nullptr, -1, 1},
      {"not page aligned", 1, 0x100, 0x4000, 0, "tQcm", nullptr, -1, 1},
      {"a length of part of a page", 1, 0, 0x4100, 0, "tQcm", nullptr, -1, 1},
      {"past the end of the chip", 1, 0xFC000, 0x8000, 0, "tQcm", nullptr, -1, 1},
      {"an address that wraps", 1, 0xFFFFC000, 0x8000, 0, "tQcm", nullptr, -1, 1},
      {"tagged read with bound 0", 1, 0, 0x4000, 0, "tQcm", nullptr, 0, 1},
      {"tagged read with flag 0", 1, 0, 0x4000, 0, "tQcm", nullptr, -1, 0},
      {"buffered read without a buffer", 1, 0, 0x4000, 0, nullptr, nullptr, 0, 0},
      {"buffered read with bound -1", 1, 0, 0x4000, 0, nullptr, buffer.data(), -1, 0},
  };
  for (const auto& c : cases) {
    log.All.clear();
    EXPECT_FALSE(device->ReadFlash(c.Chip, c.Address, c.Length, c.Zero, 0, c.Tag, c.Buffer, c.Bound, c.Flag)) << c.What;
    EXPECT_TRUE(log.Has("ERROR: ")) << c.What;
  }
  EXPECT_FALSE(fs::exists(HostFile("$tQcmMain$.$$$")));
  EXPECT_EQ(progress.Sum, 0u);
}

TEST_F(SimDeviceTest, StopBetweenChunksReturnsFalseAndLeavesNoFiles) {
  ASSERT_TRUE(Connect());
  // The user's click arrives while the second chunk's messages are processed.
  device->SetProcessMessages([this] {
    if (++pumps == 2) stop = 1;
  });
  EXPECT_FALSE(ReadToFiles(0, 0x10000));
  EXPECT_EQ(progress.All, std::vector<uint32_t>{0x4200}) << "the first chunk only";
  EXPECT_FALSE(fs::exists(HostFile("$tQcmMain$.$$$")));
  EXPECT_FALSE(fs::exists(HostFile("$tQcmRedu$.$$$")));
  EXPECT_FALSE(fs::exists(HostFile("$tQcmRead$.$$$")));
  EXPECT_TRUE(log.Has("ERROR: Operation stopped by user."));

  // A stop byte still set stops an erase before it touches the first block.
  Poke({{0, 0x00}});
  EXPECT_FALSE(device->EraseFlash(1, 0, 0x4000, 0, 0, 1));
  EXPECT_EQ(Device()[0], 0x00);
  stop = 0;
  EXPECT_TRUE(device->EraseFlash(1, 0, 0x4000, 0, 0, 1));
  EXPECT_EQ(Device()[0], 0xFF);
}

TEST_F(SimDeviceTest, EraseWritesFFToWholeBlocksMainAndSpare) {
  std::vector<uint8_t> zeros(0x108000, 0x00);
  WriteAll(devicePath, zeros);
  ASSERT_TRUE(Connect());
  // Blocks 1 and 2: main 0x4000..0xBFFF, spare 0x100200..0x1005FF.
  ASSERT_TRUE(device->EraseFlash(1, 0x4000, 0x8000, 0, 0, 1));
  const auto bytes = Device();
  for (uint32_t i = 0; i < bytes.size(); ++i) {
    const bool erased = (i >= 0x4000 && i < 0xC000) || (i >= 0x100200 && i < 0x100600);
    ASSERT_EQ(bytes[i], erased ? 0xFF : 0x00) << std::hex << i;
  }
  // The module's erase gauge counts main bytes only.
  EXPECT_EQ(progress.All, (std::vector<uint32_t>{0x4000, 0x4000}));

  EXPECT_FALSE(device->EraseFlash(1, 0x4200, 0x4000, 0, 0, 1)) << "not a block boundary";
  EXPECT_FALSE(device->EraseFlash(1, 0x4000, 0x4000, 0, 0, 0)) << "the sixth argument is 1";
  EXPECT_FALSE(device->EraseFlash(1, 0xFC000, 0x8000, 0, 0, 1)) << "past the end";
  EXPECT_EQ(Device(), bytes);
}

TEST_F(SimDeviceTest, TheNthCallOfAServiceFails) {
  ASSERT_TRUE(Connect());
  device->Faults().FailRead = 2;
  device->Faults().FailErase = 1;
  EXPECT_TRUE(ReadToFiles(0, 0x4000));
  EXPECT_FALSE(ReadToFiles(0, 0x4000));
  EXPECT_TRUE(ReadToFiles(0, 0x4000)) << "only the second call fails";
  EXPECT_EQ(device->ReadCalls(), 3u);
  EXPECT_FALSE(device->EraseFlash(1, 0, 0x4000, 0, 0, 1));
  EXPECT_TRUE(device->EraseFlash(1, 0, 0x4000, 0, 0, 1));
  EXPECT_TRUE(log.Has("ERROR: Read failed"));
  EXPECT_TRUE(log.Has("ERROR: Erase failed"));
}

namespace {

// An image of the same chip: main byte at o is o / 0x4000 + 1 (the block
// number plus one), spare byte at 0x100000 + s is 0x80 + s / 0x200.
struct SimWriteTest : SimDeviceTest {
  fs::path imagePath;
  void SetUp() override {
    SimDeviceTest::SetUp();
    imagePath = dir / "image.bin";
    std::vector<uint8_t> image(0x108000);
    for (uint32_t o = 0; o < 0x100000; ++o) image[o] = static_cast<uint8_t>(o / 0x4000 + 1);
    for (uint32_t s = 0; s < 0x8000; ++s) image[0x100000 + s] = static_cast<uint8_t>(0x80 + s / 0x200);
    WriteAll(imagePath, image);
  }
  TFlashWriteRequest Request(uint32_t address, uint32_t length, uint8_t alreadyConnected) {
    TFlashWriteRequest r;
    r.Address = address;
    r.Length = length;
    std::memcpy(r.Descriptor, descriptor.data(), 76);
    r.AlreadyConnected = alreadyConnected;
    return r;
  }
  TWriteTexts Texts() { return {imagePath.string(), "", "tQcm"}; }
};

}  // namespace

TEST_F(SimWriteTest, WritesMainAndSpareFromTheImageAtTheirPlaces) {
  // Blocks 3 and 4 of the image: main 0xC000..0x13FFF, spare 0x100600..0x1009FF.
  ASSERT_TRUE(device->WriteFlash(Request(0xC000, 0x8000, 0), Texts())) << log.All.back();
  EXPECT_TRUE(device->Connected()) << "AlreadyConnected 0: the write connects itself";
  const auto bytes = Device();
  EXPECT_EQ(bytes[0xBFFF], 0xFF);
  EXPECT_EQ(bytes[0xC000], 4);
  EXPECT_EQ(bytes[0x10000], 5);
  EXPECT_EQ(bytes[0x13FFF], 5);
  EXPECT_EQ(bytes[0x14000], 0xFF);
  EXPECT_EQ(bytes[0x1005FF], 0xFF);
  EXPECT_EQ(bytes[0x100600], 0x83);
  EXPECT_EQ(bytes[0x100800], 0x84);
  EXPECT_EQ(bytes[0x1009FF], 0x84);
  EXPECT_EQ(bytes[0x100A00], 0xFF);
  EXPECT_EQ(progress.Sum, 0x8400u);

  // A later partition of the same command: connected already.
  ASSERT_TRUE(device->WriteFlash(Request(0, 0x4000, 1), Texts()));
  EXPECT_EQ(Device()[0], 1);
  EXPECT_EQ(Device()[0x100000], 0x80);
  // The image file is only read.
  EXPECT_EQ(ReadAll(imagePath)[0x100000], 0x80);
}

TEST_F(SimWriteTest, RefusesARequestWhoseFixedBytesOrTextsDiffer) {
  struct Case {
    const char* What;
    void (*Spoil)(TFlashWriteRequest&, TWriteTexts&);
  } const cases[] = {
      {"chip 2", [](TFlashWriteRequest& r, TWriteTexts&) { r.ChipNumber = 2; }},
      {"byte 88", [](TFlashWriteRequest& r, TWriteTexts&) { r.Flag88 = 0; }},
      {"mData", [](TFlashWriteRequest& r, TWriteTexts&) { r.mData = 0x1000; }},
      {"byte 100", [](TFlashWriteRequest& r, TWriteTexts&) { r.Flag100 = 1; }},
      {"pData", [](TFlashWriteRequest& r, TWriteTexts&) { r.pData = 4; }},
      {"byte 113", [](TFlashWriteRequest& r, TWriteTexts&) { r.Flag113 = 1; }},
      {"byte 114", [](TFlashWriteRequest& r, TWriteTexts&) { r.Flag114 = 1; }},
      {"byte 115", [](TFlashWriteRequest& r, TWriteTexts&) { r.Flag115 = 0; }},
      {"byte 116", [](TFlashWriteRequest& r, TWriteTexts&) { r.Flag116 = 0; }},
      {"byte 128", [](TFlashWriteRequest& r, TWriteTexts&) { r.Flag128 = 0; }},
      {"connection flag 2", [](TFlashWriteRequest& r, TWriteTexts&) { r.AlreadyConnected = 2; }},
      {"ECC flag 2", [](TFlashWriteRequest& r, TWriteTexts&) { r.EccEnabled = 2; }},
      {"descriptor without its mark", [](TFlashWriteRequest& r, TWriteTexts&) { r.Descriptor[12] = 0; }},
      {"a text where the empty one belongs", [](TFlashWriteRequest&, TWriteTexts& t) { t.EmptyText = "x"; }},
      {"another file tag", [](TFlashWriteRequest&, TWriteTexts& t) { t.FileTag = "tQcn"; }},
      {"no such image", [](TFlashWriteRequest&, TWriteTexts& t) { t.ImageFileName += ".gone"; }},
      {"beyond the image", [](TFlashWriteRequest& r, TWriteTexts&) { r.Address = 0x100000; }},
      {"half a page", [](TFlashWriteRequest& r, TWriteTexts&) { r.Length = 0x100; }},
  };
  const auto before = Device();
  for (const auto& c : cases) {
    auto r = Request(0, 0x4000, 0);
    auto t = Texts();
    c.Spoil(r, t);
    log.All.clear();
    EXPECT_FALSE(device->WriteFlash(r, t)) << c.What;
    EXPECT_TRUE(log.Has("ERROR: ")) << c.What;
    device->DisconnectDevice();
  }
  EXPECT_EQ(Device(), before);
  EXPECT_FALSE(device->WriteFlash(Request(0, 0x4000, 1), Texts())) << "AlreadyConnected 1 with nothing connected";
  EXPECT_EQ(Device(), before);
}

TEST_F(SimWriteTest, AnImageTooShortForThePartitionIsRefusedUntouched) {
  // 0x84000 bytes: an image of 32 blocks; block 32 is beyond its main area.
  std::vector<uint8_t> half(0x84000, 0x42);
  WriteAll(imagePath, half);
  EXPECT_FALSE(device->WriteFlash(Request(0x80000, 0x4000, 0), Texts()));
  EXPECT_TRUE(device->WriteFlash(Request(0x7C000, 0x4000, 1), Texts()));
  EXPECT_EQ(Device()[0x7C000], 0x42);
  EXPECT_EQ(Device()[0x80000], 0xFF);
}

TEST_F(SimWriteTest, ServicesRecordWhatTheModuleSentAndRefuseAShortBuffer) {
  TSimHostServices services(*device);
  ASSERT_TRUE(services.ConnectDevice(descriptor.data()));
  TFlashChipInfo info;
  services.GetFlashChipInfo(1, info);
  std::vector<uint8_t> small(0x400);
  EXPECT_FALSE(services.ReadFlash(1, 0, 0x400, nullptr, small, 0, 77, 0, {})) << "needs 0x420 bytes";
  std::vector<uint8_t> enough(0x420);
  EXPECT_TRUE(services.ReadFlash(1, 0, 0x400, nullptr, enough, 0, 77, 0, {}));
  EXPECT_EQ(services.LastGauge, 77u);
  auto r = Request(0x4000, 0x4000, 1);
  r.Gauge = 88;
  EXPECT_TRUE(services.WriteFlash(r, imagePath.string()));
  EXPECT_TRUE(services.EraseFlash(1, 0, 0x4000, {}));
  services.DisconnectDevice();
  EXPECT_EQ(services.Calls, (std::vector<uint32_t>{0, 16, 24, 24, 25, 26, 20}));
  ASSERT_EQ(services.WriteRequests.size(), 1u);
  EXPECT_EQ(services.WriteRequests[0].Address, 0x4000u);
  EXPECT_EQ(services.LastGauge, 88u);
  EXPECT_EQ(Device()[0x4000], 2);
}

TEST(FlashWriteRequest, ADefaultRequestCarriesTheFixedBytes) {
  TFlashWriteRequest r;
  uint8_t b[152];
  std::memcpy(b, &r, sizeof b);
  // Byte offsets as the host reads them.
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(b[88], 1);
  EXPECT_EQ(b[100], 0);
  EXPECT_EQ(b[112], 0);
  EXPECT_EQ(b[115], 1);
  EXPECT_EQ(b[116], 1);
  EXPECT_EQ(b[117], 0);
  EXPECT_EQ(b[128], 1);
  int nonzero = 0;
  for (uint8_t x : b) nonzero += x != 0;
  EXPECT_EQ(nonzero, 5) << "everything else starts at 0";
}
