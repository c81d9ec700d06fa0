#pragma once
// The registry key that the settings are stored in: always under
// HKEY_CURRENT_USER, opened with full access. The Windows layer provides the
// real registry; natively an in-memory one (MemoryRegistry.h) stands in.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kovra {

// Value types as the registry numbers them.
enum class RegValueType : uint32_t {
  None = 0,
  String = 1,        // REG_SZ
  ExpandString = 2,  // REG_EXPAND_SZ
  Binary = 3,
  Dword = 4,
  MultiString = 7,
  Qword = 11,
};

// A registry operation failed; the text names the key or value.
class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One accessor with at most one open key. Names and texts are UTF-8.
class Registry {
 public:
  virtual ~Registry() = default;

  // Closes the open key, if any.
  virtual void CloseKey() = 0;

  // Closes the open key, then opens keyPath under HKEY_CURRENT_USER, creating
  // it and any missing parent keys. A leading backslash is allowed (the path
  // is always taken from the root). Throws RegistryError when it cannot.
  virtual void OpenKey(std::string_view keyPath) = 0;

  // Names of all values of the open key, in the registry's enumeration order.
  virtual std::vector<std::string> GetValueNames() = 0;

  // A string value of the open key: REG_SZ and REG_EXPAND_SZ as text (not
  // expanded); a missing or zero-length value as empty text. Any other type
  // with data throws RegistryError.
  virtual std::string ReadString(std::string_view name) = 0;

  // Writes a REG_SZ value into the open key. Throws RegistryError on failure
  // (also when no key is open).
  virtual void WriteString(std::string_view name, std::string_view value) = 0;
};

// How new registry accessors are made: the Windows layer installs the real
// registry; the default makes in-memory accessors over one process-wide hive.
using RegistryFactory = std::function<std::unique_ptr<Registry>()>;

// Replaces the factory; returns the previous one. An empty factory restores
// the default.
RegistryFactory SetRegistryFactory(RegistryFactory factory);

std::unique_ptr<Registry> CreateRegistry();

}  // namespace kovra
