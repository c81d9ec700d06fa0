#pragma once
// The host services as the box's host serves them: stdcall callbacks stored
// by the registration handshake, called with the host's exact argument lists
// (every argument pushed as 32 bits, bool results read as one byte, the write
// request passed by value).
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "device/HostServices.h"

namespace kovra::win {

// The callback the host registered for a service ID, or nullptr.
using ServiceSlotLookup = std::function<void*(uint32_t id)>;

class THostServicesAdapter final : public THostServices {
 public:
  explicit THostServicesAdapter(ServiceSlotLookup slot) : fSlot(std::move(slot)) {}

  // A service the host never registered is not called: results are false and
  // out-values stay as they were.
  bool ConnectDevice(const uint8_t* descriptor) override;
  void GetHostWindowRect(int32_t& width, int32_t& height, int32_t& left, int32_t& top) override;
  bool GetFlashChipInfo(uint32_t chipNumber, TFlashChipInfo& info) override;
  void AttachLogView(THostHandle logView) override;
  void DisconnectDevice() override;
  bool ReadFlash(uint32_t chipNumber, uint32_t address, uint32_t length, const char* fileTag,
                 std::span<uint8_t> buffer, int32_t bound, THostHandle gauge, uint32_t flag,
                 const THostWindow& window) override;
  bool WriteFlash(const TFlashWriteRequest& request, const std::string& imageFileName) override;
  bool EraseFlash(uint32_t chipNumber, uint32_t address, uint32_t length, const THostWindow& window) override;
  void AttachProgressGauge(THostHandle gauge) override;

 private:
  template <typename Fn>
  Fn Slot(uint32_t id) const {
    return reinterpret_cast<Fn>(fSlot ? fSlot(id) : nullptr);
  }
  ServiceSlotLookup fSlot;
};

// The module's status callback, handed to the host with every read, write
// and erase: sets status bar panel 0, 1 or 2.
void __stdcall StatusTextCallback(uint32_t reserved, uint32_t panel, const wchar_t* text);

// Where StatusTextCallback's texts go (UTF-8). Texts for other panels are
// dropped, and so is everything while no handler is set.
void SetStatusTextHandler(std::function<void(uint32_t panel, const std::string& text)> handler);

// 32-bit address of something the host will read. The host keeps these in 32
// bits, so an address above 4 GiB (possible only in an x86-64 build) gives 0:
// callers refuse the call rather than hand the host a truncated address.
inline uint32_t HostAddress(const void* p) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(p);
  if constexpr (sizeof(uintptr_t) > sizeof(uint32_t)) {
    if (v > UINT32_MAX) return 0;
  }
  return static_cast<uint32_t>(v);
}

}  // namespace kovra::win
