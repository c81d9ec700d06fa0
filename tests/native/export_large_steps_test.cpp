// The export commands move the image in large steps (a copy inside the
// system where it is offered, large reads and writes elsewhere) and the blank
// check reads ahead while it finds erased flash, yet the user sees what a
// block-by-block run shows: the same files, errors, gauge steps and messages.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/resource.h>
#endif

#include "export/BlankCheck.h"
#include "export/ExportSupport.h"
#include "export/ImageSave.h"
#include "export/PartitionFiles.h"
#include "export_test_support.h"
#include "image/ImageLoad.h"
#include "platform/KernelCopy.h"
#include "samples/SampleImage.h"

namespace kovra::testing {
namespace {

namespace fs = std::filesystem;
using samples::TSampleContent;

// ---- the blank check's reads ---------------------------------------------

// 0x4000-byte blocks: main data of block n at n * 0x4000, spare data from
// 0x400000 (256 blocks) in 0x200 bytes per block.
constexpr uint32_t kBlock = 0x4000;
constexpr uint32_t kSpare = 0x200;
constexpr uint64_t kSpareArea = 256 * kBlock;

// A blank partition costs two reads (main and spare) per doubling: 1 block,
// then 2, 4, 8, ... up to the read-ahead limit.
TEST(BlankCheckReadAhead, ReadsGrowWithTheLogarithmOfABlankPartition) {
  static_assert(exportdetail::kBlankReadAheadBytes / kBlock >= 32, "the cases below read up to 32 blocks at once");
  struct TCase {
    uint32_t Blocks;
    uint64_t Reads;
  } const cases[] = {
      {1, 2}, {2, 4}, {3, 4}, {4, 6}, {7, 6}, {8, 8}, {15, 8}, {16, 10}, {63, 12},
  };
  for (const TCase& c : cases) {
    TExportBench bench(Geometry(512, kBlock, 256), {Entry("0:ERASED", 10, c.Blocks)});
    CheckBlanks(bench.Ctx, bench.Table, bench.Descriptors);
    EXPECT_TRUE(bench.Descriptors[0].IsBlank) << c.Blocks;
    EXPECT_EQ(bench.Opener.Counter.Calls, c.Reads) << c.Blocks;
    EXPECT_EQ(bench.Opener.Counter.Bytes, uint64_t(c.Blocks) * (kBlock + kSpare)) << c.Blocks;
    EXPECT_EQ(bench.Hooks.Steps, c.Blocks);
    // Once per block, and twice per partition (before and after it).
    EXPECT_EQ(bench.Hooks.Messages, c.Blocks + 2);
  }
}

// Past the limit the reads keep its size; the last one takes what is left.
TEST(BlankCheckReadAhead, LargeBlankPartitionIsReadInPiecesOfTheLimit) {
  const uint32_t limit = exportdetail::kBlankReadAheadBytes / kBlock;   // blocks per read at most
  uint32_t doubling = 0, reads = 0;
  for (uint32_t n = 1; n < limit; n *= 2) doubling += n, ++reads;       // 1 + 2 + ... below the limit
  const uint32_t blocks = doubling + 3 * limit + 5;                      // three full reads and a short one
  TExportBench bench(Geometry(512, kBlock, blocks + 8), {Entry("0:BIG", 8, 0xFFFFFFFF)});
  CheckBlanks(bench.Ctx, bench.Table, bench.Descriptors);
  EXPECT_TRUE(bench.Descriptors[0].IsBlank);
  EXPECT_EQ(bench.Opener.Counter.Calls, 2u * (reads + 4));
  EXPECT_EQ(bench.Opener.Counter.Bytes, uint64_t(blocks) * (kBlock + kSpare));
  EXPECT_EQ(bench.Hooks.Steps, blocks);
}

// Data further in: the reads stop with the one that holds it, and the spare
// data is read only for blocks whose main data is erased.
TEST(BlankCheckReadAhead, PartitionWithDataIsReadUpToTheReadThatHoldsIt) {
  struct TCase {
    const char* What;
    uint64_t Mark;           // offset of a byte that is not 0xFF
    uint64_t Reads, Bytes;
    int64_t Counted;         // blocks counted before the rest is skipped
  } const cases[] = {
      // Reads of blocks 0, 1-2, 3-6; main data of block 5 holds data, so the
      // third spare read covers blocks 3 and 4 only.
      {"main data of block 5", 15 * kBlock + 5 * kBlock, 6, 7 * kBlock + 5 * kSpare, 6},
      {"spare data of block 5", kSpareArea + (15 + 5) * kSpare + 3, 6, 7 * (kBlock + kSpare), 6},
      {"main data of block 0", 15 * kBlock, 1, kBlock, 1},
      {"spare data of block 0", kSpareArea + 15 * kSpare, 2, kBlock + kSpare, 1},
      {"last main byte of block 2", 15 * kBlock + 3 * kBlock - 1, 4, 3 * kBlock + 2 * kSpare, 3},
  };
  for (const TCase& c : cases) {
    TExportBench bench(Geometry(512, kBlock, 256), {Entry("0:DATA", 15, 100)});
    bench.Mark(c.Mark, 0x7E);
    CheckBlanks(bench.Ctx, bench.Table, bench.Descriptors);
    EXPECT_FALSE(bench.Descriptors[0].IsBlank) << c.What;
    EXPECT_EQ(bench.Opener.Counter.Calls, c.Reads) << c.What;
    EXPECT_EQ(bench.Opener.Counter.Bytes, c.Bytes) << c.What;
    EXPECT_EQ(bench.Hooks.Steps, 100) << c.What;
    EXPECT_EQ(bench.Hooks.Messages, c.Counted + 2) << c.What;
  }
}

// Partitions that end inside a read: the last read is cut to the partition,
// and its last block is examined like the others.
TEST(BlankCheckReadAhead, PartitionEndingInsideAReadIsExaminedToItsLastByte) {
  struct TCase {
    const char* What;
    uint32_t Blocks;
    int64_t Mark;   // offset to mark, -1 for none
    bool Blank;
  } const cases[] = {
      {"10 erased blocks", 10, -1, true},
      {"last main byte", 10, 20 * kBlock + 10 * kBlock - 1, false},
      {"byte 13 of the last spare group", 10, int64_t(kSpareArea + (20 + 10) * kSpare - 3), false},
      {"bytes 14 and 15 are not examined", 10, int64_t(kSpareArea + (20 + 10) * kSpare - 1), true},
      {"first byte after the partition", 10, 30 * kBlock, true},
      {"first spare byte after the partition", 10, int64_t(kSpareArea + 30 * kSpare), true},
  };
  for (const TCase& c : cases) {
    TExportBench bench(Geometry(512, kBlock, 256), {Entry("0:P", 20, c.Blocks)});
    if (c.Mark >= 0) bench.Mark(uint64_t(c.Mark), 0x00);
    CheckBlanks(bench.Ctx, bench.Table, bench.Descriptors);
    EXPECT_EQ(bench.Descriptors[0].IsBlank, c.Blank) << c.What;
    EXPECT_EQ(bench.Hooks.Steps, c.Blocks) << c.What;
  }
}

// A short image that ends inside a read ahead: the error is the one the
// block-by-block check gives, from the same block, with the gauge there.
TEST(BlankCheckReadAhead, ShortImageEndingInsideAReadGivesTheBlockError) {
  // Spare data of blocks 0 to 4 only; the third read (blocks 3 to 6) meets
  // the end in its spare data; block 5's spare read is the failing one.
  TExportBench bench(Geometry(512, kBlock, 256), {Entry("0:A", 0, 20), Entry("0:B", 20, 4)},
                     kSpareArea + 5 * kSpare + 100);
  bench.Descriptors[1].IsBlank = true;
  try {
    CheckBlanks(bench.Ctx, bench.Table, bench.Descriptors);
    FAIL() << "no read error";
  } catch (const TFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Read beyond end of file: image.bin (offset 0x400A00, 512 bytes)");
  }
  EXPECT_EQ(bench.Hooks.Position, 6);
  EXPECT_EQ(bench.Hooks.Log.Lines, (std::vector<std::string>{"", "Checking which Partition is blank...1/2"}));
  EXPECT_TRUE(bench.Descriptors[1].IsBlank) << "not examined: keeps its flag";
}

// ---- saves in large steps on real files ----------------------------------

std::vector<uint8_t> ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Counts the reads of real files, passing their descriptors on so that the
// copy inside the system still applies.
class TCountingDiskOpener final : public TFileOpener {
 public:
  TReadCounter Counter;
  std::unique_ptr<TReadableFile> OpenForReading(const std::string& path) override {
    struct TFile final : TReadableFile {
      std::unique_ptr<TReadableFile> Inner;
      TReadCounter* Counter = nullptr;
      uint64_t Size() override { return Inner->Size(); }
      int SystemDescriptor() override { return Inner->SystemDescriptor(); }
      void ReadAt(uint64_t offset, void* buffer, size_t count) override {
        ++Counter->Calls;
        Counter->Bytes += count;
        Inner->ReadAt(offset, buffer, count);
      }
    };
    auto f = std::make_unique<TFile>();
    f->Inner = DefaultFileOpener().OpenForReading(path);
    f->Counter = &Counter;
    return f;
  }
};

// The system's copy, refused with Error once Allow bytes went through it
// (Error 0: never refused).
class TScriptedKernelCopy final : public TKernelCopy {
 public:
  uint64_t Allow = UINT64_MAX;
  int Error = 0;
  uint64_t Copied = 0;
  int Refusals = 0;   // calls answered with Error
  bool Available() override { return true; }
  int64_t Copy(int in, uint64_t inOffset, int out, uint64_t outOffset, size_t count) override {
    if (Copied >= Allow) {
      ++Refusals;
      return -Error;
    }
    const int64_t got = DefaultKernelCopy().Copy(in, inOffset, out, outOffset,
                                                 size_t(std::min<uint64_t>(count, Allow - Copied)));
    if (got > 0) Copied += uint64_t(got);
    return got;
  }
};

enum class TPath { InSystem, ReadsAndWrites };
const char* Name(TPath p) { return p == TPath::InSystem ? "copy inside the system" : "reads and writes"; }

// A real image: 96 blocks of 0x20000 with data everywhere, or 700 blocks of
// 0x4000. Partition lengths are no multiples of the copy's steps.
class LargeSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() /
           ("kovra-large-steps-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root);
    fs::create_directories(root);
  }
  void TearDown() override { fs::remove_all(root); }

  void MakeImage(bool smallBlocks, uint64_t cutAt = 0) {
    samples::TSampleImageSpec desc;
    if (smallBlocks) {
      desc = samples::SampleSpecFor(512, 0x4000, 700);
      desc.Entries = {{"0:SBL", 0, 3, 0, TSampleContent::Pattern},
                      {"0:MIBIB", 3, 1},
                      {"0:BIG", 4, 600, 0, TSampleContent::Pattern},
                      {"0:REST", 604, 0xFFFFFFFF, 0, TSampleContent::Pattern}};
      desc.TableBlock = 3;
    } else {
      desc = samples::SampleSpecFor(2048, 0x20000, 96);
      desc.Entries = {{"0:SBL1", 0, 2, 0, TSampleContent::Pattern},
                      {"0:MIBIB", 2, 1},
                      {"0:APPS", 3, 37, 0, TSampleContent::Pattern},
                      {"0:DATA", 40, 0xFFFFFFFF, 0, TSampleContent::Pattern}};
      desc.TableBlock = 2;
    }
    bytes = samples::BuildSampleImage(desc);
    image = (root / "image.bin").string();
    {
      std::ofstream out(image, std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    loaded = LoadImageFileAndProcessIt(image, false);
    ASSERT_TRUE(loaded.Ok) << loaded.FailureText;
    if (cutAt != 0) {
      fs::resize_file(image, cutAt);
      bytes.resize(cutAt);
    }
  }

  TExportContext Context(TPath path) {
    creator = TFileCreator();
    kernel = TScriptedKernelCopy();
    if (path == TPath::ReadsAndWrites) {
      kernel.Allow = 0;
      kernel.Error = EXDEV;
    }
    creator.SetKernelCopy(kernel);
    opener = TCountingDiskOpener();
    hooks = TRecordingHooks();
    TExportContext ctx;
    ctx.LoadedImageName = image;
    ctx.Geometry = loaded.Geometry;
    ctx.Hooks = &hooks;
    ctx.Opener = &opener;
    ctx.Creator = &creator;
    return ctx;
  }

  // The bytes of the image at offset.
  std::vector<uint8_t> Range(uint64_t offset, uint64_t length) const {
    return {bytes.begin() + std::ptrdiff_t(offset), bytes.begin() + std::ptrdiff_t(offset + length)};
  }
  static std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }
  std::string Out(const std::string& name) const { return (root / name).string(); }

  fs::path root;
  std::string image;
  std::vector<uint8_t> bytes;
  TImageLoadResult loaded;
  TFileCreator creator;
  TScriptedKernelCopy kernel;
  TCountingDiskOpener opener;
  TRecordingHooks hooks;
};

TEST_F(LargeSteps, PartitionFilesHoldTheirRangesOnEveryPath) {
  struct TGeometryCase {
    bool SmallBlocks;
    uint32_t BlockSize, BlockCount;
  } const geometries[] = {{false, 0x20000, 96}, {true, 0x4000, 700}};
  for (const TGeometryCase& g : geometries) {
    MakeImage(g.SmallBlocks);
    const uint64_t spareArea = uint64_t(g.BlockSize) * g.BlockCount;
    for (TPath path : {TPath::InSystem, TPath::ReadsAndWrites}) {
      SCOPED_TRACE(std::string(Name(path)) + ", block size " + std::to_string(g.BlockSize));
      for (const char* kind : {"main", "spare", "full"}) {
        SCOPED_TRACE(kind);
        const bool saveMain = std::string(kind) != "spare", saveRedu = std::string(kind) != "main";
        TExportContext ctx = Context(path);
        const std::string prefix = Out(std::string(kind) + "-");
        const auto names = SaveAllPartitionsDataIntoFile(ctx, loaded.PartitionTable, loaded.Descriptors,
                                                         saveMain, saveRedu, prefix);
        ASSERT_EQ(names.size(), 4u);
        int64_t blocks = 0;
        for (size_t i = 0; i < names.size(); ++i) {
          const TQualcommMIBIBEntry& e = loaded.PartitionTable.Entries[i];
          const uint32_t n = e.EntrySize == 0xFFFFFFFF ? g.BlockCount - e.EntryBase : e.EntrySize;
          blocks += n;
          const uint64_t main = uint64_t(e.EntryBase) * g.BlockSize, length = uint64_t(n) * g.BlockSize;
          std::vector<uint8_t> expected;
          if (saveMain) expected = Range(main, length);
          if (saveRedu) expected = Join(expected, Range(spareArea + main / 32, length / 32));
          EXPECT_TRUE(ReadFile(names[i]) == expected) << names[i];
        }
        EXPECT_EQ(hooks.Steps, blocks);
        EXPECT_EQ(hooks.Messages, blocks) << "the window's messages once per block";
        EXPECT_EQ(hooks.Position, 0);
        if (path == TPath::InSystem) {
          if (DefaultKernelCopy().Available()) {
            EXPECT_GT(kernel.Copied, 0u) << "no copy inside the system";
          }
        } else {
          EXPECT_LE(kernel.Refusals, 4) << "refused once per file, then not asked";
        }
      }
    }
  }
}

// Large steps: a handful of reads where block by block took one per block.
TEST_F(LargeSteps, ImageSaveReadsInLargeStepsAndCopiesInsideTheSystem) {
  MakeImage(false);
  struct TCase {
    TPath Path;
    uint64_t Reads;
  } const cases[] = {
      // 96 blocks of main data in three steps of 32 blocks, the spare data
      // (three pieces of 0x20000) in one.
      {TPath::ReadsAndWrites, 4},
      // Nothing passes through the program where the system copies (on
      // Windows it reads and writes as above).
      {TPath::InSystem, DefaultKernelCopy().Available() ? 0u : 4u},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(Name(c.Path));
    TExportContext ctx = Context(c.Path);
    SaveAsImageFile(ctx, Out("copy.bin"));
    EXPECT_TRUE(ReadFile(Out("copy.bin")) == bytes);
    EXPECT_EQ(opener.Counter.Calls, c.Reads);
    EXPECT_EQ(hooks.Steps, 96 + 3);
    EXPECT_EQ(hooks.Messages, 96 + 3);
    EXPECT_EQ(hooks.Log.Lines, (std::vector<std::string>{"", "Saving to File...OK"}));
  }
}

// An image cut short inside a large step: the error of the piece that the
// image does not hold, the pieces before it in the file (also the gathered
// spare pieces), the gauge on the failing piece.
TEST_F(LargeSteps, ShortImageEndingInsideALargeStep) {
  struct TCase {
    const char* What;
    bool SmallBlocks;
    uint64_t CutAt;
    size_t Partition;
    bool SaveMain, SaveRedu;
    std::string Error;        // after "Read beyond end of file: <image> "
    uint64_t Written;         // bytes in the partial file: the image's from the partition's start
    uint64_t WrittenFrom;
    int64_t Position;
  } const cases[] = {
      // APPS: blocks 3 to 39; the image ends in block 20 (the first step
      // holds 32 blocks).
      {"main, inside the first step", false, 20 * 0x20000 + 0x777, 2, true, false,
       "(offset 0x280000, 131072 bytes)", 17 * 0x20000, 3 * 0x20000, 18},
      // DATA: blocks 40 to 95; the second step (blocks 72 to 95) meets the
      // end at block 90; the spare pass is not reached.
      {"main, inside the second step", false, 90 * 0x20000 + 1, 3, true, true,
       "(offset 0xB40000, 131072 bytes)", 50 * 0x20000, 40 * 0x20000, 51},
      // BIG: blocks 4 to 603 of 0x4000, spare data 0x200 per block from
      // 0xAF0000 + 4 * 0x200; the image ends after 300 of them and 7 bytes.
      // 0x25800 bytes were copied: two gathered writes of 0x10000 and 0x5800
      // gathered bytes that the error does not lose.
      {"spare, gathered pieces", true, 0xAF0000 + 4 * 0x200 + 300 * 0x200 + 7, 2, false, true,
       "(offset 0xB16000, 512 bytes)", 300 * 0x200, 0xAF0000 + 4 * 0x200, 301},
  };
  for (const TCase& c : cases) {
    for (TPath path : {TPath::InSystem, TPath::ReadsAndWrites}) {
      SCOPED_TRACE(std::string(c.What) + ", " + Name(path));
      MakeImage(c.SmallBlocks, c.CutAt);
      TExportContext ctx = Context(path);
      std::string error;
      try {
        SavePartitionDataIntoFile(ctx, loaded.PartitionTable, loaded.Descriptors, c.Partition, c.SaveMain,
                                  c.SaveRedu, Out("p"));
      } catch (const TFileError& e) {
        error = e.what();
      }
      EXPECT_EQ(error, "Read beyond end of file: " + image + " " + c.Error);
      const auto name = PartitionFileName(Out("p"), loaded.PartitionTable.Entries[c.Partition].EntryBase *
                                                        loaded.Geometry.BlockSize,
                                          loaded.Descriptors[c.Partition].PartitionName);
      EXPECT_TRUE(ReadFile(name) == Range(c.WrittenFrom, c.Written)) << ReadFile(name).size();
      EXPECT_EQ(hooks.Position, c.Position);
    }
  }
}

// Where the system refuses its copy (another file system, an old kernel),
// the rest goes through reads and writes, and the file is the same.
TEST_F(LargeSteps, RefusedCopyInsideTheSystemFallsBackToReadsAndWrites) {
  MakeImage(false);
  struct TCase {
    int Error;
    uint64_t Allow;   // bytes the system copies before it refuses
  } const cases[] = {
      {EXDEV, 0}, {ENOSYS, 0}, {EINVAL, 0}, {EOPNOTSUPP, 0},
#ifdef __linux__
      {EXDEV, 0x123457}, {EOPNOTSUPP, 0x400000},
#endif
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Error) + " after " + std::to_string(c.Allow));
    TExportContext ctx = Context(TPath::InSystem);
    kernel.Allow = c.Allow;
    kernel.Error = c.Error;
    SaveAsImageFile(ctx, Out("copy.bin"));
    EXPECT_TRUE(ReadFile(Out("copy.bin")) == bytes);
    EXPECT_EQ(kernel.Copied, c.Allow);
    EXPECT_EQ(kernel.Refusals, 1) << "refused once, the file asks no more";
    EXPECT_EQ(hooks.Steps, 96 + 3);
  }
}

#ifdef __linux__
// A full disk in the middle of a copy inside the system: the error names
// the write that a block-by-block copy would have failed in, what was
// copied stays, and the gauge stands on that piece.
TEST_F(LargeSteps, WriteFaultInTheMiddleOfACopyInsideTheSystem) {
  struct TCase {
    const char* What;
    bool SmallBlocks;
    bool Image;               // save-image, or one partition
    bool SaveMain;
    uint64_t Allow;           // bytes of the file written before the disk is full
    uint64_t From;            // where those bytes come from in the image
    std::string Error;
    int64_t Position;
  } const cases[] = {
      {"image, main data", false, true, true, 37 * 0x20000 + 0x1234, 0,
       "(offset 0x4A0000, 131072 bytes): No space left on device", 38},
      // The spare data of BIG (600 blocks of 0x4000) goes out in gathered
      // writes of 0x10000 bytes, each made by the Write of the piece after
      // it: the third (0x20000) by piece 384.
      {"partition, gathered spare pieces", true, false, false, 0x20000 + 0x1234, 0xAF0000 + 4 * 0x200,
       "(offset 0x20000, 65536 bytes): No space left on device", 385},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    MakeImage(c.SmallBlocks);
    TExportContext ctx = Context(TPath::InSystem);
    kernel.Allow = c.Allow;
    kernel.Error = ENOSPC;
    std::string error, name = Out("copy.bin");
    try {
      if (c.Image)
        SaveAsImageFile(ctx, name);
      else
        name = SavePartitionDataIntoFile(ctx, loaded.PartitionTable, loaded.Descriptors, 2, c.SaveMain, true,
                                         Out("p"));
    } catch (const TFileError& e) {
      error = e.what();
    }
    if (!c.Image) name = PartitionFileName(Out("p"), 4 * 0x4000, "BIG");
    EXPECT_EQ(error, "Cannot write file: " + name + " " + c.Error);
    EXPECT_TRUE(ReadFile(name) == Range(c.From, c.Allow)) << ReadFile(name).size();
    EXPECT_EQ(hooks.Position, c.Position);
    if (c.Image) {
      EXPECT_EQ(hooks.Log.Lines, (std::vector<std::string>{"", "Saving to File..."})) << "no OK";
    }
  }
}

// The same with the system's own limit: the copy stops at the file size
// limit and fails there (EFBIG), as a write past it would.
TEST_F(LargeSteps, FileSizeLimitInTheMiddleOfACopyInsideTheSystem) {
  MakeImage(false);
  TExportContext ctx = Context(TPath::InSystem);
  kernel = TScriptedKernelCopy();   // the system's copy, untouched
  const uint64_t limit = 0x20000 * 5 + 0x100;
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit low = old;
  low.rlim_cur = limit;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
  std::string error;
  try {
    SavePartitionDataIntoFile(ctx, loaded.PartitionTable, loaded.Descriptors, 3, true, true, Out("p"));
  } catch (const TFileError& e) {
    error = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldSignal);
  const std::string name = Out("p000000500000_DATA.bin");
  EXPECT_EQ(error, "Cannot write file: " + name + " (offset 0xA0000, 131072 bytes): File too large");
  EXPECT_TRUE(ReadFile(name) == Range(40 * 0x20000, limit)) << ReadFile(name).size();
  EXPECT_GT(kernel.Copied, 0u) << "the system's copy was used";
  EXPECT_EQ(hooks.Position, 6);
}
#endif

}  // namespace
}  // namespace kovra::testing
