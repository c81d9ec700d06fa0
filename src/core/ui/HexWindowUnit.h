#pragma once
// The hex window: two hex panes, the main data of the partition under the
// list's cursor row above and its spare data below. This is the window's
// model and layout; the platform layer makes a real modeless window of it
// and binds the panes' widgets to real controls.
#include <memory>
#include <string>

#include "ui/HEXView.h"
#include "ui/Widgets.h"

namespace kovra {

inline constexpr char kHexFormCaption[] = "Partition HEX Contents View ";
inline constexpr char kHexGroupCaption[] = " Selected Partition (Main + Spare) ";
inline constexpr int kHexFormClientWidth = 664;
inline constexpr int kHexFormClientHeight = 755;
inline constexpr int kHexFormWidth = 680;  // the window's width, fixed
inline constexpr int kHexFormFontHeight = 11;
inline constexpr char kHexFormFontName[] = "Tahoma";

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};

// Where everything goes for a client area: group box and panels in the
// window's client coordinates, a scroll box in its panel's client area
// (inside the 2-pixel bevel), the parts of a pane in its scroll box's.
struct THexFormLayout {
  TRect GroupBox;
  TRect Panel[2];      // the lowered bevels, borders included
  TRect ScrollBox[2];
  // Inside a scroll box (same for both): the white strip, the scroll bar
  // and the paint box.
  TRect Strip[2];
  TRect ScrollBar[2];
  TRect PaintBox[2];
};

THexFormLayout HexFormLayout(int clientWidth, int clientHeight);

class THexForm {
 public:
  // Creates both panes, empty. The panes read through files.
  explicit THexForm(TFileOpener& files = DefaultFileOpener());
  ~THexForm();

  // Places the widgets for a client area (the platform calls it on every
  // resize, after binding).
  void Layout(int clientWidth, int clientHeight);

  THEXView& UpperView() { return *fUpper; }  // main data
  THEXView& LowerView() { return *fLower; }  // spare data

  TScrollBox ScrollBox01, ScrollBox02;
  TPaintBox PaintBox01, PaintBox02;
  TScrollBar ScrollBar01, ScrollBar02;

 private:
  std::unique_ptr<THEXView> fUpper, fLower;
};

}  // namespace kovra
