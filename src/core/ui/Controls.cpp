#include "ui/Controls.h"

#include <algorithm>

namespace kovra {

void TButton::SetCaption(const std::string& caption) {
  if (caption == fCaption) return;
  fCaption = caption;
  Notify(TWidgetChange::Text);
}

void TButton::SetImageIndex(int index) {
  if (index == fImageIndex) return;
  fImageIndex = index;
  Notify(TWidgetChange::State);
}

TGlyphButtonLayout LayoutGlyphButton(int buttonWidth, int glyphWidth, int textWidth) {
  glyphWidth = std::max(glyphWidth, 0);
  textWidth = std::max(textWidth, 0);
  const int wantedGap = glyphWidth > 0 ? kButtonGlyphGap : 0;
  const int faceRight = buttonWidth - kButtonFaceEdge;
  TGlyphButtonLayout l;
  const int total = glyphWidth + wantedGap + textWidth;
  if (total <= buttonWidth - 2 * kButtonMargin) {
    l.GlyphLeft = (buttonWidth - total) / 2;
    l.TextLeft = l.GlyphLeft + glyphWidth + wantedGap;
    l.TextRight = std::max(l.TextLeft + textWidth, faceRight);
    return l;
  }
  // Too wide for the usual room: the gap narrows first, then the content
  // uses the whole face.
  const int slack = buttonWidth - 2 * kButtonFaceEdge - glyphWidth - textWidth;
  if (slack >= 0) {
    const int gap = std::min(wantedGap, slack);
    l.GlyphLeft = kButtonFaceEdge + (slack - gap) / 2;
    l.TextLeft = l.GlyphLeft + glyphWidth + gap;
    l.TextRight = faceRight;
    return l;
  }
  const int face = buttonWidth - 2 * kButtonFaceEdge;
  if (textWidth <= face) {
    l.ShowGlyph = glyphWidth == 0;
    l.GlyphLeft = l.TextLeft = kButtonFaceEdge + (face - textWidth) / 2;
    l.TextRight = faceRight;
    return l;
  }
  l.GlyphLeft = kButtonFaceEdge;
  l.TextLeft = kButtonFaceEdge + glyphWidth + (glyphWidth > 0 ? 1 : 0);
  l.TextRight = std::max(faceRight, l.TextLeft);
  l.CaptionFits = false;
  return l;
}

void TCheckBox::SetChecked(bool checked) {
  if (checked == fChecked) return;
  fChecked = checked;
  Notify(TWidgetChange::State);
}

void TEdit::SetText(const std::string& text) {
  if (text == fText) return;
  fText = text;
  Notify(TWidgetChange::Text);
}

void TMemo::Apply(TMemoOp op, const std::string& text) {
  switch (op) {
    case TMemoOp::Clear:
      fLines.clear();
      break;
    case TMemoOp::Add:
      fLines.push_back(text);
      break;
    case TMemoOp::Append:
      if (fLines.empty()) fLines.emplace_back();
      fLines.back() += text;
      break;
    case TMemoOp::Replace:
      if (fLines.empty()) fLines.emplace_back();
      fLines.back() = text;
      break;
  }
  fLastOp = op;
  fLastText = text;
  Notify(TWidgetChange::Text);
}

void TMemo::Clear() { Apply(TMemoOp::Clear, {}); }
void TMemo::Add(const std::string& line) { Apply(TMemoOp::Add, line); }
void TMemo::AppendToLastLine(const std::string& text) { Apply(TMemoOp::Append, text); }
void TMemo::ReplaceLastLine(const std::string& line) { Apply(TMemoOp::Replace, line); }

std::vector<std::string> TMemo::Lines() const { return fSource ? fSource->Lines() : fLines; }

int TGauge::Position() const { return PlatformPosition ? PlatformPosition() : fPosition; }
int TGauge::MaxValue() const { return PlatformMaxValue ? PlatformMaxValue() : fMaxValue; }

void TGauge::SetPosition(int position) {
  fPosition = position;
  Notify(TWidgetChange::State);
}

void TGauge::SetMaxValue(int maxValue) {
  fMaxValue = maxValue;
  Notify(TWidgetChange::State);
}

TStatusBar::TStatusBar() : fTexts(3), fWidths{730, 170, 50} {}

const std::string& TStatusBar::PanelText(size_t panel) const {
  static const std::string empty;
  return panel < fTexts.size() ? fTexts[panel] : empty;
}

void TStatusBar::SetPanelText(size_t panel, const std::string& text) {
  if (panel >= fTexts.size()) return;
  fTexts[panel] = text;
  fLastPanel = panel;
  Notify(TWidgetChange::Text);
}

int TStatusBar::PanelWidth(size_t panel) const { return panel < fWidths.size() ? fWidths[panel] : 0; }

void TStatusBar::SetPanelWidth(size_t panel, int width) {
  if (panel >= fWidths.size()) return;
  fWidths[panel] = width;
  Notify(TWidgetChange::Bounds);
}

void TPopupMenu::Popup(int x, int y) {
  ++PopupCount;
  LastPopupAt = {x, y};
  if (OnPopup) OnPopup(*this, x, y);
}

}  // namespace kovra
