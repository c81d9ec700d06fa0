// The real main window's closing: a WM_QUIT that reaches its modal loop
// still runs the close steps before the host's loop gets it, and a close
// asked while a save or blank check runs leaves the host's stop byte alone.
// Works on the main window's own registry key and puts back what was there.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
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

namespace fs = std::filesystem;

std::string Utf8(const fs::path& p) {
  const std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

std::wstring Value(const wchar_t* name) {
  wchar_t data[2048] = L"";
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CURRENT_USER, testing::kSettingsKey, name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS)
    return {};
  return data;
}

class MainWindowCloseTest : public ::testing::Test {
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
  void SetUp() override {
    Window = std::make_unique<MainWindow>(GetModuleHandleW(nullptr));
    ASSERT_NE(Window->Handle(), nullptr);
  }
  void TearDown() override {
    Window.reset();
    std::error_code ec;
    fs::remove(ImagePath, ec);
  }
  TQualcommForm& Form() { return Window->Form(); }
  fs::path TempImagePath() { return fs::u8path(Form().ImageTempName()); }
  std::string WriteImage() {
    samples::WriteSampleImage(samples::SampleSpecFor(2048, 0x20000, 64), Utf8(ImagePath));
    return Utf8(ImagePath);
  }

  static testing::SavedKey Key;
  std::unique_ptr<MainWindow> Window;
  fs::path ImagePath = fs::temp_directory_path() / "kovra_close_test.bin";
};
testing::SavedKey MainWindowCloseTest::Key;

void CALLBACK PostQuit(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  PostQuitMessage(7);
}

TEST_F(MainWindowCloseTest, AQuitDuringTheModalLoopRunsTheCloseStepsThenReachesTheHostsLoop) {
  const std::string marker = "C:\\quit\\test-" + std::to_string(GetTickCount()) + ".bin";
  Form().ImageName.SetText(marker);
  Form().HexWindow.SetVisible(true);
  // A working image that is not the loaded image: closing deletes it.
  std::ofstream(TempImagePath(), std::ios::binary) << "left by an earlier read";
  ASSERT_TRUE(fs::exists(TempImagePath()));

  SetTimer(nullptr, 0, 300, PostQuit);
  Window->ShowModal();

  EXPECT_EQ(Value(L"SOURCE_FILE"), L"\"" + Widen(marker) + L"\"") << "the settings were not saved";
  EXPECT_FALSE(fs::exists(TempImagePath())) << "the working image stayed behind";
  EXPECT_FALSE(IsWindowVisible(Window->HexWindow().Handle()));
  EXPECT_FALSE(IsWindowVisible(Window->Handle()));
  // The quit is handed on, with its exit code, for the host's loop.
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(MainWindowCloseTest, ACloseDuringASaveOrBlankCheckLeavesTheHostsStopByteAlone) {
  const fs::path saved = fs::temp_directory_path() / "kovra_close_saved.bin";
  struct Case {
    const char* Name;
    std::function<void(TQualcommForm&)> Run;
  } const cases[] = {
      {"blank check", [](TQualcommForm& f) { f.CheckBlanks.Click(); }},
      {"save as image", [](TQualcommForm& f) { f.MyPopup.Click(8); }},
  };
  Form().SaveDialog.Executor = [&](TFileDialog& d) {
    d.FileName = Utf8(saved);
    return true;
  };
  Form().ImageName.SetText(WriteImage());
  Form().CreateList.Click();
  ASSERT_EQ(Form().PartitionItems().Count, 12);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    uint8_t stop = 0;
    Form().SetHostStopFlag(&stop);
    Form().MyMemo.Clear();
    // The close arrives while the command lets messages through.
    PostMessageW(Window->Handle(), WM_CLOSE, 0, 0);
    c.Run(Form());
    MSG pending{};
    EXPECT_FALSE(PeekMessageW(&pending, Window->Handle(), WM_CLOSE, WM_CLOSE, PM_NOREMOVE))
        << "the command never let the close through";
    EXPECT_EQ(stop, 0) << "the host's stop byte was left set";
    const auto lines = Form().MyMemo.Lines();
    EXPECT_FALSE(lines.empty()) << "the command did not run";
    Form().SetHostStopFlag(nullptr);
  }
  std::error_code ec;
  fs::remove(saved, ec);
}

}  // namespace
}  // namespace kovra::win
