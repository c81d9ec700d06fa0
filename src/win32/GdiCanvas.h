#pragma once
// The canvas on Windows: a memory DC with a bitmap the size of the paint
// box, copied to the paint box's window in one BitBlt. Pens and brushes are
// made once per colour and surface and reused by every paint.
//
// The module's windows keep their designed pixel layout at every screen DPI
// (fonts are given in pixels). The views measure their cells in a fresh
// surface's default font, which the system scales with the DPI; that font is
// therefore measured as it is at 96 DPI.
#include <windows.h>

#include <map>
#include <string>

#include "platform/Canvas.h"

namespace kovra::win {

class TGdiCanvas : public TCanvas {
 public:
  // target: the window that CopyToScreen draws into.
  explicit TGdiCanvas(HWND target = nullptr) : fTarget(target) {}
  ~TGdiCanvas() override;
  TGdiCanvas(const TGdiCanvas&) = delete;
  TGdiCanvas& operator=(const TGdiCanvas&) = delete;

  void SetTarget(HWND target) { fTarget = target; }
  HWND Target() const { return fTarget; }
  HDC MemoryDC() const { return fDC; }

  void CreateSurface(int width, int height) override;
  void ReleaseSurface() override;
  bool HasSurface() const override { return fDC != nullptr; }
  int SurfaceWidth() const override { return fWidth; }
  int SurfaceHeight() const override { return fHeight; }
  void SelectFont(const TFontSpec& font) override;
  void SetTransparentText() override;
  void SetTextColor(TCanvasColor color) override;
  void FillRect(int left, int top, int right, int bottom, TCanvasColor color) override;
  void Line(int x0, int y0, int x1, int y1, TCanvasColor color) override;
  void TextAt(int x, int y, std::string_view utf8) override;
  TTextExtent TextExtent(std::string_view utf8) override;
  int FitCount(std::string_view utf8, int maxWidth) override;
  void CopyToScreen() override;

 private:
  HPEN Pen(TCanvasColor color);
  HBRUSH Brush(TCanvasColor color);
  void ReleaseFont();
  SIZE DefaultFontExtentAt96(const std::wstring& text);

  HWND fTarget;
  HDC fDC = nullptr;
  HBITMAP fBitmap = nullptr;
  HGDIOBJ fOldBitmap = nullptr, fOldFont = nullptr, fOldPen = nullptr, fOldBrush = nullptr;
  HFONT fFont = nullptr;
  TFontSpec fFontSpec;
  bool fFontSelected = false;  // else the surface draws in its default font
  int fWidth = 0, fHeight = 0;
  std::map<TCanvasColor, HPEN> fPens;
  std::map<TCanvasColor, HBRUSH> fBrushes;
};

}  // namespace kovra::win
