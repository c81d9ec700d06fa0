#include "ViewWidgets.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>

#include "WinText.h"

namespace kovra::win {
namespace {

constexpr wchar_t kBindingProp[] = L"KovraBinding";
HINSTANCE gInstance = nullptr;

std::unordered_map<const TWidget*, HWND>& Handles() {
  static std::unordered_map<const TWidget*, HWND> handles;
  return handles;
}

std::function<void(const std::string&)>& Reporter() {
  static std::function<void(const std::string&)> reporter;
  return reporter;
}

// The system caret follows the caret model. The model's owner is the
// focusable container, and its place is in the container's coordinates; but
// the container clips its children, so where a child (the paint box) covers
// that place a caret drawn into the container would never be seen. The system
// caret therefore goes to the window that shows its place, in that window's
// coordinates. The system has one caret per thread; any other control (an
// edit box taking the focus) may take it, and then it is made again.
struct TCaretState {
  HWND Window = nullptr;
  int Width = 0, Height = 0;
  bool Shown = false;
} gCaret;

bool CaretStillOurs() {
  if (gCaret.Window == nullptr) return false;
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetCurrentThreadId(), &info)) return true;
  return info.hwndCaret == gCaret.Window;
}

void SyncCaret(TCaret& c, bool force) {
  HWND window = TWinControl::HandleOf(c.Owner());
  POINT at{c.X(), c.Y()};
  if (window) {
    HWND child = ChildWindowFromPointEx(window, at, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (child && child != window) {
      MapWindowPoints(window, child, &at, 1);
      window = child;
    }
  }
  const bool ours = CaretStillOurs();
  if (force || !ours || window != gCaret.Window || c.Width() != gCaret.Width || c.Height() != gCaret.Height) {
    if (ours) DestroyCaret();
    gCaret = {};
    if (window && CreateCaret(window, nullptr, c.Width(), c.Height())) {
      gCaret.Window = window;
      gCaret.Width = c.Width();
      gCaret.Height = c.Height();
    }
  }
  if (gCaret.Window == nullptr) return;
  SetCaretPos(at.x, at.y);
  if (c.Visible() && !gCaret.Shown) {
    ShowCaret(gCaret.Window);
    gCaret.Shown = true;
  } else if (!c.Visible() && gCaret.Shown) {
    HideCaret(gCaret.Window);
    gCaret.Shown = false;
  }
}

void StoreBoundsFromWindow(HWND wnd, TWidget& model) {
  RECT r;
  GetWindowRect(wnd, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
  model.PlatformBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

template <typename T>
T* BindingOf(HWND wnd, UINT msg, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetPropW(wnd, kBindingProp, cs->lpCreateParams);
  }
  return static_cast<T*>(GetPropW(wnd, kBindingProp));
}

LRESULT CALLBACK PaintBoxProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = BindingOf<TWinPaintBox>(wnd, msg, lp);
  // Until CreateWindowEx returns, the binding does not know its window yet.
  if (self && self->Handle() == wnd) return self->WndProc(msg, wp, lp);
  return DefWindowProcW(wnd, msg, wp, lp);
}

LRESULT CALLBACK ScrollBoxProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = BindingOf<TWinScrollBox>(wnd, msg, lp);
  if (self && self->Handle() == wnd) return self->WndProc(msg, wp, lp);
  return DefWindowProcW(wnd, msg, wp, lp);
}

LRESULT CALLBACK PanelProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = BindingOf<TWinPanel>(wnd, msg, lp);
  if (self && self->Handle() == wnd) return self->WndProc(msg, wp, lp);
  return DefWindowProcW(wnd, msg, wp, lp);
}

std::map<UINT_PTR, TWinTimer*>& Timers() {
  static std::map<UINT_PTR, TWinTimer*> timers;
  return timers;
}

}  // namespace

TViewErrorReporter SetViewErrorReporter(TViewErrorReporter reporter) {
  return std::exchange(Reporter(), std::move(reporter));
}

void ReportViewError(const std::string& text) {
  try {
    if (Reporter()) {
      Reporter()(text);
      return;
    }
  } catch (...) {
  }
  MessageBoxW(GetActiveWindow(), Widen(text).c_str(), L"Error", MB_OK | MB_ICONERROR);
}

HFONT CreateUiFont(int pixelHeight, const wchar_t* face) {
  LOGFONTW lf{};
  lf.lfHeight = -pixelHeight;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&lf);
}

void RegisterViewClasses(HINSTANCE instance) {
  gInstance = instance;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = PaintBoxProc;
  wc.lpszClassName = kPaintBoxClass;
  RegisterClassExW(&wc);
  wc.style = 0;
  wc.lpfnWndProc = ScrollBoxProc;
  wc.lpszClassName = kScrollBoxClass;
  RegisterClassExW(&wc);
  wc.lpfnWndProc = PanelProc;
  wc.lpszClassName = kPanelClass;
  RegisterClassExW(&wc);
  SystemCaret().OnChanged = [](TCaret& c) { SyncCaret(c, false); };
  SetPointerScreenPosProvider([] {
    POINT p{};
    GetCursorPos(&p);
    return TPoint{static_cast<int>(p.x), static_cast<int>(p.y)};
  });
  SetWidgetToScreenProvider([](const TWidget& w, TPoint at) {
    POINT p{at.X, at.Y};
    if (HWND h = TWinControl::HandleOf(&w)) ClientToScreen(h, &p);
    return TPoint{static_cast<int>(p.x), static_cast<int>(p.y)};
  });
}

void UnregisterViewClasses(HINSTANCE instance) {
  SystemCaret().OnChanged = nullptr;
  SetPointerScreenPosProvider(nullptr);
  SetWidgetToScreenProvider(nullptr);
  UnregisterClassW(kPaintBoxClass, instance);
  UnregisterClassW(kScrollBoxClass, instance);
  UnregisterClassW(kPanelClass, instance);
}

// ---------------------------------------------------------------------------

TWinControl::~TWinControl() {
  fModel.Bind(nullptr);
  Handles().erase(&fModel);
  if (fWnd && IsWindow(fWnd)) {
    RemovePropW(fWnd, kBindingProp);
    DestroyWindow(fWnd);
  }
}

void TWinControl::Create(DWORD exStyle, const wchar_t* cls, DWORD style, HWND parent) {
  style |= WS_CHILD | WS_CLIPSIBLINGS;
  if (fModel.Visible()) style |= WS_VISIBLE;
  fWnd = CreateWindowExW(exStyle, cls, L"", style, fModel.Left(), fModel.Top(), fModel.Width(),
                         fModel.Height(), parent, nullptr, gInstance, this);
  if (fWnd == nullptr) return;
  SetPropW(fWnd, kBindingProp, this);
  Handles()[&fModel] = fWnd;
  fModel.Bind(this);
  EnableWindow(fWnd, fModel.Enabled());
}

TWinControl* TWinControl::FromHandle(HWND wnd) {
  return wnd ? static_cast<TWinControl*>(GetPropW(wnd, kBindingProp)) : nullptr;
}

HWND TWinControl::HandleOf(const TWidget* model) {
  auto it = Handles().find(model);
  return it == Handles().end() ? nullptr : it->second;
}

void TWinControl::Changed(TWidget& widget, TWidgetChange what) {
  if (fWnd == nullptr) return;
  switch (what) {
    case TWidgetChange::Bounds:
      MoveWindow(fWnd, widget.Left(), widget.Top(), widget.Width(), widget.Height(), TRUE);
      break;
    case TWidgetChange::Visible:
      ShowWindow(fWnd, widget.Visible() ? SW_SHOWNA : SW_HIDE);
      break;
    case TWidgetChange::Enabled:
      EnableWindow(fWnd, widget.Enabled());
      break;
    case TWidgetChange::Focus:
      SetFocus(fWnd);
      break;
    case TWidgetChange::Invalidate:
      InvalidateRect(fWnd, nullptr, FALSE);
      break;
    default:
      break;
  }
}

bool ForwardChildMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if ((msg == WM_VSCROLL || msg == WM_HSCROLL) && lp != 0) {
    if (TWinControl* child = TWinControl::FromHandle(reinterpret_cast<HWND>(lp))) {
      result = 0;
      return child->HandleScroll(wp);
    }
  } else if (msg == WM_NOTIFY && lp != 0) {
    auto* hdr = reinterpret_cast<NMHDR*>(lp);
    if (TWinControl* child = TWinControl::FromHandle(hdr->hwndFrom))
      return child->HandleNotify(hdr, result);
  }
  return false;
}

// ---------------------------------------------------------------------------

TWinPaintBox::TWinPaintBox(TPaintBox& model, HWND parent) : TWinControl(model), fPaint(model) {
  Create(0, kPaintBoxClass, 0, parent);
  fCanvas.SetTarget(fWnd);
  fPaint.Canvas = &fCanvas;
}

TWinPaintBox::~TWinPaintBox() {
  if (fPaint.Canvas == &fCanvas) fPaint.Canvas = nullptr;
}

LRESULT TWinPaintBox::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
  auto down = [&](TMouseButton b) {
    SetCapture(fWnd);
    fCaptured = GetCapture() == fWnd;
    fCaptureButton = b;
    Guarded([&] {
      if (fPaint.OnMouseDown) fPaint.OnMouseDown(b, x, y);
    });
    return 0;
  };
  auto up = [&](TMouseButton b) {
    // Cleared first: the release below reports a capture change of our own.
    fCaptured = false;
    if (GetCapture() == fWnd) ReleaseCapture();
    Guarded([&] {
      if (fPaint.OnMouseUp) fPaint.OnMouseUp(b, x, y);
    });
    return 0;
  };
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // the surface covers everything
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(fWnd, &ps);
      if (fPaint.OnPaint && fCanvas.HasSurface()) {
        Guarded([&] { fPaint.OnPaint(); });
      } else {
        ::FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      }
      EndPaint(fWnd, &ps);
      return 0;
    }
    case WM_SIZE:
      StoreBoundsFromWindow(fWnd, fModel);
      return 0;
    case WM_LBUTTONDOWN: return down(TMouseButton::mbLeft);
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: return down(TMouseButton::mbRight);
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: return down(TMouseButton::mbMiddle);
    case WM_LBUTTONDBLCLK:
      // As the windowing framework does: the double click, then the press.
      Guarded([&] {
        if (fPaint.OnDblClick) fPaint.OnDblClick();
      });
      return down(TMouseButton::mbLeft);
    case WM_LBUTTONUP: return up(TMouseButton::mbLeft);
    case WM_RBUTTONUP: return up(TMouseButton::mbRight);
    case WM_MBUTTONUP: return up(TMouseButton::mbMiddle);
    case WM_MOUSEMOVE:
      Guarded([&] {
        if (fPaint.OnMouseMove) fPaint.OnMouseMove(x, y);
      });
      return 0;
    case WM_CAPTURECHANGED:
      // Another window took the mouse (a menu, a dialog, a drag elsewhere):
      // the release will never come here, so the press ends now, where the
      // pointer is.
      if (fCaptured && reinterpret_cast<HWND>(lp) != fWnd) {
        fCaptured = false;
        POINT p{};
        GetCursorPos(&p);
        ScreenToClient(fWnd, &p);
        const TMouseButton b = fCaptureButton;
        Guarded([&] {
          if (fPaint.OnMouseUp) fPaint.OnMouseUp(b, static_cast<int>(p.x), static_cast<int>(p.y));
        });
      }
      return 0;
  }
  return DefWindowProcW(fWnd, msg, wp, lp);
}

// ---------------------------------------------------------------------------

TWinScrollBox::TWinScrollBox(TScrollBox& model, HWND parent, COLORREF background)
    : TWinControl(model), fBox(model), fBackground(CreateSolidBrush(background)) {
  Create(0, kScrollBoxClass, WS_TABSTOP | WS_CLIPCHILDREN, parent);
}

TWinScrollBox::~TWinScrollBox() {
  if (fWnd && IsWindow(fWnd)) {
    RemovePropW(fWnd, kBindingProp);
    DestroyWindow(fWnd);
  }
  fWnd = nullptr;
  DeleteObject(fBackground);
}

LRESULT TWinScrollBox::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (ForwardChildMessage(msg, wp, lp, result)) return result;
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(fWnd, &r);
      ::FillRect(reinterpret_cast<HDC>(wp), &r, fBackground);
      return 1;
    }
    case WM_SIZE: {
      const int w = LOWORD(lp), h = HIWORD(lp);
      Guarded([&] {
        if (OnLayout) OnLayout(w, h);
        StoreBoundsFromWindow(fWnd, fModel);
      });
      return 0;
    }
    case WM_SETFOCUS:
      Guarded([&] {
        if (SystemCaret().Owner() == &fModel) SyncCaret(SystemCaret(), true);
        fModel.PlatformFocus(true);
      });
      return 0;
    case WM_KILLFOCUS:
      Guarded([&] { fModel.PlatformFocus(false); });
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      SetFocus(fWnd);
      return 0;
    case WM_MOUSEWHEEL: {
      bool handled = false;
      const int delta = GET_WHEEL_DELTA_WPARAM(wp);
      Guarded([&] { handled = fBox.OnMouseWheel && fBox.OnMouseWheel(delta); });
      if (handled) return 0;
      break;
    }
    case WM_KEYDOWN: {
      bool handled = false;
      Guarded([&] { handled = fBox.OnKeyDown && fBox.OnKeyDown(static_cast<int>(wp)); });
      if (handled) return 0;
      break;
    }
    case WM_KEYUP:
      // The menu key, which not every system turns into WM_CONTEXTMENU.
      if (wp == VK_APPS) {
        bool handled = false;
        Guarded([&] { handled = fBox.OnContextPopup && fBox.OnContextPopup(); });
        if (handled) return 0;
      }
      break;
    case WM_CONTEXTMENU:
      // (-1, -1): asked for from the keyboard (Shift+F10). A menu asked for
      // with the mouse goes on to the parent.
      if (GET_X_LPARAM(lp) == -1 && GET_Y_LPARAM(lp) == -1) {
        bool handled = false;
        Guarded([&] { handled = fBox.OnContextPopup && fBox.OnContextPopup(); });
        if (handled) return 0;
      }
      break;
    case WM_GETDLGCODE: {
      // A box whose keys are taken wants Enter too (the list marks its row);
      // Tab and Esc stay the dialog manager's.
      LRESULT code = DLGC_WANTARROWS;
      const auto* m = reinterpret_cast<const MSG*>(lp);
      if (fBox.OnKeyDown && m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
      return code;
    }
  }
  return DefWindowProcW(fWnd, msg, wp, lp);
}

// ---------------------------------------------------------------------------

TWinPanel::TWinPanel(HWND parent, bool sunken, COLORREF background)
    : fBackground(CreateSolidBrush(background)) {
  fWnd = CreateWindowExW(sunken ? WS_EX_CLIENTEDGE : 0, kPanelClass, L"",
                         WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                         parent, nullptr, gInstance, this);
}

TWinPanel::~TWinPanel() {
  if (fWnd && IsWindow(fWnd)) {
    RemovePropW(fWnd, kBindingProp);
    DestroyWindow(fWnd);
  }
  DeleteObject(fBackground);
}

LRESULT TWinPanel::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (ForwardChildMessage(msg, wp, lp, result)) return result;
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(fWnd, &r);
      ::FillRect(reinterpret_cast<HDC>(wp), &r, fBackground);
      return 1;
    }
    case WM_SIZE: {
      const int w = LOWORD(lp), h = HIWORD(lp);
      Guarded([&] {
        if (OnLayout) OnLayout(w, h);
      });
      return 0;
    }
  }
  return DefWindowProcW(fWnd, msg, wp, lp);
}

// ---------------------------------------------------------------------------

TWinScrollBar::TWinScrollBar(TScrollBar& model, HWND parent) : TWinControl(model), fBar(model) {
  Create(0, L"SCROLLBAR", SBS_VERT, parent);
  PushState();
}

void TWinScrollBar::PushState() {
  if (fWnd == nullptr) return;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = fBar.Min();
  si.nMax = fBar.Max();
  si.nPage = static_cast<UINT>(std::max(fBar.PageSize(), 0));
  si.nPos = fBar.Position();
  SetScrollInfo(fWnd, SB_CTL, &si, TRUE);
  EnableWindow(fWnd, fBar.Enabled());
}

void TWinScrollBar::Changed(TWidget& widget, TWidgetChange what) {
  static_cast<void>(widget);
  if (what == TWidgetChange::State) {
    PushState();
    return;
  }
  TWinControl::Changed(widget, what);
  if (what == TWidgetChange::Enabled) PushState();
  // Showing, hiding or (un)aligning the bar changes its neighbours' room.
  if ((what == TWidgetChange::Visible || what == TWidgetChange::Bounds) && OnPlacementChanged)
    OnPlacementChanged();
}

bool TWinScrollBar::HandleScroll(WPARAM wp) {
  TScrollCode code;
  int pos = 0;
  switch (LOWORD(wp)) {
    case SB_LINEUP: code = TScrollCode::scLineUp; break;
    case SB_LINEDOWN: code = TScrollCode::scLineDown; break;
    case SB_PAGEUP: code = TScrollCode::scPageUp; break;
    case SB_PAGEDOWN: code = TScrollCode::scPageDown; break;
    case SB_TOP: code = TScrollCode::scTop; break;
    case SB_BOTTOM: code = TScrollCode::scBottom; break;
    case SB_ENDSCROLL: code = TScrollCode::scEndScroll; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      code = LOWORD(wp) == SB_THUMBTRACK ? TScrollCode::scTrack : TScrollCode::scPosition;
      // The 32-bit track position, not the 16 bits of the message.
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_TRACKPOS;
      GetScrollInfo(fWnd, SB_CTL, &si);
      pos = si.nTrackPos;
      break;
    }
    default:
      return true;
  }
  Guarded([&] { fBar.Scroll(code, pos); });
  return true;
}

// ---------------------------------------------------------------------------

TWinHeader::TWinHeader(THeaderControl& model, HWND parent, HFONT font)
    : TWinControl(model), fHeader(model) {
  Create(0, WC_HEADERW, HDS_HORZ | HDS_FULLDRAG, parent);
  if (fWnd) SendMessageW(fWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  PushSections();
}

void TWinHeader::PushSections() {
  if (fWnd == nullptr) return;
  fPushing = true;
  const auto& sections = fHeader.Sections();
  const int existing = static_cast<int>(SendMessageW(fWnd, HDM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < static_cast<int>(sections.size()); ++i) {
    std::wstring text = Widen(sections[static_cast<size_t>(i)].Text);
    HDITEMW item{};
    item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
    item.pszText = text.data();
    item.cxy = sections[static_cast<size_t>(i)].Width;
    item.fmt = HDF_LEFT | HDF_STRING;
    SendMessageW(fWnd, i < existing ? HDM_SETITEMW : HDM_INSERTITEMW, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(&item));
  }
  for (int i = existing - 1; i >= static_cast<int>(sections.size()); --i)
    SendMessageW(fWnd, HDM_DELETEITEM, static_cast<WPARAM>(i), 0);
  fPushing = false;
}

void TWinHeader::Changed(TWidget& widget, TWidgetChange what) {
  if (what == TWidgetChange::State) {
    if (!fPushing) PushSections();
    return;
  }
  TWinControl::Changed(widget, what);
}

bool TWinHeader::HandleNotify(NMHDR* hdr, LRESULT& result) {
  auto* nm = reinterpret_cast<NMHEADERW*>(hdr);
  const size_t index = static_cast<size_t>(nm->iItem);
  switch (hdr->code) {
    case HDN_ITEMCHANGINGW:
    case HDN_ITEMCHANGINGA:
      // A section does not get narrower than its minimum.
      result = FALSE;
      if (nm->pitem && (nm->pitem->mask & HDI_WIDTH) && index < fHeader.Sections().size() &&
          nm->pitem->cxy < fHeader.Sections()[index].MinWidth)
        result = TRUE;
      return true;
    case HDN_ITEMCHANGEDW:
    case HDN_ITEMCHANGEDA:
      if (!fPushing && nm->pitem && (nm->pitem->mask & HDI_WIDTH)) {
        const int width = nm->pitem->cxy;
        fPushing = true;
        Guarded([&] { fHeader.PlatformSectionWidth(index, width); });
        fPushing = false;
      }
      result = 0;
      return true;
  }
  return false;
}

// ---------------------------------------------------------------------------

TWinTimer::TWinTimer(TTimer& model) : fModel(model) {
  fModel.OnChanged = [this](TTimer&) { Update(); };
  Update();
}

TWinTimer::~TWinTimer() {
  fModel.OnChanged = nullptr;
  if (fId) {
    KillTimer(nullptr, fId);
    Timers().erase(fId);
  }
}

void TWinTimer::Update() {
  if (fId) {
    KillTimer(nullptr, fId);
    Timers().erase(fId);
    fId = 0;
  }
  if (!fModel.Enabled()) return;
  fId = SetTimer(nullptr, 0, fModel.Interval(), &TWinTimer::Proc);
  if (fId) Timers()[fId] = this;
}

void CALLBACK TWinTimer::Proc(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = Timers().find(id);
  if (it == Timers().end()) return;
  TTimer& model = it->second->fModel;
  Guarded([&] { model.Tick(); });
}

}  // namespace kovra::win
