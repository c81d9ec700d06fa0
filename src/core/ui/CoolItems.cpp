#include "ui/CoolItems.h"

#include <cstdio>

namespace kovra {
namespace {

std::string Hex(uint32_t v, int minDigits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*X", minDigits, static_cast<unsigned>(v));
  return buf;
}

// Characters first..first+15 of s (fewer, or none, when s is shorter).
std::string Slice(const std::string& s, size_t index) {
  const size_t first = index * 16;
  if (first >= s.size()) return {};
  return s.substr(first, 16);
}

TCoolCellPiece Number(const std::string& s, size_t slice, size_t digits) {
  std::string part = Slice(s, slice);
  if (part.size() > digits) part.erase(0, part.size() - digits);
  return {true, std::move(part)};
}

TCoolCellPiece Separator(const char* text) { return {false, text}; }

}  // namespace

TCoolCell CoolCellOf(uint32_t typeCode, const void* value) {
  TCoolCell cell;
  if (typeCode >= ctFirstEmpty) return cell;
  cell.IsHexField = typeCode >= ctHexField;
  if (value == nullptr) return cell;

  if (typeCode == ctText) {
    cell.Text = *static_cast<const std::string*>(value);
    return cell;
  }
  if (typeCode < ctHexField) {
    const uint32_t v = *static_cast<const uint32_t*>(value);
    switch (typeCode) {
      case ctDecimal: cell.Text = std::to_string(v); break;
      case ctHex2: cell.Text = Hex(v, 2); break;
      case ctHex4: cell.Text = Hex(v, 4); break;
      case ctHex8: cell.Text = Hex(v, 8); break;
      case ctHex0x2: cell.Text = "0x" + Hex(v, 2); break;
      case ctHex0x4: cell.Text = "0x" + Hex(v, 4); break;
      case ctHex0x8: cell.Text = "0x" + Hex(v, 8); break;
    }
    return cell;
  }

  const std::string& s = *static_cast<const std::string*>(value);
  switch (typeCode) {
    case ctHexField:
      cell.Pieces = {Number(s, 0, 12)};
      break;
    case ctHexRange:
      cell.Pieces = {Number(s, 0, 12), Separator(".."), Number(s, 1, 12), Separator(" ("),
                     Number(s, 2, 4),  Separator(".."), Number(s, 3, 4),  Separator(")")};
      break;
    case ctHexSize:
      cell.Pieces = {Number(s, 0, 12), Separator(" ("), Number(s, 1, 4), Separator(")")};
      break;
  }
  return cell;
}

TCoolCell CoolCellOf(const TCoolItemsList& list, int row, int column) {
  if (row < 0 || row >= list.Count || static_cast<size_t>(row) >= list.Items.size() ||
      column < 0 || static_cast<size_t>(column) >= list.Types.size())
    return {};
  const TCoolViewItem& item = list.Items[static_cast<size_t>(row)];
  const void* value =
      static_cast<size_t>(column) < item.Values.size() ? item.Values[static_cast<size_t>(column)] : nullptr;
  return CoolCellOf(list.Types[static_cast<size_t>(column)], value);
}

std::string CoolCellPlainText(const TCoolCell& cell) {
  if (!cell.IsHexField) return cell.Text;
  std::string text;
  for (const TCoolCellPiece& piece : cell.Pieces) {
    if (piece.IsNumber) text += "0x";
    text += piece.Text;
  }
  return text;
}

std::string CoolCellPlainText(uint32_t typeCode, const void* value) {
  return CoolCellPlainText(CoolCellOf(typeCode, value));
}

TCoolColor CoolCellColor(const TCoolColoredItem& colors, bool isCursorRow, bool selected) {
  if (isCursorRow) return selected ? colors.ColorCursorSelected : colors.ColorCursorNormal;
  return selected ? colors.ColorNormalSelected : colors.ColorNormalNormal;
}

}  // namespace kovra
