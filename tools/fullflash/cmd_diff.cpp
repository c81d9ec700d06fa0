// fullflash diff IMAGE_A IMAGE_B [--json]
// Compares two images of one geometry partition by partition. Exit codes: 0
// identical, 3 different, 1 error (an image cannot be loaded or read, or the
// geometries differ), 2 bad command line.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>

#include "ConsoleProgress.h"
#include "ExportCommands.h"
#include "inspect/ImageDiff.h"
#include "inspect/PartitionArea.h"

namespace fullflash {
namespace {

struct TDiffOptions {
  std::string ImageA, ImageB;
  bool NoHtcAdjust = false;
  bool Json = false;
};

// Loads one side; every message names the image it is about.
bool LoadSide(const std::string& path, bool noHtcAdjust, kovra::TImageLoadResult& result) {
  result = kovra::LoadImageFileAndProcessIt(path, noHtcAdjust);
  if (!result.Ok) {
    PrintLine(stderr, path + ": " + result.FailureText);
    return false;
  }
  for (const std::string& line : result.Log)
    if (line.rfind("WARNING!!! ", 0) == 0) PrintLine(stderr, path + ": " + line);
  return true;
}

std::string Blocks(uint32_t n) { return std::to_string(n) + (n == 1 ? " block" : " blocks"); }

std::string AreaText(const char* what, const kovra::TAreaDiff& d) {
  if (d.Identical) return std::string(what) + " identical";
  return std::string(what) + " differs from " + kovra::HexText(d.FirstDifference) + " (" +
         Blocks(d.DifferingBlocks) + ")";
}

std::string BlockRange(const kovra::TPartitionExtent& x) {
  if (x.Blocks == 0) return "no blocks at " + kovra::HexText(x.BegBlock, 4);
  return "blocks " + kovra::HexText(x.BegBlock, 4) + ".." +
         kovra::HexText(uint64_t(x.BegBlock) + x.Blocks - 1, 4);
}

std::string RowText(const kovra::TPartitionDiff& p) {
  std::string position = p.PositionA != 0 ? std::to_string(p.PositionA) : "-";
  if (position.size() < 3) position.insert(0, 3 - position.size(), ' ');
  std::string name = p.Name;
  if (name.size() < 16) name.resize(16, ' ');
  std::string text;
  switch (p.Status) {
    case kovra::TDiffStatus::Identical:
      text = "identical";
      break;
    case kovra::TDiffStatus::OnlyInA:
      text = "only in A";
      break;
    case kovra::TDiffStatus::OnlyInB:
      text = "only in B (position " + std::to_string(p.PositionB) + ")";
      break;
    case kovra::TDiffStatus::Different:
      if (p.EntryDiffers)
        text = "table entry differs (A: " + BlockRange(p.ExtentA) + ", B: " + BlockRange(p.ExtentB) +
               "), ";
      text += AreaText("main", p.Main) + ", " + AreaText("spare", p.Spare);
      break;
  }
  if (p.PositionA != 0 && p.PositionB != 0 && p.PositionA != p.PositionB)
    text += " (position " + std::to_string(p.PositionB) + " in B)";
  return position + "  " + name + "  " + text;
}

std::string SummaryText(const kovra::TImageDiff& d) {
  using kovra::TDiffStatus;
  return "Summary: " + std::to_string(d.Partitions.size()) + " partitions: " +
         std::to_string(d.Count(TDiffStatus::Identical)) + " identical, " +
         std::to_string(d.Count(TDiffStatus::Different)) + " different, " +
         std::to_string(d.Count(TDiffStatus::OnlyInA)) + " only in A, " +
         std::to_string(d.Count(TDiffStatus::OnlyInB)) + " only in B" +
         (d.OutsideBlocks == 0 ? ""
          : d.OutsideMain.Identical && d.OutsideSpare.Identical
              ? "; outside the partitions identical"
              : "; outside the partitions different") +
         (d.Identical() ? "; the images are identical" : "; the images differ");
}

nlohmann::ordered_json AreaJson(const kovra::TAreaDiff& d) {
  using nlohmann::ordered_json;
  return ordered_json{{"identical", d.Identical},
                      {"first_difference", d.Identical ? ordered_json() : ordered_json(d.FirstDifference)},
                      {"differing_blocks", d.DifferingBlocks}};
}

const char* StatusName(kovra::TDiffStatus s) {
  switch (s) {
    case kovra::TDiffStatus::Identical: return "identical";
    case kovra::TDiffStatus::Different: return "different";
    case kovra::TDiffStatus::OnlyInA: return "only_in_a";
    case kovra::TDiffStatus::OnlyInB: return "only_in_b";
  }
  return "?";
}

nlohmann::ordered_json JsonOf(const TDiffOptions& o, const kovra::ImageGeometry& g,
                              const kovra::TImageDiff& d) {
  using nlohmann::ordered_json;
  ordered_json doc;
  doc["image_a"] = o.ImageA;
  doc["image_b"] = o.ImageB;
  doc["geometry"] = ordered_json{{"page_size", g.PageSize}, {"block_size", g.BlockSize},
                                 {"block_count", g.BlockCount}};
  ordered_json partitions = ordered_json::array();
  for (const kovra::TPartitionDiff& p : d.Partitions) {
    const bool both = p.PositionA != 0 && p.PositionB != 0;
    partitions.push_back(ordered_json{
        {"name", p.Name},
        {"stored_name", p.StoredName},
        {"position_a", p.PositionA != 0 ? ordered_json(p.PositionA) : ordered_json()},
        {"position_b", p.PositionB != 0 ? ordered_json(p.PositionB) : ordered_json()},
        {"status", StatusName(p.Status)},
        {"entry_differs", p.EntryDiffers},
        {"main", both ? AreaJson(p.Main) : ordered_json()},
        {"spare", both ? AreaJson(p.Spare) : ordered_json()}});
  }
  doc["partitions"] = std::move(partitions);
  doc["outside_partitions"] = ordered_json{{"blocks", d.OutsideBlocks},
                                           {"main", AreaJson(d.OutsideMain)},
                                           {"spare", AreaJson(d.OutsideSpare)}};
  using kovra::TDiffStatus;
  doc["summary"] = ordered_json{{"partitions", d.Partitions.size()},
                                {"identical", d.Count(TDiffStatus::Identical)},
                                {"different", d.Count(TDiffStatus::Different)},
                                {"only_in_a", d.Count(TDiffStatus::OnlyInA)},
                                {"only_in_b", d.Count(TDiffStatus::OnlyInB)},
                                {"images_identical", d.Identical()}};
  return doc;
}

int RunDiff(const TDiffOptions& options) {
  kovra::TImageLoadResult a, b;
  if (!LoadSide(options.ImageA, options.NoHtcAdjust, a)) return kExitFailed;
  if (!LoadSide(options.ImageB, options.NoHtcAdjust, b)) return kExitFailed;
  const std::string mismatch =
      kovra::GeometryMismatchText(options.ImageA, a.Geometry, options.ImageB, b.Geometry);
  if (!mismatch.empty()) {
    PrintLine(stderr, mismatch);
    return kExitFailed;
  }
  kovra::TImageDiff diff;
  {
    TConsoleProgress progress("Comparing");
    diff = kovra::DiffImages(a, b, &progress);
  }
  if (options.Json) {
    PrintLine(stdout, JsonOf(options, a.Geometry, diff)
                          .dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
  } else {
    PrintLine(stdout, "A: " + options.ImageA);
    PrintLine(stdout, "B: " + options.ImageB);
    for (const kovra::TPartitionDiff& p : diff.Partitions) PrintLine(stdout, RowText(p));
    if (diff.OutsideBlocks != 0) {
      const std::string head = "outside the partitions (" + Blocks(diff.OutsideBlocks) + ", image offsets)";
      PrintLine(stdout, "     " + head + ": " + AreaText("main", diff.OutsideMain) + ", " +
                            AreaText("spare", diff.OutsideSpare));
    }
    PrintLine(stdout, SummaryText(diff));
  }
  return diff.Identical() ? kExitOk : kExitDifferent;
}

}  // namespace

void AddDiffCommand(CLI::App& app, TCommandTable& table) {
  auto options = std::make_shared<TDiffOptions>();
  CLI::App* sub = app.add_subcommand(
      "diff",
      "Compares two images of the same geometry partition by partition (matched by name): for "
      "each, whether main and spare data are identical, the offset of the first difference "
      "within the partition and the number of blocks that differ; then the blocks outside every "
      "partition, and a summary line. Exit code 0: identical; 3: the images differ; 1: error (an "
      "image cannot be loaded or read, or the geometries differ); 2: bad command line");
  sub->add_option("IMAGE_A", options->ImageA, "Full-flash image file A (its table gives the order)")
      ->required();
  sub->add_option("IMAGE_B", options->ImageB, "Full-flash image file B")->required();
  sub->add_flag("--no-htc-adjust", options->NoHtcAdjust,
                "Don't adjust HTC Partition for 4KB NAND Pages (0x40000-byte blocks)");
  sub->add_flag("--json", options->Json,
                "One JSON document: image_a, image_b, geometry, partitions (name, stored_name, "
                "position_a, position_b, status, entry_differs, main and spare with identical, "
                "first_difference, differing_blocks), outside_partitions, summary");
  table.Add(sub, [options] { return RunDiff(*options); });
}

}  // namespace fullflash
