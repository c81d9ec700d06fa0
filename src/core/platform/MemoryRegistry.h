#pragma once
// An in-memory stand-in for HKEY_CURRENT_USER with the registry's habits:
// key paths and value names compare without regard to ASCII letter case, a
// value keeps the spelling it was created with, values enumerate in the
// order they were created, and every value keeps its type, so a test can
// plant a DWORD where a string is expected.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace kovra {

struct MemoryRegValue {
  std::string Name;
  RegValueType Type = RegValueType::String;
  std::string Data;  // text for the string types, raw bytes for the others
};

// The hive; shared by all accessors made over it.
class MemoryRegistryHive {
 public:
  bool KeyExists(std::string_view keyPath) const;
  // Creates the key (and its parents); true when it was not there before.
  bool CreateKey(std::string_view keyPath);
  void DeleteKey(std::string_view keyPath);  // the key and everything below it

  // Values of a key in enumeration order; empty for a missing key.
  std::vector<MemoryRegValue> Values(std::string_view keyPath) const;
  std::optional<MemoryRegValue> GetValue(std::string_view keyPath, std::string_view name) const;
  // Creates the key when missing; a value of the same name is replaced in place.
  void SetValue(std::string_view keyPath, std::string_view name, RegValueType type, std::string_view data);
  void DeleteValue(std::string_view keyPath, std::string_view name);

  void Clear();

 private:
  struct Key {
    std::string Path;  // normalised: segments joined by '\', lower case
    std::vector<MemoryRegValue> Values;
  };
  Key* Find(std::string_view keyPath);
  const Key* Find(std::string_view keyPath) const;
  std::vector<MemoryRegValue>* ValuesOf(std::string_view keyPath);  // nullptr: no such key
  std::vector<Key> fKeys;
  std::vector<MemoryRegValue> fRootValues;  // values of HKEY_CURRENT_USER itself
};

// The process-wide hive behind the default registry factory.
std::shared_ptr<MemoryRegistryHive> SharedMemoryRegistryHive();

class MemoryRegistry final : public Registry {
 public:
  explicit MemoryRegistry(std::shared_ptr<MemoryRegistryHive> hive);

  void CloseKey() override;
  void OpenKey(std::string_view keyPath) override;
  std::vector<std::string> GetValueNames() override;
  std::string ReadString(std::string_view name) override;
  void WriteString(std::string_view name, std::string_view value) override;

  const std::string& OpenKeyPath() const { return fKeyPath; }
  bool IsKeyOpen() const { return fOpen; }

 private:
  std::shared_ptr<MemoryRegistryHive> fHive;
  std::string fKeyPath;
  bool fOpen = false;
};

}  // namespace kovra
