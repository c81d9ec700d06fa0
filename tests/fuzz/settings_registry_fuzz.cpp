// The registry value parse: a key with fuzzed value names, types and data.
// A key that reads must save into another key and read back the same.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/MemoryRegistry.h"
#include "settings/SettsMng.h"

using namespace kovra;

namespace {

constexpr RegValueType kTypes[] = {RegValueType::String, RegValueType::ExpandString,
                                   RegValueType::Binary, RegValueType::Dword,
                                   RegValueType::MultiString, RegValueType::Qword,
                                   RegValueType::None};

std::unique_ptr<TSettingsManager> Manager(const std::shared_ptr<MemoryRegistryHive>& hive,
                                          const char* key) {
  auto m = std::make_unique<TSettingsManager>(std::make_unique<MemoryRegistry>(hive));
  m->SetSettingsPath("Software\\Kovra\\");
  m->SetSettingsName(key);
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  auto hive = std::make_shared<MemoryRegistryHive>();
  const int values = in.ConsumeIntegralInRange(0, 24);
  for (int i = 0; i < values && in.remaining_bytes() > 0; ++i) {
    // Mostly strings: those are what the parse looks into.
    const uint8_t pick = in.ConsumeIntegral<uint8_t>();
    const RegValueType type = pick < 200 ? RegValueType::String : kTypes[pick % 7];
    const std::string name = in.ConsumeRandomLengthString(64);
    const std::string value = in.ConsumeRandomLengthString(256);
    hive->SetValue("Software\\Kovra\\Fuzz", name, type, value);
  }

  auto reader = Manager(hive, "Fuzz");
  bool ok = false;
  try {
    ok = reader->ReadSettingsFromRegistry();
  } catch (const RegistryError&) {
    if (!reader->Parameters().empty()) std::abort();   // half a key is never kept
    return 0;
  }
  if (!ok) {
    if (!reader->Parameters().empty()) std::abort();
    return 0;
  }

  auto writer = Manager(hive, "Back");
  for (const TParameterItem& item : reader->Parameters())
    writer->SetParameterValue(item.ParameterName, item.ParameterData);
  if (!writer->SaveSettingsIntoRegistry()) std::abort();
  auto back = Manager(hive, "Back");
  if (!back->ReadSettingsFromRegistry()) {
    std::fprintf(stderr, "saved settings do not read back\n");
    std::abort();
  }
  // The read names are already distinct without regard to case (the
  // registry merges the others), so every one must come back as it was.
  const auto& a = writer->Parameters();
  const auto& b = back->Parameters();
  if (a.size() != b.size()) std::abort();
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].ParameterName != b[i].ParameterName || a[i].ParameterData != b[i].ParameterData) {
      std::fprintf(stderr, "value %zu changed on the way back\n", i);
      std::abort();
    }
  return 0;
}
