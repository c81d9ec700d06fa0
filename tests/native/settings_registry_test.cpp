#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/MemoryRegistry.h"
#include "settings/SettsMng.h"

using namespace kovra;

namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

constexpr char kKey[] = "Software\\Mervik\\KOVRAPlugin_QualcommTool_Settings";

Items ItemsOf(const TSettingsManager& m) {
  Items out;
  for (const TParameterItem& p : m.Parameters()) out.emplace_back(p.ParameterName, p.ParameterData);
  return out;
}

struct SettingsRegistry : ::testing::Test {
  std::shared_ptr<MemoryRegistryHive> hive = std::make_shared<MemoryRegistryHive>();
  TSettingsManager m{std::make_unique<MemoryRegistry>(hive)};

  void SetUp() override {
    m.SetSettingsInFile(false);
    m.SetSettingsPath("Software\\Mervik");
    m.SetSettingsName("KOVRAPlugin_QualcommTool_Settings");
  }
};

struct ValueCase {
  const char* data;
  bool result;
  int32_t code;
  const char* value;  // of V when the read succeeds
};

}  // namespace

TEST_F(SettingsRegistry, ParsesValuesAsTabled) {
  const ValueCase cases[] = {
      {"\"x\"", true, 0, "x"},
      {"\"\"", true, 0, ""},
      {"  \t\"x\"", true, 0, "x"},
      {"\"x\"  \t", true, 0, "x"},
      {"\"C:\\a b = c\"", true, 0, "C:\\a b = c"},
      {"x", false, 3, nullptr},
      {"", false, 3, nullptr},
      {"\t \"x\"", false, 3, nullptr},
      {"\"x", false, 3, nullptr},
      {"\"x\"\t ", false, 4, nullptr},
      {"\"x\"y", false, 4, nullptr},
      {"\"a\"b\"", false, 4, nullptr},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.data);
    hive->Clear();
    hive->SetValue(kKey, "GOOD", RegValueType::String, "\"ok\"");
    hive->SetValue(kKey, "V", RegValueType::String, c.data);
    TSettingsManager fresh{std::make_unique<MemoryRegistry>(hive)};
    fresh.SetSettingsPath("Software\\Mervik");
    fresh.SetSettingsName("KOVRAPlugin_QualcommTool_Settings");
    EXPECT_EQ(fresh.ReadSettings(), c.result);
    EXPECT_EQ(fresh.SettingsRead(), c.result);
    EXPECT_EQ(fresh.ErrorCode(), c.code);
    EXPECT_EQ(fresh.ErrorLine(), 0);
    // A bad value spoils the whole key: the good one before it is dropped too.
    const Items expected = c.result ? Items{{"GOOD", "ok"}, {"V", c.value}} : Items{};
    EXPECT_EQ(ItemsOf(fresh), expected);
  }
}

TEST_F(SettingsRegistry, SaveWritesQuotedStringsAndLeavesOtherValues) {
  hive->SetValue(kKey, "OTHER", RegValueType::Dword, std::string("\x2A\0\0\0", 4));
  hive->SetValue(kKey, "FORM_W", RegValueType::String, "\"1\"");
  m.SetParameterValue("SOURCE_FILE", "C:\\img.bin");
  m.SetParameterValue("FORM_W", "800");
  m.SetParameterValue("ADJUST_4KB", "");
  ASSERT_TRUE(m.SaveSettings());

  const auto values = hive->Values(kKey);
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[0].Name, "OTHER");
  EXPECT_EQ(values[0].Type, RegValueType::Dword);
  EXPECT_EQ(values[0].Data, std::string("\x2A\0\0\0", 4));
  const std::pair<const char*, const char*> written[] = {
      {"FORM_W", "\"800\""}, {"SOURCE_FILE", "\"C:\\img.bin\""}, {"ADJUST_4KB", "\"\""}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(values[i + 1].Name, written[i].first);
    EXPECT_EQ(values[i + 1].Type, RegValueType::String);
    EXPECT_EQ(values[i + 1].Data, written[i].second);
  }
}

TEST_F(SettingsRegistry, ReadFollowsEnumerationOrderAndNamesTheValues) {
  hive->SetValue(kKey, "Z", RegValueType::String, "\"26\"");
  hive->SetValue(kKey, "a", RegValueType::String, "\"1\"");
  hive->SetValue(kKey, "M", RegValueType::ExpandString, "\"%TEMP%\\x\"");
  ASSERT_TRUE(m.ReadSettings());
  EXPECT_EQ(ItemsOf(m), (Items{{"Z", "26"}, {"a", "1"}, {"M", "%TEMP%\\x"}}));
}

TEST_F(SettingsRegistry, NonStringValueThrowsNamingItAndLeavesNothing) {
  hive->SetValue(kKey, "A", RegValueType::String, "\"1\"");
  ASSERT_TRUE(m.ReadSettings());
  hive->SetValue(kKey, "FORM_X", RegValueType::Dword, std::string("\x0A\0\0\0", 4));
  try {
    m.ReadSettings();
    FAIL() << "no error";
  } catch (const RegistryError& e) {
    EXPECT_NE(std::string(e.what()).find("FORM_X"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(m.Parameters().empty());
  EXPECT_FALSE(m.SettingsRead());
  EXPECT_EQ(m.ErrorCode(), 0);

  EXPECT_FALSE(TryReadSettings(m));
  EXPECT_TRUE(m.Parameters().empty());
}

TEST_F(SettingsRegistry, ZeroLengthValueOfAnyTypeReadsAsEmptyText) {
  hive->SetValue(kKey, "B", RegValueType::Binary, "");
  EXPECT_FALSE(m.ReadSettings());
  EXPECT_EQ(m.ErrorCode(), 3);
}

TEST_F(SettingsRegistry, MissingKeyIsCreatedAndReadFailsWithCodeUnchanged) {
  EXPECT_FALSE(m.SaveSettings());  // nothing to save: code 5, no key made
  EXPECT_EQ(m.ErrorCode(), 5);
  EXPECT_FALSE(hive->KeyExists(kKey));

  EXPECT_FALSE(m.ReadSettings());
  EXPECT_EQ(m.ErrorCode(), 5);
  EXPECT_TRUE(hive->KeyExists(kKey));
  EXPECT_TRUE(hive->KeyExists("software\\MERVIK"));
  EXPECT_TRUE(hive->Values(kKey).empty());
}

TEST_F(SettingsRegistry, SavedKeyReadsBackThroughAnotherManager) {
  m.SetParameterValue("HEADER00_WIDTH0", "80");
  m.SetParameterValue("SOURCE_FILE", "D:\\dumps\\phone a.bin");
  ASSERT_TRUE(m.SaveSettings());
  TSettingsManager other{std::make_unique<MemoryRegistry>(hive)};
  other.SetSettingsPath("Software\\Mervik\\");
  other.SetSettingsName("KOVRAPlugin_QualcommTool_Settings");
  ASSERT_TRUE(other.ReadSettings());
  EXPECT_EQ(ItemsOf(other), ItemsOf(m));
}

TEST_F(SettingsRegistry, EmptyPathMeansAKeyAtTheRoot) {
  m.SetSettingsPath("");
  m.SetSettingsName("Top");
  m.SetParameterValue("A", "1");
  ASSERT_TRUE(m.SaveSettings());
  EXPECT_EQ(hive->GetValue("Top", "A")->Data, "\"1\"");
}

TEST(SettingsRegistryFactory, DefaultManagerUsesTheInstalledRegistry) {
  auto hive = std::make_shared<MemoryRegistryHive>();
  RegistryFactory old = SetRegistryFactory([hive] { return std::make_unique<MemoryRegistry>(hive); });
  {
    TSettingsManager m;
    m.SetSettingsPath("Software\\Mervik");
    m.SetSettingsName("X");
    m.SetParameterValue("A", "1");
    EXPECT_TRUE(m.SaveSettings());
  }
  SetRegistryFactory(std::move(old));
  EXPECT_EQ(hive->GetValue("Software\\Mervik\\X", "a")->Data, "\"1\"");
}

TEST(MemoryRegistryTest, BehavesLikeTheRegistry) {
  auto hive = std::make_shared<MemoryRegistryHive>();
  MemoryRegistry reg(hive);
  EXPECT_THROW(reg.WriteString("A", "x"), RegistryError);  // no key open
  reg.OpenKey("\\Software\\Test\\");
  reg.WriteString("Name", "1");
  reg.WriteString("NAME", "2");  // same value, first spelling kept
  reg.WriteString("Other", "3");
  EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"Name", "Other"}));
  EXPECT_EQ(reg.ReadString("name"), "2");
  EXPECT_EQ(reg.ReadString("missing"), "");
  hive->SetValue("software\\test", "Q", RegValueType::Qword, std::string(8, '\0'));
  EXPECT_THROW(reg.ReadString("Q"), RegistryError);
  reg.CloseKey();
  EXPECT_TRUE(reg.GetValueNames().empty());
  hive->DeleteKey("Software");
  EXPECT_FALSE(hive->KeyExists("Software\\Test"));
}
