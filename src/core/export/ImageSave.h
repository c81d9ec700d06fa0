#pragma once
// Saving the loaded image as a full-flash image file: the main data of all
// whole blocks (T = BlockCount * BlockSize bytes), then their spare data
// (T / 32 bytes); everything past them is left out.
#include <cstdint>
#include <string>

#include "export/ExportHooks.h"

namespace kovra {

inline constexpr char kTextSavingToFile[] = "Saving to File...";
inline constexpr char kTextSavedOK[] = "OK";
inline constexpr char kTextCompleteOK[] = "Complete OK";

// The pieces the copy moves, each at most one block.
struct TImageSavePlan {
  uint32_t MainBytes = 0;    // T
  uint32_t SpareBytes = 0;   // T / 32
  uint32_t MainPieces = 0;   // BlockCount
  uint32_t SparePieces = 0;  // T / 32 in pieces of BlockSize, the last one shorter
  int64_t GaugeMax() const { return int64_t(MainPieces) + SparePieces; }
};
TImageSavePlan ImageSavePlan(const ImageGeometry& geometry);

// Copies the loaded image into target (created or emptied). Log: an empty
// line and "Saving to File...", then "OK" appended to that line at the end;
// status "Saving to File..." then "Complete OK"; gauge maximum the number of
// pieces, one step each, 0 at the end. A target that is the loaded image
// itself (under any name or link) is refused before anything is written.
// File errors throw TFileError; the new file keeps what was written and the
// log line stays without "OK".
void SaveAsImageFile(const TExportContext& ctx, const std::string& target);

}  // namespace kovra
