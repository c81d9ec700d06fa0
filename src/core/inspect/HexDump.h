#pragma once
// Partition bytes as text in the hex window's three columns: the offset
// within the partition in 8 upper-case hex digits, sixteen bytes in
// upper-case hex, and the same bytes as characters. Lines start at multiples
// of 16 of the partition, as in the window; cells outside the range asked
// for stay blank.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "export/ExportHooks.h"
#include "inspect/PartitionArea.h"

namespace kovra {

inline constexpr uint32_t kHexBytesInLine = 16;

enum class THexCharacters {
  // "." below 32, every other byte the ISO 8859-1 character of that code,
  // written as UTF-8: what the window shows.
  Latin1,
  // As Latin1, but DEL and the C1 controls (0x7F to 0x9F) are "." too: a
  // terminal acts on them, and image data must not drive the terminal.
  Terminal,
};

// One line. lineOffset is the offset of its first cell (a multiple of 16);
// bytes holds the line's cells first .. first + count - 1 (first + count <=
// 16); the other cells are blank. No trailing blanks.
std::string HexDumpLine(uint32_t lineOffset, const uint8_t* bytes, size_t first, size_t count,
                        THexCharacters characters);

// "" when [offset, offset + length) lies inside an area of areaLength bytes,
// else the text that says why not; what names the area ("BOOT main data").
std::string HexDumpRangeError(const std::string& what, uint32_t areaLength, uint64_t offset,
                              uint64_t length);

// Dumps bytes offset .. offset + length - 1 of the area (offsets within the
// area) from the loaded image, handing every line to sink. Reads exactly
// those bytes, at most one block at a time. The range must lie inside the
// area (HexDumpRangeError); a range that the file does not hold whole is a
// TFileError before any line is made.
void HexDumpPartitionArea(const TExportContext& ctx, const TPartitionArea& area, uint32_t offset,
                          uint32_t length, THexCharacters characters,
                          const std::function<void(const std::string&)>& sink);

}  // namespace kovra
