#pragma once
// The owner-drawn partition list. Not a window of its own: its owner hands
// it a scroll box (the focusable container), a paint box (the drawing area
// inside it), a vertical scroll bar and a header control whose sections
// are the columns. It draws every visible row into an off-screen surface
// and copies it to the paint box in one step. It owns none of the rows: the
// owner attaches a TCoolItemsList by pointer, and the list reads it on
// every paint.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Canvas.h"
#include "ui/CoolItems.h"
#include "ui/Widgets.h"

namespace kovra {

// Colours (0x00BBGGRR).
inline constexpr TCanvasColor kListBackground = 0xFFFFFF;
inline constexpr TCanvasColor kListBacklines = 0xF0F0F0;
inline constexpr TCanvasColor kListFocusedCursor = 0xFF9933;
inline constexpr TCanvasColor kListUnfocusedCursor = 0xC0C0C0;

// Marks the scroll bar while the list sets its position itself.
inline constexpr int kListScrollingByCode = 0x1234;

struct TListPaintData {
  TTextExtent TextExt;  // cy is the row height
  int bTextMargin = 0;
  int bRowHeightIncrease = 0;
  int DebugLines = 0;  // rows that fit in the paint box
  int Cursor = -1;     // the cursor row
};

class TCoolListView {
 public:
  using TOnDoubleClick = std::function<void(TPaintBox& sender)>;
  using TOnSelectionChange = std::function<void(int itemIndex, TMouseButton button, int x, int y)>;

  // Wires the four widgets' events to the list and runs Refresh once.
  TCoolListView(TScrollBox& scrollBox, TPaintBox& paintBox, TScrollBar& scrollBar,
                THeaderControl& header, int fontHeight, const std::string& fontName);
  ~TCoolListView();
  TCoolListView(const TCoolListView&) = delete;
  TCoolListView& operator=(const TCoolListView&) = delete;

  // The cursor row, -1 for none. Every write reports to OnSelectionChange
  // (left button, pointer position), also when nothing changed. No scroll.
  int ItemIndex() const { return PaintData.Cursor; }
  void SetItemIndex(int value);

  TOnDoubleClick OnDoubleClick;
  TOnSelectionChange OnSelectionChange;

  PCoolItemsList pCoolItemsList() const { return CoolItemsList; }
  void SetCoolItemsList(PCoolItemsList list) { CoolItemsList = list; }

  int BottomTextMargin() const { return PaintData.bTextMargin; }
  void SetBottomTextMargin(int margin) { PaintData.bTextMargin = margin; }
  int RowHeightIncrease() const { return PaintData.bRowHeightIncrease; }
  void SetRowHeightIncrease(int increase) { PaintData.bRowHeightIncrease = increase; }
  int ScreenLines() const { return fScreenLines; }
  bool RepaintActive() const { return RepaintInProgress; }
  bool MultiThreadRepaint() const { return MyTimer.Enabled(); }
  void SetMultiThreadRepaint(bool on) { MyTimer.SetEnabled(on); }

  // Rebuilds the surface and the scroll range, then repaints. Call after
  // changing the rows or their count and after attaching a list.
  void Refresh();
  // Draws the visible rows from the current state.
  void Repaint();
  // Only marks a repaint as wanted; the timer, while enabled, does it.
  void QueueRepaint() { fNeedRepaint = true; }
  // Scrolls so that the cursor row shows at visible row visibleOffset (0 the
  // top row, -1 the bottom one).
  void RewindCursorVisible(int visibleOffset);
  // Empties every row's Values and Colors, then Types and Items; Count stays.
  void FreeDataFields();
  // One key, wParam its virtual key code; true for every key.
  bool ProcessKeyboardInput(uint32_t wParam, uint32_t lParam);
  // The context menu asked for from the keyboard: reported to
  // OnSelectionChange as a right press on the cursor row (brought into view
  // first), at the screen point just below the row's left end. False, and
  // nothing reported, without a cursor row.
  bool ContextPopupKey();

  // Event handlers (wired to the widgets; callable directly).
  void PaintBoxMouseDown(TMouseButton button, int x, int y);
  void PaintBoxDblClick();
  bool ScrollBoxMouseWheel(int delta);
  void ScrollBarScroll(TScrollCode code, int& scrollPos);

  int RowHeight() const { return PaintData.TextExt.cy; }
  int FirstVisibleRow() const { return MyScrollBar.Position(); }
  int CurrentItemClicked() const { return fCurrentItemClicked; }
  TTimer& Timer() { return MyTimer; }
  const TFontSpec& ListFont() const { return fFont; }
  // 2 for character positions of a hex field followed by a digit-group gap.
  int DigitGroupGap(int position) const;

 private:
  int Count() const { return CoolItemsList ? CoolItemsList->Count : 0; }
  TCanvas* Surface() const { return MyPaint.Canvas; }
  void RebuildSurface();
  void SetScrollRange();
  void SetScrollPosition(int position);
  void DrawFittedText(TCanvas& c, const std::string& text, int x, int y, int sectionWidth);
  void DrawHexField(TCanvas& c, const TCoolCell& cell, int x, int y, int sectionWidth);

  int fScreenLines = 0;
  TListPaintData PaintData;
  TAlign fScrollBarAlign = TAlign::alNone;
  int fCurrentItemClicked = -1;
  std::array<uint32_t, 4> HexColors{};
  std::array<int, 16> ExtraWidths{};
  bool RepaintInProgress = false;
  PCoolItemsList CoolItemsList = nullptr;
  int fSectionMinWidth = 50;
  int MouseX = 0, MouseY = 0;
  bool fNeedRepaint = false;
  TTimer MyTimer;
  TPaintBox& MyPaint;
  TScrollBox& MyScrollBox;
  TScrollBar& MyScrollBar;
  THeaderControl& MyHeader;
  TFontSpec fFont;
};

std::unique_ptr<TCoolListView> CreateCoolListView(TScrollBox& scrollBox, TPaintBox& paintBox,
                                                  TScrollBar& scrollBar, THeaderControl& header,
                                                  int fontHeight, const std::string& fontName);

}  // namespace kovra
