// export_reads IMAGE: runs the blank check over IMAGE and reports how many
// bytes it read, in all and for each partition, against one block of main
// and spare data. Exit 0 when no partition with data cost more than that,
// 1 when one did, 2 when the check could not run.
#include <cstdio>
#include <exception>
#include <string>

#include "export/BlankCheck.h"
#include "image/ImageLoad.h"
#include "platform/FileReader.h"

namespace {

struct TCount {
  uint64_t Bytes = 0;
  uint64_t Calls = 0;
};

class TCountingFile final : public kovra::TReadableFile {
 public:
  TCountingFile(std::unique_ptr<kovra::TReadableFile> file, TCount& count)
      : fFile(std::move(file)), fCount(count) {}
  uint64_t Size() override { return fFile->Size(); }
  void ReadAt(uint64_t offset, void* buffer, size_t count) override {
    fFile->ReadAt(offset, buffer, count);
    fCount.Bytes += count;
    ++fCount.Calls;
  }

 private:
  std::unique_ptr<kovra::TReadableFile> fFile;
  TCount& fCount;
};

class TCountingOpener final : public kovra::TFileOpener {
 public:
  TCount Count;
  std::unique_ptr<kovra::TReadableFile> OpenForReading(const std::string& path) override {
    return std::make_unique<TCountingFile>(kovra::DefaultFileOpener().OpenForReading(path), Count);
  }
};

// Splits the bytes read by partition: the progress line changes as each
// partition begins, and once more at the end.
class TPerPartition final : public kovra::TExportHooks {
 public:
  explicit TPerPartition(const TCount& count) : fCount(count) {}
  std::vector<uint64_t> Bytes;
  void ReplaceLastLogLine(const std::string&) override {
    if (!Bytes.empty()) Bytes.back() = fCount.Bytes - fStart;
    fStart = fCount.Bytes;
    Bytes.push_back(0);
  }

 private:
  const TCount& fCount;
  uint64_t fStart = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: export_reads IMAGE\n");
    return 2;
  }
  try {
    kovra::TImageLoadResult r = kovra::LoadImageFileAndProcessIt(argv[1], false);
    if (!r.Ok) {
      std::fprintf(stderr, "%s\n", r.FailureText.c_str());
      return 2;
    }
    TCountingOpener opener;
    TPerPartition hooks(opener.Count);
    kovra::TExportContext ctx;
    ctx.LoadedImageName = r.LoadedImageName;
    ctx.Geometry = r.Geometry;
    ctx.Hooks = &hooks;
    ctx.Opener = &opener;
    kovra::CheckBlanks(ctx, r.PartitionTable, r.Descriptors);

    const uint64_t oneBlock = r.Geometry.BlockSize + r.Geometry.BlockSize / 32;
    uint64_t worstWithData = 0, blankBytes = 0;
    size_t blank = 0;
    for (size_t i = 0; i < r.Descriptors.size(); ++i) {
      // The closing "COMPLETE!" line ends the last partition's share.
      const uint64_t bytes = i < hooks.Bytes.size() ? hooks.Bytes[i] : 0;
      if (r.Descriptors[i].IsBlank) {
        ++blank;
        blankBytes += bytes;
      } else if (bytes > worstWithData) {
        worstWithData = bytes;
      }
    }
    std::printf("partitions %zu, blank %zu, bytes read %llu in %llu reads; blank partitions %llu; "
                "most for a partition with data %llu (one block of main and spare: %llu)\n",
                r.Descriptors.size(), blank, (unsigned long long)opener.Count.Bytes,
                (unsigned long long)opener.Count.Calls, (unsigned long long)blankBytes,
                (unsigned long long)worstWithData, (unsigned long long)oneBlock);
    return worstWithData <= oneBlock ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  }
}
