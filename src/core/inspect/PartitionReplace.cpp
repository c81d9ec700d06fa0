#include "inspect/PartitionReplace.h"

#include <algorithm>

#include "export/ExportSupport.h"

namespace kovra {

using namespace exportdetail;

namespace {

std::string WhatOf(const TReplacePlan& plan) {
  switch (plan.Kind) {
    case TPartitionDataKind::Main: return plan.PartitionName + " main data";
    case TPartitionDataKind::Spare: return plan.PartitionName + " spare data";
    case TPartitionDataKind::Full: return plan.PartitionName + " main and spare data";
  }
  return plan.PartitionName;
}

}  // namespace

TReplacePlan PlanPartitionReplace(const TExportContext& ctx, const std::string& partitionName,
                                  const TPartitionExtent& extent, TPartitionDataKind kind,
                                  const std::string& fromPath, const std::string& outPath) {
  TReplacePlan plan;
  plan.PartitionName = partitionName;
  plan.Extent = extent;
  plan.Kind = kind;
  plan.FromPath = fromPath;
  plan.OutPath = outPath;
  const ImageGeometry& g = ctx.Geometry;
  if (g.BlockSize == 0)
    throw TFileError("No image is loaded (block size 0): " + ctx.LoadedImageName);

  RefuseOutputOntoImage(ctx, outPath);
  if (CreatorOf(ctx).IsSameFile(fromPath, outPath))
    throw TFileError("Cannot write " + outPath + ": it is the input file " + fromPath +
                     ", which would be emptied before it is read; choose another file name");

  // Blocks past the flash's end are not this partition's: writing there
  // would change other data of the image (its spare area).
  if (uint64_t(extent.BegBlock) + extent.Blocks > g.BlockCount)
    throw TFileError("Partition " + partitionName + " (blocks " + HexText(extent.BegBlock, 4) + ".." +
                     HexText(uint64_t(extent.BegBlock) + extent.Blocks, 4) +
                     " exclusive) reaches past the end of the flash (" + HexText(g.BlockCount, 4) +
                     " blocks) in " + ctx.LoadedImageName + "; nothing was written");

  std::unique_ptr<TReadableFile> image = OpenerOf(ctx).OpenForReading(ctx.LoadedImageName);
  plan.ImageSize = image->Size();
  const uint64_t flashEnd = uint64_t(g.BlockCount) * g.BlockSize * 33 / 32;
  if (plan.ImageSize < flashEnd)
    throw TFileError(ReadBeyondEndText(ctx.LoadedImageName, plan.ImageSize, flashEnd - plan.ImageSize));

  std::unique_ptr<TReadableFile> from = OpenerOf(ctx).OpenForReading(fromPath);
  plan.FromSize = from->Size();
  const uint64_t wanted = PartitionDataFileSize(extent, kind);
  if (plan.FromSize != wanted)
    throw TFileError(fromPath + " holds " + std::to_string(plan.FromSize) + " bytes (" +
                     HexText(plan.FromSize) + "), but " + WhatOf(plan) + " as save writes it is " +
                     std::to_string(wanted) + " bytes (" + HexText(wanted) + "); nothing was written");
  return plan;
}

void WriteReplacedImage(const TExportContext& ctx, const TReplacePlan& plan, bool* outputCreated) {
  TExportHooks& hooks = HooksOf(ctx);
  const uint32_t blockSize = ctx.Geometry.BlockSize;
  TBlockBuffer buffer(ctx);
  std::unique_ptr<TReadableFile> image = OpenerOf(ctx).OpenForReading(ctx.LoadedImageName);
  std::unique_ptr<TReadableFile> from = OpenerOf(ctx).OpenForReading(plan.FromPath);
  if (image->Size() != plan.ImageSize || from->Size() != plan.FromSize)
    throw TFileError("The image or " + plan.FromPath + " changed size since they were checked");

  // Where FILE's bytes go: stretches of OUT, each with its start in FILE.
  struct TStretch {
    uint64_t Out, Length, From;
  };
  std::vector<TStretch> stretches;
  const bool main = plan.Kind != TPartitionDataKind::Spare;
  const bool spare = plan.Kind != TPartitionDataKind::Main;
  if (main) stretches.push_back({plan.Extent.MainOffset, plan.Extent.MainLength, 0});
  if (spare)
    stretches.push_back({plan.Extent.SpareOffset, plan.Extent.SpareLength,
                         main ? uint64_t(plan.Extent.MainLength) : 0});

  const uint64_t size = plan.ImageSize;
  hooks.SetGaugePosition(0);
  hooks.SetGaugeMax(int64_t(size / blockSize) + 1);
  std::unique_ptr<TWritableFile> output = CreatorOf(ctx).CreateForWriting(plan.OutPath);
  if (outputCreated) *outputCreated = true;
  uint64_t at = 0;
  while (at < size) {
    // The piece ends at a stretch's edge, so that it has one source.
    uint64_t end = std::min<uint64_t>(size, at + blockSize);
    const TStretch* source = nullptr;
    for (const TStretch& s : stretches) {
      if (s.Length == 0) continue;
      if (at >= s.Out && at < s.Out + s.Length) {
        source = &s;
        end = std::min(end, s.Out + s.Length);
      } else if (s.Out > at) {
        end = std::min(end, s.Out);
      }
    }
    const size_t k = static_cast<size_t>(end - at);
    hooks.StepGauge(1);
    hooks.ProcessMessages();
    if (source) from->ReadAt(source->From + (at - source->Out), buffer.Data(), k);
    else image->ReadAt(at, buffer.Data(), k);
    output->Write(buffer.Data(), k);
    at = end;
  }
  output->Close();
  hooks.SetGaugePosition(0);
}

}  // namespace kovra
