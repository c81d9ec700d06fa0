#include "Gauge.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace kovra::win {
namespace {

// As the standard progress bar keeps it: the position stays within the
// range, and a step of 10 until told otherwise.
struct GaugeState {
  int Min = 0;
  int Max = 100;
  int Pos = 0;
  int Step = 10;
  HFONT Font = nullptr;  // the one WM_SETFONT gave; not ours to delete
  void Clamp() { Pos = std::clamp(Pos, Min, std::max(Min, Max)); }
};

GaugeState* StateOf(HWND hwnd) { return reinterpret_cast<GaugeState*>(GetWindowLongPtrW(hwnd, 0)); }

void Paint(HWND hwnd, const GaugeState& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  // Everything goes to a memory surface first: the gauge moves many times a
  // second during long commands and must not flicker.
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, rc.right, rc.bottom);
  HGDIOBJ oldBmp = SelectObject(mem, bmp);
  HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
  FillRect(mem, &rc, black);
  DeleteObject(black);
  const int64_t range = static_cast<int64_t>(s.Max) - s.Min;
  int64_t done = static_cast<int64_t>(s.Pos) - s.Min;
  if (done < 0) done = 0;
  if (range > 0 && done > range) done = range;
  if (range > 0 && done > 0) {
    RECT bar = rc;
    bar.right = static_cast<LONG>(rc.left + (rc.right - rc.left) * done / range);
    HBRUSH navy = CreateSolidBrush(RGB(0, 0, 128));
    FillRect(mem, &bar, navy);
    DeleteObject(navy);
  }
  wchar_t text[16];
  swprintf(text, 16, L"%d%%", GaugePercent(s.Pos - s.Min, s.Max - s.Min));
  SetBkMode(mem, TRANSPARENT);
  SetTextColor(mem, RGB(0, 0, 255));
  // The window's font, which its parent handed it like every control's.
  HFONT font = s.Font ? s.Font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HGDIOBJ oldFont = SelectObject(mem, font);
  DrawTextW(mem, text, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(mem, oldFont);
  BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
  SelectObject(mem, oldBmp);
  DeleteObject(bmp);
  DeleteDC(mem);
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK GaugeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  GaugeState* s = StateOf(hwnd);
  switch (msg) {
    case WM_NCCREATE:
      SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(new GaugeState));
      break;
    case WM_NCDESTROY:
      delete s;
      SetWindowLongPtrW(hwnd, 0, 0);
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (s) Paint(hwnd, *s);
      return 0;
    case WM_SETFONT:
      if (!s) return 0;
      s->Font = reinterpret_cast<HFONT>(wp);
      if (LOWORD(lp)) InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return s ? reinterpret_cast<LRESULT>(s->Font) : 0;
    case PBM_SETRANGE: {
      if (!s) return 0;
      const LRESULT old = MAKELRESULT(s->Min, s->Max);
      s->Min = LOWORD(lp);
      s->Max = HIWORD(lp);
      s->Clamp();
      InvalidateRect(hwnd, nullptr, FALSE);
      return old;
    }
    case PBM_SETRANGE32: {
      if (!s) return 0;
      const LRESULT old = MAKELRESULT(s->Min, s->Max);
      s->Min = static_cast<int>(wp);
      s->Max = static_cast<int>(lp);
      s->Clamp();
      InvalidateRect(hwnd, nullptr, FALSE);
      return old;
    }
    case PBM_GETRANGE: {
      if (!s) return 0;
      if (lp) {
        auto* r = reinterpret_cast<PBRANGE*>(lp);
        r->iLow = s->Min;
        r->iHigh = s->Max;
      }
      return wp ? s->Min : s->Max;
    }
    case PBM_SETPOS: {
      if (!s) return 0;
      const int old = s->Pos;
      s->Pos = static_cast<int>(wp);
      s->Clamp();
      if (old != s->Pos) InvalidateRect(hwnd, nullptr, FALSE);
      return old;
    }
    case PBM_GETPOS:
      return s ? s->Pos : 0;
    case PBM_DELTAPOS: {
      if (!s) return 0;
      const int old = s->Pos;
      // In 64 bits: a delta past the end stops there instead of wrapping.
      const int64_t pos = static_cast<int64_t>(old) + static_cast<int>(wp);
      s->Pos = static_cast<int>(std::clamp<int64_t>(pos, s->Min, std::max(s->Min, s->Max)));
      if (old != s->Pos) InvalidateRect(hwnd, nullptr, FALSE);
      return old;
    }
    case PBM_SETSTEP: {
      if (!s) return 0;
      const int old = s->Step;
      s->Step = static_cast<int>(wp);
      return old;
    }
    case PBM_GETSTEP:
      return s ? s->Step : 0;
    case PBM_STEPIT: {
      // Past the end the bar starts over from the beginning.
      if (!s) return 0;
      const int old = s->Pos;
      const int64_t pos = static_cast<int64_t>(old) + s->Step;
      s->Pos = pos > s->Max ? s->Min : static_cast<int>(std::max<int64_t>(pos, s->Min));
      if (old != s->Pos) InvalidateRect(hwnd, nullptr, FALSE);
      return old;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int GaugePercent(int position, int maximum) {
  if (maximum <= 0 || position <= 0) return 0;
  if (position >= maximum) return 100;
  return static_cast<int>(static_cast<int64_t>(position) * 100 / maximum);
}

void RegisterGaugeClass(HINSTANCE instance) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = GaugeProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kGaugeClass;
  RegisterClassW(&wc);
}

void UnregisterGaugeClass(HINSTANCE instance) { UnregisterClassW(kGaugeClass, instance); }

}  // namespace kovra::win
