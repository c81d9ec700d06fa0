#include "platform/FileReader.h"

#include <cstdio>
#include <system_error>

namespace kovra {
namespace {

std::string HexOffset(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
  return buf;
}

class TStdioFile final : public TReadableFile {
 public:
  TStdioFile(std::FILE* f, std::string path, uint64_t size)
      : fFile(f), fPath(std::move(path)), fSize(size) {}
  ~TStdioFile() override { std::fclose(fFile); }

  uint64_t Size() override { return fSize; }
#ifdef _WIN32
  int SystemDescriptor() override { return _fileno(fFile); }
#else
  int SystemDescriptor() override { return fileno(fFile); }
#endif

  void ReadAt(uint64_t offset, void* buffer, size_t count) override {
    if (count == 0) return;
    if (offset > fSize || count > fSize - offset)
      throw TFileError(ReadBeyondEndText(fPath, offset, count));
    if (offset != fPosition) {
#ifdef _WIN32
      const int rc = fseeko64(fFile, static_cast<_off64_t>(offset), SEEK_SET);
#else
      const int rc = fseeko(fFile, static_cast<off_t>(offset), SEEK_SET);
#endif
      if (rc != 0) {
        fPosition = UINT64_MAX;
        throw TFileError("Cannot seek in file: " + fPath + " (offset " + HexOffset(offset) + ")");
      }
    }
    const size_t got = std::fread(buffer, 1, count, fFile);
    if (got != count) {
      fPosition = UINT64_MAX;
      if (std::feof(fFile)) throw TFileError(ReadBeyondEndText(fPath, offset, count));
      throw TFileError("Cannot read file: " + fPath + " (offset " + HexOffset(offset) + ")");
    }
    fPosition = offset + count;
  }

 private:
  std::FILE* fFile;
  std::string fPath;
  uint64_t fSize;
  uint64_t fPosition = 0;
};

}  // namespace

std::filesystem::path PathFromUtf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string ReadBeyondEndText(const std::string& path, uint64_t offset, uint64_t count) {
  return "Read beyond end of file: " + path + " (offset " + HexOffset(offset) + ", " +
         std::to_string(count) + " bytes)";
}

bool TFileOpener::FileExists(const std::string& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(PathFromUtf8(path), ec);
  return !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

std::unique_ptr<TReadableFile> TFileOpener::OpenForReading(const std::string& path) {
  const std::filesystem::path p = PathFromUtf8(path);
#ifdef _WIN32
  std::FILE* f = _wfopen(p.c_str(), L"rb");
#else
  std::FILE* f = std::fopen(p.c_str(), "rb");
#endif
  if (f == nullptr) throw TFileError("Cannot open file: " + path);
  std::setvbuf(f, nullptr, _IONBF, 0);
  std::error_code ec;
  const uint64_t size = std::filesystem::file_size(p, ec);
  if (ec) {
    std::fclose(f);
    throw TFileError("Cannot open file: " + path + " (" + ec.message() + ")");
  }
  return std::make_unique<TStdioFile>(f, path, size);
}

TFileOpener& DefaultFileOpener() {
  static TFileOpener opener;
  return opener;
}

}  // namespace kovra
