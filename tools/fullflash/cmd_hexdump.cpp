// fullflash hexdump IMAGE (--name NAME | --position N) [--spare] [--offset N] [--length N]
// A partition's main (or spare) data in the hex window's three columns.
#include <cstdio>
#include <memory>

#include "ConsoleProgress.h"
#include "ExportCommands.h"
#include "inspect/HexDump.h"

#ifdef _WIN32
#include <io.h>
#define KOVRA_STDOUT_IS_TERMINAL() (_isatty(_fileno(stdout)) != 0)
#else
#include <unistd.h>
#define KOVRA_STDOUT_IS_TERMINAL() (isatty(fileno(stdout)) != 0)
#endif

namespace fullflash {
namespace {

struct THexDumpOptions {
  TLoadOptions Load;
  TPartitionChoice Partition;
  bool Spare = false;
  std::string Offset = "0";
  std::string Length;   // empty: to the end of the partition's data
};

int RunHexDump(const THexDumpOptions& options) {
  kovra::TImageLoadResult result;
  if (!LoadImageForCommand(options.Load, result)) return kExitFailed;
  PrintLoadWarnings(result);
  const int row = FindPartitionRow(options.Partition, result);
  if (row < 0) return kExitFailed;

  const kovra::TPartitionExtent extent =
      kovra::PartitionExtent(result.Geometry, result.PartitionTable.Entries[size_t(row)]);
  const kovra::TPartitionArea area = options.Spare ? kovra::SpareAreaOf(extent) : kovra::MainAreaOf(extent);
  const std::string what = result.Descriptors[size_t(row)].PartitionName +
                           (options.Spare ? " spare data" : " main data");
  uint32_t offset = 0, length = 0;
  ParseNumberText(options.Offset, offset);   // checked by the option already
  if (options.Length.empty()) {
    if (offset > area.Length) {
      PrintLine(stderr, kovra::HexDumpRangeError(what, area.Length, offset, 0));
      return kExitFailed;
    }
    length = area.Length - offset;
  } else {
    ParseNumberText(options.Length, length);
  }
  const std::string rangeError = kovra::HexDumpRangeError(what, area.Length, offset, length);
  if (!rangeError.empty()) {
    PrintLine(stderr, rangeError);
    return kExitFailed;
  }

  // On a terminal DEL and the C1 controls show as "." too: bytes from the
  // image must not reach the terminal as control codes.
  const kovra::THexCharacters characters = KOVRA_STDOUT_IS_TERMINAL()
                                               ? kovra::THexCharacters::Terminal
                                               : kovra::THexCharacters::Latin1;
  kovra::TExportContext ctx;   // no hooks: a dump draws no progress bar
  ctx.LoadedImageName = result.LoadedImageName;
  ctx.Geometry = result.Geometry;
  kovra::HexDumpPartitionArea(ctx, area, offset, length, characters,
                              [](const std::string& line) { PrintLine(stdout, line); });
  return kExitOk;
}

}  // namespace

void AddHexDumpCommand(CLI::App& app, TCommandTable& table) {
  auto options = std::make_shared<THexDumpOptions>();
  CLI::App* sub = app.add_subcommand(
      "hexdump",
      "Prints a partition's main data (or its spare data) as the hex window shows it: the offset "
      "within the partition in 8 hex digits, sixteen bytes in hex, and the same bytes as "
      "characters (\".\" below 32, otherwise the ISO 8859-1 character as UTF-8; on a terminal "
      "also \".\" for 0x7F to 0x9F). Lines start at multiples of 16 of the partition. Reads only "
      "the bytes it prints");
  AddLoadOptions(sub, options->Load);
  AddPartitionChoice(sub, options->Partition, "The partition to show");
  sub->add_flag("--spare", options->Spare, "Show the partition's spare data instead of its main data");
  sub->add_option("--offset", options->Offset,
                  "First byte to show, from the start of the partition's data (decimal or 0x hex; "
                  "default 0)")
      ->check(NumberText());
  sub->add_option("--length", options->Length,
                  "Bytes to show (decimal or 0x hex; default: to the end of the partition's data)")
      ->check(NumberText());
  table.Add(sub, [options] { return RunHexDump(*options); });
}

}  // namespace fullflash
