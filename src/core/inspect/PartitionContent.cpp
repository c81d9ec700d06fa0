#include "inspect/PartitionContent.h"

#include <algorithm>
#include <cstring>

#include "export/BlankCheck.h"
#include "export/ExportSupport.h"

namespace kovra {

using namespace exportdetail;

namespace {

bool StartsWith(const uint8_t* bytes, size_t size, const char* magic, size_t length) {
  return size >= length && std::memcmp(bytes, magic, length) == 0;
}

// The CRC of a jffs2 node header: reflected CRC-32 (0xEDB88320), started at 0
// and not inverted at the end.
uint32_t Jffs2Crc(const uint8_t* bytes, size_t size) {
  uint32_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc;
}

bool IsJffs2Node(const uint8_t* b, size_t size) {
  if (size < 12) return false;
  bool little;
  if (b[0] == 0x85 && b[1] == 0x19) little = true;
  else if (b[0] == 0x19 && b[1] == 0x85) little = false;
  else return false;
  auto u16 = [&](size_t at) {
    return little ? uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 : uint32_t(b[at]) << 8 | b[at + 1];
  };
  auto u32 = [&](size_t at) {
    return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
  };
  switch (u16(2)) {
    case 0xE001:   // directory entry
    case 0xE002:   // inode
    case 0x2003:   // clean marker
    case 0x2004:   // padding
    case 0x2006:   // summary
    case 0xE008:   // extended attribute
    case 0xE009:   // extended attribute reference
      break;
    default:
      return false;
  }
  return u32(8) == Jffs2Crc(b, 8);
}

}  // namespace

const char* PartitionContentName(TPartitionContent content) {
  switch (content) {
    case TPartitionContent::Blank: return "blank";
    case TPartitionContent::Elf: return "elf";
    case TPartitionContent::AndroidBoot: return "android-boot";
    case TPartitionContent::Ubi: return "ubi";
    case TPartitionContent::Ubifs: return "ubifs";
    case TPartitionContent::Squashfs: return "squashfs";
    case TPartitionContent::Jffs2: return "jffs2";
    case TPartitionContent::Data: return "data";
  }
  return "data";
}

TPartitionContent ContentFromMagic(const uint8_t* bytes, size_t size) {
  if (StartsWith(bytes, size, "\x7F" "ELF", 4)) return TPartitionContent::Elf;
  if (StartsWith(bytes, size, "ANDROID!", 8)) return TPartitionContent::AndroidBoot;
  if (StartsWith(bytes, size, "UBI#", 4)) return TPartitionContent::Ubi;
  if (StartsWith(bytes, size, "\x31\x18\x10\x06", 4)) return TPartitionContent::Ubifs;
  if (StartsWith(bytes, size, "hsqs", 4)) return TPartitionContent::Squashfs;
  if (IsJffs2Node(bytes, size)) return TPartitionContent::Jffs2;
  return TPartitionContent::Data;
}

std::vector<TPartitionContent> DetectPartitionContents(const TExportContext& ctx,
                                                       const TQualcomMIBIB& table) {
  TExportHooks& hooks = HooksOf(ctx);
  const uint32_t blockSize = ctx.Geometry.BlockSize;
  TBlockBuffer buffer(ctx);

  hooks.SetGaugePosition(0);
  int64_t max = 0;
  for (const TQualcommMIBIBEntry& e : table.Entries) max += PartitionExtent(ctx.Geometry, e).Blocks;
  hooks.SetGaugeMax(max);

  std::unique_ptr<TReadableFile> image = OpenerOf(ctx).OpenForReading(ctx.LoadedImageName);
  std::vector<TPartitionContent> contents;
  contents.reserve(table.Entries.size());
  for (const TQualcommMIBIBEntry& entry : table.Entries) {
    const TPartitionExtent extent = PartitionExtent(ctx.Geometry, entry);
    TPartitionContent content = TPartitionContent::Blank;
    int64_t counted = 0;
    if (extent.MainLength != 0) {
      // Every magic number holds bytes other than 0xFF, so a match also
      // means the partition is not blank.
      uint8_t head[kContentMagicBytes];
      const size_t headSize = std::min<size_t>(sizeof head, extent.MainLength);
      image->ReadAt(extent.MainOffset, head, headSize);
      content = ContentFromMagic(head, headSize);
      if (content == TPartitionContent::Data) {
        uint32_t a = extent.MainOffset, b = extent.SpareOffset, rest = extent.MainLength;
        while (rest != 0) {
          const uint32_t k = std::min(blockSize, rest);
          hooks.StepGauge(1);
          ++counted;
          hooks.ProcessMessages();
          if (!CheckMainImageRangeToBeBlank(*image, a, k, buffer.Data(), blockSize)) break;
          if (!CheckReduImageRangeToBeBlank(*image, b, k / 32, buffer.Data(), blockSize)) break;
          a += k;
          b += k / 32;
          rest -= k;
        }
        if (rest == 0) content = TPartitionContent::Blank;
      }
    }
    contents.push_back(content);
    hooks.StepGauge(std::max<int64_t>(0, int64_t(extent.Blocks) - counted));
    hooks.ProcessMessages();
  }
  hooks.SetGaugePosition(0);
  return contents;
}

}  // namespace kovra
