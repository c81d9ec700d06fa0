#pragma once
// The host's services as the module calls them. Every device access goes
// through this interface: on Windows an adapter calls the stdcall callbacks
// that the registration handshake stored; natively (and in our own host) the
// simulated NAND device serves it.
//
// The two records are laid out byte for byte as the host reads them, so the
// same definitions serve the 32-bit target and the native tests.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kovra {

// A window, gauge or callback as the host knows it: a 32-bit value that only
// the platform layer interprets (an HWND or a code address on Windows).
using THostHandle = uint32_t;

inline constexpr uint32_t kChipNumber = 1;           // the module only ever talks to FLASH1
inline constexpr uint32_t kPluginDescriptorSize = 76;  // copied whole into every write request
inline constexpr char kHostFileTag[] = "tQcm";       // names the host's read files "$tQcm...$.$$$"

// The chip geometry the host reports. Offsets 0, 4 and 20 are the host's.
struct TFlashChipInfo {
  uint32_t Reserved0 = 0;
  uint32_t Reserved4 = 0;
  uint32_t MainSizeMiB = 0;
  uint32_t ChipBlockSize = 0;
  uint32_t ChipPageSize = 0;  // 0: the chip was not recognised
  uint32_t Reserved20 = 0;
};
static_assert(sizeof(TFlashChipInfo) == 24);
static_assert(offsetof(TFlashChipInfo, MainSizeMiB) == 8);
static_assert(offsetof(TFlashChipInfo, ChipBlockSize) == 12);
static_assert(offsetof(TFlashChipInfo, ChipPageSize) == 16);

// One partition write, handed to the host by value. The address fields hold
// 32-bit addresses of UTF-16 texts; only the Windows adapter fills them (the
// core has no 32-bit pointers to give), everything else is the core's.
#pragma pack(push, 1)
struct TFlashWriteRequest {
  uint32_t ChipNumber = kChipNumber;
  uint32_t Address = 0;  // partition's byte address
  uint32_t Length = 0;   // partition's byte length
  uint8_t Descriptor[kPluginDescriptorSize] = {};
  uint8_t Flag88 = 1;
  uint8_t Pad89[3] = {};
  uint32_t ImageFileName = 0;  // address of the image file's name
  uint32_t mData = 0;
  uint8_t Flag100 = 0;
  uint8_t Pad101[3] = {};
  uint32_t EmptyText = 0;  // address of an empty text
  uint32_t pData = 0;
  uint8_t AlreadyConnected = 0;
  uint8_t Flag113 = 0;
  uint8_t Flag114 = 0;
  uint8_t Flag115 = 1;
  uint8_t Flag116 = 1;
  uint8_t EccEnabled = 0;
  uint8_t Pad118[2] = {};
  uint32_t FileTag = 0;  // address of the text "tQcm"
  THostHandle Gauge = 0;
  uint8_t Flag128 = 1;
  uint8_t Pad129[3] = {};
  THostHandle StatusCallback = 0;  // address of the module's status callback
  int32_t WindowLeft = 0;
  int32_t WindowWidth = 0;
  int32_t WindowHeight = 0;
  int32_t WindowTop = 0;
};
#pragma pack(pop)
static_assert(sizeof(TFlashWriteRequest) == 152);
static_assert(offsetof(TFlashWriteRequest, ChipNumber) == 0);
static_assert(offsetof(TFlashWriteRequest, Address) == 4);
static_assert(offsetof(TFlashWriteRequest, Length) == 8);
static_assert(offsetof(TFlashWriteRequest, Descriptor) == 12);
static_assert(offsetof(TFlashWriteRequest, Flag88) == 88);
static_assert(offsetof(TFlashWriteRequest, ImageFileName) == 92);
static_assert(offsetof(TFlashWriteRequest, mData) == 96);
static_assert(offsetof(TFlashWriteRequest, Flag100) == 100);
static_assert(offsetof(TFlashWriteRequest, EmptyText) == 104);
static_assert(offsetof(TFlashWriteRequest, pData) == 108);
static_assert(offsetof(TFlashWriteRequest, AlreadyConnected) == 112);
static_assert(offsetof(TFlashWriteRequest, Flag113) == 113);
static_assert(offsetof(TFlashWriteRequest, Flag116) == 116);
static_assert(offsetof(TFlashWriteRequest, EccEnabled) == 117);
static_assert(offsetof(TFlashWriteRequest, FileTag) == 120);
static_assert(offsetof(TFlashWriteRequest, Gauge) == 124);
static_assert(offsetof(TFlashWriteRequest, Flag128) == 128);
static_assert(offsetof(TFlashWriteRequest, StatusCallback) == 132);
static_assert(offsetof(TFlashWriteRequest, WindowLeft) == 136);
static_assert(offsetof(TFlashWriteRequest, WindowWidth) == 140);
static_assert(offsetof(TFlashWriteRequest, WindowHeight) == 144);
static_assert(offsetof(TFlashWriteRequest, WindowTop) == 148);

// The main window's place, in the order the services take it.
struct THostWindow {
  int32_t Left = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Top = 0;
};

// The nine services the module calls. Results are the host's: false means
// the host failed or was stopped, and it has already said why in the log view.
// The constant arguments of the host's calling convention (the two zeros, the
// erase's 1, the status callback) are the implementation's to supply.
class THostServices {
 public:
  virtual ~THostServices() = default;

  // 0: descriptor is the 76-byte plug-in descriptor.
  virtual bool ConnectDevice(const uint8_t* descriptor) = 0;
  // 6
  virtual void GetHostWindowRect(int32_t& width, int32_t& height, int32_t& left, int32_t& top) = 0;
  // 16: the host fills info; its result is not relied on.
  virtual bool GetFlashChipInfo(uint32_t chipNumber, TFlashChipInfo& info) = 0;
  // 18
  virtual void AttachLogView(THostHandle logView) = 0;
  // 20: harmless when nothing is connected.
  virtual void DisconnectDevice() = 0;
  // 24: with fileTag "tQcm" (buffer empty, bound -1, flag 1) the host leaves
  // its files in its folder; with no tag (bound 0, flag 0) it fills buffer,
  // which must hold length + length / 32 bytes: main data, then spare data.
  virtual bool ReadFlash(uint32_t chipNumber, uint32_t address, uint32_t length, const char* fileTag,
                         std::span<uint8_t> buffer, int32_t bound, THostHandle gauge, uint32_t flag,
                         const THostWindow& window) = 0;
  // 25: the request as the core filled it; imageFileName is the UTF-8 name
  // that the request's text field must point to.
  virtual bool WriteFlash(const TFlashWriteRequest& request, const std::string& imageFileName) = 0;
  // 26
  virtual bool EraseFlash(uint32_t chipNumber, uint32_t address, uint32_t length, const THostWindow& window) = 0;
  // 27
  virtual void AttachProgressGauge(THostHandle gauge) = 0;
};

}  // namespace kovra
