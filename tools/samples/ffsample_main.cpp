// ffsample: writes a full-flash image for tests, benchmarks and demos.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <sstream>
#include <string>
#include <vector>

#include "samples/SampleImage.h"

using namespace kovra::samples;

namespace {

// NAME:BASE:SIZE[:ATTRIBUTES[:CONTENT]]; numbers decimal or 0x-hex.
bool ParseEntry(const std::string& text, TSampleEntry& entry, std::string& error) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ':');) parts.push_back(part);
  // The stored name carries its own colon ("0:APPS"): glue the first two parts.
  if (parts.size() >= 2 && parts[0].size() == 1 && !parts[0].empty() &&
      std::isdigit(static_cast<unsigned char>(parts[0][0]))) {
    parts[1] = parts[0] + ":" + parts[1];
    parts.erase(parts.begin());
  }
  if (parts.size() < 3 || parts.size() > 5) {
    error = "expected NAME:BASE:SIZE[:ATTRIBUTES[:CONTENT]], got " + text;
    return false;
  }
  auto number = [&](const std::string& s, uint32_t& v) {
    try {
      size_t used = 0;
      const unsigned long long x = std::stoull(s, &used, 0);
      if (used != s.size() || x > 0xFFFFFFFFull) return false;
      v = static_cast<uint32_t>(x);
      return true;
    } catch (const std::exception&) {
      return false;
    }
  };
  entry.Name = parts[0];
  if (!number(parts[1], entry.Base) || !number(parts[2], entry.Size) ||
      (parts.size() > 3 && !number(parts[3], entry.Attributes))) {
    error = "bad number in entry " + text;
    return false;
  }
  entry.Content = TSampleContent::Pattern;
  if (parts.size() > 4 && !ParseSampleContent(parts[4], entry.Content)) {
    error = "content must be blank, pattern or first: " + text;
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Writes a full-flash NAND image with a MIBIB partition table.\n"
               "Without options: 2048-byte pages, 0x20000-byte blocks, 1024 blocks, twelve partitions."};
  app.set_version_flag("--version", std::string("ffsample ") + KOVRA_VERSION);

  std::string output = "sample.bin";
  std::string geometry = "2k";
  uint32_t blocks = 0;
  int tableBlock = -1;
  uint32_t tablePage = 1;
  std::vector<std::string> entryTexts;
  std::string contentAll;
  uint64_t trailing = 0;
  uint32_t seed = 1;
  uint32_t version = 4;
  int64_t entriesCount = -1;
  bool noTable = false, swapMagic = false;

  app.add_option("output", output, "Image file to write")->capture_default_str();
  app.add_option("-g,--geometry", geometry,
                 "2k (2048-byte pages, 0x20000 blocks), 512 (512-byte pages, 0x4000 blocks) or "
                 "4k (4096-byte pages, 0x40000 blocks)")
      ->check(CLI::IsMember({"2k", "512", "4k"}))
      ->capture_default_str();
  app.add_option("-b,--blocks", blocks, "Number of blocks (default: 1024)");
  app.add_option("-t,--table-block", tableBlock, "Block that holds the table (default: the MIBIB partition's)")
      ->check(CLI::Range(0, 0x7FFFFFFF));
  app.add_option("--table-page", tablePage, "Page of that block where the table starts")
      ->capture_default_str();
  app.add_option("-e,--entry", entryTexts,
                 "Partition NAME:BASE:SIZE[:ATTRIBUTES[:CONTENT]] (repeatable; replaces the default "
                 "list; SIZE 0xFFFFFFFF runs to the end; CONTENT blank|pattern|first, default pattern)");
  app.add_option("-c,--content", contentAll, "Content of every partition: blank, pattern or first")
      ->check(CLI::IsMember({"blank", "pattern", "first"}));
  app.add_option("--trailing", trailing, "Bytes appended after the spare area");
  app.add_option("--seed", seed, "Seed of the data pattern")->capture_default_str();
  app.add_option("--table-version", version, "The table's version word")->capture_default_str();
  app.add_option("--entries-count", entriesCount, "Store this entry count instead of the real one")
      ->check(CLI::Range(int64_t(0), int64_t(0xFFFFFFFF)));
  app.add_flag("--no-table", noTable, "Write no table (an image that cannot be loaded)");
  app.add_flag("--swap-magic", swapMagic, "Store the table magics in the wrong byte order");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : 2;
  }

  uint32_t pageSize = 2048, blockSize = 0x20000;
  if (geometry == "512") pageSize = 512, blockSize = 0x4000;
  if (geometry == "4k") pageSize = 4096, blockSize = 0x40000;
  TSampleImageSpec desc = SampleSpecFor(pageSize, blockSize, blocks ? blocks : 1024);
  if (!entryTexts.empty()) {
    desc.Entries.clear();
    for (const std::string& text : entryTexts) {
      TSampleEntry entry;
      std::string error;
      if (!ParseEntry(text, entry, error)) {
        std::fprintf(stderr, "ffsample: %s\n", error.c_str());
        return 2;
      }
      desc.Entries.push_back(entry);
    }
    desc.TableBlock = 0;
  }
  if (!contentAll.empty()) {
    TSampleContent content{};
    ParseSampleContent(contentAll, content);
    for (TSampleEntry& e : desc.Entries) e.Content = content;
  }
  if (tableBlock >= 0) desc.TableBlock = static_cast<uint32_t>(tableBlock);
  desc.TablePage = tablePage;
  desc.TrailingBytes = trailing;
  desc.Seed = seed;
  desc.SomeVersion = version;
  desc.WriteTable = !noTable;
  desc.SwapMagicBytes = swapMagic;
  if (entriesCount >= 0) {
    desc.OverrideEntriesCount = true;
    desc.EntriesCount = static_cast<uint32_t>(entriesCount);
  }

  try {
    WriteSampleImage(desc, output);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ffsample: %s\n", e.what());
    return 1;
  }
  return 0;
}
