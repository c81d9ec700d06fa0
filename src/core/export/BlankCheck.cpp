#include "export/BlankCheck.h"

#include <algorithm>
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

void CheckBlanks(const TExportContext& ctx, const TQualcomMIBIB& table,
                 std::vector<TPartitionDescriptor>& descriptors) {
  TExportHooks& hooks = HooksOf(ctx);
  const uint32_t blockSize = ctx.Geometry.BlockSize;
  TBlockBuffer buffer(ctx);
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

  bool found = false;
  for (size_t i = 0; i < count; ++i) {
    hooks.ReplaceLastLogLine(head + std::to_string(i + 1) + "/" + std::to_string(count));
    hooks.Wait(30);
    hooks.ProcessMessages();

    const TPartitionExtent extent = PartitionExtent(ctx.Geometry, table.Entries[i]);
    uint32_t a = extent.MainOffset;
    uint32_t b = extent.SpareOffset;
    uint32_t rest = extent.MainLength;
    int64_t counted = 0;
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
    descriptors[i].IsBlank = rest == 0;
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
