#include "ui/CoolListView.h"

#include <algorithm>
#include <climits>

namespace kovra {
namespace {

// The first n characters (code points) of UTF-8 text.
std::string Utf8Prefix(const std::string& text, int n) {
  size_t i = 0;
  int seen = 0;
  while (i < text.size()) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (seen == n) break;
      ++seen;
    }
    ++i;
  }
  return text.substr(0, i);
}

// The characters of UTF-8 text, one string each.
std::vector<std::string> Utf8Chars(const std::string& text) {
  std::vector<std::string> chars;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 || chars.empty())
      chars.emplace_back(1, text[i]);
    else
      chars.back() += text[i];
  }
  return chars;
}

int CodePoints(const std::string& text) {
  int n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

// The filled width of a progress row: full from MaxValue on, empty for a
// zero end, else in proportion, kept inside the row.
int ProgressWidth(int width, int64_t progress, int64_t maxValue) {
  if (progress >= maxValue) return width;
  if (maxValue == 0) return 0;
  if (progress >= -(INT64_MAX / 65536) && progress <= INT64_MAX / 65536 && width <= 65536)
    return static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(width) * progress / maxValue, 0, width));
  // Extreme values: clamp while still in floating point, where any quotient
  // fits; converting an out-of-range one to an integer first is undefined.
  const long double w = static_cast<long double>(width) * progress / maxValue;
  if (!(w > 0)) return 0;
  if (w >= width) return width;
  return static_cast<int>(w);
}

// A pixel coordinate kept where no sum or difference of two of them can
// overflow int.
int Coordinate(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, -(1 << 24), 1 << 24)); }

enum : uint32_t {
  kVkReturn = 13, kVkEscape = 27, kVkPrior = 33, kVkNext = 34, kVkEnd = 35, kVkHome = 36,
  kVkUp = 38, kVkDown = 40
};

}  // namespace

TCoolListView::TCoolListView(TScrollBox& scrollBox, TPaintBox& paintBox, TScrollBar& scrollBar,
                             THeaderControl& header, int fontHeight, const std::string& fontName)
    : MyPaint(paintBox), MyScrollBox(scrollBox), MyScrollBar(scrollBar), MyHeader(header) {
  fSectionMinWidth = 50;
  PaintData.bTextMargin = 0;
  PaintData.Cursor = -1;
  OnDoubleClick = [](TPaintBox&) {};
  OnSelectionChange = [](int, TMouseButton, int, int) {};
  HexColors = {0x503030, 0, 0x503030, 0};
  // Digit-group gaps for 12-digit hex fields: after every fourth digit.
  ExtraWidths.fill(0);
  const int digits = 12;
  for (int p = digits % 4 == 0 ? 4 : digits % 4; p < digits; p += 4) ExtraWidths[p - 1] = 1;
  fNeedRepaint = false;

  MyTimer.SetInterval(10);
  MyTimer.SetEnabled(false);
  MyTimer.OnTimer = [this] {
    if (fNeedRepaint) {
      fNeedRepaint = false;
      Repaint();
    }
  };
  MyHeader.OnSectionResize = [this](size_t) { Repaint(); };
  MyHeader.DoubleBuffered = true;
  MyPaint.OnPaint = [this] { Repaint(); };
  MyPaint.OnDblClick = [this] { PaintBoxDblClick(); };
  MyPaint.OnMouseDown = [this](TMouseButton b, int x, int y) { PaintBoxMouseDown(b, x, y); };
  // The cursor bar's colour follows the focus.
  MyScrollBox.OnEnter = [this] { Repaint(); };
  MyScrollBox.OnExit = [this] { Repaint(); };
  MyScrollBox.OnMouseWheel = [this](int delta) { return ScrollBoxMouseWheel(delta); };
  MyScrollBox.OnContextPopup = [this] { return ContextPopupKey(); };
  MyScrollBox.OnResize = [this] { Refresh(); };
  MyScrollBox.DoubleBuffered = true;
  MyScrollBar.OnScroll = [this](TScrollCode code, int& pos) { ScrollBarScroll(code, pos); };
  fScrollBarAlign = MyScrollBar.Align();

  fFont.Name = fontName.substr(0, 31);
  fFont.Height = fontHeight;
  Refresh();
}

TCoolListView::~TCoolListView() {
  MyHeader.OnSectionResize = nullptr;
  MyPaint.OnPaint = nullptr;
  MyPaint.OnDblClick = nullptr;
  MyPaint.OnMouseDown = nullptr;
  MyScrollBox.OnEnter = nullptr;
  MyScrollBox.OnExit = nullptr;
  MyScrollBox.OnMouseWheel = nullptr;
  MyScrollBox.OnContextPopup = nullptr;
  MyScrollBox.OnResize = nullptr;
  MyScrollBar.OnScroll = nullptr;
  MyTimer.OnChanged = nullptr;
  if (TCanvas* c = Surface()) c->ReleaseSurface();
}

std::unique_ptr<TCoolListView> CreateCoolListView(TScrollBox& scrollBox, TPaintBox& paintBox,
                                                  TScrollBar& scrollBar, THeaderControl& header,
                                                  int fontHeight, const std::string& fontName) {
  return std::make_unique<TCoolListView>(scrollBox, paintBox, scrollBar, header, fontHeight,
                                         fontName);
}

int TCoolListView::DigitGroupGap(int position) const {
  return position >= 0 && position < 16 && ExtraWidths[static_cast<size_t>(position)] != 0 ? 2 : 0;
}

void TCoolListView::SetItemIndex(int value) {
  const TPoint pointer = PointerScreenPos();
  PaintData.Cursor = CoolItemsList && value >= 0 && value < Count() ? value : -1;
  Repaint();
  if (OnSelectionChange) OnSelectionChange(PaintData.Cursor, TMouseButton::mbLeft, pointer.X, pointer.Y);
}

void TCoolListView::RebuildSurface() {
  TCanvas* c = Surface();
  if (c == nullptr) return;
  const int h = MyPaint.Height();
  c->CreateSurface(MyPaint.Width(), h);
  // Measured in the surface's own font, before the list font goes in.
  TTextExtent ext = c->TextExtent("0");
  ext.cy = std::max(ext.cy + PaintData.bRowHeightIncrease, 1);
  PaintData.TextExt = ext;
  PaintData.DebugLines = std::max(h, 0) / ext.cy;
  c->SetTransparentText();
  c->SelectFont(fFont);
}

void TCoolListView::SetScrollPosition(int position) {
  const int saved = MyScrollBar.Tag;
  MyScrollBar.Tag = kListScrollingByCode;
  MyScrollBar.SetPosition(position);
  MyScrollBar.Tag = saved;
}

void TCoolListView::SetScrollRange() {
  const int rowHeight = std::max(PaintData.TextExt.cy, 1);
  fScreenLines = std::max(MyPaint.Height(), 0) / rowHeight;
  const int count = Count();
  const int saved = MyScrollBar.Tag;
  MyScrollBar.Tag = kListScrollingByCode;
  if (fScreenLines < count) {
    // Page cleared first so that range and page never disagree.
    MyScrollBar.SetPageSize(0);
    MyScrollBar.SetRange(0, count);
    MyScrollBar.SetPageSize(fScreenLines + 1);
    MyScrollBar.SmallChange = 1;
    MyScrollBar.LargeChange = std::max(fScreenLines, 1);
    MyScrollBar.SetAlign(fScrollBarAlign);
    MyScrollBar.SetEnabled(true);
    MyScrollBar.SetVisible(true);
  } else {
    MyScrollBar.SetPosition(0);
    MyScrollBar.SetEnabled(false);
    MyScrollBar.SetVisible(false);
    MyScrollBar.SetAlign(TAlign::alNone);
    MyScrollBar.SetPageSize(0);
  }
  if (MyScrollBar.Position() > MyScrollBar.Max() - fScreenLines)
    MyScrollBar.SetPosition(MyScrollBar.Max() - fScreenLines);
  MyScrollBar.Tag = saved;
}

void TCoolListView::Refresh() {
  RebuildSurface();
  SetScrollRange();
  Repaint();
}

void TCoolListView::DrawFittedText(TCanvas& c, const std::string& text, int x, int y,
                                   int sectionWidth) {
  if (text.empty()) return;
  const int fit = c.FitCount(text, sectionWidth - 4);
  if (fit >= CodePoints(text)) {
    c.TextAt(x, y, text);
    return;
  }
  // As many characters as fit, the last three of them "...". Narrower than
  // three characters, only the dots that fit.
  if (fit >= 3)
    c.TextAt(x, y, Utf8Prefix(text, fit - 3) + "...");
  else if (fit > 0)
    c.TextAt(x, y, std::string(static_cast<size_t>(fit), '.'));
}

void TCoolListView::DrawHexField(TCanvas& c, const TCoolCell& cell, int x, int y,
                                 int sectionWidth) {
  const int limit = sectionWidth - (c.TextExtent("...").cx + 16);
  int runX = x;
  int runWidth = 0;
  // Every character is measured and drawn on its own, so that the running
  // width decides exactly where the cell has to end.
  auto put = [&](const std::string& ch, int gap) {
    const int w = c.TextExtent(ch).cx;
    runWidth += gap + w;
    if (runWidth > limit) {
      c.TextAt(runX, y, "...");
      return false;
    }
    c.TextAt(runX, y, ch);
    runX += gap + w;
    return true;
  };
  for (const TCoolCellPiece& piece : cell.Pieces) {
    if (piece.IsNumber && !put("0x", 0)) return;
    const std::vector<std::string> chars = Utf8Chars(piece.Text);
    for (size_t i = 0; i < chars.size(); ++i)
      if (!put(chars[i], DigitGroupGap(static_cast<int>(i)))) return;
  }
}

void TCoolListView::Repaint() {
  TCanvas* c = Surface();
  if (c == nullptr || !c->HasSurface()) return;
  const int w = c->SurfaceWidth(), h = c->SurfaceHeight();
  const int rowHeight = std::max(PaintData.TextExt.cy, 1);
  const int first = MyScrollBar.Position();
  const std::vector<THeaderSection>& sections = MyHeader.Sections();

  c->FillRect(0, 0, w, h, kListBackground);
  // Section widths also come back from stored settings: they are summed in
  // 64 bits and every coordinate drawn with stays far inside int.
  std::vector<int> rights;  // xs(c + 1)
  int64_t xs = 0;
  for (const THeaderSection& s : sections) {
    xs += s.Width;
    rights.push_back(Coordinate(xs));
    c->Line(rights.back(), 0, rights.back(), h, kListBacklines);
  }
  for (int k = 1; k <= PaintData.DebugLines; ++k)
    c->Line(0, k * rowHeight, w, k * rowHeight, kListBacklines);

  const int count = Count();
  int rows = MyScrollBar.Enabled() ? PaintData.DebugLines : count;
  if (rows > count) rows = 0;
  const bool focused = MyScrollBox.Focused();
  for (int k = 0; k < rows; ++k) {
    const int i = first + k;
    // Rows past the list are never read, even if the owner forgot a Refresh.
    if (i < 0 || i >= count || static_cast<size_t>(i) >= CoolItemsList->Items.size()) break;
    const TCoolViewItem& item = CoolItemsList->Items[static_cast<size_t>(i)];
    const bool isCursor = i == PaintData.Cursor;
    const int y = 3 + k * rowHeight;
    const int top = y - 2, bottom = y + rowHeight - 3;
    if (item.IsProgress) {
      const int filled = ProgressWidth(w, item.Progress, item.MaxValue);
      const TCoolItemsList& l = *CoolItemsList;
      c->FillRect(0, top, filled, bottom,
                  isCursor ? l.ColorCursorProgressForeground : l.ColorNormalProgressForeground);
      c->FillRect(filled, top, w, bottom,
                  isCursor ? l.ColorCursorProgressBackground : l.ColorNormalProgressBackground);
    } else if (isCursor) {
      c->FillRect(0, top, w, bottom, focused ? kListFocusedCursor : kListUnfocusedCursor);
    } else {
      c->FillRect(0, top, w, bottom, kListBackground);
      for (int r : rights) c->Line(r, top, r, bottom, kListBacklines);
    }
    int64_t x = 4;
    for (size_t col = 0; col < sections.size(); ++col) {
      const TCoolColoredItem colors =
          col < item.Colors.size() ? item.Colors[col] : TCoolColoredItem{};
      c->SetTextColor(CoolCellColor(colors, isCursor, item.Selected));
      const TCoolCell cell = CoolCellOf(*CoolItemsList, i, static_cast<int>(col));
      const int ty = y - PaintData.bTextMargin;
      const int width = Coordinate(sections[col].Width);
      if (cell.IsHexField)
        DrawHexField(*c, cell, Coordinate(x), ty, width);
      else
        DrawFittedText(*c, cell.Text, Coordinate(x), ty, width);
      x += sections[col].Width;
    }
  }
  c->CopyToScreen();
}

void TCoolListView::RewindCursorVisible(int visibleOffset) {
  if (visibleOffset == -1) visibleOffset = fScreenLines - 1;
  int first = PaintData.Cursor - visibleOffset;
  if (first < 0) first = 0;
  // While all rows fit the range is not in use: the list stays at the top.
  const int upper = MyScrollBar.Enabled() ? MyScrollBar.Max() - fScreenLines : 0;
  if (first > upper) first = std::max(upper, 0);
  SetScrollPosition(first);
  Repaint();
}

void TCoolListView::FreeDataFields() {
  if (CoolItemsList == nullptr) return;
  TCoolItemsList& l = *CoolItemsList;
  const size_t rows = std::min(static_cast<size_t>(std::max(l.Count, 0)), l.Items.size());
  for (size_t r = 0; r < rows; ++r) {
    l.Items[r].Values.clear();
    l.Items[r].Colors.clear();
  }
  l.Types.clear();
  l.Items.clear();
}

bool TCoolListView::ProcessKeyboardInput(uint32_t wParam, uint32_t) {
  const int p = MyScrollBar.Position();
  const int s = fScreenLines;
  const int count = Count();
  auto r = [this] { return PaintData.Cursor; };
  const auto visible = [&](int row) { return row >= p && row < p + s; };
  switch (wParam) {
    case kVkReturn:
      if (OnDoubleClick) OnDoubleClick(MyPaint);
      break;
    case kVkEscape:
      break;
    case kVkUp:
      if (r() != 0) SetItemIndex(r() - 1);
      if (p > r()) RewindCursorVisible(0);
      break;
    case kVkDown:
      if (count > 0 && r() < count - 1) SetItemIndex(r() + 1);
      if (p > r())
        RewindCursorVisible(0);
      else if (r() >= p + s)
        RewindCursorVisible(-1);
      break;
    case kVkPrior:
      if (!visible(r())) {
        RewindCursorVisible(0);
        break;
      }
      SetItemIndex(r() == p ? std::max(p - s, 0) : p);
      if (p > r()) RewindCursorVisible(0);
      break;
    case kVkNext:
      if (!visible(r())) {
        RewindCursorVisible(-1);
        break;
      }
      SetItemIndex(r() == p + s - 1 ? std::min(r() + s, count - 1) : std::min(p + s - 1, count - 1));
      if (r() >= p + s) RewindCursorVisible(-1);
      break;
    case kVkEnd:
      SetItemIndex(count - 1);
      RewindCursorVisible(-1);
      break;
    case kVkHome:
      SetItemIndex(0);
      RewindCursorVisible(0);
      break;
    default:
      break;
  }
  return true;
}

bool TCoolListView::ContextPopupKey() {
  const int row = PaintData.Cursor;
  if (CoolItemsList == nullptr || row < 0 || row >= Count()) return false;
  const int first = MyScrollBar.Position();
  if (row < first) RewindCursorVisible(0);
  else if (row >= first + std::max(fScreenLines, 1)) RewindCursorVisible(-1);
  const int rowHeight = std::max(PaintData.TextExt.cy, 1);
  const TPoint at = WidgetToScreen(MyPaint, {4, (row - MyScrollBar.Position() + 1) * rowHeight});
  if (OnSelectionChange) OnSelectionChange(row, TMouseButton::mbRight, at.X, at.Y);
  return true;
}

void TCoolListView::PaintBoxMouseDown(TMouseButton button, int x, int y) {
  MouseX = x;
  MouseY = y;
  const int rowHeight = std::max(PaintData.TextExt.cy, 1);
  int row = y / rowHeight + MyScrollBar.Position();
  MyScrollBox.SetFocus();
  if (CoolItemsList == nullptr || row >= Count() || y < 0) row = -1;
  fCurrentItemClicked = row;
  if (CoolItemsList != nullptr && row != -1 &&
      static_cast<size_t>(row) < CoolItemsList->Items.size() &&
      !CoolItemsList->Items[static_cast<size_t>(row)].Enabled)
    return;
  PaintData.Cursor = row;
  Repaint();
  const TPoint pointer = PointerScreenPos();
  if (OnSelectionChange) OnSelectionChange(PaintData.Cursor, button, pointer.X, pointer.Y);
}

void TCoolListView::PaintBoxDblClick() {
  if (!OnDoubleClick) return;
  const bool enabled =
      CoolItemsList == nullptr || fCurrentItemClicked == -1 ||
      (static_cast<size_t>(fCurrentItemClicked) < CoolItemsList->Items.size() &&
       CoolItemsList->Items[static_cast<size_t>(fCurrentItemClicked)].Enabled);
  if (enabled) OnDoubleClick(MyPaint);
}

bool TCoolListView::ScrollBoxMouseWheel(int delta) {
  const int p = MyScrollBar.Position();
  const int target = delta >= 0 ? p - 3 : p + 3;
  if (MyScrollBar.Enabled()) MyScrollBar.Scroll(TScrollCode::scTrack, target);
  return true;
}

void TCoolListView::ScrollBarScroll(TScrollCode code, int& scrollPos) {
  if (MyScrollBar.Tag == kListScrollingByCode || !MyScrollBar.Enabled()) return;
  if (scrollPos > MyScrollBar.Max() - fScreenLines) scrollPos = MyScrollBar.Max() - fScreenLines;
  if (scrollPos < 0) scrollPos = 0;
  if (code == TScrollCode::scPosition || code == TScrollCode::scEndScroll) return;
  SetScrollPosition(scrollPos);
  Repaint();
}

}  // namespace kovra
