// Addresses that the host keeps in 32 bits. A write request carries the
// addresses of the image file's name, two fixed texts and the status
// callback; each must point at what it names, from the module's own image
// rather than the heap, and an address above 4 GiB (possible only in the
// x86-64 build) must make the module refuse the device call instead of
// handing over a truncated address. This program keeps the linker's default
// base: below 4 GiB on i686, above it on x86-64, so each build sees one side.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "HostServicesAdapter.h"

using namespace kovra;

namespace {

int calls = 0;
std::wstring name, empty, tag;
uint32_t nameAddress = 0, statusAddress = 0;

std::wstring TextAt(uint32_t address) { return reinterpret_cast<const wchar_t*>(uintptr_t(address)); }

uint8_t __stdcall StandInWrite(TFlashWriteRequest r) {
  ++calls;
  nameAddress = r.ImageFileName, statusAddress = r.StatusCallback;
  name = TextAt(r.ImageFileName), empty = TextAt(r.EmptyText), tag = TextAt(r.FileTag);
  return 1;
}
uint8_t __stdcall StandInRead(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, const char*, uint8_t*, int32_t,
                              uint32_t, uint32_t, void*, int32_t, int32_t, int32_t, int32_t) {
  ++calls;
  return 1;
}
uint8_t __stdcall StandInErase(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, void*, int32_t, int32_t,
                               int32_t, int32_t) {
  ++calls;
  return 1;
}

win::THostServicesAdapter StandInAdapter() {
  return win::THostServicesAdapter([](uint32_t id) -> void* {
    switch (id) {
      case 24: return reinterpret_cast<void*>(StandInRead);
      case 25: return reinterpret_cast<void*>(StandInWrite);
      case 26: return reinterpret_cast<void*>(StandInErase);
      default: return nullptr;
    }
  });
}

bool ProgramAboveFourGiB() { return reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr)) > UINT32_MAX; }

HMODULE ModuleAt(uint32_t address) {
  HMODULE m = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(uintptr_t(address)), &m);
  return m;
}

const THostWindow kWindow{0, 800, 600, 0};

}  // namespace

TEST(HostAddress, KeepsAddressesBelowFourGiBAndRefusesTheRest) {
  EXPECT_EQ(win::HostAddress(nullptr), 0u);
  EXPECT_EQ(win::HostAddress(reinterpret_cast<const void*>(uintptr_t(0x10000))), 0x10000u);
  EXPECT_EQ(win::HostAddress(reinterpret_cast<const void*>(uintptr_t(0xFFFFFFFFu))), 0xFFFFFFFFu);
  if constexpr (sizeof(void*) == 8) {
    for (const uint64_t a : {0x100000000ull, 0x100010000ull, 0x140001000ull, 0x7FFFFFFF0000ull})
      EXPECT_EQ(win::HostAddress(reinterpret_cast<const void*>(uintptr_t(a))), 0u) << std::hex << a;
  }
}

TEST(HostAddress, DeviceCallsHandOverOnlyAddressesThatFit) {
  if constexpr (sizeof(void*) == 8) {
    ASSERT_TRUE(ProgramAboveFourGiB()) << "the x86-64 test program must lie above 4 GiB to see the refusal";
  }
  auto host = StandInAdapter();
  TFlashWriteRequest request;
  calls = 0;
  const bool wrote = host.WriteFlash(request, "C:\\images\\phone \xC3\xA4.bin");
  const bool read = host.ReadFlash(1, 0, 0x4000, "tQcm", {}, -1, 0, 1, kWindow);
  const bool erased = host.EraseFlash(1, 0, 0x4000, kWindow);
  if (ProgramAboveFourGiB()) {
    // The texts and the callback lie in this program's image, above 4 GiB.
    EXPECT_FALSE(wrote);
    EXPECT_FALSE(read);
    EXPECT_FALSE(erased);
    EXPECT_EQ(calls, 0) << "the host was called with an address it cannot hold";
  } else {
    EXPECT_TRUE(wrote);
    EXPECT_TRUE(read);
    EXPECT_TRUE(erased);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(name, L"C:\\images\\phone \u00E4.bin");
    EXPECT_EQ(empty, L"");
    EXPECT_EQ(tag, L"tQcm");
    // The name outlives the call in the module's image, never on the heap.
    EXPECT_EQ(ModuleAt(nameAddress), GetModuleHandleW(nullptr)) << std::hex << nameAddress;
    EXPECT_EQ(statusAddress, uint32_t(uintptr_t(&win::StatusTextCallback)));
  }
}
