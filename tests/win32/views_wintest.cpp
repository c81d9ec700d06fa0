// The partition list and the hex window as real windows: a generated image
// loaded, its partitions in the list, the cursor row's data in the two hex
// panes, and real messages (clicks, drags, wheel, scroll bar, header drag)
// going through the window procedures into the views. Every step checks the
// real windows (visible, sized, painted pixels, caret, scroll bar state).
//
// With KOVRA_VIEWS_HOLD set, the last test writes "views.ready" in the
// current folder once everything is drawn and waits (up to a minute) for
// "views.done", so that a script can take a screenshot meanwhile.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "CoolListWindow.h"
#include "HexWindow.h"
#include "ViewWidgets.h"
#include "image/ImageLoad.h"
#include "samples/SampleImage.h"
#include "ui/CoolListView.h"
#include "window_test_support.h"

namespace kovra::win {
namespace {

constexpr wchar_t kHostClass[] = L"KovraViewsHost";
// The host window's first size: about nine of the twelve rows fit.
constexpr int kHostWidth = 1270, kHostHeight = 250;

using testing::Pump;

COLORREF PixelOf(HWND wnd, int x, int y) {
  HDC dc = GetDC(wnd);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(wnd, dc);
  return c;
}

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

struct Views {
  std::string ImagePath;
  TImageLoadResult Image;
  HWND Host = nullptr;
  HFONT Font = nullptr;
  THeaderControl Header;
  TScrollBox Box;
  TPaintBox Paint;
  TScrollBar Bar;
  std::unique_ptr<TCoolListWindow> ListWindow;
  std::unique_ptr<TCoolListView> List;
  std::unique_ptr<THexWindow> Hex;
  std::vector<int> Selections;

  ~Views() {
    List.reset();
    ListWindow.reset();
    Hex.reset();
    if (Host) DestroyWindow(Host);
    if (Font) DeleteObject(Font);
    std::error_code ec;
    std::filesystem::remove(std::filesystem::u8path(ImagePath), ec);
  }

  // Both panes follow the cursor row, as the main window has them do.
  void Follow(int row) {
    Selections.push_back(row);
    if (row < 0) {
      Hex->UpperView().InitializeViewData("", 0, 0);
      Hex->LowerView().InitializeViewData("", 0, 0);
      return;
    }
    const TPartitionExtent e =
        PartitionExtent(Image.Geometry, Image.PartitionTable.Entries[static_cast<size_t>(row)]);
    Hex->UpperView().InitializeViewData(ImagePath, e.MainOffset, e.MainLength);
    Hex->LowerView().InitializeViewData(ImagePath, e.SpareOffset, e.SpareLength);
  }
};

Views* gViews = nullptr;

LRESULT CALLBACK HostProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SIZE && gViews && gViews->ListWindow)
    gViews->ListWindow->SetBounds(8, 8, LOWORD(lp) - 16, HIWORD(lp) - 16);
  return DefWindowProcW(wnd, msg, wp, lp);
}

class ViewsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterViewClasses(instance);
    THexWindow::RegisterWindowClass(instance);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.lpfnWndProc = HostProc;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kHostClass;
    RegisterClassExW(&wc);

    V = new Views;
    gViews = V;
    const auto path = std::filesystem::temp_directory_path() / "kovra_views_image.bin";
    const std::u8string u8 = path.u8string();
    V->ImagePath.assign(u8.begin(), u8.end());
    samples::WriteSampleImage(samples::DefaultSampleSpec(), V->ImagePath);
    V->Image = LoadImageFileAndProcessIt(V->ImagePath, false);

    V->Host = CreateWindowExW(0, kHostClass, L"Partition list", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                              0, 0, kHostWidth, kHostHeight, nullptr, nullptr, instance, nullptr);
    V->Font = CreateUiFont(11);
    V->Header.SetSections({{"Position", 80, 50},
                           {"Selected", 90, 50},
                           {"Partition Name", 120, 50},
                           {"Address (Blocks) Range", 420, 50},
                           {"Size in Bytes (Blocks)", 2000, 50}});
    V->ListWindow = std::make_unique<TCoolListWindow>(V->Host, V->Header, V->Box, V->Paint, V->Bar, V->Font);
    V->List = CreateCoolListView(V->Box, V->Paint, V->Bar, V->Header, 14, "Courier New");
    V->List->OnSelectionChange = [](int row, TMouseButton, int, int) { gViews->Follow(row); };
    V->List->SetMultiThreadRepaint(false);
    V->List->SetRowHeightIncrease(2);
    V->List->SetBottomTextMargin(0);
    V->ListWindow->BindTimer(V->List->Timer());
    V->Box.OnKeyDown = [](int key) { return gViews->List->ProcessKeyboardInput(static_cast<uint32_t>(key), 0); };
    V->Hex = std::make_unique<THexWindow>();

    RECT client;
    GetClientRect(V->Host, &client);
    V->ListWindow->SetBounds(8, 8, client.right - 16, client.bottom - 16);
    ShowWindow(V->Host, SW_SHOWNOACTIVATE);
    SetWindowPos(V->Hex->Handle(), nullptr, 0, 260, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(V->Hex->Handle(), nullptr, 0, 0, kHexFormWidth, 740, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    V->Hex->Show();
    if (V->Image.Ok) {
      V->List->SetCoolItemsList(&V->Image.PartitionItems);
      V->List->SetItemIndex(0);
      V->List->Refresh();
    }
    Pump(300);
  }
  // Every test starts from the same windows, whichever ran before it: the
  // host at its first size, the list at its top with the cursor on row 0
  // (which feeds both hex panes), the list without the focus, and the hex
  // window shown at its first size.
  void SetUp() override {
    SetWindowPos(V->Host, nullptr, 0, 0, kHostWidth, kHostHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(V->Hex->Handle(), nullptr, 0, 0, kHexFormWidth, 740, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    V->Hex->Show();
    SendMessageW(V->ListWindow->ScrollBoxHandle(), WM_KEYDOWN, VK_HOME, 0);
    V->List->SetItemIndex(0);
    SetFocus(V->Host);
    Pump(50);
    V->Selections.clear();
    ASSERT_TRUE(V->Image.Ok) << V->Image.FailureText;
    ASSERT_EQ(V->List->ItemIndex(), 0);
    ASSERT_EQ(V->List->FirstVisibleRow(), 0);
    ASSERT_GT(V->Hex->UpperView().ChunkLength(), 0);
    ASSERT_GT(V->Hex->LowerView().ChunkLength(), 0);
    ASSERT_FALSE(V->Box.Focused());
  }

  static void TearDownTestSuite() {
    gViews = nullptr;
    delete V;
    V = nullptr;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    THexWindow::UnregisterWindowClass(instance);
    UnregisterClassW(kHostClass, instance);
    UnregisterViewClasses(instance);
  }

  static Views* V;
};
Views* ViewsTest::V = nullptr;

TEST_F(ViewsTest, ListShowsTheImagesPartitionsInRealWindows) {
  ASSERT_TRUE(V->Image.Ok) << V->Image.FailureText;
  ASSERT_EQ(V->Image.PartitionItems.Count, 12);
  ASSERT_TRUE(IsWindowVisible(V->Host));
  ASSERT_TRUE(IsWindowVisible(V->ListWindow->PaintBoxHandle()));
  RECT r;
  GetClientRect(V->ListWindow->PaintBoxHandle(), &r);
  EXPECT_EQ(r.right, V->Paint.Width());
  EXPECT_EQ(r.bottom, V->Paint.Height());
  EXPECT_GT(r.bottom, 100);
  // The sunken panel is 1254 wide inside the host; its client loses the
  // bevel, the paint box the header above it.
  EXPECT_EQ(V->Header.Height(), kListHeaderHeight);
  EXPECT_EQ(static_cast<int>(SendMessageW(V->ListWindow->HeaderHandle(), HDM_GETITEMCOUNT, 0, 0)), 5);
  // Twelve rows do not fit: the scroll bar is shown at the right.
  const int rowHeight = V->List->RowHeight();
  EXPECT_GT(rowHeight, 2);
  ASSERT_GT(V->List->ScreenLines(), 0);
  ASSERT_LT(V->List->ScreenLines(), 12);
  EXPECT_TRUE(IsWindowVisible(V->ListWindow->ScrollBarHandle()));
  EXPECT_EQ(V->Paint.Width() + kListScrollBarWidth, V->Header.Width());
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  GetScrollInfo(V->ListWindow->ScrollBarHandle(), SB_CTL, &si);
  EXPECT_EQ(si.nMax, 12);
  EXPECT_EQ(static_cast<int>(si.nPage), V->List->ScreenLines() + 1);
  // The cursor bar on row 0, grey while the list has no focus...
  EXPECT_EQ(PixelOf(V->ListWindow->PaintBoxHandle(), 600, 4), RGB(0xC0, 0xC0, 0xC0));
  // ...blue with it, and white below on the next row.
  SetFocus(V->ListWindow->ScrollBoxHandle());
  Pump(50);
  EXPECT_TRUE(V->Box.Focused());
  EXPECT_EQ(PixelOf(V->ListWindow->PaintBoxHandle(), 600, 4), RGB(0x33, 0x99, 0xFF));
  EXPECT_EQ(PixelOf(V->ListWindow->PaintBoxHandle(), 600, rowHeight + 4), RGB(0xFF, 0xFF, 0xFF));
}

TEST_F(ViewsTest, ClickOnARowFeedsTheHexPanes) {
  const int rowHeight = V->List->RowHeight();
  V->Selections.clear();
  SendMessageW(V->ListWindow->PaintBoxHandle(), WM_LBUTTONDOWN, MK_LBUTTON, Point(30, 5 * rowHeight + 5));
  SendMessageW(V->ListWindow->PaintBoxHandle(), WM_LBUTTONUP, 0, Point(30, 5 * rowHeight + 5));
  Pump(50);
  EXPECT_EQ(V->List->ItemIndex(), 5);  // 0:AMSS, data in every block
  ASSERT_EQ(V->Selections, std::vector<int>{5});
  const TPartitionExtent e = PartitionExtent(V->Image.Geometry, V->Image.PartitionTable.Entries[5]);
  EXPECT_EQ(V->Hex->UpperView().DataBlock().StartingOffset, e.MainOffset);
  EXPECT_EQ(V->Hex->UpperView().ChunkLength(), e.MainLength);
  EXPECT_EQ(V->Hex->LowerView().DataBlock().StartingOffset, e.SpareOffset);
  EXPECT_EQ(V->Hex->LowerView().ChunkLength(), e.SpareLength);
  // The panes' scroll bars cover their chunks.
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  GetScrollInfo(V->Hex->ScrollBarHandle(0), SB_CTL, &si);
  EXPECT_EQ(si.nMax, static_cast<int>(e.MainLength / 16));
  EXPECT_TRUE(IsWindowEnabled(V->Hex->ScrollBarHandle(0)));
}

TEST_F(ViewsTest, RightClickBelowTheRowsClearsTheCursorAndEmptiesThePanes) {
  // Below the rows there is room only when all twelve fit: make the host tall enough.
  SetWindowPos(V->Host, nullptr, 0, 0, kHostWidth, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Pump(50);
  const int rowHeight = V->List->RowHeight();
  ASSERT_GE(V->List->ScreenLines(), 12);
  ASSERT_FALSE(IsWindowVisible(V->ListWindow->ScrollBarHandle()));
  const int below = 12 * rowHeight + 2;
  ASSERT_LT(below, V->Paint.Height());
  SendMessageW(V->ListWindow->PaintBoxHandle(), WM_RBUTTONDOWN, MK_RBUTTON, Point(30, below));
  SendMessageW(V->ListWindow->PaintBoxHandle(), WM_RBUTTONUP, 0, Point(30, below));
  Pump(50);
  EXPECT_EQ(V->List->ItemIndex(), -1);
  EXPECT_EQ(V->Selections, std::vector<int>{-1});
  EXPECT_EQ(V->Hex->UpperView().ChunkLength(), 0);
  EXPECT_EQ(V->Hex->LowerView().ChunkLength(), 0);
  // The cursor bar is gone: row 0 is white.
  EXPECT_EQ(PixelOf(V->ListWindow->PaintBoxHandle(), 600, 4), RGB(0xFF, 0xFF, 0xFF));
}

TEST_F(ViewsTest, HexWindowIsARealModelessWindowOfFixedWidth) {
  HWND hex = FindWindowW(kHexWindowClass, L"Partition HEX Contents View ");
  ASSERT_EQ(hex, V->Hex->Handle());
  EXPECT_TRUE(IsWindowVisible(hex));
  RECT r;
  GetWindowRect(hex, &r);
  EXPECT_EQ(r.right - r.left, kHexFormWidth);
  // Asked wider, it stays 680 wide; the height follows.
  SetWindowPos(hex, nullptr, 0, 0, 900, 720, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  GetWindowRect(hex, &r);
  EXPECT_EQ(r.right - r.left, kHexFormWidth);
  EXPECT_EQ(r.bottom - r.top, 720);
  // The lower pane keeps its 185 pixels, bevel included.
  RECT lower;
  GetWindowRect(GetParent(V->Hex->ScrollBoxHandle(1)), &lower);
  EXPECT_EQ(lower.bottom - lower.top, 185);
  SetWindowPos(hex, nullptr, 0, 0, kHexFormWidth, 740, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Closing only hides it.
  SendMessageW(hex, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(hex));
  EXPECT_TRUE(IsWindow(hex));
  V->Hex->Show();
  Pump(50);
  EXPECT_TRUE(IsWindowVisible(hex));
}

TEST_F(ViewsTest, ClicksDragsWheelAndScrollBarReachTheUpperPane) {
  THEXView& upper = V->Hex->UpperView();
  HWND paint = V->Hex->PaintBoxHandle(0);
  const int cx = upper.CharWidth(), cy = upper.RowHeight();
  ASSERT_GT(upper.ChunkLength(), 0);
  std::printf("hex pane: character cell %d x %d, paint box %d x %d\n", cx, cy, V->Hex->Form().PaintBox01.Width(),
              V->Hex->Form().PaintBox01.Height());
  const int hexLeft = 8 * cx + 10;
  // Byte 0x25: line 2, byte 5.
  SendMessageW(paint, WM_LBUTTONDOWN, MK_LBUTTON, Point(hexLeft + 15 * cx + 2, 2 * cy + 3));
  SendMessageW(paint, WM_LBUTTONUP, 0, Point(hexLeft + 15 * cx + 2, 2 * cy + 3));
  Pump(50);
  EXPECT_EQ(upper.CaretByte(), 0x25);
  EXPECT_EQ(GetFocus(), V->Hex->ScrollBoxHandle(0));
  POINT caret{};
  GetCaretPos(&caret);
  EXPECT_EQ(caret.x, hexLeft + 15 * cx);  // the system caret lives in the paint box, where it is seen
  EXPECT_EQ(caret.y, 2 * cy);
  // Drag from byte 0x25 back to byte 0x21.
  SendMessageW(paint, WM_LBUTTONDOWN, MK_LBUTTON, Point(hexLeft + 15 * cx + 2, 2 * cy + 3));
  SendMessageW(paint, WM_MOUSEMOVE, MK_LBUTTON, Point(hexLeft + 3 * cx + 2, 2 * cy + 3));
  SendMessageW(paint, WM_LBUTTONUP, 0, Point(hexLeft + 3 * cx + 2, 2 * cy + 3));
  Pump(50);
  EXPECT_EQ(upper.SelectionBegin(), 0x21);
  EXPECT_EQ(upper.SelectionEnd(), 0x24);
  // The selected bytes sit on black boxes.
  EXPECT_EQ(PixelOf(paint, hexLeft + 3 * cx + 1, 2 * cy + 1), RGB(0, 0, 0));
  EXPECT_EQ(PixelOf(paint, hexLeft + 1, 2 * cy + 1), RGB(0xFF, 0xFF, 0xFF));

  // Wheel down on the pane: six lines.
  SendMessageW(V->Hex->ScrollBoxHandle(0), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
  Pump(30);
  EXPECT_EQ(upper.TopOffset(), 6 * 16);
  EXPECT_EQ(GetScrollPos(V->Hex->ScrollBarHandle(0), SB_CTL), 6);
  // A line down on its scroll bar.
  SendMessageW(V->Hex->ScrollBoxHandle(0), WM_VSCROLL, SB_LINEDOWN,
               reinterpret_cast<LPARAM>(V->Hex->ScrollBarHandle(0)));
  Pump(30);
  EXPECT_EQ(upper.TopOffset(), 7 * 16);
  EXPECT_EQ(GetScrollPos(V->Hex->ScrollBarHandle(0), SB_CTL), 7);
  SendMessageW(V->Hex->ScrollBoxHandle(0), WM_VSCROLL, SB_TOP,
               reinterpret_cast<LPARAM>(V->Hex->ScrollBarHandle(0)));
  Pump(30);
  EXPECT_EQ(upper.TopOffset(), 0);
}

TEST_F(ViewsTest, OneCaretForBothPanes) {
  THEXView& lower = V->Hex->LowerView();
  HWND paint = V->Hex->PaintBoxHandle(1);
  const int cx = lower.CharWidth(), cy = lower.RowHeight();
  SendMessageW(paint, WM_LBUTTONDOWN, MK_LBUTTON, Point(8 * cx + 10 + 2, cy + 2));
  SendMessageW(paint, WM_LBUTTONUP, 0, Point(8 * cx + 10 + 2, cy + 2));
  Pump(30);
  EXPECT_EQ(lower.CaretByte(), 16);
  EXPECT_EQ(SystemCaret().Owner(), &V->Hex->Form().ScrollBox02);
  EXPECT_EQ(GetFocus(), V->Hex->ScrollBoxHandle(1));
  POINT caret{};
  GetCaretPos(&caret);
  EXPECT_EQ(caret.y, cy);
}

TEST_F(ViewsTest, ListFollowsWheelKeysAndHeaderDrags) {
  SetFocus(V->ListWindow->ScrollBoxHandle());
  SendMessageW(V->ListWindow->ScrollBoxHandle(), WM_KEYDOWN, VK_END, 0);
  Pump(30);
  EXPECT_EQ(V->List->ItemIndex(), 11);
  ASSERT_LT(V->List->ScreenLines(), 12);  // the list has to scroll
  EXPECT_EQ(V->List->FirstVisibleRow(), 12 - V->List->ScreenLines());
  SendMessageW(V->ListWindow->ScrollBoxHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
  Pump(30);
  EXPECT_EQ(V->List->FirstVisibleRow(), std::max(12 - V->List->ScreenLines() - 3, 0));
  SendMessageW(V->ListWindow->ScrollBoxHandle(), WM_KEYDOWN, VK_HOME, 0);
  Pump(30);
  EXPECT_EQ(V->List->ItemIndex(), 0);
  EXPECT_EQ(V->List->FirstVisibleRow(), 0);

  // Dragging a header divider reaches the model and repaints; the minimum holds.
  HDITEMW item{};
  item.mask = HDI_WIDTH;
  item.cxy = 150;
  SendMessageW(V->ListWindow->HeaderHandle(), HDM_SETITEMW, 2, reinterpret_cast<LPARAM>(&item));
  Pump(30);
  EXPECT_EQ(V->Header.Sections()[2].Width, 150);
  item.cxy = 20;
  SendMessageW(V->ListWindow->HeaderHandle(), HDM_SETITEMW, 2, reinterpret_cast<LPARAM>(&item));
  Pump(30);
  EXPECT_EQ(V->Header.Sections()[2].Width, 150);
  item.cxy = 120;
  SendMessageW(V->ListWindow->HeaderHandle(), HDM_SETITEMW, 2, reinterpret_cast<LPARAM>(&item));
  Pump(30);
}

// Leaves both windows on screen for a screenshot: the list's cursor on a
// partition with data, a few bytes of it selected.
TEST_F(ViewsTest, HoldForScreenshot) {
  V->List->SetItemIndex(5);
  THEXView& upper = V->Hex->UpperView();
  HWND paint = V->Hex->PaintBoxHandle(0);
  const int cx = upper.CharWidth(), cy = upper.RowHeight();
  SendMessageW(paint, WM_LBUTTONDOWN, MK_LBUTTON, Point(8 * cx + 10 + 2, 3 * cy + 2));
  SendMessageW(paint, WM_MOUSEMOVE, MK_LBUTTON, Point(8 * cx + 10 + 30 * cx, 4 * cy + 2));
  SendMessageW(paint, WM_LBUTTONUP, 0, Point(8 * cx + 10 + 30 * cx, 4 * cy + 2));
  SetFocus(V->ListWindow->ScrollBoxHandle());
  Pump(200);
  EXPECT_TRUE(upper.HasSelection());
  if (std::getenv("KOVRA_VIEWS_HOLD") == nullptr) return;
  std::filesystem::remove("views.done");
  std::ofstream("views.ready") << "ready\n";
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!std::filesystem::exists("views.done") && std::chrono::steady_clock::now() < until) Pump(100);
  EXPECT_TRUE(std::filesystem::exists("views.done")) << "nobody took the screenshot";
  std::filesystem::remove("views.ready");
}

}  // namespace
}  // namespace kovra::win
