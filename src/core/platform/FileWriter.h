#pragma once
// Writing output files through a seam, so that a test can fail a write or
// catch the output. Every failure is a TFileError whose text names the file.
// Output files are created or emptied without asking; what was written before
// a failure stays in the file.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/FileError.h"
#include "platform/FileReader.h"
#include "platform/KernelCopy.h"

namespace kovra {

class TWritableFile {
 public:
  virtual ~TWritableFile() = default;   // closes; a failure there is not reported
  // Appends count bytes, or throws TFileError ("Cannot write file: <path> ...").
  virtual void Write(const void* data, size_t count) = 0;
  // Flushes and closes; throws TFileError when the data did not reach the file.
  virtual void Close() = 0;

  // Appends the count bytes of `from` at offset exactly as reading them in
  // pieces of pieceSize bytes (the last one shorter) and appending each with
  // Write would: the same bytes in the file and, when something fails, the
  // same error with the same bytes written before it. piece() is called once
  // for every piece: before the piece is read when the copy goes piece by
  // piece, after a longer stretch has been moved when it goes in larger
  // steps, and for the failing piece before the error is thrown. buffer holds
  // bufferSize bytes, at least one piece; a larger one allows larger steps.
  // This default goes piece by piece; the real file copies large stretches,
  // inside the system where it can.
  virtual void CopyFrom(TReadableFile& from, uint64_t offset, uint64_t count, size_t pieceSize,
                        uint8_t* buffer, size_t bufferSize, const std::function<void()>& piece);
};

// An existing file written in place (the working image): its size never
// changes, so a write that would reach past the end is refused.
class TUpdatableFile {
 public:
  virtual ~TUpdatableFile() = default;  // closes; a failure there is not reported
  virtual uint64_t Size() = 0;
  // Writes count bytes at offset, or throws TFileError ("Write beyond end of
  // file: <path> ..." when the range leaves the file, "Cannot write file:
  // <path> ..." when the system refuses).
  virtual void WriteAt(uint64_t offset, const void* data, size_t count) = 0;
  // Flushes and closes; throws TFileError when the data did not reach the file.
  virtual void Close() = 0;
};

class TFileCreator {
 public:
  virtual ~TFileCreator() = default;
  // Creates path, or empties it when it exists. Throws TFileError
  // ("Cannot create file: <path>: <the system's reason>").
  virtual std::unique_ptr<TWritableFile> CreateForWriting(const std::string& path);
  // True when both names reach the same existing file: another spelling of
  // the path, a hard or symbolic link. False when either does not exist.
  virtual bool IsSameFile(const std::string& a, const std::string& b);
  // Opens an existing file for writing in place, neither created nor
  // truncated. Throws TFileError ("Cannot open file for writing: <path>").
  virtual std::unique_ptr<TUpdatableFile> OpenForUpdate(const std::string& path);

  // The copy inside the system that the files made by CreateForWriting use
  // (the system's own unless a test puts another one here).
  void SetKernelCopy(TKernelCopy& copy) { fKernelCopy = &copy; }
  TKernelCopy& KernelCopy() { return *fKernelCopy; }

 private:
  TKernelCopy* fKernelCopy = &DefaultKernelCopy();
};

// The real file system.
TFileCreator& DefaultFileCreator();

}  // namespace kovra
