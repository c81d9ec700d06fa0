#pragma once
// Two loaded images of one geometry compared partition by partition: A's
// table in order, each partition matched to B's by its stored name (the k-th
// partition of a name in A to the k-th of that name in B), then B's
// partitions that A lacks, then the blocks that no partition of either table
// covers. Main and spare data are compared one block of each image at a
// time; memory does not grow with the images.
#include <cstdint>
#include <string>
#include <vector>

#include "export/ExportHooks.h"
#include "image/ImageLoad.h"

namespace kovra {

struct TAreaDiff {
  bool Identical = true;
  uint32_t FirstDifference = 0;   // offset of the first differing byte (when not Identical)
  uint32_t DifferingBlocks = 0;   // blocks whose data of this kind differ
};

enum class TDiffStatus { Identical, Different, OnlyInA, OnlyInB };

struct TPartitionDiff {
  std::string Name;          // as listed ("BOOT")
  std::string StoredName;    // as stored ("0:BOOT")
  uint32_t PositionA = 0;    // 1-based place in A's table, 0 when A lacks it
  uint32_t PositionB = 0;
  TDiffStatus Status = TDiffStatus::Identical;
  // The two table entries place or size the partition differently (or their
  // attribute words differ). The data are then compared block by block from
  // each side's own first block; blocks that only one side has count as
  // differing.
  bool EntryDiffers = false;
  TPartitionExtent ExtentA, ExtentB;
  TAreaDiff Main;            // offsets within the partition's main data
  TAreaDiff Spare;           // offsets within its spare data
};

struct TImageDiff {
  std::vector<TPartitionDiff> Partitions;
  // Blocks that no partition of either table covers, compared in place;
  // offsets here are offsets in the image file.
  uint32_t OutsideBlocks = 0;
  TAreaDiff OutsideMain, OutsideSpare;

  uint32_t Count(TDiffStatus status) const;
  // Every partition on both sides and identical, and so are the blocks
  // outside the partitions.
  bool Identical() const;
};

// "" when the two geometries match (page size, block size, block count);
// otherwise the text that says how they differ.
std::string GeometryMismatchText(const std::string& nameA, const ImageGeometry& a,
                                 const std::string& nameB, const ImageGeometry& b);

// Compares the images of two successful loads of the same geometry (checked
// again here: std::invalid_argument with the mismatch text). The gauge counts
// one step per block compared. Read errors throw TFileError.
TImageDiff DiffImages(const TImageLoadResult& a, const TImageLoadResult& b,
                      TExportHooks* hooks = nullptr, TFileOpener* opener = nullptr);

}  // namespace kovra
