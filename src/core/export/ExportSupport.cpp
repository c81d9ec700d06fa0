#include "export/ExportSupport.h"

#include <new>
#include <stdexcept>

namespace kovra::exportdetail {

namespace {
constexpr std::align_val_t kPage{4096};
}

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

TStepBuffer::TStepBuffer(const ImageGeometry& geometry, uint32_t bytes) {
  const uint32_t blockSize = geometry.BlockSize;
  if (blockSize == 0) throw std::invalid_argument("No image is loaded (block size 0)");
  fBlocks = bytes / blockSize != 0 ? bytes / blockSize : 1;
  fMainSize = size_t(fBlocks) * blockSize;
  fSize = fMainSize + fMainSize / 32;
  fData.reset(static_cast<uint8_t*>(::operator new(fSize, kPage)));
}

void TStepBuffer::TFree::operator()(uint8_t* p) const { ::operator delete(p, kPage); }

uint32_t SpareBytesOf(uint32_t mainLength, uint32_t blockSize) {
  if (blockSize == 0) return 0;
  return mainLength / blockSize * (blockSize / 32) + mainLength % blockSize / 32;
}

void RefuseOutputOntoImage(const TExportContext& ctx, const std::string& outputPath) {
  if (CreatorOf(ctx).IsSameFile(ctx.LoadedImageName, outputPath))
    throw TFileError("Cannot write to the loaded image itself: " + outputPath +
                     " is the image file " + ctx.LoadedImageName +
                     "; choose another file name");
}

}  // namespace kovra::exportdetail
