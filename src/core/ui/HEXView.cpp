#include "ui/HEXView.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/CodePage.h"

namespace kovra {
namespace {

// The character column: control codes as ".", everything else as the
// ISO 8859-1 character of that code.
const std::string& ByteChar(uint8_t b) {
  static const auto table = [] {
    std::vector<std::string> t(256);
    for (int i = 0; i < 256; ++i)
      t[static_cast<size_t>(i)] = i < 32 ? std::string(".") : Latin1ToUtf8(std::string(1, static_cast<char>(i)));
    return t;
  }();
  return table[b];
}

const char* ByteHex(uint8_t b) {
  static const auto table = [] {
    std::vector<std::string> t(256);
    for (int i = 0; i < 256; ++i) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%02X", i);
      t[static_cast<size_t>(i)] = buf;
    }
    return t;
  }();
  return table[b].c_str();
}

std::string OffsetText(int64_t offset) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%08llX", static_cast<unsigned long long>(offset));
  return buf;
}

}  // namespace

THEXView::THEXView(TScrollBox& scrollBox, TPaintBox& paintBox, TScrollBar& scrollBar,
                   TFileOpener& files)
    : MyPanel(scrollBox), MyPaint(paintBox), MyScroll(scrollBar), fFiles(files) {
  fFont.Name = "Courier";
  fFont.Height = 13;
  MyPaint.OnPaint = [this] { Paint(); };
  MyPaint.OnMouseDown = [this](TMouseButton b, int x, int y) { MouseDown(b, x, y); };
  MyPaint.OnMouseMove = [this](int x, int y) { MouseMove(x, y); };
  MyPaint.OnMouseUp = [this](TMouseButton b, int x, int y) { MouseUp(b, x, y); };
  MyPanel.OnMouseWheel = [this](int delta) { return MouseWheel(delta); };
  MyPanel.OnResize = [this] { ResizeRefresh(); };
  MyScroll.OnScroll = [this](TScrollCode code, int& pos) { ScrollBarScroll(code, pos); };
  ResizeRefresh();
}

THEXView::~THEXView() {
  MyPaint.OnPaint = nullptr;
  MyPaint.OnMouseDown = nullptr;
  MyPaint.OnMouseMove = nullptr;
  MyPaint.OnMouseUp = nullptr;
  MyPanel.OnMouseWheel = nullptr;
  MyPanel.OnResize = nullptr;
  MyScroll.OnScroll = nullptr;
  SystemCaret().Destroy(&MyPanel);
  if (TCanvas* c = Surface()) c->ReleaseSurface();
}

std::unique_ptr<THEXView> CreateHEXView(TScrollBox& scrollBox, TPaintBox& paintBox,
                                        TScrollBar& scrollBar, TFileOpener& files) {
  return std::make_unique<THEXView>(scrollBox, paintBox, scrollBar, files);
}

TCanvas* THEXView::Surface() const { return MyPaint.Canvas; }

int64_t THEXView::LineCount() const {
  const int64_t lines = (fDataBlock.ChunkLength + 15) / 16;
  // The scroll bar counts in 32-bit lines; 32 GiB of chunk is far beyond any
  // flash image.
  return std::min<int64_t>(lines, INT_MAX - 1);
}

void THEXView::InitializeViewData(const std::string& fileName, int64_t fileOffset,
                                  int64_t chunkLength) {
  CAddrs = 0;
  RAddrs = 0;
  BlBegs = BlEnds = -1;
  SetScrollPosition(0);

  if (fileName.empty() || !fFiles.FileExists(fileName)) {
    fDataBlock.ChunkLength = 0;
  } else {
    fDataBlock.FileName = fileName;
    fDataBlock.StartingOffset = fileOffset;
    fDataBlock.ChunkLength = chunkLength;
    const uint64_t size = fFiles.OpenForReading(fileName)->Size();
    // Written so that no sum can overflow.
    if (fileOffset < 0 || chunkLength < 0 || static_cast<uint64_t>(fileOffset) > size ||
        static_cast<uint64_t>(chunkLength) > size - static_cast<uint64_t>(fileOffset)) {
      fDataBlock.ChunkLength = 0;
    } else {
      fDataBlock.CurrentDataPosition = chunkLength;  // no offset of the chunk lies inside
      CDatas.assign(static_cast<size_t>(std::min(chunkLength, kHexReadWindow)), 0);
    }
  }
  if (fDataBlock.ChunkLength == 0) CDatas.clear();
  HideCaret();
  ResizeRefresh();
}

void THEXView::RebuildSurface() {
  TCanvas* c = Surface();
  if (c == nullptr) {
    PaintData.DebugLines = 0;
    return;
  }
  const int w = MyPaint.Width(), h = MyPaint.Height();
  c->CreateSurface(w, h);
  // Measured in the surface's own font, before the view font goes in.
  TTextExtent ext = c->TextExtent("0");
  ext.cy += PaintData.bRowHeightIncrease;
  ext.cx = std::max(ext.cx, 1);
  ext.cy = std::max(ext.cy, 1);
  PaintData.TextExt = ext;
  PaintData.DebugLines = std::max(h, 0) / ext.cy;
  CaretH = FontHeight = ext.cy;
  SystemCaret().Create(&MyPanel, 2, CaretH);
  SystemCaret().SetPos(&MyPanel, HexLeft(), 0);
  c->SetTransparentText();
  c->SelectFont(fFont);
}

void THEXView::SetScrollPosition(int position) {
  const int saved = MyScroll.Tag;
  MyScroll.Tag = kScrollingByCode;
  MyScroll.SetPosition(position);
  MyScroll.Tag = saved;
}

void THEXView::SetScrollRange() {
  const int lines = static_cast<int>(LineCount());
  const int v = PaintData.DebugLines;
  const int saved = MyScroll.Tag;
  MyScroll.Tag = kScrollingByCode;
  if (lines > v) {
    // Page first cleared so that range and page never disagree.
    MyScroll.SetPageSize(0);
    MyScroll.SetRange(0, lines);
    MyScroll.SetPageSize(v + 1);
    MyScroll.SmallChange = 1;
    MyScroll.LargeChange = std::max(v, 1);
    MyScroll.SetEnabled(true);
  } else {
    MyScroll.SetPosition(0);
    MyScroll.SetEnabled(false);
  }
  int pos = MyScroll.Position();
  if (pos + v > lines) pos = std::max(lines - v, 0);
  MyScroll.SetPosition(pos);
  MyScroll.Tag = saved;
  CAddrs = static_cast<int64_t>(pos) * 16;
}

void THEXView::ResizeRefresh() {
  RebuildSurface();
  SetScrollRange();
  Paint();
}

void THEXView::EnsureReadWindow() {
  const int64_t chunk = fDataBlock.ChunkLength;
  if (chunk <= 0) return;
  const int64_t top = CAddrs;
  // The lines that may be drawn, partly visible last one included, but
  // never past the chunk: a short chunk is read once, not on every paint.
  const int64_t needEnd = std::min(top + (static_cast<int64_t>(PaintData.DebugLines) + 1) * 16, chunk);
  // A pane taller than the window's 8 KiB after the top line gets a longer window.
  const int64_t length =
      std::min(chunk, std::max(kHexReadWindow, kHexReadBefore + (needEnd - top)));
  if (static_cast<int64_t>(CDatas.size()) != length) {
    CDatas.assign(static_cast<size_t>(length), 0);
    fDataBlock.CurrentDataPosition = chunk;
  }
  const int64_t start = fDataBlock.CurrentDataPosition;
  if (top >= start && needEnd <= start + length) return;

  const int64_t newStart = std::max<int64_t>(top - kHexReadBefore, 0);
  fDataBlock.CurrentDataPosition = chunk;  // invalid until the read succeeds
  std::fill(CDatas.begin(), CDatas.end(), 0);
  try {
    auto file = fFiles.OpenForReading(fDataBlock.FileName);
    const uint64_t size = file->Size();
    const uint64_t at = static_cast<uint64_t>(fDataBlock.StartingOffset + newStart);
    const uint64_t avail = size > at ? size - at : 0;
    const size_t count = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(length), avail));
    if (count > 0) file->ReadAt(at, CDatas.data(), count);
  } catch (...) {
    // The file went away or shrank under us: show an empty pane from now
    // on, so that the error is reported once and not on every paint.
    fDataBlock.ChunkLength = 0;
    CDatas.clear();
    throw;
  }
  fDataBlock.CurrentDataPosition = newStart;
}

void THEXView::Paint() {
  TCanvas* c = Surface();
  if (c == nullptr || !c->HasSurface()) return;
  EnsureReadWindow();
  if (BlBegs > BlEnds) std::swap(BlBegs, BlEnds);

  const int w = c->SurfaceWidth(), h = c->SurfaceHeight();
  const int cx = PaintData.TextExt.cx, cy = PaintData.TextExt.cy;
  const int hexLeft = HexLeft(), sep = Separator();
  c->FillRect(0, 0, w, h, kHexBackground);
  c->Line(8 * cx + 5, 0, 8 * cx + 5, h, kHexGrid);
  c->Line(sep, 0, sep, h, kHexGrid);
  c->Line(w - 1, 0, w - 1, h, kHexGrid);

  const int64_t chunk = fDataBlock.ChunkLength;
  const int64_t winStart = fDataBlock.CurrentDataPosition;
  const int64_t winLen = static_cast<int64_t>(CDatas.size());
  for (int64_t n = 0, y = 0; y < h; ++n, y += cy) {
    const int64_t i = CAddrs + 16 * n;
    const int yy = static_cast<int>(y);
    c->SetTextColor(kHexOffsetText);
    c->TextAt(0, yy, i < chunk ? OffsetText(i) : std::string(8, ' '));
    for (int k = 0; k < 16; ++k) {
      const int64_t b = i + k;
      if (b >= chunk) break;
      const int64_t at = b - winStart;
      if (at < 0 || at >= winLen) continue;  // not in the read window: never shown stale
      const uint8_t value = CDatas[static_cast<size_t>(at)];
      const int hx = hexLeft + 3 * k * cx;
      const int chx = sep + 5 + k * cx;
      if (b >= BlBegs && b <= BlEnds) {
        const int boxW = (k == 15 || b == BlEnds) ? 2 * cx : 3 * cx;
        c->FillRect(hx, yy, hx + boxW, yy + cy, kHexSelBackground);
        c->FillRect(chx, yy, chx + cx, yy + cy, kHexSelBackground);
        c->SetTextColor(kHexSelectedText);
      } else {
        c->SetTextColor(b % 2 == 0 ? kHexEvenText : kHexOddText);
      }
      c->TextAt(hx, yy, ByteHex(value));
      c->TextAt(chx, yy, ByteChar(value));
    }
  }
  c->CopyToScreen();
}

THEXView::THit THEXView::HitTest(int x, int y) const {
  const int cx = std::max(PaintData.TextExt.cx, 1), cy = std::max(PaintData.TextExt.cy, 1);
  const int r = y / cy;
  const int u = x - HexLeft();
  THit hit;
  int k = 0;
  if (u >= 0) {
    k = u / (3 * cx);
    // The right half of the gap after a byte belongs to the next byte.
    if (u % (3 * cx) > 2 * cx + cx / 2) ++k;
  }
  if (k >= 16) {
    hit.Column = 1;
    k = std::min((x - Separator()) / cx, 15);
  }
  hit.Offset = CAddrs + 16 * static_cast<int64_t>(r) + k;
  return hit;
}

bool THEXView::ByteOnDrawnLine(int64_t offset) const {
  if (offset < CAddrs || offset < 0) return false;
  const int64_t row = (offset - CAddrs) / 16;
  return row * PaintData.TextExt.cy < MyPaint.Height();
}

void THEXView::ShowCaretAt(int x, int y) {
  TCaret& caret = SystemCaret();
  // One caret for the whole user interface: take it over from the other pane.
  if (caret.Owner() != &MyPanel) caret.Create(&MyPanel, 2, CaretH);
  caret.SetPos(&MyPanel, x + MyPaint.Left(), y + MyPaint.Top());
  caret.Show(&MyPanel);
  CaretHidden = false;
}

void THEXView::HideCaret() {
  SystemCaret().Hide(&MyPanel);
  CaretHidden = true;
}

void THEXView::PlaceCaret() {
  if (fDataBlock.ChunkLength <= 0 || HasSelection() || !ByteOnDrawnLine(RAddrs)) {
    HideCaret();
    return;
  }
  const int cx = PaintData.TextExt.cx, cy = PaintData.TextExt.cy;
  const int k = static_cast<int>(RAddrs % 16);
  const int row = static_cast<int>((RAddrs - CAddrs) / 16);
  const int x = CarPos == 0 ? HexLeft() + 3 * k * cx : Separator() + 5 + k * cx;
  ShowCaretAt(x, row * cy);
}

void THEXView::AfterScroll(int position) {
  HideCaret();
  CAddrs = static_cast<int64_t>(position) * 16;
  Paint();
  if (!HasSelection()) PlaceCaret();
}

void THEXView::MouseDown(TMouseButton button, int x, int y) {
  MyPanel.SetFocus();
  if (button != TMouseButton::mbLeft || Surface() == nullptr) return;
  if (MouseDowned) return;
  DownX = x;
  DownY = y;
  OldX = OldY = -1;
  fDragStarted = false;
  if (HasSelection()) {
    BlBegs = BlEnds = -1;
    Paint();
  }
  const THit hit = HitTest(x, y);
  if (hit.Offset < 0 || hit.Offset >= fDataBlock.ChunkLength) return;

  HideCaret();
  CarPos = hit.Column;
  Paint();
  RAddrs = hit.Offset;
  PlaceCaret();
  const int64_t row = (RAddrs - CAddrs) / 16;
  if (row >= PaintData.DebugLines) {
    // On the partly visible last line: bring it to the top, as far as the range goes.
    const int64_t maxPos = std::max<int64_t>(LineCount() - PaintData.DebugLines, 0);
    const int pos = static_cast<int>(std::min<int64_t>(RAddrs / 16, maxPos));
    SetScrollPosition(pos);
    AfterScroll(pos);
  }
  TempBBeg = RAddrs;
  MouseDowned = true;
}

void THEXView::MouseMove(int x, int y) {
  if (!MouseDowned || fDataBlock.ChunkLength <= 0) return;
  if (!fDragStarted) {
    if (std::abs(x - DownX) < 1 && std::abs(y - DownY) < 1) return;
    fDragStarted = true;
    BlBegs = BlEnds = TempBBeg;
    HideCaret();
  }
  const int64_t p = HitTest(x, y).Offset;
  if (p < TempBBeg) {
    BlBegs = p;
    BlEnds = TempBBeg - 1;
  } else {
    BlBegs = TempBBeg;
    BlEnds = p;
  }
  if (BlBegs != OldX || BlEnds != OldY) {
    RAddrs = p;
    Paint();
    OldX = BlBegs;
    OldY = BlEnds;
  }
}

void THEXView::MouseUp(TMouseButton, int, int) { MouseDowned = false; }

bool THEXView::MouseWheel(int delta) {
  if (Surface() == nullptr) return true;
  const int64_t maxPos = std::max<int64_t>(LineCount() - PaintData.DebugLines, 0);
  int64_t pos = CAddrs / 16;
  pos = delta < 0 ? std::min(pos + 6, maxPos) : std::max<int64_t>(pos - 6, 0);
  SetScrollPosition(static_cast<int>(pos));
  AfterScroll(static_cast<int>(pos));
  return true;
}

void THEXView::ScrollBarScroll(TScrollCode code, int& scrollPos) {
  if (MyScroll.Tag == kScrollingByCode) return;
  MyPanel.SetFocus();
  const int64_t maxPos = std::max<int64_t>(LineCount() - PaintData.DebugLines, 0);
  if (scrollPos > maxPos) scrollPos = static_cast<int>(maxPos);
  if (code == TScrollCode::scPosition || code == TScrollCode::scEndScroll) {
    scrollPos = static_cast<int>(CAddrs / 16);
    return;
  }
  AfterScroll(scrollPos);
}

}  // namespace kovra
