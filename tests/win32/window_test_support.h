#pragma once
// Shared by the tests that drive the real main window through its modal
// showing: the window's registry key put back after the tests, a message
// pump, keys posted as the keyboard sends them, and steps run one per tick of
// a thread timer, which fires inside whatever loop is running (the window's
// modal loop, a message box's, a menu's), as a user's actions would arrive.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "MainWindow.h"

namespace kovra::win::testing {

inline const wchar_t kSettingsKey[] = L"Software\\Mervik\\KOVRAPlugin_QualcommTool_Settings";

// The key's values before the tests, written back after them.
struct SavedKey {
  struct Item {
    std::wstring Name;
    DWORD Type;
    std::vector<BYTE> Data;
  };
  bool Existed = false;
  std::vector<Item> Items;
  void Save() {
    HKEY k = nullptr;
    Existed = RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &k) == ERROR_SUCCESS;
    if (!Existed) return;
    for (DWORD i = 0;; ++i) {
      wchar_t name[512];
      DWORD nameLen = 512, type = 0, size = 0;
      if (RegEnumValueW(k, i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
      Item item{std::wstring(name, nameLen), type, std::vector<BYTE>(size)};
      nameLen = 512;
      RegEnumValueW(k, i, name, &nameLen, nullptr, &type, item.Data.data(), &size);
      Items.push_back(std::move(item));
    }
    RegCloseKey(k);
  }
  void Restore() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    if (!Existed) return;
    HKEY k = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
      return;
    for (const Item& i : Items)
      RegSetValueExW(k, i.Name.c_str(), 0, i.Type, i.Data.data(), static_cast<DWORD>(i.Data.size()));
    RegCloseKey(k);
  }
};

// Lets the thread's messages run for a while, as a plain loop without the
// dialog manager does (a host's loop while it works).
inline void Pump(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  } while (std::chrono::steady_clock::now() < end);
}

// Lets the thread's messages run for a while through the window's own loop
// (with the dialog manager), as its modal showing and its commands do.
inline void PumpWindow(MainWindow& window, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    window.ProcessMessages();
    Sleep(5);
  } while (std::chrono::steady_clock::now() < end);
}

// A key pressed and released, posted to a window as the keyboard posts it.
inline void PostKey(HWND to, WPARAM vk, bool system = false) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), 0)) << 16;
  PostMessageW(to, system ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, scan | 1);
  PostMessageW(to, system ? WM_SYSKEYUP : WM_KEYUP, vk, scan | 1 | (LPARAM(3) << 30));
}

// Shift held down, for the thread's key state (Shift+F10, Shift+Tab).
struct ShiftDown {
  ShiftDown() { Set(0x80); }
  ~ShiftDown() { Set(0); }
  static void Set(BYTE state) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = keys[VK_LSHIFT] = state;
    SetKeyboardState(keys);
  }
};

struct FindTopLevel {
  const wchar_t* Class;
  HWND Found = nullptr;
  static BOOL CALLBACK Each(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<FindTopLevel*>(lp);
    wchar_t name[64] = L"";
    GetClassNameW(h, name, 64);
    if (IsWindowVisible(h) && std::wstring(name) == f->Class) {
      f->Found = h;
      return FALSE;
    }
    return TRUE;
  }
};

// A top-level window of the thread with this class that is shown, or null.
inline HWND VisibleTopLevel(const wchar_t* cls) {
  FindTopLevel find{cls};
  EnumThreadWindows(GetCurrentThreadId(), &FindTopLevel::Each, reinterpret_cast<LPARAM>(&find));
  return find.Found;
}

// Steps of a user's session with the window, run one per timer tick while
// the window shows modally; the window is closed after the last one. A step
// marked Inside runs while the step before it is still running (inside the
// message box or menu that step opened); any other step waits for the one
// before it to return.
class ModalSession {
 public:
  struct Step {
    std::function<void()> Run;
    bool Inside = false;
  };
  explicit ModalSession(MainWindow& window) : fWindow(window) {}

  void Add(std::function<void()> run) { fSteps.push_back({std::move(run), false}); }
  void AddInside(std::function<void()> run) { fSteps.push_back({std::move(run), true}); }

  // Shows the window modally and runs the steps; returns when it has
  // closed. Fails the test when the window closed before the last step, or
  // when it did not close after it.
  void Run(int tickMs = 100) {
    sCurrent = this;
    const UINT_PTR timer = SetTimer(nullptr, 0, static_cast<UINT>(tickMs), &ModalSession::Tick);
    fWindow.ShowModal();
    KillTimer(nullptr, timer);
    sCurrent = nullptr;
    EXPECT_EQ(fNext, fSteps.size()) << "the window closed after " << fNext << " of " << fSteps.size()
                                    << " steps";
    EXPECT_TRUE(fClosedByUs) << "the window closed without being asked";
    // A quit posted to end a window that would not close is not the host's.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (sCurrent) sCurrent->Next();
  }
  void Next() {
    if (fNext < fSteps.size()) {
      Step& step = fSteps[fNext];
      if (fBusy > 0 && !step.Inside) return;
      ++fNext;
      ++fBusy;
      step.Run();
      --fBusy;
      return;
    }
    if (fBusy > 0) return;
    if (!fClosedByUs) {
      fClosedByUs = true;
      PostMessageW(fWindow.Handle(), WM_CLOSE, 0, 0);
    } else if (++fWaited == 100) {
      ADD_FAILURE() << "the window did not close";
      PostQuitMessage(0);
    }
  }

  static inline ModalSession* sCurrent = nullptr;
  MainWindow& fWindow;
  std::vector<Step> fSteps;
  size_t fNext = 0;
  int fBusy = 0;
  bool fClosedByUs = false;
  int fWaited = 0;
};

}  // namespace kovra::win::testing
