#include "GdiCanvas.h"

#include <algorithm>

#include "WinText.h"

namespace kovra::win {

TGdiCanvas::~TGdiCanvas() {
  ReleaseSurface();
  ReleaseFont();
}

void TGdiCanvas::ReleaseFont() {
  if (fFont) DeleteObject(fFont);
  fFont = nullptr;
}

void TGdiCanvas::CreateSurface(int width, int height) {
  ReleaseSurface();
  fWidth = std::max(width, 0);
  fHeight = std::max(height, 0);
  HDC screen = GetDC(fTarget);
  fDC = CreateCompatibleDC(screen);
  // A zero-sized bitmap cannot be made; one pixel stands in and is never shown.
  fBitmap = CreateCompatibleBitmap(screen, std::max(fWidth, 1), std::max(fHeight, 1));
  ReleaseDC(fTarget, screen);
  if (fDC == nullptr || fBitmap == nullptr) {
    ReleaseSurface();
    return;
  }
  fOldBitmap = SelectObject(fDC, fBitmap);
  fOldPen = SelectObject(fDC, GetStockObject(NULL_PEN));
  fOldBrush = SelectObject(fDC, GetStockObject(NULL_BRUSH));
}

void TGdiCanvas::ReleaseSurface() {
  if (fDC) {
    if (fOldBitmap) SelectObject(fDC, fOldBitmap);
    if (fOldFont) SelectObject(fDC, fOldFont);
    if (fOldPen) SelectObject(fDC, fOldPen);
    if (fOldBrush) SelectObject(fDC, fOldBrush);
    DeleteDC(fDC);
  }
  fOldBitmap = fOldFont = fOldPen = fOldBrush = nullptr;
  fDC = nullptr;
  fFontSelected = false;
  if (fBitmap) DeleteObject(fBitmap);
  fBitmap = nullptr;
  for (auto& [color, pen] : fPens) DeleteObject(pen);
  for (auto& [color, brush] : fBrushes) DeleteObject(brush);
  fPens.clear();
  fBrushes.clear();
}

void TGdiCanvas::SelectFont(const TFontSpec& font) {
  if (fDC == nullptr) return;
  const bool same = fFont && font.Name == fFontSpec.Name && font.Height == fFontSpec.Height &&
                    font.Weight == fFontSpec.Weight && font.Italic == fFontSpec.Italic &&
                    font.Underline == fFontSpec.Underline && font.StrikeOut == fFontSpec.StrikeOut;
  if (!same) {
    LOGFONTW lf{};
    lf.lfHeight = font.Height;
    lf.lfWeight = font.Weight;
    lf.lfItalic = font.Italic;
    lf.lfUnderline = font.Underline;
    lf.lfStrikeOut = font.StrikeOut;
    lf.lfCharSet = DEFAULT_CHARSET;
    const std::wstring face = Widen(font.Name).substr(0, LF_FACESIZE - 1);
    face.copy(lf.lfFaceName, face.size());
    HFONT created = CreateFontIndirectW(&lf);
    if (created == nullptr) return;
    // The old font may still be selected into this surface.
    HGDIOBJ previous = SelectObject(fDC, created);
    if (fOldFont == nullptr) fOldFont = previous;
    ReleaseFont();
    fFont = created;
    fFontSpec = font;
    fFontSelected = true;
    return;
  }
  HGDIOBJ previous = SelectObject(fDC, fFont);
  if (fOldFont == nullptr) fOldFont = previous;
  fFontSelected = true;
}

void TGdiCanvas::SetTransparentText() {
  if (fDC) SetBkMode(fDC, TRANSPARENT);
}

void TGdiCanvas::SetTextColor(TCanvasColor color) {
  if (fDC) ::SetTextColor(fDC, color & 0xFFFFFF);
}

HPEN TGdiCanvas::Pen(TCanvasColor color) {
  auto it = fPens.find(color);
  if (it != fPens.end()) return it->second;
  HPEN pen = CreatePen(PS_SOLID, 1, color & 0xFFFFFF);
  fPens.emplace(color, pen);
  return pen;
}

HBRUSH TGdiCanvas::Brush(TCanvasColor color) {
  auto it = fBrushes.find(color);
  if (it != fBrushes.end()) return it->second;
  HBRUSH brush = CreateSolidBrush(color & 0xFFFFFF);
  fBrushes.emplace(color, brush);
  return brush;
}

void TGdiCanvas::FillRect(int left, int top, int right, int bottom, TCanvasColor color) {
  if (fDC == nullptr || right <= left || bottom <= top) return;
  SelectObject(fDC, Pen(color));
  SelectObject(fDC, Brush(color));
  Rectangle(fDC, left, top, right, bottom);
}

void TGdiCanvas::Line(int x0, int y0, int x1, int y1, TCanvasColor color) {
  if (fDC == nullptr) return;
  SelectObject(fDC, Pen(color));
  MoveToEx(fDC, x0, y0, nullptr);
  LineTo(fDC, x1, y1);
}

void TGdiCanvas::TextAt(int x, int y, std::string_view utf8) {
  if (fDC == nullptr || utf8.empty()) return;
  const std::wstring w = Widen(utf8);
  TextOutW(fDC, x, y, w.data(), static_cast<int>(w.size()));
}

TTextExtent TGdiCanvas::TextExtent(std::string_view utf8) {
  if (fDC == nullptr) return {};
  const std::wstring w = Widen(utf8);
  SIZE size{};
  const int dpi = GetDeviceCaps(fDC, LOGPIXELSY);
  if (!fFontSelected && dpi > 0 && dpi != 96) {
    size = DefaultFontExtentAt96(w);
  } else {
    GetTextExtentPoint32W(fDC, w.data(), static_cast<int>(w.size()), &size);
  }
  return {static_cast<int>(size.cx), static_cast<int>(size.cy)};
}

SIZE TGdiCanvas::DefaultFontExtentAt96(const std::wstring& text) {
  SIZE size{};
  const int dpi = GetDeviceCaps(fDC, LOGPIXELSY);
  // The default font's own description with its height at 96 DPI: a
  // scalable face gives exactly the font of 96 DPI.
  LOGFONTW lf{};
  if (GetObjectW(GetCurrentObject(fDC, OBJ_FONT), sizeof lf, &lf) == sizeof lf && lf.lfHeight != 0) {
    const LONG height = MulDiv(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight, 96, dpi);
    lf.lfHeight = lf.lfHeight < 0 ? -height : height;
    if (HFONT font = CreateFontIndirectW(&lf)) {
      HGDIOBJ old = SelectObject(fDC, font);
      TEXTMETRICW tm{};
      GetTextMetricsW(fDC, &tm);
      const bool made = lf.lfHeight > 0 ? tm.tmHeight == lf.lfHeight : tm.tmHeight - tm.tmInternalLeading == -lf.lfHeight;
      if (made) GetTextExtentPoint32W(fDC, text.data(), static_cast<int>(text.size()), &size);
      SelectObject(fDC, old);
      DeleteObject(font);
      if (made) return size;
    }
  }
  // A bitmap face comes in the sizes it has: its measurements are scaled.
  GetTextExtentPoint32W(fDC, text.data(), static_cast<int>(text.size()), &size);
  size.cx = MulDiv(size.cx, 96, dpi);
  size.cy = MulDiv(size.cy, 96, dpi);
  return size;
}

int TGdiCanvas::FitCount(std::string_view utf8, int maxWidth) {
  if (fDC == nullptr || maxWidth < 0) return 0;
  const std::wstring w = Widen(utf8);
  int fit = 0;
  SIZE size{};
  if (!GetTextExtentExPointW(fDC, w.data(), static_cast<int>(w.size()), maxWidth, &fit, nullptr, &size))
    return 0;
  // Characters, not UTF-16 units: a surrogate pair is one character.
  int chars = 0;
  for (int i = 0; i < fit && i < static_cast<int>(w.size()); ++i)
    if (w[static_cast<size_t>(i)] < 0xDC00 || w[static_cast<size_t>(i)] > 0xDFFF) ++chars;
  return chars;
}

void TGdiCanvas::CopyToScreen() {
  if (fDC == nullptr || fTarget == nullptr) return;
  // A caret shown in the target is inverted pixels: it is taken off before
  // the copy and drawn again after, or its blink would leave a ghost. (Both
  // calls do nothing when the caret is elsewhere.)
  const BOOL hid = HideCaret(fTarget);
  HDC dc = GetDC(fTarget);
  BitBlt(dc, 0, 0, fWidth, fHeight, fDC, 0, 0, SRCCOPY);
  ReleaseDC(fTarget, dc);
  if (hid) ShowCaret(fTarget);
}

}  // namespace kovra::win
