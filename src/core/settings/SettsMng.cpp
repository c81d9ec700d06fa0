#include "settings/SettsMng.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "platform/CodePage.h"

namespace kovra {
namespace {

constexpr std::string_view kHeader = "[SETTINGS]";

std::filesystem::path ToFsPath(const std::string& utf8) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
#else
  // The stored path is Windows-shaped (the folder always ends in a backslash);
  // read the backslash as a separator so the same settings work here too.
  std::string p = utf8;
  for (char& c : p)
    if (c == '\\') c = '/';
  return std::filesystem::path(p);
#endif
}

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// The file's lines as a text-file reader gives them: a line ends at LF, a CR
// right before it belongs to the line end, and a last line without LF still
// counts.
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    const bool lastLine = (end == std::string::npos);
    if (lastLine) end = bytes.size();
    size_t len = end - start;
    if (len > 0 && bytes[start + len - 1] == '\r') --len;
    lines.push_back(bytes.substr(start, len));
    start = lastLine ? end : end + 1;
  }
  return lines;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(ToFsPath(path), std::ios::binary);
  if (!in) throw std::runtime_error("Cannot open settings file: " + path);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("Cannot read settings file: " + path);
  return bytes;
}

}  // namespace

std::string StripLeadingBlanks(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  while (i < s.size() && s[i] == '\t') ++i;
  return std::string(s.substr(i));
}

TSettingsManager::TSettingsManager() : TSettingsManager(CreateRegistry()) {}

TSettingsManager::TSettingsManager(std::unique_ptr<Registry> registry) : MyReg(std::move(registry)) {
  if (!MyReg) throw std::invalid_argument("TSettingsManager needs a registry accessor");
}

void TSettingsManager::SetSettingsPath(std::string_view path) {
  fSettingsPath = std::string(path);
  if (fSettingsPath.empty() || fSettingsPath.back() != '\\') fSettingsPath += '\\';
}

bool TSettingsManager::ReadSettings() { return fSettingsFile ? ReadSettingsFromFile() : ReadSettingsFromRegistry(); }

bool TSettingsManager::SaveSettings() { return fSettingsFile ? SaveSettingsIntoFile() : SaveSettingsIntoRegistry(); }

bool TSettingsManager::ParseQuotedValue(std::string s, std::string& value) {
  if (s.empty() || s.front() != '"') {
    fErrorCode = kSettingsBadQuotes;
    return false;
  }
  s.erase(0, 1);
  const size_t close = s.find('"');
  if (close == std::string::npos) {
    fErrorCode = kSettingsBadQuotes;
    return false;
  }
  value = s.substr(0, close);
  if (!StripLeadingBlanks(std::string_view(s).substr(close + 1)).empty()) {
    fErrorCode = kSettingsTrailingText;
    return false;
  }
  return true;
}

bool TSettingsManager::ReadSettingsFromFile() {
  fSettingsRead = false;
  fParameters.clear();
  fErrorLine = 0;

  const std::string path = StoragePath();
  std::error_code ec;
  const std::filesystem::path fsPath = ToFsPath(path);
  if (!std::filesystem::exists(fsPath, ec) || std::filesystem::is_directory(fsPath, ec)) {
    fErrorCode = kSettingsFileMissing;
    return false;
  }

  const std::vector<std::string> lines = SplitLines(ReadWholeFile(path));
  size_t i = 0;
  // Everything up to and including the header line is ignored.
  while (i < lines.size()) {
    ++fErrorLine;
    const std::string line = AnsiToUtf8(lines[i++]);
    if (UpperAscii(StripLeadingBlanks(line)).find(kHeader) != std::string::npos) break;
  }
  while (i < lines.size()) {
    ++fErrorLine;
    std::string s = StripLeadingBlanks(AnsiToUtf8(lines[i++]));
    const size_t blank = s.find(' ');
    // No name: empty lines, a repeated header, lines without a blank.
    if (blank == std::string::npos || blank == 0) continue;
    std::string name = s.substr(0, blank);
    s = StripLeadingBlanks(std::string_view(s).substr(blank));
    if (s.empty() || s.front() != '=') {
      fErrorCode = kSettingsNoEquals;
      return false;
    }
    std::string value;
    if (!ParseQuotedValue(StripLeadingBlanks(std::string_view(s).substr(1)), value)) return false;
    fParameters.push_back({std::move(name), std::move(value)});
  }
  fSettingsRead = true;
  return true;
}

bool TSettingsManager::SaveSettingsIntoFile() {
  if (fParameters.empty()) {
    fErrorCode = kSettingsNothingToSave;
    return false;
  }
  std::string text(kHeader);
  text += "\r\n";
  for (const TParameterItem& item : fParameters)
    text += Utf8ToAnsi(item.ParameterName + " = \"" + item.ParameterData + "\"") + "\r\n";

  const std::string path = StoragePath();
  std::ofstream out(ToFsPath(path), std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("Cannot create settings file: " + path);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) throw std::runtime_error("Cannot write settings file: " + path);
  return true;
}

bool TSettingsManager::ReadSettingsFromRegistry() {
  fSettingsRead = false;
  fParameters.clear();
  try {
    MyReg->CloseKey();
    MyReg->OpenKey(StoragePath());
    MyStrings = MyReg->GetValueNames();
    if (MyStrings.empty()) return false;
    for (const std::string& name : MyStrings) {
      std::string value;
      if (!ParseQuotedValue(StripLeadingBlanks(MyReg->ReadString(name)), value)) {
        fParameters.clear();
        return false;
      }
      fParameters.push_back({name, std::move(value)});
    }
  } catch (...) {
    // Half a key is no better than none.
    fParameters.clear();
    throw;
  }
  fSettingsRead = true;
  return true;
}

bool TSettingsManager::SaveSettingsIntoRegistry() {
  if (fParameters.empty()) {
    fErrorCode = kSettingsNothingToSave;
    return false;
  }
  MyReg->CloseKey();
  MyReg->OpenKey(StoragePath());
  for (const TParameterItem& item : fParameters)
    MyReg->WriteString(item.ParameterName, "\"" + item.ParameterData + "\"");
  return true;
}

bool TSettingsManager::GetParameterValue(std::string_view parameterName, std::string& parameterValue) const {
  for (const TParameterItem& item : fParameters) {
    if (item.ParameterName == parameterName) {
      parameterValue = item.ParameterData;
      return true;
    }
  }
  return false;
}

bool TSettingsManager::SetParameterValue(std::string_view parameterName, std::string_view parameterValue) {
  for (TParameterItem& item : fParameters) {
    if (item.ParameterName == parameterName) {
      item.ParameterData = std::string(parameterValue);
      return true;
    }
  }
  fParameters.push_back({std::string(parameterName), std::string(parameterValue)});
  return true;
}

bool TryReadSettings(TSettingsManager& manager) noexcept {
  try {
    return manager.ReadSettings();
  } catch (...) {
    return false;
  }
}

bool TrySaveSettings(TSettingsManager& manager) noexcept {
  try {
    return manager.SaveSettings();
  } catch (...) {
    return false;
  }
}

}  // namespace kovra
