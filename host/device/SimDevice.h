#pragma once
// A simulated NAND chip behind the host's services. Its content lives in a
// file laid out like a full-flash image (main area of every block, then the
// spare area, one thirty-second as long), so that a device can be compared
// byte for byte with an image the module saves. The file is opened for each
// operation, so a test may read it between calls.
//
// The device behaves like the box's host as the module sees it: it reports
// into a log, advances a progress gauge in bytes, lets the window process
// messages between chunks and stops when the host's stop byte is set. Faults
// can be switched on to walk the module's failure paths.
#include <cstdint>
#include <functional>
#include <string>

#include "device/HostServices.h"

namespace kovra::sim {

struct TChipGeometry {
  uint32_t PageSize = 2048;
  uint32_t BlockSize = 0x20000;
  uint32_t BlockCount = 1024;

  uint64_t MainSize() const { return uint64_t(BlockSize) * BlockCount; }
  uint64_t FileSize() const { return MainSize() + MainSize() / 32; }
};

// "" when the geometry is one the device can simulate, else why not: page of
// 512, 2048 or 4096 bytes, a block of a power-of-two number of pages, a whole
// number of MiB of main data, a file below 4 GiB.
std::string CheckGeometry(const TChipGeometry& geometry);

// "PAGE:BLOCK:BLOCKS", numbers decimal or 0x-hex ("2048:0x20000:1024").
// False (and error set) for a malformed or unusable geometry.
bool ParseChipGeometry(const std::string& text, TChipGeometry& geometry, std::string& error);

// Writes an erased device file (every byte 0xFF) of the geometry's size.
// Throws TFileError when it cannot be written.
void CreateErasedDeviceFile(const std::string& path, const TChipGeometry& geometry);

struct TSimFaults {
  bool RefuseConnect = false;
  bool UnrecognisedChip = false;  // GetFlashChipInfo reports page size 0
  uint32_t FailRead = 0;          // the Nth ReadFlash call fails (1-based; 0: never)
  uint32_t FailWrite = 0;
  uint32_t FailErase = 0;
  uint32_t SlowMs = 0;  // pause before every chunk, so a stop can be pressed
};

class TDeviceLog {
 public:
  virtual ~TDeviceLog() = default;
  virtual void Line(const std::string& utf8) = 0;
};

class TDeviceProgress {
 public:
  virtual ~TDeviceProgress() = default;
  virtual void Advance(uint32_t bytes) = 0;
};

// What the services check beyond the request's bytes: the texts its address
// fields point to, as the host read them.
struct TWriteTexts {
  std::string ImageFileName;  // UTF-8
  std::string EmptyText;      // must be empty
  std::string FileTag;        // must be "tQcm"
};

class TSimDevice {
 public:
  // Opens an existing device file whose size must match the geometry.
  // Throws TFileError when it is missing or of another size, and
  // std::invalid_argument for an unusable geometry.
  TSimDevice(std::string path, const TChipGeometry& geometry);

  const std::string& Path() const { return fPath; }
  const TChipGeometry& Geometry() const { return fGeometry; }
  TSimFaults& Faults() { return fFaults; }

  // The folder where tagged reads leave their files (UTF-8, with or
  // without a trailing separator).
  void SetHostDir(std::string dir) { fHostDir = std::move(dir); }
  void SetLog(TDeviceLog* log) { fLog = log; }
  void SetProgress(TDeviceProgress* progress) { fProgress = progress; }
  void SetProcessMessages(std::function<void()> pump) { fPump = std::move(pump); }
  void SetStopByte(const volatile uint8_t* stop) { fStop = stop; }
  // Short texts about the running operation for the module's status bar.
  void SetStatus(std::function<void(uint32_t panel, const std::string& utf8)> status) {
    fStatus = std::move(status);
  }

  bool Connected() const { return fConnected; }
  uint32_t ReadCalls() const { return fReads; }
  uint32_t WriteCalls() const { return fWrites; }
  uint32_t EraseCalls() const { return fErases; }

  // The services, with the host's argument lists. Each returns false after
  // writing its reason into the log; none throws.
  bool ConnectDevice(const uint8_t* descriptor);
  void DisconnectDevice();
  bool GetFlashChipInfo(uint32_t chipNumber, TFlashChipInfo& info);
  // buffer (buffer mode) must hold length + length / 32 bytes.
  bool ReadFlash(uint32_t chipNumber, uint32_t address, uint32_t length, uint32_t zero1, uint32_t zero2,
                 const char* fileTag, uint8_t* buffer, int32_t bound, uint32_t flag);
  bool WriteFlash(const TFlashWriteRequest& request, const TWriteTexts& texts);
  bool EraseFlash(uint32_t chipNumber, uint32_t address, uint32_t length, uint32_t zero1, uint32_t zero2,
                  uint32_t one);

  // A line in the host's voice, for what the services around the device say.
  void Log(const std::string& line);

  // Names of the files a tagged read leaves in the host folder.
  static std::string MainFileName(const std::string& tag) { return "$" + tag + "Main$.$$$"; }
  static std::string SpareFileName(const std::string& tag) { return "$" + tag + "Redu$.$$$"; }
  static std::string ReadFileName(const std::string& tag) { return "$" + tag + "Read$.$$$"; }

 private:
  class TChunkLoop;

  void Status(const std::string& text);
  bool Fail(const std::string& line);
  std::string RangeError(const char* what, uint32_t address, uint32_t length, uint32_t alignment) const;
  std::string HostFile(const std::string& name) const;
  bool ReadToFiles(uint32_t address, uint32_t length, const std::string& tag);
  bool ReadToBuffer(uint32_t address, uint32_t length, uint8_t* buffer);

  std::string fPath;
  TChipGeometry fGeometry;
  TSimFaults fFaults;
  std::string fHostDir;
  TDeviceLog* fLog = nullptr;
  TDeviceProgress* fProgress = nullptr;
  std::function<void()> fPump;
  const volatile uint8_t* fStop = nullptr;
  std::function<void(uint32_t, const std::string&)> fStatus;
  bool fConnected = false;
  uint32_t fReads = 0, fWrites = 0, fErases = 0;
};

}  // namespace kovra::sim
