#include "SimHostServices.h"

namespace kovra::sim {

bool TSimHostServices::ConnectDevice(const uint8_t* descriptor) {
  Calls.push_back(0);
  return fDevice.ConnectDevice(descriptor);
}

void TSimHostServices::GetHostWindowRect(int32_t& width, int32_t& height, int32_t& left, int32_t& top) {
  Calls.push_back(6);
  width = fHostWindow.Width;
  height = fHostWindow.Height;
  left = fHostWindow.Left;
  top = fHostWindow.Top;
}

bool TSimHostServices::GetFlashChipInfo(uint32_t chipNumber, TFlashChipInfo& info) {
  Calls.push_back(16);
  return fDevice.GetFlashChipInfo(chipNumber, info);
}

void TSimHostServices::AttachLogView(THostHandle logView) {
  Calls.push_back(18);
  LogView = logView;
}

void TSimHostServices::DisconnectDevice() {
  Calls.push_back(20);
  fDevice.DisconnectDevice();
}

bool TSimHostServices::ReadFlash(uint32_t chipNumber, uint32_t address, uint32_t length, const char* fileTag,
                                 std::span<uint8_t> buffer, int32_t bound, THostHandle gauge, uint32_t flag,
                                 const THostWindow&) {
  Calls.push_back(24);
  LastGauge = gauge;
  const bool toFiles = fileTag && *fileTag;
  // Natively we know the buffer's size: a short one is the caller's fault,
  // refused before the device writes past it.
  if (!toFiles && buffer.data() && buffer.size() < uint64_t(length) + length / 32) {
    fDevice.Log("ERROR: ReadFlash: the buffer holds " + std::to_string(buffer.size()) + " bytes, the read needs " +
                std::to_string(uint64_t(length) + length / 32) + ".");
    return false;
  }
  return fDevice.ReadFlash(chipNumber, address, length, 0, 0, fileTag, buffer.data(), bound, flag);
}

bool TSimHostServices::WriteFlash(const TFlashWriteRequest& request, const std::string& imageFileName) {
  Calls.push_back(25);
  WriteRequests.push_back(request);
  LastGauge = request.Gauge;
  // The texts that the Windows side points the request at.
  return fDevice.WriteFlash(request, {imageFileName, "", kHostFileTag});
}

bool TSimHostServices::EraseFlash(uint32_t chipNumber, uint32_t address, uint32_t length, const THostWindow&) {
  Calls.push_back(26);
  return fDevice.EraseFlash(chipNumber, address, length, 0, 0, 1);
}

void TSimHostServices::AttachProgressGauge(THostHandle gauge) {
  Calls.push_back(27);
  Gauge = gauge;
}

}  // namespace kovra::sim
