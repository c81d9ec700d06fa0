// Writes the seed inputs of the fuzz targets into OUT/<target>/, from the
// sample generator's layouts: usage make_fuzz_seeds OUT.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzImage.h"
#include "samples/SampleImage.h"

namespace fs = std::filesystem;
using namespace kovra;
using namespace kovra::samples;

namespace {

void Write(const fs::path& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::create_directories(dir);
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write seed " + (dir / name).string());
}

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// The sparse form of a generated image: its size, the table where the
// generator puts it, and the first bytes of each data partition.
fuzz::TFuzzImage Sparse(const TSampleImageSpec& desc, uint8_t flags = 0) {
  fuzz::TFuzzImage image;
  image.Flags = flags;
  image.Size = SampleImageSize(desc);
  const uint64_t at = uint64_t(desc.TableBlock) * desc.BlockSize + uint64_t(desc.TablePage) * desc.PageSize;
  if (desc.WriteTable) image.Runs.push_back({at, SampleTableBytes(desc)});
  for (const TSampleEntry& e : desc.Entries)
    if (e.Content != TSampleContent::Blank && e.Base < desc.BlockCount) {
      const uint64_t main = uint64_t(e.Base) * desc.BlockSize;
      image.Runs.push_back({main, std::vector<uint8_t>(32, 0x5A)});
      const uint64_t spare = uint64_t(desc.BlockCount) * desc.BlockSize + main / 32;
      image.Runs.push_back({spare, std::vector<uint8_t>(16, 0x00)});
    }
  return image;
}

TSampleImageSpec Small(std::vector<TSampleEntry> entries) {
  TSampleImageSpec desc;
  desc.BlockCount = 16;
  desc.TableBlock = 0;
  desc.Entries = std::move(entries);
  return desc;
}

void ImageSeeds(const fs::path& dir) {
  Write(dir, "default_2k", fuzz::EncodeFuzzImage(Sparse(DefaultSampleSpec())));
  Write(dir, "geometry_512", fuzz::EncodeFuzzImage(Sparse(SampleSpecFor(512, 0x4000, 4096))));
  Write(dir, "geometry_4k", fuzz::EncodeFuzzImage(Sparse(SampleSpecFor(4096, 0x40000, 512))));

  TSampleImageSpec htc = SampleSpecFor(4096, 0x40000, 512);
  htc.Entries.push_back({"0:HTC", 0x15, 40, 0});
  Write(dir, "htc_4k", fuzz::EncodeFuzzImage(Sparse(htc)));

  const std::vector<TSampleEntry> small = {{"0:SBL1", 0, 2, 0, TSampleContent::Pattern},
                                           {"0:MIBIB", 2, 1},
                                           {"0:APPS", 3, 5, 0, TSampleContent::FirstBlock},
                                           {"0:EFS2", 8, 0xFFFFFFFF, 0}};
  Write(dir, "small_exports", fuzz::EncodeFuzzImage(Sparse(Small(small), 2)));

  TSampleImageSpec hostile = Small({{"0:../../x", 0, 1}, {"0:a\\b/c", 1, 1}, {"0:\x01\x7f", 2, 1},
                                    {"0:SIXTEENCHARSXXX", 3, 1}, {"0:..", 4, 1}, {"0:A...B.", 5, 1},
                                    {"0:END", 20, 0xFFFFFFFF}, {"0:WRAP", 0xFFFFFFF0, 0x20}});
  Write(dir, "hostile_names", fuzz::EncodeFuzzImage(Sparse(hostile, 2)));

  TSampleImageSpec zero = Small({{"0:A", 0, 1}});
  zero.OverrideEntriesCount = true;
  zero.EntriesCount = 0;
  Write(dir, "count_zero", fuzz::EncodeFuzzImage(Sparse(zero)));
  zero.EntriesCount = 0xFFFFFFFF;
  Write(dir, "count_max", fuzz::EncodeFuzzImage(Sparse(zero)));

  TSampleImageSpec none = Small({{"0:A", 0, 1}});
  none.WriteTable = false;
  Write(dir, "no_table", fuzz::EncodeFuzzImage(Sparse(none)));

  fuzz::TFuzzImage truncated = Sparse(DefaultSampleSpec());
  truncated.Size = 0x40808;   // inside the header
  Write(dir, "truncated_header", fuzz::EncodeFuzzImage(truncated));
}

void SettingsFileSeeds(const fs::path& dir) {
  Write(dir, "window", Bytes("[SETTINGS]\r\nLeft = \"100\"\r\nTop = \"20\"\r\nWidth = \"640\"\r\n"
                             "ImageFile = \"C:\\images\\phone.bin\"\r\nHTC = \"0\"\r\n"));
  Write(dir, "loose", Bytes("junk before\n  \t[settings] tail\n\tA   =   \"x y\"  \t\n\nB = \"\"\n"));
  Write(dir, "no_equals", Bytes("[SETTINGS]\nA \"1\"\n"));
  Write(dir, "bad_quote", Bytes("[SETTINGS]\nA = \"1\n"));
  Write(dir, "trailing", Bytes("[SETTINGS]\nA = \"1\" x\n"));
  Write(dir, "latin1", Bytes("[SETTINGS]\nN\xE4me = \"\xFC\xDF\"\n"));
}

// FuzzedDataProvider reads strings from the front and numbers from the back.
std::vector<uint8_t> RegistrySeed(const std::vector<std::pair<std::string, std::string>>& values,
                                  uint8_t type) {
  std::string front;
  for (const auto& [name, data] : values) front += name + "\\x" + data + "\\x";
  std::vector<uint8_t> seed(front.begin(), front.end());
  for (size_t i = 0; i < values.size(); ++i) seed.push_back(type);
  seed.push_back(static_cast<uint8_t>(values.size()));
  return seed;
}

void RegistrySeeds(const fs::path& dir) {
  Write(dir, "window", RegistrySeed({{"Left", "\"100\""}, {"Top", "\"20\""},
                                     {"ImageFile", "\"C:\\\\a.bin\""}}, 0));
  Write(dir, "blanks", RegistrySeed({{"A", "   \t\"x\" \t"}, {"B", "\"\""}}, 0));
  Write(dir, "bad", RegistrySeed({{"A", "x\""}, {"B", "\"y"}}, 0));
  Write(dir, "dword", RegistrySeed({{"A", "\x01\x00\x00\x00"}}, 203));
}

void CellSeeds(const fs::path& dir) {
  Write(dir, "range", Bytes("0000000000540000000000000063FFFF000000000000002A0000000000000031"
                            "\\x00000000001000000000000000000008\\xBOOT\\x"
                            "\x05\x03\x09\x0A\x01\x00\x80\x40\x20\x10\x08\x04\x02\x01"));
  Write(dir, "utf8", Bytes("\xC3\xA4\xC3\xB6\xE2\x82\xAC\xF0\x9F\x98\x80 cut me here please\\x"
                           "\xC3\\x\xE2\x82\\x\x01\x02\x03\x04\x05\x06\x07\x08"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds OUT\n");
    return 2;
  }
  try {
    const fs::path out = argv[1];
    ImageSeeds(out / "image_load");
    SettingsFileSeeds(out / "settings_file");
    RegistrySeeds(out / "settings_registry");
    CellSeeds(out / "cool_cells");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
