// kovra-host: a small host of our own for the plug-in. It loads the DLL the
// way the box's host application does, runs the registration handshake,
// hands over one stdcall callback per service, shows a host window and calls
// DoPluginMain from it. Unattended (--close-after) it checks every answer and
// exits 0 only when each check held; interactively it is the demo. With
// --device the device services are served by a simulated NAND chip, and
// --script drives the plug-in's windows for end-to-end tests.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "HostScript.h"
#include "HostServer.h"
#include "SimDevice.h"
#include "platform/FileReader.h"

using kovra::host::HostServiceFor;
using kovra::host::THostServer;

namespace {

using InitializeFn = void(__stdcall*)(uint32_t, void*, uint32_t*);
using DoPluginMainFn = uint32_t(__stdcall*)(uint8_t*);

constexpr uint32_t kServiceTable[14] = {21, 26, 20, 24, 25, 18, 27, 16, 1, 0, 2, 6, 11, 3};
constexpr uint32_t kNoMore = 0x8FFFFFFFu;
constexpr uint32_t kInfoSize = 103873;
constexpr UINT_PTR kTimerCheck = 1, kTimerClose = 2, kTimerScript = 3;
constexpr UINT WM_APP_RUN = WM_APP + 1;

struct Options {
  std::wstring Plugin;
  int CloseAfterMs = -1;  // unattended when >= 0
  int Shows = 1;
  bool CentreCheck = true;
  bool Unload = true;  // FreeLibrary before exiting
  std::wstring Device;  // simulated NAND device file
  std::string Chip;     // PAGE:BLOCK:BLOCKS
  kovra::sim::TSimFaults Faults;
  bool AnyFault = false;
  std::wstring Script;
};

struct HostState {
  Options Opt;
  HMODULE Plugin = nullptr;
  InitializeFn Initialize = nullptr;
  DoPluginMainFn DoPluginMain = nullptr;
  HWND Window = nullptr;
  HWND MainWindow = nullptr;
  int Failures = 0;
  int Checks = 0;
  int Show = 0;  // 1-based number of the running DoPluginMain
  std::unique_ptr<kovra::host::THostScript> Script;
  RECT ExpectedPos{};
  bool ExpectPos = false;
} g;

void Check(bool ok, const char* what, const std::string& detail = {}) {
  ++g.Checks;
  if (!ok) ++g.Failures;
  std::printf("%s %s%s%s\n", ok ? "ok  " : "FAIL", what, detail.empty() ? "" : ": ", detail.c_str());
  std::fflush(stdout);
}

std::string Hex(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08X", v);
  return b;
}

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += (c < 128) ? static_cast<char>(c) : '?';
  return s;
}

// ---- handshake -------------------------------------------------------------

uint32_t Ask(uint32_t request, void* arg, uint32_t inOut) {
  g.Initialize(request, arg, &inOut);
  return inOut;
}

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

bool ReadableText(uint32_t address, const char* want) {
  const char* p = reinterpret_cast<const char*>(static_cast<uintptr_t>(address));
  return p != nullptr && !IsBadReadPtr(p, std::strlen(want) + 1) && std::strcmp(p, want) == 0;
}

void Handshake() {
  Check(Ask(255, nullptr, 0) == 14, "request 255 answers 14");
  uint32_t index = 0;
  for (;;) {
    const uint32_t id = Ask(0, nullptr, 0);
    if (id == kNoMore) break;
    Check(index < 14 && id == kServiceTable[index], "request 0 names the next service", Hex(id));
    if (index >= 14) break;
    if (index == 1) {
      // A mismatched index must be refused without storing anything.
      Check(Ask(1, HostServiceFor(id), index + 5) == kNoMore, "request 1 with a wrong index answers 0x8FFFFFFF");
      Check(Ask(0, nullptr, 0) == id, "the refused registration left the index alone");
    }
    Check(Ask(1, HostServiceFor(id), index) == 0x80000000u, "request 1 stores the callback", std::to_string(id));
    ++index;
  }
  Check(index == 14, "14 services registered", std::to_string(index));
  Check(Ask(1, HostServiceFor(3), 14) == kNoMore, "request 1 past the last service answers 0x8FFFFFFF");

  uint8_t desc[76 + 4];
  std::memset(desc, 0xCC, sizeof desc);
  Check(Ask(2, desc, 0) == 76, "request 2 answers 76");
  Check(ReadableText(U32(desc + 0), "Qualcomm FullFlash Image Files Processing Tool"), "descriptor title");
  Check(ReadableText(U32(desc + 4), "QUALCOMM"), "descriptor maker");
  bool zeros = U32(desc + 8) == 0;
  for (int i = 16; i < 76; ++i) zeros = zeros && desc[i] == 0;
  Check(zeros, "descriptor zero fields (8, 16..75: no VOSKARD_00)");
  Check(U32(desc + 12) == 0xFFFF1234u, "descriptor offset 12 is 0xFFFF1234", Hex(U32(desc + 12)));
  Check(desc[76] == 0xCC, "request 2 copies exactly 76 bytes");

  uint8_t id[16];
  std::memset(id, 0xEE, sizeof id);
  Check(Ask(3, id, 11) == 11 && id[0] == 0xEE, "request 3 with capacity 11 answers 11 and copies nothing");
  const uint8_t want[12] = {0x0B, '&', 'S', 'F', '1', '1', '6', '_', '1', '.', '0', '1'};
  Check(Ask(3, id, 12) == 0 && std::memcmp(id, want, 12) == 0 && id[12] == 0xEE,
        "request 3 with capacity 12 copies the identity string");

  std::vector<uint8_t> buf(kInfoSize + 16, 0);
  Check(Ask(4, buf.data(), static_cast<uint32_t>(buf.size())) == 0, "request 4 answers 0 (no SCHEMATICS_00)");
  Check(Ask(5, buf.data(), 0) == kInfoSize && buf[0] == 0, "request 5 with capacity 0 answers 103873");
  Check(Ask(5, buf.data(), static_cast<uint32_t>(buf.size())) == kInfoSize, "request 5 copies 103873 bytes");
  // The copy must be the resource itself, byte for byte.
  HRSRC res = FindResourceW(g.Plugin, L"INFORMATION_00", L"PLN");
  const void* data = res ? LockResource(LoadResource(g.Plugin, res)) : nullptr;
  Check(data && SizeofResource(g.Plugin, res) == kInfoSize && std::memcmp(buf.data(), data, kInfoSize) == 0 &&
            buf[kInfoSize] == 0,
        "request 5's bytes equal the INFORMATION_00 resource");
  Check(!FindResourceW(g.Plugin, L"SCHEMATICS_00", L"PLN") && !FindResourceW(g.Plugin, L"VOSKARD_00", L"ENC"),
        "no SCHEMATICS_00 and no VOSKARD_00 resource");
}

// ---- showing -----------------------------------------------------------------

std::wstring ClassOf(HWND h) {
  wchar_t name[64] = L"";
  GetClassNameW(h, name, 64);
  return name;
}

std::wstring TextOf(HWND h) {
  const int n = GetWindowTextLengthW(h);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(h, s.data(), n + 1);
  s.resize(static_cast<size_t>(n));
  return s;
}

void AppendLog(const wchar_t* line) {
  // The host's way into the module's memo, as it reports device work.
  const HWND log = THostServer::Instance().LogView;
  const LRESULT end = GetWindowTextLengthW(log);
  SendMessageW(log, EM_SETSEL, end, end);
  SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line));
}

void CheckWhileShown() {
  const int show = g.Show;
  const auto& calls = THostServer::Instance().Calls;
  const HWND logView = THostServer::Instance().LogView, gauge = THostServer::Instance().Gauge;
  HWND main = FindWindowW(L"TQualcommForm", nullptr);
  Check(main != nullptr && IsWindowVisible(main), "the main window is shown");
  if (!main) return;
  wchar_t caption[128] = L"";
  GetWindowTextW(main, caption, 128);
  Check(std::wcscmp(caption, L"Processing Qualcomm KOVRA Full Image Files. Plugin Version 1.06") == 0,
        "main window caption", Narrow(caption));
  if (show == 1) {
    g.MainWindow = main;
    RECT client{};
    GetClientRect(main, &client);
    Check(client.right == 1030 && client.bottom == 594, "main window client area 1030 x 594",
          std::to_string(client.right) + " x " + std::to_string(client.bottom));
    const LONG style = GetWindowLongW(main, GWL_STYLE);
    Check((style & WS_SYSMENU) && (style & WS_MAXIMIZEBOX) && !(style & WS_MINIMIZEBOX),
          "system menu and maximise box, no minimise box");
    MINMAXINFO mmi{};
    SendMessageW(main, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    Check(mmi.ptMinTrackSize.x == 720 && mmi.ptMinTrackSize.y == 600, "not smaller than 720 x 600");
  } else {
    Check(main == g.MainWindow, "the same main window is shown again");
  }
  Check(!IsWindowEnabled(g.Window), "the host window is disabled while the plug-in shows");
  const size_t n = calls.size();
  Check(n >= 3 && calls[n - 3] == 6 && calls[n - 2] == 18 && calls[n - 1] == 27,
        "services 6, 18, 27 called in this order");
  Check(logView && IsChild(main, logView) && ClassOf(logView) == L"Edit" &&
            (GetWindowLongW(logView, GWL_STYLE) & ES_MULTILINE),
        "service 18 got the main window's multi-line EDIT memo");
  Check(gauge && IsChild(main, gauge), "service 27 got a child of the main window");
  if (g.ExpectPos && show == 1) {
    RECT r;
    GetWindowRect(main, &r);
    Check(r.left == g.ExpectedPos.left && r.top == g.ExpectedPos.top, "main window centred over the host",
          "at " + std::to_string(r.left) + "," + std::to_string(r.top) + " want " +
              std::to_string(g.ExpectedPos.left) + "," + std::to_string(g.ExpectedPos.top));
  }
  // The memo keeps what the host wrote at the previous showing.
  if (show > 1) {
    Check(TextOf(logView).find(L"host line 1") != std::wstring::npos, "the memo kept the last showing's lines");
  }
  wchar_t line[64];
  std::swprintf(line, 64, L"host line %d\r\n", show);
  AppendLog(line);
  Check(TextOf(logView).find(line) != std::wstring::npos, "the host's line reached the memo");
  SendMessageW(gauge, PBM_SETRANGE32, 0, 1000);
  SendMessageW(gauge, PBM_SETPOS, 250, 0);
  SendMessageW(gauge, PBM_DELTAPOS, 250, 0);
  PBRANGE range{};
  SendMessageW(gauge, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  Check(SendMessageW(gauge, PBM_GETPOS, 0, 0) == 500 && range.iLow == 0 && range.iHigh == 1000,
        "the gauge answers the progress-bar messages");
  SendMessageW(gauge, PBM_SETPOS, 0, 0);
}

void RunPlugin() {
  if (g.Opt.CentreCheck && g.Opt.CloseAfterMs >= 0) {
    // Size the host so that the horizontal difference is odd and negative
    // (-3): the centring must truncate toward zero, giving left 99, top 100.
    HWND main = FindWindowW(L"TQualcommForm", nullptr);
    RECT r{};
    if (main && GetWindowRect(main, &r)) {
      const int w = r.right - r.left, h = r.bottom - r.top;
      SetWindowPos(g.Window, nullptr, 100, 50, w - 3, h + 100, SWP_NOZORDER);
      g.ExpectedPos = {99, 100, 0, 0};
      g.ExpectPos = true;
    } else {
      Check(false, "the main window exists after the handshake");
    }
  }
  if (g.Script) g.Script->Start();
  for (int k = 1; k <= g.Opt.Shows; ++k) {
    // A script that has run to its end (or failed) needs no more showings.
    if (g.Script && g.Script->Finished()) break;
    g.Show = k;
    if (g.Opt.CloseAfterMs >= 0) {
      SetTimer(g.Window, kTimerCheck, 200, nullptr);
      SetTimer(g.Window, kTimerClose, static_cast<UINT>(g.Opt.CloseAfterMs), nullptr);
    }
    const uint32_t result = g.DoPluginMain(THostServer::Instance().StopByte());
    Check(result == kNoMore, "DoPluginMain returns 0x8FFFFFFF", Hex(result));
    HWND main = FindWindowW(L"TQualcommForm", nullptr);
    Check(main && !IsWindowVisible(main), "after closing, the main window is hidden, not destroyed");
    Check(IsWindowEnabled(g.Window), "the host window is enabled again");
    if (g.Script) g.Script->ShowingEnded();
  }
  if (g.Script) g.Script->Abandon();
}

bool Unattended() { return g.Opt.CloseAfterMs >= 0 || !g.Opt.Script.empty(); }

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kovra::host::THostScript::kMarkMessage:
      if (g.Script) g.Script->Marked(wp);
      return 0;
    case WM_APP_RUN:
      RunPlugin();
      if (Unattended()) DestroyWindow(hwnd);
      return 0;
    case WM_TIMER:
      if (wp == kTimerScript) {
        if (g.Script) g.Script->Tick();
        return 0;
      }
      KillTimer(hwnd, wp);
      if (wp == kTimerCheck) CheckWhileShown();
      if (wp == kTimerClose) {
        HWND main = FindWindowW(L"TQualcommForm", nullptr);
        if (main) PostMessageW(main, WM_CLOSE, 0, 0);
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == 100) RunPlugin();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

int Usage() {
  std::fputs(
      "usage: kovra-host [options] PLUGIN.dll\n"
      "  Loads the plug-in, registers the host services and shows its main window.\n"
      "  --close-after MS   unattended: check every answer, close the plug-in's window\n"
      "                     MS milliseconds after each showing; exit 0 when all checks held\n"
      "  --shows N          call DoPluginMain N times (default 1)\n"
      "  --no-centre-check  leave the host window where it is\n"
      "  --no-unload        exit without FreeLibrary, as a host may\n"
      "  --dpi-aware        run as a DPI-aware host\n"
      "  --device FILE      serve the device services from a simulated NAND chip whose\n"
      "                     content is FILE, a full-flash image (created erased if missing)\n"
      "  --chip PAGE:BLOCK:BLOCKS  the chip's geometry (default 2048:0x20000:1024)\n"
      "  Faults of the simulated device:\n"
      "  --refuse-connect   ConnectDevice fails\n"
      "  --unknown-chip     GetFlashChipInfo reports page size 0\n"
      "  --fail-read N      the Nth ReadFlash fails (likewise --fail-write N, --fail-erase N)\n"
      "  --slow MS          pause MS milliseconds before every block, so \"&Stop\" can be pressed\n"
      "  --script FILE      unattended: run FILE's steps from a host timer while the plug-in\n"
      "                     shows; exit 1 when a step fails\n",
      stderr);
  std::fputs(kovra::host::kScriptUsage, stderr);
  return 2;
}

std::string Utf8Of(const std::wstring& w) {
  const std::u8string u = std::filesystem::path(w).u8string();
  return std::string(u.begin(), u.end());
}

// Opens (or creates) the simulated device and hands it to the services.
bool SetUpDevice() {
  kovra::sim::TChipGeometry geometry;
  std::string error;
  if (!g.Opt.Chip.empty() && !kovra::sim::ParseChipGeometry(g.Opt.Chip, geometry, error)) {
    std::fprintf(stderr, "kovra-host: --chip: %s\n", error.c_str());
    return false;
  }
  const std::string path = Utf8Of(g.Opt.Device);
  try {
    if (!std::filesystem::exists(g.Opt.Device)) {
      kovra::sim::CreateErasedDeviceFile(path, geometry);
      std::printf("kovra-host: created an erased device %s\n", path.c_str());
    }
    auto device = std::make_unique<kovra::sim::TSimDevice>(path, geometry);
    device->Faults() = g.Opt.Faults;
    device->SetHostDir(kovra::host::ExecutableFolder());
    THostServer::Instance().SetDevice(std::move(device));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kovra-host: %s\n", e.what());
    return false;
  }
  return true;
}

bool LoadScript() {
  std::ifstream in(std::filesystem::path(g.Opt.Script), std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "kovra-host: cannot read the script %s\n", Utf8Of(g.Opt.Script).c_str());
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<kovra::host::TScriptStep> steps;
  std::string error;
  if (!kovra::host::ParseScript(text.str(), steps, error)) {
    std::fprintf(stderr, "kovra-host: %s: %s\n", Utf8Of(g.Opt.Script).c_str(), error.c_str());
    return false;
  }
  g.Script = std::make_unique<kovra::host::THostScript>(std::move(steps), g.Window, kTimerScript);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (a == L"--close-after" && i + 1 < argc) {
      g.Opt.CloseAfterMs = _wtoi(argv[++i]);
    } else if (a == L"--shows" && i + 1 < argc) {
      g.Opt.Shows = _wtoi(argv[++i]);
    } else if (a == L"--no-unload") {
      g.Opt.Unload = false;
    } else if (a == L"--dpi-aware") {
      // As a host that declares itself DPI-aware: the system then scales
      // nothing for it, and the plug-in's windows meet the screen's DPI.
      SetProcessDPIAware();
    } else if (a == L"--no-centre-check") {
      g.Opt.CentreCheck = false;
    } else if (a == L"--device" && i + 1 < argc) {
      g.Opt.Device = argv[++i];
    } else if (a == L"--chip" && i + 1 < argc) {
      g.Opt.Chip = Utf8Of(argv[++i]);
    } else if (a == L"--refuse-connect") {
      g.Opt.Faults.RefuseConnect = g.Opt.AnyFault = true;
    } else if (a == L"--unknown-chip") {
      g.Opt.Faults.UnrecognisedChip = g.Opt.AnyFault = true;
    } else if ((a == L"--fail-read" || a == L"--fail-write" || a == L"--fail-erase" || a == L"--slow") &&
               i + 1 < argc) {
      const uint32_t n = static_cast<uint32_t>(_wtoi(argv[++i]));
      (a == L"--fail-read" ? g.Opt.Faults.FailRead
       : a == L"--fail-write" ? g.Opt.Faults.FailWrite
       : a == L"--fail-erase" ? g.Opt.Faults.FailErase
                              : g.Opt.Faults.SlowMs) = n;
      g.Opt.AnyFault = true;
    } else if (a == L"--script" && i + 1 < argc) {
      g.Opt.Script = argv[++i];
    } else if (a == L"-h" || a == L"--help") {
      Usage();
      return 0;
    } else if (!a.empty() && a[0] != L'-' && g.Opt.Plugin.empty()) {
      g.Opt.Plugin = a;
    } else {
      return Usage();
    }
  }
  if (g.Opt.Plugin.empty()) return Usage();
  if (g.Opt.Device.empty() && (!g.Opt.Chip.empty() || g.Opt.AnyFault)) {
    std::fprintf(stderr, "kovra-host: --chip and the fault options need --device\n");
    return 2;
  }
  if (!g.Opt.Device.empty() && !SetUpDevice()) return 2;

  g.Plugin = LoadLibraryW(g.Opt.Plugin.c_str());
  if (!g.Plugin) {
    std::fprintf(stderr, "kovra-host: cannot load %s (error %lu)\n", Narrow(g.Opt.Plugin).c_str(),
                 GetLastError());
    return 2;
  }
  g.Initialize = reinterpret_cast<InitializeFn>(reinterpret_cast<void*>(GetProcAddress(g.Plugin, "Initialize")));
  g.DoPluginMain = reinterpret_cast<DoPluginMainFn>(reinterpret_cast<void*>(GetProcAddress(g.Plugin, "DoPluginMain")));
  if (!g.Initialize || !g.DoPluginMain) {
    std::fprintf(stderr, "kovra-host: the plug-in does not export Initialize and DoPluginMain\n");
    return 2;
  }

  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  const HINSTANCE inst = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  wc.lpszClassName = L"KovraHostWindow";
  RegisterClassW(&wc);
  g.Window = CreateWindowExW(0, L"KovraHostWindow", L"KOVRA Host", WS_OVERLAPPEDWINDOW, 40, 40, 1100, 720,
                             nullptr, nullptr, inst, nullptr);
  if (!g.Window) {
    std::fprintf(stderr, "kovra-host: cannot create the host window (no display?)\n");
    return 2;
  }
  CreateWindowExW(0, L"BUTTON", L"Qualcomm Tool...", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 12, 12, 160, 28,
                  g.Window, reinterpret_cast<HMENU>(100), inst, nullptr);
  ShowWindow(g.Window, SW_SHOW);
  THostServer::Instance().SetHostWindow(g.Window);
  if (!g.Opt.Script.empty() && !LoadScript()) return 2;

  Handshake();
  PostMessageW(g.Window, WM_APP_RUN, 0, 0);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (g.Opt.CloseAfterMs >= 0 && !g.Script) Check(g.Show == g.Opt.Shows, "every showing ran", std::to_string(g.Show));
  if (g.Script) Check(g.Script->Finished() && !g.Script->Failed(), "every script step held");
  THostServer::Instance().SetDevice(nullptr);
  if (g.Opt.Unload) FreeLibrary(g.Plugin);
  std::printf("%d checks, %d failed\n", g.Checks, g.Failures);
  return g.Failures == 0 ? 0 : 1;
}
