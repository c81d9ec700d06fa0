#pragma once
// The services our host hands the plug-in at registration: stdcall
// functions with the box's argument lists, served by the simulated NAND
// device when one is set. Device work reports the way the box does: lines
// appended to the plug-in's log memo, the gauge advanced in bytes, window
// messages processed between chunks, and a stop when the host's stop byte
// is set.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SimDevice.h"

namespace kovra::host {

class THostServer {
 public:
  // The one server behind the stdcall functions (they carry no context).
  static THostServer& Instance();

  // nullptr: the device services answer false, as a host without a phone.
  void SetDevice(std::unique_ptr<sim::TSimDevice> device);
  sim::TSimDevice* Device() { return fDevice.get(); }

  void SetHostWindow(HWND window) { fHostWindow = window; }
  HWND HostWindow() const { return fHostWindow; }
  // The byte whose address DoPluginMain receives.
  uint8_t* StopByte() { return &fStopByte; }
  // Device log lines are also printed to standard output, for the tests.
  void SetEcho(bool echo) { fEcho = echo; }

  HWND LogView = nullptr;  // as attached by service 18
  HWND Gauge = nullptr;    // as attached by service 27
  std::vector<uint32_t> Calls;  // service IDs in call order

  // Used by the service functions.
  void Record(uint32_t id) { Calls.push_back(id); }
  void AppendLog(const std::string& utf8);
  void BeginDeviceCall(HWND gauge, uint32_t statusCallback);

 private:
  THostServer();
  class TMemoLog;
  class TGaugeProgress;

  std::unique_ptr<sim::TSimDevice> fDevice;
  std::unique_ptr<TMemoLog> fLog;
  std::unique_ptr<TGaugeProgress> fProgress;
  HWND fHostWindow = nullptr;
  HWND fCallGauge = nullptr;
  uint32_t fStatusCallback = 0;
  uint8_t fStopByte = 0;
  bool fEcho = true;
};

// The callback for a service ID (the 14 the plug-in asks for), or nullptr.
void* HostServiceFor(uint32_t id);

// Processes the thread's pending window messages; a WM_QUIT is put back for
// the loop that owns it.
void ProcessPendingMessages();

// The folder of this program's executable, UTF-8, where reads leave files.
std::string ExecutableFolder();

}  // namespace kovra::host
