#pragma once
// Named text settings kept in a "[SETTINGS]" text file or in one registry key
// under the current user. The manager knows nothing of what a setting means:
// every value is text. Failures of the stored form are reported by a false
// result and ErrorCode; failures of the file system or the registry below it
// are thrown.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace kovra {

struct TParameterItem {
  std::string ParameterName;  // exactly as given or read
  std::string ParameterData;  // without the stored form's double quotes
};

// ErrorCode values.
enum : int32_t {
  kSettingsNoError = 0,
  kSettingsFileMissing = 1,
  kSettingsNoEquals = 2,       // the name is not followed by "="
  kSettingsBadQuotes = 3,      // opening or closing double quote missing
  kSettingsTrailingText = 4,   // more than blanks then tabs after the closing quote
  kSettingsNothingToSave = 5,  // the parameter list is empty
};

// Removes leading blanks, then leading tabs; a blank after a tab stays.
std::string StripLeadingBlanks(std::string_view s);

class TSettingsManager {
 public:
  // Stores through the registry that CreateRegistry() makes.
  TSettingsManager();
  explicit TSettingsManager(std::unique_ptr<Registry> registry);

  TSettingsManager(const TSettingsManager&) = delete;
  TSettingsManager& operator=(const TSettingsManager&) = delete;

  // True: text file fSettingsPath + fSettingsName; false: registry key.
  bool SettingsInFile() const { return fSettingsFile; }
  void SetSettingsInFile(bool inFile) { fSettingsFile = inFile; }

  // Stored with a trailing backslash (an empty text becomes "\").
  const std::string& SettingsPath() const { return fSettingsPath; }
  void SetSettingsPath(std::string_view path);

  const std::string& SettingsName() const { return fSettingsName; }
  void SetSettingsName(std::string_view name) { fSettingsName = std::string(name); }

  // The last failure; a later success does not clear it.
  int32_t ErrorCode() const { return fErrorCode; }
  // File mode: the line that failed, or the number of lines after a success.
  int32_t ErrorLine() const { return fErrorLine; }

  bool SettingsRead() const { return fSettingsRead; }
  const std::vector<TParameterItem>& Parameters() const { return fParameters; }

  bool ReadSettings();
  bool SaveSettings();
  bool ReadSettingsFromFile();
  bool SaveSettingsIntoFile();
  bool ReadSettingsFromRegistry();
  bool SaveSettingsIntoRegistry();

  // The first item of that exact name; value left unchanged without one.
  bool GetParameterValue(std::string_view parameterName, std::string& parameterValue) const;
  // Changes the first item of that name, or appends one. Always true.
  bool SetParameterValue(std::string_view parameterName, std::string_view parameterValue);

 private:
  // Steps shared by file lines and registry values: s starts at the opening
  // double quote. Sets fErrorCode and returns false on a bad value.
  bool ParseQuotedValue(std::string s, std::string& value);
  std::string StoragePath() const { return fSettingsPath + fSettingsName; }

  std::unique_ptr<Registry> MyReg;
  int32_t fErrorCode = 0;
  int32_t fErrorLine = 0;
  std::string fSettingsPath;
  std::string fSettingsName;
  bool fSettingsRead = false;
  bool fSettingsFile = false;
  std::vector<std::string> MyStrings;
  std::vector<TParameterItem> fParameters;
};

// For callers at a window or DLL edge, where nothing may be thrown: any
// exception from below (an unreadable file, a registry value of a non-string
// type) counts as a failed read and gives false. A failed registry read
// leaves the list empty either way.
bool TryReadSettings(TSettingsManager& manager) noexcept;
// Same for saving: false on a reported failure or on any exception.
bool TrySaveSettings(TSettingsManager& manager) noexcept;

}  // namespace kovra
