#pragma once
// 8-bit text of the outside world (partition names, settings files) against
// the core's UTF-8. The Windows layer installs the system code page; the
// default, used natively, is ISO 8859-1.
#include <string>
#include <string_view>

namespace kovra {

struct CodePageConverter {
  std::string (*ToUtf8)(std::string_view ansi);
  std::string (*FromUtf8)(std::string_view utf8);
};

// Replaces the converter; returns the previous one.
CodePageConverter SetCodePageConverter(CodePageConverter converter);

std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

// The fixed ISO 8859-1 conversion (characters outside it become '?').
std::string Latin1ToUtf8(std::string_view latin1);
std::string Utf8ToLatin1(std::string_view utf8);

}  // namespace kovra
