#pragma once
// Partition data files: the main data, the spare data, or both (main first)
// of one partition or of every partition, cut raw out of the loaded image.
#include <cstdint>
#include <string>
#include <vector>

#include "export/ExportHooks.h"
#include "image/ImageTypes.h"

namespace kovra {

// The name part made from a partition name stored in the image. The image is
// untrusted, and the name must not lead the file out of the prefix's folder
// or make a name Windows refuses, so each of these bytes becomes "_":
//   / \ : * ? " < > |, control characters (0x00-0x1F, 0x7F), and every dot
//   of a run of two or more dots ("..").
// Every other byte, UTF-8 included, is kept as it is.
std::string SafePartitionFileNamePart(const std::string& partitionName);

// prefix + M as exactly 12 upper-case hex digits + "_" + name + ".bin"; the
// number is the main offset also for spare files.
std::string PartitionFileName(const std::string& prefix, uint32_t mainOffset,
                              const std::string& partitionName);

// Copies one partition into outputPath (created or emptied): with saveMain
// its main data, with saveRedu its spare data, both: main first. The gauge
// advances once per block; messages are processed per block of the counted
// pass. Throws TFileError; what was written stays.
void CopyPartitionIntoFile(const TExportContext& ctx, const TPartitionExtent& extent,
                           bool saveMain, bool saveRedu, const std::string& outputPath);

// Saves the partition of table entry `index` under the name made from prefix;
// gauge: position 0, maximum its block count, left full. Returns the file name.
std::string SavePartitionDataIntoFile(const TExportContext& ctx, const TQualcomMIBIB& table,
                                      const std::vector<TPartitionDescriptor>& descriptors,
                                      size_t index, bool saveMain, bool saveRedu,
                                      const std::string& prefix);

// Saves every partition in table order, one file each; gauge maximum the sum
// of the block counts, position 0 at the end. A failure ends the command:
// the partitions after it are not saved. Returns the file names written.
std::vector<std::string> SaveAllPartitionsDataIntoFile(
    const TExportContext& ctx, const TQualcomMIBIB& table,
    const std::vector<TPartitionDescriptor>& descriptors, bool saveMain, bool saveRedu,
    const std::string& prefix);

}  // namespace kovra
