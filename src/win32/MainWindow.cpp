#include "MainWindow.h"

#include <commctrl.h>

#include <vector>

#include "Gauge.h"

namespace kovra::win {
namespace {

constexpr COLORREF kMemoBack = 0x404040;
constexpr COLORREF kMemoText = 0xE0E0E0;
constexpr int kLowerAreaHeight = 347;
constexpr int kButtonsGroupWidth = 174;
constexpr int kMemoHeight = 213;
constexpr int kGaugeHeight = 17;
constexpr int kStatusHeight = 19;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX |
                         WS_CLIPCHILDREN;

HFONT CreateTahoma8() {
  HDC dc = GetDC(nullptr);
  const int height = -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(nullptr, dc);
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
}

struct DisabledWindows {
  HWND Keep;
  std::vector<HWND> List;
};

BOOL CALLBACK DisableOne(HWND hwnd, LPARAM lp) {
  auto* d = reinterpret_cast<DisabledWindows*>(lp);
  if (hwnd != d->Keep && IsWindowEnabled(hwnd) && IsWindowVisible(hwnd)) {
    d->List.push_back(hwnd);
    EnableWindow(hwnd, FALSE);
  }
  return TRUE;
}

}  // namespace

void MainWindow::RegisterClasses(HINSTANCE instance) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterGaugeClass(instance);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainWindowClass;
  RegisterClassExW(&wc);
}

void MainWindow::UnregisterClasses(HINSTANCE instance) {
  UnregisterClassW(kMainWindowClass, instance);
  UnregisterGaugeClass(instance);
}

MainWindow::MainWindow(HINSTANCE instance) : fInstance(instance) {
  fFont = CreateTahoma8();
  fMemoBrush = CreateSolidBrush(kMemoBack);
  RECT rc{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&rc, kStyle, FALSE, 0);
  fWnd = CreateWindowExW(0, kMainWindowClass, kMainWindowCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                         rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, instance, this);
  if (!fWnd) return;
  auto child = [&](const wchar_t* cls, const wchar_t* text, DWORD style, DWORD ex = 0) {
    HWND h = CreateWindowExW(ex, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, fWnd, nullptr,
                             instance, nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(fFont), FALSE);
    return h;
  };
  fListGroup = child(L"BUTTON", L" Partition Table ", BS_GROUPBOX);
  fLowerGroup = child(L"BUTTON", L"", BS_GROUPBOX);
  fMemo = child(L"EDIT", L"", ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL | WS_TABSTOP,
                WS_EX_CLIENTEDGE);
  fGauge = child(kGaugeClass, L"", 0, WS_EX_STATICEDGE);
  Layout();
}

MainWindow::~MainWindow() {
  if (fWnd && IsWindow(fWnd)) {
    SetWindowLongPtrW(fWnd, GWLP_USERDATA, 0);
    DestroyWindow(fWnd);
  }
  if (fFont) DeleteObject(fFont);
  if (fMemoBrush) DeleteObject(fMemoBrush);
}

void MainWindow::Layout() {
  RECT rc;
  GetClientRect(fWnd, &rc);
  const int w = rc.right, h = rc.bottom;
  const int lowerTop = h - kStatusHeight - 10 - kLowerAreaHeight;
  MoveWindow(fListGroup, 8, 10, w - 16, lowerTop - 20, TRUE);
  const int groupW = w - 16 - kButtonsGroupWidth - 8;
  MoveWindow(fLowerGroup, 8, lowerTop, groupW, kLowerAreaHeight, TRUE);
  const int memoW = groupW - 2 * 8 - 2;
  MoveWindow(fMemo, 16, lowerTop + 14, memoW, kMemoHeight, TRUE);
  MoveWindow(fGauge, 16, lowerTop + 14 + kMemoHeight + 58, memoW, kGaugeHeight, TRUE);
}

void MainWindow::ShowModal() {
  DisabledWindows disabled{fWnd, {}};
  EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&disabled));
  fModal = true;
  ShowWindow(fWnd, SW_SHOW);
  SetForegroundWindow(fWnd);
  MSG msg;
  bool quit = false;
  while (fModal) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {  // WM_QUIT belongs to the host's loop: hand it back
      quit = true;
      break;
    }
    if (got < 0) break;
    if (!IsDialogMessageW(fWnd, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  fModal = false;
  for (HWND h : disabled.List)
    if (IsWindow(h)) EnableWindow(h, TRUE);
  if (quit) {
    ShowWindow(fWnd, SW_HIDE);
    PostQuitMessage(static_cast<int>(msg.wParam));
  }
}

void MainWindow::Close() {
  // Re-enable the host before hiding, so that activation goes back to it.
  fModal = false;
  ShowWindow(fWnd, SW_HIDE);
  // Wake the modal loop even when the close came from another thread.
  PostMessageW(fWnd, WM_NULL, 0, 0);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  try {
    if (msg == WM_NCCREATE) self->fWnd = hwnd;
    return self->Handle(msg, wp, lp);
  } catch (...) {
    // Nothing may unwind into the system's frames.
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

LRESULT MainWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_GETMINMAXINFO: {
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
      mmi->ptMinTrackSize = {kMinWidth, kMinHeight};
      return 0;
    }
    case WM_SIZE:
      if (fMemo) Layout();
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lp) == fMemo) {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, kMemoText);
        SetBkColor(dc, kMemoBack);
        return reinterpret_cast<LRESULT>(fMemoBrush);
      }
      break;
    case WM_CLOSE:
      Close();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(fWnd, msg, wp, lp);
}

}  // namespace kovra::win
