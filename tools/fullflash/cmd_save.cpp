// fullflash save IMAGE (--name NAME | --position N) --kind main|spare|full --prefix PREFIX
// fullflash save-all IMAGE --kind main|spare|full --prefix PREFIX
// Prints the name of every file written, one a line.
#include <cstdio>
#include <memory>

#include "ConsoleProgress.h"
#include "ExportCommands.h"
#include "export/PartitionFiles.h"

namespace fullflash {
namespace {

struct TSaveOptions {
  TLoadOptions Load;
  std::string Name;
  uint32_t Position = 0;
  std::string Kind;
  std::string Prefix;
};

const char kKindHelp[] =
    "main: the partition's main data; spare: its spare data; full: main data, then spare data";

void AddKindAndPrefix(CLI::App* sub, TSaveOptions& options) {
  sub->add_option("--kind", options.Kind, kKindHelp)
      ->required()
      ->check(CLI::IsMember({"main", "spare", "full"}));
  sub->add_option("--prefix", options.Prefix,
                  "Start of every file name (a folder path may be part of it); the name goes on "
                  "with the main offset in 12 hex digits, \"_\", the partition name and \".bin\"")
      ->required();
}

bool SaveMain(const TSaveOptions& o) { return o.Kind != "spare"; }
bool SaveRedu(const TSaveOptions& o) { return o.Kind != "main"; }

// Row of the partition the options name: by position, or by the name the
// list shows ("BOOT"), then by the stored name ("0:BOOT"). -1 when none.
int FindRow(const TSaveOptions& options, const kovra::TImageLoadResult& r) {
  const size_t count = r.Descriptors.size();
  if (options.Position != 0) return options.Position <= count ? int(options.Position - 1) : -1;
  for (size_t i = 0; i < count; ++i)
    if (r.Descriptors[i].PartitionName == options.Name) return int(i);
  return kovra::FindPartitionByName(r.PartitionTable, options.Name);
}

int RunSave(const TSaveOptions& options) {
  kovra::TImageLoadResult result;
  if (!LoadImageForCommand(options.Load, result)) return kExitFailed;
  PrintLoadWarnings(result);
  const int row = FindRow(options, result);
  if (row < 0) {
    PrintLine(stderr, options.Position != 0
                          ? "No partition at position " + std::to_string(options.Position) +
                                " (the table has " + std::to_string(result.Descriptors.size()) + ")"
                          : "No partition named " + options.Name);
    return kExitFailed;
  }
  std::string written;
  {
    TConsoleProgress progress("Saving " + result.Descriptors[size_t(row)].PartitionName);
    written = kovra::SavePartitionDataIntoFile(ExportContextOf(result, progress),
                                               result.PartitionTable, result.Descriptors,
                                               size_t(row), SaveMain(options), SaveRedu(options),
                                               options.Prefix);
  }
  PrintLine(stdout, written);
  return kExitOk;
}

int RunSaveAll(const TSaveOptions& options) {
  kovra::TImageLoadResult result;
  if (!LoadImageForCommand(options.Load, result)) return kExitFailed;
  PrintLoadWarnings(result);
  std::vector<std::string> written;
  {
    TConsoleProgress progress("Saving all partitions");
    written = kovra::SaveAllPartitionsDataIntoFile(ExportContextOf(result, progress),
                                                   result.PartitionTable, result.Descriptors,
                                                   SaveMain(options), SaveRedu(options),
                                                   options.Prefix);
  }
  for (const std::string& name : written) PrintLine(stdout, name);
  return kExitOk;
}

}  // namespace

void AddSaveCommands(CLI::App& app, TCommandTable& table) {
  auto save = std::make_shared<TSaveOptions>();
  CLI::App* sub = app.add_subcommand(
      "save", "Saves one partition's data into PREFIX<main offset>_<name>.bin and prints the "
              "file's name. Unsafe characters of a stored name (/ \\ : * ? \" < > |, control "
              "characters, runs of dots) become \"_\"");
  AddLoadOptions(sub, save->Load);
  CLI::Option_group* which = sub->add_option_group("partition", "The partition to save");
  which->add_option("--name", save->Name,
                    "Partition name as listed (\"BOOT\") or as stored (\"0:BOOT\")");
  which->add_option("--position", save->Position, "Position in the table, from 1")
      ->check(CLI::PositiveNumber);
  which->require_option(1);
  AddKindAndPrefix(sub, *save);
  table.Add(sub, [save] { return RunSave(*save); });

  auto all = std::make_shared<TSaveOptions>();
  sub = app.add_subcommand(
      "save-all", "Saves every partition, in table order, one file each, and prints the files' "
                  "names; file names as with save");
  AddLoadOptions(sub, all->Load);
  AddKindAndPrefix(sub, *all);
  table.Add(sub, [all] { return RunSaveAll(*all); });
}

}  // namespace fullflash
