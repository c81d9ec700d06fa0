#include "ui/CoolItems.h"

#include <gtest/gtest.h>

namespace kovra {
namespace {

struct IntCase {
  uint32_t code;
  uint32_t value;
  const char* text;
};

TEST(CoolItems, NumberCodes) {
  const IntCase cases[] = {
      {0, 0, "0"},          {0, 4294967295u, "4294967295"}, {0, 42, "42"},
      {2, 0x1F, "1F"},      {2, 0xABC, "ABC"},              {3, 0x1F, "001F"},
      {4, 0x1F, "0000001F"}, {4, 0xDEADBEEF, "DEADBEEF"},   {5, 0x1F, "0x1F"},
      {5, 0, "0x00"},       {6, 0x1F, "0x001F"},            {6, 0x12345, "0x12345"},
      {7, 0x1F, "0x0000001F"}, {7, 0xFFFFFFFF, "0xFFFFFFFF"},
  };
  for (const IntCase& c : cases) {
    const TCoolCell cell = CoolCellOf(c.code, &c.value);
    EXPECT_FALSE(cell.IsHexField);
    EXPECT_EQ(cell.Text, c.text) << "code " << c.code << " value " << c.value;
  }
}

TEST(CoolItems, TextAndEmptyCodes) {
  const std::string name = "EFS2";
  EXPECT_EQ(CoolCellPlainText(1, &name), "EFS2");
  for (uint32_t code : {11u, 12u, 255u, 0xFFFFFFFFu}) {
    const TCoolCell cell = CoolCellOf(code, &name);
    EXPECT_TRUE(cell.Text.empty());
    EXPECT_TRUE(cell.Pieces.empty());
  }
  // A column without a value (the sixth one of the partition rows) shows nothing.
  EXPECT_EQ(CoolCellPlainText(0, nullptr), "");
  EXPECT_EQ(CoolCellPlainText(9, nullptr), "");
}

struct HexCase {
  uint32_t code;
  const char* value;
  std::vector<TCoolCellPiece> pieces;
  const char* plain;
};

TEST(CoolItems, HexFieldCodes) {
  const HexCase cases[] = {
      {9, "0000000000000000000000000003FFFF00000000000000000000000000000001",
       {{true, "000000000000"}, {false, ".."}, {true, "00000003FFFF"}, {false, " ("},
        {true, "0000"}, {false, ".."}, {true, "0001"}, {false, ")"}},
       "0x000000000000..0x00000003FFFF (0x0000..0x0001)"},
      {9, "0000000000540000000000000063FFFF000000000000002A0000000000000031",
       {{true, "000000540000"}, {false, ".."}, {true, "00000063FFFF"}, {false, " ("},
        {true, "002A"}, {false, ".."}, {true, "0031"}, {false, ")"}},
       "0x000000540000..0x00000063FFFF (0x002A..0x0031)"},
      {10, "00000000000400000000000000000002",
       {{true, "000000040000"}, {false, " ("}, {true, "0002"}, {false, ")"}},
       "0x000000040000 (0x0002)"},
      {10, "00000000001000000000000000000008",
       {{true, "000000100000"}, {false, " ("}, {true, "0008"}, {false, ")"}},
       "0x000000100000 (0x0008)"},
      {8, "123456789ABCDEF0FFFF", {{true, "56789ABCDEF0"}}, "0x56789ABCDEF0"},
      // Slices shorter than the field show all they have.
      {8, "ABC", {{true, "ABC"}}, "0xABC"},
      {10, "00000000000400000002",
       {{true, "000000040000"}, {false, " ("}, {true, "0002"}, {false, ")"}},
       "0x000000040000 (0x0002)"},
      {10, "",
       {{true, ""}, {false, " ("}, {true, ""}, {false, ")"}},
       "0x (0x)"},
  };
  for (const HexCase& c : cases) {
    const std::string value = c.value;
    const TCoolCell cell = CoolCellOf(c.code, &value);
    EXPECT_TRUE(cell.IsHexField);
    ASSERT_EQ(cell.Pieces.size(), c.pieces.size()) << c.value;
    for (size_t i = 0; i < c.pieces.size(); ++i) {
      EXPECT_EQ(cell.Pieces[i].IsNumber, c.pieces[i].IsNumber) << c.value << " piece " << i;
      EXPECT_EQ(cell.Pieces[i].Text, c.pieces[i].Text) << c.value << " piece " << i;
    }
    EXPECT_EQ(CoolCellPlainText(cell), c.plain);
  }
}

TEST(CoolItems, CellOfListGuardsRowsAndColumns) {
  const uint32_t position = 7;
  const std::string name = "APPS";
  TCoolItemsList list;
  list.Types = {0, 1, 11};
  list.Items.resize(2);
  list.Items[0].Values = {&position, &name};  // shorter than Types
  list.Items[1].Values = {&position, &name, &name};
  list.Count = 1;  // row 1 exists but is not valid
  EXPECT_EQ(CoolCellPlainText(CoolCellOf(list, 0, 0)), "7");
  EXPECT_EQ(CoolCellPlainText(CoolCellOf(list, 0, 1)), "APPS");
  EXPECT_EQ(CoolCellPlainText(CoolCellOf(list, 0, 2)), "");
  EXPECT_EQ(CoolCellPlainText(CoolCellOf(list, 0, 3)), "");
  EXPECT_EQ(CoolCellPlainText(CoolCellOf(list, 1, 0)), "");
  EXPECT_EQ(CoolCellPlainText(CoolCellOf(list, -1, 0)), "");
}

TEST(CoolItems, ColourByCursorAndSelection) {
  const TCoolColoredItem colors{0xFFFFFF, 0x00FFFF, 0x606060, 0xFF0000};
  EXPECT_EQ(CoolCellColor(colors, true, false), 0xFFFFFFu);
  EXPECT_EQ(CoolCellColor(colors, true, true), 0x00FFFFu);
  EXPECT_EQ(CoolCellColor(colors, false, false), 0x606060u);
  EXPECT_EQ(CoolCellColor(colors, false, true), 0xFF0000u);
}

}  // namespace
}  // namespace kovra
