#include "SimDevice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/FileError.h"
#include "platform/FileReader.h"
#include "plugin/Registration.h"

namespace kovra::sim {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;

std::string Hex(uint32_t v, int digits = 8) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%0*X", digits, v);
  return b;
}

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

// A file opened for one operation; every failure names the file and offset.
class TFile {
 public:
  enum class Mode { Read, Update, Create };
  TFile(const std::string& path, Mode mode) : fPath(path) {
    const auto m = mode == Mode::Read     ? std::ios::in | std::ios::binary
                   : mode == Mode::Update ? std::ios::in | std::ios::out | std::ios::binary
                                          : std::ios::out | std::ios::trunc | std::ios::binary;
    fStream.open(PathFromUtf8(path), m);
    if (!fStream) throw TFileError("Cannot open file: " + path);
  }
  uint64_t Size() {
    fStream.seekg(0, std::ios::end);
    const auto end = fStream.tellg();
    if (!fStream || end < 0) throw TFileError("Cannot get the size of file: " + fPath);
    return static_cast<uint64_t>(end);
  }
  void ReadAt(uint64_t offset, uint8_t* data, size_t count) {
    fStream.seekg(static_cast<std::streamoff>(offset));
    fStream.read(reinterpret_cast<char*>(data), static_cast<std::streamsize>(count));
    if (!fStream || static_cast<size_t>(fStream.gcount()) != count)
      throw TFileError(ReadBeyondEndText(fPath, offset, count));
  }
  void WriteAt(uint64_t offset, const uint8_t* data, size_t count) {
    fStream.seekp(static_cast<std::streamoff>(offset));
    Write(data, count, offset);
  }
  void Append(const uint8_t* data, size_t count) { Write(data, count, 0); }
  void Close() {
    fStream.close();
    if (!fStream) throw TFileError("Cannot write file: " + fPath);
  }

 private:
  void Write(const uint8_t* data, size_t count, uint64_t offset) {
    fStream.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(count));
    if (!fStream) throw TFileError("Cannot write file: " + fPath + " at offset " + Hex(uint32_t(offset)));
  }
  std::string fPath;
  std::fstream fStream;
};

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

bool ParseNumber(const std::string& s, uint32_t& v) {
  if (s.empty() || s[0] == '-' || s[0] == '+') return false;
  try {
    size_t used = 0;
    const unsigned long long x = std::stoull(s, &used, 0);
    if (used != s.size() || x > 0xFFFFFFFFull) return false;
    v = static_cast<uint32_t>(x);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::string CheckGeometry(const TChipGeometry& g) {
  if (g.PageSize != 512 && g.PageSize != 2048 && g.PageSize != 4096)
    return "page size must be 512, 2048 or 4096 bytes";
  if (!IsPowerOfTwo(g.BlockSize) || g.BlockSize < g.PageSize * 2)
    return "block size must be a power of two of at least two pages";
  if (g.BlockCount == 0) return "the chip needs at least one block";
  // The chip info reports whole MiB; the module builds its image from that.
  if (g.MainSize() % kMiB != 0) return "the main area must be a whole number of MiB";
  if (g.FileSize() >= (uint64_t(1) << 32)) return "the device file must stay below 4 GiB";
  return {};
}

bool ParseChipGeometry(const std::string& text, TChipGeometry& geometry, std::string& error) {
  const size_t a = text.find(':');
  const size_t b = a == std::string::npos ? a : text.find(':', a + 1);
  TChipGeometry g;
  if (b == std::string::npos || text.find(':', b + 1) != std::string::npos ||
      !ParseNumber(text.substr(0, a), g.PageSize) || !ParseNumber(text.substr(a + 1, b - a - 1), g.BlockSize) ||
      !ParseNumber(text.substr(b + 1), g.BlockCount)) {
    error = "expected PAGE:BLOCK:BLOCKS, got " + text;
    return false;
  }
  error = CheckGeometry(g);
  if (!error.empty()) return false;
  geometry = g;
  return true;
}

void CreateErasedDeviceFile(const std::string& path, const TChipGeometry& geometry) {
  TFile file(path, TFile::Mode::Create);
  const std::vector<uint8_t> erased(geometry.BlockSize, 0xFF);
  for (uint64_t done = 0, size = geometry.FileSize(); done < size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(erased.size(), size - done));
    file.Append(erased.data(), n);
    done += n;
  }
  file.Close();
}

TSimDevice::TSimDevice(std::string path, const TChipGeometry& geometry)
    : fPath(std::move(path)), fGeometry(geometry) {
  const std::string why = CheckGeometry(geometry);
  if (!why.empty()) throw std::invalid_argument("Unusable chip geometry: " + why);
  TFile file(fPath, TFile::Mode::Read);
  const uint64_t size = file.Size();
  if (size != geometry.FileSize())
    throw TFileError("Device file " + fPath + " holds " + std::to_string(size) + " bytes, the chip needs " +
                     std::to_string(geometry.FileSize()));
}

void TSimDevice::Log(const std::string& line) {
  if (fLog) fLog->Line(line);
}

void TSimDevice::Status(const std::string& text) {
  if (fStatus) fStatus(1, text);
}

bool TSimDevice::Fail(const std::string& line) {
  Log(line);
  Status("");
  return false;
}

// Runs an operation chunk by chunk the way the box's host does: a pause in
// slow mode, the window's messages, then the stop byte, then the work.
class TSimDevice::TChunkLoop {
 public:
  explicit TChunkLoop(TSimDevice& device) : fDevice(device) {}
  // False when the user asked to stop before this chunk.
  bool Next() {
    if (fDevice.fFaults.SlowMs) std::this_thread::sleep_for(std::chrono::milliseconds(fDevice.fFaults.SlowMs));
    if (fDevice.fPump) fDevice.fPump();
    return !(fDevice.fStop && *fDevice.fStop != 0);
  }
  void Advance(uint32_t bytes) {
    if (fDevice.fProgress && bytes) fDevice.fProgress->Advance(bytes);
  }

 private:
  TSimDevice& fDevice;
};

std::string TSimDevice::RangeError(const char* what, uint32_t address, uint32_t length, uint32_t alignment) const {
  const std::string range = std::string("ERROR: ") + what + " at " + Hex(address) + ", " + Hex(length) + " bytes: ";
  if (address % alignment || length % alignment) return range + "not a multiple of " + Hex(alignment) + " bytes.";
  if (uint64_t(address) + length > fGeometry.MainSize())
    return range + "beyond the end of FLASH1 (" + Hex(uint32_t(fGeometry.MainSize())) + " bytes).";
  return {};
}

std::string TSimDevice::HostFile(const std::string& name) const {
  if (fHostDir.empty()) return name;
  const std::u8string p = (PathFromUtf8(fHostDir) / PathFromUtf8(name)).u8string();
  return std::string(p.begin(), p.end());
}

bool TSimDevice::ConnectDevice(const uint8_t* descriptor) {
  try {
    if (!descriptor || U32(descriptor + 12) != kDescriptorMark) return Fail("ERROR: Unknown plug-in, connection refused.");
    Log("Connecting to the phone...");
    if (fFaults.RefuseConnect) return Fail("ERROR: The phone does not answer.");
    fConnected = true;
    Log("Connected. DCC loader started.");
    return true;
  } catch (const std::exception& e) {
    return Fail(std::string("ERROR: ") + e.what());
  }
}

void TSimDevice::DisconnectDevice() {
  if (!fConnected) return;
  fConnected = false;
  try {
    Log("Disconnected.");
    Status("");
  } catch (...) {
  }
}

bool TSimDevice::GetFlashChipInfo(uint32_t chipNumber, TFlashChipInfo& info) {
  info = TFlashChipInfo{};
  try {
    if (!fConnected) return Fail("ERROR: No phone connected.");
    if (chipNumber != kChipNumber) return Fail("ERROR: There is no FLASH" + std::to_string(chipNumber) + " chip.");
    if (fFaults.UnrecognisedChip) return Fail("Unknown NAND chip ID 0xEC 0x00.");
    info.MainSizeMiB = static_cast<uint32_t>(fGeometry.MainSize() / kMiB);
    info.ChipBlockSize = fGeometry.BlockSize;
    info.ChipPageSize = fGeometry.PageSize;
    Log("FLASH1: NAND " + std::to_string(info.MainSizeMiB) + " MiB, page " + Hex(info.ChipPageSize, 4) + ", block " +
        Hex(info.ChipBlockSize) + ".");
    return true;
  } catch (const std::exception& e) {
    return Fail(std::string("ERROR: ") + e.what());
  }
}

bool TSimDevice::ReadFlash(uint32_t chipNumber, uint32_t address, uint32_t length, uint32_t zero1, uint32_t zero2,
                           const char* fileTag, uint8_t* buffer, int32_t bound, uint32_t flag) {
  try {
    ++fReads;
    if (!fConnected) return Fail("ERROR: No phone connected.");
    if (chipNumber != kChipNumber || zero1 != 0 || zero2 != 0)
      return Fail("ERROR: ReadFlash: unexpected arguments (chip " + std::to_string(chipNumber) + ", " +
                  Hex(zero1) + ", " + Hex(zero2) + ").");
    const bool toFiles = fileTag && *fileTag;
    // The two ways the module reads, and nothing in between.
    if (toFiles ? (bound != -1 || flag != 1) : (!buffer || bound != 0 || flag != 0))
      return Fail("ERROR: ReadFlash: unexpected arguments (buffer " + std::string(buffer ? "set" : "null") +
                  ", bound " + std::to_string(bound) + ", flag " + std::to_string(flag) + ").");
    if (const std::string e = RangeError("Read", address, length, fGeometry.PageSize); !e.empty()) return Fail(e);
    Log("Reading FLASH1 at " + Hex(address) + ", " + Hex(length) + " bytes...");
    if (fFaults.FailRead == fReads) return Fail("ERROR: Read failed: the phone stopped answering.");
    Status("Reading FLASH1...");
    const bool ok = toFiles ? ReadToFiles(address, length, fileTag) : ReadToBuffer(address, length, buffer);
    if (!ok) return Fail("ERROR: Operation stopped by user.");
    Log("Read OK.");
    Status("");
    return true;
  } catch (const std::exception& e) {
    return Fail(std::string("ERROR: ") + e.what());
  }
}

bool TSimDevice::ReadToFiles(uint32_t address, uint32_t length, const std::string& tag) {
  const std::string mainName = HostFile(MainFileName(tag)), spareName = HostFile(SpareFileName(tag)),
                    readName = HostFile(ReadFileName(tag));
  // A read that does not finish leaves no files: the module would take a
  // half-written main file of the right size for data.
  auto removeAll = [&] {
    std::error_code ec;
    for (const auto* n : {&mainName, &spareName, &readName}) std::filesystem::remove(PathFromUtf8(*n), ec);
  };
  bool done = false;
  try {
    TFile device(fPath, TFile::Mode::Read);
    TFile mainFile(mainName, TFile::Mode::Create), spareFile(spareName, TFile::Mode::Create);
    std::vector<uint8_t> chunk(fGeometry.BlockSize);
    TChunkLoop loop(*this);
    for (uint32_t pos = 0; pos < length;) {
      if (!loop.Next()) {
        mainFile.Close();
        spareFile.Close();
        removeAll();
        return false;
      }
      const uint32_t n = std::min(fGeometry.BlockSize, length - pos);
      const uint64_t at = uint64_t(address) + pos;
      device.ReadAt(at, chunk.data(), n);
      mainFile.Append(chunk.data(), n);
      device.ReadAt(fGeometry.MainSize() + at / 32, chunk.data(), n / 32);
      spareFile.Append(chunk.data(), n / 32);
      pos += n;
      loop.Advance(n + n / 32);
    }
    mainFile.Close();
    spareFile.Close();
    // The loader's own record of the read; the module removes it unread.
    TFile readFile(readName, TFile::Mode::Create);
    const std::string record = "FLASH1 " + Hex(address) + " " + Hex(length) + "\r\n";
    readFile.Append(reinterpret_cast<const uint8_t*>(record.data()), record.size());
    readFile.Close();
    done = true;
  } catch (...) {
    if (!done) removeAll();
    throw;
  }
  return true;
}

bool TSimDevice::ReadToBuffer(uint32_t address, uint32_t length, uint8_t* buffer) {
  TFile device(fPath, TFile::Mode::Read);
  TChunkLoop loop(*this);
  for (uint32_t pos = 0; pos < length;) {
    if (!loop.Next()) return false;
    const uint32_t n = std::min(fGeometry.BlockSize, length - pos);
    const uint64_t at = uint64_t(address) + pos;
    device.ReadAt(at, buffer + pos, n);
    device.ReadAt(fGeometry.MainSize() + at / 32, buffer + length + pos / 32, n / 32);
    pos += n;
    loop.Advance(n + n / 32);
  }
  return true;
}

bool TSimDevice::WriteFlash(const TFlashWriteRequest& r, const TWriteTexts& texts) {
  try {
    ++fWrites;
    // The bytes the module always sets the same way; anything else is a
    // request the box's host would not understand.
    struct {
      const char* Name;
      uint32_t Got, Want;
    } const fixed[] = {
        {"chip number", r.ChipNumber, kChipNumber}, {"byte 88", r.Flag88, 1},   {"mData", r.mData, 0},
        {"byte 100", r.Flag100, 0},                 {"pData", r.pData, 0},      {"byte 113", r.Flag113, 0},
        {"byte 114", r.Flag114, 0},                 {"byte 115", r.Flag115, 1}, {"byte 116", r.Flag116, 1},
        {"byte 128", r.Flag128, 1},
    };
    for (const auto& f : fixed)
      if (f.Got != f.Want)
        return Fail("ERROR: WriteFlash: " + std::string(f.Name) + " is " + Hex(f.Got) + ", expected " + Hex(f.Want) + ".");
    if (r.AlreadyConnected > 1 || r.EccEnabled > 1)
      return Fail("ERROR: WriteFlash: connection flag " + std::to_string(r.AlreadyConnected) + ", ECC flag " +
                  std::to_string(r.EccEnabled) + ".");
    if (!texts.EmptyText.empty() || texts.FileTag != kHostFileTag)
      return Fail("ERROR: WriteFlash: unexpected texts \"" + texts.EmptyText + "\", \"" + texts.FileTag + "\".");
    if (r.AlreadyConnected == 0) {
      if (!ConnectDevice(r.Descriptor)) return false;
    } else if (!fConnected) {
      return Fail("ERROR: No phone connected.");
    }
    if (const std::string e = RangeError("Write", r.Address, r.Length, fGeometry.PageSize); !e.empty()) return Fail(e);
    Log("Writing FLASH1 at " + Hex(r.Address) + ", " + Hex(r.Length) + " bytes" + (r.EccEnabled ? ", ECC on" : "") +
        "...");
    if (fFaults.FailWrite == fWrites) return Fail("ERROR: Write failed: the phone stopped answering.");

    TFile image(texts.ImageFileName, TFile::Mode::Read);
    const uint64_t imageSize = image.Size();
    // The image's spare area starts after its last whole block of main data.
    const uint64_t imageMain = (imageSize / 528 * 512) / fGeometry.BlockSize * fGeometry.BlockSize;
    const uint64_t end = uint64_t(r.Address) + r.Length;
    if (end > imageMain || imageMain + end / 32 > imageSize)
      return Fail("ERROR: The image file " + texts.ImageFileName + " does not hold " + Hex(r.Address) + ", " +
                  Hex(r.Length) + " bytes.");
    Status("Writing FLASH1...");
    TFile device(fPath, TFile::Mode::Update);
    std::vector<uint8_t> chunk(fGeometry.BlockSize);
    TChunkLoop loop(*this);
    for (uint32_t pos = 0; pos < r.Length;) {
      if (!loop.Next()) {
        device.Close();
        return Fail("ERROR: Operation stopped by user.");
      }
      const uint32_t n = std::min(fGeometry.BlockSize, r.Length - pos);
      const uint64_t at = uint64_t(r.Address) + pos;
      image.ReadAt(at, chunk.data(), n);
      device.WriteAt(at, chunk.data(), n);
      image.ReadAt(imageMain + at / 32, chunk.data(), n / 32);
      device.WriteAt(fGeometry.MainSize() + at / 32, chunk.data(), n / 32);
      pos += n;
      loop.Advance(n + n / 32);
    }
    device.Close();
    Log("Write OK.");
    Status("");
    return true;
  } catch (const std::exception& e) {
    return Fail(std::string("ERROR: ") + e.what());
  }
}

bool TSimDevice::EraseFlash(uint32_t chipNumber, uint32_t address, uint32_t length, uint32_t zero1, uint32_t zero2,
                            uint32_t one) {
  try {
    ++fErases;
    if (!fConnected) return Fail("ERROR: No phone connected.");
    if (chipNumber != kChipNumber || zero1 != 0 || zero2 != 0 || one != 1)
      return Fail("ERROR: EraseFlash: unexpected arguments (chip " + std::to_string(chipNumber) + ", " + Hex(zero1) +
                  ", " + Hex(zero2) + ", " + Hex(one) + ").");
    // NAND erases whole blocks only.
    if (const std::string e = RangeError("Erase", address, length, fGeometry.BlockSize); !e.empty()) return Fail(e);
    Log("Erasing FLASH1 at " + Hex(address) + ", " + Hex(length) + " bytes...");
    if (fFaults.FailErase == fErases) return Fail("ERROR: Erase failed: the phone stopped answering.");
    Status("Erasing FLASH1...");
    TFile device(fPath, TFile::Mode::Update);
    const std::vector<uint8_t> erased(fGeometry.BlockSize, 0xFF);
    TChunkLoop loop(*this);
    for (uint32_t pos = 0; pos < length; pos += fGeometry.BlockSize) {
      if (!loop.Next()) {
        device.Close();
        return Fail("ERROR: Operation stopped by user.");
      }
      const uint64_t at = uint64_t(address) + pos;
      device.WriteAt(at, erased.data(), fGeometry.BlockSize);
      device.WriteAt(fGeometry.MainSize() + at / 32, erased.data(), fGeometry.BlockSize / 32);
      // The module's gauge counts main bytes only for an erase.
      loop.Advance(fGeometry.BlockSize);
    }
    device.Close();
    Log("Erase OK.");
    Status("");
    return true;
  } catch (const std::exception& e) {
    return Fail(std::string("ERROR: ") + e.what());
  }
}

}  // namespace kovra::sim
