// The image load over a fuzzed image: geometry search, table, descriptors,
// the list's cell texts, and on small images the partition saves and the
// blank check. Besides not crashing, every file name the saves make must stay
// in the folder the prefix names.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

#include "FuzzImage.h"
#include "export/BlankCheck.h"
#include "export/ImageSave.h"
#include "export/PartitionFiles.h"
#include "image/ImageLoad.h"
#include "ui/CoolItems.h"

using namespace kovra;

namespace {

constexpr char kImageName[] = "image.bin";
constexpr char kPrefix[] = "out/p_";

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
  }
}

// A saved partition's file name: the prefix, twelve hex digits, "_", the
// partition's name made safe, ".bin". Nothing after the prefix leaves its
// folder: no separator, no control character, and no run of dots in the
// name (every dot of one becomes "_").
void CheckFileName(const std::string& name) {
  Check(name.rfind(kPrefix, 0) == 0, "file name keeps the prefix");
  const std::string rest = name.substr(sizeof kPrefix - 1);
  Check(rest.size() >= 12 + 1 + 4, "offset, underscore and extension");
  Check(rest.find_first_not_of("0123456789ABCDEF") == 12 && rest[12] == '_', "twelve hex digits, then _");
  Check(rest.compare(rest.size() - 4, 4, ".bin") == 0, "ends in .bin");
  const std::string part = rest.substr(13, rest.size() - 13 - 4);
  Check(part.find_first_of("/\\:") == std::string::npos, "no separator after the prefix");
  Check(part.find("..") == std::string::npos, "no run of dots");
  for (unsigned char c : part) Check(c >= 0x20 && c != 0x7F, "no control character");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::TFuzzImage image = fuzz::DecodeFuzzImage(data, size);
  fuzz::TFuzzOpener opener(image, kImageName);
  TImageLoadResult r = LoadImageFileAndProcessIt(kImageName, image.Flags & 1, opener);
  if (!r.Ok) {
    Check(!r.FailureText.empty(), "a failure has a text");
    Check(r.LoadedImageName.empty(), "a failed load names no image");
    return 0;
  }
  const uint32_t count = r.PartitionTable.EntriesCount;
  Check(r.Descriptors.size() == count && r.PartitionTable.Entries.size() == count, "one descriptor per entry");
  Check(r.PartitionItems.Count == static_cast<int32_t>(count), "one row per entry");
  Check(count * uint64_t(28) <= r.Geometry.FileSize, "the entries fit in the file");

  // The first rows are enough: a table of thousands of entries would
  // otherwise spend the run here rather than in the load.
  const size_t rows = std::min<size_t>(count, 64);
  for (size_t row = 0; row < rows; ++row)
    for (int col = 0; col < 6; ++col)
      (void)CoolCellPlainText(CoolCellOf(r.PartitionItems, static_cast<int>(row), col));
  for (size_t i = 0; i < rows; ++i) {
    const TPartitionDescriptor& d = r.Descriptors[i];
    Check(d.AddressRange.size() == 64 && d.PartitionSize.size() == 32, "fixed-width texts");
    CheckFileName(PartitionFileName(kPrefix, d.BegBlock * r.Geometry.BlockSize, d.PartitionName));
  }
  (void)DetectHTCPartitionMaybe(r.PartitionTable);

  // Reading whole partitions costs time per byte: only on small images.
  if (r.Geometry.FileSize > 0x100000 || count > 16) return 0;
  fuzz::TDiscardCreator creator;
  TExportContext ctx;
  ctx.LoadedImageName = kImageName;
  ctx.Geometry = r.Geometry;
  ctx.Opener = &opener;
  ctx.Creator = &creator;
  try {
    (void)SaveAllPartitionsDataIntoFile(ctx, r.PartitionTable, r.Descriptors, true, true, kPrefix);
  } catch (const TFileError&) {
  }
  for (const std::string& name : creator.Names) CheckFileName(name);
  try {
    CheckBlanks(ctx, r.PartitionTable, r.Descriptors);
  } catch (const TFileError&) {
  }
  if (image.Flags & 2) {
    try {
      SaveAsImageFile(ctx, "out/copy.bin");
    } catch (const TFileError&) {
    }
  }
  return 0;
}
