// fullflash save-image IMAGE OUT
// Writes the main data of all whole blocks, then their spare data, and prints
// the log lines the command leaves ("Saving to File...OK").
#include <memory>

#include "ConsoleProgress.h"
#include "ExportCommands.h"
#include "export/ImageSave.h"

namespace fullflash {
namespace {

struct TSaveImageOptions {
  TLoadOptions Load;
  std::string Output;
};

void PrintLog(const TConsoleProgress& progress) {
  for (const std::string& line : progress.LogLines()) PrintLine(stdout, line);
}

int RunSaveImage(const TSaveImageOptions& options) {
  kovra::TImageLoadResult result;
  if (!LoadImageForCommand(options.Load, result)) return kExitFailed;
  PrintLoadWarnings(result);
  TConsoleProgress progress("Saving to File...");
  try {
    kovra::SaveAsImageFile(ExportContextOf(result, progress), options.Output);
  } catch (...) {
    progress.Finish();
    PrintLog(progress);   // "Saving to File..." without "OK"
    throw;
  }
  progress.Finish();
  PrintLog(progress);
  return kExitOk;
}

}  // namespace

void AddSaveImageCommand(CLI::App& app, TCommandTable& table) {
  auto options = std::make_shared<TSaveImageOptions>();
  CLI::App* sub = app.add_subcommand(
      "save-image", "Saves the image as a full-flash image file trimmed to whole blocks: main data, "
                    "then spare data. OUT must not be the image itself");
  AddLoadOptions(sub, options->Load);
  sub->add_option("OUT", options->Output, "File to write (replaced when it exists)")->required();
  table.Add(sub, [options] { return RunSaveImage(*options); });
}

}  // namespace fullflash
