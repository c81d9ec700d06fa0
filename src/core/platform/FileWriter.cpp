#include "platform/FileWriter.h"

#include <cerrno>
#include <cstdio>
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
class TStdioOutput final : public TWritableFile {
 public:
  static constexpr size_t kGather = 0x10000;
  static constexpr size_t kDirect = 0x2000;

  TStdioOutput(std::FILE* f, std::string path) : fFile(f), fPath(std::move(path)) {}
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

 private:
  void Flush() {
    if (fPending.empty()) return;
    Put(fPending.data(), fPending.size());
    fPending.clear();
  }

  void Put(const uint8_t* bytes, size_t count) {
    errno = 0;
    if (std::fwrite(bytes, 1, count, fFile) != count)
      throw TFileError("Cannot write file: " + fPath + " (offset " + HexOffset(fWritten) + ", " +
                       std::to_string(count) + " bytes)" + Reason(errno));
    fWritten += count;
  }

  std::FILE* fFile;
  std::string fPath;
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
  return std::make_unique<TStdioOutput>(f, path);
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

TFileCreator& DefaultFileCreator() {
  static TFileCreator creator;
  return creator;
}

}  // namespace kovra
