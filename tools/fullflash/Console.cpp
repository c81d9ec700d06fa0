#include "Console.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "platform/CodePage.h"
#endif

namespace fullflash {

#ifdef _WIN32
namespace {

std::string Narrow(const wchar_t* text, int length, UINT codePage) {
  const int n = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(codePage, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Widen(std::string_view text, UINT codePage) {
  const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string AcpToUtf8(std::string_view ansi) {
  const std::wstring w = Widen(ansi, CP_ACP);
  return Narrow(w.data(), static_cast<int>(w.size()), CP_UTF8);
}

std::string Utf8ToAcp(std::string_view utf8) {
  const std::wstring w = Widen(utf8, CP_UTF8);
  return Narrow(w.data(), static_cast<int>(w.size()), CP_ACP);
}

}  // namespace
#endif

TConsoleArgs::TConsoleArgs(int argc, char** argv) {
#ifdef _WIN32
  kovra::SetCodePageConverter({AcpToUtf8, Utf8ToAcp});
  SetConsoleOutputCP(CP_UTF8);
  int count = 0;
  if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) fArgs.push_back(Narrow(wide[i], -1, CP_UTF8).c_str());
    LocalFree(wide);
  }
#endif
  if (fArgs.empty())
    for (int i = 0; i < argc; ++i) fArgs.emplace_back(argv[i]);
  for (std::string& a : fArgs) fPointers.push_back(a.data());
  fPointers.push_back(nullptr);
}

}  // namespace fullflash
