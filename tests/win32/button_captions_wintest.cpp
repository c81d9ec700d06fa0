// The main window's owner-drawn command buttons show their whole captions
// in the fonts at hand (Wine's among them): each button is drawn by the
// window itself into a bitmap, and the caption's ink there must be all the
// ink the same text leaves when drawn alone with no limit. (This program has
// no glyph art, so the only ink on a button's face is its caption's.)
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "MainWindow.h"
#include "WinText.h"

namespace kovra::win {
namespace {

// Pixels that are not the face colour inside rect r of a DC.
int Ink(HDC dc, const RECT& r) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (GetPixel(dc, x, y) != face) ++n;
  return n;
}

struct Bitmap {
  HDC Dc = nullptr;
  HBITMAP Bmp = nullptr;
  HGDIOBJ Old = nullptr;
  Bitmap(int w, int h) {
    HDC screen = GetDC(nullptr);
    Dc = CreateCompatibleDC(screen);
    Bmp = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    Old = SelectObject(Dc, Bmp);
    RECT all{0, 0, w, h};
    FillRect(Dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  }
  ~Bitmap() {
    SelectObject(Dc, Old);
    DeleteObject(Bmp);
    DeleteDC(Dc);
  }
};

class ButtonCaptionsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { MainWindow::RegisterClasses(GetModuleHandleW(nullptr)); }
  static void TearDownTestSuite() { MainWindow::UnregisterClasses(GetModuleHandleW(nullptr)); }
  void SetUp() override { Window = std::make_unique<MainWindow>(GetModuleHandleW(nullptr)); }
  void TearDown() override { Window.reset(); }
  std::unique_ptr<MainWindow> Window;
};

TEST_F(ButtonCaptionsTest, EveryCaptionShowsWhole) {
  TQualcommForm& f = Window->Form();
  HWND button = TWinControl::HandleOf(&f.CreateList);
  ASSERT_NE(button, nullptr);
  RECT rc;
  GetClientRect(button, &rc);
  EXPECT_EQ(rc.right, 154);
  EXPECT_EQ(rc.bottom, 23);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
  ASSERT_NE(font, nullptr);
  // The designed captions, the running look and the longest numbered ones.
  const char* captions[] = {"Read Selected",      "Flash Selected",       "Erase Selected",
                            "Check for Blank",    "Invert Selection",     "&Show/Hide HEX",
                            "&Make Partitions from File", "&Get Partitions from Device", "&Stop",
                            "Read Partition128",  "Flash Partition128",   "Erase Partition128"};
  for (const char* caption : captions) {
    SCOPED_TRACE(caption);
    f.CreateList.SetCaption(caption);
    const std::wstring text = Widen(caption);

    // As the window draws the button, through its own WM_DRAWITEM.
    Bitmap drawn(rc.right, rc.bottom);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(button));
    item.itemAction = ODA_DRAWENTIRE;
    item.hwndItem = button;
    item.hDC = drawn.Dc;
    item.rcItem = rc;
    SendMessageW(Window->Handle(), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    const RECT face{2, 2, rc.right - 2, rc.bottom - 2};
    const int shown = Ink(drawn.Dc, face);

    // The same text alone, with room to spare.
    Bitmap alone(400, rc.bottom);
    HGDIOBJ old = SelectObject(alone.Dc, font);
    SetBkMode(alone.Dc, TRANSPARENT);
    SetTextColor(alone.Dc, GetSysColor(COLOR_BTNTEXT));
    RECT room{10, 0, 400, rc.bottom};
    DrawTextW(alone.Dc, text.c_str(), -1, &room, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    RECT measure{0, 0, 0, 0};
    DrawTextW(alone.Dc, text.c_str(), -1, &measure, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(alone.Dc, old);
    const RECT all{0, 0, 400, rc.bottom};
    const int whole = Ink(alone.Dc, all);

    std::printf("%-30s %3ld pixels wide, ink %d of %d\n", caption, measure.right, shown, whole);
    EXPECT_GT(whole, 0);
    EXPECT_EQ(shown, whole) << "the caption is cut: " << measure.right << " pixels wide";
  }
}

}  // namespace
}  // namespace kovra::win
