// The settings manager against the real registry (run under Wine). Works in
// a key of its own, except for one test on the main window's key, which puts
// back whatever was there.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Registry.h"
#include "WinText.h"
#include "settings/SettsMng.h"

using namespace kovra;

namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

const wchar_t kTestKey[] = L"Software\\Mervik\\KOVRAPlugin_QualcommTool_Settings_Test";

Items ItemsOf(const TSettingsManager& m) {
  Items out;
  for (const TParameterItem& p : m.Parameters()) out.emplace_back(p.ParameterName, p.ParameterData);
  return out;
}

bool KeyExists(const wchar_t* path) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

struct RawValue {
  std::wstring Name;
  DWORD Type = REG_NONE;
  std::vector<BYTE> Data;
};

// Every value of a key, in the registry's enumeration order.
std::vector<RawValue> RawValues(const wchar_t* path) {
  std::vector<RawValue> out;
  HKEY k = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return out;
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameLen = 512, type = 0, size = 0;
    if (RegEnumValueW(k, i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    RawValue v{std::wstring(name, nameLen), type, std::vector<BYTE>(size)};
    nameLen = 512;
    RegEnumValueW(k, i, name, &nameLen, nullptr, &type, v.Data.data(), &size);
    out.push_back(std::move(v));
  }
  RegCloseKey(k);
  return out;
}

std::optional<RawValue> RawValueOf(const wchar_t* path, const std::wstring& name) {
  for (RawValue& v : RawValues(path))
    if (v.Name == name) return v;
  return std::nullopt;
}

void Plant(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(k, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  RegCloseKey(k);
}

void PlantText(const wchar_t* path, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
  Plant(path, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::wstring TextOf(const RawValue& v) {
  std::wstring s(reinterpret_cast<const wchar_t*>(v.Data.data()), v.Data.size() / sizeof(wchar_t));
  if (!s.empty() && s.back() == L'\0') s.pop_back();
  return s;
}

struct SettingsRegistryWin : ::testing::Test {
  TSettingsManager m{std::make_unique<win::WinRegistry>()};

  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    m.SetSettingsInFile(false);
    m.SetSettingsPath("Software\\Mervik");
    m.SetSettingsName("KOVRAPlugin_QualcommTool_Settings_Test");
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
};

}  // namespace

TEST_F(SettingsRegistryWin, SaveCreatesTheKeyWithQuotedStringValues) {
  ASSERT_FALSE(KeyExists(kTestKey));
  m.SetParameterValue("SOURCE_FILE", "C:\\dumps\\Größe ☃.bin");
  m.SetParameterValue("FORM_W", "800");
  m.SetParameterValue("ADJUST_4KB", "");
  ASSERT_TRUE(m.SaveSettings());
  ASSERT_TRUE(KeyExists(kTestKey));

  const std::pair<const wchar_t*, const wchar_t*> expected[] = {
      {L"SOURCE_FILE", L"\"C:\\dumps\\Größe ☃.bin\""}, {L"FORM_W", L"\"800\""}, {L"ADJUST_4KB", L"\"\""}};
  EXPECT_EQ(RawValues(kTestKey).size(), 3u);
  for (const auto& [name, data] : expected) {
    const auto v = RawValueOf(kTestKey, name);
    ASSERT_TRUE(v) << "missing value";
    EXPECT_EQ(v->Type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(TextOf(*v), data);
    EXPECT_EQ(v->Data.size(), (wcslen(data) + 1) * sizeof(wchar_t)) << "stored with its terminating zero";
  }
}

TEST_F(SettingsRegistryWin, SaveLeavesValuesOfOtherNamesAlone) {
  const DWORD other = 42;
  Plant(kTestKey, L"OTHER", REG_DWORD, &other, sizeof other);
  PlantText(kTestKey, L"FORM_W", L"\"1\"");
  m.SetParameterValue("FORM_W", "640");
  ASSERT_TRUE(m.SaveSettings());
  const auto o = RawValueOf(kTestKey, L"OTHER");
  ASSERT_TRUE(o);
  EXPECT_EQ(o->Type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(o->Data, (std::vector<BYTE>{42, 0, 0, 0}));
  EXPECT_EQ(TextOf(*RawValueOf(kTestKey, L"FORM_W")), L"\"640\"");
}

TEST_F(SettingsRegistryWin, ReadReturnsTheValuesInEnumerationOrder) {
  PlantText(kTestKey, L"Zeta", L"\"26\"");
  PlantText(kTestKey, L"alpha", L"  \"1\"\t");
  PlantText(kTestKey, L"Mid", L"\"C:\\Größe ☃\"");
  ASSERT_TRUE(m.ReadSettings());
  EXPECT_TRUE(m.SettingsRead());

  // Whatever order this registry enumerates in (insertion order on Windows,
  // sorted by name on some others), the read follows it.
  const Items byName = {{"Zeta", "26"}, {"alpha", "1"}, {"Mid", "C:\\Größe ☃"}};
  Items expected;
  for (const RawValue& v : RawValues(kTestKey))
    for (const auto& item : byName)
      if (win::Widen(item.first) == v.Name) expected.push_back(item);
  ASSERT_EQ(expected.size(), 3u);
  EXPECT_EQ(ItemsOf(m), expected);
}

TEST_F(SettingsRegistryWin, DwordValueFailsTheReadWithAnError) {
  PlantText(kTestKey, L"A", L"\"1\"");
  const DWORD x = 10;
  Plant(kTestKey, L"FORM_X", REG_DWORD, &x, sizeof x);
  try {
    m.ReadSettings();
    FAIL() << "no error";
  } catch (const RegistryError& e) {
    const std::string text = e.what();
    EXPECT_NE(text.find("FORM_X"), std::string::npos) << text;
    EXPECT_NE(text.find("KOVRAPlugin_QualcommTool_Settings_Test"), std::string::npos) << text;
  }
  EXPECT_TRUE(m.Parameters().empty());
  EXPECT_FALSE(m.SettingsRead());
  EXPECT_FALSE(TryReadSettings(m));
  EXPECT_TRUE(m.Parameters().empty());
}

TEST_F(SettingsRegistryWin, ExpandStringReadsAsUnexpandedText) {
  PlantText(kTestKey, L"P", L"\"%SystemRoot%\\x\"", REG_EXPAND_SZ);
  ASSERT_TRUE(m.ReadSettings());
  EXPECT_EQ(ItemsOf(m), (Items{{"P", "%SystemRoot%\\x"}}));
}

TEST_F(SettingsRegistryWin, EmptyValuesReadAsEmptyTextAndLackTheirQuotes) {
  struct Case {
    const char* label;
    DWORD type;
    std::vector<BYTE> data;
  };
  const Case cases[] = {
      {"zero-length REG_SZ", REG_SZ, {}},
      {"REG_SZ of only the terminating zero", REG_SZ, {0, 0}},
      {"zero-length REG_BINARY", REG_BINARY, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    PlantText(kTestKey, L"A", L"\"1\"");
    Plant(kTestKey, L"E", c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    EXPECT_FALSE(m.ReadSettings());
    EXPECT_EQ(m.ErrorCode(), 3);
    EXPECT_TRUE(m.Parameters().empty());
  }
}

TEST_F(SettingsRegistryWin, ReadOfAMissingKeyCreatesItAndFailsWithTheCodeUnchanged) {
  EXPECT_FALSE(m.SaveSettings());
  EXPECT_EQ(m.ErrorCode(), 5);
  EXPECT_FALSE(KeyExists(kTestKey)) << "an empty save must not make the key";
  EXPECT_FALSE(m.ReadSettings());
  EXPECT_EQ(m.ErrorCode(), 5);
  EXPECT_TRUE(KeyExists(kTestKey));
  EXPECT_TRUE(RawValues(kTestKey).empty());
}

// The main window's own key, through the factory that the DLL installs.
// Whatever was stored there before is put back afterwards.
TEST(SettingsRegistryRealKey, SaveAndReadBackThroughTheInstalledRegistry) {
  const wchar_t kParent[] = L"Software\\Mervik";
  const wchar_t kKey[] = L"Software\\Mervik\\KOVRAPlugin_QualcommTool_Settings";
  const bool parentExisted = KeyExists(kParent);
  const bool keyExisted = KeyExists(kKey);
  const std::vector<RawValue> before = RawValues(kKey);

  win::InstallWindowsRegistry();
  Items read;
  bool saved = false, readOk = false;
  {
    TSettingsManager writer;
    writer.SetSettingsPath("Software\\Mervik");
    writer.SetSettingsName("KOVRAPlugin_QualcommTool_Settings");
    writer.SetParameterValue("SOURCE_FILE", "C:\\img.bin");
    writer.SetParameterValue("HEADER00_WIDTH4", "2000");
    saved = writer.SaveSettings();
    TSettingsManager reader;
    reader.SetSettingsPath("Software\\Mervik");
    reader.SetSettingsName("KOVRAPlugin_QualcommTool_Settings");
    readOk = TryReadSettings(reader);
    std::string v;
    if (reader.GetParameterValue("SOURCE_FILE", v)) read.emplace_back("SOURCE_FILE", v);
    if (reader.GetParameterValue("HEADER00_WIDTH4", v)) read.emplace_back("HEADER00_WIDTH4", v);
  }
  SetRegistryFactory(nullptr);
  const auto afterSave = RawValueOf(kKey, L"HEADER00_WIDTH4");

  // Put the key back as it was.
  if (!keyExisted) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    if (!parentExisted) RegDeleteKeyW(HKEY_CURRENT_USER, kParent);
  } else {
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
      for (const wchar_t* name : {L"SOURCE_FILE", L"HEADER00_WIDTH4"}) RegDeleteValueW(k, name);
      for (const RawValue& v : before)
        RegSetValueExW(k, v.Name.c_str(), 0, v.Type, v.Data.data(), static_cast<DWORD>(v.Data.size()));
      RegCloseKey(k);
    }
  }

  EXPECT_TRUE(saved);
  ASSERT_TRUE(afterSave);
  EXPECT_EQ(TextOf(*afterSave), L"\"2000\"");
  if (keyExisted) {
    // Other values already there may not parse; only our two are checked.
    EXPECT_EQ(RawValues(kKey).size(), before.size());
  } else {
    EXPECT_TRUE(readOk);
    EXPECT_FALSE(KeyExists(kKey));
  }
  EXPECT_EQ(read, (Items{{"SOURCE_FILE", "C:\\img.bin"}, {"HEADER00_WIDTH4", "2000"}}));
}
