// Smaller points of the module's windows under Wine: the gauge answers the
// progress-bar messages as the standard control does (its position kept in
// its range, its step) and draws its percentage in the font it was given;
// a restored hex window position on no monitor comes back onto one.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "Gauge.h"
#include "MainWindow.h"
#include "Registry.h"
#include "window_test_support.h"

namespace kovra::win {
namespace {

using namespace kovra::win::testing;

class GaugeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterGaugeClass(instance);
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"KovraGaugeTestParent";
    RegisterClassW(&wc);
  }
  static void TearDownTestSuite() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    UnregisterClassW(L"KovraGaugeTestParent", instance);
    UnregisterGaugeClass(instance);
  }
  void SetUp() override {
    Parent = CreateWindowExW(0, L"KovraGaugeTestParent", L"Gauge", WS_POPUP | WS_VISIBLE, 0, 0, 400, 100, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    Gauge = CreateWindowExW(0, kGaugeClass, L"", WS_CHILD | WS_VISIBLE, 10, 10, 300, 40, Parent, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(Gauge, nullptr);
  }
  void TearDown() override { DestroyWindow(Parent); }
  LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(Gauge, msg, wp, lp); }
  int Pos() { return static_cast<int>(Send(PBM_GETPOS)); }
  HWND Parent = nullptr, Gauge = nullptr;
};

TEST_F(GaugeTest, ThePositionStaysInTheRangeAndStepsAsTheStandardControlsDoes) {
  // Each row: a message, what it answers, the position after it.
  struct Row {
    const char* What;
    UINT Msg;
    WPARAM Wp;
    LPARAM Lp;
    LRESULT Answer;
    int PosAfter;
  } const rows[] = {
      {"the step is 10 at first", PBM_GETSTEP, 0, 0, 10, 0},
      {"a position past the end stops there", PBM_SETPOS, 150, 0, 0, 100},
      {"a position below the start stops there", PBM_SETPOS, static_cast<WPARAM>(-5), 0, 100, 0},
      {"a wider range", PBM_SETRANGE32, 0, 1000, MAKELRESULT(0, 100), 0},
      {"a position inside it", PBM_SETPOS, 900, 0, 0, 900},
      {"a narrower range takes the position in", PBM_SETRANGE32, 0, 500, MAKELRESULT(0, 1000), 500},
      {"a delta past the end stops there, without wrapping", PBM_DELTAPOS, INT_MAX, 0, 500, 500},
      {"a delta below the start stops there", PBM_DELTAPOS, static_cast<WPARAM>(-800), 0, 500, 0},
      {"a position for the steps", PBM_SETPOS, 450, 0, 0, 450},
      {"a new step answers the old one", PBM_SETSTEP, 30, 0, 10, 450},
      {"a step", PBM_STEPIT, 0, 0, 450, 480},
      {"a step past the end starts over", PBM_STEPIT, 0, 0, 480, 0},
      {"a 16-bit range above the position takes it in", PBM_SETRANGE, 0, MAKELPARAM(10, 20), MAKELRESULT(0, 500), 10},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.What);
    EXPECT_EQ(Send(r.Msg, r.Wp, r.Lp), r.Answer);
    EXPECT_EQ(Pos(), r.PosAfter);
  }
  PBRANGE range{};
  Send(PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 10);
  EXPECT_EQ(range.iHigh, 20);
}

// The bounding box of the pixels that are not black in a rectangle of a DC.
RECT Ink(HDC dc, int width, int height) {
  RECT box{width, height, 0, 0};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if ((GetPixel(dc, x, y) & 0xFFFFFF) != 0) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  return box;
}

TEST_F(GaugeTest, ThePercentageIsDrawnInTheGaugesFont) {
  // A font that no default would be, handed over as a parent hands its
  // controls their font.
  HFONT font = CreateUiFont(28, L"Tahoma");
  Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  EXPECT_EQ(reinterpret_cast<HFONT>(Send(WM_GETFONT)), font);
  Send(PBM_SETPOS, 0);
  RedrawWindow(Gauge, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Pump(50);
  HDC dc = GetDC(Gauge);
  const RECT shown = Ink(dc, 300, 40);
  ReleaseDC(Gauge, dc);

  // "0%" alone in that font, where the gauge centres it.
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 300, 40);
  ReleaseDC(nullptr, screen);
  HGDIOBJ oldBmp = SelectObject(mem, bmp);
  RECT all{0, 0, 300, 40};
  FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  HGDIOBJ oldFont = SelectObject(mem, font);
  SetBkMode(mem, TRANSPARENT);
  SetTextColor(mem, RGB(0, 0, 255));
  DrawTextW(mem, L"0%", -1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  const RECT alone = Ink(mem, 300, 40);
  SelectObject(mem, oldFont);
  SelectObject(mem, oldBmp);
  DeleteObject(bmp);
  DeleteDC(mem);
  DestroyWindow(Gauge);
  DeleteObject(font);

  ASSERT_LT(alone.left, alone.right);
  EXPECT_EQ(shown.left, alone.left);
  EXPECT_EQ(shown.right, alone.right);
  EXPECT_EQ(shown.top, alone.top);
  EXPECT_EQ(shown.bottom, alone.bottom) << "the text is " << shown.bottom - shown.top << " pixels high, the font's "
                                        << alone.bottom - alone.top;
}

class HexPlacementTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Key.Save();
    InstallWindowsRegistry();
    MainWindow::RegisterClasses(GetModuleHandleW(nullptr));
  }
  static void TearDownTestSuite() {
    MainWindow::UnregisterClasses(GetModuleHandleW(nullptr));
    Key.Restore();
  }
  static void Store(const wchar_t* name, int value) {
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    const std::wstring text = L"\"" + std::to_wstring(value) + L"\"";
    RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
  }
  static SavedKey Key;
};
SavedKey HexPlacementTest::Key;

TEST_F(HexPlacementTest, ARestoredPlaceOnNoMonitorComesOntoTheNearestOne) {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  struct Case {
    const char* What;
    int X, Y;
    bool Kept;
  } const cases[] = {
      {"on the screen", 100, 80, true},
      {"far to the left and above", -5000, -4000, false},
      {"far to the right and below", 9000, 7000, false},
      {"the title bar above the screen, the rest on it", 200, -300, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    Store(L"HEXFORM_X", c.X);
    Store(L"HEXFORM_Y", c.Y);
    Store(L"HEXFORM_W", kHexFormWidth);
    Store(L"HEXFORM_H", 600);
    auto window = std::make_unique<MainWindow>(GetModuleHandleW(nullptr));
    RECT r{};
    GetWindowRect(window->HexWindow().Handle(), &r);
    EXPECT_EQ(r.right - r.left, kHexFormWidth);
    EXPECT_EQ(r.bottom - r.top, 600);
    if (c.Kept) {
      EXPECT_EQ(r.left, c.X);
      EXPECT_EQ(r.top, c.Y);
    } else {
      EXPECT_GE(r.left, work.left);
      EXPECT_GE(r.top, work.top);
      EXPECT_LE(r.right, work.right);
      EXPECT_LE(r.bottom, work.bottom);
    }
    // Shown, its title bar is where the user can take hold of it.
    window->Form().HexWindow.SetVisible(true);
    Pump(30);
    POINT caption{r.left + 40, r.top + GetSystemMetrics(SM_CYCAPTION) / 2 + 2};
    EXPECT_NE(MonitorFromPoint(caption, MONITOR_DEFAULTTONULL), nullptr) << "its title bar is on no monitor";
  }
}

}  // namespace
}  // namespace kovra::win
