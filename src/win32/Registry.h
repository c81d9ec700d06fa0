#pragma once
// The real registry under HKEY_CURRENT_USER behind the core's registry seam.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace kovra::win {

// Owns one HKEY.
class UniqueHKey {
 public:
  UniqueHKey() = default;
  explicit UniqueHKey(HKEY key) : fKey(key) {}
  UniqueHKey(UniqueHKey&& other) noexcept : fKey(other.Release()) {}
  UniqueHKey& operator=(UniqueHKey&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHKey(const UniqueHKey&) = delete;
  UniqueHKey& operator=(const UniqueHKey&) = delete;
  ~UniqueHKey() { Reset(); }

  HKEY Get() const { return fKey; }
  explicit operator bool() const { return fKey != nullptr; }
  HKEY Release() {
    HKEY k = fKey;
    fKey = nullptr;
    return k;
  }
  void Reset(HKEY key = nullptr) {
    if (fKey) RegCloseKey(fKey);
    fKey = key;
  }

 private:
  HKEY fKey = nullptr;
};

class WinRegistry final : public Registry {
 public:
  void CloseKey() override;
  void OpenKey(std::string_view keyPath) override;
  std::vector<std::string> GetValueNames() override;
  std::string ReadString(std::string_view name) override;
  void WriteString(std::string_view name, std::string_view value) override;

 private:
  std::string Where() const;  // "HKEY_CURRENT_USER\..." for error texts
  UniqueHKey fKey;
  std::string fKeyPath;
};

// Makes every settings manager created afterwards store in the real registry.
void InstallWindowsRegistry();

}  // namespace kovra::win
