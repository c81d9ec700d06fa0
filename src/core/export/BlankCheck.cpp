#include "export/BlankCheck.h"

#include <algorithm>
#include <memory>
#include <cstring>

#include "export/ExportSupport.h"

namespace kovra {

using namespace exportdetail;

namespace {

constexpr uint64_t kAllOnes = ~uint64_t(0);
// Whole words are AND-ed over a stretch before one test: four independent
// chains that the compiler turns into wide vector code, about four times the
// speed of one chain. A stretch is small enough to stay in cache, and large
// enough that the test between stretches costs nothing.
constexpr size_t kStretch = 4096;

uint64_t Word(const uint8_t* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// Bytes 14 and 15 of a group in the second word of that group, whatever the
// byte order of the machine.
uint64_t UnexaminedSpareMask() {
  const uint8_t bytes[8] = {0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  return Word(bytes);
}

bool StretchAllOnes(const uint8_t* p, size_t size) {
  uint64_t a = kAllOnes, b = kAllOnes, c = kAllOnes, d = kAllOnes;
  for (size_t i = 0; i < size; i += 32) {
    a &= Word(p + i);
    b &= Word(p + i + 8);
    c &= Word(p + i + 16);
    d &= Word(p + i + 24);
  }
  return (a & b & c & d) == kAllOnes;
}

bool StretchSpareBlank(const uint8_t* p, size_t groups, uint64_t mask) {
  uint64_t acc = kAllOnes;
  for (size_t g = 0; g < groups; ++g) acc &= Word(p + 16 * g) & (Word(p + 16 * g + 8) | mask);
  return acc == kAllOnes;
}

}  // namespace

bool IsMainDataBlank(const uint8_t* data, size_t size) {
  size_t i = 0;
  for (; size - i >= kStretch; i += kStretch)
    if (!StretchAllOnes(data + i, kStretch)) return false;
  for (; size - i >= 8; i += 8)
    if (Word(data + i) != kAllOnes) return false;
  for (; i < size; ++i)
    if (data[i] != 0xFF) return false;
  return true;
}

bool IsSpareDataBlank(const uint8_t* data, size_t size, size_t groupStart) {
  size_t i = 0;
  groupStart %= 16;
  // Up to the first whole group.
  for (; groupStart != 0 && i < size; ++i, groupStart = (groupStart + 1) % 16)
    if (groupStart < 14 && data[i] != 0xFF) return false;
  const uint64_t mask = UnexaminedSpareMask();
  for (; size - i >= kStretch; i += kStretch)
    if (!StretchSpareBlank(data + i, kStretch / 16, mask)) return false;
  for (; size - i >= 16; i += 16)
    if (!StretchSpareBlank(data + i, 1, mask)) return false;
  for (size_t g = 0; i < size; ++i, ++g)
    if (g < 14 && data[i] != 0xFF) return false;
  return true;
}

bool CheckMainImageRangeToBeBlank(TReadableFile& image, uint32_t addr, uint32_t leng,
                                  uint8_t* buffer, uint32_t pieceSize) {
  uint64_t at = addr;
  for (uint32_t rest = leng; rest != 0;) {
    const uint32_t k = std::min(pieceSize, rest);
    image.ReadAt(at, buffer, k);
    if (!IsMainDataBlank(buffer, k)) return false;
    at += k;
    rest -= k;
  }
  return true;
}

bool CheckReduImageRangeToBeBlank(TReadableFile& image, uint32_t addr, uint32_t leng,
                                  uint8_t* buffer, uint32_t pieceSize) {
  uint64_t at = addr;
  uint64_t done = 0;
  for (uint32_t rest = leng; rest != 0;) {
    const uint32_t k = std::min(pieceSize, rest);
    image.ReadAt(at, buffer, k);
    if (!IsSpareDataBlank(buffer, k, done % 16)) return false;
    at += k;
    done += k;
    rest -= k;
  }
  return true;
}

std::string BlankListLine(const TPartitionDescriptor& descriptor) {
  return "  Partition: " + descriptor.PartitionName + " at " + descriptor.AddressRange;
}

namespace {

// Walks one partition's blocks for the blank check, reading ahead only while
// it keeps finding erased flash.
class TPartitionWalk {
 public:
  static constexpr uint64_t kWrap = uint64_t(1) << 32;

  TPartitionWalk(TReadableFile& image, uint32_t blockSize, uint8_t* blockBuffer, TStepBuffer& steps,
                 TExportHooks& hooks)
      : fImage(image), fBlockSize(blockSize), fBlock(blockBuffer), fSteps(steps), fHooks(hooks) {}

  // True when every block is blank. Counted: the blocks the gauge advanced
  // for, every block up to and including the first one that is not blank.
  bool IsBlank(const TPartitionExtent& extent, int64_t& counted) {
    uint32_t a = extent.MainOffset;
    uint32_t b = extent.SpareOffset;
    uint32_t rest = extent.MainLength;
    // One block first: a partition with data in its first block costs no
    // more than that. Each read that finds only erased flash doubles the next.
    uint32_t next = 1;
    while (rest != 0) {
      const uint32_t left = rest / fBlockSize + (rest % fBlockSize != 0 ? 1 : 0);
      const uint32_t blocks = std::min({next, left, fSteps.Blocks()});
      const uint32_t length = uint64_t(blocks) * fBlockSize < rest ? blocks * fBlockSize : rest;
      uint32_t passed = 0;
      // Offsets are 32-bit and wrap from block to block; a read that would
      // run past 4 GiB goes block by block, as the offsets do.
      bool ahead = uint64_t(a) + length <= kWrap && uint64_t(b) + SpareBytesOf(length, fBlockSize) <= kWrap;
      if (ahead) {
        try {
          passed = PassingBlocks(a, b, length, blocks);
        } catch (const TFileError&) {
          ahead = false;
        }
      }
      if (ahead) {
        for (uint32_t i = 0; i < (passed < blocks ? passed + 1 : blocks); ++i) Step(counted);
      } else {
        // Block by block, as the check goes without reading ahead: after a
        // failed read the same error from the same block, with the gauge
        // where it stood then.
        passed = BlockByBlock(a, b, length, counted);
      }
      if (passed < blocks) return false;
      a += length;
      b += SpareBytesOf(length, fBlockSize);
      rest -= length;
      next = static_cast<uint32_t>(std::min<uint64_t>(uint64_t(next) * 2, fSteps.Blocks()));
    }
    return true;
  }

 private:
  void Step(int64_t& counted) {
    fHooks.StepGauge(1);
    ++counted;
    fHooks.ProcessMessages();
  }

  uint32_t BlockLength(uint32_t length, uint32_t i) const {
    return std::min(fBlockSize, length - i * fBlockSize);
  }

  // How many of the blocks in the `length` bytes at a (spare data at b) are
  // blank before the first one that is not; blocks when all are. A block's
  // spare data is read only when its main data is erased.
  uint32_t PassingBlocks(uint32_t a, uint32_t b, uint32_t length, uint32_t blocks) {
    uint8_t* main = fSteps.Main();
    fImage.ReadAt(a, main, length);
    uint32_t passed = blocks;
    if (!IsMainDataBlank(main, length)) {
      passed = 0;
      while (IsMainDataBlank(main + size_t(passed) * fBlockSize, BlockLength(length, passed))) ++passed;
    }
    if (passed == 0) return 0;
    const uint32_t mainPassed = passed == blocks ? length : passed * fBlockSize;
    const uint32_t spareLength = SpareBytesOf(mainPassed, fBlockSize);
    uint8_t* spare = fSteps.Spare();
    fImage.ReadAt(b, spare, spareLength);
    // Groups are counted from the start of each block's spare data; when a
    // block's spare data is whole groups, the blocks run as one range.
    const uint32_t blockSpare = fBlockSize / 32;
    if (blockSpare % 16 == 0 && IsSpareDataBlank(spare, spareLength)) return passed;
    for (uint32_t i = 0; i < passed; ++i)
      if (!IsSpareDataBlank(spare + size_t(i) * blockSpare, BlockLength(length, i) / 32)) return i;
    return passed;
  }

  // The check without reading ahead: per block the gauge, the window's
  // messages, then the block's main data and its spare data.
  uint32_t BlockByBlock(uint32_t a, uint32_t b, uint32_t length, int64_t& counted) {
    uint32_t passed = 0;
    for (uint32_t done = 0; done < length; ++passed) {
      const uint32_t k = std::min(fBlockSize, length - done);
      Step(counted);
      if (!CheckMainImageRangeToBeBlank(fImage, a + done, k, fBlock, fBlockSize)) break;
      if (!CheckReduImageRangeToBeBlank(fImage, b, k / 32, fBlock, fBlockSize)) break;
      b += k / 32;
      done += k;
    }
    return passed;
  }

  TReadableFile& fImage;
  uint32_t fBlockSize;
  uint8_t* fBlock;
  TStepBuffer& fSteps;
  TExportHooks& fHooks;
};

}  // namespace

void CheckBlanks(const TExportContext& ctx, const TQualcomMIBIB& table,
                 std::vector<TPartitionDescriptor>& descriptors) {
  TExportHooks& hooks = HooksOf(ctx);
  TBlockBuffer buffer(ctx);
  TStepBuffer steps(ctx.Geometry, kBlankReadAheadBytes);
  const size_t count = std::min(table.Entries.size(), descriptors.size());

  hooks.AppendLogLine("");
  hooks.AppendLogLine(kTextCheckingBlank);
  const std::string head = kTextCheckingBlank;

  hooks.SetGaugePosition(0);
  int64_t max = 0;
  for (size_t i = 0; i < count; ++i) max += PartitionExtent(ctx.Geometry, table.Entries[i]).Blocks;
  hooks.SetGaugeMax(max);

  // One open for the whole check: the range tests would otherwise open the
  // image twice per block, which costs more than reading an erased block.
  std::unique_ptr<TReadableFile> image = OpenerOf(ctx).OpenForReading(ctx.LoadedImageName);
  TPartitionWalk walk(*image, ctx.Geometry.BlockSize, buffer.Data(), steps, hooks);

  bool found = false;
  for (size_t i = 0; i < count; ++i) {
    hooks.ReplaceLastLogLine(head + std::to_string(i + 1) + "/" + std::to_string(count));
    hooks.Wait(30);
    hooks.ProcessMessages();

    const TPartitionExtent extent = PartitionExtent(ctx.Geometry, table.Entries[i]);
    int64_t counted = 0;
    descriptors[i].IsBlank = walk.IsBlank(extent, counted);
    found = found || descriptors[i].IsBlank;
    hooks.StepGauge(std::max<int64_t>(0, int64_t(extent.Blocks) - counted));
    hooks.ProcessMessages();
  }

  hooks.ReplaceLastLogLine(head + kTextCheckComplete);
  if (found) {
    hooks.AppendLogLine(kTextBlankFound);
    for (size_t i = 0; i < count; ++i)
      if (descriptors[i].IsBlank) hooks.AppendLogLine(BlankListLine(descriptors[i]));
  } else {
    hooks.AppendLogLine(kTextNoBlankFound);
  }
  hooks.SetGaugePosition(0);
}

}  // namespace kovra
