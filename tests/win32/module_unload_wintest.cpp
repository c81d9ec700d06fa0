// The module's unload (what FreeLibrary runs) under a poisoning allocator,
// as a debug heap would run it: every freed block is filled with 0xDD and,
// while the module is released, kept out of reuse, so that a destructor that
// reads a freed object finds poison (and crashes on it) and one that writes
// into a freed object leaves a mark that is found afterwards. Two loads and
// unloads in a row, as a host that loads the module again does.
#include <gtest/gtest.h>
#include <windows.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

#include "PluginModule.h"
#include "ViewWidgets.h"
#include "samples/SampleImage.h"

namespace {

constexpr unsigned char kPoison = 0xDD;
constexpr size_t kQuarantineSlots = 1 << 20;

// Freed blocks kept while the quarantine is on, with their sizes.
struct Quarantined {
  void* Block;
  size_t Size;
};
Quarantined* gQuarantine = nullptr;
size_t gQuarantined = 0;
bool gQuarantineOn = false;

void* Allocate(size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  return p;
}

void Release(void* p) noexcept {
  if (!p) return;
  const size_t n = _msize(p);
  std::memset(p, kPoison, n);
  if (gQuarantineOn && gQuarantine && gQuarantined < kQuarantineSlots) {
    gQuarantine[gQuarantined++] = {p, n};
    return;
  }
  std::free(p);
}

// The freed blocks that something wrote into after they were freed.
size_t WrittenAfterFree() {
  size_t written = 0;
  for (size_t i = 0; i < gQuarantined; ++i) {
    const auto* b = static_cast<const unsigned char*>(gQuarantine[i].Block);
    for (size_t k = 0; k < gQuarantine[i].Size; ++k)
      if (b[k] != kPoison) {
        ++written;
        break;
      }
  }
  return written;
}

void EndQuarantine() {
  gQuarantineOn = false;
  for (size_t i = 0; i < gQuarantined; ++i) std::free(gQuarantine[i].Block);
  gQuarantined = 0;
}

}  // namespace

// The program's allocation functions, the module's included: it is linked
// into this program.
void* operator new(size_t n) { return Allocate(n); }
void* operator new[](size_t n) { return Allocate(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace kovra::win {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& p) {
  const std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

void Pump() {
  MSG msg;
  for (int i = 0; i < 10; ++i) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  }
}

TEST(ModuleUnloadTest, UnloadingTouchesNoFreedMemoryAndLeavesNothingThatRefersToTheWindow) {
  gQuarantine = static_cast<Quarantined*>(std::calloc(kQuarantineSlots, sizeof(Quarantined)));
  ASSERT_NE(gQuarantine, nullptr);
  const fs::path image = fs::temp_directory_path() / "kovra_unload_test.bin";
  samples::WriteSampleImage(samples::SampleSpecFor(2048, 0x20000, 64), Utf8(image));
  SetModuleHandle(GetModuleHandleW(nullptr));
  for (int load = 1; load <= 2; ++load) {
    SCOPED_TRACE("load " + std::to_string(load));
    // A module in use: a listed image, the hex window shown with its panes
    // filled, the gauge moved, the focus on the list.
    MainWindow& main = PluginModule::Instance().Main();
    ASSERT_NE(main.Handle(), nullptr);
    TQualcommForm& f = main.Form();
    f.ImageName.SetText(Utf8(image));
    f.CreateList.Click();
    ASSERT_EQ(f.PartitionItems().Count, 12);
    f.List().SetItemIndex(3);
    f.HexWindow.SetVisible(true);
    f.MyGauge.SetMaxValue(1000);
    f.MyGauge.SetPosition(400);
    f.ScrollBox00.SetFocus();
    Pump();

    gQuarantineOn = true;
    PluginModule::Release();
    Pump();
    EXPECT_EQ(WrittenAfterFree(), 0u) << "the unload wrote into memory it had freed";
    // Nothing may report into the window that went.
    EXPECT_FALSE(SetViewErrorReporter(nullptr)) << "the views' error reporter still refers to the window";
    EndQuarantine();
  }
  std::error_code ec;
  fs::remove(image, ec);
  std::free(gQuarantine);
  gQuarantine = nullptr;
}

}  // namespace
}  // namespace kovra::win
