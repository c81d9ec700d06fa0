#pragma once
// A copy of the loaded image in which one partition's data of one kind are
// the bytes of a file, as `save` writes that kind: main data, spare data, or
// main data followed by spare data. Everything else of the image, the bytes
// after the last whole block included, is copied as it is, so that saving a
// partition and putting the file back gives the image byte for byte. The
// image is only read.
#include <cstdint>
#include <string>

#include "export/ExportHooks.h"
#include "inspect/PartitionArea.h"

namespace kovra {

struct TReplacePlan {
  std::string PartitionName;
  TPartitionExtent Extent;
  TPartitionDataKind Kind = TPartitionDataKind::Main;
  std::string FromPath;
  std::string OutPath;
  uint64_t ImageSize = 0;
  uint64_t FromSize = 0;
};

// Checks everything before a byte is written, and throws TFileError with the
// reason: OUT is the image or FILE under any name or link; FILE cannot be
// read or its size is not the size `save` writes for this partition and kind;
// the partition does not lie inside the flash (its blocks past BlockCount
// would be other data of the image); the image is shorter than its blocks.
TReplacePlan PlanPartitionReplace(const TExportContext& ctx, const std::string& partitionName,
                                  const TPartitionExtent& extent, TPartitionDataKind kind,
                                  const std::string& fromPath, const std::string& outPath);

// Writes OUT (created or emptied) as planned, one block at a time; the gauge
// counts the pieces copied. Throws TFileError; what was written stays, so the
// caller removes OUT when this fails after outputCreated was set (and only
// then: before that, OUT may be a file or folder this command never touched).
void WriteReplacedImage(const TExportContext& ctx, const TReplacePlan& plan,
                        bool* outputCreated = nullptr);

}  // namespace kovra
