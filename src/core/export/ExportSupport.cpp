#include "export/ExportSupport.h"

#include <stdexcept>

namespace kovra::exportdetail {

TExportHooks& HooksOf(const TExportContext& ctx) {
  static TExportHooks silent;
  return ctx.Hooks ? *ctx.Hooks : silent;
}

TFileOpener& OpenerOf(const TExportContext& ctx) {
  return ctx.Opener ? *ctx.Opener : DefaultFileOpener();
}

TFileCreator& CreatorOf(const TExportContext& ctx) {
  return ctx.Creator ? *ctx.Creator : DefaultFileCreator();
}

TBlockBuffer::TBlockBuffer(const TExportContext& ctx)
    : fBuffer(ctx.TransferBuffer ? ctx.TransferBuffer : &fOwn) {
  if (ctx.Geometry.BlockSize == 0)
    throw std::invalid_argument("No image is loaded (block size 0): " + ctx.LoadedImageName);
  fBuffer->resize(ctx.Geometry.BlockSize);
}

void RefuseOutputOntoImage(const TExportContext& ctx, const std::string& outputPath) {
  if (CreatorOf(ctx).IsSameFile(ctx.LoadedImageName, outputPath))
    throw TFileError("Cannot write to the loaded image itself: " + outputPath +
                     " is the image file " + ctx.LoadedImageName +
                     "; choose another file name");
}

}  // namespace kovra::exportdetail
