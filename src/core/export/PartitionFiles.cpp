#include "export/PartitionFiles.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>

#include "export/ExportSupport.h"

namespace kovra {

using namespace exportdetail;

namespace {

bool ForbiddenInFileName(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
      return true;
    default:
      return false;
  }
}

const TPartitionDescriptor& DescriptorAt(const std::vector<TPartitionDescriptor>& descriptors,
                                         size_t index) {
  if (index >= descriptors.size())
    throw std::out_of_range("No partition at row " + std::to_string(index));
  return descriptors[index];
}

}  // namespace

std::string SafePartitionFileNamePart(const std::string& partitionName) {
  std::string out = partitionName;
  for (size_t i = 0; i < out.size(); ++i) {
    if (ForbiddenInFileName(static_cast<unsigned char>(partitionName[i]))) {
      out[i] = '_';
    } else if (partitionName[i] == '.') {
      const bool dotBefore = i > 0 && partitionName[i - 1] == '.';
      const bool dotAfter = i + 1 < partitionName.size() && partitionName[i + 1] == '.';
      if (dotBefore || dotAfter) out[i] = '_';
    }
  }
  return out;
}

std::string PartitionFileName(const std::string& prefix, uint32_t mainOffset,
                              const std::string& partitionName) {
  char number[16];
  std::snprintf(number, sizeof number, "%012lX", static_cast<unsigned long>(mainOffset));
  return prefix + number + "_" + SafePartitionFileNamePart(partitionName) + ".bin";
}

namespace {

// One partition's file. steps: the buffer of the large steps, made on the
// first use and kept for the next partitions of a save of all.
void CopyPartition(const TExportContext& ctx, const TPartitionExtent& extent, bool saveMain,
                   bool saveRedu, const std::string& outputPath, std::optional<TStepBuffer>& steps) {
  TExportHooks& hooks = HooksOf(ctx);
  const uint32_t blockSize = ctx.Geometry.BlockSize;
  // Refuses a context without a loaded image and leaves the shared transfer
  // buffer one block long; the steps go through a buffer of their own.
  TBlockBuffer buffer(ctx);
  RefuseOutputOntoImage(ctx, outputPath);
  std::unique_ptr<TReadableFile> image = OpenerOf(ctx).OpenForReading(ctx.LoadedImageName);
  std::unique_ptr<TWritableFile> output = CreatorOf(ctx).CreateForWriting(outputPath);
  if (!steps) steps.emplace(ctx.Geometry, kCopyStepBytes);

  // Each stretch is copied as if block by block (the gauge and the window's
  // messages once per block, the same bytes and errors), in large steps.
  const auto counted = [&hooks] {
    hooks.StepGauge(1);
    hooks.ProcessMessages();
  };
  if (saveMain)
    output->CopyFrom(*image, extent.MainOffset, extent.MainLength, blockSize, steps->Data(), steps->MainSize(),
                     counted);
  if (saveRedu) {
    // The spare pass moves the gauge only when it is the file's only pass, so
    // that every kind counts each block once.
    const std::function<void()> silent = [] {};
    output->CopyFrom(*image, extent.SpareOffset, SpareBytesOf(extent.MainLength, blockSize), blockSize / 32,
                     steps->Data(), steps->MainSize(), saveMain ? silent : std::function<void()>(counted));
  }
  output->Close();
}

}  // namespace

void CopyPartitionIntoFile(const TExportContext& ctx, const TPartitionExtent& extent,
                           bool saveMain, bool saveRedu, const std::string& outputPath) {
  std::optional<TStepBuffer> steps;
  CopyPartition(ctx, extent, saveMain, saveRedu, outputPath, steps);
}

std::string SavePartitionDataIntoFile(const TExportContext& ctx, const TQualcomMIBIB& table,
                                      const std::vector<TPartitionDescriptor>& descriptors,
                                      size_t index, bool saveMain, bool saveRedu,
                                      const std::string& prefix) {
  const TPartitionDescriptor& descriptor = DescriptorAt(descriptors, index);
  if (index >= table.Entries.size())
    throw std::out_of_range("No table entry at row " + std::to_string(index));
  const TPartitionExtent extent = PartitionExtent(ctx.Geometry, table.Entries[index]);
  TExportHooks& hooks = HooksOf(ctx);
  hooks.SetGaugePosition(0);
  hooks.SetGaugeMax(extent.Blocks);
  const std::string name = PartitionFileName(prefix, extent.MainOffset, descriptor.PartitionName);
  CopyPartitionIntoFile(ctx, extent, saveMain, saveRedu, name);
  return name;
}

std::vector<std::string> SaveAllPartitionsDataIntoFile(
    const TExportContext& ctx, const TQualcomMIBIB& table,
    const std::vector<TPartitionDescriptor>& descriptors, bool saveMain, bool saveRedu,
    const std::string& prefix) {
  TExportHooks& hooks = HooksOf(ctx);
  const size_t count = std::min(table.Entries.size(), descriptors.size());
  hooks.SetGaugePosition(0);
  int64_t max = 0;
  for (size_t i = 0; i < count; ++i) max += PartitionExtent(ctx.Geometry, table.Entries[i]).Blocks;
  hooks.SetGaugeMax(max);

  std::vector<std::string> written;
  std::optional<TStepBuffer> steps;
  for (size_t i = 0; i < count; ++i) {
    const TPartitionExtent extent = PartitionExtent(ctx.Geometry, table.Entries[i]);
    std::string name = PartitionFileName(prefix, extent.MainOffset, descriptors[i].PartitionName);
    CopyPartition(ctx, extent, saveMain, saveRedu, name, steps);
    written.push_back(std::move(name));
  }
  hooks.SetGaugePosition(0);
  return written;
}

}  // namespace kovra
