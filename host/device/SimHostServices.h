#pragma once
// The host's services served by the simulated device, for native tests of
// the module's device commands: what the box's host does behind the
// callbacks, minus the windows. The handles the module passes are recorded,
// and its log lines and gauge steps go to the sinks a test sets.
#include <functional>
#include <string>
#include <vector>

#include "SimDevice.h"
#include "device/HostServices.h"

namespace kovra::sim {

class TSimHostServices : public THostServices {
 public:
  explicit TSimHostServices(TSimDevice& device) : fDevice(device) {}

  TSimDevice& Device() { return fDevice; }
  void SetHostWindow(const THostWindow& window) { fHostWindow = window; }

  // Every service call in order, by service ID; the write requests as sent.
  std::vector<uint32_t> Calls;
  std::vector<TFlashWriteRequest> WriteRequests;
  THostHandle LogView = 0;     // as attached
  THostHandle Gauge = 0;       // as attached
  THostHandle LastGauge = 0;   // as passed to the last read or write

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
  TSimDevice& fDevice;
  THostWindow fHostWindow{0, 800, 600, 0};
};

}  // namespace kovra::sim
