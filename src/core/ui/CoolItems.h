#pragma once
// The rows that the partition list control shows. The control owns none of
// this: the owner fills the record, keeps the data that the value pointers
// designate alive, and hands the control a pointer to the record.
#include <cstdint>
#include <string>
#include <vector>

namespace kovra {

// Colours are 0x00BBGGRR (red in the low byte).
using TCoolColor = uint32_t;

// Text colours of one cell, picked by cursor row and Selected.
struct TCoolColoredItem {
  TCoolColor ColorCursorNormal = 0;
  TCoolColor ColorCursorSelected = 0;
  TCoolColor ColorNormalNormal = 0;
  TCoolColor ColorNormalSelected = 0;
};

// One row. Values[c] points at the value of column c, read as the column's
// type code says: a uint32_t for codes 0 and 2..7, a std::string for codes 1
// and 8..10. A null pointer shows an empty cell.
struct TCoolViewItem {
  uint32_t Parent = 0;
  std::vector<const void*> Values;
  std::vector<TCoolColoredItem> Colors;
  bool Selected = false;
  bool IsProgress = false;
  bool Enabled = false;
  int64_t Progress = 0;
  int64_t MaxValue = 0;
};

// The attached list. Rows 0..Count-1 of Items are valid; Count is always set
// by the owner (an empty list is Count 0, the record itself stays attached).
struct TCoolItemsList {
  int32_t Count = 0;
  std::vector<uint32_t> Types;
  std::vector<TCoolViewItem> Items;
  TCoolColor ColorNormalProgressBackground = 0;
  TCoolColor ColorNormalProgressForeground = 0;
  TCoolColor ColorCursorProgressBackground = 0;
  TCoolColor ColorCursorProgressForeground = 0;
};
using PCoolItemsList = TCoolItemsList*;

// Column type codes.
enum TCoolColumnType : uint32_t {
  ctDecimal = 0,       // uint32_t, decimal
  ctText = 1,          // std::string as is
  ctHex2 = 2,          // uint32_t, hex, at least 2 digits
  ctHex4 = 3,          // at least 4 digits
  ctHex8 = 4,          // at least 8 digits
  ctHex0x2 = 5,        // "0x" + at least 2 digits
  ctHex0x4 = 6,        // "0x" + at least 4 digits
  ctHex0x8 = 7,        // "0x" + at least 8 digits
  ctHexField = 8,      // string of hex digits: one 12-digit field of chars 1-16
  ctHexRange = 9,      // 64 hex digits: A..B (C..D)
  ctHexSize = 10,      // 32 hex digits: A (B)
  ctFirstEmpty = 11,   // this and above: nothing
};

// A piece of a hex-field cell (codes 8..10). A number piece holds only the
// digits (the last N characters of its 16-character slice, fewer when the
// slice is shorter); the control draws "0x" before them and the digit-group
// gaps between them. A separator piece ("..", " (", ")") is drawn as is.
struct TCoolCellPiece {
  bool IsNumber = false;
  std::string Text;
};

// What a cell shows: plain text for codes 0..7, a sequence of pieces for
// codes 8..10 (IsHexField), nothing for 11 and above.
struct TCoolCell {
  bool IsHexField = false;
  std::string Text;                   // codes 0..7
  std::vector<TCoolCellPiece> Pieces; // codes 8..10
};

// The cell for a type code and the value it points at.
TCoolCell CoolCellOf(uint32_t typeCode, const void* value);

// The cell of column c of row r; empty when the row, column or type is missing.
TCoolCell CoolCellOf(const TCoolItemsList& list, int row, int column);

// The cell as one line of text, the way it reads on screen without the
// digit-group gaps: hex numbers get their "0x".
std::string CoolCellPlainText(const TCoolCell& cell);
std::string CoolCellPlainText(uint32_t typeCode, const void* value);

// The text colour of a cell for the row's state.
TCoolColor CoolCellColor(const TCoolColoredItem& colors, bool isCursorRow, bool selected);

}  // namespace kovra
