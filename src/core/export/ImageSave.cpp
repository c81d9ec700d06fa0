#include "export/ImageSave.h"

#include <algorithm>

#include "export/ExportSupport.h"

namespace kovra {

using namespace exportdetail;

TImageSavePlan ImageSavePlan(const ImageGeometry& geometry) {
  TImageSavePlan plan;
  plan.MainBytes = geometry.BlockCount * geometry.BlockSize;
  plan.SpareBytes = plan.MainBytes / 32;
  plan.MainPieces = geometry.BlockCount;
  if (geometry.BlockSize != 0)
    plan.SparePieces = plan.SpareBytes / geometry.BlockSize +
                       (plan.SpareBytes % geometry.BlockSize != 0 ? 1 : 0);
  return plan;
}

void SaveAsImageFile(const TExportContext& ctx, const std::string& target) {
  TExportHooks& hooks = HooksOf(ctx);
  const uint32_t blockSize = ctx.Geometry.BlockSize;
  // Refuses a context without a loaded image and leaves the shared transfer
  // buffer one block long; the steps go through a buffer of their own.
  TBlockBuffer buffer(ctx);
  RefuseOutputOntoImage(ctx, target);
  const TImageSavePlan plan = ImageSavePlan(ctx.Geometry);

  hooks.SetGaugePosition(0);
  hooks.SetGaugeMax(plan.GaugeMax());
  hooks.SetStatusText(kTextSavingToFile);
  hooks.AppendLogLine("");
  hooks.AppendLogLine(kTextSavingToFile);

  std::unique_ptr<TReadableFile> image = OpenerOf(ctx).OpenForReading(ctx.LoadedImageName);
  std::unique_ptr<TWritableFile> output = CreatorOf(ctx).CreateForWriting(target);

  // As if piece by piece (the gauge and the window's messages once per
  // piece, the same bytes and errors), in large steps.
  TStepBuffer steps(ctx.Geometry, kCopyStepBytes);
  const auto counted = [&hooks] {
    hooks.StepGauge(1);
    hooks.ProcessMessages();
  };
  output->CopyFrom(*image, 0, plan.MainBytes, blockSize, steps.Data(), steps.MainSize(), counted);
  output->CopyFrom(*image, plan.MainBytes, plan.SpareBytes, blockSize, steps.Data(), steps.MainSize(), counted);
  output->Close();
  image.reset();

  hooks.AppendToLastLogLine(kTextSavedOK);
  hooks.SetStatusText(kTextCompleteOK);
  hooks.Wait(100);
  hooks.SetGaugePosition(0);
}

}  // namespace kovra
