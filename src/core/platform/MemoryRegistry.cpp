#include "platform/MemoryRegistry.h"

#include <algorithm>

namespace kovra {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// "\Software\\Mervik\" and "software\mervik" are the same key.
std::string Normalise(std::string_view keyPath) {
  std::string out;
  size_t i = 0;
  while (i < keyPath.size()) {
    size_t j = keyPath.find('\\', i);
    if (j == std::string_view::npos) j = keyPath.size();
    if (j > i) {
      if (!out.empty()) out += '\\';
      for (size_t k = i; k < j; ++k) out += LowerAscii(keyPath[k]);
    }
    i = j + 1;
  }
  return out;
}

std::string Display(std::string_view keyPath) {
  std::string out = "HKEY_CURRENT_USER";
  if (!keyPath.empty() && keyPath.front() != '\\') out += '\\';
  out += keyPath;
  return out;
}

bool IsStringType(RegValueType t) { return t == RegValueType::String || t == RegValueType::ExpandString; }

}  // namespace

MemoryRegistryHive::Key* MemoryRegistryHive::Find(std::string_view keyPath) {
  const std::string norm = Normalise(keyPath);
  for (Key& k : fKeys)
    if (k.Path == norm) return &k;
  return nullptr;
}

const MemoryRegistryHive::Key* MemoryRegistryHive::Find(std::string_view keyPath) const {
  return const_cast<MemoryRegistryHive*>(this)->Find(keyPath);
}

bool MemoryRegistryHive::KeyExists(std::string_view keyPath) const {
  return Normalise(keyPath).empty() || Find(keyPath) != nullptr;
}

bool MemoryRegistryHive::CreateKey(std::string_view keyPath) {
  const std::string norm = Normalise(keyPath);
  if (norm.empty() || Find(norm)) return false;
  // Parents first, as the registry would make them.
  for (size_t p = norm.find('\\'); p != std::string::npos; p = norm.find('\\', p + 1))
    if (!Find(norm.substr(0, p))) fKeys.push_back({norm.substr(0, p), {}});
  fKeys.push_back({norm, {}});
  return true;
}

void MemoryRegistryHive::DeleteKey(std::string_view keyPath) {
  const std::string norm = Normalise(keyPath);
  std::erase_if(fKeys, [&](const Key& k) {
    return norm.empty() || k.Path == norm || (k.Path.size() > norm.size() && k.Path.starts_with(norm) &&
                                              k.Path[norm.size()] == '\\');
  });
  if (norm.empty()) fRootValues.clear();
}

std::vector<MemoryRegValue>* MemoryRegistryHive::ValuesOf(std::string_view keyPath) {
  if (Normalise(keyPath).empty()) return &fRootValues;
  Key* k = Find(keyPath);
  return k ? &k->Values : nullptr;
}

std::vector<MemoryRegValue> MemoryRegistryHive::Values(std::string_view keyPath) const {
  const auto* values = const_cast<MemoryRegistryHive*>(this)->ValuesOf(keyPath);
  return values ? *values : std::vector<MemoryRegValue>{};
}

std::optional<MemoryRegValue> MemoryRegistryHive::GetValue(std::string_view keyPath, std::string_view name) const {
  const auto* values = const_cast<MemoryRegistryHive*>(this)->ValuesOf(keyPath);
  if (values)
    for (const MemoryRegValue& v : *values)
      if (SameName(v.Name, name)) return v;
  return std::nullopt;
}

void MemoryRegistryHive::SetValue(std::string_view keyPath, std::string_view name, RegValueType type,
                                  std::string_view data) {
  CreateKey(keyPath);
  auto& values = *ValuesOf(keyPath);
  for (MemoryRegValue& v : values) {
    if (SameName(v.Name, name)) {
      v.Type = type;
      v.Data = std::string(data);
      return;
    }
  }
  values.push_back({std::string(name), type, std::string(data)});
}

void MemoryRegistryHive::DeleteValue(std::string_view keyPath, std::string_view name) {
  if (auto* values = ValuesOf(keyPath))
    std::erase_if(*values, [&](const MemoryRegValue& v) { return SameName(v.Name, name); });
}

void MemoryRegistryHive::Clear() {
  fKeys.clear();
  fRootValues.clear();
}

std::shared_ptr<MemoryRegistryHive> SharedMemoryRegistryHive() {
  static const std::shared_ptr<MemoryRegistryHive> hive = std::make_shared<MemoryRegistryHive>();
  return hive;
}

MemoryRegistry::MemoryRegistry(std::shared_ptr<MemoryRegistryHive> hive) : fHive(std::move(hive)) {}

void MemoryRegistry::CloseKey() {
  fOpen = false;
  fKeyPath.clear();
}

void MemoryRegistry::OpenKey(std::string_view keyPath) {
  CloseKey();
  fHive->CreateKey(keyPath);
  fKeyPath = std::string(keyPath);
  fOpen = true;
}

std::vector<std::string> MemoryRegistry::GetValueNames() {
  std::vector<std::string> names;
  if (!fOpen) return names;
  for (const MemoryRegValue& v : fHive->Values(fKeyPath)) names.push_back(v.Name);
  return names;
}

std::string MemoryRegistry::ReadString(std::string_view name) {
  if (!fOpen) return {};
  const auto v = fHive->GetValue(fKeyPath, name);
  if (!v || v->Data.empty()) return {};
  if (!IsStringType(v->Type))
    throw RegistryError("Invalid data type for registry value '" + std::string(name) + "' in " +
                        Display(fKeyPath));
  return v->Data;
}

void MemoryRegistry::WriteString(std::string_view name, std::string_view value) {
  if (!fOpen)
    throw RegistryError("Failed to set data for registry value '" + std::string(name) + "': no key is open");
  fHive->SetValue(fKeyPath, name, RegValueType::String, value);
}

}  // namespace kovra
