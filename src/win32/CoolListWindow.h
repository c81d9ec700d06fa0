#pragma once
// The partition list's real controls, made inside a parent window that the
// owner gives (the list's group box area): a sunken panel holding the header
// on top, the vertical scroll bar at the right while it is shown and aligned,
// and the focusable scroll box with the paint box filling the rest. The
// controls are bound to the owner's widget models; create the
// TCoolListView on the same models after this, and destroy it before.
#include <windows.h>

#include <memory>

#include "ViewWidgets.h"
#include "ui/Widgets.h"

namespace kovra::win {

inline constexpr int kListHeaderHeight = 23;
inline constexpr int kListScrollBarWidth = 17;

class TCoolListWindow {
 public:
  // headerFont: the header's font, owned by the caller. Gives the scroll
  // bar its right alignment when it has none, so that the list view
  // remembers it.
  TCoolListWindow(HWND parent, THeaderControl& header, TScrollBox& scrollBox, TPaintBox& paintBox,
                  TScrollBar& scrollBar, HFONT headerFont);
  ~TCoolListWindow();
  TCoolListWindow(const TCoolListWindow&) = delete;
  TCoolListWindow& operator=(const TCoolListWindow&) = delete;

  // The panel's place in the parent's client area.
  void SetBounds(int left, int top, int width, int height);
  HWND Panel() const { return fPanel->Handle(); }
  HWND PaintBoxHandle() const { return fPaint->Handle(); }
  HWND ScrollBoxHandle() const { return fBox->Handle(); }
  HWND ScrollBarHandle() const { return fBar->Handle(); }
  HWND HeaderHandle() const { return fHeaderCtl->Handle(); }
  // Lets the list's repaint timer tick (it stays off in the main window).
  void BindTimer(TTimer& timer);

 private:
  void Layout(int width, int height);

  THeaderControl& fHeader;
  TScrollBox& fScrollBox;
  TPaintBox& fPaintBox;
  TScrollBar& fScrollBar;
  std::unique_ptr<TWinPanel> fPanel;
  std::unique_ptr<TWinHeader> fHeaderCtl;
  std::unique_ptr<TWinScrollBox> fBox;
  std::unique_ptr<TWinPaintBox> fPaint;
  std::unique_ptr<TWinScrollBar> fBar;
  std::unique_ptr<TWinTimer> fTimer;
  bool fInLayout = false;
  bool fLayoutAgain = false;
};

}  // namespace kovra::win
