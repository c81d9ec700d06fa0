// fullflash blank IMAGE [--json]
// Prints the blank check's log lines as the module leaves them. With --json,
// stdout holds one JSON document instead and the log lines go to stderr.
#include <nlohmann/json.hpp>

#include <memory>

#include "ConsoleProgress.h"
#include "ExportCommands.h"
#include "export/BlankCheck.h"

namespace fullflash {
namespace {

struct TBlankOptions {
  TLoadOptions Load;
  bool Json = false;
};

int RunBlank(const TBlankOptions& options) {
  kovra::TImageLoadResult result;
  if (!LoadImageForCommand(options.Load, result)) return kExitFailed;
  PrintLoadWarnings(result);
  std::FILE* logStream = options.Json ? stderr : stdout;
  TConsoleProgress progress("Checking which Partition is blank...");
  try {
    kovra::CheckBlanks(ExportContextOf(result, progress), result.PartitionTable,
                       result.Descriptors);
  } catch (...) {
    progress.Finish();
    for (const std::string& line : progress.LogLines()) PrintLine(logStream, line);
    throw;
  }
  progress.Finish();
  for (const std::string& line : progress.LogLines()) PrintLine(logStream, line);

  if (options.Json) {
    using nlohmann::ordered_json;
    ordered_json blank = ordered_json::array();
    for (const kovra::TPartitionDescriptor& d : result.Descriptors)
      if (d.IsBlank)
        blank.push_back(ordered_json{{"position", d.Position},
                                     {"name", d.PartitionName},
                                     {"address_range", d.AddressRange}});
    ordered_json doc;
    doc["blank"] = std::move(blank);
    doc["checked"] = result.Descriptors.size();
    PrintLine(stdout, doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
  }
  return kExitOk;
}

}  // namespace

void AddBlankCommand(CLI::App& app, TCommandTable& table) {
  auto options = std::make_shared<TBlankOptions>();
  CLI::App* sub = app.add_subcommand(
      "blank", "Checks which partitions hold nothing but erased flash (main data all 0xFF, spare "
               "bytes 0 to 13 of every 16 all 0xFF) and prints the check's log lines");
  AddLoadOptions(sub, options->Load);
  sub->add_flag("--json", options->Json,
                "Print {\"blank\": [{\"position\", \"name\", \"address_range\"}], \"checked\": N} "
                "on stdout; the log lines go to stderr");
  table.Add(sub, [options] { return RunBlank(*options); });
}

}  // namespace fullflash
