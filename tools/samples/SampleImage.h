#pragma once
// Well-formed (and deliberately ill-formed) full-flash images for tests,
// benchmarks and demos. The file is written in one sequential pass: the main
// area block by block, then the spare area, then any trailing bytes.
#include <cstdint>
#include <string>
#include <vector>

namespace kovra::samples {

enum class TSampleContent {
  Blank,       // erased: 0xFF in main and spare
  Pattern,     // every block holds data
  FirstBlock,  // data in the first block only, the rest erased
};

struct TSampleEntry {
  std::string Name;        // stored bytes, prefix included ("0:APPS"); at most 16 are kept
  uint32_t Base = 0;       // first block
  uint32_t Size = 0;       // blocks; 0xFFFFFFFF to the end of flash
  uint32_t Attributes = 0; // the entry's fourth word
  TSampleContent Content = TSampleContent::Blank;
};

// Bytes laid over the generated file at an absolute offset (anything a test
// needs beyond the regular layout: a stray magic, a damaged header).
struct TSamplePatch {
  uint64_t Offset = 0;
  std::vector<uint8_t> Bytes;
};

struct TSampleImageSpec {
  uint32_t PageSize = 2048;
  uint32_t BlockSize = 0x20000;
  uint32_t BlockCount = 1024;
  uint32_t TableBlock = 2;     // block that holds the table
  uint32_t TablePage = 1;      // page of that block where the header starts (1 is where it is found)
  bool WriteTable = true;      // false: no table anywhere (the image cannot be loaded)
  bool SwapMagicBytes = false; // header magics stored big-endian (must not be found)
  uint32_t SomeVersion = 4;
  bool OverrideEntriesCount = false;
  uint32_t EntriesCount = 0;   // stored count when OverrideEntriesCount
  std::vector<TSampleEntry> Entries;
  uint32_t Seed = 1;           // varies the data pattern
  uint64_t TrailingBytes = 0;  // appended after the spare area
  std::vector<TSamplePatch> Patches;
};

// The realistic default: 2048-byte pages, 0x20000-byte blocks, 1024 blocks,
// twelve partitions, some of them blank, the last one to the end of flash.
TSampleImageSpec DefaultSampleSpec();

// Same partitions on another geometry and size (bases and sizes scaled by
// 0x20000 / blockSize so that the byte layout stays alike).
TSampleImageSpec SampleSpecFor(uint32_t pageSize, uint32_t blockSize, uint32_t blockCount);

// Total file size of the described image.
uint64_t SampleImageSize(const TSampleImageSpec& desc);

// Writes the image; throws std::runtime_error (with the path) on failure.
void WriteSampleImage(const TSampleImageSpec& desc, const std::string& path);

// The image in memory; for small images in tests.
std::vector<uint8_t> BuildSampleImage(const TSampleImageSpec& desc);

// Bytes of the MIBIB block's page 0 and of the table (header and entries) as
// the generator stores them.
std::vector<uint8_t> SampleTableBytes(const TSampleImageSpec& desc);

// The data byte the generator stores at main-area offset o of a data block.
uint8_t SamplePatternByte(uint32_t seed, uint64_t offset);

// Parses "blank", "pattern", "first".
bool ParseSampleContent(const std::string& text, TSampleContent& content);

}  // namespace kovra::samples
