#include "platform/FileWriter.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/FileReader.h"

namespace kovra {
namespace {

std::string HexOffset(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
  return buf;
}

class TStdioOutput final : public TWritableFile {
 public:
  TStdioOutput(std::FILE* f, std::string path) : fFile(f), fPath(std::move(path)) {}
  ~TStdioOutput() override {
    if (fFile) std::fclose(fFile);
  }

  void Write(const void* data, size_t count) override {
    if (count == 0) return;
    if (!fFile) throw TFileError("Cannot write file: " + fPath + " (already closed)");
    if (std::fwrite(data, 1, count, fFile) != count)
      throw TFileError("Cannot write file: " + fPath + " (offset " + HexOffset(fWritten) + ", " +
                       std::to_string(count) + " bytes)");
    fWritten += count;
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
  uint64_t fWritten = 0;
};

}  // namespace

std::unique_ptr<TWritableFile> TFileCreator::CreateForWriting(const std::string& path) {
  const std::filesystem::path p = PathFromUtf8(path);
#ifdef _WIN32
  std::FILE* f = _wfopen(p.c_str(), L"wb");
#else
  std::FILE* f = std::fopen(p.c_str(), "wb");
#endif
  if (f == nullptr) throw TFileError("Cannot create file: " + path);
  return std::make_unique<TStdioOutput>(f, path);
}

bool TFileCreator::IsSameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  const bool same = std::filesystem::equivalent(PathFromUtf8(a), PathFromUtf8(b), ec);
  return !ec && same;
}

TFileCreator& DefaultFileCreator() {
  static TFileCreator creator;
  return creator;
}

}  // namespace kovra
