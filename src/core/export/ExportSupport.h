#pragma once
// Plumbing shared by the export commands (not part of their interface).
#include <cstdint>
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

// Refuses an output file that is the loaded image under any name: creating it
// would empty the image while it is being read.
void RefuseOutputOntoImage(const TExportContext& ctx, const std::string& outputPath);

}  // namespace kovra::exportdetail
