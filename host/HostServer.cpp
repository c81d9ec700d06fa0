#include "HostServer.h"

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <exception>
#include <filesystem>

#include "device/HostServices.h"

namespace kovra::host {
namespace {

using StatusFn = void(__stdcall*)(uint32_t reserved, uint32_t panel, const wchar_t* text);

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

std::string Utf8(const wchar_t* text) {
  if (!text || !*text) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, s.data(), n, nullptr, nullptr);
  s.resize(static_cast<size_t>(n) - 1);
  return s;
}

// A text the plug-in points us to; a bad address reads as a text the checks refuse.
std::string TextAt(uint32_t address) {
  const auto* p = reinterpret_cast<const wchar_t*>(static_cast<uintptr_t>(address));
  if (!p) return "<null>";
  if (IsBadReadPtr(p, sizeof(wchar_t))) return "<unreadable>";
  return Utf8(p);
}

THostServer& S() { return THostServer::Instance(); }

// ---- the services: every argument 32 bits, bools one byte -------------------

uint32_t __stdcall SvcGetHostWindowRect(int32_t* width, int32_t* height, int32_t* left, int32_t* top) {
  S().Record(6);
  RECT r{};
  GetWindowRect(S().HostWindow(), &r);
  if (width) *width = r.right - r.left;
  if (height) *height = r.bottom - r.top;
  if (left) *left = r.left;
  if (top) *top = r.top;
  return 1;
}

uint32_t __stdcall SvcAttachLogView(HWND log) {
  S().Record(18);
  S().LogView = log;
  return 1;
}

uint32_t __stdcall SvcAttachProgressGauge(HWND gauge) {
  S().Record(27);
  S().Gauge = gauge;
  return 1;
}

uint8_t __stdcall SvcConnectDevice(const uint8_t* descriptor) {
  S().Record(0);
  try {
    auto* d = S().Device();
    S().BeginDeviceCall(S().Gauge, 0);
    return d && d->ConnectDevice(descriptor) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

uint8_t __stdcall SvcGetFlashChipInfo(uint32_t chip, TFlashChipInfo* info) {
  S().Record(16);
  if (!info) return 0;
  try {
    auto* d = S().Device();
    if (!d) {
      *info = TFlashChipInfo{};  // no phone: nothing recognised
      return 0;
    }
    S().BeginDeviceCall(S().Gauge, 0);
    return d->GetFlashChipInfo(chip, *info) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

uint8_t __stdcall SvcDisconnectDevice() {
  S().Record(20);
  try {
    if (auto* d = S().Device()) d->DisconnectDevice();
  } catch (...) {
  }
  return 1;
}

uint8_t __stdcall SvcReadFlash(uint32_t chip, uint32_t address, uint32_t length, uint32_t zero1, uint32_t zero2,
                               const char* fileTag, uint8_t* buffer, int32_t bound, HWND gauge, uint32_t flag,
                               StatusFn status, int32_t /*left*/, int32_t /*width*/, int32_t /*height*/,
                               int32_t /*top*/) {
  S().Record(24);
  try {
    auto* d = S().Device();
    if (!d) return 0;
    S().BeginDeviceCall(gauge, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(status)));
    return d->ReadFlash(chip, address, length, zero1, zero2, fileTag, buffer, bound, flag) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

uint8_t __stdcall SvcWriteFlash(TFlashWriteRequest request) {
  S().Record(25);
  try {
    auto* d = S().Device();
    if (!d) return 0;
    S().BeginDeviceCall(reinterpret_cast<HWND>(static_cast<uintptr_t>(request.Gauge)), request.StatusCallback);
    const sim::TWriteTexts texts{TextAt(request.ImageFileName), TextAt(request.EmptyText), TextAt(request.FileTag)};
    return d->WriteFlash(request, texts) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

uint8_t __stdcall SvcEraseFlash(uint32_t chip, uint32_t address, uint32_t length, uint32_t zero1, uint32_t zero2,
                                uint32_t one, StatusFn status, int32_t /*left*/, int32_t /*width*/,
                                int32_t /*height*/, int32_t /*top*/) {
  S().Record(26);
  try {
    auto* d = S().Device();
    if (!d) return 0;
    // The erase gets no gauge: the attached one moves.
    S().BeginDeviceCall(S().Gauge, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(status)));
    return d->EraseFlash(chip, address, length, zero1, zero2, one) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

// Registered but never called by the plug-in.
uint32_t __stdcall SvcNever1() { S().Record(1); return 0; }
uint32_t __stdcall SvcNever2() { S().Record(2); return 0; }
uint32_t __stdcall SvcNever3() { S().Record(3); return 0; }
uint32_t __stdcall SvcNever11() { S().Record(11); return 0; }
uint32_t __stdcall SvcNever21() { S().Record(21); return 0; }

}  // namespace

class THostServer::TMemoLog : public sim::TDeviceLog {
 public:
  void Line(const std::string& utf8) override { S().AppendLog(utf8); }
};

class THostServer::TGaugeProgress : public sim::TDeviceProgress {
 public:
  explicit TGaugeProgress(HWND& gauge) : fGauge(gauge) {}
  void Advance(uint32_t bytes) override {
    if (fGauge && IsWindow(fGauge)) SendMessageW(fGauge, PBM_DELTAPOS, bytes, 0);
  }

 private:
  HWND& fGauge;
};

THostServer::THostServer()
    : fLog(std::make_unique<TMemoLog>()), fProgress(std::make_unique<TGaugeProgress>(fCallGauge)) {}

THostServer& THostServer::Instance() {
  static THostServer server;
  return server;
}

void THostServer::SetDevice(std::unique_ptr<sim::TSimDevice> device) {
  fDevice = std::move(device);
  if (!fDevice) return;
  fDevice->SetLog(fLog.get());
  fDevice->SetProgress(fProgress.get());
  fDevice->SetProcessMessages(ProcessPendingMessages);
  fDevice->SetStopByte(&fStopByte);
  fDevice->SetStatus([this](uint32_t panel, const std::string& text) {
    if (!fStatusCallback) return;
    const std::wstring w = Wide(text);
    reinterpret_cast<StatusFn>(static_cast<uintptr_t>(fStatusCallback))(0, panel, w.c_str());
  });
}

void THostServer::BeginDeviceCall(HWND gauge, uint32_t statusCallback) {
  fCallGauge = gauge;
  fStatusCallback = statusCallback;
}

void THostServer::AppendLog(const std::string& utf8) {
  if (fEcho) {
    std::printf("log: %s\n", utf8.c_str());
    std::fflush(stdout);
  }
  if (!LogView || !IsWindow(LogView)) return;
  const std::wstring line = Wide(utf8) + L"\r\n";
  const LRESULT end = GetWindowTextLengthW(LogView);
  SendMessageW(LogView, EM_SETSEL, end, end);
  SendMessageW(LogView, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
}

void* HostServiceFor(uint32_t id) {
  switch (id) {
    case 0: return reinterpret_cast<void*>(SvcConnectDevice);
    case 1: return reinterpret_cast<void*>(SvcNever1);
    case 2: return reinterpret_cast<void*>(SvcNever2);
    case 3: return reinterpret_cast<void*>(SvcNever3);
    case 6: return reinterpret_cast<void*>(SvcGetHostWindowRect);
    case 11: return reinterpret_cast<void*>(SvcNever11);
    case 16: return reinterpret_cast<void*>(SvcGetFlashChipInfo);
    case 18: return reinterpret_cast<void*>(SvcAttachLogView);
    case 20: return reinterpret_cast<void*>(SvcDisconnectDevice);
    case 21: return reinterpret_cast<void*>(SvcNever21);
    case 24: return reinterpret_cast<void*>(SvcReadFlash);
    case 25: return reinterpret_cast<void*>(SvcWriteFlash);
    case 26: return reinterpret_cast<void*>(SvcEraseFlash);
    case 27: return reinterpret_cast<void*>(SvcAttachProgressGauge);
    default: return nullptr;
  }
}

void ProcessPendingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

std::string ExecutableFolder() {
  wchar_t path[MAX_PATH * 4] = L"";
  const DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  if (n == 0 || n >= std::size(path)) return {};
  return Utf8(std::filesystem::path(path).parent_path().c_str());
}

}  // namespace kovra::host
