#pragma once
// Images for the load tests without writing them: a virtual file of any size
// (erased, 0xFF) with byte patches laid over it, served through the file
// seam. The opener counts what the load reads.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "image/ImageLoad.h"
#include "platform/FileReader.h"
#include "samples/SampleImage.h"

namespace kovra::testing {

struct TVirtualImage {
  uint64_t Size = 0;
  std::vector<samples::TSamplePatch> Patches;

  TVirtualImage& Put(uint64_t offset, std::vector<uint8_t> bytes) {
    Patches.push_back({offset, std::move(bytes)});
    return *this;
  }
};

struct TReadCounter {
  uint64_t Bytes = 0;
  uint64_t Calls = 0;
};

class TVirtualFile final : public TReadableFile {
 public:
  TVirtualFile(const TVirtualImage& image, std::string path, TReadCounter& counter)
      : fImage(image), fPath(std::move(path)), fCounter(counter) {}
  uint64_t Size() override { return fImage.Size; }
  void ReadAt(uint64_t offset, void* buffer, size_t count) override {
    if (offset > fImage.Size || count > fImage.Size - offset)
      throw TFileError(ReadBeyondEndText(fPath, offset, count));
    ++fCounter.Calls;
    fCounter.Bytes += count;
    auto* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0xFF, count);
    for (const samples::TSamplePatch& p : fImage.Patches) {
      const uint64_t from = std::max<uint64_t>(p.Offset, offset);
      const uint64_t to = std::min<uint64_t>(p.Offset + p.Bytes.size(), offset + count);
      if (from < to) std::memcpy(out + (from - offset), p.Bytes.data() + (from - p.Offset), to - from);
    }
  }

 private:
  const TVirtualImage& fImage;
  std::string fPath;
  TReadCounter& fCounter;
};

class TVirtualOpener final : public TFileOpener {
 public:
  std::map<std::string, TVirtualImage> Files;
  TReadCounter Counter;

  bool FileExists(const std::string& path) override { return Files.count(path) != 0; }
  std::unique_ptr<TReadableFile> OpenForReading(const std::string& path) override {
    auto it = Files.find(path);
    if (it == Files.end()) throw TFileError("Cannot open file: " + path);
    return std::make_unique<TVirtualFile>(it->second, path, Counter);
  }
};

// A table's header and entries as stored, little-endian.
inline std::vector<uint8_t> TableBytes(const std::vector<samples::TSampleEntry>& entries,
                                       int64_t storedCount = -1) {
  samples::TSampleImageSpec desc;
  desc.Entries = entries;
  if (storedCount >= 0) {
    desc.OverrideEntriesCount = true;
    desc.EntriesCount = static_cast<uint32_t>(storedCount);
  }
  return samples::SampleTableBytes(desc);
}

// File size of a well-formed image of blocks blocks: main plus 1/32 spare.
inline uint64_t ImageSize(uint64_t blocks, uint64_t blockSize) { return blocks * blockSize * 33 / 32; }

// Loads one virtual image named "image.bin".
inline TImageLoadResult LoadVirtual(const TVirtualImage& image, bool no4KBAdjust = false) {
  TVirtualOpener opener;
  opener.Files["image.bin"] = image;
  return LoadImageFileAndProcessIt("image.bin", no4KBAdjust, opener);
}

}  // namespace kovra::testing
