#pragma once
// The fullflash commands. Each command lives in its own cmd_<name>.cpp and
// registers a subcommand with its run function; main() runs the one parsed.
#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "image/ImageLoad.h"

namespace fullflash {

// Exit codes.
inline constexpr int kExitOk = 0;         // success; diff: the images are identical
inline constexpr int kExitFailed = 1;     // the image cannot be loaded or read, a file error
inline constexpr int kExitUsage = 2;      // bad command line
inline constexpr int kExitDifferent = 3;  // diff: the images differ

struct TCommandTable {
  std::vector<std::pair<CLI::App*, std::function<int()>>> Commands;
  void Add(CLI::App* sub, std::function<int()> run) { Commands.emplace_back(sub, std::move(run)); }
};

void AddListCommand(CLI::App& app, TCommandTable& table);

// IMAGE and --no-htc-adjust, shared by every command that loads an image.
struct TLoadOptions {
  std::string Image;
  bool NoHtcAdjust = false;
};
void AddLoadOptions(CLI::App* sub, TLoadOptions& options);

// Loads the image the way the main window does (the HTC notice included in
// Log). On failure prints the log so far and the failure's text on stderr
// and returns false: the command then exits with kExitFailed.
bool LoadImageForCommand(const TLoadOptions& options, kovra::TImageLoadResult& result);

// --name NAME | --position N, exactly one of them. The position is read
// like offsets (decimal or 0x hex), so that "010" is the tenth partition,
// not the eighth: a command that writes must not pick a partition by octal.
struct TPartitionChoice {
  std::string Name;
  std::string PositionText;
};
void AddPartitionChoice(CLI::App* sub, TPartitionChoice& choice, const std::string& what);

// Row of the partition chosen: by position, or by the name the list shows
// ("BOOT"), then by the stored name ("0:BOOT"). -1 when there is none, after
// saying so on stderr.
int FindPartitionRow(const TPartitionChoice& choice, const kovra::TImageLoadResult& result);

// A number as offsets and lengths are typed: decimal digits, or 0x and hex
// digits; at most 0xFFFFFFFF. (No octal: "010" is ten.)
bool ParseNumberText(const std::string& text, uint32_t& value);
// CLI11 check of the same, for options read as text.
CLI::Validator NumberText();
// The same for a position: from 1.
CLI::Validator PositionText();

// One line of UTF-8 text to stdout or stderr.
void PrintLine(std::FILE* stream, const std::string& text);

// The text that "fullflash --version" prints.
std::string VersionText();

}  // namespace fullflash
