#pragma once
// UTF-8 (the core's text) against UTF-16 (the W functions).
#include <windows.h>

#include <string>
#include <string_view>

namespace kovra::win {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// Makes the core decode and encode 8-bit text in the system code page.
void InstallSystemCodePage();

}  // namespace kovra::win
