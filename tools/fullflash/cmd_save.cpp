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
  TPartitionChoice Partition;
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

int RunSave(const TSaveOptions& options) {
  kovra::TImageLoadResult result;
  if (!LoadImageForCommand(options.Load, result)) return kExitFailed;
  PrintLoadWarnings(result);
  const int row = FindPartitionRow(options.Partition, result);
  if (row < 0) return kExitFailed;
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
  AddPartitionChoice(sub, save->Partition, "The partition to save");
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
