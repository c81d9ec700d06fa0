// The real main window under the keyboard, the mouse and the window manager,
// inside its modal showing over a host window: keys in the log never close
// the window or stop a command, Tab leaves the log, Enter presses the focused
// button, quick second clicks count, the focus and the activation come back
// where they were (after another window, after the error box, after the
// showing), and the list's popup opens from the keyboard at the cursor row.
// Works on the main window's own registry key and puts back what was there.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
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

const wchar_t kHostClass[] = L"KovraTestHost";

std::string Utf8(const fs::path& p) {
  const std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

HWND H(const TWidget& w) { return TWinControl::HandleOf(&w); }

// Host services whose connection lets window messages through for a while,
// as a host's service does while it works, and then fails.
class WorkingHost : public THostServices {
 public:
  std::function<void()> WhileConnecting;
  bool ConnectDevice(const uint8_t*) override {
    if (WhileConnecting) WhileConnecting();
    return false;
  }
  void GetHostWindowRect(int32_t&, int32_t&, int32_t&, int32_t&) override {}
  bool GetFlashChipInfo(uint32_t, TFlashChipInfo&) override { return false; }
  void AttachLogView(THostHandle) override {}
  void DisconnectDevice() override {}
  bool ReadFlash(uint32_t, uint32_t, uint32_t, const char*, std::span<uint8_t>, int32_t, THostHandle, uint32_t,
                 const THostWindow&) override {
    return false;
  }
  bool WriteFlash(const TFlashWriteRequest&, const std::string&) override { return false; }
  bool EraseFlash(uint32_t, uint32_t, uint32_t, const THostWindow&) override { return false; }
  void AttachProgressGauge(THostHandle) override {}
};

class MainWindowKeysTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Key.Save();
    InstallWindowsRegistry();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    MainWindow::RegisterClasses(instance);
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = kHostClass;
    RegisterClassW(&wc);
  }
  static void TearDownTestSuite() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    UnregisterClassW(kHostClass, instance);
    MainWindow::UnregisterClasses(instance);
    Key.Restore();
  }
  void SetUp() override {
    // The host's window, active when it shows the plug-in.
    Host = CreateWindowExW(0, kHostClass, L"Test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 1100, 720,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(Host, nullptr);
    SetForegroundWindow(Host);
    Pump(50);
    Window = std::make_unique<MainWindow>(GetModuleHandleW(nullptr));
    ASSERT_NE(Window->Handle(), nullptr);
  }
  void TearDown() override {
    Window.reset();
    DestroyWindow(Host);
    std::error_code ec;
    fs::remove(ImagePath, ec);
  }
  TQualcommForm& Form() { return Window->Form(); }
  HWND Main() { return Window->Handle(); }
  // Twelve partitions; the third one is named "R&D".
  void LoadImage() {
    samples::TSampleImageSpec spec = samples::SampleSpecFor(2048, 0x20000, 64);
    spec.Entries[2].Name = "0:R&D";
    samples::WriteSampleImage(spec, Utf8(ImagePath));
    Form().ImageName.SetText(Utf8(ImagePath));
    Form().CreateList.Click();
    ASSERT_EQ(Form().PartitionItems().Count, 12);
  }

  static SavedKey Key;
  HWND Host = nullptr;
  std::unique_ptr<MainWindow> Window;
  fs::path ImagePath = fs::temp_directory_path() / "kovra_keys_test.bin";
};
SavedKey MainWindowKeysTest::Key;

TEST_F(MainWindowKeysTest, EscInTheLogNeitherClosesTheWindowNorStopsACommand) {
  HWND memo = Window->Memo();
  ModalSession s(*Window);
  // Idle: the window stays (the session fails if it closes before its end).
  s.Add([&] {
    SetFocus(memo);
    PostKey(memo, VK_ESCAPE);
  });
  s.Add([&] {
    EXPECT_TRUE(IsWindowVisible(Main()));
    EXPECT_EQ(GetFocus(), memo);
  });
  // During a device command, whose host lets messages through by the
  // module's own loop (with the dialog manager) or by a plain loop of its
  // own, Esc leaves the host's stop byte alone and Tab moves on.
  struct Seen {
    const char* What;
    uint8_t Stop;
    bool Visible;
    bool FocusInMemo;
  };
  std::vector<Seen> seen;
  WorkingHost host;
  host.WhileConnecting = [&] {
    struct Case {
      const char* What;
      WPARAM Key;
      bool ModulePump;
    } const cases[] = {{"Esc, the module's loop", VK_ESCAPE, true},
                       {"Esc, the host's loop", VK_ESCAPE, false},
                       {"Tab, the module's loop", VK_TAB, true},
                       {"Tab, the host's loop", VK_TAB, false}};
    for (const Case& c : cases) {
      *Form().HostStopFlag() = 0;
      SetFocus(memo);
      PostKey(memo, c.Key);
      for (int i = 0; i < 20; ++i) {
        if (c.ModulePump) Window->ProcessMessages();
        else Pump(0);
        Sleep(5);
      }
      seen.push_back({c.What, *Form().HostStopFlag(), IsWindowVisible(Main()) != FALSE, GetFocus() == memo});
    }
  };
  s.Add([&] {
    Form().SetHostServices(&host);
    Form().ReadPartitionBtn.Click();
    Form().SetHostServices(nullptr);
  });
  s.Run();
  ASSERT_EQ(seen.size(), 4u);
  for (const Seen& x : seen) {
    SCOPED_TRACE(x.What);
    EXPECT_EQ(x.Stop, 0) << "the command was asked to stop";
    EXPECT_TRUE(x.Visible);
  }
  EXPECT_TRUE(seen[0].FocusInMemo && seen[1].FocusInMemo);
  EXPECT_FALSE(seen[2].FocusInMemo) << "Tab stayed in the log";
  EXPECT_FALSE(seen[3].FocusInMemo) << "Tab stayed in the log";
}

TEST_F(MainWindowKeysTest, TabLeavesTheLogAndEnterPressesTheFocusedButton) {
  HWND memo = Window->Memo();
  HWND hexButton = H(Form().ShowHideHexBtn);
  HWND hex = Window->HexWindow().Handle();
  ModalSession s(*Window);
  s.Add([&] {
    SetFocus(memo);
    PostKey(memo, VK_TAB);
  });
  s.Add([&] {
    HWND focus = GetFocus();
    EXPECT_NE(focus, memo) << "Tab stayed in the log";
    EXPECT_TRUE(focus && IsChild(Main(), focus));
    {
      ShiftDown shift;
      PostKey(focus, VK_TAB);
      PumpWindow(*Window, 50);
    }
    EXPECT_EQ(GetFocus(), memo) << "Shift+Tab did not come back to the log";
    // Enter in the log does nothing.
    PostKey(memo, VK_RETURN);
  });
  s.Add([&] {
    EXPECT_FALSE(IsWindowVisible(hex));
    SetFocus(hexButton);
    PostKey(hexButton, VK_RETURN);
  });
  s.Add([&] {
    EXPECT_TRUE(IsWindowVisible(hex)) << "Enter did not press \"&Show/Hide HEX\"";
    PostKey(hexButton, VK_RETURN);
  });
  s.Add([&] { EXPECT_FALSE(IsWindowVisible(hex)) << "the second Enter did not press it again"; });
  s.Run();
}

TEST_F(MainWindowKeysTest, EverySecondClickOfAQuickPairCounts) {
  TQualcommForm& f = Form();
  std::vector<TButton*> buttons = f.TabOrder();
  buttons.push_back(&f.SelectImageFile);
  for (TButton* b : buttons) {
    SCOPED_TRACE(b->Caption());
    int clicks = 0;
    b->SetEnabled(true);
    b->OnClick = [&] { ++clicks; };
    HWND h = H(*b);
    ASSERT_NE(h, nullptr);
    const LPARAM at = MAKELPARAM(5, 5);
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(h, WM_LBUTTONUP, 0, at);
    // The second press of a double click comes as a double click.
    SendMessageW(h, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(h, WM_LBUTTONUP, 0, at);
    EXPECT_EQ(clicks, 2);
    b->OnClick = nullptr;
  }
}

TEST_F(MainWindowKeysTest, TheFocusComesBackWithTheActivation) {
  HWND edit = H(Form().ImageName);
  HWND other = nullptr;
  ModalSession s(*Window);
  s.Add([&] {
    SetFocus(edit);
    other = CreateWindowExW(0, kHostClass, L"Another window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 200, 300, 200,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(other);
  });
  s.Add([&] {
    EXPECT_EQ(GetActiveWindow(), other);
    SetForegroundWindow(Main());
  });
  s.Add([&] {
    EXPECT_EQ(GetActiveWindow(), Main());
    EXPECT_EQ(GetFocus(), edit) << "the focus did not come back to the file name";
    DestroyWindow(other);
  });
  s.Run();
}

TEST_F(MainWindowKeysTest, TheErrorBoxIsOwnedByTheWindowAndGivesItsActivationBack) {
  HWND edit = H(Form().ImageName);
  HWND owner = nullptr;
  bool boxSeen = false;
  ModalSession s(*Window);
  s.Add([&] {
    SetFocus(edit);
    Form().Platform().ShowError("A test error.");
  });
  s.AddInside([&] {
    HWND box = VisibleTopLevel(L"#32770");
    boxSeen = box != nullptr;
    if (!box) return;
    owner = GetWindow(box, GW_OWNER);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  s.Add([&] {
    EXPECT_TRUE(boxSeen);
    EXPECT_EQ(owner, Main()) << "the error box is not the window's";
    EXPECT_EQ(GetActiveWindow(), Main());
    EXPECT_EQ(GetFocus(), edit);
  });
  s.Run();
}

TEST_F(MainWindowKeysTest, AfterTheShowingTheHostIsActiveAgain) {
  ASSERT_EQ(GetActiveWindow(), Host);
  ModalSession s(*Window);
  s.Add([&] {
    EXPECT_EQ(GetActiveWindow(), Main());
    EXPECT_FALSE(IsWindowEnabled(Host));
    // Owned by the host meanwhile, as a modal dialog is: never behind it.
    EXPECT_EQ(GetWindow(Main(), GW_OWNER), Host);
    Form().HexWindow.SetVisible(true);
  });
  s.Add([&] { EXPECT_TRUE(IsWindowVisible(Window->HexWindow().Handle())); });
  s.Run();
  Pump(100);
  EXPECT_FALSE(IsWindowVisible(Main()));
  EXPECT_TRUE(IsWindowEnabled(Host));
  EXPECT_EQ(GetActiveWindow(), Host) << "the host did not get the activation back";
  EXPECT_EQ(GetWindow(Main(), GW_OWNER), nullptr) << "still owned by the host after the showing";
}

TEST_F(MainWindowKeysTest, TheListsPopupOpensFromTheKeyboardAtTheCursorRow) {
  LoadImage();
  TQualcommForm& f = Form();
  HWND box = H(f.ScrollBox00);
  HWND paint = H(f.PaintBox00);
  enum class How { ShiftF10, MenuKey, RightPress };
  struct Case {
    const char* What;
    How Way;
  } const cases[] = {{"Shift+F10", How::ShiftF10}, {"the menu key", How::MenuKey}, {"a right press", How::RightPress}};
  struct Seen {
    bool Open = false;
    RECT Rect{};
    std::wstring FirstItem;
  };
  std::vector<Seen> seen(3);
  ModalSession s(*Window);
  s.Add([&] {
    SetFocus(box);
    PostKey(box, VK_DOWN);
    PostKey(box, VK_DOWN);
  });
  s.Add([&] { EXPECT_EQ(f.List().ItemIndex(), 2) << "the list's cursor does not follow the arrow keys"; });
  for (size_t i = 0; i < 3; ++i) {
    s.Add([&, i] {
      SetFocus(box);
      if (cases[i].Way == How::ShiftF10) {
        // Shift must be down while the key is handled: the menu opens (and
        // the next step runs) inside this step.
        ShiftDown shift;
        PostKey(box, VK_F10, true);
        PumpWindow(*Window, 300);
      } else if (cases[i].Way == How::MenuKey) {
        PostKey(box, VK_APPS);
      } else {
        const LPARAM at = MAKELPARAM(10, 2 * f.List().RowHeight() + 2);
        PostMessageW(paint, WM_RBUTTONDOWN, MK_RBUTTON, at);
        PostMessageW(paint, WM_RBUTTONUP, 0, at);
      }
    });
    // The menu's own loop runs now; this step comes inside it.
    s.AddInside([&, i] {
      HWND menu = VisibleTopLevel(L"#32768");
      seen[i].Open = menu != nullptr;
      // Ends whatever menu loop runs (F10 alone enters the window's menu).
      if (!menu) {
        EndMenu();
        return;
      }
      GetWindowRect(menu, &seen[i].Rect);
      HMENU h = reinterpret_cast<HMENU>(SendMessageW(menu, 0x01E1 /* MN_GETHMENU */, 0, 0));
      wchar_t text[256] = L"";
      GetMenuStringW(h, 0, text, 256, MF_BYPOSITION);
      seen[i].FirstItem = text;
      EndMenu();
    });
  }
  s.Run();
  // Just below the cursor row's left end.
  POINT row{4, 3 * f.List().RowHeight()};
  ClientToScreen(paint, &row);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(cases[i].What);
    if (!seen[i].Open) {
      ADD_FAILURE() << "no popup menu opened";
      continue;
    }
    if (cases[i].Way != How::RightPress) {
      EXPECT_EQ(seen[i].Rect.left, row.x);
      EXPECT_EQ(seen[i].Rect.top, row.y);
    }
    // The row's name, "&" and all: a menu shows "&&" as "&".
    EXPECT_EQ(seen[i].FirstItem, L"Save \"R&&D\" partition (\"main\" data only) into file...");
  }
  EXPECT_EQ(f.PopupItemIndex(), 2);
}

}  // namespace
}  // namespace kovra::win
