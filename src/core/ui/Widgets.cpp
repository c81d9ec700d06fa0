#include "ui/Widgets.h"

#include <algorithm>
#include <utility>

namespace kovra {

TWidget* TWidget::sFocused = nullptr;

TWidget::~TWidget() {
  if (sFocused == this) sFocused = nullptr;
  if (SystemCaret().Owner() == this) SystemCaret().Destroy(this);
}

void TWidget::Notify(TWidgetChange what) {
  if (fBinding) fBinding->Changed(*this, what);
}

void TWidget::SetBounds(int left, int top, int width, int height) {
  if (left == fLeft && top == fTop && width == fWidth && height == fHeight) return;
  const bool resized = width != fWidth || height != fHeight;
  fLeft = left;
  fTop = top;
  fWidth = width;
  fHeight = height;
  Notify(TWidgetChange::Bounds);
  if (resized && OnResize) OnResize();
}

void TWidget::PlatformBounds(int left, int top, int width, int height) {
  const bool resized = width != fWidth || height != fHeight;
  fLeft = left;
  fTop = top;
  fWidth = width;
  fHeight = height;
  if (resized && OnResize) OnResize();
}

void TWidget::SetVisible(bool visible) {
  if (visible == fVisible) return;
  fVisible = visible;
  Notify(TWidgetChange::Visible);
}

void TWidget::SetEnabled(bool enabled) {
  if (enabled == fEnabled) return;
  fEnabled = enabled;
  Notify(TWidgetChange::Enabled);
}

void TWidget::SetFocus() {
  if (fBinding) {
    // The real control takes the focus and reports it back.
    Notify(TWidgetChange::Focus);
    return;
  }
  PlatformFocus(true);
}

void TWidget::PlatformFocus(bool focused) {
  if (focused) {
    if (sFocused == this) return;
    TWidget* previous = sFocused;
    // A bound widget losing the focus reports that itself.
    if (previous && !previous->fBinding) previous->PlatformFocus(false);
    sFocused = this;
    if (OnEnter) OnEnter();
  } else {
    if (sFocused != this) return;
    sFocused = nullptr;
    if (OnExit) OnExit();
  }
}

void TScrollBar::SetAlign(TAlign align) {
  if (align == fAlign) return;
  fAlign = align;
  Notify(TWidgetChange::Bounds);
}

int TScrollBar::MaxPosition() const {
  return std::max(fMin, fPageSize > 0 ? fMax - fPageSize + 1 : fMax);
}

void TScrollBar::SetRange(int min, int max) {
  fMin = min;
  fMax = std::max(min, max);
  fPosition = std::clamp(fPosition, fMin, MaxPosition());
  Notify(TWidgetChange::State);
}

void TScrollBar::SetPageSize(int pageSize) {
  fPageSize = std::max(0, pageSize);
  fPosition = std::clamp(fPosition, fMin, MaxPosition());
  Notify(TWidgetChange::State);
}

void TScrollBar::SetPosition(int position) {
  position = std::clamp(position, fMin, MaxPosition());
  if (position == fPosition) return;
  fPosition = position;
  Notify(TWidgetChange::State);
}

void TScrollBar::Scroll(TScrollCode code, int thumbPos) {
  int pos = fPosition;
  switch (code) {
    case TScrollCode::scLineUp: pos -= SmallChange; break;
    case TScrollCode::scLineDown: pos += SmallChange; break;
    case TScrollCode::scPageUp: pos -= LargeChange; break;
    case TScrollCode::scPageDown: pos += LargeChange; break;
    case TScrollCode::scPosition:
    case TScrollCode::scTrack: pos = thumbPos; break;
    case TScrollCode::scTop: pos = fMin; break;
    case TScrollCode::scBottom: pos = fMax; break;
    case TScrollCode::scEndScroll: break;
  }
  pos = std::clamp(pos, fMin, fMax);
  if (OnScroll) OnScroll(code, pos);
  SetPosition(pos);
}

void THeaderControl::SetSections(std::vector<THeaderSection> sections) {
  fSections = std::move(sections);
  Notify(TWidgetChange::State);
}

void THeaderControl::SetSectionWidth(size_t index, int width) {
  if (index >= fSections.size()) return;
  fSections[index].Width = std::max(width, fSections[index].MinWidth);
  Notify(TWidgetChange::State);
  if (OnSectionResize) OnSectionResize(index);
}

void THeaderControl::PlatformSectionWidth(size_t index, int width) {
  if (index >= fSections.size()) return;
  const int w = std::max(width, fSections[index].MinWidth);
  if (w == fSections[index].Width) return;
  fSections[index].Width = w;
  if (w != width) Notify(TWidgetChange::State);
  if (OnSectionResize) OnSectionResize(index);
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == fEnabled) return;
  fEnabled = enabled;
  if (OnChanged) OnChanged(*this);
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == fInterval) return;
  fInterval = ms;
  if (OnChanged) OnChanged(*this);
}

void TCaret::Create(TWidget* owner, int width, int height) {
  fOwner = owner;
  fWidth = width;
  fHeight = height;
  fX = fY = 0;
  fVisible = false;
  Changed();
}

void TCaret::Destroy(TWidget* owner) {
  if (owner != fOwner || fOwner == nullptr) return;
  fOwner = nullptr;
  fVisible = false;
  Changed();
}

void TCaret::SetPos(TWidget* owner, int x, int y) {
  if (owner != fOwner || fOwner == nullptr) return;
  fX = x;
  fY = y;
  Changed();
}

void TCaret::Show(TWidget* owner) {
  if (owner != fOwner || fOwner == nullptr || fVisible) return;
  fVisible = true;
  Changed();
}

void TCaret::Hide(TWidget* owner) {
  if (owner != fOwner || fOwner == nullptr || !fVisible) return;
  fVisible = false;
  Changed();
}

TCaret& SystemCaret() {
  static TCaret caret;
  return caret;
}

namespace {
std::function<TPoint()>& PointerProvider() {
  static std::function<TPoint()> provider;
  return provider;
}
}  // namespace

TPoint PointerScreenPos() {
  auto& provider = PointerProvider();
  return provider ? provider() : TPoint{};
}

std::function<TPoint()> SetPointerScreenPosProvider(std::function<TPoint()> provider) {
  return std::exchange(PointerProvider(), std::move(provider));
}

namespace {
TWidgetToScreen& ScreenMapping() {
  static TWidgetToScreen provider;
  return provider;
}
}  // namespace

TPoint WidgetToScreen(const TWidget& widget, TPoint point) {
  auto& provider = ScreenMapping();
  return provider ? provider(widget, point) : point;
}

TWidgetToScreen SetWidgetToScreenProvider(TWidgetToScreen provider) {
  return std::exchange(ScreenMapping(), std::move(provider));
}

}  // namespace kovra
