#pragma once
// Real controls for the widget models of the scroll views: a paint box and
// a focusable scroll box of our own window classes, the system's SCROLLBAR
// and SysHeader32, a plain panel, the system caret, the pointer position
// and timers. Each binding creates its control, pushes every change of its
// model into it and turns the control's messages into the model's events.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "GdiCanvas.h"
#include "ui/Widgets.h"

namespace kovra::win {

inline constexpr wchar_t kPaintBoxClass[] = L"KovraPaintBox";
inline constexpr wchar_t kScrollBoxClass[] = L"KovraScrollBox";
inline constexpr wchar_t kPanelClass[] = L"KovraPanel";

// Window classes, the caret, pointer and timer seams. Call once per module
// load before creating any view; unregister when the module unloads.
void RegisterViewClasses(HINSTANCE instance);
void UnregisterViewClasses(HINSTANCE instance);

// Exceptions stop at every window procedure and end here; by default in an
// error message box, the general error report of the module. Returns the
// reporter it replaces: whoever installs one that refers to itself must take
// it away again before it goes.
using TViewErrorReporter = std::function<void(const std::string& text)>;
TViewErrorReporter SetViewErrorReporter(TViewErrorReporter reporter);
void ReportViewError(const std::string& text);

// Runs an event handler at a window procedure's edge.
template <typename F>
void Guarded(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    ReportViewError(e.what());
  } catch (...) {
    ReportViewError("Unknown error");
  }
}

// Common part: one model, one real control.
class TWinControl : public TWidgetBinding {
 public:
  TWinControl(TWidget& model) : fModel(model) {}
  ~TWinControl() override;
  TWinControl(const TWinControl&) = delete;
  TWinControl& operator=(const TWinControl&) = delete;

  HWND Handle() const { return fWnd; }
  TWidget& Model() { return fModel; }
  void Changed(TWidget& widget, TWidgetChange what) override;

  // The binding of a window made by any of the classes here, or null.
  static TWinControl* FromHandle(HWND wnd);
  // The real window of a bound model, or null.
  static HWND HandleOf(const TWidget* model);

  // Messages a parent receives for its children (scroll bars, headers).
  virtual bool HandleScroll(WPARAM) { return false; }
  virtual bool HandleNotify(NMHDR*, LRESULT&) { return false; }

 protected:
  // Creates the window and binds it to the model at the model's bounds.
  void Create(DWORD exStyle, const wchar_t* cls, DWORD style, HWND parent);
  HWND fWnd = nullptr;
  TWidget& fModel;
};

// Forwards WM_VSCROLL/WM_HSCROLL and WM_NOTIFY from bound child controls to
// their bindings; true when handled.
bool ForwardChildMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

class TWinPaintBox : public TWinControl {
 public:
  TWinPaintBox(TPaintBox& model, HWND parent);
  ~TWinPaintBox() override;
  TGdiCanvas& Canvas() { return fCanvas; }
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);

 private:
  TPaintBox& fPaint;
  TGdiCanvas fCanvas;
  // A press holds the mouse capture until its release, or until another
  // window takes the capture.
  bool fCaptured = false;
  TMouseButton fCaptureButton = TMouseButton::mbLeft;
};

class TWinScrollBox : public TWinControl {
 public:
  TWinScrollBox(TScrollBox& model, HWND parent, COLORREF background = 0xFFFFFF);
  ~TWinScrollBox() override;
  // Places the children for a new size, before the model's resize event.
  std::function<void(int width, int height)> OnLayout;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);

 private:
  TScrollBox& fBox;
  HBRUSH fBackground;
};

// A plain container; lowered when sunken (the bevel of the panes).
class TWinPanel {
 public:
  TWinPanel(HWND parent, bool sunken, COLORREF background);
  ~TWinPanel();
  TWinPanel(const TWinPanel&) = delete;
  TWinPanel& operator=(const TWinPanel&) = delete;
  HWND Handle() const { return fWnd; }
  std::function<void(int width, int height)> OnLayout;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);

 private:
  HWND fWnd = nullptr;
  HBRUSH fBackground;
};

class TWinScrollBar : public TWinControl {
 public:
  TWinScrollBar(TScrollBar& model, HWND parent);
  void Changed(TWidget& widget, TWidgetChange what) override;
  bool HandleScroll(WPARAM wp) override;
  // Told when visibility or alignment changed, so the parent can relay out.
  std::function<void()> OnPlacementChanged;

 private:
  void PushState();
  TScrollBar& fBar;
};

class TWinHeader : public TWinControl {
 public:
  TWinHeader(THeaderControl& model, HWND parent, HFONT font);
  void Changed(TWidget& widget, TWidgetChange what) override;
  bool HandleNotify(NMHDR* hdr, LRESULT& result) override;

 private:
  void PushSections();
  THeaderControl& fHeader;
  bool fPushing = false;
};

// Makes a timer model tick through a system timer while enabled.
class TWinTimer {
 public:
  explicit TWinTimer(TTimer& model);
  ~TWinTimer();
  TWinTimer(const TWinTimer&) = delete;
  TWinTimer& operator=(const TWinTimer&) = delete;

 private:
  void Update();
  static void CALLBACK Proc(HWND, UINT, UINT_PTR id, DWORD);
  TTimer& fModel;
  UINT_PTR fId = 0;
};

// The dialog font of the module's windows (Tahoma, the given pixel height).
HFONT CreateUiFont(int pixelHeight, const wchar_t* face = L"Tahoma");

}  // namespace kovra::win
