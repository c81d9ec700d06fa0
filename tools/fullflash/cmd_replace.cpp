// fullflash replace IMAGE (--name NAME | --position N) --kind main|spare|full --from FILE OUT
// Writes OUT: a copy of IMAGE whose partition data of that kind are FILE's.
#include <filesystem>
#include <memory>
#include <system_error>

#include "ConsoleProgress.h"
#include "ExportCommands.h"
#include "inspect/PartitionReplace.h"

namespace fullflash {
namespace {

struct TReplaceOptions {
  TLoadOptions Load;
  TPartitionChoice Partition;
  std::string Kind;
  std::string From;
  std::string Output;
};

kovra::TPartitionDataKind KindOf(const std::string& kind) {
  if (kind == "spare") return kovra::TPartitionDataKind::Spare;
  if (kind == "full") return kovra::TPartitionDataKind::Full;
  return kovra::TPartitionDataKind::Main;
}

int RunReplace(const TReplaceOptions& options) {
  kovra::TImageLoadResult result;
  if (!LoadImageForCommand(options.Load, result)) return kExitFailed;
  PrintLoadWarnings(result);
  const int row = FindPartitionRow(options.Partition, result);
  if (row < 0) return kExitFailed;
  const std::string& name = result.Descriptors[size_t(row)].PartitionName;
  const kovra::TPartitionExtent extent =
      kovra::PartitionExtent(result.Geometry, result.PartitionTable.Entries[size_t(row)]);

  TConsoleProgress progress("Writing " + options.Output);
  const kovra::TExportContext ctx = ExportContextOf(result, progress);
  // Every check comes before OUT is created: a refused command writes nothing.
  const kovra::TReplacePlan plan = kovra::PlanPartitionReplace(ctx, name, extent, KindOf(options.Kind),
                                                               options.From, options.Output);
  bool created = false;
  try {
    kovra::WriteReplacedImage(ctx, plan, &created);
  } catch (const std::exception& e) {
    // A repaired image cut short must not be mistaken for a whole one.
    progress.Finish();
    std::error_code ec;
    const bool removed = created && std::filesystem::remove(kovra::PathFromUtf8(options.Output), ec);
    PrintLine(stderr, std::string(e.what()) +
                          (removed ? "; the unfinished " + options.Output + " was removed" : ""));
    return kExitFailed;
  }
  progress.Finish();
  const kovra::TPartitionArea main = kovra::MainAreaOf(extent), spare = kovra::SpareAreaOf(extent);
  std::string what;
  if (plan.Kind != kovra::TPartitionDataKind::Spare)
    what = "main data (" + kovra::HexText(main.Length) + " bytes at " + kovra::HexText(main.Offset) + ")";
  if (plan.Kind != kovra::TPartitionDataKind::Main)
    what += std::string(what.empty() ? "" : " and ") + "spare data (" + kovra::HexText(spare.Length) +
            " bytes at " + kovra::HexText(spare.Offset) + ")";
  PrintLine(stdout, options.Output + ": " + options.Load.Image + " with " + name + " " + what +
                        " from " + options.From);
  return kExitOk;
}

}  // namespace

void AddReplaceCommand(CLI::App& app, TCommandTable& table) {
  auto options = std::make_shared<TReplaceOptions>();
  CLI::App* sub = app.add_subcommand(
      "replace",
      "Writes OUT, a copy of IMAGE whose partition data of the kind given are the bytes of FILE. "
      "FILE must have exactly the size that save writes for that partition and kind (save, then "
      "replace with the same file, gives IMAGE byte for byte). IMAGE is only read; OUT may not "
      "be IMAGE or FILE under any name or link. A refused command does not touch OUT; when writing "
      "fails on the way, the unfinished OUT is removed");
  AddLoadOptions(sub, options->Load);
  AddPartitionChoice(sub, options->Partition, "The partition to replace");
  sub->add_option("--kind", options->Kind,
                  "main: the partition's main data; spare: its spare data; full: main data, then "
                  "spare data")
      ->required()
      ->check(CLI::IsMember({"main", "spare", "full"}));
  sub->add_option("--from", options->From, "File with the new data (as save writes it)")->required();
  sub->add_option("OUT", options->Output, "Image file to write (replaced when it exists)")->required();
  table.Add(sub, [options] { return RunReplace(*options); });
}

}  // namespace fullflash
