#pragma once
// What a partition holds, from unambiguous evidence only: "blank" when the
// blank check finds nothing but erased flash; otherwise the file system or
// image format whose magic number starts the partition's first block; "data"
// for anything else. Nothing is guessed from entropy, names or sizes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "export/ExportHooks.h"
#include "image/ImageTypes.h"

namespace kovra {

enum class TPartitionContent { Blank, Elf, AndroidBoot, Ubi, Ubifs, Squashfs, Jffs2, Data };

// "blank", "elf", "android-boot", "ubi", "ubifs", "squashfs", "jffs2", "data".
const char* PartitionContentName(TPartitionContent content);

// Bytes at the start of a block that the magic numbers need.
inline constexpr size_t kContentMagicBytes = 12;

// The format whose magic number starts bytes (size of them are there), or
// Data. Never Blank: that takes the blank check.
//   elf           7F 45 4C 46
//   android-boot  "ANDROID!"
//   ubi           "UBI#" (erase counter header)
//   ubifs         31 18 10 06 (node magic 0x06101831, little-endian)
//   squashfs      "hsqs" (superblock magic 0x73717368, little-endian)
//   jffs2         node magic 0x1985 with a known node type and a matching
//                 header CRC, in either byte order: the two-byte magic alone
//                 is common in other data
TPartitionContent ContentFromMagic(const uint8_t* bytes, size_t size);

// The content of every table entry, in table order. A partition of length 0
// is blank. The first bytes of the first block are read first: a magic
// number there settles it without the blank check. Otherwise the blank check
// runs block by block as the "Check for Blank" command does, up to the first
// block that is not erased. Reads nothing else. The gauge counts the blocks
// of every partition once. Read errors throw TFileError.
std::vector<TPartitionContent> DetectPartitionContents(const TExportContext& ctx,
                                                       const TQualcomMIBIB& table);

}  // namespace kovra
