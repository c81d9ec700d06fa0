#include "image/ImageTypes.h"

#include <cstring>

#include "platform/CodePage.h"

namespace kovra {

std::string EntryRawName(const TQualcommMIBIBEntry& entry) {
  const char* name = entry.EntryName.data();
  const void* nul = std::memchr(name, 0, entry.EntryName.size());
  const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - name)
                            : entry.EntryName.size();
  return std::string(name, length);
}

std::string EntryStoredName(const TQualcommMIBIBEntry& entry) {
  return AnsiToUtf8(EntryRawName(entry));
}

uint32_t EntryBlocks(uint32_t entryBase, uint32_t entrySize, uint32_t blockCount) {
  if (entrySize != kEntrySizeToEnd) return entrySize;
  return entryBase <= blockCount ? blockCount - entryBase : 0;
}

TPartitionExtent PartitionExtent(const ImageGeometry& geometry, uint32_t entryBase,
                                 uint32_t entrySize) {
  TPartitionExtent extent;
  extent.BegBlock = entryBase;
  extent.Blocks = EntryBlocks(entryBase, entrySize, geometry.BlockCount);
  extent.MainOffset = entryBase * geometry.BlockSize;
  extent.MainLength = extent.Blocks * geometry.BlockSize;
  extent.SpareOffset = geometry.BlockCount * geometry.BlockSize + extent.MainOffset / 32;
  extent.SpareLength = extent.MainLength / 32;
  return extent;
}

TPartitionExtent PartitionExtent(const ImageGeometry& geometry, const TQualcommMIBIBEntry& entry) {
  return PartitionExtent(geometry, entry.EntryBase, entry.EntrySize);
}

uint32_t SpareOffsetOfBlock(const ImageGeometry& geometry, uint32_t block) {
  return geometry.BlockCount * geometry.BlockSize + (block * geometry.BlockSize) / 32;
}

}  // namespace kovra
