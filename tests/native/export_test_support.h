#pragma once
// Fixtures of the export tests: virtual images to read (from the load
// tests' support), output files kept in memory, and hooks that record what
// the user would see.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "export/ExportHooks.h"
#include "image/ImageLoad.h"
#include "image_test_support.h"
#include "platform/FileWriter.h"

namespace kovra::testing {

class TMemoryCreator final : public TFileCreator {
 public:
  std::map<std::string, std::vector<uint8_t>> Files;
  std::vector<std::string> Created;                    // in order of creation
  std::set<std::pair<std::string, std::string>> Same;  // pairs that name one file
  uint64_t FailAfterBytes = UINT64_MAX;                // total written before a write fails

  std::unique_ptr<TWritableFile> CreateForWriting(const std::string& path) override {
    // Emptied as the real creator empties it; only a test on disk can show
    // that the real one does.
    Files[path].clear();
    Created.push_back(path);
    return std::make_unique<TOutput>(*this, path);
  }
  bool IsSameFile(const std::string& a, const std::string& b) override {
    return Same.count({a, b}) != 0 || Same.count({b, a}) != 0;
  }

 private:
  class TOutput final : public TWritableFile {
   public:
    TOutput(TMemoryCreator& owner, std::string path) : fOwner(owner), fPath(std::move(path)) {}
    void Write(const void* data, size_t count) override {
      if (fOwner.fWritten + count > fOwner.FailAfterBytes)
        throw TFileError("Cannot write file: " + fPath);
      fOwner.fWritten += count;
      const auto* p = static_cast<const uint8_t*>(data);
      auto& file = fOwner.Files[fPath];
      file.insert(file.end(), p, p + count);
    }
    void Close() override {}

   private:
    TMemoryCreator& fOwner;
    std::string fPath;
  };
  uint64_t fWritten = 0;
};

class TRecordingHooks final : public TExportHooks {
 public:
  int64_t Max = -1;
  int64_t Position = -1;
  int64_t Steps = 0;         // sum of all steps
  int64_t Messages = 0;
  std::vector<std::string> Progress;   // every replacement of the last line
  std::vector<std::string> Status;
  std::vector<uint32_t> Waits;
  TExportLogLines Log;

  void SetGaugeMax(int64_t max) override { Max = max; }
  void SetGaugePosition(int64_t position) override { Position = position; }
  void StepGauge(int64_t delta) override {
    Position += delta;
    Steps += delta;
  }
  void ProcessMessages() override { ++Messages; }
  void AppendLogLine(const std::string& line) override { Log.Append(line); }
  void AppendToLastLogLine(const std::string& text) override { Log.AppendToLast(text); }
  void ReplaceLastLogLine(const std::string& line) override {
    Progress.push_back(line);
    Log.ReplaceLast(line);
  }
  void SetStatusText(const std::string& text) override { Status.push_back(text); }
  void Wait(uint32_t milliseconds) override { Waits.push_back(milliseconds); }
};

inline TQualcommMIBIBEntry Entry(const std::string& storedName, uint32_t base, uint32_t size) {
  TQualcommMIBIBEntry e;
  std::memcpy(e.EntryName.data(), storedName.data(), std::min<size_t>(16, storedName.size()));
  e.EntryBase = base;
  e.EntrySize = size;
  return e;
}

inline ImageGeometry Geometry(uint32_t pageSize, uint32_t blockSize, uint32_t blockCount) {
  ImageGeometry g;
  g.PageSize = pageSize;
  g.BlockSize = blockSize;
  g.BlockCount = blockCount;
  g.MainAreaSize = blockCount * blockSize;
  g.FileSize = g.MainAreaSize / 32 * 33;
  return g;
}

// A loaded image in memory: the table and its descriptors, the virtual file,
// and a context that reads it, writes into memory and records the hooks.
struct TExportBench {
  TVirtualOpener Opener;
  TMemoryCreator Creator;
  TRecordingHooks Hooks;
  std::vector<uint8_t> TransferBuffer;
  TQualcomMIBIB Table;
  std::vector<TPartitionDescriptor> Descriptors;
  TExportContext Ctx;

  TExportBench(const ImageGeometry& geometry, std::vector<TQualcommMIBIBEntry> entries,
               uint64_t fileSize = 0) {
    Table.Magic1 = kMibibMagic1;
    Table.Magic2 = kMibibMagic2;
    Table.EntriesCount = static_cast<uint32_t>(entries.size());
    Table.Entries = std::move(entries);
    for (size_t i = 0; i < Table.Entries.size(); ++i)
      Descriptors.push_back(MakePartitionDescriptor(Table.Entries[i], uint32_t(i), geometry));
    Opener.Files["image.bin"].Size = fileSize ? fileSize : geometry.FileSize;
    Ctx.LoadedImageName = "image.bin";
    Ctx.Geometry = geometry;
    Ctx.Hooks = &Hooks;
    Ctx.TransferBuffer = &TransferBuffer;
    Ctx.Opener = &Opener;
    Ctx.Creator = &Creator;
  }

  TVirtualImage& Image() { return Opener.Files["image.bin"]; }
  // Marks offset with a byte other than 0xFF.
  void Mark(uint64_t offset, uint8_t value) { Image().Put(offset, {value}); }
  const std::vector<uint8_t>& Output(const std::string& path) { return Creator.Files.at(path); }
};

}  // namespace kovra::testing
