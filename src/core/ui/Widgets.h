#pragma once
// Widget models: plain objects that hold a control's state and raise its
// events. The window logic reads and writes only these. On Windows each
// model is bound to a real control (its binding pushes every change made
// here into the control, and the control's messages come back through the
// Platform* calls and the event members); unbound, as in native tests, the
// model is the whole truth.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kovra {

class TCanvas;
class TWidget;

enum class TMouseButton : int { mbLeft = 0, mbRight = 1, mbMiddle = 2 };
enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TScrollCode {
  scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll
};

struct TPoint {
  int X = 0;
  int Y = 0;
};

// What a model changed, for its binding to push into the real control.
enum class TWidgetChange { Bounds, Visible, Enabled, Focus, Text, State, Invalidate };

class TWidgetBinding {
 public:
  virtual ~TWidgetBinding() = default;
  virtual void Changed(TWidget& widget, TWidgetChange what) = 0;
};

class TWidget {
 public:
  TWidget() = default;
  virtual ~TWidget();
  TWidget(const TWidget&) = delete;
  TWidget& operator=(const TWidget&) = delete;

  int Left() const { return fLeft; }
  int Top() const { return fTop; }
  int Width() const { return fWidth; }
  int Height() const { return fHeight; }
  // Fires OnResize when the size changed.
  void SetBounds(int left, int top, int width, int height);

  bool Visible() const { return fVisible; }
  void SetVisible(bool visible);
  bool Enabled() const { return fEnabled; }
  void SetEnabled(bool enabled);

  // The input focus: one widget at a time in the whole user interface.
  bool Focused() const { return sFocused == this; }
  void SetFocus();
  static TWidget* FocusedWidget() { return sFocused; }

  // Free for the owner's use; the scroll views mark a scroll bar with it
  // while they set its position themselves.
  int Tag = 0;
  bool DoubleBuffered = false;

  std::function<void()> OnResize;
  std::function<void()> OnEnter;
  std::function<void()> OnExit;

  void Bind(TWidgetBinding* binding) { fBinding = binding; }
  TWidgetBinding* Binding() const { return fBinding; }

  // The real control reports what the user or the system did.
  void PlatformBounds(int left, int top, int width, int height);
  void PlatformFocus(bool focused);

 protected:
  void Notify(TWidgetChange what);

 private:
  static TWidget* sFocused;
  TWidgetBinding* fBinding = nullptr;
  int fLeft = 0, fTop = 0, fWidth = 0, fHeight = 0;
  bool fVisible = true;
  bool fEnabled = true;
};

// A drawing area. It does not own its canvas: the platform layer (or a test)
// hands it one.
class TPaintBox : public TWidget {
 public:
  TCanvas* Canvas = nullptr;

  std::function<void()> OnPaint;
  std::function<void(TMouseButton, int x, int y)> OnMouseDown;
  std::function<void(int x, int y)> OnMouseMove;
  std::function<void(TMouseButton, int x, int y)> OnMouseUp;
  std::function<void()> OnDblClick;

  // Asks the platform for a paint event; unbound it does nothing.
  void Invalidate() { Notify(TWidgetChange::Invalidate); }
};

// The focusable container of a paint box.
class TScrollBox : public TWidget {
 public:
  // Wheel delta as the system reports it (120 per notch, positive away from
  // the user); returns true when handled.
  std::function<bool(int delta)> OnMouseWheel;
  // Virtual key code; returns true when handled.
  std::function<bool(int key)> OnKeyDown;
  // The menu key or Shift+F10 while the box has the focus: the context menu
  // is asked for from the keyboard. True when one opened.
  std::function<bool()> OnContextPopup;
};

class TScrollBar : public TWidget {
 public:
  int Min() const { return fMin; }
  int Max() const { return fMax; }
  int Position() const { return fPosition; }
  int PageSize() const { return fPageSize; }
  int SmallChange = 1;
  int LargeChange = 1;
  TAlign Align() const { return fAlign; }
  void SetAlign(TAlign align);

  // Range first, then the position, clamped the way the system clamps it:
  // Min..Max - PageSize + 1 when a page is set.
  void SetRange(int min, int max);
  void SetPageSize(int pageSize);
  void SetPosition(int position);
  int MaxPosition() const;

  // Handler sees the requested position (already within Min..Max) and may
  // change it; the position is then applied.
  std::function<void(TScrollCode, int& scrollPos)> OnScroll;

  // A scroll request from the user (or a test): thumbPos is used for
  // scTrack and scPosition.
  void Scroll(TScrollCode code, int thumbPos = 0);

 private:
  int fMin = 0, fMax = 100, fPosition = 0, fPageSize = 0;
  TAlign fAlign = TAlign::alNone;
};

struct THeaderSection {
  std::string Text;
  int Width = 50;
  int MinWidth = 0;
};

class THeaderControl : public TWidget {
 public:
  const std::vector<THeaderSection>& Sections() const { return fSections; }
  void SetSections(std::vector<THeaderSection> sections);
  void SetSectionWidth(size_t index, int width);
  std::function<void(size_t index)> OnSectionResize;

  // The user dragged a divider; the width is kept within the section's
  // minimum and the event fires.
  void PlatformSectionWidth(size_t index, int width);

 private:
  std::vector<THeaderSection> fSections;
};

// A timer; the platform binding makes it tick while enabled.
class TTimer {
 public:
  bool Enabled() const { return fEnabled; }
  void SetEnabled(bool enabled);
  unsigned Interval() const { return fInterval; }
  void SetInterval(unsigned ms);
  std::function<void()> OnTimer;
  // Told about every change of Enabled or Interval.
  std::function<void(TTimer&)> OnChanged;
  void Tick() {
    if (fEnabled && OnTimer) OnTimer();
  }

 private:
  bool fEnabled = false;
  unsigned fInterval = 1000;
};

// The one text caret of the user interface. Like the system's, it belongs
// to one widget at a time, and only its owner can move, show or hide it.
class TCaret {
 public:
  TWidget* Owner() const { return fOwner; }
  int X() const { return fX; }
  int Y() const { return fY; }
  int Width() const { return fWidth; }
  int Height() const { return fHeight; }
  bool Visible() const { return fOwner != nullptr && fVisible; }

  // Takes the caret over from any other owner; hidden, at (0, 0).
  void Create(TWidget* owner, int width, int height);
  void Destroy(TWidget* owner);
  void SetPos(TWidget* owner, int x, int y);
  void Show(TWidget* owner);
  void Hide(TWidget* owner);

  std::function<void(TCaret&)> OnChanged;

 private:
  void Changed() {
    if (OnChanged) OnChanged(*this);
  }
  TWidget* fOwner = nullptr;
  int fX = 0, fY = 0, fWidth = 0, fHeight = 0;
  bool fVisible = false;
};

TCaret& SystemCaret();

// Where the mouse pointer is on the screen; the platform installs the real
// query, natively it is (0, 0) unless a test sets another provider.
TPoint PointerScreenPos();
std::function<TPoint()> SetPointerScreenPosProvider(std::function<TPoint()> provider);

// A point of a widget (in its own coordinates) on the screen; the platform
// installs the real mapping, natively the point is returned unchanged unless
// a test sets another provider.
TPoint WidgetToScreen(const TWidget& widget, TPoint point);
using TWidgetToScreen = std::function<TPoint(const TWidget&, TPoint)>;
TWidgetToScreen SetWidgetToScreenProvider(TWidgetToScreen provider);

}  // namespace kovra
