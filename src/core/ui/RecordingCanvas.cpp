#include "ui/RecordingCanvas.h"

#include <algorithm>

namespace kovra {

TRecordingCanvas::TRecordingCanvas(TRecordingMetrics metrics) : fMetrics(metrics) {}

void TRecordingCanvas::CreateSurface(int width, int height) {
  fHasSurface = true;
  fWidth = width;
  fHeight = height;
  fFontSelected = false;
  fTransparent = false;
  fPending.clear();
  ++fSurfaces;
}

void TRecordingCanvas::ReleaseSurface() {
  fHasSurface = false;
  fFontSelected = false;
  fPending.clear();
}

void TRecordingCanvas::SelectFont(const TFontSpec& font) {
  fFont = font;
  fFontSelected = true;
}

void TRecordingCanvas::FillRect(int left, int top, int right, int bottom, TCanvasColor color) {
  fPending.push_back({TCanvasOp::kFill, left, top, right, bottom, color, {}});
}

void TRecordingCanvas::Line(int x0, int y0, int x1, int y1, TCanvasColor color) {
  fPending.push_back({TCanvasOp::kLine, x0, y0, x1, y1, color, {}});
}

void TRecordingCanvas::TextAt(int x, int y, std::string_view utf8) {
  fPending.push_back({TCanvasOp::kText, x, y, x, y, fTextColor, std::string(utf8)});
}

int TRecordingCanvas::CodePoints(std::string_view utf8) {
  int n = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

int TRecordingCanvas::CharsWidth(int n) const {
  return n * (fFontSelected ? fMetrics.FontCharWidth : fMetrics.DefaultCharWidth);
}

TTextExtent TRecordingCanvas::TextExtent(std::string_view utf8) {
  return {CharsWidth(CodePoints(utf8)),
          fFontSelected ? fMetrics.FontCharHeight : fMetrics.DefaultCharHeight};
}

int TRecordingCanvas::FitCount(std::string_view utf8, int maxWidth) {
  const int w = CharsWidth(1);
  if (w <= 0 || maxWidth < 0) return 0;
  return std::min(CodePoints(utf8), maxWidth / w);
}

void TRecordingCanvas::CopyToScreen() {
  fFrame = std::move(fPending);
  fPending.clear();
  ++fCopies;
}

std::vector<TCanvasOp> TRecordingCanvas::Texts() const {
  std::vector<TCanvasOp> texts;
  for (const TCanvasOp& op : fFrame)
    if (op.Kind == TCanvasOp::kText) texts.push_back(op);
  return texts;
}

std::string TRecordingCanvas::TextOnRow(int y) const {
  std::vector<TCanvasOp> row;
  for (const TCanvasOp& op : fFrame)
    if (op.Kind == TCanvasOp::kText && op.Y0 == y) row.push_back(op);
  std::stable_sort(row.begin(), row.end(),
                   [](const TCanvasOp& a, const TCanvasOp& b) { return a.X0 < b.X0; });
  std::string text;
  for (const TCanvasOp& op : row) text += op.Text;
  return text;
}

int64_t TRecordingCanvas::ColorAt(int x, int y) const {
  for (auto it = fFrame.rbegin(); it != fFrame.rend(); ++it) {
    const TCanvasOp& op = *it;
    if (op.Kind == TCanvasOp::kFill) {
      if (x >= op.X0 && x < op.X1 && y >= op.Y0 && y < op.Y1) return op.Color;
    } else if (op.Kind == TCanvasOp::kLine) {
      // Only the straight lines the controls draw; the end point is not drawn.
      if (op.X0 == op.X1 && x == op.X0 && y >= std::min(op.Y0, op.Y1) &&
          y < std::max(op.Y0, op.Y1))
        return op.Color;
      if (op.Y0 == op.Y1 && y == op.Y0 && x >= std::min(op.X0, op.X1) &&
          x < std::max(op.X0, op.X1))
        return op.Color;
    }
  }
  return -1;
}

}  // namespace kovra
