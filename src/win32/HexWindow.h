#pragma once
// The hex window as a real modeless window: caption, fixed width, the group
// box and the two panes (lowered bevel, white scroll box, scroll bar and
// paint box each), bound to THexForm's widget models. Closing it only hides
// it; it lives until the module unloads.
#include <windows.h>

#include <memory>

#include "ViewWidgets.h"
#include "ui/HexWindowUnit.h"

namespace kovra::win {

inline constexpr wchar_t kHexWindowClass[] = L"KovraHexForm";

class THexWindow {
 public:
  // Created hidden, at the system's default position. owner may be null.
  explicit THexWindow(HWND owner = nullptr, TFileOpener& files = DefaultFileOpener());
  ~THexWindow();
  THexWindow(const THexWindow&) = delete;
  THexWindow& operator=(const THexWindow&) = delete;

  HWND Handle() const { return fWnd; }
  THexForm& Form() { return *fForm; }
  THEXView& UpperView() { return fForm->UpperView(); }
  THEXView& LowerView() { return fForm->LowerView(); }
  HWND PaintBoxHandle(int pane) const { return fPaint[pane]->Handle(); }
  HWND ScrollBoxHandle(int pane) const { return fBox[pane]->Handle(); }
  HWND ScrollBarHandle(int pane) const { return fBar[pane]->Handle(); }

  // Shown without taking the activation from the main window, where it was
  // last placed.
  void Show();
  void Hide();
  // Moves the window to a place and size (a stored one); where its title bar
  // would lie on no monitor, it goes into the nearest monitor's work area,
  // where the user can reach it.
  void Place(int left, int top, int width, int height);
  bool Visible() const { return fWnd && IsWindowVisible(fWnd); }

  static void RegisterWindowClass(HINSTANCE instance);
  static void UnregisterWindowClass(HINSTANCE instance);

 private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  void Layout(int width, int height);

  HWND fWnd = nullptr;
  HWND fGroup = nullptr;
  HFONT fFont = nullptr;
  std::unique_ptr<THexForm> fForm;
  // Bindings after the form: they go first, while its models still live.
  std::unique_ptr<TWinPanel> fPanel[2];
  std::unique_ptr<TWinScrollBox> fBox[2];
  std::unique_ptr<TWinPaintBox> fPaint[2];
  std::unique_ptr<TWinScrollBar> fBar[2];
};

}  // namespace kovra::win
