// fullflash list IMAGE [--no-htc-adjust] [--json] [--content]
#include <nlohmann/json.hpp>

#include <cstdio>

#include "Commands.h"
#include "ConsoleProgress.h"
#include "image/PartitionItems.h"
#include "inspect/PartitionContent.h"
#include "ui/CoolItems.h"

namespace fullflash {
namespace {

struct TListOptions {
  TLoadOptions Load;
  bool Json = false;
  bool Content = false;
};

// Without --content nothing of the partitions is read and the output is the
// list's alone.
using TContents = std::vector<kovra::TPartitionContent>;

// One row as the list shows it: position, selected mark, name, range, size.
std::string RowText(const kovra::TCoolItemsList& items, int row) {
  std::string cells[5];
  for (int c = 0; c < 5; ++c) cells[c] = kovra::CoolCellPlainText(kovra::CoolCellOf(items, row, c));
  char head[16];
  std::snprintf(head, sizeof head, "%3s %1s ", cells[0].c_str(), cells[1].c_str());
  std::string name = cells[2];
  if (name.size() < 16) name.resize(16, ' ');
  return head + name + "  " + cells[3] + "  " + cells[4];
}

nlohmann::ordered_json JsonOf(const TListOptions& options, const kovra::TImageLoadResult& r,
                              const TContents& contents) {
  using nlohmann::ordered_json;
  const kovra::ImageGeometry& g = r.Geometry;
  ordered_json doc;
  doc["image"] = options.Load.Image;
  doc["geometry"] = ordered_json{{"page_size", g.PageSize},         {"block_size", g.BlockSize},
                                 {"file_size", g.FileSize},         {"main_area_size", g.MainAreaSize},
                                 {"block_count", g.BlockCount},     {"table_block", r.TableBlock}};
  doc["log"] = r.Log;
  ordered_json partitions = ordered_json::array();
  for (size_t i = 0; i < r.Descriptors.size(); ++i) {
    const kovra::TPartitionDescriptor& d = r.Descriptors[i];
    const kovra::TQualcommMIBIBEntry& e = r.PartitionTable.Entries[i];
    partitions.push_back(ordered_json{{"position", d.Position},
                                      {"name", d.PartitionName},
                                      {"stored_name", kovra::EntryStoredName(e)},
                                      {"entry_base", e.EntryBase},
                                      {"entry_size", e.EntrySize},
                                      {"attributes", e.Unknown1},
                                      {"beg_block", d.BegBlock},
                                      {"blocks", d.Blocks},
                                      {"address_range", d.AddressRange},
                                      {"partition_size", d.PartitionSize}});
    if (i < contents.size()) partitions.back()["content"] = kovra::PartitionContentName(contents[i]);
  }
  doc["partitions"] = std::move(partitions);
  return doc;
}

int RunList(const TListOptions& options) {
  kovra::TImageLoadResult result;
  if (!LoadImageForCommand(options.Load, result)) return kExitFailed;
  TContents contents;
  if (options.Content) {
    TConsoleProgress progress("Looking at the partitions");
    contents = kovra::DetectPartitionContents(ExportContextOf(result, progress), result.PartitionTable);
  }

  if (options.Json) {
    PrintLine(stdout, JsonOf(options, result, contents).dump(2, ' ', false,
                                                             nlohmann::json::error_handler_t::replace));
    return kExitOk;
  }
  for (const std::string& line : result.Log) PrintLine(stdout, line);
  for (int row = 0; row < result.PartitionItems.Count; ++row) {
    std::string text = RowText(result.PartitionItems, row);
    if (size_t(row) < contents.size()) text += std::string("  ") + kovra::PartitionContentName(contents[size_t(row)]);
    PrintLine(stdout, text);
  }
  return kExitOk;
}

}  // namespace

void AddListCommand(CLI::App& app, TCommandTable& table) {
  auto options = std::make_shared<TListOptions>();
  CLI::App* sub = app.add_subcommand(
      "list", "Prints the load's log lines, then one line per partition: position, selected "
              "mark, name, address (blocks) range, size in bytes (blocks)");
  AddLoadOptions(sub, options->Load);
  sub->add_flag("--json", options->Json,
                "One JSON document with the geometry, the log lines and the partitions");
  sub->add_flag("--content", options->Content,
                "Say what each partition holds (a last column; \"content\" in JSON): blank (the "
                "blank check finds it erased), elf, android-boot, ubi, ubifs, squashfs or jffs2 (the "
                "magic number at the start of its first block), data (anything else). Without it "
                "no partition data is read");
  table.Add(sub, [options] { return RunList(*options); });
}

}  // namespace fullflash
