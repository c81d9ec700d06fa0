#pragma once
// A file system in memory for the hex pane: files of any size (sparse,
// each byte a function of its offset) and a count of every open and read.
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "platform/FileReader.h"

namespace kovra::testing {

// The byte at a file offset: the low byte of the offset mixed with the
// next one, so that lines of different 256-byte pages differ.
inline uint8_t PatternByte(uint64_t offset) {
  return static_cast<uint8_t>((offset & 0xFF) ^ ((offset >> 8) & 0xFF));
}

class TFakeFiles : public TFileOpener {
 public:
  void Add(const std::string& name, uint64_t size) { fSizes[name] = size; }
  void Remove(const std::string& name) { fSizes.erase(name); }

  bool FileExists(const std::string& path) override { return fSizes.count(path) != 0; }
  std::unique_ptr<TReadableFile> OpenForReading(const std::string& path) override {
    auto it = fSizes.find(path);
    if (it == fSizes.end()) throw TFileError("Cannot open file: " + path);
    ++Opens;
    return std::make_unique<TFile>(*this, path, it->second);
  }

  int Opens = 0;
  int Reads = 0;
  uint64_t LastReadOffset = 0;
  size_t LastReadCount = 0;

 private:
  class TFile : public TReadableFile {
   public:
    TFile(TFakeFiles& owner, std::string path, uint64_t size)
        : fOwner(owner), fPath(std::move(path)), fSize(size) {}
    uint64_t Size() override { return fSize; }
    void ReadAt(uint64_t offset, void* buffer, size_t count) override {
      if (offset > fSize || count > fSize - offset)
        throw TFileError(ReadBeyondEndText(fPath, offset, count));
      ++fOwner.Reads;
      fOwner.LastReadOffset = offset;
      fOwner.LastReadCount = count;
      auto* out = static_cast<uint8_t*>(buffer);
      for (size_t i = 0; i < count; ++i) out[i] = PatternByte(offset + i);
    }

   private:
    TFakeFiles& fOwner;
    std::string fPath;
    uint64_t fSize;
  };
  std::map<std::string, uint64_t> fSizes;
};

}  // namespace kovra::testing
