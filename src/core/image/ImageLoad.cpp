#include "image/ImageLoad.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "image/PartitionItems.h"
#include "platform/CodePage.h"

namespace kovra {
namespace {

uint32_t ReadLE32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string Hex(uint64_t v, int minDigits) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%0*llX", minDigits, static_cast<unsigned long long>(v));
  return buf;
}

std::string H16(uint32_t v) { return Hex(v, 16); }

TQualcommMIBIBEntry ParseEntry(const uint8_t* p) {
  TQualcommMIBIBEntry e;
  for (size_t k = 0; k < e.EntryName.size(); ++k) e.EntryName[k] = static_cast<char>(p[k]);
  e.EntryBase = ReadLE32(p + 16);
  e.EntrySize = ReadLE32(p + 20);
  e.Unknown1 = ReadLE32(p + 24);
  return e;
}

// Geometry search and the raw table. False when no candidate holds the table;
// file errors propagate.
bool ReadGeometryAndTable(TReadableFile& file, const std::string& fName, TImageLoadResult& r) {
  const uint64_t size = file.Size();
  // Everything downstream is 32-bit: offsets of 4 GiB and more do not exist in
  // this layout, so such an image is refused instead of being addressed wrongly.
  if (size > UINT32_MAX)
    throw TFileError("Image file is 4 GiB or larger, which the 32-bit image layout cannot address: " +
                     fName);
  ImageGeometry& g = r.Geometry;
  g.FileSize = static_cast<uint32_t>(size);
  g.MainAreaSize = (g.FileSize / kSectorSize) * kSectorMainSize;

  uint8_t header[kMibibHeaderSize];
  uint64_t headerOffset = 0;
  bool found = false;
  for (const TGeometryCandidate& candidate : kGeometryCandidates) {
    g.PageSize = candidate.PageSize;
    g.BlockSize = candidate.BlockSize;
    for (uint32_t j = 0; j < kMibibSearchBlocks && !found; ++j) {
      headerOffset = uint64_t(j) * candidate.BlockSize + candidate.PageSize;
      file.ReadAt(headerOffset, header, sizeof header);
      if (ReadLE32(header) == kMibibMagic1 && ReadLE32(header + 4) == kMibibMagic2) {
        r.TableBlock = j;
        found = true;
      }
    }
    if (found) break;
  }
  if (!found) {
    g.PageSize = 0;
    g.BlockSize = 0;
    return false;
  }

  TQualcomMIBIB& t = r.PartitionTable;
  t.Magic1 = ReadLE32(header);
  t.Magic2 = ReadLE32(header + 4);
  t.SomeVersion = ReadLE32(header + 8);
  t.EntriesCount = ReadLE32(header + 12);

  r.Log.push_back("Detected NAND Page = 0x" + Hex(g.PageSize, 4) + " bytes");
  r.Log.push_back("Detected NAND Block = 0x" + Hex(g.BlockSize, 8) + " bytes");
  r.Log.push_back("");
  r.Log.push_back("Partition Table is found in block: 0x" + Hex(r.TableBlock, 4));

  g.BlockCount = g.MainAreaSize / g.BlockSize;

  // The count comes from the file: only once its entries are known to lie
  // inside the file is it used to size anything. A count that runs past the
  // end is the same read error as reading it would give.
  const uint64_t entriesOffset = headerOffset + kMibibHeaderSize;
  const uint64_t entriesBytes = uint64_t(t.EntriesCount) * kMibibEntrySize;
  if (entriesOffset > size || entriesBytes > size - entriesOffset)
    throw TFileError(ReadBeyondEndText(fName, entriesOffset, entriesBytes));
  // A real table fits in its page; one that runs past the end of its block is
  // garbage, and a count from a large image could otherwise ask for gigabytes
  // of descriptors and list rows.
  const uint32_t blockRoom = (g.BlockSize - g.PageSize - kMibibHeaderSize) / kMibibEntrySize;
  if (t.EntriesCount > blockRoom)
    throw TFileError("Partition table in block 0x" + Hex(r.TableBlock, 4) + " claims " +
                     std::to_string(t.EntriesCount) + " entries, more than its block holds (" +
                     std::to_string(blockRoom) + "): " + fName);
  std::vector<uint8_t> raw(static_cast<size_t>(entriesBytes));
  // An empty table has no buffer to read into (its data() may be null).
  if (!raw.empty()) file.ReadAt(entriesOffset, raw.data(), raw.size());
  t.Entries.resize(t.EntriesCount);
  for (uint32_t i = 0; i < t.EntriesCount; ++i)
    t.Entries[i] = ParseEntry(raw.data() + size_t(i) * kMibibEntrySize);

  r.GaugeMax = static_cast<int32_t>(g.FileSize / g.BlockSize) - 1;
  return true;
}

void Fail(TImageLoadResult& r, TImageLoadFailure failure, std::string text) {
  r.Ok = false;
  r.Failure = failure;
  r.FailureText = std::move(text);
  r.LoadedImageName.clear();
}

}  // namespace

uint64_t BlockCountPowerOfTwo(uint32_t required) {
  uint64_t p = 1;
  while (p < required) p <<= 1;   // ends at 0x100000000 at the latest
  return p;
}

TPartitionDescriptor MakePartitionDescriptor(const TQualcommMIBIBEntry& entry, uint32_t index,
                                             const ImageGeometry& geometry) {
  TPartitionDescriptor d;
  std::string raw = EntryRawName(entry);
  raw.erase(0, raw.size() < 2 ? raw.size() : 2);
  d.PartitionName = AnsiToUtf8(raw);
  d.Position = index + 1;
  d.BegBlock = entry.EntryBase;
  d.Blocks = EntryBlocks(entry.EntryBase, entry.EntrySize, geometry.BlockCount);

  // 32-bit products and sums on purpose: the texts show what every command
  // that addresses the file with these values will use.
  const uint32_t bs = geometry.BlockSize;
  const uint32_t beg = d.BegBlock;
  const uint32_t end = beg + d.Blocks;
  d.AddressRange = H16(beg * bs) + H16(end * bs - 1) + H16(beg) + H16(end - 1);
  d.PartitionSize = H16(d.Blocks * bs) + H16(d.Blocks);
  return d;
}

int FindPartitionByName(const TQualcomMIBIB& table, const std::string& pName) {
  const size_t n = std::min<size_t>(table.Entries.size(), table.EntriesCount);
  for (size_t i = 0; i < n; ++i)
    if (EntryStoredName(table.Entries[i]) == pName) return static_cast<int>(i);
  return -1;
}

std::vector<std::string> DetectHTCPartitionMaybe(const TQualcomMIBIB& table) {
  const int i = FindPartitionByName(table, kHtcPartitionName);
  if (i != -1 && table.Entries[static_cast<size_t>(i)].EntrySize <= 64)
    return {"", kTextHtcDetected};
  return {};
}

TImageLoadResult LoadImageFileAndProcessIt(const std::string& fName, bool no4KBAdjust,
                                           TFileOpener& opener) {
  TImageLoadResult r;
  if (!opener.FileExists(fName)) {
    r.Log.push_back(kTextFileMissing);
    Fail(r, TImageLoadFailure::MissingFile, kTextFileMissing);
    return r;
  }

  try {
    std::unique_ptr<TReadableFile> file = opener.OpenForReading(fName);
    if (!ReadGeometryAndTable(*file, fName, r)) {
      Fail(r, TImageLoadFailure::NoTable, kTextNoTable);
      return r;
    }
  } catch (const TFileError& e) {
    Fail(r, TImageLoadFailure::FileError, e.what());
    return r;
  } catch (const std::bad_alloc&) {
    // A table the file can hold but memory cannot: the same report as a row
    // that cannot be sized.
    r.Log.push_back(kTextDynamicArray);
    Fail(r, TImageLoadFailure::DynamicArray, kTextDynamicArray);
    return r;
  }

  TQualcomMIBIB& table = r.PartitionTable;
  const ImageGeometry& g = r.Geometry;
  const uint32_t count = table.EntriesCount;

  // Descriptors and rows first, zero-filled: the rows' value pointers need
  // the descriptors' final places, the texts come below.
  bool sized = count != 0;
  if (sized) {
    try {
      r.Descriptors.assign(count, TPartitionDescriptor{});
      FillPartitionItems(r.PartitionItems, r.Descriptors);
    } catch (const std::bad_alloc&) {
      sized = false;
    }
  }
  if (!sized) {
    r.Log.push_back(kTextDynamicArray);
    r.PartitionItems.Count = 0;
    Fail(r, TImageLoadFailure::DynamicArray, kTextDynamicArray);
    return r;
  }

  r.Log.push_back("Total quantity of listed partitions: " + std::to_string(count));

  // From the entries as stored, before the HTC adjustment; sums wrap.
  uint32_t required = 0;
  for (const TQualcommMIBIBEntry& e : table.Entries) {
    const uint32_t end = e.EntryBase + (e.EntrySize == kEntrySizeToEnd ? 0 : e.EntrySize);
    if (end > required) required = end;
  }
  r.RequiredBlocks = required;

  if (g.BlockSize == 0x40000 && !no4KBAdjust) {
    const int htc = FindPartitionByName(table, kHtcPartitionName);
    if (htc != -1) {
      table.Entries[static_cast<size_t>(htc)].EntryBase >>= 1;
      r.Log.push_back(kTextHtcAdjusted);
    }
  }

  if (required > g.BlockCount)
    r.Log.push_back("WARNING!!! Image file is too small. It must be increased upto: 0x" +
                    Hex(BlockCountPowerOfTwo(required), 4) + " blocks");

  for (uint32_t i = 0; i < count; ++i)
    r.Descriptors[i] = MakePartitionDescriptor(table.Entries[i], i, g);

  r.Ok = true;
  r.LoadedImageName = fName;
  return r;
}

}  // namespace kovra
