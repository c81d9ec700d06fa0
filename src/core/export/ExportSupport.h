#pragma once
// Plumbing shared by the export commands (not part of their interface).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "export/ExportHooks.h"

namespace kovra::exportdetail {

TExportHooks& HooksOf(const TExportContext& ctx);
TFileOpener& OpenerOf(const TExportContext& ctx);
TFileCreator& CreatorOf(const TExportContext& ctx);

// The shared transfer buffer (or own when the context has none), sized to
// one block. Throws when there is no loaded geometry: a block size of 0 would
// make every copy loop spin forever.
class TBlockBuffer {
 public:
  explicit TBlockBuffer(const TExportContext& ctx);
  uint8_t* Data() { return fBuffer->data(); }

 private:
  std::vector<uint8_t> fOwn;
  std::vector<uint8_t>* fBuffer;
};

// The buffer of the large steps: main data of up to `bytes` bytes in whole
// blocks (one block at least), and after it room for their spare data.
// Allocated once per command and not filled: a copy inside the system never
// touches it. It starts on a page: the system copies into a buffer that is
// not aligned at about half the speed.
class TStepBuffer {
 public:
  TStepBuffer(const ImageGeometry& geometry, uint32_t bytes);
  uint32_t Blocks() const { return fBlocks; }
  uint8_t* Main() { return fData.get(); }
  uint8_t* Spare() { return fData.get() + fMainSize; }
  uint8_t* Data() { return fData.get(); }
  size_t Size() const { return fSize; }
  size_t MainSize() const { return fMainSize; }

 private:
  uint32_t fBlocks;
  size_t fMainSize;
  size_t fSize;
  struct TFree {
    void operator()(uint8_t* p) const;
  };
  std::unique_ptr<uint8_t[], TFree> fData;
};

// Main data a copy moves per step: a few system calls for the whole image,
// and the gauge still moves many times a second.
inline constexpr uint32_t kCopyStepBytes = 0x400000;
// The largest read of the blank check: small enough that what it read is
// still in the processor's cache when it is examined.
inline constexpr uint32_t kBlankReadAheadBytes = 0x100000;

// Spare bytes of `mainLength` bytes of main data taken block by block, as
// every command counts them: BlockSize / 32 for each whole block, and a
// thirty-second of a last, shorter one.
uint32_t SpareBytesOf(uint32_t mainLength, uint32_t blockSize);

// Refuses an output file that is the loaded image under any name: creating it
// would empty the image while it is being read.
void RefuseOutputOntoImage(const TExportContext& ctx, const std::string& outputPath);

}  // namespace kovra::exportdetail
