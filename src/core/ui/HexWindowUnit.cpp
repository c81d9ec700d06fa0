#include "ui/HexWindowUnit.h"

#include <algorithm>

namespace kovra {
namespace {

constexpr int kMarginX = 8, kMarginY = 10;
constexpr int kGroupCaptionInset = 14;  // the group box's caption line
constexpr int kGroupBorder = 2;
constexpr int kPaneGap = 10;
constexpr int kLowerPaneHeight = 185;
constexpr int kBevel = 2;
constexpr int kStripWidth = 4;
constexpr int kScrollBarWidth = 17;

TRect Inside(int width, int height) {
  TRect strip{0, 0, std::min(kStripWidth, width), height};
  return strip;
}

}  // namespace

THexFormLayout HexFormLayout(int clientWidth, int clientHeight) {
  THexFormLayout l;
  l.GroupBox = {kMarginX, kMarginY, std::max(kMarginX, clientWidth - kMarginX),
                std::max(kMarginY, clientHeight - kMarginY)};
  const int innerLeft = l.GroupBox.Left + kGroupBorder + kMarginX;
  const int innerRight = std::max(innerLeft, l.GroupBox.Right - kGroupBorder - kMarginX);
  const int innerTop = l.GroupBox.Top + kGroupCaptionInset + kPaneGap;
  const int innerBottom = std::max(innerTop, l.GroupBox.Bottom - kGroupBorder - kPaneGap);
  const int lowerTop = std::max(innerTop, innerBottom - kLowerPaneHeight);
  l.Panel[1] = {innerLeft, lowerTop, innerRight, innerBottom};
  l.Panel[0] = {innerLeft, innerTop, innerRight, std::max(innerTop, lowerTop - kPaneGap)};
  for (int i = 0; i < 2; ++i) {
    const TRect& p = l.Panel[i];
    l.ScrollBox[i] = {0, 0, std::max(0, p.Width() - 2 * kBevel), std::max(0, p.Height() - 2 * kBevel)};
    const int w = l.ScrollBox[i].Width(), h = l.ScrollBox[i].Height();
    l.Strip[i] = Inside(w, h);
    const int barLeft = std::max(l.Strip[i].Right, w - kScrollBarWidth);
    l.ScrollBar[i] = {barLeft, 0, w, h};
    l.PaintBox[i] = {l.Strip[i].Right, 0, barLeft, h};
  }
  return l;
}

THexForm::THexForm(TFileOpener& files) {
  ScrollBox01.DoubleBuffered = ScrollBox02.DoubleBuffered = true;
  fUpper = CreateHEXView(ScrollBox01, PaintBox01, ScrollBar01, files);
  fLower = CreateHEXView(ScrollBox02, PaintBox02, ScrollBar02, files);
  fUpper->InitializeViewData("", 0, 0);
  fLower->InitializeViewData("", 0, 0);
}

THexForm::~THexForm() = default;

void THexForm::Layout(int clientWidth, int clientHeight) {
  const THexFormLayout l = HexFormLayout(clientWidth, clientHeight);
  TScrollBox* boxes[2] = {&ScrollBox01, &ScrollBox02};
  TPaintBox* paints[2] = {&PaintBox01, &PaintBox02};
  TScrollBar* bars[2] = {&ScrollBar01, &ScrollBar02};
  for (int i = 0; i < 2; ++i) {
    // Children first: the scroll box's resize event redraws for the paint
    // box's new size.
    const TRect& pb = l.PaintBox[i];
    paints[i]->SetBounds(pb.Left, pb.Top, pb.Width(), pb.Height());
    const TRect& sb = l.ScrollBar[i];
    bars[i]->SetBounds(sb.Left, sb.Top, sb.Width(), sb.Height());
    const TRect& box = l.ScrollBox[i];
    boxes[i]->SetBounds(box.Left, box.Top, box.Width(), box.Height());
  }
}

}  // namespace kovra
