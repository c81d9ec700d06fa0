#include <cstdio>

#include "Commands.h"

namespace fullflash {

void AddLoadOptions(CLI::App* sub, TLoadOptions& options) {
  sub->add_option("IMAGE", options.Image, "Full-flash image file")->required();
  sub->add_flag("--no-htc-adjust", options.NoHtcAdjust,
                "Don't adjust HTC Partition for 4KB NAND Pages (0x40000-byte blocks)");
}

bool LoadImageForCommand(const TLoadOptions& options, kovra::TImageLoadResult& result) {
  result = kovra::LoadImageFileAndProcessIt(options.Image, options.NoHtcAdjust);
  if (!result.Ok) {
    for (const std::string& line : result.Log) PrintLine(stderr, line);
    // The missing-file and row-sizing errors are log lines already.
    if (result.Log.empty() || result.Log.back() != result.FailureText)
      PrintLine(stderr, result.FailureText);
    return false;
  }
  for (std::string& line : kovra::DetectHTCPartitionMaybe(result.PartitionTable))
    result.Log.push_back(std::move(line));
  return true;
}

void PrintLine(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
}

std::string VersionText() { return std::string("fullflash ") + KOVRA_VERSION; }

}  // namespace fullflash
