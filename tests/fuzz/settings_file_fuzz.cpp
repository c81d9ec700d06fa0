// The settings file parse. A file that reads back must save and read again
// to the same parameters: what the manager writes is what it understands.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "settings/SettsMng.h"

using namespace kovra;

namespace {

// A folder of this process's own, removed when the run ends.
struct TFolder {
  std::filesystem::path Dir = std::filesystem::temp_directory_path() /
                              ("kovra-settings-fuzz-" + std::to_string(::getpid()));
  TFolder() { std::filesystem::create_directories(Dir); }
  ~TFolder() {
    std::error_code ec;
    std::filesystem::remove_all(Dir, ec);
  }
};

std::string Folder() {
  static const TFolder folder;
  return folder.Dir.string() + "/";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = Folder();
  {
    std::ofstream out(folder + "in.txt", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  TSettingsManager in;
  in.SetSettingsInFile(true);
  in.SetSettingsPath(folder);
  in.SetSettingsName("in.txt");
  if (!in.ReadSettingsFromFile() || in.Parameters().empty()) return 0;

  TSettingsManager out;
  out.SetSettingsInFile(true);
  out.SetSettingsPath(folder);
  out.SetSettingsName("out.txt");
  for (const TParameterItem& item : in.Parameters()) {
    std::string first;
    // Only the first of a repeated name survives SetParameterValue's rule.
    if (in.GetParameterValue(item.ParameterName, first) && first == item.ParameterData)
      out.SetParameterValue(item.ParameterName, item.ParameterData);
  }
  if (!out.SaveSettingsIntoFile()) std::abort();
  TSettingsManager back;
  back.SetSettingsInFile(true);
  back.SetSettingsPath(folder);
  back.SetSettingsName("out.txt");
  if (!back.ReadSettingsFromFile()) {
    std::fprintf(stderr, "saved settings do not read back (error %d, line %d)\n", back.ErrorCode(),
                 back.ErrorLine());
    std::abort();
  }
  const auto& a = out.Parameters();
  const auto& b = back.Parameters();
  if (a.size() != b.size()) std::abort();
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].ParameterName != b[i].ParameterName || a[i].ParameterData != b[i].ParameterData) {
      std::fprintf(stderr, "parameter %zu changed on the way back\n", i);
      std::abort();
    }
  return 0;
}
