#pragma once
// Reading files through a seam, so that a test can see (and count) what a
// routine reads. The default opener reads the real file system; every
// failure is a TFileError whose text names the file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/FileError.h"

namespace kovra {

// A file open for reading only. The user's image is never opened for writing.
class TReadableFile {
 public:
  virtual ~TReadableFile() = default;
  virtual uint64_t Size() = 0;
  // Reads exactly count bytes at offset, or throws TFileError
  // ("Read beyond end of file: <path> ..." when the file is shorter).
  virtual void ReadAt(uint64_t offset, void* buffer, size_t count) = 0;
  // The system's descriptor of the open file, for copies that stay inside
  // the system; -1 for a file the system does not hold (one in memory).
  virtual int SystemDescriptor() { return -1; }
};

class TFileOpener {
 public:
  virtual ~TFileOpener() = default;
  // True for an existing file that is not a folder.
  virtual bool FileExists(const std::string& path);
  // Throws TFileError ("Cannot open file: <path>") when it cannot be opened.
  virtual std::unique_ptr<TReadableFile> OpenForReading(const std::string& path);
};

// The real file system.
TFileOpener& DefaultFileOpener();

// A UTF-8 path as the platform's path type (wide on Windows).
std::filesystem::path PathFromUtf8(const std::string& utf8);

// "Read beyond end of file: <path> (offset 0x..., N bytes)", the text every
// short read reports.
std::string ReadBeyondEndText(const std::string& path, uint64_t offset, uint64_t count);

}  // namespace kovra
