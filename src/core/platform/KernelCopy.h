#pragma once
// Copying a stretch of one open file into another inside the system, without
// the bytes passing through the program (copy_file_range on Linux). A seam, so
// that a test can refuse the copy or make it fail half-way on real files.
#include <cstddef>
#include <cstdint>

namespace kovra {

class TKernelCopy {
 public:
  virtual ~TKernelCopy() = default;
  // False where the system offers no such copy (Windows): callers read and
  // write instead.
  virtual bool Available();
  // Copies up to count bytes of the file open as descriptor `in`, from
  // inOffset, into `out` at outOffset; the descriptors' own positions do not
  // move. Returns the bytes copied (0 when `in` has nothing at inOffset), or
  // the negated error number.
  virtual int64_t Copy(int in, uint64_t inOffset, int out, uint64_t outOffset, size_t count);

  // True for an error that says the copy is not offered for these files (an
  // old system, another file system, a device), not that it failed: the
  // caller goes on with reads and writes.
  static bool Refused(int error);
  // True for an error of the output (a full disk, a quota, the file size
  // limit): the copy fails as a write there would.
  static bool OutputFault(int error);
};

// The system's copy (unavailable on Windows).
TKernelCopy& DefaultKernelCopy();

}  // namespace kovra
