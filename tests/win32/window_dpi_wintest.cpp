// The module's windows keep one rule at every screen DPI: the designed
// 11-pixel text in the designed pixel layout. This program describes the
// windows as they are laid out at the DPI it runs at (every control's place
// and font, the list's rows, the hex panes' cells) into the file named by
// KOVRA_LAYOUT_OUT, and checks that every label and check box holds its
// text; tests/wine/window_dpi.sh runs it at 96 and at 120 DPI and wants the
// two descriptions equal.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "MainWindow.h"
#include "Registry.h"
#include "WinText.h"
#include "samples/SampleImage.h"
#include "window_test_support.h"

namespace kovra::win {
namespace {

using namespace kovra::win::testing;
namespace fs = std::filesystem;

std::wstring ClassOf(HWND h) {
  wchar_t name[64] = L"";
  GetClassNameW(h, name, 64);
  return name;
}

std::wstring TextOf(HWND h) {
  wchar_t text[256] = L"";
  GetWindowTextW(h, text, 256);
  return text;
}

// The height of a control's font as drawn (its cell), or -1 without one.
int FontHeight(HWND h) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
  if (!font) return -1;
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  return tm.tmHeight;
}

SIZE TextExtent(HWND h, const std::wstring& text) {
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  return {r.right - r.left, r.bottom - r.top};
}

struct Collect {
  std::vector<HWND> All;
  static BOOL CALLBACK Each(HWND h, LPARAM lp) {
    reinterpret_cast<Collect*>(lp)->All.push_back(h);
    return TRUE;
  }
};

// One line per window: class, ID, place in the top-level window's client
// area, font height and (for statics and buttons) text.
void Describe(std::ostream& out, HWND top) {
  RECT client{};
  GetClientRect(top, &client);
  out << Narrow(ClassOf(top)) << " client " << client.right << "x" << client.bottom << " font " << FontHeight(top)
      << "\n";
  Collect c;
  EnumChildWindows(top, &Collect::Each, reinterpret_cast<LPARAM>(&c));
  for (HWND h : c.All) {
    RECT r{};
    GetWindowRect(h, &r);
    MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&r), 2);
    const std::wstring cls = ClassOf(h);
    out << "  " << Narrow(cls) << " #" << GetDlgCtrlID(h) << " " << r.left << "," << r.top << " " << r.right - r.left
        << "x" << r.bottom - r.top << " font " << FontHeight(h);
    if (_wcsicmp(cls.c_str(), L"Static") == 0 || _wcsicmp(cls.c_str(), L"Button") == 0)
      out << " \"" << Narrow(TextOf(h)) << "\"";
    out << "\n";
  }
}

class WindowDpiTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Key.Save();
    // The designed geometry, whatever an earlier run left stored.
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    InstallWindowsRegistry();
    MainWindow::RegisterClasses(GetModuleHandleW(nullptr));
  }
  static void TearDownTestSuite() {
    MainWindow::UnregisterClasses(GetModuleHandleW(nullptr));
    Key.Restore();
  }
  static SavedKey Key;
};
SavedKey WindowDpiTest::Key;

TEST_F(WindowDpiTest, TheDesignedLayoutHoldsItsText) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  std::printf("dpi %d\n", dpi);

  const fs::path image = fs::temp_directory_path() / "kovra_dpi_test.bin";
  {
    const std::u8string u = image.u8string();
    samples::WriteSampleImage(samples::SampleSpecFor(2048, 0x20000, 64), std::string(u.begin(), u.end()));
  }
  auto window = std::make_unique<MainWindow>(GetModuleHandleW(nullptr));
  TQualcommForm& f = window->Form();
  {
    const std::u8string u = image.u8string();
    f.ImageName.SetText(std::string(u.begin(), u.end()));
  }
  f.CreateList.Click();
  ASSERT_EQ(f.PartitionItems().Count, 12);
  f.List().SetItemIndex(2);
  ShowWindow(window->Handle(), SW_SHOWNA);
  f.HexWindow.SetVisible(true);
  Pump(100);

  // Every label and check box holds its text at this DPI.
  Collect c;
  EnumChildWindows(window->Handle(), &Collect::Each, reinterpret_cast<LPARAM>(&c));
  int checked = 0;
  for (HWND h : c.All) {
    const std::wstring cls = ClassOf(h);
    const LONG type = GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK;
    const bool label = _wcsicmp(cls.c_str(), L"Static") == 0 && !TextOf(h).empty();
    const bool checkBox = _wcsicmp(cls.c_str(), L"Button") == 0 && type == BS_AUTOCHECKBOX;
    if (!label && !checkBox) continue;
    SCOPED_TRACE(Narrow(TextOf(h)));
    RECT r{};
    GetClientRect(h, &r);
    const SIZE text = TextExtent(h, TextOf(h));
    // A check box's square and the gap after it come first.
    const int room = checkBox ? r.right - GetSystemMetrics(SM_CXMENUCHECK) - 4 : r.right;
    EXPECT_LE(text.cx, room) << "the text is cut at the right";
    EXPECT_LE(text.cy, r.bottom) << "the text is cut at the bottom";
    ++checked;
  }
  EXPECT_EQ(checked, 3) << "the label and the two check boxes";

  if (const char* out = std::getenv("KOVRA_LAYOUT_OUT")) {
    std::ofstream file(out);
    Describe(file, window->Handle());
    Describe(file, window->HexWindow().Handle());
    file << "list row " << f.List().RowHeight() << "\n";
    for (THEXView* v : {&window->HexWindow().UpperView(), &window->HexWindow().LowerView()})
      file << "hex cell " << v->CharWidth() << "x" << v->RowHeight() << " lines " << v->VisibleLines() << "\n";
    ASSERT_TRUE(file.good());
  }
  window.reset();
  std::error_code ec;
  fs::remove(image, ec);
}

}  // namespace
}  // namespace kovra::win
