#include "WinText.h"

#include "platform/CodePage.h"

namespace kovra::win {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

namespace {

std::wstring FromCodePage(UINT cp, std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(cp, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string AcpToUtf8(std::string_view ansi) { return Narrow(FromCodePage(CP_ACP, ansi)); }

std::string Utf8ToAcp(std::string_view utf8) {
  const std::wstring w = Widen(utf8);
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                                    nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

void InstallSystemCodePage() { SetCodePageConverter({AcpToUtf8, Utf8ToAcp}); }

}  // namespace kovra::win
