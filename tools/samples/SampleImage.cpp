#include "samples/SampleImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>

namespace kovra::samples {
namespace {

constexpr uint32_t kBootMagic1 = 0xFE569FAC;   // page 0 of the MIBIB block
constexpr uint32_t kBootMagic2 = 0xCD7F127A;
constexpr uint32_t kTableMagic1 = 0x55EE73AA;
constexpr uint32_t kTableMagic2 = 0xE35EBDDB;

void PutLE32(std::vector<uint8_t>& v, uint32_t x) {
  for (int k = 0; k < 4; ++k) v.push_back(static_cast<uint8_t>(x >> (8 * k)));
}
void PutBE32(std::vector<uint8_t>& v, uint32_t x) {
  for (int k = 3; k >= 0; --k) v.push_back(static_cast<uint8_t>(x >> (8 * k)));
}

struct TDefaultPartition {
  const char* Name;
  uint32_t Base;
  uint32_t Size;
  uint32_t Attributes;
  TSampleContent Content;
};

// Laid out for 1024 blocks of 0x20000 bytes (128 MiB of main data).
constexpr TDefaultPartition kDefaultPartitions[] = {
    {"0:SBL1", 0x000, 0x002, 0x000001FF, TSampleContent::Pattern},
    {"0:MIBIB", 0x002, 0x008, 0x000001FF, TSampleContent::Blank},
    {"0:SBL2", 0x00A, 0x006, 0x000001FF, TSampleContent::FirstBlock},
    {"0:QCSBL", 0x010, 0x004, 0x000001FF, TSampleContent::Pattern},
    {"0:OEMSBL", 0x014, 0x008, 0x000001FF, TSampleContent::FirstBlock},
    {"0:AMSS", 0x01C, 0x0C4, 0x000001FF, TSampleContent::Pattern},
    {"0:APPSBL", 0x0E0, 0x008, 0x000001FF, TSampleContent::FirstBlock},
    {"0:APPS", 0x0E8, 0x078, 0x000001FF, TSampleContent::Pattern},
    {"0:EFS2", 0x160, 0x0C0, 0x00010100, TSampleContent::FirstBlock},
    {"0:FOTA", 0x220, 0x020, 0x000001FF, TSampleContent::Blank},
    {"0:CACHE", 0x240, 0x080, 0x00010100, TSampleContent::Blank},
    {"0:USERDATA", 0x2C0, 0xFFFFFFFF, 0x00010100, TSampleContent::Blank},
};

uint32_t Mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

// What each block of the main area holds; later entries win where entries overlap.
std::vector<TSampleContent> PlanBlocks(const TSampleImageSpec& desc) {
  std::vector<TSampleContent> plan(desc.BlockCount, TSampleContent::Blank);
  for (const TSampleEntry& e : desc.Entries) {
    if (e.Base >= desc.BlockCount) continue;
    const uint64_t end = e.Size == 0xFFFFFFFF
                             ? desc.BlockCount
                             : std::min<uint64_t>(desc.BlockCount, uint64_t(e.Base) + e.Size);
    for (uint64_t b = e.Base; b < end; ++b) {
      if (e.Content == TSampleContent::Pattern ||
          (e.Content == TSampleContent::FirstBlock && b == e.Base))
        plan[b] = TSampleContent::Pattern;
      else
        plan[b] = TSampleContent::Blank;
    }
  }
  return plan;
}

// Lays the patches that overlap [offset, offset + size) over buffer.
void ApplyPatches(const std::vector<TSamplePatch>& patches, uint64_t offset, uint8_t* buffer,
                  size_t size) {
  for (const TSamplePatch& p : patches) {
    const uint64_t pEnd = p.Offset + p.Bytes.size();
    const uint64_t from = std::max(p.Offset, offset);
    const uint64_t to = std::min(pEnd, offset + size);
    if (from >= to) continue;
    std::memcpy(buffer + (from - offset), p.Bytes.data() + (from - p.Offset), size_t(to - from));
  }
}

void Validate(const TSampleImageSpec& desc) {
  if (desc.PageSize == 0 || desc.BlockSize == 0 || desc.BlockSize % desc.PageSize != 0 ||
      desc.PageSize % 512 != 0)
    throw std::invalid_argument("page size must be a multiple of 512 that divides the block size");
  if (desc.TablePage >= desc.BlockSize / desc.PageSize)
    throw std::invalid_argument("table page lies outside its block");
}

// Streams the image to sink(offset, bytes, size) in order.
void Generate(const TSampleImageSpec& desc,
              const std::function<void(const uint8_t*, size_t)>& sink) {
  Validate(desc);
  const std::vector<TSampleContent> plan = PlanBlocks(desc);
  std::vector<TSamplePatch> patches;
  if (desc.WriteTable) {
    const std::vector<uint8_t> table = SampleTableBytes(desc);
    // Page 0 of the MIBIB block, then the table at the chosen page.
    const uint64_t blockStart = uint64_t(desc.TableBlock) * desc.BlockSize;
    TSamplePatch boot{blockStart, {}};
    PutLE32(boot.Bytes, kBootMagic1);
    PutLE32(boot.Bytes, kBootMagic2);
    patches.push_back(std::move(boot));
    patches.push_back({blockStart + uint64_t(desc.TablePage) * desc.PageSize, table});
  }
  patches.insert(patches.end(), desc.Patches.begin(), desc.Patches.end());

  const uint64_t mainSize = uint64_t(desc.BlockCount) * desc.BlockSize;
  std::vector<uint8_t> block(desc.BlockSize);
  auto fillMain = [&](uint32_t b) {
    const uint64_t start = uint64_t(b) * desc.BlockSize;
    if (plan[b] == TSampleContent::Blank) {
      std::fill(block.begin(), block.end(), uint8_t(0xFF));
    } else {
      // Word-wise: cheap enough for images of several hundred MiB.
      for (uint32_t k = 0; k < desc.BlockSize; k += 4) {
        const uint32_t w = Mix(static_cast<uint32_t>((start + k) >> 2) ^ (desc.Seed * 0x9E3779B9u));
        uint8_t* out = block.data() + k;
        out[0] = uint8_t(w);
        out[1] = uint8_t(w >> 8);
        out[2] = uint8_t(w >> 16);
        out[3] = uint8_t(w >> 24);
      }
    }
    ApplyPatches(patches, start, block.data(), block.size());
  };

  for (uint32_t b = 0; b < desc.BlockCount; ++b) {
    fillMain(b);
    sink(block.data(), block.size());
  }

  // Spare bytes follow their sectors: an erased sector has erased spare
  // bytes, a sector with data gets its number and a checksum.
  std::vector<uint8_t> spare(desc.BlockSize / 32);
  for (uint32_t b = 0; b < desc.BlockCount; ++b) {
    fillMain(b);
    for (uint32_t s = 0; s < desc.BlockSize / 512; ++s) {
      const uint8_t* sector = block.data() + size_t(s) * 512;
      uint8_t* out = spare.data() + size_t(s) * 16;
      bool erased = true;
      uint32_t sum = 0;
      for (int k = 0; k < 512; ++k) {
        erased &= sector[k] == 0xFF;
        sum = sum * 31 + sector[k];
      }
      if (erased) {
        std::memset(out, 0xFF, 16);
        continue;
      }
      const uint32_t number = static_cast<uint32_t>((uint64_t(b) * desc.BlockSize) / 512 + s);
      for (int k = 0; k < 4; ++k) {
        out[k] = uint8_t(number >> (8 * k));
        out[4 + k] = uint8_t(sum >> (8 * k));
      }
      std::memset(out + 8, 0x5A, 6);
      out[14] = static_cast<uint8_t>(~number);
      out[15] = static_cast<uint8_t>(~number >> 8);
    }
    ApplyPatches(patches, mainSize + uint64_t(b) * spare.size(), spare.data(), spare.size());
    sink(spare.data(), spare.size());
  }

  if (desc.TrailingBytes) {
    const uint64_t start = mainSize + mainSize / 32;
    std::vector<uint8_t> tail(std::min<uint64_t>(desc.TrailingBytes, 1 << 16));
    for (uint64_t done = 0; done < desc.TrailingBytes;) {
      const size_t n = size_t(std::min<uint64_t>(tail.size(), desc.TrailingBytes - done));
      for (size_t k = 0; k < n; ++k) tail[k] = static_cast<uint8_t>(0xA5 ^ ((done + k) & 0xFF));
      ApplyPatches(patches, start + done, tail.data(), n);
      sink(tail.data(), n);
      done += n;
    }
  }
}

}  // namespace

std::vector<uint8_t> SampleTableBytes(const TSampleImageSpec& desc) {
  std::vector<uint8_t> t;
  if (desc.SwapMagicBytes) {
    PutBE32(t, kTableMagic1);
    PutBE32(t, kTableMagic2);
  } else {
    PutLE32(t, kTableMagic1);
    PutLE32(t, kTableMagic2);
  }
  PutLE32(t, desc.SomeVersion);
  PutLE32(t, desc.OverrideEntriesCount ? desc.EntriesCount
                                       : static_cast<uint32_t>(desc.Entries.size()));
  for (const TSampleEntry& e : desc.Entries) {
    uint8_t name[16] = {};
    std::memcpy(name, e.Name.data(), std::min<size_t>(16, e.Name.size()));
    t.insert(t.end(), name, name + 16);
    PutLE32(t, e.Base);
    PutLE32(t, e.Size);
    PutLE32(t, e.Attributes);
  }
  return t;
}

uint8_t SamplePatternByte(uint32_t seed, uint64_t offset) {
  const uint32_t w = Mix(static_cast<uint32_t>(offset >> 2) ^ (seed * 0x9E3779B9u));
  return static_cast<uint8_t>(w >> (8 * (offset & 3)));   // little-endian word
}

TSampleImageSpec DefaultSampleSpec() { return SampleSpecFor(2048, 0x20000, 1024); }

TSampleImageSpec SampleSpecFor(uint32_t pageSize, uint32_t blockSize, uint32_t blockCount) {
  TSampleImageSpec desc;
  desc.PageSize = pageSize;
  desc.BlockSize = blockSize;
  desc.BlockCount = blockCount;
  // Scale the 1024-block layout to blockCount, keeping every partition at
  // least one block long while there is room.
  uint32_t previous = 0;
  bool first = true;
  for (const TDefaultPartition& p : kDefaultPartitions) {
    uint32_t base = static_cast<uint32_t>(uint64_t(p.Base) * blockCount / 1024);
    if (!first && base <= previous && previous + 1 < blockCount) base = previous + 1;
    first = false;
    previous = base;
    desc.Entries.push_back({p.Name, base, p.Size, p.Attributes, p.Content});
  }
  for (size_t i = 0; i + 1 < desc.Entries.size(); ++i)
    desc.Entries[i].Size = desc.Entries[i + 1].Base - desc.Entries[i].Base;
  desc.TableBlock = desc.Entries[1].Base;   // the MIBIB partition holds the table
  if (desc.TableBlock > 23) desc.TableBlock = 23;
  return desc;
}

uint64_t SampleImageSize(const TSampleImageSpec& desc) {
  const uint64_t main = uint64_t(desc.BlockCount) * desc.BlockSize;
  return main + main / 32 + desc.TrailingBytes;
}

void WriteSampleImage(const TSampleImageSpec& desc, const std::string& path) {
  const std::filesystem::path p(std::u8string(path.begin(), path.end()));
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("Cannot create file: " + path);
  // Gather into large writes: block-sized pieces of 16 KiB would be slow.
  std::vector<uint8_t> buffer;
  buffer.reserve(1 << 22);
  auto flush = [&] {
    out.write(reinterpret_cast<const char*>(buffer.data()), std::streamsize(buffer.size()));
    buffer.clear();
  };
  Generate(desc, [&](const uint8_t* data, size_t size) {
    if (buffer.size() + size > buffer.capacity()) flush();
    if (size >= buffer.capacity()) {
      out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    } else {
      buffer.insert(buffer.end(), data, data + size);
    }
  });
  flush();
  out.close();
  if (!out) throw std::runtime_error("Cannot write file: " + path);
}

std::vector<uint8_t> BuildSampleImage(const TSampleImageSpec& desc) {
  std::vector<uint8_t> image;
  image.reserve(size_t(SampleImageSize(desc)));
  Generate(desc, [&](const uint8_t* data, size_t size) { image.insert(image.end(), data, data + size); });
  return image;
}

bool ParseSampleContent(const std::string& text, TSampleContent& content) {
  if (text == "blank") content = TSampleContent::Blank;
  else if (text == "pattern") content = TSampleContent::Pattern;
  else if (text == "first") content = TSampleContent::FirstBlock;
  else return false;
  return true;
}

}  // namespace kovra::samples
