#include "inspect/HexDump.h"

#include <algorithm>
#include <stdexcept>

#include "export/ExportSupport.h"

namespace kovra {

using namespace exportdetail;

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendCharacter(std::string& out, uint8_t c, THexCharacters characters) {
  if (c < 32 || (characters == THexCharacters::Terminal && c >= 0x7F && c <= 0x9F)) {
    out += '.';
  } else if (c < 0x80) {
    out += static_cast<char>(c);
  } else {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string HexDumpLine(uint32_t lineOffset, const uint8_t* bytes, size_t first, size_t count,
                        THexCharacters characters) {
  std::string out;
  out.reserve(8 + 2 + 3 * kHexBytesInLine + 1 + 2 * kHexBytesInLine);
  for (int shift = 28; shift >= 0; shift -= 4) out += kHexDigits[(lineOffset >> shift) & 0xF];
  out += "  ";
  for (size_t k = 0; k < kHexBytesInLine; ++k) {
    if (k >= first && k < first + count) {
      const uint8_t c = bytes[k - first];
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0xF];
    } else {
      out += "  ";
    }
    out += ' ';
  }
  out += ' ';
  out.append(first, ' ');
  for (size_t k = 0; k < count; ++k) AppendCharacter(out, bytes[k], characters);
  return out;
}

std::string HexDumpRangeError(const std::string& what, uint32_t areaLength, uint64_t offset,
                              uint64_t length) {
  if (offset <= areaLength && length <= areaLength - offset) return "";
  return "Offset " + HexText(offset) + " and length " + HexText(length) + " reach past the end of " +
         what + " (" + HexText(areaLength) + " bytes)";
}

void HexDumpPartitionArea(const TExportContext& ctx, const TPartitionArea& area, uint32_t offset,
                          uint32_t length, THexCharacters characters,
                          const std::function<void(const std::string&)>& sink) {
  if (!HexDumpRangeError("the partition", area.Length, offset, length).empty())
    throw std::out_of_range(HexDumpRangeError("the partition", area.Length, offset, length));
  if (length == 0) return;
  const uint32_t blockSize = ctx.Geometry.BlockSize;
  TBlockBuffer buffer(ctx);
  std::unique_ptr<TReadableFile> image = OpenerOf(ctx).OpenForReading(ctx.LoadedImageName);
  // 64-bit: a hostile table can place a partition where 32-bit offsets wrap.
  const uint64_t start = uint64_t(area.Offset) + offset;
  if (start > image->Size() || length > image->Size() - start)
    throw TFileError(ReadBeyondEndText(ctx.LoadedImageName, start, length));

  uint8_t line[kHexBytesInLine];
  size_t lineFirst = offset % kHexBytesInLine;   // cell of the first byte of the line being filled
  size_t lineCount = 0;
  uint32_t lineOffset = offset - static_cast<uint32_t>(lineFirst);
  uint64_t at = start;
  for (uint32_t rest = length; rest != 0;) {
    const uint32_t k = std::min(blockSize, rest);
    image->ReadAt(at, buffer.Data(), k);
    for (uint32_t i = 0; i < k;) {
      const size_t take = std::min<size_t>(kHexBytesInLine - lineFirst - lineCount, k - i);
      std::copy_n(buffer.Data() + i, take, line + lineCount);
      lineCount += take;
      i += static_cast<uint32_t>(take);
      if (lineFirst + lineCount == kHexBytesInLine) {
        sink(HexDumpLine(lineOffset, line, lineFirst, lineCount, characters));
        lineOffset += kHexBytesInLine;
        lineFirst = 0;
        lineCount = 0;
      }
    }
    at += k;
    rest -= k;
  }
  if (lineCount != 0) sink(HexDumpLine(lineOffset, line, lineFirst, lineCount, characters));
}

}  // namespace kovra
