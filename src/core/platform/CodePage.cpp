#include "platform/CodePage.h"

#include <cstdint>

namespace kovra {
namespace {
CodePageConverter gConverter{Latin1ToUtf8, Utf8ToLatin1};
}

CodePageConverter SetCodePageConverter(CodePageConverter converter) {
  CodePageConverter old = gConverter;
  gConverter = converter;
  return old;
}

std::string AnsiToUtf8(std::string_view ansi) { return gConverter.ToUtf8(ansi); }
std::string Utf8ToAnsi(std::string_view utf8) { return gConverter.FromUtf8(utf8); }

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Utf8ToLatin1(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    // Decode one sequence; anything malformed or above U+00FF becomes '?'.
    size_t len = (c >= 0xF0) ? 4 : (c >= 0xE0) ? 3 : (c >= 0xC0) ? 2 : 1;
    uint32_t cp = (len == 2) ? (c & 0x1F) : (len == 3) ? (c & 0x0F) : (c & 0x07);
    bool ok = len > 1 && i + len <= utf8.size();
    for (size_t k = 1; ok && k < len; ++k) {
      const unsigned char cc = static_cast<unsigned char>(utf8[i + k]);
      if ((cc & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    out += (ok && cp <= 0xFF) ? static_cast<char>(cp) : '?';
    i += ok ? len : 1;
  }
  return out;
}

}  // namespace kovra
