// fullflash: full-flash NAND images from the command line.
#include <cstdio>
#include <exception>

#include "Commands.h"
#include "Console.h"
#include "ExportCommands.h"

int main(int argc, char** argv) {
  fullflash::TConsoleArgs args(argc, argv);   // UTF-8 arguments on every platform

  CLI::App app{"Lists, saves, dumps, compares and mends the partitions of full-flash NAND image files.", "fullflash"};
  app.set_version_flag("--version", fullflash::VersionText());
  app.require_subcommand(1);
  app.footer(
      "Exit codes: 0 success (diff: the images are identical), 1 error (an image cannot be "
      "loaded or read, a file error, a refused output), 2 bad command line, 3 diff: the images "
      "differ.");

  fullflash::TCommandTable commands;
  fullflash::AddListCommand(app, commands);
  fullflash::AddExportCommands(app, commands);

  try {
    app.parse(args.Count(), args.Values());
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? fullflash::kExitOk : fullflash::kExitUsage;
  }

  try {
    for (auto& [sub, run] : commands.Commands)
      if (sub->parsed()) return run();
  } catch (const std::exception& e) {
    // File errors of a command: their text names the file and the place.
    fullflash::PrintLine(stderr, e.what());
    return fullflash::kExitFailed;
  }
  return fullflash::kExitUsage;
}
