#include "inspect/ImageDiff.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <stdexcept>

#include "inspect/PartitionArea.h"

namespace kovra {

namespace {

struct TSide {
  TReadableFile& File;
  std::vector<uint8_t>& Buffer;
};

uint32_t FirstDifferingByte(const uint8_t* a, const uint8_t* b, uint32_t size) {
  uint32_t i = 0;
  while (i < size && a[i] == b[i]) ++i;
  return i;
}

// Compares length bytes at offsetA in A with those at offsetB in B, read in
// pieces of at most the buffers' size; unit is the share of one block (its
// main or its spare data) for counting the blocks that differ. The first
// difference is reported as base + its distance from the start.
void CompareArea(TSide a, uint64_t offsetA, TSide b, uint64_t offsetB, uint32_t length,
                 uint32_t unit, uint32_t base, TAreaDiff& diff) {
  const uint32_t piece = static_cast<uint32_t>(a.Buffer.size());
  uint32_t done = 0;
  while (done < length) {
    const uint32_t k = std::min(piece, length - done);
    a.File.ReadAt(offsetA + done, a.Buffer.data(), k);
    b.File.ReadAt(offsetB + done, b.Buffer.data(), k);
    if (std::memcmp(a.Buffer.data(), b.Buffer.data(), k) != 0) {
      for (uint32_t u = 0; u < k; u += unit) {
        const uint32_t n = std::min(unit, k - u);
        if (std::memcmp(a.Buffer.data() + u, b.Buffer.data() + u, n) == 0) continue;
        ++diff.DifferingBlocks;
        if (diff.Identical) {
          diff.Identical = false;
          diff.FirstDifference = base + done + u + FirstDifferingByte(a.Buffer.data() + u, b.Buffer.data() + u, n);
        }
      }
    }
    done += k;
  }
}

// Data that only one side has: the first of it differs, and so does every
// block of it.
void AddOneSidedBlocks(uint32_t commonLength, uint32_t longerLength, uint32_t unit, TAreaDiff& diff) {
  if (longerLength <= commonLength) return;
  const uint32_t extra = longerLength - commonLength;
  diff.DifferingBlocks += extra / unit + (extra % unit != 0 ? 1 : 0);
  if (diff.Identical) {
    diff.Identical = false;
    diff.FirstDifference = commonLength;
  }
}

bool SameEntry(const TQualcommMIBIBEntry& a, const TQualcommMIBIBEntry& b) {
  return a.EntryBase == b.EntryBase && a.EntrySize == b.EntrySize && a.Unknown1 == b.Unknown1;
}

}  // namespace

uint32_t TImageDiff::Count(TDiffStatus status) const {
  return static_cast<uint32_t>(std::count_if(Partitions.begin(), Partitions.end(),
                                             [&](const TPartitionDiff& p) { return p.Status == status; }));
}

bool TImageDiff::Identical() const {
  return Count(TDiffStatus::Identical) == Partitions.size() && OutsideMain.Identical &&
         OutsideSpare.Identical;
}

std::string GeometryMismatchText(const std::string& nameA, const ImageGeometry& a,
                                 const std::string& nameB, const ImageGeometry& b) {
  if (a.PageSize == b.PageSize && a.BlockSize == b.BlockSize && a.BlockCount == b.BlockCount)
    return "";
  auto describe = [](const ImageGeometry& g) {
    return std::to_string(g.PageSize) + "-byte pages, " + HexText(g.BlockSize, 0) + "-byte blocks, " +
           std::to_string(g.BlockCount) + " blocks";
  };
  return "The images differ in geometry and cannot be compared: " + nameA + " has " + describe(a) +
         "; " + nameB + " has " + describe(b);
}

TImageDiff DiffImages(const TImageLoadResult& a, const TImageLoadResult& b, TExportHooks* hooks,
                      TFileOpener* opener) {
  const std::string mismatch =
      GeometryMismatchText(a.LoadedImageName, a.Geometry, b.LoadedImageName, b.Geometry);
  if (!mismatch.empty()) throw std::invalid_argument(mismatch);
  const ImageGeometry& g = a.Geometry;
  if (g.BlockSize == 0) throw std::invalid_argument("No image is loaded (block size 0)");
  TExportHooks silent;
  TExportHooks& h = hooks ? *hooks : silent;
  TFileOpener& files = opener ? *opener : DefaultFileOpener();

  const std::vector<TQualcommMIBIBEntry>& entriesA = a.PartitionTable.Entries;
  const std::vector<TQualcommMIBIBEntry>& entriesB = b.PartitionTable.Entries;
  TImageDiff result;

  // Pair the partitions: the k-th of a name in A with the k-th in B.
  std::map<std::string, std::deque<size_t>> unmatchedB;
  for (size_t j = 0; j < entriesB.size(); ++j) unmatchedB[EntryRawName(entriesB[j])].push_back(j);
  std::vector<bool> matchedB(entriesB.size(), false);
  struct TPair {
    size_t A, B;   // SIZE_MAX: that side lacks it
  };
  std::vector<TPair> pairs;
  for (size_t i = 0; i < entriesA.size(); ++i) {
    std::deque<size_t>& candidates = unmatchedB[EntryRawName(entriesA[i])];
    if (candidates.empty()) {
      pairs.push_back({i, SIZE_MAX});
    } else {
      pairs.push_back({i, candidates.front()});
      matchedB[candidates.front()] = true;
      candidates.pop_front();
    }
  }
  for (size_t j = 0; j < entriesB.size(); ++j)
    if (!matchedB[j]) pairs.push_back({SIZE_MAX, j});

  // The blocks no partition of either table covers.
  std::vector<bool> covered(g.BlockCount, false);
  for (const auto* entries : {&entriesA, &entriesB})
    for (const TQualcommMIBIBEntry& e : *entries) {
      const TPartitionExtent x = PartitionExtent(g, e);
      const uint64_t end = std::min<uint64_t>(uint64_t(x.BegBlock) + x.Blocks, g.BlockCount);
      for (uint64_t blk = x.BegBlock; blk < end; ++blk) covered[blk] = true;
    }
  result.OutsideBlocks = static_cast<uint32_t>(std::count(covered.begin(), covered.end(), false));

  int64_t gaugeMax = result.OutsideBlocks;
  for (const TPair& p : pairs)
    if (p.A != SIZE_MAX && p.B != SIZE_MAX)
      gaugeMax += std::max(PartitionExtent(g, entriesA[p.A]).Blocks, PartitionExtent(g, entriesB[p.B]).Blocks);
  h.SetGaugePosition(0);
  h.SetGaugeMax(gaugeMax);

  std::unique_ptr<TReadableFile> fileA = files.OpenForReading(a.LoadedImageName);
  std::unique_ptr<TReadableFile> fileB = files.OpenForReading(b.LoadedImageName);
  std::vector<uint8_t> bufferA(g.BlockSize), bufferB(g.BlockSize);
  const TSide sideA{*fileA, bufferA}, sideB{*fileB, bufferB};
  const uint32_t spareUnit = g.BlockSize / 32;

  for (const TPair& p : pairs) {
    TPartitionDiff d;
    const TQualcommMIBIBEntry& named = p.A != SIZE_MAX ? entriesA[p.A] : entriesB[p.B];
    const TPartitionDescriptor& descriptor =
        p.A != SIZE_MAX ? a.Descriptors[p.A] : b.Descriptors[p.B];
    d.Name = descriptor.PartitionName;
    d.StoredName = EntryStoredName(named);
    if (p.A != SIZE_MAX) {
      d.PositionA = static_cast<uint32_t>(p.A + 1);
      d.ExtentA = PartitionExtent(g, entriesA[p.A]);
    }
    if (p.B != SIZE_MAX) {
      d.PositionB = static_cast<uint32_t>(p.B + 1);
      d.ExtentB = PartitionExtent(g, entriesB[p.B]);
    }
    if (p.B == SIZE_MAX) {
      d.Status = TDiffStatus::OnlyInA;
    } else if (p.A == SIZE_MAX) {
      d.Status = TDiffStatus::OnlyInB;
    } else {
      d.EntryDiffers = !SameEntry(entriesA[p.A], entriesB[p.B]);
      const TPartitionExtent& xa = d.ExtentA;
      const TPartitionExtent& xb = d.ExtentB;
      const uint32_t common = std::min(xa.MainLength, xb.MainLength);
      const uint32_t longer = std::max(xa.MainLength, xb.MainLength);
      // Main data block by block, the gauge stepping once per block.
      for (uint32_t done = 0; done < common;) {
        const uint32_t k = std::min(g.BlockSize, common - done);
        h.StepGauge(1);
        h.ProcessMessages();
        CompareArea(sideA, uint64_t(xa.MainOffset) + done, sideB, uint64_t(xb.MainOffset) + done, k,
                    g.BlockSize, done, d.Main);
        done += k;
      }
      AddOneSidedBlocks(common, longer, g.BlockSize, d.Main);
      CompareArea(sideA, xa.SpareOffset, sideB, xb.SpareOffset, common / 32, spareUnit, 0, d.Spare);
      AddOneSidedBlocks(common / 32, longer / 32, spareUnit, d.Spare);
      const uint32_t oneSided = (longer - common) / g.BlockSize;
      h.StepGauge(oneSided);
      d.Status = !d.EntryDiffers && d.Main.Identical && d.Spare.Identical ? TDiffStatus::Identical
                                                                           : TDiffStatus::Different;
    }
    result.Partitions.push_back(std::move(d));
  }

  // Runs of uncovered blocks, main data first, then their spare data, each
  // in file order so that the first difference found is the lowest.
  std::vector<std::pair<uint32_t, uint32_t>> runs;   // first block, blocks
  for (uint32_t blk = 0; blk < g.BlockCount;) {
    if (covered[blk]) {
      ++blk;
      continue;
    }
    uint32_t end = blk;
    while (end < g.BlockCount && !covered[end]) ++end;
    runs.emplace_back(blk, end - blk);
    blk = end;
  }
  for (const auto& [first, blocks] : runs)
    for (uint32_t blk = first; blk < first + blocks; ++blk) {
      h.StepGauge(1);
      h.ProcessMessages();
      const uint32_t at = blk * g.BlockSize;
      CompareArea(sideA, at, sideB, at, g.BlockSize, g.BlockSize, at, result.OutsideMain);
    }
  for (const auto& [first, blocks] : runs) {
    const uint32_t at = SpareOffsetOfBlock(g, first);
    CompareArea(sideA, at, sideB, at, blocks * spareUnit, spareUnit, at, result.OutsideSpare);
  }
  h.SetGaugePosition(0);
  return result;
}

}  // namespace kovra
