#include <cstdio>
#include <cstdint>

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

void AddPartitionChoice(CLI::App* sub, TPartitionChoice& choice, const std::string& what) {
  CLI::Option_group* which = sub->add_option_group("partition", what);
  which->add_option("--name", choice.Name,
                    "Partition name as listed (\"BOOT\") or as stored (\"0:BOOT\")");
  which->add_option("--position", choice.PositionText, "Position in the table, from 1 (decimal or 0x hex)")
      ->check(PositionText());
  which->require_option(1);
}

int FindPartitionRow(const TPartitionChoice& choice, const kovra::TImageLoadResult& r) {
  const size_t count = r.Descriptors.size();
  uint32_t position = 0;
  if (!choice.PositionText.empty()) ParseNumberText(choice.PositionText, position);   // checked
  int row = -1;
  if (position != 0) {
    if (position <= count) row = int(position - 1);
  } else {
    for (size_t i = 0; i < count && row < 0; ++i)
      if (r.Descriptors[i].PartitionName == choice.Name) row = int(i);
    if (row < 0) row = kovra::FindPartitionByName(r.PartitionTable, choice.Name);
  }
  if (row < 0)
    PrintLine(stderr, position != 0
                          ? "No partition at position " + std::to_string(position) +
                                " (the table has " + std::to_string(count) + ")"
                          : "No partition named " + choice.Name);
  return row;
}

bool ParseNumberText(const std::string& text, uint32_t& value) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const size_t from = hex ? 2 : 0;
  if (text.size() == from) return false;
  uint64_t v = 0;
  for (size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    v = v * (hex ? 16 : 10) + uint64_t(digit);
    if (v > 0xFFFFFFFFull) return false;
  }
  value = static_cast<uint32_t>(v);
  return true;
}

CLI::Validator NumberText() {
  return CLI::Validator(
      [](std::string& text) {
        uint32_t ignored;
        return ParseNumberText(text, ignored)
                   ? std::string()
                   : "not a number from 0 to 0xFFFFFFFF (decimal, or hex after 0x): " + text;
      },
      "NUMBER");
}

CLI::Validator PositionText() {
  return CLI::Validator(
      [](std::string& text) {
        uint32_t position = 0;
        return ParseNumberText(text, position) && position != 0
                   ? std::string()
                   : "not a position from 1 (decimal, or hex after 0x): " + text;
      },
      "POSITION");
}

void PrintLine(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
}

std::string VersionText() { return std::string("fullflash ") + KOVRA_VERSION; }

}  // namespace fullflash
