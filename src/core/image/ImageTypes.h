#pragma once
// The loaded image's geometry, the MIBIB partition table as stored in flash
// and the partition descriptors the list shows.
//
// Image file layout: main area (every page's 512-byte sectors in flash order)
// of (FileSize / 528) * 512 bytes, then the spare area with the 16 spare bytes
// of every sector (1/32 of the main area), then FileSize % 528 ignored bytes.
// All sizes and offsets are unsigned 32-bit and wrap where noted.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kovra {

inline constexpr uint32_t kMibibMagic1 = 0x55EE73AA;
inline constexpr uint32_t kMibibMagic2 = 0xE35EBDDB;
inline constexpr uint32_t kMibibHeaderSize = 16;
inline constexpr uint32_t kMibibEntrySize = 28;
inline constexpr uint32_t kMibibSearchBlocks = 24;   // table lies in one of blocks 0..23
inline constexpr uint32_t kSectorMainSize = 512;
inline constexpr uint32_t kSectorSpareSize = 16;
inline constexpr uint32_t kSectorSize = kSectorMainSize + kSectorSpareSize;   // 528
inline constexpr uint32_t kEntrySizeToEnd = 0xFFFFFFFF;   // EntrySize: up to the end of flash

// Written only by the load.
struct ImageGeometry {
  uint32_t PageSize = 0;
  uint32_t BlockSize = 0;
  uint32_t FileSize = 0;
  uint32_t MainAreaSize = 0;
  uint32_t BlockCount = 0;
};

// The geometries the detection tries, in this order.
struct TGeometryCandidate {
  uint32_t BlockSize;
  uint32_t PageSize;
};
inline constexpr std::array<TGeometryCandidate, 3> kGeometryCandidates = {{
    {0x20000, 2048},
    {0x4000, 512},
    {0x40000, 4096},
}};

// 28 bytes in flash: name[16], base, size, unknown (little-endian).
struct TQualcommMIBIBEntry {
  std::array<char, 16> EntryName{};   // NUL-padded, not always NUL-terminated
  uint32_t EntryBase = 0;             // first block
  uint32_t EntrySize = 0;             // blocks; kEntrySizeToEnd: to the end of flash
  uint32_t Unknown1 = 0;
};

struct TQualcomMIBIB {
  uint32_t Magic1 = 0;
  uint32_t Magic2 = 0;
  uint32_t SomeVersion = 0;
  uint32_t EntriesCount = 0;
  std::vector<TQualcommMIBIBEntry> Entries;
};

struct TPartitionDescriptor {
  uint32_t Position = 0;        // 1-based place in the table
  bool IsBlank = false;         // set by the blank check
  std::string PartitionName;    // stored name without its two-character prefix, UTF-8
  std::string AddressRange;     // 64 hex digits: first byte, last byte, first block, last block
  std::string PartitionSize;    // 32 hex digits: bytes, blocks
  std::string CheckedType;      // "+" while the row is selected
  uint32_t BegBlock = 0;
  uint32_t Blocks = 0;
};

// The stored name up to its first NUL (at most 16 bytes), in the file's 8-bit
// characters, prefix included ("0:HTC").
std::string EntryRawName(const TQualcommMIBIBEntry& entry);
// The same as UTF-8 (the 8-bit characters read in the system code page).
std::string EntryStoredName(const TQualcommMIBIBEntry& entry);

// Where a partition lies in the image. Everything is unsigned 32-bit and wraps
// the way the image commands rely on.
struct TPartitionExtent {
  uint32_t BegBlock = 0;
  uint32_t Blocks = 0;        // EntrySize, or what is left to the end of flash
  uint32_t MainOffset = 0;    // BegBlock * BlockSize
  uint32_t MainLength = 0;    // Blocks * BlockSize
  uint32_t SpareOffset = 0;   // BlockCount * BlockSize + MainOffset / 32
  uint32_t SpareLength = 0;   // MainLength / 32
};

// Length in blocks of an entry: EntrySize, or BlockCount - EntryBase for an
// entry running to the end (0 when EntryBase lies beyond BlockCount, where the
// subtraction would wrap to an absurd length).
uint32_t EntryBlocks(uint32_t entryBase, uint32_t entrySize, uint32_t blockCount);

TPartitionExtent PartitionExtent(const ImageGeometry& geometry, uint32_t entryBase,
                                 uint32_t entrySize);
TPartitionExtent PartitionExtent(const ImageGeometry& geometry, const TQualcommMIBIBEntry& entry);

// Byte offset of block b's spare data: BlockCount * BlockSize + (b * BlockSize) / 32.
uint32_t SpareOffsetOfBlock(const ImageGeometry& geometry, uint32_t block);

}  // namespace kovra
