#pragma once
// A canvas that draws nothing and remembers everything: native tests read
// the recorded frame to see what a control drew and where. Every character
// is a fixed-size cell, one size for the surface's default font and one for
// any selected font, so positions can be worked out by hand.
#include <string>
#include <vector>

#include "platform/Canvas.h"

namespace kovra {

struct TRecordingMetrics {
  int DefaultCharWidth = 8;  // the surface's default font
  int DefaultCharHeight = 16;
  int FontCharWidth = 8;     // any font selected into the surface
  int FontCharHeight = 14;
};

struct TCanvasOp {
  enum TKind { kFill, kLine, kText } Kind = kFill;
  int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;  // Text: X0, Y0 only
  TCanvasColor Color = 0;              // fill, line or text colour
  std::string Text;
};

class TRecordingCanvas : public TCanvas {
 public:
  explicit TRecordingCanvas(TRecordingMetrics metrics = {});

  void CreateSurface(int width, int height) override;
  void ReleaseSurface() override;
  bool HasSurface() const override { return fHasSurface; }
  int SurfaceWidth() const override { return fWidth; }
  int SurfaceHeight() const override { return fHeight; }
  void SelectFont(const TFontSpec& font) override;
  void SetTransparentText() override { fTransparent = true; }
  void SetTextColor(TCanvasColor color) override { fTextColor = color; }
  void FillRect(int left, int top, int right, int bottom, TCanvasColor color) override;
  void Line(int x0, int y0, int x1, int y1, TCanvasColor color) override;
  void TextAt(int x, int y, std::string_view utf8) override;
  TTextExtent TextExtent(std::string_view utf8) override;
  int FitCount(std::string_view utf8, int maxWidth) override;
  void CopyToScreen() override;

  // The operations of the last frame copied to the screen.
  const std::vector<TCanvasOp>& Frame() const { return fFrame; }
  // Operations drawn since then, not yet copied.
  const std::vector<TCanvasOp>& Pending() const { return fPending; }
  int CopyCount() const { return fCopies; }
  int SurfacesCreated() const { return fSurfaces; }
  bool FontSelected() const { return fFontSelected; }
  const TFontSpec& Font() const { return fFont; }
  bool TransparentText() const { return fTransparent; }

  // The texts of the last frame, in drawing order.
  std::vector<TCanvasOp> Texts() const;
  // Texts of the last frame drawn at exactly row y, left to right, joined.
  std::string TextOnRow(int y) const;
  // The colour the last frame leaves at pixel (x, y) from its fills and
  // lines (texts are not rasterised); -1 when nothing covers it.
  int64_t ColorAt(int x, int y) const;
  // Width of n characters in the selected font.
  int CharsWidth(int n) const;

  static int CodePoints(std::string_view utf8);

 private:
  TRecordingMetrics fMetrics;
  bool fHasSurface = false;
  int fWidth = 0, fHeight = 0;
  bool fFontSelected = false;
  TFontSpec fFont;
  bool fTransparent = false;
  TCanvasColor fTextColor = 0;
  int fCopies = 0;
  int fSurfaces = 0;
  std::vector<TCanvasOp> fPending;
  std::vector<TCanvasOp> fFrame;
};

}  // namespace kovra
