#pragma once
// A full-flash image as a fuzzer input: a file size and byte runs laid over
// an erased (0xFF) file. Images are megabytes long and almost all erased, so
// this keeps inputs small while the geometry search still sees every probe.
//
// Input: flags (1 byte), file size (u32 LE), then runs of
// offset (u32 LE), length (u16 LE) and that many bytes; the last run may be
// cut short by the end of the input.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileReader.h"
#include "platform/FileWriter.h"

namespace kovra::fuzz {

struct TFuzzRun {
  uint64_t Offset = 0;
  std::vector<uint8_t> Bytes;
};

struct TFuzzImage {
  uint8_t Flags = 0;
  uint64_t Size = 0;
  std::vector<TFuzzRun> Runs;
};

inline uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline TFuzzImage DecodeFuzzImage(const uint8_t* data, size_t size) {
  TFuzzImage image;
  if (size < 5) return image;
  image.Flags = data[0];
  image.Size = Le32(data + 1);
  size_t at = 5;
  while (at + 6 <= size) {
    TFuzzRun run;
    run.Offset = Le32(data + at);
    const size_t length = size_t(data[at + 4]) | size_t(data[at + 5]) << 8;
    at += 6;
    const size_t n = std::min(length, size - at);
    run.Bytes.assign(data + at, data + at + n);
    at += n;
    image.Runs.push_back(std::move(run));
  }
  return image;
}

inline std::vector<uint8_t> EncodeFuzzImage(const TFuzzImage& image) {
  std::vector<uint8_t> out;
  auto put32 = [&](uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(uint8_t(v >> (8 * k)));
  };
  out.push_back(image.Flags);
  put32(static_cast<uint32_t>(image.Size));
  for (const TFuzzRun& run : image.Runs) {
    put32(static_cast<uint32_t>(run.Offset));
    const size_t n = std::min<size_t>(run.Bytes.size(), 0xFFFF);
    out.push_back(uint8_t(n));
    out.push_back(uint8_t(n >> 8));
    out.insert(out.end(), run.Bytes.begin(), run.Bytes.begin() + n);
  }
  return out;
}

// The image served through the file seam. Later runs win over earlier ones.
class TFuzzFile final : public TReadableFile {
 public:
  TFuzzFile(const TFuzzImage& image, std::string path) : fImage(image), fPath(std::move(path)) {}
  uint64_t Size() override { return fImage.Size; }
  void ReadAt(uint64_t offset, void* buffer, size_t count) override {
    if (offset > fImage.Size || count > fImage.Size - offset)
      throw TFileError(ReadBeyondEndText(fPath, offset, count));
    if (count == 0) return;   // an empty table reads nothing, into no buffer
    auto* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0xFF, count);
    for (const TFuzzRun& r : fImage.Runs) {
      const uint64_t from = std::max<uint64_t>(r.Offset, offset);
      const uint64_t to = std::min<uint64_t>(r.Offset + r.Bytes.size(), offset + count);
      if (from < to) std::memcpy(out + (from - offset), r.Bytes.data() + (from - r.Offset), to - from);
    }
  }

 private:
  const TFuzzImage& fImage;
  std::string fPath;
};

class TFuzzOpener final : public TFileOpener {
 public:
  TFuzzOpener(const TFuzzImage& image, std::string name) : fImage(image), fName(std::move(name)) {}
  bool FileExists(const std::string& path) override { return path == fName; }
  std::unique_ptr<TReadableFile> OpenForReading(const std::string& path) override {
    if (path != fName) throw TFileError("Cannot open file: " + path);
    return std::make_unique<TFuzzFile>(fImage, path);
  }

 private:
  const TFuzzImage& fImage;
  std::string fName;
};

// Output files that go nowhere; the names asked for are kept so the target
// can check where they would have gone.
class TDiscardCreator final : public TFileCreator {
 public:
  std::vector<std::string> Names;
  std::unique_ptr<TWritableFile> CreateForWriting(const std::string& path) override {
    Names.push_back(path);
    class TSink final : public TWritableFile {
     public:
      void Write(const void*, size_t) override {}
      void Close() override {}
    };
    return std::make_unique<TSink>();
  }
  bool IsSameFile(const std::string&, const std::string&) override { return false; }
};

}  // namespace kovra::fuzz
