#pragma once
// The main window as the host meets it: TQualcommForm's widgets bound to
// real controls. Created once, shown modally by DoPluginMain as often as the
// host likes, hidden (not destroyed) on close.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "CoolListWindow.h"
#include "HexWindow.h"
#include "ViewWidgets.h"
#include "platform/Services.h"
#include "ui/MainUnit.h"

namespace kovra::win {

inline constexpr wchar_t kMainWindowClass[] = L"TQualcommForm";

// Control IDs, for hosts and tests that look controls up.
inline constexpr int kIdMemo = 1100;
inline constexpr int kIdImageName = 1101;
inline constexpr int kIdGauge = 1102;
inline constexpr int kIdStatusBar = 1103;
inline constexpr int kIdListPaintBox = 1104;

class MainWindow {
 public:
  explicit MainWindow(HINSTANCE instance);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND Handle() const { return fWnd; }
  HWND Memo() const;
  HWND Gauge() const;
  TQualcommForm& Form() { return *fForm; }
  THexWindow& HexWindow() { return *fHex; }

  // Shows the window over the thread's other windows, which stay disabled
  // until it closes; returns when the user closes it. As a modal dialog, it
  // is owned meanwhile by the window that was active (the host's), and that
  // window is active again when it closes.
  void ShowModal();
  // Lets pending window messages run (long commands call it per chunk).
  void ProcessMessages();

  static void RegisterClasses(HINSTANCE instance);
  static void UnregisterClasses(HINSTANCE instance);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void DrawButton(const DRAWITEMSTRUCT& item);
  void ShowPopup(TPopupMenu& menu, int x, int y);
  bool RunFileDialog(TFileDialog& dialog);
  void SyncHexWindowModel();
  void Close();
  // What every close does, once per showing: FormClose, then hide.
  void RunCloseSteps();
  // Gives the focus back to the control that had it when the window was
  // last deactivated (or to the first tab stop); false when none can take it.
  bool RestoreFocus();
  // The modal error box: owned by the window while it shows, so that the
  // activation comes back to it.
  void ShowErrorBox(const std::string& text);

  HINSTANCE fInstance;
  HWND fWnd = nullptr;
  HFONT fFont = nullptr;
  HBRUSH fMemoBrush = nullptr;
  bool fModal = false;
  bool fClosing = false;
  HWND fLastFocus = nullptr;
  TPlatformServices fPlatform;
  std::unique_ptr<THexWindow> fHex;
  std::unique_ptr<TQualcommForm> fForm;
  std::vector<std::unique_ptr<TWidgetBinding>> fBindings;
  std::unique_ptr<TCoolListWindow> fList;
  std::unique_ptr<TWidgetBinding> fFormBinding, fHexBinding, fPanelBinding;
};

}  // namespace kovra::win
