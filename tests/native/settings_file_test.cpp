#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/MemoryRegistry.h"
#include "settings/SettsMng.h"

using namespace kovra;
namespace fs = std::filesystem;

namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

Items ItemsOf(const TSettingsManager& m) {
  Items out;
  for (const TParameterItem& p : m.Parameters()) out.emplace_back(p.ParameterName, p.ParameterData);
  return out;
}

std::string U8(const fs::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

struct SettingsFile : ::testing::Test {
  fs::path dir;
  TSettingsManager m{std::make_unique<MemoryRegistry>(std::make_shared<MemoryRegistryHive>())};

  void SetUp() override {
    dir = fs::temp_directory_path() / ("kovra_settings_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    m.SetSettingsInFile(true);
    m.SetSettingsPath(U8(dir));
    m.SetSettingsName("settings.ini");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  fs::path File() const { return dir / "settings.ini"; }
  void Put(const std::string& bytes) const {
    std::ofstream(File(), std::ios::binary) << bytes;
  }
  std::string Get() const {
    std::ifstream in(File(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
};

struct FileCase {
  const char* label;
  std::string content;
  bool result;
  int32_t code;
  int32_t line;
  Items items;
};

}  // namespace

TEST_F(SettingsFile, ParsesLinesAsTabled) {
  const FileCase cases[] = {
      {"header only", "[SETTINGS]\r\n", true, 0, 1, {}},
      {"empty file", "", true, 0, 0, {}},
      {"no header: nothing is a setting", "FORM_X = \"10\"\r\nFORM_Y = \"20\"\r\n", true, 0, 2, {}},
      {"lower-case header with text around it", "; by hand\r\nfoo [settings] bar\r\nA = \"1\"\r\n", true, 0, 3,
       {{"A", "1"}}},
      {"wide gaps around =", "[SETTINGS]\r\nNAME    =    \"x\"\r\n", true, 0, 2, {{"NAME", "x"}}},
      {"= glued to the value, case kept", "[SETTINGS]\r\nForm_X =\"5\"\r\n", true, 0, 2, {{"Form_X", "5"}}},
      {"lines without a name are skipped",
       "[SETTINGS]\r\nNAME=\"x\"\r\n\r\n[SETTINGS]\r\n\t NAME = \"y\"\r\nB = \"2\"\r\n", true, 0, 6,
       {{"B", "2"}}},
      {"leading blanks then tabs", "[SETTINGS]\r\n  \t\tA = \"1\"\r\n", true, 0, 2, {{"A", "1"}}},
      {"blanks then tabs after the value", "[SETTINGS]\r\nA = \"x\"   \t\t\r\n", true, 0, 2, {{"A", "x"}}},
      {"empty value", "[SETTINGS]\r\nA = \"\"\r\n", true, 0, 2, {{"A", ""}}},
      {"value kept verbatim", "[SETTINGS]\r\nP = \" C:\\a b\\=\t\"\r\n", true, 0, 2, {{"P", " C:\\a b\\=\t"}}},
      {"duplicates kept", "[SETTINGS]\r\nA = \"1\"\r\nA = \"2\"\r\n", true, 0, 3, {{"A", "1"}, {"A", "2"}}},
      {"lone LF and no final line end", "[SETTINGS]\nA = \"1\"\nB = \"2\"", true, 0, 3, {{"A", "1"}, {"B", "2"}}},
      {"name without =", "[SETTINGS]\r\nA = \"1\"\r\nNAME \"x\"\r\nB = \"2\"\r\n", false, 2, 3, {{"A", "1"}}},
      {"lines before the header are counted", "x\r\n\r\n[SETTINGS]\r\nA = \"1\"\r\nB \"2\"\r\n", false, 2, 5,
       {{"A", "1"}}},
      {"a tab belongs to the name", "[SETTINGS]\r\nA\t= \"1\"\r\n", false, 2, 2, {}},
      {"no opening quote", "[SETTINGS]\r\nA = \"1\"\r\nB = x\r\n", false, 3, 3, {{"A", "1"}}},
      {"no closing quote", "[SETTINGS]\r\nA = \"x\r\n", false, 3, 2, {}},
      {"nothing after =", "[SETTINGS]\r\nA = \r\n", false, 3, 2, {}},
      {"tab then blank after the value", "[SETTINGS]\r\nA = \"x\"\t \r\n", false, 4, 2, {}},
      {"text after the value", "[SETTINGS]\r\nA = \"x\" y\r\n", false, 4, 2, {}},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.label);
    TSettingsManager fresh{std::make_unique<MemoryRegistry>(std::make_shared<MemoryRegistryHive>())};
    fresh.SetSettingsInFile(true);
    fresh.SetSettingsPath(m.SettingsPath());
    fresh.SetSettingsName(m.SettingsName());
    Put(c.content);
    EXPECT_EQ(fresh.ReadSettings(), c.result);
    EXPECT_EQ(fresh.SettingsRead(), c.result);
    EXPECT_EQ(fresh.ErrorCode(), c.code);
    EXPECT_EQ(fresh.ErrorLine(), c.line);
    EXPECT_EQ(ItemsOf(fresh), c.items);
  }
}

TEST_F(SettingsFile, MissingFileIsCodeOneAndEmptiesTheList) {
  Put("[SETTINGS]\r\nA = \"1\"\r\n");
  ASSERT_TRUE(m.ReadSettings());
  fs::remove(File());
  EXPECT_FALSE(m.ReadSettings());
  EXPECT_EQ(m.ErrorCode(), 1);
  EXPECT_EQ(m.ErrorLine(), 0);
  EXPECT_TRUE(m.Parameters().empty());
  EXPECT_FALSE(m.SettingsRead());
}

TEST_F(SettingsFile, ErrorCodeSurvivesLaterSuccesses) {
  Put("[SETTINGS]\r\nA = \"x\" y\r\n");
  EXPECT_FALSE(m.ReadSettings());
  EXPECT_EQ(m.ErrorCode(), 4);
  Put("[SETTINGS]\r\nA = \"1\"\r\n");
  EXPECT_TRUE(m.ReadSettings());
  EXPECT_TRUE(m.SaveSettings());
  EXPECT_EQ(m.ErrorCode(), 4);
  EXPECT_EQ(m.ErrorLine(), 2);
}

TEST_F(SettingsFile, SavedFileHasExactBytesAndReadsBack) {
  m.SetParameterValue("SOURCE_FILE", "C:\\Images\\Größe 1.bin");
  m.SetParameterValue("EMPTY", "");
  m.SetParameterValue("ADJUST_4KB", "-1");
  ASSERT_TRUE(m.SaveSettings());
  // 8-bit text (here ISO 8859-1: ö = F6, ß = DF), CR LF, no byte-order mark.
  EXPECT_EQ(Get(),
            "[SETTINGS]\r\n"
            "SOURCE_FILE = \"C:\\Images\\Gr\xF6\xDF"
            "e 1.bin\"\r\n"
            "EMPTY = \"\"\r\n"
            "ADJUST_4KB = \"-1\"\r\n");

  TSettingsManager other{std::make_unique<MemoryRegistry>(std::make_shared<MemoryRegistryHive>())};
  other.SetSettingsInFile(true);
  other.SetSettingsPath(m.SettingsPath());
  other.SetSettingsName(m.SettingsName());
  ASSERT_TRUE(other.ReadSettings());
  EXPECT_EQ(ItemsOf(other), ItemsOf(m));
  EXPECT_EQ(other.ErrorLine(), 4);
}

TEST_F(SettingsFile, QuoteInValueIsWrittenAsIsAndFailsToReadBack) {
  m.SetParameterValue("A", "1");
  m.SetParameterValue("Q", "say \"hi\"");
  ASSERT_TRUE(m.SaveSettings());
  EXPECT_EQ(Get(), "[SETTINGS]\r\nA = \"1\"\r\nQ = \"say \"hi\"\"\r\n");
  EXPECT_FALSE(m.ReadSettings());
  EXPECT_EQ(m.ErrorCode(), 4);
  EXPECT_EQ(m.ErrorLine(), 3);
  EXPECT_EQ(ItemsOf(m), (Items{{"A", "1"}}));
}

TEST_F(SettingsFile, DuplicatesLookUpAndChangeTheFirstAndSaveBoth) {
  Put("[SETTINGS]\r\nA = \"1\"\r\nA = \"2\"\r\n");
  ASSERT_TRUE(m.ReadSettings());
  std::string v;
  EXPECT_TRUE(m.GetParameterValue("A", v));
  EXPECT_EQ(v, "1");
  EXPECT_TRUE(m.SetParameterValue("A", "9"));
  ASSERT_TRUE(m.SaveSettings());
  EXPECT_EQ(Get(), "[SETTINGS]\r\nA = \"9\"\r\nA = \"2\"\r\n");
}

TEST_F(SettingsFile, EmptyListSavesNothing) {
  Put("[SETTINGS]\r\nKEEP = \"me\"\r\n");
  EXPECT_FALSE(m.SaveSettings());
  EXPECT_EQ(m.ErrorCode(), 5);
  EXPECT_EQ(Get(), "[SETTINGS]\r\nKEEP = \"me\"\r\n");

  fs::remove(File());
  EXPECT_FALSE(m.SaveSettings());
  EXPECT_FALSE(fs::exists(File()));
}

TEST_F(SettingsFile, UnwritableFileThrowsWithItsPathAndTheTryFormsSayFalse) {
  m.SetSettingsPath(U8(dir / "no such folder"));
  m.SetParameterValue("A", "1");
  try {
    m.SaveSettings();
    FAIL() << "no error";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find("no such folder"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(TrySaveSettings(m));
  // A missing file is a reported failure, not an error.
  EXPECT_FALSE(TryReadSettings(m));
  EXPECT_EQ(m.ErrorCode(), 1);
}

TEST(SettingsManager, StartsEmptyInRegistryMode) {
  TSettingsManager m{std::make_unique<MemoryRegistry>(std::make_shared<MemoryRegistryHive>())};
  EXPECT_FALSE(m.SettingsInFile());
  EXPECT_EQ(m.SettingsPath(), "");
  EXPECT_EQ(m.SettingsName(), "");
  EXPECT_EQ(m.ErrorCode(), 0);
  EXPECT_EQ(m.ErrorLine(), 0);
  EXPECT_FALSE(m.SettingsRead());
  EXPECT_TRUE(m.Parameters().empty());
}

TEST(SettingsManager, SettingsPathEndsInOneBackslash) {
  const std::pair<const char*, const char*> cases[] = {
      {"Software\\Mervik", "Software\\Mervik\\"},
      {"Software\\Mervik\\", "Software\\Mervik\\"},
      {"", "\\"},
      {"\\", "\\"},
      {"C:/dir/", "C:/dir/\\"},
  };
  TSettingsManager m{std::make_unique<MemoryRegistry>(std::make_shared<MemoryRegistryHive>())};
  for (const auto& [in, stored] : cases) {
    m.SetSettingsPath(in);
    EXPECT_EQ(m.SettingsPath(), stored) << in;
  }
}

TEST(SettingsManager, StripLeadingBlanksTakesBlanksThenTabs) {
  const std::pair<const char*, const char*> cases[] = {
      {"  x", "x"},         {"\t\tx", "x"},     {"  \t x", " x"}, {"\t x", " x"},
      {" \t\t \tx", " \tx"}, {"x  ", "x  "},    {"   ", ""},      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(StripLeadingBlanks(in), out) << '[' << in << ']';
}

TEST(SettingsManager, LookupIsExactAndAMissLeavesTheValue) {
  TSettingsManager m{std::make_unique<MemoryRegistry>(std::make_shared<MemoryRegistryHive>())};
  m.SetParameterValue("FORM_X", "10");
  m.SetParameterValue("form_x", "20");
  m.SetParameterValue("FORM_X", "30");
  EXPECT_EQ(ItemsOf(m), (Items{{"FORM_X", "30"}, {"form_x", "20"}}));
  std::string v = "unchanged";
  EXPECT_FALSE(m.GetParameterValue("FORM_", v));
  EXPECT_FALSE(m.GetParameterValue("Form_X", v));
  EXPECT_EQ(v, "unchanged");
  EXPECT_TRUE(m.GetParameterValue("form_x", v));
  EXPECT_EQ(v, "20");
}
