#include "Registry.h"

#include "WinText.h"

namespace kovra::win {
namespace {

std::string SystemMessage(LONG code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0,
                                 nullptr);
  std::wstring msg = (n && text) ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!msg.empty() && (msg.back() == L'\r' || msg.back() == L'\n' || msg.back() == L' ' || msg.back() == L'.'))
    msg.pop_back();
  std::string out = "error " + std::to_string(code);
  if (!msg.empty()) out += ": " + Narrow(msg);
  return out;
}

}  // namespace

std::string WinRegistry::Where() const {
  std::string out = "HKEY_CURRENT_USER";
  if (!fKeyPath.empty()) out += "\\" + fKeyPath;
  return out;
}

void WinRegistry::CloseKey() {
  fKey.Reset();
  fKeyPath.clear();
}

void WinRegistry::OpenKey(std::string_view keyPath) {
  CloseKey();
  // The path is always taken from the root; the API wants no leading backslash.
  if (!keyPath.empty() && keyPath.front() == '\\') keyPath.remove_prefix(1);
  fKeyPath = std::string(keyPath);
  HKEY key = nullptr;
  const LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, Widen(keyPath).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) {
    const std::string where = Where();
    fKeyPath.clear();
    throw RegistryError("Cannot open registry key " + where + " (" + SystemMessage(rc) + ")");
  }
  fKey.Reset(key);
}

std::vector<std::string> WinRegistry::GetValueNames() {
  std::vector<std::string> names;
  if (!fKey) return names;
  DWORD maxName = 0;
  if (RegQueryInfoKeyW(fKey.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    maxName = 255;
  std::wstring buf(maxName + 1, L'\0');
  for (DWORD i = 0;;) {
    DWORD len = static_cast<DWORD>(buf.size());
    const LONG rc = RegEnumValueW(fKey.Get(), i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_MORE_DATA) {  // a longer name appeared meanwhile
      buf.resize(buf.size() * 2);
      continue;
    }
    if (rc != ERROR_SUCCESS)
      throw RegistryError("Cannot list the values of registry key " + Where() + " (" + SystemMessage(rc) + ")");
    names.push_back(Narrow(std::wstring_view(buf.data(), len)));
    ++i;
  }
  return names;
}

std::string WinRegistry::ReadString(std::string_view name) {
  if (!fKey) return {};
  const std::wstring wname = Widen(name);
  DWORD type = REG_NONE;
  DWORD size = 0;
  LONG rc = RegQueryValueExW(fKey.Get(), wname.c_str(), nullptr, &type, nullptr, &size);
  if (rc == ERROR_FILE_NOT_FOUND) return {};
  std::vector<BYTE> data;
  while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
    if (size == 0) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
      throw RegistryError("Invalid data type for registry value '" + std::string(name) + "' in " + Where());
    data.assign(size + sizeof(wchar_t), 0);
    rc = RegQueryValueExW(fKey.Get(), wname.c_str(), nullptr, &type, data.data(), &size);
    if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
      // The stored text may or may not carry its terminating zero.
      std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
      if (const size_t nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
      return Narrow(text);
    }
    // Changed between the two queries: look again.
  }
  if (rc == ERROR_FILE_NOT_FOUND) return {};
  throw RegistryError("Cannot read registry value '" + std::string(name) + "' in " + Where() + " (" +
                      SystemMessage(rc) + ")");
}

void WinRegistry::WriteString(std::string_view name, std::string_view value) {
  if (!fKey)
    throw RegistryError("Failed to set data for registry value '" + std::string(name) + "': no key is open");
  const std::wstring text = Widen(value);
  const LONG rc = RegSetValueExW(fKey.Get(), Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  if (rc != ERROR_SUCCESS)
    throw RegistryError("Failed to set data for registry value '" + std::string(name) + "' in " + Where() + " (" +
                        SystemMessage(rc) + ")");
}

void InstallWindowsRegistry() {
  SetRegistryFactory([] { return std::make_unique<WinRegistry>(); });
}

}  // namespace kovra::win
