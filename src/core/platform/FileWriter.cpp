#include "platform/FileWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <stdexcept>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/FileReader.h"

namespace kovra {
namespace {

std::string HexOffset(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
  return buf;
}

// The system's reason for the last failed call ("No space left on device"):
// a full disk and a read-only folder need different answers from the user.
std::string Reason(int error) {
  return error != 0 ? ": " + std::generic_category().message(error) : std::string();
}

// Large writes (a block of main data) go straight to the file; small ones
// (the spare data of one block) are gathered first, so that a run of them
// costs one system call instead of one each.
constexpr size_t kGather = 0x10000;
constexpr size_t kDirect = 0x2000;

// One write system call that a piece-by-piece copy would make: where it
// starts in the file, how long it is, and which piece's Write made it.
struct TWriteUnit {
  uint64_t Start = 0;
  size_t Size = 0;
  uint64_t Piece = 0;
};

// Walks the Write calls of a piece-by-piece copy of count bytes, with
// `pending` bytes gathered before it and `written` bytes in the file: calls
// unit() for every write it would make, in order, and returns the bytes it
// would leave gathered.
template <typename F>
size_t WalkWrites(size_t pending, uint64_t written, uint64_t count, size_t pieceSize, F&& unit) {
  uint64_t piece = 0;
  for (uint64_t done = 0; done < count; ++piece) {
    const size_t c = static_cast<size_t>(std::min<uint64_t>(pieceSize, count - done));
    if (pending + c > kGather || c >= kDirect) {
      if (pending != 0) unit(TWriteUnit{written, pending, piece});
      written += pending;
      pending = 0;
    }
    if (c >= kDirect) {
      unit(TWriteUnit{written, c, piece});
      written += c;
    } else {
      pending += c;
    }
    done += c;
  }
  return pending;
}

uint64_t PieceCount(uint64_t count, size_t pieceSize) {
  return count / pieceSize + (count % pieceSize != 0 ? 1 : 0);
}

class TStdioOutput final : public TWritableFile {
 public:
  TStdioOutput(std::FILE* f, std::string path, TKernelCopy& kernelCopy)
      : fFile(f), fPath(std::move(path)), fKernelCopy(kernelCopy) {}
  ~TStdioOutput() override {
    if (!fFile) return;
    // An error is ending the command: what was written so far must stay.
    if (!fPending.empty()) std::fwrite(fPending.data(), 1, fPending.size(), fFile);
    std::fclose(fFile);
  }

  void Write(const void* data, size_t count) override {
    if (count == 0) return;
    if (!fFile) throw TFileError("Cannot write file: " + fPath + " (already closed)");
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (fPending.size() + count > kGather || count >= kDirect) Flush();
    if (count >= kDirect) {
      Put(bytes, count);
    } else {
      if (fPending.capacity() == 0) fPending.reserve(kGather);
      fPending.insert(fPending.end(), bytes, bytes + count);
    }
  }

  void Close() override {
    if (!fFile) return;
    Flush();
    std::FILE* f = fFile;
    fFile = nullptr;
    errno = 0;
    if (std::fclose(f) != 0) throw TFileError("Cannot write file: " + fPath + " (on close)" + Reason(errno));
  }

  void CopyFrom(TReadableFile& from, uint64_t offset, uint64_t count, size_t pieceSize, uint8_t* buffer,
                size_t bufferSize, const std::function<void()>& piece) override {
    if (count == 0) return;
    if (!fFile) throw TFileError("Cannot write file: " + fPath + " (already closed)");
    if (pieceSize == 0 || bufferSize < pieceSize) {
      TWritableFile::CopyFrom(from, offset, count, pieceSize, buffer, bufferSize, piece);
      return;
    }
    // Only pieces that the source holds whole go in large steps. The first
    // one it does not (a short image) goes alone, so that its error and the
    // bytes written before it are those of a piece-by-piece copy.
    const uint64_t size = from.Size();
    const uint64_t held = offset < size ? std::min(count, size - offset) : 0;
    const uint64_t inSteps = held == count ? count : held / pieceSize * pieceSize;
    const uint64_t step = bufferSize / pieceSize * pieceSize;
    uint64_t done = 0;
    while (done < inSteps) {
      const size_t n = static_cast<size_t>(std::min(step, inSteps - done));
      MoveStretch(from, offset + done, n, pieceSize, buffer, bufferSize, piece);
      done += n;
    }
    if (done < count)
      TWritableFile::CopyFrom(from, offset + done, count - done, pieceSize, buffer, bufferSize, piece);
  }

 private:
  void Flush() {
    if (fPending.empty()) return;
    Put(fPending.data(), fPending.size());
    fPending.clear();
  }

  // Writes count bytes at the end of the file, or throws naming this write.
  // Gathered bytes that did reach the file are dropped, so that the close
  // after the error does not write them a second time.
  void Put(const uint8_t* bytes, size_t count) {
    errno = 0;
    const size_t got = std::fwrite(bytes, 1, count, fFile);
    if (got != count) {
      const int error = errno;
      if (bytes == fPending.data()) fPending.erase(fPending.begin(), fPending.begin() + static_cast<ptrdiff_t>(got));
      throw TFileError(WriteErrorText(fWritten, count, error));
    }
    fWritten += count;
  }

  std::string WriteErrorText(uint64_t offset, size_t count, int error) const {
    return "Cannot write file: " + fPath + " (offset " + HexOffset(offset) + ", " + std::to_string(count) +
           " bytes)" + Reason(error);
  }

  // Moves n bytes (whole pieces, or the copy's last ones) from `at` in as few
  // system calls as the file allows, making the writes of a piece-by-piece
  // copy: the gathered bytes before it and the ones it leaves gathered stay
  // the same, and a failure is reported as the write it falls in.
  void MoveStretch(TReadableFile& from, uint64_t at, size_t n, size_t pieceSize, uint8_t* buffer,
                   size_t bufferSize, const std::function<void()>& piece) {
    const size_t before = fPending.size();
    const size_t after = WalkWrites(before, fWritten, n, pieceSize, [](const TWriteUnit&) {});
    // Everything up to the gathered bytes left at the end goes out now: the
    // bytes gathered before first, then the stretch's own.
    const size_t now = before + n - after;
    const size_t own = now == 0 ? 0 : now - before;
    const size_t kept = n - own;
    const bool inSystem = own != 0 && !fKernelCopyRefused && from.SystemDescriptor() >= 0 &&
                          fKernelCopy.Available();
    try {
      // Read first: a read that fails leaves nothing written.
      if (inSystem) {
        if (kept != 0) from.ReadAt(at + own, buffer, kept);
      } else {
        from.ReadAt(at, buffer, n);
      }
    } catch (const TFileError&) {
      // The stretch again piece by piece: the same error, from the same piece.
      TWritableFile::CopyFrom(from, at, n, pieceSize, buffer, bufferSize, piece);
      return;
    }
    const uint8_t* keptBytes = inSystem ? buffer : buffer + own;
    if (now != 0) {
      const uint64_t start = fWritten;
      if (before != 0) PutStretch(fPending.data(), before, start, n, pieceSize, piece);
      if (inSystem)
        CopyInSystem(from, at, own, start + before, n, pieceSize, buffer + kept, piece);
      else
        PutStretch(buffer, own, start + before, n, pieceSize, piece);
      fWritten = start + now;
      fPending.clear();
    }
    if (kept != 0) {
      if (fPending.capacity() == 0) fPending.reserve(kGather);
      fPending.insert(fPending.end(), keptBytes, keptBytes + kept);
    }
    for (uint64_t i = PieceCount(n, pieceSize); i != 0; --i) piece();
  }

  // Writes count bytes that belong at `offset` of the file (the file's
  // position is there); a failure is reported as the stretch's write it
  // falls in.
  void PutStretch(const uint8_t* bytes, size_t count, uint64_t offset, uint64_t n, size_t pieceSize,
                  const std::function<void()>& piece) {
    errno = 0;
    const size_t got = std::fwrite(bytes, 1, count, fFile);
    if (got != count) Fail(offset + got, errno, n, pieceSize, piece);
  }

  // Copies count bytes of `from` at `at` to `offset` of the file inside the
  // system. A full disk fails as the write it falls in. Where the system
  // refuses, or the copy fails otherwise (a read error looks the same as a
  // write error there), the rest goes through the buffer, so that a failure
  // is reported by the read or the write it belongs to.
  void CopyInSystem(TReadableFile& from, uint64_t at, size_t count, uint64_t offset, uint64_t n,
                    size_t pieceSize, uint8_t* rest, const std::function<void()>& piece) {
    const int in = from.SystemDescriptor();
#ifdef _WIN32
    const int out = _fileno(fFile);
#else
    const int out = fileno(fFile);
#endif
    size_t copied = 0;
    while (copied < count) {
      const int64_t got = fKernelCopy.Copy(in, at + copied, out, offset + copied, count - copied);
      if (got > 0) {
        copied += static_cast<size_t>(got);
        continue;
      }
      const int error = got < 0 ? static_cast<int>(-got) : 0;
      if (TKernelCopy::Refused(error)) fKernelCopyRefused = true;
      if (TKernelCopy::OutputFault(error)) {
        SeekTo(offset + copied);
        Fail(offset + copied, error, n, pieceSize, piece);
      }
      break;
    }
    // The copy does not move the file's position.
    SeekTo(offset + copied);
    if (copied == count) return;
    try {
      from.ReadAt(at + copied, rest, count - copied);
    } catch (const TFileError&) {
      // The source failed under the copy (a bad disk, a file cut short
      // meanwhile): the bytes copied stay, the pieces up to the failing one
      // count, and the error is the read's.
      for (uint64_t i = copied / pieceSize + 1; i != 0; --i) piece();
      fWritten = offset + copied;
      fPending.clear();
      throw;
    }
    PutStretch(rest, count - copied, offset + copied, n, pieceSize, piece);
  }

  void SeekTo(uint64_t offset) {
#ifdef _WIN32
    const int rc = fseeko64(fFile, static_cast<_off64_t>(offset), SEEK_SET);
#else
    const int rc = fseeko(fFile, static_cast<off_t>(offset), SEEK_SET);
#endif
    if (rc != 0) throw TFileError("Cannot seek in file: " + fPath + " (offset " + HexOffset(offset) + ")");
  }

  // A write of the stretch failed at byte `at` of the file: reported as the
  // piece-by-piece copy's write that holds that byte, after the pieces up to
  // the one whose Write made it.
  [[noreturn]] void Fail(uint64_t at, int error, uint64_t n, size_t pieceSize,
                         const std::function<void()>& piece) {
    TWriteUnit failed{at, 0, PieceCount(n, pieceSize) - 1};
    WalkWrites(fPending.size(), fWritten, n, pieceSize, [&](const TWriteUnit& u) {
      if (failed.Size == 0 && at >= u.Start && at < u.Start + u.Size) failed = u;
    });
    for (uint64_t i = failed.Piece + 1; i != 0; --i) piece();
    fWritten = failed.Start;
    fPending.clear();
    throw TFileError(WriteErrorText(failed.Start, failed.Size, error));
  }

  std::FILE* fFile;
  std::string fPath;
  TKernelCopy& fKernelCopy;
  bool fKernelCopyRefused = false;
  std::vector<uint8_t> fPending;
  uint64_t fWritten = 0;
};

class TStdioUpdate final : public TUpdatableFile {
 public:
  TStdioUpdate(std::FILE* f, std::string path, uint64_t size) : fFile(f), fPath(std::move(path)), fSize(size) {}
  ~TStdioUpdate() override {
    if (fFile) std::fclose(fFile);
  }

  uint64_t Size() override { return fSize; }

  void WriteAt(uint64_t offset, const void* data, size_t count) override {
    if (count == 0) return;
    if (!fFile) throw TFileError("Cannot write file: " + fPath + " (already closed)");
    if (offset > fSize || count > fSize - offset)
      throw TFileError("Write beyond end of file: " + fPath + " (offset " + HexOffset(offset) + ", " +
                       std::to_string(count) + " bytes)");
#ifdef _WIN32
    const int rc = fseeko64(fFile, static_cast<_off64_t>(offset), SEEK_SET);
#else
    const int rc = fseeko(fFile, static_cast<off_t>(offset), SEEK_SET);
#endif
    if (rc != 0) throw TFileError("Cannot seek in file: " + fPath + " (offset " + HexOffset(offset) + ")");
    errno = 0;
    if (std::fwrite(data, 1, count, fFile) != count)
      throw TFileError("Cannot write file: " + fPath + " (offset " + HexOffset(offset) + ", " +
                       std::to_string(count) + " bytes)" + Reason(errno));
  }

  void Close() override {
    if (!fFile) return;
    std::FILE* f = fFile;
    fFile = nullptr;
    if (std::fclose(f) != 0) throw TFileError("Cannot write file: " + fPath + " (on close)");
  }

 private:
  std::FILE* fFile;
  std::string fPath;
  uint64_t fSize;
};

}  // namespace

std::unique_ptr<TWritableFile> TFileCreator::CreateForWriting(const std::string& path) {
  const std::filesystem::path p = PathFromUtf8(path);
#ifdef _WIN32
  std::FILE* f = _wfopen(p.c_str(), L"wb");
#else
  std::FILE* f = std::fopen(p.c_str(), "wb");
#endif
  if (f == nullptr) throw TFileError("Cannot create file: " + path + Reason(errno));
  // The output gathers small writes itself; stdio's buffer would only split
  // the large ones into more system calls.
  std::setvbuf(f, nullptr, _IONBF, 0);
  return std::make_unique<TStdioOutput>(f, path, KernelCopy());
}

bool TFileCreator::IsSameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  const bool same = std::filesystem::equivalent(PathFromUtf8(a), PathFromUtf8(b), ec);
  return !ec && same;
}

std::unique_ptr<TUpdatableFile> TFileCreator::OpenForUpdate(const std::string& path) {
  const std::filesystem::path p = PathFromUtf8(path);
  std::error_code ec;
  if (std::filesystem::is_directory(p, ec)) throw TFileError("Cannot open file for writing: " + path);
#ifdef _WIN32
  std::FILE* f = _wfopen(p.c_str(), L"r+b");
#else
  std::FILE* f = std::fopen(p.c_str(), "r+b");
#endif
  if (f == nullptr) throw TFileError("Cannot open file for writing: " + path + Reason(errno));
  std::setvbuf(f, nullptr, _IONBF, 0);
  const uint64_t size = std::filesystem::file_size(p, ec);
  if (ec) {
    std::fclose(f);
    throw TFileError("Cannot open file for writing: " + path + " (" + ec.message() + ")");
  }
  return std::make_unique<TStdioUpdate>(f, path, size);
}

void TWritableFile::CopyFrom(TReadableFile& from, uint64_t offset, uint64_t count, size_t pieceSize,
                             uint8_t* buffer, size_t bufferSize, const std::function<void()>& piece) {
  if (count != 0 && (pieceSize == 0 || bufferSize < pieceSize))
    throw std::invalid_argument("Copy in pieces of " + std::to_string(pieceSize) + " bytes through a buffer of " +
                                std::to_string(bufferSize));
  for (uint64_t done = 0; done < count;) {
    const size_t k = static_cast<size_t>(std::min<uint64_t>(pieceSize, count - done));
    piece();
    from.ReadAt(offset + done, buffer, k);
    Write(buffer, k);
    done += k;
  }
}

TFileCreator& DefaultFileCreator() {
  static TFileCreator creator;
  return creator;
}

}  // namespace kovra
