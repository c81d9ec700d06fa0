#pragma once
// Everything the two exported entries reach: the registration protocol, the
// stored host callbacks and the module's windows.
#include <windows.h>

#include <cstdint>
#include <memory>

#include "HostServicesAdapter.h"
#include "MainWindow.h"
#include "plugin/Registration.h"

namespace kovra::win {

// Resources of the module's own file, found through its own handle.
class ModuleResources : public ResourceSource {
 public:
  explicit ModuleResources(HMODULE module) : fModule(module) {}
  ModuleResource Find(const char* name, const char* type) const override;

 private:
  HMODULE fModule;
};

class PluginModule {
 public:
  // The module's one instance, created on the first call of either entry:
  // creating windows inside DllMain would run under the loader lock.
  static PluginModule& Instance();
  // Releases everything at unload; safe when nothing was created.
  static void Release();
  // The host process ends without unloading us: windows and memory go with
  // the process, but the working image file would stay in the host's folder.
  static void ProcessExit();

  void Initialize(uint32_t requestType, void* arg, uint32_t* inOut);
  uint32_t DoPluginMain(uint8_t* stopFlag);

  uint8_t* HostStopFlag() const { return fHostStopFlag; }
  MainWindow& Main() { return *fMain; }

 private:
  explicit PluginModule(HMODULE module);

  HMODULE fModule;
  ModuleResources fResources;
  TPluginRegistration fRegistration;
  std::unique_ptr<THostServicesAdapter> fHost;
  std::unique_ptr<MainWindow> fMain;
  uint8_t* fHostStopFlag = nullptr;
};

// The module handle, set by DllMain (or by a test program that links the
// Windows layer into an executable).
void SetModuleHandle(HMODULE module);
HMODULE ModuleHandle();

}  // namespace kovra::win
