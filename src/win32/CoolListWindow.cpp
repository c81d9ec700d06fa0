#include "CoolListWindow.h"

#include <algorithm>

namespace kovra::win {

TCoolListWindow::TCoolListWindow(HWND parent, THeaderControl& header, TScrollBox& scrollBox,
                                 TPaintBox& paintBox, TScrollBar& scrollBar, HFONT headerFont)
    : fHeader(header), fScrollBox(scrollBox), fPaintBox(paintBox), fScrollBar(scrollBar) {
  if (fScrollBar.Align() == TAlign::alNone) fScrollBar.SetAlign(TAlign::alRight);
  fPanel = std::make_unique<TWinPanel>(parent, true, GetSysColor(COLOR_BTNFACE));
  fHeaderCtl = std::make_unique<TWinHeader>(fHeader, fPanel->Handle(), headerFont);
  fBox = std::make_unique<TWinScrollBox>(fScrollBox, fPanel->Handle(), 0xFFFFFF);
  fPaint = std::make_unique<TWinPaintBox>(fPaintBox, fBox->Handle());
  fBar = std::make_unique<TWinScrollBar>(fScrollBar, fPanel->Handle());
  fPanel->OnLayout = [this](int w, int h) { Layout(w, h); };
  fBar->OnPlacementChanged = [this] {
    RECT r;
    GetClientRect(fPanel->Handle(), &r);
    Layout(r.right, r.bottom);
  };
}

TCoolListWindow::~TCoolListWindow() {
  fTimer.reset();
  // Children before their containers.
  fBar.reset();
  fPaint.reset();
  fBox.reset();
  fHeaderCtl.reset();
  fPanel.reset();
}

void TCoolListWindow::SetBounds(int left, int top, int width, int height) {
  MoveWindow(fPanel->Handle(), left, top, width, height, TRUE);
}

void TCoolListWindow::BindTimer(TTimer& timer) { fTimer = std::make_unique<TWinTimer>(timer); }

void TCoolListWindow::Layout(int width, int height) {
  // Showing or hiding the scroll bar happens inside the list's Refresh,
  // which the scroll box's resize calls again: lay out once more afterwards
  // instead of nesting.
  if (fInLayout) {
    fLayoutAgain = true;
    return;
  }
  fInLayout = true;
  do {
    fLayoutAgain = false;
    const int below = std::max(height - kListHeaderHeight, 0);
    const bool bar = fScrollBar.Visible() && fScrollBar.Align() == TAlign::alRight;
    const int boxWidth = std::max(width - (bar ? kListScrollBarWidth : 0), 0);
    fHeader.SetBounds(0, 0, width, kListHeaderHeight);
    fScrollBar.SetBounds(boxWidth, kListHeaderHeight, kListScrollBarWidth, below);
    fPaintBox.SetBounds(0, 0, boxWidth, below);
    fScrollBox.SetBounds(0, kListHeaderHeight, boxWidth, below);
  } while (fLayoutAgain);
  fInLayout = false;
}

}  // namespace kovra::win
