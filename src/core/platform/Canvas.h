#pragma once
// The few drawing operations the owner-drawn controls use. Every control
// draws into an off-screen surface the size of its paint box and copies it
// to the screen in one step, so the interface is a surface first and a set
// of drawing calls second. On Windows it is a memory DC; natively a
// recording canvas with fixed character metrics lets tests read what was
// drawn and where.
#include <cstdint>
#include <string>
#include <string_view>

namespace kovra {

// 0x00BBGGRR (red in the low byte), as everywhere in the module.
using TCanvasColor = uint32_t;

struct TTextExtent {
  int cx = 0;
  int cy = 0;
};

struct TFontSpec {
  std::string Name;  // face name, at most 31 characters are used
  int Height = 0;    // pixels
  int Weight = 400;  // normal
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
};

class TCanvas {
 public:
  virtual ~TCanvas() = default;

  // Releases the previous surface and makes a new one of width x height
  // pixels, compatible with the paint box's display, with the platform's
  // default font selected and nothing drawn yet.
  virtual void CreateSurface(int width, int height) = 0;
  virtual void ReleaseSurface() = 0;
  virtual bool HasSurface() const = 0;
  virtual int SurfaceWidth() const = 0;
  virtual int SurfaceHeight() const = 0;

  // Selects a font into the surface; measurements before the first call use
  // the surface's default font.
  virtual void SelectFont(const TFontSpec& font) = 0;
  // Text is drawn without filling its background.
  virtual void SetTransparentText() = 0;
  virtual void SetTextColor(TCanvasColor color) = 0;

  // A solid rectangle in one colour (pen and brush alike): covers columns
  // left..right-1 and rows top..bottom-1.
  virtual void FillRect(int left, int top, int right, int bottom, TCanvasColor color) = 0;
  // A one-pixel line from (x0, y0) up to, not including, (x1, y1).
  virtual void Line(int x0, int y0, int x1, int y1, TCanvasColor color) = 0;
  // UTF-8 text with its top-left corner at (x, y), in the text colour.
  virtual void TextAt(int x, int y, std::string_view utf8) = 0;

  virtual TTextExtent TextExtent(std::string_view utf8) = 0;
  // How many characters of the text, from its start, fit in maxWidth pixels.
  virtual int FitCount(std::string_view utf8, int maxWidth) = 0;

  // Copies the whole surface to the paint box at (0, 0).
  virtual void CopyToScreen() = 0;
};

}  // namespace kovra
