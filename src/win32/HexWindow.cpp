#include "HexWindow.h"

#include <algorithm>

#include "WinText.h"

namespace kovra::win {
namespace {

HINSTANCE gHexInstance = nullptr;

}  // namespace

void THexWindow::RegisterWindowClass(HINSTANCE instance) {
  gHexInstance = instance;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = instance;
  wc.lpfnWndProc = &THexWindow::Proc;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kHexWindowClass;
  RegisterClassExW(&wc);
}

void THexWindow::UnregisterWindowClass(HINSTANCE instance) {
  UnregisterClassW(kHexWindowClass, instance);
}

THexWindow::THexWindow(HWND owner, TFileOpener& files) {
  fForm = std::make_unique<THexForm>(files);
  fFont = CreateUiFont(kHexFormFontHeight, L"Tahoma");
  // No WS_CLIPCHILDREN: the group box paints only its frame, so the window
  // itself must paint the background under it. The panes clip each other.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
  RECT r{0, 0, kHexFormClientWidth, kHexFormClientHeight};
  AdjustWindowRectEx(&r, style, FALSE, 0);
  fWnd = CreateWindowExW(0, kHexWindowClass, Widen(kHexFormCaption).c_str(), style, CW_USEDEFAULT,
                         CW_USEDEFAULT, kHexFormWidth, r.bottom - r.top, owner, nullptr,
                         gHexInstance, this);
  if (fWnd == nullptr) return;
  fGroup = CreateWindowExW(0, L"BUTTON", Widen(kHexGroupCaption).c_str(),
                           WS_CHILD | WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS, 0, 0, 0, 0, fWnd,
                           nullptr, gHexInstance, nullptr);
  SendMessageW(fGroup, WM_SETFONT, reinterpret_cast<WPARAM>(fFont), FALSE);
  TScrollBox* boxes[2] = {&fForm->ScrollBox01, &fForm->ScrollBox02};
  TPaintBox* paints[2] = {&fForm->PaintBox01, &fForm->PaintBox02};
  TScrollBar* bars[2] = {&fForm->ScrollBar01, &fForm->ScrollBar02};
  for (int i = 0; i < 2; ++i) {
    fPanel[i] = std::make_unique<TWinPanel>(fWnd, true, 0xFFFFFF);
    fBox[i] = std::make_unique<TWinScrollBox>(*boxes[i], fPanel[i]->Handle(), 0xFFFFFF);
    fPaint[i] = std::make_unique<TWinPaintBox>(*paints[i], fBox[i]->Handle());
    fBar[i] = std::make_unique<TWinScrollBar>(*bars[i], fBox[i]->Handle());
  }
  // The panes lie over the group box; it stays below them.
  SetWindowPos(fGroup, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  RECT client;
  GetClientRect(fWnd, &client);
  Layout(client.right, client.bottom);
}

THexWindow::~THexWindow() {
  for (int i = 0; i < 2; ++i) {
    fBar[i].reset();
    fPaint[i].reset();
    fBox[i].reset();
    fPanel[i].reset();
  }
  if (fWnd && IsWindow(fWnd)) {
    SetWindowLongPtrW(fWnd, GWLP_USERDATA, 0);
    DestroyWindow(fWnd);
  }
  fForm.reset();
  if (fFont) DeleteObject(fFont);
}

void THexWindow::Show() {
  if (fWnd) ShowWindow(fWnd, SW_SHOWNA);
}

void THexWindow::Hide() {
  if (fWnd) ShowWindow(fWnd, SW_HIDE);
}

void THexWindow::Place(int left, int top, int width, int height) {
  if (fWnd == nullptr) return;
  RECT r{left, top, left + width, top + height};
  // The strip the window is dragged by: its title bar.
  const int caption = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYSIZEFRAME);
  const RECT bar{r.left, r.top, r.right, r.top + caption};
  if (MonitorFromRect(&bar, MONITOR_DEFAULTTONULL) == nullptr) {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi)) {
      const RECT& work = mi.rcWork;
      // Inside the work area; a window larger than it keeps its top left.
      left = std::max<LONG>(std::min<LONG>(r.left, work.right - width), work.left);
      top = std::max<LONG>(std::min<LONG>(r.top, work.bottom - height), work.top);
    }
  }
  SetWindowPos(fWnd, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void THexWindow::Layout(int width, int height) {
  if (fGroup == nullptr || !fPanel[1]) return;
  const THexFormLayout l = HexFormLayout(width, height);
  MoveWindow(fGroup, l.GroupBox.Left, l.GroupBox.Top, l.GroupBox.Width(), l.GroupBox.Height(), TRUE);
  for (int i = 0; i < 2; ++i)
    MoveWindow(fPanel[i]->Handle(), l.Panel[i].Left, l.Panel[i].Top, l.Panel[i].Width(),
               l.Panel[i].Height(), TRUE);
  Guarded([&] { fForm->Layout(width, height); });
}

LRESULT CALLBACK THexWindow::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<THexWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (self && self->fWnd == wnd) return self->WndProc(msg, wp, lp);
  return DefWindowProcW(wnd, msg, wp, lp);
}

LRESULT THexWindow::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_GETMINMAXINFO: {
      // The width is fixed; only the height follows the user.
      auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
      mm->ptMinTrackSize.x = kHexFormWidth;
      mm->ptMaxTrackSize.x = kHexFormWidth;
      return 0;
    }
    case WM_SIZE:
      Layout(LOWORD(lp), HIWORD(lp));
      return 0;
    case WM_CLOSE:
      Hide();
      return 0;
  }
  return DefWindowProcW(fWnd, msg, wp, lp);
}

}  // namespace kovra::win
