#pragma once
// Loaded virtual images of the three geometries for the inspection tests:
// the table at page 1 of block 0, everything erased unless patched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/ExportHooks.h"
#include "image/ImageLoad.h"
#include "image_test_support.h"

namespace kovra::testing {

struct TGeometryCase {
  const char* Name;
  uint32_t PageSize, BlockSize, BlockCount;
  uint64_t FileSize() const { return uint64_t(BlockCount) * BlockSize / 32 * 33; }
  uint64_t MainSize() const { return uint64_t(BlockCount) * BlockSize; }
  // Offset of block b's spare data.
  uint64_t SpareOf(uint64_t block) const { return MainSize() + block * BlockSize / 32; }
};

inline void PrintTo(const TGeometryCase& g, std::ostream* os) { *os << g.Name; }

// Large enough for the first geometry's 24 table probes (0x2E0810 bytes).
inline constexpr TGeometryCase kGeometryCases[] = {
    {"2048-byte pages, 0x20000-byte blocks", 2048, 0x20000, 32},
    {"512-byte pages, 0x4000-byte blocks", 512, 0x4000, 256},
    {"4096-byte pages, 0x40000-byte blocks", 4096, 0x40000, 32},
};

inline TVirtualImage GeometryImage(const TGeometryCase& g, const std::vector<samples::TSampleEntry>& entries,
                                   uint64_t extraBytes = 0) {
  TVirtualImage image{g.FileSize() + extraBytes, {}};
  image.Put(g.PageSize, TableBytes(entries));
  return image;
}

// Loads name from the opener; the test fails when it does not load.
inline TImageLoadResult LoadNamed(TVirtualOpener& opener, const std::string& name) {
  TImageLoadResult r = LoadImageFileAndProcessIt(name, false, opener);
  EXPECT_TRUE(r.Ok) << name << ": " << r.FailureText;
  return r;
}

inline TExportContext ContextOf(const TImageLoadResult& r, TFileOpener& opener) {
  TExportContext ctx;
  ctx.LoadedImageName = r.LoadedImageName;
  ctx.Geometry = r.Geometry;
  ctx.Opener = &opener;
  return ctx;
}

// The whole virtual file as bytes.
inline std::vector<uint8_t> BytesOf(TVirtualOpener& opener, const std::string& name) {
  std::unique_ptr<TReadableFile> f = opener.OpenForReading(name);
  std::vector<uint8_t> bytes(static_cast<size_t>(f->Size()));
  f->ReadAt(0, bytes.data(), bytes.size());
  return bytes;
}

}  // namespace kovra::testing
