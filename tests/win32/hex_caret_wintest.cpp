// The hex window's two panes as real windows: the caret that a click places
// on a byte must be seen on screen, blinking at the byte's place in the pane
// that was clicked and nowhere else; and a press whose mouse capture another
// window takes must end there, so that the next press is not swallowed.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "HexWindow.h"
#include "ViewWidgets.h"
#include "samples/SampleImage.h"
#include "window_test_support.h"

namespace kovra::win {
namespace {

using testing::Pump;

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

// The pixels of a rectangle of a window, read from the window's DC, where
// the system draws the caret too.
std::vector<COLORREF> Pixels(HWND wnd, int x, int y, int w, int h) {
  std::vector<COLORREF> p;
  HDC dc = GetDC(wnd);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) p.push_back(GetPixel(dc, x + i, y + j));
  ReleaseDC(wnd, dc);
  return p;
}

// What a place of a window looks like over a few blink periods, sampled
// while the window's messages (the caret's timer among them) are processed.
struct Watch {
  std::set<std::vector<COLORREF>> States;
  std::vector<COLORREF> First;
};
Watch WatchPlace(HWND wnd, int x, int y, int w, int h) {
  Watch watch;
  const UINT blink = GetCaretBlinkTime();
  const int period = blink == INFINITE || blink == 0 ? 500 : static_cast<int>(blink);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(3 * period);
  watch.First = Pixels(wnd, x, y, w, h);
  while (std::chrono::steady_clock::now() < end) {
    watch.States.insert(Pixels(wnd, x, y, w, h));
    Pump(20);
  }
  return watch;
}

// Two states of which one is the other inverted: a caret blinking there.
bool Blinks(const Watch& w) {
  if (w.States.size() != 2) return false;
  const auto& a = *w.States.begin();
  const auto& b = *w.States.rbegin();
  for (size_t i = 0; i < a.size(); ++i)
    if (((a[i] ^ b[i]) & 0xFFFFFF) != 0xFFFFFF) return false;
  return true;
}

HWND CaretWindow() {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetCurrentThreadId(), &info);
  return info.hwndCaret;
}

class HexCaretTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterViewClasses(instance);
    THexWindow::RegisterWindowClass(instance);
    const auto path = std::filesystem::temp_directory_path() / "kovra_hex_caret.bin";
    const std::u8string u8 = path.u8string();
    Image = new std::string(u8.begin(), u8.end());
    samples::WriteSampleImage(samples::SampleSpecFor(2048, 0x20000, 64), *Image);
    Hex = new THexWindow();
    SetWindowPos(Hex->Handle(), HWND_TOP, 0, 0, kHexFormWidth, 740, SWP_NOACTIVATE);
    Hex->Show();
    // Data in both panes: the main area's first block, its spare bytes.
    Hex->UpperView().InitializeViewData(*Image, 0, 0x20000);
    Hex->LowerView().InitializeViewData(*Image, 64 * 0x20000, 0x1000);
    Pump(200);
  }
  static void TearDownTestSuite() {
    delete Hex;
    Hex = nullptr;
    std::error_code ec;
    std::filesystem::remove(std::filesystem::u8path(*Image), ec);
    delete Image;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    THexWindow::UnregisterWindowClass(instance);
    UnregisterViewClasses(instance);
  }

  static void Click(int pane, int x, int y) {
    HWND paint = Hex->PaintBoxHandle(pane);
    SendMessageW(paint, WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
    SendMessageW(paint, WM_LBUTTONUP, 0, Point(x, y));
    Pump(30);
  }

  static THexWindow* Hex;
  static std::string* Image;
};
THexWindow* HexCaretTest::Hex = nullptr;
std::string* HexCaretTest::Image = nullptr;

TEST_F(HexCaretTest, TheCaretBlinksOnScreenAtTheClickedByteInEitherPaneAndOnlyThere) {
  THEXView* views[2] = {&Hex->UpperView(), &Hex->LowerView()};
  ASSERT_GT(views[0]->ChunkLength(), 0);
  ASSERT_GT(views[1]->ChunkLength(), 0);
  const int cx = views[0]->CharWidth(), cy = views[0]->RowHeight();
  // Byte 0x25 of the upper pane (line 2, hex column) and byte 0x13 of the
  // lower one (line 1, character column): the caret's documented place is
  // the left edge of the byte's cell, 2 pixels wide and a line high.
  struct Place {
    int Pane;
    int64_t Byte;
    int ClickX, ClickY;
    int X, Y;
  } const places[] = {
      {0, 0x25, views[0]->HexLeft() + 15 * cx + 2, 2 * cy + 3, views[0]->HexLeft() + 15 * cx, 2 * cy},
      {1, 0x13, views[1]->Separator() + 5 + 3 * cx + 2, cy + 3, views[1]->Separator() + 5 + 3 * cx, cy},
  };
  for (const Place& p : places) {
    SCOPED_TRACE(p.Pane == 0 ? "upper pane" : "lower pane");
    Click(p.Pane, p.ClickX, p.ClickY);
    ASSERT_EQ(views[p.Pane]->CaretByte(), p.Byte);
    HWND paint = Hex->PaintBoxHandle(p.Pane);
    EXPECT_EQ(CaretWindow(), paint) << "the system caret is not in the pane's drawing window";
    const Watch here = WatchPlace(paint, p.X, p.Y, 2, cy);
    EXPECT_TRUE(Blinks(here)) << here.States.size() << " distinct looks of the caret's place";
    // Just right of the caret the byte's digits never change.
    const Watch beside = WatchPlace(paint, p.X + 2, p.Y, 2, cy);
    EXPECT_EQ(beside.States.size(), 1u);
  }
  // One caret for the whole interface: the upper pane's place stays still
  // while the lower pane has it.
  const Watch old = WatchPlace(Hex->PaintBoxHandle(0), places[0].X, places[0].Y, 2, cy);
  EXPECT_EQ(old.States.size(), 1u);
  // Clicked again, the upper pane takes it back.
  Click(0, places[0].ClickX, places[0].ClickY);
  EXPECT_TRUE(Blinks(WatchPlace(Hex->PaintBoxHandle(0), places[0].X, places[0].Y, 2, cy)));
  EXPECT_EQ(WatchPlace(Hex->PaintBoxHandle(1), places[1].X, places[1].Y, 2, cy).States.size(), 1u);
}

TEST_F(HexCaretTest, ACaretTakenByAnEditBoxComesBackWithTheNextClick) {
  HWND edit = CreateWindowExW(0, L"EDIT", L"text", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, Hex->Handle(), nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  SetFocus(edit);
  Pump(30);
  EXPECT_EQ(CaretWindow(), edit);
  THEXView& upper = Hex->UpperView();
  const int cx = upper.CharWidth(), cy = upper.RowHeight();
  Click(0, upper.HexLeft() + 3 * cx + 2, 3);
  EXPECT_EQ(upper.CaretByte(), 1);
  EXPECT_EQ(CaretWindow(), Hex->PaintBoxHandle(0));
  EXPECT_TRUE(Blinks(WatchPlace(Hex->PaintBoxHandle(0), upper.HexLeft() + 3 * cx, 0, 2, cy)));
  DestroyWindow(edit);
}

TEST_F(HexCaretTest, APressWhoseCaptureIsTakenEndsAndTheNextPressIsTaken) {
  THEXView& upper = Hex->UpperView();
  HWND paint = Hex->PaintBoxHandle(0);
  const int cx = upper.CharWidth(), cy = upper.RowHeight();
  auto hexAt = [&](int k, int line) { return Point(upper.HexLeft() + 3 * k * cx + 2, line * cy + 3); };
  struct Case {
    const char* Name;
    bool Drag;       // moved to another byte before the capture went
    bool ToWindow;   // another window took it (else it was just released)
  } const cases[] = {{"press, then a window takes the capture", false, true},
                     {"drag, then a window takes the capture", true, true},
                     {"drag, then the capture is released", true, false}};
  HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Click(0, upper.HexLeft() + 2, 3);  // a fresh start: caret on byte 0, no selection
    SendMessageW(paint, WM_LBUTTONDOWN, MK_LBUTTON, hexAt(4, 1));
    ASSERT_TRUE(upper.Dragging());
    ASSERT_EQ(GetCapture(), paint);
    if (c.Drag) SendMessageW(paint, WM_MOUSEMOVE, MK_LBUTTON, hexAt(9, 1));
    if (c.ToWindow) SetCapture(other);
    else ReleaseCapture();
    Pump(30);
    EXPECT_FALSE(upper.Dragging()) << "the press never ended";
    if (c.Drag) {
      // The selection made so far stays, as after a release, and the pointer
      // moving over the pane no longer changes it.
      EXPECT_EQ(upper.SelectionBegin(), 0x14);
      EXPECT_EQ(upper.SelectionEnd(), 0x19);
      SendMessageW(paint, WM_MOUSEMOVE, MK_LBUTTON, hexAt(12, 2));
      EXPECT_EQ(upper.SelectionEnd(), 0x19);
    }
    if (GetCapture() == other) ReleaseCapture();
    // The next press is the user's: it lands.
    SendMessageW(paint, WM_LBUTTONDOWN, MK_LBUTTON, hexAt(7, 3));
    SendMessageW(paint, WM_LBUTTONUP, 0, hexAt(7, 3));
    Pump(30);
    EXPECT_EQ(upper.CaretByte(), 0x37);
    EXPECT_FALSE(upper.HasSelection());
    EXPECT_FALSE(upper.Dragging());
  }
  DestroyWindow(other);
}

}  // namespace
}  // namespace kovra::win
