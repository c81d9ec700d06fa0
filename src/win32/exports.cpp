// The module's two exported entries. Their undecorated names come from
// QualcommTool.def; nothing here may let an exception reach the host.
#include <windows.h>

#include <cstdint>

#include "PluginModule.h"
#include "plugin/Registration.h"

using kovra::win::PluginModule;

extern "C" void __stdcall Initialize(uint32_t requestType, void* arg, uint32_t* inOut) {
  try {
    PluginModule::Instance().Initialize(requestType, arg, inOut);
  } catch (...) {
  }
}

extern "C" uint32_t __stdcall DoPluginMain(uint8_t* stopFlag) {
  try {
    return PluginModule::Instance().DoPluginMain(stopFlag);
  } catch (...) {
    return kovra::kAnswerNoMore;
  }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    kovra::win::SetModuleHandle(instance);
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // FreeLibrary: the host may load us again, so windows and classes go now.
    try {
      PluginModule::Release();
    } catch (...) {
    }
  } else if (reason == DLL_PROCESS_DETACH) {
    // Process exit: the system reclaims windows and memory, but not files;
    // only the working image is deleted.
    try {
      PluginModule::ProcessExit();
    } catch (...) {
    }
  }
  return TRUE;
}
