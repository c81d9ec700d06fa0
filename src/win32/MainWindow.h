#pragma once
// The module's main window as the host meets it: created once, shown modally
// by DoPluginMain as often as the host likes, hidden (not destroyed) on close.
#include <windows.h>

#include <string>

namespace kovra::win {

inline constexpr wchar_t kMainWindowClass[] = L"TQualcommForm";
inline constexpr wchar_t kMainWindowCaption[] =
    L"Processing Qualcomm KOVRA Full Image Files. Plugin Version 1.06";
inline constexpr int kClientWidth = 1030;
inline constexpr int kClientHeight = 594;
inline constexpr int kMinWidth = 720;
inline constexpr int kMinHeight = 600;

class MainWindow {
 public:
  explicit MainWindow(HINSTANCE instance);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND Handle() const { return fWnd; }
  HWND Memo() const { return fMemo; }
  HWND Gauge() const { return fGauge; }

  // Shows the window over the thread's other windows, which stay disabled
  // until it closes; returns when the user closes it.
  void ShowModal();

  static void RegisterClasses(HINSTANCE instance);
  static void UnregisterClasses(HINSTANCE instance);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void Layout();
  void Close();

  HINSTANCE fInstance;
  HWND fWnd = nullptr;
  HWND fListGroup = nullptr;
  HWND fLowerGroup = nullptr;
  HWND fMemo = nullptr;
  HWND fGauge = nullptr;
  HFONT fFont = nullptr;
  HBRUSH fMemoBrush = nullptr;
  bool fModal = false;
};

}  // namespace kovra::win
