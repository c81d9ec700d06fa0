#include "PluginModule.h"

#include "Registry.h"
#include "WinText.h"

namespace kovra::win {
namespace {

HMODULE gModule = nullptr;
PluginModule* gInstance = nullptr;

// Host service signatures: 32-bit stdcall, every argument pushed as 32 bits.
using GetHostWindowRectFn = uint32_t(__stdcall*)(int32_t* width, int32_t* height, int32_t* left,
                                                 int32_t* top);
using AttachWindowFn = uint32_t(__stdcall*)(HWND window);

}  // namespace

void SetModuleHandle(HMODULE module) { gModule = module; }
HMODULE ModuleHandle() { return gModule ? gModule : GetModuleHandleW(nullptr); }

ModuleResource ModuleResources::Find(const char* name, const char* type) const {
  const std::wstring wname = Widen(name), wtype = Widen(type);
  HRSRC info = FindResourceW(fModule, wname.c_str(), wtype.c_str());
  if (!info) return {};
  HGLOBAL handle = LoadResource(fModule, info);
  const void* data = handle ? LockResource(handle) : nullptr;
  if (!data) return {};
  return {static_cast<const uint8_t*>(data), static_cast<uint32_t>(SizeofResource(fModule, info)),
          HostAddress(data)};
}

PluginModule::PluginModule(HMODULE module)
    : fModule(module),
      fResources(module),
      fRegistration(fResources, HostAddress(kPluginTitle), HostAddress(kPluginMaker)) {
  InstallSystemCodePage();
  InstallWindowsRegistry();
  MainWindow::RegisterClasses(module);
  fMain = std::make_unique<MainWindow>(module);
  // Device commands reach the host through the callbacks of the handshake.
  fHost = std::make_unique<THostServicesAdapter>([this](uint32_t id) { return fRegistration.ServiceSlot(id); });
  TQualcommForm& form = fMain->Form();
  form.SetHostServices(fHost.get());
  form.SetPluginDescriptor(fRegistration.PluginDescriptor());
  SetStatusTextHandler([this](uint32_t panel, const std::string& text) {
    if (fMain) fMain->Form().StatusTextCallback(panel, text);
  });
}

PluginModule& PluginModule::Instance() {
  if (!gInstance) gInstance = new PluginModule(ModuleHandle());
  return *gInstance;
}

void PluginModule::Release() {
  if (!gInstance) return;
  const HMODULE module = gInstance->fModule;
  SetStatusTextHandler(nullptr);
  delete gInstance;
  gInstance = nullptr;
  MainWindow::UnregisterClasses(module);
}

void PluginModule::ProcessExit() {
  if (gInstance && gInstance->fMain) gInstance->fMain->Form().DeleteWorkingImage();
}

void PluginModule::Initialize(uint32_t requestType, void* arg, uint32_t* inOut) {
  fRegistration.Initialize(requestType, arg, inOut);
}

uint32_t PluginModule::DoPluginMain(uint8_t* stopFlag) {
  // The host must have registered 6, 18 and 27 before showing us; a host that
  // did not gets an uncentred window rather than a jump through null.
  int32_t width = 0, height = 0, left = 0, top = 0;
  HWND wnd = fMain->Handle();
  RECT outer;
  GetWindowRect(wnd, &outer);
  if (auto getRect = reinterpret_cast<GetHostWindowRectFn>(fRegistration.ServiceSlot(6))) {
    getRect(&width, &height, &left, &top);
    const WindowPlacement p =
        CenterOver(left, top, width, height, outer.right - outer.left, outer.bottom - outer.top);
    SetWindowPos(wnd, nullptr, p.Left, p.Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  fHostStopFlag = stopFlag;
  fMain->Form().SetHostStopFlag(stopFlag);
  fMain->Form().SetHostGauge(HostAddress(fMain->Gauge()));
  if (auto attachLog = reinterpret_cast<AttachWindowFn>(fRegistration.ServiceSlot(18)))
    attachLog(fMain->Memo());
  if (auto attachGauge = reinterpret_cast<AttachWindowFn>(fRegistration.ServiceSlot(27)))
    attachGauge(fMain->Gauge());
  fMain->ShowModal();
  return kAnswerNoMore;
}

}  // namespace kovra::win
