#pragma once
// The export commands (save, save-all, save-image, blank) and the inspection
// commands (hexdump, diff, replace).
#include "Commands.h"

namespace fullflash {

void AddSaveCommands(CLI::App& app, TCommandTable& table);       // save, save-all
void AddSaveImageCommand(CLI::App& app, TCommandTable& table);   // save-image
void AddBlankCommand(CLI::App& app, TCommandTable& table);       // blank
void AddHexDumpCommand(CLI::App& app, TCommandTable& table);     // hexdump
void AddDiffCommand(CLI::App& app, TCommandTable& table);        // diff
void AddReplaceCommand(CLI::App& app, TCommandTable& table);     // replace

inline void AddExportCommands(CLI::App& app, TCommandTable& table) {
  AddSaveCommands(app, table);
  AddSaveImageCommand(app, table);
  AddBlankCommand(app, table);
  AddHexDumpCommand(app, table);
  AddDiffCommand(app, table);
  AddReplaceCommand(app, table);
}

}  // namespace fullflash
