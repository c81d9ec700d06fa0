#pragma once
// A read-only hex pane over one stretch ("chunk") of a file: offsets,
// sixteen bytes a line in hex and as characters. The pane is not a window:
// its owner hands it a scroll box, the paint box inside it and a scroll bar,
// and it draws through the paint box's canvas. It reads the file itself, a
// window of 16 KiB around the lines shown, and never keeps it open.
//
// Offsets and sizes are 64-bit throughout, so images between 2 and 4 GiB
// (and above) show their data.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Canvas.h"
#include "platform/FileReader.h"
#include "ui/Widgets.h"

namespace kovra {

struct THexDataBlockDesc {
  std::string FileName;
  int64_t StartingOffset = 0;       // file offset of the chunk's first byte
  int64_t CurrentDataPosition = 0;  // chunk offset of the read window's first byte
  int64_t ChunkLength = 0;          // 0: the pane is empty
};

struct THexPaintData {
  TTextExtent TextExt;  // cx: character cell width, cy: row height
  int bTextMargin = 0;
  int bRowHeightIncrease = 0;
  int DebugLines = 0;  // whole lines that fit in the paint box
};

// Colours (0x00BBGGRR).
inline constexpr TCanvasColor kHexBackground = 0xFFFFFF;
inline constexpr TCanvasColor kHexGrid = 0xF0F0F0;
inline constexpr TCanvasColor kHexSelBackground = 0x000000;
inline constexpr TCanvasColor kHexOffsetText = 0x808000;
inline constexpr TCanvasColor kHexEvenText = 0xFF0000;
inline constexpr TCanvasColor kHexOddText = 0x800000;
inline constexpr TCanvasColor kHexSelectedText = 0xFFFFFF;

// Marks the scroll bar while the pane sets its position itself.
inline constexpr int kScrollingByCode = 0x1234;
// The read window: this many bytes, starting this far before the top line.
inline constexpr int64_t kHexReadWindow = 16384;
inline constexpr int64_t kHexReadBefore = 8192;

class THEXView {
 public:
  // Wires the widgets' events to the pane and runs the resize refresh once.
  // The pane reads through files (the real file system by default).
  THEXView(TScrollBox& scrollBox, TPaintBox& paintBox, TScrollBar& scrollBar,
           TFileOpener& files = DefaultFileOpener());
  ~THEXView();
  THEXView(const THEXView&) = delete;
  THEXView& operator=(const THEXView&) = delete;

  // Shows a new chunk; an empty or missing file, or a chunk reaching past
  // the file's end, empties the pane. Resets caret, selection and scroll.
  void InitializeViewData(const std::string& fileName, int64_t fileOffset, int64_t chunkLength);

  // Draws the current state and copies it to the screen.
  void Paint();
  // Rebuilds surface, metrics, caret and scroll range for the paint box's
  // size, then paints.
  void ResizeRefresh();

  // Event handlers (wired to the widgets; callable directly).
  void MouseDown(TMouseButton button, int x, int y);
  void MouseMove(int x, int y);
  void MouseUp(TMouseButton button, int x, int y);
  bool MouseWheel(int delta);
  void ScrollBarScroll(TScrollCode code, int& scrollPos);

  struct THit {
    int64_t Offset = 0;
    uint8_t Column = 0;  // 0 hex, 1 characters
  };
  THit HitTest(int x, int y) const;

  const THexDataBlockDesc& DataBlock() const { return fDataBlock; }
  int64_t ChunkLength() const { return fDataBlock.ChunkLength; }
  int64_t TopOffset() const { return CAddrs; }
  int64_t CaretByte() const { return RAddrs; }
  uint8_t CaretColumn() const { return CarPos; }
  int64_t SelectionBegin() const { return std::min(BlBegs, BlEnds); }
  int64_t SelectionEnd() const { return std::max(BlBegs, BlEnds); }
  bool HasSelection() const { return BlBegs != -1 || BlEnds != -1; }
  bool Dragging() const { return MouseDowned; }
  int CharWidth() const { return PaintData.TextExt.cx; }
  int RowHeight() const { return PaintData.TextExt.cy; }
  int VisibleLines() const { return PaintData.DebugLines; }
  int64_t LineCount() const;
  // Geometry of the columns, from the character cell.
  int HexLeft() const { return 8 * CharWidth() + 10; }
  int Separator() const { return 56 * CharWidth() + 7; }

  TScrollBox& ScrollBox() { return MyPanel; }
  TPaintBox& PaintBox() { return MyPaint; }
  TScrollBar& ScrollBar() { return MyScroll; }

 private:
  TCanvas* Surface() const;
  void RebuildSurface();
  void SetScrollRange();
  void SetScrollPosition(int position);
  void EnsureReadWindow();
  void AfterScroll(int position);
  void PlaceCaret();
  void ShowCaretAt(int x, int y);
  void HideCaret();
  bool ByteOnDrawnLine(int64_t offset) const;

  uint8_t CarPos = 0;
  int64_t CAddrs = 0;
  int64_t RAddrs = 0;
  int64_t BlEnds = -1, BlBegs = -1;
  uint8_t BytesInAddr = 8;
  uint8_t BytesInLine = 16;
  bool MouseDowned = false;
  bool fDragStarted = false;
  bool CaretHidden = false;
  int64_t TempBBeg = 0;
  THexPaintData PaintData;
  int CaretH = 0;
  std::vector<uint8_t> CDatas;
  int64_t OldX = -1, OldY = -1;
  int DownX = 0, DownY = 0;
  int FontHeight = 0;
  THexDataBlockDesc fDataBlock;
  TScrollBox& MyPanel;
  TPaintBox& MyPaint;
  TScrollBar& MyScroll;
  TFileOpener& fFiles;
  TFontSpec fFont;
};

std::unique_ptr<THEXView> CreateHEXView(TScrollBox& scrollBox, TPaintBox& paintBox,
                                        TScrollBar& scrollBar,
                                        TFileOpener& files = DefaultFileOpener());

}  // namespace kovra
