#include "HostServicesAdapter.h"

#include <cstring>
#include <iterator>

#include "WinText.h"

namespace kovra::win {
namespace {

using StatusFn = void(__stdcall*)(uint32_t, uint32_t, const wchar_t*);

// The host's signatures. Bool results are one byte: whatever the host leaves
// in the rest of the register is not ours to read.
using ConnectDeviceFn = uint8_t(__stdcall*)(const uint8_t* descriptor);
using GetHostWindowRectFn = void(__stdcall*)(int32_t* width, int32_t* height, int32_t* left, int32_t* top);
using GetFlashChipInfoFn = uint8_t(__stdcall*)(uint32_t chip, TFlashChipInfo* info);
using AttachFn = void(__stdcall*)(uint32_t handle);
using DisconnectDeviceFn = uint8_t(__stdcall*)();
using ReadFlashFn = uint8_t(__stdcall*)(uint32_t chip, uint32_t address, uint32_t length, uint32_t zero1,
                                        uint32_t zero2, const char* fileTag, uint8_t* buffer, int32_t bound,
                                        uint32_t gauge, uint32_t flag, StatusFn status, int32_t left,
                                        int32_t width, int32_t height, int32_t top);
using WriteFlashFn = uint8_t(__stdcall*)(TFlashWriteRequest request);
using EraseFlashFn = uint8_t(__stdcall*)(uint32_t chip, uint32_t address, uint32_t length, uint32_t zero1,
                                         uint32_t zero2, uint32_t one, StatusFn status, int32_t left,
                                         int32_t width, int32_t height, int32_t top);

std::function<void(uint32_t, const std::string&)>& StatusHandler() {
  static std::function<void(uint32_t, const std::string&)> handler;
  return handler;
}

// The texts every write request points to; they outlive any call.
constexpr wchar_t kEmptyText[] = L"";
constexpr wchar_t kFileTagW[] = L"tQcm";

// The image file's name for a write request. The request holds only its
// 32-bit address, so it lives in the module's image (which every build places
// below 4 GiB) rather than on the heap. Device commands run one at a time on
// the window's thread, so one buffer serves them all.
wchar_t gImageName[32768];

// The status callback's address as the host stores it; 0 when it does not fit.
uint32_t StatusCallbackAddress() { return HostAddress(reinterpret_cast<const void*>(&StatusTextCallback)); }

}  // namespace

void __stdcall StatusTextCallback(uint32_t /*reserved*/, uint32_t panel, const wchar_t* text) {
  // Called by the host from inside its services: nothing may escape.
  try {
    auto& handler = StatusHandler();
    if (panel > 2 || !handler) return;
    handler(panel, text ? Narrow(text) : std::string());
  } catch (...) {
  }
}

void SetStatusTextHandler(std::function<void(uint32_t panel, const std::string& text)> handler) {
  StatusHandler() = std::move(handler);
}

bool THostServicesAdapter::ConnectDevice(const uint8_t* descriptor) {
  const auto fn = Slot<ConnectDeviceFn>(0);
  return fn && fn(descriptor) != 0;
}

void THostServicesAdapter::GetHostWindowRect(int32_t& width, int32_t& height, int32_t& left, int32_t& top) {
  if (const auto fn = Slot<GetHostWindowRectFn>(6)) fn(&width, &height, &left, &top);
}

bool THostServicesAdapter::GetFlashChipInfo(uint32_t chipNumber, TFlashChipInfo& info) {
  const auto fn = Slot<GetFlashChipInfoFn>(16);
  return fn && fn(chipNumber, &info) != 0;
}

void THostServicesAdapter::AttachLogView(THostHandle logView) {
  if (const auto fn = Slot<AttachFn>(18)) fn(logView);
}

void THostServicesAdapter::DisconnectDevice() {
  if (const auto fn = Slot<DisconnectDeviceFn>(20)) fn();
}

bool THostServicesAdapter::ReadFlash(uint32_t chipNumber, uint32_t address, uint32_t length, const char* fileTag,
                                     std::span<uint8_t> buffer, int32_t bound, THostHandle gauge, uint32_t flag,
                                     const THostWindow& w) {
  const auto fn = Slot<ReadFlashFn>(24);
  // The host may keep the status callback in 32 bits, as the write request does.
  return fn && StatusCallbackAddress() != 0 &&
         fn(chipNumber, address, length, 0, 0, fileTag, buffer.data(), bound, gauge, flag, StatusTextCallback,
            w.Left, w.Width, w.Height, w.Top) != 0;
}

bool THostServicesAdapter::WriteFlash(const TFlashWriteRequest& request, const std::string& imageFileName) {
  const auto fn = Slot<WriteFlashFn>(25);
  if (!fn) return false;
  // The name must stay valid during the call; the record only carries its address.
  const std::wstring name = Widen(imageFileName);
  if (name.size() >= std::size(gImageName)) return false;
  std::memcpy(gImageName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  TFlashWriteRequest r = request;
  r.ImageFileName = HostAddress(gImageName);
  r.EmptyText = HostAddress(kEmptyText);
  r.FileTag = HostAddress(kFileTagW);
  r.StatusCallback = StatusCallbackAddress();
  // An address that does not fit in 32 bits is refused, never truncated.
  if (!r.ImageFileName || !r.EmptyText || !r.FileTag || !r.StatusCallback) return false;
  return fn(r) != 0;
}

bool THostServicesAdapter::EraseFlash(uint32_t chipNumber, uint32_t address, uint32_t length, const THostWindow& w) {
  const auto fn = Slot<EraseFlashFn>(26);
  return fn && StatusCallbackAddress() != 0 &&
         fn(chipNumber, address, length, 0, 0, 1, StatusTextCallback, w.Left, w.Width, w.Height, w.Top) != 0;
}

void THostServicesAdapter::AttachProgressGauge(THostHandle gauge) {
  if (const auto fn = Slot<AttachFn>(27)) fn(gauge);
}

}  // namespace kovra::win
