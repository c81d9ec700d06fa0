#include "Gauge.h"

#include <commctrl.h>

#include <cstdint>
#include <cstdio>

namespace kovra::win {
namespace {

struct GaugeState {
  int Min = 0;
  int Max = 100;
  int Pos = 0;
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
  HGDIOBJ oldFont = SelectObject(mem, reinterpret_cast<HFONT>(SendMessageW(GetParent(hwnd), WM_GETFONT, 0, 0)));
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
    case PBM_SETRANGE: {
      if (!s) return 0;
      const LRESULT old = MAKELRESULT(s->Min, s->Max);
      s->Min = LOWORD(lp);
      s->Max = HIWORD(lp);
      InvalidateRect(hwnd, nullptr, FALSE);
      return old;
    }
    case PBM_SETRANGE32: {
      if (!s) return 0;
      const LRESULT old = MAKELRESULT(s->Min, s->Max);
      s->Min = static_cast<int>(wp);
      s->Max = static_cast<int>(lp);
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
      if (old != s->Pos) InvalidateRect(hwnd, nullptr, FALSE);
      return old;
    }
    case PBM_GETPOS:
      return s ? s->Pos : 0;
    case PBM_DELTAPOS: {
      if (!s) return 0;
      const int old = s->Pos;
      s->Pos = static_cast<int>(static_cast<int64_t>(old) + static_cast<int>(wp));
      InvalidateRect(hwnd, nullptr, FALSE);
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
